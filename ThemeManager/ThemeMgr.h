// TThemeManager: gives the standard controls of the class library the
// system's visual styles by replacing their window procedures (WindowProc)
// with its own, which paint themed backgrounds, borders, buttons and group
// frames and pass everything else on to the control's own procedure.
//
// The first manager made in the process is the main manager and does all the
// subclassing; later ones are sub-managers that share its options. When the
// main manager goes, the next one takes over (message 0xBCB2 to the
// application window).
#pragma once

#include <memory>
#include <vector>

#include "ThemeManager/ThemeSrv.h"
#include "classlib/Buttons.h"
#include "classlib/Forms.h"

enum TThemeOption {
  toAllowNonClientArea,
  toAllowControls,
  toAllowWebContent,
  toSubclassAnimate,
  toSubclassButtons,
  toSubclassCheckListbox,
  toSubclassDBLookup,
  toSubclassFrame,
  toSubclassGroupBox,
  toSubclassListView,
  toSubclassPanel,
  toSubclassTabSheet,
  toSubclassSpeedButtons,
  toSubclassStatusBar,
  toSubclassTrackBar,
  toSubclassWinControl,
  toResetMouseCapture,
  toSetTransparency,
  toAlternateTabSheetDraw
};
using TThemeOptions = TSet<TThemeOption>;
constexpr uint64_t DefaultThemeOptionBits = 0x3FFF7;
inline TThemeOptions DefaultThemeOptions() { return TThemeOptions::FromBits(DefaultThemeOptionBits); }

// Messages of the manager: the hand-over of the main role, and the question
// a control answers with non-zero to refuse being subclassed.
constexpr UINT WM_MAINMANAGERRELEASED = 0xBCB2;
constexpr UINT CM_DENYSUBCLASSING = 0xB7D0;

// What a themed button shows over its element: the caption, and the glyph
// strip (NumGlyphs cells side by side: up, disabled, down, exclusive) placed
// beside, above or below the caption.
struct TThemedButtonFace {
  String Caption;
  TFont* Font = nullptr;  // null: the DC's font
  bool Enabled = true;
  TBitmap* Glyph = nullptr;
  int NumGlyphs = 1;
  TButtonLayout Layout = blGlyphLeft;
  // Pixels between the button's edge and the glyph; -1 centres glyph and
  // caption together.
  int Margin = -1;
  // Pixels between glyph and caption; -1 shares the free space evenly.
  int Spacing = 4;
  TButtonState State = bsUp;
  bool Flat = false;          // drawn as a tool-bar button
  bool RightToLeft = false;   // glyph left and right swap
};

class TThemeManager;
using TAllowSubclassingEvent = TEvent<void(TThemeManager* Sender, TControl* Control, bool& Allow)>;
using TControlMessageEvent =
    TEvent<void(TThemeManager* Sender, TControl* Control, TMessage& Message, bool& Handled)>;

ZEMBRIO_DECLARE_EXCEPTION(EThemeManagerError, Exception)

// The kinds of control the manager subclasses, one list each.
enum TSubclassKind {
  skPanel, skListView, skTabSheet, skWinControl, skGroupBox, skButton, skSpeedButton, skTrackBar, skAnimate,
  skStatusBar, skCheckListBox, skForm
};
constexpr int SubclassKindCount = 12;


class TThemeManager;

// The controls of one kind that are subclassed, with their previous window
// procedures.
class TWindowProcList {
 public:
  // The class-level entry installed in the controls of this list: it runs
  // the list's procedure of the main manager of the moment.
  using TPreProc = void (*)(TControl* Control, TMessage& Message);
  TWindowProcList(TThemeManager* Manager, TSubclassKind Kind, TPreProc Proc);
  ~TWindowProcList();

  // -1 when the control is not of this kind or is already in; else the index.
  int Add(TControl* Control);
  bool Find(TControl* Control, int& Index);
  bool Contains(TControl* Control) { int i; return Find(Control, i); }
  void Remove(TControl* Control);
  // Drops the entry of a control that is being freed, without touching it:
  // should its window still see messages, they go to its previous procedure.
  void Forget(TControl* Control);
  void Clear();
  int Count() const { return int(entries_.size()); }
  // Calls the control's previous window procedure.
  void DispatchMessage(TControl* Control, TMessage& Message);
  bool Accepts(TControl* Control) const;
  TSubclassKind Kind() const { return kind_; }

 private:
  // What the procedure installed in a control holds on to, so that it needs
  // neither the list nor a manager once it has been let go of.
  struct Link {
    TWndMethod OldProc;
    bool Released = false;
  };
  struct Entry {
    TControl* Control;
    std::shared_ptr<Link> Subclass;
  };
  void Sort();

  TThemeManager* manager_;
  TSubclassKind kind_;
  TPreProc proc_;
  std::vector<Entry> entries_;
  bool sorted_ = true;
  TControl* cacheControl_ = nullptr;
  int cacheIndex_ = -1;
};

class TThemeManager : public TComponent {
 public:
  explicit TThemeManager(TComponent* AOwner);
  ~TThemeManager() override;
  const char* ClassName() const override { return "TThemeManager"; }

  TThemeOptions GetOptions() const { return options_; }
  void SetThemeOptions(TThemeOptions Value);
  TAllowSubclassingEvent OnAllowSubclassing;
  TControlMessageEvent OnControlMessage;
  TNotifyEvent OnThemeChange;

  bool GetIsMainManager() const;
  bool IsMainManager() const { return GetIsMainManager(); }
  static TThemeManager* CurrentThemeManager();
  static int SubclassedCount();

  void UpdateThemes();
  static void BroadcastThemeChange();
  void CollectForms(TCustomForm* Form = nullptr);
  void CollectControls(TWinControl* Parent);
  void FixControls(TCustomForm* Form = nullptr);
  void RemoveChildSubclassing(TWinControl* Parent);
  void ClearLists();
  void RegisterListener(const TControlMessageEvent& Method);
  void UnregisterListener(const TControlMessageEvent& Method);

  virtual void AddRecreationCandidate(TControl* Control);
  void RemoveRecreationCandidate(TControl* Control);
  virtual bool DoAllowSubclassing(TControl* Control);
  virtual bool DoControlMessage(TControl* Control, TMessage& Message);
  virtual void DoOnThemeChange();
  virtual void ForceAsMainManager();
  virtual void HandleControlChange(TControl* Control, bool Inserting);
  virtual bool NeedsBorderPaint(TControl* Control);

  // Inspection (tests, diagnostics): is the control in the list of that kind.
  bool IsSubclassed(TControl* Control, TSubclassKind Kind) const { return lists_[Kind]->Contains(Control); }
  int ListCount(TSubclassKind Kind) const { return lists_[Kind]->Count(); }

  // Themed drawing of a button of the control (state, focus) over R in DC:
  // the element, then the glyph and caption as the control places them.
  void DrawButton(TControl* Control, TThemedButton Button, bool Focused, const TRect& R, HDC DC);
  // The same for a face described in full.
  void DrawButton(const TThemedButtonFace& Face, TThemedButton Button, bool Focused, const TRect& R, HDC DC);
  // The face DrawButton shows for the control in that state.
  static TThemedButtonFace ButtonFaceOf(TControl* Control, TThemedButton Button);
  // The owner-drawn face of a bit button: DrawButton in the state the item
  // and the pointer say.
  void DrawBitBtn(TBitBtn* BitBtn, const DRAWITEMSTRUCT& DrawItemStruct);
  void PerformEraseBackground(TControl* Control, HDC DC);
  void UpdateUIState(TControl* Control, WORD Key);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Options stored with the form where they differ from 0x3FFF7 (or the
  // ancestor's), as the set of option names.
  void DefineProperties(TFiler* Filer) override;

  // The size of one check-box image of the system (measured at start-up).
  static TSize CheckBoxSize();

  // The class-level entries installed as the controls' window procedures:
  // each runs the matching procedure of the main manager.
  static void PreAnimateWindowProc(TControl* Control, TMessage& Message);
  static void PreButtonControlWindowProc(TControl* Control, TMessage& Message);
  static void PreCheckListBoxWindowProc(TControl* Control, TMessage& Message);
  static void PreFormWindowProc(TControl* Control, TMessage& Message);
  static void PreGroupBoxWindowProc(TControl* Control, TMessage& Message);
  static void PreListviewWindowProc(TControl* Control, TMessage& Message);
  static void PrePanelWindowProc(TControl* Control, TMessage& Message);
  static void PreStatusBarWindowProc(TControl* Control, TMessage& Message);
  static void PreSpeedButtonWindowProc(TControl* Control, TMessage& Message);
  static void PreTabSheetWindowProc(TControl* Control, TMessage& Message);
  static void PreTrackBarWindowProc(TControl* Control, TMessage& Message);
  static void PreWinControlWindowProc(TControl* Control, TMessage& Message);

 private:
  int FindListener(const TControlMessageEvent& Method) const;
  friend class TWindowProcList;
  bool MainWindowHook(TMessage& Message);
  TWindowProcList* ListFor(TControl* Control, bool Inserting);
  void MakeMain();  // under the lock

  // Replacement window procedures.
  void FormWindowProc(TControl* Control, TMessage& Message);
  void ListviewWindowProc(TControl* Control, TMessage& Message);
  void StatusBarWindowProc(TControl* Control, TMessage& Message);
  void WinControlWindowProc(TControl* Control, TMessage& Message);
  void ButtonControlWindowProc(TControl* Control, TMessage& Message);
  void GroupBoxWindowProc(TControl* Control, TMessage& Message);
  void PanelWindowProc(TControl* Control, TMessage& Message);
  void TabSheetWindowProc(TControl* Control, TMessage& Message);
  void SpeedButtonWindowProc(TControl* Control, TMessage& Message);
  void TrackBarWindowProc(TControl* Control, TMessage& Message);
  void AnimateWindowProc(TControl* Control, TMessage& Message);
  void CheckListBoxWindowProc(TControl* Control, TMessage& Message);
  // Erases DC under Control: through the parent's own erasing when the
  // parent is double-buffered, else the parent's themed background.
  void EraseThroughParent(TControl* Control, HDC DC, const TThemedElementDetails* Details = nullptr,
                          bool OnlyIfTransparent = false, const TRect* Bounds = nullptr);
  void Pass(TControl* Control, TMessage& Message);
  void PaintGroupBox(TWinControl* Box, HDC DC);
  void PaintPanel(TWinControl* Panel, HDC DC);
  void DrawParentBackground(TControl* Control, HDC DC, const TThemedElementDetails* Details,
                            bool OnlyIfTransparent, const TRect* Bounds = nullptr);

  TThemeOptions options_ = DefaultThemeOptions();
  std::unique_ptr<TWindowProcList> lists_[SubclassKindCount];
  std::vector<TControlMessageEvent> listeners_;
  std::vector<TComponent*> formsWaiting_;  // inserted components, typed later
  std::vector<TControl*> recreation_;
  bool subManager_ = false;
  bool hooked_ = false;
};

namespace ThemeMgr {
// For a form designer: TThemeManager on the component page "XP".
void Register();
}  // namespace ThemeMgr
