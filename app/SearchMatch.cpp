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
    regex_->SetExpression(WideToAnsi(Input.Text));
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

bool TSearchMatcher::Matches(const String& Candidate) {
  switch (type_) {
    case stRegex:
      // Modifier i makes the expression match either case.
      return regex_->Exec(WideToAnsi(Candidate));
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
