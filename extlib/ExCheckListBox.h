// List boxes written over the system "LISTBOX" class: TExtCustomListBox
// keeps its horizontal scroll range equal to its widest item and offers tab
// stops, columns, owner drawing and a grey selection; TExtCheckListBox puts
// a check box, radio button or check mark before every item, with a
// three-valued state and an enabled flag per item that survive the window's
// re-creation and can be stored in an ini file or the registry.
#pragma once

#include <memory>
#include <set>

#include "classlib/Filer.h"
#include "classlib/StdCtrls.h"
#include "extlib/ExPlacementForm.h"

using TMeasureItemEvent = TEvent<void(TWinControl* Control, int Index, int& Height)>;
using TGetItemWidthEvent = TEvent<void(TWinControl* Control, int Index, int& Width)>;
using TChangeStateEvent = TEvent<void(TObject* Sender, int Index)>;
enum TCheckKind { ckCheckBoxes, ckRadioButtons, ckCheckMarks };

class TExtCustomListBox;

// The items of an extended list box: every operation is a message to the
// list box window.
class TExtListBoxStrings : public TStrings {
 public:
  explicit TExtListBoxStrings(TExtCustomListBox* AOwner) : listBox_(AOwner) {}
  TExtCustomListBox* Owner() const { return listBox_; }
  String Get(int Index) const override;
  int GetCount() const override;
  TObject* GetObjects(int Index) const override;
  void SetObjects(int Index, TObject* AObject) override;
  int Add(const String& S) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;

 protected:
  void SetUpdateState(bool Updating) override;
  TExtCustomListBox* listBox_;
};

class TExtCustomListBox : public TWinControl {
 public:
  explicit TExtCustomListBox(TComponent* AOwner);
  ~TExtCustomListBox() override;

  TStrings* Items() const { return items_.get(); }
  virtual void SetItems(TStrings* Value);
  TCanvas* Canvas() const { return canvas_.get(); }
  void Clear() { items_->Clear(); }
  int GetItemIndex();
  void SetItemIndex(int Value);
  int GetTopIndex();
  void SetTopIndex(int Value);
  int GetSelCount();
  // LB_ERR from the window raises the list-index error.
  bool GetSelected(int Index);
  void SetSelected(int Index, bool Value);
  // -1 outside the client area; with Existing false the index after the
  // last item when no item holds the point.
  int ItemAtPos(TPoint Pos, bool Existing);
  TRect ItemRect(int Index);
  void DefaultDrawText(int X, int Y, const String& S);

  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  int GetColumns() const { return columns_; }
  void SetColumns(int Value);
  virtual int GetItemHeight();
  void SetItemHeight(int Value);
  TListBoxStyle GetStyle() const { return style_; }
  void SetStyle(TListBoxStyle Value);
  bool GetIntegralHeight() const { return integralHeight_; }
  void SetIntegralHeight(bool Value);
  void SetBounds(int l, int t, int w, int h) override;
  bool GetMultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool Value);
  bool GetSorted() const { return sorted_; }
  void SetSorted(bool Value);
  bool GetExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool Value);
  int GetTabWidth() const { return tabWidth_; }
  void SetTabWidth(int Value);
  bool GetAutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool Value);
  bool GetGraySelection() const { return graySelection_; }
  void SetGraySelection(bool Value);
  // The horizontal scroll range in pixels.
  int MaxItemWidth() const { return maxWidth_; }

  // Assigning or clearing either event changes how items are measured: the
  // list scrolls to its left edge and its scroll range is measured anew.
  const TDrawItemEvent& GetOnDrawItem() const { return onDrawItem_; }
  void SetOnDrawItem(const TDrawItemEvent& Value);
  TMeasureItemEvent OnMeasureItem;
  const TGetItemWidthEvent& GetOnGetItemWidth() const { return onGetItemWidth_; }
  void SetOnGetItemWidth(const TGetItemWidthEvent& Value);

  void WndProc(TMessage& M) override;
  void DefaultHandler(TMessage& M) override;

 protected:
  friend class TExtListBoxStrings;
  // With DragMode dmAutomatic the list starts its drags itself: a press on
  // an item of a multiple selection drags the whole selection instead of
  // selecting that item alone.
  void WMLButtonDown(TMessage& M);
  // A press that ended without a drop: the list takes it as the click it
  // held back (a press and a release where the pointer is).
  virtual void DragCanceled();
  void DoStartDrag(TDragObject*& DragObject) override;
  void DoEndDrag(TObject* Target, int X, int Y) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  // With IntegralHeight the list is fitted to whole items here rather than
  // by the window (which fits it again, smaller, each time it is made).
  void FitHeight();
  void DestroyWnd() override;
  virtual std::unique_ptr<TExtListBoxStrings> CreateItemList();
  virtual int GetItemWidth(int Index);
  virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
  virtual void MeasureItem(int Index, int& Height);
  virtual LONG_PTR GetItemData(int Index);
  virtual void SetItemData(int Index, LONG_PTR AData);
  virtual void ResetContent();
  virtual void DeleteString(int Index);
  virtual void CNDrawItem(TMessage& M);
  virtual void CNMeasureItem(TMessage& M);
  // Whether the scroll range follows the widest item.
  bool AutoScrollActive() const { return autoScroll_ && columns_ == 0; }
  // The scroll range after a change of how items are measured.
  void MeasuringChanged();
  TDrawItemEvent onDrawItem_;
  TGetItemWidthEvent onGetItemWidth_;
  void ResetHorizontalExtent();
  void SetHorizontalExtent();
  void ScrollToLeft();
  String ItemText(int Index);
  void SetColumnWidth();
  // Draws the visible items into a given context, one by one.
  void PaintItems(HDC DC);
  // The number of items, without making a window to ask: a list without
  // one holds only what it keeps for its next window (a new list, made
  // without a parent to be written against, holds nothing).
  int ItemCountWithoutWindow() const;

  std::unique_ptr<TExtListBoxStrings> items_;
  std::unique_ptr<TCanvas> canvas_;
  TBorderStyle borderStyle_ = bsSingle;
  int columns_ = 0;
  int itemHeight_ = 16;
  TListBoxStyle style_ = lbStandard;
  bool integralHeight_ = false;
  bool multiSelect_ = false;
  bool sorted_ = false;
  bool extendedSelect_ = true;
  int tabWidth_ = 0;
  bool autoScroll_ = false;
  bool graySelection_ = false;
  int maxWidth_ = 0;
  std::unique_ptr<TStringList> saveItems_;
  int saveTopIndex_ = 0;
  int saveItemIndex_ = -1;

 private:
  // Runs the message through the control's own handling only.
  void DispatchWithoutDefault(TMessage& M);
  UINT skipDefault_ = 0;
  bool dragStarted_ = false;
  bool pressHeld_ = false;
  bool inMouseDblClick_ = false;  // a press kept from the list while its drag may start
};

class TExtCheckListBox;

// The program's "CHECK_IMAGES", shared by every check list box: a grid of 6
// columns (unchecked, checked, grayed, then the same three disabled) by 3
// rows (check boxes, radio buttons, check marks), loaded on first use and
// freed by ExCheckListBoxFinalize.
TBitmap* CheckListImages();
// Registers the check list box, the shadow label, the extended speed button
// and the scrolling text panel by class name, for form streams.
void ExCheckListBoxInitialize();
void ExCheckListBoxFinalize();

// The check state, enabled flag and user data of one item.
class TCheckListBoxItem : public TObject {
 public:
  LONG_PTR Data = 0;
  TCheckBoxState State = cbUnchecked;
  bool Enabled = true;
};

class TCheckListBoxStrings : public TExtListBoxStrings {
 public:
  using TExtListBoxStrings::TExtListBoxStrings;
  // Each item's state and enabled flag go with its text.
  void Exchange(int Index1, int Index2) override;
  void Move(int CurIndex, int NewIndex) override;
};

class TExtCheckListBox : public TExtCustomListBox {
 public:
  explicit TExtCheckListBox(TComponent* AOwner);
  ~TExtCheckListBox() override;
  const char* ClassName() const override { return "TExtCheckListBox"; }

  bool GetChecked(int Index) { return GetState(Index) == cbChecked; }
  void SetChecked(int Index, bool Value) { SetState(Index, Value ? cbChecked : cbUnchecked); }
  // With radio buttons anything but checked reads as unchecked.
  TCheckBoxState GetState(int Index);
  void SetState(int Index, TCheckBoxState Value);
  bool GetItemEnabled(int Index);
  void SetItemEnabled(int Index, bool Value);
  // The first checked item with radio buttons, else -1.
  int GetCheckedIndex();
  void SetCheckedIndex(int Value);
  // Effective only for check boxes and check marks.
  bool GetAllowGrayed() const { return allowGrayed_ && checkKind_ != ckRadioButtons; }
  void SetAllowGrayed(bool Value) { allowGrayed_ = Value; }
  TCheckKind GetCheckKind() const { return checkKind_; }
  void SetCheckKind(TCheckKind Value);
  // Every item (every enabled one) to State; nothing for radio buttons.
  void ApplyState(TCheckBoxState AState, bool EnabledOnly);
  // From another check list box the states and enabled flags come along.
  void SetItems(TStrings* Value) override;
  int CheckWidth() const { return checkWidth_ + 2; }

  // "Count" and "ItemN" values in the control's default section.
  void SaveStates(TCustomIniFile* IniFile);
  void RestoreStates(TCustomIniFile* IniFile);
  void SaveStatesReg(TRegIniFile* IniFile);
  void RestoreStatesReg(TRegIniFile* IniFile);
  // "Form.Control" (or the form's name for the form itself).
  String DefaultSection();
  TFormPlacement* GetIniStorage() const { return iniLink_->GetStorage(); }
  void SetIniStorage(TFormPlacement* Value) { iniLink_->SetStorage(Value); }
  void Loaded() override;

  TNotifyEvent OnClickCheck;
  TChangeStateEvent OnStateChange;

  void WndProc(TMessage& M) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  std::unique_ptr<TExtListBoxStrings> CreateItemList() override;
  int GetItemWidth(int Index) override;
  int GetItemHeight() override;
  void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;
  void CNDrawItem(TMessage& M) override;
  void CNMeasureItem(TMessage& M) override;
  LONG_PTR GetItemData(int Index) override;
  void SetItemData(int Index, LONG_PTR AData) override;
  void ResetContent() override;
  void DeleteString(int Index) override;
  void KeyPress(wchar_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void ClickCheck();
  virtual void ChangeItemState(int Index);
  // The published properties where they differ from their defaults
  // (CheckedIndex -1, AutoScroll true), then "InternalVersion" (written
  // only without an ancestor) and "Strings": per item its text, state and
  // enabled flag.
  void DefineProperties(TFiler* Filer) override;

 private:
  friend class TCheckListBoxStrings;
  TCheckListBoxItem* FindCheckObject(int Index);
  TCheckListBoxItem* GetCheckObject(int Index);
  void ToggleClickCheck(int Index);
  void InvalidateCheck(int Index);
  void InvalidateItem(int Index);
  void ResetItemHeight();
  void ForceRadio();
  void DrawCheck(TRect R, TCheckBoxState AState, bool AEnabled);
  void WriteStates(TObject* Ini, const String& Section);
  void ReadStates(TObject* Ini, const String& Section);
  void IniSave(TObject*);
  void IniLoad(TObject*);
  static bool Bare(TExtCheckListBox* List);
  bool DiffersFrom(TExtCheckListBox* Ancestor);
  void ReadCheckData(TReader* Reader);
  void WriteCheckData(TWriter* Writer);
  String iniStorageName_;  // read from a stream, found once loading is over
  int checkedIndexRead_ = -1;

  std::vector<uint32_t> saveStates_;
  bool haveSavedStates_ = false;
  int checkWidth_ = 13, checkHeight_ = 13;
  bool allowGrayed_ = false;
  TCheckKind checkKind_ = ckCheckBoxes;
  bool updatingStates_ = false;
  std::unique_ptr<TIniLink> iniLink_;
  std::set<TCheckListBoxItem*> checkObjects_;
  TBitmap drawBitmap_;  // the cell being drawn
};
