// The formula dialect of expression drivers: precedence, associativity,
// equality, implicit multiplication, names, constants, functions, the collect
// pass and the failures.
#include <gtest/gtest.h>

#include <cmath>
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

void ExpectValues(const std::vector<Case>& cases) {
  Bound bound;
  for (const Case& c : cases) {
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
      {"not 0", 1.0f},
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
      {"roundn(1234.5, -2)", 1200.0f},  // negative digits round to tens, hundreds...
      {"roundn(-1250, -2)", -1300.0f},
      {"roundn(1234.5, 0)", 1235.0f},
      {"deg2rad(180)", 180.0f * (kPi / 180.0f)},
      {"inrange(0, x, 2)", 1.0f},
      {"inrange(0, x, 1)", 0.0f},
      {"iclamp(1, 1.4, 2)", 1.0f},  // pushed out to the nearer bound
      {"iclamp(1, 1.6, 2)", 2.0f},
      {"iclamp(1, 3, 2)", 3.0f},
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

// Steps are fused (x*k+c, v*k, clamp with constant bounds) and operands
// reordered where that keeps the floats; a jump must still land on the step
// that follows its branch.
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
  };
  Bound bound;
  for (const Fused& c : cases) {
    Expression e;
    ASSERT_TRUE(e.Compile(c.formula, bound.table)) << c.formula << ": " << e.Error();
    for (float x : {0.0f, 0.5f, 1.5f, 3.25f, -2.0f}) {
      bound.x = x;
      EXPECT_EQ(e.Value(), c.plain(x, bound.a, bound.b)) << c.formula << " at x = " << x;
    }
  }
}

TEST(ExpressionDialect, SyntaxErrorsGiveNaN) {
  Bound bound;
  const char* broken[] = {
      "",          "x +",        "(x",          "x)",          "sin x",
      "sin()",     "atan2(1)",   "clamp(1, 2)", "foo(x)",      "1 2",
      "x $ 2",     "x := 2",     "and",         "(x]",         "1 ? 2",
      "unknown*2", "x,2",        "if(1, 2)",    "unknown(2)",  "sin (x",
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
  for (const std::string& formula : {nested(40), chain("^", 40), chain("+", 1000)}) {
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
  const char* broken[] = {"a +", "sin(", "b c", "sin a"};
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
