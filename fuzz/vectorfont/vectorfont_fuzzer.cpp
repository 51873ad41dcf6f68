// libFuzzer target for vector text over TrueType/OpenType fonts: any bytes
// are a font file. A font the check accepts is built into shape trees in
// every mode (outlines, dots, runs) at an ordinary and at the largest
// raster, as the stroke text effect builds it.
// Built by tools/fuzz_vectorfont.sh.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <stb/stb_truetype.h>

#include "render/FontCheck.h"
#include "render/ShapeNode.h"
#include "render/VectorFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> bytes(data, data + size);
  auto info = std::make_unique<stbtt_fontinfo>();
  FontCheck check;
  std::string reason;
  if (!check.Open(bytes.data(), bytes.size(), *info, reason)) return 0;
  VectorFont font("fuzz.ttf", false);
  font.SetTrueType(std::move(info), std::move(bytes), std::move(check));
  const struct {
    bool outline, dot, lines;
    float size, scale;
  } modes[] = {{true, false, false, 20.0f, 1.0f}, {false, true, true, 20.0f, 1.0f}, {true, true, true, 40.0f, 3.0f}};
  for (const auto& mode : modes) {
    ShapeNode root;
    TextStyle style;
    style.text = "Ag0 ~\t\xe9\nW@";
    style.size = mode.size;
    style.scale = mode.scale;
    style.renderOutline = mode.outline;
    style.renderDot = mode.dot;
    style.renderLines = mode.lines;
    font.BuildText(style, &root, nullptr);
  }
  return 0;
}
