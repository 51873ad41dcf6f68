// libFuzzer target for the glyph atlas: any bytes are a font file. A font
// the atlas accepts is measured and drawn (glyph lookup, kerning, metrics,
// rasterising into the atlas, which grows and resets) at a small, a large
// and the largest size, without a render backend.
// Built by tools/fuzz_glyphatlas.sh.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "render/GlyphAtlas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  FONSparams params;
  params.width = params.height = 64;
  FONScontext* ctx = fonsCreateInternal(&params);
  if (!ctx) return 0;
  std::unique_ptr<char[]> bytes(new char[size + 1]);
  if (size) std::memcpy(bytes.get(), data, size);
  const int font = fonsAddFontMem(ctx, "fuzz.ttf", std::move(bytes), static_cast<int>(size));
  if (font != FONS_INVALID) {
    fonsSetFont(ctx, font);
    for (float px : {9.0f, 96.0f, 6553.5f}) {
      fonsSetSize(ctx, px);
      fonsSetAlign(ctx, FONS_ALIGN_CENTER | FONS_ALIGN_MIDDLE);
      float ascender = 0, descender = 0, line = 0;
      fonsVertMetrics(ctx, &ascender, &descender, &line);
      fonsDrawText(ctx, 10.0f, 10.0f, "AVAg0 ~W\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    }
  }
  fonsDeleteInternal(ctx);
  return 0;
}
