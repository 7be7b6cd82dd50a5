// Every class a reader can make while the program's modules are up, walked
// through the form stream: a new one on a form writes none of its
// properties, and each property it declares, changed, is written, read back
// into a new form and written again the same; events are set to a handler
// the form offers, references to a component of the form. A component that
// declares a property its reader drops, writes a default, or hides one of
// its properties behind another declaration of the name, fails here; a
// property never declared at all is for each class's published list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ThemeManager/ThemeMgr.h"
#include "app/IORegistry.h"
#include "app/ListViewQ.h"
#include "app/ModuleTable.h"
#include "app/PlacesDialogs.h"
#include "app/RegStore.h"
#include "classlib/Actions.h"
#include "classlib/ComCtrls.h"
#include "classlib/Controls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"
#include "classlib/ModuleInit.h"
#include "classlib/StdCtrls.h"
#include "classlib/Thread.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExComboEdit.h"
#include "extlib/ExDateEdit.h"
#include "extlib/ExFileEdit.h"
#include "extlib/ExFormStorage.h"
#include "extlib/ExHook.h"
#include "extlib/ExProps.h"
#include "statusbar/OdStatusBar.h"
#include "toolbars/BarBackground.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarItems.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinItems.h"
#include "toolbars/skin/SkinLists.h"
#include "treecontrol/TreeEx.h"
#include "unicode/WideStrings.h"
#include "valueedit/BinHexEdit.h"
#include "valueedit/HexEditorCore.h"

// ---------------------------------------------------------------------------
// The class names registered, in the order registered. The class library
// keeps its table to itself; this program is linked with its registration
// functions wrapped (app/AppUi.cmake), so every registration passes here.

namespace {
std::vector<String>& Registered() {
  static std::vector<String> names;
  return names;
}
void NoteRegistered(const String& Name) {
  auto& names = Registered();
  if (std::find(names.begin(), names.end(), Name) == names.end()) names.push_back(Name);
}
}  // namespace

#define REGISTER_COMPONENT_CLASS _Z22RegisterComponentClassRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEESt8functionIFP10TComponentS9_EE
#define REGISTER_CLASSES _Z15RegisterClassesSt16initializer_listI19TComponentClassInfoE
#define REGISTER_COMPONENTS \
  _Z18RegisterComponentsRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEESt16initializer_listI19TComponentClassInfoE
#define WRAP_(Name) __wrap_##Name
#define WRAP(Name) WRAP_(Name)
#define REAL_(Name) __real_##Name
#define REAL(Name) REAL_(Name)

extern "C" {
void REAL(REGISTER_COMPONENT_CLASS)(const String& ClassName, TComponentFactory Factory);
void REAL(REGISTER_CLASSES)(std::initializer_list<TComponentClassInfo> Classes);
void REAL(REGISTER_COMPONENTS)(const String& Page, std::initializer_list<TComponentClassInfo> Classes);

void WRAP(REGISTER_COMPONENT_CLASS)(const String& ClassName, TComponentFactory Factory) {
  NoteRegistered(ClassName);
  REAL(REGISTER_COMPONENT_CLASS)(ClassName, std::move(Factory));
}
void WRAP(REGISTER_CLASSES)(std::initializer_list<TComponentClassInfo> Classes) {
  for (const auto& c : Classes) NoteRegistered(c.Name);
  REAL(REGISTER_CLASSES)(Classes);
}
void WRAP(REGISTER_COMPONENTS)(const String& Page, std::initializer_list<TComponentClassInfo> Classes) {
  for (const auto& c : Classes) NoteRegistered(c.Name);
  REAL(REGISTER_COMPONENTS)(Page, Classes);
}
}

namespace {

std::string Narrow(const String& S) { return WideToUtf8(S); }

// ---------------------------------------------------------------------------
// Faults known today, each "Class.Property" (".defaults": a new one writes
// a property; ".*": every property of the class) with what happens. An
// entry that passes fails the test: take it out as its fault is mended.
const std::map<std::string, const char*> kExpectedFailures = {
};

bool Expected(const std::string& Key) {
  return kExpectedFailures.count(Key) ||
         (Key.find('.') != std::string::npos && Key.substr(Key.find('.') + 1) != "defaults" &&
          kExpectedFailures.count(Key.substr(0, Key.find('.')) + ".*"));
}

// Properties a new component writes by rule ("*." for every class), with
// the reason.
const std::map<std::string, const char*> kAlwaysStored = {
    {"*.TabOrder", "a control's place among its parent's windowed controls: a new one has none"},
    {"*.SavedAtRunTime", "a dockable window written by the running program says so"},
    {"*.ClientAreaWidth", "a tool window's client size is its own"},
    {"*.ClientAreaHeight", "a tool window's client size is its own"},
    {"TPlacesOpenDialog.ShowPlacesBar", "stored with the form whatever its value"},
    {"TPlacesSaveDialog.ShowPlacesBar", "stored with the form whatever its value"},
    {"TSkinSwitcher.Theme", "a text without default, stored while not empty: the current theme is never empty"},
};

// Properties whose value cannot change on a walk's form, with the reason.
const std::map<std::string, const char*> kUnchangeable = {
    {"TSkinSwitcher.Theme", "\"Default\" is the only theme registered"},
    {"*.ItemIndex", "a list without lines selects none"},
    {"TListView.Columns", "a list of column records; its round trip is ComponentStreaming's"},
    {"TListViewQ.Columns", "as TListView.Columns"},
    {"TListView.Items", "a list of item records; its round trip is ComponentStreaming's"},
    {"TListViewQ.Items", "as TListView.Items"},
    {"TExtCheckListBox.CheckedIndex", "a list without items checks none"},
    {"TExtCheckListBox.InternalVersion", "the version of the stored layout, set by the control"},
    {"TExtCheckListBox.Strings", "a list of text and state pairs: empty, its kind is not known"},
    {"TExtSpeedButton.Down", "a button outside a group (GroupIndex 0) does not stay down"},
    {"TExtTimerSpeedButton.Down", "a button outside a group (GroupIndex 0) does not stay down"},
    {"TExtLabel.Width", "an auto-sized label is as large as its caption"},
    {"TExtLabel.Height", "an auto-sized label is as large as its caption"},
    {"TBarToolbar.Width", "sized by its items"},
    {"TBarToolbar.Height", "sized by its items"},
    {"TSkinToolbar.Width", "sized by its items"},
    {"TSkinToolbar.Height", "sized by its items"},
    {"TBarToolbar.SavedAtRunTime", "set by the toolbar whenever it is written"},
    {"TSkinToolbar.SavedAtRunTime", "set by the toolbar whenever it is written"},
    {"TBarToolWindow.SavedAtRunTime", "set by the window whenever it is written"},
    {"TSkinToolWindow.SavedAtRunTime", "set by the window whenever it is written"},
    {"TOdStatusBar.UseMonitorDLL", "the keyboard monitor library is not there to load"},
    {"TSecretPanel.Active", "runs only with lines to show"},
    {"TExtCalendar.CalendarDate", "stored only while UseCurrentDate is off; the walk changes one at a time"},
    {"TComboEdit.NumGlyphs", "the built-in button glyph keeps its own count"},
    {"TDateEdit.NumGlyphs", "the built-in button glyph keeps its own count"},
    {"TDirectoryEdit.NumGlyphs", "the built-in button glyph keeps its own count"},
    {"TFilenameEdit.NumGlyphs", "the built-in button glyph keeps its own count"},
    {"TDateEdit.Text", "only a date is taken"},
    {"TFilenameEdit.FileName", "never written: older streams' value, read"},
    {"TExtCalendar.Day", "never written: older streams' value, read"},
    {"TExtCalendar.Month", "never written: older streams' value, read"},
    {"TExtCalendar.Year", "never written: older streams' value, read"},
    {"TFormStorage.StoredProps", "each line names a property of a component of the form; the walk's names none"},
};

// Names a class declares again on purpose, standing for another value than
// its base's declaration: the base's value of the name is not stored, with
// the reason.
const std::map<std::string, const char*> kOverrides = {
    {"TSkinLabelItem.Caption", "the label's caption stands for the item's, which a label does not show"},
    {"TOdStatusBar.OnDrawPanel", "the bar's drawing event, with its own panel, stands for the base's"},
    {"THexEditor.ColCount", "the grid's shape follows the data, layout and font: never stored"},
    {"THexEditor.RowCount", "as THexEditor.ColCount"},
    {"THexEditor.FixedCols", "as THexEditor.ColCount"},
    {"THexEditor.FixedRows", "as THexEditor.ColCount"},
    {"THexEditor.DefaultColWidth", "as THexEditor.ColCount"},
    {"THexEditor.DefaultRowHeight", "as THexEditor.ColCount"},
};

bool Listed(const std::map<std::string, const char*>& List, const std::string& Class, const std::string& Name) {
  return List.count(Class + "." + Name) || List.count("*." + Name);
}

// ---------------------------------------------------------------------------
// A handler of each kind of event the libraries publish, offered by every
// form of the walk under "Handler<n>".

template <class E>
struct THandlerOf;
template <class R, class... A>
struct THandlerOf<TEvent<R(A...)>> {
  static TEvent<R(A...)> Make() {
    return TEvent<R(A...)>([](A...) -> R { return R(); });
  }
};

int EventKinds = 0;  // offered by each form

template <class... E>
void OfferKinds(TComponent* Root) {
  int n = 0;
  ((Root->RegisterMethod(L"Handler" + std::to_wstring(++n), THandlerOf<E>::Make())), ...);
  EventKinds = n;
}

void OfferHandlers(TComponent* Root) {
  OfferKinds<TNotifyEvent, TAllowSubclassingEvent, TProgressEvent, TActionEvent, THintEvent, TDrawPanelEvent,
             TLVChangeEvent, TLVColumnClickEvent, TLVCompareEvent, TLVDeletedEvent, TLVEditedEvent,
             TLVEditingEvent, TLVSelectItemEvent, TTabChangingEvent, TCanResizeEvent, TContextPopupEvent,
             TDragDropEvent, TDragOverEvent, TEndDragEvent, TKeyEvent, TKeyPressEvent, TMouseEvent, TMouseMoveEvent,
             TMouseWheelEvent, TMouseWheelUpDownEvent, TStartDockEvent, TStartDragEvent, TWndMethod,
             TCanResizeSplitterEvent, TCloseEvent,
             TCloseQueryEvent, TExceptionEvent, THelpEvent, TIdleEvent, TMessageEvent, TShowHintEvent, TWindowHook,
             TDrawCellEvent, TSelectCellEvent, TDrawItemEvent, TThreadMethod, TWndMethodEvent, TChangeStateEvent,
             TGetItemWidthEvent, TMeasureItemEvent, TCloseUpEvent, TExecDateDialog, TExecOpenDialogEvent,
             TStoredValueEvent, THookMessageEvent, TEraseSectEvent, TReadStrEvent, TWriteStrEvent,
             TEvent<void(TObject*, TCanvas*, TRect)>,  // a secret panel's drawing
             TOdDrawPanelEvent, TOdPanelHintTextEvent, TBarCloseQueryEvent, TBarDockChangingEvent,
             TBarInsertRemoveEvent, TBarRequestDockEvent, TBarAcceptTextEvent, TBarItemChangedProc, TBarPopupEvent,
             TBarMRUListClickEvent, TShortCutEvent, TSEChangeEvent, TSEStepEvent, TSETextToValueEvent,
             TSEValueToTextEvent, TSkinEditChange, TAdjustFontEvent, TDrawImageEvent, TSBAutoScrollEvent,
             TSkinLAdjustImageIndex, TSkinLMeasureHeight, TSkinLMeasureWidth, TSkinLPaintEvent, TLevelErrorEvent,
             TTVBeforeItemPaintEvent, TTVChangedEvent, TTVChangingEvent, TTVCheckedEvent, TTVCheckingEvent,
             TTVCollapsingEvent, TTVCreateNodeEvent, TTVEditedEvent, TTVEditingEvent, TTVExpandedEvent,
             TTVExpandingEvent, TTVHelpContextEvent, TTVHintEvent, TTVSingleExpandingEvent,
             TConfirmConversionEvent, THexProgressEvent, TEvent<void(TObject*, bool&)>,
             TEvent<void(TRegStore*, const String&)>, TBarSelectEvent, TBarBeginEditEvent, TSkinCAdjustImageIndex,
             TSEConvertEvent, TTVCompareEvent, TTVAfterItemPaintEvent, TTVPopupEvent, TControlMessageEvent>(Root);
}

// ---------------------------------------------------------------------------
// The forms of the walk: each offers the handlers, holds an item container
// for items (which stand in a parent of their own), and a component of each
// kind that references name.

class TWalkForm : public TForm {
 public:
  explicit TWalkForm(const wchar_t* Name) : TForm(Application) {
    SetName(Name);
    OfferHandlers(this);
    Box = new TBarItemContainer(this);
    Box->SetName(L"Box");
    // A control before the walked one: a tab order can change.
    auto* before = new TPanel(this);
    before->SetName(L"Before");
    before->SetParent(this);
    auto add = [this](TComponent* C, const wchar_t* Name) {
      C->SetName(Name);
      if (auto* control = dynamic_cast<TControl*>(C)) control->SetParent(this);
      return C;
    };
    add(new TPopupMenu(this), L"RefPopup");
    add(new TImageList(this), L"RefImages");
    add(new TBarImageList(this), L"RefBarImages");
    add(new TAction(this), L"RefAction");
    add(new TBarMRUList(this), L"RefMRU");
    add(new TBarBackground(this), L"RefBackground");
    add(new TBarDock(this), L"RefDock");
    add(new TLabel(this), L"RefLabel");
    add(new TListView(this), L"RefListView");
    auto* item = new TBarItem(this);
    item->SetName(L"RefItem");
    Box->Items()->Add(item);
  }
  // The names a reference of the walk may give.
  static constexpr const wchar_t* kTargets[] = {L"Before",       L"RefPopup", L"RefImages",     L"RefBarImages",
                                                L"RefAction",    L"RefMRU",   L"RefBackground", L"RefDock",
                                                L"RefLabel",     L"RefListView", L"RefItem",   L"Box"};
  const char* ClassName() const override { return "TWalkForm"; }
  TBarItemContainer* Box;
};

// Places a new Component of the walk on Form, where a reader would put it.
// False when it has no place on a form.
bool Place(TWalkForm* Form, TComponent* Component) {
  if (auto* control = dynamic_cast<TControl*>(Component)) {
    if (dynamic_cast<TCustomForm*>(Component)) return false;
    control->SetParent(Form);
  } else if (Component->HasParent()) {
    Component->SetParentComponent(Form->Box);
    if (!Component->GetParentComponent()) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// A stream taken apart: each component with its stored properties and its
// bytes (its properties and children).

struct TStoredComponent {
  String Name;
  size_t PropertiesEnd = 0;  // where the end of its property list is
  std::vector<std::pair<String, std::string>> Properties;
  std::string Bytes;
};

class TStreamParts {
 public:
  explicit TStreamParts(TMemoryStream& S) : bytes_(static_cast<const char*>(S.Memory()), S.GetSize()) {
    S.SetPosition(4);
    TReader r(&S);
    Component(S, r);
  }
  const TStoredComponent* Find(const String& Name) const {
    for (const auto& c : parts_)
      if (c.Name == Name) return &c;
    return nullptr;
  }

 private:
  static String Str(TReader& R) {
    uint8_t n = 0;
    R.Read(&n, 1);
    std::string s(n, '\0');
    if (n) R.Read(s.data(), n);
    return String(s.begin(), s.end());
  }
  void Component(TMemoryStream& S, TReader& R) {
    const int64_t start = S.GetPosition();
    const uint8_t first = static_cast<uint8_t>(R.NextValue());
    if ((first & 0xF0) == 0xF0) {
      R.ReadValue();
      if (TFilerFlags::FromBits(first & 0x0F).Contains(ffChildPos)) R.ReadInteger();
    }
    Str(R);
    TStoredComponent c;
    c.Name = Str(R);
    for (;;) {
      c.PropertiesEnd = static_cast<size_t>(S.GetPosition());
      const String name = Str(R);
      if (name.empty()) break;
      const int64_t at = S.GetPosition();
      R.SkipValue();
      c.Properties.emplace_back(name, bytes_.substr(at, S.GetPosition() - at));
    }
    const size_t index = parts_.size();
    parts_.push_back(c);
    while (R.NextValue() != vaNull) Component(S, R);
    R.ReadValue();
    parts_[index].Bytes = bytes_.substr(start, S.GetPosition() - start);
  }
  std::string bytes_;
  std::vector<TStoredComponent> parts_;
};

// ---------------------------------------------------------------------------
// Filers that hand one property's value out or in, outside a form stream:
// the value its writer writes now (stored or not), or a value given to its
// reader, with the walk's form as their root (events are named by it).

std::string Bytes(TMemoryStream& M) { return std::string(static_cast<const char*>(M.Memory()), M.GetSize()); }

// DefineProperties is protected: a derived class may name it.
struct TDeclare : TComponent {
  static void To(TComponent* C, TFiler* F) {
    C->Updating();
    try {
      (C->*(&TDeclare::DefineProperties))(F);
    } catch (...) {
      C->Updated();
      throw;
    }
    C->Updated();
  }
};

// Names seen once each, in the order of their first declaration.
struct TFirstNames {
  bool First(const String& Name) {
    for (const String& n : seen)
      if (SameText(n, Name)) return false;
    seen.push_back(Name);
    return true;
  }
  std::vector<String> seen;
};

String What(const std::function<void()>& Run) {
  try {
    Run();
  } catch (const Exception& e) {
    return e.Message().empty() ? String(L"raises") : e.Message();
  } catch (const std::exception& e) {
    return Utf8ToWide(e.what());
  }
  return String();
}

// Every name declared, in order, whether it is binary data, and whether
// its last declaration (the one written and read: a class declares after
// its base), without a writer, hides an earlier one with a writer (the
// value is then never written).
struct TDeclared {
  String Name;
  bool Binary;
  bool Writes = true;     // its last declaration has a writer
  bool AnyWrites = true;  // some declaration of it has one
  bool HidesWriter = false;
  int Again = 0;  // further declarations of the name
  TDeclaredKind Kind = TDeclaredKind::Other;  // as its last declaration tells
};
class TDeclaredNames : public TNameRecorder {
 public:
  explicit TDeclaredNames(TComponent* Root) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc& WriteData, bool) override {
    if (names_.First(Name)) {
      Declared.push_back({Name, false, static_cast<bool>(WriteData), static_cast<bool>(WriteData)});
      Declared.back().Kind = TDeclaringKind::Current();
      return;
    }
    for (TDeclared& d : Declared)
      if (SameText(d.Name, Name)) {
        ++d.Again;
        d.Kind = TDeclaringKind::Current();
        d.Writes = static_cast<bool>(WriteData);
        d.AnyWrites = d.AnyWrites || d.Writes;
        d.HidesWriter = !d.Writes && d.AnyWrites;
      }
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc&, bool) override {
    if (names_.First(Name)) Declared.push_back({Name, true});
  }
  std::vector<TDeclared> Declared;

 private:
  TFirstNames names_;
};

// The value Target's writer writes now (that of its declaration number
// Occurrence; the last, the one a form is written with, by default).
class TCapture : public TWriter {
 public:
  TCapture(TComponent* Root, const String& Target, int Occurrence = -1)
      : TWriter(&stream_), target_(Target), skip_(Occurrence) {
    root_ = Root;
  }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc& WriteData, bool) override {
    if (!SameText(Name, target_)) return;
    if (skip_ >= 0 && skip_-- != 0) return;
    const size_t from = Bytes(stream_).size();
    Error = String();
    if (WriteData) Error = What([&] { WriteData(this); });
    Value = Bytes(stream_).substr(from);
  }
  // Binary data is not captured.
  void DefineBinaryProperty(const String&, const TStreamProc&, const TStreamProc&, bool) override {}
  std::string Value;
  String Error;

 private:
  TMemoryStream stream_;
  String target_;
  int skip_;
};

std::string Capture(TComponent* Root, TComponent* C, const String& Target, String* Error = nullptr,
                    int Occurrence = -1) {
  TCapture w(Root, Target, Occurrence);
  TDeclare::To(C, &w);
  if (Error) *Error = w.Error;
  return w.Value;
}

// Value handed to the reader of Target's declaration number Occurrence
// (the last one, which a form is read with).
class TFeed : public TReader {
 public:
  TFeed(TComponent* Root, const String& Target, const std::string& Value, int Occurrence)
      : TReader(&stream_), target_(Target), skip_(Occurrence) {
    root_ = Root;
    stream_.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
    stream_.SetPosition(0);
  }
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc&, bool) override {
    if (!SameText(Name, target_) || skip_-- != 0) return;
    if (!ReadData) Error = L"declared without a reader";
    else Error = What([&] { ReadData(this); });
    if (Error.empty() && stream_.GetPosition() != stream_.GetSize()) Error = L"its reader leaves part of the value";
  }
  // Binary data is not fed.
  void DefineBinaryProperty(const String&, const TStreamProc&, const TStreamProc&, bool) override {}
  String Error;

 private:
  TMemoryStream stream_;
  String target_;
  int skip_;
};

String Feed(TComponent* Root, TComponent* C, const String& Target, const std::string& Value, int Occurrence) {
  TFeed r(Root, Target, Value, Occurrence);
  TDeclare::To(C, &r);
  return r.Error;
}

// ---------------------------------------------------------------------------
// Values, as a writer writes them.

template <class F>
std::string Written(F&& Write) {
  TMemoryStream m;
  TWriter w(&m);
  Write(w);
  return Bytes(m);
}
std::string IntValue(int64_t V) {
  return Written([&](TWriter& w) { w.WriteInteger(V); });
}
std::string TextValue(const String& V) {
  return Written([&](TWriter& w) { w.WriteString(V); });
}
std::string IdentValue(const String& V) {
  return Written([&](TWriter& w) { w.WriteIdent(V); });
}
std::string IdentList(const std::vector<String>& V) {
  return Written([&](TWriter& w) {
    w.WriteListBegin();
    for (const String& s : V) w.WriteIdent(s);
    w.WriteListEnd();
  });
}
std::string TextList(const std::vector<String>& V) {
  return Written([&](TWriter& w) {
    w.WriteListBegin();
    for (const String& s : V) w.WriteString(s);
    w.WriteListEnd();
  });
}

// A value taken apart: its kind, and its text, number or list of words.
struct TValue {
  TValueType Type = vaNull;
  int64_t Number = 0;
  String Text;
  std::vector<String> Idents, Texts;
  bool Mixed = false;  // a list of other things
};

TValue Parse(const std::string& V) {
  TValue r;
  if (V.empty()) return r;
  TMemoryStream m;
  m.WriteBuffer(V.data(), static_cast<int64_t>(V.size()));
  m.SetPosition(0);
  TReader R(&m);
  r.Type = R.NextValue();
  try {
    switch (r.Type) {
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64: r.Number = R.ReadInt64(); break;
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String: r.Text = R.ReadString(); break;
      case vaIdent: r.Text = R.ReadIdent(); break;
      case vaList:
        R.ReadListBegin();
        while (!R.EndOfList()) {
          const TValueType t = R.NextValue();
          if (t == vaIdent) r.Idents.push_back(R.ReadIdent());
          else if (t == vaString || t == vaLString || t == vaWString || t == vaUTF8String)
            r.Texts.push_back(R.ReadString());
          else {
            r.Mixed = true;
            R.SkipValue();
          }
        }
        break;
      default: break;
    }
  } catch (const Exception&) {
    r.Mixed = true;
  }
  return r;
}

// The identifiers of the libraries' sources (enumeration and set members
// among them), generated from the sources by the build.
const std::vector<String>& IdentPool() {
  static const std::vector<String> pool = [] {
    std::vector<String> p = {
#include "WalkIdents.inc"
    };
    return p;
  }();
  return pool;
}

String LowerPrefix(const String& S) {
  size_t n = 0;
  while (n < S.size() && S[n] >= L'a' && S[n] <= L'z') ++n;
  return S.substr(0, n);
}

// Changed values to try for a property whose value is V, in order, with
// the reason when there is none.
std::vector<std::string> Changes(const std::string& Written, String& Skip) {
  const TValue v = Parse(Written);
  std::vector<std::string> out;
  // Identifiers of the same kind: those with the same small-letter
  // prefix ("al" of "alClient"), or without one.
  auto idents = [&](const String& Prefix, const std::vector<String>& Not) {
    for (const String& id : IdentPool())
      if (LowerPrefix(id) == Prefix && std::find(Not.begin(), Not.end(), id) == Not.end())
        out.push_back(IdentValue(id));
  };
  switch (v.Type) {
    case vaNull: Skip = L"its writer writes nothing"; break;
    case vaFalse: out.push_back(std::string(1, static_cast<char>(vaTrue))); break;
    case vaTrue: out.push_back(std::string(1, static_cast<char>(vaFalse))); break;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
      for (int64_t n : {v.Number + 1, v.Number - 1, v.Number + 16, int64_t{1}, int64_t{2}, int64_t{0}, int64_t{100}})
        if (n != v.Number) out.push_back(IntValue(n));
      break;
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String:
      for (const String& s : {v.Text + L"x", String(L"Walk"), String(L"1")})
        if (s != v.Text) out.push_back(TextValue(s));
      break;
    case vaIdent:
      if (v.Text.empty()) {
        // An event (its handler's name) or a reference (a component's).
        for (int k = 1; k <= EventKinds; ++k) out.push_back(IdentValue(L"Handler" + std::to_wstring(k)));
      } else {
        idents(LowerPrefix(v.Text), {v.Text});
        if (out.empty()) Skip = L"no other identifier of its kind is known";
      }
      break;
    case vaList:
      if (v.Mixed) {
        Skip = L"a list of values of other kinds";
      } else if (!v.Idents.empty()) {
        // A set: one member less, or one more of its kind.
        for (size_t i = 0; i < v.Idents.size(); ++i) {
          std::vector<String> fewer = v.Idents;
          fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(i));
          out.push_back(IdentList(fewer));
        }
        for (const String& id : IdentPool())
          if (LowerPrefix(id) == LowerPrefix(v.Idents[0]) &&
              std::find(v.Idents.begin(), v.Idents.end(), id) == v.Idents.end()) {
            std::vector<String> more = v.Idents;
            more.push_back(id);
            out.push_back(IdentList(more));
          }
      } else if (!v.Texts.empty()) {
        std::vector<String> more = v.Texts;
        more.push_back(L"Walk");
        out.push_back(TextList(more));
        out.push_back(TextList({}));
      } else {
        // Empty: lines, or a set of no member (members have a prefix).
        out.push_back(TextList({L"Walk"}));
        for (const String& id : IdentPool())
          if (!LowerPrefix(id).empty()) out.push_back(IdentList({id}));
      }
      break;
    case vaDate:
    case vaDouble: {
      double d = 0;
      if (Written.size() != 1 + sizeof d) {
        Skip = L"a value of its kind of another size";
        break;
      }
      std::memcpy(&d, Written.data() + 1, sizeof d);
      for (double n : {d + 1, d - 1, 1.0, 0.5})
        if (n != d) {
          std::string bytes(1, static_cast<char>(v.Type));
          bytes.append(reinterpret_cast<const char*>(&n), sizeof n);
          out.push_back(bytes);
        }
      break;
    }
    case vaNil: Skip = L"a reference"; break;
    case vaCollection: Skip = L"a collection"; break;
    case vaBinary: Skip = L"binary data"; break;
    default: Skip = L"a value of kind " + std::to_wstring(static_cast<int>(v.Type)); break;
  }
  return out;
}

std::string Show(const std::string& V) {
  const TValue v = Parse(V);
  switch (v.Type) {
    case vaFalse: return "False";
    case vaTrue: return "True";
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: return std::to_string(v.Number);
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String: return "'" + Narrow(v.Text) + "'";
    case vaIdent: return v.Text.empty() ? std::string("(none)") : Narrow(v.Text);
    case vaDate:
    case vaDouble:
      if (V.size() == 9) {
        double d = 0;
        std::memcpy(&d, V.data() + 1, sizeof d);
        return std::to_string(d);
      }
      return "<a number>";
    case vaList: {
      std::string s = "[";
      for (const String& i : v.Idents) s += (s.size() > 1 ? "," : "") + Narrow(i);
      for (const String& i : v.Texts) s += (s.size() > 1 ? "," : "") + ("'" + Narrow(i) + "'");
      return s + "]";
    }
    default: return "<kind " + std::to_string(static_cast<int>(v.Type)) + ">";
  }
}

// ---------------------------------------------------------------------------
// The walk of one class.

struct TClassWalk {
  int Declared = 0;
  int ReadBack = 0;
  std::vector<std::string> Skipped;               // "Name (reason)"
  std::map<std::string, std::string> Failures;    // "Class.Name" -> what happens
  bool Placed = true;
};

std::unique_ptr<TWalkForm> NewForm(const wchar_t* Name) { return std::make_unique<TWalkForm>(Name); }

TComponent* NewOn(TWalkForm* Form, const String& ClassName) {
  TComponent* c = FindClass(ClassName)(Form);
  c->SetName(L"Walked");
  if (!Place(Form, c)) {
    delete c;
    return nullptr;
  }
  return c;
}

// A bound of a control that its alignment sets: its parent places it.
bool PlacedByAlignment(TComponent* C, const std::string& Name) {
  auto* control = dynamic_cast<TControl*>(C);
  if (!control || control->GetAlign() == alNone) return false;
  return Name == "Left" || Name == "Top" || Name == "Width" || Name == "Height";
}

TMemoryStream& Write(TComponent* Root, TMemoryStream& S) {
  S.SetSize(0);
  TWriter(&S).WriteRootComponent(Root);
  S.SetPosition(0);
  return S;
}

std::string ShowProperties(const TStoredComponent* C) {
  std::string s;
  for (const auto& [n, v] : C->Properties) s += " " + Narrow(n) + "=" + Show(v);
  return s;
}

// First is a form's stream in which Walked's property Name holds Changed:
// it is written so, and read into a new form it is written the same again.
// What goes wrong, or nothing.
std::string RoundTrip(TMemoryStream& First, const String& Name, const std::string& Changed) {
  const std::string what = "changed to " + Show(Changed);
  const TStreamParts firstParts(First);
  const TStoredComponent* one = firstParts.Find(L"Walked");
  if (!one) return what + ", the component is not written";
  auto stored = std::find_if(one->Properties.begin(), one->Properties.end(),
                             [&](const auto& p) { return SameText(p.first, Name); });
  if (stored == one->Properties.end()) return what + ", it is not written";
  if (stored->second != Changed) return what + ", it is written as " + Show(stored->second);
  auto b = NewForm(L"WalkB");
  try {
    First.SetPosition(0);
    TReader(&First).ReadRootComponent(b.get());
  } catch (const Exception& e) {
    return what + ", its form does not read back: " + Narrow(e.Message());
  }
  TMemoryStream second;
  Write(b.get(), second);
  const TStreamParts secondParts(second);
  const TStoredComponent* two = secondParts.Find(L"Walked");
  if (!two) return what + ", read back it is not written";
  if (two->Bytes != one->Bytes)
    return what + ", written" + ShowProperties(one) + "; read back, written" + ShowProperties(two);
  return std::string();
}

// A reference changed to name one of the walk form's components: the
// stream of a new one with the name put in is read into a new form, whose
// stream then reads back. The name taken, or empty when none is.
std::string ChangeReference(const String& ClassName, const String& Name, std::string& Failure) {
  for (const wchar_t* target : TWalkForm::kTargets) {
    auto a = NewForm(L"WalkA");
    NewOn(a.get(), ClassName);
    TMemoryStream plain;
    Write(a.get(), plain);
    const TStreamParts parts(plain);
    const TStoredComponent* w = parts.Find(L"Walked");
    if (!w) return std::string();
    const std::string changed = IdentValue(target);
    std::string bytes = Bytes(plain);
    bytes.insert(w->PropertiesEnd, std::string(1, static_cast<char>(Name.size())) + Narrow(Name) + changed);
    TMemoryStream put;
    put.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    auto b = NewForm(L"WalkC");
    try {
      put.SetPosition(0);
      TReader(&put).ReadRootComponent(b.get());
    } catch (const Exception&) {
      continue;
    }
    a.reset();
    TMemoryStream first;
    Write(b.get(), first);
    const TStreamParts firstParts(first);
    const TStoredComponent* one = firstParts.Find(L"Walked");
    if (!one || std::none_of(one->Properties.begin(), one->Properties.end(), [&](const auto& p) {
          return SameText(p.first, Name) && p.second == changed;
        }))
      continue;
    Failure = RoundTrip(first, Name, changed);
    return changed;
  }
  return std::string();
}

TClassWalk WalkClass(const String& ClassName) {
  TClassWalk r;
  const std::string cls = Narrow(ClassName);
  auto fail = [&](const std::string& Key, const std::string& What) { r.Failures[cls + "." + Key] = What; };

  // A new one writes nothing.
  std::vector<TDeclared> declared;
  bool alignedBounds = false;
  {
    auto form = NewForm(L"WalkA");
    TComponent* c = NewOn(form.get(), ClassName);
    if (!c) {
      r.Placed = false;
      return r;
    }
    TDeclaredNames names(form.get());
    TDeclare::To(c, &names);
    declared = names.Declared;
    alignedBounds = PlacedByAlignment(c, "Left");
    TMemoryStream s;
    Write(form.get(), s);
    const TStreamParts parts(s);
    const TStoredComponent* stored = parts.Find(L"Walked");
    if (!stored) {
      fail("defaults", "a new one is not written with its form");
      return r;
    }
    std::string written;
    for (const auto& [name, value] : stored->Properties)
      if (!Listed(kAlwaysStored, cls, Narrow(name)) && !PlacedByAlignment(c, Narrow(name))) written += " " + Narrow(name) + "=" + Show(value);
    if (!written.empty()) fail("defaults", "a new one writes" + written);
  }

  // Each declared property changed reads back.
  r.Declared = static_cast<int>(declared.size());
  for (const auto& d : declared) {
    const std::string prop = Narrow(d.Name);
    if (d.Binary) {
      r.Skipped.push_back(prop + " (binary data)");
      continue;
    }
    if (d.HidesWriter && Listed(kOverrides, cls, prop)) {
      r.Skipped.push_back(prop + " (" + kOverrides.at(cls + "." + prop) + ")");
      continue;
    }
    if (d.HidesWriter) {
      fail(prop, "declared last without a writer, it hides an earlier declaration that writes it: never written");
      continue;
    }
    auto u = kUnchangeable.find(cls + "." + prop);
    if (u == kUnchangeable.end()) u = kUnchangeable.find("*." + prop);
    if (u != kUnchangeable.end()) {
      r.Skipped.push_back(prop + " (" + u->second + ")");
      continue;
    }
    if (alignedBounds && (prop == "Left" || prop == "Top" || prop == "Width" || prop == "Height")) {
      r.Skipped.push_back(prop + " (placed by its alignment)");
      continue;
    }
    auto a = NewForm(L"WalkA");
    TComponent* c = NewOn(a.get(), ClassName);
    String error;
    const std::string before = Capture(a.get(), c, d.Name, &error);
    if (!error.empty()) {
      fail(prop, "its writer raises: " + Narrow(error));
      continue;
    }
    if (Parse(before).Type == vaNil) {
      std::string failure;
      if (ChangeReference(ClassName, d.Name, failure).empty()) {
        r.Skipped.push_back(prop + " (a reference none of the walk's components is taken by)");
      } else if (!failure.empty()) {
        fail(prop, failure);
      } else {
        ++r.ReadBack;
      }
      continue;
    }
    String skip;
    const std::vector<std::string> changes = Changes(before, skip);
    if (changes.empty()) {
      r.Skipped.push_back(prop + " (" + Narrow(skip) + ")");
      continue;
    }
    // The first change its reader takes and its writer then writes.
    std::string changed, firstError;
    bool methodsOnly = true;
    for (const std::string& v : changes) {
      const String fed = Feed(a.get(), c, d.Name, v, d.Again);
      if (!fed.empty()) {
        if (firstError.empty()) firstError = Narrow(fed);
        methodsOnly = methodsOnly && fed.rfind(L"Method ", 0) == 0;
        continue;
      }
      methodsOnly = false;
      if (Capture(a.get(), c, d.Name) == v) {
        changed = v;
        break;
      }
    }
    if (changed.empty()) {
      const TValue was = Parse(before);
      std::string failure;
      if (was.Type == vaIdent && was.Text.empty() && !methodsOnly) {
        if (ChangeReference(ClassName, d.Name, failure).empty())
          r.Skipped.push_back(prop + " (a reference none of the walk's components is taken by)");
        else if (!failure.empty())
          fail(prop, failure);
        else
          ++r.ReadBack;
      } else if (was.Type == vaIdent && was.Text.empty()) {
        fail(prop, "an event of a kind no handler of the walk's forms offers (add its kind to OfferHandlers)");
      } else {
        fail(prop, "no changed value is taken: its reader " +
                       (firstError.empty() ? std::string("takes it, its writer still writes ") + Show(before)
                                           : "raises " + firstError));
      }
      continue;
    }
    // A property storage stores a set as what its declaration tells: told
    // nothing, it takes an empty one for a list of no lines, and reading
    // that back leaves the set as it was.
    auto members = [](const TValue& v) { return v.Type == vaList && !v.Mixed && v.Texts.empty() && !v.Idents.empty(); };
    if ((members(Parse(before)) || members(Parse(changed))) && d.Kind != TDeclaredKind::Set) {
      fail(prop, "a set whose declaration does not tell that it is one");
      continue;
    }
    // An earlier declaration of the name that stands for another value is
    // never written nor read: the last hides it.
    std::string hidden;
    for (int k = 0; k < d.Again && hidden.empty() && !Listed(kOverrides, cls, prop); ++k) {
      const std::string earlier = Capture(a.get(), c, d.Name, nullptr, k);
      if (earlier != changed) hidden = earlier;
    }
    if (!hidden.empty()) {
      fail(prop, "changed to " + Show(changed) + ", an earlier declaration of the name still writes " + Show(hidden) +
                     ": it stands for another value, which is never written nor read");
      continue;
    }
    // Written with its form, read into a new form, written again.
    TMemoryStream first;
    Write(a.get(), first);
    if (const std::string f = RoundTrip(first, d.Name, changed); !f.empty()) {
      fail(prop, f);
      continue;
    }
    ++r.ReadBack;
  }
  return r;
}

class FormStreaming : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeModules(ZembrioModuleTable());
    // What the data module and the form designer's palette register.
    TIORegistry::Register();
    TRegStore::Register();
    ListViewQ::Register();
    PlacesDialogs::Register();
    ThemeMgr::Register();
    BinHexEdit::Register();
  }
  void TearDown() override { FinalizeModules(); }
};

TEST_F(FormStreaming, EveryRegisteredClassWritesNoDefaultAndReadsBackEachChangedProperty) {
  std::vector<String> names;
  for (const String& n : Registered())
    if (GetClass(n)) names.push_back(n);
  // The libraries register each of these; a walk without them walks
  // nothing of theirs.
  for (const wchar_t* n : {L"TEdit", L"TTreeEx", L"THexEditor", L"TOdStatusBar", L"TBarToolbar", L"TRegStore"})
    ASSERT_NE(std::find(names.begin(), names.end(), n), names.end()) << Narrow(n);
  std::sort(names.begin(), names.end());

  std::map<std::string, std::string> failures;
  int classes = 0, declared = 0, readBack = 0;
  for (const String& name : names) {
    TClassWalk w;
    try {
      w = WalkClass(name);
    } catch (const Exception& e) {
      w.Failures[Narrow(name) + ".walk"] = "raises " + Narrow(e.Message());
    }
    if (!w.Placed) {
      std::printf("%-28s not walked: no place for one on a form\n", Narrow(name).c_str());
      continue;
    }
    ++classes;
    declared += w.Declared;
    readBack += w.ReadBack;
    std::string skipped;
    for (const auto& s : w.Skipped) skipped += " " + s;
    std::printf("%-28s %3d declared, %3d read back, %3d failed; skipped:%s\n", Narrow(name).c_str(), w.Declared,
                w.ReadBack, static_cast<int>(w.Failures.size()), skipped.empty() ? " none" : skipped.c_str());
    failures.insert(w.Failures.begin(), w.Failures.end());
  }
  std::printf("%d classes, %d properties declared, %d changed and read back\n", classes, declared, readBack);

  for (const auto& [key, what] : failures)
    if (!Expected(key)) ADD_FAILURE() << key << ": " << what;
  for (const auto& [key, fault] : kExpectedFailures) {
    const std::string cls = key.substr(0, key.find('.')) + ".";
    const bool fails = key.substr(cls.size()) == "*"
                           ? std::any_of(failures.begin(), failures.end(),
                                         [&](const auto& f) { return f.first.rfind(cls, 0) == 0 && Expected(f.first); })
                           : failures.count(key) > 0;
    if (!fails) ADD_FAILURE() << key << " is expected to fail (" << fault << ") and passes: take it out";
  }
}

}  // namespace
