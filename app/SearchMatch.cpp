#include "app/SearchMatch.h"

#include "Libraries/regex/RegExpr.h"

#include <algorithm>

TSearchMatcher::TSearchMatcher(const TSearchInput& Input)
    : type_(Input.SearchType),
      caseSensitive_(Input.CaseSensitive),
      text_(Input.CaseSensitive ? Input.Text : AnsiUpperCase(Input.Text)) {
  if (type_ == stRegex) {
    regex_ = std::make_unique<TRegex>();
    regex_->SetModifier(2, false);  // r
    regex_->SetModifier(3, false);  // s
    regex_->SetModifier(4, false);  // g
    regex_->SetModifier(5, true);   // m
    regex_->SetModifier(6, false);  // x
    regex_->SetModifier(1, !Input.CaseSensitive);  // i
    // The engine works on ANSI text: an expression that doesn't fit is
    // refused by Prepare rather than searched for with "?" in its place.
    ansiExpression_ = FitsAnsi(Input.Text);
    const AnsiString expression = WideToAnsi(Input.Text);
    regex_->SetExpression(expression);
    ChooseStandIns(expression);
  }
}

TSearchMatcher::~TSearchMatcher() = default;

const wchar_t* const RegexNotAnsiText =
    L"The expression holds characters that the ANSI code page does not have.  A regular-expression search "
    L"works on ANSI text, where they would turn into question marks: search for such text by substring or "
    L"exact match instead.";

bool TSearchMatcher::Prepare(String& ErrorMessage) {
  if (type_ != stRegex) return true;
  if (!ansiExpression_) {
    ErrorMessage = RegexNotAnsiText;
    return false;
  }
  try {
    regex_->Compile();
    return true;
  } catch (const ERegex& e) {
    const int code = regex_->LastError();
    ErrorMessage = code ? regex_->ErrorMsg(code) : e.Message();
    return false;
  }
}

void TSearchMatcher::ChooseStandIns(const AnsiString& Expression) {
  // Every byte the expression names, or may name: its own bytes, what its
  // escapes stand for, and all between the two ends of anything that reads
  // as a range ("a-z", "\x00-\x1F"), wherever it stands. Naming too many
  // only narrows the choice.
  bool named[256] = {};
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  struct TUnit {
    int Code;  // the byte it stands for; -1 for a class or an assertion
    bool Dash;
  };
  std::vector<TUnit> units;
  for (size_t i = 0; i < Expression.size();) {
    const unsigned char c = static_cast<unsigned char>(Expression[i++]);
    named[c] = true;
    if (c != '\\' || i == Expression.size()) {
      units.push_back({c, c == '-'});
      continue;
    }
    const char e = Expression[i++];
    named[static_cast<unsigned char>(e)] = true;
    int code = static_cast<unsigned char>(e);
    switch (e) {
      case 't': code = 9; break;
      case 'n': code = 10; break;
      case 'r': code = 13; break;
      case 'f': code = 12; break;
      case 'a': code = 7; break;
      case 'e': code = 27; break;
      case 'd': case 'D': case 's': case 'S': case 'w': case 'W': case 'b': case 'B': case 'A': case 'Z':
        code = -1;
        break;
      case 'x': {
        code = 0;
        const bool braced = i < Expression.size() && Expression[i] == '{';
        if (braced) ++i;
        for (int n = 0; i < Expression.size() && hex(Expression[i]) >= 0 && (braced || n < 2); ++n)
          code = (code * 16 + hex(Expression[i++])) & 0xFF;
        if (braced && i < Expression.size() && Expression[i] == '}') ++i;
        break;
      }
      default: break;
    }
    if (code >= 0) named[code] = true;
    units.push_back({code, false});
  }
  for (size_t k = 1; k + 1 < units.size(); ++k) {
    if (!units[k].Dash || units[k - 1].Code < 0 || units[k + 1].Code < 0) continue;
    int lo = std::min(units[k - 1].Code, units[k + 1].Code), hi = std::max(units[k - 1].Code, units[k + 1].Code);
    if (hi >= 0xC0) {
      // Modifier r widens the Cyrillic letter ranges of code page 1251.
      lo = std::min(lo, 0xC0);
      hi = 0xFF;
      named[0xA8] = named[0xB8] = true;
    }
    for (int b = lo; b <= hi; ++b) named[b] = true;
  }
  TRegexInvertCaseFunction invert = regex_->GetInvertCase();
  if (!invert) invert = &TRegex::InvertCaseFunction;
  bool upper[256] = {};
  for (int b = 0; b < 256; ++b)
    if (named[b]) upper[static_cast<unsigned char>(invert(static_cast<char>(b)))] = true;
  // Nor what a built-in class or an anchor names: digits, spaces, word
  // characters, line separators; nor a letter, which the other case of
  // another stand-in could match.
  for (const AnsiString* list : {&regex_->GetSpaceChars(), &regex_->GetWordChars(), &regex_->GetLineSeparators()})
    for (char b : *list) named[static_cast<unsigned char>(b)] = true;
  for (char b : regex_->GetLinePairedSeparator()) named[static_cast<unsigned char>(b)] = true;
  for (int b = '0'; b <= '9'; ++b) named[b] = true;
  named[0] = true;  // ends the engine's input
  // Control bytes first, then bytes above ASCII, then punctuation: the
  // order in which text is less likely to hold them.
  auto take = [&](int From, int To) {
    for (int b = From; b < To; ++b) {
      const char ch = static_cast<char>(b);
      if (!named[b] && !upper[b] && invert(ch) == ch) standIns_.push_back(ch);
    }
  };
  take(0x01, 0x20);
  take(0x7F, 0x100);
  take(0x20, 0x7F);
}

void TSearchMatcher::ToAnsi(const String& Candidate, std::string& Out) {
  Out.clear();
  Out.reserve(Candidate.size());
  aliens_.clear();
  for (size_t i = 0; i < Candidate.size(); ++i) {
    const wchar_t c = Candidate[i];
    if (c < 0x80) {
      Out.push_back(static_cast<char>(c));
      continue;
    }
    // A pair of surrogates is one character, which no ANSI code page has.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < Candidate.size() && Candidate[i + 1] >= 0xDC00 &&
        Candidate[i + 1] < 0xE000) {
      aliens_.emplace_back(Out.size(), 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (Candidate[i + 1] - 0xDC00));
      Out.push_back('\0');
      ++i;
      continue;
    }
    auto it = ansi_.find(c);
    if (it == ansi_.end()) {
      // Converted alone and read back: a best fit (an "a" for an "a" with
      // a macron) or the default character fails the round trip.
      const String one(1, c);
      TAnsiChar a;
      a.Bytes = WideToAnsi(one);
      if (AnsiToWide(a.Bytes) != one) {
        a.Bytes.clear();
        const String key = caseSensitive_ ? one : AnsiUpperCase(one);
        a.Key = key.size() == 1 ? key[0] : c;
      }
      it = ansi_.emplace(c, std::move(a)).first;
    }
    if (it->second.Bytes.empty()) {
      aliens_.emplace_back(Out.size(), it->second.Key);
      Out.push_back('\0');
    } else {
      Out += it->second.Bytes;
    }
  }
}

bool TSearchMatcher::RegexMatches(const String& Candidate) {
  std::string text;
  ToAnsi(Candidate, text);
  if (aliens_.empty()) return regex_->Exec(text);
  // An expression that names every byte leaves a character it can't name
  // nothing to match as.
  if (standIns_.empty()) return false;
  // The same character stands as the same byte, different ones as
  // different bytes (a back-reference tells them apart), each a byte that
  // the candidate's own text doesn't hold while there are such.
  bool used[256] = {};
  for (char b : text) used[static_cast<unsigned char>(b)] = true;
  std::unordered_map<uint32_t, char> given;
  size_t next = 0;
  for (const auto& [pos, key] : aliens_) {
    auto it = given.find(key);
    if (it == given.end()) {
      while (next < standIns_.size() && used[static_cast<unsigned char>(standIns_[next])]) ++next;
      const char b = next < standIns_.size() ? standIns_[next++] : standIns_[given.size() % standIns_.size()];
      it = given.emplace(key, b).first;
    }
    text[pos] = it->second;
  }
  return regex_->Exec(text);
}

bool TSearchMatcher::Matches(const String& Candidate) {
  switch (type_) {
    case stRegex:
      // Modifier i makes the expression match either case.
      return RegexMatches(Candidate);
    case stSubstring:
      if (text_.empty()) return false;
      if (caseSensitive_) return Candidate.find(text_) != String::npos;
      return AnsiUpperCase(Candidate).find(text_) != String::npos;
    case stExact:
      if (caseSensitive_) return Candidate == text_;
      if (Candidate.size() != text_.size()) return false;
      return AnsiUpperCase(Candidate) == text_;
    default:
      return false;
  }
}
