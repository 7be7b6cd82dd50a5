// Regular-expression engine: an expression is compiled into a byte-coded
// program and matched against 8-bit text by backtracking.
//
// Portable: no window-system headers. The case mapping used for
// case-insensitive matching is injected (the system's ANSI mapping on
// Windows, a built-in code page 1252 table elsewhere).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/Events.h"
#include "classlib/SysUtils.h"

// Failure of the engine: the message, the numeric code and, for compile
// errors, the number of expression characters consumed when it arose.
class ERegex : public Exception {
 public:
  ERegex(const String& message, int errorCode, int compilerErrorPos)
      : Exception(message), ErrorCode(errorCode), CompilerErrorPos(compilerErrorPos) {}
  Exception* Clone() const override { return new ERegex(*this); }
  [[noreturn]] void Raise() const override { throw *this; }
  const char* ClassName() const override { return "ERegex"; }

  int ErrorCode = 0;
  int CompilerErrorPos = 0;
};

// Maps one 8-bit character to its other case (or itself).
using TRegexInvertCaseFunction = char (*)(char);

// Number of match registers: 0 is the whole match, 1..14 the groups.
constexpr int NSUBEXP = 15;
// Nesting limit of counted loops at run time.
constexpr int LoopStackMax = 10;

// Modifier bits (GetModifier/SetModifier take the 1-based index instead).
enum : int {
  MaskModI = 1,   // case-insensitive
  MaskModR = 2,   // Cyrillic ranges of code page 1251 include the diaeresis letters
  MaskModS = 4,   // "." matches line separators too
  MaskModG = 8,   // greedy quantifiers (off: all non-greedy)
  MaskModM = 16,  // "^" and "$" also match at line separators
  MaskModX = 32,  // extended syntax: white space and "#" comments ignored
};

// Unit-wide defaults, copied into every new object.
extern bool RegexModifierI;
extern bool RegexModifierR;
extern bool RegexModifierS;
extern bool RegexModifierG;
extern bool RegexModifierM;
extern bool RegexModifierX;
extern AnsiString RegexSpaceChars;
extern AnsiString RegexWordChars;
extern AnsiString RegexLineSeparators;
extern AnsiString RegexLinePairedSeparator;
extern TRegexInvertCaseFunction RegexInvertCaseFunction;

// One sub-expression found by RegexSubExpressions: its text (between the
// parentheses), the 1-based position of its "(" and its length with the
// parentheses. Item 0 is the whole expression.
struct TRegexSubExpression {
  AnsiString Text;
  int Pos = 0;
  int Len = 0;
};

class TRegex : public TObject {
 public:
  TRegex();
  ~TRegex() override;

  static int VersionMajor() { return 0; }
  static int VersionMinor() { return 947; }

  // The expression. Setting a different text discards the program.
  const AnsiString& GetExpression() const { return expression_; }
  void SetExpression(const AnsiString& expression);

  // Modifiers by index 1..6 (i, r, s, g, m, x); other indices raise 1013.
  bool GetModifier(int index);
  void SetModifier(int index, bool set);
  int GetModifiers() const { return modifiers_; }
  AnsiString GetModifierStr() const;
  // Applies a modifier string such as "i-g"; a bad string raises 1013 and
  // leaves the modifiers unchanged.
  void SetModifierStr(const AnsiString& s);
  // Applies the letters of `s` to `modifiers`; false on a character that is
  // no modifier (the changes made before it stay in `modifiers`).
  static bool ParseModifiersStr(std::string_view s, int& modifiers);

  // The system's other case of `ch`: upper case if that differs, else lower.
  static char InvertCaseFunction(char ch);
  TRegexInvertCaseFunction GetInvertCase() const { return invertCase_; }
  void SetInvertCase(TRegexInvertCaseFunction f);

  const AnsiString& GetSpaceChars() const { return spaceChars_; }
  // A change discards the program (the classes "\s" and "\w" are compiled).
  void SetSpaceChars(const AnsiString& s);
  const AnsiString& GetWordChars() const { return wordChars_; }
  void SetWordChars(const AnsiString& s);
  const AnsiString& GetLineSeparators() const { return lineSeparators_; }
  void SetLineSeparators(const AnsiString& s);
  // Two different characters, or empty (none); anything else raises 128.
  AnsiString GetLinePairedSeparator() const;
  void SetLinePairedSeparator(const AnsiString& s);

  // Compiles the expression; without one raises 1003.
  void Compile();

  // Stores `input` and searches it from position 1.
  bool Exec(std::string_view input);
  // Searches the stored input from the 1-based offset.
  bool ExecPos(int offset = 1);
  // Continues after the last match (one further after an empty match).
  bool ExecNext();

  const AnsiString& GetInputString() const;
  void SetInputString(std::string_view input);

  int GetSubExprMatchCount() const;
  int GetMatchPos(int n) const;
  int GetMatchLen(int n) const;
  AnsiString GetMatch(int n) const;

  // The last error code, which is reset to 0 by reading it.
  int LastError();
  virtual String ErrorMsg(int code);
  // Records `code` and raises ERegex with its message.
  virtual void Error(int code);
  int GetCompilerErrorPos() const;

  // Fills a template from the last match: $0..$nn, $&, ${n}, \c.
  AnsiString Substitute(std::string_view tmpl);
  // Adds the pieces of `input` between matches to `pieces`.
  void Split(std::string_view input, std::vector<AnsiString>& pieces);
  // Replaces every match of `input` with `replacement`.
  AnsiString Replace(std::string_view input, std::string_view replacement,
                     bool useSubstitution = false);

  // Bound on the work of one search (nodes run plus backtracking steps);
  // beyond it the search raises error 1016.
  uint64_t GetStepLimit() const { return stepLimit_; }
  void SetStepLimit(uint64_t limit) { stepLimit_ = limit; }

  // Readable listing of the compiled program.
  AnsiString Dump();
  AnsiString DumpOp(int op);

 private:
  // An entry of the backtracking stack: a choice point or an undo record.
  struct Frame {
    uint8_t kind;
    int32_t node;
    const unsigned char* pos;
    int32_t a;
    int32_t b;
  };
  struct ClassSet;

  // Readiness and execution.
  bool IsProgrammOk();
  bool ExecPrim(int offset);
  bool RegMatch(const unsigned char* at);
  int regrepeat(int32_t node, const unsigned char* scan, int max);
  [[noreturn]] void Fail(int code);
  void ClearRegisters();

  // Compiler.
  void CompileRegex();
  int32_t ParseReg(bool paren, int& flags);
  int32_t ParseBranch(int& flags);
  int32_t ParsePiece(int& flags);
  int32_t ParseAtom(int& flags);
  int32_t ParseClass();
  int32_t EmitClass(const ClassSet& set, bool negated);
  int32_t EmitNode(uint8_t op);
  void EmitByte(uint8_t b);
  void EmitInt(int32_t v);
  void InsertOperator(uint8_t op, int32_t opnd, int size);
  void Tail(int32_t p, int32_t val);
  void OpTail(int32_t p, int32_t val);
  int32_t NextNode(int32_t p) const;
  unsigned char UnQuoteChar();
  bool AtEnd() const { return parse_ >= exprEnd_; }
  void AddClassChar(ClassSet& set, unsigned char ch) const;
  void Analyse(int topFlags);
  void FillFirstCharSet(int32_t start);
  bool LoopBodyCanBeEmpty(int32_t body, int32_t loop, int depth);
  bool IsOneCharNode(int32_t node) const;
  void BuildCaseTable();

  // Match registers: [2n] start, [2n+1] end of sub-expression n.
  const unsigned char* regs_[2 * NSUBEXP] = {};
  // Where each group's current, not yet closed, match began.
  const unsigned char* openStart_[NSUBEXP] = {};

  // Compiler state.
  const unsigned char* parse_ = nullptr;
  const unsigned char* exprStart_ = nullptr;
  const unsigned char* exprEnd_ = nullptr;
  int npar_ = 1;
  bool pass1_ = false;
  bool compiling_ = false;
  int32_t emitPos_ = 0;
  int compileModifiers_ = 0;

  // Matcher state.
  const unsigned char* inputStart_ = nullptr;
  const unsigned char* inputEnd_ = nullptr;
  int loopIdx_ = 0;
  int loopCount_[LoopStackMax + 1] = {};
  const unsigned char* loopIterStart_[LoopStackMax + 1] = {};
  std::vector<const unsigned char*> backPos_;  // last position at each BACK node
  std::vector<int32_t> backSlot_;              // program offset -> BACK slot
  std::vector<int32_t> backExit_;              // per slot: where the loop ends
  std::vector<int32_t> backGroup_;             // per slot: the body's group, or 0
  // Loops over one single-character node, run like STAR: for the BRANCH of
  // such an x*, where the loop ends; for such a LOOPENTRY, its LOOP node.
  std::vector<int32_t> fastRepeat_;
  std::vector<uint32_t> visitMark_;  // analysis: node visited in walk number n
  uint32_t visitWalk_ = 0;
  std::vector<Frame> stack_;
  uint64_t steps_ = 0;
  uint64_t stepLimit_ = 20'000'000;

  // Program analysis.
  uint8_t firstCharSet_[32] = {};
  bool canMatchEmpty_ = false;
  int firstCharCount_ = 0;              // members of the first-character set
  unsigned char firstChars_[2] = {};    // the members, when there are at most 2
  unsigned char regStart_ = 0;
  bool anchored_ = false;
  int32_t regMust_ = 0;  // offset of the required literal's text, 0 = none
  int regMustLen_ = 0;

  bool compiled_ = false;
  std::vector<uint8_t> program_;  // empty = no program
  AnsiString expression_;
  AnsiString input_;
  bool hasInput_ = false;

  int lastError_ = 0;
  int modifiers_ = 0;
  int programModifiers_ = 0;

  AnsiString spaceChars_;
  AnsiString wordChars_;
  uint8_t wordSet_[32] = {};
  TRegexInvertCaseFunction invertCase_ = nullptr;
  TRegexInvertCaseFunction caseTableFor_ = nullptr;
  unsigned char caseTable_[256] = {};
  AnsiString lineSeparators_;
  bool linePairedSeparatorAssigned_ = false;
  unsigned char linePairedSeparatorHead_ = 0;
  unsigned char linePairedSeparatorTail_ = 0;
  uint8_t lineSepSet_[32] = {};
};

// Puts a backslash before every character of "^$.[()|?+*\{]}".
AnsiString QuoteRegexMetaChars(std::string_view s);
// Lists the sub-expressions of `expression`; returns 0, or the position of
// a stray ")", -(position of "[" + 1) for an unclosed class, or -1 for an
// unclosed group or "(?" without ")".
int RegexSubExpressions(std::string_view expression, std::vector<TRegexSubExpression>& list,
                        bool extendedSyntax = false);

bool ExecRegex(const AnsiString& expression, std::string_view input);
void SplitRegex(const AnsiString& expression, std::string_view input,
                std::vector<AnsiString>& pieces);
AnsiString ReplaceRegex(const AnsiString& expression, std::string_view input,
                        std::string_view replacement, bool useSubstitution = false);
