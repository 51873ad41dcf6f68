// Expression compiler and evaluator (see Expression.h for the dialect).
//
// Index
//   [SECTION] Operations: codes, names, arities and their float semantics
//   [SECTION] Lexer: text to tokens, comments
//   [SECTION] Parse tree: nodes, folding
//   [SECTION] Parser: tokens to a folded tree
//   [SECTION] Emitter: tree to a flat program
//   [SECTION] Evaluation
//   [SECTION] Symbol table, collect pass, symbol rules
#include "sequence/Expression.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Operations
// ---------------------------------------------------------------------------

// Every operation, in code order, as two lists: the steps the evaluator runs
// itself and the operations it hands to ApplyOp. The operation codes and
// the evaluator's table of steps are both made from these lists, so the two
// cannot fall out of step.
//   Control, variables and stack slots; End closes every program, and
//     LoopBudget opens those with a loop (only they can stop, so only they
//     pay for filling the budget and clearing the stop flag).
//   JumpUnless..K: a comparison with a constant fused into the branch it
//     feeds (jump unless acc op k).
//   ..K, K.., ..V, V..: acc op k, k op acc, acc op v, v op acc.
//   Frequent pairs as one step: acc * k + k2, v + k2, v * k2, v * v,
//     v * v * k2, v * v2, acc + v * k2, acc - v * k2, v * k2 - acc, whole
//     powers of acc, clamp(k, acc, k2), v * k2 + k3, v * k3 + v2.
//   Functions of one argument: sin and cos of acc times k (plus k2), of v,
//     v * k2 (times k3, plus k4) and v * v2; FuncV: any other one (in
//     `sub`) of v.
//   Compound assignments: v = acc + v, v - acc, acc * v, v / acc, v + k2.
//   BinK, KBin, BinV, VBin: any other binary operation (in `sub`) with a
//     constant or variable operand.
//   Add, Sub, Mul, Div: the left operand from a stack slot.
#define EXPRESSION_STEPS(X)                                                                          \
  X(End) X(LoadK) X(LoadV) X(StoreV) X(StoreK) X(LoadSlot) X(StoreSlot)                              \
  X(Jump) X(JumpIfFalse) X(JumpIfTrue) X(Loop) X(LoopBudget) X(Return)                               \
  X(JumpUnlessLtK) X(JumpUnlessLeK) X(JumpUnlessGtK) X(JumpUnlessGeK) X(JumpUnlessEqK)               \
  X(JumpUnlessNeK)                                                                                   \
  X(AddK) X(SubK) X(KSub) X(MulK) X(DivK) X(KDiv) X(PowK) X(ModK) X(ModPow2K)                        \
  X(MinK) X(MaxK) X(KMin) X(KMax)                                                                    \
  X(AddV) X(SubV) X(VSub) X(MulV) X(DivV) X(VDiv) X(MinV) X(MaxV) X(VMin) X(VMax)                    \
  X(MulAddK) X(LoadVAddK) X(LoadVMulK) X(LoadVSquare) X(LoadVSquareMulK) X(LoadVMulV)                \
  X(AddVMulK) X(SubVMulK) X(VMulKSub) X(Square) X(Cube) X(PowN) X(ClampK)                            \
  X(AddToV) X(SubFromV) X(MulToV) X(DivIntoV) X(AddKToV)                                             \
  X(BinK) X(KBin) X(BinV) X(VBin)                                                                    \
  X(LoadVMulKAddK) X(LoadVMulKAddV)                                                                  \
  X(Add) X(Sub) X(Mul) X(Div) X(Neg) X(Sin) X(Cos)                                                   \
  X(SinMulK) X(CosMulK) X(SinMulAddK) X(CosMulAddK)                                                 \
  X(SinV) X(CosV) X(SinVMulK) X(CosVMulK) X(SinVMulV) X(CosVMulV) X(FuncV)                           \
  X(SinVMulKMulK) X(CosVMulKMulK) X(SinVMulKMulAddK) X(CosVMulKMulAddK)

// Operators, then functions of one, two, three and any number of arguments
// (three: low, value, high).
#define EXPRESSION_APPLIED(X)                                                                        \
  X(Mod) X(Pow) X(Eq) X(Ne) X(Lt) X(Le) X(Gt) X(Ge) X(And) X(Or) X(Xor) X(Nand) X(Nor) X(Xnor)       \
  X(Not)                                                                                             \
  X(Abs) X(Acos) X(Acosh) X(Asin) X(Asinh) X(Atan) X(Atanh) X(Ceil) X(Cosh) X(Cot) X(Csc)            \
  X(Deg2Rad) X(Deg2Grad) X(Grad2Deg) X(Erf) X(Erfc) X(Exp) X(Expm1) X(Floor) X(Frac) X(Log)          \
  X(Log10) X(Log1p) X(Log2) X(Ncdf) X(Rad2Deg) X(Round) X(Sec) X(Sgn) X(Sinc) X(Sinh) X(Sqrt)        \
  X(Tan) X(Tanh) X(Trunc)                                                                            \
  X(Atan2) X(Hypot) X(Logn) X(Root) X(Roundn) X(Equal) X(NotEqual)                                   \
  X(Clamp) X(Iclamp) X(Inrange)                                                                      \
  X(Min) X(Max) X(Avg) X(Sum) X(Prod) X(Mand) X(Mor)

#define EXPRESSION_OP_CODE(name) Op##name,
enum Op : uint8_t { EXPRESSION_STEPS(EXPRESSION_OP_CODE) EXPRESSION_APPLIED(EXPRESSION_OP_CODE) OpCount };
#undef EXPRESSION_OP_CODE

#define EXPRESSION_ONE(name) +1
// Codes from here on are the operations ApplyOp runs.
constexpr int kFirstApplied = 0 EXPRESSION_STEPS(EXPRESSION_ONE);
#undef EXPRESSION_ONE

struct FunctionInfo {
  const char* name;
  Op op;
  int arity;  // -1: variadic
};

// Every function name of the dialect; "pow" and "mod" share the operators'
// codes. "not" is a function only: "not 1" does not parse.
const FunctionInfo kFunctions[] = {
    {"abs", OpAbs, 1},         {"acos", OpAcos, 1},       {"acosh", OpAcosh, 1},
    {"asin", OpAsin, 1},       {"asinh", OpAsinh, 1},     {"atan", OpAtan, 1},
    {"atanh", OpAtanh, 1},     {"ceil", OpCeil, 1},       {"cos", OpCos, 1},
    {"cosh", OpCosh, 1},       {"cot", OpCot, 1},         {"csc", OpCsc, 1},
    {"deg2rad", OpDeg2Rad, 1}, {"deg2grad", OpDeg2Grad, 1}, {"grad2deg", OpGrad2Deg, 1},
    {"erf", OpErf, 1},         {"erfc", OpErfc, 1},
    {"exp", OpExp, 1},         {"expm1", OpExpm1, 1},     {"floor", OpFloor, 1},
    {"frac", OpFrac, 1},       {"log", OpLog, 1},         {"log10", OpLog10, 1},
    {"log1p", OpLog1p, 1},     {"log2", OpLog2, 1},       {"ncdf", OpNcdf, 1},
    {"rad2deg", OpRad2Deg, 1}, {"round", OpRound, 1},     {"sec", OpSec, 1},
    {"sgn", OpSgn, 1},         {"sin", OpSin, 1},         {"sinc", OpSinc, 1},
    {"sinh", OpSinh, 1},       {"sqrt", OpSqrt, 1},       {"tan", OpTan, 1},
    {"tanh", OpTanh, 1},       {"trunc", OpTrunc, 1},     {"atan2", OpAtan2, 2},
    {"hypot", OpHypot, 2},     {"logn", OpLogn, 2},       {"root", OpRoot, 2},
    {"roundn", OpRoundn, 2},   {"equal", OpEqual, 2},     {"not_equal", OpNotEqual, 2},
    {"nequal", OpNotEqual, 2},
    {"pow", OpPow, 2},         {"mod", OpMod, 2},         {"clamp", OpClamp, 3},
    {"iclamp", OpIclamp, 3},   {"inrange", OpInrange, 3}, {"min", OpMin, -1},
    {"max", OpMax, -1},        {"avg", OpAvg, -1},        {"sum", OpSum, -1},
    {"mul", OpProd, -1},       {"mand", OpMand, -1},      {"mor", OpMor, -1},
    {"not", OpNot, 1},
};

const FunctionInfo* FindFunction(std::string_view name) {
  for (const FunctionInfo& f : kFunctions)
    if (name == f.name) return &f;
  return nullptr;
}

// Words that are operators, literals or statements, never names of
// variables. "in", "like" and "ilike" are string operators of the dialect
// this evaluator does not offer: they stay reserved so "x in 1" is refused
// rather than read as a product.
const char* const kWords[] = {"and",   "or",     "xor",   "nand",     "nor",    "xnor",
                              "in",    "like",   "ilike", "if",       "else",   "switch",
                              "case",  "default", "while", "for",     "repeat", "until",
                              "break", "continue", "return", "var",   "true",   "false",
                              "null"};

bool IsWord(std::string_view name) {
  for (const char* w : kWords)
    if (name == w) return true;
  return false;
}

bool IsReserved(std::string_view name) { return IsWord(name) || FindFunction(name); }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

constexpr float kPi = 3.14159265358979323846f;
constexpr float kEpsilon = 0.000001f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

inline bool Truth(float v) { return v != 0.0f; }  // NaN counts as true
inline float Bool(bool b) { return b ? 1.0f : 0.0f; }

// Relative comparison of equal(): the operators compare exactly.
bool NearlyEqual(float a, float b) {
  if (a == b) return true;
  const float scale = std::max(1.0f, std::max(std::fabs(a), std::fabs(b)));
  return std::fabs(a - b) <= scale * 1e-6f;
}

// The n-th root for a whole degree n (the degree is truncated): an odd root
// of a negative number is negative, root(-8, 3) = -2; an even one, or a
// negative degree, has none.
float Root(float v, float degree) {
  if (!(degree >= 0.0f)) return kNaN;
  const float n = std::trunc(degree);
  if (v >= 0.0f) return std::pow(v, 1.0f / n);
  if (std::fmod(n, 2.0f) == 0.0f) return kNaN;
  return -std::pow(-v, 1.0f / n);
}

// Rounds to a number of decimals; the count is clamped to 0..16, so a
// negative count rounds to a whole number (roundn(1234.5, -2) is 1235).
float RoundN(float v, float digits) {
  const float count = std::isnan(digits) ? 0.0f : std::min(16.0f, std::max(0.0f, std::trunc(digits)));
  const float scale = std::pow(10.0f, count);
  return std::round(v * scale) / scale;
}

// x^n for a whole n >= 2 by squaring, as the formula library multiplies out
// small whole powers.
inline float PowN(float v, int n) {
  float result = 1.0f;
  for (;;) {
    if (n & 1) result *= v;
    n >>= 1;
    if (!n) return result;
    v *= v;
  }
}

// fmod(v, d) for a power of two d >= 1, exactly: v / d and d * trunc(v / d)
// are exact, and so is the difference, which fmod's result is; the sign
// (of a zero too) is v's. Floats from 2^23 on are whole already.
inline float ModPowerOfTwo(float v, float d) {
  const float q = v / d;
  const float whole = std::fabs(q) < 8388608.0f ? static_cast<float>(static_cast<int32_t>(q)) : q;
  return std::copysign(v - d * whole, v);
}

// The whole exponents written as multiplications.
constexpr float kMaxMultipliedPower = 32.0f;

// The float semantics of every value operation, used both by the evaluator
// and by constant folding so the two never disagree. a holds n arguments.
float ApplyOp(Op op, const float* a, int n) {
  switch (op) {
    case OpAdd: return a[0] + a[1];
    case OpSub: return a[0] - a[1];
    case OpMul: return a[0] * a[1];
    case OpDiv: return a[0] / a[1];
    case OpMod: return std::fmod(a[0], a[1]);
    case OpPow: return std::pow(a[0], a[1]);
    case OpEq: return Bool(a[0] == a[1]);
    case OpNe: return Bool(a[0] != a[1]);
    case OpLt: return Bool(a[0] < a[1]);
    case OpLe: return Bool(a[0] <= a[1]);
    case OpGt: return Bool(a[0] > a[1]);
    case OpGe: return Bool(a[0] >= a[1]);
    case OpAnd: return Bool(Truth(a[0]) && Truth(a[1]));
    case OpOr: return Bool(Truth(a[0]) || Truth(a[1]));
    case OpXor: return Bool(Truth(a[0]) != Truth(a[1]));
    case OpNand: return Bool(!(Truth(a[0]) && Truth(a[1])));
    case OpNor: return Bool(!(Truth(a[0]) || Truth(a[1])));
    case OpXnor: return Bool(Truth(a[0]) == Truth(a[1]));
    case OpNeg: return -a[0];
    case OpNot: return Bool(!Truth(a[0]));
    case OpAbs: return std::fabs(a[0]);
    case OpAcos: return std::acos(a[0]);
    case OpAcosh: return std::acosh(a[0]);
    case OpAsin: return std::asin(a[0]);
    case OpAsinh: return std::asinh(a[0]);
    case OpAtan: return std::atan(a[0]);
    case OpAtanh: return std::atanh(a[0]);
    case OpCeil: return std::ceil(a[0]);
    case OpCos: return std::cos(a[0]);
    case OpCosh: return std::cosh(a[0]);
    case OpCot: return 1.0f / std::tan(a[0]);
    case OpCsc: return 1.0f / std::sin(a[0]);
    case OpDeg2Rad: return a[0] * (kPi / 180.0f);
    case OpErf: return std::erf(a[0]);
    case OpErfc: return std::erfc(a[0]);
    case OpExp: return std::exp(a[0]);
    case OpExpm1: return std::expm1(a[0]);
    case OpFloor: return std::floor(a[0]);
    case OpFrac: return a[0] - std::trunc(a[0]);
    case OpLog: return std::log(a[0]);
    case OpLog10: return std::log10(a[0]);
    case OpLog1p: return std::log1p(a[0]);
    case OpLog2: return std::log2(a[0]);
    case OpNcdf: return 0.5f * std::erfc(-a[0] / std::sqrt(2.0f));
    case OpRad2Deg: return a[0] * (180.0f / kPi);
    case OpDeg2Grad: return a[0] * (10.0f / 9.0f);
    case OpGrad2Deg: return a[0] * (9.0f / 10.0f);
    case OpRound: return std::round(a[0]);  // halves away from zero
    case OpSec: return 1.0f / std::cos(a[0]);
    case OpSgn: return a[0] > 0.0f ? 1.0f : (a[0] < 0.0f ? -1.0f : 0.0f);
    case OpSin: return std::sin(a[0]);
    case OpSinc: return a[0] == 0.0f ? 1.0f : std::sin(a[0]) / a[0];
    case OpSinh: return std::sinh(a[0]);
    case OpSqrt: return std::sqrt(a[0]);
    case OpTan: return std::tan(a[0]);
    case OpTanh: return std::tanh(a[0]);
    case OpTrunc: return std::trunc(a[0]);
    case OpAtan2: return std::atan2(a[0], a[1]);
    case OpHypot: return std::hypot(a[0], a[1]);
    case OpLogn: return std::log(a[0]) / std::log(a[1]);
    case OpRoot: return Root(a[0], a[1]);
    case OpRoundn: return RoundN(a[0], a[1]);
    case OpEqual: return Bool(NearlyEqual(a[0], a[1]));
    case OpNotEqual: return Bool(!NearlyEqual(a[0], a[1]));
    case OpClamp: return a[1] < a[0] ? a[0] : (a[1] > a[2] ? a[2] : a[1]);
    case OpIclamp:  // pushes a value inside (low, high) out to the nearer bound, the low one at the middle
      if (a[1] <= a[0] || a[1] >= a[2]) return a[1];
      return (a[1] - a[0] <= a[2] - a[1]) ? a[0] : a[2];
    case OpInrange: return Bool(a[0] <= a[1] && a[1] <= a[2]);
    case OpMin: {
      float r = a[0];
      for (int i = 1; i < n; ++i) r = std::min(r, a[i]);
      return r;
    }
    case OpMax: {
      float r = a[0];
      for (int i = 1; i < n; ++i) r = std::max(r, a[i]);
      return r;
    }
    case OpSum:
    case OpAvg: {
      float r = a[0];
      for (int i = 1; i < n; ++i) r += a[i];
      return op == OpAvg ? r / static_cast<float>(n) : r;
    }
    case OpProd: {
      float r = a[0];
      for (int i = 1; i < n; ++i) r *= a[i];
      return r;
    }
    case OpMand:
    case OpMor: {  // every / any argument true
      const bool all = op == OpMand;
      for (int i = 0; i < n; ++i)
        if (Truth(a[i]) != all) return Bool(!all);
      return Bool(all);
    }
    default: return kNaN;
  }
}

// A binary operation of the evaluator's generic steps. Out of line, so that
// the two arguments it lays in memory take no room in the evaluator's own
// frame, which every evaluation would set up.
__attribute__((noinline)) float ApplyPair(uint8_t op, float left, float right) {
  const float a[2] = {left, right};
  return ApplyOp(static_cast<Op>(op), a, 2);
}

bool IsCommutative(Op op) {
  switch (op) {
    case OpAdd: case OpMul: case OpEq: case OpNe: case OpAnd: case OpOr:
    case OpXor: case OpNand: case OpNor: case OpXnor:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Lexer
// ---------------------------------------------------------------------------

enum TokenKind { TokNumber, TokName, TokString, TokOperator, TokOpen, TokClose, TokComma, TokEnd };

struct Token {
  TokenKind kind;
  std::string text;  // names lower-cased; operator spelling; bracket character; string contents
  float number;
  size_t pos;
};

// Bounds the work and memory of one compilation; far beyond any formula a
// person types (10,000 short statements fit).
constexpr size_t kMaxTokens = size_t(1) << 17;

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Longest first so that ":=" is not read as ':' then '=', nor "<=" as '<'.
const char* const kOperators[] = {":=", "+=", "-=", "*=", "/=", "%=", "==", "!=", "<>", "<=", ">=",
                                  "+",  "-",  "*",  "/",  "%",  "^",  "=",  "<",  ">",  "&",  "|",
                                  "?",  ":",  ";",  "~"};

// Moves i past blanks and comments (// and # to the end of the line, /* */).
// False on a comment that is never closed.
bool SkipBlanks(std::string_view s, size_t& i) {
  while (i < s.size()) {
    if (std::isspace(static_cast<unsigned char>(s[i]))) {
      ++i;
    } else if (s[i] == '#' || s.substr(i, 2) == "//") {
      i = std::min(s.find('\n', i), s.size());
    } else if (s.substr(i, 2) == "/*") {
      const size_t end = s.find("*/", i + 2);
      if (end == std::string_view::npos) return false;
      i = end + 2;
    } else {
      return true;
    }
  }
  return true;
}

// Digits, a fraction and an exponent; an 'e' must be followed by digits
// ("2e" is refused, as the formula library refuses it).
bool LexNumber(std::string_view s, size_t& i, Token& t) {
  size_t j = i;
  while (j < s.size() && IsDigit(s[j])) ++j;
  if (j < s.size() && s[j] == '.') {
    ++j;
    while (j < s.size() && IsDigit(s[j])) ++j;
  }
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    ++j;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j >= s.size() || !IsDigit(s[j])) return false;
    while (j < s.size() && IsDigit(s[j])) ++j;
  }
  t.kind = TokNumber;
  t.text.assign(s.substr(i, j - i));
  t.number = std::strtof(t.text.c_str(), nullptr);
  i = j;
  return true;
}

// 'text', a backslash taking the next character as it is.
bool LexString(std::string_view s, size_t& i, Token& t) {
  size_t j = i + 1;
  for (; j < s.size() && s[j] != '\''; ++j) {
    if (s[j] == '\\' && j + 1 < s.size()) ++j;
    t.text += s[j];
  }
  if (j >= s.size()) return false;
  t.kind = TokString;
  i = j + 1;
  return true;
}

bool LexOperator(std::string_view s, size_t& i, Token& t) {
  for (const char* op : kOperators) {
    const std::string_view o(op);
    if (s.substr(i, o.size()) == o) {
      t.kind = TokOperator;
      t.text = o;
      i += o.size();
      return true;
    }
  }
  return false;
}

bool Lex(std::string_view s, std::vector<Token>& out, std::string& error) {
  size_t i = 0;
  for (;;) {
    if (!SkipBlanks(s, i)) {
      error = "comment not closed";
      return false;
    }
    if (i >= s.size()) break;
    if (out.size() >= kMaxTokens) {
      error = "formula too long";
      return false;
    }
    const char c = s[i];
    Token t{TokEnd, std::string(), 0.0f, i};
    bool ok = true;
    if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      ok = LexNumber(s, i, t);
    } else if (IsNameStart(c)) {
      size_t j = i + 1;
      // A '.' belongs to a name only between name characters (a.b).
      while (j < s.size() &&
             (IsNameChar(s[j]) || (s[j] == '.' && j + 1 < s.size() && IsNameChar(s[j + 1]))))
        ++j;
      t.kind = TokName;
      t.text = Lower(s.substr(i, j - i));
      i = j;
    } else if (c == '\'') {
      ok = LexString(s, i, t);
    } else if (c == '(' || c == '[' || c == '{') {
      t.kind = TokOpen;
      t.text = std::string(1, c);
      ++i;
    } else if (c == ')' || c == ']' || c == '}') {
      t.kind = TokClose;
      t.text = std::string(1, c);
      ++i;
    } else if (c == ',') {
      t.kind = TokComma;
      ++i;
    } else {
      ok = LexOperator(s, i, t);
    }
    if (!ok) {
      error = "unexpected '" + std::string(1, c) + "' at " + std::to_string(t.pos);
      return false;
    }
    out.push_back(std::move(t));
  }
  out.push_back(Token{TokEnd, std::string(), 0.0f, s.size()});
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Parse tree
// ---------------------------------------------------------------------------

// A node of the parse tree; operations whose operands are all constants are
// folded as soon as they are built.
struct Node;
using NodePtr = std::unique_ptr<Node>;

struct Node {
  enum Kind {
    Const,      // k
    Var,        // *p
    Operation,  // op over args
    Select,     // condition, then, else
    Assign,     // *p = args[0], or *p = *p op args[0] for a compound op
    Sequence,   // every arg in turn; the value of the last
    Loop,       // condition, body, step (may be null); testAfter: repeat..until
    Break,      // leaves the innermost loop, with the value of args[0] if any
    Continue,   // to the innermost loop's step and condition
    Return,     // evaluates args, then ends the evaluation with NaN
  } kind = Const;
  Op op = OpLoadK;
  float k = 0.0f;
  float* p = nullptr;
  bool testAfter = false;
  int height = 1;  // levels below and including this one
  std::vector<NodePtr> args;
};

NodePtr MakeNode(Node::Kind kind, std::vector<NodePtr> args = {}) {
  NodePtr n(new Node);
  n->kind = kind;
  for (const NodePtr& a : args)
    if (a) n->height = std::max(n->height, a->height + 1);
  n->args = std::move(args);
  return n;
}

NodePtr MakeConst(float k) {
  NodePtr n = MakeNode(Node::Const);
  n->k = k;
  return n;
}

NodePtr MakeVar(float* p) {
  NodePtr n = MakeNode(Node::Var);
  n->p = p;
  return n;
}

template <typename... Nodes>
std::vector<NodePtr> List(Nodes... nodes) {
  std::vector<NodePtr> list;
  (list.push_back(std::move(nodes)), ...);
  return list;
}

bool IsChained(Op op) { return op == OpMin || op == OpMax || op == OpSum || op == OpProd; }

NodePtr MakeOp(Op op, std::vector<NodePtr> args) {
  // min, max, sum and mul of many arguments fold left one by one, as the
  // n-argument forms do: a chain of two-argument steps gives the same
  // floats and fuses with its leaves.
  if (IsChained(op) && args.size() > 2) {
    NodePtr chain = std::move(args[0]);
    const Op pair = op == OpSum ? OpAdd : (op == OpProd ? OpMul : op);
    for (size_t i = 1; i < args.size(); ++i) chain = MakeOp(pair, List(std::move(chain), std::move(args[i])));
    return chain;
  }
  bool allConst = true;
  for (const NodePtr& a : args) allConst = allConst && a->kind == Node::Const;
  if (allConst) {
    std::vector<float> values;
    for (const NodePtr& a : args) values.push_back(a->k);
    return MakeConst(ApplyOp(op, values.data(), static_cast<int>(values.size())));
  }
  NodePtr n = MakeNode(Node::Operation, std::move(args));
  n->op = op;
  return n;
}

NodePtr MakeSelect(NodePtr c, NodePtr a, NodePtr b) {
  if (c->kind == Node::Const) return Truth(c->k) ? std::move(a) : std::move(b);
  return MakeNode(Node::Select, List(std::move(c), std::move(a), std::move(b)));
}

// op: OpLoadK for a plain assignment, else the operation of +=, -=, ...
NodePtr MakeAssign(float* target, Op op, NodePtr value) {
  NodePtr n = MakeNode(Node::Assign, List(std::move(value)));
  n->p = target;
  n->op = op;
  return n;
}

NodePtr MakeSequence(std::vector<NodePtr> list) {
  if (list.size() == 1) return std::move(list[0]);
  return MakeNode(Node::Sequence, std::move(list));
}

NodePtr MakeLoop(NodePtr condition, NodePtr body, NodePtr step, bool testAfter) {
  NodePtr n = MakeNode(Node::Loop, List(std::move(condition), std::move(body), std::move(step)));
  n->testAfter = testAfter;
  return n;
}

// ---------------------------------------------------------------------------
// [SECTION] Parser
// ---------------------------------------------------------------------------

// Bounds the height of the tree (a long chain of '+' is as high as it is
// long, a switch as its cases), which the emitter and the tree's release
// walk recursively: low enough that the walk fits an 8 MB stack even in
// the sanitized build, whose frames are several times larger.
constexpr int kMaxHeight = 500;

// Where a list of statements ends.
enum class ListEnd { Text, Brace, Until };

class Parser {
 public:
  // table null: collect mode, every free name is recorded and read as 0.
  // locals: storage for var declarations (compile mode only).
  Parser(const std::vector<Token>& tokens, const ExprSymbolTable* table,
         std::vector<std::string>* collected, std::deque<float>* locals)
      : _t(tokens), _table(table), _collected(collected), _localStore(locals) {}

  NodePtr ParseAll(std::string& error) {
    NodePtr root = Statements(ListEnd::Text);
    if (root && Peek().kind != TokEnd) Fail("unexpected '" + Peek().text + "'");
    if (!_error.empty()) {
      error = _error;
      return nullptr;
    }
    return root;
  }

 private:
  // Deep enough for any formula a person types, shallow enough that the
  // recursion cannot exhaust the thread's stack.
  static constexpr int kMaxDepth = 200;

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : parser(p) { ++parser._depth; }
    ~DepthGuard() { --parser._depth; }
    Parser& parser;
  };

  struct Local {
    std::string name;
    float* value;
  };

  const Token& Peek(size_t ahead = 0) const { return _t[std::min(_i + ahead, _t.size() - 1)]; }
  const Token& Next() { return _t[_i < _t.size() - 1 ? _i++ : _i]; }
  bool IsOp(const char* op, size_t ahead = 0) const {
    return Peek(ahead).kind == TokOperator && Peek(ahead).text == op;
  }
  bool IsName(const char* word, size_t ahead = 0) const {
    return Peek(ahead).kind == TokName && Peek(ahead).text == word;
  }
  bool IsBracket(TokenKind kind, char c) const { return Peek().kind == kind && Peek().text[0] == c; }

  NodePtr Fail(const std::string& message) {
    if (_error.empty()) _error = message + " at " + std::to_string(Peek().pos);
    return nullptr;
  }

  // Consumes an expected operator or bracket.
  bool Expect(TokenKind kind, const char* text) {
    if (Peek().kind != kind || Peek().text != text) {
      Fail(std::string("expected '") + text + "'");
      return false;
    }
    Next();
    return true;
  }
  bool ExpectOp(const char* op) { return Expect(TokOperator, op); }

  NodePtr Bounded(NodePtr n) {
    if (n && n->height > kMaxHeight) return Fail("formula nested too deeply");
    return n;
  }

  NodePtr Binary(Op op, NodePtr a, NodePtr b) {
    if (!a || !b) return nullptr;
    return Bounded(MakeOp(op, List(std::move(a), std::move(b))));
  }

  NodePtr Unary(Op op, NodePtr a) {
    if (!a) return nullptr;
    return MakeOp(op, List(std::move(a)));
  }

  // --- Statements ----------------------------------------------------------

  bool AtListEnd(ListEnd end) const {
    switch (end) {
      case ListEnd::Text: return Peek().kind == TokEnd;
      case ListEnd::Brace: return IsBracket(TokClose, '}');
      case ListEnd::Until: return IsName("until");
    }
    return false;
  }

  // Statements separated by ';' (empty ones and a trailing ';' allowed);
  // the value of the last. Names declared inside end with the list.
  NodePtr Statements(ListEnd end) {
    const size_t scope = _locals.size();
    std::vector<NodePtr> list;
    for (;;) {
      while (IsOp(";")) Next();
      if (AtListEnd(end)) break;
      NodePtr s = Statement();
      if (!s) return nullptr;
      list.push_back(std::move(s));
      if (AtListEnd(end)) break;
      if (!ExpectOp(";")) return nullptr;
    }
    _locals.resize(scope);
    if (list.empty()) return Fail("expected a statement");
    return MakeSequence(std::move(list));
  }

  NodePtr Statement() {
    if (IsName("var")) return Declaration();
    if (IsName("break")) return Break();
    if (IsName("continue")) {
      if (!_loops) return Fail("continue outside a loop");
      Next();
      return MakeNode(Node::Continue);
    }
    if (IsName("return")) return Return();
    return Expression();
  }

  // A block in braces or a single statement: the body of if, else, case and
  // the loops.
  NodePtr Body() {
    if (!IsBracket(TokOpen, '{')) return Statement();
    Next();
    NodePtr list = Statements(ListEnd::Brace);
    if (!list || !Expect(TokClose, "}")) return nullptr;
    return list;
  }

  // var name [:= value] | var name[size] [:= {values}]. The collect pass
  // reports the declared name like any other; compiling refuses a name that
  // is already bound, which is what the driver's procedure always makes of
  // a declaration (it binds every collected name first).
  NodePtr Declaration() {
    Next();
    if (Peek().kind != TokName || IsReserved(Peek().text)) return Fail("expected a name after var");
    const std::string name = Next().text;
    const bool vector = IsBracket(TokOpen, '[');
    if (vector && !VectorSize()) return nullptr;
    NodePtr init;
    if (IsOp(":=")) {
      Next();
      init = vector ? VectorValues() : Expression();
      if (!init) return nullptr;
    }
    if (!init) init = MakeConst(0.0f);
    if (!_table) {
      _collected->push_back(name);
      return init;
    }
    if (_table->SymbolExists(name) || FindLocal(name)) return Fail("'" + name + "' is already defined");
    if (vector) return Fail("vector variables are not supported");
    float* value = &_localStore->emplace_back(0.0f);
    _locals.push_back(Local{name, value});
    return MakeAssign(value, OpLoadK, std::move(init));
  }

  bool VectorSize() {
    Next();
    return Expression() && Expect(TokClose, "]");
  }

  NodePtr VectorValues() {
    if (!Expect(TokOpen, "{")) return nullptr;
    std::vector<NodePtr> values = Arguments("}");
    if (values.empty()) return nullptr;
    return MakeSequence(std::move(values));
  }

  // break or break[value].
  NodePtr Break() {
    if (!_loops) return Fail("break outside a loop");
    Next();
    std::vector<NodePtr> value;
    if (IsBracket(TokOpen, '[')) {
      Next();
      value = Arguments("]");
      if (value.size() != 1) return value.empty() ? nullptr : Fail("break takes one value");
    }
    return MakeNode(Node::Break, std::move(value));
  }

  // return [a, b, ...]: the values are computed, the formula's value is NaN.
  NodePtr Return() {
    Next();
    if (!Expect(TokOpen, "[")) return nullptr;
    std::vector<NodePtr> values;
    if (IsBracket(TokClose, ']')) {
      Next();
    } else {
      values = Arguments("]");
      if (values.empty()) return nullptr;
    }
    return MakeNode(Node::Return, std::move(values));
  }

  // a, b, ... up to the closing bracket (consumed); empty on a failure.
  std::vector<NodePtr> Arguments(const char* close) {
    std::vector<NodePtr> args;
    for (;;) {
      NodePtr a = Expression();
      if (!a) return {};
      args.push_back(std::move(a));
      if (Peek().kind == TokComma) {
        Next();
        continue;
      }
      if (!Expect(TokClose, close)) return {};
      return args;
    }
  }

  // --- Expressions ---------------------------------------------------------

  static bool AssignmentOp(const Token& t, Op& op) {
    if (t.kind != TokOperator) return false;
    static const std::pair<const char*, Op> kAssign[] = {
        {":=", OpLoadK}, {"+=", OpAdd}, {"-=", OpSub}, {"*=", OpMul}, {"/=", OpDiv}, {"%=", OpMod}};
    for (const auto& a : kAssign)
      if (t.text == a.first) {
        op = a.second;
        return true;
      }
    return false;
  }

  // Assignment binds loosest and to the right: x := y := 2 * a.
  NodePtr Expression() {
    DepthGuard guard(*this);
    if (_depth > kMaxDepth) return Fail("formula nested too deeply");
    Op op;
    if (Peek().kind != TokName || !AssignmentOp(Peek(1), op)) return Ternary();
    const std::string name = Next().text;
    Next();
    float* target = Target(name);
    if (!target) return nullptr;
    NodePtr value = Expression();
    if (!value) return nullptr;
    return MakeAssign(target, op, std::move(value));
  }

  // c ? a : b, right associative.
  NodePtr Ternary() {
    NodePtr c = Or();
    if (!c || !IsOp("?")) return c;
    Next();
    NodePtr a = Expression();
    if (!a || !ExpectOp(":")) return nullptr;
    NodePtr b = Expression();
    if (!b) return nullptr;
    return MakeSelect(std::move(c), std::move(a), std::move(b));
  }

  NodePtr Or() {
    NodePtr a = And();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsName("or") || IsOp("|")) op = OpOr;
      else if (IsName("xor")) op = OpXor;
      else if (IsName("nor")) op = OpNor;
      else if (IsName("xnor")) op = OpXnor;
      else return a;
      Next();
      a = Binary(op, std::move(a), And());
    }
  }

  NodePtr And() {
    NodePtr a = Compare();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsName("and") || IsOp("&")) op = OpAnd;
      else if (IsName("nand")) op = OpNand;
      else return a;
      Next();
      a = Binary(op, std::move(a), Compare());
    }
  }

  bool ComparisonOp(Op& op) const {
    if (IsOp("=") || IsOp("==")) op = OpEq;
    else if (IsOp("!=") || IsOp("<>")) op = OpNe;
    else if (IsOp("<")) op = OpLt;
    else if (IsOp("<=")) op = OpLe;
    else if (IsOp(">")) op = OpGt;
    else if (IsOp(">=")) op = OpGe;
    else return false;
    return true;
  }

  NodePtr Compare() {
    NodePtr a = Peek().kind == TokString ? StringComparison() : Additive();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (!ComparisonOp(op)) return a;
      Next();
      a = Binary(op, std::move(a), Additive());
    }
  }

  // 'abc' == 'abc': strings only ever meet strings, so the comparison is
  // made here, once.
  NodePtr StringComparison() {
    const std::string left = Next().text;
    Op op;
    if (!ComparisonOp(op)) return Fail("a string can only be compared with a string");
    Next();
    if (Peek().kind != TokString) return Fail("a string can only be compared with a string");
    const int order = left.compare(Next().text);
    const float sides[2] = {static_cast<float>(order), 0.0f};
    return MakeConst(ApplyOp(op, sides, 2));
  }

  NodePtr Additive() {
    NodePtr a = Multiplicative();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsOp("+")) op = OpAdd;
      else if (IsOp("-")) op = OpSub;
      else return a;
      Next();
      a = Binary(op, std::move(a), Multiplicative());
    }
  }

  // Implicit multiplication: a number, a name or a closing bracket followed
  // by a name or an opening bracket (2x, pi x, x sin(x), a(x+1), (a)(b)),
  // and a name or a closing bracket followed by a number (x 2, (x)2). A
  // block's closing brace never multiplies.
  bool ImplicitProduct() const {
    const Token& left = _t[_i - 1];
    const Token& right = Peek();
    const bool name = right.kind == TokName && !IsWord(right.text);
    const bool open = right.kind == TokOpen;
    switch (left.kind) {
      case TokNumber: return name || open;
      case TokName: return !IsReserved(left.text) && (name || open || right.kind == TokNumber);
      case TokClose: return left.text != "}" && (name || open || right.kind == TokNumber);
      default: return false;
    }
  }

  NodePtr Multiplicative() {
    NodePtr a = Prefix();
    for (;;) {
      if (!a) return nullptr;
      Op op = OpMul;
      if (IsOp("/")) op = OpDiv;
      else if (IsOp("%")) op = OpMod;
      else if (!IsOp("*") && !ImplicitProduct()) return a;
      if (Peek().kind == TokOperator) Next();  // an implicit product has no operator to skip
      a = Binary(op, std::move(a), Prefix());
    }
  }

  // Signs bind looser than '^': -2^2 is -(2^2).
  NodePtr Prefix() {
    DepthGuard guard(*this);
    if (_depth > kMaxDepth) return Fail("formula nested too deeply");
    if (IsOp("-")) {
      Next();
      return Unary(OpNeg, Prefix());
    }
    if (IsOp("+")) {
      Next();
      return Prefix();
    }
    return Power();
  }

  // Right associative: 2^3^2 is 2^(3^2); the exponent may carry a sign.
  NodePtr Power() {
    NodePtr base = Primary();
    if (!base || !IsOp("^")) return base;
    Next();
    return Binary(OpPow, std::move(base), Prefix());
  }

  NodePtr Primary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokNumber:
        Next();
        return MakeConst(t.number);
      case TokOpen: {
        const char close = t.text[0] == '(' ? ')' : (t.text[0] == '[' ? ']' : '}');
        Next();
        NodePtr inner = Expression();
        if (!inner || !Expect(TokClose, std::string(1, close).c_str())) return nullptr;
        return inner;
      }
      case TokName:
        return Name();
      case TokOperator:
        if (t.text == "~") return Multi();
        return Fail("unexpected '" + t.text + "'");
      case TokString:
        return Fail("a string can only be compared with a string");
      case TokEnd:
        return Fail("unexpected end of formula");
      default:
        return Fail("unexpected '" + t.text + "'");
    }
  }

  NodePtr Name() {
    const std::string name = Next().text;
    if (name == "true") return MakeConst(1.0f);
    if (name == "false") return MakeConst(0.0f);
    if (name == "null") return MakeConst(kNaN);
    if (name == "if") return If();
    if (name == "switch") return Switch();
    if (name == "while") return While();
    if (name == "for") return For();
    if (name == "repeat") return Repeat();
    if (const FunctionInfo* f = FindFunction(name)) return Call(*f);
    if (IsWord(name)) return Fail("unexpected '" + name + "'");
    if (!_table) {
      _collected->push_back(name);
      return MakeVar(&_collectDummy);
    }
    if (const Local* local = FindLocal(name)) return MakeVar(local->value);
    const ExprSymbolTable::Symbol* s = _table->Find(name);
    if (!s) return Fail("unknown symbol '" + name + "'");
    if (!s->address) return MakeConst(s->constant);
    return MakeVar(s->address);
  }

  // The variable an assignment writes.
  float* Target(const std::string& name) {
    if (IsReserved(name)) {
      Fail("cannot assign to '" + name + "'");
      return nullptr;
    }
    if (!_table) {
      _collected->push_back(name);
      return &_collectDummy;
    }
    if (const Local* local = FindLocal(name)) return local->value;
    const ExprSymbolTable::Symbol* s = _table->Find(name);
    if (!s || !s->address) {
      Fail(s ? "cannot assign to the constant '" + name + "'" : "unknown symbol '" + name + "'");
      return nullptr;
    }
    return s->address;
  }

  const Local* FindLocal(const std::string& name) const {
    for (size_t i = _locals.size(); i-- > 0;)
      if (_locals[i].name == name) return &_locals[i];
    return nullptr;
  }

  // f(a, b, ...).
  NodePtr Call(const FunctionInfo& f) {
    if (!Expect(TokOpen, "(")) return nullptr;
    std::vector<NodePtr> args = Arguments(")");
    if (args.empty()) return nullptr;
    if ((f.arity >= 0 && static_cast<int>(args.size()) != f.arity) || args.size() > 255)
      return Fail(std::string("wrong number of arguments to ") + f.name);
    return MakeOp(f.op, std::move(args));
  }

  // if(c, a, b), or the statement: if (c) a [;] [else b], where a missing
  // else gives NaN.
  NodePtr If() {
    if (!Expect(TokOpen, "(")) return nullptr;
    NodePtr c = Expression();
    if (!c) return nullptr;
    if (Peek().kind == TokComma) {
      Next();
      std::vector<NodePtr> rest = Arguments(")");
      if (rest.size() != 2) return rest.empty() ? nullptr : Fail("wrong number of arguments to if");
      return MakeSelect(std::move(c), std::move(rest[0]), std::move(rest[1]));
    }
    if (!Expect(TokClose, ")")) return nullptr;
    NodePtr then = Body();
    if (!then) return nullptr;
    if (IsOp(";") && IsName("else", 1)) Next();
    NodePtr otherwise;
    if (IsName("else")) {
      Next();
      otherwise = Body();
      if (!otherwise) return nullptr;
    } else {
      otherwise = MakeConst(kNaN);
    }
    return MakeSelect(std::move(c), std::move(then), std::move(otherwise));
  }

  // switch { case c: a; ... default: b; }: the first case that holds, else
  // the default (NaN without one).
  NodePtr Switch() {
    if (!Expect(TokOpen, "{")) return nullptr;
    std::vector<std::pair<NodePtr, NodePtr>> cases;
    NodePtr fallback;
    while (!IsBracket(TokClose, '}')) {
      NodePtr c;
      if (IsName("case")) {
        Next();
        if (!(c = Expression())) return nullptr;
      } else if (!IsName("default") || fallback) {
        return Fail("expected case or default");
      } else {
        Next();
      }
      NodePtr value;
      if (!ExpectOp(":") || !(value = Body())) return nullptr;
      if (IsOp(";")) Next();
      if (c) cases.emplace_back(std::move(c), std::move(value));
      else fallback = std::move(value);
    }
    Next();
    NodePtr result = fallback ? std::move(fallback) : MakeConst(kNaN);
    for (size_t i = cases.size(); i-- > 0;)
      result = Bounded(MakeSelect(std::move(cases[i].first), std::move(cases[i].second), std::move(result)));
    return result;
  }

  NodePtr LoopBody() {
    ++_loops;
    NodePtr body = Body();
    --_loops;
    return body;
  }

  NodePtr While() {
    NodePtr c;
    if (!Expect(TokOpen, "(") || !(c = Expression()) || !Expect(TokClose, ")")) return nullptr;
    NodePtr body = LoopBody();
    if (!body) return nullptr;
    return MakeLoop(std::move(c), std::move(body), nullptr, false);
  }

  // for (init; condition; step) body; a name the init declares ends with
  // the loop.
  NodePtr For() {
    if (!Expect(TokOpen, "(")) return nullptr;
    const size_t scope = _locals.size();
    NodePtr init = IsName("var") ? Declaration() : Expression();
    NodePtr c, step;
    if (!init || !ExpectOp(";") || !(c = Expression()) || !ExpectOp(";") || !(step = Expression()) ||
        !Expect(TokClose, ")"))
      return nullptr;
    NodePtr body = LoopBody();
    if (!body) return nullptr;
    _locals.resize(scope);
    return MakeSequence(List(std::move(init), MakeLoop(std::move(c), std::move(body), std::move(step), false)));
  }

  // repeat statements until (condition): the body runs at least once.
  NodePtr Repeat() {
    ++_loops;
    NodePtr body = Statements(ListEnd::Until);
    --_loops;
    NodePtr c;
    if (!body || !Expect(TokName, "until") || !Expect(TokOpen, "(") || !(c = Expression()) ||
        !Expect(TokClose, ")"))
      return nullptr;
    return MakeLoop(std::move(c), std::move(body), nullptr, true);
  }

  // ~(a, b, ...) and ~{a; b; ...}: each in turn, the value of the last.
  NodePtr Multi() {
    Next();
    if (IsBracket(TokOpen, '{')) return Body();
    if (!Expect(TokOpen, "(")) return nullptr;
    std::vector<NodePtr> list = Arguments(")");
    if (list.empty()) return nullptr;
    return MakeSequence(std::move(list));
  }

  const std::vector<Token>& _t;
  size_t _i = 0;
  int _depth = 0;
  int _loops = 0;  // loops around the current statement: break and continue need one
  const ExprSymbolTable* _table;
  std::vector<std::string>* _collected;
  std::deque<float>* _localStore;
  std::vector<Local> _locals;  // declared names in scope, innermost last
  float _collectDummy = 0.0f;
  std::string _error;
};

// ---------------------------------------------------------------------------
// [SECTION] Emitter
// ---------------------------------------------------------------------------

using Instr = Expression::Instr;

bool IsLeaf(const Node& n) { return n.kind == Node::Const || n.kind == Node::Var; }

// A power of two of at least 1: fmod by it has an exact short form.
bool IsWholePowerOfTwo(float k) {
  int exponent = 0;
  return k >= 1.0f && std::isfinite(k) && std::frexp(k, &exponent) == 0.5f;
}

// The one-step form of `acc op k` (right) or `k op acc` (left); OpBinK /
// OpKBin for the operations without their own.
Op ConstantForm(Op op, bool right, float k) {
  switch (op) {
    case OpAdd: return OpAddK;
    case OpMul: return OpMulK;
    case OpSub: return right ? OpSubK : OpKSub;
    case OpDiv: return right ? OpDivK : OpKDiv;
    case OpPow: return right ? OpPowK : OpKBin;
    case OpMod: return right ? (IsWholePowerOfTwo(k) ? OpModPow2K : OpModK) : OpKBin;
    case OpMin: return right ? OpMinK : OpKMin;
    case OpMax: return right ? OpMaxK : OpKMax;
    default: return right ? OpBinK : OpKBin;
  }
}

// The same with a variable operand.
Op VariableForm(Op op, bool right) {
  switch (op) {
    case OpAdd: return OpAddV;
    case OpMul: return OpMulV;
    case OpSub: return right ? OpSubV : OpVSub;
    case OpDiv: return right ? OpDivV : OpVDiv;
    case OpMin: return right ? OpMinV : OpVMin;
    case OpMax: return right ? OpMaxV : OpVMax;
    default: return right ? OpBinV : OpVBin;
  }
}

// The branch that jumps unless `acc op k` holds (k on the right; mirrored
// when the constant is on the left). False for the other operations.
bool JumpUnlessForm(Op op, bool mirrored, Op& jump) {
  switch (op) {
    case OpLt: jump = mirrored ? OpJumpUnlessGtK : OpJumpUnlessLtK; return true;
    case OpLe: jump = mirrored ? OpJumpUnlessGeK : OpJumpUnlessLeK; return true;
    case OpGt: jump = mirrored ? OpJumpUnlessLtK : OpJumpUnlessGtK; return true;
    case OpGe: jump = mirrored ? OpJumpUnlessLeK : OpJumpUnlessGeK; return true;
    case OpEq: jump = OpJumpUnlessEqK; return true;
    case OpNe: jump = OpJumpUnlessNeK; return true;
    default: return false;
  }
}

// v * k or k * v.
bool IsScaledVariable(const Node& n, float*& p, float& k) {
  if (n.kind != Node::Operation || n.op != OpMul || n.args.size() != 2) return false;
  const Node* v = n.args[0].get();
  const Node* c = n.args[1].get();
  if (v->kind == Node::Const) std::swap(v, c);
  if (v->kind != Node::Var || c->kind != Node::Const) return false;
  p = v->p;
  k = c->k;
  return true;
}

// acc + k after `last` (acc - k too, with -k: a - b is a + -b for every
// float).
bool FuseTerm(Instr& last, float k) {
  switch (last.op) {
    case OpMulK: last.op = OpMulAddK; last.k2 = k; return true;
    case OpLoadV: last.op = OpLoadVAddK; last.k2 = k; return true;
    case OpLoadVMulK: last.op = OpLoadVMulKAddK; last.k3 = k; return true;
    case OpSinMulK: last.op = OpSinMulAddK; last.k2 = k; return true;
    case OpCosMulK: last.op = OpCosMulAddK; last.k2 = k; return true;
    case OpSinVMulKMulK: last.op = OpSinVMulKMulAddK; last.k4 = k; return true;
    case OpCosVMulKMulK: last.op = OpCosVMulKMulAddK; last.k4 = k; return true;
    default: return false;
  }
}

// acc * k after `last`.
bool FuseFactor(Instr& last, float k) {
  switch (last.op) {
    case OpLoadV: last.op = OpLoadVMulK; last.k2 = k; return true;
    case OpLoadVSquare: last.op = OpLoadVSquareMulK; last.k2 = k; return true;
    case OpSin: last.op = OpSinMulK; last.k = k; return true;
    case OpCos: last.op = OpCosMulK; last.k = k; return true;
    case OpSinVMulK: last.op = OpSinVMulKMulK; last.k3 = k; return true;
    case OpCosVMulK: last.op = OpCosVMulKMulK; last.k3 = k; return true;
    default: return false;
  }
}

// The one-step form of f(v), f(v * k) or f(v * v2) for a function f of one
// argument after the step that loads its argument; OpEnd when there is none
// (any function of v, sin and cos of the products too).
Op FunctionOfVariable(uint8_t f, uint8_t argument) {
  const bool sin = f == OpSin;
  const bool wave = sin || f == OpCos;
  switch (argument) {
    case OpLoadV: return wave ? (sin ? OpSinV : OpCosV) : OpFuncV;
    case OpLoadVMulK: return wave ? (sin ? OpSinVMulK : OpCosVMulK) : OpEnd;
    case OpLoadVMulV: return wave ? (sin ? OpSinVMulV : OpCosVMulV) : OpEnd;
    default: return OpEnd;
  }
}

// The function's step fused into the step that loads its argument.
bool FuseFunctionOfVariable(Instr& last, const Instr& f) {
  if (f.count != 1 || (f.op != OpSin && f.op != OpCos && f.op < kFirstApplied)) return false;
  const Op fused = FunctionOfVariable(f.op, last.op);
  if (fused == OpEnd) return false;
  last.op = fused;
  last.sub = f.op;
  return true;
}

// v * k3 + v2 from v * k2 then + v2.
bool FuseScaledVariablePlusVariable(Instr& last, float* v2) {
  if (last.op != OpLoadVMulK) return false;
  last.op = OpLoadVMulKAddV;
  last.k3 = last.k2;
  last.p2 = v2;
  return true;
}

bool FuseStore(Instr& last, float* p) {
  if (last.op == OpLoadK) {
    last.op = OpStoreK;
    last.p2 = p;
    return true;
  }
  if (last.p != p) return false;
  switch (last.op) {
    case OpAddV: last.op = OpAddToV; return true;
    case OpVSub: last.op = OpSubFromV; return true;
    case OpMulV: last.op = OpMulToV; return true;
    case OpVDiv: last.op = OpDivIntoV; return true;
    case OpLoadVAddK: last.op = OpAddKToV; return true;
    default: return false;
  }
}

// Fuses `in` into `last`, the step before it, where the pair has a one-step
// form: each fused step does exactly what the two did in turn.
bool Fuse(Instr& last, const Instr& in) {
  switch (in.op) {
    case OpAddK: return FuseTerm(last, in.k);
    case OpSubK: return FuseTerm(last, -in.k);
    case OpMulK: return FuseFactor(last, in.k);
    case OpAddV: return FuseScaledVariablePlusVariable(last, in.p);
    case OpSquare:
      if (last.op != OpLoadV) return false;
      last.op = OpLoadVSquare;
      return true;
    case OpMulV:
      if (last.op != OpLoadV) return false;
      last.op = OpLoadVMulV;
      last.p2 = in.p;
      return true;
    case OpStoreV: return FuseStore(last, in.p);
    default: return FuseFunctionOfVariable(last, in);
  }
}

// A loop pass costs one iteration of the budget per this many steps of the
// loop's code, so a long body cannot multiply the time the budget allows.
constexpr int kStepsPerCharge = 64;

// Tree to program for an accumulator machine: every node leaves its value
// in the accumulator; a compound left operand waits in a stack slot while
// its right operand is computed. Slots are numbered at compile time, so a
// jump out of the middle of an expression (break, continue) leaves nothing
// to unwind. Leaves fold into the instruction that uses them, comparisons
// into the branch they feed, and frequent pairs fuse, so a driver formula
// is a few steps with its value kept in a register.
class Emitter {
 public:
  explicit Emitter(std::vector<Instr>& program) : _program(program) {}

  // Returns the number of stack slots the program uses.
  int EmitRoot(const Node& n) {
    Emit(n, true);
    Append(Make(OpEnd));
    // Jumps are relative, so a step put in front moves none of them.
    if (_hasLoops) _program.insert(_program.begin(), Make(OpLoopBudget));
    return _slots;
  }

 private:
  struct LoopJumps {
    int result;  // slot of the loop's value; -1 when nothing reads it
    std::vector<size_t> breaks;
    std::vector<size_t> continues;
  };

  static Instr Make(Op op) {
    Instr in{};
    in.op = op;
    return in;
  }

  size_t Append(Instr in) {
    _program.push_back(in);
    return _program.size() - 1;
  }

  // Marks the next step as a jump target: nothing fuses across it.
  size_t Label() {
    _label = _program.size();
    return _label;
  }

  // Fuses `in` into the previous step where the pair has a one-step form,
  // unless a jump lands between the two.
  void AppendFusing(Instr in) {
    if (!_program.empty() && _program.size() != _label && Fuse(_program.back(), in)) return;
    Append(in);
  }

  void Slot(Op op, int slot) {
    Instr in = Make(op);
    in.arg = slot;
    Append(in);
  }

  void PushAccumulator() {
    Slot(OpStoreSlot, _depth++);
    _slots = std::max(_slots, _depth);
  }

  void PatchJumpsHere(const std::vector<size_t>& at) {
    const size_t here = Label();
    for (size_t i : at) _program[i].arg = static_cast<int32_t>(here - i);
  }

  // used: whether anything reads the value; a loop whose value nobody reads
  // keeps none, and a bare name or number in that place is left out.
  void Emit(const Node& n, bool used) {
    switch (n.kind) {
      case Node::Const: {
        if (!used) return;
        Instr in = Make(OpLoadK);
        in.k = n.k;
        Append(in);
        return;
      }
      case Node::Var: {
        if (!used) return;
        Instr in = Make(OpLoadV);
        in.p = n.p;
        Append(in);
        return;
      }
      case Node::Select: return EmitSelect(n, used);
      case Node::Assign: return EmitAssign(n);
      case Node::Sequence:
        for (size_t i = 0; i < n.args.size(); ++i) Emit(*n.args[i], used && i + 1 == n.args.size());
        return;
      case Node::Loop: return EmitLoop(n, used);
      case Node::Break: return EmitBreak(n);
      case Node::Continue:
        _loops.back().continues.push_back(Append(Make(OpJump)));
        return;
      case Node::Return:
        for (const NodePtr& a : n.args) Emit(*a, false);
        Append(Make(OpReturn));
        return;
      case Node::Operation: return EmitOperation(n);
    }
  }

  // The condition, then a branch taken when it is false; returns the
  // branch to patch.
  size_t EmitJumpUnless(const Node& c) {
    Op jump;
    if (c.kind == Node::Operation && c.args.size() == 2) {
      for (int side = 1; side >= 0; --side) {
        const Node& k = *c.args[static_cast<size_t>(side)];
        if (k.kind != Node::Const || !JumpUnlessForm(c.op, side == 0, jump)) continue;
        Emit(*c.args[static_cast<size_t>(1 - side)], true);
        Instr in = Make(jump);
        in.k = k.k;
        return Append(in);
      }
    }
    Emit(c, true);
    return Append(Make(OpJumpIfFalse));
  }

  void EmitSelect(const Node& n, bool used) {
    const size_t branch = EmitJumpUnless(*n.args[0]);
    Emit(*n.args[1], used);
    const size_t jump = Append(Make(OpJump));
    PatchJumpsHere({branch});
    Emit(*n.args[2], used);
    PatchJumpsHere({jump});
  }

  // x := value, or x op= value as x = x op value.
  void EmitAssign(const Node& n) {
    Emit(*n.args[0], true);
    if (n.op != OpLoadK) EmitWithVariable(n.op, n.p, false);
    Instr in = Make(OpStoreV);
    in.p = n.p;
    AppendFusing(in);
  }

  void EmitBreak(const Node& n) {
    LoopJumps& loop = _loops.back();
    if (!n.args.empty()) {
      Emit(*n.args[0], loop.result >= 0);
      if (loop.result >= 0) Slot(OpStoreSlot, loop.result);
    }
    loop.breaks.push_back(Append(Make(OpJump)));
  }

  // The loop's value (its last body value, 0 before the first) lives in a
  // slot when something reads it: break[v] writes it, the exit reads it.
  //   while/for:     top: cond; unless -> end; body; cont: step; loop -> top
  //   repeat..until: top: body; cont: cond; if true -> end; loop -> top
  void EmitLoop(const Node& n, bool used) {
    const int result = used ? _depth : -1;
    if (used) {
      Append(Make(OpLoadK));
      PushAccumulator();
    }
    _hasLoops = true;
    _loops.push_back(LoopJumps{result, {}, {}});
    const size_t top = Label();
    std::vector<size_t> exits;
    if (!n.testAfter) exits.push_back(EmitJumpUnless(*n.args[0]));
    Emit(*n.args[1], used);
    if (used) Slot(OpStoreSlot, result);
    PatchJumpsHere(_loops.back().continues);
    if (n.args[2]) Emit(*n.args[2], false);
    if (n.testAfter) {
      Emit(*n.args[0], true);
      exits.push_back(Append(Make(OpJumpIfTrue)));
    }
    const size_t back = _program.size();
    Instr loop = Make(OpLoop);
    loop.arg = -static_cast<int32_t>(back - top);
    loop.charge = 1 + static_cast<int32_t>((back - top) / kStepsPerCharge);
    Append(loop);
    exits.insert(exits.end(), _loops.back().breaks.begin(), _loops.back().breaks.end());
    PatchJumpsHere(exits);
    if (used) {
      Slot(OpLoadSlot, result);
      --_depth;
    }
    _loops.pop_back();
  }

  void EmitOperation(const Node& n) {
    if (n.args.size() == 2) return EmitBinary(n.op, *n.args[0], *n.args[1]);
    if (n.op == OpClamp && n.args[0]->kind == Node::Const && n.args[2]->kind == Node::Const) {
      Emit(*n.args[1], true);
      Instr in = Make(OpClampK);
      in.k = n.args[0]->k;
      in.k2 = n.args[2]->k;
      Append(in);
      return;
    }
    // Every argument but the last waits in a slot; the last stays in the
    // accumulator and is laid beside them when the step runs.
    const int first = _depth;
    const size_t count = n.args.size();
    for (size_t i = 0; i + 1 < count; ++i) {
      Emit(*n.args[i], true);
      PushAccumulator();
    }
    Emit(*n.args[count - 1], true);
    Instr in = Make(n.op);
    in.count = static_cast<uint8_t>(count);
    in.arg = first;
    AppendFusing(in);
    _slots = std::max(_slots, first + static_cast<int>(count));
    _depth = first;
  }

  // a + v*k, v*k + a, a - v*k, v*k - a as one step after a.
  bool EmitWithScaledVariable(Op op, const Node& a, const Node& b) {
    if (op != OpAdd && op != OpSub) return false;
    float* p;
    float k;
    Op fused;
    const Node* rest;
    if (!IsLeaf(a) && IsScaledVariable(b, p, k)) {
      fused = op == OpAdd ? OpAddVMulK : OpSubVMulK;
      rest = &a;
    } else if (!IsLeaf(b) && IsScaledVariable(a, p, k)) {
      fused = op == OpAdd ? OpAddVMulK : OpVMulKSub;
      rest = &b;
    } else {
      return false;
    }
    Emit(*rest, true);
    Instr in = Make(fused);
    in.p = p;
    in.k2 = k;
    Append(in);
    return true;
  }

  void EmitBinary(Op op, const Node& left, const Node& right) {
    if (EmitWithScaledVariable(op, left, right)) return;
    const Node* a = &left;
    const Node* b = &right;
    // A leaf goes right where the order does not matter: x*3 for 3*x.
    if (IsLeaf(*a) && (!IsLeaf(*b) || a->kind == Node::Const) && IsCommutative(op)) std::swap(a, b);
    if (IsLeaf(*b)) {
      Emit(*a, true);
      EmitWithLeaf(op, *b, true);
    } else if (IsLeaf(*a)) {
      Emit(*b, true);
      EmitWithLeaf(op, *a, false);
    } else {
      Emit(*a, true);
      PushAccumulator();
      Emit(*b, true);
      Instr in = Make(op);
      in.arg = --_depth;
      in.count = 2;
      Append(in);
    }
  }

  // acc op leaf (right) or leaf op acc (left) as one step.
  void EmitWithLeaf(Op op, const Node& leaf, bool right) {
    if (leaf.kind == Node::Var) return EmitWithVariable(op, leaf.p, right);
    if (op == OpPow && right && EmitWholePower(leaf.k)) return;
    Instr in = Make(ConstantForm(op, right, leaf.k));
    in.k = leaf.k;
    in.sub = op;
    AppendFusing(in);
  }

  void EmitWithVariable(Op op, float* p, bool right) {
    Instr in = Make(VariableForm(op, right));
    in.p = p;
    in.sub = op;
    AppendFusing(in);
  }

  // x^n for a small whole n as multiplications, as the formula library
  // does: exact for n = 2, within a rounding step of pow otherwise.
  bool EmitWholePower(float n) {
    if (!(n >= 2.0f && n <= kMaxMultipliedPower) || n != std::trunc(n)) return false;
    Instr in = Make(n == 2.0f ? OpSquare : (n == 3.0f ? OpCube : OpPowN));
    in.count = static_cast<uint8_t>(n);
    AppendFusing(in);
    return true;
  }

  std::vector<Instr>& _program;
  std::vector<LoopJumps> _loops;
  size_t _label = SIZE_MAX;  // the last jump target
  int _depth = 0;
  int _slots = 0;
  bool _hasLoops = false;
};

bool Parse(std::string_view text, const ExprSymbolTable* table, std::vector<std::string>* collected,
           std::deque<float>* locals, NodePtr& root, std::string& error) {
  std::vector<Token> tokens;
  if (!Lex(text, tokens, error)) return false;
  Parser parser(tokens, table, collected, locals);
  root = parser.ParseAll(error);
  return root != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Evaluation
// ---------------------------------------------------------------------------

Expression::Expression() { Release(); }

void Expression::Release() {
  // The null program: the constant NaN, what an expression that never
  // compiled answers.
  Instr nan{};
  nan.op = OpLoadK;
  nan.k = kNaN;
  Instr end{};
  end.op = OpEnd;
  _program = {nan, end};
  _stack.assign(1, 0.0f);
  _locals.clear();
  _stopped = false;
  _valid = false;
  _error.clear();
}

bool Expression::Compile(std::string_view text, const ExprSymbolTable& table) {
  Release();
  NodePtr root;
  std::string error;
  if (!Parse(text, &table, nullptr, &_locals, root, error)) {
    _error = error;
    _locals.clear();
    return false;
  }
  std::vector<Instr> program;
  const int slots = Emitter(program).EmitRoot(*root);
  _program = std::move(program);
  _stack.assign(static_cast<size_t>(slots) + 1, 0.0f);
  _valid = true;
  return true;
}

// Threaded dispatch (the labels-as-values extension of GCC and Clang): every
// step ends with its own jump to the next step's code, which branch
// prediction follows far better than one shared switch. Every program
// closes with OpEnd, so there is no bound to test either.
#define EXPRESSION_STEP_LABEL(name) &&Do##name,
#define EXPRESSION_APPLIED_LABEL(name) &&DoApplied,
#define NEXT goto* kSteps[(++in)->op]

// Aligned to a cache line so that its steps sit at the same offsets within
// their lines and fetch blocks in every binary, wherever the linker puts it.
__attribute__((aligned(64))) float Expression::Value() const {
  static const void* const kSteps[] = {EXPRESSION_STEPS(EXPRESSION_STEP_LABEL)
                                           EXPRESSION_APPLIED(EXPRESSION_APPLIED_LABEL)};
  static_assert(sizeof kSteps / sizeof kSteps[0] == OpCount, "one step per operation");
  // Steps call out (sin, the applied operations), so what lives across
  // them costs a saved register on every evaluation: only the step pointer
  // and the table stay; the slots and the budget, which few formulas use,
  // are reached through the object. A program without a loop never stops,
  // so the flag Release cleared stays clear.
  float acc = 0.0f;
  const Instr* in = _program.data();
  goto* kSteps[in->op];
DoEnd:
  return acc;
DoLoadK:
  acc = in->k;
  NEXT;
DoLoadV:
  acc = *in->p;
  NEXT;
DoStoreV:
  *in->p = acc;
  NEXT;
DoStoreK:
  acc = in->k; *in->p2 = acc;
  NEXT;
DoLoadSlot:
  acc = _stack[in->arg];
  NEXT;
DoStoreSlot:
  _stack[in->arg] = acc;
  NEXT;
DoJump:
  in += in->arg - 1; NEXT;
DoJumpIfFalse:
  if (!Truth(acc)) in += in->arg - 1;
  NEXT;
DoJumpIfTrue:
  if (Truth(acc)) in += in->arg - 1;
  NEXT;
DoLoop:
  _budget -= in->charge;
  if (_budget < 0) {
    _stopped = true;
    return kNaN;
  }
  in += in->arg - 1;
  NEXT;
DoLoopBudget:
  _stopped = false;
  _budget = kMaxLoopIterations;
  NEXT;
DoReturn:
  return kNaN;
DoJumpUnlessLtK:
  if (!(acc < in->k)) in += in->arg - 1;
  NEXT;
DoJumpUnlessLeK:
  if (!(acc <= in->k)) in += in->arg - 1;
  NEXT;
DoJumpUnlessGtK:
  if (!(acc > in->k)) in += in->arg - 1;
  NEXT;
DoJumpUnlessGeK:
  if (!(acc >= in->k)) in += in->arg - 1;
  NEXT;
DoJumpUnlessEqK:
  if (!(acc == in->k)) in += in->arg - 1;
  NEXT;
DoJumpUnlessNeK:
  if (!(acc != in->k)) in += in->arg - 1;
  NEXT;
DoAddK:
  acc += in->k;
  NEXT;
DoSubK:
  acc -= in->k;
  NEXT;
DoKSub:
  acc = in->k - acc;
  NEXT;
DoMulK:
  acc *= in->k;
  NEXT;
DoDivK:
  acc /= in->k;
  NEXT;
DoKDiv:
  acc = in->k / acc;
  NEXT;
DoPowK:
  acc = std::pow(acc, in->k);
  NEXT;
DoModK:
  acc = std::fmod(acc, in->k);
  NEXT;
DoModPow2K:
  acc = ModPowerOfTwo(acc, in->k);
  NEXT;
DoMinK:
  acc = std::min(acc, in->k);
  NEXT;
DoMaxK:
  acc = std::max(acc, in->k);
  NEXT;
DoKMin:
  acc = std::min(in->k, acc);
  NEXT;
DoKMax:
  acc = std::max(in->k, acc);
  NEXT;
DoAddV:
  acc += *in->p;
  NEXT;
DoSubV:
  acc -= *in->p;
  NEXT;
DoVSub:
  acc = *in->p - acc;
  NEXT;
DoMulV:
  acc *= *in->p;
  NEXT;
DoDivV:
  acc /= *in->p;
  NEXT;
DoVDiv:
  acc = *in->p / acc;
  NEXT;
DoMinV:
  acc = std::min(acc, *in->p);
  NEXT;
DoMaxV:
  acc = std::max(acc, *in->p);
  NEXT;
DoVMin:
  acc = std::min(*in->p, acc);
  NEXT;
DoVMax:
  acc = std::max(*in->p, acc);
  NEXT;
DoMulAddK:
  acc = acc * in->k + in->k2;
  NEXT;
DoLoadVAddK:
  acc = *in->p + in->k2;
  NEXT;
DoLoadVMulK:
  acc = *in->p * in->k2;
  NEXT;
DoLoadVSquare:
  acc = *in->p * *in->p;
  NEXT;
DoLoadVSquareMulK:
  acc = (*in->p * *in->p) * in->k2;
  NEXT;
DoLoadVMulV:
  acc = *in->p * *in->p2;
  NEXT;
DoAddVMulK:
  acc = acc + *in->p * in->k2;
  NEXT;
DoSubVMulK:
  acc = acc - *in->p * in->k2;
  NEXT;
DoVMulKSub:
  acc = *in->p * in->k2 - acc;
  NEXT;
DoLoadVMulKAddK:
  acc = *in->p * in->k2 + in->k3;
  NEXT;
DoLoadVMulKAddV:
  acc = *in->p * in->k3 + *in->p2;
  NEXT;
DoSquare:
  acc *= acc;
  NEXT;
DoCube:
  acc = acc * acc * acc;
  NEXT;
DoPowN:
  acc = PowN(acc, in->count);
  NEXT;
DoClampK:
  acc = acc < in->k ? in->k : (acc > in->k2 ? in->k2 : acc);
  NEXT;
DoAddToV:
  acc += *in->p; *in->p = acc;
  NEXT;
DoSubFromV:
  acc = *in->p - acc; *in->p = acc;
  NEXT;
DoMulToV:
  acc *= *in->p; *in->p = acc;
  NEXT;
DoDivIntoV:
  acc = *in->p / acc; *in->p = acc;
  NEXT;
DoAddKToV:
  acc = *in->p + in->k2; *in->p = acc;
  NEXT;
DoBinK:
  acc = ApplyPair(in->sub, acc, in->k);
  NEXT;
DoKBin:
  acc = ApplyPair(in->sub, in->k, acc);
  NEXT;
DoBinV:
  acc = ApplyPair(in->sub, acc, *in->p);
  NEXT;
DoVBin:
  acc = ApplyPair(in->sub, *in->p, acc);
  NEXT;
DoAdd:
  acc = _stack[in->arg] + acc;
  NEXT;
DoSub:
  acc = _stack[in->arg] - acc;
  NEXT;
DoMul:
  acc = _stack[in->arg] * acc;
  NEXT;
DoDiv:
  acc = _stack[in->arg] / acc;
  NEXT;
DoNeg:
  acc = -acc;
  NEXT;
DoSin:
  acc = std::sin(acc);
  NEXT;
DoCos:
  acc = std::cos(acc);
  NEXT;
DoSinMulK:
  acc = std::sin(acc) * in->k;
  NEXT;
DoCosMulK:
  acc = std::cos(acc) * in->k;
  NEXT;
DoSinMulAddK:
  acc = std::sin(acc) * in->k + in->k2;
  NEXT;
DoCosMulAddK:
  acc = std::cos(acc) * in->k + in->k2;
  NEXT;
DoSinV:
  acc = std::sin(*in->p);
  NEXT;
DoCosV:
  acc = std::cos(*in->p);
  NEXT;
DoSinVMulK:
  acc = std::sin(*in->p * in->k2);
  NEXT;
DoCosVMulK:
  acc = std::cos(*in->p * in->k2);
  NEXT;
DoSinVMulKMulK:
  acc = std::sin(*in->p * in->k2) * in->k3;
  NEXT;
DoCosVMulKMulK:
  acc = std::cos(*in->p * in->k2) * in->k3;
  NEXT;
DoSinVMulKMulAddK:
  acc = std::sin(*in->p * in->k2) * in->k3 + in->k4;
  NEXT;
DoCosVMulKMulAddK:
  acc = std::cos(*in->p * in->k2) * in->k3 + in->k4;
  NEXT;
DoSinVMulV:
  acc = std::sin(*in->p * *in->p2);
  NEXT;
DoCosVMulV:
  acc = std::cos(*in->p * *in->p2);
  NEXT;
DoFuncV:
  acc = ApplyOp(static_cast<Op>(in->sub), in->p, 1);
  NEXT;
DoApplied:
  {
      // n arguments: n - 1 in slots, the last in the accumulator.
      float* args = _stack.data() + in->arg;
      const int n = in->count;
      args[n - 1] = acc;
      acc = ApplyOp(static_cast<Op>(in->op), args, n);
      NEXT;
    }
}

#undef NEXT
#undef EXPRESSION_APPLIED_LABEL
#undef EXPRESSION_STEP_LABEL

// ---------------------------------------------------------------------------
// [SECTION] Symbol table, collect pass, symbol rules
// ---------------------------------------------------------------------------

const ExprSymbolTable::Symbol* ExprSymbolTable::Find(std::string_view name) const {
  const std::string key = Lower(name);
  for (const Symbol& s : _symbols)
    if (s.name == key) return &s;
  return nullptr;
}

bool ExprSymbolTable::SymbolExists(std::string_view name) const { return Find(name) != nullptr; }

bool ExprSymbolTable::AddVariable(std::string_view name, float& value) {
  if (!IsValidExpressionSymbol(name) || IsReserved(Lower(name)) || SymbolExists(name)) return false;
  _symbols.push_back(Symbol{Lower(name), &value, 0.0f});
  return true;
}

bool ExprSymbolTable::AddConstant(std::string_view name, float value) {
  if (!IsValidExpressionSymbol(name) || IsReserved(Lower(name)) || SymbolExists(name)) return false;
  _symbols.push_back(Symbol{Lower(name), nullptr, value});
  return true;
}

bool ExprSymbolTable::AddConstants() {
  const bool pi = AddConstant("pi", kPi);
  // The productions' formulas were written against an epsilon of 1e-6, not
  // the float type's 1.19e-7.
  const bool epsilon = AddConstant("epsilon", kEpsilon);
  return pi && epsilon && AddConstant("inf", std::numeric_limits<float>::infinity());
}

void ExprSymbolTable::Clear() { _symbols.clear(); }

bool CollectExpressionVariables(std::string_view text, std::vector<std::string>& names) {
  std::vector<std::string> collected;
  NodePtr root;
  std::string error;
  if (!Parse(text, nullptr, &collected, nullptr, root, error)) return false;
  std::sort(collected.begin(), collected.end());
  collected.erase(std::unique(collected.begin(), collected.end()), collected.end());
  names = std::move(collected);
  return true;
}

bool IsValidExpressionSymbol(std::string_view name) {
  if (name.empty() || !IsNameStart(name[0])) return false;
  for (char c : name)
    if (!IsNameChar(c) && c != '.') return false;
  return name.back() != '.';
}
