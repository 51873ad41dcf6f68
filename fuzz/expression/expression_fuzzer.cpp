// libFuzzer target for the formula compiler and evaluator, statements
// included: the input is a formula. It goes through the expression driver's
// compile steps (x and the constants bound, the collected names added as
// variables), is evaluated at a few times, then compiled again against the
// bare table. Sanitizers catch memory and arithmetic faults; a formula that
// never ends must stop at the loop budget (libFuzzer's -timeout catches a
// hang). The checks below catch a collect pass and a compiler that disagree
// on what parses, and a stop reported without its NaN.
// Built by tools/fuzz_expression.sh.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "sequence/Expression.h"

namespace {

void Evaluate(const Expression& e, float& x) {
  for (float t : {0.0f, 1.25f, -3.5f}) {
    x = t;
    const float v = e.Value();
    if (e.Stopped() && !std::isnan(v)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  float x = 0.0f;
  ExprSymbolTable table;
  table.AddVariable("x", x);
  table.AddConstants();

  std::vector<std::string> names;
  const bool collected = CollectExpressionVariables(text, names);
  std::deque<float> values;
  for (const std::string& name : names)
    if (IsValidExpressionSymbol(name) && !table.SymbolExists(name)) table.AddVariable(name, values.emplace_back(0.5f));

  Expression e;
  const bool compiled = e.Compile(text, table);
  // Whatever compiles also parses for the collect pass.
  if (compiled && !collected) std::abort();
  if (compiled != e.IsValid() || (!compiled && e.Error().empty())) std::abort();
  Evaluate(e, x);

  ExprSymbolTable bare;
  bare.AddVariable("x", x);
  Expression plain;
  if (plain.Compile(text, bare) && !collected) std::abort();
  Evaluate(plain, x);
  return 0;
}
