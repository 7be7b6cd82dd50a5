// Character tables: predicates, case mappings, decomposition, Hangul,
// numbers, and the reader's handling of byte-swapped and damaged tables.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "unicode/UnicodeTables.h"

TEST(UnicodeTables, CaseMappingsOfDigraphsAndAscii) {
  EXPECT_EQ(UnicodeToUpper(0x01C6), 0x01C4u);
  EXPECT_EQ(UnicodeToTitle(0x01C6), 0x01C5u);
  EXPECT_EQ(UnicodeToLower(0x01C5), 0x01C6u);
  EXPECT_EQ(UnicodeToUpper(0x01C5), 0x01C4u);
  EXPECT_EQ(UnicodeToTitle(0x01C5), 0x01C5u);
  EXPECT_EQ(UnicodeToTitle(0x01C4), 0x01C5u);
  EXPECT_EQ(UnicodeToLower('A'), UCS4('a'));
  EXPECT_EQ(UnicodeToUpper('A'), UCS4('A'));
  EXPECT_EQ(UnicodeToTitle('A'), UCS4('A'));
  EXPECT_EQ(UnicodeToUpper('z'), UCS4('Z'));
  EXPECT_EQ(UnicodeToUpper(0x00E9), 0x00C9u);
  EXPECT_EQ(UnicodeToLower(0x0130), 0x0069u);  // capital I with dot
  EXPECT_EQ(UnicodeToUpper(0x03C2), 0x03A3u);  // final sigma
  // Characters without a mapping come back unchanged.
  EXPECT_EQ(UnicodeToUpper('1'), UCS4('1'));
  EXPECT_EQ(UnicodeToLower(0x4E00), 0x4E00u);
  // Supplementary characters (Deseret) and a non-letter with a mapping.
  EXPECT_EQ(UnicodeToLower(0x10400), 0x10428u);
  EXPECT_EQ(UnicodeToUpper(0x10428), 0x10400u);
  EXPECT_EQ(UnicodeToLower(0x2160), 0x2170u);  // Roman numeral one
  EXPECT_EQ(UnicodeToUpper(0x24D0), 0x24B6u);  // circled a
}

TEST(UnicodeTables, GeneralCategoryPredicates) {
  EXPECT_TRUE(UnicodeIsUpper('A'));
  EXPECT_FALSE(UnicodeIsUpper('a'));
  EXPECT_TRUE(UnicodeIsLower('a'));
  EXPECT_TRUE(UnicodeIsTitle(0x01C5));
  EXPECT_TRUE(UnicodeIsAlpha(0x05D0));
  EXPECT_TRUE(UnicodeIsDigit('7'));
  EXPECT_TRUE(UnicodeIsDigit(0x0663));  // Arabic-Indic three
  EXPECT_FALSE(UnicodeIsDigit('x'));
  EXPECT_TRUE(UnicodeIsAlphaNum('7'));
  EXPECT_TRUE(UnicodeIsNumber(0x00BD));
  EXPECT_TRUE(UnicodeIsLetterNumber(0x2160));
  EXPECT_TRUE(UnicodeIsIsoControl(0x0007));
  EXPECT_TRUE(UnicodeIsFormatControl(0x200E));
  EXPECT_TRUE(UnicodeIsControl(0x200E));
  EXPECT_TRUE(UnicodeIsNonSpacing(0x0301));
  EXPECT_TRUE(UnicodeIsMark(0x0301));
  EXPECT_TRUE(UnicodeIsSpacingMark(0x0903));
  EXPECT_TRUE(UnicodeIsEnclosing(0x20DD));
  EXPECT_TRUE(UnicodeIsBlank(' '));
  EXPECT_TRUE(UnicodeIsBlank(0x00A0));
  EXPECT_TRUE(UnicodeIsLineSeparator(0x2028));
  EXPECT_TRUE(UnicodeIsParagraphSeparator(0x2029));
  EXPECT_TRUE(UnicodeIsSurrogate(0xD800));
  EXPECT_TRUE(UnicodeIsPrivate(0xE000));
  EXPECT_TRUE(UnicodeIsDash('-'));
  EXPECT_TRUE(UnicodeIsOpenPunctuation('('));
  EXPECT_TRUE(UnicodeIsClosePunctuation(')'));
  EXPECT_TRUE(UnicodeIsInitialPunctuation(0x201C));
  EXPECT_TRUE(UnicodeIsFinalPunctuation(0x201D));
  EXPECT_TRUE(UnicodeIsPunctuation('!'));
  EXPECT_TRUE(UnicodeIsConnectionPunctuation('_'));
  EXPECT_TRUE(UnicodeIsMath('+'));
  EXPECT_TRUE(UnicodeIsCurrency('$'));
  EXPECT_TRUE(UnicodeIsModifierSymbol('^'));
  EXPECT_TRUE(UnicodeIsModifier(0x02B0));
  EXPECT_TRUE(UnicodeIsSymbol(0x00A9));
  EXPECT_TRUE(UnicodeIsGraph('a'));
  EXPECT_FALSE(UnicodeIsGraph(' '));
  EXPECT_TRUE(UnicodeIsPrintable(' '));
  EXPECT_TRUE(UnicodeIsUpper(0x10400));   // supplementary letters
  EXPECT_TRUE(UnicodeIsDefined(0x1F600));
  EXPECT_FALSE(UnicodeIsDefined(0x0378));  // unassigned
  EXPECT_TRUE(UnicodeIsUndefined(0x0378));
  EXPECT_TRUE(UnicodeIsDefined(0x9FA5));   // inside the CJK range entry
  EXPECT_TRUE(UnicodeIsIdenifierStart('a'));
  EXPECT_FALSE(UnicodeIsIdenifierStart('1'));
  EXPECT_TRUE(UnicodeIsIdentifierPart('1'));
  EXPECT_TRUE(UnicodeIsIdentifierPart('_'));
}

TEST(UnicodeTables, BidirectionalAndOtherFlags) {
  EXPECT_TRUE(UnicodeIsLTR('a'));
  EXPECT_TRUE(UnicodeIsRTL(0x05D0));  // Hebrew alef (R)
  EXPECT_TRUE(UnicodeIsRTL(0x0627));  // Arabic alef (AL counts as R)
  EXPECT_TRUE(UnicodeIsStrong(0x0627));
  EXPECT_TRUE(UnicodeIsWeak('5'));     // EN
  EXPECT_TRUE(UnicodeIsWeak(0x0660));  // AN
  EXPECT_TRUE(UnicodeIsNeutral(' '));
  EXPECT_TRUE(UnicodeIsSeparator('\t'));  // S
  EXPECT_TRUE(UnicodeIsSeparator(0x2029));  // B
  EXPECT_FALSE(UnicodeIsStrong(0x0301));  // NSM has no class here
  EXPECT_TRUE(UnicodeIsWhiteSpace(' '));
  EXPECT_TRUE(UnicodeIsWhiteSpace('\t'));
  EXPECT_TRUE(UnicodeIsWhiteSpace(0x00A0));
  EXPECT_FALSE(UnicodeIsWhiteSpace('x'));
  EXPECT_TRUE(UnicodeIsSpace(0x3000));
  EXPECT_TRUE(UnicodeIsNonBreaking(0x00A0));
  EXPECT_FALSE(UnicodeIsNonBreaking(' '));
  EXPECT_TRUE(UnicodeIsSymmetric('('));
  EXPECT_FALSE(UnicodeIsSymmetric('a'));
  EXPECT_TRUE(UnicodeIsHexDigit('F'));
  EXPECT_TRUE(UnicodeIsHexDigit(0xFF21));  // fullwidth A
  EXPECT_FALSE(UnicodeIsHexDigit('G'));
  EXPECT_TRUE(UnicodeIsQuotationMark('"'));
  EXPECT_TRUE(UnicodeIsQuotationMark(0x00AB));
  EXPECT_FALSE(UnicodeIsMirroring('('));  // kept empty
  EXPECT_TRUE(UnicodeIsComposite(0x00C0));
  EXPECT_TRUE(UnicodeIsComposite(0xAC01));
  EXPECT_FALSE(UnicodeIsComposite(0xD7A4));
  EXPECT_FALSE(UnicodeIsComposite('A'));
}

TEST(UnicodeTables, FixedRangePredicates) {
  EXPECT_TRUE(UnicodeIsHan(0x4E00));
  EXPECT_TRUE(UnicodeIsHan(0xFA2D));
  EXPECT_FALSE(UnicodeIsHan(0x3400));
  EXPECT_TRUE(UnicodeIsHangul(0xAC00));
  EXPECT_TRUE(UnicodeIsHangul(0xD7A4));
  EXPECT_TRUE(UnicodeIsHangul(0xD7FF));
  EXPECT_FALSE(UnicodeIsHangul(0xD800));
}

TEST(UnicodeTables, DecompositionAndCanonicalOrder) {
  EXPECT_EQ(WideDecompose(u"\u00C0"), u"A\u0300");
  EXPECT_EQ(WideDecompose(u"abc"), u"abc");
  EXPECT_EQ(WideDecompose(u""), u"");
  // A mark after a base character stays behind it.
  EXPECT_EQ(WideDecompose(u"a\u0301"), u"a\u0301");
  // Full decomposition: c with cedilla and acute.
  EXPECT_EQ(WideDecompose(u"\u1E09"), u"c\u0327\u0301");
  // Marks are put in canonical order: dot below (220) before acute (230).
  EXPECT_EQ(WideDecompose(u"a\u0301\u0323"), u"a\u0323\u0301");
  EXPECT_EQ(WideDecompose(u"\u00E1\u0323"), u"a\u0323\u0301");
  // Supplementary: musical half note.
  EXPECT_EQ(WideDecompose(u"\U0001D15E"), u"\U0001D157\U0001D165");
  // A lone surrogate passes through.
  EXPECT_EQ(WideDecompose(u"x\xD800"), u"x\xD800");
}

TEST(UnicodeTables, HangulSyllables) {
  EXPECT_EQ(WideDecompose(u"\uAC01"), u"\u1100\u1161\u11A8");
  EXPECT_EQ(WideDecompose(u"\uAC00"), u"\u1100\u1161");
  EXPECT_EQ(WideDecompose(u"\uD7A3"), u"\u1112\u1175\u11C2");
  EXPECT_EQ(WideDecompose(u"\uD7A4"), u"\uD7A4");
  EXPECT_EQ(WideComposeHangul(u"\u1100\u1161\u11A8"), u"\uAC01");
  EXPECT_EQ(WideComposeHangul(u"\u1100\u1161"), u"\uAC00");
  EXPECT_EQ(WideComposeHangul(u"x\u1112\u1175\u11C2y"), u"x\uD7A3y");
  EXPECT_EQ(WideComposeHangul(u"\u1161\u1100"), u"\u1161\u1100");
  EXPECT_EQ(WideComposeHangul(u""), u"");
  // A syllable that has a trailing consonant takes no second one.
  EXPECT_EQ(WideComposeHangul(u"\uAC01\u11A8"), u"\uAC01\u11A8");
  std::u16string all;
  for (char16_t c = 0xAC00; c <= 0xD7A3; ++c) all.push_back(c);
  EXPECT_EQ(WideComposeHangul(WideDecompose(all)), all);
}

TEST(UnicodeTables, CanonicalComposition) {
  EXPECT_EQ(WideCompose(u"e\u0301"), u"\u00E9");
  EXPECT_EQ(WideCompose(u"\u1100\u1161"), u"\uAC00");
  EXPECT_EQ(WideCompose(u"\u1100\u1161\u11A8"), u"\uAC01");
  EXPECT_EQ(WideCompose(u"abc"), u"abc");
  EXPECT_EQ(WideCompose(u""), u"");
  EXPECT_EQ(WideCompose(u"\u00E9t\u00E9"), u"\u00E9t\u00E9");
  // Several levels, whatever the order of the marks: a, dot below, circumflex.
  EXPECT_EQ(WideCompose(u"a\u0302\u0323"), u"\u1EAD");
  EXPECT_EQ(WideCompose(u"s\u0323\u0307"), u"\u1E69");
  // A mark of a lower class in between does not block; one of the same class,
  // or a starter, does.
  EXPECT_EQ(WideCompose(u"a\u0316\u0301"), u"\u00E1\u0316");
  EXPECT_EQ(WideCompose(u"a\u0305\u0301"), u"a\u0305\u0301");
  EXPECT_EQ(WideCompose(u"e\u200D\u0301"), u"e\u200D\u0301");
  EXPECT_EQ(WideCompose(u"\u0301e"), u"\u0301e");
  // Two starters compose only side by side.
  EXPECT_EQ(WideCompose(u"\u0B47\u0B3E"), u"\u0B4B");
  EXPECT_EQ(WideCompose(u"\u0B47\u0301\u0B3E"), u"\u0B47\u0301\u0B3E");
  EXPECT_EQ(WideCompose(u"\u1100\u0301\u1161"), u"\u1100\u0301\u1161");
  // Singletons go to their primary form; excluded characters stay decomposed.
  EXPECT_EQ(WideCompose(u"\u212B"), u"\u00C5");
  EXPECT_EQ(WideCompose(u"\u1F71"), u"\u03AC");
  EXPECT_EQ(WideCompose(u"\u0958"), u"\u0915\u093C");
  EXPECT_EQ(WideCompose(u"\U0001D15E"), u"\U0001D157\U0001D165");
  EXPECT_EQ(WideCompose(u"\u0344"), u"\u0308\u0301");
  // Supplementary characters.
  EXPECT_EQ(WideCompose(u"\U00011099\U000110BA"), u"\U0001109A");
  // Every character is in composed form after one pass, and a second changes
  // nothing; a composed Latin or Hangul character comes back as itself.
  for (UCS4 c = 1; c < 0x30000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    WideString one;
    AppendCodePoint(one, c);
    WideString composed = WideCompose(one);
    ASSERT_EQ(WideCompose(composed), composed) << std::hex << c;
    ASSERT_EQ(WideCompose(WideDecompose(one)), composed) << std::hex << c;
    if ((c >= 0xC0 && c <= 0x24F && UnicodeIsComposite(c)) || (c >= 0xAC00 && c <= 0xD7A3)) {
      ASSERT_EQ(composed, one) << std::hex << c;
    }
  }
}

TEST(UnicodeTables, NumericValues) {
  TUNumber n{};
  EXPECT_TRUE(UnicodeGetNumber('1', n));
  EXPECT_EQ(n.Numerator, 1);
  EXPECT_EQ(n.Denominator, 1);
  EXPECT_EQ(UnicodeGetDigit('1'), 1);
  EXPECT_EQ(UnicodeGetDigit('0'), 0);
  EXPECT_EQ(UnicodeGetDigit('9'), 9);
  EXPECT_EQ(UnicodeGetDigit(0x0669), 9);
  EXPECT_EQ(UnicodeGetDigit('A'), -111);
  EXPECT_FALSE(UnicodeGetNumber('A', n));
  EXPECT_EQ(n.Numerator, -111);
  EXPECT_EQ(n.Denominator, -111);
  EXPECT_TRUE(UnicodeGetNumber(0x00BD, n));  // one half
  EXPECT_EQ(n.Numerator, 1);
  EXPECT_EQ(n.Denominator, 2);
  EXPECT_EQ(UnicodeGetDigit(0x00BD), -111);
  EXPECT_TRUE(UnicodeGetNumber(0x216B, n));  // Roman numeral twelve
  EXPECT_EQ(n.Numerator, 12);
  EXPECT_EQ(n.Denominator, 1);
  EXPECT_EQ(UnicodeGetDigit(0x216B), -111);
  EXPECT_TRUE(UnicodeGetNumber(0x10114, n));  // Aegean number fifty
  EXPECT_EQ(n.Numerator, 50);
  // Values that don't fit the table's 16 bits are not carried.
  EXPECT_FALSE(UnicodeGetNumber(0x2188, n));  // 100000
  EXPECT_FALSE(UnicodeGetNumber(0x0F33, n));  // -1/2
}

namespace {

std::vector<std::uint8_t> Bytes(const char* name) {
  TUnicodeTableBytes b = LoadUnicodeResource(name);
  return std::vector<std::uint8_t>(b.Data, b.Data + b.Size);
}

void Swap16(std::vector<std::uint8_t>& v, std::size_t at) { std::swap(v[at], v[at + 1]); }
void Swap32(std::vector<std::uint8_t>& v, std::size_t at) {
  std::swap(v[at], v[at + 3]);
  std::swap(v[at + 1], v[at + 2]);
}
std::uint16_t Get16(const std::vector<std::uint8_t>& v, std::size_t at) {
  return static_cast<std::uint16_t>(v[at] | (v[at + 1] << 8));
}

// The table in the other byte order.
std::vector<std::uint8_t> Swapped(const std::string& name) {
  std::vector<std::uint8_t> v = Bytes(name.c_str());
  std::size_t at = 8;
  if (name == "CASE") {
    for (std::size_t i = 0; i < 8; i += 2) Swap16(v, i);
  } else {
    std::size_t count = Get16(v, 2);
    Swap16(v, 0);
    Swap16(v, 2);
    Swap32(v, 4);
    if (name == "TYPE") {
      for (std::size_t k = 0; k <= count; ++k) Swap16(v, at + 2 * k);
      at += ((count + 1) * 2 + 3) & ~std::size_t(3);
    } else if (name == "NUMBERS") {
      std::size_t values = at + count * 4;
      for (; at < values; at += 4) Swap32(v, at);
      for (; at + 1 < v.size(); at += 2) Swap16(v, at);
      return v;
    }
  }
  for (; at + 3 < v.size(); at += 4) Swap32(v, at);
  return v;
}

}  // namespace

TEST(UnicodeTables, ByteSwappedTablesReadTheSame) {
  std::vector<std::vector<std::uint8_t>> store;
  const char* names[] = {"TYPE", "CASE", "DECOMPOSE", "COMBINE", "NUMBERS"};
  for (const char* n : names) store.push_back(Swapped(n));
  TUnicodeTables tables([&](const char* name) {
    for (int i = 0; i < 5; ++i)
      if (std::strcmp(names[i], name) == 0)
        return TUnicodeTableBytes{store[static_cast<std::size_t>(i)].data(),
                                  store[static_cast<std::size_t>(i)].size()};
    return TUnicodeTableBytes{};
  });
  EXPECT_TRUE(tables.InCategory('A', ccLetterUppercase));
  EXPECT_TRUE(tables.InCategory(0x10400, ccLetterUppercase));
  EXPECT_FALSE(tables.InCategory('a', ccLetterUppercase));
  EXPECT_EQ(tables.ToUpper(0x01C6), 0x01C4u);
  EXPECT_EQ(tables.ToTitle(0x01C6), 0x01C5u);
  EXPECT_EQ(tables.Decomposition(0x00C0), (std::vector<UCS4>{'A', 0x0300}));
  EXPECT_EQ(tables.CombiningClass(0x0301), 230u);
  TUNumber n{};
  EXPECT_TRUE(tables.GetNumber(0x00BE, n));
  EXPECT_EQ(n.Numerator, 3);
  EXPECT_EQ(n.Denominator, 4);
}

TEST(UnicodeTables, DamagedOrMissingTablesFailCleanly) {
  std::vector<std::uint8_t> type = Bytes("TYPE");
  type.resize(type.size() / 2);  // the header's byte count no longer fits
  TUnicodeTables cut([&](const char*) { return TUnicodeTableBytes{type.data(), type.size()}; });
  EXPECT_THROW(cut.InCategory('A', ccLetterUppercase), EUnicodeTableError);

  std::vector<std::uint8_t> junk(64, 0xAB);
  TUnicodeTables bad([&](const char*) { return TUnicodeTableBytes{junk.data(), junk.size()}; });
  EXPECT_THROW(bad.ToUpper('a'), EUnicodeTableError);

  std::vector<std::uint8_t> caseTable = Bytes("CASE");
  caseTable[2] = 0xFF;  // more records than bytes
  caseTable[3] = 0xFF;
  std::vector<std::uint8_t> typeTable = Bytes("TYPE");
  TUnicodeTables shortCase([&](const char* name) {
    if (std::strcmp(name, "CASE") == 0)
      return TUnicodeTableBytes{caseTable.data(), caseTable.size()};
    return TUnicodeTableBytes{typeTable.data(), typeTable.size()};
  });
  EXPECT_THROW(shortCase.ToUpper('a'), EUnicodeTableError);

  EXPECT_THROW(LoadUnicodeResource("NOSUCHTABLE"), EResNotFound);
}

TEST(UnicodeTables, FirstUseFromManyThreadsLoadsOnce) {
  int loads = 0;
  std::mutex m;
  TUnicodeTables tables([&](const char* name) {
    {
      std::lock_guard<std::mutex> g(m);
      ++loads;
    }
    return LoadUnicodeResource(name);
  });
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (UCS4 c = 'a'; c <= 'z'; ++c)
        if (tables.ToUpper(c) != c - 32) ++wrong;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(loads, 2);  // TYPE and CASE, once each
}
