// Expression driver: an attribute driven by a formula the author typed, for
// example sin(x*3)*0.5+0.5, with x the effect's local time in seconds. Every
// other free name of the formula becomes a user variable with a stored value
// the editor lets the author adjust. The result is used as is: _fMin, _fMax,
// _fPeriod and _fPhase are persisted but not applied.
// A formula whose loops run past the evaluator's budget gives NaN for that
// frame and one log line for the driver's lifetime.
// The formula is compiled on the first evaluation and again whenever its
// text changes; the compiled program refers to the user variables by
// address, so the list is only changed while compiling and by Load (which
// drops the program).
// Depends on the driver base and the expression compiler. Main thread only.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sequence/Driver.h"

struct ExpressionUserVar {
  std::string name;
  float value;
};

class ExpressionDriver : public NoneDriver {
 public:
  // Registers "_sExpression" after the base's members.
  ExpressionDriver(fxBase* fx, AttributeDesc* attribute);
  ~ExpressionDriver() override;

  // Registered members, then "nVarCount" and "Vars".
  void Load(const Json::Value& obj) override;
  void Save(Json::Value& obj) const override;

  // NaN while the formula does not compile.
  float Evaluate(float t) override;
  void DrawEditor() override;

  std::string _sExpression;
  std::vector<ExpressionUserVar> m_userVars;

 private:
  struct Compiled;
  void Compile();
  std::unique_ptr<Compiled> m_pCompiled;
  bool m_bLoopLimitLogged = false;  // the endless-loop line is logged once per driver
};

// The "Exprtk help" link of the expression panel.
void DrawExpressionHelpLink();
