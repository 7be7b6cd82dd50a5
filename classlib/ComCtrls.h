// Common controls: list view, page control with tab sheets, status bar,
// progress bar, track bar, animation and rich edit. Windows only.
#pragma once

#include "classlib/Controls.h"
#include "classlib/ImgList.h"
#include "classlib/StdCtrls.h"

#include <algorithm>

class TCustomListView;
class TListItems;

// ---------------------------------------------------------------------------
// List view

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemStateItem { isNone, isCut, isDropHilited, isFocused, isSelected, isActivating };
using TItemStates = TSet<TItemStateItem>;
// Directions of GetNextItem (sdToLeft/sdToRight: the tree control has its
// own sdLeft/sdRight for scrolling).
enum TSearchDirection { sdToLeft, sdToRight, sdAbove, sdBelow, sdAll };
enum TItemChange { ctText, ctImage, ctState };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
// Shared with the tree control: whichever header comes first declares it.
#ifndef ZEMBRIO_TSORTTYPE_DECLARED
#define ZEMBRIO_TSORTTYPE_DECLARED
enum TSortType { stNone, stData, stText, stBoth };
#endif

class TListItem : public TObject {
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;

  TListItems* GetOwner() const { return owner_; }
  TCustomListView* GetListView() const;
  int GetIndex() const;

  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& s);
  // Sub-items are the texts of the second and later columns.
  TStrings* SubItems() const { return subItems_.get(); }
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  void* GetData() const { return data_; }
  void SetData(void* d) { data_ = d; }
  bool GetSelected() const;
  void SetSelected(bool v);
  bool GetFocused() const;
  void SetFocused(bool v);

  // Removes the item from its list (OnDeletion runs) and frees it.
  void Delete();
  void MakeVisible(bool partialOK);
  // Starts in-place editing of the caption; false when it did not start.
  bool EditCaption();
  void CancelEdit();
  TRect DisplayRect(TDisplayCode code) const;
  // Redraws the item.
  void Update();

 private:
  friend class TListItems;
  friend class TCustomListView;
  void SubItemsChanged(TObject*);
  TListItems* owner_;
  String caption_;
  std::unique_ptr<TStringList> subItems_;
  int imageIndex_ = -1;
  void* data_ = nullptr;
  // Kept while the list view has no window.
  bool selected_ = false;
  bool focused_ = false;
  int sortKey_ = 0;
};

class TListItems : public TObject {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  ~TListItems() override;
  TCustomListView* GetOwner() const { return owner_; }
  TListItem* Add();
  TListItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int GetCount() const { return int(items_.size()); }
  TListItem* GetItem(int index) const;
  TListItem* operator[](int index) const { return GetItem(index); }
  int IndexOf(const TListItem* item) const;
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TCustomListView;
  friend class TListItem;
  TCustomListView* owner_;
  std::vector<TListItem*> items_;
  int updateCount_ = 0;
  bool sortPending_ = false;
};

class TListColumns;

class TListColumn : public TObject {
 public:
  explicit TListColumn(TListColumns* owner) : owner_(owner) {}
  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& s);
  int GetWidth() const;
  void SetWidth(int w);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  // Sized to fill the list's remaining width.
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  int GetIndex() const;

 private:
  friend class TCustomListView;
  friend class TListColumns;
  TListColumns* owner_;
  String caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
};

class TListColumns : public TObject {
 public:
  explicit TListColumns(TCustomListView* owner) : owner_(owner) {}
  ~TListColumns() override;
  TListColumn* Add();
  void Delete(int index);
  void Clear();
  int GetCount() const { return int(columns_.size()); }
  TListColumn* GetItem(int index) const;
  TListColumn* operator[](int index) const { return GetItem(index); }
  TCustomListView* GetOwner() const { return owner_; }

 private:
  friend class TCustomListView;
  friend class TListColumn;
  TCustomListView* owner_;
  std::vector<TListColumn*> columns_;
};

// Comparison callback of CustomSort: the two items (as LPARAMs holding
// TListItem pointers) and the caller's parameter.
using TLVCompare = int(CALLBACK*)(LPARAM item1, LPARAM item2, LPARAM data);

using TLVDeletedEvent = TEvent<void(TObject* Sender, TListItem* Item)>;
using TLVEditingEvent = TEvent<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = TEvent<void(TObject* Sender, TListItem* Item, String& S)>;
using TLVColumnClickEvent = TEvent<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent = TEvent<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
using TLVSelectItemEvent = TEvent<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = TEvent<void(TObject* Sender, TListItem* Item, TItemChange Change)>;

class TCustomListView : public TWinControl {
 public:
  explicit TCustomListView(TComponent* AOwner);
  ~TCustomListView() override;

  TListItems* Items() const { return items_.get(); }
  TListColumns* Columns() const { return columns_.get(); }
  TViewStyle GetViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle v);
  bool GetMultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool GetReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool GetRowSelect() const { return rowSelect_; }
  void SetRowSelect(bool v);
  bool GetHideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  bool GetGridLines() const { return gridLines_; }
  void SetGridLines(bool v);
  bool GetColumnClick() const { return columnClick_; }
  void SetColumnClick(bool v);
  bool GetShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool v);
  TSortType GetSortType() const { return sortType_; }
  void SetSortType(TSortType s);
  TCustomImageList* GetSmallImages() const { return smallImages_; }
  void SetSmallImages(TCustomImageList* il);
  TCustomImageList* GetLargeImages() const { return largeImages_; }
  void SetLargeImages(TCustomImageList* il);

  // The first selected item (nullptr if none); setting selects an item, or
  // with nullptr clears the selection.
  TListItem* GetSelected() const;
  void SetSelected(TListItem* item);
  int GetSelCount() const;
  TListItem* GetItemFocused() const;
  void SetItemFocused(TListItem* item);
  TListItem* GetNextItem(TListItem* start, TSearchDirection dir, TItemStates states) const;
  // The rows (item indexes) selected, in order: found by row, where a walk
  // by GetNextItem looks up each item's row.
  std::vector<int> GetSelectedRows() const;
  // Selects the rows given (ascending item indexes) besides those selected:
  // every row at once when they are all of them.
  void SelectRows(const std::vector<int>& rows);
  TListItem* GetItemAt(int x, int y) const;
  TListItem* GetTopItem() const;
  TListItem* FindCaption(int startIndex, const String& value, bool partial, bool inclusive, bool wrap) const;
  TListItem* FindData(int startIndex, void* value, bool inclusive, bool wrap) const;
  void ClearSelection();
  void SelectAll();
  bool IsEditing() const;
  // The most characters the in-place caption edit box takes (0: any
  // number); a longer caption is still shown whole when the edit starts.
  int GetEditMaxLength() const { return editMaxLength_; }
  void SetEditMaxLength(int n) { editMaxLength_ = n < 0 ? 0 : n; }
  void Scroll(int dx, int dy);

  // Brackets many item changes: the window redraws once at the end.
  void BeginUpdate() { items_->BeginUpdate(); }
  void EndUpdate() { items_->EndUpdate(); }

  // Sorts by caption (or through OnCompare when set).
  bool AlphaSort();
  // Sorts through a comparison callback; without one, like AlphaSort.
  bool CustomSort(TLVCompare compare, LPARAM data);
  // Puts the items in the order given (the list's own items, each once),
  // the window following; false, and nothing changed, for another count.
  bool SortInOrder(std::vector<TListItem*> order);
  // Takes the items out of the list in one go, each through OnDeletion
  // (also when a handler fails), the others keeping their order; items
  // not in the list are passed over. Many items at once cost about what
  // one does, where deleting them one by one makes the window move every
  // row below each and report each.
  void DeleteItems(const std::vector<TListItem*>& items);

  TLVDeletedEvent OnDeletion;
  TLVDeletedEvent OnInsert;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVSelectItemEvent OnSelectItem;
  TLVChangeEvent OnChange;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Internal: keeps the window in step with the items and columns.
  void ItemInserted(TListItem* item, int index);
  void ItemChanged(TListItem* item);
  void UpdateColumn(int index);
  void UpdateColumns();

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  virtual void ColClick(TListColumn* column);
  // Called for each item added to the list.
  virtual void InsertItem(TListItem* item);
  // An accepted in-place caption edit (the native item record, its
  // lParam the item the edit began on, its iItem that item's row).
  virtual void Edit(const LVITEMW& item);
  virtual void Delete(TListItem* item);
  virtual bool CanEdit(TListItem* item);
  void DoSelectItem(TListItem* item, bool selected);
  // OnChange and OnSelectItem for each row From..To whose state changed.
  void StateChanged(int From, int To, UINT OldState, UINT NewState);
  void CNNotify(TMessage& m);
  void ApplyExStyle();
  void ApplyImageLists();
  void SortModelFromWindow();
  // The window takes the order of the items.
  virtual void SortWindowByModel();
  // The window's side of DeleteItems: the rows given (ascending) leave it.
  // Here one by one, from the last.
  virtual void DeleteWindowRows(const std::vector<int>& rows);
  int AutoSizeWidth(int column);

 private:
  friend class TListItems;
  friend class TListItem;
  friend class TListColumns;
  // The columns inserted into the current window (the header's own count
  // lags behind under some systems).
  int shownColumns_ = 0;  // columns the window holds
  bool makingWindow_ = false;  // CreateWnd inserts the columns itself
  friend class TListColumn;
  void ImageListChanged(TObject*);
  static int CALLBACK ModelOrderCompare(LPARAM a, LPARAM b, LPARAM);
  static int CALLBACK DefaultCompare(LPARAM a, LPARAM b, LPARAM data);

  std::unique_ptr<TListItems> items_;
  std::unique_ptr<TListColumns> columns_;
  TViewStyle viewStyle_ = vsIcon;
  bool multiSelect_ = false;
  bool readOnly_ = false;
  bool rowSelect_ = false;
  bool hideSelection_ = true;
  bool gridLines_ = false;
  bool columnClick_ = true;
  bool showColumnHeaders_ = true;
  TSortType sortType_ = stNone;
  TCustomImageList* smallImages_ = nullptr;
  TCustomImageList* largeImages_ = nullptr;
  std::unique_ptr<TChangeLink> smallLink_, largeLink_;
  bool clearing_ = false;
  int editMaxLength_ = 0;
  // The caption's edit box while an edit runs, watched so that an edit
  // ended by Escape (or CancelEdit) is told from one accepted: some systems
  // pass no text for an emptied box, as for a cancelled one.
  HWND editBox_ = nullptr;
  bool editRunning_ = false;  // from the edit's start to its first end
  bool editCancelled_ = false;
  // The item whose caption is edited: the edit's text goes to it alone.
  // Deleting it, or every item, ends the edit unapplied.
  TListItem* editItem_ = nullptr;
  void DropEdit(TListItem* gone);
  void WatchEditBox(HWND edit);
  void UnwatchEditBox();
  static LRESULT CALLBACK EditBoxProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
  std::exception_ptr sortError_;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TListView : public TCustomListView {
 public:
  const char* ClassName() const override { return "TListView"; }
  explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
};

// ---------------------------------------------------------------------------
// Page control

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  const char* ClassName() const override { return "TTabSheet"; }
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* GetPageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pc);
  int GetPageIndex() const;
  void SetPageIndex(int i);
  // Index among the visible tabs, -1 when the tab is hidden.
  int GetTabIndex() const;
  bool GetTabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  void WndProc(TMessage& m) override;

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

using TTabChangingEvent = TEvent<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
 public:
  const char* ClassName() const override { return "TPageControl"; }
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return int(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_[size_t(i)]; }
  TTabSheet* GetActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int GetActivePageIndex() const;
  void SetActivePageIndex(int i);
  TCustomImageList* GetImages() const { return images_; }
  void SetImages(TCustomImageList* il);
  // The area the pages fill, in client coordinates.
  TRect GetDisplayRect();
  // Tabs that do not fit one row wrap into more rows (the window is made
  // anew on a change).
  bool GetMultiLine() const { return multiLine_; }
  void SetMultiLine(bool Value);
  TTabSheet* FindNextPage(TTabSheet* cur, bool goForward, bool checkTabVisible) const;
  void SelectNextPage(bool goForward);
  // Ctrl+Tab and the like while the keyboard is on the tabs or on a page:
  // the next (or the previous) page with a tab comes up, and the keyboard,
  // when it was on the page left, goes on to the new page's first control.
  void TurnPageByKey(bool goForward);
  int TabCount() const;

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Internal: called by the sheets.
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void UpdateTabs();
  void MovePage(TTabSheet* page, int newIndex);

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void AdjustClientRect(TRect& r) override;
  void AlignControls(TControl* aControl, TRect& r) override;
  virtual bool CanChange();
  virtual void Change();
  void ShowActive();

 private:
  void ImageListChanged(TObject*);
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  TCustomImageList* images_ = nullptr;
  std::unique_ptr<TChangeLink> imagesLink_;
  bool multiLine_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// ---------------------------------------------------------------------------
// Status bar

class TStatusBar;
class TStatusPanels;
enum TStatusPanelStyle { psText, psOwnerDraw };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TObject {
 public:
  explicit TStatusPanel(TStatusPanels* owner) : owner_(owner) {}
  const String& GetText() const { return text_; }
  void SetText(const String& s);
  int GetWidth() const { return width_; }
  void SetWidth(int w);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TStatusPanelStyle GetStyle() const { return style_; }
  void SetStyle(TStatusPanelStyle s);
  TStatusPanelBevel GetBevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel b);
  // Reading order: the status bar's while ParentBiDiMode holds.
  TBiDiMode GetBiDiMode() const;
  void SetBiDiMode(TBiDiMode v);
  bool GetParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool v);
  bool UseRightToLeftReading() const { return GetBiDiMode() != bdLeftToRight; }
  int GetIndex() const;

 private:
  friend class TStatusBar;
  TStatusPanels* owner_;
  String text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelStyle style_ = psText;
  TStatusPanelBevel bevel_ = pbLowered;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
};

class TStatusPanels : public TObject {
 public:
  explicit TStatusPanels(TStatusBar* owner) : owner_(owner) {}
  ~TStatusPanels() override;
  TStatusPanel* Add();
  void Delete(int index);
  void Clear();
  int GetCount() const { return int(panels_.size()); }
  TStatusPanel* GetItem(int index) const;
  TStatusPanel* operator[](int index) const { return GetItem(index); }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  TStatusBar* GetOwner() const { return owner_; }

 private:
  friend class TStatusBar;
  friend class TStatusPanel;
  TStatusBar* owner_;
  std::vector<TStatusPanel*> panels_;
  int updateCount_ = 0;
};

using TDrawPanelEvent = TEvent<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TWinControl {
 public:
  const char* ClassName() const override { return "TStatusBar"; }
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;
  TStatusPanels* Panels() const { return panels_.get(); }
  bool GetSimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool v);
  const String& GetSimpleText() const { return simpleText_; }
  void SetSimpleText(const String& s);
  bool GetSizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool v);
  TCanvas* Canvas() const { return canvas_.get(); }
  // The text the window shows in a panel (read back from the control).
  String GetPanelWindowText(int index);
  TRect GetPanelRect(int index);

  TDrawPanelEvent OnDrawPanel;
  void WndProc(TMessage& m) override;
  // Internal.
  void UpdatePanels(bool updateRects, bool updateText);
  void UpdatePanel(int index);

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  virtual void DrawPanel(TStatusPanel* panel, const TRect& r);
  void AdjustSize();

 private:
  std::unique_ptr<TStatusPanels> panels_;
  std::unique_ptr<TCanvas> canvas_;
  bool simplePanel_ = false;
  String simpleText_;
  bool sizeGrip_ = true;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// ---------------------------------------------------------------------------
enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
 public:
  const char* ClassName() const override { return "TProgressBar"; }
  explicit TProgressBar(TComponent* AOwner);
  int GetMin() const { return min_; }
  void SetMin(int v);
  int GetMax() const { return max_; }
  void SetMax(int v);
  int GetPosition();
  void SetPosition(int v);
  int GetStep() const { return step_; }
  void SetStep(int v);
  void StepIt();
  void StepBy(int delta);
  bool GetSmooth() const { return smooth_; }
  void SetSmooth(bool v);
  TProgressBarOrientation GetOrientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation o);

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;

 private:
  int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

// ---------------------------------------------------------------------------
// Track bar (the system's trackbar control). Its NM_CUSTOMDRAW and other
// notifications arrive at WindowProc as CN_NOTIFY.
enum TTrackBarOrientation { trHorizontal, trVertical };

class TTrackBar : public TWinControl {
 public:
  const char* ClassName() const override { return "TTrackBar"; }
  explicit TTrackBar(TComponent* AOwner);
  int GetMin() const { return min_; }
  void SetMin(int Value) { SetRange(Value, std::max(Value, max_)); }
  int GetMax() const { return max_; }
  void SetMax(int Value) { SetRange(std::min(min_, Value), Value); }
  void SetRange(int AMin, int AMax);
  int GetPosition();
  void SetPosition(int Value);
  TTrackBarOrientation GetOrientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation Value);
  int GetFrequency() const { return frequency_; }
  void SetFrequency(int Value);
  int GetLineSize() const { return lineSize_; }
  void SetLineSize(int Value);
  int GetPageSize() const { return pageSize_; }
  void SetPageSize(int Value);
  TNotifyEvent OnChange;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void SaveWindowState() override;
  virtual void Changed();

 private:
  int min_ = 0, max_ = 10, position_ = 0;
  TTrackBarOrientation orientation_ = trHorizontal;
  int frequency_ = 1, lineSize_ = 1, pageSize_ = 2;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// ---------------------------------------------------------------------------
// Animation control: plays a silent AVI clip from a file or a resource.
// Its WM_CTLCOLORSTATIC arrives at WindowProc as CN_CTLCOLORSTATIC; a
// Transparent one draws on its Color.
class TAnimate : public TWinControl {
 public:
  const char* ClassName() const override { return "TAnimate"; }
  explicit TAnimate(TComponent* AOwner);
  const String& GetFileName() const { return fileName_; }
  void SetFileName(const String& Value);
  int GetResId() const { return resId_; }
  void SetResId(int Value);
  bool GetActive() const { return active_; }
  void SetActive(bool Value);
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool Value);
  bool GetCenter() const { return center_; }
  void SetCenter(bool Value);
  // Whether a clip is open (false: a missing or unreadable clip).
  bool GetOpen() const { return open_; }
  void Play(int FromFrame, int ToFrame, int Count);
  void Stop();
  TNotifyEvent OnOpen;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;

 private:
  void OpenClip();
  String fileName_;
  int resId_ = 0;
  bool active_ = false, transparent_ = true, center_ = true, open_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// ---------------------------------------------------------------------------
// Rich edit (the system's RichEdit20W class): a memo that keeps text
// formats; PlainText reads and writes it as plain text.
class TCustomRichEdit : public TCustomMemo {
 public:
  explicit TCustomRichEdit(TComponent* AOwner);
  bool GetPlainText() const { return plainText_; }
  void SetPlainText(bool Value) { plainText_ = Value; }
  // Text in the control's own rich-text format ("{\rtf...").
  String GetRichText();
  void SetRichText(const String& Value);

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;

 private:
  bool plainText_ = false;
};

class TRichEdit : public TCustomRichEdit {
 public:
  const char* ClassName() const override { return "TRichEdit"; }
  explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
};
