// Shader source preprocessing: see ShaderPreprocessor.h.
//
// Index
//   [SECTION] Error log and work text
//   [SECTION] StripComments
//   [SECTION] Source forms and header
//   [SECTION] Include expansion
//   [SECTION] Compiler log mapping
//   [SECTION] rvProgram steps (CompileStage, Preprocess, ExpandIncludes)
#include "render/ShaderPreprocessor.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Loader/DataPack.h"
#include "render/GLShaderBuild.h"
#include "render/rvProgram.h"

// ---------------------------------------------------------------------------
// [SECTION] Error log and work text
// ---------------------------------------------------------------------------

std::string& ShaderErrorLog() {
  static std::string log;
  return log;
}

std::string& ShaderWorkText() {
  static std::string text;
  return text;
}

void AppendShaderError(const char* fmt, ...) {
  static char message[1024];
  va_list args;
  va_start(args, fmt);
  vsnprintf(message, sizeof(message), fmt, args);
  va_end(args);
  ShaderErrorLog() += message;
}

// ---------------------------------------------------------------------------
// [SECTION] StripComments
// ---------------------------------------------------------------------------

int StripComments(std::string& text) {
  std::string out;
  out.reserve(text.size());
  int lines = 1;
  bool inBlock = false, inLine = false;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    const char next = i + 1 < n ? text[i + 1] : '\0';
    if (c == '\r') continue;
    if (c == '\t') c = ' ';
    if (c == '\n') {
      ++lines;
      inLine = false;
      out += '\n';
      continue;
    }
    const char prev = out.empty() ? '\n' : out.back();
    if (inBlock) {
      if (c == '*' && next == '/') {
        inBlock = false;
        ++i;
      }
      continue;
    }
    // Inside a line comment GLSL sees no block comment, so neither do we:
    // a "/*" there must not swallow the following lines.
    if (!inLine && c == '/' && next == '*' && prev != '/') {
      inBlock = true;
      ++i;
      continue;
    }
    if (c == '*' && next == '/') {
      ++i;
      continue;
    }
    if (c == ' ') {
      if (inLine) continue;
      if (prev == ' ' || prev == '\n' || prev == ',' || prev == '(' || prev == '=') continue;
      if (next == ',' || next == ')' || next == '=') continue;
    }
    out += c;
    if (!inLine && c == '/' && prev == '/' && out.size() >= 2) inLine = true;
  }
  text.swap(out);
  return lines;
}

// ---------------------------------------------------------------------------
// [SECTION] Source forms and header
// ---------------------------------------------------------------------------

namespace {

const char kOwnMarker[] = "SHADER_HEADER";
const char kRawMarker[] = "SHADER_RAW";
const char kMainImage[] = "void mainImage(out vec4 fragColor,in vec2 fragCoord)";
const char kBonzomaticTime[] = "uniform float fGlobalTime;";
const char kShadertoyUniforms[] =
    "uniform vec2 iResolution;\nuniform float iTime;\nuniform float iTimeDelta;\nuniform int iFrame;\n"
    "uniform float iFrameRate;\nuniform vec4 iMouse;\nuniform sampler2D iChannel0;\nuniform sampler2D iChannel1;\n"
    "uniform sampler2D iChannel2;\nuniform sampler2D iChannel3;\n";
static_assert(sizeof(kMainImage) - 1 == 52, "the mainImage signature is overwritten in place");
static_assert(sizeof(kShadertoyUniforms) - 1 == 256, "Shadertoy uniform block");

bool StartsWith(const std::string& s, size_t pos, const char* prefix) {
  return s.compare(pos, strlen(prefix), prefix) == 0;
}

void AddHeaderLine(SplitSource& out, const std::string& line) {
  out.header += line;
  ++out.headerLines;
}

}  // namespace

bool SplitShaderSource(const std::string& stripped, bool fullDemo, SplitSource& out) {
  out = SplitSource();
  AddHeaderLine(out, "#version 450 core\n");
  AddHeaderLine(out, "#define VELMORA\n");
  if (fullDemo) AddHeaderLine(out, "#define FULL_DEMO\n");

  size_t mainImage = std::string::npos;
  if (StartsWith(stripped, 0, kOwnMarker)) {
    out.format = ShaderFormatOwn;
    size_t pos = strlen(kOwnMarker);
    while (pos < stripped.size() && (stripped[pos] == ' ' || stripped[pos] == '\t' || stripped[pos] == '\n')) {
      if (stripped[pos] == '\n') ++out.bodyLineOffset;
      ++pos;
    }
    // Extensions and other directives must precede any declaration, so they
    // move into the header; #if and #define blocks stay with the code, and
    // so do includes, which are expanded in the body only.
    while (pos < stripped.size() && stripped[pos] == '#' && !StartsWith(stripped, pos, "#if") &&
           !StartsWith(stripped, pos, "#def") && !StartsWith(stripped, pos, "#include")) {
      size_t end = stripped.find('\n', pos);
      std::string line = stripped.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      AddHeaderLine(out, line + "\n");
      if (end == std::string::npos) {
        pos = stripped.size();
      } else {
        pos = end + 1;
        ++out.bodyLineOffset;
      }
    }
    AddHeaderLine(out, "uniform vec2 iResolution;\n");
    AddHeaderLine(out, "uniform float iTime;\n");
    out.body = stripped.substr(pos);
  } else if ((mainImage = stripped.find(kMainImage)) != std::string::npos) {
    out.format = ShaderFormatShadertoy;
    AddHeaderLine(out, "in vec2 fragCoord;\n");
    AddHeaderLine(out, "out vec4 fragColor;\n");
    out.header += kShadertoyUniforms;
    out.headerLines += 10;
    out.body = stripped;
    // Same length as the signature, so that line and column numbers stay.
    out.body.replace(mainImage, sizeof(kMainImage) - 1, std::string("void main()") + std::string(41, ' '));
  } else if (stripped.find(kBonzomaticTime) != std::string::npos) {
    out.format = ShaderFormatBonzomatic;
    out.body = stripped;
    // Our header carries the version; the source's own line becomes a comment.
    size_t version = out.body.find("#version");
    if (version != std::string::npos) out.body.replace(version, 2, "//");
  } else if (StartsWith(stripped, 0, kRawMarker)) {
    out.format = ShaderFormatRaw;
    out.body = stripped.substr(strlen(kRawMarker));
  }
  if (out.body.empty() || out.format == ShaderFormatNone) {
    ShaderErrorLog() += "ERROR: shader format unknown (not shadertoy, bonzomatic or velmora shader).";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Include expansion
// ---------------------------------------------------------------------------

bool ExpandIncludeDirectives(std::string& text, std::vector<ShaderInclude>& includes, const IncludeReader& read) {
  if (text.empty()) return true;
  static const char kDirective[] = "#include \"";
  const size_t before = ShaderErrorLog().size();
  int line = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t p = pos;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    const size_t lineEnd = text.find('\n', p);
    const size_t close = StartsWith(text, p, kDirective) ? text.find('"', p + 10) : std::string::npos;
    if (close != std::string::npos && close < lineEnd) {
      const std::string path = text.substr(p + 10, close - p - 10);
      std::string file;
      if (!read(path, file) || file.empty()) {
        AppendShaderError("ERROR: included file %s not found or empty\n", path.c_str());
      } else {
        const int count = StripComments(file);
        includes.push_back({path, std::string(), line, count});
        text.replace(p, 2, "//");
        text.insert(p, file);
        // Scanning resumes on the commented directive: the inserted text is
        // not scanned, so an included file's own includes stay as written.
        p += file.size();
        line += count - 1;
      }
    }
    const size_t next = text.find('\n', p);
    if (next == std::string::npos) break;
    pos = next + 1;
    ++line;
  }
  return ShaderErrorLog().size() == before;
}

// ---------------------------------------------------------------------------
// [SECTION] Compiler log mapping
// ---------------------------------------------------------------------------

namespace {

// A compiler line names its line as "0(N) : message" (the production's
// drivers) or "0:N(C): message" (Mesa). Gives N and where the message
// starts, the character before its ':' included.
bool ParseCompilerLine(const std::string& line, int& number, size_t& rest) {
  if (StartsWith(line, 0, "0(")) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon < 2 || line[colon - 2] != ')') return false;
    number = atoi(line.c_str() + 2);
    rest = colon - 1;
    return true;
  }
  if (StartsWith(line, 0, "0:") && line.size() > 2 && isdigit(static_cast<unsigned char>(line[2]))) {
    size_t p = 2;
    while (p < line.size() && isdigit(static_cast<unsigned char>(line[p]))) ++p;
    if (p >= line.size() || line[p] != '(') return false;
    const size_t closing = line.find(')', p);
    if (closing == std::string::npos || closing + 1 >= line.size() || line[closing + 1] != ':') return false;
    number = atoi(line.c_str() + 2);
    rest = closing + 1;
    return true;
  }
  return false;
}

// Lines that the includes ending before line n added to the body.
int LinesAddedBefore(const std::vector<ShaderInclude>& includes, int n) {
  int added = 0;
  for (const ShaderInclude& inc : includes) {
    if (inc.line + inc.lineCount < n) added += inc.lineCount - 1;
  }
  return added;
}

}  // namespace

void FormatShaderLog(std::string& log, int headerLines, int bodyLineOffset,
                     const std::vector<ShaderInclude>& includes) {
  static const char kLead[] = "    \xEF\x84\x98 ";
  std::string out;
  size_t start = 0;
  while (start <= log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    if (!out.empty()) out += '\n';
    int number = 0;
    size_t rest = 0;
    if (!ParseCompilerLine(line, number, rest)) {
      out += line;
      continue;
    }
    const int n = number - headerLines;
    const ShaderInclude* owner = nullptr;
    for (const ShaderInclude& inc : includes) {
      if (inc.line < n && n <= inc.line + inc.lineCount) owner = &inc;
    }
    int mapped;
    std::string prefix;
    if (owner) {
      mapped = n - owner->line;
      prefix = "[" + owner->path + "] ";
    } else {
      mapped = n - LinesAddedBefore(includes, n) + bodyLineOffset;
    }
    out += kLead + prefix + "Line " + std::to_string(mapped) + line.substr(rest);
  }
  log.swap(out);
}

// ---------------------------------------------------------------------------
// [SECTION] rvProgram steps (CompileStage, Preprocess, ExpandIncludes)
// ---------------------------------------------------------------------------

namespace {

struct StageKind {
  const char* title;
  GLenum type;
};
const StageKind kStageKinds[StageCount] = {
    {"Vertex Shader:\n", GL_VERTEX_SHADER},
    {"Fragment Shader:\n", GL_FRAGMENT_SHADER},
    {"Compute Shader:\n", GL_COMPUTE_SHADER},
    {"Geometry Shader:\n", GL_GEOMETRY_SHADER},
    {"Tesselation Control Shader:\n", GL_TESS_CONTROL_SHADER},
    {"Tesselation Evaluation Shader:\n", GL_TESS_EVALUATION_SHADER},
};

bool ReadIncludeFromPack(const std::string& path, std::string& text) {
  int size = 0;
  FileBuffer buffer = DataPack::Get().ReadFile(path, size);
  if (!buffer || size <= 0) return false;
  text.assign(buffer.get(), static_cast<size_t>(size));
  return true;
}

}  // namespace

bool rvProgram::CompileStage(int i) {
  if (i < 0 || i >= StageCount) return true;
  ShaderStage& stage = m_stages[i];
  m_dirtyStages &= static_cast<uint8_t>(~(1u << i));
  if (stage.shader != 0) glDeleteShader(stage.shader);
  stage.shader = 0;
  stage.includes.clear();
  if (stage.source == nullptr || stage.source[0] == '\0') return true;

  std::string& log = ShaderErrorLog();
  const size_t before = log.size();
  if (!Preprocess(i)) {
    log.insert(before, kStageKinds[i].title);
    return false;
  }
  std::string info;
  stage.shader = CompileGLShader(kStageKinds[i].type, ShaderWorkText().c_str(), &info);
  if (stage.shader == 0) {
    FormatShaderLog(info, i);
    log += std::string(kStageKinds[i].title) + info;
  }
  m_dirtyStages &= static_cast<uint8_t>(~(1u << i));
  return log.size() == before;
}

bool rvProgram::Preprocess(int i) {
  ShaderStage& stage = m_stages[i];
  std::string stripped = stage.source;
  StripComments(stripped);
  ShaderWorkText().clear();
  stage.format = ShaderFormatNone;
  stage.headerLines = 0;
  stage.bodyLineOffset = 0;

  const size_t before = ShaderErrorLog().size();
  SplitSource split;
  if (!SplitShaderSource(stripped, m_fullDemo != 0, split)) return false;
  stage.format = split.format;
  stage.bodyLineOffset = split.bodyLineOffset;
  // The forms' engine uniforms go into the table: a program without a value
  // area cannot hold them, and each registration fails with the table-full
  // message.
  if (split.format == ShaderFormatShadertoy) {
    AddUniform("iTimeDelta", UniformFloat, SemanticDeltaTime, 1, false);
    AddUniform("iFrame", UniformInt, SemanticFrame, 1, false);
    AddUniform("iFrameRate", UniformFloat, SemanticFrameRate, 1, false);
    AddUniform("iMouse", UniformVec4, SemanticMouse, 1, false);
    for (int unit = 0; unit < 4; ++unit) {
      const std::string name = "iChannel" + std::to_string(unit);
      AddUniform(name.c_str(), UniformSampler2D, SemanticTexture0 + unit, 1, false);
    }
  } else if (split.format == ShaderFormatBonzomatic) {
    AddUniform("fGlobalTime", UniformFloat, SemanticTime, 1, false);
    AddUniform("v2Resolution", UniformVec2, SemanticResolution, 1, false);
    AddUniform("texNoise", UniformSampler2D, SemanticTexture0, 1, false);
    for (int unit = 1; unit <= 4; ++unit) {
      const std::string name = "texTex" + std::to_string(unit);
      AddUniform(name.c_str(), UniformSampler2D, SemanticTexture0 + unit, 1, false);
    }
    AddUniform("texChecker", UniformSampler2D, SemanticTexture0 + 5, 1, false);
  }
  if (!ExpandIncludes(split.body, i) || !ParseAnnotations(split.body)) return false;

  for (ShaderUniform& u : m_uniforms) {
    if (!u.constant) continue;
    uint32_t& value = m_values[u.valueWord];
    if (u.kind == UniformBool) {
      SetConstBool(u.name, (value & 0xFF) != 0, true);
    } else if (u.kind == UniformInt) {
      SetConstInt(u.name, static_cast<int>(value), true);
    } else {
      float f;
      memcpy(&f, &value, sizeof(f));
      SetConstFloat(u.name, f, true);
    }
    m_values[u.valueWord + 1] = value;
  }
  for (const ShaderConstant& c : m_constants) {
    split.header += c.declaration;
    ++split.headerLines;
  }
  stage.headerLines = split.headerLines;
  ShaderWorkText() = split.header + split.body;
  return ShaderErrorLog().size() == before;
}

bool rvProgram::ExpandIncludes(std::string& text, int i) {
  return ExpandIncludeDirectives(text, m_stages[i].includes, ReadIncludeFromPack);
}

void rvProgram::FormatShaderLog(std::string& log, int i) const {
  ::FormatShaderLog(log, m_stages[i].headerLines, m_stages[i].bodyLineOffset, m_stages[i].includes);
}
