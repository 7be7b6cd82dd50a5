// Two engines that find a pattern in UTF-16 text and collect the matches as
// pairs of character positions (start, stop; stop exclusive):
// TUTBMSearch, a Boyer-Moore-style search for a fixed pattern, and
// TURESearch, a regular-expression search over Unicode character
// properties that compiles the expression into a deterministic automaton.
#pragma once

#include <cstdint>
#include <map>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "classlib/Classes.h"
#include "unicode/WideStrings.h"
#include "unicode/WideTypes.h"

enum TSearchFlag { sfCaseSensitive, sfIgnoreNonSpacing, sfSpaceCompress, sfWholeWordOnly };
using TSearchFlags = TSet<TSearchFlag>;

class TSearchEngine : public TObject {
 public:
  explicit TSearchEngine(TWideStrings* AOwner);
  ~TSearchEngine() override;

  virtual int GetCount() const;
  virtual void AddResult(int Start, int Stop);
  virtual void Clear();
  virtual void ClearResults();
  virtual void DeleteResult(int Index);
  virtual void FindPrepare(const WideString& Pattern, TSearchFlags Options) = 0;
  virtual void FindPrepare(const WideChar* Pattern, int PatternLength, TSearchFlags Options) = 0;
  // Clears the results, searches once and records the match.
  virtual bool FindFirst(const WideString& Text, int& Start, int& Stop) = 0;
  virtual bool FindFirst(const WideChar* Text, int TextLen, int& Start, int& Stop) = 0;
  // Clears the results and records every match from left to right.
  virtual bool FindAll(const WideString& Text) = 0;
  virtual bool FindAll(const WideChar* Text, int TextLen) = 0;
  // Raises EListError for an index out of range.
  virtual void GetResult(int Index, int& Start, int& Stop) const;

  TWideStrings* GetOwner() const { return owner_; }

 private:
  TWideStrings* owner_;
  std::vector<int> results_;  // start and stop of every match
};

class TUTBMSearch : public TSearchEngine {
 public:
  explicit TUTBMSearch(TWideStrings* AOwner);
  void Clear() override;
  void FindPrepare(const WideString& Pattern, TSearchFlags Options) override;
  void FindPrepare(const WideChar* Pattern, int PatternLength, TSearchFlags Options) override;
  bool FindFirst(const WideString& Text, int& Start, int& Stop) override;
  bool FindFirst(const WideChar* Text, int TextLen, int& Start, int& Stop) override;
  bool FindAll(const WideString& Text) override;
  bool FindAll(const WideChar* Text, int TextLen) override;

 private:
  struct PatternChar {
    UCS4 LowerCase, UpperCase, TitleCase;
  };
  bool Find(const WideChar* Text, int TextLen, int From, int& Start, int& Stop) const;
  bool Match(const WideChar* Text, int TextLen, int From, int End, int& Start, int& Stop) const;
  int Shift(UCS4 c) const;

  TSearchFlags flags_;
  std::vector<PatternChar> pattern_;
  int patternLength_ = 0;  // in UTF-16 units
  // Distance to the pattern's end for every form of the pattern's
  // characters but the last (the smallest where forms are shared).
  std::unordered_map<UCS4, int> skip_;
  int lowSkip_[256] = {};  // the same for codes below 256
  bool fixedLength_ = true;  // text matches are as long as the pattern
};

class TURESearch : public TSearchEngine {
 public:
  explicit TURESearch(TWideStrings* AOwner);
  void Clear() override;
  // Raises Exception on a faulty expression.
  void FindPrepare(const WideString& Pattern, TSearchFlags Options) override;
  void FindPrepare(const WideChar* Pattern, int PatternLength, TSearchFlags Options) override;
  bool FindFirst(const WideString& Text, int& Start, int& Stop) override;
  bool FindFirst(const WideChar* Text, int TextLen, int& Start, int& Stop) override;
  bool FindAll(const WideString& Text) override;
  bool FindAll(const WideChar* Text, int TextLen) override;

  // Execution flags of Execute.
  static constexpr unsigned xfIgnoreNonSpacing = 1;  // pass over non-spacing marks
  static constexpr unsigned xfDotMatchesBreaks = 2;  // "." also matches line breaks
  // Searches from From: true and the start and stop of the leftmost match
  // (the longest of those) when there is one.
  bool ExecuteURE(const WideChar* Text, int TextLen, int From, unsigned Flags, int& Start,
               int& Stop) const;

  int GetStateCount() const { return static_cast<int>(states_.size()); }

  // Bounds of compilation; beyond them FindPrepare fails cleanly.
  static constexpr int kMaxRepeat = 1000;
  static constexpr int kMaxExpressions = 200000;
  static constexpr int kMaxStates = 5000;
  static constexpr int kMaxDepth = 500;

 private:
  enum SymbolKind { skAny = 1, skLiteral, skClass, skNegatedClass, skLineStart, skLineEnd };
  enum ExprKind {
    ekSymbol = 10, ekGroup, ekOptional, ekStar, ekPlus, ekEmpty, ekConcat, ekAlternation
  };
  struct Range {
    UCS4 First, Last;
    bool operator==(const Range& o) const { return First == o.First && Last == o.Last; }
    bool operator<(const Range& o) const {
      return First < o.First || (First == o.First && Last < o.Last);
    }
  };
  struct TSymbolTableEntry {
    int Kind = 0;
    std::uint32_t Properties = 0;  // members: characters with any of these
    // Members of a class from "\P" lists: characters with none of one list.
    std::vector<std::uint32_t> Lacks;
    std::vector<Range> Ranges;
    UCS4 Code = 0;
  };
  struct Expr {
    int Kind, Left, Right;
  };
  struct State {
    bool Accepting = false;
    int TransitionCount = 0;
    int FirstTransition = 0;
  };
  struct Transition {
    int Symbol, Target;
  };
  class Compiler;
  friend class Compiler;

  bool SymbolMatches(const TSymbolTableEntry& s, UCS4 c, unsigned flags) const;

  std::vector<TSymbolTableEntry> symbols_;
  std::vector<State> states_;
  std::vector<Transition> transitions_;
  bool caseInsensitive_ = false;
  bool anchorsOnly_ = false;
  // Scratch of ExecuteURE: three per-state tables, all -1 between calls.
  mutable std::vector<int> slots_;
};
