#include <gtest/gtest.h>

#include "app/Cvalue.h"
#include "app/RegFile.h"
#include "testsupport/Bytes.h"

namespace {

struct Op {
  String what;  // "key", "del", "set", "rm"
  TRegRoot root = 0;
  String name;
  uint32_t type = 0;
  std::string data;
};

class Recorder : public IRegFileSink {
 public:
  std::vector<Op> ops;
  bool refuse = false;
  bool OpenKey(TRegRoot Root, const String& Path) override {
    if (refuse) return false;
    ops.push_back({L"key", Root, Path});
    return true;
  }
  void DeleteKey(TRegRoot Root, const String& Path) override { ops.push_back({L"del", Root, Path}); }
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    ops.push_back({L"set", 0, Name, Type, Data});
  }
  void DeleteValue(const String& Name) override { ops.push_back({L"rm", 0, Name}); }
};

using testsupport::Dw;

TRegImportResult Import(const std::vector<String>& lines, Recorder& r, bool unicode = false) {
  return ImportRegLines(lines, r, unicode);
}

}  // namespace

TEST(RegFileWrite, AnsiFormWithEscapesAndTypes) {
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"Software\\T");
  w.AddValue(L"", RegType::Sz, StringToRegBytes(L"def"));
  w.AddValue(L"q\"b\\=x", RegType::Sz, StringToRegBytes(L"a\"b\\c"));
  w.AddValue(L"n", RegType::Dword, Dw(31));
  w.AddValue(L"b", RegType::Binary, std::string("\x01\xAB", 2));
  w.AddValue(L"e", RegType::ExpandSz, StringToRegBytes(L"%A"));
  w.AddValue(L"z", RegType::Binary, std::string());
  w.AddValue(L"m", RegType::MultiSz, StringToRegBytes(L"a") + std::string(2, '\0'));
  w.AddValue(L"q", RegType::Qword, std::string("\x01\0\0\0\0\0\0\x02", 8));
  w.AddKey(L"HKEY_CURRENT_USER", L"");
  EXPECT_FALSE(w.NeedsUnicode());
  const std::vector<String> lines = w.RenderLines();
  const std::vector<String> expected = {
      L"REGEDIT4",
      L"",
      L"[HKEY_CURRENT_USER\\Software\\T]",
      L"\"\"=\"def\"",
      L"\"q\\\"b\\\\=x\"=\"a\\\"b\\\\c\"",
      L"\"n\"=dword:0000001F",
      L"\"b\"=hex:01,AB",
      L"\"e\"=hex(2):25,41,00",
      L"\"z\"=hex:",
      L"\"m\"=hex(7):61,00,00",
      L"\"q\"=hex(b):01,00,00,00,00,00,00,02",
      L"",
      L"[HKEY_CURRENT_USER]",  // a root key alone, as regedit writes it
  };
  EXPECT_EQ(lines, expected);
  const std::string bytes = w.Render();
  EXPECT_EQ(bytes.substr(0, 10), "REGEDIT4\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(RegFileWrite, UnicodeFormWhenTextDoesNotFitAnsi) {
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"Software\\T");
  w.AddValue(L"\u4e2d", RegType::Sz, StringToRegBytes(L"x"));
  w.AddValue(L"e", RegType::ExpandSz, StringToRegBytes(L"%A"));
  EXPECT_TRUE(w.NeedsUnicode());
  const auto lines = w.RenderLines();
  EXPECT_EQ(lines[0], L"Windows Registry Editor Version 5.00");
  EXPECT_EQ(lines[4], L"\"e\"=hex(2):25,00,41,00,00,00");  // UTF-16 bytes in version 5
  const std::string bytes = w.Render();
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4));
  // Non-ANSI string data alone also switches the form.
  TRegFileWriter w2;
  w2.AddKey(L"HKEY_CURRENT_USER", L"A");
  w2.AddValue(L"s", RegType::Sz, StringToRegBytes(L"\u0101"));
  EXPECT_TRUE(w2.NeedsUnicode());
}

TEST(RegFileWrite, NamesWithLineBreaksAreLeftOutAndCounted) {
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"A");
  w.AddValue(L"bad\nname", RegType::Sz, StringToRegBytes(L"x"));
  w.AddValue(L"good", RegType::Sz, StringToRegBytes(L"y"));
  w.AddKey(L"HKEY_CURRENT_USER", L"A\\bro\rken");
  w.AddValue(L"inside", RegType::Sz, StringToRegBytes(L"z"));
  w.AddKey(L"HKEY_CURRENT_USER", L"B");
  w.AddValue(L"after", RegType::Sz, StringToRegBytes(L"w"));
  w.AddValue(String(L"nul\0in", 6), RegType::Sz, StringToRegBytes(L"v"));  // read back, it would name "nul"
  EXPECT_EQ(w.Unwritable(), 4u);
  EXPECT_EQ(w.UnwritableKeys(), 1u);
  // Named for the user, the left-out key's value not apart.
  EXPECT_EQ(w.UnwritableNamed(),
            (std::vector<String>{L"HKEY_CURRENT_USER\\A, value \"bad<LF>name\"", L"HKEY_CURRENT_USER\\A\\bro<CR>ken",
                                 L"HKEY_CURRENT_USER\\B, value \"nul<NUL>in\""}));
  EXPECT_EQ(w.KeyCount(), 2u);
  EXPECT_EQ(w.ValueCount(), 2u);
  const std::vector<String> expected = {L"REGEDIT4", L"", L"[HKEY_CURRENT_USER\\A]", L"\"good\"=\"y\"", L"",
                                        L"[HKEY_CURRENT_USER\\B]", L"\"after\"=\"w\""};
  EXPECT_EQ(w.RenderLines(), expected);
}

// Parts of a branch collected apart and joined in order give the same file,
// counts and Unicode decision as one writer fed in sequence.
TEST(RegFileWrite, JoinedPartsRenderAsOneWriter) {
  auto feed = [](TRegFileWriter& w, int from, int to) {
    for (int k = from; k < to; ++k) {
      w.AddKey(L"HKEY_CURRENT_USER", L"Br\\K" + IntToStr(k) + (k == 3 ? L"\nbad" : L""));
      w.AddValue(L"v", RegType::Sz, StringToRegBytes(k == 5 ? L"\u4e2d" : L"x"));
      w.AddValue(L"d", RegType::Dword, std::string("\x01\0\0\0", 4));
      if (k % 3 == 0) w.AddValue(L"bare" + IntToStr(k), RegType::ExpandSz, std::string("a\0", 2));
    }
  };
  TRegFileWriter whole, joined, a, b, c;
  feed(whole, 0, 8);
  feed(a, 0, 2);
  feed(b, 2, 4);  // ends inside a left-out key
  feed(c, 4, 8);
  EXPECT_FALSE(a.NeedsUnicode());
  joined.Append(std::move(a));
  EXPECT_FALSE(joined.NeedsUnicode());
  joined.Append(std::move(b));
  joined.Append(std::move(c));
  EXPECT_TRUE(joined.NeedsUnicode());
  EXPECT_EQ(joined.KeyCount(), whole.KeyCount());
  EXPECT_EQ(joined.ValueCount(), whole.ValueCount());
  EXPECT_EQ(joined.Unwritable(), whole.Unwritable());
  EXPECT_EQ(joined.UnwritableNamed(), whole.UnwritableNamed());
  EXPECT_EQ(joined.GainsNulNamed(), whole.GainsNulNamed());
  EXPECT_EQ(joined.Render(), whole.Render());
  EXPECT_EQ(b.KeyCount(), 0u);  // moved out
}

TEST(RegFileWrite, StringsThatCantBeQuotedUseHex) {
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"A");
  w.AddValue(L"nl", RegType::Sz, StringToRegBytes(L"a\nb"));
  w.AddValue(L"noterm", RegType::Sz, std::string("a\0", 2));
  w.AddValue(L"empty", RegType::Sz, std::string());
  w.AddValue(L"short", RegType::Dword, std::string("\x01\x02", 2));
  const auto lines = w.RenderLines();
  EXPECT_EQ(lines[3], L"\"nl\"=hex(1):61,0A,62,00");
  EXPECT_EQ(lines[4], L"\"noterm\"=hex(1):61");
  EXPECT_EQ(lines[5], L"\"empty\"=hex(1):");
  EXPECT_EQ(lines[6], L"\"short\"=hex(4):01,02");
  // Text without its final NUL reads back with one: such values are named.
  w.AddValue(L"", RegType::MultiSz, std::string("a\0", 2));
  w.AddValue(L"odd", RegType::ExpandSz, std::string("a\0b", 3));  // read back as it is
  EXPECT_EQ(w.GainsNulNamed(), (std::vector<String>{L"HKEY_CURRENT_USER\\A, value \"noterm\"",
                                                    L"HKEY_CURRENT_USER\\A, the default value"}));
}

TEST(RegFileRoundTrip, EveryValueComesBackIdentical) {
  struct V {
    String name;
    uint32_t type;
    std::string data;
  };
  for (bool unicodeName : {false, true}) {
    std::vector<V> vals = {
        {L"", RegType::Sz, StringToRegBytes(L"default")},
        {L"s", RegType::Sz, StringToRegBytes(L"quote\" back\\slash = eq")},
        {L"a=b", RegType::Sz, StringToRegBytes(L"")},
        {L"\"quoted\"", RegType::ExpandSz, StringToRegBytes(L"%PATH%;x")},
        {L"d", RegType::Dword, Dw(0xFFFFFFFF)},
        {L"b", RegType::Binary, std::string("\0\x01\xFE\xFF", 4)},
        {L"z", RegType::Binary, std::string()},
        {L"m", RegType::MultiSz, StringToRegBytes(L"one") + StringToRegBytes(L"two") + std::string(2, '\0')},
        {L"q", RegType::Qword, std::string("12345678", 8)},
        {L"none", RegType::None, std::string()},
        {L"nul", RegType::Sz, std::string("a\0\0\0b\0\0\0", 8)},
        {L"nl", RegType::Sz, StringToRegBytes(L"line1\r\nline2")},
        {L"big", 0x20000, std::string("\x7F", 1)},
    };
    if (unicodeName) {
      vals.push_back({L"\u4e2d\u6587", RegType::Sz, StringToRegBytes(L"\u65e5\u672c")});
    }
    TRegFileWriter w;
    w.AddKey(L"HKEY_CURRENT_USER", L"Software\\Zembrio ]Test");
    for (const auto& v : vals) w.AddValue(v.name, v.type, v.data);
    w.AddKey(L"HKEY_LOCAL_MACHINE", L"Software\\Other");
    EXPECT_EQ(w.NeedsUnicode(), unicodeName);
    bool unicode = false;
    const auto lines = DecodeTextLines(w.Render(), &unicode);
    EXPECT_EQ(unicode, unicodeName);
    Recorder r;
    const auto res = Import(lines, r, unicode);
    EXPECT_EQ(res.SkippedLines, 0);
    ASSERT_EQ(r.ops.size(), vals.size() + 2);
    EXPECT_EQ(r.ops[0].what, L"key");
    EXPECT_EQ(r.ops[0].root, RegRoot::CurrentUser);
    EXPECT_EQ(r.ops[0].name, L"Software\\Zembrio ]Test");
    for (size_t i = 0; i < vals.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(r.ops[i + 1].name, vals[i].name);
      EXPECT_EQ(r.ops[i + 1].type, vals[i].type);
      EXPECT_EQ(r.ops[i + 1].data, vals[i].data);
    }
    EXPECT_EQ(r.ops.back().root, RegRoot::LocalMachine);
  }
  // Text of an odd byte count is written as hex(1) bytes in the Unicode
  // form and read back as it was, without a NUL added.
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"T");
  w.AddValue(L"odd", RegType::Sz, std::string("abc", 3));
  bool unicode = false;
  const auto lines = DecodeTextLines(w.Render(), &unicode);
  EXPECT_TRUE(unicode);
  EXPECT_EQ(lines.back(), L"\"odd\"=hex(1):61,62,63");
  Recorder r;
  EXPECT_EQ(Import(lines, r, unicode).SkippedLines, 0);
  ASSERT_EQ(r.ops.size(), 2u);
  EXPECT_EQ(r.ops[1].data, std::string("abc", 3));
}

// Key names may hold brackets, semicolons and blanks at either end: a
// key line ending in "]" names the key written between the brackets, so
// no key's values land in another key (such as "a" for "a] ;b").
TEST(RegFileRoundTrip, KeyNamesWithBracketsSemicolonsAndBlanks) {
  const std::vector<String> names = {L"a] ;b", L"x]\t;y]", L"]", L"[z]", L" lead", L"trail ", L"s;c", L"e]] ; ]"};
  TRegFileWriter w;
  for (const String& n : names) {
    w.AddKey(L"HKEY_CURRENT_USER", L"T\\" + n);
    w.AddValue(L"v", RegType::Sz, StringToRegBytes(n));
  }
  for (bool unicode : {false, true}) {
    std::vector<String> lines = w.RenderLines();
    if (unicode) lines[0] = RegHeader5;
    Recorder r;
    const auto res = Import(lines, r, unicode);
    EXPECT_EQ(res.SkippedLines, 0);
    ASSERT_EQ(r.ops.size(), names.size() * 2);
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(r.ops[2 * i].name, L"T\\" + names[i]);
      EXPECT_EQ(r.ops[2 * i + 1].data, StringToRegBytes(names[i]));
    }
  }
}

TEST(RegFileImport, RegeditForms) {
  Recorder r;
  const auto res = Import({L"Windows Registry Editor Version 5.00", L"", L"; a comment",
                           L"[HKEY_CURRENT_USER\\Software\\X]", L"@=\"dflt\"", L"\"max\"=dword:ffffffff",
                           L"\"small\"=dword:1", L"\"h\"=hex:01,02,\\", L"  03,04,\\", L"  05",
                           L"\"e\"=hex(2):41,00,00,00", L"\"gone\"=-", L"[-HKEY_CURRENT_USER\\Software\\Y]",
                           L"  \"indented\" = \"v\"  "},
                          r);
  EXPECT_EQ(res.SkippedLines, 1);  // the value after the deletion has no open key
  ASSERT_EQ(r.ops.size(), 8u);
  EXPECT_EQ(r.ops[1].name, L"");
  EXPECT_EQ(r.ops[1].data, StringToRegBytes(L"dflt"));
  EXPECT_EQ(r.ops[2].data, Dw(0xFFFFFFFF));
  EXPECT_EQ(r.ops[3].data, Dw(1));
  EXPECT_EQ(r.ops[4].data, std::string("\x01\x02\x03\x04\x05", 5));
  EXPECT_EQ(r.ops[5].type, RegType::ExpandSz);
  EXPECT_EQ(r.ops[5].data, std::string("A\0\0\0", 4));
  EXPECT_EQ(r.ops[6].what, L"rm");
  EXPECT_EQ(r.ops[7].what, L"del");
  EXPECT_EQ(r.ops[7].name, L"Software\\Y");
}

TEST(RegFileImport, Regedit4HexTextIsAnsi) {
  Recorder r;
  Import({L"REGEDIT4", L"[HKEY_CURRENT_USER\\A]", L"\"e\"=hex(2):25,41,00"}, r, true);
  ASSERT_EQ(r.ops.size(), 2u);
  EXPECT_EQ(r.ops[1].data, StringToRegBytes(L"%A"));
}

TEST(RegFileImport, KeyLinesFoldRootCaseAndTrimBackslashes) {
  Recorder r;
  const auto res = Import({L"[hkey_current_user\\\\A\\B\\]", L"[Hkey_Local_Machine]", L"[-hkey_users\\X\\]",
                           L"[HKEY_CURRENT_USER\\C]", L"\"e\"=hex(2):e9,41,00", L"\"h\"=hex:01,\\"},
                          r);
  // A continuation mark on the last line: the file was cut off inside the
  // value, which is skipped rather than written short.
  EXPECT_EQ(res.SkippedLines, 1);
  EXPECT_EQ(res.FirstSkippedLine, 6);
  ASSERT_EQ(r.ops.size(), 5u);
  EXPECT_EQ(r.ops[0].root, RegRoot::CurrentUser);
  EXPECT_EQ(r.ops[0].name, L"A\\B");
  EXPECT_EQ(r.ops[1].root, RegRoot::LocalMachine);
  EXPECT_EQ(r.ops[1].name, L"");
  EXPECT_EQ(r.ops[2].what, L"del");
  EXPECT_EQ(r.ops[2].name, L"X");
  // ANSI text bytes of a REGEDIT4 file become UTF-16 (e9 is an e with acute).
  EXPECT_EQ(r.ops[4].data, StringToRegBytes(L"\u00E9A"));
  // A file that ends inside a value (only a blank line and a comment after
  // the mark) refuses the value with every line it took; the blank line
  // and the comment are lines of their own.
  Recorder r2;
  const auto cut = Import({L"[HKEY_CURRENT_USER\\C]", L"\"h\"=hex:01,02,\\", L"  03,\\", L"", L"; end"}, r2);
  EXPECT_EQ(cut.SkippedLines, 2);
  EXPECT_EQ(cut.FirstSkippedLine, 2);
  ASSERT_EQ(r2.ops.size(), 1u);
}

TEST(RegFileImport, BadLinesAreSkippedAndCounted) {
  Recorder r;
  const auto res = Import({L"\"early\"=\"no key yet\"",          // 1: no key open
                           L"[HKEY_CURRENT_USER\\Good]",         // 2
                           L"\"ok\"=\"1\"",                      // 3
                           L"[HKEY_NOWHERE\\Bad]",               // 4: unknown root, refused
                           L"\"lost\"=\"must not reach Good\"",  // 5
                           L"[HKEY_CURRENT_USER\\Good2]",        // 6
                           L"\"big\"=dword:100000000",           // 7: above FFFFFFFF
                           L"\"bad\"=hex:0g",                    // 8
                           L"\"unterminated=\"x",                // 9
                           L"junk line",                         // 10
                           L"\"str\"=\"a\" trailing",            // 11
                           L"[-HKEY_CURRENT_USER]",              // 12: root never deleted
                           L"[HKEY_CURRENT_USER\\Good2",         // 13: no closing bracket
                           L"\"fine\"=hex(0):"},
                          r);
  EXPECT_EQ(res.SkippedLines, 11);
  EXPECT_EQ(res.FirstSkippedLine, 1);
  ASSERT_EQ(r.ops.size(), 3u);
  EXPECT_EQ(r.ops[0].name, L"Good");
  EXPECT_EQ(r.ops[1].name, L"ok");
  EXPECT_EQ(r.ops[2].name, L"Good2");
  for (const auto& op : r.ops) EXPECT_NE(op.name, L"lost");
}

// A NUL in a key's or a value's name would make the registry take the text
// before it: the data would land in another key (Software itself, for
// Software\<NUL>Hidden) or value. Such lines are skipped, a key line with
// the data lines after it.
TEST(RegFileImport, NamesWithANulAreNotApplied) {
  Recorder r;
  const String nul(1, L'\0');
  const auto res = Import({L"Windows Registry Editor Version 5.00", L"[HKEY_CURRENT_USER\\Software\\" + nul + L"Hidden]",
                           L"\"v\"=\"1\"", L"[HKEY_CURRENT_USER\\Ok]", L"\"a" + nul + L"b\"=dword:1",
                           L"\"kept\"=\"x" + nul + L"y\""},
                          r, true);
  EXPECT_EQ(res.SkippedLines, 3);
  EXPECT_EQ(res.FirstSkippedLine, 2);
  ASSERT_EQ(r.ops.size(), 2u);
  EXPECT_EQ(r.ops[0].name, L"Ok");
  EXPECT_EQ(r.ops[1].name, L"kept");  // data may hold a NUL: it is stored whole
  EXPECT_EQ(r.ops[1].data, std::string("x\0\0\0y\0\0\0", 8));
}

TEST(RegFileImport, SkippedHexValueTakesItsContinuationLines) {
  Recorder r;
  const auto res = Import({L"[HKEY_CURRENT_USER\\A]", L"\"h\"=hex:01,zz,\\", L"  03", L"\"n\"=dword:2"}, r);
  EXPECT_EQ(res.SkippedLines, 2);
  ASSERT_EQ(r.ops.size(), 2u);
  EXPECT_EQ(r.ops[1].name, L"n");
}

TEST(RegFileImport, KeyThatCantBeOpenedSkipsItsValues) {
  Recorder r;
  r.refuse = true;
  const auto res = Import({L"[HKEY_CURRENT_USER\\A]", L"\"v\"=\"x\""}, r);
  EXPECT_EQ(res.SkippedLines, 2);
  EXPECT_TRUE(r.ops.empty());
}

TEST(RegFileImport, CommentsAfterDataAndBetweenContinuationLines) {
  Recorder r;
  const auto res = Import({L"REGEDIT4", L"[HKEY_CURRENT_USER\\A] ; the key [1] of 2", L"\"s\"=\"1\" ; note",
                           L"\"d\"=dword:00000002\t; two", L"\"j\"=hex:0a,0b,\\", L"", L"  0c ; end",
                           L"\"h\"=hex:01,02,\\", L"; in between", L"  03,04", L"\"cut\"=hex:05,\\",
                           L"\"next\"=\"v\"", L"\"gone\"=- ; bye"},
                          r);
  // Blank lines and comment lines between continuation lines are passed
  // over and the joining goes on; a continuation mark before a line that
  // carries no hex data (another value) breaks the value: neither it nor
  // that line is written.
  EXPECT_EQ(res.SkippedLines, 2);
  EXPECT_EQ(res.FirstSkippedLine, 11);
  ASSERT_EQ(r.ops.size(), 6u);
  EXPECT_EQ(r.ops[0].name, L"A");
  EXPECT_EQ(r.ops[1].data, StringToRegBytes(L"1"));
  EXPECT_EQ(r.ops[2].data, Dw(2));
  EXPECT_EQ(r.ops[3].data, std::string("\x0a\x0b\x0c", 3));
  EXPECT_EQ(r.ops[4].name, L"h");
  EXPECT_EQ(r.ops[4].data, std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(r.ops[5].what, L"rm");

  // Several comment lines (indented too) and blank lines in a row, in a
  // version 5 file's text value.
  Recorder t;
  const auto text = Import({L"Windows Registry Editor Version 5.00", L"[HKEY_CURRENT_USER\\T]",
                            L"\"e\"=hex(2):41,00,\\", L"  ; one", L"", L"\t;two", L"  42,00,00,00", L"\"n\"=dword:1"},
                           t, true);
  EXPECT_EQ(text.SkippedLines, 0);
  ASSERT_EQ(t.ops.size(), 3u);
  EXPECT_EQ(t.ops[1].data, std::string("A\0B\0\0\0", 6));
  EXPECT_EQ(t.ops[2].name, L"n");
}

// A backslash straight after a byte (no comma before it) refuses that
// value alone: the line after it is read as a line of its own, whether a
// value, a key line or a default value.
TEST(RegFileImport, ABackslashRightAfterAByteRefusesThatValueAlone) {
  Recorder r;
  const auto res = Import({L"REGEDIT4",                              // 1
                           L"[HKEY_CURRENT_USER\\P]",               // 2
                           L"\"a\"=hex:61,62,63,64,65\\",           // 3: refused
                           L"\"good\"=\"1\"",                         // 4
                           L"\"b\"=hex(2):64,65\\",                 // 5: refused
                           L"[HKEY_CURRENT_USER\\P\\Sub]",           // 6
                           L"\"c\"=hex:01 \\",                       // 7: refused
                           L"@=\"def\""},                              // 8
                          r);
  EXPECT_EQ(res.SkippedLines, 3);
  EXPECT_EQ(res.FirstSkippedLine, 3);
  std::vector<String> written;
  for (const Op& op : r.ops) written.push_back(op.what + L":" + op.name);
  EXPECT_EQ(written, (std::vector<String>{L"key:P", L"set:good", L"key:P\\Sub", L"set:"}));
}

// String data holding the escape "\0" is refused and counted, as regedit
// refuses it; an escaped backslash before a zero is text like any other.
TEST(RegFileImport, StringDataHoldingANulEscapeIsRefused) {
  Recorder r;
  const auto res = Import({L"REGEDIT4", L"[HKEY_CURRENT_USER\\P]", L"\"v\"=\"Value1\\0\"", L"\"w\"=\"\\0x\"",
                           L"\"ok\"=\"a\\\\0\"", L"\"after\"=\"1\""},
                          r);
  EXPECT_EQ(res.SkippedLines, 2);
  EXPECT_EQ(res.FirstSkippedLine, 3);
  ASSERT_EQ(r.ops.size(), 3u);
  EXPECT_EQ(r.ops[1].name, L"ok");
  EXPECT_EQ(r.ops[1].data, StringToRegBytes(L"a\\0"));
  EXPECT_EQ(r.ops[2].name, L"after");
}

// The bytes regedit stores for text data given without its final NUL
// character: one NUL character added (for a multi-string too, not two),
// from UTF-16 bytes of a version 5 file and from the ANSI bytes of a
// "REGEDIT4" file, also when a line without its continuation mark ends the
// data early. Data that has its NUL, empty data and other types are stored
// exactly as given.
TEST(RegFileImport, TextDataWithoutItsFinalNulIsStoredAsRegeditStoresIt) {
  const std::string nul2(2, '\0');
  Recorder v5;
  auto res = Import({L"Windows Registry Editor Version 5.00", L"[HKEY_CURRENT_USER\\P]",
                     L"\"a\"=hex(2):41,00,42,00", L"\"b\"=hex(7):41,00,00,00", L"\"c\"=hex(1):41,00",
                     L"\"d\"=hex(7):41,00", L"\"e\"=hex(2):", L"\"f\"=hex(7):41,00,00,00,00,00",
                     L"\"g\"=hex:41", L"\"h\"=hex(b):01,02", L"\"i\"=hex(0):41"},
                    v5, true);
  EXPECT_EQ(res.SkippedLines, 0);
  ASSERT_EQ(v5.ops.size(), 10u);
  const std::vector<std::string> stored5 = {std::string("A\0B\0", 4) + nul2, std::string("A\0", 2) + nul2,
                                            std::string("A\0", 2) + nul2,     std::string("A\0", 2) + nul2,
                                            std::string(),                    std::string("A\0", 2) + nul2 + nul2,
                                            "A",                              std::string("\x01\x02", 2),
                                            "A"};
  for (size_t i = 0; i < stored5.size(); ++i) EXPECT_EQ(v5.ops[i + 1].data, stored5[i]) << i;

  Recorder v4;
  res = Import({L"REGEDIT4", L"[HKEY_CURRENT_USER\\P]", L"\"a\"=hex(2):41,42", L"\"b\"=hex(7):41,00,42",
                L"\"c\"=hex(1):41", L"\"d\"=hex(7):41,00,42,00", L"\"e\"=hex(7):41,00,00", L"\"f\"=hex(7):",
                L"\"g\"=hex(2):41,42,", L"  43,00"},
               v4);
  EXPECT_EQ(res.SkippedLines, 1);  // the line after the early end is no value
  EXPECT_EQ(res.FirstSkippedLine, 10);
  ASSERT_EQ(v4.ops.size(), 8u);
  const std::vector<std::string> stored4 = {StringToRegBytes(L"AB"),
                                            StringToRegBytes(L"A") + StringToRegBytes(L"B"),
                                            StringToRegBytes(L"A"),
                                            StringToRegBytes(L"A") + StringToRegBytes(L"B"),
                                            StringToRegBytes(L"A") + nul2,
                                            std::string(),
                                            StringToRegBytes(L"AB")};
  for (size_t i = 0; i < stored4.size(); ++i) EXPECT_EQ(v4.ops[i + 1].data, stored4[i]) << i;
}

// A hex value broken between its lines is refused whole, as regedit does:
// nothing of it is written, and the line that broke it (a key line, another
// value, a default value, a lone backslash) is taken with it; comment lines
// before that line are passed over. A byte split over two lines (no comma
// before the mark) refuses the value alone, and the rest of the byte is a
// line that can't be read. Data lines after a key line taken that way go
// nowhere rather than into the key before it. Text of an odd byte
// count in a version 5 file is stored as the file gives it, no NUL added.
TEST(RegFileImport, BrokenContinuationsRefuseTheValueAndTheLineThatBrokeIt) {
  Recorder r;
  const auto res = Import({L"REGEDIT4",                                  // 1
                           L"[HKEY_CURRENT_USER\\P]",                   // 2
                           L"\"a\"=hex(2):4c,69,6e,65,20,\\",           // 3
                           L"[HKEY_CURRENT_USER\\P\\Sub]",              // 4: taken by "a"
                           L"\"z\"=\"1\"",                               // 5: no key open
                           L"[HKEY_CURRENT_USER\\P]",                   // 6
                           L"\"b\"=hex:01,02,03,\\", L"\"c\"=\"after\"",   // 7, 8
                           L"\"d\"=hex:01,02,\\", L"@=\"def\"",            // 9, 10
                           L"\"e\"=hex:01,\\", L"; c", L"\"x\"=\"y\"",      // 11-13: 13 taken
                           L"\"f\"=hex:01,\\", L"\\", L"  02",             // 14-16
                           L"\"g\"=hex:01,0\\", L"  2,03",                 // 17, 18: a byte split
                           L"\"k\"=hex:01,02\\", L"  03",                  // 19, 20: no comma
                           L"\"ok\"=hex:01,\\", L"", L"  02",               // 21-23
                           L"\"m\"=hex:\\", L"  01,02"},                    // 24, 25
                          r);
  EXPECT_EQ(res.SkippedLines, 17);
  EXPECT_EQ(res.FirstSkippedLine, 3);
  std::vector<String> written;
  for (const Op& op : r.ops) written.push_back(op.name + (op.what == L"set" ? L"=" + IntToStr(int(op.data.size())) : L""));
  EXPECT_EQ(written, (std::vector<String>{L"P", L"P", L"ok=2", L"m=2"}));

  Recorder odd;
  const auto oddRes = Import({L"Windows Registry Editor Version 5.00", L"[HKEY_CURRENT_USER\\P]",
                              L"\"o\"=hex(2):41,00,42", L"\"p\"=hex(7):41,00,42,00,00", L"\"q\"=hex:41,00,42"},
                             odd, true);
  EXPECT_EQ(oddRes.SkippedLines, 0);
  ASSERT_EQ(odd.ops.size(), 4u);
  EXPECT_EQ(odd.ops[1].data, std::string("A\0B", 3));
  EXPECT_EQ(odd.ops[2].data, std::string("A\0B\0\0", 5));
  EXPECT_EQ(odd.ops[3].data, std::string("A\0B", 3));
}

// Blanks and tabs around "=" and after "dword:" are read as regedit reads them.
TEST(RegFileImport, BlanksAroundTheDelimiterAndAfterDword) {
  Recorder r;
  const auto res = Import({L"REGEDIT4", L"[HKEY_CURRENT_USER\\P]", L"\"i\"=dword:  00000008",
                           L"\"j\"\t=\tdword:\t00000009", L"\"k\" = \"x\"", L"\"l\"=dword: 0000000a \t"},
                          r);
  EXPECT_EQ(res.SkippedLines, 0);
  ASSERT_EQ(r.ops.size(), 5u);
  EXPECT_EQ(r.ops[1].data, Dw(8));
  EXPECT_EQ(r.ops[2].data, Dw(9));
  EXPECT_EQ(r.ops[3].data, StringToRegBytes(L"x"));
  EXPECT_EQ(r.ops[4].data, Dw(10));
}

TEST(RegFileImport, HeaderAndLineKinds) {
  EXPECT_TRUE(HasRegFileHeader({L"", L"  ", L"REGEDIT4", L"[HKEY_CURRENT_USER\\A]"}));
  EXPECT_TRUE(HasRegFileHeader({L"Windows Registry Editor Version 5.00"}));
  EXPECT_FALSE(HasRegFileHeader({L"\x01\x7f garbage", L"REGEDIT4"}));
  EXPECT_FALSE(HasRegFileHeader({L"[HKEY_CURRENT_USER\\A]"}));
  EXPECT_FALSE(HasRegFileHeader({}));
  EXPECT_FALSE(HasRegFileHeader({L"", L""}));
  EXPECT_EQ(ClassifyRegLine(L"\tREGEDIT4"), rlkHEADER);
  EXPECT_EQ(ClassifyRegLine(L"regedit4"), rlkUNKNOWN);
  EXPECT_EQ(ClassifyRegLine(L"  [HKEY_USERS]"), rlkKEY);
  EXPECT_EQ(ClassifyRegLine(L"\"a\"=\"b\""), rlkDATA);
  EXPECT_EQ(ClassifyRegLine(L"@=\"b\""), rlkDATA);
  EXPECT_EQ(ClassifyRegLine(L" ; c"), rlkCOMMENT);
  EXPECT_EQ(ClassifyRegLine(L""), rlkUNKNOWN);
  EXPECT_EQ(ClassifyRegLine(L"junk"), rlkUNKNOWN);
}

// Every character and prefix of the format is taken from its settings, in
// writing and in reading.
TEST(RegFileFormatSettings, WriterAndReaderFollowThem) {
  TRegFileFormat f;
  f.RegHeader = L"MYREG";
  f.DataNameValueDelim = L':';
  f.StringStartEndChar = L'\'';
  f.RootStart = L'<';
  f.RootEnd = L'>';
  f.HexIntPrefix = L"int:";
  f.BinaryPrefix = L"bin:";
  f.ExpStringPrefix = L"exp:";
  f.KeyLevelDelim = L'/';
  TRegFileWriter w(f);
  w.AddKey(L"HKEY_CURRENT_USER", L"Software\\T");
  w.AddValue(L"it's", RegType::Sz, StringToRegBytes(L"x"));
  w.AddValue(L"n", RegType::Dword, Dw(31));
  w.AddValue(L"b", RegType::Binary, std::string("\x01\xAB", 2));
  w.AddValue(L"e", RegType::ExpandSz, StringToRegBytes(L"%A"));
  w.AddKey(L"HKEY_CURRENT_USER", L"");
  const std::vector<String> lines = w.RenderLines();
  const std::vector<String> expected = {L"MYREG", L"", L"<HKEY_CURRENT_USER/Software/T>", L"'it\\'s':'x'",
                                        L"'n':int:0000001F", L"'b':bin:01,AB", L"'e':exp:25,41,00", L"",
                                        L"<HKEY_CURRENT_USER>"};
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(HasRegFileHeader(lines, f));
  EXPECT_FALSE(HasRegFileHeader(lines));
  Recorder r;
  TRegImportOptions opt;
  opt.Format = f;
  const auto res = ImportRegLines(lines, r, false, opt);
  EXPECT_EQ(res.SkippedLines, 0);
  ASSERT_EQ(r.ops.size(), 6u);
  EXPECT_EQ(r.ops[0].name, L"Software\\T");
  EXPECT_EQ(r.ops[1].name, L"it's");
  EXPECT_EQ(r.ops[2].data, Dw(31));
  EXPECT_EQ(r.ops[3].type, RegType::Binary);
  EXPECT_EQ(r.ops[4].type, RegType::ExpandSz);
  EXPECT_EQ(r.ops[4].data, StringToRegBytes(L"%A"));
  EXPECT_EQ(r.ops[5].name, L"");
}

TEST(RegFileImport, ProgressCanStopTheImport) {
  std::vector<String> lines = {L"REGEDIT4", L"[HKEY_CURRENT_USER\\A]"};
  for (int i = 0; i < 1000; ++i) lines.push_back(L"\"v" + IntToStr(i) + L"\"=\"x\"");
  Recorder r;
  TRegImportOptions opt;
  std::vector<size_t> seen;
  opt.Progress = [&](size_t done, size_t total) {
    EXPECT_EQ(total, lines.size());
    seen.push_back(done);
    return done < 512;
  };
  const auto res = ImportRegLines(lines, r, false, opt);
  EXPECT_TRUE(res.Stopped);
  EXPECT_EQ(res.LinesRead, 512);
  EXPECT_EQ(seen, (std::vector<size_t>{256, 512}));
  EXPECT_EQ(r.ops.size(), 511u);  // the key and the values of lines 3 to 512
}

TEST(RegFileDecode, EncodingsAndLineBreaks) {
  bool u = true;
  auto lines = DecodeTextLines("a\r\nb\rc\nd\r\n\r\ne", &u);
  EXPECT_FALSE(u);
  EXPECT_EQ(lines, (std::vector<String>{L"a", L"b", L"c", L"d", L"", L"e"}));
  // UTF-16LE and UTF-16BE by their marks; U+2028 and U+0085 are no breaks.
  const std::string le("\xFF\xFE" "a\0\x28\x20" "b\0\r\0\n\0\x85\0", 14);
  lines = DecodeTextLines(le, &u);
  EXPECT_TRUE(u);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], String(L"a\u2028b"));
  EXPECT_EQ(lines[1], String(L"\u0085"));
  const std::string be("\xFE\xFF\0a\0\n\x4e\x2d", 8);
  lines = DecodeTextLines(be, &u);
  EXPECT_TRUE(u);
  EXPECT_EQ(lines, (std::vector<String>{L"a", L"\u4e2d"}));
  EXPECT_TRUE(DecodeTextLines("").empty());
  lines = DecodeTextLines("\xE9t\xE9");
  EXPECT_EQ(lines[0], L"\u00e9t\u00e9");
}
