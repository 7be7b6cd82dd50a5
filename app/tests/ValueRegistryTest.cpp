#include "app/Cvalue.h"
#include "app/tests/RegTestKey.h"

using ValueRegistry = RegTest;

TEST_F(ValueRegistry, UpdateWritesByType) {
  cValue v;
  v.SetName(L"s");
  v.SetString(L"text");
  v.Update(RegRoot::CurrentUser, Path());
  v.SetName(L"n");
  v.SetInteger(-2);
  v.Update(RegRoot::CurrentUser, L"\\" + Path());  // a leading backslash is fine
  v.SetName(L"b");
  v.SetBinary(std::string());
  v.Update(RegRoot::CurrentUser, Path());
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"s", t, d));
  EXPECT_EQ(t, DWORD(REG_SZ));
  EXPECT_EQ(d, StringToRegBytes(L"text"));
  ASSERT_TRUE(Get(L"", L"n", t, d));
  EXPECT_EQ(t, DWORD(REG_DWORD));
  EXPECT_EQ(d, Dw(0xFFFFFFFE));
  ASSERT_TRUE(Get(L"", L"b", t, d));
  EXPECT_EQ(t, DWORD(REG_BINARY));
  EXPECT_TRUE(d.empty());
}

TEST_F(ValueRegistry, DeletedKeyIsReportedNotRecreated) {
  MakeKey(L"gone");
  cValue v;
  v.SetName(L"x");
  v.SetString(L"y");
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"gone"));
  try {
    v.Update(RegRoot::CurrentUser, Path(L"gone"));
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), String(cValueText::OpenUpdate) + Path(L"gone") + L"\nValue: x");
  }
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"gone")));
  EXPECT_THROW(v.Rename(RegRoot::CurrentUser, Path(L"gone"), L"z"), ERegistryException);
  EXPECT_THROW(v.Delete(RegRoot::CurrentUser, Path(L"gone")), ERegistryException);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"gone")));
}

TEST_F(ValueRegistry, RenameCopiesTypeAndBytesExactly) {
  const std::string multi = StringToRegBytes(L"a") + StringToRegBytes(L"b") + std::string(2, '\0');
  Put(L"", L"multi", REG_MULTI_SZ, multi);
  Put(L"", L"none", REG_NONE, std::string());
  Put(L"", L"emptybin", REG_BINARY, std::string());
  Put(L"", L"big", REG_BINARY, std::string(100000, '\x5A'));
  // Text stored without a final NUL keeps its size.
  Put(L"", L"bare", REG_SZ, std::string("a\0b\0", 4));
  Put(L"", L"bareexp", REG_EXPAND_SZ, std::string(40, 'x'));
  for (auto [from, to] : {std::pair<String, String>{L"multi", L"multi2"}, {L"none", L"none2"},
                          {L"emptybin", L"emptybin2"}, {L"big", L"big2"}, {L"bare", L"bare2"},
                          {L"bareexp", L"bareexp2"}}) {
    SCOPED_TRACE(WideToUtf8(from));
    DWORD t0, t1;
    std::string d0, d1;
    ASSERT_TRUE(Get(L"", from, t0, d0));
    cValue v;
    v.SetName(from);
    v.SetRaw(t0, d0);
    v.Rename(RegRoot::CurrentUser, Path(), to);
    EXPECT_EQ(v.GetName(), to);
    EXPECT_FALSE(Has(L"", from));
    ASSERT_TRUE(Get(L"", to, t1, d1));
    EXPECT_EQ(t1, t0);
    EXPECT_EQ(d1, d0);
  }
}

TEST_F(ValueRegistry, RenameRefusals) {
  Put(L"", L"a", REG_SZ, StringToRegBytes(L"1"));
  Put(L"", L"b", REG_SZ, StringToRegBytes(L"2"));
  cValue v;
  v.SetName(L"a");
  v.SetString(L"1");
  try {
    v.Rename(RegRoot::CurrentUser, Path(), L"b");
    FAIL();
  } catch (const EValueExists& e) {
    EXPECT_EQ(e.Message(), L"New value name already exists.");
  }
  EXPECT_EQ(v.GetName(), L"a");
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"b", t, d));
  EXPECT_EQ(d, StringToRegBytes(L"2"));
  cValue missing;
  missing.SetName(L"nothere");
  try {
    missing.Rename(RegRoot::CurrentUser, Path(), L"c");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), String(cValueText::LocateRename) + Path() + L"\nValue: nothere");
  }
  EXPECT_FALSE(Has(L"", L"c"));
}

// The registry takes a name in other letter case for the same value: a
// change of case only renames it, through a spare name that is free (a
// value already holding the first spare name is left alone) and gone
// afterwards.
TEST_F(ValueRegistry, RenameChangesTheLetterCaseOnly) {
  Put(L"", L"a", REG_BINARY, std::string("\x01\x00\x02", 3));
  Put(L"", L"zembrio RENAME", REG_SZ, StringToRegBytes(L"kept"));
  cValue v;
  v.SetName(L"a");
  v.Rename(RegRoot::CurrentUser, Path(), L"A");
  EXPECT_EQ(v.GetName(), L"A");
  TRegKey k;
  ASSERT_TRUE(k.OpenReadOnly(RegRoot::CurrentUser, Path()));
  auto names = k.ValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{L"A", L"zembrio RENAME"}));
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"A", t, d));
  EXPECT_EQ(t, DWORD(REG_BINARY));
  EXPECT_EQ(d, std::string("\x01\x00\x02", 3));
  ASSERT_TRUE(Get(L"", L"zembrio RENAME", t, d));
  EXPECT_EQ(d, StringToRegBytes(L"kept"));

  // No failed step loses the data. The write of the new spelling refused:
  // the value is back under its old name, and the spare name gone.
  auto namesNow = [&] {
    TRegKey key;
    EXPECT_TRUE(key.OpenReadOnly(RegRoot::CurrentUser, Path()));
    auto n = key.ValueNames();
    std::sort(n.begin(), n.end());
    return n;
  };
  RegistryFailNext(L"RegSetValueEx", 1, ERROR_ACCESS_DENIED, 1);
  EXPECT_THROW(v.Rename(RegRoot::CurrentUser, Path(), L"a"), ERegistryException);
  RegistryClearFaults();
  EXPECT_EQ(v.GetName(), L"A");
  EXPECT_EQ(namesNow(), (std::vector<String>{L"A", L"zembrio RENAME"}));
  // Writing it back refused too: the spare copy keeps the data, and the
  // error names it.
  RegistryFailNext(L"RegSetValueEx", -1, ERROR_ACCESS_DENIED, 1);
  String message;
  try {
    v.Rename(RegRoot::CurrentUser, Path(), L"a");
  } catch (const ERegistryException& e) {
    message = e.Message();
  }
  RegistryClearFaults();
  EXPECT_EQ(message.rfind(cValueText::RenameFailed, 0), 0u) << WideToUtf8(message);
  EXPECT_NE(message.find(L"Zembrio rename #2"), String::npos) << WideToUtf8(message);
  EXPECT_EQ(namesNow(), (std::vector<String>{L"Zembrio rename #2", L"zembrio RENAME"}));
  ASSERT_TRUE(Get(L"", L"Zembrio rename #2", t, d));
  EXPECT_EQ(t, DWORD(REG_BINARY));
  EXPECT_EQ(d, std::string("\x01\x00\x02", 3));

  // A spare copy that can't be deleted is named, after a rename that was
  // done (the object takes the new name) and after one that wasn't.
  Put(L"", L"b", REG_DWORD, Dw(5));
  cValue w;
  w.SetName(L"b");
  for (const wchar_t* to : {L"B", L"b"}) {
    RegistryFailNext(L"RegDeleteValue", to[0] == L'B' ? 1 : -1, ERROR_ACCESS_DENIED, to[0] == L'B' ? 1 : 0);
    message.clear();
    try {
      w.Rename(RegRoot::CurrentUser, Path(), to);
    } catch (const Exception& e) {
      message = e.Message();
    }
    RegistryClearFaults();
    EXPECT_NE(message.find(to[0] == L'B' ? L"Zembrio rename #3" : L"kept as: Zembrio rename #4"), String::npos)
        << WideToUtf8(message);
    EXPECT_EQ(w.GetName(), L"B");
  }
}

TEST_F(ValueRegistry, DeleteAndReload) {
  Put(L"", L"v", REG_DWORD, Dw(7));
  cValue v;
  v.SetName(L"v");
  v.SetInteger(99);  // stale data in the object
  ASSERT_TRUE(v.Reload(RegRoot::CurrentUser, Path()));
  EXPECT_EQ(v.GetInteger(), 7);
  v.Delete(RegRoot::CurrentUser, Path());
  EXPECT_FALSE(Has(L"", L"v"));
  try {
    v.Delete(RegRoot::CurrentUser, Path());
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), String(cValueText::DeleteFailed) + Path() + L"\nValue: v");
  }
  EXPECT_FALSE(v.Reload(RegRoot::CurrentUser, Path()));
}

TEST_F(ValueRegistry, UnsupportedTypesAreNeverRewritten) {
  const std::string q("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  Put(L"", L"q", REG_QWORD, q);
  cValue v;
  v.SetName(L"q");
  ASSERT_TRUE(v.Reload(RegRoot::CurrentUser, Path()));
  EXPECT_EQ(v.GetType(), cValue::cvtOther);
  EXPECT_THROW(v.Update(RegRoot::CurrentUser, Path()), Exception);
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"q", t, d));
  EXPECT_EQ(t, DWORD(REG_QWORD));
  EXPECT_EQ(d, q);
}

TEST_F(ValueRegistry, BranchDeletion) {
  Put(L"src", L"v", REG_SZ, StringToRegBytes(L"1"));
  Put(L"src\\sub\\deep", L"w", REG_BINARY, "xyz");
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"src"));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"src")));
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"src"));  // already gone: nothing to do
  EXPECT_THROW(RegDeleteBranch(RegRoot::CurrentUser, L""), ERegistryException);
  EXPECT_THROW(RegDeleteBranch(RegRoot::CurrentUser, L"\\"), ERegistryException);
}
