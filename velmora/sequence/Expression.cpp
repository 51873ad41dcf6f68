// Expression compiler and evaluator (see Expression.h for the dialect).
//
// Index
//   [SECTION] Operations: codes, names, arities and their float semantics
//   [SECTION] Lexer: text to tokens, implicit multiplication
//   [SECTION] Parser: tokens to a folded tree
//   [SECTION] Emitter: tree to postfix program
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

enum Op : uint8_t {
  // Accumulator, spill stack and control.
  OpLoadK, OpLoadV, OpPush, OpJump, OpJumpIfFalse,
  // Arithmetic with a constant or a variable operand fused in: acc op k,
  // k op acc, acc op v, v op acc.
  OpAddK, OpSubK, OpKSub, OpMulK, OpDivK, OpKDiv, OpPowK,
  OpAddV, OpSubV, OpVSub, OpMulV, OpDivV, OpVDiv,
  // Frequent pairs as one step: acc * k + k2, v * k2, acc * acc (x^2),
  // clamp(k, acc, k2).
  OpMulAddK, OpLoadVMulK, OpSquare, OpClampK,
  // Any other binary operation (in `sub`) with a constant or variable operand.
  OpBinK, OpKBin, OpBinV, OpVBin,
  // Operators.
  OpAdd, OpSub, OpMul, OpDiv, OpMod, OpPow,
  OpEq, OpNe, OpLt, OpLe, OpGt, OpGe,
  OpAnd, OpOr, OpXor, OpNand, OpNor, OpXnor,
  OpNeg, OpNot,
  // One-argument functions.
  OpAbs, OpAcos, OpAcosh, OpAsin, OpAsinh, OpAtan, OpAtanh, OpCeil, OpCos, OpCosh,
  OpCot, OpCsc, OpDeg2Rad, OpDeg2Grad, OpGrad2Deg, OpErf, OpErfc, OpExp, OpExpm1, OpFloor, OpFrac, OpLog,
  OpLog10, OpLog1p, OpLog2, OpNcdf, OpRad2Deg, OpRound, OpSec, OpSgn, OpSin, OpSinc,
  OpSinh, OpSqrt, OpTan, OpTanh, OpTrunc,
  // Two arguments.
  OpAtan2, OpHypot, OpLogn, OpRoot, OpRoundn, OpEqual, OpNotEqual,
  // Three arguments: (low, value, high).
  OpClamp, OpIclamp, OpInrange,
  // Any number of arguments, at least one.
  OpMin, OpMax, OpAvg, OpSum, OpProd, OpMand, OpMor,
  OpCount
};

struct FunctionInfo {
  const char* name;
  Op op;
  int arity;  // -1: variadic
};

// Every function name of the dialect; "pow" and "mod" share the operators'
// codes, "not" is the prefix operator applied to its argument.
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

// Words that are operators or literals, never names of variables.
const char* const kWords[] = {"and", "or", "xor", "nand", "nor", "xnor", "not",
                              "if", "true", "false"};

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
  if (!(degree >= 0.0f)) return std::numeric_limits<float>::quiet_NaN();
  const float n = std::trunc(degree);
  if (v >= 0.0f) return std::pow(v, 1.0f / n);
  if (std::fmod(n, 2.0f) == 0.0f) return std::numeric_limits<float>::quiet_NaN();
  return -std::pow(-v, 1.0f / n);
}

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
    case OpRoundn: {
      const float scale = std::pow(10.0f, std::trunc(a[1]));
      return std::round(a[0] * scale) / scale;
    }
    case OpEqual: return Bool(NearlyEqual(a[0], a[1]));
    case OpNotEqual: return Bool(!NearlyEqual(a[0], a[1]));
    case OpClamp: return a[1] < a[0] ? a[0] : (a[1] > a[2] ? a[2] : a[1]);
    case OpIclamp:  // pushes a value inside (low, high) out to the nearer bound
      if (a[1] <= a[0] || a[1] >= a[2]) return a[1];
      return (a[1] - a[0] < a[2] - a[1]) ? a[0] : a[2];
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
    default: return std::numeric_limits<float>::quiet_NaN();
  }
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

enum TokenKind { TokNumber, TokName, TokOperator, TokOpen, TokClose, TokComma, TokEnd };

struct Token {
  TokenKind kind;
  std::string text;  // names lower-cased; operator spelling; bracket character
  float number;
  size_t pos;
};

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two-character operators first so that "<=" is not read as "<" then "=".
const char* const kOperators[] = {"==", "!=", "<>", "<=", ">=", "&&", "||",
                                  "+", "-", "*", "/", "%", "^", "=", "<",
                                  ">", "&", "|", "!", "?", ":"};

bool NameCanFollowValue(const Token& t) { return t.kind == TokName && !IsWord(t.text); }

bool Lex(std::string_view s, std::vector<Token>& out, std::string& error) {
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token t{TokEnd, std::string(), 0.0f, i};
    if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      size_t j = i;
      while (j < s.size() && IsDigit(s[j])) ++j;
      if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && IsDigit(s[j])) ++j;
      }
      // An exponent only when digits follow, so "2e" reads as 2 times e.
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && IsDigit(s[k])) {
          j = k;
          while (j < s.size() && IsDigit(s[j])) ++j;
        }
      }
      t.kind = TokNumber;
      t.text.assign(s.substr(i, j - i));
      t.number = std::strtof(t.text.c_str(), nullptr);
      i = j;
    } else if (IsNameStart(c)) {
      size_t j = i + 1;
      // A '.' belongs to a name only between name characters (a.b).
      while (j < s.size() &&
             (IsNameChar(s[j]) || (s[j] == '.' && j + 1 < s.size() && IsNameChar(s[j + 1]))))
        ++j;
      t.kind = TokName;
      t.text = Lower(s.substr(i, j - i));
      i = j;
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
      for (const char* op : kOperators) {
        const std::string_view o(op);
        if (s.substr(i, o.size()) == o) {
          t.kind = TokOperator;
          t.text = o;
          i += o.size();
          break;
        }
      }
      if (t.kind == TokEnd) {
        error = "unexpected character '" + std::string(1, c) + "' at " + std::to_string(i);
        return false;
      }
    }
    // Implicit multiplication: 2x, 2(x+1), (a)(b), (a)2, (a)b, x 2, and a
    // name that is no function before a bracket, a(x+1) and x (2).
    if (!out.empty()) {
      const Token& p = out.back();
      const bool leftIsValue =
          p.kind == TokNumber || p.kind == TokClose ||
          (p.kind == TokName && !IsReserved(p.text) && (t.kind == TokNumber || t.kind == TokOpen));
      const bool rightStartsValue = (t.kind == TokNumber && p.kind != TokNumber) ||
                                    t.kind == TokOpen || NameCanFollowValue(t);
      if (leftIsValue && rightStartsValue) out.push_back(Token{TokOperator, "*", 0.0f, t.pos});
    }
    out.push_back(std::move(t));
  }
  out.push_back(Token{TokEnd, std::string(), 0.0f, s.size()});
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Parser
// ---------------------------------------------------------------------------

// A node of the parse tree; operations whose operands are all constants are
// folded as soon as they are built.
struct Node {
  enum Kind { Const, Var, Operation, Select } kind;
  Op op;
  float k;
  const float* p;
  std::vector<std::unique_ptr<Node>> args;  // Select: condition, then, else
};
using NodePtr = std::unique_ptr<Node>;

NodePtr MakeConst(float k) {
  NodePtr n(new Node{Node::Const, OpLoadK, k, nullptr, {}});
  return n;
}

NodePtr MakeOp(Op op, std::vector<NodePtr> args) {
  bool allConst = true;
  for (const NodePtr& a : args) allConst = allConst && a->kind == Node::Const;
  if (allConst) {
    std::vector<float> values;
    for (const NodePtr& a : args) values.push_back(a->k);
    return MakeConst(ApplyOp(op, values.data(), static_cast<int>(values.size())));
  }
  NodePtr n(new Node{Node::Operation, op, 0.0f, nullptr, std::move(args)});
  return n;
}

NodePtr MakeSelect(NodePtr c, NodePtr a, NodePtr b) {
  if (c->kind == Node::Const) return Truth(c->k) ? std::move(a) : std::move(b);
  NodePtr n(new Node{Node::Select, OpLoadK, 0.0f, nullptr, {}});
  n->args.push_back(std::move(c));
  n->args.push_back(std::move(a));
  n->args.push_back(std::move(b));
  return n;
}

class Parser {
 public:
  // table null: collect mode, every free name is recorded and read as 0.
  Parser(const std::vector<Token>& tokens, const ExprSymbolTable* table,
         std::vector<std::string>* collected)
      : _t(tokens), _table(table), _collected(collected) {}

  NodePtr ParseAll(std::string& error) {
    NodePtr root = Ternary();
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

  const Token& Peek() const { return _t[_i]; }
  const Token& Next() { return _t[_i < _t.size() - 1 ? _i++ : _i]; }
  bool IsOp(const char* op) const { return Peek().kind == TokOperator && Peek().text == op; }
  bool IsName(const char* word) const { return Peek().kind == TokName && Peek().text == word; }

  NodePtr Fail(const std::string& message) {
    if (_error.empty()) _error = message + " at " + std::to_string(Peek().pos);
    return nullptr;
  }

  NodePtr Binary(Op op, NodePtr a, NodePtr b) {
    if (!a || !b) return nullptr;
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return MakeOp(op, std::move(args));
  }

  NodePtr Unary(Op op, NodePtr a) {
    if (!a) return nullptr;
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    return MakeOp(op, std::move(args));
  }

  // c ? a : b, right associative, lowest precedence.
  NodePtr Ternary() {
    DepthGuard guard(*this);
    if (_depth > kMaxDepth) return Fail("formula nested too deeply");
    NodePtr c = Or();
    if (!c || !IsOp("?")) return c;
    Next();
    NodePtr a = Ternary();
    if (!a) return nullptr;
    if (!IsOp(":")) return Fail("expected ':'");
    Next();
    NodePtr b = Ternary();
    if (!b) return nullptr;
    return MakeSelect(std::move(c), std::move(a), std::move(b));
  }

  NodePtr Or() {
    NodePtr a = And();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsName("or") || IsOp("|") || IsOp("||")) op = OpOr;
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
      if (IsName("and") || IsOp("&") || IsOp("&&")) op = OpAnd;
      else if (IsName("nand")) op = OpNand;
      else return a;
      Next();
      a = Binary(op, std::move(a), Compare());
    }
  }

  NodePtr Compare() {
    NodePtr a = Additive();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsOp("=") || IsOp("==")) op = OpEq;
      else if (IsOp("!=") || IsOp("<>")) op = OpNe;
      else if (IsOp("<")) op = OpLt;
      else if (IsOp("<=")) op = OpLe;
      else if (IsOp(">")) op = OpGt;
      else if (IsOp(">=")) op = OpGe;
      else return a;
      Next();
      a = Binary(op, std::move(a), Additive());
    }
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

  NodePtr Multiplicative() {
    NodePtr a = Prefix();
    for (;;) {
      if (!a) return nullptr;
      Op op;
      if (IsOp("*")) op = OpMul;
      else if (IsOp("/")) op = OpDiv;
      else if (IsOp("%")) op = OpMod;
      else return a;
      Next();
      a = Binary(op, std::move(a), Prefix());
    }
  }

  // Signs and "not" bind looser than '^': -2^2 is -(2^2).
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
    if (IsOp("!") || (IsName("not") && _t[_i + 1].kind != TokOpen)) {
      Next();
      return Unary(OpNot, Prefix());
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
        NodePtr inner = Ternary();
        if (!inner) return nullptr;
        if (Peek().kind != TokClose || Peek().text[0] != close)
          return Fail(std::string("expected '") + close + "'");
        Next();
        return inner;
      }
      case TokName:
        return Name();
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
    if (name == "if") return Call(nullptr);
    if (const FunctionInfo* f = FindFunction(name)) return Call(f);
    if (IsWord(name)) return Fail("unexpected '" + name + "'");
    if (!_table) {
      _collected->push_back(name);
      return NodePtr(new Node{Node::Var, OpLoadV, 0.0f, &_collectDummy, {}});
    }
    const ExprSymbolTable::Symbol* s = _table->Find(name);
    if (!s) return Fail("unknown symbol '" + name + "'");
    if (!s->address) return MakeConst(s->constant);
    return NodePtr(new Node{Node::Var, OpLoadV, 0.0f, s->address, {}});
  }

  // f(a, b, ...); f null for if(c, a, b).
  NodePtr Call(const FunctionInfo* f) {
    const std::string name = f ? f->name : "if";
    if (Peek().kind != TokOpen || Peek().text != "(") return Fail("expected '(' after " + name);
    Next();
    std::vector<NodePtr> args;
    for (;;) {
      NodePtr a = Ternary();
      if (!a) return nullptr;
      args.push_back(std::move(a));
      if (Peek().kind == TokComma) {
        Next();
        continue;
      }
      if (Peek().kind == TokClose && Peek().text == ")") {
        Next();
        break;
      }
      return Fail("expected ',' or ')' in " + name);
    }
    const int arity = f ? f->arity : 3;
    if ((arity >= 0 && static_cast<int>(args.size()) != arity) || args.size() > 255)
      return Fail("wrong number of arguments to " + name);
    if (!f) return MakeSelect(std::move(args[0]), std::move(args[1]), std::move(args[2]));
    return MakeOp(f->op, std::move(args));
  }

  const std::vector<Token>& _t;
  size_t _i = 0;
  int _depth = 0;
  const ExprSymbolTable* _table;
  std::vector<std::string>* _collected;
  float _collectDummy = 0.0f;
  std::string _error;
};

// ---------------------------------------------------------------------------
// [SECTION] Emitter
// ---------------------------------------------------------------------------

using Instr = Expression::Instr;

bool IsLeaf(const Node& n) { return n.kind == Node::Const || n.kind == Node::Var; }

// The one-step form of `acc op k` (right) or `k op acc` (left); OpBinK /
// OpKBin for the operations without their own.
Op ConstantForm(Op op, bool right) {
  switch (op) {
    case OpAdd: return OpAddK;
    case OpMul: return OpMulK;
    case OpSub: return right ? OpSubK : OpKSub;
    case OpDiv: return right ? OpDivK : OpKDiv;
    case OpPow: return right ? OpPowK : OpKBin;
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
    default: return right ? OpBinV : OpVBin;
  }
}

// Tree to program for an accumulator machine: every node leaves its value
// in the accumulator; a compound left operand waits on the spill stack
// while its right operand is computed. Leaves fold into the instruction
// that uses them, and frequent pairs fuse, so a driver formula is a few
// steps with its value kept in a register.
class Emitter {
 public:
  explicit Emitter(std::vector<Instr>& program) : _program(program) {}

  // Returns the deepest the spill stack gets.
  int EmitRoot(const Node& n) {
    Emit(n);
    return _maxDepth;
  }

 private:
  static Instr Make(Op op) {
    Instr in{};
    in.op = op;
    return in;
  }

  void Append(Instr in) { _program.push_back(in); }

  // Fuses `in` into the previous step where a pair has a one-step form,
  // unless a jump lands between the two.
  void AppendFusing(Instr in) {
    Instr* last = _program.empty() || _program.size() == _jumpTarget ? nullptr : &_program.back();
    if (last && last->op == OpMulK && in.op == OpAddK) {
      last->op = OpMulAddK;
      last->k2 = in.k;
      return;
    }
    if (last && last->op == OpLoadV && in.op == OpMulK) {
      last->op = OpLoadVMulK;
      last->k2 = in.k;
      return;
    }
    Append(in);
  }

  void PushAccumulator() {
    Append(Make(OpPush));
    _maxDepth = std::max(_maxDepth, ++_depth);
  }

  void PatchJumpHere(size_t at) {
    _program[at].jump = static_cast<int32_t>(_program.size() - at);
    _jumpTarget = _program.size();
  }

  void Emit(const Node& n) {
    switch (n.kind) {
      case Node::Const: {
        Instr in = Make(OpLoadK);
        in.k = n.k;
        Append(in);
        return;
      }
      case Node::Var: {
        Instr in = Make(OpLoadV);
        in.p = n.p;
        Append(in);
        return;
      }
      case Node::Select: {
        Emit(*n.args[0]);
        const size_t branch = _program.size();
        Append(Make(OpJumpIfFalse));
        Emit(*n.args[1]);
        const size_t jump = _program.size();
        Append(Make(OpJump));
        PatchJumpHere(branch);
        Emit(*n.args[2]);
        PatchJumpHere(jump);
        return;
      }
      case Node::Operation:
        break;
    }
    if (n.args.size() == 2) return EmitBinary(n.op, *n.args[0], *n.args[1]);
    if (n.op == OpClamp && n.args[0]->kind == Node::Const && n.args[2]->kind == Node::Const) {
      Emit(*n.args[1]);
      Instr in = Make(OpClampK);
      in.k = n.args[0]->k;
      in.k2 = n.args[2]->k;
      Append(in);
      return;
    }
    // Every argument but the last waits on the stack; the last stays in the
    // accumulator.
    const size_t count = n.args.size();
    for (size_t i = 0; i + 1 < count; ++i) {
      Emit(*n.args[i]);
      PushAccumulator();
    }
    Emit(*n.args[count - 1]);
    Instr in = Make(n.op);
    in.count = static_cast<uint8_t>(count);
    Append(in);
    _depth -= static_cast<int>(count) - 1;
  }

  void EmitBinary(Op op, const Node& left, const Node& right) {
    const Node* a = &left;
    const Node* b = &right;
    // A leaf goes right where the order does not matter: x*3 for 3*x.
    if (IsLeaf(*a) && (!IsLeaf(*b) || a->kind == Node::Const) && IsCommutative(op)) std::swap(a, b);
    if (IsLeaf(*b)) {
      Emit(*a);
      EmitWithLeaf(op, *b, true);
    } else if (IsLeaf(*a)) {
      Emit(*b);
      EmitWithLeaf(op, *a, false);
    } else {
      Emit(*a);
      PushAccumulator();
      Emit(*b);
      Instr in = Make(op);
      in.count = 2;
      Append(in);
      --_depth;
    }
  }

  // acc op leaf (right) or leaf op acc (left) as one step.
  void EmitWithLeaf(Op op, const Node& leaf, bool right) {
    Instr in;
    if (leaf.kind == Node::Const) {
      // x^2 multiplies, as the formula library does for small whole powers.
      if (op == OpPow && right && leaf.k == 2.0f) return Append(Make(OpSquare));
      in = Make(ConstantForm(op, right));
      in.k = leaf.k;
    } else {
      in = Make(VariableForm(op, right));
      in.p = leaf.p;
    }
    in.sub = op;
    AppendFusing(in);
  }

  std::vector<Instr>& _program;
  size_t _jumpTarget = SIZE_MAX;  // where the last patched jump lands
  int _depth = 0;
  int _maxDepth = 0;
};

// Bounds the depth of the tree (a long chain of '+' is as deep as it is
// long), which the emitter and the tree's release walk recursively.
constexpr size_t kMaxTokens = 4096;

bool Parse(std::string_view text, const ExprSymbolTable* table,
           std::vector<std::string>* collected, NodePtr& root, std::string& error) {
  std::vector<Token> tokens;
  if (!Lex(text, tokens, error)) return false;
  if (tokens.size() > kMaxTokens) {
    error = "formula too long";
    return false;
  }
  Parser parser(tokens, table, collected);
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
  nan.k = std::numeric_limits<float>::quiet_NaN();
  _program.assign(1, nan);
  _stack.assign(1, 0.0f);
  _valid = false;
  _error.clear();
}

bool Expression::Compile(std::string_view text, const ExprSymbolTable& table) {
  Release();
  NodePtr root;
  std::string error;
  if (!Parse(text, &table, nullptr, root, error)) {
    _error = error;
    return false;
  }
  std::vector<Instr> program;
  const int depth = Emitter(program).EmitRoot(*root);
  _program = std::move(program);
  // One slot more: an n-ary step lays its last argument beside the others.
  _stack.assign(static_cast<size_t>(depth) + 1, 0.0f);
  _valid = true;
  return true;
}

float Expression::Value() const {
  float* sp = _stack.data();
  float acc = 0.0f;
  const Instr* const code = _program.data();
  const Instr* const end = code + _program.size();
  for (const Instr* in = code; in < end; ++in) {
    switch (in->op) {
      case OpLoadK: acc = in->k; break;
      case OpLoadV: acc = *in->p; break;
      case OpPush: *sp++ = acc; break;
      case OpAddK: acc += in->k; break;
      case OpSubK: acc -= in->k; break;
      case OpKSub: acc = in->k - acc; break;
      case OpMulK: acc *= in->k; break;
      case OpDivK: acc /= in->k; break;
      case OpKDiv: acc = in->k / acc; break;
      case OpPowK: acc = std::pow(acc, in->k); break;
      case OpAddV: acc += *in->p; break;
      case OpSubV: acc -= *in->p; break;
      case OpVSub: acc = *in->p - acc; break;
      case OpMulV: acc *= *in->p; break;
      case OpDivV: acc /= *in->p; break;
      case OpVDiv: acc = *in->p / acc; break;
      case OpMulAddK: acc = acc * in->k + in->k2; break;
      case OpLoadVMulK: acc = *in->p * in->k2; break;
      case OpSquare: acc *= acc; break;
      case OpClampK: acc = acc < in->k ? in->k : (acc > in->k2 ? in->k2 : acc); break;
      case OpBinK: case OpKBin: case OpBinV: case OpVBin: {
        const float leaf = in->op == OpBinK || in->op == OpKBin ? in->k : *in->p;
        const bool right = in->op == OpBinK || in->op == OpBinV;
        const float a[2] = {right ? acc : leaf, right ? leaf : acc};
        acc = ApplyOp(static_cast<Op>(in->sub), a, 2);
        break;
      }
      case OpAdd: acc = *--sp + acc; break;
      case OpSub: acc = *--sp - acc; break;
      case OpMul: acc = *--sp * acc; break;
      case OpDiv: acc = *--sp / acc; break;
      case OpNeg: acc = -acc; break;
      case OpSin: acc = std::sin(acc); break;
      case OpCos: acc = std::cos(acc); break;
      case OpJump: in += in->jump - 1; break;
      case OpJumpIfFalse:
        if (!Truth(acc)) in += in->jump - 1;
        break;
      default: {
        // n arguments: n - 1 on the stack, the last in the accumulator.
        const int n = in->count;
        sp -= n - 1;
        sp[n - 1] = acc;
        acc = ApplyOp(static_cast<Op>(in->op), sp, n);
        break;
      }
    }
  }
  return acc;
}

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
  if (!Parse(text, nullptr, &collected, root, error)) return false;
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
