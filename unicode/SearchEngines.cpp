#include "unicode/SearchEngines.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "unicode/UnicodeTables.h"

namespace {

bool IsBreak(UCS4 c) { return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029; }

// What the fixed-pattern search takes for a blank, in the pattern and in the
// text alike: white space, line breaks and other control characters. Blanks
// also end words.
bool IsBlank(UCS4 c) { return UnicodeIsWhiteSpace(c) || UnicodeIsControl(c) || IsBreak(c); }

// The character whose last unit is at index End (a pair when End holds its
// second half); First receives the index of its first unit. Reads nothing
// before Low.
UCS4 CharEndingAt(const WideChar* text, int end, int low, int& first) {
  UCS4 c = text[end];
  first = end;
  if (IsLowSurrogate(c) && end - 1 >= low && IsHighSurrogate(text[end - 1])) {
    c = JoinSurrogates(text[end - 1], c);
    first = end - 1;
  }
  return c;
}

// The character starting at index At; Next receives the index after it.
UCS4 CharAt(const WideChar* text, int len, int at, int& next) {
  UCS4 c = text[at];
  next = at + 1;
  if (IsHighSurrogate(c) && next < len && IsLowSurrogate(text[next])) {
    c = JoinSurrogates(c, text[next]);
    ++next;
  }
  return c;
}

}  // namespace

// --- TSearchEngine ----------------------------------------------------------

TSearchEngine::TSearchEngine(TWideStrings* AOwner) : owner_(AOwner) {}
TSearchEngine::~TSearchEngine() = default;

int TSearchEngine::GetCount() const { return static_cast<int>(results_.size() / 2); }

void TSearchEngine::AddResult(int Start, int Stop) {
  results_.push_back(Start);
  results_.push_back(Stop);
}

void TSearchEngine::Clear() { ClearResults(); }

void TSearchEngine::ClearResults() { results_.clear(); }

void TSearchEngine::DeleteResult(int Index) {
  if (Index < 0 || Index >= GetCount())
    throw EListError(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  results_.erase(results_.begin() + 2 * Index, results_.begin() + 2 * Index + 2);
}

void TSearchEngine::GetResult(int Index, int& Start, int& Stop) const {
  if (Index < 0 || Index >= GetCount())
    throw EListError(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  Start = results_[2 * static_cast<std::size_t>(Index)];
  Stop = results_[2 * static_cast<std::size_t>(Index) + 1];
}

// --- TUTBMSearch ----------------------------------------------------------------

TUTBMSearch::TUTBMSearch(TWideStrings* AOwner) : TSearchEngine(AOwner) {}

void TUTBMSearch::Clear() {
  pattern_.clear();
  skip_.clear();
  patternLength_ = 0;
  fixedLength_ = true;
  TSearchEngine::Clear();
}

void TUTBMSearch::FindPrepare(const WideString& Pattern, TSearchFlags Options) {
  FindPrepare(Pattern.data(), static_cast<int>(std::min<std::size_t>(Pattern.size(), 0x7FFFFFFF)),
              Options);
}

void TUTBMSearch::FindPrepare(const WideChar* Pattern, int PatternLength, TSearchFlags Options) {
  Clear();
  flags_ = Options;
  if (!Pattern || PatternLength <= 0) return;
  bool caseSensitive = Options.Contains(sfCaseSensitive);
  bool ignoreMarks = Options.Contains(sfIgnoreNonSpacing);
  bool compress = Options.Contains(sfSpaceCompress);
  std::vector<int> unitsBefore;
  int units = 0;
  bool haveSpace = false;
  for (int i = 0; i < PatternLength;) {
    UCS4 c = CharAt(Pattern, PatternLength, i, i);
    if (ignoreMarks && UnicodeIsNonSpacing(c)) continue;
    if (compress && IsBlank(c)) {
      if (!haveSpace) {
        pattern_.push_back({u' ', u' ', u' '});
        unitsBefore.push_back(units);
        ++units;
        haveSpace = true;
      }
      continue;
    }
    haveSpace = false;
    if (caseSensitive)
      pattern_.push_back({c, c, c});
    else
      pattern_.push_back({UnicodeToLower(c), UnicodeToUpper(c), UnicodeToTitle(c)});
    unitsBefore.push_back(units);
    units += c > 0xFFFF ? 2 : 1;
  }
  patternLength_ = units;
  fixedLength_ = !ignoreMarks && !compress;
  // Shift for a text character that lines up with pattern character k:
  // the distance from k's last unit to the pattern's last unit.
  for (std::size_t k = 0; k + 1 < pattern_.size(); ++k) {
    int width = (k + 1 < unitsBefore.size() ? unitsBefore[k + 1] : units) - unitsBefore[k];
    int distance = units - unitsBefore[k] - width;
    for (UCS4 form : {pattern_[k].LowerCase, pattern_[k].UpperCase, pattern_[k].TitleCase}) {
      auto it = skip_.find(form);
      if (it == skip_.end() || it->second > distance) skip_[form] = distance;
    }
  }
  for (UCS4 c = 0; c < 256; ++c) {
    auto it = skip_.find(c);
    lowSkip_[c] = it == skip_.end() ? units : it->second;
  }
}

int TUTBMSearch::Shift(UCS4 c) const {
  if (c < 256) return lowSkip_[c];
  auto it = skip_.find(c);
  return it == skip_.end() ? patternLength_ : it->second;
}

bool TUTBMSearch::Match(const WideChar* Text, int TextLen, int From, int End, int& Start,
                        int& Stop) const {
  bool ignoreMarks = flags_.Contains(sfIgnoreNonSpacing);
  bool compress = flags_.Contains(sfSpaceCompress);
  bool wholeWord = flags_.Contains(sfWholeWordOnly);
  if (wholeWord && End + 1 < TextLen) {
    int next;
    if (!IsBlank(CharAt(Text, TextLen, End + 1, next))) return false;
  }
  int t = End;
  int k = static_cast<int>(pattern_.size()) - 1;
  while (k >= 0) {
    if (t < From) return false;
    int first;
    UCS4 c = CharEndingAt(Text, t, From, first);
    if (ignoreMarks && UnicodeIsNonSpacing(c)) {
      t = first - 1;
      continue;
    }
    if (compress && IsBlank(c)) {
      if (pattern_[static_cast<std::size_t>(k)].UpperCase != u' ') return false;
      t = first - 1;
      while (t >= From) {
        UCS4 d = CharEndingAt(Text, t, From, first);
        if (!IsBlank(d)) break;
        t = first - 1;
      }
      --k;
      continue;
    }
    const PatternChar& p = pattern_[static_cast<std::size_t>(k)];
    if (c != p.LowerCase && c != p.UpperCase && c != p.TitleCase) return false;
    --k;
    t = first - 1;
  }
  Start = t + 1;
  if (wholeWord && Start > 0) {
    int first;
    if (!IsBlank(CharEndingAt(Text, Start - 1, 0, first))) return false;
  }
  Stop = End + 1;
  return true;
}

bool TUTBMSearch::Find(const WideChar* Text, int TextLen, int From, int& Start, int& Stop) const {
  if (pattern_.empty() || !Text || TextLen <= 0) return false;
  int end = fixedLength_ ? From + patternLength_ - 1 : From;
  while (end < TextLen) {
    // A candidate ends on the last unit of a character.
    if (IsHighSurrogate(Text[end]) && end + 1 < TextLen && IsLowSurrogate(Text[end + 1])) ++end;
    int first;
    UCS4 c = CharEndingAt(Text, end, From, first);
    const PatternChar& last = pattern_.back();
    bool candidate = !fixedLength_ || c == last.LowerCase || c == last.UpperCase ||
                     c == last.TitleCase;
    if (candidate && Match(Text, TextLen, From, end, Start, Stop)) return true;
    if (fixedLength_) {
      end += Shift(c);
    } else {
      ++end;
    }
  }
  return false;
}

bool TUTBMSearch::FindFirst(const WideString& Text, int& Start, int& Stop) {
  return FindFirst(Text.data(), static_cast<int>(std::min<std::size_t>(Text.size(), 0x7FFFFFFF)),
                   Start, Stop);
}

bool TUTBMSearch::FindFirst(const WideChar* Text, int TextLen, int& Start, int& Stop) {
  ClearResults();
  int s, e;
  if (!Find(Text, TextLen, 0, s, e)) return false;
  AddResult(s, e);
  Start = s;
  Stop = e;
  return true;
}

bool TUTBMSearch::FindAll(const WideString& Text) {
  return FindAll(Text.data(), static_cast<int>(std::min<std::size_t>(Text.size(), 0x7FFFFFFF)));
}

bool TUTBMSearch::FindAll(const WideChar* Text, int TextLen) {
  ClearResults();
  int from = 0, s, e;
  while (from < TextLen && Find(Text, TextLen, from, s, e)) {
    AddResult(s, e);
    from = e > from ? e : from + 1;
  }
  return GetCount() > 0;
}

// --- TURESearch: compiler -----------------------------------------------------

namespace {

// Category of each of the 32 property bits of "\p" lists and classes.
const unsigned kPropertyCategory[32] = {0,  1,  3,  5,  6,  7,  8,  9,  12, 14, 15,
                                        16, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27,
                                        28, 29, 30, 32, 33, 34, 35, 36, 37, 38};

std::uint32_t PropertyBitOf(unsigned category) {
  for (unsigned b = 0; b < 32; ++b)
    if (kPropertyCategory[b] == category) return 1u << b;
  return 0;
}

std::uint32_t PropertyBits(std::initializer_list<unsigned> categories) {
  std::uint32_t m = 0;
  for (unsigned c : categories) m |= PropertyBitOf(c);
  return m;
}

bool HasProperty(UCS4 c, std::uint32_t properties) {
  std::uint32_t m1 = 0, m2 = 0;
  for (unsigned b = 0; b < 32; ++b)
    if ((properties >> b) & 1u) {
      unsigned k = kPropertyCategory[b];
      if (k < 32)
        m1 |= 1u << k;
      else
        m2 |= 1u << (k - 32);
    }
  return UnicodeTables().IsProperty(c, m1, m2);
}

int HexValue(WideChar c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

const wchar_t kUnexpectedEnd[] = L"Unexpected end of pattern.";
const wchar_t kClassNotClosed[] = L"Character class not closed, ']' is missing.";
const wchar_t kUnbalancedGroup[] = L"Unbalanced group expression, ')' is missing.";
const wchar_t kInvalidProperty[] = L"A character property is invalid";
const wchar_t kInvalidRange[] = L"Invalid repeation range.";
const wchar_t kRangeNotClosed[] = L"Repeation range not closed, '}' is missing.";
const wchar_t kTooComplex[] = L"Expression is too complex.";

}  // namespace

class TURESearch::Compiler {
 public:
  Compiler(const WideChar* pattern, int length, bool caseInsensitive)
      : p_(pattern), n_(length), ci_(caseInsensitive) {}

  void CompileURE(TURESearch& engine) {
    empty_ = Make(ekEmpty, 0, 0);
    int root = ConvertRE2NFA();
    if (pos_ < n_) Fail(kUnbalancedGroup);  // a ")" without "("
    if (root == empty_) throw Exception(String(L"Expression is empty."));
    Reduce(root);
    MergeEquivalents();
    engine.symbols_ = std::move(symbols_);
    engine.states_ = std::move(finalStates_);
    engine.transitions_ = std::move(finalTransitions_);
    engine.anchorsOnly_ = anchorsOnly_;
  }

 private:
  [[noreturn]] void Fail(const wchar_t* text) const {
    String message = L"Error in regular expression: ";
    message += ToString(std::u16string_view(p_, static_cast<std::size_t>(n_)));
    message += L"\r";
    message += text;
    throw Exception(message);
  }

  int Make(int kind, int left, int right) {
    auto key = std::make_tuple(kind, left, right);
    auto it = exprIndex_.find(key);
    if (it != exprIndex_.end()) return it->second;
    if (static_cast<int>(exprs_.size()) >= kMaxExpressions) Fail(kTooComplex);
    exprs_.push_back({kind, left, right});
    int id = static_cast<int>(exprs_.size()) - 1;
    exprIndex_.emplace(key, id);
    return id;
  }

  int AddSymbol(TSymbolTableEntry s) {
    if (s.Kind != skLineStart && s.Kind != skLineEnd) anchorsOnly_ = false;
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
      const TSymbolTableEntry& o = symbols_[i];
      if (o.Kind == s.Kind && o.Properties == s.Properties && o.Code == s.Code &&
          o.Ranges == s.Ranges && o.Lacks == s.Lacks)
        return static_cast<int>(i);
    }
    symbols_.push_back(std::move(s));
    return static_cast<int>(symbols_.size()) - 1;
  }

  // --- parsing

  bool At(WideChar c) const { return pos_ < n_ && p_[pos_] == c; }

  // The whole pattern as one expression (alternations of concatenations
  // of repeated atoms).
  int ConvertRE2NFA() { return ParseAlternation(0); }

  int ParseAlternation(int depth) {
    std::vector<int> branches{ParseConcat(depth)};
    while (At(u'|')) {
      ++pos_;
      branches.push_back(ParseConcat(depth));
    }
    int e = branches.back();
    for (int i = static_cast<int>(branches.size()) - 2; i >= 0; --i)
      e = Make(ekAlternation, branches[static_cast<std::size_t>(i)], e);
    return e;
  }

  int ParseConcat(int depth) {
    std::vector<int> items;
    while (pos_ < n_ && p_[pos_] != u'|' && p_[pos_] != u')') {
      int e = ParseRepeat(depth);
      if (e != empty_) items.push_back(e);
    }
    if (items.empty()) return empty_;
    int e = items.back();
    for (int i = static_cast<int>(items.size()) - 2; i >= 0; --i)
      e = Make(ekConcat, items[static_cast<std::size_t>(i)], e);
    return e;
  }

  int ParseRepeat(int depth) {
    int e = ParseAtom(depth);
    for (;;) {
      if (At(u'*'))
        e = Make(ekStar, e, 0);
      else if (At(u'+'))
        e = Make(ekPlus, e, 0);
      else if (At(u'?'))
        e = Make(ekOptional, e, 0);
      else if (At(u'{')) {
        e = ParseRange(e);
        continue;
      } else
        break;
      ++pos_;
    }
    return e;
  }

  int ParseAtom(int depth) {
    if (At(u'(')) {
      if (depth >= kMaxDepth) Fail(kTooComplex);
      ++pos_;
      int e = ParseAlternation(depth + 1);
      if (!At(u')')) Fail(kUnbalancedGroup);
      ++pos_;
      return e;
    }
    return Make(ekSymbol, AddSymbol(CompileSymbol()), 0);
  }

  void SkipBlanks() {
    while (At(u' ')) ++pos_;
  }

  // Reads a decimal number; -1 when there are no digits.
  int ReadCount() {
    int value = -1;
    while (pos_ < n_ && p_[pos_] >= u'0' && p_[pos_] <= u'9') {
      value = (value < 0 ? 0 : value) * 10 + (p_[pos_] - u'0');
      if (value > kMaxRepeat) Fail(kInvalidRange);
      ++pos_;
    }
    return value;
  }

  int Repeat(int e, int count) {
    if (count <= 0) return empty_;
    int r = e;
    for (int i = 1; i < count; ++i) r = Make(ekConcat, e, r);
    return r;
  }

  int Join(int left, int right) {
    if (left == empty_) return right;
    if (right == empty_) return left;
    return Make(ekConcat, left, right);
  }

  int ParseRange(int e) {
    ++pos_;  // "{"
    SkipBlanks();
    int low = ReadCount();
    SkipBlanks();
    if (pos_ >= n_) Fail(kRangeNotClosed);
    bool comma = false;
    int high = -1;
    if (At(u',')) {
      comma = true;
      ++pos_;
      SkipBlanks();
      high = ReadCount();
      SkipBlanks();
      if (pos_ >= n_) Fail(kRangeNotClosed);
    }
    if (!At(u'}') || low < 0) Fail(kInvalidRange);
    ++pos_;
    if (!comma) return Repeat(e, low);
    if (high <= 0) {  // n or more
      if (low == 0) return Make(ekStar, e, 0);
      return Join(Repeat(e, low - 1), Make(ekPlus, e, 0));
    }
    if (low > high) Fail(kInvalidRange);
    int optional = empty_;
    for (int i = 0; i < high - low; ++i)
      optional = Make(ekOptional, optional == empty_ ? e : Make(ekConcat, e, optional), 0);
    return Join(Repeat(e, low), optional);
  }

  // Follows a high surrogate with a low one given directly or as a
  // four-digit escape.
  UCS4 JoinLowSurrogate(UCS4 c) {
    if (!IsHighSurrogate(c)) return c;
    if (pos_ < n_ && IsLowSurrogate(p_[pos_])) return JoinSurrogates(c, p_[pos_++]);
    if (pos_ + 5 < n_ && p_[pos_] == u'\\' &&
        (p_[pos_ + 1] == u'u' || p_[pos_ + 1] == u'U' || p_[pos_ + 1] == u'x' ||
         p_[pos_ + 1] == u'X')) {
      UCS4 v = 0;
      for (int k = 2; k < 6; ++k) {
        int h = HexValue(p_[pos_ + k]);
        if (h < 0) return c;
        v = v * 16 + static_cast<UCS4>(h);
      }
      if (IsLowSurrogate(v)) {
        pos_ += 6;
        return JoinSurrogates(c, v);
      }
    }
    return c;
  }

  // Reads a property list after "\p" or "\P".
  std::uint32_t ReadProperties() {
    std::uint32_t mask = 0;
    for (;;) {
      if (pos_ >= n_ || p_[pos_] < u'0' || p_[pos_] > u'9') break;
      int value = 0;
      while (pos_ < n_ && p_[pos_] >= u'0' && p_[pos_] <= u'9') {
        value = value * 10 + (p_[pos_] - u'0');
        if (value > 32) Fail(kInvalidProperty);
        ++pos_;
      }
      if (value < 1) Fail(kInvalidProperty);
      mask |= 1u << (value - 1);
      if (!(At(u',') && pos_ + 1 < n_ && p_[pos_ + 1] >= u'0' && p_[pos_ + 1] <= u'9')) break;
      ++pos_;
    }
    return mask;
  }

  // After a backslash: the code of a character escape. Returns false with
  // the property mask in Properties (and Negated) for "\p" and "\P".
  bool ReadEscape(UCS4& code, std::uint32_t& properties, bool& negated, bool inClass) {
    if (pos_ >= n_) Fail(kUnexpectedEnd);
    WideChar c = p_[pos_++];
    switch (c) {
      case u'a': code = 7; return true;
      case u'b': code = 8; return true;
      case u'f': code = 12; return true;
      case u'n': code = 10; return true;
      case u'r': code = 13; return true;
      case u't': code = 9; return true;
      case u'v': code = 11; return true;
      case u'R':
        if (inClass) {
          code = 13;
          return true;
        }
        code = c;
        return true;
      case u'x': case u'X': case u'u': case u'U': {
        UCS4 v = 0;
        int digits = 0;
        while (digits < 4 && pos_ < n_ && HexValue(p_[pos_]) >= 0) {
          v = v * 16 + static_cast<UCS4>(HexValue(p_[pos_++]));
          ++digits;
        }
        code = digits ? JoinLowSurrogate(v) : c;
        return true;
      }
      case u'p': case u'P':
        properties = ReadProperties();
        negated = c == u'P';
        return false;
      default:
        code = JoinLowSurrogate(c);
        return true;
    }
  }

  UCS4 Fold(UCS4 c) const { return ci_ ? UnicodeToLower(c) : c; }

  TSymbolTableEntry CompileSymbol() {
    TSymbolTableEntry s;
    WideChar c = p_[pos_++];
    switch (c) {
      case u'.': s.Kind = skAny; return s;
      case u'^': s.Kind = skLineStart; return s;
      case u'$': s.Kind = skLineEnd; return s;
      case u'[': BuildCharacterClass(s); return s;
      case u'\\': {
        UCS4 code = 0;
        std::uint32_t props = 0;
        bool negated = false;
        if (ReadEscape(code, props, negated, false)) {
          s.Kind = skLiteral;
          s.Code = Fold(code);
        } else {
          s.Kind = negated ? skNegatedClass : skClass;
          s.Properties = props;
        }
        return s;
      }
      default:
        s.Kind = skLiteral;
        s.Code = Fold(JoinLowSurrogate(c));
        return s;
    }
  }

  void AddRange(TSymbolTableEntry& s, UCS4 a, UCS4 b) {
    a = Fold(a);
    b = Fold(b);
    if (a > b) std::swap(a, b);
    Range r{a, b};
    auto it = std::lower_bound(s.Ranges.begin(), s.Ranges.end(), r);
    if (it != s.Ranges.end() && *it == r) return;
    s.Ranges.insert(it, r);
  }

  // ":name:" (or "[:name:]") inside a class.
  bool ReadPosixClass(TSymbolTableEntry& s) {
    static const struct {
      const char16_t* Name;
      int Id;
    } kNames[] = {{u"alnum", 0}, {u"alpha", 1}, {u"cntrl", 2}, {u"digit", 3},
                  {u"graph", 4}, {u"lower", 5}, {u"print", 6}, {u"punct", 7},
                  {u"space", 8}, {u"upper", 9}, {u"xdigit", 10}};
    int at = pos_;
    bool bracket = false;
    if (p_[at] == u'[' && at + 1 < n_ && p_[at + 1] == u':') {
      bracket = true;
      ++at;
    }
    if (p_[at] != u':') return false;
    for (const auto& entry : kNames) {
      std::u16string_view name(entry.Name);
      int len = static_cast<int>(name.size());
      int end = at + 1 + len;  // the closing colon
      if (end + (bracket ? 1 : 0) >= n_) continue;
      if (std::u16string_view(p_ + at + 1, static_cast<std::size_t>(len)) != name ||
          p_[end] != u':' || (bracket && p_[end + 1] != u']'))
        continue;
      pos_ = end + 1 + (bracket ? 1 : 0);
      const std::uint32_t letters = PropertyBits({14, 15, 16, 17, 18});
      const std::uint32_t graph = PropertyBits({0, 1, 3, 5, 14, 15, 16, 17, 18, 20, 21, 22,
                                                23, 24, 25, 26, 27});
      switch (entry.Id) {
        case 0: s.Properties |= letters | PropertyBits({3}); break;
        case 1: s.Properties |= letters; break;
        case 2: s.Properties |= PropertyBits({9}); break;
        case 3: s.Properties |= PropertyBits({3}); break;
        case 4: s.Properties |= graph; break;
        case 5: s.Properties |= PropertyBits({15}); break;
        case 6: s.Properties |= graph | PropertyBits({6}); break;
        case 7: s.Properties |= PropertyBits({20, 21, 22, 23}); break;
        case 8:
          s.Properties |= PropertyBits({6, 7, 8});
          for (UCS4 c : {UCS4(9), UCS4(10), UCS4(12), UCS4(13), UCS4(0xFEFF)}) AddRange(s, c, c);
          break;
        case 9: s.Properties |= PropertyBits({14}); break;
        case 10:
          AddRange(s, u'0', u'9');
          AddRange(s, u'A', u'F');
          AddRange(s, u'a', u'f');
          break;
      }
      return true;
    }
    return false;
  }

  void BuildCharacterClass(TSymbolTableEntry& s) {
    s.Kind = skClass;
    if (At(u'^')) {
      s.Kind = skNegatedClass;
      ++pos_;
    }
    bool holdsAny = false;
    for (;;) {
      if (pos_ >= n_) Fail(kClassNotClosed);
      WideChar c = p_[pos_];
      if (c == u']' && holdsAny) {
        ++pos_;
        return;
      }
      if ((c == u':' || c == u'[') && ReadPosixClass(s)) {
        holdsAny = true;
        continue;
      }
      UCS4 first;
      if (!ReadMember(s, first)) {
        holdsAny = true;
        continue;
      }
      UCS4 last = first;
      if (pos_ + 1 < n_ && p_[pos_] == u'-' && p_[pos_ + 1] != u']') {
        int save = pos_;
        ++pos_;
        UCS4 second;
        if (ReadMember(s, second, true)) {
          last = second;
        } else {
          pos_ = save;  // not a range end: "-" is a member of its own
        }
      }
      AddRange(s, first, last);
      holdsAny = true;
    }
  }

  // One member character of a class; false after a property list (which is
  // added to the class, unless Peek is set, when nothing is changed).
  bool ReadMember(TSymbolTableEntry& s, UCS4& code, bool peek = false) {
    WideChar c = p_[pos_++];
    if (c != u'\\') {
      code = JoinLowSurrogate(c);
      return true;
    }
    std::uint32_t props = 0;
    bool negated = false;
    if (ReadEscape(code, props, negated, true)) return true;
    if (peek) return false;
    if (!negated)
      s.Properties |= props;
    else if (std::find(s.Lacks.begin(), s.Lacks.end(), props) == s.Lacks.end())
      s.Lacks.push_back(props);
    return false;
  }

  // --- automaton

  // The state holding this sorted list of expressions, made when new.
  int AddState(std::vector<int> list) {
    auto it = stateIndex_.find(list);
    if (it != stateIndex_.end()) return it->second;
    if (static_cast<int>(stateLists_.size()) >= kMaxStates) Fail(kTooComplex);
    stateLists_.push_back(list);
    int id = static_cast<int>(stateLists_.size()) - 1;
    stateIndex_.emplace(std::move(list), id);
    return id;
  }

  // What is left to match after the symbol, for the state being built.
  void AddSymbolState(int symbol, int expr) { pending_[static_cast<std::size_t>(symbol)].push_back(expr); }

  void Reduce(int root) {
    const std::vector<std::vector<int>>& lists = stateLists_;
    AddState({root});
    pending_.assign(symbols_.size(), {});
    std::vector<std::vector<int>>& pending = pending_;
    std::vector<int> handled;
    std::vector<int> work;
    for (std::size_t si = 0; si < lists.size(); ++si) {
      State state;
      state.FirstTransition = static_cast<int>(transitions_.size());
      work = lists[si];
      int stamp = static_cast<int>(si) + 1;
      while (!work.empty()) {
        int e = work.back();
        work.pop_back();
        if (handled.size() < exprs_.size()) handled.resize(exprs_.size() * 2, 0);
        if (handled[static_cast<std::size_t>(e)] == stamp) continue;
        handled[static_cast<std::size_t>(e)] = stamp;
        Expr x = exprs_[static_cast<std::size_t>(e)];
        switch (x.Kind) {
          case ekSymbol: AddSymbolState(x.Left, empty_); break;
          case ekOptional: work.push_back(empty_); work.push_back(x.Left); break;
          case ekStar: work.push_back(empty_); work.push_back(Make(ekPlus, x.Left, 0)); break;
          case ekPlus: work.push_back(Make(ekConcat, x.Left, Make(ekStar, x.Left, 0))); break;
          case ekEmpty: state.Accepting = true; break;
          case ekAlternation: work.push_back(x.Left); work.push_back(x.Right); break;
          case ekConcat: {
            Expr l = exprs_[static_cast<std::size_t>(x.Left)];
            int r = x.Right;
            switch (l.Kind) {
              case ekSymbol: AddSymbolState(l.Left, r); break;
              case ekEmpty: work.push_back(r); break;
              case ekOptional: work.push_back(r); work.push_back(Make(ekConcat, l.Left, r)); break;
              case ekStar: work.push_back(r); work.push_back(Make(ekConcat, l.Left, e)); break;
              case ekPlus:
                work.push_back(Make(ekConcat, l.Left, Make(ekAlternation, r, e)));
                break;
              case ekConcat:
                work.push_back(Make(ekConcat, l.Left, Make(ekConcat, l.Right, r)));
                break;
              case ekAlternation:
                work.push_back(Make(ekConcat, l.Left, r));
                work.push_back(Make(ekConcat, l.Right, r));
                break;
            }
            break;
          }
        }
      }
      for (std::size_t sym = 0; sym < pending.size(); ++sym) {
        std::vector<int>& list = pending[sym];
        if (list.empty()) continue;
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        int target = AddState(list);
        transitions_.push_back({static_cast<int>(sym), target});
        ++state.TransitionCount;
        list.clear();
      }
      states_.push_back(state);
    }
  }

  // Merges equivalent states (same accepting flag, same transition symbols
  // in order, equivalent targets) and numbers the rest in order. The
  // equivalence is found by refining a partition until it is stable, which
  // gives the same classes as following pairs of targets, without a work
  // list of pairs.
  void MergeEquivalents() {
    std::size_t count = states_.size();
    std::vector<int> cls(count, 0);
    int classes = 0;
    for (;;) {
      std::map<std::vector<int>, int> signature;
      std::vector<int> next(count);
      for (std::size_t i = 0; i < count; ++i) {
        const State& s = states_[i];
        std::vector<int> key{cls[i], s.Accepting ? 1 : 0};
        for (int t = 0; t < s.TransitionCount; ++t) {
          const Transition& tr = transitions_[static_cast<std::size_t>(s.FirstTransition + t)];
          key.push_back(tr.Symbol);
          key.push_back(cls[static_cast<std::size_t>(tr.Target)]);
        }
        auto it = signature.find(key);
        if (it == signature.end()) it = signature.emplace(key, static_cast<int>(signature.size())).first;
        next[i] = it->second;
      }
      int found = static_cast<int>(signature.size());
      cls.swap(next);
      if (found == classes) break;
      classes = found;
    }
    // Classes are numbered by first member, so state 0 stays state 0.
    std::vector<int> firstMember(static_cast<std::size_t>(classes), -1);
    for (std::size_t i = 0; i < count; ++i)
      if (firstMember[static_cast<std::size_t>(cls[i])] < 0)
        firstMember[static_cast<std::size_t>(cls[i])] = static_cast<int>(i);
    for (int c = 0; c < classes; ++c) {
      const State& s = states_[static_cast<std::size_t>(firstMember[static_cast<std::size_t>(c)])];
      State out;
      out.Accepting = s.Accepting;
      out.TransitionCount = s.TransitionCount;
      out.FirstTransition = static_cast<int>(finalTransitions_.size());
      for (int t = 0; t < s.TransitionCount; ++t) {
        Transition tr = transitions_[static_cast<std::size_t>(s.FirstTransition + t)];
        tr.Target = cls[static_cast<std::size_t>(tr.Target)];
        finalTransitions_.push_back(tr);
      }
      finalStates_.push_back(out);
    }
  }

  const WideChar* p_;
  int n_;
  int pos_ = 0;
  bool ci_;
  bool anchorsOnly_ = true;
  int empty_ = 0;
  std::vector<Expr> exprs_;
  std::map<std::tuple<int, int, int>, int> exprIndex_;
  std::vector<TSymbolTableEntry> symbols_;
  std::map<std::vector<int>, int> stateIndex_;
  std::vector<std::vector<int>> stateLists_;
  std::vector<std::vector<int>> pending_;  // per symbol, while a state is built
  std::vector<State> states_;
  std::vector<Transition> transitions_;
  std::vector<State> finalStates_;
  std::vector<Transition> finalTransitions_;
};

// --- TURESearch -----------------------------------------------------------------

TURESearch::TURESearch(TWideStrings* AOwner) : TSearchEngine(AOwner) {}

void TURESearch::Clear() {
  symbols_.clear();
  states_.clear();
  transitions_.clear();
  anchorsOnly_ = false;
  TSearchEngine::Clear();
}

void TURESearch::FindPrepare(const WideString& Pattern, TSearchFlags Options) {
  FindPrepare(Pattern.data(), static_cast<int>(std::min<std::size_t>(Pattern.size(), 0x7FFFFFFF)),
              Options);
}

void TURESearch::FindPrepare(const WideChar* Pattern, int PatternLength, TSearchFlags Options) {
  Clear();
  caseInsensitive_ = !Options.Contains(sfCaseSensitive);
  if (!Pattern || PatternLength <= 0) return;
  Compiler compiler(Pattern, PatternLength, caseInsensitive_);
  compiler.CompileURE(*this);
}

bool TURESearch::SymbolMatches(const TSymbolTableEntry& s, UCS4 c, unsigned flags) const {
  switch (s.Kind) {
    case skAny: return (flags & xfDotMatchesBreaks) || !IsBreak(c);
    case skLiteral: return c == s.Code;
    case skClass:
    case skNegatedClass: {
      bool in = s.Properties && HasProperty(c, s.Properties);
      for (std::size_t k = 0; !in && k < s.Lacks.size(); ++k) in = !HasProperty(c, s.Lacks[k]);
      if (!in)
        for (const Range& r : s.Ranges)
          if (c >= r.First && c <= r.Last) {
            in = true;
            break;
          }
      return s.Kind == skClass ? in : !in;
    }
    default: return false;
  }
}

bool TURESearch::ExecuteURE(const WideChar* Text, int TextLen, int From, unsigned Flags, int& Start,
                         int& Stop) const {
  if (states_.empty() || TextLen < 0 || From < 0 || From > TextLen) return false;
  if (TextLen == 0 && anchorsOnly_) {
    Start = Stop = 0;
    return true;
  }
  // The symbols of one state may overlap ("a.c|abd": "a" and "." both take an
  // "a"), so the automaton is run on every branch at once. An attempt begins
  // at every character until a match is found; a branch remembers where its
  // attempt began and the start and stop of its match so far (start -1 while
  // it has taken nothing). The futures of branches in the same state are the
  // same, so one per state is kept: the one that began first. Of the matches
  // the one whose attempt began first wins, and of those the longest.
  struct Branch {
    int State, Begin, Start, Stop;
    bool Before(const Branch& o) const {
      if (Begin != o.Begin) return Begin < o.Begin;
      if (Stop != o.Stop) return Stop > o.Stop;
      return Start < o.Start;
    }
  };
  const std::size_t stateCount = states_.size();
  if (slots_.size() != 3 * stateCount) slots_.assign(3 * stateCount, -1);
  // The branches at one position, one per state (Slot: the state's index in
  // Items or -1, left all -1 when emptied).
  struct BranchSet {
    std::vector<Branch> Items;
    int* Slot;
    void Add(const Branch& b) {
      int& k = Slot[b.State];
      if (k < 0) {
        k = static_cast<int>(Items.size());
        Items.push_back(b);
      } else if (b.Before(Items[static_cast<std::size_t>(k)])) {
        Items[static_cast<std::size_t>(k)] = b;
      }
    }
    void Empty() {
      for (const Branch& b : Items) Slot[b.State] = -1;
      Items.clear();
    }
  };
  // A line break of CR LF moves the anchors that take it two units on, past
  // the next position: those branches wait in Ahead.
  BranchSet cur{{}, slots_.data()}, next{{}, slots_.data() + stateCount},
      ahead{{}, slots_.data() + 2 * stateCount};
  struct Cleanup {
    BranchSet* Sets[3];
    ~Cleanup() {
      for (BranchSet* s : Sets) s->Empty();
    }
  } cleanup{{&cur, &next, &ahead}};
  int aheadAt = -1;
  int bestBegin = -1, bestStart = 0, bestStop = 0;
  auto offer = [&](int begin, int start, int stop) {
    if (bestBegin < 0 || begin < bestBegin ||
        (begin == bestBegin && (stop > bestStop || (stop == bestStop && start < bestStart)))) {
      bestBegin = begin;
      bestStart = start;
      bestStop = stop;
    }
  };
  auto arrive = [&](BranchSet& set, const Branch& b) {
    if (bestBegin >= 0 && b.Begin > bestBegin) return;
    if (states_[static_cast<std::size_t>(b.State)].Accepting) offer(b.Begin, b.Start, b.Stop);
    set.Add(b);
  };
  auto transitionsOf = [&](int state) {
    const State& st = states_[static_cast<std::size_t>(state)];
    return std::make_pair(transitions_.data() + st.FirstTransition,
                          transitions_.data() + st.FirstTransition + st.TransitionCount);
  };
  int p = From;
  for (;;) {
    if (aheadAt == p) {
      for (const Branch& b : ahead.Items) cur.Add(b);
      ahead.Empty();
      aheadAt = -1;
    }
    if (bestBegin < 0) cur.Add({0, p, -1, -1});
    // At the start of the searched text, when it starts a line, the line
    // start takes nothing.
    if (p == From && (p == 0 || IsBreak(Text[p - 1]))) {
      for (std::size_t i = 0; i < cur.Items.size(); ++i) {
        Branch b = cur.Items[i];
        auto range = transitionsOf(b.State);
        for (const Transition* tr = range.first; tr != range.second; ++tr)
          if (symbols_[static_cast<std::size_t>(tr->Symbol)].Kind == skLineStart)
            arrive(cur, {tr->Target, b.Begin, b.Start < 0 ? p : b.Start, p});
      }
    }
    if (p >= TextLen || (cur.Items.empty() && aheadAt < 0)) break;
    int q;
    UCS4 c = CharAt(Text, TextLen, p, q);
    if ((Flags & xfIgnoreNonSpacing) && UnicodeIsNonSpacing(c)) {
      p = q;
      continue;
    }
    if (caseInsensitive_) c = UnicodeToLower(c);
    int afterBreak = q;
    if (c == u'\r' && q < TextLen && Text[q] == u'\n') ++afterBreak;
    for (const Branch& b : cur.Items) {
      if (bestBegin >= 0 && b.Begin > bestBegin) continue;
      auto range = transitionsOf(b.State);
      for (const Transition* tr = range.first; tr != range.second; ++tr) {
        const TSymbolTableEntry& sym = symbols_[static_cast<std::size_t>(tr->Symbol)];
        int start = p, stop = q, to = q;
        if (sym.Kind == skLineStart || sym.Kind == skLineEnd) {
          // Both take the line break; the match starts after it or stops
          // before it.
          if (!IsBreak(c)) continue;
          to = afterBreak;
          start = stop = sym.Kind == skLineStart ? afterBreak : p;
        } else if (!SymbolMatches(sym, c, Flags)) {
          continue;
        }
        Branch n{tr->Target, b.Begin, b.Start < 0 ? start : b.Start, stop};
        if (to == q) {
          arrive(next, n);
        } else {
          aheadAt = to;
          arrive(ahead, n);
        }
      }
    }
    cur.Empty();
    std::swap(cur, next);
    p = q;
  }
  // At the end of the text a line end still to come is there.
  if (p >= TextLen)
    for (const Branch& b : cur.Items) {
      if (bestBegin >= 0 && b.Begin > bestBegin) continue;
      auto range = transitionsOf(b.State);
      for (const Transition* tr = range.first; tr != range.second; ++tr)
        if (symbols_[static_cast<std::size_t>(tr->Symbol)].Kind == skLineEnd &&
            states_[static_cast<std::size_t>(tr->Target)].Accepting)
          offer(b.Begin, b.Start < 0 ? TextLen : b.Start, b.Start < 0 ? TextLen : b.Stop);
    }
  if (bestBegin < 0) return false;
  Start = bestStart;
  Stop = bestStop;
  return true;
}

bool TURESearch::FindFirst(const WideString& Text, int& Start, int& Stop) {
  return FindFirst(Text.data(), static_cast<int>(std::min<std::size_t>(Text.size(), 0x7FFFFFFF)),
                   Start, Stop);
}

bool TURESearch::FindFirst(const WideChar* Text, int TextLen, int& Start, int& Stop) {
  ClearResults();
  if (!Text) TextLen = 0;
  int s, e;
  if (!ExecuteURE(Text, TextLen, 0, 0, s, e)) return false;
  AddResult(s, e);
  Start = s;
  Stop = e;
  return true;
}

bool TURESearch::FindAll(const WideString& Text) {
  return FindAll(Text.data(), static_cast<int>(std::min<std::size_t>(Text.size(), 0x7FFFFFFF)));
}

bool TURESearch::FindAll(const WideChar* Text, int TextLen) {
  ClearResults();
  if (!Text) TextLen = 0;
  int from = 0, s, e;
  while (from <= TextLen && ExecuteURE(Text, TextLen, from, 0, s, e)) {
    AddResult(s, e);
    int next = e;
    if (e <= s) {  // an empty match: step over one character
      if (e >= TextLen) break;
      CharAt(Text, TextLen, e, next);
    }
    from = std::max(next, from + 1);
  }
  return GetCount() > 0;
}
