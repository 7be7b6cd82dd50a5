// Text settings files.
#include <gtest/gtest.h>

#include "classlib/IniFiles.h"

namespace {
String TempIni(const wchar_t* name) {
  String f = GetTempDirectory() + name;
  DeleteFile(f);
  return f;
}
void WriteText(const String& file, const String& text) {
  TStringList l;
  l.SetText(text);
  l.SaveToFile(file);
}
}  // namespace

TEST(IniFile, ReadsWhatTheFileSays) {
  String f = TempIni(L"zembrio_core_read.ini");
  WriteText(f,
            L"orphan=1\r\n; comment\r\n[Main]\r\n  Width = 120 \r\nName=\"quoted\"\r\nEmpty=\r\n"
            L"width=999\r\n[ Other ]\r\nFlag=0\r\nHex=$1F\r\nHex2=0x10\r\nJunk=12ab\r\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadInteger(L"main", L"WIDTH", 0), 120);  // first one wins, case ignored
  EXPECT_EQ(ini.ReadString(L"Main", L"Name", L""), L"quoted");
  EXPECT_EQ(ini.ReadString(L"Main", L"Empty", L"def"), L"");
  EXPECT_EQ(ini.ReadString(L"Main", L"Missing", L"def"), L"def");
  EXPECT_EQ(ini.ReadString(L"", L"orphan", L"none"), L"none");
  EXPECT_FALSE(ini.ReadBool(L"Other", L"Flag", true));
  EXPECT_EQ(ini.ReadInteger(L"Other", L"Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger(L"Other", L"Hex2", 0), 16);
  EXPECT_EQ(ini.ReadInteger(L"Other", L"Junk", -1), -1);
  TStringList l;
  ini.ReadSections(&l);
  EXPECT_EQ(l.GetCommaText(), L"Main,Other");
  ini.ReadSection(L"Main", &l);
  EXPECT_EQ(l.GetCommaText(), L"Width,Name,Empty");
  EXPECT_TRUE(ini.SectionExists(L"OTHER"));
  // Writing elsewhere keeps the other values as they were written: a
  // quoted value reads the same after any number of writes.
  ini.WriteString(L"Other", L"Flag", L"1");
  ini.WriteString(L"Other", L"Flag", L"0");
  EXPECT_EQ(ini.ReadString(L"Main", L"Name", L""), L"quoted");
  ini.WriteString(L"Main", L"Twice", L"\"\"x\"\"");
  ini.WriteString(L"Other", L"Flag", L"1");
  EXPECT_EQ(ini.ReadString(L"Main", L"Twice", L""), L"\"x\"");
  EXPECT_TRUE(ini.ValueExists(L"Other", L"flag"));
  EXPECT_FALSE(ini.ValueExists(L"Other", L"nope"));
  DeleteFile(f);
}

TEST(IniFile, WritesGoStraightToTheFile) {
  String f = TempIni(L"zembrio_core_write.ini");
  {
    TIniFile ini(f);
    ini.WriteString(L"A", L"k", L"v");
    ini.WriteInteger(L"A", L"n", 42);
    ini.WriteBool(L"B", L"yes", true);
    ini.WriteFloat(L"B", L"f", 1.5);
  }
  TIniFile other(f);
  EXPECT_EQ(other.ReadString(L"A", L"k", L""), L"v");
  EXPECT_EQ(other.ReadInteger(L"A", L"n", 0), 42);
  EXPECT_EQ(other.ReadString(L"B", L"yes", L""), L"1");
  EXPECT_EQ(other.ReadFloat(L"B", L"f", 0), 1.5);
  // A change made by one object is seen by another at once.
  TIniFile writer(f);
  writer.WriteString(L"A", L"k", L"changed");
  EXPECT_EQ(other.ReadString(L"A", L"k", L""), L"changed");
  writer.DeleteKey(L"A", L"k");
  EXPECT_EQ(other.ReadString(L"A", L"k", L"gone"), L"gone");
  writer.EraseSection(L"b");
  TStringList l;
  other.ReadSections(&l);
  EXPECT_EQ(l.GetCommaText(), L"A");
  DeleteFile(f);
}

TEST(IniFile, TextThatWouldBreakTheFileIsRefused) {
  String f = TempIni(L"zembrio_core_bad.ini");
  TIniFile ini(f);
  EXPECT_THROW(ini.WriteString(L"S", L"k", L"a\r\n[Evil]\r\nx=y"), EIniFileException);
  EXPECT_THROW(ini.WriteString(L"S", L"a=b", L"v"), EIniFileException);
  EXPECT_THROW(ini.WriteString(L"S]x", L"k", L"v"), EIniFileException);
  EXPECT_THROW(ini.WriteString(L"S", L"", L"v"), EIniFileException);
  ini.WriteString(L"S", L"k", L"value=with=equals");
  EXPECT_EQ(ini.ReadString(L"S", L"k", L""), L"value=with=equals");
  TStringList l;
  ini.ReadSections(&l);
  EXPECT_EQ(l.GetCommaText(), L"S");
  DeleteFile(f);
}

TEST(IniFile, UnicodeTextSurvivesTheFile) {
  String f = TempIni(L"zembrio_core_uni.ini");
  {
    TIniFile ini(f);
    ini.WriteString(L"S", L"k", L"\u4E2D\u6587");
  }
  TIniFile back(f);
  EXPECT_EQ(back.ReadString(L"S", L"k", L""), L"\u4E2D\u6587");
  DeleteFile(f);
}

TEST(MemIniFile, KeepsChangesUntilUpdateFile) {
  String f = TempIni(L"zembrio_core_mem.ini");
  TMemIniFile mem(f);
  mem.WriteString(L"S", L"k", L"\"kept quotes\"");
  EXPECT_FALSE(FileExists(f));
  EXPECT_EQ(mem.ReadString(L"S", L"k", L""), L"\"kept quotes\"");
  mem.UpdateFile();
  TMemIniFile back(f);
  EXPECT_EQ(back.ReadString(L"S", L"k", L""), L"\"kept quotes\"");
  TStringList l;
  back.GetStrings(&l);
  EXPECT_EQ(l.GetText(), L"[S]\r\nk=\"kept quotes\"\r\n");
  DeleteFile(f);
}
