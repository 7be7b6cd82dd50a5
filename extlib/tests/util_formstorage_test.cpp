#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "extlib/ExCalendar.h"
#include "extlib/ExCtlListBox.h"
#include "extlib/ExDateEdit.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExFormStorage.h"
#include "extlib/tests/FormStream.h"
#include "testsupport/Registry.h"

namespace {

class FormStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    IniName = NormalDir(GetTempDir()) + L"zembrio-extlib-storage.ini";
    DeleteFileW(IniName.c_str());
  }
  void TearDown() override { DeleteFileW(IniName.c_str()); }

  // A form with an edit, a check box and a memo whose contents are stored.
  std::unique_ptr<TForm> MakeForm() {
    std::unique_ptr<TForm> F(new TForm(Application));
    F->SetName(L"StorageForm");
    F->SetBounds(40, 50, 320, 240);
    Edit = new TEdit(F.get());
    Edit->SetName(L"Edit1");
    Edit->SetParent(F.get());
    Check = new TCheckBox(F.get());
    Check->SetName(L"Check1");
    Check->SetParent(F.get());
    Memo = new TMemo(F.get());
    Memo->SetName(L"Memo1");
    Memo->SetParent(F.get());
    Storage = new TFormStorage(F.get());
    Storage->SetIniFileName(IniName);
    Storage->SetIniSection(L"Main");
    for (const wchar_t* P : {L"Edit1.Text", L"Check1.Checked", L"Memo1.Lines", L"Edit1.Font", L"Gone.Text"})
      Storage->GetStoredProps()->Add(P);
    Storage->Loaded();
    return F;
  }

  String Read(const String& Section, const String& Ident) {
    TMemIniFile Ini(IniName);
    return Ini.ReadString(Section, Ident, L"<none>");
  }

  String IniName;
  TFormStorage* Storage = nullptr;
  TEdit* Edit = nullptr;
  TCheckBox* Check = nullptr;
  TMemo* Memo = nullptr;
};

}  // namespace

TEST_F(FormStorage, PropertiesAndValuesSurviveCloseAndShow) {
  {
    auto F = MakeForm();
    EXPECT_EQ(Storage->GetStoredProps()->GetCount(), 4);  // the unknown component is dropped
    F->Show();
    Edit->SetText(L"remembered");
    Check->SetChecked(true);
    Memo->Lines()->SetText(L"a\r\nb\r\n");
    Edit->Font()->SetName(L"Tahoma");
    Storage->SetStoredValue(L"Counter", Variant(7));
    F->Close();
  }
  EXPECT_EQ(Read(L"Main", L"Edit1_Text"), L"remembered");
  EXPECT_EQ(Read(L"Main", L"Check1_Checked"), L"True");
  EXPECT_EQ(Read(L"Main.Memo1_Lines", L"Count"), L"2");
  EXPECT_EQ(Read(L"Main", L"Edit1_FontName"), L"Tahoma");
  EXPECT_EQ(Read(L"Main", L"Counter"), L"7");

  auto F = MakeForm();
  Storage->SetStoredValue(L"Counter", Variant());
  F->Show();
  EXPECT_EQ(Edit->GetText(), L"remembered");
  EXPECT_TRUE(Check->GetChecked());
  EXPECT_EQ(Memo->Lines()->GetCount(), 2);
  EXPECT_EQ(Edit->Font()->GetName(), L"Tahoma");
  EXPECT_EQ(Storage->GetStoredValue(L"counter").AsString(), L"7");
  Storage->Active = false;
}

// A control's pop-up menu that lives on a data module is stored as the
// module's name and the menu's and found on the module again on loading;
// once the module is gone the reference is left as it is.
TEST_F(FormStorage, ReferenceToADataModulesComponentLoadsBack) {
  std::unique_ptr<TDataModule> Module(new TDataModule(Application));
  Module->SetName(L"SharedMenus");
  auto* Shared = new TPopupMenu(Module.get());
  Shared->SetName(L"EditMenu");
  {
    auto F = MakeForm();
    Storage->GetStoredProps()->AddObject(L"Edit1.PopupMenu", Edit);
    F->Show();
    Edit->SetPopupMenu(Shared);
    F->Close();
  }
  EXPECT_EQ(Read(L"Main", L"Edit1_PopupMenu"), L"SharedMenus.EditMenu");

  auto F = MakeForm();
  Storage->GetStoredProps()->AddObject(L"Edit1.PopupMenu", Edit);
  auto* Local = new TPopupMenu(F.get());
  Local->SetName(L"LocalMenu");
  Edit->SetPopupMenu(Local);
  F->Show();
  EXPECT_EQ(Edit->GetPopupMenu(), Shared);

  Edit->SetPopupMenu(Local);
  const int Modules = Screen->DataModuleCount();
  Module.reset();
  EXPECT_EQ(Screen->DataModuleCount(), Modules - 1);
  Storage->RestoreProperties();
  EXPECT_EQ(Edit->GetPopupMenu(), Local);
  Storage->Active = false;
}

TEST_F(FormStorage, RemovedComponentLeavesTheList) {
  auto F = MakeForm();
  delete Check;
  EXPECT_EQ(Storage->GetStoredProps()->IndexOf(L"Check1.Checked"), -1);
  EXPECT_EQ(Storage->GetStoredProps()->GetCount(), 3);
  Storage->Active = false;
}

TEST_F(FormStorage, StoredValuesEncodeNamesAndEvents) {
  auto F = MakeForm();
  TStoredValues* Values = Storage->GetStoredValues();
  auto* Secret = static_cast<TStoredValue*>(Values->Add());
  Secret->SetName(L"Password");
  Secret->KeyString = L"key";
  Secret->Value = Variant(String(L"s\x00e9same \x0416"));
  auto* Other = static_cast<TStoredValue*>(Values->Add());
  EXPECT_THROW(Other->SetName(L"PASSWORD"), Exception);
  Other->SetName(L"Plain");
  Other->SetName(L"plain");  // its own name in another case is fine
  Other->OnSave = TStoredValueEvent([](TStoredValue*, Variant& V) { V = Variant(String(L"from event")); });
  Values->SaveValues();

  String Stored = Storage->ReadString(L"Password", L"");
  EXPECT_FALSE(Stored.empty());
  EXPECT_EQ(Stored.find_first_not_of(L"0123456789abcdef"), String::npos);
  EXPECT_EQ(Stored.find(L"same"), String::npos);
  EXPECT_EQ(Storage->ReadString(L"plain", L""), L"from event");

  Secret->Clear();
  Values->RestoreValues();
  EXPECT_EQ(Secret->Value.AsString(), String(L"s\x00e9same \x0416"));
  EXPECT_EQ(Values->IndexOf(L"nothing"), -1);
  EXPECT_TRUE(Storage->GetStoredValue(L"nothing").IsEmpty());
  Storage->Active = false;
}

TEST_F(FormStorage, LinksFollowSaveAndRestore) {
  auto F = MakeForm();
  TIniLink Link;
  int Saves = 0, Loads = 0;
  Link.OnSave = TNotifyEvent([&](TObject* S) {
    ++Saves;
    EXPECT_EQ(S, &Link);
    EXPECT_NE(Link.GetIniObject(), nullptr);  // the store is open meanwhile
  });
  Link.OnLoad = TNotifyEvent([&](TObject*) { ++Loads; });
  Link.SetStorage(Storage);
  EXPECT_EQ(Link.GetRootSection(), L"Main\\");
  F->Show();
  EXPECT_EQ(Loads, 1);
  Storage->SaveFormPlacement();
  EXPECT_EQ(Saves, 1);
  Link.SetStorage(nullptr);
  Storage->SaveFormPlacement();
  EXPECT_EQ(Saves, 1);
  Storage->Active = false;
}

TEST_F(FormStorage, LinkOutlivingItsPlacementIsDetached) {
  TIniLink Link;
  {
    auto F = MakeForm();
    Link.SetStorage(Storage);
    Storage->Active = false;
  }
  EXPECT_EQ(Link.GetStorage(), nullptr);
  EXPECT_EQ(Link.GetIniObject(), nullptr);
}

TEST_F(FormStorage, SettingsStoredPropertiesAndValuesTravelInTheFormStream) {
  using namespace formstream;
  auto Make = [](const wchar_t* Name) {
    auto F = NewForm(Name);
    // Its height stays as stored: a copy whose window is made while it
    // loads must not fit the height to the font.
    Place<TEdit>(F.get(), L"Edit1")->SetAutoSize(false);
    (new TFormStorage(F.get()))->SetName(L"Storage");
    return F;
  };
  auto StorageOf = [](TForm* F) { return dynamic_cast<TFormStorage*>(F->FindComponent(L"Storage")); };
  TMemoryStream S;
  auto Plain = Make(L"PlainStorage");
  Write(Plain.get(), S);
  for (const char* Name : {"Active", "IniFileName", "Options", "Version", "MinMaxInfo", "StoredProps", "StoredValues"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = Make(L"SourceStorage");
  TFormStorage* St = StorageOf(Source.get());
  St->SetIniSection(L"Main");
  St->Options = TPlacementOptions{fpActiveControl};
  St->Version = 3;
  TWinMinMaxInfo Info;
  Info.MinTrackWidth = 200;
  St->SetMinMaxInfo(Info);
  St->GetStoredProps()->AddObject(L"Edit1.Text", Source->FindComponent(L"Edit1"));
  St->SetStoredValue(L"Count", 5);
  St->SetStoredValue(L"When", Variant::FromDate(EncodeDate(2026, 12, 7)));
  St->SetStoredValue(L"Blank", Variant());
  St->GetStoredValues()->GetValue(L"Count")->KeyString = L"k3y";
  // Written under the edit's name of the moment.
  Source->FindComponent(L"Edit1")->SetName(L"NameEdit");
  auto Copy = Make(L"CopyStorage");
  Copy->FindComponent(L"Edit1")->SetName(L"NameEdit");
  St->Active = false;
  St->SetIniFileName(L"elsewhere.ini");
  St->UseRegistry = true;
  St->RegistryRoot = prLocalMachine;
  St->SetPreventResize(true);
  St->OnSavePlacement = Offer<TNotifyEvent>(L"PlacementSaved", {Source.get(), Copy.get()});
  St->OnRestorePlacement = Offer<TNotifyEvent>(L"PlacementRestored", {Source.get(), Copy.get()});
  TStoredValue* Count = St->GetStoredValues()->GetValue(L"Count");
  Count->OnSave = Offer<TStoredValueEvent>(L"CountSaved", {Source.get(), Copy.get()});
  Count->OnRestore = Offer<TStoredValueEvent>(L"CountRestored", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"Active", "IniFileName", "IniSection", "UseRegistry", "RegistryRoot", "Options", "Version",
                   "PreventResize", "MinMaxInfo.MinTrackWidth", "OnSavePlacement", "OnRestorePlacement",
                   "StoredProps", "StoredValues", "OnSave", "OnRestore"});
  TFormStorage* R = StorageOf(Copy.get());
  EXPECT_EQ(R->GetStoredValues()->GetValue(L"Count")->OnRestore, Count->OnRestore);
  EXPECT_EQ(R->OnSavePlacement, St->OnSavePlacement);
  EXPECT_EQ(R->GetStoredProps()->Get(0), L"NameEdit.Text");
  EXPECT_EQ(R->GetStoredProps()->GetObjects(0), Copy->FindComponent(L"NameEdit"));
  EXPECT_EQ(R->GetMinMaxInfo().MinTrackWidth, 200);
  EXPECT_EQ(R->GetStoredValue(L"Count").AsInteger(), 5);
  EXPECT_EQ(R->GetStoredValue(L"When").VarType(), varDate);
  EXPECT_TRUE(R->GetStoredValue(L"Blank").IsEmpty());
  EXPECT_EQ(R->GetStoredValues()->GetCount(), 3);
}

namespace {
// Saves and restores the edit's text and two stored values Cycles times
// through the form storage of a fresh form each time; the texts read back
// after each cycle.
void ExpectQuotedTextsSurvive(const std::function<std::unique_ptr<TForm>(TFormStorage*&, TEdit*&)>& Make) {
  const String Texts[] = {L"\"x\"", L"'y'", L"\"", L"\"\"", L"a \"b\" c"};
  for (const String& Text : Texts) {
    SCOPED_TRACE(testing::PrintToString(std::string(Text.begin(), Text.end())));
    for (int Cycle = 0; Cycle < 3; ++Cycle) {
      TFormStorage* Storage = nullptr;
      TEdit* Edit = nullptr;
      auto F = Make(Storage, Edit);
      F->Show();
      EXPECT_EQ(Edit->GetText(), Cycle ? Text : String()) << Cycle;
      EXPECT_EQ(Storage->GetStoredValue(L"Quoted").AsString(), Cycle ? Text : String()) << Cycle;
      Edit->SetText(Text);
      Storage->SetStoredValue(L"Quoted", Variant(Text));
      F->Close();
    }
    // The placement's own values too.
    TFormStorage* Storage = nullptr;
    TEdit* Edit = nullptr;
    auto F = Make(Storage, Edit);
    Storage->WriteString(L"Own", Text);
    EXPECT_EQ(Storage->ReadString(L"Own", L""), Text);
    Storage->EraseSections();
    Storage->Active = false;
  }
}
}  // namespace

TEST_F(FormStorage, QuotedTextsRoundTripThroughIniAndRegistry) {
  auto Make = [&](bool Registry, const String& Key) {
    return [=, this](TFormStorage*& S, TEdit*& E) {
      auto F = MakeForm();
      S = Storage;
      E = Edit;
      S->UseRegistry = Registry;
      if (Registry) S->SetIniFileName(Key);
      S->SetStoredValue(L"Quoted", Variant());
      return F;
    };
  };
  ExpectQuotedTextsSurvive(Make(false, String()));
  testsupport::ScratchKey Scratch(L"extlib");
  ExpectQuotedTextsSurvive(Make(true, Scratch.Path(L"quoted")));
}

// Showing a form reads its settings and never writes the file: comment
// lines, lines before the first section and repeated names stay, a missing
// file is not made and a read-only one reads without complaint.
TEST_F(FormStorage, ReadingNeverWritesTheFile) {
  const std::string Text =
      "; the user's own notes\r\nloose=line\r\n[Main]\r\n; about the edit\r\nEdit1_Text=kept\r\n"
      "Edit1_Text=second\r\nFormVersion=0\r\n\r\n[Other]\r\nx=1\r\n";
  auto PutFile = [&] {
    HANDLE H = CreateFileW(IniName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(H, INVALID_HANDLE_VALUE);
    DWORD N = 0;
    ::WriteFile(H, Text.data(), DWORD(Text.size()), &N, nullptr);
    CloseHandle(H);
  };
  auto FileText = [&] {
    TMemoryStream S;
    S.LoadFromFile(IniName);
    return std::string(static_cast<const char*>(S.Memory()), size_t(S.GetSize()));
  };
  PutFile();
  {
    auto F = MakeForm();
    F->Show();
    EXPECT_EQ(Edit->GetText(), L"kept");
    EXPECT_EQ(Storage->ReadString(L"Edit1_Text", L""), L"kept");
    EXPECT_EQ(Storage->ReadInteger(L"FormVersion", 5), 0);
    Storage->RestoreProperties();
    Storage->RestoreFormPlacement();
    EXPECT_EQ(FileText(), Text);
    Storage->Active = false;
  }
  SetFileAttributesW(IniName.c_str(), FILE_ATTRIBUTE_READONLY);
  {
    auto F = MakeForm();
    EXPECT_NO_THROW(Storage->RestoreFormPlacement());
    EXPECT_NO_THROW(Storage->ReadString(L"Edit1_Text", L""));
    EXPECT_EQ(Edit->GetText(), L"kept");
    Storage->Active = false;
  }
  SetFileAttributesW(IniName.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(FileText(), Text);

  DeleteFileW(IniName.c_str());
  {
    auto F = MakeForm();
    F->Show();
    EXPECT_EQ(Storage->ReadInteger(L"FormVersion", 5), 5);
    Storage->Active = false;
  }
  EXPECT_EQ(GetFileAttributesW(IniName.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Any property the components declare to the form streaming is storable,
// not only those with a description of their own: lists' and combo boxes'
// items, the calendar's date, first day and weekends, a date edit's date
// and the storage's own options.
TEST_F(FormStorage, EveryStreamedPropertyIsStorable) {
  auto Make = [&] {
    auto F = MakeForm();
    auto Add = [&](TControl* C, const wchar_t* Name) {
      C->SetName(Name);
      C->SetParent(F.get());
    };
    auto* List = new TTextListBox(F.get());
    Add(List, L"List1");
    auto* Combo = new TComboBox(F.get());
    Add(Combo, L"Combo1");
    auto* Cal = new TExtCalendar(F.get());
    Add(Cal, L"Cal1");
    Cal->SetUseCurrentDate(false);
    auto* DateEdit = new TDateEdit(F.get());
    Add(DateEdit, L"Date1");
    Storage->SetName(L"Storage1");
    for (const wchar_t* P : {L"List1.Items", L"List1.Sorted", L"Combo1.Items", L"Cal1.CalendarDate", L"Cal1.Weekends",
                             L"Cal1.StartOfWeek", L"Cal1.UseCurrentDate", L"Date1.Date", L"Storage1.Options",
                             L"Storage1.Version", L"Cal1.NoSuchProperty"})
      Storage->GetStoredProps()->Add(P);
    Storage->Loaded();
    return F;
  };
  {
    auto F = Make();
    F->Show();
    auto* List = dynamic_cast<TTextListBox*>(F->FindComponent(L"List1"));
    List->Items()->SetText(L"one\r\ntwo\r\n");
    List->SetSorted(true);
    dynamic_cast<TComboBox*>(F->FindComponent(L"Combo1"))->Items()->SetText(L"red\r\ngreen\r\nblue\r\n");
    auto* Cal = dynamic_cast<TExtCalendar*>(F->FindComponent(L"Cal1"));
    Cal->SetCalendarDate(EncodeDate(2024, 2, 29));
    Cal->SetWeekends(TDaysOfWeek{Fri, Sat});
    Cal->SetStartOfWeek(Sun);
    dynamic_cast<TDateEdit*>(F->FindComponent(L"Date1"))->SetDate(EncodeDate(2001, 9, 8));
    Storage->Options = TPlacementOptions{fpPosition, fpActiveControl};
    Storage->Version = 0;
    F->Close();
  }
  EXPECT_EQ(Read(L"Main", L"Cal1_Weekends"), L"[Fri,Sat]");
  EXPECT_EQ(Read(L"Main", L"Cal1_StartOfWeek"), L"Sun");
  EXPECT_EQ(Read(L"Main", L"Cal1_UseCurrentDate"), L"False");
  EXPECT_EQ(Read(L"Main", L"List1_Sorted"), L"True");
  EXPECT_EQ(Read(L"Main", L"Storage1_Options"), L"[fpPosition,fpActiveControl]");
  EXPECT_EQ(Read(L"Main.Combo1_Items", L"Count"), L"3");
  EXPECT_EQ(Read(L"Main", L"Cal1_NoSuchProperty"), L"<none>");

  auto F = Make();
  auto* Cal = dynamic_cast<TExtCalendar*>(F->FindComponent(L"Cal1"));
  Cal->SetUseCurrentDate(true);
  Storage->RestoreProperties();
  auto* List = dynamic_cast<TTextListBox*>(F->FindComponent(L"List1"));
  EXPECT_EQ(List->Items()->GetCount(), 2);
  EXPECT_TRUE(List->GetSorted());
  auto* Combo = dynamic_cast<TComboBox*>(F->FindComponent(L"Combo1"));
  ASSERT_EQ(Combo->Items()->GetCount(), 3);
  EXPECT_EQ(Combo->Items()->Get(2), L"blue");
  EXPECT_FALSE(Cal->GetUseCurrentDate());
  EXPECT_EQ(Cal->GetCalendarDate(), EncodeDate(2024, 2, 29));
  EXPECT_EQ(Cal->GetWeekends(), (TDaysOfWeek{Fri, Sat}));
  EXPECT_EQ(Cal->GetStartOfWeek(), Sun);
  EXPECT_EQ(dynamic_cast<TDateEdit*>(F->FindComponent(L"Date1"))->GetDate(), EncodeDate(2001, 9, 8));
  EXPECT_EQ(Storage->Options, (TPlacementOptions{fpPosition, fpActiveControl}));

  // A stored text that is no value of its property leaves the property.
  Storage->WriteString(L"Cal1_Weekends", L"[Someday]");
  Storage->WriteString(L"Cal1_CalendarDate", L"zz");
  Storage->RestoreProperties();
  EXPECT_EQ(Cal->GetWeekends(), (TDaysOfWeek{Fri, Sat}));
  EXPECT_EQ(Cal->GetCalendarDate(), EncodeDate(2024, 2, 29));
  Storage->Active = false;
}

// Another storage's values kept through StoredProps come back into the
// values it holds when there are as many: the same objects, each by its
// name, with the handlers set in code, which then run. With another count
// they are made anew, once, with their values.
TEST_F(FormStorage, AnotherStoragesValuesRestoreIntoTheValuesItHolds) {
  auto F = MakeForm();
  auto* Other = new TFormStorage(F.get());
  Other->SetName(L"Other");
  Other->SetIniFileName(IniName);
  Other->SetIniSection(L"Other");
  Storage->GetStoredProps()->AddObject(L"Other.StoredValues", Other);
  TStoredValues* Values = Other->GetStoredValues();
  Other->SetStoredValue(L"First", Variant(String(L"one")));
  Other->SetStoredValue(L"Second", Variant(String(L"two")));
  Storage->SaveProperties();

  // Held in the other order, changed, with handlers.
  TStoredValue* First = Values->GetValue(L"First");
  TStoredValue* Second = Values->GetValue(L"Second");
  First->SetIndex(1);
  First->Value = Variant(String(L"changed"));
  int Restored = 0, Saved = 0;
  First->OnRestore = TStoredValueEvent([&](TStoredValue*, Variant&) { ++Restored; });
  First->OnSave = TStoredValueEvent([&](TStoredValue*, Variant&) { ++Saved; });
  Storage->RestoreProperties();
  ASSERT_EQ(Values->GetCount(), 2);
  EXPECT_EQ(Values->Items(0), First);
  EXPECT_EQ(Values->Items(1), Second);
  EXPECT_EQ(First->Value.AsString(), L"one");
  EXPECT_EQ(Second->Value.AsString(), L"two");
  Values->RestoreValues();
  Values->SaveValues();
  EXPECT_EQ(Restored, 1);
  EXPECT_EQ(Saved, 1);

  // Three held, two stored: two new ones, made once.
  Other->SetStoredValue(L"Third", Variant(String(L"three")));
  const int NextID = Values->Items(2)->GetID() + 1;
  Storage->RestoreProperties();
  ASSERT_EQ(Values->GetCount(), 2);
  EXPECT_EQ(Values->Items(0)->GetID(), NextID);
  EXPECT_EQ(Values->Items(1)->GetID(), NextID + 1);
  EXPECT_EQ(Values->Items(0)->GetName(), L"First");
  EXPECT_EQ(Values->Items(1)->Value.AsString(), L"two");
  Storage->Active = false;
  Other->Active = false;
}

// A storage made in code whose values another storage restores takes none
// of its form's events: it neither restores nor saves on its own when the
// form is shown and closed. The values restored hold, its stored
// properties' components found again.
TEST_F(FormStorage, RestoredValuesLeaveAStorageMadeInCodeUnhooked) {
  auto F = MakeForm();
  auto* Other = new TFormStorage(F.get());
  Other->SetName(L"Other");
  Other->SetIniFileName(IniName);
  Other->SetIniSection(L"Other");
  Other->GetStoredProps()->AddObject(L"Edit1.Text", Edit);
  Storage->GetStoredProps()->AddObject(L"Other.StoredProps", Other);
  Storage->GetStoredProps()->AddObject(L"Other.Version", Other);
  Other->Version = 4;
  Storage->SaveProperties();
  Other->Version = 0;
  Other->GetStoredProps()->Clear();
  Storage->RestoreProperties();
  EXPECT_EQ(Other->Version, 4);
  ASSERT_EQ(Other->GetStoredProps()->GetCount(), 1);
  EXPECT_EQ(Other->GetStoredProps()->GetObjects(0), Edit);
  F->Show();
  F->Close();
  EXPECT_EQ(Read(L"Other", L"FormVersion"), L"<none>");
  EXPECT_EQ(Read(L"Main", L"Other_Version"), L"4");
}

// Stored values read from a form stream change whole or not at all: a
// handler the form does not offer fails before any value goes, and values
// of other names are made anew rather than renamed into the values held.
TEST_F(FormStorage, StoredValuesFromAStreamChangeWholeOrNotAtAll) {
  using namespace formstream;
  auto Make = [](const wchar_t* Name, std::initializer_list<const wchar_t*> Names) {
    auto F = NewForm(Name);
    auto* S = new TFormStorage(F.get());
    S->SetName(L"Storage");
    for (const wchar_t* N : Names) S->SetStoredValue(N, Variant(String(N)));
    return F;
  };
  auto ValuesOf = [](TForm* F) {
    return dynamic_cast<TFormStorage*>(F->FindComponent(L"Storage"))->GetStoredValues();
  };
  auto Source = Make(L"ValuesSource", {L"B", L"C"});
  auto Lacking = Make(L"ValuesLacking", {L"A", L"B", L"D"});
  auto Offering = Make(L"ValuesOffering", {L"A", L"B"});
  ValuesOf(Source.get())->GetValue(L"B")->OnRestore =
      Offer<TStoredValueEvent>(L"Restored", {Source.get(), Offering.get()});
  TMemoryStream S;
  Write(Source.get(), S);

  TStoredValues* Held = ValuesOf(Lacking.get());
  TStoredValue* First = Held->Items(0);
  try {
    formstream::Read(S, Lacking.get());
    ADD_FAILURE() << "read";
  } catch (const EReadError& E) {
    EXPECT_NE(E.Message().find(L"Method Restored not found"), String::npos);
  }
  ASSERT_EQ(Held->GetCount(), 3);
  EXPECT_EQ(Held->Items(0), First);
  EXPECT_EQ(Held->Items(2)->Value.AsString(), L"D");

  formstream::Read(S, Offering.get());
  TStoredValues* Values = ValuesOf(Offering.get());
  ASSERT_EQ(Values->GetCount(), 2);
  EXPECT_EQ(Values->Items(0)->GetName(), L"B");
  EXPECT_TRUE(Values->Items(0)->OnRestore);
  EXPECT_EQ(Values->Items(1)->Value.AsString(), L"C");
}

// Values read from a form stream go each into the value held of its name,
// in the order read, keeping what code gave it; only values of other names
// are made, and only the held values of no name read go.
TEST_F(FormStorage, StoredValuesFromAStreamKeepTheHeldValuesOfTheirNames) {
  using namespace formstream;
  auto Source = NewForm(L"KeyedSource");
  auto* Stored = new TFormStorage(Source.get());
  Stored->SetName(L"Storage");
  Stored->SetStoredValue(L"C", Variant(String(L"c")));
  Stored->SetStoredValue(L"B", Variant(String(L"b")));
  TMemoryStream S;
  Write(Source.get(), S);

  auto Target = NewForm(L"KeyedTarget");
  auto* Held = new TFormStorage(Target.get());
  Held->SetName(L"Storage");
  for (const wchar_t* N : {L"A", L"B", L"D"}) Held->SetStoredValue(N, Variant(String(L"held")));
  TStoredValue* B = Held->GetStoredValues()->GetValue(L"B");
  int Restored = 0;
  B->OnRestore = TStoredValueEvent([&](TStoredValue*, Variant&) { ++Restored; });
  formstream::Read(S, Target.get());
  TStoredValues* Values = Held->GetStoredValues();
  ASSERT_EQ(Values->GetCount(), 2);
  EXPECT_EQ(Values->Items(0)->GetName(), L"C");
  EXPECT_EQ(Values->Items(1), B);
  EXPECT_EQ(B->Value.AsString(), L"b");
  Values->RestoreValues();
  EXPECT_EQ(Restored, 1);
}
