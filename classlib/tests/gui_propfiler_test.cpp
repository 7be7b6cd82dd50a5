// The property helpers components declare their stored properties with:
// what is written, what is read back, and what a damaged stream does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "classlib/Actions.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/PropFiler.h"
#include "classlib/StdCtrls.h"

namespace {

enum TKind { kNone, kSome, kAll };
const PropFiler::TNames kKindNames{L"kNone", L"kSome", L"kAll"};
const PropFiler::TNames kOptionNames{L"opFirst", L"opSecond", L"opThird"};

class TProps : public TComponent {
 public:
  explicit TProps(TComponent* Owner = nullptr) : TComponent(Owner) {}
  const char* ClassName() const override { return "TProps"; }
  bool Flag = true;
  int64_t Count = 0;
  String Caption;
  double When = 0;
  int Kind = kNone;
  uint64_t Options = 0;
  TStringList Items;
  TBitmap Picture;
  TComponent* Buddy = nullptr;
  String PendingBuddy;
  bool WriteOld = false;  // as an older version did

 protected:
  void DefineProperties(TFiler* Filer) override {
    using namespace PropFiler;
    auto* a = dynamic_cast<TProps*>(Filer->GetAncestor());
    Boolean(Filer, L"Flag", Flag, a ? a->Flag : true, [this](bool v) { Flag = v; });
    Integer(Filer, L"Count", Count, a ? a->Count : 0, [this](int64_t v) { Count = v; });
    Text(Filer, L"Caption", Caption, a ? a->Caption : String(), [this](const String& v) { Caption = v; });
    DateTime(Filer, L"When", When, a ? a->When : 0, [this](double v) { When = v; });
    Enum(Filer, L"Kind", Kind, a ? a->Kind : kNone, kKindNames, [this](int v) { Kind = v; });
    Set(Filer, L"Options", Options, a ? a->Options : 0, kOptionNames, [this](uint64_t v) { Options = v; });
    Lines(Filer, L"Items", &Items, a ? &a->Items : nullptr);
    PropFiler::Picture(Filer, L"Picture", &Picture, a ? &a->Picture : nullptr,
                       [this](TBitmap* b) { Picture.Assign(*b); });
    Reference(Filer, L"Buddy", Buddy, a ? a->Buddy : nullptr, PendingBuddy);
    if (WriteOld)
      Filer->DefineProperty(L"Old", nullptr, [](TWriter* W) { W->WriteString(L"gone"); }, true);
    else
      Ignored(Filer, L"Old");
  }
};

bool Contains(TMemoryStream& m, const char* text) {
  const char* p = static_cast<const char*>(m.Memory());
  return std::search(p, p + m.GetSize(), text, text + std::strlen(text)) != p + m.GetSize();
}

}  // namespace

TEST(PropFiler, PropertiesThatDifferRoundTripAndDefaultsAreNotWritten) {
  TProps plain;
  plain.SetName(L"Plain");
  TMemoryStream empty;
  TWriter(&empty).WriteRootComponent(&plain);
  for (const char* name : {"Flag", "Count", "Caption", "When", "Kind", "Options", "Items", "Picture", "Buddy", "Old"})
    EXPECT_FALSE(Contains(empty, name)) << name;

  TComponent owner(nullptr);
  auto* buddy = new TComponent(&owner);
  buddy->SetName(L"Friend");
  auto* src = new TProps(&owner);
  src->SetName(L"Src");
  src->Flag = false;
  src->Count = int64_t{1} << 40;
  src->Caption = L"\u00E9t\u00E9";
  src->When = 45000.25;
  src->Kind = kAll;
  src->Options = 0b101;
  src->Items.Add(L"one");
  src->Items.Add(L"");
  src->Picture.SetPixelFormat(pf8bit);
  src->Picture.SetSize(4, 2);
  std::memset(src->Picture.ScanLine(1), 200, 4);
  src->Buddy = buddy;
  src->WriteOld = true;
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(src);
  EXPECT_TRUE(Contains(m, "opFirst") && Contains(m, "opThird") && !Contains(m, "opSecond"));

  TProps dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  EXPECT_FALSE(dst.Flag);
  EXPECT_EQ(dst.Count, int64_t{1} << 40);
  EXPECT_EQ(dst.Caption, src->Caption);
  EXPECT_EQ(dst.When, 45000.25);
  EXPECT_EQ(dst.Kind, kAll);
  EXPECT_EQ(dst.Options, 0b101u);
  ASSERT_EQ(dst.Items.GetCount(), 2);
  EXPECT_EQ(dst.Items.Get(0), L"one");
  EXPECT_EQ(dst.Picture.GetPixelFormat(), pf8bit);
  EXPECT_EQ(static_cast<uint8_t*>(dst.Picture.ScanLine(1))[3], 200);
  // The reference is read as a name, found among the owners' components.
  EXPECT_EQ(dst.PendingBuddy, L"Friend");
  EXPECT_EQ(PropFiler::Find(src, dst.PendingBuddy), buddy);
  EXPECT_EQ(PropFiler::Find(src, L"Nobody"), nullptr);

  // Against an ancestor only what differs from it is written.
  TProps same;
  same.Kind = kAll;
  same.Caption = src->Caption;
  TMemoryStream d;
  TWriter(&d).WriteDescendent(src, &same);
  EXPECT_FALSE(Contains(d, "Kind"));
  EXPECT_FALSE(Contains(d, "Caption"));
  EXPECT_TRUE(Contains(d, "Count"));
}

TEST(PropFiler, AnUnknownIdentifierIsAReadError) {
  TProps src;
  src.SetName(L"Src");
  src.Kind = kSome;
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  std::string bytes(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  bytes.replace(bytes.find("kSome"), 5, "kMost");
  TMemoryStream bad;
  bad.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  bad.SetPosition(0);
  TProps dst;
  try {
    TReader(&bad).ReadRootComponent(&dst);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Invalid property value: kMost");
  }
  EXPECT_EQ(dst.Kind, kNone);
}

// ---- the usual control properties ------------------------------------------------------

namespace {

// A form with a panel holding an edit box and a button, and a label: the
// same names and classes each time, as a form's class makes them.
struct Designed {
  std::unique_ptr<TForm> Form{new TForm(Application)};
  TPanel* Panel = Make<TPanel>(L"pnl", Form.get());
  TEdit* Edit = Make<TEdit>(L"edt", Panel);
  TButton* Button = Make<TButton>(L"btn", Panel);
  TLabel* Label = Make<TLabel>(L"lbl", Form.get());
  TPopupMenu* Menu = new TPopupMenu(Form.get());
  explicit Designed(const wchar_t* Name) {
    Form->SetName(Name);
    Menu->SetName(L"pmEdit");
  }
  template <class T>
  T* Make(const wchar_t* Name, TWinControl* Parent) {
    T* c = new T(Form.get());
    c->SetName(Name);
    c->SetParent(Parent);
    return c;
  }
};

}  // namespace

TEST(ControlStreaming, TheUsualPropertiesRoundTrip) {
  Designed src(L"frmSource");
  src.Panel->SetBounds(5, 6, 300, 120);
  src.Panel->SetCaption(L"Panel");
  src.Panel->SetColor(clRed);
  src.Edit->SetBounds(10, 10, 150, 22);
  src.Edit->SetText(L"typed");
  src.Edit->SetHint(L"Type here");
  src.Edit->SetShowHint(true);
  src.Edit->SetEnabled(false);
  src.Edit->Font()->SetName(L"Courier New");
  src.Edit->Font()->SetHeight(-15);
  src.Edit->Font()->SetStyle(TFontStyles{fsBold, fsUnderline});
  src.Button->SetBounds(10, 40, 80, 25);
  src.Button->SetCaption(L"Go");
  src.Button->SetVisible(false);
  src.Button->SetTabOrder(0);
  src.Label->SetCaption(L"Label");
  src.Label->SetParentColor(true);
  src.Label->SetAlign(alBottom);
  src.Button->SetAnchors(TAnchors{akRight, akBottom});
  src.Edit->SetPopupMenu(src.Menu);
  src.Edit->SetCursor(crHandPoint);
  src.Edit->SetHelpType(htKeyword);
  src.Edit->SetHelpKeyword(L"editing");
  src.Button->SetHelpContext(42);
  src.Panel->SetBiDiMode(bdRightToLeftReadingOnly);
  src.Label->SetDragMode(dmAutomatic);
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(src.Form.get());

  Designed dst(L"frmCopy");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(dst.Form.get());
  EXPECT_EQ(dst.Panel->GetBoundsRect(), Rect(5, 6, 305, 126));
  EXPECT_EQ(dst.Panel->GetCaption(), L"Panel");
  EXPECT_EQ(dst.Panel->GetColor(), clRed);
  EXPECT_EQ(dst.Edit->GetBoundsRect(), Rect(10, 10, 160, 32));
  EXPECT_EQ(dst.Edit->GetText(), L"typed");
  EXPECT_EQ(dst.Edit->GetHint(), L"Type here");
  EXPECT_TRUE(dst.Edit->GetShowHint());
  EXPECT_FALSE(dst.Edit->GetParentShowHint());
  EXPECT_FALSE(dst.Edit->GetEnabled());
  EXPECT_FALSE(dst.Edit->GetParentFont());
  EXPECT_EQ(dst.Edit->Font()->GetName(), L"Courier New");
  EXPECT_EQ(dst.Edit->Font()->GetHeight(), -15);
  EXPECT_EQ(dst.Edit->Font()->GetStyle(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_EQ(dst.Button->GetCaption(), L"Go");
  EXPECT_FALSE(dst.Button->GetVisible());
  EXPECT_EQ(dst.Button->GetTabOrder(), 0);
  EXPECT_EQ(dst.Edit->GetTabOrder(), 1);
  EXPECT_EQ(dst.Label->GetCaption(), L"Label");
  EXPECT_TRUE(dst.Label->GetParentColor());
  EXPECT_TRUE(dst.Label->GetParentFont());
  EXPECT_EQ(dst.Label->GetAlign(), alBottom);
  EXPECT_EQ(dst.Button->GetAnchors(), (TAnchors{akRight, akBottom}));
  EXPECT_EQ(dst.Edit->GetPopupMenu(), dst.Menu);
  EXPECT_EQ(dst.Panel->GetPopupMenu(), nullptr);
  EXPECT_EQ(dst.Edit->GetCursor(), crHandPoint);
  EXPECT_EQ(dst.Edit->GetHelpType(), htKeyword);
  EXPECT_EQ(dst.Edit->GetHelpKeyword(), L"editing");
  EXPECT_EQ(dst.Button->GetHelpContext(), 42);
  EXPECT_EQ(dst.Panel->GetBiDiMode(), bdRightToLeftReadingOnly);
  EXPECT_EQ(dst.Label->GetDragMode(), dmAutomatic);
}

TEST(ControlStreaming, DefaultsAndWhatTheParentGivesAreNotStored) {
  TPanel plain(nullptr);
  plain.SetName(L"pnlPlain");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&plain);
  for (const char* name : {"Left", "Top", "Enabled", "Visible", "Hint", "ShowHint", "ParentShowHint", "ParentColor",
                           "ParentFont", "Font.", "TabOrder", "Caption", "Align", "Anchors", "PopupMenu"})
    EXPECT_FALSE(Contains(m, name)) << name;
  // A parent's font and colour are not the control's own.
  plain.SetColor(clLime);
  plain.SetParentColor(true);
  plain.Font()->SetHeight(-30);
  plain.SetParentFont(true);
  TMemoryStream m2;
  TWriter(&m2).WriteRootComponent(&plain);
  EXPECT_TRUE(Contains(m2, "ParentColor"));
  EXPECT_FALSE(Contains(m2, "\x05" "Color"));  // the name alone
  EXPECT_FALSE(Contains(m2, "Font."));
  EXPECT_FALSE(Contains(m2, "ParentFont"));
}

namespace {
struct THandlers {
  void GoClick(TObject*) { ++Clicks; }
  void Other(TObject*) {}
  int Clicks = 0;
};
}  // namespace

TEST(ControlStreaming, EventHandlersAreStoredByTheNamesTheFormOffers) {
  THandlers mine, theirs;
  Designed src(L"frmEventsSource");
  src.Form->RegisterMethod(L"GoClick", TNotifyEvent(&mine, &THandlers::GoClick));
  src.Button->OnClick = TNotifyEvent(&mine, &THandlers::GoClick);
  src.Edit->OnEnter = [](TObject*) {};  // offered by no name: not stored
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(src.Form.get());
  EXPECT_TRUE(Contains(m, "GoClick"));
  EXPECT_FALSE(Contains(m, "OnEnter"));

  // The copy's form offers its own handler under that name.
  Designed dst(L"frmEventsCopy");
  dst.Form->RegisterMethod(L"Other", TNotifyEvent(&theirs, &THandlers::Other));
  dst.Form->RegisterMethod(L"goclick", TNotifyEvent(&theirs, &THandlers::GoClick));
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(dst.Form.get());
  ASSERT_TRUE(dst.Button->OnClick);
  dst.Button->Click();
  EXPECT_EQ(theirs.Clicks, 1);
  EXPECT_EQ(mine.Clicks, 0);
  EXPECT_FALSE(dst.Edit->OnEnter);

  // A form that offers no such handler cannot read the stream.
  Designed bare(L"frmEventsBare");
  m.SetPosition(0);
  try {
    TReader(&m).ReadRootComponent(bare.Form.get());
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Method GoClick not found");
  }
}

TEST(PropFiler, DefinedNamesListsEveryDeclaredPropertyStoredOrNot) {
  // A plain instance stores nothing, yet every property is declared.
  TProps plain;
  const std::vector<String> names = PropFiler::DefinedNames(&plain);
  const std::vector<String> expected{L"Flag", L"Count", L"Caption", L"When",  L"Kind",
                                     L"Options", L"Items", L"Picture", L"Buddy", L"Old"};
  EXPECT_EQ(names, expected);
  // With what each holds, as its helper tells.
  TNameRecorder recorder;
  recorder.Record(&plain);
  using K = TDeclaredKind;
  EXPECT_EQ(recorder.Kinds, (std::vector<K>{K::Boolean, K::Integer, K::Text, K::DateTime, K::Enum, K::Set, K::Lines,
                                            K::Picture, K::Reference, K::Other}));

  // A control's parts count by their prefix; a name that is only a prefix
  // of another property's does not.
  TButton button(nullptr);
  EXPECT_EQ(PropFiler::MissingNames(&button, {L"Font", L"Left", L"TabStop", L"OnClick"}), std::vector<String>{});
  EXPECT_EQ(PropFiler::MissingNames(&button, {L"Fon", L"ParentFon", L"Nonsense"}),
            (std::vector<String>{L"Fon", L"ParentFon", L"Nonsense"}));
}

namespace {
// A button class that does not name itself: it answers its base's name.
class TUnnamedButton : public TButton {
 public:
  explicit TUnnamedButton(TComponent* AOwner) : TButton(AOwner) {}
};

std::string Part(TMemoryStream& m, const char* Name) {
  std::string all(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  const size_t at = all.find(Name);
  return at == std::string::npos ? std::string() : all.substr(at);
}
}  // namespace

TEST(ControlStreaming, WhatTheConstructorSetsIsTheStoredDefault) {
  // A button's TabStop and a panel's colour are their classes' own.
  Designed src(L"frmDefaults");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(src.Form.get());
  const std::string button = Part(m, "btn"), panel = Part(m, "pnl");
  EXPECT_EQ(button.substr(0, button.find("lbl")).find("TabStop"), std::string::npos);
  EXPECT_EQ(panel.substr(0, panel.find("edt")).find("\x05" "Color"), std::string::npos);

  // Changed, they are stored, and a reader that makes the components by
  // class gets them back; unchanged, it gets the class's own.
  src.Button->SetTabStop(false);
  src.Panel->SetColor(clWindow);
  src.Edit->SetTabStop(false);  // an edit's own TabStop is true as well
  TMemoryStream changed;
  TWriter(&changed).WriteRootComponent(src.Form.get());
  std::unique_ptr<TForm> empty(new TForm(nullptr));
  changed.SetPosition(0);
  TReader(&changed).ReadRootComponent(empty.get());
  auto* button2 = dynamic_cast<TButton*>(empty->FindComponent(L"btn"));
  auto* panel2 = dynamic_cast<TPanel*>(empty->FindComponent(L"pnl"));
  ASSERT_TRUE(button2 && panel2);
  EXPECT_FALSE(button2->GetTabStop());
  EXPECT_EQ(panel2->GetColor(), clWindow);
  EXPECT_FALSE(dynamic_cast<TEdit*>(empty->FindComponent(L"edt"))->GetTabStop());
  EXPECT_TRUE(dynamic_cast<TLabel*>(empty->FindComponent(L"lbl"))->GetParentColor());  // its own

  // A class known only by its base's name is compared with the plain
  // defaults: what it holds is stored rather than lost.
  TForm owner(Application);
  owner.SetName(L"frmUnnamed");
  auto* unnamed = new TUnnamedButton(&owner);
  unnamed->SetName(L"btnUnnamed");
  unnamed->SetParent(&owner);
  TMemoryStream u;
  TWriter(&u).WriteRootComponent(&owner);
  EXPECT_NE(Part(u, "btnUnnamed").find("TabStop"), std::string::npos);
}

TEST(ControlStreaming, BorderWidthShrinksTheClientAreaAndIsPaintedInTheControlsColour) {
  TForm form(Application);
  form.SetBounds(0, 0, 300, 200);
  auto* box = new TListBox(&form);
  box->SetParent(&form);
  box->SetBounds(10, 10, 120, 100);
  box->SetColor(clRed);
  form.Show();
  const TRect before = box->GetClientRect();
  box->SetBorderWidth(5);
  const TRect after = box->GetClientRect();
  EXPECT_EQ(RectWidth(after), RectWidth(before) - 10);
  EXPECT_EQ(RectHeight(after), RectHeight(before) - 10);
  RedrawWindow(box->GetHandle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  // The ring just outside the client area shows the control's colour.
  HDC dc = GetWindowDC(box->GetHandle());
  RECT w, c;
  GetWindowRect(box->GetHandle(), &w);
  GetClientRect(box->GetHandle(), &c);
  MapWindowPoints(box->GetHandle(), nullptr, reinterpret_cast<POINT*>(&c), 2);
  const COLORREF ring = GetPixel(dc, c.left - w.left - 2, c.top - w.top + 10);
  ReleaseDC(box->GetHandle(), dc);
  EXPECT_EQ(ring, RGB(255, 0, 0));
  // A windowless size counts the border too.
  TListBox loose(nullptr);
  loose.SetBounds(0, 0, 100, 50);
  loose.SetBorderWidth(4);
  EXPECT_EQ(loose.GetClientRect(), Rect(0, 0, 92, 42));
}

// Every event a control of the class library stores, by name.
#define CONTROL_EVENTS(X)                                                                            \
  X(OnClick) X(OnDblClick) X(OnResize) X(OnMouseDown) X(OnMouseMove) X(OnMouseUp) X(OnContextPopup) \
  X(OnCanResize) X(OnDragDrop) X(OnDragOver) X(OnEndDock) X(OnEndDrag) X(OnStartDock) X(OnStartDrag)      \
  X(OnMouseWheelDown) X(OnMouseWheelUp)
#define WINCONTROL_EVENTS(X) X(OnEnter) X(OnExit) X(OnKeyDown) X(OnKeyPress) X(OnKeyUp) X(OnMouseWheel)

TEST(ControlStreaming, EveryEventIsStoredByTheNameItsFormOffers) {
  Designed src(L"frmAllEventsSource"), dst(L"frmAllEventsCopy");
  auto* timer = new TTimer(src.Form.get());
  timer->SetName(L"tmr");
  auto* timer2 = new TTimer(dst.Form.get());
  timer2->SetName(L"tmr");
  auto* combo = src.Make<TComboBox>(L"cmb", src.Form.get());
  auto* combo2 = dst.Make<TComboBox>(L"cmb", dst.Form.get());
  auto* split = src.Make<TSplitter>(L"spl", src.Form.get());
  auto* split2 = dst.Make<TSplitter>(L"spl", dst.Form.get());
  // Each handler offered under the control's name and the event's; the
  // copy's form offers its own under the same names.
#define OFFER(Form, Control, Prefix, N)                 \
  {                                                     \
    decltype(Control->N) h = [](auto&&...) {};         \
    Form->RegisterMethod(String(Prefix) + L"" #N, h);   \
    if (d == &src) Control->N = h;                      \
  }
  for (Designed* d : {&src, &dst}) {
    TEdit* e = d == &src ? src.Edit : dst.Edit;
#define EDIT(N) OFFER(d->Form, e, L"edt", N)
    CONTROL_EVENTS(EDIT) WINCONTROL_EVENTS(EDIT) EDIT(OnChange)
#undef EDIT
    TTimer* t = d == &src ? timer : timer2;
    OFFER(d->Form, t, L"tmr", OnTimer)
    TComboBox* c = d == &src ? combo : combo2;
#define COMBO(N) OFFER(d->Form, c, L"cmb", N)
    COMBO(OnChange) COMBO(OnSelect) COMBO(OnDropDown) COMBO(OnCloseUp) COMBO(OnDrawItem)
#undef COMBO
    // The splitter's own OnCanResize, not the control's it hides.
    TSplitter* sp = d == &src ? split : split2;
    OFFER(d->Form, sp, L"spl", OnCanResize)
    OFFER(d->Form, sp, L"spl", OnMoved)
    TCustomForm* f = d->Form.get();
#define FORM(N) OFFER(d->Form, f, L"frm", N)
    FORM(OnCreate) FORM(OnShow) FORM(OnClose) FORM(OnCloseQuery)
#undef FORM
  }
#undef OFFER
  timer->SetInterval(250);
  timer->SetEnabled(false);
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(src.Form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(dst.Form.get());
  TForm* df = dst.Form.get();
#define BOUND(Control, Prefix, N) \
  EXPECT_TRUE(Control->N && Control->N == df->FindMethod<decltype(Control->N)>(String(Prefix) + L"" #N)) << #N;
#define EDIT(N) BOUND(dst.Edit, L"edt", N)
  CONTROL_EVENTS(EDIT) WINCONTROL_EVENTS(EDIT) EDIT(OnChange)
#undef EDIT
#define COMBO(N) BOUND(combo2, L"cmb", N)
  COMBO(OnChange) COMBO(OnSelect) COMBO(OnDropDown) COMBO(OnCloseUp) COMBO(OnDrawItem)
#undef COMBO
#define FORM(N) BOUND(df, L"frm", N)
  FORM(OnCreate) FORM(OnShow) FORM(OnClose) FORM(OnCloseQuery)
#undef FORM
  BOUND(timer2, L"tmr", OnTimer)
  BOUND(split2, L"spl", OnCanResize)
  BOUND(split2, L"spl", OnMoved)
#undef BOUND
  EXPECT_EQ(timer2->GetInterval(), 250u);
  EXPECT_FALSE(timer2->GetEnabled());
  EXPECT_FALSE(dst.Button->OnMouseDown);  // none was given
}

namespace {
// Declares Flag and Count itself, before its base does: its own are the
// ones written and read.
class TOverriding : public TProps {
 public:
  using TProps::TProps;
  bool Own = false;

 protected:
  // The base's properties first, then the class's own: its Flag replaces
  // the base's.
  void DefineProperties(TFiler* Filer) override {
    TProps::DefineProperties(Filer);
    PropFiler::Boolean(Filer, L"Flag", Own, false, [this](bool v) { Own = v; });
  }
};
}  // namespace

TEST(PropFiler, APropertyDeclaredTwiceIsWrittenOnceAndReadByTheClasssOwnDeclaration) {
  TOverriding src;
  src.SetName(L"Src");
  src.Own = true;
  src.Flag = false;  // the base's value under the same name: not written
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  std::string bytes(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  const size_t first = bytes.find("Flag");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(bytes.find("Flag", first + 1), std::string::npos);
  TOverriding dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  EXPECT_TRUE(dst.Own);
  EXPECT_TRUE(dst.Flag);  // the base's flag keeps its default
  // Both declarations are listed.
  const std::vector<String> names = PropFiler::DefinedNames(&dst);
  EXPECT_EQ(std::count(names.begin(), names.end(), String(L"Flag")), 2);
}

TEST(ControlStreaming, AnActionStoresItsOwnPropertiesAndEvents) {
  auto make = [](const wchar_t* Name, TAction*& Action) {
    auto* form = new TForm(nullptr);
    form->SetName(Name);
    auto* list = new TActionList(form);
    list->SetName(L"alMain");
    Action = new TAction(form);
    Action->SetName(L"actGo");
    Action->SetActionList(list);
    TNotifyEvent run = [](TObject*) {};
    form->RegisterMethod(L"actGoExecute", run);
    return std::unique_ptr<TForm>(form);
  };
  TAction* src = nullptr;
  std::unique_ptr<TForm> from = make(L"frmActionSource", src);
  src->SetCaption(L"&Go");
  src->SetCategory(L"Move");
  src->SetHint(L"Go there");
  src->SetEnabled(false);
  src->SetChecked(true);
  src->SetImageIndex(3);
  src->SetShortCut(ShortCut('G', TShiftState{ssCtrl}));
  src->SetHelpContext(7);
  src->OnExecute = from->FindMethod<TNotifyEvent>(L"actGoExecute");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(from.get());

  TAction* dst = nullptr;
  std::unique_ptr<TForm> to = make(L"frmActionCopy", dst);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(to.get());
  EXPECT_EQ(dst->GetCaption(), L"&Go");
  EXPECT_EQ(dst->GetCategory(), L"Move");
  EXPECT_EQ(dst->GetHint(), L"Go there");
  EXPECT_FALSE(dst->GetEnabled());
  EXPECT_TRUE(dst->GetChecked());
  EXPECT_EQ(dst->GetImageIndex(), 3);
  EXPECT_EQ(dst->GetShortCut(), ShortCut('G', TShiftState{ssCtrl}));
  EXPECT_EQ(dst->GetHelpContext(), 7);
  EXPECT_TRUE(dst->OnExecute && dst->OnExecute == to->FindMethod<TNotifyEvent>(L"actGoExecute"));
}

TEST(ControlStreaming, EachComponentDeclaresItsOwnEvents) {
  // What each class of the class library adds to its base's.
  auto expect = [](TComponent* C, const PropFiler::TNames& Names) {
    std::unique_ptr<TComponent> hold(C);
    EXPECT_EQ(PropFiler::MissingNames(C, Names), std::vector<String>{}) << C->ClassName();
  };
  expect(new TListBox(nullptr), {L"OnDrawItem", L"OnMeasureItem", L"BorderStyle", L"Columns", L"ExtendedSelect",
                                 L"IntegralHeight", L"TabWidth", L"OnKeyPress", L"OnMouseWheel", L"BorderWidth", L"Ctl3D"});
  expect(new TCheckListBox(nullptr), {L"OnClickCheck", L"OnDrawItem"});
  expect(new TPaintBox(nullptr), {L"OnPaint", L"DragMode", L"Constraints"});
  expect(new TMenuItem(nullptr), {L"OnClick"});
  expect(new TPopupMenu(nullptr), {L"OnPopup"});
  expect(new TDataModule(nullptr), {L"OnCreate", L"OnDestroy"});
  expect(new TPageControl(nullptr), {L"OnChange", L"OnChanging"});
  expect(new TTabSheet(nullptr), {L"OnShow", L"OnHide"});
  expect(new TTrackBar(nullptr), {L"OnChange"});
  expect(new TAnimate(nullptr), {L"OnOpen"});
  expect(new TStatusBar(nullptr), {L"OnDrawPanel"});
  expect(new TListView(nullptr), {L"OnChange", L"OnColumnClick", L"OnCompare", L"OnDeletion", L"OnEdited",
                                  L"OnEditing", L"OnInsert", L"OnSelectItem"});
  expect(new TDrawGrid(nullptr), {L"OnDrawCell", L"OnSelectCell", L"OnTopLeftChanged"});
  expect(new TOpenDialog(nullptr), {L"OnShow", L"OnClose", L"HelpContext"});
  expect(new TActionList(nullptr), {L"Images", L"OnChange", L"OnExecute", L"OnUpdate"});
  expect(new TImageList(nullptr), {L"OnChange"});
}

namespace {
// Src written and read into Dst (both forms with the same names).
void CopyForm(TForm* Src, TForm* Dst) {
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(Src);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(Dst);
}
template <class T>
T* Named(TForm* F, const wchar_t* Name) {
  return dynamic_cast<T*>(F->FindComponent(Name));
}
}  // namespace

TEST(ComponentStreaming, DialogsStoreTheirFilesFiltersOptionsAndFont) {
  Designed src(L"frmDialogsSource"), dst(L"frmDialogsCopy");
  auto* open = new TOpenDialog(src.Form.get());
  open->SetName(L"dlgOpen");
  auto* save = new TSaveDialog(src.Form.get());
  save->SetName(L"dlgSave");
  auto* font = new TFontDialog(src.Form.get());
  font->SetName(L"dlgFont");
  open->SetDefaultExt(L"reg");
  open->SetFileName(L"export.reg");
  open->SetFilter(L"Registry files (*.reg)|*.reg|All files (*.*)|*.*");
  open->SetFilterIndex(2);
  open->SetInitialDir(L"C:\\Temp");
  open->SetTitle(L"Import");
  open->SetOptions({ofFileMustExist, ofPathMustExist});  // dropped the defaults
  save->SetOptions({ofHideReadOnly, ofEnableSizing, ofOverwritePrompt});
  font->Font()->SetName(L"Courier New");
  font->Font()->SetHeight(-15);
  font->Font()->SetStyle({fsBold});
  font->SetOptions({fdTrueTypeOnly});
  font->MaxFontSize = 40;
  CopyForm(src.Form.get(), dst.Form.get());
  auto* o = Named<TOpenDialog>(dst.Form.get(), L"dlgOpen");
  auto* s = Named<TSaveDialog>(dst.Form.get(), L"dlgSave");
  auto* f = Named<TFontDialog>(dst.Form.get(), L"dlgFont");
  ASSERT_TRUE(o && s && f);
  EXPECT_EQ(o->GetDefaultExt(), L"reg");
  EXPECT_EQ(o->GetFileName(), L"export.reg");
  EXPECT_EQ(o->GetFilter(), open->GetFilter());
  EXPECT_EQ(o->GetFilterIndex(), 2);
  EXPECT_EQ(o->GetInitialDir(), L"C:\\Temp");
  EXPECT_EQ(o->GetTitle(), L"Import");
  EXPECT_EQ(o->GetOptions(), (TOpenOptions{ofFileMustExist, ofPathMustExist}));
  EXPECT_EQ(s->GetOptions(), (TOpenOptions{ofHideReadOnly, ofEnableSizing, ofOverwritePrompt}));
  EXPECT_EQ(s->GetFilterIndex(), 1);
  EXPECT_EQ(f->Font()->GetName(), L"Courier New");
  EXPECT_EQ(f->Font()->GetHeight(), -15);
  EXPECT_TRUE(f->Font()->GetStyle().Contains(fsBold));
  EXPECT_EQ(f->GetOptions(), TFontDialogOptions{fdTrueTypeOnly});
  EXPECT_EQ(f->MaxFontSize, 40);
  // New dialogs write nothing of their own.
  auto names = [](TComponent* c) {
    TMemoryStream m;
    TWriter(&m).WriteRootComponent(c);
    return std::string(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  };
  TOpenDialog plain(nullptr);
  TFontDialog plainFont(nullptr);
  for (const char* n : {"Options", "FilterIndex", "Filter", "Title"}) EXPECT_EQ(names(&plain).find(n), std::string::npos) << n;
  for (const char* n : {"Options", "Font."}) EXPECT_EQ(names(&plainFont).find(n), std::string::npos) << n;
  TListBox plainList(nullptr);
  for (const char* n : {"BorderStyle", "Columns", "ExtendedSelect", "IntegralHeight", "TabWidth"})
    EXPECT_EQ(names(&plainList).find(n), std::string::npos) << n;
}

TEST(ComponentStreaming, ListsStoreTheirLinesSelectionAndShape) {
  Designed src(L"frmListsSource"), dst(L"frmListsCopy");
  auto* list = src.Make<TListBox>(L"lst", src.Form.get());
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  list->SetSorted(true);
  for (const wchar_t* s : {L"pear", L"apple", L"fig"}) list->Items()->Add(s);
  list->SetItemIndex(1);  // "fig", sorted
  list->SetBorderStyle(bsNone);
  list->SetColumns(3);
  list->SetExtendedSelect(false);
  list->SetIntegralHeight(true);
  list->SetTabWidth(40);
  auto* combo = src.Make<TComboBox>(L"cmbKinds", src.Form.get());
  combo->SetStyle(csDropDownList);
  combo->SetDropDownCount(12);
  for (const wchar_t* s : {L"String", L"Integer", L"Binary"}) combo->Items()->Add(s);
  combo->SetItemIndex(2);
  auto* menu = src.Menu;
  menu->SetAlignment(paRight);
  menu->SetAutoPopup(false);
  auto* bar = src.Make<TStatusBar>(L"sb", src.Form.get());
  bar->SetSimplePanel(true);
  bar->SetSimpleText(L"Ready");
  bar->SetSizeGrip(false);
  src.Form->Show();
  CopyForm(src.Form.get(), dst.Form.get());
  auto* l = Named<TListBox>(dst.Form.get(), L"lst");
  auto* c = Named<TComboBox>(dst.Form.get(), L"cmbKinds");
  auto* m = Named<TPopupMenu>(dst.Form.get(), L"pmEdit");
  auto* b = Named<TStatusBar>(dst.Form.get(), L"sb");
  ASSERT_TRUE(l && c && m && b);
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(0), L"apple");
  EXPECT_EQ(l->GetStyle(), lbOwnerDrawFixed);
  EXPECT_EQ(l->GetItemHeight(), 20);
  EXPECT_TRUE(l->GetSorted());
  EXPECT_EQ(l->GetItemIndex(), 1);
  EXPECT_EQ(l->GetBorderStyle(), bsNone);
  EXPECT_EQ(l->GetColumns(), 3);
  EXPECT_FALSE(l->GetExtendedSelect());
  EXPECT_TRUE(l->GetIntegralHeight());
  EXPECT_EQ(l->GetTabWidth(), 40);
  ASSERT_EQ(c->Items()->GetCount(), 3);
  EXPECT_EQ(c->GetStyle(), csDropDownList);
  EXPECT_EQ(c->GetDropDownCount(), 12);
  EXPECT_EQ(c->GetItemIndex(), 2);
  dst.Form->Show();  // the windows made from what was read
  EXPECT_EQ(l->GetItemIndex(), 1);
  EXPECT_EQ(c->GetItemIndex(), 2);
  EXPECT_EQ(m->GetAlignment(), paRight);
  EXPECT_FALSE(m->GetAutoPopup());
  EXPECT_TRUE(b->GetSimplePanel());
  EXPECT_EQ(b->GetSimpleText(), L"Ready");
  EXPECT_FALSE(b->GetSizeGrip());
}

TEST(ComponentStreaming, AnImageListStoresItsSizeKindAndImages) {
  Designed src(L"frmImagesSource"), dst(L"frmImagesCopy");
  auto* list = new TImageList(src.Form.get());
  list->SetName(L"imlLarge");
  list->SetSize(32, 32);
  list->SetBkColor(clWhite);
  for (TColor c : {clRed, clBlue}) {
    TBitmap b;
    b.SetSize(32, 32);
    b.Canvas()->Brush()->SetColor(c);
    b.Canvas()->FillRect(TRect{0, 0, 32, 32});
    list->AddMasked(&b, clFuchsia);
  }
  auto* plain = new TImageList(src.Form.get());
  plain->SetName(L"imlPlain");
  CopyForm(src.Form.get(), dst.Form.get());
  auto* l = Named<TImageList>(dst.Form.get(), L"imlLarge");
  auto* p = Named<TImageList>(dst.Form.get(), L"imlPlain");
  ASSERT_TRUE(l && p);
  EXPECT_EQ(l->GetWidth(), 32);
  EXPECT_EQ(l->GetHeight(), 32);
  EXPECT_EQ(l->GetBkColor(), clWhite);
  ASSERT_EQ(l->GetCount(), 2);
  TBitmap second;
  l->GetBitmap(1, &second);
  EXPECT_EQ(second.GetWidth(), 32);
  EXPECT_EQ(ColorToRef(second.Canvas()->GetPixel(16, 16)), ColorToRef(clBlue));
  EXPECT_EQ(p->GetWidth(), 16);
  EXPECT_EQ(p->GetCount(), 0);
}

TEST(ComponentStreaming, AListViewStoresItsColumnsLookAndImages) {
  Designed src(L"frmListViewSource"), dst(L"frmListViewCopy");
  auto* images = new TImageList(src.Form.get());
  images->SetName(L"imlSmall");
  (new TImageList(dst.Form.get()))->SetName(L"imlSmall");
  auto* lv = src.Make<TListView>(L"lvValues", src.Form.get());
  const wchar_t* captions[] = {L"Name", L"Type", L"Data"};
  for (int i = 0; i < 3; ++i) {
    TListColumn* c = lv->Columns()->Add();
    c->SetCaption(captions[i]);
    c->SetWidth(80 + 10 * i);
  }
  lv->Columns()->GetItem(1)->SetAlignment(taRightJustify);
  lv->Columns()->GetItem(2)->SetAutoSize(true);
  lv->SetViewStyle(vsReport);
  lv->SetMultiSelect(true);
  lv->SetRowSelect(true);
  lv->SetReadOnly(true);
  lv->SetHideSelection(false);
  lv->SetColumnClick(false);
  lv->SetSmallImages(images);
  // Items in their order, not sorted: caption, image and sub-items (none,
  // or one that is empty).
  const struct {
    const wchar_t* Caption;
    int Image;
    std::vector<String> Subs;
  } items[] = {{L"zeta", 2, {L"REG_SZ", L"text"}}, {L"Gr\u00FC\u00DFe", -1, {}}, {L"", 0, {L"", L"last"}}};
  for (const auto& i : items) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption(i.Caption);
    it->SetImageIndex(i.Image);
    for (const String& t : i.Subs) it->SubItems()->Add(t);
  }
  // An empty list stores no items.
  auto* empty = src.Make<TListView>(L"lvEmpty", src.Form.get());
  TMemoryStream plain;
  TWriter(&plain).WriteRootComponent(empty);
  const std::string bytes(static_cast<const char*>(plain.Memory()), size_t(plain.GetSize()));
  EXPECT_EQ(bytes.find("Items"), std::string::npos);
  CopyForm(src.Form.get(), dst.Form.get());
  auto* l = Named<TListView>(dst.Form.get(), L"lvValues");
  ASSERT_NE(l, nullptr);
  ASSERT_EQ(l->Columns()->GetCount(), 3);
  EXPECT_EQ(l->Columns()->GetItem(0)->GetCaption(), L"Name");
  EXPECT_EQ(l->Columns()->GetItem(1)->GetWidth(), 90);
  EXPECT_EQ(l->Columns()->GetItem(1)->GetAlignment(), taRightJustify);
  EXPECT_TRUE(l->Columns()->GetItem(2)->GetAutoSize());
  EXPECT_EQ(l->GetViewStyle(), vsReport);
  EXPECT_TRUE(l->GetMultiSelect());
  EXPECT_TRUE(l->GetRowSelect());
  EXPECT_TRUE(l->GetReadOnly());
  EXPECT_FALSE(l->GetHideSelection());
  EXPECT_FALSE(l->GetColumnClick());
  EXPECT_EQ(l->GetSmallImages(), dst.Form->FindComponent(L"imlSmall"));
  auto readItems = [&] {
    ASSERT_EQ(l->Items()->GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
      TListItem* it = l->Items()->GetItem(i);
      EXPECT_EQ(it->GetCaption(), items[i].Caption);
      EXPECT_EQ(it->GetImageIndex(), items[i].Image);
      std::vector<String> subs;
      for (int j = 0; j < it->SubItems()->GetCount(); ++j) subs.push_back(it->SubItems()->Get(j));
      EXPECT_EQ(subs, items[i].Subs);
    }
  };
  readItems();
  // Read again over the columns and items it has: they are replaced, not
  // added to.
  CopyForm(src.Form.get(), dst.Form.get());
  EXPECT_EQ(l->Columns()->GetCount(), 3);
  readItems();
}

TEST(ComponentStreaming, AGridStoresItsShapeLinesOptionsAndBorder) {
  Designed src(L"frmGridSource"), dst(L"frmGridCopy");
  auto* g = src.Make<TDrawGrid>(L"grd", src.Form.get());
  g->SetColCount(3);
  g->SetRowCount(40);
  g->SetFixedCols(0);
  g->SetDefaultColWidth(120);
  g->SetDefaultRowHeight(18);
  g->SetGridLineWidth(0);
  g->SetOptions({goRowSelect, goThumbTracking});
  g->SetScrollBars(ssVertical);
  g->SetBorderStyle(bsNone);
  CopyForm(src.Form.get(), dst.Form.get());
  auto* r = Named<TDrawGrid>(dst.Form.get(), L"grd");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetColCount(), 3);
  EXPECT_EQ(r->GetRowCount(), 40);
  EXPECT_EQ(r->GetFixedCols(), 0);
  EXPECT_EQ(r->GetFixedRows(), 1);
  EXPECT_EQ(r->GetDefaultColWidth(), 120);
  EXPECT_EQ(r->GetDefaultRowHeight(), 18);
  EXPECT_EQ(r->GetGridLineWidth(), 0);
  EXPECT_EQ(r->GetOptions(), (TGridOptions{goRowSelect, goThumbTracking}));
  EXPECT_EQ(r->GetScrollBars(), ssVertical);
  EXPECT_EQ(r->GetBorderStyle(), bsNone);
}
