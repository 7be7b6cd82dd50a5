// Helpers shared by the engine's tests.
#pragma once

#include <string>

#include "Libraries/regex/RegExpr.h"

namespace regextest {

// The error raised by compiling `expr` with `modifiers` applied (0 = none).
struct CompileFailure {
  int code = 0;
  int pos = 0;
  std::string message;
};

inline CompileFailure CompileError(const AnsiString& expr, const char* modifiers = nullptr) {
  TRegex r;
  if (modifiers) r.SetModifierStr(modifiers);
  r.SetExpression(expr);
  try {
    r.Compile();
  } catch (const ERegex& e) {
    return CompileFailure{e.ErrorCode, e.CompilerErrorPos, WideToUtf8(e.Message())};
  }
  return CompileFailure{};
}

// Position and length of the first match (-1, -1 when none).
struct Found {
  int pos = -1;
  int len = -1;
  bool operator==(const Found& o) const { return pos == o.pos && len == o.len; }
};

inline Found Find(const AnsiString& expr, const AnsiString& input, const char* modifiers = nullptr) {
  TRegex r;
  if (modifiers) r.SetModifierStr(modifiers);
  r.SetExpression(expr);
  if (!r.Exec(input)) return Found{};
  return Found{r.GetMatchPos(0), r.GetMatchLen(0)};
}

inline std::ostream& operator<<(std::ostream& os, const Found& f) {
  return os << "{pos " << f.pos << ", len " << f.len << "}";
}

}  // namespace regextest
