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
    regex_->SetExpression(WideToAnsi(Input.Text));
  }
}

TSearchMatcher::~TSearchMatcher() = default;

bool TSearchMatcher::Prepare(String& ErrorMessage) {
  if (type_ != stRegex) return true;
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
