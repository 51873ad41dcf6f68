// The formulas stored productions carry, read the way the formula library
// they were written for reads them: a shared table of formulas with the
// names the library collects and the values it gives (x = 1.25, every
// collected name 0.5), through the expression driver's own compile steps.
// Every row must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "DriverTestFx.h"
#include "sequence/DriverExpression.h"
#include "sequence/Expression.h"

namespace {

constexpr size_t kRows = 226;
constexpr float kX = 1.25f;
constexpr float kVariable = 0.5f;

struct Row {
  std::string formula;
  bool collectFails;
  std::vector<std::string> names;  // collected, less x
  bool compileFails;
  float value;
};

// "\n" in the file stands for a line feed.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back(std::string());
  return parts;
}

std::vector<Row> ReadTable() {
  std::ifstream in(std::string(VELMORA_TESTDATA_DIR) + "/expressions/reference-values.tsv");
  std::vector<Row> rows;
  std::string line;
  if (!std::getline(in, line)) return rows;  // the header
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = Split(line, '\t');
    if (cells.size() != 3) {
      ADD_FAILURE() << "malformed row: " << line;
      continue;
    }
    Row row;
    row.formula = Unescape(cells[0]);
    row.collectFails = cells[1] == "(collect failed)";
    if (!row.collectFails && !cells[1].empty()) row.names = Split(cells[1], ',');
    row.compileFails = cells[2] == "error";
    row.value = row.compileFails ? NAN : std::strtof(cells[2].c_str(), nullptr);
    rows.push_back(row);
  }
  return rows;
}

// Floats in order as integers, so that neighbours differ by one.
int64_t Ordered(float f) {
  int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits < 0 ? -static_cast<int64_t>(bits & 0x7fffffff) : bits;
}

// The library's values are printed to nine digits and computed by its own
// float paths: a few float steps apart is the same value.
bool SameValue(float expected, float got) {
  if (std::isnan(expected) || std::isnan(got)) return std::isnan(expected) && std::isnan(got);
  if (std::isinf(expected) || std::isinf(got)) return expected == got;
  return std::llabs(Ordered(expected) - Ordered(got)) <= 4;
}

std::vector<std::string> WithoutX(std::vector<std::string> names) {
  for (size_t i = names.size(); i-- > 0;)
    if (names[i] == "x") names.erase(names.begin() + static_cast<long>(i));
  return names;
}

TEST(ExpressionReferenceTable, HoldsEveryRow) {
  EXPECT_EQ(ReadTable().size(), kRows);
}

// The collect pass finds the names the library finds, and fails where it
// fails.
TEST(ExpressionReferenceTable, CollectsTheLibrarysNames) {
  for (const Row& row : ReadTable()) {
    std::vector<std::string> names;
    const bool collected = CollectExpressionVariables(row.formula, names);
    EXPECT_EQ(collected, !row.collectFails) << row.formula;
    if (collected && !row.collectFails) {
      EXPECT_EQ(WithoutX(names), row.names) << row.formula;
    }
  }
}

// Through the driver: its user variables are the collected names less the
// constants, set to 0.5 after the first evaluation (which may assign to
// them); the value at x = 1.25 is the library's.
TEST(ExpressionReferenceTable, DriverGivesTheLibrarysValues) {
  DriverTestFx fx;
  const std::vector<Row> rows = ReadTable();
  ASSERT_EQ(rows.size(), kRows);
  for (const Row& row : rows) {
    std::unique_ptr<ExpressionDriver> d(
        static_cast<ExpressionDriver*>(CreateDriver(&fx, DriverExpression, fx.Attr("Value"))));
    d->_sExpression = row.formula;
    d->Evaluate(0.0f);
    std::vector<std::string> names;
    for (ExpressionUserVar& v : d->m_userVars) {
      v.value = kVariable;
      names.push_back(v.name);
    }
    std::vector<std::string> expectedNames;
    for (const std::string& name : row.names)
      if (name != "pi" && name != "epsilon" && name != "inf") expectedNames.push_back(name);
    EXPECT_EQ(names, expectedNames) << row.formula;
    const float got = d->Evaluate(kX);
    EXPECT_TRUE(SameValue(row.value, got)) << row.formula << ": expected " << row.value << ", got " << got;
  }
}

// Compiled the driver's way, a row the library refuses does not compile
// (a NaN value alone would not tell a refusal from a formula worth NaN).
TEST(ExpressionReferenceTable, RefusesWhatTheLibraryRefuses) {
  for (const Row& row : ReadTable()) {
    float x = kX;
    ExprSymbolTable table;
    table.AddVariable("x", x);
    table.AddConstants();
    std::vector<std::string> names;
    std::deque<float> values;
    if (CollectExpressionVariables(row.formula, names))
      for (const std::string& name : names)
        if (!table.SymbolExists(name)) table.AddVariable(name, values.emplace_back(kVariable));
    Expression e;
    EXPECT_EQ(e.Compile(row.formula, table), !row.compileFails) << row.formula << ": " << e.Error();
  }
}

}  // namespace
