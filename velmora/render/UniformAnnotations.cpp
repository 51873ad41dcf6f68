// Uniform annotations and uniform upload: see UniformAnnotations.h.
//
// Index
//   [SECTION] Table entries (AddUniform, FindUniform)
//   [SECTION] Annotation parser (ParseAnnotations)
//   [SECTION] Compile-time constants
//   [SECTION] Program clock
//   [SECTION] Upload
#include "render/UniformAnnotations.h"

#include <glad/gl.h>
// After glad: GLFW must not pull in the system GL header first.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ClassDesc.h"
#include "render/EffectLink.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"

// ---------------------------------------------------------------------------
// [SECTION] Table entries (AddUniform, FindUniform)
// ---------------------------------------------------------------------------

namespace {

bool IsArrayKind(int kind) { return kind >= UniformIntArray && kind <= UniformVec4Array; }

// Words reserved for the values of an entry that lives in the value area,
// and the kind it takes (arrays get their array kind). Counted in 64 bits:
// the element count comes from shader text, and its words must reach the
// budget check without wrapping around.
int64_t ValueWords(int& kind, int count) {
  const int64_t n = count;
  const bool array = n >= 2;
  switch (kind) {
    case UniformInt:
      if (array) kind = UniformIntArray;
      return std::max<int64_t>(n, 4);
    case UniformFloat:
      if (array) kind = UniformFloatArray;
      return std::max<int64_t>(n, 4);
    case UniformVec2:
      if (array) kind = UniformVec2Array;
      return std::max<int64_t>(2 * n, 4);
    case UniformVec3:
      if (array) kind = UniformVec3Array;
      return std::max<int64_t>(3 * n, 4);
    case UniformVec4:
      if (array) kind = UniformVec4Array;
      return 4 * std::max<int64_t>(n, 1);
    case UniformMat4:
      return 16;
    default:  // bool (an array stays a scalar) and sampler2D
      return 4;
  }
}

}  // namespace

int rvProgram::AddUniform(const char* name, int kind, int semantic, int count, bool constant) {
  int64_t words = 0;
  if (semantic == SemanticNone || semantic == SemanticColor || semantic == SemanticColors) {
    words = ValueWords(kind, count);
  }
  if (IsArrayKind(kind)) constant = false;

  if (strlen(name) > static_cast<size_t>(kUniformNameMax)) {
    AppendShaderError("ERROR: uniform name %s too long (max %d char)\n", name, kUniformNameMax);
    return -1;
  }
  if (ShaderUniform* existing = FindUniform(name)) {
    if (semantic != SemanticNone) existing->semantic = semantic;
    // A constant keeps its value and a shadow word in its own words; an entry
    // fed by the engine has none, and those words would belong to the next
    // entry or lie past the value area.
    if (existing->wordCount < 2) constant = false;
    if (existing->constant != constant) m_constantUniformCount += constant ? 1 : -1;
    existing->constant = constant;
    return static_cast<int>(existing - m_uniforms.data());
  }
  const int budget = m_values != nullptr ? m_dwordBudget : 0;
  if (int64_t(m_dwordFill) + words + 1 > budget) {
    AppendShaderError("ERROR: two many uniform variables with %s (max %d dword cumulated)\n", name, budget);
    return -1;
  }
  if (m_parameterTarget != nullptr && m_parameterTarget->FindAttribute(name) != nullptr) {
    AppendShaderError("ERROR: variable %s already set in the fx attributes. use another name\n", name);
    return -1;
  }

  ShaderUniform u;
  strcpy(u.name, name);
  u.kind = kind;
  u.semantic = kind == UniformSampler2D ? std::clamp(semantic, int(SemanticTexture0), int(SemanticTexture24)) : semantic;
  u.count = count;
  u.constant = constant;
  u.headerWord = m_dwordFill;
  if (IsArrayKind(kind)) ++m_dwordFill;
  u.valueWord = m_dwordFill;
  u.wordCount = static_cast<int>(words);
  m_dwordFill += u.wordCount;
  if (constant) ++m_constantUniformCount;
  m_values[u.headerWord] = static_cast<uint32_t>(count);
  for (int w = u.valueWord; w < m_dwordFill; ++w) m_values[w] = 0;
  m_uniforms.push_back(u);
  return static_cast<int>(m_uniforms.size()) - 1;
}

ShaderUniform* rvProgram::FindUniform(const char* name) {
  for (ShaderUniform& u : m_uniforms) {
    if (strcmp(u.name, name) == 0) return &u;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Annotation parser (ParseAnnotations)
// ---------------------------------------------------------------------------

namespace {

struct TypeWord {
  const char* word;
  int kind;
};
const TypeWord kTypeWords[] = {
    {"bool ", UniformBool}, {"int ", UniformInt},   {"float ", UniformFloat}, {"vec2 ", UniformVec2},
    {"vec3 ", UniformVec3}, {"vec4 ", UniformVec4}, {"mat4 ", UniformMat4},   {"sampler2D ", UniformSampler2D},
};

struct Keyword {
  const char* word;
  int semantic;
};

bool Has(const std::string& annotation, const char* keyword) { return annotation.find(keyword) != std::string::npos; }

int FirstSemantic(const std::string& annotation, std::initializer_list<Keyword> keywords) {
  for (const Keyword& k : keywords) {
    if (Has(annotation, k.word)) return k.semantic;
  }
  return SemanticNone;
}

// The text after "|KEY=" up to the next '|'; false when the key is absent.
bool FieldValue(const std::string& annotation, const char* key, std::string& value) {
  const size_t at = annotation.find(key);
  if (at == std::string::npos) return false;
  const size_t start = at + strlen(key);
  value = annotation.substr(start, annotation.find('|', start) - start);
  return true;
}

struct ParsedLine {
  int kind = -1;
  int semantic = SemanticNone;
  bool constant = false;
  int attrType = -1;  // a colour keyword's attribute type, else -1
  std::string name;
  int count = 1;
  std::string attribute;
  bool hasMin = false, hasMax = false;
  float min = 0.0f, max = 0.0f;
};

// Reads one line's declaration and annotation; false when it declares no
// uniform of a handled type.
bool ParseLine(const std::string& code, std::string& annotation, ParsedLine& out) {
  static const char kUniform[] = "uniform ";
  if (code.compare(0, strlen(kUniform), kUniform) != 0) return false;
  size_t pos = strlen(kUniform);
  for (const TypeWord& t : kTypeWords) {
    if (code.compare(pos, strlen(t.word), t.word) == 0) {
      out.kind = t.kind;
      pos += strlen(t.word);
      break;
    }
  }
  if (out.kind < 0) return false;

  for (char& c : annotation) {
    if (c == ',' || c == '(' || c == ')' || c == ';' || c == '\n') c = '|';
  }
  annotation += '|';

  switch (out.kind) {
    case UniformBool:
    case UniformInt:
      out.semantic = FirstSemantic(annotation, {{"|FRAME|", SemanticFrame}});
      break;
    case UniformFloat:
      out.semantic = FirstSemantic(annotation, {{"|TIME|", SemanticTime},
                                                {"|FADE|", SemanticFade},
                                                {"|DELTATIME|", SemanticDeltaTime},
                                                {"|FRAMERATE|", SemanticFrameRate}});
      break;
    case UniformVec3:
    case UniformVec4:
      if (Has(annotation, "|COLOR|")) {
        out.semantic = SemanticColor;
        out.attrType = out.kind == UniformVec3 ? AttrRGB : AttrRGBA;
      } else if (Has(annotation, "|COLORS|")) {
        out.semantic = SemanticColors;
        out.attrType = AttrRGBS;
      } else if (Has(annotation, "|RESOLUTION|")) {
        out.semantic = SemanticResolution;
      }
      break;
    case UniformMat4:
      out.semantic = FirstSemantic(annotation, {{"|CAMERA|", SemanticCamViewInv},
                                                {"|CAMMVP|", SemanticCamMVP},
                                                {"|CAMVIEW|", SemanticCamView},
                                                {"|CAMPROJ|", SemanticCamProj},
                                                {"|CAMMVPINV|", SemanticCamMVPInv},
                                                {"|CAMVIEWINV|", SemanticCamViewInv},
                                                {"|CAMPROJINV|", SemanticCamProjInv}});
      break;
    case UniformSampler2D:
      // Lower units first: "|TEXTURE3|" and "|TEXTURE1|" together select 1.
      for (int unit = 0; unit <= 24 && out.semantic == SemanticNone; ++unit) {
        const std::string keyword = "|TEXTURE" + std::to_string(unit) + "|";
        if (Has(annotation, keyword.c_str())) out.semantic = SemanticTexture0 + unit;
      }
      break;
    default:
      break;
  }
  const bool scalarNumber = out.kind == UniformBool || out.kind == UniformInt || out.kind == UniformFloat;
  if (scalarNumber && out.semantic == SemanticNone) {
    out.constant = Has(annotation, "|CONST|") || Has(annotation, "|DEFINE|");
  }

  FieldValue(annotation, "|ATTR=", out.attribute);
  std::string number;
  if ((out.hasMin = FieldValue(annotation, "|MIN=", number))) out.min = static_cast<float>(atof(number.c_str()));
  if ((out.hasMax = FieldValue(annotation, "|MAX=", number))) out.max = static_cast<float>(atof(number.c_str()));

  size_t end = code.find_first_of("; ", pos);
  if (end == std::string::npos) end = code.size();
  const size_t bracket = code.find('[', pos);
  if (bracket != std::string::npos && bracket < end) {
    // Saturated: a size beyond an int must not wrap into a small one.
    const long size = strtol(code.c_str() + bracket + 1, nullptr, 10);
    out.count = static_cast<int>(std::clamp<long>(size, INT_MIN, INT_MAX));
    end = bracket;
  }
  out.name = code.substr(pos, end - pos);
  return true;
}

// A range bound of an int attribute, truncated toward zero. atof gives any
// float: one beyond the int range saturates, NaN has no bound and gives 0.
int RangeBoundToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}

// Default values: every '|'-separated field that starts like a number.
void StoreDefaults(const std::string& annotation, int declaredKind, const ShaderUniform& u, uint32_t* values) {
  int stored = 0;
  size_t start = 0;
  while (start < annotation.size() && stored < u.wordCount) {
    size_t end = annotation.find('|', start);
    if (end == std::string::npos) end = annotation.size();
    const char first = annotation[start];
    if (end > start && (isdigit(static_cast<unsigned char>(first)) || first == '+' || first == '-' || first == '.')) {
      const std::string field = annotation.substr(start, end - start);
      uint32_t& word = values[u.valueWord + stored++];
      if (declaredKind == UniformBool || declaredKind == UniformInt) {
        // Saturated like the range bounds: atoi has no value beyond an int.
        const long v = strtol(field.c_str(), nullptr, 10);
        word = static_cast<uint32_t>(static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX)));
      } else {
        const float f = static_cast<float>(atof(field.c_str()));
        memcpy(&word, &f, sizeof(f));
      }
    }
    start = end + 1;
  }
}

struct ArrayElement {
  int type;
  int size;
};

ArrayElement ElementOf(int arrayKind) {
  switch (arrayKind) {
    case UniformIntArray: return {AttrInt, 4};
    case UniformFloatArray: return {AttrFloat, 4};
    case UniformVec2Array: return {AttrVec2, 8};
    case UniformVec3Array: return {AttrVec3, 12};
    default: return {AttrVec4, 16};
  }
}

}  // namespace

bool rvProgram::ParseAnnotations(std::string& text) {
  if (m_values == nullptr || m_dwordBudget <= 0 || m_parameterTarget == nullptr) return true;
  const size_t before = ShaderErrorLog().size();

  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;

    const size_t comment = line.find("//");
    const std::string code = line.substr(0, comment);
    std::string annotation = comment == std::string::npos ? std::string() : "|" + line.substr(comment + 2);
    ParsedLine parsed;
    if (!ParseLine(code, annotation, parsed)) continue;
    // The program feeds iTime and iResolution itself on every bind; a stage
    // that declares them (the raw form must) would otherwise get a value
    // word whose upload overwrites them with zeros.
    if (parsed.semantic == SemanticNone && (parsed.name == "iTime" || parsed.name == "iResolution")) continue;

    const size_t countBefore = m_uniforms.size();
    const int index = AddUniform(parsed.name.c_str(), parsed.kind, parsed.semantic, parsed.count, parsed.constant);
    if (index < 0 || m_uniforms.size() == countBefore) continue;
    const ShaderUniform u = m_uniforms[index];

    if (u.kind != UniformSampler2D && !annotation.empty() && annotation[0] == '|') {
      StoreDefaults(annotation, parsed.kind, u, m_values);
    }
    // A mat4 gets no attribute: a transform attribute's layout does not
    // match the 16 matrix words and would reach beyond them. An entry fed by
    // the engine reserves no words for an attribute to lie over.
    if (parsed.attribute.empty() || u.wordCount == 0 || u.kind == UniformSampler2D || u.kind == UniformMat4 ||
        m_parameterTarget->FindAttribute(parsed.attribute) != nullptr) {
      continue;
    }
    const int offset = m_attributeBase + 4 * u.valueWord;
    AttributeDesc* attribute = nullptr;
    std::vector<AttributeDesc*> ranged;
    if (IsArrayKind(u.kind)) {
      const ArrayElement e = ElementOf(u.kind);
      attribute = m_parameterTarget->AddArrayAttribute(parsed.attribute, e.type, e.size, offset,
                                                       m_attributeBase + 4 * u.headerWord, u.count);
      // The range belongs to the elements; ".size" (the first child) keeps
      // its 0..count range.
      ranged.assign(attribute->m_children.begin() + 1, attribute->m_children.end());
    } else {
      static const int kScalarTypes[] = {AttrBool, AttrInt, AttrFloat, AttrVec2, AttrVec3, AttrVec4};
      const int type = parsed.attrType >= 0 ? parsed.attrType : kScalarTypes[u.kind];
      attribute = m_parameterTarget->AddAttribute(type, parsed.attribute, offset);
      ranged.push_back(attribute);
    }
    if (!parsed.hasMin || !parsed.hasMax || parsed.kind == UniformBool) continue;
    const float lo = std::min(parsed.min, parsed.max), hi = std::max(parsed.min, parsed.max);
    for (AttributeDesc* a : ranged) {
      if (parsed.kind == UniformInt) {
        const int a0 = RangeBoundToInt(parsed.min), a1 = RangeBoundToInt(parsed.max);
        a->SetRangeInt(std::min(a0, a1), std::max(a0, a1));
      } else {
        a->SetRange(lo, hi);
      }
    }
  }

  // The generated constant declaration replaces the uniform.
  static const char* const kConstTypeWords[] = {"bool ", "int ", "float "};
  for (const ShaderUniform& u : m_uniforms) {
    if (!u.constant || u.kind > UniformFloat) continue;
    const std::string declaration = std::string("uniform ") + kConstTypeWords[u.kind] + u.name + ";";
    const size_t at = text.find(declaration);
    if (at != std::string::npos) text.replace(at, 2, "//");
  }
  return ShaderErrorLog().size() == before;
}

// ---------------------------------------------------------------------------
// [SECTION] Compile-time constants
// ---------------------------------------------------------------------------

namespace {

// Returns the constant of that name, appending a new one when absent.
ShaderConstant& ConstantNamed(std::vector<ShaderConstant>& constants, const char* name, bool& isNew) {
  for (ShaderConstant& c : constants) {
    if (c.name == name) {
      isNew = false;
      return c;
    }
  }
  isNew = true;
  constants.emplace_back();
  constants.back().name = name;
  return constants.back();
}

}  // namespace

void rvProgram::SetConstBool(const char* name, bool value, bool inPreprocess) {
  bool isNew;
  ShaderConstant& c = ConstantNamed(m_constants, name, isNew);
  if (!isNew && c.kind == ConstBool && c.value.b == value && !inPreprocess) return;
  c.kind = ConstBool;
  c.value.bits = 0;
  c.value.b = value;
  c.declaration = "const bool " + c.name + " = " + (value ? "true;\n" : "false;\n");
  if (!inPreprocess) m_dirtyStages = 0x3F;
}

void rvProgram::SetConstInt(const char* name, int value, bool inPreprocess) {
  bool isNew;
  ShaderConstant& c = ConstantNamed(m_constants, name, isNew);
  if (!isNew && c.kind == ConstInt && c.value.i == value && !inPreprocess) return;
  c.kind = ConstInt;
  c.value.i = value;
  c.declaration = "const int " + c.name + " = " + std::to_string(value) + ";\n";
  if (!inPreprocess) m_dirtyStages = 0x3F;
}

void rvProgram::SetConstFloat(const char* name, float value, bool inPreprocess) {
  bool isNew;
  ShaderConstant& c = ConstantNamed(m_constants, name, isNew);
  if (!isNew && c.kind == ConstFloat && c.value.f == value && !inPreprocess) return;
  c.kind = ConstFloat;
  c.value.f = value;
  char text[64];
  snprintf(text, sizeof(text), "%f", value);
  c.declaration = "const float " + c.name + " = " + text + ";\n";
  if (!inPreprocess) m_dirtyStages = 0x3F;
}

void rvProgram::RefreshConstants() {
  for (const ShaderUniform& u : m_uniforms) {
    if (!u.constant) continue;
    const uint32_t value = m_values[u.valueWord];
    uint32_t& shadow = m_values[u.valueWord + 1];
    if (u.kind == UniformBool) {
      if ((value & 0xFF) == (shadow & 0xFF)) continue;
      SetConstBool(u.name, (value & 0xFF) != 0, false);
    } else if (u.kind == UniformInt) {
      if (value == shadow) continue;
      SetConstInt(u.name, static_cast<int>(value), false);
    } else {
      float now, last;
      memcpy(&now, &value, sizeof(now));
      memcpy(&last, &shadow, sizeof(last));
      // NaN never equals itself; it must not rebuild the program every bind.
      if (now == last || (std::isnan(now) && std::isnan(last))) continue;
      SetConstFloat(u.name, now, false);
    }
    shadow = value;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Program clock
// ---------------------------------------------------------------------------

float rvProgram::ProgramTime() const {
  // The effect clocks belong to the effect being drawn, which the layers
  // above this one know.
  const float t = m_timeSource == TimeSourceWallClock ? static_cast<float>(glfwGetTime())
                                                      : LinkedEffectTime(m_timeSource);
  return t + m_timeOffset;
}

// ---------------------------------------------------------------------------
// [SECTION] Upload
// ---------------------------------------------------------------------------

namespace {

const glm::mat4& CameraMatrix(int semantic) {
  const RenderTarget* t = g_pCurrentRenderTarget ? g_pCurrentRenderTarget : &g_defaultRenderTarget;
  switch (semantic) {
    case SemanticCamMVP: return t->m_viewProjection;
    case SemanticCamView: return t->m_view;
    case SemanticCamProj: return t->m_projection;
    case SemanticCamMVPInv: return t->m_invViewProjection;
    case SemanticCamProjInv: return t->m_invProjection;
    default: return t->m_invView;
  }
}

}  // namespace

void rvProgram::UploadUniforms() {
  const float W = static_cast<float>(m_viewport[2]), H = static_cast<float>(m_viewport[3]);
  // No current effect fades nothing: 1 is the neutral factor.
  const float fade = LinkedEffectFade();
  for (const ShaderUniform& u : m_uniforms) {
    if (u.location < 0 || u.kind < UniformBool || u.kind > UniformVec4Array) continue;
    const uint32_t* words = m_values ? m_values + u.valueWord : nullptr;
    const float* f = reinterpret_cast<const float*>(words);
    const int s = u.semantic;
    switch (u.kind) {
      case UniformFloat: {
        float v = 0.0f;
        if (s == SemanticTime) v = m_time;
        else if (s == SemanticFade) v = fade;
        else if (s == SemanticDeltaTime) v = m_delta;
        else if (s == SemanticFrameRate || s == SemanticFrame) v = 0.0f;
        else if (f) v = f[0];
        glUniform1f(u.location, v);
        break;
      }
      case UniformVec2:
        if (s == SemanticResolution) glUniform2f(u.location, W, H);
        else if (s == SemanticMouse || !f) glUniform2f(u.location, 0.0f, 0.0f);
        else glUniform2f(u.location, f[0], f[1]);
        break;
      case UniformVec3:
        if (s == SemanticResolution) glUniform3f(u.location, W, H, W / H);
        else if (s == SemanticMouse || !f) glUniform3f(u.location, 0.0f, 0.0f, 0.0f);
        else if (s == SemanticColors) glUniform3f(u.location, f[0] * f[3], f[1] * f[3], f[2] * f[3]);
        else glUniform3f(u.location, f[0], f[1], f[2]);
        break;
      case UniformVec4:
        if (s == SemanticResolution) glUniform4f(u.location, W, H, W / H, 0.0f);
        else if (s == SemanticMouse || !f) glUniform4f(u.location, 0.0f, 0.0f, 0.0f, 0.0f);
        else if (s == SemanticColors) glUniform4f(u.location, f[0] * f[3], f[1] * f[3], f[2] * f[3], f[3]);
        else glUniform4f(u.location, f[0], f[1], f[2], f[3]);
        break;
      case UniformSampler2D:
        glUniform1i(u.location, s - SemanticTexture0);
        break;
      case UniformMat4:
        if (s >= SemanticCamMVP && s <= SemanticCamViewInv) {
          glUniformMatrix4fv(u.location, 1, GL_FALSE, &CameraMatrix(s)[0][0]);
        } else if (f) {
          glUniformMatrix4fv(u.location, 1, GL_FALSE, f);
        }
        break;
      case UniformBool:
      case UniformInt:
        glUniform1i(u.location, s == SemanticFrame || !words ? 0 : static_cast<int>(words[0]));
        break;
      default: {
        if (!m_values) break;
        // The count is an editable attribute (".size"): never beyond the
        // elements the shader declares and the area holds.
        const int c = std::clamp(static_cast<int>(m_values[u.headerWord]), 0, u.count);
        if (u.kind == UniformIntArray) glUniform1iv(u.location, c, reinterpret_cast<const GLint*>(words));
        else if (u.kind == UniformFloatArray) glUniform1fv(u.location, c, f);
        else if (u.kind == UniformVec2Array) glUniform2fv(u.location, c, f);
        else if (u.kind == UniformVec3Array) glUniform3fv(u.location, c, f);
        else glUniform4fv(u.location, c, f);
        break;
      }
    }
  }
}
