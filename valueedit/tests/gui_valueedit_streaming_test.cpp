// The hex editor and the integer edit box stored with a form: every
// published property and event is read back into a fresh form, defaults are
// not written, and every published name of the controls is accounted for.
#include <algorithm>
#include <cstring>

#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "valueedit/BinHexEdit.h"
#include "valueedit/HexEditor.h"

using namespace testsupport;

namespace {

// Whether the stream holds the text after the control named "ctl" begins
// (the other components of the form come before it).
bool Holds(TMemoryStream& m, const std::string& text) {
  const char* p = static_cast<const char*>(m.Memory());
  const char* end = p + m.GetSize();
  const std::string ctl = "\x03" "ctl";
  const char* from = std::search(p, end, ctl.begin(), ctl.end());
  if (from == end) from = p;
  return std::search(from, end, text.begin(), text.end()) != end;
}
// The name as the stream writes it: its length, then its characters.
bool Stored(TMemoryStream& m, const String& name) {
  return Holds(m, std::string(1, static_cast<char>(name.size())) + WideToAnsi(name));
}
bool StoredWithPrefix(TMemoryStream& m, const String& prefix) { return Holds(m, WideToAnsi(prefix + L".")); }

// One published property or event, as the test moves and compares it.
template <class C>
struct TCase {
  String Name;
  std::function<void(C&, TComponent* Root)> Vary;
  std::function<void(const String& Control, TComponent* Root)> Offer;
  std::function<bool(C&, C&)> Same;
};

// The control's own table, then the inherited control properties.
template <class C>
std::vector<TCase<C>> Cases(const std::vector<TCase<C>>& Inherited) {
  std::vector<TCase<C>> out;
  for (const auto& e : C::StoredProperties().Entries())
    if (e.Vary) out.push_back({e.Name, e.Vary, e.Offer, e.Same});
  out.insert(out.end(), Inherited.begin(), Inherited.end());
  return out;
}

// A form as its class makes it: a pop-up menu and an edit box before the
// control.
struct TDesigned {
  std::unique_ptr<TForm> Form{new TForm(Application)};
  explicit TDesigned(const wchar_t* Name) {
    Form->SetName(Name);
    auto* pm = new TPopupMenu(Form.get());
    pm->SetName(L"pm");
    auto* other = new TEdit(Form.get());
    other->SetName(L"edtOther");
    other->SetParent(Form.get());
  }
  // The control under test, named "ctl".
  template <class C>
  C* Make() {
    auto* c = new C(Form.get());
    c->SetName(L"ctl");
    c->SetParent(Form.get());
    return c;
  }
  void Write(TMemoryStream& m) { TWriter(&m).WriteRootComponent(Form.get()); }
  // Reads the form written to m into this one; answers its "ctl".
  template <class C>
  C* Read(TMemoryStream& m) {
    m.SetPosition(0);
    TReader(&m).ReadRootComponent(Form.get());
    return dynamic_cast<C*>(Form->FindComponent(L"ctl"));
  }
};

template <class C>
std::vector<TCase<C>> ControlCases(bool Ctl3D) {
  return {
      {L"Align", [](C& c, TComponent*) { c.SetAlign(alBottom); }, {}, [](C& x, C& y) { return x.GetAlign() == y.GetAlign(); }},
      {L"Anchors", [](C& c, TComponent*) { c.SetAnchors(TAnchors{akRight, akBottom}); }, {},
       [](C& x, C& y) { return x.GetAnchors() == y.GetAnchors(); }},
      {L"Enabled", [](C& c, TComponent*) { c.SetEnabled(false); }, {},
       [](C& x, C& y) { return x.GetEnabled() == y.GetEnabled(); }},
      {L"Visible", [](C& c, TComponent*) { c.SetVisible(false); }, {},
       [](C& x, C& y) { return x.GetVisible() == y.GetVisible(); }},
      {L"ShowHint", [](C& c, TComponent*) { c.SetShowHint(true); }, {},
       [](C& x, C& y) { return x.GetShowHint() == y.GetShowHint(); }},
      {L"ParentShowHint", [](C& c, TComponent*) { c.SetParentShowHint(false); }, {},
       [](C& x, C& y) { return x.GetParentShowHint() == y.GetParentShowHint(); }},
      {L"Font",
       [](C& c, TComponent*) {
         c.SetParentFont(false);
         c.Font()->SetName(L"Arial");
         c.Font()->SetHeight(-19);
       },
       {},
       [](C& x, C& y) {
         return x.Font()->GetName() == y.Font()->GetName() && x.Font()->GetHeight() == y.Font()->GetHeight();
       }},
      {L"PopupMenu",
       [](C& c, TComponent* root) { c.SetPopupMenu(dynamic_cast<TPopupMenu*>(root->FindComponent(L"pm"))); }, {},
       [](C& x, C& y) { return x.GetPopupMenu() && y.GetPopupMenu() && x.GetPopupMenu()->GetName() == y.GetPopupMenu()->GetName(); }},
      {L"TabOrder", [](C& c, TComponent*) { c.SetTabOrder(0); }, {},
       [](C& x, C& y) { return x.GetTabOrder() == y.GetTabOrder(); }},
      // Written against a new control, which starts with a tab stop.
      {L"TabStop", [](C& c, TComponent*) { c.SetTabStop(false); }, {},
       [](C& x, C& y) { return x.GetTabStop() == y.GetTabStop(); }},
      {L"Ctl3D", [Ctl3D](C& c, TComponent*) { c.SetCtl3D(!Ctl3D); }, {},
       [](C& x, C& y) { return x.GetCtl3D() == y.GetCtl3D(); }},
      {L"ParentCtl3D", [](C& c, TComponent*) { c.SetParentCtl3D(!c.GetParentCtl3D()); }, {},
       [](C& x, C& y) { return x.GetParentCtl3D() == y.GetParentCtl3D(); }},
      {L"DragCursor", [](C& c, TComponent*) { c.SetDragCursor(crHandPoint); }, {},
       [](C& x, C& y) { return x.GetDragCursor() == y.GetDragCursor(); }},
      {L"DragMode", [](C& c, TComponent*) { c.SetDragMode(dmAutomatic); }, {},
       [](C& x, C& y) { return x.GetDragMode() == y.GetDragMode(); }},
  };
}

// Each case alone: moved away from its default, written, read into a fresh
// form whose reader makes the control by its class name, compared.
template <class C>
void RoundTrip(const std::vector<TCase<C>>& cases) {
  for (const TCase<C>& k : cases) {
    SCOPED_TRACE(WideToAnsi(k.Name));
    TDesigned src(L"frmSource");
    auto* ctl = src.Make<C>();
    k.Vary(*ctl, src.Form.get());
    TMemoryStream m;
    src.Write(m);
    if (!Stored(m, k.Name) && !StoredWithPrefix(m, k.Name)) {
      ADD_FAILURE() << "not stored";
      continue;
    }
    TDesigned dst(L"frmCopy");
    if (k.Offer) k.Offer(L"ctl", dst.Form.get());
    auto* copy = dst.Read<C>(m);
    EXPECT_TRUE(copy && k.Same(*ctl, *copy));
  }
}

// Each published name of the class is one of the cases (a name with parts,
// such as "Colors", by its parts), or one the class library has no member
// for.
template <class C>
void EveryNameHasACase(const std::vector<TCase<C>>& cases, const std::vector<const wchar_t*>& published,
                       const std::vector<const wchar_t*>& readOnly, const std::vector<const wchar_t*>& absent) {
  for (const wchar_t* name : published) {
    const String n = name;
    auto covers = [&](const String& c) { return c == n || c.rfind(n + L".", 0) == 0; };
    const bool found = std::any_of(cases.begin(), cases.end(), [&](const TCase<C>& k) { return covers(k.Name); }) ||
                       std::any_of(readOnly.begin(), readOnly.end(), [&](const wchar_t* r) { return n == r; }) ||
                       std::any_of(absent.begin(), absent.end(), [&](const wchar_t* r) { return n == r; });
    EXPECT_TRUE(found) << WideToAnsi(n) << " is not stored";
  }
}

template <class C>
void DefaultsAreNotWritten() {
  TDesigned src(L"frmDefaults");
  src.Make<C>();
  TMemoryStream m;
  src.Write(m);
  for (const auto& e : C::StoredProperties().Entries())
    EXPECT_FALSE(Stored(m, e.Name)) << WideToAnsi(e.Name);
  // Nor what the constructor sets of the control's own (a font of its
  // own, a tab stop, a colour): the control is written against a new one.
  for (const wchar_t* name : {L"ParentFont", L"Font.Name", L"Font.Height", L"TabStop", L"Color", L"ParentColor"})
    EXPECT_FALSE(Stored(m, name)) << WideToAnsi(name);
}

}  // namespace

// ---- the hex editor ---------------------------------------------------------------------

namespace {
std::vector<TCase<THexEditor>> HexCases() {
  auto inherited = ControlCases<THexEditor>(false);
  using E = THexEditor;
  inherited.push_back({L"BiDiMode", [](E& c, TComponent*) { c.SetBiDiMode(bdRightToLeft); }, {},
                       [](E& x, E& y) { return x.GetBiDiMode() == y.GetBiDiMode(); }});
  inherited.push_back({L"ParentBiDiMode", [](E& c, TComponent*) { c.SetParentBiDiMode(false); }, {},
                       [](E& x, E& y) { return x.GetParentBiDiMode() == y.GetParentBiDiMode(); }});
  inherited.push_back({L"DragKind", [](E& c, TComponent*) { c.SetDragKind(dkDock); }, {},
                       [](E& x, E& y) { return x.GetDragKind() == y.GetDragKind(); }});
  inherited.push_back({L"Constraints", [](E& c, TComponent*) { c.Constraints()->Set(50, 40, 700, 500); }, {},
                       [](E& x, E& y) {
                         auto *a = x.Constraints(), *b = y.Constraints();
                         return a->MinWidth == b->MinWidth && a->MinHeight == b->MinHeight &&
                                a->MaxWidth == b->MaxWidth && a->MaxHeight == b->MaxHeight;
                       }});
  return Cases<THexEditor>(inherited);
}
}  // namespace

TEST(HexEditorStreaming, EveryPublishedPropertyAndEventReadsBack) {
  ValueEditInitialize();
  const auto cases = HexCases();
  EveryNameHasACase(
      cases,
      {L"BytesPerRow", L"BytesPerColumn", L"Translation", L"OffsetFormat", L"CaretKind", L"Colors", L"FocusFrame",
       L"SwapNibbles", L"MaskChar", L"NoSizeChange", L"AllowInsertMode", L"DrawGridLines", L"WantTabs",
       L"ReadOnlyView", L"HideSelection", L"GraySelectionIfNotFocused", L"GutterWidth", L"BookmarkBitmap",
       L"Version", L"MaxUndo", L"InsertMode", L"HexLowerCase", L"DrawGutter3D", L"ShowRuler", L"OnLoadSaveProgress",
       L"OnInvalidKey", L"OnTopLeftChanged", L"OnChange",
       // the colour set
       L"Colors.Background", L"Colors.ChangedBackground", L"Colors.ChangedText", L"Colors.CursorFrame",
       L"Colors.Offset", L"Colors.OddColumn", L"Colors.EvenColumn", L"Colors.CurrentOffsetBackground",
       L"Colors.OffsetBackGround", L"Colors.CurrentOffset", L"Colors.Grid",
       // inherited
       L"Align", L"BorderStyle", L"Ctl3D", L"DragCursor", L"DragMode", L"Enabled", L"Font", L"ParentCtl3D",
       L"ParentShowHint", L"PopupMenu", L"ScrollBars", L"ShowHint", L"TabOrder", L"TabStop", L"Visible", L"Anchors",
       L"BiDiMode", L"Constraints", L"DragKind", L"ParentBiDiMode", L"OnClick", L"OnDblClick", L"OnDragDrop",
       L"OnDragOver", L"OnEndDrag", L"OnStartDrag", L"OnEnter", L"OnExit", L"OnKeyDown", L"OnKeyPress", L"OnKeyUp",
       L"OnMouseDown", L"OnMouseMove", L"OnMouseUp", L"OnMouseWheel", L"OnMouseWheelDown", L"OnMouseWheelUp",
       L"OnStartDock", L"OnEndDock"},
      {L"Version"}, {L"OnMouseWheelDown", L"OnMouseWheelUp"});
  RoundTrip(cases);
}

TEST(HexEditorStreaming, DefaultsAndTheBuiltInIconsAreNotWritten) {
  ValueEditInitialize();
  DefaultsAreNotWritten<THexEditor>();
  // The built-in icons are not written: only a bitmap the host supplied.
  TDesigned src(L"frmIcons");
  auto* ed = src.Make<THexEditor>();
  ed->SetBookmarkBitmap(nullptr);
  EXPECT_FALSE(ed->HasCustomBookmarkBitmap());
  TMemoryStream m;
  src.Write(m);
  EXPECT_FALSE(StoredWithPrefix(m, L"BookmarkBitmap"));
}

TEST(HexEditorStreaming, DependentSettingsReadBackTogether) {
  ValueEditInitialize();
  TDesigned src(L"frmTogether");
  auto* ed = src.Make<THexEditor>();
  // A format counting rows takes its unit from the row width read before
  // it; insert mode needs its permission; the ruler and colours as the
  // value editor sets them.
  ed->SetBytesPerRow(8);
  ed->SetOffsetFormat(L"R%4!A:|h");
  ed->SetInsertMode(true);
  ed->SetShowRuler(true);
  ed->Colors()->SetBackground(clInfoBk);
  ed->SetDrawGridLines(true);
  TMemoryStream m;
  src.Write(m);
  TDesigned dst(L"frmTogetherCopy");
  auto* copy = dst.Read<THexEditor>(m);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetBytesPerRow(), 8);
  EXPECT_EQ(copy->GetAnyOffsetString(16), L"0002h");
  EXPECT_TRUE(copy->GetInsertMode());
  EXPECT_TRUE(copy->GetShowRuler());
  EXPECT_GT(copy->GetRowHeights(0), 0);
  EXPECT_EQ(copy->GetColor(), clInfoBk);
  // Loaded leaves the empty document.
  EXPECT_EQ(copy->GetFileName(), L"Untitled");
  EXPECT_EQ(copy->GetDataSize(), 0);
}

// ---- the integer edit box ---------------------------------------------------------------

namespace {
std::vector<TCase<TBinHexEdit>> BoxCases() {
  auto inherited = ControlCases<TBinHexEdit>(true);
  using B = TBinHexEdit;
  inherited.push_back({L"Color", [](B& c, TComponent*) { c.SetColor(clYellow); }, {},
                       [](B& x, B& y) { return x.GetEnabledColor() == y.GetEnabledColor() && x.GetColor() == y.GetColor(); }});
  inherited.push_back({L"ParentColor", [](B& c, TComponent*) { c.SetParentColor(true); }, {},
                       [](B& x, B& y) { return x.GetParentColor() == y.GetParentColor(); }});
  inherited.push_back({L"ParentFont", [](B& c, TComponent*) { c.SetParentFont(false); c.Font()->SetName(L"Arial"); }, {},
                       [](B& x, B& y) { return x.GetParentFont() == y.GetParentFont(); }});
  return Cases<TBinHexEdit>(inherited);
}
}  // namespace

TEST(BinHexEditStreaming, EveryPublishedPropertyAndEventReadsBack) {
  ValueEditInitialize();
  const auto cases = BoxCases();
  EveryNameHasACase(
      cases,
      {L"Alignment", L"AsBin", L"AsInteger", L"AsHex", L"AutoSelect", L"AutoSize", L"BaseFormat", L"BinLength",
       L"HexLength", L"Color", L"DisabledColor", L"Enabled", L"BorderStyle", L"Ctl3D", L"DragCursor", L"DragMode",
       L"Font", L"HideSelection", L"MaxLength", L"MaxValue", L"MinValue", L"OnChange", L"OnClick", L"OnDblClick",
       L"OnDragDrop", L"OnDragOver", L"OnEndDrag", L"OnEnter", L"OnExit", L"OnInvalidEntry", L"OnKeyDown",
       L"OnKeyPress", L"OnKeyUp", L"OnMouseDown", L"OnMouseMove", L"OnMouseUp", L"OnStartDrag", L"ParentColor",
       L"ParentCtl3D", L"ParentFont", L"ParentShowHint", L"PopupMenu", L"ReadOnly", L"ShowHint", L"TabOrder",
       L"TabStop", L"Version", L"Visible"},
      {L"AsBin", L"AsHex", L"Version"}, {});
  RoundTrip(cases);
}

TEST(BinHexEditStreaming, DefaultsAndTheTextAreNotWritten) {
  ValueEditInitialize();
  DefaultsAreNotWritten<TBinHexEdit>();
  TDesigned src(L"frmBoxText");
  auto* box = src.Make<TBinHexEdit>();
  box->SetAsInteger(77);
  TMemoryStream m;
  src.Write(m);
  // The value once, as a number.
  EXPECT_TRUE(Stored(m, L"AsInteger"));
  for (const wchar_t* n : {L"Text", L"AsBin", L"AsHex", L"Version"}) EXPECT_FALSE(Stored(m, n)) << WideToAnsi(n);
}

TEST(BinHexEditStreaming, ValueBaseRangeAndColoursReadBackTogether) {
  ValueEditInitialize();
  TDesigned src(L"frmBox");
  auto* box = src.Make<TBinHexEdit>();
  // A range wholly below 0: its maximum lies below the minimum a new box
  // starts with, whichever end is read first.
  box->SetMinValue(-100);
  box->SetMaxValue(-10);
  box->SetBaseFormat(Binary);
  box->SetAsInteger(-20);
  box->SetColor(clYellow);
  box->SetDisabledColor(clRed);
  box->SetEnabled(false);  // shows the disabled colour; yellow is kept
  TMemoryStream m;
  src.Write(m);
  TDesigned dst(L"frmBoxCopy");
  auto* copy = dst.Read<TBinHexEdit>(m);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetMinValue(), -100);
  EXPECT_EQ(copy->GetMaxValue(), -10);
  EXPECT_EQ(copy->GetBaseFormat(), Binary);
  EXPECT_EQ(copy->GetAsInteger(), -20);
  EXPECT_EQ(copy->GetText(), box->GetText());
  EXPECT_EQ(copy->GetColor(), clRed);
  copy->SetEnabled(true);
  EXPECT_EQ(copy->GetColor(), clYellow);
}

namespace {
// A box as an older writer stored it: the base, the value as binary or
// hexadecimal text, and the version, in the order given.
class TOlderBox : public TComponent {
 public:
  TOlderBox(TComponent* Owner, const wchar_t* Base, std::vector<std::pair<const wchar_t*, String>> Texts)
      : TComponent(Owner), Base_(Base), Texts_(std::move(Texts)) {}
  const char* ClassName() const override { return "TBinHexEdit"; }

 protected:
  void DefineProperties(TFiler* Filer) override {
    Filer->DefineProperty(L"BaseFormat", nullptr, [this](TWriter* W) { W->WriteIdent(Base_); }, true);
    for (const auto& [Name, Text] : Texts_)
      Filer->DefineProperty(Name, nullptr, [T = Text](TWriter* W) { W->WriteString(T); }, true);
  }

 private:
  String Base_;
  std::vector<std::pair<const wchar_t*, String>> Texts_;
};

// The text of the box read from what an older box wrote.
String ReadOlder(const wchar_t* Base, std::vector<std::pair<const wchar_t*, String>> Texts) {
  TComponent root(nullptr);
  root.SetName(L"frmOld");
  auto* old = new TOlderBox(&root, Base, std::move(Texts));
  old->SetName(L"ctl");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&root);
  TComponent copyRoot(nullptr);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&copyRoot);
  auto* box = dynamic_cast<TBinHexEdit*>(copyRoot.FindComponent(L"ctl"));
  if (!box) return L"(no box)";
  EXPECT_EQ(box->GetVersion(), L"8.00.00.00");
  return box->GetText();
}
}  // namespace

TEST(BinHexEditStreaming, ValuesInOtherNotationsAreRead) {
  ValueEditInitialize();
  EXPECT_EQ(ReadOlder(L"Number", {{L"AsBin", L"101"}, {L"Version", L"1.0"}}), L"5");
  // hexadecimal text, with or without its "$", in any base
  EXPECT_EQ(ReadOlder(L"Number", {{L"AsHex", L"1F"}}), L"31");
  EXPECT_EQ(ReadOlder(L"HexaDecimal", {{L"AsHex", L"$ff"}}), L"$000000FF");
  EXPECT_EQ(ReadOlder(L"Binary", {{L"AsHex", L"$A"}}), L"1010");
  EXPECT_EQ(ReadOlder(L"HexaDecimal", {{L"AsHex", L"FFFFFFFFFFFFFFFF"}}), L"$FFFFFFFFFFFFFFFF");
  // the notation read last wins
  EXPECT_EQ(ReadOlder(L"Number", {{L"AsBin", L"1"}, {L"AsHex", L"$20"}, {L"Version", L"2.0"}}), L"32");
  EXPECT_EQ(ReadOlder(L"Number", {{L"AsHex", L"$20"}, {L"AsBin", L"11"}}), L"3");
}
