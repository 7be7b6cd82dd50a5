// Unicode character properties: categories, bidirectional classes and other
// flags, case mappings, canonical decompositions, combining classes and
// numeric values. Each table is one resource of the type "UNICODE" of the
// program ("TYPE", "CASE", "DECOMPOSE", "COMBINE", "NUMBERS"), loaded on
// first use; the host build carries the same bytes compiled in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "unicode/WideTypes.h"

ZEMBRIO_DECLARE_EXCEPTION(EUnicodeTableError, Exception)

// Category numbers of the "TYPE" table.
enum TCharacterCategory : unsigned {
  ccMarkNonSpacing = 0, ccMarkSpacingCombining, ccMarkEnclosing,
  ccNumberDecimalDigit, ccNumberLetter, ccNumberOther,
  ccSeparatorSpace, ccSeparatorLine, ccSeparatorParagraph,
  ccOtherControl, ccOtherFormat, ccOtherSurrogate, ccOtherPrivate, ccOtherUnassigned,
  ccLetterUppercase, ccLetterLowercase, ccLetterTitlecase, ccLetterModifier, ccLetterOther,
  ccPunctuationConnector, ccPunctuationDash, ccPunctuationOpen, ccPunctuationClose,
  ccPunctuationOther,
  ccSymbolMath, ccSymbolCurrency, ccSymbolModifier, ccSymbolOther,
  ccLeftToRight, ccRightToLeft, ccEuropeanNumber, ccEuropeanNumberSeparator,
  ccEuropeanNumberTerminator, ccArabicNumber, ccCommonNumberSeparator,
  ccBlockSeparator, ccSegmentSeparator, ccWhiteSpace, ccOtherNeutrals,
  ccComposed, ccNonBreaking, ccSymmetric, ccHexDigit, ccQuotationMark, ccMirroring,
  ccSpaceOther, ccAssigned, ccPunctuationInitialQuote, ccPunctuationFinalQuote,
  ccCategoryCount
};

// Numeric value of a character: numerator and denominator.
struct TUNumber {
  std::int32_t Numerator;
  std::int32_t Denominator;
};

// Raw bytes of one table.
struct TUnicodeTableBytes {
  const std::uint8_t* Data = nullptr;
  std::size_t Size = 0;
};

// The program's own copy of a table: the "UNICODE" resource of that name
// (Windows) or the compiled-in bytes (host). Raises EResNotFound.
TUnicodeTableBytes LoadUnicodeResource(const char* name);

// One set of the five tables, each parsed on first use from the bytes that
// the source gives for its name. Safe for concurrent readers.
class TUnicodeTables {
 public:
  using TSource = std::function<TUnicodeTableBytes(const char* name)>;
  explicit TUnicodeTables(TSource source);

  // True when c lies in a range of any category whose bit is set in the
  // masks (category k: bit k of mask1 for k < 32, else bit k - 32 of mask2).
  bool IsProperty(UCS4 c, std::uint32_t mask1, std::uint32_t mask2);
  bool InCategory(UCS4 c, unsigned category);

  UCS4 ToUpper(UCS4 c);
  UCS4 ToLower(UCS4 c);
  UCS4 ToTitle(UCS4 c);

  // Stored canonical decomposition of c (empty when c has none stored).
  std::vector<UCS4> Decomposition(UCS4 c);
  unsigned CombiningClass(UCS4 c);
  // The primary composite of First followed by Second, from the stored
  // decompositions (Hangul syllables aside); 0 when they don't compose.
  UCS4 Composition(UCS4 First, UCS4 Second);
  bool GetNumber(UCS4 c, TUNumber& number);

 private:
  struct TypeTable {
    std::vector<std::uint32_t> first;  // per category: index of its first pair, or UINT32_MAX
    std::vector<std::uint32_t> last;   // per category: index one past its last pair
    std::vector<std::uint32_t> ranges; // pairs (first, last)
  };
  struct CaseTable {
    std::vector<std::uint32_t> recs;   // triples
    std::size_t upper = 0, lower = 0, total = 0;
  };
  struct DecomposeTable {
    std::vector<std::uint32_t> pairs;  // (code, start) pairs plus the value count
    std::vector<std::uint32_t> values;
  };
  struct CombineTable { std::vector<std::uint32_t> recs; };
  struct NumberTable {
    std::vector<std::uint32_t> nodes;
    std::vector<std::uint16_t> values;
  };

  const TypeTable& Type();
  const CaseTable& Case();
  const DecomposeTable& Decompose();
  const CombineTable& Combine();
  const NumberTable& Numbers();
  const std::unordered_map<std::uint64_t, UCS4>& Compositions();
  UCS4 CaseLookup(std::size_t from, std::size_t to, UCS4 c, int field);

  TSource source_;
  std::mutex lock_;
  TypeTable type_;
  CaseTable case_;
  DecomposeTable decompose_;
  CombineTable combine_;
  NumberTable numbers_;
  std::unordered_map<std::uint64_t, UCS4> compositions_;  // (first << 32 | second) -> composite
  // Runs load once under the lock; a load that throws is tried again later.
  template <class F>
  void LoadOnce(std::atomic<bool>& done, F&& load) {
    if (done.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (done.load(std::memory_order_relaxed)) return;
    load();
    done.store(true, std::memory_order_release);
  }
  std::atomic<bool> typeDone_{false}, caseDone_{false}, decomposeDone_{false},
      combineDone_{false}, numbersDone_{false}, compositionsDone_{false};
};

// The process-wide tables of the program.
TUnicodeTables& UnicodeTables();

// Category predicates.
bool UnicodeIsAlpha(UCS4 c);
bool UnicodeIsDigit(UCS4 c);
bool UnicodeIsAlphaNum(UCS4 c);
bool UnicodeIsControl(UCS4 c);
bool UnicodeIsSpace(UCS4 c);
bool UnicodeIsWhiteSpace(UCS4 c);
bool UnicodeIsBlank(UCS4 c);
bool UnicodeIsPunctuation(UCS4 c);
bool UnicodeIsGraph(UCS4 c);
bool UnicodeIsPrintable(UCS4 c);
bool UnicodeIsUpper(UCS4 c);
bool UnicodeIsLower(UCS4 c);
bool UnicodeIsTitle(UCS4 c);
bool UnicodeIsHexDigit(UCS4 c);
bool UnicodeIsIsoControl(UCS4 c);
bool UnicodeIsFormatControl(UCS4 c);
bool UnicodeIsSymbol(UCS4 c);
bool UnicodeIsNumber(UCS4 c);
bool UnicodeIsNonSpacing(UCS4 c);
bool UnicodeIsOpenPunctuation(UCS4 c);
bool UnicodeIsClosePunctuation(UCS4 c);
bool UnicodeIsInitialPunctuation(UCS4 c);
bool UnicodeIsFinalPunctuation(UCS4 c);
bool UnicodeIsComposite(UCS4 c);
bool UnicodeIsQuotationMark(UCS4 c);
bool UnicodeIsSymmetric(UCS4 c);
bool UnicodeIsMirroring(UCS4 c);
bool UnicodeIsNonBreaking(UCS4 c);
bool UnicodeIsRTL(UCS4 c);
bool UnicodeIsLTR(UCS4 c);
bool UnicodeIsStrong(UCS4 c);
bool UnicodeIsWeak(UCS4 c);
bool UnicodeIsNeutral(UCS4 c);
bool UnicodeIsSeparator(UCS4 c);
bool UnicodeIsMark(UCS4 c);
bool UnicodeIsModifier(UCS4 c);
bool UnicodeIsLetterNumber(UCS4 c);
bool UnicodeIsConnectionPunctuation(UCS4 c);
bool UnicodeIsDash(UCS4 c);
bool UnicodeIsMath(UCS4 c);
bool UnicodeIsCurrency(UCS4 c);
bool UnicodeIsModifierSymbol(UCS4 c);
bool UnicodeIsNonSpacingMark(UCS4 c);
bool UnicodeIsSpacingMark(UCS4 c);
bool UnicodeIsEnclosing(UCS4 c);
bool UnicodeIsPrivate(UCS4 c);
bool UnicodeIsSurrogate(UCS4 c);
bool UnicodeIsLineSeparator(UCS4 c);
bool UnicodeIsParagraphSeparator(UCS4 c);
bool UnicodeIsIdenifierStart(UCS4 c);
bool UnicodeIsIdentifierPart(UCS4 c);
bool UnicodeIsDefined(UCS4 c);
bool UnicodeIsUndefined(UCS4 c);
bool UnicodeIsHan(UCS4 c);
bool UnicodeIsHangul(UCS4 c);

// Simple case mappings; a character without one is returned unchanged.
UCS4 UnicodeToUpper(UCS4 c);
UCS4 UnicodeToLower(UCS4 c);
UCS4 UnicodeToTitle(UCS4 c);

// Numeric values; -111 in both fields (or as the digit) when c has none.
bool UnicodeGetNumber(UCS4 c, TUNumber& number);
int UnicodeGetDigit(UCS4 c);

// Canonical decomposition of s, with combining marks in canonical order.
WideString WideDecompose(const WideString& s);
// Composes Hangul jamo into syllables.
WideString WideComposeHangul(const WideString& s);
// Canonical composition of s: decomposes it, then joins each starter with
// the following characters it composes with, Hangul jamo included.
WideString WideCompose(const WideString& s);
