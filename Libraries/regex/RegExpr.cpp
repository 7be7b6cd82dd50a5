// TRegex: the expression object, its errors and the compiler.
#include "Libraries/regex/RegExpr.h"

#include <algorithm>
#include <cstring>

#include "Libraries/regex/RegExprProgram.h"
#include "Libraries/regex/RegexCase.h"

using namespace regexprog;

bool RegexModifierI = false;
bool RegexModifierR = true;
bool RegexModifierS = true;
bool RegexModifierG = true;
bool RegexModifierM = false;
bool RegexModifierX = false;
AnsiString RegexSpaceChars = " \t\n\r\f";
AnsiString RegexWordChars =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
AnsiString RegexLineSeparators = "\r\n";
AnsiString RegexLinePairedSeparator = "\r\n";
TRegexInvertCaseFunction RegexInvertCaseFunction = &TRegex::InvertCaseFunction;

namespace {

constexpr const char* kModifierLetters = "irsgmx";
constexpr const char* kMetaChars = "^$.[()|?+*\\{";

bool IsQuantifier(unsigned char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Object

TRegex::TRegex() {
  if (RegexModifierI) modifiers_ |= MaskModI;
  if (RegexModifierR) modifiers_ |= MaskModR;
  if (RegexModifierS) modifiers_ |= MaskModS;
  if (RegexModifierG) modifiers_ |= MaskModG;
  if (RegexModifierM) modifiers_ |= MaskModM;
  spaceChars_ = RegexSpaceChars;
  SetWordChars(RegexWordChars);
  invertCase_ = RegexInvertCaseFunction;
  SetLineSeparators(RegexLineSeparators);
  SetLinePairedSeparator(RegexLinePairedSeparator);
}

TRegex::~TRegex() = default;

void TRegex::SetExpression(const AnsiString& expression) {
  if (compiled_ && expression == expression_) return;
  compiled_ = false;
  expression_ = expression;
  program_.clear();
}

bool TRegex::GetModifier(int index) {
  if (index < 1 || index > 6) Fail(1013);
  return (modifiers_ >> (index - 1)) & 1;
}

void TRegex::SetModifier(int index, bool set) {
  if (index < 1 || index > 6) Fail(1013);
  int mask = 1 << (index - 1);
  if (set)
    modifiers_ |= mask;
  else
    modifiers_ &= ~mask;
}

AnsiString TRegex::GetModifierStr() const {
  // Modifiers that are on stand before the hyphen, each put in front of the
  // ones before it; those that are off follow it in order.
  AnsiString on, off;
  for (int i = 5; i >= 0; --i)
    if (modifiers_ & (1 << i)) on += kModifierLetters[i];
  for (int i = 0; i < 6; ++i)
    if (!(modifiers_ & (1 << i))) off += kModifierLetters[i];
  return off.empty() ? on : on + "-" + off;
}

void TRegex::SetModifierStr(const AnsiString& s) {
  // All or nothing: a bad letter leaves the modifiers as they were.
  int mods = modifiers_;
  if (!ParseModifiersStr(s, mods)) Fail(1013);
  modifiers_ = mods;
}

bool TRegex::ParseModifiersStr(std::string_view s, int& modifiers) {
  bool on = true;
  for (char ch : s) {
    if (ch == '-') {
      on = false;
      continue;
    }
    char lower = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : ch;
    const char* at = std::strchr(kModifierLetters, lower);
    if (lower == 0 || at == nullptr) return false;
    int mask = 1 << (at - kModifierLetters);
    if (on)
      modifiers |= mask;
    else
      modifiers &= ~mask;
  }
  return true;
}

char TRegex::InvertCaseFunction(char ch) {
  char upper = RegexSystemUpperCase(ch);
  if (upper != ch) return upper;
  return RegexSystemLowerCase(ch);
}

void TRegex::SetInvertCase(TRegexInvertCaseFunction f) {
  if (f == invertCase_) return;
  // Case-insensitive nodes are compiled against the mapping.
  invertCase_ = f;
  compiled_ = false;
  program_.clear();
}

void TRegex::SetSpaceChars(const AnsiString& s) {
  if (s == spaceChars_) return;
  spaceChars_ = s;
  compiled_ = false;
  program_.clear();
}

void TRegex::SetWordChars(const AnsiString& s) {
  std::memset(wordSet_, 0, sizeof wordSet_);
  for (unsigned char c : s) AddToSet(wordSet_, c);
  if (s != wordChars_) {
    wordChars_ = s;
    compiled_ = false;
    program_.clear();
  }
}

void TRegex::SetLineSeparators(const AnsiString& s) {
  std::memset(lineSepSet_, 0, sizeof lineSepSet_);
  for (unsigned char c : s) AddToSet(lineSepSet_, c);
  if (s != lineSeparators_) {
    lineSeparators_ = s;
    compiled_ = false;
    program_.clear();
  }
}

AnsiString TRegex::GetLinePairedSeparator() const {
  if (!linePairedSeparatorAssigned_) return AnsiString();
  return AnsiString{char(linePairedSeparatorHead_), char(linePairedSeparatorTail_)};
}

void TRegex::SetLinePairedSeparator(const AnsiString& s) {
  bool assigned;
  unsigned char head = 0, tail = 0;
  if (s.empty()) {
    assigned = false;
  } else if (s.size() == 2 && s[0] != s[1]) {
    assigned = true;
    head = static_cast<unsigned char>(s[0]);
    tail = static_cast<unsigned char>(s[1]);
  } else {
    Fail(128);
  }
  if (assigned != linePairedSeparatorAssigned_ || head != linePairedSeparatorHead_ ||
      tail != linePairedSeparatorTail_) {
    linePairedSeparatorAssigned_ = assigned;
    linePairedSeparatorHead_ = head;
    linePairedSeparatorTail_ = tail;
    compiled_ = false;
    program_.clear();
  }
}

void TRegex::Compile() {
  if (expression_.empty()) Fail(1003);
  CompileRegex();
}

const AnsiString& TRegex::GetInputString() const {
  if (!hasInput_) const_cast<TRegex*>(this)->Fail(1008);
  return input_;
}

void TRegex::SetInputString(std::string_view input) {
  input_.assign(input.data(), input.size());
  hasInput_ = true;
  ClearRegisters();
}

void TRegex::ClearRegisters() { std::memset(regs_, 0, sizeof regs_); }

int TRegex::GetSubExprMatchCount() const {
  if (!hasInput_) return -1;
  for (int n = NSUBEXP - 1; n >= 1; --n)
    if (regs_[2 * n] && regs_[2 * n + 1]) return n;
  return 0;
}

int TRegex::GetMatchPos(int n) const {
  if (!hasInput_ || n < 0 || n >= NSUBEXP || !regs_[2 * n] || !regs_[2 * n + 1]) return -1;
  return int(regs_[2 * n] - reinterpret_cast<const unsigned char*>(input_.data())) + 1;
}

int TRegex::GetMatchLen(int n) const {
  if (!hasInput_ || n < 0 || n >= NSUBEXP || !regs_[2 * n] || !regs_[2 * n + 1]) return -1;
  return int(std::max<std::ptrdiff_t>(regs_[2 * n + 1] - regs_[2 * n], 0));
}

AnsiString TRegex::GetMatch(int n) const {
  int len = GetMatchLen(n);
  if (len <= 0) return AnsiString();
  return input_.substr(size_t(GetMatchPos(n) - 1), size_t(len));
}

int TRegex::LastError() {
  int code = lastError_;
  lastError_ = 0;
  return code;
}

String TRegex::ErrorMsg(int code) {
  const char* text;
  switch (code) {
    case 0: text = "No errors"; break;
    case 100: text = "TRegex(comp): Null Argument"; break;
    case 101: text = "TRegex(comp): Regexp Too Big"; break;
    case 102: text = "TRegex(comp): ParseReg Too Many ()"; break;
    case 103: text = "TRegex(comp): ParseReg Unmatched ()"; break;
    case 104: text = "TRegex(comp): ParseReg Unmatched ()"; break;
    case 105: text = "TRegex(comp): ParseReg Junk On End"; break;
    case 106: text = "TRegex(comp): *+ Operand Could Be Empty"; break;
    case 107: text = "TRegex(comp): Nested *?+"; break;
    case 108: text = "TRegex(comp): Bad Hex Digit"; break;
    case 109: text = "TRegex(comp): Invalid [] Range"; break;
    case 110: text = "TRegex(comp): Parse Atom Trailing \\"; break;
    case 111: text = "TRegex(comp): No Hex Code After \\x"; break;
    case 112: text = "TRegex(comp): Hex Code After \\x Is Too Big"; break;
    case 113: text = "TRegex(comp): Unmatched []"; break;
    case 114: text = "TRegex(comp): Internal Urp"; break;
    case 115: text = "TRegex(comp): ?+*{ Follows Nothing"; break;
    case 116: text = "TRegex(comp): Trailing \\"; break;
    case 119: text = "TRegex(comp): RarseAtom Internal Disaster"; break;
    case 122: text = "TRegex(comp): BRACES Argument Too Big"; break;
    case 124: text = "TRegex(comp): BRACE Min Param Greater then Max"; break;
    case 125: text = "TRegex(comp): Unclosed (?#Comment)"; break;
    case 126:
      text =
          "TRegex(comp): If you want take part in beta-testing BRACES '{min,max}' and "
          "non-greedy ops '*?', '+?', '?" "?' for complex cases - remove '.' from "
          "{.$DEFINE ComplexBraces}";
      break;
    case 127: text = "TRegex(comp): Urecognized Modifier"; break;
    case 128:
      text = "TRegex(comp): LinePairedSeparator must countain two different chars or no chars at all";
      break;
    case 1000: text = "TRegex(exec): RegRepeat Called Inappropriately"; break;
    case 1001: text = "TRegex(exec): MatchPrim Memory Corruption"; break;
    case 1002: text = "TRegex(exec): MatchPrim Corrupted Pointers"; break;
    case 1003: text = "TRegex(exec): Not Assigned Expression Property"; break;
    case 1004: text = "TRegex(exec): Corrupted Program"; break;
    case 1005: text = "TRegex(exec): No Inpit String Specified"; break;
    case 1006: text = "TRegex(exec): Offset Must Be Greater Then 0"; break;
    case 1007: text = "TRegex(exec): ExecNext Without Exec[Pos]"; break;
    case 1008: text = "TRegex(exec): GetInputString Without InputString"; break;
    case 1011: text = "TRegex(dump): Corrupted Opcode"; break;
    case 1014: text = "TRegex(exec): Loop Stack Exceeded"; break;
    case 1015: text = "TRegex(exec): Loop Without LoopEntry !"; break;
    case 1016: text = "TRegex(exec): Backtracking Limit Exceeded"; break;
    default: text = "Unknown error"; break;
  }
  return AnsiToWide(text);
}

int TRegex::GetCompilerErrorPos() const {
  if (!compiling_ || !parse_ || !exprStart_) return 0;
  return int(parse_ - exprStart_);
}

void TRegex::Error(int code) {
  lastError_ = code;
  int pos = GetCompilerErrorPos();
  String message = ErrorMsg(code);
  if (code < 1000) message += L" (pos " + std::to_wstring(pos) + L")";
  throw ERegex(message, code, pos);
}

void TRegex::Fail(int code) {
  Error(code);
  // A replacement Error that returns cannot resume the engine.
  throw ERegex(ErrorMsg(code), code, 0);
}

// ---------------------------------------------------------------------------
// Emitting. Pass 1 only counts; pass 2 writes into the allocated program.

int32_t TRegex::EmitNode(uint8_t op) {
  int32_t ret = emitPos_;
  if (!pass1_) {
    if (size_t(emitPos_) + NODE_HEADER > program_.size()) Fail(114);
    program_[size_t(ret)] = op;
    WriteInt(&program_[size_t(ret) + 1], 0);
  }
  emitPos_ += NODE_HEADER;
  return ret;
}

void TRegex::EmitByte(uint8_t b) {
  if (!pass1_) {
    if (size_t(emitPos_) + 1 > program_.size()) Fail(114);
    program_[size_t(emitPos_)] = b;
  }
  emitPos_ += 1;
}

void TRegex::EmitInt(int32_t v) {
  if (!pass1_) {
    if (size_t(emitPos_) + 4 > program_.size()) Fail(114);
    WriteInt(&program_[size_t(emitPos_)], v);
  }
  emitPos_ += 4;
}

// Inserts a node of `size` bytes (operands zeroed) in front of `opnd`.
void TRegex::InsertOperator(uint8_t op, int32_t opnd, int size) {
  if (!pass1_) {
    if (size_t(emitPos_) + size_t(size) > program_.size()) Fail(114);
    uint8_t* base = program_.data();
    std::memmove(base + opnd + size, base + opnd, size_t(emitPos_ - opnd));
    std::memset(base + opnd, 0, size_t(size));
    base[opnd] = op;
  }
  emitPos_ += size;
}

int32_t TRegex::NextNode(int32_t p) const {
  int32_t offset = ReadInt(&program_[size_t(p) + 1]);
  return offset == 0 ? 0 : p + offset;
}

// Sets the link of the last node of the chain starting at p to val.
void TRegex::Tail(int32_t p, int32_t val) {
  if (pass1_) return;
  int32_t scan = p;
  for (;;) {
    int32_t next = NextNode(scan);
    if (next == 0) break;
    scan = next;
  }
  WriteInt(&program_[size_t(scan) + 1], val - scan);
}

// Tail on the operand of a BRANCH; nothing for other nodes.
void TRegex::OpTail(int32_t p, int32_t val) {
  if (pass1_ || program_[size_t(p)] != BRANCH) return;
  Tail(p + NODE_HEADER, val);
}

// ---------------------------------------------------------------------------
// Compiler

void TRegex::BuildCaseTable() {
  for (int c = 0; c < 256; ++c)
    caseTable_[c] =
        invertCase_ ? static_cast<unsigned char>(invertCase_(static_cast<char>(c))) : (unsigned char)c;
  caseTableFor_ = invertCase_;
}

void TRegex::CompileRegex() {
  compiled_ = false;
  program_.clear();
  ClearRegisters();  // searches clear only the new program's groups
  if (expression_.empty()) Fail(100);

  if (caseTableFor_ != invertCase_ || !caseTableFor_) BuildCaseTable();
  exprStart_ = reinterpret_cast<const unsigned char*>(expression_.data());
  exprEnd_ = exprStart_ + expression_.size();
  compiling_ = true;
  struct Done {
    TRegex* r;
    ~Done() {
      r->compiling_ = false;
      r->pass1_ = false;
    }
  } done{this};

  int flags = 0;
  try {
    for (int pass = 1; pass <= 2; ++pass) {
      pass1_ = pass == 1;
      programModifiers_ = modifiers_;
      compileModifiers_ = modifiers_;
      parse_ = exprStart_;
      npar_ = 1;
      emitPos_ = 0;
      EmitByte(MAGIC);
      ParseReg(false, flags);
      if (pass1_) program_.assign(size_t(emitPos_), 0);
    }
    if (size_t(emitPos_) != program_.size()) Fail(114);
  } catch (...) {
    program_.clear();
    throw;
  }
  Analyse(flags);
  compiled_ = true;
}

int32_t TRegex::ParseReg(bool paren, int& flagp) {
  int savedModifiers = compileModifiers_;
  flagp = FLAG_HASWIDTH;
  int32_t ret = 0;
  int parno = 0;
  if (paren) {
    if (npar_ >= NSUBEXP) Fail(102);
    parno = npar_++;
    ret = EmitNode(uint8_t(OPEN + parno));
  }

  int flags = 0;
  int32_t br = ParseBranch(flags);
  if (ret != 0)
    Tail(ret, br);
  else
    ret = br;
  if (!(flags & FLAG_HASWIDTH)) flagp &= ~FLAG_HASWIDTH;
  flagp |= flags & FLAG_SPSTART;
  int32_t lastBranch = br;
  while (!AtEnd() && *parse_ == '|') {
    ++parse_;
    br = ParseBranch(flags);
    Tail(lastBranch, br);  // the newest BRANCH ends the chain: no walk
    lastBranch = br;
    if (!(flags & FLAG_HASWIDTH)) flagp &= ~FLAG_HASWIDTH;
    flagp |= flags & FLAG_SPSTART;
  }

  int32_t ender = EmitNode(paren ? uint8_t(CLOSE + parno) : uint8_t(END));
  Tail(ret, ender);
  if (!pass1_)
    for (int32_t b = ret; b != 0; b = NextNode(b)) OpTail(b, ender);

  if (paren) {
    if (AtEnd() || *parse_ != ')') Fail(103);
    ++parse_;
  } else if (!AtEnd()) {
    if (*parse_ == ')') Fail(104);
    Fail(105);
  }
  compileModifiers_ = savedModifiers;
  return ret;
}

int32_t TRegex::ParseBranch(int& flagp) {
  flagp = FLAG_WORST;
  int32_t ret = EmitNode(BRANCH);
  int32_t chain = 0;
  while (!AtEnd() && *parse_ != '|' && *parse_ != ')') {
    int flags = 0;
    int32_t latest = ParsePiece(flags);
    flagp |= flags & FLAG_HASWIDTH;
    if (chain == 0)
      flagp |= flags & FLAG_SPSTART;
    else
      Tail(chain, latest);
    chain = latest;
  }
  if (chain == 0) EmitNode(NOTHING);
  return ret;
}

namespace {

// Reads "{min}", "{min,}" or "{min,max}" at p. Returns false when the text
// is no quantifier; raises through `fail` for an over-long number.
template <class FailFn>
bool ParseBraces(const unsigned char*& p, const unsigned char* end, int32_t& min, int32_t& max,
                 FailFn fail) {
  const unsigned char* q = p + 1;
  auto readNumber = [&](int32_t& value) -> bool {
    const unsigned char* s = q;
    while (q < end && *q >= '0' && *q <= '9') ++q;
    if (q == s) return false;
    if (q - s > 8) fail(122);
    int64_t v = 0;
    for (const unsigned char* d = s; d < q; ++d) v = v * 10 + (*d - '0');
    if (v >= MAX_REPEAT) fail(122);
    value = int32_t(v);
    return true;
  };
  // Validate the shape first so a literal "{" never raises.
  const unsigned char* t = q;
  const unsigned char* digitsStart = t;
  while (t < end && *t >= '0' && *t <= '9') ++t;
  if (t == digitsStart) return false;
  if (t < end && *t == ',') {
    ++t;
    while (t < end && *t >= '0' && *t <= '9') ++t;
  }
  if (t >= end || *t != '}') return false;

  readNumber(min);
  if (*q == ',') {
    ++q;
    if (!readNumber(max)) max = MAX_BRACES_ARG;
  } else {
    max = min;
  }
  p = q + 1;  // past "}"
  return true;
}

}  // namespace

int32_t TRegex::ParsePiece(int& flagp) {
  int flags = 0;
  int32_t ret = ParseAtom(flags);
  if ((compileModifiers_ & MaskModX) && !AtEnd() && (IsSpace(*parse_) || *parse_ == '#')) {
    // Extended syntax: white space and comments may stand before a
    // quantifier; anything else after them starts the next atom.
    const unsigned char* p = parse_;
    while (p < exprEnd_ && (IsSpace(*p) || *p == '#')) {
      if (*p == '#') {
        while (p < exprEnd_ && *p != '\r' && *p != '\n') ++p;
        while (p < exprEnd_ && (*p == '\r' || *p == '\n')) ++p;
      } else {
        ++p;
      }
    }
    if (p < exprEnd_ && IsQuantifier(*p)) parse_ = p;
  }
  if (AtEnd() || !IsQuantifier(*parse_)) {
    flagp = flags;
    return ret;
  }
  unsigned char op = *parse_;
  int32_t bmin = 0, bmax = 0;
  if (op == '{') {
    const unsigned char* p = parse_;
    if (!ParseBraces(p, exprEnd_, bmin, bmax, [this](int code) { Fail(code); })) {
      flagp = flags;  // a literal "{": the atom stands alone
      return ret;
    }
    if (!(flags & FLAG_HASWIDTH)) Fail(106);
    parse_ = p;
    if (bmin > bmax) Fail(124);
  } else {
    if (!(flags & FLAG_HASWIDTH) && op != '?') Fail(106);
    ++parse_;
  }
  bool nonGreedy = false;
  if (!AtEnd() && *parse_ == '?') {
    nonGreedy = true;
    ++parse_;
  } else if (!(compileModifiers_ & MaskModG)) {
    nonGreedy = true;
  }
  bool simple = flags & FLAG_SIMPLE;

  auto emitLoop = [&](int32_t min, int32_t max, bool ng) {
    // LOOPENTRY in front of the body, LOOP after it pointing back.
    InsertOperator(LOOPENTRY, ret, NODE_HEADER);
    int32_t body = ret + NODE_HEADER;
    int32_t loop = EmitNode(ng ? LOOPNG : LOOP);
    EmitInt(min);
    EmitInt(max);
    EmitInt(loop - body);
    Tail(ret, loop);
    Tail(body, loop);
  };
  auto emitBraces = [&](int32_t min, int32_t max, bool ng) {
    InsertOperator(ng ? BRACESNG : BRACES, ret, NODE_HEADER + 8);
    if (!pass1_) {
      WriteInt(&program_[size_t(ret) + 5], min);
      WriteInt(&program_[size_t(ret) + 9], max);
    }
  };

  switch (op) {
    case '*':
      flagp = FLAG_WORST | FLAG_SPSTART;
      if (simple) {
        InsertOperator(nonGreedy ? STARNG : STAR, ret, NODE_HEADER);
      } else if (nonGreedy) {
        emitLoop(0, MAX_BRACES_ARG, true);
      } else {
        // x* as (x&|): & loops back to the branch.
        InsertOperator(BRANCH, ret, NODE_HEADER);
        OpTail(ret, EmitNode(BACK));
        OpTail(ret, ret);
        Tail(ret, EmitNode(BRANCH));
        Tail(ret, EmitNode(NOTHING));
      }
      break;
    case '+':
      flagp = FLAG_WORST | FLAG_SPSTART | FLAG_HASWIDTH;
      if (simple) {
        InsertOperator(nonGreedy ? PLUSNG : PLUS, ret, NODE_HEADER);
      } else if (nonGreedy) {
        emitLoop(1, MAX_BRACES_ARG, true);
      } else {
        // x+ as x(&|): & loops back to x.
        int32_t next = EmitNode(BRANCH);
        Tail(ret, next);
        Tail(EmitNode(BACK), ret);
        Tail(next, EmitNode(BRANCH));
        Tail(ret, EmitNode(NOTHING));
      }
      break;
    case '?':
      flagp = FLAG_WORST;
      if (nonGreedy) {
        if (simple)
          emitBraces(0, 1, true);
        else
          emitLoop(0, 1, true);
      } else {
        // x? as (x|).
        InsertOperator(BRANCH, ret, NODE_HEADER);
        Tail(ret, EmitNode(BRANCH));
        int32_t next = EmitNode(NOTHING);
        Tail(ret, next);
        OpTail(ret, next);
      }
      break;
    case '{':
      flagp = bmax > 0 ? (FLAG_HASWIDTH | FLAG_SPSTART) : FLAG_WORST;
      if (simple)
        emitBraces(bmin, bmax, nonGreedy);
      else
        emitLoop(bmin, bmax, nonGreedy);
      break;
  }

  if (!AtEnd() && IsQuantifier(*parse_)) {
    // A "{" that forms no quantifier is a literal and may follow.
    bool nested = true;
    if (*parse_ == '{') {
      const unsigned char* p = parse_;
      int32_t a = 0, b = 0;
      nested = ParseBraces(p, exprEnd_, a, b, [](int) {});
    }
    if (nested) Fail(107);
  }
  return ret;
}

unsigned char TRegex::UnQuoteChar() {
  // parse_ is at the character after the backslash; consumes the escape.
  unsigned char c = *parse_++;
  switch (c) {
    case 't': return 9;
    case 'n': return 10;
    case 'r': return 13;
    case 'f': return 12;
    case 'a': return 7;
    case 'e': return 27;
    case 'x': {
      if (AtEnd()) Fail(111);
      int value = 0;
      if (*parse_ == '{') {
        ++parse_;
        int digits = 0;
        for (;;) {
          if (AtEnd()) Fail(111);
          if (*parse_ == '}') break;
          int d = HexValue(*parse_);
          if (d < 0) Fail(108);
          if (value > 15) Fail(112);
          value = value * 16 + d;
          ++digits;
          ++parse_;
        }
        if (digits == 0) Fail(111);
        ++parse_;  // "}"
      } else {
        for (int i = 0; i < 2; ++i) {
          if (AtEnd()) Fail(111);
          int d = HexValue(*parse_);
          if (d < 0) Fail(108);
          value = value * 16 + d;
          ++parse_;
        }
      }
      return static_cast<unsigned char>(value);
    }
    default:
      return c;
  }
}

struct TRegex::ClassSet {
  uint8_t bits[32] = {};
  int count = 0;
  void Add(unsigned char c) {
    if (!InSet(bits, c)) {
      AddToSet(bits, c);
      ++count;
    }
  }
};

void TRegex::AddClassChar(ClassSet& set, unsigned char ch) const {
  set.Add(ch);
  if (compileModifiers_ & MaskModI) set.Add(caseTable_[ch]);
}

int32_t TRegex::EmitClass(const ClassSet& set, bool negated) {
  if (set.count >= 1 && set.count <= 3) {
    int32_t ret = EmitNode(negated ? ANYBUTTINYSET : ANYOFTINYSET);
    unsigned char members[3];
    int n = 0;
    for (int c = 0; c < 256 && n < 3; ++c)
      if (InSet(set.bits, static_cast<unsigned char>(c))) members[n++] = static_cast<unsigned char>(c);
    for (int i = n; i < 3; ++i) members[i] = members[n - 1];
    for (unsigned char m : members) EmitByte(m);
    return ret;
  }
  // More than 3 members, or none (a set that matches nothing).
  int32_t ret = EmitNode(ANYOFFULLSET);
  for (int i = 0; i < 32; ++i) EmitByte(negated ? uint8_t(~set.bits[i]) : set.bits[i]);
  return ret;
}

int32_t TRegex::ParseClass() {
  // parse_ is just after "[".
  ClassSet set;
  bool negated = false;
  if (!AtEnd() && *parse_ == '^') {
    negated = true;
    ++parse_;
  }
  bool haveLast = false;
  unsigned char last = 0;
  if (!AtEnd() && *parse_ == ']') {
    AddClassChar(set, ']');
    haveLast = true;
    last = ']';
    ++parse_;
  }
  auto addRange = [&](unsigned char from, unsigned char to) {
    bool r = compileModifiers_ & MaskModR;
    if (r && from == 224 && to == 255) {
      for (int c = 224; c <= 255; ++c) AddClassChar(set, (unsigned char)c);
      AddClassChar(set, 184);
    } else if (r && from == 192 && to == 223) {
      for (int c = 192; c <= 223; ++c) AddClassChar(set, (unsigned char)c);
      AddClassChar(set, 168);
    } else if (r && from == 224 && to == 223) {
      for (int c = 192; c <= 255; ++c) AddClassChar(set, (unsigned char)c);
      AddClassChar(set, 168);
      AddClassChar(set, 184);
    } else {
      if (to < from) Fail(109);
      for (int c = from; c <= to; ++c) AddClassChar(set, (unsigned char)c);
    }
  };
  while (!AtEnd() && *parse_ != ']') {
    unsigned char c = *parse_;
    if (c == '-' && haveLast && parse_ + 1 < exprEnd_ && parse_[1] != ']') {
      const unsigned char* after = parse_ + 1;
      if (*after == '\\') {
        if (after + 1 >= exprEnd_) {
          parse_ = after + 1;
          Fail(110);
        }
        unsigned char e = after[1];
        if (std::strchr("dDsSwW", e) && e != 0) {
          // "-" before a class escape is a member.
          AddClassChar(set, '-');
          haveLast = false;
          ++parse_;
          continue;
        }
        parse_ = after + 1;
        unsigned char to = UnQuoteChar();
        addRange(last, to);
      } else {
        parse_ = after + 1;
        addRange(last, *after);
      }
      haveLast = false;
      continue;
    }
    if (c == '\\') {
      ++parse_;
      if (AtEnd()) Fail(110);
      unsigned char e = *parse_;
      if (e == 'd') {
        for (unsigned char d = '0'; d <= '9'; ++d) AddClassChar(set, d);
        ++parse_;
        haveLast = false;
      } else if (e == 's') {
        for (unsigned char s : spaceChars_) AddClassChar(set, s);
        ++parse_;
        haveLast = false;
      } else if (e == 'w') {
        for (unsigned char w : wordChars_) AddClassChar(set, w);
        ++parse_;
        haveLast = false;
      } else {
        last = UnQuoteChar();
        AddClassChar(set, last);
        haveLast = true;
      }
      continue;
    }
    AddClassChar(set, c);
    last = c;
    haveLast = true;
    ++parse_;
  }
  if (AtEnd()) Fail(113);
  ++parse_;  // "]"
  return EmitClass(set, negated);
}

int32_t TRegex::ParseAtom(int& flagp) {
  flagp = FLAG_WORST;
  if (AtEnd()) Fail(114);

  if ((compileModifiers_ & MaskModX) && (IsSpace(*parse_) || *parse_ == '#')) {
    while (!AtEnd() && (IsSpace(*parse_) || *parse_ == '#')) {
      if (*parse_ == '#') {
        while (!AtEnd() && *parse_ != '\r' && *parse_ != '\n') ++parse_;
        while (!AtEnd() && (*parse_ == '\r' || *parse_ == '\n')) ++parse_;
      } else {
        ++parse_;
      }
    }
    return EmitNode(COMMENT);
  }

  bool ci = compileModifiers_ & MaskModI;
  bool haveSeparators = !lineSeparators_.empty() || linePairedSeparatorAssigned_;
  unsigned char c = *parse_++;
  int32_t ret = 0;
  switch (c) {
    case '^':
      ret = EmitNode(((compileModifiers_ & MaskModM) && haveSeparators) ? BOLML : BOL);
      break;
    case '$':
      ret = EmitNode(((compileModifiers_ & MaskModM) && haveSeparators) ? EOLML : EOL);
      break;
    case '.':
      if (compileModifiers_ & MaskModS) {
        ret = EmitNode(ANY);
        flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
      } else {
        ret = EmitNode(ANYML);
        flagp |= FLAG_HASWIDTH;
      }
      break;
    case '[':
      ret = ParseClass();
      flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
      break;
    case '(':
      if (!AtEnd() && *parse_ == '?') {
        ++parse_;
        if (!AtEnd() && *parse_ == '#') {
          while (!AtEnd() && *parse_ != ')') ++parse_;
          if (AtEnd()) Fail(125);
          ++parse_;
          ret = EmitNode(COMMENT);
        } else {
          const unsigned char* start = parse_;
          while (!AtEnd() && *parse_ != ')') ++parse_;
          if (AtEnd()) Fail(127);
          std::string_view letters(reinterpret_cast<const char*>(start), size_t(parse_ - start));
          if (!ParseModifiersStr(letters, compileModifiers_)) Fail(127);
          ++parse_;
          ret = EmitNode(COMMENT);
        }
      } else {
        int flags = 0;
        ret = ParseReg(true, flags);
        flagp |= flags & (FLAG_HASWIDTH | FLAG_SPSTART);
      }
      break;
    case '|':
    case ')':
      --parse_;
      Fail(114);
    case '?':
    case '+':
    case '*':
      --parse_;
      Fail(115);
    case '\\': {
      if (AtEnd()) Fail(116);
      unsigned char e = *parse_;
      switch (e) {
        case 'b': ++parse_; ret = EmitNode(BOUND); break;
        case 'B': ++parse_; ret = EmitNode(NOTBOUND); break;
        case 'A': ++parse_; ret = EmitNode(BOL); break;
        case 'Z': ++parse_; ret = EmitNode(EOL); break;
        case 'd':
          ++parse_;
          ret = EmitNode(ANYDIGIT);
          flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
          break;
        case 'D':
          ++parse_;
          ret = EmitNode(NOTDIGIT);
          flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
          break;
        case 's':
        case 'S':
        case 'w':
        case 'W': {
          ++parse_;
          ClassSet set;
          const AnsiString& chars = (e == 's' || e == 'S') ? spaceChars_ : wordChars_;
          for (unsigned char m : chars) AddClassChar(set, m);
          ret = EmitClass(set, e == 'S' || e == 'W');
          flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
          break;
        }
        case '1': case '2': case '3': case '4': case '5':
        case '6': case '7': case '8': case '9':
          ++parse_;
          ret = EmitNode(ci ? BSUBEXPCI : BSUBEXP);
          EmitByte(uint8_t(e - '0'));
          // A back-reference may span several characters (or none), so it
          // is repeated as a complex atom, never by the one-character nodes.
          flagp |= FLAG_HASWIDTH;
          break;
        default: {
          unsigned char ch = UnQuoteChar();
          if (ch == 0) {
            // A zero byte cannot live in a literal; a one-member set holds it.
            ret = EmitNode(ANYOFTINYSET);
            EmitByte(0);
            EmitByte(0);
            EmitByte(0);
          } else {
            ret = EmitNode(ci ? EXACTLYCI : EXACTLY);
            EmitByte(ch);
            EmitByte(0);
          }
          flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
          break;
        }
      }
      break;
    }
    default: {
      --parse_;
      if (*parse_ == 0) {
        // A raw zero byte in the expression matches a zero byte.
        ++parse_;
        ret = EmitNode(ANYOFTINYSET);
        EmitByte(0);
        EmitByte(0);
        EmitByte(0);
        flagp |= FLAG_HASWIDTH | FLAG_SIMPLE;
        break;
      }
      bool extended = compileModifiers_ & MaskModX;
      // The run's characters and where each stood in the expression.
      unsigned char chars[256];
      const unsigned char* where[256];
      int n = 0;
      chars[n] = *parse_;
      where[n++] = parse_++;
      while (!AtEnd() && n < 255) {
        unsigned char ch = *parse_;
        if (ch == 0 || std::strchr(kMetaChars, ch)) break;
        if (extended) {
          if (IsSpace(ch)) {
            ++parse_;
            continue;
          }
          if (ch == '#') break;
        }
        chars[n] = ch;
        where[n++] = parse_++;
      }
      if (n > 1 && !AtEnd() && IsQuantifier(*parse_)) {
        // The quantifier applies to the last character only.
        --n;
        parse_ = where[n];
      }
      ret = EmitNode(ci ? EXACTLYCI : EXACTLY);
      for (int i = 0; i < n; ++i) EmitByte(chars[i]);
      EmitByte(0);
      flagp |= FLAG_HASWIDTH;
      if (n == 1) flagp |= FLAG_SIMPLE;
      break;
    }
  }
  return ret;
}

// ---------------------------------------------------------------------------
// Analysis for the matcher's fast paths.

void TRegex::Analyse(int topFlags) {
  regStart_ = 0;
  anchored_ = false;
  regMust_ = 0;
  regMustLen_ = 0;

  // Slots for the empty-iteration check of the BACK loops.
  // A BACK node closes x* (looping to the BRANCH before x) or x+ (looping
  // to x, itself the operand of the BRANCH after x); the loop's way out is
  // the operand of the BRANCH that follows that BRANCH.
  backSlot_.assign(program_.size(), -1);
  backExit_.clear();
  backGroup_.clear();
  int slots = 0;
  for (int32_t p = 1; p < int32_t(program_.size());) {
    if (program_[size_t(p)] == BACK) {
      backSlot_[size_t(p)] = slots++;
      int32_t target = NextNode(p);
      int32_t branch = program_[size_t(target)] == BRANCH ? target : p - NODE_HEADER;
      int32_t other = NextNode(branch);
      backExit_.push_back(other != 0 ? other + NODE_HEADER : 0);
      int32_t body = program_[size_t(target)] == BRANCH ? target + NODE_HEADER : target;
      uint8_t bodyOp = program_[size_t(body)];
      backGroup_.push_back(bodyOp > OPEN && bodyOp < CLOSE ? bodyOp - OPEN : 0);
    }
    if (program_[size_t(p)] == END) break;
    p += NodeSize(&program_[size_t(p)]);
  }
  backPos_.assign(size_t(slots), nullptr);

  fastRepeat_.assign(program_.size(), 0);
  for (int32_t p = 1; p < int32_t(program_.size());) {
    uint8_t op = program_[size_t(p)];
    int32_t body = p + NODE_HEADER;
    if (op == BRANCH && IsOneCharNode(body)) {
      // x* as BRANCH x BACK BRANCH NOTHING.
      int32_t back = NextNode(body);
      int32_t other = NextNode(p);
      if (back != 0 && program_[size_t(back)] == BACK && NextNode(back) == p && other != 0 &&
          program_[size_t(other)] == BRANCH && program_[size_t(other) + NODE_HEADER] == NOTHING) {
        int32_t exit = NextNode(other + NODE_HEADER);
        if (exit != 0) fastRepeat_[size_t(p)] = exit;
      }
    } else if (op == LOOPENTRY && IsOneCharNode(body)) {
      int32_t loop = NextNode(p);
      if (loop != 0 && NextNode(body) == loop &&
          (program_[size_t(loop)] == LOOP || program_[size_t(loop)] == LOOPNG) &&
          NextNode(loop) != 0) {
        fastRepeat_[size_t(p)] = loop;
      }
    }
    if (op == END) break;
    p += NodeSize(&program_[size_t(p)]);
  }

  FillFirstCharSet(1);
  firstCharCount_ = 0;
  for (int c = 0; c < 256; ++c)
    if (InSet(firstCharSet_, (unsigned char)c)) {
      if (firstCharCount_ < 2) firstChars_[firstCharCount_] = (unsigned char)c;
      ++firstCharCount_;
    }

  int32_t first = 1;
  int32_t next = NextNode(first);
  if (next != 0 && program_[size_t(next)] == END) {
    int32_t scan = first + NODE_HEADER;
    uint8_t op = program_[size_t(scan)];
    if (op == EXACTLY)
      regStart_ = program_[size_t(scan) + 5];
    else if (op == BOL)
      anchored_ = true;
    if (topFlags & FLAG_SPSTART) {
      int32_t longest = 0;
      int len = 0;
      for (size_t guard = 0; scan != 0 && guard < program_.size(); ++guard) {
        if (program_[size_t(scan)] == EXACTLY) {
          int l = int(std::strlen(reinterpret_cast<const char*>(&program_[size_t(scan) + 5])));
          if (l >= len) {
            longest = scan + 5;
            len = l;
          }
        }
        scan = NextNode(scan);
      }
      regMust_ = longest;
      regMustLen_ = len;
    }
  }
}

// A node that always matches exactly one character (regrepeat counts it).
bool TRegex::IsOneCharNode(int32_t node) const {
  const uint8_t* p = &program_[size_t(node)];
  switch (p[0]) {
    case ANY: case ANYML: case ANYDIGIT: case NOTDIGIT: case ANYOFTINYSET: case ANYBUTTINYSET:
    case ANYOFFULLSET:
      return true;
    case EXACTLY: case EXACTLYCI:
      return p[5] != 0 && p[6] == 0;
    default:
      return false;
  }
}

// Can the body of a counted loop reach its LOOP node without consuming?
bool TRegex::LoopBodyCanBeEmpty(int32_t body, int32_t loop, int depth) {
  if (depth > 64) return true;
  // Each walk marks its nodes with its own number: no clearing per walk.
  if (visitMark_.size() != program_.size()) visitMark_.assign(program_.size(), 0);
  if (++visitWalk_ == 0) {
    std::fill(visitMark_.begin(), visitMark_.end(), 0);
    visitWalk_ = 1;
  }
  const uint32_t walk = visitWalk_;
  std::vector<int32_t> work{body};
  while (!work.empty()) {
    int32_t node = work.back();
    work.pop_back();
    while (node != 0 && node < int32_t(program_.size())) {
      if (node == loop) return true;
      if (visitMark_[size_t(node)] == walk) break;
      visitMark_[size_t(node)] = walk;
      const uint8_t* p = &program_[size_t(node)];
      uint8_t op = p[0];
      int32_t next = NextNode(node);
      if (op == BRANCH) {
        if (next != 0 && program_[size_t(next)] == BRANCH) {
          for (int32_t b = node; b != 0 && program_[size_t(b)] == BRANCH; b = NextNode(b))
            work.push_back(b + NODE_HEADER);
          break;
        }
        node = node + NODE_HEADER;
        continue;
      }
      bool goOn = false;
      switch (op) {
        case BOL: case BOLML: case EOL: case EOLML: case BOUND: case NOTBOUND: case BACK:
        case NOTHING: case COMMENT: case LOOPENTRY: case STAR: case STARNG: case BSUBEXP:
        case BSUBEXPCI:
          goOn = true;
          break;
        case BRACES: case BRACESNG:
          goOn = ReadInt(p + 5) == 0;
          break;
        case LOOP: case LOOPNG:
          goOn = ReadInt(p + 5) == 0 || LoopBodyCanBeEmpty(node - ReadInt(p + 13), node, depth + 1);
          break;
        default:
          goOn = (op >= OPEN + 1 && op <= OPEN + 14) || (op >= CLOSE + 1 && op <= CLOSE + 14);
          break;
      }
      if (!goOn) break;
      node = next;
    }
  }
  return false;
}

// First-character set: every character at which a match can begin. Each
// node is visited once; reaching END means the program can match empty.
void TRegex::FillFirstCharSet(int32_t start) {
  std::memset(firstCharSet_, 0, sizeof firstCharSet_);
  canMatchEmpty_ = false;
  auto addAll = [&] { std::memset(firstCharSet_, 0xFF, sizeof firstCharSet_); };
  auto addOperand = [&](int32_t opnd) {
    const uint8_t* q = &program_[size_t(opnd)];
    switch (q[0]) {
      case EXACTLY: AddToSet(firstCharSet_, q[5]); break;
      case EXACTLYCI:
        AddToSet(firstCharSet_, q[5]);
        AddToSet(firstCharSet_, caseTable_[q[5]]);
        break;
      case ANY: case ANYML: case BSUBEXP: case BSUBEXPCI: addAll(); break;
      case ANYDIGIT:
        for (unsigned char c = '0'; c <= '9'; ++c) AddToSet(firstCharSet_, c);
        break;
      case NOTDIGIT:
        for (int c = 0; c < 256; ++c)
          if (c < '0' || c > '9') AddToSet(firstCharSet_, (unsigned char)c);
        break;
      case ANYOFTINYSET:
        for (int i = 0; i < 3; ++i) AddToSet(firstCharSet_, q[5 + i]);
        break;
      case ANYBUTTINYSET:
        for (int c = 0; c < 256; ++c)
          if (c != q[5] && c != q[6] && c != q[7]) AddToSet(firstCharSet_, (unsigned char)c);
        break;
      case ANYOFFULLSET:
        for (int i = 0; i < 32; ++i) firstCharSet_[i] |= q[5 + i];
        break;
      default: addAll(); break;
    }
  };

  std::vector<bool> visited(program_.size(), false);
  std::vector<int32_t> work{start};
  while (!work.empty()) {
    int32_t node = work.back();
    work.pop_back();
    while (node != 0 && node < int32_t(program_.size())) {
      if (visited[size_t(node)]) break;
      visited[size_t(node)] = true;
      const uint8_t* p = &program_[size_t(node)];
      uint8_t op = p[0];
      int32_t next = NextNode(node);
      bool goOn = false;
      switch (op) {
        case END:
          canMatchEmpty_ = true;
          break;
        case BOL: case BOLML: case EOL: case EOLML: case BOUND: case NOTBOUND: case BACK:
        case NOTHING: case COMMENT: case LOOPENTRY:
          goOn = true;
          break;
        case BRANCH:
          if (next != 0 && program_[size_t(next)] == BRANCH) {
            for (int32_t b = node; b != 0 && program_[size_t(b)] == BRANCH; b = NextNode(b)) {
              visited[size_t(b)] = true;
              work.push_back(b + NODE_HEADER);
            }
          } else {
            next = node + NODE_HEADER;
            goOn = true;
          }
          break;
        case BSUBEXP: case BSUBEXPCI:
          // The group may have matched empty.
          addAll();
          goOn = true;
          break;
        case PLUS: case PLUSNG:
          addOperand(node + NODE_HEADER);
          break;
        case STAR: case STARNG:
          addOperand(node + NODE_HEADER);
          goOn = true;
          break;
        case BRACES: case BRACESNG:
          addOperand(node + NODE_HEADER + 8);
          goOn = ReadInt(p + 5) == 0;
          break;
        case LOOP: case LOOPNG: {
          int32_t body = node - ReadInt(p + 13);
          work.push_back(body);
          goOn = ReadInt(p + 5) == 0 || LoopBodyCanBeEmpty(body, node, 0);
          break;
        }
        default:
          if ((op >= OPEN + 1 && op <= OPEN + 14) || (op >= CLOSE + 1 && op <= CLOSE + 14))
            goOn = true;
          else
            addOperand(node);
          break;
      }
      if (!goOn) break;
      node = next;
    }
  }
}
