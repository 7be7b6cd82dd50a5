#include "unicode/UnicodeTables.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "unicode/UnicodeTableData.h"
#endif

namespace {

// Reads the little-endian (or, after a 0xFFFE mark, byte-swapped) values of
// one table, checking every access against the table's size.
class TableReader {
 public:
  TableReader(const char* name, TUnicodeTableBytes bytes) : name_(name), bytes_(bytes) {
    if (!bytes_.Data || bytes_.Size < 8) Damaged();
    std::uint16_t mark = static_cast<std::uint16_t>(bytes_.Data[0] | (bytes_.Data[1] << 8));
    if (mark == 0xFFFE)
      swap_ = true;
    else if (mark != 0xFEFF)
      Damaged();
  }

  std::uint16_t U16(std::size_t offset) const {
    if (offset > bytes_.Size || bytes_.Size - offset < 2) Damaged();
    const std::uint8_t* p = bytes_.Data + offset;
    return swap_ ? static_cast<std::uint16_t>((p[0] << 8) | p[1])
                 : static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }
  std::uint32_t U32(std::size_t offset) const {
    if (offset > bytes_.Size || bytes_.Size - offset < 4) Damaged();
    const std::uint8_t* p = bytes_.Data + offset;
    if (swap_)
      return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
             (std::uint32_t(p[2]) << 8) | p[3];
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
  }
  void ReadU32s(std::size_t offset, std::size_t count, std::vector<std::uint32_t>& out) const {
    Require(offset, count, 4);
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = U32(offset + 4 * i);
  }
  void Require(std::size_t offset, std::size_t count, std::size_t unit) const {
    if (offset > bytes_.Size || count > (bytes_.Size - offset) / unit) Damaged();
  }
  // End of the table's body as given by its header's byte count.
  std::size_t BodyEnd() const {
    std::size_t end = 8 + static_cast<std::size_t>(U32(4));
    if (end > bytes_.Size || end < 8) Damaged();
    return end;
  }
  [[noreturn]] void Damaged() const {
    throw EUnicodeTableError("The Unicode character table " + std::string(name_) +
                             " is damaged.");
  }

 private:
  const char* name_;
  TUnicodeTableBytes bytes_;
  bool swap_ = false;
};

constexpr std::uint32_t kNoRanges = 0xFFFFFFFFu;

}  // namespace

TUnicodeTableBytes LoadUnicodeResource(const char* name) {
  TUnicodeTableBytes bytes;
#ifdef _WIN32
  std::wstring wname(name, name + std::strlen(name));
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, wname.c_str(), L"UNICODE");
  HGLOBAL handle = res ? LoadResource(module, res) : nullptr;
  const void* data = handle ? LockResource(handle) : nullptr;
  if (data) {
    bytes.Data = static_cast<const std::uint8_t*>(data);
    bytes.Size = SizeofResource(module, res);
  }
#else
  for (const TUnicodeEmbeddedTable& t : kUnicodeEmbeddedTables)
    if (std::strcmp(t.Name, name) == 0) {
      bytes.Data = t.Data;
      bytes.Size = t.Size;
    }
#endif
  if (!bytes.Data) throw EResNotFound("Resource " + std::string(name) + " not found");
  return bytes;
}

TUnicodeTables::TUnicodeTables(TSource source) : source_(std::move(source)) {}

TUnicodeTables& UnicodeTables() {
  static TUnicodeTables tables(&LoadUnicodeResource);
  return tables;
}

// --- loading -------------------------------------------------------------

const TUnicodeTables::TypeTable& TUnicodeTables::Type() {
  LoadOnce(typeDone_, [this] {
    TableReader r("TYPE", source_("TYPE"));
    std::size_t count = r.U16(2);
    std::size_t end = r.BodyEnd();
    std::size_t offsetsAt = 8;
    std::size_t rangesAt = offsetsAt + (((count + 1) * 2 + 3) & ~std::size_t(3));
    std::vector<std::uint32_t> offsets(count + 1);
    for (std::size_t k = 0; k <= count; ++k) offsets[k] = r.U16(offsetsAt + 2 * k);
    std::size_t length = offsets[count];
    if (length == 0xFFFF || rangesAt > end || length > (end - rangesAt) / 4 || length % 2)
      r.Damaged();
    TypeTable t;
    r.ReadU32s(rangesAt, length, t.ranges);
    std::size_t kept = std::max<std::size_t>(count, ccCategoryCount);
    t.first.assign(kept, kNoRanges);
    t.last.assign(kept, 0);
    for (std::size_t k = 0; k < count && k < 64; ++k) {
      if (offsets[k] == 0xFFFF) continue;
      std::size_t next = length;
      for (std::size_t j = k + 1; j <= count; ++j)
        if (offsets[j] != 0xFFFF) {
          next = offsets[j];
          break;
        }
      if (offsets[k] > next || next > length || offsets[k] % 2 || next % 2) r.Damaged();
      t.first[k] = offsets[k] / 2;
      t.last[k] = static_cast<std::uint32_t>(next / 2);
    }
    type_ = std::move(t);
  });
  return type_;
}

const TUnicodeTables::CaseTable& TUnicodeTables::Case() {
  LoadOnce(caseDone_, [this] {
    TableReader r("CASE", source_("CASE"));
    CaseTable t;
    t.total = r.U16(2);
    t.upper = r.U16(4);
    t.lower = r.U16(6);
    if (t.upper + t.lower > t.total) r.Damaged();
    r.ReadU32s(8, t.total * 3, t.recs);
    case_ = std::move(t);
  });
  return case_;
}

const TUnicodeTables::DecomposeTable& TUnicodeTables::Decompose() {
  LoadOnce(decomposeDone_, [this] {
    TableReader r("DECOMPOSE", source_("DECOMPOSE"));
    std::size_t count = r.U16(2);
    std::size_t end = r.BodyEnd();
    DecomposeTable t;
    r.ReadU32s(8, 2 * count + 1, t.pairs);
    std::size_t valuesAt = 8 + (2 * count + 1) * 4;
    std::size_t length = t.pairs[2 * count];
    if (valuesAt > end || length > (end - valuesAt) / 4) r.Damaged();
    r.ReadU32s(valuesAt, length, t.values);
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t start = t.pairs[2 * i + 1];
      if (start < previous || start > length) r.Damaged();
      previous = start;
    }
    decompose_ = std::move(t);
  });
  return decompose_;
}

const TUnicodeTables::CombineTable& TUnicodeTables::Combine() {
  LoadOnce(combineDone_, [this] {
    TableReader r("COMBINE", source_("COMBINE"));
    CombineTable t;
    r.ReadU32s(8, std::size_t(r.U16(2)) * 3, t.recs);
    combine_ = std::move(t);
  });
  return combine_;
}

const TUnicodeTables::NumberTable& TUnicodeTables::Numbers() {
  LoadOnce(numbersDone_, [this] {
    TableReader r("NUMBERS", source_("NUMBERS"));
    std::size_t count = r.U16(2);
    std::size_t end = r.BodyEnd();
    NumberTable t;
    r.ReadU32s(8, count, t.nodes);
    std::size_t valuesAt = 8 + count * 4;
    if (valuesAt > end) r.Damaged();
    t.values.resize((end - valuesAt) / 2);
    for (std::size_t i = 0; i < t.values.size(); ++i) t.values[i] = r.U16(valuesAt + 2 * i);
    numbers_ = std::move(t);
  });
  return numbers_;
}

namespace {

// Characters whose decomposition is never composed again: the script-specific
// and the post-composition exclusions of the character database (fixed by its
// stability rules). Singletons and decompositions that begin with a mark need
// no entry: the first never form a pair, the second never meet a starter.
constexpr UCS4 kCompositionExclusions[][2] = {
    {0x0958, 0x095F}, {0x09DC, 0x09DD}, {0x09DF, 0x09DF}, {0x0A33, 0x0A33},
    {0x0A36, 0x0A36}, {0x0A59, 0x0A5B}, {0x0A5E, 0x0A5E}, {0x0B5C, 0x0B5D},
    {0x0F43, 0x0F43}, {0x0F4D, 0x0F4D}, {0x0F52, 0x0F52}, {0x0F57, 0x0F57},
    {0x0F5C, 0x0F5C}, {0x0F69, 0x0F69}, {0x0F76, 0x0F76}, {0x0F78, 0x0F78},
    {0x0F93, 0x0F93}, {0x0F9D, 0x0F9D}, {0x0FA2, 0x0FA2}, {0x0FA7, 0x0FA7},
    {0x0FAC, 0x0FAC}, {0x0FB9, 0x0FB9}, {0x2ADC, 0x2ADC}, {0xFB1D, 0xFB1D},
    {0xFB1F, 0xFB1F}, {0xFB2A, 0xFB36}, {0xFB38, 0xFB3C}, {0xFB3E, 0xFB3E},
    {0xFB40, 0xFB41}, {0xFB43, 0xFB44}, {0xFB46, 0xFB4E}, {0x1D15E, 0x1D164},
    {0x1D1BB, 0x1D1C0}};

bool IsCompositionExcluded(UCS4 c) {
  for (const auto& r : kCompositionExclusions)
    if (c >= r[0] && c <= r[1]) return true;
  return false;
}

std::uint64_t PairKey(UCS4 first, UCS4 second) {
  return (std::uint64_t(first) << 32) | second;
}

}  // namespace

// The table holds full decompositions, so the pair a composite is made of is
// found again: its last value, after the character whose decomposition is all
// the values before it (or the first value itself when there are only two).
// Characters of equal decomposition are singletons and their primary form;
// the primary form is the one of the lowest code.
const std::unordered_map<std::uint64_t, UCS4>& TUnicodeTables::Compositions() {
  const DecomposeTable& t = Decompose();
  LoadOnce(compositionsDone_, [&] {
    std::size_t count = (t.pairs.size() - 1) / 2;
    std::map<std::vector<UCS4>, UCS4> owner;
    for (std::size_t i = 0; i < count; ++i) {
      UCS4 code = t.pairs[2 * i];
      std::vector<UCS4> d = Decomposition(code);
      if (d.size() < 2 || std::find(d.begin(), d.end(), 0u) != d.end()) continue;
      auto at = owner.emplace(std::move(d), code).first;
      if (IsCompositionExcluded(at->second) && !IsCompositionExcluded(code)) at->second = code;
    }
    std::unordered_map<std::uint64_t, UCS4> pairs;
    for (const auto& [d, code] : owner) {
      if (IsCompositionExcluded(code)) continue;
      UCS4 first = d[0];
      if (d.size() > 2) {
        auto prefix = owner.find(std::vector<UCS4>(d.begin(), d.end() - 1));
        if (prefix == owner.end()) continue;
        first = prefix->second;
      }
      pairs.emplace(PairKey(first, d.back()), code);
    }
    compositions_ = std::move(pairs);
  });
  return compositions_;
}

// --- queries --------------------------------------------------------------

bool TUnicodeTables::InCategory(UCS4 c, unsigned category) {
  const TypeTable& t = Type();
  if (category >= t.first.size() || t.first[category] == kNoRanges) return false;
  std::size_t lo = t.first[category], hi = t.last[category];
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    if (c > t.ranges[2 * mid + 1])
      lo = mid + 1;
    else if (c < t.ranges[2 * mid])
      hi = mid;
    else
      return true;
  }
  return false;
}

bool TUnicodeTables::IsProperty(UCS4 c, std::uint32_t mask1, std::uint32_t mask2) {
  for (unsigned k = 0; k < 32; ++k)
    if ((mask1 >> k) & 1u)
      if (InCategory(c, k)) return true;
  for (unsigned k = 0; k < 32; ++k)
    if ((mask2 >> k) & 1u)
      if (InCategory(c, k + 32)) return true;
  return false;
}

UCS4 TUnicodeTables::CaseLookup(std::size_t from, std::size_t to, UCS4 c, int field) {
  const CaseTable& t = Case();
  std::size_t lo = from, hi = to;
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    UCS4 code = t.recs[3 * mid];
    if (c > code)
      lo = mid + 1;
    else if (c < code)
      hi = mid;
    else
      return t.recs[3 * mid + field];
  }
  return c;
}

UCS4 TUnicodeTables::ToUpper(UCS4 c) {
  const CaseTable& t = Case();
  if (InCategory(c, ccLetterUppercase)) return c;
  if (InCategory(c, ccLetterLowercase)) return CaseLookup(t.upper, t.upper + t.lower, c, 1);
  return CaseLookup(t.upper + t.lower, t.total, c, 1);
}

UCS4 TUnicodeTables::ToLower(UCS4 c) {
  const CaseTable& t = Case();
  if (InCategory(c, ccLetterLowercase)) return c;
  if (InCategory(c, ccLetterUppercase)) return CaseLookup(0, t.upper, c, 1);
  return CaseLookup(t.upper + t.lower, t.total, c, 2);
}

UCS4 TUnicodeTables::ToTitle(UCS4 c) {
  const CaseTable& t = Case();
  if (InCategory(c, ccLetterTitlecase)) return c;
  if (InCategory(c, ccLetterUppercase)) return CaseLookup(0, t.upper, c, 2);
  return CaseLookup(t.upper, t.upper + t.lower, c, 2);
}

std::vector<UCS4> TUnicodeTables::Decomposition(UCS4 c) {
  const DecomposeTable& t = Decompose();
  std::size_t count = (t.pairs.size() - 1) / 2;
  std::size_t lo = 0, hi = count;
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    UCS4 code = t.pairs[2 * mid];
    if (c > code) {
      lo = mid + 1;
    } else if (c < code) {
      hi = mid;
    } else {
      std::size_t start = t.pairs[2 * mid + 1];
      std::size_t stop = mid + 1 < count ? t.pairs[2 * mid + 3] : t.values.size();
      if (stop > start) --stop;  // the closing 0 is not part of it
      return std::vector<UCS4>(t.values.begin() + start, t.values.begin() + stop);
    }
  }
  return {};
}

unsigned TUnicodeTables::CombiningClass(UCS4 c) {
  const CombineTable& t = Combine();
  std::size_t lo = 0, hi = t.recs.size() / 3;
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    if (c > t.recs[3 * mid + 1])
      lo = mid + 1;
    else if (c < t.recs[3 * mid])
      hi = mid;
    else
      return t.recs[3 * mid + 2];
  }
  return 0;
}

UCS4 TUnicodeTables::Composition(UCS4 First, UCS4 Second) {
  const auto& pairs = Compositions();
  auto at = pairs.find(PairKey(First, Second));
  return at == pairs.end() ? 0 : at->second;
}

bool TUnicodeTables::GetNumber(UCS4 c, TUNumber& number) {
  const NumberTable& t = Numbers();
  std::size_t lo = 0, hi = t.nodes.size() / 2;
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    UCS4 code = t.nodes[2 * mid];
    if (c > code) {
      lo = mid + 1;
    } else if (c < code) {
      hi = mid;
    } else {
      std::size_t pos = t.nodes[2 * mid + 1];
      if (pos + 1 >= t.values.size()) break;  // points outside the values: none
      number.Numerator = t.values[pos];
      number.Denominator = t.values[pos + 1];
      return true;
    }
  }
  number.Numerator = -111;
  number.Denominator = -111;
  return false;
}

// --- predicates ------------------------------------------------------------

namespace {

struct Masks {
  std::uint32_t m1 = 0, m2 = 0;
  constexpr Masks(std::initializer_list<unsigned> cats) {
    for (unsigned k : cats) {
      if (k < 32)
        m1 |= 1u << k;
      else
        m2 |= 1u << (k - 32);
    }
  }
};

inline bool Is(UCS4 c, Masks m) { return UnicodeTables().IsProperty(c, m.m1, m.m2); }
inline bool Cat(UCS4 c, unsigned k) { return UnicodeTables().InCategory(c, k); }

constexpr Masks kAlpha{14, 15, 16, 17, 18};
constexpr Masks kAlphaNum{3, 14, 15, 16, 17, 18};
constexpr Masks kControl{9, 10};
constexpr Masks kSpace{6, 13};
constexpr Masks kWhiteSpace{6, 13, 36, 37};
constexpr Masks kPunctuation{20, 21, 22, 23, 47, 48};
constexpr Masks kGraph{0, 1, 2, 3, 4, 5, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                       24, 25, 26, 27, 47, 48};
constexpr Masks kPrintable{0, 1, 2, 3, 4, 5, 6, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                           23, 24, 25, 26, 27, 47, 48};
constexpr Masks kSymbol{24, 25, 26, 27};
constexpr Masks kNumber{3, 4, 5};
constexpr Masks kStrong{28, 29};
constexpr Masks kWeak{30, 31, 32, 33, 34};
constexpr Masks kNeutral{35, 36, 37, 38};
constexpr Masks kSeparator{35, 36};
constexpr Masks kMark{0, 1, 2};
constexpr Masks kIdentifierStart{4, 14, 15, 16, 18};
constexpr Masks kIdentifierPart{0, 1, 3, 4, 10, 14, 15, 16, 18, 19};

}  // namespace

bool UnicodeIsAlpha(UCS4 c) { return Is(c, kAlpha); }
bool UnicodeIsDigit(UCS4 c) { return Cat(c, ccNumberDecimalDigit); }
bool UnicodeIsAlphaNum(UCS4 c) { return Is(c, kAlphaNum); }
bool UnicodeIsControl(UCS4 c) { return Is(c, kControl); }
bool UnicodeIsSpace(UCS4 c) { return Is(c, kSpace); }
bool UnicodeIsWhiteSpace(UCS4 c) { return Is(c, kWhiteSpace); }
bool UnicodeIsBlank(UCS4 c) { return Cat(c, ccSeparatorSpace); }
bool UnicodeIsPunctuation(UCS4 c) { return Is(c, kPunctuation); }
bool UnicodeIsGraph(UCS4 c) { return Is(c, kGraph); }
bool UnicodeIsPrintable(UCS4 c) { return Is(c, kPrintable); }
bool UnicodeIsUpper(UCS4 c) { return Cat(c, ccLetterUppercase); }
bool UnicodeIsLower(UCS4 c) { return Cat(c, ccLetterLowercase); }
bool UnicodeIsTitle(UCS4 c) { return Cat(c, ccLetterTitlecase); }
bool UnicodeIsHexDigit(UCS4 c) { return Cat(c, ccHexDigit); }
bool UnicodeIsIsoControl(UCS4 c) { return Cat(c, ccOtherControl); }
bool UnicodeIsFormatControl(UCS4 c) { return Cat(c, ccOtherFormat); }
bool UnicodeIsSymbol(UCS4 c) { return Is(c, kSymbol); }
bool UnicodeIsNumber(UCS4 c) { return Is(c, kNumber); }
bool UnicodeIsNonSpacing(UCS4 c) { return Cat(c, ccMarkNonSpacing); }
bool UnicodeIsOpenPunctuation(UCS4 c) { return Cat(c, ccPunctuationOpen); }
bool UnicodeIsClosePunctuation(UCS4 c) { return Cat(c, ccPunctuationClose); }
bool UnicodeIsInitialPunctuation(UCS4 c) { return Cat(c, ccPunctuationInitialQuote); }
bool UnicodeIsFinalPunctuation(UCS4 c) { return Cat(c, ccPunctuationFinalQuote); }
bool UnicodeIsComposite(UCS4 c) { return Cat(c, ccComposed); }
bool UnicodeIsQuotationMark(UCS4 c) { return Cat(c, ccQuotationMark); }
bool UnicodeIsSymmetric(UCS4 c) { return Cat(c, ccSymmetric); }
bool UnicodeIsMirroring(UCS4 c) { return Cat(c, ccMirroring); }
bool UnicodeIsNonBreaking(UCS4 c) { return Cat(c, ccNonBreaking); }
bool UnicodeIsRTL(UCS4 c) { return Cat(c, ccRightToLeft); }
bool UnicodeIsLTR(UCS4 c) { return Cat(c, ccLeftToRight); }
bool UnicodeIsStrong(UCS4 c) { return Is(c, kStrong); }
bool UnicodeIsWeak(UCS4 c) { return Is(c, kWeak); }
bool UnicodeIsNeutral(UCS4 c) { return Is(c, kNeutral); }
bool UnicodeIsSeparator(UCS4 c) { return Is(c, kSeparator); }
bool UnicodeIsMark(UCS4 c) { return Is(c, kMark); }
bool UnicodeIsModifier(UCS4 c) { return Cat(c, ccLetterModifier); }
bool UnicodeIsLetterNumber(UCS4 c) { return Cat(c, ccNumberLetter); }
bool UnicodeIsConnectionPunctuation(UCS4 c) { return Cat(c, ccPunctuationConnector); }
bool UnicodeIsDash(UCS4 c) { return Cat(c, ccPunctuationDash); }
bool UnicodeIsMath(UCS4 c) { return Cat(c, ccSymbolMath); }
bool UnicodeIsCurrency(UCS4 c) { return Cat(c, ccSymbolCurrency); }
bool UnicodeIsModifierSymbol(UCS4 c) { return Cat(c, ccSymbolModifier); }
bool UnicodeIsNonSpacingMark(UCS4 c) { return Cat(c, ccMarkNonSpacing); }
bool UnicodeIsSpacingMark(UCS4 c) { return Cat(c, ccMarkSpacingCombining); }
bool UnicodeIsEnclosing(UCS4 c) { return Cat(c, ccMarkEnclosing); }
bool UnicodeIsPrivate(UCS4 c) { return Cat(c, ccOtherPrivate); }
bool UnicodeIsSurrogate(UCS4 c) { return Cat(c, ccOtherSurrogate); }
bool UnicodeIsLineSeparator(UCS4 c) { return Cat(c, ccSeparatorLine); }
bool UnicodeIsParagraphSeparator(UCS4 c) { return Cat(c, ccSeparatorParagraph); }
bool UnicodeIsIdenifierStart(UCS4 c) { return Is(c, kIdentifierStart); }
bool UnicodeIsIdentifierPart(UCS4 c) { return Is(c, kIdentifierPart); }
bool UnicodeIsDefined(UCS4 c) { return Cat(c, ccAssigned); }
bool UnicodeIsUndefined(UCS4 c) { return !Cat(c, ccAssigned); }
bool UnicodeIsHan(UCS4 c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF);
}
bool UnicodeIsHangul(UCS4 c) { return c >= 0xAC00 && c <= 0xD7FF; }

UCS4 UnicodeToUpper(UCS4 c) { return UnicodeTables().ToUpper(c); }
UCS4 UnicodeToLower(UCS4 c) { return UnicodeTables().ToLower(c); }
UCS4 UnicodeToTitle(UCS4 c) { return UnicodeTables().ToTitle(c); }

bool UnicodeGetNumber(UCS4 c, TUNumber& number) { return UnicodeTables().GetNumber(c, number); }

int UnicodeGetDigit(UCS4 c) {
  // A digit is a whole number from 0 to 9 (denominator 1).
  TUNumber n;
  if (!UnicodeTables().GetNumber(c, n) || n.Denominator != 1 || n.Numerator > 9) return -111;
  return n.Numerator;
}

// --- decomposition and Hangul composition -----------------------------------

namespace {

constexpr UCS4 kSBase = 0xAC00, kLBase = 0x1100, kVBase = 0x1161, kTBase = 0x11A7;
constexpr UCS4 kVCount = 21, kTCount = 28, kNCount = kVCount * kTCount;

void DecomposeOne(UCS4 c, std::vector<UCS4>& out) {
  if (!UnicodeIsComposite(c)) {
    out.push_back(c);
  } else if (UnicodeIsHangul(c)) {
    UCS4 s = c - kSBase;
    out.push_back(kLBase + s / kNCount);
    out.push_back(kVBase + (s % kNCount) / kTCount);
    if (s % kTCount) out.push_back(kTBase + s % kTCount);
  } else {
    std::vector<UCS4> d = UnicodeTables().Decomposition(c);
    out.insert(out.end(), d.begin(), d.end());
  }
}

// The canonical decomposition of s as code points, marks in canonical order.
std::vector<UCS4> DecomposeCodes(const WideString& s) {
  TUnicodeTables& tables = UnicodeTables();
  std::vector<UCS4> result, parts;
  result.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    UCS4 c = s[i];
    if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
      c = JoinSurrogates(c, s[i + 1]);
      ++i;
    }
    parts.clear();
    DecomposeOne(c, parts);
    for (UCS4 v : parts) {
      unsigned cls = tables.CombiningClass(v);
      if (cls == 0) {
        result.push_back(v);
        continue;
      }
      std::size_t at = result.size();
      while (at > 1 && tables.CombiningClass(result[at - 1]) > cls) --at;
      result.insert(result.begin() + static_cast<std::ptrdiff_t>(at), v);
    }
  }
  return result;
}

WideString ToWide(const std::vector<UCS4>& codes) {
  WideString out;
  out.reserve(codes.size());
  for (UCS4 v : codes) AppendCodePoint(out, v);
  return out;
}

// Hangul syllables from their jamo, else the stored pairs.
UCS4 ComposePair(TUnicodeTables& tables, UCS4 first, UCS4 second) {
  if (first >= kLBase && first < kLBase + 19 && second >= kVBase && second < kVBase + kVCount)
    return kSBase + ((first - kLBase) * kVCount + (second - kVBase)) * kTCount;
  if (first >= kSBase && first < kSBase + 19 * kNCount && (first - kSBase) % kTCount == 0 &&
      second > kTBase && second < kTBase + kTCount)
    return first + (second - kTBase);
  return tables.Composition(first, second);
}

}  // namespace

WideString WideDecompose(const WideString& s) { return ToWide(DecomposeCodes(s)); }

WideString WideComposeHangul(const WideString& s) {
  WideString out;
  out.reserve(s.size());
  for (WideChar ch : s) {
    if (!out.empty()) {
      UCS4 last = out.back();
      if (last >= 0x1100 && last <= 0x1112 && ch >= 0x1161 && ch <= 0x1175) {
        out.back() = static_cast<WideChar>(kSBase + ((last - kLBase) * kVCount + (ch - kVBase)) * kTCount);
        continue;
      }
      if (last >= kSBase && last <= 0xD7A3 && (last - kSBase) % kTCount == 0 && ch >= 0x11A8 &&
          ch <= 0x11C2) {
        out.back() = static_cast<WideChar>(last + (ch - kTBase));
        continue;
      }
    }
    out.push_back(ch);
  }
  return out;
}

// Each character is joined to the last starter when nothing blocks it: every
// character between them is a mark of a lower class than its own (so a
// starter composes only with the starter right before it).
WideString WideCompose(const WideString& s) {
  TUnicodeTables& tables = UnicodeTables();
  std::vector<UCS4> codes = DecomposeCodes(s), out;
  out.reserve(codes.size());
  std::size_t starter = 0;
  bool haveStarter = false;
  unsigned lastClass = 0;
  for (UCS4 c : codes) {
    unsigned cls = tables.CombiningClass(c);
    if (haveStarter && (starter + 1 == out.size() || (lastClass != 0 && lastClass < cls))) {
      if (UCS4 composed = ComposePair(tables, out[starter], c)) {
        out[starter] = composed;
        continue;
      }
    }
    if (cls == 0) {
      starter = out.size();
      haveStarter = true;
    }
    out.push_back(c);
    lastClass = cls;
  }
  return ToWide(out);
}
