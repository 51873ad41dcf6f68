// Shader source preprocessing: the text work done on a stage before the GL
// compiler sees it. Normalises the source (StripComments), recognises its
// form (own "SHADER_HEADER", Shadertoy "mainImage", Bonzomatic
// "fGlobalTime", raw "SHADER_RAW") and builds the generated header, expands
// "#include" lines, and maps compiler messages back to the stage or the
// included file. Plain string work, no GL and no file system: the include
// reader is passed in, so everything here is tested with tables on the CPU.
//
// Owns the process-wide shader error log (cleared by rvProgram::Link, grown
// by every failing step) and the work text, the stage text last compiled.
// The rvProgram steps that tie these to a program (CompileStage,
// Preprocess, ExpandIncludes) live in ShaderPreprocessor.cpp as well.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum ShaderFormat : uint8_t {
  ShaderFormatNone = 0,
  ShaderFormatOwn = 1,         // text starts with "SHADER_HEADER"
  ShaderFormatShadertoy = 2,   // contains the mainImage signature
  ShaderFormatBonzomatic = 3,  // contains "uniform float fGlobalTime;"
  ShaderFormatRaw = 4,         // text starts with "SHADER_RAW"
};

// One expanded "#include". Lines are 0-based positions in the expanded body
// (the first line of the inserted text).
struct ShaderInclude {
  std::string path;
  std::string includer;  // the including file: always empty, stages have no file name
  int line = 0;
  int lineCount = 0;     // lines the expanded file text occupies
};

struct ShaderStage {
  uint32_t shader = 0;           // GL shader name, 0 = none
  const char* source = nullptr;  // not owned; null or empty = no stage
  int headerLines = 0;           // lines the generated header puts in front
  int bodyLineOffset = 0;        // source lines the form recognition removed
  uint8_t format = ShaderFormatNone;
  std::vector<ShaderInclude> includes;
};

// The process-wide shader error log and the stage text being preprocessed.
std::string& ShaderErrorLog();
std::string& ShaderWorkText();
// Formats into the 1024-byte message buffer (truncated at 1023 characters)
// and appends the result to the shader error log.
void AppendShaderError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Normalises in place (drops '\r', comments' content, redundant spaces) and
// returns 1 plus the number of line feeds read. Line numbers never move.
int StripComments(std::string& text);

// The generated header and the body of a stripped stage source.
struct SplitSource {
  ShaderFormat format = ShaderFormatNone;
  std::string header;
  int headerLines = 0;
  std::string body;
  int bodyLineOffset = 0;
};
// Recognises the form of a stripped source and builds its header (the
// constant declarations are appended by the caller). Returns false, with
// the format message in the error log, for an unknown form or empty body.
bool SplitShaderSource(const std::string& stripped, bool fullDemo, SplitSource& out);

// Reads an included file; false when it is missing or empty.
using IncludeReader = std::function<bool(const std::string& path, std::string& text)>;
// Expands every "#include \"path\"" line start of the text and records each
// expansion. An included file's own includes are not expanded (the inserted
// text is not scanned again). Returns false when the error log grew.
bool ExpandIncludeDirectives(std::string& text, std::vector<ShaderInclude>& includes, const IncludeReader& read);

// Rewrites a GL info log in place: empty lines dropped, and every compiler
// line of the form "0(N) : ..." or "0:N(C): ..." given the stage or include
// line it comes from.
void FormatShaderLog(std::string& log, int headerLines, int bodyLineOffset,
                     const std::vector<ShaderInclude>& includes);
