#include <gtest/gtest.h>

#include "app/RegRoots.h"

TEST(RootKeys, NamesByMode) {
  EXPECT_EQ(RootKeyName(RegRoot::LocalMachine, rnmByOption, false), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(RegRoot::LocalMachine, rnmByOption, true), L"Local Machine");
  EXPECT_EQ(RootKeyName(RegRoot::LocalMachine, rnmShort, false), L"Local Machine");
  EXPECT_EQ(RootKeyName(RegRoot::LocalMachine, rnmFull, true), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(RegRoot::PerformanceData, rnmFull, false), L"");
  EXPECT_EQ(RootKeyName(RegRoot::None, rnmShort, false), L"");
  EXPECT_EQ(RootKeyTable[0].Root, RegRoot::ClassesRoot);
  EXPECT_EQ(RootKeyTable[5].Root, RegRoot::DynData);
}

TEST(RootKeys, LookupIgnoresCase) {
  EXPECT_EQ(RootKeyFromName(L"Current User"), RegRoot::CurrentUser);
  EXPECT_EQ(RootKeyFromName(L"HKEY_CURRENT_USER"), RegRoot::CurrentUser);
  EXPECT_EQ(RootKeyFromName(L"hkey_current_user"), RegRoot::CurrentUser);
  EXPECT_EQ(RootKeyFromName(L"current user"), RegRoot::CurrentUser);
  EXPECT_EQ(RootKeyFromName(L"Dynamic Data"), RegRoot::DynData);
  EXPECT_EQ(RootKeyFromName(L"HKCU"), RegRoot::None);
  EXPECT_EQ(RootKeyFromName(L""), RegRoot::None);
  EXPECT_EQ(RootKeyFromName(L"HKEY_PERFORMANCE_DATA"), RegRoot::None);
}

TEST(KeyPaths, SplitRegistryPath) {
  String t = L"HKEY_CURRENT_USER\\Software\\X";
  EXPECT_EQ(SplitRegistryPath(t), L"HKEY_CURRENT_USER");
  EXPECT_EQ(t, L"\\Software\\X");
  t = L"\\Current User";
  EXPECT_EQ(SplitRegistryPath(t), L"Current User");
  EXPECT_EQ(t, L"");
  t = L"HKEY_USERS";
  EXPECT_EQ(SplitRegistryPath(t), L"HKEY_USERS");
  EXPECT_EQ(t, L"");
  t = L"";
  EXPECT_EQ(SplitRegistryPath(t), L"");
  EXPECT_EQ(t, L"");
}

TEST(KeyPaths, LastComponentAndJoins) {
  EXPECT_EQ(GetKeyNameFromPath(L"Software\\A\\B\\"), L"B");
  EXPECT_EQ(GetKeyNameFromPath(L"\\Software\\A\\B"), L"B");
  EXPECT_EQ(GetKeyNameFromPath(L"B"), L"B");
  EXPECT_EQ(GetKeyNameFromPath(L"\\\\\\"), L"");
  EXPECT_EQ(GetKeyNameFromPath(L""), L"");
  EXPECT_EQ(ApiKeyPath(L"\\Software\\A\\"), L"Software\\A");
  EXPECT_EQ(ApiKeyPath(L"\\"), L"");
  EXPECT_EQ(JoinKeyPath(L"", L"A"), L"A");
  EXPECT_EQ(JoinKeyPath(L"\\S", L"A"), L"\\S\\A");
  EXPECT_EQ(JoinKeyPath(L"\\S\\", L"A"), L"\\S\\A");
  EXPECT_TRUE(IsValidKeyName(L"New Key"));
  EXPECT_FALSE(IsValidKeyName(L"a\\b"));
  EXPECT_FALSE(IsValidKeyName(L""));
  EXPECT_TRUE(SameKeyPath(L"\\Software\\Foo", L"software\\FOO\\"));
  EXPECT_FALSE(SameKeyPath(L"\\Software\\Foo", L"\\Software\\Foo2"));
}

TEST(FreeNames, KeyAndValueSequences) {
  std::vector<String> taken;
  auto exists = [&](const String& n) { return std::find(taken.begin(), taken.end(), n) != taken.end(); };
  EXPECT_EQ(NewKeyName(exists), L"New Key");
  taken = {L"New Key #2"};
  EXPECT_EQ(NewKeyName(exists), L"New Key");
  taken = {L"New Key", L"New Key #2"};
  EXPECT_EQ(NewKeyName(exists), L"New Key #3");
  taken = {L"New String Value", L"New String Value #2"};
  EXPECT_EQ(NewValueName(exists, L"String"), L"New String Value #3");
  EXPECT_EQ(NewValueName(exists, L"Binary"), L"New Binary Value");
}

TEST(TextUnits, Utf16RoundTripAndAnsiFit) {
  String s = L"A\u00e9\u4e2d";
  s.push_back(static_cast<wchar_t>(0x1F600 <= WCHAR_MAX ? 0x1F600 : 0xFFFD));
  EXPECT_EQ(FromUtf16(ToUtf16(s)), s);
  if (sizeof(wchar_t) == 4) {
    EXPECT_EQ(ToUtf16(s).size(), 5u);
  }
  EXPECT_TRUE(FitsAnsi(L"plain \u00e9 text"));
  EXPECT_FALSE(FitsAnsi(L"\u4e2d"));
  EXPECT_FALSE(FitsAnsi(L"\u0101"));  // best-fit would turn it into 'a'
}
