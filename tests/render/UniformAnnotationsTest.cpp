// Uniform annotations: the table entries, value words, defaults, effect
// attributes and ranges that annotated declarations produce (CPU), and the
// values the program uploads for them (GL).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include <glm/gtc/matrix_transform.hpp>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"
#include "support/GLFixture.h"
#include "support/TestPack.h"

namespace {

// A program with a value area and a parameter target, laid out like the
// shader effect's: the attributes address the value words inside this
// object.
struct AnnotatedProgram : rvProgram2D {
  AnnotatedProgram() { SetValueArea(values, RV_OFFSETOF(AnnotatedProgram, values), 1024, &desc); }
  float Float(int word) const {
    float f;
    memcpy(&f, &values[word], sizeof(f));
    return f;
  }
  uint32_t values[1024] = {};
  ClassDesc desc{"probe", nullptr, nullptr};
};

// Parses one line as a stage body would hold it (after normalisation).
int ParseOne(AnnotatedProgram& p, std::string line) {
  StripComments(line);
  ShaderErrorLog().clear();
  p.ParseAnnotations(line);
  return p.m_uniforms.empty() ? -1 : static_cast<int>(p.m_uniforms.size()) - 1;
}

TEST(UniformAnnotationsTest, DeclarationsGetKindSemanticAndWords) {
  struct Case {
    const char* line;
    int kind, semantic, words;
    bool constant;
  } cases[] = {
      {"uniform float a;", UniformFloat, SemanticNone, 4, false},
      {"uniform float a[3];", UniformFloatArray, SemanticNone, 4, false},
      {"uniform float a[7];", UniformFloatArray, SemanticNone, 7, false},
      {"uniform int i[5];", UniformIntArray, SemanticNone, 5, false},
      {"uniform vec2 v[3];", UniformVec2Array, SemanticNone, 6, false},
      {"uniform vec3 v[2];", UniformVec3Array, SemanticNone, 6, false},
      {"uniform vec4 v[2];", UniformVec4Array, SemanticNone, 8, false},
      {"uniform mat4 m;", UniformMat4, SemanticNone, 16, false},
      {"uniform bool b[3];", UniformBool, SemanticNone, 4, false},
      {"uniform sampler2D s;", UniformSampler2D, SemanticTexture0, 4, false},
      {"uniform sampler2D s; // |TEXTURE2|", UniformSampler2D, SemanticTexture0 + 2, 0, false},
      {"uniform sampler2D s; // |TEXTURE3|TEXTURE1|", UniformSampler2D, SemanticTexture0 + 1, 0, false},
      {"uniform sampler2D s; // |TEXTURE24|", UniformSampler2D, SemanticTexture24, 0, false},
      {"uniform float t; // |TIME|", UniformFloat, SemanticTime, 0, false},
      {"uniform float t; // |FADE|", UniformFloat, SemanticFade, 0, false},
      {"uniform float t; // |DELTATIME|", UniformFloat, SemanticDeltaTime, 0, false},
      {"uniform float t; // |FRAMERATE|", UniformFloat, SemanticFrameRate, 0, false},
      {"uniform int f; // |FRAME|", UniformInt, SemanticFrame, 0, false},
      {"uniform vec3 c; // |COLOR|", UniformVec3, SemanticColor, 4, false},
      {"uniform vec4 c; // |COLORS|", UniformVec4, SemanticColors, 4, false},
      {"uniform vec3 r; // |RESOLUTION|", UniformVec3, SemanticResolution, 0, false},
      {"uniform vec2 r; // |RESOLUTION|", UniformVec2, SemanticNone, 4, false},
      {"uniform mat4 m; // |CAMERA|", UniformMat4, SemanticCamViewInv, 0, false},
      {"uniform mat4 m; // |CAMMVPINV|", UniformMat4, SemanticCamMVPInv, 0, false},
      {"uniform mat4 m; // |CAMPROJINV|", UniformMat4, SemanticCamProjInv, 0, false},
      {"uniform mat4 m; // |CAMVIEW|", UniformMat4, SemanticCamView, 0, false},
      {"uniform float k; // |CONST|", UniformFloat, SemanticNone, 4, true},
      {"uniform int k; // |DEFINE|", UniformInt, SemanticNone, 4, true},
      {"uniform float k[2]; // |CONST|", UniformFloatArray, SemanticNone, 4, false},
  };
  for (const Case& c : cases) {
    AnnotatedProgram p;
    const int index = ParseOne(p, c.line);
    ASSERT_EQ(index, 0) << c.line << ShaderErrorLog();
    const ShaderUniform& u = p.m_uniforms[0];
    EXPECT_EQ(u.kind, c.kind) << c.line;
    EXPECT_EQ(u.semantic, c.semantic) << c.line;
    EXPECT_EQ(u.wordCount, c.words) << c.line;
    EXPECT_EQ(u.constant, c.constant) << c.line;
    EXPECT_EQ(p.m_constantUniformCount, c.constant ? 1 : 0) << c.line;
    const bool array = c.kind >= UniformIntArray;
    EXPECT_EQ(u.valueWord, u.headerWord + (array ? 1 : 0)) << c.line;
    EXPECT_EQ(p.m_dwordFill, u.valueWord + c.words) << c.line;
  }
}

TEST(UniformAnnotationsTest, OtherDeclarationsAreNotRegistered) {
  const char* lines[] = {"uniform dvec2 a;", "float a;", "uniform samplerCube c;", "//uniform float a;",
                         "uniformfloat a;"};
  for (const char* line : lines) {
    AnnotatedProgram p;
    EXPECT_EQ(ParseOne(p, line), -1) << line;
    EXPECT_TRUE(ShaderErrorLog().empty()) << line;
  }
}

TEST(UniformAnnotationsTest, NamesUpTo51CharactersFit) {
  AnnotatedProgram p;
  ShaderErrorLog().clear();
  EXPECT_EQ(p.AddUniform(std::string(51, 'a').c_str(), UniformFloat, SemanticNone, 1, false), 0);
  EXPECT_EQ(p.AddUniform(std::string(52, 'b').c_str(), UniformFloat, SemanticNone, 1, false), -1);
  EXPECT_EQ(ShaderErrorLog(), "ERROR: uniform name " + std::string(52, 'b') + " too long (max 51 char)\n");
}

TEST(UniformAnnotationsTest, BudgetHolds255Vec4) {
  AnnotatedProgram p;
  ShaderErrorLog().clear();
  for (int i = 0; i < 255; ++i) {
    ASSERT_GE(p.AddUniform(("v" + std::to_string(i)).c_str(), UniformVec4, SemanticNone, 1, false), 0);
  }
  EXPECT_EQ(p.m_dwordFill, 1020);
  EXPECT_EQ(p.AddUniform("v255", UniformVec4, SemanticNone, 1, false), -1);
  EXPECT_EQ(ShaderErrorLog(), "ERROR: two many uniform variables with v255 (max 1024 dword cumulated)\n");
}

// Array sizes come from shader text: one whose words overflow an int must
// fail like any other over-budget uniform and leave the fill where it was,
// or the next uniform would be written outside the value area.
TEST(UniformAnnotationsTest, HugeArraysFailWithoutMovingTheFill) {
  const char* const lines[] = {
      "uniform float f[2147483647];", "uniform vec2 v[1073741824];",
      "uniform vec3 w[715827883];",   "uniform vec4 x[1073741824];",
      "uniform float g[4294967297];",
  };
  for (const char* line : lines) {
    AnnotatedProgram p;
    std::string body = std::string(line) + "\nuniform float after;";
    ShaderErrorLog().clear();
    EXPECT_FALSE(p.ParseAnnotations(body)) << line;
    EXPECT_NE(ShaderErrorLog().find("ERROR: two many uniform variables with "), std::string::npos) << line;
    ASSERT_EQ(p.m_uniforms.size(), 1u) << line;
    EXPECT_STREQ(p.m_uniforms[0].name, "after");
    EXPECT_EQ(p.m_uniforms[0].headerWord, 0) << line;
    EXPECT_EQ(p.m_dwordFill, 4) << line;
  }
}

TEST(UniformAnnotationsTest, ProgramsWithoutValueAreaTakeNoAnnotations) {
  rvProgram2D p;
  std::string body = "uniform float speed; // |ATTR=Speed|";
  ShaderErrorLog().clear();
  EXPECT_TRUE(p.ParseAnnotations(body));
  EXPECT_TRUE(p.m_uniforms.empty());
  // The Shadertoy registrations fail there with the table-full message.
  EXPECT_EQ(p.AddUniform("iMouse", UniformVec4, SemanticMouse, 1, false), -1);
  EXPECT_EQ(ShaderErrorLog(), "ERROR: two many uniform variables with iMouse (max 0 dword cumulated)\n");
}

TEST(UniformAnnotationsTest, AttributesLandOnTheValueWordsWithDefaultsAndRanges) {
  struct Case {
    const char* line;
    const char* attribute;
    int type;
    bool ranged;
    float min, max;
    float defaults[4];
  } cases[] = {
      {"uniform float speed; // |ATTR=Speed|MIN=0|MAX=2|1.5", "Speed", AttrFloat, true, 0, 2, {1.5f, 0, 0, 0}},
      {"uniform float speed; // |ATTR=Speed|MIN=3|MAX=-1|", "Speed", AttrFloat, true, -1, 3, {0, 0, 0, 0}},
      {"uniform vec2 p; // |ATTR=Pos|.5|-0.25", "Pos", AttrVec2, false, 0, 0, {0.5f, -0.25f, 0, 0}},
      {"uniform vec3 d; // |ATTR=Dir|+1, 2, 3", "Dir", AttrVec3, false, 0, 0, {1, 2, 3, 0}},
      {"uniform vec4 v; // |ATTR=V|MIN=1|MAX=-1|", "V", AttrVec4, true, -1, 1, {0, 0, 0, 0}},
      {"uniform vec3 tint; // |COLOR|ATTR=Tint|0.1,0.2,0.3", "Tint", AttrRGB, true, 0, 1, {0.1f, 0.2f, 0.3f, 0}},
      {"uniform vec4 tint; // |COLOR|ATTR=Tint|", "Tint", AttrRGBA, true, 0, 1, {0, 0, 0, 0}},
      {"uniform vec3 glow; // |COLORS|ATTR=Glow|1, 0.5, 0, 2", "Glow", AttrRGBS, true, 0, 1, {1, 0.5f, 0, 2}},
  };
  for (const Case& c : cases) {
    AnnotatedProgram p;
    ASSERT_EQ(ParseOne(p, c.line), 0) << c.line << ShaderErrorLog();
    const ShaderUniform& u = p.m_uniforms[0];
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(p.Float(u.valueWord + i), c.defaults[i]) << c.line << " word " << i;
    AttributeDesc* a = p.desc.FindAttribute(c.attribute);
    ASSERT_NE(a, nullptr) << c.line;
    EXPECT_EQ(a->m_type, c.type) << c.line;
    EXPECT_EQ(a->ValuePtr(&p), &p.values[u.valueWord]) << c.line;
    float lo = 0, hi = 0;
    EXPECT_EQ(a->GetRange(lo, hi), c.ranged) << c.line;
    if (c.ranged) {
      EXPECT_FLOAT_EQ(lo, c.min) << c.line;
      EXPECT_FLOAT_EQ(hi, c.max) << c.line;
    }
  }
}

// Uniforms fed by the engine reserve no value words: an attribute there
// would lie over the next entry's words or past the value area.
TEST(UniformAnnotationsTest, EngineValuesGetNoAttribute) {
  const char* const lines[] = {
      "uniform float t; // |TIME|ATTR=X|",        "uniform float t; // |FADE|ATTR=X|",
      "uniform float t; // |DELTATIME|ATTR=X|",   "uniform float t; // |FRAMERATE|ATTR=X|",
      "uniform int f; // |FRAME|ATTR=X|",         "uniform vec3 r; // |RESOLUTION|ATTR=X|",
      "uniform vec4 r; // |RESOLUTION|ATTR=X|",   "uniform mat4 m; // |CAMMVP|ATTR=X|",
      "uniform sampler2D s; // |TEXTURE2|ATTR=X|",
  };
  for (const char* line : lines) {
    AnnotatedProgram p;
    // Filled up to the last word: `after` takes the final four.
    std::string body = std::string("uniform float a[1018];\n") + line + "\nuniform float after; // 0.5";
    ShaderErrorLog().clear();
    ASSERT_TRUE(p.ParseAnnotations(body)) << line << ShaderErrorLog();
    EXPECT_EQ(p.desc.FindAttribute("X"), nullptr) << line;
  }
}

// A name first registered as an engine value and then again as a constant
// stays what it was: a constant keeps its value and its shadow word in its
// own words, and this entry has none.
TEST(UniformAnnotationsTest, EngineValueRedeclaredAsConstantStaysAnEngineValue) {
  const char* const pairs[][2] = {
      {"uniform float t; // |TIME|", "uniform float t; // |CONST|0.5"},
      {"uniform int f; // |FRAME|", "uniform int f; // |DEFINE|3"},
      {"uniform sampler2D s; // |TEXTURE1|", "uniform float s; // |CONST|"},
      {"uniform vec3 r; // |RESOLUTION|", "uniform bool r; // |CONST|1"},
  };
  for (const auto& pair : pairs) {
    AnnotatedProgram p;
    std::string body = std::string(pair[0]) + "\n" + pair[1] + "\nuniform float next; // 0.25";
    StripComments(body);
    ShaderErrorLog().clear();
    p.ParseAnnotations(body);
    const ShaderUniform* u = p.FindUniform(p.m_uniforms[0].name);
    ASSERT_NE(u, nullptr) << pair[1];
    EXPECT_FALSE(u->constant) << pair[1];
    EXPECT_EQ(p.m_constantUniformCount, 0) << pair[1];
    EXPECT_FLOAT_EQ(p.Float(p.FindUniform("next")->valueWord), 0.25f) << pair[1];
  }
}

TEST(UniformAnnotationsTest, IntAndBoolAttributesStoreIntegers) {
  AnnotatedProgram p;
  ASSERT_EQ(ParseOne(p, "uniform int count; // |ATTR=Count|MIN=5.7|MAX=-2.2|3"), 0);
  AttributeDesc* count = p.desc.FindAttribute("Count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->m_type, AttrInt);
  EXPECT_EQ(count->Value<int>(&p), 3);
  ASSERT_NE(count->m_range, nullptr);
  EXPECT_EQ(count->m_range->min.i, -2);
  EXPECT_EQ(count->m_range->max.i, 5);

  ParseOne(p, "uniform bool on; // |ATTR=On|MIN=0|MAX=1|1");
  AttributeDesc* on = p.desc.FindAttribute("On");
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(on->m_type, AttrBool);
  EXPECT_TRUE(on->Value<bool>(&p));
  EXPECT_EQ(on->m_range, nullptr);
}

TEST(UniformAnnotationsTest, IntRangesAndDefaultsBeyondTheIntRangeSaturate) {
  const struct {
    const char* line;
    int min, max, value;
  } cases[] = {
      {"uniform int n; // |ATTR=N|MIN=0|MAX=1e30|", 0, INT_MAX, 0},
      {"uniform int n; // |ATTR=N|MIN=-1e30|MAX=5|", INT_MIN, 5, 0},
      {"uniform int n; // |ATTR=N|MIN=nan|MAX=inf|", 0, INT_MAX, 0},
      {"uniform int n; // |ATTR=N|MIN=2147483520|MAX=-2147483648|", INT_MIN, 2147483520, 0},
      {"uniform int n; // |ATTR=N|MIN=1|MAX=2|99999999999", 1, 2, INT_MAX},
      {"uniform int n; // |ATTR=N|MIN=1|MAX=2|-99999999999", 1, 2, INT_MIN},
  };
  for (const auto& c : cases) {
    AnnotatedProgram p;
    ASSERT_EQ(ParseOne(p, c.line), 0) << c.line;
    AttributeDesc* n = p.desc.FindAttribute("N");
    ASSERT_NE(n, nullptr) << c.line;
    ASSERT_NE(n->m_range, nullptr) << c.line;
    EXPECT_EQ(n->m_range->min.i, c.min) << c.line;
    EXPECT_EQ(n->m_range->max.i, c.max) << c.line;
    EXPECT_EQ(n->Value<int>(&p), c.value) << c.line;
  }
}

// The shader of the hostile set whose int range once converted 1e30 to int.
TEST(UniformAnnotationsTest, HostileIntRangeShaderGetsASaturatedRange) {
  const std::string text = ReadTextFile(std::string(VELMORA_TESTDATA_DIR) + "/hostile/shader-int-range-float-to-int.glsl");
  ASSERT_NE(text.find("MAX=1e30"), std::string::npos);
  AnnotatedProgram p;
  ASSERT_EQ(ParseOne(p, text), 0);
  AttributeDesc* count = p.desc.FindAttribute("Count");
  ASSERT_NE(count, nullptr);
  ASSERT_NE(count->m_range, nullptr);
  EXPECT_EQ(count->m_range->min.i, 0);
  EXPECT_EQ(count->m_range->max.i, INT_MAX);
}

TEST(UniformAnnotationsTest, ArraysGetASizeChildOverTheirCountWord) {
  AnnotatedProgram p;
  ASSERT_EQ(ParseOne(p, "uniform float w[3]; // |ATTR=W|0.5|0.25"), 0);
  const ShaderUniform& u = p.m_uniforms[0];
  EXPECT_EQ(p.m_dwordFill, 5);
  EXPECT_EQ(p.values[u.headerWord], 3u);
  EXPECT_FLOAT_EQ(p.Float(u.valueWord), 0.5f);
  EXPECT_FLOAT_EQ(p.Float(u.valueWord + 1), 0.25f);
  AttributeDesc* w = p.desc.FindAttribute("W");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->m_type, AttrArray);
  AttributeDesc* size = p.desc.FindAttribute("W.size");
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->Value<int>(&p), 3);
  AttributeDesc* second = p.desc.FindAttribute("W[1]");
  ASSERT_NE(second, nullptr);
  EXPECT_FLOAT_EQ(second->Value<float>(&p), 0.25f);
}

TEST(UniformAnnotationsTest, ArrayRangesLeaveTheSizeRangeAlone) {
  struct Case {
    const char* line;
    const char* element;
  } cases[] = {{"uniform int steps[4]; // |ATTR=Steps|MIN=1|MAX=9|", "Steps[3]"},
               {"uniform float steps[4]; // |ATTR=Steps|MIN=1|MAX=9|", "Steps[3]"},
               {"uniform vec2 steps[4]; // |ATTR=Steps|MIN=1|MAX=9|", "Steps[3].y"}};
  for (const Case& c : cases) {
    AnnotatedProgram p;
    ASSERT_EQ(ParseOne(p, c.line), 0) << c.line;
    float lo = 0, hi = 0;
    ASSERT_TRUE(p.desc.FindAttribute("Steps.size")->GetRange(lo, hi)) << c.line;
    EXPECT_EQ(lo, 0.0f) << c.line;
    EXPECT_EQ(hi, 4.0f) << c.line;
    ASSERT_TRUE(p.desc.FindAttribute(c.element)->GetRange(lo, hi)) << c.line;
    EXPECT_EQ(lo, 1.0f) << c.line;
    EXPECT_EQ(hi, 9.0f) << c.line;
  }
}

TEST(UniformAnnotationsTest, NamesTakenByTheEffectFail) {
  ClassDesc* fx = fxBase::RegisterAttributes();
  uint32_t values[64] = {};
  InstanceClassDesc instance(fx);
  rvProgram2D p;
  p.SetValueArea(values, 0, 64, &instance);
  std::string body = "uniform float Start;\nuniform float ok; // |ATTR=Name|\nuniform float fine; // |ATTR=Gain|";
  ShaderErrorLog().clear();
  EXPECT_FALSE(p.ParseAnnotations(body));
  EXPECT_EQ(ShaderErrorLog(), "ERROR: variable Start already set in the fx attributes. use another name\n");
  ASSERT_EQ(p.m_uniforms.size(), 2u);  // "ok" registered, its attribute silently not
  EXPECT_EQ(instance.m_attributes.size(), fx->m_attributes.size() + 1);
  EXPECT_NE(instance.FindAttribute("Gain"), nullptr);
}

TEST(UniformAnnotationsTest, ReparsingKeepsEntriesValuesAndAttributes) {
  AnnotatedProgram p;
  std::string body = "uniform float a; // |ATTR=A|1\nuniform vec3 c; // |COLOR|ATTR=C|0.5,0.5,0.5";
  ShaderErrorLog().clear();
  std::string first = body;
  ASSERT_TRUE(p.ParseAnnotations(first));
  const int fill = p.m_dwordFill;
  const size_t attributes = p.desc.m_attributes.size();
  p.desc.FindAttribute("A")->Value<float>(&p) = 7.0f;  // a driver wrote it
  std::string second = body;
  ASSERT_TRUE(p.ParseAnnotations(second));
  EXPECT_EQ(p.m_uniforms.size(), 2u);
  EXPECT_EQ(p.m_dwordFill, fill);
  EXPECT_EQ(p.desc.m_attributes.size(), attributes);
  EXPECT_FLOAT_EQ(p.desc.FindAttribute("A")->Value<float>(&p), 7.0f);
}

TEST(UniformAnnotationsTest, ConstantsReplaceTheirUniformDeclaration) {
  AnnotatedProgram p;
  p.m_stages[StageFragment].source =
      "SHADER_HEADER\nuniform float k; // |CONST|0.25\nuniform int n; // |DEFINE|3\n"
      "uniform bool b; // |CONST|1\nout vec4 c;\nvoid main(){ c = vec4(k); }\n";
  ShaderErrorLog().clear();
  ASSERT_TRUE(p.Preprocess(StageFragment)) << ShaderErrorLog();
  const std::string& work = ShaderWorkText();
  EXPECT_NE(work.find("const float k = 0.250000;\n"), std::string::npos) << work;
  EXPECT_NE(work.find("const int n = 3;\n"), std::string::npos) << work;
  EXPECT_NE(work.find("const bool b = true;\n"), std::string::npos) << work;
  EXPECT_NE(work.find("//iform float k;"), std::string::npos) << work;
  EXPECT_NE(work.find("//iform int n;"), std::string::npos) << work;
  EXPECT_EQ(p.m_stages[StageFragment].headerLines, 7);
  EXPECT_EQ(p.m_constantUniformCount, 3);
}

// ---------------------------------------------------------------------------
// Upload (GL)
// ---------------------------------------------------------------------------

class UniformUploadTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    MakeTarget(64, 32);
  }
  // Builds a probe whose colour is `expression` over the declarations,
  // draws it and reads the centre pixel.
  Rgba8 Draw(AnnotatedProgram& p, const std::string& declarations, const std::string& expression) {
    m_source = "SHADER_HEADER\n" + declarations + "\nout vec4 c;\nvoid main(){ c = " + expression + "; }\n";
    p.m_stages[StageFragment].source = m_source.c_str();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    p.Bind();
    p.DrawFull(0);
    p.Unbind();
    return ReadPixel(32, 16);
  }
  std::string m_source;
};

TEST_F(UniformUploadTest, EngineValuesAreFedBySemantic) {
  fxBase fx(fxBase::GetClassDesc());
  fx.m_localTime = 0.25f;  // FadeIn 1 s: fade 0.25
  RenderTarget camera;
  camera.m_view = glm::translate(glm::mat4(1.0f), glm::vec3(0.25f, 0.5f, 0.0f));
  camera.m_invView = glm::inverse(camera.m_view);
  camera.m_viewProjection = glm::scale(glm::mat4(1.0f), glm::vec3(0.5f, 0.75f, 1.0f));
  camera.m_invProjection = glm::scale(glm::mat4(1.0f), glm::vec3(0.125f));
  struct Case {
    const char* declarations;
    const char* expression;
    Rgba8 want;
  } cases[] = {
      {"uniform float t; // |TIME|", "vec4(t, 0, 0, 1)", {64, 0, 0, 255}},
      {"uniform float f; // |FADE|", "vec4(f, 0, 0, 1)", {64, 0, 0, 255}},
      {"uniform float d; // |DELTATIME|", "vec4(d, 0, 0, 1)", {64, 0, 0, 255}},
      {"uniform vec3 r; // |RESOLUTION|", "vec4(r.x / 256.0, r.y / 256.0, r.z / 4.0, 1)", {64, 32, 128, 255}},
      {"uniform vec4 r; // |RESOLUTION|", "vec4(r.x / 256.0, r.y / 256.0, r.z / 4.0, 1.0 - r.w)", {64, 32, 128, 255}},
      {"uniform mat4 m; // |CAMMVP|", "vec4(m[0][0], m[1][1], m[2][2] * 0.5, 1)", {128, 191, 128, 255}},
      {"uniform mat4 m; // |CAMVIEW|", "vec4(m[3][0], m[3][1], 0, 1)", {64, 128, 0, 255}},
      {"uniform mat4 m; // |CAMERA|", "vec4(-m[3][0], -m[3][1], 0, 1)", {64, 128, 0, 255}},
      {"uniform mat4 m; // |CAMPROJINV|", "vec4(m[0][0], 0, 0, 1)", {32, 0, 0, 255}},
      {"uniform vec3 g; // |COLORS|1, 0.5, 0, 2", "vec4(g * 0.25, 1)", {128, 64, 0, 255}},
      {"uniform vec4 g; // |COLORS|1, 0.5, 0, 0.5", "vec4(g.rgb, g.a)", {128, 64, 0, 128}},
      {"uniform vec4 g; // |COLOR|0.2, 0.4, 0.6, 0.8", "g", {51, 102, 153, 204}},
      {"uniform vec2 p; // 0.5, 0.25", "vec4(p, 0, 1)", {128, 64, 0, 255}},
      {"uniform float a; // 0.75", "vec4(a, 0, 0, 1)", {191, 0, 0, 255}},
      {"uniform int i; // 3", "vec4(float(i) / 4.0, 0, 0, 1)", {191, 0, 0, 255}},
      {"uniform bool b; // 1", "vec4(b ? 1.0 : 0.0, 0, 0, 1)", {255, 0, 0, 255}},
  };
  RenderTarget* previous = g_pCurrentRenderTarget;
  g_pCurrentRenderTarget = &camera;
  g_pCurrentFx = &fx;
  for (const Case& c : cases) {
    AnnotatedProgram p;
    EXPECT_TRUE(PixelNear(Draw(p, c.declarations, c.expression), c.want)) << c.declarations << ShaderErrorLog();
  }
  g_pCurrentFx = nullptr;
  g_pCurrentRenderTarget = previous;
}

TEST_F(UniformUploadTest, FadeWithoutAnEffectIsNeutral) {
  AnnotatedProgram p;
  EXPECT_TRUE(PixelNear(Draw(p, "uniform float f; // |FADE|", "vec4(f, 0, 0, 1)"), {255, 0, 0, 255}));
}

TEST_F(UniformUploadTest, FrameAndFrameRateAreZero) {
  AnnotatedProgram p;
  const std::string decl = "uniform int f; // |FRAME|\nuniform float r; // |FRAMERATE|";
  Draw(p, decl, "vec4(float(f), r, 0, 1)");
  // Whatever was set in between, every bind feeds zeros again.
  glUseProgram(p.m_program);
  glUniform1i(p.m_uniforms[0].location, 7);
  glUniform1f(p.m_uniforms[1].location, 9.0f);
  EXPECT_TRUE(PixelNear(Draw(p, decl, "vec4(float(f), r, 0, 1)"), {0, 0, 0, 255}));
}

TEST_F(UniformUploadTest, TextureUnitsComeFromTheAnnotation) {
  const uint8_t texel[4] = {10, 200, 30, 255};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glActiveTexture(GL_TEXTURE0);
  AnnotatedProgram p;
  EXPECT_TRUE(PixelNear(Draw(p, "uniform sampler2D s; // |TEXTURE2|", "texture(s, vec2(0.5))"), {10, 200, 30, 255}));
  GLint unit = -1;
  glGetUniformiv(p.m_program, p.m_uniforms[0].location, &unit);
  EXPECT_EQ(unit, 2);
  glDeleteTextures(1, &tex);
}

TEST_F(UniformUploadTest, ArrayCountIsClampedToTheDeclaredSize) {
  const std::string decl = "uniform float w[3]; // |ATTR=W|0.2|0.4|0.6";
  const std::string expr = "vec4(w[0], w[1], w[2], 1)";
  struct Case {
    int size;
    Rgba8 want;
  } cases[] = {{3, {51, 102, 153, 255}}, {2, {51, 102, 0, 255}}, {1000000, {51, 102, 153, 255}},
               {-5, {0, 0, 0, 255}}};
  for (const Case& c : cases) {
    AnnotatedProgram p;
    std::string body = decl;
    ParseOne(p, decl);  // registers the entry so that ".size" can be edited before the first bind
    p.desc.FindAttribute("W.size")->Value<int>(&p) = c.size;
    EXPECT_TRUE(PixelNear(Draw(p, decl, expr), c.want)) << c.size;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << c.size;
  }
}

TEST_F(UniformUploadTest, ChangedConstantRebuildsTheProgramOnce) {
  AnnotatedProgram p;
  const std::string decl = "uniform float k; // |CONST|ATTR=K|0.25";
  EXPECT_TRUE(PixelNear(Draw(p, decl, "vec4(k, 0, 0, 1)"), {64, 0, 0, 255}));
  AttributeDesc* k = p.desc.FindAttribute("K");
  ASSERT_NE(k, nullptr);
  k->Value<float>(&p) = 0.5f;  // a driver or the editor changes it
  EXPECT_TRUE(PixelNear(Draw(p, decl, "vec4(k, 0, 0, 1)"), {128, 0, 0, 255}));
  EXPECT_NE(ShaderWorkText().find("const float k = 0.500000;\n"), std::string::npos) << ShaderWorkText();
  // The work text is only rewritten by a rebuild.
  ShaderWorkText().clear();
  EXPECT_TRUE(PixelNear(Draw(p, decl, "vec4(k, 0, 0, 1)"), {128, 0, 0, 255}));
  EXPECT_TRUE(ShaderWorkText().empty()) << "an unchanged constant does not rebuild";
}

TEST_F(UniformUploadTest, RelinkKeepsTheValuesDriversWrote) {
  AnnotatedProgram p;
  const std::string decl = "uniform float a; // |ATTR=A|0.25";
  Draw(p, decl, "vec4(a, 0, 0, 1)");
  p.desc.FindAttribute("A")->Value<float>(&p) = 0.75f;
  ASSERT_TRUE(p.Link());
  EXPECT_TRUE(PixelNear(Draw(p, decl, "vec4(a, 0, 0, 1)"), {191, 0, 0, 255}));
}

// A hostile stage: `t` fed by the engine, declared again as a constant, in
// an area filled up to its last word. Its constant words would lie past the
// area; the words after it must stay untouched however the build ends.
TEST_F(UniformUploadTest, ConstantRedeclaringAnEngineUniformStaysInsideTheArea) {
  const std::string path = std::string(VELMORA_TESTDATA_DIR) + "/hostile/shader-const-redeclared-semantic-uniform.fs";
  const std::string source = ReadTextFile(path);
  ASSERT_FALSE(source.empty()) << "missing " << path;
  // The value area is followed by guard words instead of other members.
  struct Guarded : rvProgram2D {
    Guarded() { SetValueArea(values, RV_OFFSETOF(Guarded, values), 1024, &desc); }
    uint32_t values[1024] = {};
    uint32_t guard[4] = {0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF};
    ClassDesc desc{"probe", nullptr, nullptr};
  } p;
  p.m_stages[StageFragment].source = source.c_str();
  // The compiler refuses the second declaration, and says so.
  EXPECT_FALSE(p.Link());
  EXPECT_EQ(ShaderErrorLog().rfind("Fragment Shader:\n", 0), 0u) << ShaderErrorLog();
  p.Bind();  // compares every constant with its shadow word
  p.Unbind();
  for (uint32_t word : p.guard) EXPECT_EQ(word, 0xDEADBEEFu);
  const ShaderUniform* t = p.FindUniform("t");
  ASSERT_NE(t, nullptr) << ShaderErrorLog();
  EXPECT_FALSE(t->constant);
  EXPECT_EQ(t->semantic, SemanticTime);
  EXPECT_EQ(p.m_constantUniformCount, 0);
}

}  // namespace

// A stage that declares the program's own uniforms (the raw form has to)
// still receives them: they take no value word that would upload zeros.
TEST_F(UniformUploadTest, DeclaredTimeAndResolutionStayTheProgramsOwn) {
  for (const char* line : {"uniform float iTime;", "uniform vec2 iResolution;"}) {
    AnnotatedProgram p;
    EXPECT_EQ(ParseOne(p, line), -1) << line;
  }
  AnnotatedProgram p;
  p.m_stages[StageFragment].source =
      "SHADER_RAW\n"
      "out vec4 fragColor;\n"
      "uniform vec2 iResolution;\n"
      "void main() { fragColor = vec4(iResolution.x / 255.0, iResolution.y / 255.0, 0.0, 1.0); }\n";
  p.Bind();
  ASSERT_NE(p.m_program, 0u) << ShaderErrorLog();
  p.DrawFull(0);
  p.Unbind();
  EXPECT_TRUE(PixelNear(ReadPixel(10, 10), {64, 32, 0, 255}));
}
