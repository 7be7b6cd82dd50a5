#include <gtest/gtest.h>

#include "extlib/ExStrUtil.h"

TEST(ExStrUtil, ReplaceAndTrim) {
  EXPECT_EQ(ReplaceStr("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceStr("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceStr("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(DelBSpace("  a b  "), "a b  ");
  EXPECT_EQ(DelESpace("  a b  "), "  a b");
  EXPECT_EQ(DelRSpace("  a b  "), "a b");
  EXPECT_EQ(DelRSpace("    "), "");
  EXPECT_EQ(DelSpace1("a   b  c"), "a b c");
  EXPECT_EQ(Tab2Space("a\tb", 2), "a  b");
  EXPECT_EQ(MakeStr('x', 0), "");
  EXPECT_EQ(MakeStr('x', -3), "");
  EXPECT_TRUE(IsEmptyStr("", TCharSet{' '}));
  EXPECT_TRUE(IsEmptyStr(" \t", TCharSet{' ', '\t'}));
  EXPECT_FALSE(IsEmptyStr(" a", TCharSet{' '}));
}

TEST(ExStrUtil, PositionsAndPadding) {
  EXPECT_EQ(NPos("aa", "aaaa", 3), 3);  // overlapping hits count
  EXPECT_EQ(NPos("aa", "aaaa", 4), 0);
  EXPECT_EQ(NPos("", "abc", 1), 0);     // an empty text is never found
  EXPECT_EQ(AddChar('0', "7", 3), "007");
  EXPECT_EQ(AddCharR('.', "abcd", 3), "abcd");
  EXPECT_EQ(LeftStr("ab", 4), "ab  ");
  EXPECT_EQ(RightStr("ab", 4), "  ab");
  EXPECT_EQ(CenterStr("ab", 6), "  ab  ");
  EXPECT_EQ(CenterStr("abc", 2), "abc");
  EXPECT_EQ(Numb2USA("1234567"), "1,234,567");
  EXPECT_EQ(Numb2USA("123"), "123");
}

TEST(ExStrUtil, CopyToSymbol) {
  AnsiString S = "key=  value";
  EXPECT_EQ(Copy2SymbDel(S, '='), "key");
  EXPECT_EQ(S, "=  value");  // a separator other than space stays
  S = "first   second";
  EXPECT_EQ(Copy2SpaceDel(S), "first");
  EXPECT_EQ(S, "second");
  S = "alone";
  EXPECT_EQ(Copy2SymbDel(S, ','), "alone");
  EXPECT_EQ(S, "");
}

TEST(ExStrUtil, Words) {
  TCharSet Comma{','};
  EXPECT_EQ(WordCount(",,a,,b,", Comma), 2);
  EXPECT_EQ(WordPosition(2, ",,a,,b,", Comma), 6);
  EXPECT_EQ(WordPosition(3, ",,a,,b,", Comma), 0);
  EXPECT_EQ(ExtractWord(2, "one two  three", WordDelimiters), "two");
  EXPECT_EQ(ExtractWord(9, "one two", WordDelimiters), "");
  int Pos = -1;
  EXPECT_EQ(ExtractWordPos(3, "one two  three", WordDelimiters, Pos), "three");
  EXPECT_EQ(Pos, 10);
  EXPECT_EQ(ExtractDelimited(2, ",,a", Comma), "");
  EXPECT_EQ(ExtractDelimited(3, ",,a", Comma), "a");
  EXPECT_EQ(ExtractDelimited(4, ",,a", Comma), "");
  Pos = 1;
  EXPECT_EQ(ExtractSubstr("ab;cd", Pos, TCharSet{';'}), "ab");
  EXPECT_EQ(Pos, 4);
  EXPECT_EQ(ExtractSubstr("ab;cd", Pos, TCharSet{';'}), "cd");
  EXPECT_EQ(ExtractSubstr("ab;cd", Pos, TCharSet{';'}), "");
  EXPECT_TRUE(IsWordPresent("two", "one two", WordDelimiters));
  EXPECT_FALSE(IsWordPresent("Two", "one two", WordDelimiters));
  EXPECT_EQ(AnsiProperCase("hELLO wORLD", WordDelimiters), "Hello World");
  EXPECT_EQ(AnsiUpperCaseA("\xe9t\xe9"), "\xc9T\xc9");
}

TEST(ExStrUtil, Quoting) {
  EXPECT_EQ(QuotedString("it's", '\''), "'it''s'");
  EXPECT_EQ(ExtractQuotedString("'it''s'", '\''), "it's");
  EXPECT_EQ(ExtractQuotedString("plain", '\''), "plain");
  EXPECT_EQ(ExtractQuotedString("'open", '\''), "open");
}

TEST(ExStrUtil, NumberBases) {
  EXPECT_EQ(Dec2Numb(255, 4, 16), "00FF");
  EXPECT_EQ(Dec2Numb(0, 0, 2), "0");
  EXPECT_EQ(Dec2Numb(35, 1, 36), "Z");
  EXPECT_EQ(Dec2Numb(5, 1, 1), "");  // no such base
  EXPECT_EQ(Numb2Dec("ff", 16), 255);
  EXPECT_EQ(Numb2Dec("1010", 2), 10);
  EXPECT_EQ(Dec2Hex(255, 4), "00FF");
  EXPECT_EQ(Hex2Dec("ff"), 255);
  EXPECT_EQ(Hex2Dec("$1A"), 26);
  EXPECT_EQ(Hex2Dec("xyz"), 0);
  EXPECT_EQ(Hex2Dec(""), 0);
  EXPECT_EQ(Hex2Dec("11112222333344445"), 0);  // more than 64 bits
  EXPECT_EQ(IntToBin(5, 4, 4), " 0101");
  EXPECT_EQ(IntToBin(5, 6, 4), "00 0101");
  EXPECT_EQ(IntToBin(5, 3, 0), "101");  // a zero group width writes no spaces
  EXPECT_EQ(IntToBin(-1, 40, 64), MakeStr('1', 32));
}

TEST(ExStrUtil, Roman) {
  EXPECT_EQ(IntToRoman(1994), "MCMXCIV");
  EXPECT_EQ(IntToRoman(3888), "MMMDCCCLXXXVIII");
  EXPECT_EQ(IntToRoman(0), "");
  EXPECT_EQ(RomanToInt("mcmxciv"), 1994);
  EXPECT_EQ(RomanToInt("-XIV"), -14);
  EXPECT_EQ(RomanToInt("XAV"), 0);
  EXPECT_EQ(RomanToInt(MakeStr('M', 3000000)), 0);  // too big for an int
  for (int I = 1; I < 4000; ++I) ASSERT_EQ(RomanToInt(IntToRoman(I)), I) << I;
}

TEST(ExStrUtil, Wildcards) {
  EXPECT_TRUE(IsWild("readme.txt", "*.TXT", true));
  EXPECT_FALSE(IsWild("readme.txt", "*.TXT", false));
  EXPECT_TRUE(IsWild("anything", "**", false));
  EXPECT_TRUE(IsWild("abcdef", "a*d?f", false));
  EXPECT_TRUE(IsWild("abcdef", "a*c*", false));
  EXPECT_FALSE(IsWild("abcdef", "a*x*", false));
  EXPECT_TRUE(IsWild("abc", "a?c", false));
  EXPECT_FALSE(IsWild("abcd", "a?c", false));
  EXPECT_FALSE(IsWild("ab", "a?c", false));
  EXPECT_TRUE(IsWild("ab", "ab*", false));
  EXPECT_FALSE(IsWild("", "a", false));
  EXPECT_FALSE(IsWild("a", "*bc", false));  // segment longer than the input
  EXPECT_EQ(FindPart("c?e", "abcdef"), 3);
  EXPECT_EQ(FindPart("cd", "abcdef"), 3);
  EXPECT_EQ(FindPart("x?", "abcdef"), 0);
}

TEST(ExStrUtil, XorScrambling) {
  EXPECT_EQ(XorEncode("", "AB"), "4142");
  EXPECT_EQ(XorDecode("", "4142"), "AB");
  EXPECT_EQ(XorDecode("", "41zz4"), "A ");  // bad pair gives a space, odd digit ignored
  AnsiString Secret = "registry \x01\xff path";
  EXPECT_EQ(XorDecode("key", XorEncode("key", Secret)), Secret);
  EXPECT_EQ(XorString("k", XorString("k", Secret)), Secret);
  EXPECT_EQ(XorString("", "abc"), "abc");
}

TEST(ExStrUtil, CommandLineSwitch) {
  std::vector<AnsiString> P{"prog.exe", "/Ini", "a.ini", "-x", "b"};
  EXPECT_EQ(GetCmdLineArgOf(P, "ini", TCharSet{'/', '-'}), "a.ini");
  EXPECT_EQ(GetCmdLineArgOf(P, "X", TCharSet{'/', '-'}), "b");
  EXPECT_EQ(GetCmdLineArgOf({"prog", "/last"}, "last", TCharSet{'/'}), "");
  EXPECT_EQ(GetCmdLineArgOf(P, "ini", TCharSet{'-'}), "");  // wrong switch character
  EXPECT_EQ(GetCmdLineArgOf({"prog", "", "-"}, "", TCharSet{'-'}), "");
}
