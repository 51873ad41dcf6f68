// Expression: the compiler and evaluator of the formulas that expression
// drivers carry (sin(x*3)*0.5+0.5). The dialect is the one the productions
// were written in: 32-bit float arithmetic, case-insensitive names, '^' right
// associative, '=' as equality beside == != <> < <= > >=, the word operators
// and/or/not/xor/nand/nor/xnor, implicit multiplication (2x, 2(x+1), (a)(b),
// a(x+1) for a name that is no function), if(c,a,b) and c?a:b, the usual
// functions and the constants pi, epsilon (1e-6) and inf.
// A formula compiles into a flat program for an accumulator machine
// (constants folded, constant and variable operands fused into the step that
// uses them, frequent pairs of steps fused), so an evaluation is a handful of
// switch steps with the value in a register.
// Variables are bound by address: the symbol table holds pointers to floats
// owned by the caller, which must outlive every program compiled against it.
// No GL, no files; main thread only (the value stack is per expression).
#pragma once
#include <cstdint>
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
    const float* address;  // null for a constant
    float constant;
  };
  const Symbol* Find(std::string_view name) const;

 private:
  std::vector<Symbol> _symbols;
};

class Expression {
 public:
  Expression();

  // Compiles text against the table. On failure the program is the null
  // program (value NaN) and Error() says why.
  bool Compile(std::string_view text, const ExprSymbolTable& table);
  // Back to the null program.
  void Release();

  float Value() const;
  bool IsValid() const { return _valid; }
  const std::string& Error() const { return _error; }

  // One step of the compiled program; public so that the compiler's helpers
  // in the implementation can build it.
  struct Instr {
    uint8_t op;
    uint8_t count;  // arguments of a generic step: count - 1 on the stack, the last in the accumulator
    uint8_t sub;    // the operation of a generic step with a leaf operand
    float k2;       // second constant of a fused step
    union {
      float k;         // constant operand
      const float* p;  // bound variable
      int32_t jump;    // branch target, relative to this instruction
    };
  };

 private:
  std::vector<Instr> _program;
  mutable std::vector<float> _stack;
  bool _valid;
  std::string _error;
};

// The free variable names of a formula (every name that is neither a
// function, an operator word nor a number), lower-cased, sorted and unique.
// False, leaving names untouched, when the formula does not parse.
bool CollectExpressionVariables(std::string_view text, std::vector<std::string>& names);

// A letter first, then letters, digits, '_' or '.', and '.' not in last place.
bool IsValidExpressionSymbol(std::string_view name);
