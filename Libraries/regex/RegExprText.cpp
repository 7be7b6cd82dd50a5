// TRegex: substitution, splitting, replacing, quoting, sub-expression
// listing and the program dump.
#include <cstdio>
#include <cstring>

#include "Libraries/regex/RegExpr.h"
#include "Libraries/regex/RegExprProgram.h"

using namespace regexprog;

AnsiString TRegex::Substitute(std::string_view tmpl) {
  if (!IsProgrammOk()) return AnsiString();
  if (!hasInput_) Fail(1005);
  AnsiString result;
  size_t n = tmpl.size();
  size_t i = 0;
  while (i < n) {
    char c = tmpl[i];
    if (c == '$') {
      size_t j = i + 1;
      bool braced = j < n && tmpl[j] == '{';
      if (braced) ++j;
      bool readAny = braced;
      int group = 0;
      if (j < n && tmpl[j] == '&') {
        ++j;
        readAny = true;
      } else {
        // Any number of digits; the value saturates, so it cannot overflow.
        while (j < n && tmpl[j] >= '0' && tmpl[j] <= '9') {
          if (group < 1000) group = group * 10 + (tmpl[j] - '0');
          ++j;
          readAny = true;
        }
      }
      bool valid = readAny;
      if (braced) {
        if (j < n && tmpl[j] == '}')
          ++j;
        else
          valid = false;
      }
      if (!valid) {
        result += '$';
        ++i;
        continue;
      }
      if (group < NSUBEXP) result += GetMatch(group);
      i = j;
    } else if (c == '\\' && i + 1 < n) {
      result += tmpl[i + 1];
      i += 2;
    } else {
      result += c;
      ++i;
    }
  }
  return result;
}

void TRegex::Split(std::string_view input, std::vector<AnsiString>& pieces) {
  int cur = 1;
  if (Exec(input)) {
    do {
      int at = GetMatchPos(0);
      pieces.push_back(input_.substr(size_t(cur - 1), size_t(at - cur)));
      cur = at + GetMatchLen(0);
    } while (ExecNext());
  }
  pieces.push_back(input_.substr(size_t(cur - 1)));
}

AnsiString TRegex::Replace(std::string_view input, std::string_view replacement,
                           bool useSubstitution) {
  AnsiString result;
  int cur = 1;
  if (Exec(input)) {
    do {
      int at = GetMatchPos(0);
      result.append(input_, size_t(cur - 1), size_t(at - cur));
      if (useSubstitution)
        result += Substitute(replacement);
      else
        result.append(replacement.data(), replacement.size());
      cur = at + GetMatchLen(0);
    } while (ExecNext());
  }
  result.append(input_, size_t(cur - 1), AnsiString::npos);
  return result;
}

AnsiString TRegex::DumpOp(int op) {
  static const char* const kNames[] = {
      "END",         "BOL",          "EOL",          "ANY",        "ANYOF",     "ANYBUT",
      "BRANCH",      "BACK",         "EXACTLY",      "NOTHING",    "STAR",      "PLUS",
      "ANYDIGIT",    "NOTDIGIT",     "ANYLETTER",    "NOTLETTER",  "ANYSPACE",  "NOTSPACE",
      "BRACES",      "COMMENT",      "EXACTLY/CI",   "ANYOF/CI",   "ANYBUT/CI", "LOOPENTRY",
      "LOOP",        "ANYOFTINYSET", "ANYBUTTINYSET", "ANYOFFULLSET", "BSUBEXP", "BSUBEXP/CI",
      "STARNG",      "PLUSNG",       "BRACESNG",     "LOOPNG",     "BOLML",     "EOLML",
      "ANYML",       "BOUND",        "NOTBOUND"};
  char buf[32];
  if (op >= 0 && op <= NOTBOUND) {
    std::snprintf(buf, sizeof buf, ":%s", kNames[op]);
  } else if (op > OPEN && op < CLOSE) {
    std::snprintf(buf, sizeof buf, ":OPEN[%d]", op - OPEN);
  } else if (op > CLOSE && op <= LAST_OP) {
    std::snprintf(buf, sizeof buf, ":CLOSE[%d]", op - CLOSE);
  } else {
    Fail(1011);
  }
  return buf;
}

AnsiString TRegex::Dump() {
  if (!IsProgrammOk()) return AnsiString();
  AnsiString result;
  char buf[64];
  const uint8_t* prog = program_.data();
  int32_t size = int32_t(program_.size());
  for (int32_t s = 1; s < size;) {
    const uint8_t* p = prog + s;
    uint8_t op = p[0];
    std::snprintf(buf, sizeof buf, "%2d", s);
    result += buf;
    result += DumpOp(op);
    int32_t off = ReadInt(p + 1);
    if (off == 0) {
      result += " (0)";
    } else {
      std::snprintf(buf, sizeof buf, " (%d) ", s + off);
      result += buf;
    }
    switch (op) {
      case EXACTLY:
      case EXACTLYCI:
        result += reinterpret_cast<const char*>(p + 5);
        break;
      case ANYOFTINYSET:
      case ANYBUTTINYSET:
        result.append(reinterpret_cast<const char*>(p + 5), 3);
        break;
      case BSUBEXP:
      case BSUBEXPCI:
        result += " \\" + std::to_string(p[5]);
        break;
      case ANYOFFULLSET:
        for (int c = 0; c < 256; ++c) {
          if (!InSet(p + 5, (unsigned char)c)) continue;
          if (c < 32)
            result += "#" + std::to_string(c);
          else
            result += char(c);
        }
        break;
      case BRACES:
      case BRACESNG:
        std::snprintf(buf, sizeof buf, "{%d,%d}", ReadInt(p + 5), ReadInt(p + 9));
        result += buf;
        break;
      case LOOP:
      case LOOPNG:
        std::snprintf(buf, sizeof buf, " -> (%d) {%d,%d}", s - ReadInt(p + 13), ReadInt(p + 5),
                      ReadInt(p + 9));
        result += buf;
        break;
      default:
        break;
    }
    result += "\r\n";
    if (op == END) break;
    s += NodeSize(p);
  }
  if (regStart_ != 0) {
    result += "start ";
    result += char(regStart_);
  }
  if (anchored_) result += "anchored ";
  if (regMust_ != 0) {
    result += "must have ";
    result.append(reinterpret_cast<const char*>(prog + regMust_), size_t(regMustLen_));
  }
  result += "\r\nFirstCharSet:";
  for (int c = 0; c < 256; ++c)
    if (InSet(firstCharSet_, (unsigned char)c)) result += char(c);
  result += "\r\n";
  return result;
}

AnsiString QuoteRegexMetaChars(std::string_view s) {
  static const char kMeta[] = "^$.[()|?+*\\{]}";
  AnsiString result;
  result.reserve(s.size());
  for (char c : s) {
    if (c != 0 && std::strchr(kMeta, c)) result += '\\';
    result += c;
  }
  return result;
}

int RegexSubExpressions(std::string_view expr, std::vector<TRegexSubExpression>& list,
                        bool extendedSyntax) {
  list.clear();
  int status = 0;
  int modifiers = extendedSyntax ? MaskModX : 0;
  struct Open {
    size_t item;
    size_t pos;
  };
  std::vector<Open> open;
  size_t n = expr.size();
  size_t i = 0;
  while (i < n) {
    char c = expr[i];
    switch (c) {
      case '[': {
        size_t j = i + 1;
        if (j < n && expr[j] == '^') ++j;
        if (j < n && expr[j] == ']') ++j;
        while (j < n && expr[j] != ']') j += expr[j] == '\\' ? 2 : 1;
        if (j >= n) {
          status = -int(i + 2);
          i = n;
        } else {
          i = j + 1;
        }
        break;
      }
      case '\\':
        i += 2;
        break;
      case '#':
        if (modifiers & MaskModX) {
          while (i < n && expr[i] != '\r' && expr[i] != '\n') ++i;
          while (i < n && (expr[i] == '\r' || expr[i] == '\n')) ++i;
        } else {
          ++i;
        }
        break;
      case '(':
        if (i + 1 < n && expr[i + 1] == '?') {
          size_t close = expr.find(')', i + 2);
          if (close == std::string_view::npos) {
            status = -1;
            i = n;
          } else {
            int m = modifiers;
            if (TRegex::ParseModifiersStr(expr.substr(i + 2, close - i - 2), m)) modifiers = m;
            i = close + 1;
          }
        } else {
          list.push_back(TRegexSubExpression{});
          open.push_back(Open{list.size() - 1, i});
          ++i;
        }
        break;
      case ')':
        if (!open.empty()) {
          Open o = open.back();
          open.pop_back();
          TRegexSubExpression& item = list[o.item];
          item.Text = AnsiString(expr.substr(o.pos + 1, i - o.pos - 1));
          item.Pos = int(o.pos + 1);
          item.Len = int(i - o.pos + 1);
        } else {
          status = int(i + 1);
        }
        ++i;
        break;
      default:
        ++i;
        break;
    }
  }
  if (!open.empty()) status = -1;
  if (list.empty() || !(list[0].Pos == 1 && list[0].Len == int(n)))
    list.insert(list.begin(), TRegexSubExpression{AnsiString(expr), 1, int(n)});
  return status;
}

bool ExecRegex(const AnsiString& expression, std::string_view input) {
  TRegex r;
  r.SetExpression(expression);
  return r.Exec(input);
}

void SplitRegex(const AnsiString& expression, std::string_view input,
                std::vector<AnsiString>& pieces) {
  pieces.clear();
  TRegex r;
  r.SetExpression(expression);
  r.Split(input, pieces);
}

AnsiString ReplaceRegex(const AnsiString& expression, std::string_view input,
                        std::string_view replacement, bool useSubstitution) {
  TRegex r;
  r.SetExpression(expression);
  return r.Replace(input, replacement, useSubstitution);
}
