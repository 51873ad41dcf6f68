// Hostile fonts: every font file of the shared hostile set (crafted by hand
// or found by fuzzing) and of our own fuzzing's findings, through both font
// paths: vector text in each mode and the glyph atlas. Each is refused with
// one log line or drawn without a fault; the sanitized build turns any
// out-of-bounds access, assertion, overflow or out-of-range conversion into
// a failure here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>

#include "render/GlyphAtlas.h"
#include "render/ShapeNode.h"
#include "render/VectorFont.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

const std::string kHostileDir = std::string(VELMORA_TESTDATA_DIR) + "/hostile";
// Fonts our own fuzzing found, beside the shared set.
const std::string kFoundDir = std::string(VELMORA_SOURCE_DIR) + "/tests/render/fonts";

// Every font of both sets: file name to path.
std::map<std::string, std::string> HostileFontFiles() {
  std::map<std::string, std::string> fonts;
  for (const std::string& dirName : {kHostileDir, kFoundDir}) {
    DIR* dir = opendir(dirName.c_str());
    if (!dir) continue;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ttf") == 0) fonts[name] = dirName + "/" + name;
    }
    closedir(dir);
  }
  return fonts;
}

// Every printable character, a tab, high bytes and a second line.
std::string AllCharacters() {
  std::string text;
  for (int c = 32; c < 127; ++c) text += static_cast<char>(c);
  return text + "\t\x80\xe9\xff\nAg";
}

size_t CountLines(const std::string& log, const std::string& needle) {
  size_t n = 0;
  for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) ++n;
  return n;
}

bool AllPointsFinite(const ShapeNode& node) {
  for (const Polyline* p : node.m_polylines)
    for (const glm::vec3& q : p->m_points)
      if (!std::isfinite(q.x) || !std::isfinite(q.y)) return false;
  for (const ShapeNode* child : node.m_children)
    if (!AllPointsFinite(*child)) return false;
  return true;
}

class HostileFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    m_fonts = HostileFontFiles();
    ASSERT_GE(m_fonts.size(), 20u) << "the hostile set is read from " << kHostileDir;
    ASSERT_TRUE(m_fonts.count("fuzz-outline-above-header-box.ttf")) << "our own are read from " << kFoundDir;
    PackFiles files;
    for (const auto& [name, path] : m_fonts) files["Data/font/" + name] = ReadTextFile(path);
    ASSERT_TRUE(BuildPack(m_dir, files));
    EnterDir(m_dir);
  }

  std::map<std::string, std::string> m_fonts;
  TempDir m_dir;
};

}  // namespace

TEST_F(HostileFonts, VectorTextIsRefusedOnceOrBuiltInEveryMode) {
  const struct {
    const char* what;
    bool outline, dot, lines;
    float size, scale;
  } modes[] = {
      {"outline", true, false, false, 20.0f, 1.0f},
      {"dots", false, true, false, 20.0f, 1.0f},
      {"runs", false, false, true, 20.0f, 1.0f},
      {"all three, largest raster", true, true, true, 40.0f, 3.0f},
      {"all three, absurd size", true, true, true, 1e30f, 3.0f},
  };
  for (const auto& [name, file] : m_fonts) {
    const std::string path = "font/" + name;
    LogCapture log;
    VectorFont* font = FindOrLoadFont(GetFontCache(), path);
    // A second request neither reads nor logs again when the font was kept.
    EXPECT_EQ(FindOrLoadFont(GetFontCache(), path) != nullptr, font != nullptr) << name;
    if (!font) {
      EXPECT_GE(CountLines(log.Text(), "[VectorFont] Not a usable TrueType font: " + path + " ("), 1u)
          << name << "\n" << log.Text();
      continue;
    }
    for (const auto& mode : modes) {
      ShapeNode root;
      TextStyle style;
      style.text = AllCharacters();
      style.size = mode.size;
      style.scale = mode.scale;
      style.renderOutline = mode.outline;
      style.renderDot = mode.dot;
      style.renderLines = mode.lines;
      font->BuildText(style, &root, nullptr);
      if (mode.size < 100.0f) {
        EXPECT_TRUE(AllPointsFinite(root)) << name << " " << mode.what;
      }
    }
  }
}

TEST_F(HostileFonts, AtlasRefusesOrDrawsEveryFont) {
  for (const auto& [name, file] : m_fonts) {
    const std::string bytes = ReadTextFile(file);
    FONSparams params;
    params.width = params.height = 256;
    FONScontext* ctx = fonsCreateInternal(&params);
    ASSERT_NE(ctx, nullptr);
    std::unique_ptr<char[]> data(new char[bytes.size()]);
    std::memcpy(data.get(), bytes.data(), bytes.size());
    std::string reason;
    const int id = fonsAddFontMem(ctx, name.c_str(), std::move(data), static_cast<int>(bytes.size()), &reason);
    if (id == FONS_INVALID) {
      EXPECT_FALSE(reason.empty()) << name;
    } else {
      fonsSetFont(ctx, id);
      for (float size : {12.0f, 96.0f, 6553.5f}) {
        fonsSetSize(ctx, size);
        const std::string text = AllCharacters() + "\xe2\x82\xac\xf0\x9f\x98\x80";
        const float pen = fonsDrawText(ctx, 0.0f, 0.0f, text.c_str());
        EXPECT_TRUE(std::isfinite(pen)) << name << " " << size;
      }
    }
    fonsDeleteInternal(ctx);
  }
}

// The font files that broke the player are refused outright, not merely
// survived: their fault lies in the font as a whole.
TEST_F(HostileFonts, FontsBrokenAsAWholeAreRefused) {
  const char* const refused[] = {
      "font-cmap-numTables.ttf",        "font-cmap4-rangeShift.ttf",
      "font-cmap4-idRangeOffset.ttf",   "font-hhea-zero-height.ttf",
      "vectorfont-fuzz-initfont-cmap-oob.ttf", "glyphatlas-fuzz-cmap12-ngroups-segv.ttf",
      "glyphatlas-fuzz-cmap-unknown-format-assert.ttf",
  };
  for (const char* name : refused) {
    LogCapture log;
    EXPECT_EQ(FindOrLoadFont(GetFontCache(), std::string("font/") + name), nullptr) << name;
    EXPECT_EQ(CountLines(log.Text(), "[VectorFont] Not a usable TrueType font"), 1u) << name << "\n" << log.Text();
  }
}
