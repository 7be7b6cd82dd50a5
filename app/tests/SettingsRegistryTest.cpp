#include <algorithm>
#include <cstring>

#include "app/Cvalue.h"
#include "app/RegStore.h"
#include "app/tests/RegTestKey.h"
#include "classlib/Filer.h"
#include "classlib/Registry.h"

class SettingsRegistry : public RegTest {
 protected:
  void SetUp() override {
    RegTest::SetUp();
    DeclareEditorSettings(store);
    store.BaseKey = Path(L"Zembrio");
  }
  TRegStore store;
};

TEST_F(SettingsRegistry, FirstStartReadsDefaultsAndCreatesNothing) {
  store.ReadValues();
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"Zembrio")));
  EXPECT_EQ(store.Get(L"Width").AsInteger(), 500);
  EXPECT_EQ(store.Get(L"Height").AsInteger(), 400);
  EXPECT_EQ(store.Get(L"FontName").AsString(), L"Tahoma");
  EXPECT_EQ(store.Get(L"BookmarkFile").AsString(), L"");
  EXPECT_EQ(store.Get(L"PreviousHKEY").AsString(), L"");
  EXPECT_TRUE(store.Get(L"PreloadHasChildren").AsBoolean());
}

TEST_F(SettingsRegistry, ReadingSomeByNameLeavesTheOthersAsTheyWere) {
  store.ReadValues();
  Put(L"Zembrio\\MainForm", L"Width", REG_DWORD, Dw(640));
  Put(L"Zembrio\\MainForm", L"Height", REG_DWORD, Dw(480));
  Put(L"Zembrio\\Appearance", L"FontName", REG_SZ, StringToRegBytes(L"Courier New"));
  store.ReadValues({L"width", L"FontName", L"FontSize"});  // names in any letter case
  EXPECT_EQ(store.Get(L"Width").AsInteger(), 640);
  EXPECT_EQ(store.Get(L"FontName").AsString(), L"Courier New");
  EXPECT_EQ(store.Get(L"FontSize").AsInteger(), 8);  // no value: the default
  EXPECT_EQ(store.Get(L"Height").AsInteger(), 400);  // not asked for: as read before
  store.ReadValues();
  EXPECT_EQ(store.Get(L"Height").AsInteger(), 480);
}

TEST_F(SettingsRegistry, WriteAllStoresEveryItemWithItsType) {
  store.ReadValues();
  store.Set(L"Width", 640);
  store.WriteValues();
  TRegKey base;
  ASSERT_TRUE(base.OpenReadOnly(RegRoot::CurrentUser, Path(L"Zembrio")));
  auto subs = base.KeyNames();
  EXPECT_EQ(subs.size(), 7u);  // General ... OptionsForm; FindForm holds MRU
  int values = 0;
  for (int i = 0; i < store.Count(); ++i) {
    auto& item = store.Item(i);
    DWORD t;
    std::string d;
    ASSERT_TRUE(Get(L"Zembrio\\" + item.GetSubKey(), item.GetName(), t, d)) << WideToUtf8(item.GetName());
    ++values;
    if (item.GetType() == vtString) {
      EXPECT_EQ(t, DWORD(REG_SZ));
    } else {
      EXPECT_EQ(t, DWORD(REG_DWORD));
      EXPECT_EQ(d.size(), 4u);
    }
  }
  EXPECT_EQ(values, 57);
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"Zembrio\\MainForm", L"Width", t, d));
  EXPECT_EQ(d, Dw(640));
  ASSERT_TRUE(Get(L"Zembrio\\General", L"BookmarkFile", t, d));
  EXPECT_EQ(d, std::string(2, '\0'));  // an empty REG_SZ, not omitted
}

TEST_F(SettingsRegistry, ForeignDataReadsSoundly) {
  Put(L"Zembrio\\Appearance", L"FontBold", REG_DWORD, Dw(2));
  Put(L"Zembrio\\Appearance", L"FontName", REG_EXPAND_SZ, StringToRegBytes(L"%FONT%"));
  // Wrong types and sizes read as the default instead of stopping the read.
  Put(L"Zembrio\\MainForm", L"Width", REG_SZ, StringToRegBytes(L"800"));
  Put(L"Zembrio\\MainForm", L"Height", REG_BINARY, "\x01\x02");
  Put(L"Zembrio\\General", L"PreviousPath", REG_DWORD, Dw(1));
  Put(L"Zembrio\\MainForm", L"LPWidth", REG_DWORD, Dw(222));
  store.ReadValues();
  EXPECT_TRUE(store.Get(L"FontBold").AsBoolean());
  EXPECT_EQ(store.Get(L"FontName").AsString(), L"%FONT%");
  EXPECT_EQ(store.Get(L"Width").AsInteger(), 500);
  EXPECT_EQ(store.Get(L"Height").AsInteger(), 400);
  EXPECT_EQ(store.Get(L"PreviousPath").AsString(), L"");
  EXPECT_EQ(store.Get(L"LPWidth").AsInteger(), 222);  // read after the bad ones
  store.WriteValues();
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"Zembrio\\Appearance", L"FontBold", t, d));
  EXPECT_EQ(d, Dw(1));
  ASSERT_TRUE(Get(L"Zembrio\\Appearance", L"FontName", t, d));
  EXPECT_EQ(t, DWORD(REG_SZ));
}

TEST_F(SettingsRegistry, UnreadItemsNeverOverwriteStoredOnes) {
  Put(L"Zembrio\\MainForm", L"Width", REG_DWORD, Dw(1234));
  Put(L"Zembrio\\General", L"BookmarkFile", REG_SZ, StringToRegBytes(L"C:\\bm.ZembrioBM"));
  store.WriteValues();  // nothing was read or set
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"Zembrio\\MainForm", L"Width", t, d));
  EXPECT_EQ(d, Dw(1234));
  ASSERT_TRUE(Get(L"Zembrio\\General", L"BookmarkFile", t, d));
  EXPECT_EQ(RegBytesToString(d), L"C:\\bm.ZembrioBM");
}

TEST_F(SettingsRegistry, SetChangesMemoryOnlyAndDeleteRemovesValues) {
  store.ReadValues();
  store.Set(L"Top", 77);
  EXPECT_FALSE(Has(L"Zembrio\\MainForm", L"Top"));
  store.WriteValues();
  EXPECT_TRUE(Has(L"Zembrio\\MainForm", L"Top"));
  store.Set(L"Top", 1);
  store.ReadValues();  // discards the unsaved change
  EXPECT_EQ(store.Get(L"Top").AsInteger(), 77);
  store.DeleteValues();
  EXPECT_FALSE(Has(L"Zembrio\\MainForm", L"Top"));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, Path(L"Zembrio\\MainForm")));  // keys stay
}

TEST_F(SettingsRegistry, TheDesignersEditorRunsItsVerbsOnTheStore) {
  TRegStoreComponentEditor ed(&store);
  ASSERT_EQ(ed.GetVerbCount(), 5);
  EXPECT_EQ(ed.GetVerb(0), L"&Edit Values...");
  EXPECT_EQ(ed.GetVerb(1), L"-");
  EXPECT_EQ(ed.GetVerb(4), L"&Delete Values From Registry");
  std::vector<String> opened;
  ed.OnEditProperty = [&](TRegStore* s, const String& p) {
    EXPECT_EQ(s, &store);
    opened.push_back(p);
  };
  ed.Edit();
  ed.ExecuteVerb(0);
  EXPECT_EQ(opened, (std::vector<String>{L"Values", L"Values"}));

  store.ReadValues();
  store.Set(L"Top", 77);
  ed.ExecuteVerb(1);  // the separator does nothing
  EXPECT_FALSE(Has(L"Zembrio\\MainForm", L"Top"));
  ed.ExecuteVerb(3);
  EXPECT_TRUE(Has(L"Zembrio\\MainForm", L"Top"));
  ed.ExecuteVerb(2);
  EXPECT_NE(store.Get(L"Top").AsInteger(), 77);
  ed.ExecuteVerb(4);
  EXPECT_FALSE(Has(L"Zembrio\\MainForm", L"Top"));
}

TEST_F(SettingsRegistry, DatesAndDoublesAsEightBinaryBytes) {
  auto& when = store.Add(L"When", L"", vtDate);
  auto& ratio = store.Add(L"Ratio", L"Extra", vtDouble, L"0.5");
  when.SetValue(TSettingValue::FromDate(45000.25));
  ratio.Read();
  EXPECT_DOUBLE_EQ(ratio.GetValue().AsDouble(), 0.5);
  ratio.SetValue(2.75);
  when.WriteToRegistry();
  ratio.WriteToRegistry();
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"Zembrio", L"When", t, d));
  EXPECT_EQ(t, DWORD(REG_BINARY));
  EXPECT_EQ(d.size(), 8u);
  ratio.SetValue(0.0);
  EXPECT_DOUBLE_EQ(ratio.Read().AsDouble(), 2.75);
  EXPECT_DOUBLE_EQ(when.Read().AsDateTime(), 45000.25);
  Put(L"Zembrio\\Extra", L"Ratio", REG_BINARY, std::string(7, '\x01'));  // not 8 bytes
  EXPECT_DOUBLE_EQ(ratio.Read().AsDouble(), 0.5);
}

TEST_F(SettingsRegistry, ReadFromRegistryFallsBackAndOpenKeyCreatesOnlyWhenAsked) {
  TRegStoreValue& width = store.GetValueByName(L"Width");
  EXPECT_EQ(width.ReadFromRegistry(TSettingValue(777)).AsInteger(), 777);  // absent: the fallback
  EXPECT_EQ(width.GetValue().AsInteger(), 777);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"Zembrio")));
  TRegistry reg;
  EXPECT_FALSE(width.OpenKey(reg, false));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"Zembrio\\MainForm")));
  EXPECT_TRUE(width.OpenKey(reg, true));
  EXPECT_EQ(reg.GetCurrentPath(), Path(L"Zembrio\\MainForm"));
  reg.CloseKey();
  store.GetValues()->WriteValues();
  EXPECT_TRUE(Has(L"Zembrio\\MainForm", L"Width"));
  EXPECT_EQ(width.ReadFromRegistry(TSettingValue(1)).AsInteger(), 777);  // present: what is stored
  width.DeleteFromRegistry();
  EXPECT_FALSE(Has(L"Zembrio\\MainForm", L"Width"));
  EXPECT_EQ(width.Read().AsInteger(), 500);
}

namespace {
bool StreamHolds(TMemoryStream& M, const char* Text) {
  const char* p = static_cast<const char*>(M.Memory());
  return std::search(p, p + M.GetSize(), Text, Text + std::strlen(Text)) != p + M.GetSize();
}

// A form (Root) holding the editor's settings store "rsOptions".
TRegStore* DeclaredOnForm(TComponent& Root) {
  Root.SetName(L"Form");
  auto* store = new TRegStore(&Root);
  store->SetName(L"rsOptions");
  DeclareEditorSettings(*store);
  return store;
}

// The store "rsOptions" as a reader makes it from the form written to M,
// read into Into; null when there is none.
TRegStore* ReadBack(TMemoryStream& M, TComponent& Into) {
  Into.SetName(L"Form");
  M.SetPosition(0);
  TReader(&M).ReadRootComponent(&Into);
  return dynamic_cast<TRegStore*>(Into.FindComponent(L"rsOptions"));
}
}  // namespace

// The store goes with its form: a store as made writes no property; the
// 57 declared settings (name, subkey, type and default each), the root and
// the base key read back into a store the reader makes by its class name.
TEST(SettingsForm, TheDeclaredSettingsReadBackFromTheForm) {
  TRegStore::Register();
  {
    TComponent root(nullptr);
    root.SetName(L"Form");
    auto* plain = new TRegStore(&root);
    plain->SetName(L"rsPlain");
    TMemoryStream m;
    TWriter(&m).WriteRootComponent(&root);
    for (const char* name : {"RootKey", "BaseKey", "Values"}) EXPECT_FALSE(StreamHolds(m, name)) << name;
  }
  TComponent root(nullptr);
  auto* src = DeclaredOnForm(root);
  ASSERT_EQ(src->Count(), 57);
  src->Item(0).SetSubKey(String());  // a setting in the base key itself
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&root);
  // Stored where they differ: the current user's root is the default.
  EXPECT_FALSE(StreamHolds(m, "rkHKEY_CURRENT_USER"));
  EXPECT_TRUE(StreamHolds(m, "BaseKey"));

  TComponent back(nullptr);
  auto* dst = ReadBack(m, back);
  ASSERT_NE(dst, nullptr);
  EXPECT_EQ(dst->RootKey, TRegStore::rkHKEY_CURRENT_USER);
  EXPECT_EQ(dst->BaseKey, L"Software\\Quorvel\\Zembrio");
  ASSERT_EQ(dst->Count(), 57);
  for (int i = 0; i < 57; ++i) {
    TRegStoreValue& a = src->Item(i);
    TRegStoreValue& b = dst->Item(i);
    SCOPED_TRACE(WideToAnsi(a.GetName()));
    EXPECT_EQ(b.GetName(), a.GetName());
    EXPECT_EQ(b.GetSubKey(), a.GetSubKey());
    EXPECT_EQ(b.GetType(), a.GetType());
    EXPECT_EQ(b.GetDefaultValue(), a.GetDefaultValue());
  }
  EXPECT_EQ(dst->GetValueByName(L"FontName").GetDefaultValue(), L"Tahoma");
  dst->ResetValues();
  EXPECT_EQ(dst->GetValueByName(L"Width").GetValue().AsInteger(), 500);

  // Another root and no settings read back as such; dates and doubles too.
  src->RootKey = TRegStore::rkHKEY_LOCAL_MACHINE;
  src->BaseKey.clear();
  src->GetValues()->Clear();
  src->Add(L"When", L"", vtDate, FloatToStr(45000.5));
  src->Add(L"Ratio", L"Sub", vtDouble, FloatToStr(0.25));
  TMemoryStream m2;
  TWriter(&m2).WriteRootComponent(&root);
  EXPECT_FALSE(StreamHolds(m2, "BaseKey"));
  TComponent again(nullptr);
  dst = ReadBack(m2, again);
  ASSERT_NE(dst, nullptr);
  EXPECT_EQ(dst->RootKey, TRegStore::rkHKEY_LOCAL_MACHINE);
  EXPECT_EQ(dst->BaseKey, String());
  ASSERT_EQ(dst->Count(), 2);
  EXPECT_EQ(dst->Item(0).GetType(), vtDate);
  EXPECT_EQ(dst->Item(0).GetDefaultValue(), src->Item(0).GetDefaultValue());
  EXPECT_EQ(dst->Item(1).GetSubKey(), L"Sub");
  EXPECT_EQ(dst->Item(1).GetDefaultValue(), src->Item(1).GetDefaultValue());
}

// A store read from its form behaves as the one declared in code: the text
// settings without a default (the bookmark file, the previous key, the
// find history) read as the empty text on a first start and are written
// as empty strings, so a write-all stores all 57 values.
TEST_F(SettingsRegistry, AStoreReadFromItsFormReadsAndWritesAsTheDeclaredOne) {
  TRegStore::Register();
  TComponent root(nullptr);
  auto* src = DeclaredOnForm(root);
  src->BaseKey = Path(L"Zembrio");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&root);
  TComponent back(nullptr);
  auto* dst = ReadBack(m, back);
  ASSERT_NE(dst, nullptr);
  ASSERT_EQ(dst->Count(), 57);

  src->ReadValues();
  dst->ReadValues();
  for (int i = 0; i < 57; ++i) {
    SCOPED_TRACE(WideToAnsi(src->Item(i).GetName()));
    const TSettingValue a = src->Item(i).GetValue(), b = dst->Item(i).GetValue();
    EXPECT_FALSE(b.IsEmpty());
    EXPECT_EQ(b.AsString(), a.AsString());
  }
  dst->WriteValues();
  size_t values = 0;
  for (const wchar_t* sub : {L"General", L"Appearance", L"MainForm", L"FindForm", L"FindForm\\MRU", L"EditForm",
                             L"EditBinForm", L"OptionsForm"})
    values += testsupport::reg::ValueNames(Path(String(L"Zembrio\\") + sub)).size();
  EXPECT_EQ(values, 57u);
  for (const auto& [sub, name] : std::vector<std::pair<String, String>>{{L"Zembrio\\General", L"BookmarkFile"},
                                                                         {L"Zembrio\\General", L"PreviousHKEY"},
                                                                         {L"Zembrio\\FindForm\\MRU", L"FindMRU_14"}}) {
    DWORD t = 0;
    std::string d;
    ASSERT_TRUE(Get(sub, name, t, d)) << WideToAnsi(name);
    EXPECT_EQ(t, DWORD(REG_SZ));
    EXPECT_EQ(d, std::string(2, '\0'));
  }
}

// Read from a form into a store, each setting goes into the one of its
// name: callers keep theirs, with the values they hold, whatever the count;
// a setting of no name read goes.
TEST(SettingsForm, SettingsReadIntoAsManyStayTheOnesHeld) {
  TRegStore src;
  src.Add(L"Width", L"Sizes", vtInteger, L"500");
  src.Add(L"Font", L"Look", vtString, L"Tahoma");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);

  TRegStore dst;
  dst.Add(L"Font", L"Old", vtString, L"Arial");
  dst.Add(L"Width", L"Old", vtInteger, L"1");
  TRegStoreValue* width = &dst.GetValueByName(L"Width");
  dst.Set(L"Width", 77);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  ASSERT_EQ(dst.Count(), 2);
  EXPECT_EQ(&dst.Item(0), width);
  EXPECT_EQ(width->GetSubKey(), L"Sizes");
  EXPECT_EQ(width->GetDefaultValue(), L"500");
  EXPECT_EQ(dst.Get(L"Width").AsInteger(), 77);
  EXPECT_EQ(dst.Item(1).GetDefaultValue(), L"Tahoma");

  dst.Add(L"Third", L"", vtString, L"");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  ASSERT_EQ(dst.Count(), 2);
  EXPECT_EQ(&dst.Item(0), width);
  EXPECT_EQ(dst.Get(L"Width").AsInteger(), 77);
}
