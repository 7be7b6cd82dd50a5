// Wide-string helpers, code pages, code blocks and UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "unicode/UnicodeUtils.h"

namespace {
std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}
std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}
}  // namespace

TEST(Utf8, EncodesOneToFourBytes) {
  EXPECT_EQ(WideStringToUTF8(u""), "");
  EXPECT_EQ(Hex(WideStringToUTF8(u"A")), "41");
  EXPECT_EQ(Hex(WideStringToUTF8(u"\u00E9")), "C3 A9");
  EXPECT_EQ(Hex(WideStringToUTF8(u"\u20AC")), "E2 82 AC");
  // A surrogate pair is one 4-byte sequence, not two 3-byte halves.
  EXPECT_EQ(Hex(WideStringToUTF8(u"\U0001F600")), "F0 9F 98 80");
  EXPECT_EQ(Hex(WideStringToUTF8(u"\U0010FFFF")), "F4 8F BF BF");
  // Lone surrogates have no UTF-8 form.
  EXPECT_EQ(Hex(WideStringToUTF8(std::u16string(1, char16_t(0xD83D)))), "EF BF BD");
  EXPECT_EQ(Hex(WideStringToUTF8(u"\xDE00" u"a")), "EF BF BD 61");
}

TEST(Utf8, DecodesAndRoundTrips) {
  EXPECT_EQ(UTF8ToWideString(""), u"");
  EXPECT_EQ(UTF8ToWideString(B({0xF0, 0x9F, 0x98, 0x80})), u"\xD83D\xDE00");
  EXPECT_EQ(UTF8ToWideString(B({0xC3, 0xA9})), u"\u00E9");
  std::u16string mixed = u"a\u00E9\u0800\uFFFF\U00010000\U0010FFFF z";
  EXPECT_EQ(UTF8ToWideString(WideStringToUTF8(mixed)), mixed);
  std::u16string all;
  for (char32_t c = 1; c < 0x110000; c += 97) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c > 0xFFFF) {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      all.push_back(static_cast<char16_t>(c));
    }
  }
  EXPECT_EQ(UTF8ToWideString(WideStringToUTF8(all)), all);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  const std::u16string R = u"\uFFFD";
  // Overlong forms.
  EXPECT_EQ(UTF8ToWideString(B({0xC0, 0x80})), R + R);
  EXPECT_EQ(UTF8ToWideString(B({0xC1, 0xBF})), R + R);
  EXPECT_EQ(UTF8ToWideString(B({0xE0, 0x80, 0xAF})), R + R + R);
  EXPECT_EQ(UTF8ToWideString(B({0xF0, 0x80, 0x80, 0xAF})), R + R + R + R);
  // Encoded surrogates and values above U+10FFFF.
  EXPECT_EQ(UTF8ToWideString(B({0xED, 0xA0, 0x80})), R + R + R);
  EXPECT_EQ(UTF8ToWideString(B({0xF4, 0x90, 0x80, 0x80})), R + R + R + R);
  // Five- and six-byte forms are not UTF-8.
  EXPECT_EQ(UTF8ToWideString(B({0xF8, 0x88, 0x80, 0x80, 0x80})), R + R + R + R + R);
  EXPECT_EQ(UTF8ToWideString(B({0xFE, 0xFF})), R + R);
  // Stray continuation bytes, and a lead byte followed by a non-continuation.
  EXPECT_EQ(UTF8ToWideString(B({0x80, 0x41})), R + u"A");
  EXPECT_EQ(UTF8ToWideString(B({0xE2, 0x82, 0x41})), R + u"A");
  // Truncated sequences at the end never read past the text.
  EXPECT_EQ(UTF8ToWideString(B({0x41, 0xE2, 0x82})), u"A" + R);
  EXPECT_EQ(UTF8ToWideString(B({0xF0, 0x9F, 0x98})), R);
  EXPECT_EQ(UTF8ToWideString(B({0xC3})), R);
  std::string withNul = B({0x61, 0x00, 0x62});
  EXPECT_EQ(UTF8ToWideString(withNul), std::u16string(u"a\0b", 3));
}

TEST(WideCStrings, CopyConcatAndLength) {
  char16_t buf[32];
  EXPECT_EQ(StrLenW(u""), 0u);
  EXPECT_EQ(StrLenW(u"abc"), 3u);
  StrCopyW(buf, u"abc");
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(StrEndW(buf), buf + 3);
  EXPECT_EQ(StrECopyW(buf, u"hello"), buf + 5);
  StrLCopyW(buf, u"abcdef", 3);
  EXPECT_EQ(std::u16string(buf), u"abc");
  StrCatW(buf, u"de");
  EXPECT_EQ(std::u16string(buf), u"abcde");
  StrLCatW(buf, u"fghij", 7);
  EXPECT_EQ(std::u16string(buf), u"abcdefg");
  StrLCatW(buf, u"xyz", 5);  // already longer: unchanged
  EXPECT_EQ(std::u16string(buf), u"abcdefg");
  // Overlapping moves in both directions.
  StrCopyW(buf, u"123456");
  StrMoveW(buf + 2, buf, 4);
  EXPECT_EQ(std::u16string(buf, 6), u"121234");
  StrCopyW(buf, u"123456");
  StrMoveW(buf, buf + 2, 4);
  EXPECT_EQ(std::u16string(buf, 6), u"345656");
  StrPCopyW(buf, "caf\xE9");
  EXPECT_EQ(std::u16string(buf), u"caf\u00E9");
  char16_t raw[4] = {u'x', u'x', u'x', u'x'};
  StrPLCopyW(raw, "\x80\x41", 2);
  EXPECT_EQ(raw[0], 0x80);  // the byte's own number, no code page
  EXPECT_EQ(raw[1], u'A');
  EXPECT_EQ(raw[2], u'x');  // no terminator written
}

TEST(WideCStrings, Comparisons) {
  EXPECT_EQ(StrCompW(u"abc", u"abc"), 0);
  EXPECT_LT(StrCompW(u"abc", u"abd"), 0);
  EXPECT_GT(StrCompW(u"abcd", u"abc"), 0);
  EXPECT_LT(StrCompW(u"ab", u"abc"), 0);
  EXPECT_EQ(StrICompW(u"a", u"A"), 0);
  EXPECT_EQ(StrICompW(u"Hello", u"hELLO"), 0);
  EXPECT_NE(StrICompW(u"\u00E0", u"\u00C0"), 0);  // only ASCII letters fold
  EXPECT_EQ(StrLCompW(u"abcX", u"abcY", 3), 0);
  EXPECT_NE(StrLCompW(u"abcX", u"abcY", 4), 0);
  EXPECT_EQ(StrLCompW(u"a", u"b", 0), 0);
  EXPECT_EQ(StrLICompW(u"ABCx", u"abcy", 3), 0);
}

TEST(WideCStrings, Scanning) {
  const char16_t* s = u"hello world";
  EXPECT_EQ(StrScanW(s, u'o'), s + 4);
  EXPECT_EQ(StrScanW(s, u'z'), nullptr);
  EXPECT_EQ(StrScanW(s, 0), s + 11);  // the terminator can be found
  EXPECT_EQ(StrRScanW(s, u'o'), s + 7);
  EXPECT_EQ(StrRScanW(s, u'z'), nullptr);
  // The counted form: a count of 0 finds nothing; terminators don't stop it.
  EXPECT_EQ(StrScanW(s, u'h', 0), nullptr);
  EXPECT_EQ(StrScanW(s, u'h', 65536), s);
  EXPECT_EQ(StrScanW(s, u'w', 6), nullptr);
  EXPECT_EQ(StrScanW(s, u'w', 7), s + 6);
  EXPECT_EQ(StrScanW(nullptr, u'w', 7), nullptr);
  const char16_t withNul[] = {u'a', 0, u'b', 0};
  EXPECT_EQ(StrScanW(withNul, u'b', 3), withNul + 2);
  EXPECT_EQ(StrNScanW(u"abc,def", u",;"), 3);
  EXPECT_EQ(StrNScanW(u"abcdef", u",;"), 6);
  EXPECT_EQ(StrNScanW(nullptr, u","), -1);
  EXPECT_EQ(StrRNScanW(u"abc,def", u",;"), 3);
  EXPECT_EQ(StrRNScanW(u"abcdef", u",;"), 6);
  EXPECT_EQ(StrRNScanW(u"", u","), 0);
  EXPECT_EQ(StrRNScanW(u"abc", nullptr), -1);
  EXPECT_EQ(StrPosW(s, u"world"), s + 6);
  EXPECT_EQ(StrPosW(s, u"worlds"), nullptr);
  EXPECT_EQ(StrPosW(s, u""), nullptr);
  EXPECT_EQ(StrPosW(u"ab", u"abc"), nullptr);
  EXPECT_EQ(StrPosW(nullptr, u"a"), nullptr);
}

TEST(WideCStrings, BlocksCaseAndByteOrder) {
  char16_t* p = StrAllocW(10);
  EXPECT_EQ(StrBufSizeW(p), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0);
  StrDisposeW(p);
  char16_t* q = StrNewW(u"Straße \U00010428");
  EXPECT_EQ(StrBufSizeW(q), 10u);
  StrUpperW(q);
  EXPECT_EQ(std::u16string(q), u"STRAßE \U00010400");
  StrLowerW(q);
  EXPECT_EQ(std::u16string(q), u"straße \U00010428");
  StrDisposeW(q);
  EXPECT_EQ(StrNewW(nullptr), nullptr);
  StrDisposeW(nullptr);
  char16_t t[] = {u'\u01C6', u'x', 0};
  StrTitleW(t);
  EXPECT_EQ(t[0], 0x01C5);
  EXPECT_EQ(t[1], u'X');
  char16_t sw[] = {0x4100, 0x0042, 0, 0x1234};
  StrSwapByteOrder(sw);
  EXPECT_EQ(sw[0], 0x0041);
  EXPECT_EQ(sw[1], 0x4200);
  EXPECT_EQ(sw[3], 0x1234);  // stops at the terminator
}

TEST(WideStringHelpers, QuotingAndExtracting) {
  EXPECT_EQ(WideQuotedStr(u"abc", u'"'), u"\"abc\"");
  EXPECT_EQ(WideQuotedStr(u"a\"b", u'"'), u"\"a\"\"b\"");
  EXPECT_EQ(WideQuotedStr(u"", u'\''), u"''");
  std::u16string quoted = WideQuotedStr(u"say \"hi\"", u'"') + u" rest";
  const char16_t* p = quoted.c_str();
  EXPECT_EQ(WideExtractQuotedStr(p, u'"'), u"say \"hi\"");
  EXPECT_EQ(std::u16string(p), u" rest");
  const char16_t* open = u"\"unterminated";
  const char16_t* q = open;
  EXPECT_EQ(WideExtractQuotedStr(q, u'"'), u"unterminated");
  EXPECT_EQ(*q, 0);
  const char16_t* plain = u"plain";
  const char16_t* r = plain;
  EXPECT_EQ(WideExtractQuotedStr(r, u'"'), u"");
  EXPECT_EQ(r, plain);
}

TEST(WideStringHelpers, TrimPositionsAndLineBreaks) {
  EXPECT_EQ(WideTrim(u"\t\u00A0 abc \u00A0\t\r\n"), u"abc");
  EXPECT_EQ(WideTrimLeft(u"\t abc "), u"abc ");
  EXPECT_EQ(WideTrimRight(u"\t abc \x01"), u"\t abc");
  EXPECT_EQ(WideTrim(u" \t "), u"");
  EXPECT_EQ(WideStringOfChar(u'x', 3), u"xxx");
  EXPECT_EQ(WideStringOfChar(u'x', 0), u"");
  EXPECT_EQ(WideStringOfChar(u'x', -2), u"");
  EXPECT_EQ(WideCharPos(u"abcabc", u'b', 1), 2);
  EXPECT_EQ(WideCharPos(u"abcabc", u'b', 3), 5);
  EXPECT_EQ(WideCharPos(u"abcabc", u'b', 6), 0);
  EXPECT_EQ(WideCharPos(u"abcabc", u'b', 0), 0);
  EXPECT_EQ(WideCharPos(u"abcabc", u'b', 7), 0);
  std::u16string text = u"a\r\nb\rc\nd\r\n";
  std::u16string adjusted = WideAdjustLineBreaks(text);
  EXPECT_EQ(adjusted, u"a\u2028b\u2028c\u2028d\u2028");
  EXPECT_EQ(adjusted.size(), text.size() - 2);  // one shorter per CR LF
}

TEST(WideStringHelpers, CaseOfCharactersAndStrings) {
  EXPECT_EQ(WideUpCase(u'a'), u'A');
  EXPECT_EQ(WideLoCase(u'\u00C9'), u'\u00E9');
  EXPECT_EQ(WideTitleCaseChar(u'\u01C4'), u'\u01C5');
  EXPECT_EQ(WideUpperCase(u"abc\u00E9\U00010428"), u"ABC\u00C9\U00010400");
  EXPECT_EQ(WideLowerCase(u"ABC\u00C9\U00010400"), u"abc\u00E9\U00010428");
  EXPECT_EQ(WideTitleCaseString(u"\u01C6a"), u"\u01C5A");
}

TEST(CodePages, ConversionsAndLoss) {
  EXPECT_EQ(CodePageToWideString("", 1252), u"");
  EXPECT_EQ(CodePageToWideString("caf\xE9", 1252), u"caf\u00E9");
  EXPECT_EQ(CodePageToWideString("\x80", 1252), u"\u20AC");
  bool lost = true;
  EXPECT_EQ(WideStringToCodePage(u"caf\u00E9 \u20AC", 1252, &lost), "caf\xE9 \x80");
  EXPECT_FALSE(lost);
  AnsiString out = WideStringToCodePage(u"a\u4E00b", 1252, &lost);
  EXPECT_TRUE(lost);
  EXPECT_EQ(out.size(), 3u);
  WideStringToCodePage(u"a\U0001F600", 1252, &lost);
  EXPECT_TRUE(lost);
  // Characters the converter replaces by a look-alike are lost as well.
  for (char16_t c : {u'\u0101', u'\uFF21', u'\u2212'}) {
    lost = false;
    WideStringToCodePage(u"x" + WideString(1, c) + u"y", 1252, &lost);
    EXPECT_TRUE(lost) << std::hex << int(c);
  }
  EXPECT_NE(CodePageFromLocale(0x0409), 0u);
#ifdef _WIN32
  EXPECT_EQ(CodePageFromLocale(0x0409), 1252u);
  EXPECT_EQ(CodePageFromLocale(0x0411), 932u);
  // A double-byte code page: fewer characters than bytes, and the result
  // holds only what was converted.
  EXPECT_EQ(CodePageToWideString("\x82\xA0\x41", 932), u"\u3042A");
  EXPECT_EQ(WideStringToCodePage(u"\u3042A", 932, &lost), "\x82\xA0\x41");
  EXPECT_FALSE(lost);
#endif
  EXPECT_NE(KeyboardCodePage(), 0u);
  EXPECT_EQ(KeyUnicode('A'), u'A');
}

TEST(CodeBlocks, Lookup) {
  EXPECT_EQ(CodeBlockFromChar(u'A'), 0);
  EXPECT_EQ(CodeBlockFromChar(0x007F), 0);
  EXPECT_EQ(CodeBlockFromChar(0x00E9), 1);
  EXPECT_EQ(CodeBlockFromChar(0x0530), 9);
  EXPECT_EQ(CodeBlockFromChar(0x0500), 67);  // between blocks
  EXPECT_EQ(CodeBlockFromChar(0x4E00), 53);
  EXPECT_EQ(CodeBlockFromChar(0xAC00), 54);
  EXPECT_EQ(CodeBlockFromChar(0xD7A4), 67);
  EXPECT_EQ(CodeBlockFromChar(0xDB80), 56);
  EXPECT_EQ(CodeBlockFromChar(0xFF00), 66);
  EXPECT_EQ(CodeBlockFromChar(0xFFFF), 67);
}

TEST(EditorText, ConvertsToAndFromString) {
  std::u16string w = u"a\u00E9\U0001F600";
  String s = ToString(w);
  EXPECT_EQ(ToWideString(s), w);
  if (sizeof(wchar_t) == 4) {
    EXPECT_EQ(s.size(), 3u);
  } else {
    EXPECT_EQ(s.size(), 4u);
  }
}
