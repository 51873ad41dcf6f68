// libFuzzer target for shader source preprocessing and uniform annotations,
// GL-free: the first byte chooses the demo mode, the rest up to a zero byte
// is a stage source, what follows it is the text every "#include" reads and
// the compiler log to map back. The stage goes through the program's own
// preprocessing twice (a rebuild finds its entries again) with a value area
// at the very end of a heap object, as the shader effect has it, so a word
// written past the area is a heap overflow; then the includes are expanded
// from memory and the log is formatted.
// Built by tools/fuzz_shader.sh.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ClassDesc.h"
#include "render/ShaderPreprocessor.h"
#include "render/rvProgram.h"

namespace {

struct AnnotatedProgram : rvProgram2D {
  AnnotatedProgram() { SetValueArea(values, RV_OFFSETOF(AnnotatedProgram, values), 1024, &desc); }
  ClassDesc desc{"fuzz", nullptr, nullptr};
  uint32_t values[1024] = {};  // last: nothing of the object lies after it
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 << 16) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t zero = input.find('\0');
  const std::string stage = input.substr(0, zero);
  const std::string other = zero == std::string::npos ? std::string() : input.substr(zero + 1);

  auto program = std::make_unique<AnnotatedProgram>();
  program->m_fullDemo = data[0] & 1;
  program->m_stages[0].source = stage.c_str();
  for (int pass = 0; pass < 2; ++pass) {
    ShaderErrorLog().clear();
    program->Preprocess(0);
    program->RefreshConstants();
  }

  std::string text = stage;
  StripComments(text);
  SplitSource split;
  if (!SplitShaderSource(text, (data[0] & 1) != 0, split)) return 0;
  std::vector<ShaderInclude> includes;
  ExpandIncludeDirectives(split.body, includes, [&](const std::string&, std::string& out) {
    out = other;
    return !out.empty();
  });
  std::string log = other;
  FormatShaderLog(log, split.headerLines, split.bodyLineOffset, includes);
  program->m_stages[0].source = nullptr;
  return 0;
}
