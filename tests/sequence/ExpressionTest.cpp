// The formula dialect of expression drivers: precedence, associativity,
// equality, implicit multiplication, names, constants, functions, the collect
// pass and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sequence/Expression.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kPi = 3.14159265358979323846f;

// x, a and b bound by address, with the constants pi, epsilon and inf.
struct Bound {
  float x = 1.5f;
  float a = 2.0f;
  float b = -0.5f;
  ExprSymbolTable table;
  Bound() {
    table.AddVariable("x", x);
    table.AddVariable("a", a);
    table.AddVariable("b", b);
    table.AddConstants();
  }
};

struct Case {
  const char* formula;
  float expected;
};

// Each case against fresh variables: a formula may assign to them.
void ExpectValues(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Bound bound;
    Expression e;
    ASSERT_TRUE(e.Compile(c.formula, bound.table)) << c.formula << ": " << e.Error();
    const float got = e.Value();
    if (std::isnan(c.expected))
      EXPECT_TRUE(std::isnan(got)) << c.formula << " gave " << got;
    else
      EXPECT_EQ(got, c.expected) << c.formula;
  }
}

TEST(ExpressionDialect, PrecedenceAndAssociativity) {
  ExpectValues({
      {"2+3*4", 14.0f},
      {"(2+3)*4", 20.0f},
      {"10-4-3", 3.0f},
      {"100/10/5", 2.0f},
      {"2^3^2", 512.0f},        // right associative: 2^(3^2)
      {"(2^3)^2", 64.0f},
      {"-2^2", -4.0f},          // the sign applies to the power
      {"2^-1", 0.5f},
      {"2*3^2", 18.0f},
      {"7%4+1", 4.0f},
      {"-7%4", -3.0f},          // fmod keeps the dividend's sign
      {"--3", 3.0f},
      {"+-+3", -3.0f},
      {"1+2<4", 1.0f},          // arithmetic before comparison
      {"1<2 and 3<2", 0.0f},
      {"1<2 or 3<2", 1.0f},
      {"0 and 1 or 1", 1.0f},   // and before or
      {"1 or 1 and 0", 1.0f},
      {"[1+2]*{3+4}", 21.0f},   // every bracket kind groups
      {"1 ? 2 : 3", 2.0f},
      {"0 ? 2 : 0 ? 3 : 4", 4.0f},
  });
}

TEST(ExpressionDialect, EqualityAndLogic) {
  ExpectValues({
      {"x = 1.5", 1.0f},        // '=' compares, never assigns
      {"x == 1.5", 1.0f},
      {"x = 2", 0.0f},
      {"x != 2", 1.0f},
      {"x <> 1.5", 0.0f},
      {"x < 1.5", 0.0f},
      {"x <= 1.5", 1.0f},
      {"x > 1", 1.0f},
      {"x >= 2", 0.0f},
      {"1 xor 1", 0.0f},
      {"1 xor 0", 1.0f},
      {"not(0)", 1.0f},
      {"not(x)", 0.0f},
      {"1 nand 1", 0.0f},
      {"0 nor 0", 1.0f},
      {"1 xnor 1", 1.0f},
      {"1 & 0", 0.0f},
      {"1 | 0", 1.0f},
      {"equal(0.1+0.2, 0.3)", 1.0f},
      {"if(x > 1, 10, 20)", 10.0f},
      {"if(x > 2, 10, 20)", 20.0f},
      {"true + true", 2.0f},
      {"false", 0.0f},
  });
}

TEST(ExpressionDialect, ImplicitMultiplication) {
  ExpectValues({
      {"2x", 3.0f},
      {"2(x+1)", 5.0f},
      {"(a)(b)", -1.0f},
      {"(x+1)(x-1)", 2.5f * 0.5f},
      {"(x)2", 3.0f},
      {"(a)x", 3.0f},
      {"2pi", 2.0f * kPi},
      {"3sin(0)", 0.0f},
      {"2x^2", 2.0f * 1.5f * 1.5f},
      {"x 2", 3.0f},
      {"1.5e1x", 22.5f},
      {"a(x+1)", 5.0f},           // a name that is no function multiplies a bracket
      {"x (2)", 3.0f},
      {"a[x]", 3.0f},
      {"pi(2)", 2.0f * kPi},
      {"2(x+1)(a)", 10.0f},
      {"sin(0)(2)", 0.0f},
  });
}

TEST(ExpressionDialect, NamesIgnoreCase) {
  ExpectValues({
      {"X*2", 3.0f},
      {"SIN(0)+Cos(0)", 1.0f},
      {"PI", kPi},
      {"A+a", 4.0f},
      {"1 AND 0", 0.0f},
  });
}

TEST(ExpressionDialect, Constants) {
  ExpectValues({
      {"pi", kPi},
      {"epsilon", 0.000001f},      // the formulas' epsilon, not the float type's
      {"inf", kInf},
      {"-inf", -kInf},
      {"inf - inf", std::numeric_limits<float>::quiet_NaN()},
      {"1/0", kInf},
      {"0/0", std::numeric_limits<float>::quiet_NaN()},
      {".5 + 5.", 5.5f},
      {"1e-3", 0.001f},
  });
}

TEST(ExpressionDialect, FunctionsInFloat) {
  const float x = 1.5f;
  ExpectValues({
      {"sin(x*3)*0.5+0.5", std::sin(x * 3.0f) * 0.5f + 0.5f},
      {"cos(x)", std::cos(x)},
      {"tan(x)", std::tan(x)},
      {"asin(0.5)", std::asin(0.5f)},
      {"acos(0.5)", std::acos(0.5f)},
      {"atan(x)", std::atan(x)},
      {"atan2(1, -1)", std::atan2(1.0f, -1.0f)},
      {"sinh(x)", std::sinh(x)},
      {"cosh(x)", std::cosh(x)},
      {"tanh(x)", std::tanh(x)},
      {"exp(x)", std::exp(x)},
      {"log(x)", std::log(x)},
      {"log10(1000)", 3.0f},
      {"log2(8)", 3.0f},
      {"sqrt(16)", 4.0f},
      {"abs(-2.5)", 2.5f},
      {"floor(-1.5)", -2.0f},
      {"ceil(-1.5)", -1.0f},
      {"round(2.5)", 3.0f},
      {"round(-2.5)", -3.0f},   // halves away from zero
      {"trunc(-1.7)", -1.0f},
      {"frac(-1.75)", -0.75f},
      {"sgn(-3)", -1.0f},
      {"sgn(0)", 0.0f},
      {"sgn(x)", 1.0f},
      {"min(3, 1, 2)", 1.0f},
      {"max(3, 1, 2)", 3.0f},
      {"min(x)", 1.5f},
      {"clamp(0, x, 1)", 1.0f},
      {"clamp(0, -x, 1)", 0.0f},
      {"avg(1, 2, 3, 6)", 3.0f},
      {"sum(1, 2, 3)", 6.0f},
      {"mul(2, 3, 4)", 24.0f},
      {"pow(2, 10)", 1024.0f},
      {"hypot(3, 4)", 5.0f},
      {"mod(7, 3)", 1.0f},
      {"root(27, 3)", std::pow(27.0f, 1.0f / 3.0f)},
      {"root(-8, 3)", -2.0f},       // an odd root of a negative number
      {"root(-8, 2)", std::numeric_limits<float>::quiet_NaN()},
      {"root(16, 4.7)", 2.0f},      // whole degrees
      {"root(16, -2)", std::numeric_limits<float>::quiet_NaN()},
      {"logn(81, 3)", std::log(81.0f) / std::log(3.0f)},
      {"roundn(1.23456, 2)", std::round(1.23456f * 100.0f) / 100.0f},
      {"roundn(1234.5, -2)", 1235.0f},  // the digit count is clamped to 0..16
      {"roundn(-1250.5, -2)", -1251.0f},
      {"roundn(1.23456789, 20)", std::round(1.23456789f * 1e16f) / 1e16f},
      {"roundn(1234.5, 0)", 1235.0f},
      {"deg2rad(180)", 180.0f * (kPi / 180.0f)},
      {"inrange(0, x, 2)", 1.0f},
      {"inrange(0, x, 1)", 0.0f},
      {"iclamp(1, 1.4, 2)", 1.0f},  // pushed out to the nearer bound
      {"iclamp(1, 1.6, 2)", 2.0f},
      {"iclamp(1, 3, 2)", 3.0f},
      {"iclamp(1, 1.5, 2)", 1.0f},  // the exact middle goes to the low bound
      {"mand(1, x, 0)", 0.0f},
      {"mand(1, x, -1)", 1.0f},
      {"mor(0, 0, x)", 1.0f},
      {"mor(0, 0)", 0.0f},
      {"nequal(1, 2)", 1.0f},
      {"deg2grad(90)", 90.0f * (10.0f / 9.0f)},
      {"sinc(0)", 1.0f},
      {"sinc(x)", std::sin(x) / x},
      {"ncdf(0)", 0.5f},
      {"sqrt(-1)", std::numeric_limits<float>::quiet_NaN()},
  });
}

TEST(ExpressionDialect, VariablesAreReadAtEveryEvaluation) {
  Bound bound;
  Expression e;
  ASSERT_TRUE(e.Compile("a*x + b", bound.table));
  const float samples[][3] = {{0.0f, 1.0f, 0.0f}, {2.0f, 3.0f, 1.0f}, {-1.0f, 0.5f, 4.0f}};
  for (const auto& s : samples) {
    bound.x = s[0];
    bound.a = s[1];
    bound.b = s[2];
    EXPECT_EQ(e.Value(), s[1] * s[0] + s[2]);
  }
}

TEST(ExpressionDialect, BranchesPickOneSideAtRunTime) {
  Bound bound;
  Expression e;
  ASSERT_TRUE(e.Compile("x > 1 ? a + 10 : b - 10", bound.table));
  const float xs[] = {0.0f, 2.0f, 1.0f, 5.0f};
  for (float x : xs) {
    bound.x = x;
    EXPECT_EQ(e.Value(), x > 1.0f ? bound.a + 10.0f : bound.b - 10.0f) << x;
  }
}

// The same float, bit for bit (0 and -0 differ), or NaN for both.
bool SameFloat(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  uint32_t bitsA, bitsB;
  std::memcpy(&bitsA, &a, sizeof a);
  std::memcpy(&bitsB, &b, sizeof b);
  return bitsA == bitsB;
}

// Steps are fused (x*k+c, v*k, clamp with constant bounds, sin, cos and
// other functions of a variable or a scaled one, sin and cos with the
// factor and term after them) and operands reordered where that keeps the
// floats; a jump must still land
// on the step that follows its branch. Each formula beside the same
// arithmetic written out, step by step.
TEST(ExpressionDialect, FusedStepsGiveThePlainArithmetic) {
  struct Fused {
    const char* formula;
    float (*plain)(float x, float a, float b);
  } cases[] = {
      {"sin(x*3)*0.5+0.5", [](float x, float, float) { return std::sin(x * 3.0f) * 0.5f + 0.5f; }},
      {"3*x + a", [](float x, float a, float) { return x * 3.0f + a; }},
      {"(x > 1 ? a : x*2) + 1", [](float x, float a, float) { return (x > 1.0f ? a : x * 2.0f) + 1.0f; }},
      {"(x > 1 ? a*2 : b)*3 + 1", [](float x, float a, float b) { return (x > 1.0f ? a * 2.0f : b) * 3.0f + 1.0f; }},
      {"x > 1 ? x*2 : b*3+1", [](float x, float, float b) { return x > 1.0f ? x * 2.0f : b * 3.0f + 1.0f; }},
      {"clamp(0, x*a, 1)", [](float x, float a, float) { return std::min(std::max(x * a, 0.0f), 1.0f); }},
      {"2x^2 - 3x + a", [](float x, float a, float) { return 2.0f * (x * x) - 3.0f * x + a; }},
      {"a - x/b", [](float x, float a, float b) { return a - x / b; }},
      {"a/(x+1) - b/(x-1)", [](float x, float a, float b) { return a / (x + 1.0f) - b / (x - 1.0f); }},
      {"2^x + x^a + min(x, a, b*2)",
       [](float x, float a, float b) { return std::pow(2.0f, x) + std::pow(x, a) + std::min(std::min(x, a), b * 2.0f); }},
      {"x % 2 < 1 and a > b", [](float x, float a, float b) { return (std::fmod(x, 2.0f) < 1.0f && a > b) ? 1.0f : 0.0f; }},
      // Functions of a variable, scaled by a constant or a variable.
      {"sin(x)", [](float x, float, float) { return std::sin(x); }},
      {"cos(x)", [](float x, float, float) { return std::cos(x); }},
      {"cos(2.5x)", [](float x, float, float) { return std::cos(x * 2.5f); }},
      {"sin(x*a)", [](float x, float a, float) { return std::sin(x * a); }},
      {"cos(a*x)*0.25 - b", [](float x, float a, float b) { return std::cos(a * x) * 0.25f - b; }},
      {"abs(x)", [](float x, float, float) { return std::fabs(x); }},
      {"sqrt(x*4)", [](float x, float, float) { return std::sqrt(x * 4.0f); }},
      {"floor(b*0.5) + 1", [](float, float, float b) { return std::floor(b * 0.5f) + 1.0f; }},
      {"-sin(x)", [](float x, float, float) { return -std::sin(x); }},
      // The factor and the term after sin or cos.
      {"sin(x) + 1", [](float x, float, float) { return std::sin(x) + 1.0f; }},
      {"sin(x) + 0", [](float x, float, float) { return std::sin(x) + 0.0f; }},
      {"cos(x*2)*0.25 - 1", [](float x, float, float) { return std::cos(x * 2.0f) * 0.25f - 1.0f; }},
      {"cos(x*2)*0.25", [](float x, float, float) { return std::cos(x * 2.0f) * 0.25f; }},
      {"sin(x*2)*3*2 + 1", [](float x, float, float) { return std::sin(x * 2.0f) * 3.0f * 2.0f + 1.0f; }},
      {"sin(x*2)*3 + 1 + 2", [](float x, float, float) { return std::sin(x * 2.0f) * 3.0f + 1.0f + 2.0f; }},
      {"sin(x*3)*2*0.5", [](float x, float, float) { return std::sin(x * 3.0f) * 2.0f * 0.5f; }},
      {"sin(x)*1*2", [](float x, float, float) { return std::sin(x) * 1.0f * 2.0f; }},
      {"(sin(x) + 1)*2", [](float x, float, float) { return (std::sin(x) + 1.0f) * 2.0f; }},
      {"sin(x*a)*3 + 2 - 1", [](float x, float a, float) { return std::sin(x * a) * 3.0f + 2.0f - 1.0f; }},
      {"sin(x+1)*2 + 1", [](float x, float, float) { return std::sin(x + 1.0f) * 2.0f + 1.0f; }},
      {"cos(x - a)*3 - 2", [](float x, float a, float) { return std::cos(x - a) * 3.0f - 2.0f; }},
      {"cos(x/a)*b", [](float x, float a, float b) { return std::cos(x / a) * b; }},
      {"a*sin(x)+cos(x*a)*x", [](float x, float a, float) { return a * std::sin(x) + std::cos(x * a) * x; }},
      // A scaled variable plus a constant or a variable.
      {"x*2 - 1", [](float x, float, float) { return x * 2.0f - 1.0f; }},
      {"a + x*0.5", [](float x, float a, float) { return a + x * 0.5f; }},
      {"x*0.5 + a + 1", [](float x, float a, float) { return x * 0.5f + a + 1.0f; }},
      {"b*3 + 0", [](float, float, float b) { return b * 3.0f + 0.0f; }},
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Bound bound;
  for (const Fused& c : cases) {
    Expression e;
    ASSERT_TRUE(e.Compile(c.formula, bound.table)) << c.formula << ": " << e.Error();
    for (float x : {0.0f, -0.0f, 0.5f, 1.5f, 3.25f, -2.0f, kInf, nan}) {
      for (float b : {-0.5f, -0.0f}) {
        bound.x = x;
        bound.b = b;
        EXPECT_TRUE(SameFloat(e.Value(), c.plain(x, bound.a, b))) << c.formula << " at x = " << x << ", b = " << b;
      }
    }
  }
}

// What fusing saves, as steps of the program (End included): a driver's
// usual formula is one or two steps.
TEST(ExpressionDialect, UsualFormulasRunInFewSteps) {
  const struct {
    const char* formula;
    size_t steps;
  } cases[] = {
      {"sin(x*3)*0.5+0.5", 2}, {"cos(x)", 2},  {"sin(x*a)*0.5 - 1", 3}, {"abs(x)", 2},
      {"sin(x+1)*2 + 1", 3},   {"x*2 - 1", 2}, {"a + x*0.5", 2},        {"2x^2 - 3x + a", 4},
      {"a*sin(x)+cos(x*a)*x", 7},
  };
  Bound bound;
  for (const auto& c : cases) {
    Expression e;
    ASSERT_TRUE(e.Compile(c.formula, bound.table)) << c.formula << ": " << e.Error();
    EXPECT_LE(e.StepCount(), c.steps) << c.formula;
  }
}

TEST(ExpressionDialect, SyntaxErrorsGiveNaN) {
  Bound bound;
  const char* broken[] = {
      "",          "x +",        "(x",          "x)",          "sin x",
      "sin()",     "atan2(1)",   "clamp(1, 2)", "foo(x)",      "1 2",
      "x $ 2",     "pi := 2",    "and",         "(x]",         "1 ? 2",
      "unknown*2", "x,2",        "if(1, 2)",    "unknown(2)",  "sin (x",
      "not 0",     "!x",         "x && a",      "x || a",      "2e",
      "_a + 1",    "2 := x",     "x /* open",   "'a' + 1",     "break",
      "continue",  "if (x) else 2",              "var x := 1",  "var sin := 1",
      "switch { default: 1; default: 2; }",      "while (1) {}",
      "for (a := 0; a < 1) a",   "repeat a += 1", "{x; x*3}",    "'abc",
      "var v[3] := {1, 2, 3}; v[1]",             "return x",    "x := 1 := 2",
  };
  for (const char* formula : broken) {
    Expression e;
    EXPECT_FALSE(e.Compile(formula, bound.table)) << formula;
    EXPECT_FALSE(e.Error().empty()) << formula;
    EXPECT_TRUE(std::isnan(e.Value())) << formula;
  }
}

TEST(ExpressionDialect, HostileNestingFailsInsteadOfCrashing) {
  Bound bound;
  auto nested = [](int depth) {
    return std::string(depth, '(') + "x" + std::string(depth, ')');
  };
  auto chain = [](const char* op, int count) {
    std::string s = "x";
    for (int i = 0; i < count; ++i) s += std::string(op) + "x";
    return s;
  };
  // What a person types compiles...
  for (const std::string& formula : {nested(40), chain("^", 40), chain("+", 400)}) {
    Expression e;
    EXPECT_TRUE(e.Compile(formula, bound.table)) << formula.substr(0, 20) << ": " << e.Error();
  }
  // ...machine-made depth or length fails without exhausting the stack.
  for (const std::string& formula :
       {nested(1000), nested(100000), chain("^", 1500), chain("+", 50000)}) {
    Expression e;
    EXPECT_FALSE(e.Compile(formula, bound.table)) << formula.substr(0, 20);
    EXPECT_TRUE(std::isnan(e.Value()));
    std::vector<std::string> names;
    EXPECT_FALSE(CollectExpressionVariables(formula, names));
  }
}

// Formulas of any size and shape end in a value or a refusal, within the
// parser's depth and the compiler's length bounds.
TEST(ExpressionDialect, HostileSizesEndInAValueOrARefusal) {
  auto repeat = [](const std::string& part, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += part;
    return s;
  };
  const std::string megabyte = repeat("x+1;", 1 << 18);
  const std::string deep[] = {
      repeat("if (1) {", 100000) + "x" + repeat("}", 100000),
      repeat("~(", 100000) + "x" + repeat(")", 100000),
      repeat("-", 100000) + "x",
      repeat("x := ", 100000) + "1",
      repeat("while (x) ", 100000) + "x",
      repeat("[", 100000) + "x" + repeat("]", 100000),
      "switch {" + repeat("case x > 1: x;", 5000) + "}",
      megabyte,
  };
  for (const std::string& formula : deep) {
    Bound bound;
    Expression e;
    EXPECT_FALSE(e.Compile(formula, bound.table)) << formula.substr(0, 20);
    EXPECT_TRUE(std::isnan(e.Value())) << formula.substr(0, 20);
    std::vector<std::string> names;
    EXPECT_FALSE(CollectExpressionVariables(formula, names)) << formula.substr(0, 20);
  }
  // Ten thousand statements, or a megabyte of comment, are a formula.
  Bound bound;
  Expression statements;
  ASSERT_TRUE(statements.Compile(repeat("x := x + 1;", 10000) + "x", bound.table)) << statements.Error();
  EXPECT_EQ(statements.Value(), 10001.5f);
  Expression commented;
  ASSERT_TRUE(commented.Compile("/*" + std::string(1 << 20, '*') + "*/ x // " + std::string(1 << 20, 'x'),
                                bound.table));
  EXPECT_EQ(commented.Value(), bound.x);
}

TEST(ExpressionStatements, ProgramsGiveTheirLastValue) {
  ExpectValues({
      {"x := 5; x", 5.0f},
      {"x*2; x*3", 4.5f},
      {"x*2;", 3.0f},
      {";; x ;;", 1.5f},
      {"a += 1; a *= 2; a", 6.0f},
      {"b -= 1; b /= 2; b", -0.75f},
      {"a %= 1.5; a", 0.5f},
      {"2 * (x := 3) + x", 9.0f},       // an assignment inside an expression
      {"x := a := 4; x + a", 8.0f},     // right associative
      {"x := x^3", 3.375f},
      {"~(a := 1, a + 1)", 2.0f},
      {"~{a := 3; a * 2}", 6.0f},
      {"var y := 3; y * x", 4.5f},      // a name the table does not hold
      {"var y; y", 0.0f},
      {"var k := 2; for (var j := 0; j < 3; j += 1) { k *= 2; }; k", 16.0f},
      {"return [x]; x", std::numeric_limits<float>::quiet_NaN()},
      {"x /* note */ * 2 // the end", 3.0f},
      {"# a whole line\nx", 1.5f},
      {"'b' > 'a'", 1.0f},
      {"'abc' != 'abc'", 0.0f},
      {"null + 1", std::numeric_limits<float>::quiet_NaN()},
      {"x^4", 1.5f * 1.5f * (1.5f * 1.5f)},  // whole powers multiply out
      {"a^2.5", std::pow(2.0f, 2.5f)},
  });
}

TEST(ExpressionStatements, BranchesAndSwitches) {
  ExpectValues({
      {"if (x > 1) a; else b", 2.0f},
      {"if (x > 1) a else b", 2.0f},
      {"if (x < 1) { a } else if (x < 1.5) { b } else { 7 }", 7.0f},
      {"if (x < 1) 10", std::numeric_limits<float>::quiet_NaN()},
      {"if (x > 1) { a := 3; a * x; }", 4.5f},
      {"switch { case x < 1: 1; case x < 2: 2; default: 3; }", 2.0f},
      {"switch { case x < 1: 1; default: { a := 9; a } }", 9.0f},
      {"switch { case x < 1: 1; }", std::numeric_limits<float>::quiet_NaN()},
  });
}

TEST(ExpressionStatements, LoopsBreakAndContinue) {
  ExpectValues({
      {"a := 0; for (b := 0; b < 4; b += 1) a += b; a", 6.0f},
      {"a := 0; while (a < 10) { a += 1; if (a > 4) break; }; a", 5.0f},
      {"a := 0; b := 0; while (a < 10) { a += 1; if (a % 2 == 0) continue; b += a; }; b", 25.0f},
      {"a := 0; repeat a += 2; until (a > 5); a", 6.0f},
      {"repeat x += 1 until (1)", 2.5f},  // the body runs once
      {"while (x < 4) x += 1", 4.5f},     // a loop's value is its last body value
      {"while (x < 0) x += 1", 0.0f},     // ... 0 when the body never ran
      {"a := 0; while (1) { a += 1; if (a >= 3) break [a * 10]; }", 30.0f},
      {"a := 0; for (b := 0; b < 3; b += 1) { while (1) { a += 1; break; } }; a", 3.0f},
      {"a := 0; for (b := 0; b < 5; b += 1) { if (b == 1) continue; if (b == 3) break; a += b }; a", 2.0f},
  });
}

TEST(ExpressionStatements, AssignmentsWriteTheBoundVariables) {
  Bound bound;
  Expression e;
  ASSERT_TRUE(e.Compile("a := a + 1; b += a; a * 10", bound.table)) << e.Error();
  EXPECT_EQ(e.Value(), 30.0f);
  EXPECT_EQ(e.Value(), 40.0f);
  EXPECT_EQ(bound.a, 4.0f);
  EXPECT_EQ(bound.b, -0.5f + 3.0f + 4.0f);
  // return ends the formula after its values are computed.
  ASSERT_TRUE(e.Compile("a := 5; return [a := 6]; a := 7", bound.table)) << e.Error();
  EXPECT_TRUE(std::isnan(e.Value()));
  EXPECT_EQ(bound.a, 6.0f);
}

// A loop that never ends costs a bounded number of passes, then NaN; a pass
// over a long body costs more of the budget.
TEST(ExpressionStatements, EndlessLoopsStopWithNaN) {
  const char* endless[] = {
      "a := 0; while (1) a += 1",
      "a := 0; repeat a += 1; until (0)",
      "a := 0; for (b := 0; 1; b += 1) a += 1",
      "a := 0; while (1) { while (1) { a += 1 } }",
      "a := 0; while (1) { a += 1; continue; }",
  };
  for (const char* formula : endless) {
    Bound bound;
    Expression e;
    ASSERT_TRUE(e.Compile(formula, bound.table)) << formula << ": " << e.Error();
    EXPECT_TRUE(std::isnan(e.Value())) << formula;
    EXPECT_TRUE(e.Stopped()) << formula;
    EXPECT_GE(bound.a, static_cast<float>(Expression::kMaxLoopIterations)) << formula;
    EXPECT_LE(bound.a, static_cast<float>(Expression::kMaxLoopIterations + 1)) << formula;
    EXPECT_TRUE(std::isnan(e.Value())) << formula;  // every evaluation again
  }
  std::string longBody = "a := 0; while (1) { a += 1";
  for (int i = 0; i < 300; ++i) longBody += "; x := x * 1.5 + b";
  longBody += " }";
  Bound bound;
  Expression e;
  ASSERT_TRUE(e.Compile(longBody, bound.table)) << e.Error();
  EXPECT_TRUE(std::isnan(e.Value()));
  EXPECT_TRUE(e.Stopped());
  EXPECT_LE(bound.a, static_cast<float>(Expression::kMaxLoopIterations / 5));
  // A loop that ends is not stopped, however many passes it makes below the
  // budget.
  ASSERT_TRUE(e.Compile("a := 0; while (a < 999999) a += 1; a", bound.table));
  EXPECT_EQ(e.Value(), 999999.0f);
  EXPECT_FALSE(e.Stopped());
  // Every evaluation starts with the whole budget and a clear flag.
  ASSERT_TRUE(e.Compile("a := 0; while (a < b) a += 1; a", bound.table));
  for (float passes : {1e7f, 10.0f, 1e7f, 0.0f}) {
    bound.b = passes;
    const float value = e.Value();
    const bool stops = passes > static_cast<float>(Expression::kMaxLoopIterations);
    EXPECT_EQ(e.Stopped(), stops) << passes;
    if (stops) {
      EXPECT_TRUE(std::isnan(value)) << passes;
      EXPECT_GE(bound.a, static_cast<float>(Expression::kMaxLoopIterations)) << passes;
    } else {
      EXPECT_EQ(value, passes);
    }
  }
}

TEST(ExpressionDialect, RecompilingReplacesTheProgram) {
  Bound bound;
  Expression e;
  ASSERT_TRUE(e.Compile("x*2", bound.table));
  EXPECT_EQ(e.Value(), 3.0f);
  EXPECT_FALSE(e.Compile("x*", bound.table));
  EXPECT_TRUE(std::isnan(e.Value()));
  ASSERT_TRUE(e.Compile("x+1", bound.table));
  EXPECT_EQ(e.Value(), 2.5f);
}

TEST(ExpressionCollect, FreeNamesLowerCasedSortedUnique) {
  struct CollectCase {
    const char* formula;
    std::vector<std::string> names;
  };
  const CollectCase cases[] = {
      {"x*2", {"x"}},
      {"a+x", {"a", "x"}},
      {"Zeta*x + ALPHA - zeta + alpha", {"alpha", "x", "zeta"}},
      {"sin(x) + max(b, a, c)", {"a", "b", "c", "x"}},
      {"pi*x", {"pi", "x"}},   // constants are names; the driver filters its table's
      {"2speed + if(on, 1, 0)", {"on", "speed"}},
      {"obj.pos_1 * 3", {"obj.pos_1"}},
      {"1 + 2", {}},
      {"speed(x+1)", {"speed", "x"}},  // a name before a bracket multiplies it
  };
  for (const CollectCase& c : cases) {
    std::vector<std::string> names = {"left", "over"};
    EXPECT_TRUE(CollectExpressionVariables(c.formula, names)) << c.formula;
    EXPECT_EQ(names, c.names) << c.formula;
  }
}

TEST(ExpressionCollect, SyntaxErrorLeavesTheListAlone) {
  const char* broken[] = {"a +", "sin(", "b && c", "sin a"};
  for (const char* formula : broken) {
    std::vector<std::string> names = {"kept"};
    EXPECT_FALSE(CollectExpressionVariables(formula, names)) << formula;
    EXPECT_EQ(names, std::vector<std::string>{"kept"}) << formula;
  }
}

TEST(ExpressionSymbols, ValidSymbolRules) {
  const std::pair<const char*, bool> cases[] = {
      {"a", true},    {"speed_2", true}, {"a.b", true}, {"A1", true},
      {"", false},    {"1a", false},     {"_a", false}, {"a.", false},
      {"a b", false}, {"a-b", false},    {".a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidExpressionSymbol(c.first), c.second) << c.first;
}

TEST(ExpressionSymbols, TableRejectsDuplicatesAndReservedNames) {
  float v = 0.0f;
  float w = 0.0f;
  ExprSymbolTable table;
  EXPECT_TRUE(table.AddVariable("Speed", v));
  EXPECT_FALSE(table.AddVariable("speed", w));  // same name, other case
  EXPECT_TRUE(table.SymbolExists("SPEED"));
  EXPECT_FALSE(table.AddVariable("sin", w));
  EXPECT_FALSE(table.AddVariable("and", w));
  EXPECT_FALSE(table.AddVariable("2x", w));
  EXPECT_TRUE(table.AddConstants());
  EXPECT_FALSE(table.AddConstants());  // already there
  EXPECT_TRUE(table.SymbolExists("Pi"));
  table.Clear();
  EXPECT_FALSE(table.SymbolExists("speed"));
}

}  // namespace
