// The find options, one find result, and the test of one candidate text
// against the options (exact, substring or regular expression).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/RegRoots.h"
#include "classlib/SysUtils.h"

class TRegex;

// Find options, copied by value from the find dialog to the search.
struct TSearchInput {
  String Text;
  uint8_t SearchType = 0;  // 0 regular expression, 1 substring, 2 exact
  bool Subtree = false;
  TRegRoot RootKey = RegRoot::None;
  String StartPath;  // ends in a backslash; "\" alone for the root key
  bool KeyNames = false;
  bool ValueNames = false;
  bool StringData = false;
  bool CaseSensitive = false;
  bool ShowProgress = false;
};

// One find result.
struct TSearchHit {
  uint8_t Kind = 0;  // 1 key name, 2 value name, 3 string data
  TRegRoot RootKey = RegRoot::None;
  String Path;       // "\" + key path + "\"; "\" alone for a root key
  String ValueName;
  String Data;
};

enum : uint8_t { stRegex = 0, stSubstring = 1, stExact = 2 };
enum : uint8_t { hkKeyName = 1, hkValueName = 2, hkStringData = 3 };

extern const wchar_t* const RegexNotAnsiText;

class TSearchMatcher {
 public:
  explicit TSearchMatcher(const TSearchInput& Input);
  ~TSearchMatcher();
  TSearchMatcher(const TSearchMatcher&) = delete;
  TSearchMatcher& operator=(const TSearchMatcher&) = delete;

  // Compiles a regular expression (other types need nothing). Returns
  // false with the engine's message when the expression is refused, and
  // with RegexNotAnsiText when it holds characters the ANSI code page
  // lacks (the engine works on ANSI text).
  bool Prepare(String& ErrorMessage);
  // True when the candidate matches. The search text was upper-cased once
  // when the matcher was made; only the candidate is converted here.
  // A regular expression matches the candidate's own characters: one that
  // the ANSI code page can't carry matches exactly what a character the
  // expression doesn't name matches (".", a negated class, "\W"), never a
  // character of the expression (the "?" the conversion would put in its
  // place, say) nor a class that lists characters.
  // Execution errors of the expression engine raise ERegex.
  bool Matches(const String& Candidate);

 private:
  // The candidate in ANSI bytes; each character the code page can't carry
  // takes a zero byte, its place and its key going to aliens_.
  void ToAnsi(const String& Candidate, std::string& Out);
  bool RegexMatches(const String& Candidate);
  // The bytes that the expression names nowhere (as itself, in a class or
  // range, by an escape or in either case) and that no built-in class or
  // line separator holds: what a character unknown to the code page
  // stands as, in the order they are taken.
  void ChooseStandIns(const AnsiString& Expression);
  uint8_t type_;
  bool caseSensitive_;
  String text_;  // upper-cased unless case-sensitive
  bool ansiExpression_ = true;
  std::unique_ptr<TRegex> regex_;
  std::string standIns_;
  // Each character above ASCII met so far: its ANSI bytes, empty for one
  // the code page can't carry (or only as another character), and then its
  // key (below).
  struct TAnsiChar {
    std::string Bytes;
    uint32_t Key = 0;
  };
  std::unordered_map<wchar_t, TAnsiChar> ansi_;
  // Where the candidate's unknown characters are, each with its key (its
  // code point, upper-cased unless the search is case-sensitive).
  std::vector<std::pair<size_t, uint32_t>> aliens_;
};
