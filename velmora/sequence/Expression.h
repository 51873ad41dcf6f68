// Expression: the compiler and evaluator of the formulas that expression
// drivers carry (sin(x*3)*0.5+0.5). The dialect is the one the productions
// were written in: 32-bit float arithmetic, case-insensitive names, '^' right
// associative, '=' as equality beside == != <> < <= > >=, the word operators
// and/or/xor/nand/nor/xnor (and & |), not(x), implicit multiplication (2x,
// 2(x+1), (a)(b), x a, pi x, x sin(x), a(x+1) for a name that is no
// function), if(c,a,b) and c?a:b, the usual functions, the constants pi,
// epsilon (1e-6) and inf, true, false and null (NaN), and string literals
// compared with each other ('abc' == 'abc').
// Formulas may also be small programs: statements separated by ';' (the
// value is the last one's), assignments := += -= *= /= %= (inside
// expressions too), if/else, switch/case/default, while, for and
// repeat..until with break and continue, ~(a, b) and ~{a; b}, var
// declarations, return [..] (value NaN), and comments //, # and /* */.
// A formula compiles into a flat program for an accumulator machine
// (constants folded, small whole powers as multiplications, fmod by a power
// of two in an exact short form, constant and variable operands fused into
// the step that uses them, comparisons fused into their branches, frequent
// pairs of steps fused, sin(x*k)*a+b and other functions of a variable as
// one step), so an evaluation is a handful of threaded steps with the value
// in a register; every fused step gives the floats its parts give. Loops are charged on every pass back to their start, and an
// evaluation that runs past the budget stops with NaN (Stopped() says so),
// so a formula that never ends costs a bounded time per frame.
// Variables are bound by address: the symbol table holds pointers to floats
// owned by the caller, which must outlive every program compiled against it.
// No GL, no files; main thread only (the value stack is per expression).
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// Names bound to caller-owned floats (variables) or to fixed values
// (constants). Lookups ignore case.
class ExprSymbolTable {
 public:
  // False when the name is not a valid symbol, is a reserved word or a
  // function name, or is already in the table.
  bool AddVariable(std::string_view name, float& value);
  bool AddConstant(std::string_view name, float value);
  // pi, epsilon and inf; false when one of them could not be added.
  bool AddConstants();
  bool SymbolExists(std::string_view name) const;
  void Clear();

  struct Symbol {
    std::string name;  // lower case
    float* address;    // null for a constant
    float constant;
  };
  const Symbol* Find(std::string_view name) const;

 private:
  std::vector<Symbol> _symbols;
};

class Expression {
 public:
  // Passes back to the start of a loop that one evaluation may make (a loop
  // whose body is long is charged more per pass, so the time is bounded too).
  static constexpr int kMaxLoopIterations = 1000000;

  Expression();
  // The program points into the expression's own local variables.
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  // Compiles text against the table. On failure the program is the null
  // program (value NaN) and Error() says why.
  bool Compile(std::string_view text, const ExprSymbolTable& table);
  // Back to the null program.
  void Release();

  float Value() const;
  // True when the last Value() ran out of loop budget (and gave NaN).
  bool Stopped() const { return _stopped; }
  bool IsValid() const { return _valid; }
  const std::string& Error() const { return _error; }
  // Steps of the compiled program, End included: what fusing saves.
  size_t StepCount() const { return _program.size(); }

  // One step of the compiled program; public so that the compiler's helpers
  // in the implementation can build it.
  struct Instr {
    uint8_t op;
    // Arguments of a generic step (count - 1 in slots from arg, the last in
    // the accumulator); the exponent of a whole power.
    uint8_t count;
    uint8_t sub;    // the operation of a generic step with a leaf operand
    int32_t arg;    // stack slot, or branch target relative to this instruction
    union {
      float k;   // constant operand
      float* p;  // bound variable
    };
    union {
      float k2;        // second constant of a fused step
      float* p2;       // second variable of a fused step
      int32_t charge;  // loop budget a pass back to the loop's start costs
    };
    // Third and fourth constants of a fused step (v * k2 + k3, v * k3 + v2,
    // sin(v * k2) * k3 + k4).
    float k3;
    float k4;
  };

 private:
  std::vector<Instr> _program;
  mutable std::vector<float> _stack;
  std::deque<float> _locals;  // var declarations; a deque keeps their addresses
  mutable int _budget;  // loop passes left in the running evaluation
  mutable bool _stopped;
  bool _valid;
  std::string _error;
};

// The free variable names of a formula (every name that is neither a
// function, a reserved word nor a number, assigned and declared names
// included), lower-cased, sorted and unique. False, leaving names untouched,
// when the formula does not parse.
bool CollectExpressionVariables(std::string_view text, std::vector<std::string>& names);

// A letter first, then letters, digits, '_' or '.', and '.' not in last place.
bool IsValidExpressionSymbol(std::string_view name);
