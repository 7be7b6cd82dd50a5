// A form storage keeps what components declare only to the form stream in
// the layout of class-kind properties: a string list in a section of its
// own, a collection as a count beside a section of its items, a part
// (Constraints, a panel's GaugeAttrs) under its parent's prefix; in an ini
// file and in the registry alike.
#include <cstring>

#include "classlib/Filer.h"
#include "classlib/IniFiles.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExFormStorage.h"
#include "extlib/ExSecretPanel.h"
#include "statusbar/tests/sb_support.h"
#include "testsupport/Registry.h"

namespace {

struct StoreForm {
  std::unique_ptr<TForm> form;
  TSecretPanel* panel = nullptr;
  TOdStatusBar* bar = nullptr;
  TExtCheckListBox* checks = nullptr;
  TFormStorage* storage = nullptr;
  StoreForm(bool Registry, const String& Where) {
    form.reset(new TForm(Application));
    form->SetName(L"StoreForm");
    panel = new TSecretPanel(form.get());
    panel->SetName(L"Panel1");
    panel->SetParent(form.get());
    bar = new TOdStatusBar(form.get());
    bar->SetName(L"Bar1");
    bar->SetParent(form.get());
    checks = new TExtCheckListBox(form.get());
    checks->SetName(L"Checks1");
    checks->SetParent(form.get());
    storage = new TFormStorage(form.get());
    storage->UseRegistry = Registry;
    storage->SetIniFileName(Where);
    storage->SetIniSection(L"Main");
    for (const wchar_t* P : {L"Panel1.Lines", L"Bar1.Panels", L"Bar1.Constraints", L"Checks1.Items"})
      storage->GetStoredProps()->Add(P);
    storage->Loaded();
  }
};

}  // namespace

TEST(PropsStorageStreamed, ListsCollectionsAndPartsRoundTripInIniAndRegistry) {
  InitForms();
  testsupport::ScratchKey Scratch(L"statusbar");
  const String IniName = NormalDir(GetTempDir()) + L"zembrio-statusbar-storage.ini";
  for (bool Registry : {false, true}) {
    SCOPED_TRACE(Registry ? "registry" : "ini file");
    const String Where = Registry ? String(Scratch.Path(L"store")) : IniName;
    DeleteFileW(IniName.c_str());
    {
      StoreForm F(Registry, Where);
      F.panel->Lines()->SetText(L"one\r\ntwo\r\n");
      TOdStatusPanel* Text = F.bar->Panels()->Add();
      Text->SetText(L"first");
      Text->SetWidth(140);
      TOdStatusPanel* Gauge = F.bar->Panels()->Add();
      Gauge->SetPanelType(sptGauge);
      Gauge->GaugeAttrs()->SetPosition(40);
      F.bar->Constraints()->MaxHeight = 30;
      F.checks->Items()->Add(L"alpha");
      F.checks->Items()->Add(L"beta");
      F.storage->SaveProperties();
    }
    // Read back where the values landed.
    auto Get = [&](const String& Section, const String& Ident) -> String {
      if (!Registry) return TMemIniFile(IniName).ReadString(Section, Ident, L"<none>");
      DWORD Type = 0;
      std::string Bytes;
      if (!Scratch.Read(L"store\\" + Section, Ident, Type, Bytes) || Type != REG_SZ) return L"<none>";
      String S(reinterpret_cast<const wchar_t*>(Bytes.data()), Bytes.size() / sizeof(wchar_t));
      while (!S.empty() && S.back() == L'\0') S.pop_back();
      return S;
    };
    EXPECT_EQ(Get(L"Main.Panel1_Lines", L"Count"), L"2");
    EXPECT_EQ(Get(L"Main.Panel1_Lines", L"Item1"), L"two");
    EXPECT_EQ(Get(L"Main", L"Panel1_Lines"), L"<none>");
    EXPECT_EQ(Get(L"Main", L"Bar1_Panels.Count"), L"2");
    EXPECT_EQ(Get(L"Main.Bar1_Panels", L"Item0_Text"), L"first");
    EXPECT_EQ(Get(L"Main.Bar1_Panels", L"Item0_Width"), L"140");
    EXPECT_EQ(Get(L"Main.Bar1_Panels", L"Item1_PanelType"), L"sptGauge");
    EXPECT_EQ(Get(L"Main.Bar1_Panels", L"Item1_GaugeAttrsPosition"), L"40");
    EXPECT_EQ(Get(L"Main", L"Bar1_ConstraintsMaxHeight"), L"30");
    EXPECT_EQ(Get(L"Main.Checks1_Items", L"Item0"), L"alpha");

    // A fresh form takes them all back.
    StoreForm F(Registry, Where);
    F.storage->RestoreProperties();
    EXPECT_EQ(F.panel->Lines()->GetText(), L"one\r\ntwo\r\n");
    ASSERT_EQ(F.bar->Panels()->GetCount(), 2);
    EXPECT_EQ(F.bar->Panels()->GetItem(0)->GetText(), L"first");
    EXPECT_EQ(F.bar->Panels()->GetItem(0)->GetWidth(), 140);
    EXPECT_EQ(F.bar->Panels()->GetItem(1)->GetPanelType(), sptGauge);
    EXPECT_EQ(F.bar->Panels()->GetItem(1)->GaugeAttrs()->GetPosition(), 40);
    EXPECT_EQ(F.bar->Constraints()->MaxHeight, 30);
    ASSERT_EQ(F.checks->Items()->GetCount(), 2);
    EXPECT_EQ(F.checks->Items()->Get(1), L"beta");
  }
  DeleteFileW(IniName.c_str());
}

// Restored into a bar with as many panels as were stored, the panels are
// loaded where they are: a caller's panel stays that panel, with its click
// handler. A stored value the panel does not take leaves that one value as
// the bar held it and no panel goes; with another count of panels held, the
// other values are restored all the same.
TEST(PropsStorageStreamed, PanelsRestoredIntoAsManyPanelsStayThePanelsTheCallerHolds) {
  InitForms();
  const String IniName = NormalDir(GetTempDir()) + L"zembrio-statusbar-inplace.ini";
  DeleteFileW(IniName.c_str());
  auto Fill = [](StoreForm& F) {
    for (const wchar_t* Text : {L"one", L"two", L"three"}) F.bar->Panels()->Add()->SetText(Text);
  };
  {
    StoreForm F(false, IniName);
    Fill(F);
    F.bar->Panels()->GetItem(1)->SetPanelType(sptEllipsisText);
    F.bar->Panels()->GetItem(2)->SetWidth(120);
    F.storage->SaveProperties();
  }
  StoreForm F(false, IniName);
  Fill(F);
  TOdStatusPanel* First = F.bar->Panels()->GetItem(0);
  int Clicks = 0;
  First->OnClick = TNotifyEvent([&](TObject*) { ++Clicks; });
  First->SetText(L"changed");
  F.storage->RestoreProperties();
  ASSERT_EQ(F.bar->Panels()->GetCount(), 3);
  EXPECT_EQ(F.bar->Panels()->GetItem(0), First);
  EXPECT_EQ(First->GetText(), L"one");
  ASSERT_TRUE(First->OnClick);
  First->OnClick(First);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(F.bar->Panels()->GetItem(1)->GetPanelType(), sptEllipsisText);
  EXPECT_EQ(F.bar->Panels()->GetItem(2)->GetWidth(), 120);

  {
    TMemIniFile Ini(IniName);
    Ini.WriteString(L"Main.Bar1_Panels", L"Item1_PanelType", L"sptBogus");
    Ini.WriteString(L"Main.Bar1_Panels", L"Item2_Text", L"third");
    Ini.UpdateFile();
  }
  F.bar->Panels()->GetItem(1)->SetPanelType(sptGlyph);
  F.storage->RestoreProperties();
  ASSERT_EQ(F.bar->Panels()->GetCount(), 3);
  EXPECT_EQ(F.bar->Panels()->GetItem(0), First);
  EXPECT_EQ(F.bar->Panels()->GetItem(1)->GetPanelType(), sptGlyph);
  EXPECT_EQ(F.bar->Panels()->GetItem(2)->GetText(), L"third");
  F.storage->SaveProperties();
  EXPECT_EQ(TMemIniFile(IniName).ReadString(L"Main", L"Bar1_Panels.Count", L""), L"3");

  // Into another count of panels the same: only the refused value stays as
  // the bar held it.
  {
    TMemIniFile Ini(IniName);
    Ini.WriteString(L"Main.Bar1_Panels", L"Item1_PanelType", L"sptBogus");
    Ini.UpdateFile();
  }
  F.bar->Panels()->GetItem(2)->SetText(L"changed");
  F.bar->Panels()->Add()->SetText(L"fourth");
  F.storage->RestoreProperties();
  ASSERT_EQ(F.bar->Panels()->GetCount(), 3);
  EXPECT_EQ(F.bar->Panels()->GetItem(1)->GetPanelType(), sptGlyph);
  EXPECT_EQ(F.bar->Panels()->GetItem(2)->GetText(), L"third");
  DeleteFileW(IniName.c_str());
}

// A glyph whose length runs past its bytes is refused before any panel
// changes, stored or streamed: the panels stay the ones the caller holds,
// with their handlers and their glyph.
TEST(PropsStorageStreamed, GlyphCutShortLeavesThePanelsAsTheyWere) {
  InitForms();
  const String IniName = NormalDir(GetTempDir()) + L"zembrio-statusbar-glyph.ini";
  DeleteFileW(IniName.c_str());
  auto Fill = [](StoreForm& F, int GlyphWidth) {
    TOdStatusPanel* Glyph = F.bar->Panels()->Add();
    Glyph->SetPanelType(sptGlyph);
    Glyph->Glyph()->Bitmap()->SetSize(GlyphWidth, 40);
    F.bar->Panels()->Add()->SetText(L"two");
  };
  {
    StoreForm F(false, IniName);
    Fill(F, 40);
    F.storage->SaveProperties();
  }
  {
    TMemIniFile Ini(IniName);
    const String Glyph = Ini.ReadString(L"Main.Bar1_Panels", L"Item0_Glyph", L"");
    ASSERT_GT(Glyph.size(), 1000u);
    Ini.WriteString(L"Main.Bar1_Panels", L"Item0_Glyph", Glyph.substr(0, Glyph.size() / 2));
    Ini.UpdateFile();
  }
  StoreForm F(false, IniName);
  Fill(F, 30);
  TOdStatusPanel* First = F.bar->Panels()->GetItem(0);
  TOdStatusPanel* Second = F.bar->Panels()->GetItem(1);
  int Clicks = 0;
  First->OnClick = TNotifyEvent([&](TObject*) { ++Clicks; });
  Second->SetText(L"changed");
  F.storage->RestoreProperties();
  ASSERT_EQ(F.bar->Panels()->GetCount(), 2);
  EXPECT_EQ(F.bar->Panels()->GetItem(0), First);
  EXPECT_TRUE(First->OnClick);
  EXPECT_EQ(First->Glyph()->GetWidth(), 30);
  EXPECT_EQ(Second->GetText(), L"two");

  // The same in a form stream: the read fails and nothing changes.
  TMemoryStream S;
  TWriter(&S).WriteRootComponent(F.bar);
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  const size_t At = Bytes.find("\x05Glyph\x0a");
  ASSERT_NE(At, std::string::npos);
  const uint32_t PastTheEnd = static_cast<uint32_t>(Bytes.size());
  std::memcpy(&Bytes[At + 7], &PastTheEnd, sizeof PastTheEnd);
  TMemoryStream Cut;
  Cut.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  Cut.SetPosition(0);
  Second->SetText(L"held");
  EXPECT_THROW(TReader(&Cut).ReadRootComponent(F.bar), EReadError);
  ASSERT_EQ(F.bar->Panels()->GetCount(), 2);
  EXPECT_EQ(F.bar->Panels()->GetItem(0), First);
  EXPECT_EQ(F.bar->Panels()->GetItem(1), Second);
  EXPECT_EQ(Second->GetText(), L"held");
  ASSERT_TRUE(First->OnClick);
  First->OnClick(First);
  EXPECT_EQ(Clicks, 1);
  DeleteFileW(IniName.c_str());
}

// Panels read from a broken stream change whole or not at all: a handler
// the form does not offer for the second panel fails before the first one
// takes its values, and a property no panel has leaves a bar that had no
// panels without any.
TEST(PropsStorageStreamed, PanelsFromABrokenStreamLeaveTheBarAsItWas) {
  InitForms();
  StoreForm F(false, L"zembrio-unused.ini");
  F.storage->SetName(L"Storage1");
  TOdStatusPanel* First = F.bar->Panels()->Add();
  First->SetText(L"one");
  TOdStatusPanel* Second = F.bar->Panels()->Add();
  Second->SetText(L"two");
  TNotifyEvent Clicked([](TObject*) {});
  F.form->RegisterMethod(L"PanelClicked", Clicked);
  Second->OnClick = Clicked;
  TMemoryStream S;
  TWriter(&S).WriteRootComponent(F.form.get());
  const std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  auto ReadBroken = [&](const char* Text, size_t Offset, char With) {
    std::string B = Bytes;
    const size_t At = B.rfind(Text);
    ASSERT_NE(At, std::string::npos);
    B[At + Offset] = With;
    TMemoryStream Broken;
    Broken.WriteBuffer(B.data(), static_cast<int64_t>(B.size()));
    Broken.SetPosition(0);
    EXPECT_THROW(TReader(&Broken).ReadRootComponent(F.form.get()), EReadError);
  };
  First->SetText(L"held");
  ReadBroken("PanelClicked", 11, 'X');
  ASSERT_EQ(F.bar->Panels()->GetCount(), 2);
  EXPECT_EQ(F.bar->Panels()->GetItem(0), First);
  EXPECT_EQ(First->GetText(), L"held");
  EXPECT_EQ(Second->OnClick, Clicked);

  F.bar->Panels()->Clear();
  ReadBroken("\x04Text", 2, 'i');
  EXPECT_EQ(F.bar->Panels()->GetCount(), 0);
  F.storage->Active = false;
}
