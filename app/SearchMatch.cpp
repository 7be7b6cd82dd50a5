#include "app/SearchMatch.h"

#include "Libraries/regex/RegExpr.h"

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
    // The stand-ins: a control byte and a byte above ASCII without a case,
    // far apart so that no narrow class or escape names both, neither a
    // line separator nor in the expression.
    const AnsiString& separators = regex_->GetLineSeparators();
    auto usable = [&](unsigned c) {
      const char b = static_cast<char>(c);
      return expression.find(b) == AnsiString::npos && separators.find(b) == AnsiString::npos &&
             TRegex::InvertCaseFunction(b) == b;
    };
    for (unsigned c = 0x01; c < 0x20; ++c)
      if ((c < 0x09 || c > 0x0D) && usable(c)) {
        stand_[0] = static_cast<char>(c);
        break;
      }
    for (unsigned c = 0xFF; c >= 0x80; --c)
      if (usable(c)) {
        stand_[1] = static_cast<char>(c);
        break;
      }
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

bool TSearchMatcher::ToAnsi(const String& Candidate, char Stand, std::string& Out) {
  Out.clear();
  Out.reserve(Candidate.size());
  bool stood = false;
  for (size_t i = 0; i < Candidate.size(); ++i) {
    const wchar_t c = Candidate[i];
    if (c < 0x80) {
      Out.push_back(static_cast<char>(c));
      continue;
    }
    // A pair of surrogates is one character, which no ANSI code page has.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < Candidate.size() && Candidate[i + 1] >= 0xDC00 &&
        Candidate[i + 1] < 0xE000) {
      ++i;
      Out.push_back(Stand);
      stood = true;
      continue;
    }
    auto it = ansi_.find(c);
    if (it == ansi_.end()) {
      // Converted alone and read back: a best fit (an "a" for an "a" with
      // a macron) or the default character fails the round trip.
      const wchar_t one[1] = {c};
      AnsiString bytes = WideToAnsi(std::wstring_view(one, 1));
      if (AnsiToWide(bytes) != std::wstring_view(one, 1)) bytes.clear();
      it = ansi_.emplace(c, std::move(bytes)).first;
    }
    if (it->second.empty()) {
      Out.push_back(Stand);
      stood = true;
    } else {
      Out += it->second;
    }
  }
  return stood;
}

bool TSearchMatcher::RegexMatches(const String& Candidate) {
  std::string text;
  if (!ToAnsi(Candidate, stand_[0], text)) return regex_->Exec(text);
  // A character the code page can't carry stands as a byte the expression
  // doesn't name. An expression that names it all the same (an escape, a
  // class of control bytes) must match with another byte in its place too,
  // so the hit never rests on what stands in for the character.
  if (!regex_->Exec(text)) return false;
  ToAnsi(Candidate, stand_[1], text);
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
