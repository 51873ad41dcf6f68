// Expression driver: formulas over the local time, user variables made from
// the formula's free names, their JSON form, and what broken input does.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "DriverTestFx.h"
#include "sequence/DriverExpression.h"
#include "support/JsonText.h"
#include "support/LogCapture.h"

namespace {

std::unique_ptr<ExpressionDriver> Make(DriverTestFx& fx, const char* formula = "") {
  std::unique_ptr<ExpressionDriver> d(
      static_cast<ExpressionDriver*>(CreateDriver(&fx, DriverExpression, fx.Attr("Value"))));
  d->_sExpression = formula;
  return d;
}

std::vector<std::string> Names(const ExpressionDriver& d) {
  std::vector<std::string> names;
  for (const ExpressionUserVar& v : d.m_userVars) names.push_back(v.name);
  return names;
}

TEST(ExpressionDriver, FormulasOfTheLocalTime) {
  struct Case {
    const char* formula;
    float t;
    float expected;
  };
  const Case cases[] = {
      {"x*2", 1.5f, 3.0f},
      {"sin(x*3)*0.5+0.5", 0.25f, std::sin(0.25f * 3.0f) * 0.5f + 0.5f},
      {"pi*x", 2.0f, 3.14159265f * 2.0f},
      {"X^2", 3.0f, 9.0f},
      {"x > 1 ? 1 : 0", 1.5f, 1.0f},
      {"clamp(0, x - 1, 1)", 0.5f, 0.0f},
      {"inf", 1.0f, std::numeric_limits<float>::infinity()},  // "no value"
  };
  DriverTestFx fx;
  for (const Case& c : cases) {
    auto d = Make(fx, c.formula);
    EXPECT_EQ(d->Evaluate(c.t), c.expected) << c.formula;
    EXPECT_TRUE(d->m_userVars.empty()) << c.formula;
  }
}

TEST(ExpressionDriver, FreeNamesBecomeUserVariables) {
  DriverTestFx fx;
  auto d = Make(fx, "a+x");
  EXPECT_EQ(d->Evaluate(2.0f), 2.0f);
  ASSERT_EQ(Names(*d), std::vector<std::string>{"a"});
  EXPECT_EQ(d->m_userVars[0].value, 0.0f);

  d->m_userVars[0].value = 1.0f;  // as the editor's slider does
  EXPECT_EQ(d->Evaluate(2.0f), 3.0f);

  Json::Value obj;
  d->Save(obj);
  EXPECT_EQ(obj["_sExpression"], Json::Value("a+x"));
  EXPECT_EQ(obj["nVarCount"], Json::Value(1));
  ASSERT_TRUE(obj["Vars"].isArray());
  EXPECT_EQ(obj["Vars"][0]["name"], Json::Value("a"));
  EXPECT_EQ(obj["Vars"][0]["value"].asDouble(), 1.0);
}

TEST(ExpressionDriver, ChangingTheTextReplacesTheVariables) {
  DriverTestFx fx;
  auto d = Make(fx, "a+x");
  d->Evaluate(0.0f);
  d->m_userVars[0].value = 5.0f;
  d->_sExpression = "b+x";
  EXPECT_EQ(d->Evaluate(1.0f), 1.0f);
  ASSERT_EQ(Names(*d), std::vector<std::string>{"b"});
  EXPECT_EQ(d->m_userVars[0].value, 0.0f);

  // Names shared by the old and the new formula keep their values; new ones
  // are appended in collected (sorted) order.
  d->m_userVars[0].value = 2.0f;
  d->_sExpression = "Speed*b + c - x";
  EXPECT_EQ(d->Evaluate(1.0f), -1.0f);  // speed and c start at 0
  EXPECT_EQ(Names(*d), (std::vector<std::string>{"b", "c", "speed"}));
  EXPECT_EQ(d->m_userVars[0].value, 2.0f);
}

TEST(ExpressionDriver, ConstantsAndFunctionsAreNotVariables) {
  DriverTestFx fx;
  const char* formulas[] = {"pi*x", "sin(x)", "epsilon + x", "max(x, 1, 2)", "x*PI"};
  for (const char* formula : formulas) {
    auto d = Make(fx, formula);
    d->Evaluate(1.0f);
    EXPECT_TRUE(d->m_userVars.empty()) << formula;
  }
}

TEST(ExpressionDriver, EmptyTextIsNaN) {
  DriverTestFx fx;
  auto d = Make(fx, "");
  EXPECT_TRUE(std::isnan(d->Evaluate(1.0f)));
}

TEST(ExpressionDriver, SyntaxErrorGivesNaNAndKeepsTheVariables) {
  DriverTestFx fx;
  auto d = Make(fx, "a*x + b");
  d->Evaluate(1.0f);
  d->m_userVars[0].value = 3.0f;
  d->m_userVars[1].value = 4.0f;
  const char* broken[] = {"a*x +", "a*(x + b", "!a * x", "sin a"};
  for (const char* formula : broken) {
    d->_sExpression = formula;
    EXPECT_TRUE(std::isnan(d->Evaluate(1.0f))) << formula;
    EXPECT_EQ(Names(*d), (std::vector<std::string>{"a", "b"})) << formula;
    EXPECT_EQ(d->m_userVars[0].value, 3.0f) << formula;
    EXPECT_EQ(d->m_userVars[1].value, 4.0f) << formula;
  }
  d->_sExpression = "a*x + b";  // mended: the kept values come back into play
  EXPECT_EQ(d->Evaluate(2.0f), 10.0f);
}

TEST(ExpressionDriver, LoadsTheSavedVariables) {
  DriverTestFx fx;
  auto d = Make(fx);
  d->Load(ParseJson(R"({"_eType": 5, "_attribName": "Value", "_sExpression": "gain*x + offset",
                        "nVarCount": 2,
                        "Vars": [{"name": "gain", "value": 2}, {"name": "offset", "value": 0.5}]})"));
  EXPECT_EQ(Names(*d), (std::vector<std::string>{"gain", "offset"}));
  EXPECT_EQ(d->Evaluate(3.0f), 6.5f);

  Json::Value saved;
  d->Save(saved);
  auto copy = Make(fx);
  copy->Load(saved);
  EXPECT_EQ(copy->_sExpression, "gain*x + offset");
  EXPECT_EQ(copy->Evaluate(3.0f), 6.5f);
}

TEST(ExpressionDriver, NoVariablesSaveAsNull) {
  DriverTestFx fx;
  auto d = Make(fx, "x");
  d->Evaluate(0.0f);
  Json::Value obj;
  d->Save(obj);
  EXPECT_EQ(obj["nVarCount"], Json::Value(0));
  EXPECT_TRUE(obj.isMember("Vars"));
  EXPECT_TRUE(obj["Vars"].isNull());
}

TEST(ExpressionDriver, LoadingAfterEvaluationRebindsTheVariables) {
  // The compiled program points at the list entries; a load that resizes the
  // list must not leave it reading freed memory.
  DriverTestFx fx;
  auto d = Make(fx, "a+x");
  d->Evaluate(0.0f);
  d->Load(ParseJson(R"({"_sExpression": "a+x", "nVarCount": 3,
                        "Vars": [{"name": "z1", "value": 1}, {"name": "z2", "value": 1},
                                 {"name": "a", "value": 7}]})"));
  EXPECT_EQ(d->Evaluate(1.0f), 8.0f);
  EXPECT_EQ(Names(*d), std::vector<std::string>{"a"});
}

TEST(ExpressionDriver, BadVariableEntries) {
  struct Case {
    const char* what;
    const char* json;
    std::vector<std::string> names;  // list after loading, before any evaluation
    std::vector<float> values;
  };
  const Case cases[] = {
      {"no count empties the list", R"({"Vars": [{"name": "a", "value": 1}]})", {}, {}},
      {"negative count", R"({"nVarCount": -4, "Vars": [{"name": "a", "value": 1}]})", {}, {}},
      {"huge count is cut to the entries present",
       R"({"nVarCount": 2147483647, "Vars": [{"name": "a", "value": 1}, {"name": "b", "value": 2}]})",
       {"a", "b"},
       {1.0f, 2.0f}},
      {"huge count beyond int",
       R"({"nVarCount": 1e300, "Vars": [{"name": "a", "value": 1}]})", {"a"}, {1.0f}},
      {"count above the entries", R"({"nVarCount": 3, "Vars": [{"name": "a", "value": 1}]})", {"a"}, {1.0f}},
      {"count without Vars", R"({"nVarCount": 5})", {}, {}},
      {"Vars not an array", R"({"nVarCount": 1, "Vars": {"name": "a", "value": 1}})", {}, {}},
      {"count as text", R"({"nVarCount": "2", "Vars": [{"name": "a", "value": 1}]})", {}, {}},
      {"fewer than the entries", R"({"nVarCount": 1, "Vars": [{"name": "a", "value": 1}, {"name": "b"}]})",
       {"a"},
       {1.0f}},
      {"members of the wrong type read as empty and 0",
       R"({"nVarCount": 4, "Vars": [{"name": 3, "value": "x"}, 12, null, {"value": true}]})",
       {"", "", "", ""},
       {0.0f, 0.0f, 0.0f, 0.0f}},
      {"fractional count", R"({"nVarCount": 1.7, "Vars": [{"name": "a", "value": 1}, {"name": "b"}]})",
       {"a"},
       {1.0f}},
  };
  DriverTestFx fx;
  for (const Case& c : cases) {
    auto d = Make(fx);
    d->m_userVars = {{"old", 9.0f}};
    d->Load(ParseJson(c.json));
    EXPECT_EQ(Names(*d), c.names) << c.what;
    std::vector<float> values;
    for (const ExpressionUserVar& v : d->m_userVars) values.push_back(v.value);
    EXPECT_EQ(values, c.values) << c.what;
  }
}

TEST(ExpressionDriver, UnboundableListEntriesStayHarmless) {
  // Entries loaded with names that cannot be symbols are never bound; the
  // formula still compiles against the valid ones.
  DriverTestFx fx;
  auto d = Make(fx);
  d->Load(ParseJson(R"({"_sExpression": "k*x", "nVarCount": 3,
                        "Vars": [{"name": "", "value": 1}, {"name": "sin", "value": 1},
                                 {"name": "k", "value": 4}]})"));
  EXPECT_EQ(d->Evaluate(0.5f), 2.0f);
  EXPECT_EQ(Names(*d), std::vector<std::string>{"k"});
}

}  // namespace

TEST(ExpressionDriver, SavingIntoSomethingThatIsNotAnObjectLeavesItAlone) {
  DriverTestFx fx;
  auto d = Make(fx, "a+x");
  d->Evaluate(0.0f);
  for (const char* text : {"[1, 2]", "42", "\"text\"", "false"}) {
    const Json::Value before = ParseJson(text);
    Json::Value out = before;
    d->Save(out);
    EXPECT_EQ(out, before) << text;
  }
}

// A formula whose loop never ends gives NaN every frame and one log line for
// the driver, not one per frame.
TEST(ExpressionDriver, EndlessLoopGivesNaNAndOneLogLine) {
  DriverTestFx fx;
  auto d = Make(fx, "while (1) { a += 1 }");
  d->_attribName = "Value";
  LogCapture log;
  for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(std::isnan(d->Evaluate(frame / 60.0f))) << frame;
  const std::string line = "[Expression] Value: formula stopped after 1000000 loop iterations, value NaN\n";
  const std::string text = log.Text();
  ASSERT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.find(line), text.rfind(line)) << text;
  // The user variable keeps what the stopped loop left in it.
  ASSERT_EQ(Names(*d), std::vector<std::string>{"a"});
  EXPECT_GE(d->m_userVars[0].value, 1000000.0f);

  d->_sExpression = "x * 2";  // mended: values again, and nothing more logged
  EXPECT_EQ(d->Evaluate(1.5f), 3.0f);
  EXPECT_EQ(log.Text(), text);
}
