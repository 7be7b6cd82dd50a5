// Compiles random expressions with random modifiers and runs them, with
// every text operation, against random inputs. Engine errors are expected;
// crashes, hangs and sanitizer reports are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Libraries/regex/RegExpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // Byte 0: modifiers; then the expression up to the first 0xFF byte; the
  // rest is the input.
  int modifiers = data[0] & 63;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t cut = rest.find('\xFF');
  std::string expr = cut == std::string::npos ? rest : rest.substr(0, cut);
  std::string input = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
  if (expr.size() > 512 || input.size() > 4096) return 0;

  TRegex r;
  r.SetStepLimit(200000);  // keeps exponential expressions quick
  for (int i = 0; i < 6; ++i) r.SetModifier(i + 1, (modifiers >> i) & 1);
  r.SetExpression(expr);
  try {
    r.Compile();
    r.Dump();
    if (r.Exec(input)) {
      r.Substitute("$0 ${1} $2\\$ $&");
      for (int n = 0; n < 4 && r.ExecNext(); ++n) {
      }
    }
    r.Replace(input, "<$1>", true);
    std::vector<AnsiString> pieces;
    if (expr.size() < 64) r.Split(input, pieces);
  } catch (const ERegex&) {
  }
  std::vector<TRegexSubExpression> list;
  RegexSubExpressions(expr, list, modifiers & 32);
  QuoteRegexMetaChars(expr);
  return 0;
}
