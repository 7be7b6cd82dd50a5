// The find options, one find result, and the test of one candidate text
// against the options (exact, substring or regular expression).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

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
  // the ANSI code page can't carry matches only what any character would
  // (".", a class that leaves characters out), never a character of the
  // expression (the "?" the conversion would put in its place, say).
  // Execution errors of the expression engine raise ERegex.
  bool Matches(const String& Candidate);

 private:
  // The candidate in ANSI bytes with Stand in place of each character the
  // code page can't carry; false when there was none.
  bool ToAnsi(const String& Candidate, char Stand, std::string& Out);
  bool RegexMatches(const String& Candidate);
  uint8_t type_;
  bool caseSensitive_;
  String text_;  // upper-cased unless case-sensitive
  bool ansiExpression_ = true;
  std::unique_ptr<TRegex> regex_;
  // Two stand-ins for characters the code page can't carry.
  char stand_[2] = {'\x01', '\x80'};
  // The ANSI bytes of each character above ASCII met so far; empty for one
  // the code page can't carry (or only as another character).
  std::unordered_map<wchar_t, std::string> ansi_;
};
