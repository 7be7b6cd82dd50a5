// The find options, one find result, and the test of one candidate text
// against the options (exact, substring or regular expression).
#pragma once

#include <cstdint>
#include <memory>

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
  // Execution errors of the expression engine raise ERegex.
  bool Matches(const String& Candidate);

 private:
  uint8_t type_;
  bool caseSensitive_;
  String text_;  // upper-cased unless case-sensitive
  bool ansiExpression_ = true;
  std::unique_ptr<TRegex> regex_;
};
