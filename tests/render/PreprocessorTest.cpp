// Shader source preprocessing on the CPU: normalisation, source forms and
// their headers, include expansion and compiler-line mapping.
#include <gtest/gtest.h>

#include <map>

#include "render/ShaderPreprocessor.h"

namespace {

const char kLead[] = "    \xEF\x84\x98 ";

struct StripCase {
  const char* in;
  const char* out;
  int lines;
};

TEST(PreprocessorTest, StripCommentsNormalisesWithoutMovingLines) {
  const StripCase cases[] = {
      {"float a = 1.0;", "float a=1.0;", 1},
      {"f( a , b )", "f(a,b)", 1},
      {"x  y", "x y", 1},
      {"\tint\tx;", "int x;", 1},
      {"a\r\nb", "a\nb", 2},
      {"a /* one\ntwo\nthree */ b", "a \n\nb", 3},
      {"x; // a comment  with spaces", "x; //acommentwithspaces", 1},
      {"// keep /* not a block\nint y;", "//keep/*notablock\nint y;", 2},
      {"a */ b", "a b", 1},
      {"  indented", "indented", 1},
      {"void mainImage( out vec4 fragColor, in vec2 fragCoord )",
       "void mainImage(out vec4 fragColor,in vec2 fragCoord)", 1},
      {"", "", 1},
      {"a\n", "a\n", 2},
  };
  for (const StripCase& c : cases) {
    std::string text = c.in;
    const int lines = StripComments(text);
    EXPECT_EQ(text, c.out) << c.in;
    EXPECT_EQ(lines, c.lines) << c.in;
  }
}

struct FormCase {
  const char* source;
  bool fullDemo;
  ShaderFormat format;
  int headerLines;
  const char* bodyStart;
};

TEST(PreprocessorTest, EachSourceFormGetsItsHeader) {
  const FormCase cases[] = {
      {"SHADER_HEADER\n#extension GL_ARB_x : enable\n#define A 1\nvoid main(){}", false, ShaderFormatOwn, 5,
       "#define A 1\n"},
      {"SHADER_HEADER\n#extension GL_ARB_x : enable\n#define A 1\nvoid main(){}", true, ShaderFormatOwn, 6,
       "#define A 1\n"},
      {"SHADER_HEADER\n#if 1\n#endif\n", false, ShaderFormatOwn, 4, "#if 1\n"},
      {"SHADER_HEADER\n#include \"a\"\nint x;", false, ShaderFormatOwn, 4, "#include \"a\"\n"},
      {"void mainImage(out vec4 fragColor,in vec2 fragCoord){}", false, ShaderFormatShadertoy, 14,
       "void main()         "},
      {"#version 410 core\nuniform float fGlobalTime;\nvoid main(){}", false, ShaderFormatBonzomatic, 2,
       "//ersion 410 core\n"},
      {"SHADER_RAW\nvoid main(){}", false, ShaderFormatRaw, 2, "\nvoid main(){}"},
  };
  for (const FormCase& c : cases) {
    SplitSource split;
    ShaderErrorLog().clear();
    ASSERT_TRUE(SplitShaderSource(c.source, c.fullDemo, split)) << c.source;
    EXPECT_EQ(split.format, c.format) << c.source;
    EXPECT_EQ(split.headerLines, c.headerLines) << c.source;
    int newlines = 0;
    for (char ch : split.header) newlines += ch == '\n';
    EXPECT_EQ(newlines, c.headerLines) << "every header line ends with a line feed: " << c.source;
    EXPECT_EQ(split.header.rfind("#version 450 core\n#define VELMORA\n", 0), 0u) << c.source;
    EXPECT_EQ(split.body.compare(0, strlen(c.bodyStart), c.bodyStart), 0) << split.body;
    EXPECT_TRUE(ShaderErrorLog().empty());
  }
}

TEST(PreprocessorTest, OwnFormMovesDirectivesToTheHeader) {
  SplitSource split;
  ASSERT_TRUE(SplitShaderSource("SHADER_HEADER\n#extension GL_ARB_x : enable\nint x;", true, split));
  EXPECT_EQ(split.header,
            "#version 450 core\n#define VELMORA\n#define FULL_DEMO\n#extension GL_ARB_x : enable\n"
            "uniform vec2 iResolution;\nuniform float iTime;\n");
  EXPECT_EQ(split.body, "int x;");
  EXPECT_EQ(split.bodyLineOffset, 2);
}

TEST(PreprocessorTest, ShadertoySignatureIsOverwrittenInPlace) {
  const std::string source = "void mainImage(out vec4 fragColor,in vec2 fragCoord){fragColor=vec4(1);}";
  SplitSource split;
  ASSERT_TRUE(SplitShaderSource(source, false, split));
  ASSERT_EQ(split.body.size(), source.size());
  EXPECT_EQ(split.body, "void main()" + std::string(41, ' ') + "{fragColor=vec4(1);}");
}

TEST(PreprocessorTest, UnknownFormsFailWithTheFormatMessage) {
  const char* sources[] = {"void main(){}", "SHADER_RAW", "", "uniform float iTime;"};
  for (const char* s : sources) {
    ShaderErrorLog().clear();
    SplitSource split;
    EXPECT_FALSE(SplitShaderSource(s, false, split)) << s;
    EXPECT_EQ(ShaderErrorLog(), "ERROR: shader format unknown (not shadertoy, bonzomatic or velmora shader).") << s;
  }
}

// ---------------------------------------------------------------------------
// Includes
// ---------------------------------------------------------------------------

IncludeReader ReaderOf(const std::map<std::string, std::string>& files) {
  return [files](const std::string& path, std::string& text) {
    auto it = files.find(path);
    if (it == files.end()) return false;
    text = it->second;
    return true;
  };
}

TEST(PreprocessorTest, IncludesExpandInPlace) {
  const std::map<std::string, std::string> files = {
      {"shader/a.glsl", "float a;\n"},
      {"shader/outer.glsl", "float o;\n#include \"shader/a.glsl\"\nfloat o2;"},
      {"shader/self.glsl", "#include \"shader/self.glsl\"\n"},
      {"shader/empty.glsl", ""},
  };
  struct Case {
    const char* body;
    const char* expanded;
    size_t records;
    const char* error;
  } cases[] = {
      {"x;\n#include \"shader/a.glsl\"\ny;", "x;\nfloat a;\n//nclude \"shader/a.glsl\"\ny;", 1, ""},
      {"  #include \"shader/a.glsl\"", "  float a;\n//nclude \"shader/a.glsl\"", 1, ""},
      {"#include \"shader/a.glsl\"\n#include \"shader/a.glsl\"",
       "float a;\n//nclude \"shader/a.glsl\"\nfloat a;\n//nclude \"shader/a.glsl\"", 2, ""},
      // An included file's own include stays as written.
      {"#include \"shader/outer.glsl\"", "float o;\n#include \"shader/a.glsl\"\nfloat o2;//nclude \"shader/outer.glsl\"",
       1, ""},
      {"#include \"shader/missing.glsl\"\nz;", "#include \"shader/missing.glsl\"\nz;", 0,
       "ERROR: included file shader/missing.glsl not found or empty\n"},
      {"#include \"shader/empty.glsl\"", "#include \"shader/empty.glsl\"", 0,
       "ERROR: included file shader/empty.glsl not found or empty\n"},
      {"#include \"shader/self.glsl\"", "#include \"shader/self.glsl\"\n//nclude \"shader/self.glsl\"", 1, ""},
      {"x; #include \"shader/a.glsl\"", "x; #include \"shader/a.glsl\"", 0, ""},
      {"#include \"unterminated\n\"", "#include \"unterminated\n\"", 0, ""},
  };
  for (const Case& c : cases) {
    ShaderErrorLog().clear();
    std::string text = c.body;
    std::vector<ShaderInclude> records;
    const bool ok = ExpandIncludeDirectives(text, records, ReaderOf(files));
    EXPECT_EQ(text, c.expanded) << c.body;
    EXPECT_EQ(records.size(), c.records) << c.body;
    EXPECT_EQ(ShaderErrorLog(), c.error) << c.body;
    EXPECT_EQ(ok, std::string(c.error).empty()) << c.body;
  }
}

TEST(PreprocessorTest, IncludeRecordsPlaceEachFileInTheExpandedBody) {
  const std::map<std::string, std::string> files = {
      {"inner", "i1\ni2\n"},                                 // 3 lines
      {"outer", "o1\n#include \"inner\"\no3\n"},             // 4 lines, its include not expanded
      {"three", "t1\nt2\nt3\n"},                             // 4 lines
  };
  std::string text = "b1\n#include \"outer\"\nb3\n#include \"three\"\nb5";
  std::vector<ShaderInclude> records;
  ASSERT_TRUE(ExpandIncludeDirectives(text, records, ReaderOf(files)));
  EXPECT_EQ(text, "b1\no1\n#include \"inner\"\no3\n//nclude \"outer\"\nb3\nt1\nt2\nt3\n//nclude \"three\"\nb5");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].path, "outer");
  EXPECT_EQ(records[0].includer, "");
  EXPECT_EQ(records[0].line, 1);
  EXPECT_EQ(records[0].lineCount, 4);
  EXPECT_EQ(records[1].path, "three");
  EXPECT_EQ(records[1].line, 6);
  EXPECT_EQ(records[1].lineCount, 4);
}

// ---------------------------------------------------------------------------
// Compiler log mapping
// ---------------------------------------------------------------------------

std::string Mapped(const std::string& prefix, int line, const std::string& rest) {
  return kLead + prefix + "Line " + std::to_string(line) + rest;
}

TEST(PreprocessorTest, CompilerLinesMapToStageAndIncludeLines) {
  // Body: a 3-line file ending with a line feed (4 lines) included on body
  // line 5, with a 14-line header in front.
  const std::vector<ShaderInclude> one = {{"shader/lib.glsl", "", 4, 4}};
  struct Case {
    int glLine;
    std::string want;
  } cases[] = {
      {14 + 4, Mapped("", 4, " : error C0000: x")},  // the line just before the directive
      {14 + 5, Mapped("[shader/lib.glsl] ", 1, " : error C0000: x")},
      {14 + 7, Mapped("[shader/lib.glsl] ", 3, " : error C0000: x")},
      {14 + 9, Mapped("", 6, " : error C0000: x")},
      {14 + 1, Mapped("", 1, " : error C0000: x")},
  };
  for (const Case& c : cases) {
    std::string log = "0(" + std::to_string(c.glLine) + ") : error C0000: x\n";
    FormatShaderLog(log, 14, 0, one);
    EXPECT_EQ(log, c.want) << c.glLine;
  }
}

TEST(PreprocessorTest, MesaCompilerLinesAreMappedToo) {
  const std::vector<ShaderInclude> none;
  std::string log = "0:7(12): error: `foo' undeclared\n0:9(1): warning: unused\n";
  FormatShaderLog(log, 5, 2, none);
  EXPECT_EQ(log, Mapped("", 4, ": error: `foo' undeclared") + "\n" + Mapped("", 6, ": warning: unused"));
}

TEST(PreprocessorTest, LinesAfterSeveralIncludesMapBackToTheirFiles) {
  // Same layout as IncludeRecordsPlaceEachFileInTheExpandedBody: expanded
  // body lines b1, o1, #include inner, o3, <o4>//inc, b3, t1..t3, <t4>//inc, b5.
  const std::vector<ShaderInclude> records = {{"outer", "", 1, 4}, {"three", "", 6, 4}};
  struct Case {
    int bodyLine;
    std::string want;
  } cases[] = {
      {1, Mapped("", 1, " : e")},          {2, Mapped("[outer] ", 1, " : e")},
      {3, Mapped("[outer] ", 2, " : e")},  {6, Mapped("", 3, " : e")},
      {8, Mapped("[three] ", 2, " : e")},  {11, Mapped("", 5, " : e")},
  };
  for (const Case& c : cases) {
    std::string log = "0(" + std::to_string(c.bodyLine + 2) + ") : e";
    FormatShaderLog(log, 2, 0, records);
    EXPECT_EQ(log, c.want) << c.bodyLine;
  }
}

TEST(PreprocessorTest, OtherLogFormatsPassThroughWithoutEmptyLines) {
  const std::vector<ShaderInclude> none;
  std::string log = "ERROR: 0:3: 'x' : undeclared identifier\n\n\nlink note\n";
  FormatShaderLog(log, 2, 0, none);
  EXPECT_EQ(log, "ERROR: 0:3: 'x' : undeclared identifier\nlink note");
}

}  // namespace
