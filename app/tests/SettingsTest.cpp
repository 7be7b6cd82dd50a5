#include <gtest/gtest.h>

#include "app/RegStore.h"

TEST(Settings, DeclaredTable) {
  TRegStore s;
  DeclareEditorSettings(s);
  ASSERT_EQ(s.Count(), 57);
  EXPECT_EQ(s.BaseKey, L"Software\\Quorvel\\Zembrio");
  EXPECT_EQ(s.RootKey, TRegStore::rkHKEY_CURRENT_USER);
  EXPECT_EQ(s.Item(0).GetName(), L"PreloadHasChildren");
  EXPECT_EQ(s.Item(56).GetName(), L"FindMRU_14");
  EXPECT_EQ(s.Item(42).GetName(), L"FindMRU_00");
  EXPECT_EQ(s.Item(42).GetSubKey(), L"FindForm\\MRU");
  EXPECT_EQ(s.Item(42).KeyPath(), L"Software\\Quorvel\\Zembrio\\FindForm\\MRU");
  EXPECT_EQ(s.GetValueByName(L"Width").GetDefaultValue(), L"500");
  EXPECT_EQ(s.GetValueByName(L"PreloadHasChildren").GetDefaultValue(), L"true");
  EXPECT_EQ(s.GetValueByName(L"BookmarkFile").GetDefaultValue(), L"");
  EXPECT_EQ(s.GetValueByName(L"FontName").GetDefaultValue(), L"Tahoma");
  EXPECT_EQ(s.GetValueByName(L"EditBinWidth").GetType(), vtInteger);
}

// The default window sizes follow the screen's dots per inch (rounded to
// the nearest pixel); positions and the other settings do not.
TEST(Settings, DefaultSizesScaleToTheScreen) {
  TRegStore s;
  DeclareEditorSettings(s);
  ScaleEditorSizeDefaults(s, 144);
  EXPECT_EQ(s.GetValueByName(L"Width").GetDefaultValue(), L"750");
  EXPECT_EQ(s.GetValueByName(L"Height").GetDefaultValue(), L"600");
  EXPECT_EQ(s.GetValueByName(L"LPWidth").GetDefaultValue(), L"225");
  EXPECT_EQ(s.GetValueByName(L"TPHeight").GetDefaultValue(), L"225");
  EXPECT_EQ(s.GetValueByName(L"EditBinWidth").GetDefaultValue(), L"626");
  EXPECT_EQ(s.GetValueByName(L"EditBinHeight").GetDefaultValue(), L"539");
  EXPECT_EQ(s.GetValueByName(L"Top").GetDefaultValue(), L"0");
  EXPECT_EQ(s.GetValueByName(L"FontSize").GetDefaultValue(), L"8");
  TRegStore t;
  DeclareEditorSettings(t);
  ScaleEditorSizeDefaults(t, 120);
  EXPECT_EQ(t.GetValueByName(L"LPWidth").GetDefaultValue(), L"188");  // 187.5
  ScaleEditorSizeDefaults(t, 96);
  EXPECT_EQ(t.GetValueByName(L"LPWidth").GetDefaultValue(), L"188");
}

TEST(Settings, LookupIgnoresCaseAndRefusesUnknownNames) {
  TRegStore s;
  DeclareEditorSettings(s);
  EXPECT_EQ(&s.GetValueByName(L"showhints"), &s.GetValueByName(L"ShowHints"));
  try {
    s.GetValueByName(L"NoSuchSetting");
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), L"Invalid value name.");
  }
}

TEST(Settings, ValuesConvertToTheSettingType) {
  TRegStore s;
  DeclareEditorSettings(s);
  EXPECT_TRUE(s.Get(L"Width").IsEmpty());  // nothing read yet
  s.ResetValues();
  EXPECT_EQ(s.Get(L"Width").AsInteger(), 500);
  EXPECT_EQ(s.Get(L"BookmarkFile").AsString(), L"");
  s.Set(L"FontBold", 5);
  EXPECT_TRUE(s.Get(L"FontBold").AsBoolean());
  s.Set(L"Width", L"12");
  EXPECT_EQ(s.Get(L"Width").AsInteger(), 12);
  EXPECT_THROW(s.Set(L"Width", L"twelve"), EVariantError);
  s.Set(L"FontName", 8);
  EXPECT_EQ(s.Get(L"FontName").AsString(), L"8");
  s.Set(L"ShowHints", L"FALSE");
  EXPECT_FALSE(s.Get(L"ShowHints").AsBoolean());
  auto& item = s.Add(L"Extra", L"", vtBoolean, L"0");
  EXPECT_EQ(item.GetDefaultValue(), L"false");
  item.SetDefaultValue(L"TRUE");
  EXPECT_EQ(item.GetDefaultValue(), L"true");
  EXPECT_THROW(item.SetDefaultValue(L"maybe"), EVariantError);
  EXPECT_EQ(item.KeyPath(), L"Software\\Quorvel\\Zembrio");
}

TEST(Settings, TheCollectionOfSettings) {
  TRegStore s;
  DeclareEditorSettings(s);
  TRegStoreValues* values = s.GetValues();
  ASSERT_EQ(values->Count(), 57);
  EXPECT_EQ(values->Store(), &s);
  EXPECT_EQ(values->Item(5).Store(), &s);
  EXPECT_EQ(&values->GetValueByName(L"fontname"), &values->Item(34));
  EXPECT_EQ(values->Item(34).GetDisplayName(), L"FontName");
  // An item without a name shows the collection item's own caption.
  TRegStoreValue& blank = values->Add(L"", L"", vtInteger);
  EXPECT_EQ(blank.GetDisplayName(), L"TRegStoreValue");
  blank.SetName(L"Later");
  blank.SetSubKey(L"Deep\\Er");
  blank.SetDefaultValue(L"12");
  blank.SetType(vtString);  // the default follows the type
  EXPECT_EQ(blank.GetDefaultValue(), L"12");
  EXPECT_EQ(blank.KeyPath(), L"Software\\Quorvel\\Zembrio\\Deep\\Er");
  blank.SetType(vtBoolean);
  EXPECT_EQ(blank.GetDefaultValue(), L"true");

  // Another store takes copies of the settings, with their values, and
  // places them under its own base key.
  s.ResetValues();
  s.Set(L"Width", 640);
  TRegStore copy;
  copy.BaseKey = L"Elsewhere";
  copy.SetValues(values);
  ASSERT_EQ(copy.Count(), 58);
  EXPECT_EQ(copy.Get(L"Width").AsInteger(), 640);
  EXPECT_EQ(copy.GetValueByName(L"Width").GetDefaultValue(), L"500");
  EXPECT_EQ(copy.GetValueByName(L"Later").KeyPath(), L"Elsewhere\\Deep\\Er");
  EXPECT_EQ(copy.GetValueByName(L"Width").Store(), &copy);
  copy.Set(L"Width", 1);
  EXPECT_EQ(s.Get(L"Width").AsInteger(), 640);
}
