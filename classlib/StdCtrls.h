// Standard controls: label, button, check box, radio button, edit, memo,
// combo box, list box and group box. Windows only.
#pragma once

#include "classlib/Controls.h"
#include "classlib/Forms.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

// ---------------------------------------------------------------------------
class TCustomLabel : public TGraphicControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TCustomLabel(TComponent* AOwner);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool v);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TTextLayout GetLayout() const { return layout_; }
  void SetLayout(TTextLayout l);
  bool GetShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  // The control that gets the focus on the label's accelerator key.
  TWinControl* GetFocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c) { focusControl_ = c; }
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& m) override;
  // Sizes the label to its text (with AutoSize).
  void AdjustBounds();

 protected:
  void Paint() override;
  void DoDrawText(TRect& r, UINT flags);
  UINT TextFlags() const;

  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool transparent_ = false;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  const char* ClassName() const override { return "TLabel"; }
  explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

// ---------------------------------------------------------------------------
class TButtonControl : public TWinControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TButtonControl(TComponent* AOwner);
};

class TButton : public TButtonControl {
 public:
  const char* ClassName() const override { return "TButton"; }
  explicit TButton(TComponent* AOwner);
  TModalResult GetModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool GetDefault() const { return default_; }
  void SetDefault(bool v);
  bool GetCancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  void Click() override;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  // Whether Enter presses this button now.
  bool IsActive();

  TModalResult modalResult_ = mrNone;
  bool default_ = false;
  bool cancel_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  bool GetChecked() { return GetState() == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
  TCheckBoxState GetState();
  void SetState(TCheckBoxState s);
  bool GetAllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  TLeftRight GetAlignment() const { return alignment_; }
  void SetAlignment(TLeftRight a);
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  virtual void Toggle();

  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TLeftRight alignment_ = lrRight;
};

class TCheckBox : public TCustomCheckBox {
 public:
  const char* ClassName() const override { return "TCheckBox"; }
  explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

class TRadioButton : public TButtonControl {
 public:
  const char* ClassName() const override { return "TRadioButton"; }
  explicit TRadioButton(TComponent* AOwner);
  bool GetChecked() const { return checked_; }
  void SetChecked(bool v);
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  bool checked_ = false;
};

// ---------------------------------------------------------------------------
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Text"; }

 public:
  explicit TCustomEdit(TComponent* AOwner);
  int GetMaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  bool GetReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  wchar_t GetPasswordChar() const { return passwordChar_; }
  void SetPasswordChar(wchar_t c);
  // Typed text goes through the OEM character set and back (ES_OEMCONVERT):
  // what can't be written in it changes as it would in a file name there.
  bool GetOEMConvert() const { return oemConvert_; }
  void SetOEMConvert(bool v);
  TEditCharCase GetCharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase c);
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle b);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool GetAutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  bool GetHideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  bool GetModified();
  void SetModified(bool v);

  int GetSelStart();
  void SetSelStart(int v);
  int GetSelLength();
  void SetSelLength(int v);
  String GetSelText();
  void SetSelText(const String& s);
  // Entering the edit with AutoSelect selects through this, so a descendant
  // decides when all is selected.
  virtual void SelectAll();
  void ClearSelection();
  void Clear() { SetText(String()); }
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void Undo();
  bool CanUndo();

  TNotifyEvent OnChange;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  void SetTextImpl(const String& s) override;
  void DoEnter() override;
  virtual void Change();
  void AdjustHeight();

  unsigned changeCount_ = 0;  // EN_CHANGE notifications seen

  int maxLength_ = 0;
  bool readOnly_ = false;
  wchar_t passwordChar_ = 0;
  bool oemConvert_ = false;
  TEditCharCase charCase_ = ecNormal;
  TBorderStyle borderStyle_ = bsSingle;
  bool autoSize_ = true;
  bool autoSelect_ = true;
  bool hideSelection_ = true;
  bool modified_ = false;
  int savedSelStart_ = 0, savedSelLength_ = 0;
  bool creating_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TEdit : public TCustomEdit {
 public:
  const char* ClassName() const override { return "TEdit"; }
  explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomMemo;

// The lines of a memo: reads and writes the control's text.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  String Get(int Index) const override;
  int GetCount() const override;
  void Put(int Index, const String& S) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  String GetText() const override;
  void SetText(const String& Value) override;

 private:
  std::vector<String> Split() const;
  void Join(const std::vector<String>& lines);
  TCustomMemo* memo_;
};

class TCustomMemo : public TCustomEdit {
 protected:
  const wchar_t* StoredTextName() const override { return nullptr; }

 public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;
  TStrings* Lines() const { return lines_.get(); }
  TScrollStyle GetScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool GetWantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool GetWantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  std::unique_ptr<TMemoStrings> lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  // A Tab press is being offered to the form (no tabs wanted: it takes it).
  bool askingTab_ = false;
};

class TMemo : public TCustomMemo {
 public:
  const char* ClassName() const override { return "TMemo"; }
  explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};

// ---------------------------------------------------------------------------
// Items of a list box or combo box: kept in a string list and mirrored into
// the window, so they survive a re-created window.
class TWinItemStrings : public TStringList {
 public:
  struct Messages {
    UINT Add, Insert, Delete, Reset, SetData;
  };
  TWinItemStrings(TWinControl* owner, Messages msgs) : owner_(owner), msgs_(msgs) {}
  int Add(const String& S) override;
  int AddObject(const String& S, TObject* AObject) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  void Put(int Index, const String& S) override;
  void Exchange(int Index1, int Index2) override;
  void Move(int CurIndex, int NewIndex) override;
  void Sort() override;
  // Fills the window from the list.
  void Reload();

 private:
  bool Live() const { return owner_->HandleAllocated(); }
  void InsertLive(int index, const String& s);
  TWinControl* owner_;
  Messages msgs_;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum TOwnerDrawStateItem { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit };
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent = TEvent<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;

class TCustomComboBox : public TWinControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Text"; }

 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;
  TStrings* Items() const { return items_.get(); }
  int GetItemIndex();
  void SetItemIndex(int i);
  TComboBoxStyle GetStyle() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  int GetDropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int n);
  bool GetSorted() const { return sorted_; }
  void SetSorted(bool v);
  int GetMaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  bool GetDroppedDown();
  void SetDroppedDown(bool v);
  void Clear();
  void SelectAll();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  virtual void Change();
  void SetBounds(int l, int t, int w, int h) override;

  std::unique_ptr<TWinItemStrings> items_;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  bool sorted_ = false;
  int maxLength_ = 0;
  int itemIndex_ = -1;
  int itemHeight_ = 16;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TComboBox : public TCustomComboBox {
 public:
  const char* ClassName() const override { return "TComboBox"; }
  explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
// Asks the height of an item of a list whose items vary in height.
using TMeasureItemEvent = TEvent<void(TWinControl* Control, int Index, int& Height)>;

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;
  TStrings* Items() const { return items_.get(); }
  int GetItemIndex();
  void SetItemIndex(int i);
  bool GetMultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool GetSelected(int i);
  void SetSelected(int i, bool v);
  int GetSelCount();
  bool GetSorted() const { return sorted_; }
  void SetSorted(bool v);
  TListBoxStyle GetStyle() const { return style_; }
  void SetStyle(TListBoxStyle s);
  int GetItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h);
  // A sunken (or, without Ctl3D, a plain) frame for bsSingle; none for bsNone.
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  // Above 0 the items flow in that many columns side by side, each a share
  // of the client width.
  int GetColumns() const { return columns_; }
  void SetColumns(int Value);
  // With MultiSelect: Shift and Ctrl extend the selection (true), or each
  // click toggles an item (false).
  bool GetExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool Value);
  // The window shows whole items only, shrinking to a multiple of their height.
  bool GetIntegralHeight() const { return integralHeight_; }
  void SetIntegralHeight(bool Value);
  // Above 0 tab characters in items align to stops this many dialog units
  // apart.
  int GetTabWidth() const { return tabWidth_; }
  void SetTabWidth(int Value);
  int GetTopIndex();
  void SetTopIndex(int i);
  int ItemAtPos(TPoint p, bool existing);
  TRect ItemRect(int index);
  void Clear();
  TCanvas* Canvas() const { return canvas_.get(); }

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  virtual void DrawItem(int index, TRect r, TOwnerDrawState state);
  // The height of an item of an lbOwnerDrawVariable list (ItemHeight
  // unless OnMeasureItem says otherwise).
  virtual void MeasureItem(int Index, int& Height);
  void SetColumnWidth();

  std::unique_ptr<TWinItemStrings> items_;
  std::unique_ptr<TCanvas> canvas_;
  bool multiSelect_ = false;
  bool sorted_ = false;
  TListBoxStyle style_ = lbStandard;
  int itemHeight_ = 16;
  int itemIndex_ = -1;
  int topIndex_ = 0;
  TBorderStyle borderStyle_ = bsSingle;
  int columns_ = 0;
  bool extendedSelect_ = true;
  bool integralHeight_ = false;
  int tabWidth_ = 0;
  std::vector<int> savedSelection_;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TListBox : public TCustomListBox {
 public:
  const char* ClassName() const override { return "TListBox"; }
  explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

// ---------------------------------------------------------------------------
class TCustomGroupBox : public TCustomControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TCustomGroupBox(TComponent* AOwner);
  void WndProc(TMessage& m) override;

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& r) override;

 private:
  int textHeight_ = -1;  // of the font, measured once per font change
};

class TGroupBox : public TCustomGroupBox {
 public:
  const char* ClassName() const override { return "TGroupBox"; }
  explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
};

// ---------------------------------------------------------------------------
// A label with a window of its own (the system's static control): it can
// take part in the tab order's accelerators and sit over windowed controls.
// Its WM_CTLCOLORSTATIC arrives at WindowProc as CN_CTLCOLORSTATIC.
enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

class TCustomStaticText : public TWinControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TCustomStaticText(TComponent* AOwner);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TStaticBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TStaticBorderStyle Value);
  bool GetShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool Value);
  // The control that gets the focus when the caption's accelerator is typed.
  TWinControl* GetFocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  TStaticBorderStyle borderStyle_ = sbsNone;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TStaticText : public TCustomStaticText {
 public:
  const char* ClassName() const override { return "TStaticText"; }
  explicit TStaticText(TComponent* AOwner) : TCustomStaticText(AOwner) {}
};
