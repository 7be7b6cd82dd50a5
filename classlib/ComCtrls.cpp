#include "classlib/ComCtrls.h"

#include "classlib/Forms.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

namespace {

[[noreturn]] void IndexError(int i) {
  throw EListError(L"List index out of bounds (" + std::to_wstring(i) + L")");
}

int FormatOf(TAlignment a) {
  return a == taRightJustify ? LVCFMT_RIGHT : a == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
}

}  // namespace

// ===========================================================================
// TListItem

TListItem::TListItem(TListItems* owner) : owner_(owner), subItems_(std::make_unique<TStringList>()) {
  subItems_->OnChange = TNotifyEvent(this, &TListItem::SubItemsChanged);
}

TListItem::~TListItem() { subItems_->OnChange = nullptr; }

TCustomListView* TListItem::GetListView() const { return owner_->owner_; }

int TListItem::GetIndex() const { return owner_->IndexOf(this); }

void TListItem::SubItemsChanged(TObject*) { Update(); }

void TListItem::SetCaption(const String& s) {
  if (s == caption_) return;
  caption_ = s;
  GetListView()->ItemChanged(this);
}

void TListItem::SetImageIndex(int i) {
  if (i == imageIndex_) return;
  imageIndex_ = i;
  GetListView()->ItemChanged(this);
}

bool TListItem::GetSelected() const {
  TCustomListView* lv = GetListView();
  if (!lv->HandleAllocated()) return selected_;
  return (SendMessageW(lv->GetHandle(), LVM_GETITEMSTATE, WPARAM(GetIndex()), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool v) {
  TCustomListView* lv = GetListView();
  if (!lv->HandleAllocated()) {
    if (v && !lv->GetMultiSelect())
      for (TListItem* o : owner_->items_) o->selected_ = false;
    selected_ = v;
    return;
  }
  LVITEMW it{};
  it.stateMask = LVIS_SELECTED;
  it.state = v ? LVIS_SELECTED : 0;
  SendMessageW(lv->GetHandle(), LVM_SETITEMSTATE, WPARAM(GetIndex()), LPARAM(&it));
}

bool TListItem::GetFocused() const {
  TCustomListView* lv = GetListView();
  if (!lv->HandleAllocated()) return focused_;
  return (SendMessageW(lv->GetHandle(), LVM_GETITEMSTATE, WPARAM(GetIndex()), LVIS_FOCUSED) & LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool v) {
  TCustomListView* lv = GetListView();
  if (!lv->HandleAllocated()) {
    if (v)
      for (TListItem* o : owner_->items_) o->focused_ = false;
    focused_ = v;
    return;
  }
  LVITEMW it{};
  it.stateMask = LVIS_FOCUSED;
  it.state = v ? LVIS_FOCUSED : 0;
  SendMessageW(lv->GetHandle(), LVM_SETITEMSTATE, WPARAM(GetIndex()), LPARAM(&it));
}

void TListItem::Delete() { owner_->Delete(GetIndex()); }

void TListItem::MakeVisible(bool partialOK) {
  TCustomListView* lv = GetListView();
  if (lv->HandleAllocated()) SendMessageW(lv->GetHandle(), LVM_ENSUREVISIBLE, WPARAM(GetIndex()), partialOK);
}

bool TListItem::EditCaption() {
  TCustomListView* lv = GetListView();
  HWND h = lv->GetHandle();
  SetFocus(h);
  return SendMessageW(h, LVM_EDITLABELW, WPARAM(GetIndex()), 0) != 0;
}

void TListItem::CancelEdit() {
  TCustomListView* lv = GetListView();
  if (!lv->HandleAllocated()) return;
  // Some systems end a cancelled edit with its text, as an accepted one.
  if (lv->editRunning_) lv->editCancelled_ = true;
  SendMessageW(lv->GetHandle(), LVM_CANCELEDITLABEL, 0, 0);
}

TRect TListItem::DisplayRect(TDisplayCode code) const {
  TCustomListView* lv = GetListView();
  RECT r{};
  static const int codes[] = {LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL, LVIR_SELECTBOUNDS};
  r.left = codes[code];
  if (lv->HandleAllocated()) SendMessageW(lv->GetHandle(), LVM_GETITEMRECT, WPARAM(GetIndex()), LPARAM(&r));
  else r = RECT{};
  return r;
}

void TListItem::Update() { GetListView()->ItemChanged(this); }

// ===========================================================================
// TListItems

TListItems::~TListItems() {
  for (TListItem* i : items_) delete i;
}

TListItem* TListItems::Add() { return Insert(GetCount()); }

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index > GetCount()) IndexError(index);
  auto* item = new TListItem(this);
  items_.insert(items_.begin() + index, item);
  owner_->ItemInserted(item, index);
  return item;
}

void TListItems::Delete(int index) {
  if (index < 0 || index >= GetCount()) IndexError(index);
  owner_->Delete(items_[size_t(index)]);
}

void TListItems::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  try {
    owner_->DropEdit(nullptr);
    if (owner_->HandleAllocated()) {
      owner_->clearing_ = true;
      SendMessageW(owner_->GetHandle(), LVM_DELETEALLITEMS, 0, 0);
      owner_->clearing_ = false;
    }
    // Every item goes through OnDeletion, also when a handler fails.
    std::vector<TListItem*> gone;
    gone.swap(items_);
    std::exception_ptr err;
    for (TListItem* i : gone) {
      try {
        if (owner_->OnDeletion) owner_->OnDeletion(owner_, i);
      } catch (...) {
        if (!err) err = std::current_exception();
      }
      delete i;
    }
    EndUpdate();
    if (err) std::rethrow_exception(err);
  } catch (...) {
    owner_->clearing_ = false;
    if (updateCount_ > 0) EndUpdate();
    throw;
  }
}

TListItem* TListItems::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) IndexError(index);
  return items_[size_t(index)];
}

int TListItems::IndexOf(const TListItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TListItems::BeginUpdate() {
  if (updateCount_++ == 0 && owner_->HandleAllocated()) SendMessageW(owner_->GetHandle(), WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
  if (updateCount_ <= 0 || --updateCount_ > 0) return;
  if (sortPending_) {
    sortPending_ = false;
    owner_->AlphaSort();
  }
  if (owner_->HandleAllocated()) {
    SendMessageW(owner_->GetHandle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(owner_->GetHandle(), nullptr, TRUE);
  }
}

// ===========================================================================
// Columns

void TListColumn::SetCaption(const String& s) {
  caption_ = s;
  owner_->owner_->UpdateColumn(GetIndex());
}

int TListColumn::GetWidth() const {
  TCustomListView* lv = owner_->owner_;
  if (lv->HandleAllocated() && lv->GetViewStyle() == vsReport)
    return int(SendMessageW(lv->GetHandle(), LVM_GETCOLUMNWIDTH, WPARAM(GetIndex()), 0));
  return width_;
}

void TListColumn::SetWidth(int w) {
  width_ = w;
  owner_->owner_->UpdateColumn(GetIndex());
}

void TListColumn::SetAlignment(TAlignment a) {
  alignment_ = a;
  owner_->owner_->UpdateColumn(GetIndex());
}

void TListColumn::SetAutoSize(bool v) {
  autoSize_ = v;
  owner_->owner_->UpdateColumns();
}

int TListColumn::GetIndex() const {
  auto& v = owner_->columns_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : int(it - v.begin());
}

TListColumns::~TListColumns() {
  for (TListColumn* c : columns_) delete c;
}

TListColumn* TListColumns::Add() {
  auto* c = new TListColumn(this);
  columns_.push_back(c);
  owner_->UpdateColumns();
  return c;
}

void TListColumns::Delete(int index) {
  if (index < 0 || index >= GetCount()) IndexError(index);
  TListColumn* c = columns_[size_t(index)];
  columns_.erase(columns_.begin() + index);
  if (owner_->HandleAllocated() && index < owner_->shownColumns_) {
    SendMessageW(owner_->GetHandle(), LVM_DELETECOLUMN, WPARAM(index), 0);
    --owner_->shownColumns_;
  }
  delete c;
  owner_->UpdateColumns();
}

void TListColumns::Clear() {
  while (!columns_.empty()) Delete(GetCount() - 1);
}

TListColumn* TListColumns::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) IndexError(index);
  return columns_[size_t(index)];
}

// ===========================================================================
// TCustomListView

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWinControl(AOwner),
      items_(std::make_unique<TListItems>(this)),
      columns_(std::make_unique<TListColumns>(this)),
      smallLink_(std::make_unique<TChangeLink>()),
      largeLink_(std::make_unique<TChangeLink>()) {
  smallLink_->OnChange = TNotifyEvent(this, &TCustomListView::ImageListChanged);
  largeLink_->OnChange = TNotifyEvent(this, &TCustomListView::ImageListChanged);
  ControlStyle = TControlStyle{csCaptureMouse, csSetCaption};
  width_ = 250;
  height_ = 150;
  tabStop_ = true;
  color_ = clWindow;
  brush_->SetColor(clWindow);
}

TCustomListView::~TCustomListView() {
  // The items' owners free their data in OnDeletion.
  try {
    items_->Clear();
  } catch (...) {
    HandleCallbackException(this);
  }
  DestroyHandle();
  if (smallImages_) smallImages_->RemoveFreeNotification(this);
  if (largeImages_ && largeImages_ != smallImages_) largeImages_->RemoveFreeNotification(this);
}

void TCustomListView::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_LISTVIEW_CLASSES);
  TWinControl::CreateParams(p);
  CreateSubClass(p, WC_LISTVIEWW);
  static const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  p.Style |= styles[viewStyle_] | LVS_SHAREIMAGELISTS | WS_CLIPCHILDREN;
  if (!multiSelect_) p.Style |= LVS_SINGLESEL;
  if (!readOnly_) p.Style |= LVS_EDITLABELS;
  if (!hideSelection_) p.Style |= LVS_SHOWSELALWAYS;
  if (!columnClick_) p.Style |= LVS_NOSORTHEADER;
  if (!showColumnHeaders_) p.Style |= LVS_NOCOLUMNHEADER;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomListView::ApplyExStyle() {
  if (!handle_) return;
  DWORD ex = LVS_EX_HEADERDRAGDROP * 0;
  if (rowSelect_) ex |= LVS_EX_FULLROWSELECT;
  if (gridLines_) ex |= LVS_EX_GRIDLINES;
  SendMessageW(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, ex);
}

void TCustomListView::ApplyImageLists() {
  if (!handle_) return;
  SendMessageW(handle_, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(smallImages_ ? smallImages_->GetHandle() : nullptr));
  SendMessageW(handle_, LVM_SETIMAGELIST, LVSIL_NORMAL, LPARAM(largeImages_ ? largeImages_->GetHandle() : nullptr));
}

void TCustomListView::CreateWnd() {
  // Messages that come while the window is made (WM_SIZE among them) must
  // not insert columns: the new window has none yet, and they all go in
  // once below, with the redrawing off.
  shownColumns_ = 0;
  makingWindow_ = true;
  try {
    TWinControl::CreateWnd();
  } catch (...) {
    makingWindow_ = false;
    throw;
  }
  makingWindow_ = false;
  shownColumns_ = 0;
  SendMessageW(handle_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(handle_, CCM_SETUNICODEFORMAT, TRUE, 0);
  // A new window has no extended styles and no image lists.
  if (rowSelect_ || gridLines_) ApplyExStyle();
  if (smallImages_ || largeImages_) ApplyImageLists();
  ListView_SetBkColor(handle_, ColorToRef(color_));
  ListView_SetTextBkColor(handle_, ColorToRef(color_));
  ListView_SetTextColor(handle_, ColorToRef(font_->GetColor()));
  // Columns, then items with their saved states.
  UpdateColumns();
  SendMessageW(handle_, LVM_SETITEMCOUNT, WPARAM(items_->GetCount()), 0);
  for (int i = 0; i < items_->GetCount(); ++i) {
    TListItem* item = items_->items_[size_t(i)];
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    it.iItem = i;
    it.pszText = LPSTR_TEXTCALLBACKW;
    it.iImage = I_IMAGECALLBACK;
    it.lParam = LPARAM(item);
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    it.state = (item->selected_ ? LVIS_SELECTED : 0) | (item->focused_ ? LVIS_FOCUSED : 0);
    SendMessageW(handle_, LVM_INSERTITEMW, 0, LPARAM(&it));
  }
  SendMessageW(handle_, WM_SETREDRAW, items_->updateCount_ == 0, 0);
}

void TCustomListView::SaveWindowState() {
  for (int i = 0; i < items_->GetCount(); ++i) {
    TListItem* item = items_->items_[size_t(i)];
    UINT st = UINT(SendMessageW(handle_, LVM_GETITEMSTATE, WPARAM(i), LVIS_SELECTED | LVIS_FOCUSED));
    item->selected_ = (st & LVIS_SELECTED) != 0;
    item->focused_ = (st & LVIS_FOCUSED) != 0;
  }
  if (viewStyle_ == vsReport)
    for (int i = 0; i < columns_->GetCount(); ++i)
      columns_->columns_[size_t(i)]->width_ = int(SendMessageW(handle_, LVM_GETCOLUMNWIDTH, WPARAM(i), 0));
}

int TCustomListView::AutoSizeWidth(int column) {
  TRect cr = GetClientRect();
  int used = 0;
  for (int i = 0; i < columns_->GetCount(); ++i)
    if (i != column) used += columns_->GetItem(i)->GetWidth();
  return std::max(20, RectWidth(cr) - used);
}

void TCustomListView::UpdateColumn(int index) {
  if (!handle_ || index < 0 || index >= columns_->GetCount()) return;
  TListColumn* c = columns_->columns_[size_t(index)];
  LVCOLUMNW col{};
  col.mask = LVCF_FMT | LVCF_TEXT;
  col.fmt = FormatOf(c->alignment_);
  col.pszText = const_cast<LPWSTR>(c->caption_.c_str());
  if (!c->autoSize_) {
    col.mask |= LVCF_WIDTH;
    col.cx = c->width_;
  }
  SendMessageW(handle_, LVM_SETCOLUMNW, WPARAM(index), LPARAM(&col));
}

void TCustomListView::UpdateColumns() {
  if (!handle_ || makingWindow_) return;
  for (int i = shownColumns_; i < columns_->GetCount(); ++i, ++shownColumns_) {
    TListColumn* c = columns_->columns_[size_t(i)];
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = FormatOf(c->alignment_);
    col.cx = c->width_;
    col.pszText = const_cast<LPWSTR>(c->caption_.c_str());
    col.iSubItem = i;
    SendMessageW(handle_, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&col));
  }
  for (int i = 0; i < columns_->GetCount(); ++i)
    if (columns_->columns_[size_t(i)]->autoSize_)
      SendMessageW(handle_, LVM_SETCOLUMNWIDTH, WPARAM(i), AutoSizeWidth(i));
}

void TCustomListView::ItemInserted(TListItem* item, int index) {
  if (handle_) {
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    it.iItem = index;
    it.pszText = LPSTR_TEXTCALLBACKW;
    it.iImage = I_IMAGECALLBACK;
    it.lParam = LPARAM(item);
    SendMessageW(handle_, LVM_INSERTITEMW, 0, LPARAM(&it));
  }
  InsertItem(item);
}

void TCustomListView::InsertItem(TListItem* item) {
  if (OnInsert) OnInsert(this, item);
}

void TCustomListView::ItemChanged(TListItem* item) {
  // Inside an update bracket the window redraws once at its end.
  if (items_->updateCount_ > 0) {
    if (sortType_ != stNone) items_->sortPending_ = true;
    return;
  }
  // A list that keeps itself sorted puts a renamed item in its place.
  if (sortType_ != stNone) {
    AlphaSort();
    if (handle_) InvalidateRect(handle_, nullptr, FALSE);
    return;
  }
  if (handle_) SendMessageW(handle_, LVM_UPDATE, WPARAM(items_->IndexOf(item)), 0);
}

void TCustomListView::Delete(TListItem* item) {
  int index = items_->IndexOf(item);
  if (index < 0) return;
  if (item == editItem_) DropEdit(item);
  if (handle_) {
    clearing_ = true;
    SendMessageW(handle_, LVM_DELETEITEM, WPARAM(index), 0);
    clearing_ = false;
  }
  items_->items_.erase(items_->items_.begin() + index);
  struct Free {
    TListItem* i;
    ~Free() { delete i; }
  } free{item};
  if (OnDeletion) OnDeletion(this, item);
}

void TCustomListView::DeleteItems(const std::vector<TListItem*>& items) {
  if (items.empty()) return;
  std::unordered_set<const TListItem*> gone(items.begin(), items.end());
  auto& v = items_->items_;
  std::vector<int> rows;
  std::vector<TListItem*> kept, taken;
  kept.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (gone.count(v[i])) {
      rows.push_back(int(i));
      taken.push_back(v[i]);
    } else {
      kept.push_back(v[i]);
    }
  }
  if (taken.empty()) return;
  if (editItem_ && gone.count(editItem_)) DropEdit(editItem_);
  if (handle_) {
    clearing_ = true;
    try {
      DeleteWindowRows(rows);
    } catch (...) {
      clearing_ = false;
      throw;
    }
    clearing_ = false;
  }
  v.swap(kept);
  std::exception_ptr err;
  for (TListItem* i : taken) {
    try {
      if (OnDeletion) OnDeletion(this, i);
    } catch (...) {
      if (!err) err = std::current_exception();
    }
    delete i;
  }
  if (err) std::rethrow_exception(err);
}

void TCustomListView::DeleteWindowRows(const std::vector<int>& rows) {
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) SendMessageW(handle_, LVM_DELETEITEM, WPARAM(*r), 0);
}

void TCustomListView::SetViewStyle(TViewStyle v) {
  if (v == viewStyle_) return;
  if (handle_) SaveWindowState();
  viewStyle_ = v;
  if (handle_) {
    static const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    LONG_PTR s = GetWindowLongPtrW(handle_, GWL_STYLE);
    SetWindowLongPtrW(handle_, GWL_STYLE, (s & ~LONG_PTR(LVS_TYPEMASK)) | styles[v]);
    UpdateColumns();
  }
}

void TCustomListView::SetMultiSelect(bool v) {
  if (v == multiSelect_) return;
  multiSelect_ = v;
  RecreateWnd();
}

void TCustomListView::SetReadOnly(bool v) {
  if (v == readOnly_) return;
  readOnly_ = v;
  if (handle_) {
    LONG_PTR s = GetWindowLongPtrW(handle_, GWL_STYLE);
    SetWindowLongPtrW(handle_, GWL_STYLE, v ? (s & ~LONG_PTR(LVS_EDITLABELS)) : (s | LVS_EDITLABELS));
  }
}

void TCustomListView::SetRowSelect(bool v) {
  rowSelect_ = v;
  ApplyExStyle();
}

void TCustomListView::SetHideSelection(bool v) {
  if (v == hideSelection_) return;
  hideSelection_ = v;
  RecreateWnd();
}

void TCustomListView::SetGridLines(bool v) {
  gridLines_ = v;
  ApplyExStyle();
}

void TCustomListView::SetColumnClick(bool v) {
  if (v == columnClick_) return;
  columnClick_ = v;
  RecreateWnd();
}

void TCustomListView::SetShowColumnHeaders(bool v) {
  if (v == showColumnHeaders_) return;
  showColumnHeaders_ = v;
  RecreateWnd();
}

void TCustomListView::SetSortType(TSortType s) {
  sortType_ = s;
  if (s != stNone) AlphaSort();
}

void TCustomListView::SetSmallImages(TCustomImageList* il) {
  if (il == smallImages_) return;
  if (smallImages_ && smallImages_ != largeImages_) smallImages_->RemoveFreeNotification(this);
  if (smallImages_) smallImages_->UnRegisterChanges(smallLink_.get());
  smallImages_ = il;
  if (il) {
    il->FreeNotification(this);
    il->RegisterChanges(smallLink_.get());
  }
  ApplyImageLists();
}

void TCustomListView::SetLargeImages(TCustomImageList* il) {
  if (il == largeImages_) return;
  if (largeImages_ && smallImages_ != largeImages_) largeImages_->RemoveFreeNotification(this);
  if (largeImages_) largeImages_->UnRegisterChanges(largeLink_.get());
  largeImages_ = il;
  if (il) {
    il->FreeNotification(this);
    il->RegisterChanges(largeLink_.get());
  }
  ApplyImageLists();
}

void TCustomListView::ImageListChanged(TObject*) { ApplyImageLists(); }

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove) {
    bool changed = false;
    if (AComponent == smallImages_) {
      smallImages_ = nullptr;
      changed = true;
    }
    if (AComponent == largeImages_) {
      largeImages_ = nullptr;
      changed = true;
    }
    if (changed) ApplyImageLists();
  }
}

TListItem* TCustomListView::GetSelected() const { return GetNextItem(nullptr, sdAll, TItemStates{isSelected}); }

void TCustomListView::SetSelected(TListItem* item) {
  if (item) {
    item->SetSelected(true);
    return;
  }
  ClearSelection();
}

int TCustomListView::GetSelCount() const {
  if (handle_) return int(SendMessageW(handle_, LVM_GETSELECTEDCOUNT, 0, 0));
  int n = 0;
  for (TListItem* i : items_->items_) n += i->selected_;
  return n;
}

TListItem* TCustomListView::GetItemFocused() const { return GetNextItem(nullptr, sdAll, TItemStates{isFocused}); }

void TCustomListView::SetItemFocused(TListItem* item) {
  if (item) item->SetFocused(true);
  else if (TListItem* f = GetItemFocused()) f->SetFocused(false);
}

TListItem* TCustomListView::GetNextItem(TListItem* start, TSearchDirection dir, TItemStates states) const {
  int from = start ? items_->IndexOf(start) : -1;
  if (handle_) {
    static const UINT dirs[] = {LVNI_TOLEFT, LVNI_TORIGHT, LVNI_ABOVE, LVNI_BELOW, LVNI_ALL};
    UINT flags = dirs[dir];
    if (states.Contains(isSelected)) flags |= LVNI_SELECTED;
    if (states.Contains(isFocused)) flags |= LVNI_FOCUSED;
    if (states.Contains(isCut)) flags |= LVNI_CUT;
    if (states.Contains(isDropHilited)) flags |= LVNI_DROPHILITED;
    int i = int(SendMessageW(handle_, LVM_GETNEXTITEM, WPARAM(from), flags));
    return i >= 0 && i < items_->GetCount() ? items_->items_[size_t(i)] : nullptr;
  }
  for (int i = from + 1; i < items_->GetCount(); ++i) {
    TListItem* it = items_->items_[size_t(i)];
    if (states.Contains(isSelected) && !it->selected_) continue;
    if (states.Contains(isFocused) && !it->focused_) continue;
    return it;
  }
  return nullptr;
}

std::vector<int> TCustomListView::GetSelectedRows() const {
  std::vector<int> rows;
  const int count = items_->GetCount();
  if (!handle_) {
    for (int i = 0; i < count; ++i)
      if (items_->items_[size_t(i)]->selected_) rows.push_back(i);
    return rows;
  }
  const int selected = int(SendMessageW(handle_, LVM_GETSELECTEDCOUNT, 0, 0));
  rows.reserve(size_t(std::max(0, selected)));
  // Every row: no walk (a message per row).
  if (selected >= count) {
    for (int i = 0; i < count; ++i) rows.push_back(i);
    return rows;
  }
  for (int i = -1; (i = int(SendMessageW(handle_, LVM_GETNEXTITEM, WPARAM(i), LVNI_ALL | LVNI_SELECTED))) >= 0 &&
                   i < count;)
    rows.push_back(i);
  return rows;
}

void TCustomListView::SelectRows(const std::vector<int>& rows) {
  const int count = items_->GetCount();
  if (rows.empty()) return;
  if (!handle_) {
    if (!multiSelect_) {
      if (rows.back() >= 0 && rows.back() < count) items_->items_[size_t(rows.back())]->SetSelected(true);
      return;
    }
    for (int i : rows)
      if (i >= 0 && i < count) items_->items_[size_t(i)]->selected_ = true;
    return;
  }
  LVITEMW it{};
  it.stateMask = it.state = LVIS_SELECTED;
  if (multiSelect_ && int(rows.size()) >= count) {
    SendMessageW(handle_, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
    return;
  }
  for (int i : rows)
    if (i >= 0 && i < count) SendMessageW(handle_, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&it));
}

TListItem* TCustomListView::GetItemAt(int x, int y) const {
  if (!handle_) return nullptr;
  LVHITTESTINFO hi{};
  hi.pt = POINT{x, y};
  int i = int(SendMessageW(handle_, LVM_HITTEST, 0, LPARAM(&hi)));
  if (i >= 0 && (hi.flags & LVHT_ONITEM) && i < items_->GetCount()) return items_->items_[size_t(i)];
  return nullptr;
}

TListItem* TCustomListView::GetTopItem() const {
  if (!handle_ || items_->GetCount() == 0) return nullptr;
  int i = int(SendMessageW(handle_, LVM_GETTOPINDEX, 0, 0));
  return i >= 0 && i < items_->GetCount() ? items_->items_[size_t(i)] : nullptr;
}

TListItem* TCustomListView::FindCaption(int startIndex, const String& value, bool partial, bool inclusive,
                                        bool wrap) const {
  int n = items_->GetCount();
  if (n == 0) return nullptr;
  int first = inclusive ? startIndex : startIndex + 1;
  for (int k = 0; k < n; ++k) {
    int i = first + k;
    if (i >= n) {
      if (!wrap) break;
      i -= n;
    }
    if (i < 0) continue;
    const String& c = items_->items_[size_t(i)]->caption_;
    bool match = partial ? (c.size() >= value.size() && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, c.c_str(),
                                                                        int(value.size()), value.c_str(),
                                                                        int(value.size())) == CSTR_EQUAL)
                         : CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, c.c_str(), int(c.size()),
                                          value.c_str(), int(value.size())) == CSTR_EQUAL;
    if (match) return items_->items_[size_t(i)];
  }
  return nullptr;
}

TListItem* TCustomListView::FindData(int startIndex, void* value, bool inclusive, bool wrap) const {
  int n = items_->GetCount();
  int first = inclusive ? startIndex : startIndex + 1;
  for (int k = 0; k < n; ++k) {
    int i = first + k;
    if (i >= n) {
      if (!wrap) break;
      i -= n;
    }
    if (i >= 0 && items_->items_[size_t(i)]->data_ == value) return items_->items_[size_t(i)];
  }
  return nullptr;
}

void TCustomListView::ClearSelection() {
  if (handle_) {
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED;
    SendMessageW(handle_, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
  } else {
    for (TListItem* i : items_->items_) i->selected_ = false;
  }
}

void TCustomListView::SelectAll() {
  if (!multiSelect_) return;
  if (handle_) {
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED;
    it.state = LVIS_SELECTED;
    SendMessageW(handle_, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
  } else {
    for (TListItem* i : items_->items_) i->selected_ = true;
  }
}

bool TCustomListView::IsEditing() const { return handle_ && SendMessageW(handle_, LVM_GETEDITCONTROL, 0, 0) != 0; }

void TCustomListView::Scroll(int dx, int dy) {
  if (handle_) SendMessageW(handle_, LVM_SCROLL, WPARAM(dx), LPARAM(dy));
}

int CALLBACK TCustomListView::ModelOrderCompare(LPARAM a, LPARAM b, LPARAM) {
  int ka = reinterpret_cast<TListItem*>(a)->sortKey_, kb = reinterpret_cast<TListItem*>(b)->sortKey_;
  return ka < kb ? -1 : ka > kb ? 1 : 0;
}

int CALLBACK TCustomListView::DefaultCompare(LPARAM a, LPARAM b, LPARAM data) {
  auto* ia = reinterpret_cast<TListItem*>(a);
  auto* ib = reinterpret_cast<TListItem*>(b);
  TCustomListView* lv = ia->GetListView();
  if (lv->OnCompare) {
    int r = 0;
    lv->OnCompare(lv, ia, ib, int(data), r);
    return r;
  }
  return lstrcmpW(ia->caption_.c_str(), ib->caption_.c_str());
}

void TCustomListView::SortModelFromWindow() {
  int n = int(SendMessageW(handle_, LVM_GETITEMCOUNT, 0, 0));
  std::vector<TListItem*> order;
  order.reserve(size_t(n));
  for (int i = 0; i < n; ++i) {
    LVITEMW it{};
    it.mask = LVIF_PARAM;
    it.iItem = i;
    SendMessageW(handle_, LVM_GETITEMW, 0, LPARAM(&it));
    order.push_back(reinterpret_cast<TListItem*>(it.lParam));
  }
  if (int(order.size()) == items_->GetCount()) items_->items_ = order;
}

bool TCustomListView::AlphaSort() { return CustomSort(nullptr, 0); }

bool TCustomListView::CustomSort(TLVCompare compare, LPARAM data) {
  // The comparison runs in C++ over the items (a failing comparison cannot
  // unwind through the control), then the window takes the same order.
  auto& v = items_->items_;
  TLVCompare cmp = compare ? compare : &TCustomListView::DefaultCompare;
  auto less = [&](TListItem* a, TListItem* b) { return cmp(LPARAM(a), LPARAM(b), data) < 0; };
  // Items already in order stay as they are (a stable sort would not move
  // them): the window keeps its order and needs no round of messages.
  if (std::is_sorted(v.begin(), v.end(), less)) return true;
  std::stable_sort(v.begin(), v.end(), less);
  if (handle_) {
    SortWindowByModel();
    SortModelFromWindow();
  }
  return true;
}

bool TCustomListView::SortInOrder(std::vector<TListItem*> order) {
  auto& v = items_->items_;
  if (order.size() != v.size()) return false;
  if (order == v) return true;
  v.swap(order);
  // Each item has its own place: the window's sort can give no other order.
  if (handle_) SortWindowByModel();
  return true;
}

void TCustomListView::SortWindowByModel() {
  auto& v = items_->items_;
  for (size_t i = 0; i < v.size(); ++i) v[i]->sortKey_ = int(i);
  SendMessageW(handle_, LVM_SORTITEMS, 0, LPARAM(&TCustomListView::ModelOrderCompare));
}

bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = !readOnly_;
  if (OnEditing) OnEditing(this, item, allow);
  return allow;
}

void TCustomListView::Edit(const LVITEMW& item) {
  // The item is the one the edit began on, never whichever item now stands
  // in its row.
  auto* li = reinterpret_cast<TListItem*>(item.lParam);
  if (!li || !item.pszText || items_->IndexOf(li) < 0) return;
  String s = item.pszText;
  if (OnEdited) OnEdited(this, li, s);
  // The item may be gone by now (the handler can delete it).
  if (items_->IndexOf(li) >= 0) li->SetCaption(s);
}

namespace {
// On the watched edit box: its list view, and the procedure it had before.
const wchar_t* const kEditBoxProp = L"ZembrioListViewEdit";
const wchar_t* const kEditBoxProcProp = L"ZembrioListViewEditProc";
}  // namespace

void TCustomListView::DropEdit(TListItem* gone) {
  if (!editItem_ || (gone && gone != editItem_)) return;
  editItem_ = nullptr;
  // The box closes as by Escape: its end passes nothing on.
  if (editRunning_) editCancelled_ = true;
  if (handle_ && SendMessageW(handle_, LVM_GETEDITCONTROL, 0, 0)) SendMessageW(handle_, LVM_CANCELEDITLABEL, 0, 0);
}

void TCustomListView::WatchEditBox(HWND edit) {
  UnwatchEditBox();
  editBox_ = edit;
  SetPropW(edit, kEditBoxProp, this);
  SetPropW(edit, kEditBoxProcProp,
           reinterpret_cast<HANDLE>(SetWindowLongPtrW(edit, GWLP_WNDPROC, LONG_PTR(&TCustomListView::EditBoxProc))));
}

void TCustomListView::UnwatchEditBox() {
  if (!editBox_) return;
  // Another procedure put over this one keeps it in its chain until the
  // box goes.
  if (IsWindow(editBox_) && GetPropW(editBox_, kEditBoxProp) == this &&
      GetWindowLongPtrW(editBox_, GWLP_WNDPROC) == LONG_PTR(&TCustomListView::EditBoxProc)) {
    SetWindowLongPtrW(editBox_, GWLP_WNDPROC, LONG_PTR(GetPropW(editBox_, kEditBoxProcProp)));
    RemovePropW(editBox_, kEditBoxProp);
    RemovePropW(editBox_, kEditBoxProcProp);
  }
  editBox_ = nullptr;
}

LRESULT CALLBACK TCustomListView::EditBoxProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  auto* lv = static_cast<TCustomListView*>(GetPropW(wnd, kEditBoxProp));
  const auto def = reinterpret_cast<WNDPROC>(GetPropW(wnd, kEditBoxProcProp));
  if (!lv || !def) return DefWindowProcW(wnd, msg, w, l);
  if (msg == WM_KEYDOWN && w == VK_ESCAPE && lv->editBox_ == wnd) lv->editCancelled_ = true;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, LONG_PTR(def));
    RemovePropW(wnd, kEditBoxProp);
    RemovePropW(wnd, kEditBoxProcProp);
    if (lv->editBox_ == wnd) lv->editBox_ = nullptr;
  }
  return CallWindowProcW(def, wnd, msg, w, l);
}

void TCustomListView::ColClick(TListColumn* column) {
  if (OnColumnClick) OnColumnClick(this, column);
}

void TCustomListView::StateChanged(int From, int To, UINT OldState, UINT NewState) {
  if (!OnChange && !OnSelectItem) return;
  const bool was = (OldState & LVIS_SELECTED) != 0, now = (NewState & LVIS_SELECTED) != 0;
  for (int i = std::max(From, 0); i <= To && i < items_->GetCount(); ++i) {
    TListItem* item = items_->items_[size_t(i)];
    if (OnChange) OnChange(this, item, ctState);
    if (was != now && items_->IndexOf(item) >= 0) DoSelectItem(item, now);
  }
}

void TCustomListView::DoSelectItem(TListItem* item, bool selected) {
  if (OnSelectItem) OnSelectItem(this, item, selected);
}

void TCustomListView::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  m.Result = 0;
  switch (hdr->code) {
    case LVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(m.LParam);
      auto* item = reinterpret_cast<TListItem*>(di->item.lParam);
      if (!item) {
        if (di->item.iItem >= 0 && di->item.iItem < items_->GetCount()) item = items_->items_[size_t(di->item.iItem)];
        else return;
      }
      if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
        String t;
        if (di->item.iSubItem == 0) t = item->caption_;
        else if (di->item.iSubItem - 1 < item->subItems_->GetCount()) t = item->subItems_->Get(di->item.iSubItem - 1);
        size_t n = std::min(t.size(), size_t(di->item.cchTextMax - 1));
        std::memcpy(di->item.pszText, t.data(), n * sizeof(wchar_t));
        di->item.pszText[n] = 0;
      }
      if (di->item.mask & LVIF_IMAGE) di->item.iImage = di->item.iSubItem == 0 ? item->imageIndex_ : -1;
      return;
    }
    case LVN_BEGINLABELEDITW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(m.LParam);
      TListItem* item = di->item.iItem >= 0 && di->item.iItem < items_->GetCount() ? items_->items_[size_t(di->item.iItem)] : nullptr;
      const bool allow = item && CanEdit(item);
      m.Result = allow ? FALSE : TRUE;
      // The control fills its edit box through the display callback, whose
      // buffer is shorter than a caption may be: the box gets the whole
      // caption, and room for the length the list allows (any length).
      if (allow) {
        editRunning_ = true;
        editCancelled_ = false;
        editItem_ = item;
        if (HWND edit = HWND(SendMessageW(handle_, LVM_GETEDITCONTROL, 0, 0))) {
          SendMessageW(edit, EM_SETLIMITTEXT, WPARAM(editMaxLength_), 0);
          SetWindowTextW(edit, item->caption_.c_str());
          SendMessageW(edit, EM_SETSEL, 0, -1);
          WatchEditBox(edit);
        }
      }
      return;
    }
    case LVN_ENDLABELEDITW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(m.LParam);
      m.Result = FALSE;  // the caption lives in the item
      // One end per edit, and none for an edit ended by Escape: the system
      // may report the end again as the box goes away.
      TListItem* edited = editItem_;
      const bool accepted = editRunning_ && !editCancelled_ && edited;
      editRunning_ = false;
      editCancelled_ = false;
      editItem_ = nullptr;
      HWND edit = editBox_ && IsWindow(editBox_) ? editBox_ : HWND(SendMessageW(handle_, LVM_GETEDITCONTROL, 0, 0));
      UnwatchEditBox();
      // The control's copy of the text may be cut short, and some systems
      // pass none for an emptied box or for a text equal to their (cut
      // short) copy of the caption: the edit box holds what was typed.
      if (!accepted || (!di->item.pszText && !edit)) return;
      LVITEMW it = di->item;
      it.iItem = items_->IndexOf(edited);
      if (it.iItem < 0) return;
      it.lParam = LPARAM(edited);
      String text;
      if (edit) {
        text.resize(size_t(GetWindowTextLengthW(edit)) + 1);
        text.resize(size_t(GetWindowTextW(edit, &text[0], int(text.size()))));
        it.pszText = &text[0];
      }
      Edit(it);
      return;
    }
    case LVN_COLUMNCLICK: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
      if (nm->iSubItem >= 0 && nm->iSubItem < columns_->GetCount()) ColClick(columns_->columns_[size_t(nm->iSubItem)]);
      return;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
      if (clearing_ || !(nm->uChanged & LVIF_STATE) || nm->iItem >= items_->GetCount()) return;
      // A virtual list reports a change of every row at once (item -1).
      if (nm->iItem < 0) StateChanged(0, items_->GetCount() - 1, nm->uOldState, nm->uNewState);
      else StateChanged(nm->iItem, nm->iItem, nm->uOldState, nm->uNewState);
      return;
    }
    case LVN_ODSTATECHANGED: {
      // A virtual list reports a run of rows whose state changed together.
      auto* nm = reinterpret_cast<NMLVODSTATECHANGE*>(m.LParam);
      if (!clearing_) StateChanged(nm->iFrom, std::min(nm->iTo, items_->GetCount() - 1), nm->uOldState, nm->uNewState);
      return;
    }
    case LVN_DELETEITEM:
    case LVN_DELETEALLITEMS:
      // Items leave through TListItems; the window only follows.
      m.Result = hdr->code == LVN_DELETEALLITEMS ? TRUE : 0;
      return;
    case NM_CLICK:
      Click();
      return;
    case NM_DBLCLK:
      DblClick();
      return;
    default: break;
  }
  DefaultHandler(m);
}

void TCustomListView::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY:
      CNNotify(m);
      return;
    case WM_NOTIFY: {
      // The header's notifications come here; its size changes may need the
      // auto-sized column to follow.
      TWinControl::WndProc(m);
      auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
      if (hdr->code == HDN_ENDTRACKW || hdr->code == HDN_ENDTRACKA) PostMessageW(handle_, CM_CHANGED, 0, 0);
      return;
    }
    case CM_CHANGED:
      UpdateColumns();
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      UpdateColumns();
      return;
    case WM_CREATE:
      // A new window is set up (font, styles, image lists, columns, items)
      // with the redrawing off: the list lays out its header once, when
      // CreateWnd turns it on again.
      TWinControl::WndProc(m);
      if (makingWindow_ && m.Result == 0) SendMessageW(handle_, WM_SETREDRAW, FALSE, 0);
      return;
    case CM_COLORCHANGED:
      TWinControl::WndProc(m);
      if (handle_) {
        ListView_SetBkColor(handle_, ColorToRef(color_));
        ListView_SetTextBkColor(handle_, ColorToRef(color_));
      }
      return;
    case CM_FONTCHANGED:
      TWinControl::WndProc(m);
      if (handle_) ListView_SetTextColor(handle_, ColorToRef(font_->GetColor()));
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  visible_ = false;
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  if (pageControl_) pageControl_->RemovePage(this);
  SetParent(pc);
  if (pc) pc->InsertPage(this);
}

int TTabSheet::GetPageIndex() const {
  if (!pageControl_) return -1;
  for (int i = 0; i < pageControl_->PageCount(); ++i)
    if (pageControl_->Pages(i) == this) return i;
  return -1;
}

void TTabSheet::SetPageIndex(int i) {
  if (pageControl_) pageControl_->MovePage(this, i);
}

int TTabSheet::GetTabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int n = 0;
  for (int i = 0; i < pageControl_->PageCount(); ++i) {
    TTabSheet* p = pageControl_->Pages(i);
    if (p == this) return n;
    if (p->tabVisible_) ++n;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool v) {
  if (v == tabVisible_) return;
  tabVisible_ = v;
  if (pageControl_) {
    pageControl_->UpdateTabs();
    if (!v && pageControl_->GetActivePage() == this) {
      TTabSheet* next = pageControl_->FindNextPage(this, true, true);
      pageControl_->SetActivePage(next != this ? next : nullptr);
    }
  }
}

void TTabSheet::SetImageIndex(int i) {
  if (i == imageIndex_) return;
  imageIndex_ = i;
  if (pageControl_) pageControl_->UpdateTabs();
}

void TTabSheet::WndProc(TMessage& m) {
  if (m.Msg == CM_TEXTCHANGED) {
    if (pageControl_) pageControl_->UpdateTabs();
    return;
  }
  if (m.Msg == CM_VISIBLECHANGED) {
    TWinControl::WndProc(m);
    if (visible_) {
      if (OnShow) OnShow(this);
    } else if (OnHide) {
      OnHide(this);
    }
    return;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner), imagesLink_(std::make_unique<TChangeLink>()) {
  imagesLink_->OnChange = TNotifyEvent(this, &TPageControl::ImageListChanged);
  ControlStyle = TControlStyle{csAcceptsControls, csDoubleClicks};
  width_ = 289;
  height_ = 193;
  tabStop_ = true;
}

TPageControl::~TPageControl() {
  // The sheets are children and go with the control; forget them first.
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
  if (images_) images_->RemoveFreeNotification(this);
}

void TPageControl::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_TAB_CLASSES);
  TWinControl::CreateParams(p);
  CreateSubClass(p, WC_TABCONTROLW);
  p.Style |= WS_CLIPCHILDREN;
  if (multiLine_) p.Style |= TCS_MULTILINE;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TPageControl::SetMultiLine(bool Value) {
  if (Value == multiLine_) return;
  multiLine_ = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TPageControl::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(handle_, CCM_SETUNICODEFORMAT, TRUE, 0);
  if (images_) SendMessageW(handle_, TCM_SETIMAGELIST, 0, LPARAM(images_->GetHandle()));
  UpdateTabs();
}

void TPageControl::InsertPage(TTabSheet* page) {
  if (std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
  pages_.push_back(page);
  page->pageControl_ = this;
  UpdateTabs();
  if (!activePage_ && page->tabVisible_) SetActivePage(page);
  else page->SetVisible(page == activePage_);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  TTabSheet* next = activePage_ == page ? FindNextPage(page, true, true) : activePage_;
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (next == page) next = nullptr;
  if (activePage_ == page) activePage_ = nullptr;
  UpdateTabs();
  if (next != activePage_) SetActivePage(next);
}

void TPageControl::MovePage(TTabSheet* page, int newIndex) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  if (newIndex < 0 || newIndex >= int(pages_.size())) IndexError(newIndex);
  pages_.erase(it);
  pages_.insert(pages_.begin() + newIndex, page);
  UpdateTabs();
}

int TPageControl::TabCount() const {
  int n = 0;
  for (TTabSheet* p : pages_) n += p->tabVisible_;
  return n;
}

void TPageControl::UpdateTabs() {
  if (!handle_) return;
  SendMessageW(handle_, TCM_DELETEALLITEMS, 0, 0);
  int n = 0;
  for (TTabSheet* p : pages_) {
    if (!p->tabVisible_) continue;
    String caption = p->text_;
    if (p->HandleAllocated()) caption = p->GetText();
    TCITEMW ti{};
    ti.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    ti.pszText = const_cast<LPWSTR>(caption.c_str());
    ti.iImage = p->imageIndex_;
    ti.lParam = LPARAM(p);
    SendMessageW(handle_, TCM_INSERTITEMW, WPARAM(n++), LPARAM(&ti));
  }
  if (activePage_) SendMessageW(handle_, TCM_SETCURSEL, WPARAM(activePage_->GetTabIndex()), 0);
  Realign();
}

TRect TPageControl::GetDisplayRect() {
  TRect r = GetClientRect();
  AdjustClientRect(r);
  return r;
}

void TPageControl::AdjustClientRect(TRect& r) {
  if (handle_) {
    SendMessageW(handle_, TCM_ADJUSTRECT, FALSE, LPARAM(&r));
  } else {
    // An estimate until the window exists: one row of tabs.
    r.left += 4;
    r.right -= 4;
    r.top += 24;
    r.bottom -= 4;
  }
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
}

void TPageControl::AlignControls(TControl* aControl, TRect& r) {
  for (TTabSheet* p : pages_) p->SetBounds(r.left, r.top, RectWidth(r), RectHeight(r));
  TWinControl::AlignControls(aControl, r);
}

int TPageControl::GetActivePageIndex() const {
  if (!activePage_) return -1;
  return activePage_->GetPageIndex();
}

void TPageControl::SetActivePageIndex(int i) {
  if (i < 0 || i >= int(pages_.size())) SetActivePage(nullptr);
  else SetActivePage(pages_[size_t(i)]);
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  if (page) {
    TRect r = GetDisplayRect();
    page->SetBounds(r.left, r.top, RectWidth(r), RectHeight(r));
    page->BringToFront();
    page->SetVisible(true);
  }
  if (old && old != page) old->SetVisible(false);
  if (handle_) SendMessageW(handle_, TCM_SETCURSEL, page ? WPARAM(page->GetTabIndex()) : WPARAM(-1), 0);
  // A page's control that had the focus gives it to the new page.
  if (TCustomForm* f = GetParentForm()) {
    TWinControl* ac = f->GetActiveControl();
    if (ac && old && old->ContainsControl(ac)) {
      if (page && page->CanFocus()) {
        TWinControl* next = page->FindNextControl(nullptr, true, true, false);
        (next ? next : static_cast<TWinControl*>(this))->SetFocus();
      } else if (CanFocus()) {
        SetFocus();
      }
    }
  }
}

void TPageControl::ShowActive() {
  for (TTabSheet* p : pages_) p->SetVisible(p == activePage_);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* cur, bool goForward, bool checkTabVisible) const {
  int n = int(pages_.size());
  if (n == 0) return nullptr;
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (pages_[size_t(i)] == cur) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TTabSheet* p = pages_[size_t(i)];
    if (!checkTabVisible || p->tabVisible_) return p;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward) {
  TTabSheet* p = FindNextPage(activePage_, goForward, true);
  if (p && p != activePage_ && CanChange()) {
    SetActivePage(p);
    Change();
  }
}

void TPageControl::TurnPageByKey(bool goForward) {
  TCustomForm* f = GetParentForm();
  TTabSheet* before = activePage_;
  const bool onPage = f && before && f->GetActiveControl() && before->ContainsControl(f->GetActiveControl());
  SelectNextPage(goForward);
  if (!onPage || !activePage_ || activePage_ == before) return;
  // The keyboard went on to the new page's first control before the change
  // event, which may have set its text anew: an edit's text is selected
  // again, as when Tab brings the keyboard to it.
  TWinControl* first = activePage_->FindNextControl(nullptr, true, true, false);
  auto* edit = dynamic_cast<TCustomEdit*>(first);
  if (edit && f->GetActiveControl() == edit && edit->GetAutoSelect() && !dynamic_cast<TCustomMemo*>(edit))
    edit->SelectAll();
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

void TPageControl::SetImages(TCustomImageList* il) {
  if (il == images_) return;
  if (images_) {
    images_->RemoveFreeNotification(this);
    images_->UnRegisterChanges(imagesLink_.get());
  }
  images_ = il;
  if (il) {
    il->FreeNotification(this);
    il->RegisterChanges(imagesLink_.get());
  }
  if (handle_) SendMessageW(handle_, TCM_SETIMAGELIST, 0, LPARAM(il ? il->GetHandle() : nullptr));
}

void TPageControl::ImageListChanged(TObject*) {
  if (handle_ && images_) SendMessageW(handle_, TCM_SETIMAGELIST, 0, LPARAM(images_->GetHandle()));
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) {
    images_ = nullptr;
    if (handle_) SendMessageW(handle_, TCM_SETIMAGELIST, 0, 0);
  }
}

void TPageControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
      if (hdr->code == TCN_SELCHANGING) {
        m.Result = CanChange() ? FALSE : TRUE;
        return;
      }
      if (hdr->code == TCN_SELCHANGE) {
        int tab = int(SendMessageW(handle_, TCM_GETCURSEL, 0, 0));
        TTabSheet* target = nullptr;
        for (TTabSheet* p : pages_)
          if (p->GetTabIndex() == tab) target = p;
        SetActivePage(target);
        Change();
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_SIZE:
      TWinControl::WndProc(m);
      Realign();
      return;
    case CM_TURNPAGE:
      // The keyboard is on the tabs or on a page, in no page control inside.
      TurnPageByKey(m.WParam != 0);
      m.Result = 1;
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// Status bar

void TStatusPanel::SetText(const String& s) {
  if (s == text_) return;
  text_ = s;
  owner_->owner_->UpdatePanel(GetIndex());
}

void TStatusPanel::SetWidth(int w) {
  width_ = w;
  owner_->owner_->UpdatePanels(true, false);
}

void TStatusPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  owner_->owner_->UpdatePanel(GetIndex());
}

void TStatusPanel::SetStyle(TStatusPanelStyle s) {
  style_ = s;
  owner_->owner_->UpdatePanel(GetIndex());
}

void TStatusPanel::SetBevel(TStatusPanelBevel b) {
  bevel_ = b;
  owner_->owner_->UpdatePanel(GetIndex());
}

TBiDiMode TStatusPanel::GetBiDiMode() const {
  return parentBiDiMode_ ? owner_->owner_->GetBiDiMode() : biDiMode_;
}

void TStatusPanel::SetBiDiMode(TBiDiMode v) {
  parentBiDiMode_ = false;
  biDiMode_ = v;
  owner_->owner_->UpdatePanel(GetIndex());
}

void TStatusPanel::SetParentBiDiMode(bool v) {
  parentBiDiMode_ = v;
  owner_->owner_->UpdatePanel(GetIndex());
}

int TStatusPanel::GetIndex() const {
  auto& v = owner_->panels_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : int(it - v.begin());
}

TStatusPanels::~TStatusPanels() {
  for (TStatusPanel* p : panels_) delete p;
}

TStatusPanel* TStatusPanels::Add() {
  auto* p = new TStatusPanel(this);
  panels_.push_back(p);
  owner_->UpdatePanels(true, true);
  return p;
}

void TStatusPanels::Delete(int index) {
  if (index < 0 || index >= GetCount()) IndexError(index);
  delete panels_[size_t(index)];
  panels_.erase(panels_.begin() + index);
  owner_->UpdatePanels(true, true);
}

void TStatusPanels::Clear() {
  for (TStatusPanel* p : panels_) delete p;
  panels_.clear();
  owner_->UpdatePanels(true, true);
}

TStatusPanel* TStatusPanels::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) IndexError(index);
  return panels_[size_t(index)];
}

void TStatusPanels::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) owner_->UpdatePanels(true, true);
}

TStatusBar::TStatusBar(TComponent* AOwner)
    : TWinControl(AOwner), panels_(std::make_unique<TStatusPanels>(this)), canvas_(std::make_unique<TCanvas>()) {
  ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
  align_ = alBottom;
  anchors_ = TAnchors{akLeft, akRight, akBottom};
  height_ = 19;
  width_ = 200;
}

TStatusBar::~TStatusBar() { DestroyHandle(); }

void TStatusBar::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_BAR_CLASSES);
  TWinControl::CreateParams(p);
  CreateSubClass(p, STATUSCLASSNAMEW);
  p.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (sizeGrip_) p.Style |= SBARS_SIZEGRIP;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(handle_, CCM_SETUNICODEFORMAT, TRUE, 0);
  SendMessageW(handle_, SB_SIMPLE, simplePanel_, 0);
  UpdatePanels(true, true);
  if (simplePanel_) SendMessageW(handle_, SB_SETTEXTW, 255 | SBT_NOBORDERS, LPARAM(simpleText_.c_str()));
}

void TStatusBar::AdjustSize() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->GetHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int h = std::max(19, int(tm.tmHeight) + 6);
  if (h != height_) SetHeight(h);
}

void TStatusBar::UpdatePanels(bool updateRects, bool updateText) {
  if (!handle_ || panels_->updateCount_ > 0) return;
  int n = panels_->GetCount();
  if (updateRects) {
    std::vector<int> edges(size_t(std::max(1, n)), -1);
    int pos = 0;
    for (int i = 0; i < n - 1; ++i) {
      pos += panels_->panels_[size_t(i)]->width_;
      edges[size_t(i)] = pos;
    }
    SendMessageW(handle_, SB_SETPARTS, WPARAM(std::max(1, n)), LPARAM(edges.data()));
  }
  if (updateText)
    for (int i = 0; i < n; ++i) UpdatePanel(i);
}

void TStatusBar::UpdatePanel(int index) {
  if (!handle_ || index < 0 || index >= panels_->GetCount() || panels_->updateCount_ > 0) return;
  TStatusPanel* p = panels_->panels_[size_t(index)];
  WPARAM flags = WPARAM(index);
  if (p->style_ == psOwnerDraw) flags |= SBT_OWNERDRAW;
  if (p->bevel_ == pbNone) flags |= SBT_NOBORDERS;
  if (p->bevel_ == pbRaised) flags |= SBT_POPOUT;
  if (p->UseRightToLeftReading()) flags |= SBT_RTLREADING;
  String t;
  if (p->alignment_ == taCenter) t = L"\t" + p->text_;
  else if (p->alignment_ == taRightJustify) t = L"\t\t" + p->text_;
  else t = p->text_;
  if (p->style_ == psOwnerDraw) SendMessageW(handle_, SB_SETTEXTW, flags, LPARAM(p));
  else SendMessageW(handle_, SB_SETTEXTW, flags, LPARAM(t.c_str()));
}

String TStatusBar::GetPanelWindowText(int index) {
  HWND h = GetHandle();
  LRESULT r = SendMessageW(h, SB_GETTEXTLENGTHW, WPARAM(index), 0);
  String s(size_t(LOWORD(r)) + 1, L'\0');
  SendMessageW(h, SB_GETTEXTW, WPARAM(index), LPARAM(s.data()));
  s.resize(wcslen(s.c_str()));
  return s;
}

TRect TStatusBar::GetPanelRect(int index) {
  RECT r{};
  SendMessageW(GetHandle(), SB_GETRECT, WPARAM(index), LPARAM(&r));
  return r;
}

void TStatusBar::SetSimplePanel(bool v) {
  if (v == simplePanel_) return;
  simplePanel_ = v;
  if (handle_) {
    SendMessageW(handle_, SB_SIMPLE, v, 0);
    if (v) SendMessageW(handle_, SB_SETTEXTW, 255 | SBT_NOBORDERS, LPARAM(simpleText_.c_str()));
  }
}

void TStatusBar::SetSimpleText(const String& s) {
  simpleText_ = s;
  if (handle_ && simplePanel_) SendMessageW(handle_, SB_SETTEXTW, 255 | SBT_NOBORDERS, LPARAM(s.c_str()));
}

void TStatusBar::SetSizeGrip(bool v) {
  if (v == sizeGrip_) return;
  sizeGrip_ = v;
  RecreateWnd();
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& r) {
  if (OnDrawPanel) OnDrawPanel(this, panel, r);
  else canvas_->FillRect(r);
}

void TStatusBar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      int i = int(d->itemID);
      if (i >= 0 && i < panels_->GetCount()) {
        canvas_->SetHandle(d->hDC);
        canvas_->Font()->Assign(*font_);
        canvas_->Brush()->SetColor(clBtnFace);
        canvas_->Brush()->SetStyle(bsSolid);
        try {
          DrawPanel(panels_->panels_[size_t(i)], d->rcItem);
        } catch (...) {
          canvas_->SetHandle(nullptr);
          throw;
        }
        canvas_->SetHandle(nullptr);
      }
      m.Result = 1;
      return;
    }
    case CM_FONTCHANGED:
      TWinControl::WndProc(m);
      AdjustSize();
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      Invalidate();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  width_ = 150;
  height_ = 16;
}

void TProgressBar::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_PROGRESS_CLASS);
  TWinControl::CreateParams(p);
  CreateSubClass(p, PROGRESS_CLASSW);
  if (smooth_) p.Style |= PBS_SMOOTH;
  if (orientation_ == pbVertical) p.Style |= PBS_VERTICAL;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TProgressBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
  SendMessageW(handle_, PBM_SETSTEP, WPARAM(step_), 0);
  SendMessageW(handle_, PBM_SETPOS, WPARAM(position_), 0);
}

void TProgressBar::SaveWindowState() { position_ = int(SendMessageW(handle_, PBM_GETPOS, 0, 0)); }

void TProgressBar::SetMin(int v) {
  if (v > max_) throw EInvalidOperation(L"Property value out of range");
  min_ = v;
  if (position_ < min_) position_ = min_;
  if (handle_) SendMessageW(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

void TProgressBar::SetMax(int v) {
  if (v < min_) throw EInvalidOperation(L"Property value out of range");
  max_ = v;
  if (position_ > max_) position_ = max_;
  if (handle_) SendMessageW(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

int TProgressBar::GetPosition() {
  if (handle_) position_ = int(SendMessageW(handle_, PBM_GETPOS, 0, 0));
  return position_;
}

void TProgressBar::SetPosition(int v) {
  position_ = std::clamp(v, min_, max_);
  if (handle_) SendMessageW(handle_, PBM_SETPOS, WPARAM(position_), 0);
}

void TProgressBar::SetStep(int v) {
  step_ = v;
  if (handle_) SendMessageW(handle_, PBM_SETSTEP, WPARAM(v), 0);
}

void TProgressBar::StepIt() { StepBy(step_); }

void TProgressBar::StepBy(int delta) {
  // Past the end the bar starts again from its minimum, as the control does.
  int p = GetPosition() + delta;
  if (p > max_) p = min_ + (p - max_ - 1) % std::max(1, max_ - min_ + 1);
  if (p < min_) p = min_;
  position_ = p;
  if (handle_) SendMessageW(handle_, PBM_SETPOS, WPARAM(p), 0);
}

void TProgressBar::SetSmooth(bool v) {
  if (v == smooth_) return;
  smooth_ = v;
  RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation o) {
  if (o == orientation_) return;
  orientation_ = o;
  RecreateWnd();
}

// --- TTrackBar ---------------------------------------------------------------

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner) {
  tabStop_ = true;
  SetBounds(left_, top_, 150, 45);
}

void TTrackBar::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_BAR_CLASSES);
  TWinControl::CreateParams(p);
  CreateSubClass(p, TRACKBAR_CLASSW);
  p.Style |= TBS_AUTOTICKS | (orientation_ == trVertical ? TBS_VERT : TBS_HORZ);
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TTrackBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(handle_, TBM_SETRANGEMIN, FALSE, min_);
  SendMessageW(handle_, TBM_SETRANGEMAX, FALSE, max_);
  SendMessageW(handle_, TBM_SETTICFREQ, WPARAM(frequency_), 0);
  SendMessageW(handle_, TBM_SETLINESIZE, 0, lineSize_);
  SendMessageW(handle_, TBM_SETPAGESIZE, 0, pageSize_);
  SendMessageW(handle_, TBM_SETPOS, TRUE, position_);
}

void TTrackBar::SaveWindowState() { position_ = int(SendMessageW(handle_, TBM_GETPOS, 0, 0)); }

void TTrackBar::SetRange(int AMin, int AMax) {
  if (AMax < AMin) AMax = AMin;
  min_ = AMin;
  max_ = AMax;
  if (handle_) {
    SendMessageW(handle_, TBM_SETRANGEMIN, FALSE, min_);
    SendMessageW(handle_, TBM_SETRANGEMAX, TRUE, max_);
  }
  SetPosition(std::clamp(GetPosition(), min_, max_));
}

int TTrackBar::GetPosition() {
  if (handle_) position_ = int(SendMessageW(handle_, TBM_GETPOS, 0, 0));
  return position_;
}

void TTrackBar::SetPosition(int Value) {
  Value = std::clamp(Value, min_, max_);
  if (Value == GetPosition()) return;
  position_ = Value;
  if (handle_) SendMessageW(handle_, TBM_SETPOS, TRUE, Value);
  Changed();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
  if (Value == orientation_) return;
  orientation_ = Value;
  if (!GetComponentState().Contains(csLoading)) SetBounds(left_, top_, height_, width_);
  RecreateWnd();
}

void TTrackBar::SetFrequency(int Value) {
  frequency_ = std::max(1, Value);
  if (handle_) SendMessageW(handle_, TBM_SETTICFREQ, WPARAM(frequency_), 0);
}

void TTrackBar::SetLineSize(int Value) {
  lineSize_ = Value;
  if (handle_) SendMessageW(handle_, TBM_SETLINESIZE, 0, Value);
}

void TTrackBar::SetPageSize(int Value) {
  pageSize_ = Value;
  if (handle_) SendMessageW(handle_, TBM_SETPAGESIZE, 0, Value);
}

void TTrackBar::Changed() {
  if (OnChange) OnChange(this);
}

void TTrackBar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_HSCROLL:
    case CN_VSCROLL: {
      const int p = int(SendMessageW(handle_, TBM_GETPOS, 0, 0));
      if (p != position_) {
        position_ = p;
        Changed();
      }
      m.Result = 0;
      return;
    }
    default: break;
  }
  TWinControl::WndProc(m);
}

// --- TAnimate ----------------------------------------------------------------

TAnimate::TAnimate(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(left_, top_, 100, 80); }

void TAnimate::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_ANIMATE_CLASS);
  TWinControl::CreateParams(p);
  CreateSubClass(p, ANIMATE_CLASSW);
  if (transparent_) p.Style |= ACS_TRANSPARENT;
  if (center_) p.Style |= ACS_CENTER;
}

void TAnimate::CreateWnd() {
  TWinControl::CreateWnd();
  OpenClip();
}

void TAnimate::OpenClip() {
  open_ = false;
  if (!handle_) return;
  if (!fileName_.empty())
    open_ = SendMessageW(handle_, ACM_OPENW, 0, LPARAM(fileName_.c_str())) != 0;
  else if (resId_)
    open_ = SendMessageW(handle_, ACM_OPENW, WPARAM(MainInstance()), LPARAM(MAKEINTRESOURCEW(resId_))) != 0;
  else
    SendMessageW(handle_, ACM_OPENW, 0, 0);  // closes
  if (open_ && OnOpen) OnOpen(this);
  if (open_ && active_) Play(0, -1, -1);
  if (!open_) active_ = false;
}

void TAnimate::SetFileName(const String& Value) {
  fileName_ = Value;
  resId_ = 0;
  OpenClip();
}

void TAnimate::SetResId(int Value) {
  resId_ = Value;
  fileName_.clear();
  OpenClip();
}

void TAnimate::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value) Play(0, -1, -1);
  else Stop();
}

void TAnimate::Play(int FromFrame, int ToFrame, int Count) {
  if (!handle_ || !open_) return;
  active_ = SendMessageW(handle_, ACM_PLAY, WPARAM(Count), MAKELPARAM(FromFrame, ToFrame)) != 0;
}

void TAnimate::Stop() {
  if (handle_) SendMessageW(handle_, ACM_STOP, 0, 0);
  active_ = false;
}

void TAnimate::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  RecreateWnd();
}

void TAnimate::SetCenter(bool Value) {
  if (Value == center_) return;
  center_ = Value;
  RecreateWnd();
}

void TAnimate::WndProc(TMessage& m) {
  if (m.Msg == CN_CTLCOLORSTATIC) {
    m.Result = DoCtlColor(HDC(m.WParam));
    return;
  }
  TWinControl::WndProc(m);
}

// --- TCustomRichEdit ---------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner) : TCustomMemo(AOwner) {}

void TCustomRichEdit::CreateParams(TCreateParams& p) {
  static const HMODULE lib = LoadLibraryW(L"riched20.dll");  // registers the class
  if (!lib) throw EOSError(L"The rich edit library could not be loaded");
  TCustomMemo::CreateParams(p);
  CreateSubClass(p, RICHEDIT_CLASSW);
}

void TCustomRichEdit::CreateWnd() {
  TCustomMemo::CreateWnd();
  SendMessageW(handle_, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
  SendMessageW(handle_, EM_SETTEXTMODE, plainText_ ? TM_PLAINTEXT : TM_RICHTEXT, 0);
}

namespace {
DWORD CALLBACK RichOut(DWORD_PTR cookie, LPBYTE buf, LONG n, LONG* done) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buf), size_t(n));
  *done = n;
  return 0;
}
struct RichIn {
  std::string data;
  size_t at = 0;
};
DWORD CALLBACK RichInProc(DWORD_PTR cookie, LPBYTE buf, LONG n, LONG* done) {
  auto* in = reinterpret_cast<RichIn*>(cookie);
  const size_t k = std::min(size_t(n), in->data.size() - in->at);
  memcpy(buf, in->data.data() + in->at, k);
  in->at += k;
  *done = LONG(k);
  return 0;
}
}  // namespace

String TCustomRichEdit::GetRichText() {
  std::string out;
  EDITSTREAM es{DWORD_PTR(&out), 0, RichOut};
  SendMessageW(GetHandle(), EM_STREAMOUT, SF_RTF, LPARAM(&es));
  return String(out.begin(), out.end());
}

void TCustomRichEdit::SetRichText(const String& Value) {
  RichIn in;
  for (wchar_t c : Value) {
    if (c < 0x80) in.data.push_back(char(c));
    else in.data += "\\u" + std::to_string(int(int16_t(c))) + "?";  // outside ASCII: a Unicode escape
  }
  EDITSTREAM es{DWORD_PTR(&in), 0, RichInProc};
  SendMessageW(GetHandle(), EM_STREAMIN, SF_RTF, LPARAM(&es));
}
