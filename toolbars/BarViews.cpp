// Views: the viewer list, layout, drawing, selection, keyboard navigation,
// child pop-ups and timers.
#include "toolbars/BarViews.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "toolbars/BarAcc.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarUtilsWin.h"

POINT BarLastMousePos{INT_MIN, 0};

namespace {
TFont* g_toolbarFont = nullptr;

bool IsSep(TBarItemViewer* V) { return V->Item->GetItemStyle().Contains(tbisSeparator); }
bool IsControlItem(TBarItemViewer* V) { return dynamic_cast<TBarControlItem*>(V->Item) != nullptr; }

TPoint MessagePos() {
  DWORD p = GetMessagePos();
  return TPoint{static_cast<short>(LOWORD(p)), static_cast<short>(HIWORD(p))};
}
}  // namespace

void BarInitToolbarSystemFont() {
  if (!g_toolbarFont) g_toolbarFont = new TFont();
  LOGFONTW lf = BarGetMenuLogFont();
  HFONT f = CreateFontIndirectW(&lf);
  g_toolbarFont->SetHandle(f);
  DeleteObject(f);
}

void BarFreeToolbarFont() {
  FreeAndNil(g_toolbarFont);
}

TFont* BarToolbarFont() {
  if (!g_toolbarFont) BarInitToolbarSystemFont();
  return g_toolbarFont;
}

// ---- construction --------------------------------------------------------------
TBarView::TBarView(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AParentItem,
                   TWinControl* AWindow, bool AIsToolbar, bool ACustomizing, bool AUsePriorityList)
    : TComponent(AOwner),
      Customizing(ACustomizing),
      IsPopup(!AIsToolbar),
      IsToolbar(AIsToolbar),
      ParentView(AParentView),
      UsePriorityList(AUsePriorityList),
      Window(AWindow) {
  parentItem_ = AParentItem;
  if (parentItem_) {
    parentItem_->RegisterNotification(TBarItemChangedProc(this, &TBarView::LinkNotification));
    parentItem_->FreeNotification(this);
  }
  UpdateCurParentItem();
}

TBarView::~TBarView() {
  CloseChildPopups();
  ReleaseAccObject();
  if (ParentView && ParentView->IsToolbar) {
    ParentView->State += vsNoAnimation;
    if (ParentView->OpenViewer) ParentView->Invalidate(ParentView->OpenViewer);
  }
  if (curParentItem_)
    curParentItem_->UnregisterNotification(TBarItemChangedProc(this, &TBarView::ItemNotification));
  if (parentItem_) {
    parentItem_->UnregisterNotification(TBarItemChangedProc(this, &TBarView::LinkNotification));
    parentItem_->RemoveFreeNotification(this);
  }
  FreeAndNil(priorityList_);
  FreeViewers();
  if (ChevronParentView) ChevronParentView->RemoveFreeNotification(this);
  if (ParentView) ParentView->NotifyFocusEvent();
}

void TBarView::UpdateCurParentItem() {
  TBarCustomItem* n = parentItem_ ? (parentItem_->GetLinkSubitems() ? parentItem_->GetLinkSubitems() : parentItem_) : nullptr;
  if (n == curParentItem_) return;
  CloseChildPopups();
  if (curParentItem_)
    curParentItem_->UnregisterNotification(TBarItemChangedProc(this, &TBarView::ItemNotification));
  curParentItem_ = n;
  if (n) n->RegisterNotification(TBarItemChangedProc(this, &TBarView::ItemNotification));
  RecreateAllViewers();
  // A designed item's actions are the designer's to update.
  if (n && !n->IsDesigning()) InitiateActions();
}

void TBarView::InitiateActions() {
  for (size_t i = 0; i < viewers_.size(); ++i) viewers_[i]->Item->InitiateAction();
}

void TBarView::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == parentItem_) {
    parentItem_ = nullptr;
    if (curParentItem_) {
      curParentItem_->UnregisterNotification(TBarItemChangedProc(this, &TBarView::ItemNotification));
      curParentItem_ = nullptr;
      CloseChildPopups();
      selected_ = nullptr;
      FreeViewers();
    }
    if (ParentView) ParentView->CloseChildPopups();
  } else if (curParentItem_ && AComponent == curParentItem_) {
    curParentItem_ = nullptr;
    UpdateCurParentItem();
  }
  if (AComponent == reinterpret_cast<TComponent*>(OpenViewerWindow)) {
    OpenViewer = nullptr;
    OpenViewerView = nullptr;
    OpenViewerWindow = nullptr;
  }
  if (AComponent == ChevronParentView) ChevronParentView = nullptr;
}

TFont* TBarView::GetFont() { return BarToolbarFont(); }

void TBarView::GetMargins(TBarViewOrientation AOrientation, TBarMargins& Margins) {
  if (AOrientation == tbvoFloating)
    Margins = TBarMargins{4, 2, 4, 1};
  else
    Margins = TBarMargins{};
}

// ---- viewer list ------------------------------------------------------------------
int TBarView::InsertItemViewers(int NewIndex, TBarCustomItem* AItem, int AGroupLevel,
                                bool AddToPriorityList, bool TopOfPriorityList) {
  if (AGroupLevel > 10) return 0;
  TBarItemViewer* v = AItem->GetItemViewerClass(this)(this, AItem, AGroupLevel);
  viewers_.insert(viewers_.begin() + NewIndex, v);
  int n = 1;
  if (UsePriorityList && AddToPriorityList) {
    if (!priorityList_) priorityList_ = new std::vector<TBarItemViewer*>();
    if (TopOfPriorityList)
      priorityList_->insert(priorityList_->begin(), v);
    else
      priorityList_->push_back(v);
  }
  if (!Customizing && AItem->GetItemStyle().Contains(tbisEmbeddedGroup)) {
    TBarCustomItem* g = AItem->GetLinkSubitems() ? AItem->GetLinkSubitems() : AItem;
    for (int i = 0; i < g->Count(); ++i)
      n += InsertItemViewers(NewIndex + n, g->GetItem(i), AGroupLevel + 1, AddToPriorityList,
                             TopOfPriorityList);
  }
  return n;
}

void TBarView::FreeViewers() {
  while (!viewers_.empty()) {
    TBarItemViewer* v = viewers_.back();
    viewers_.pop_back();
    delete v;
  }
}

void TBarView::RecreateAllViewers() {
  CloseChildPopups();
  selected_ = nullptr;
  InvalidatePositions();
  FreeAndNil(priorityList_);
  FreeViewers();
  InternalViewersAtFront = 0;
  InternalViewersAtEnd = 0;
  if (TBarCustomItem* sys = GetMDISystemMenuItem())
    InternalViewersAtFront += InsertItemViewers(ViewerCount(), sys, 0, false, false);
  if (curParentItem_)
    for (int i = 0; i < curParentItem_->Count(); ++i)
      InsertItemViewers(ViewerCount(), curParentItem_->GetItem(i), 0, true, false);
  if (TBarCustomItem* mdi = GetMDIButtonsItem())
    for (int i = 0; i < mdi->Count(); ++i)
      InternalViewersAtEnd += InsertItemViewers(ViewerCount(), mdi->GetItem(i), 0, false, false);
  if (TBarCustomItem* ch = GetChevronItem())
    InternalViewersAtEnd += InsertItemViewers(ViewerCount(), ch, 0, false, false);
}

void TBarView::RecreateItemViewer(int I) {
  TBarItemViewer* old = viewers_[static_cast<size_t>(I)];
  TBarItemViewer* n = old->Item->GetItemViewerClass(this)(this, old->Item, old->GroupLevel);
  DeletingViewer(old);
  viewers_[static_cast<size_t>(I)] = n;
  if (priorityList_)
    std::replace(priorityList_->begin(), priorityList_->end(), old, n);
  delete old;
}

void TBarView::DeletingViewer(TBarItemViewer* V) {
  if (selected_ == V) selected_ = nullptr;
  if (OpenViewer == V) CloseChildPopups();
}

void TBarView::RemoveViewer(int I) {
  TBarItemViewer* v = viewers_[static_cast<size_t>(I)];
  DeletingViewer(v);
  if (priorityList_) {
    auto it = std::find(priorityList_->begin(), priorityList_->end(), v);
    if (it != priorityList_->end()) priorityList_->erase(it);
  }
  viewers_.erase(viewers_.begin() + I);
  delete v;
}

TBarItemViewer* TBarView::Find(TBarCustomItem* Item) {
  for (TBarItemViewer* v : viewers_)
    if (v->Item == Item) return v;
  throw EBarItemError(String(SBarViewerNotFound));
}

int TBarView::IndexOf(const TBarItemViewer* Viewer) const {
  if (!Viewer) return -1;
  auto it = std::find(viewers_.begin(), viewers_.end(), Viewer);
  return it == viewers_.end() ? -1 : static_cast<int>(it - viewers_.begin());
}

TBarItemViewer* TBarView::ViewerFromPoint(POINT P) {
  ValidatePositions();
  for (TBarItemViewer* v : viewers_)
    if (v->Show && PtInRect(&v->BoundsRect, P)) return v;
  return nullptr;
}

// ---- notifications -------------------------------------------------------------------
void TBarView::ItemNotification(TBarCustomItem* Sender, bool Relayed,
                                TBarItemChangedAction Action, int Index, TBarCustomItem* Item) {
  switch (Action) {
    case tbicInserted: {
      InvalidatePositions();
      int place = -1, level = 0;
      int runStart = 0, runEnd = ViewerCount();
      if (!Relayed || Sender == curParentItem_) {
        place = std::max(0, ViewerCount() - InternalViewersAtEnd);
        runStart = InternalViewersAtFront;
        runEnd = place;
      } else {
        // Relayed from an embedded group: find the group's run.
        int g = -1;
        for (int i = 0; i < ViewerCount(); ++i)
          if (viewers_[i]->Item == Sender) {
            g = i;
            break;
          }
        while (g >= 0) {
          level = viewers_[g]->GroupLevel + 1;
          int e = g + 1;
          bool has = false;
          while (e < ViewerCount() && viewers_[e]->GroupLevel >= level) {
            if (viewers_[e]->Item == Item && viewers_[e]->GroupLevel == level) has = true;
            ++e;
          }
          if (!has) {
            runStart = g + 1;
            runEnd = e;
            place = e;
            break;
          }
          int next = -1;
          for (int i = g + 1; i < ViewerCount(); ++i)
            if (viewers_[i]->Item == Sender) {
              next = i;
              break;
            }
          g = next;
        }
      }
      if (place < 0) break;
      TBarCustomItem* parent = Item->GetParent();
      if (parent && parent->IndexOf(Item) < parent->Count() - 1) {
        TBarCustomItem* nextSib = parent->GetItem(parent->IndexOf(Item) + 1);
        for (int i = runStart; i < runEnd; ++i)
          if (viewers_[i]->Item == nextSib && viewers_[i]->GroupLevel == level) {
            place = i;
            break;
          }
      }
      if (level <= 10)
        InsertItemViewers(place, Item, level, true, !Item->IsLoading());
      break;
    }
    case tbicDeleting: {
      InvalidatePositions();
      for (int i = ViewerCount() - 1; i >= 0; --i) {
        if (i >= ViewerCount()) continue;
        if (viewers_[i]->Item != Item) continue;
        int lvl = viewers_[i]->GroupLevel;
        while (i + 1 < ViewerCount() && viewers_[i + 1]->GroupLevel > lvl) RemoveViewer(i + 1);
        RemoveViewer(i);
      }
      break;
    }
    case tbicSubitemsChanged:
      RecreateAllViewers();
      break;
    case tbicSubitemsBeginUpdate:
      BeginUpdate();
      break;
    case tbicSubitemsEndUpdate:
      EndUpdate();
      break;
    case tbicInvalidate:
      for (TBarItemViewer* v : viewers_)
        if (v->Item == Item) Invalidate(v);
      break;
    case tbicInvalidateAndResize:
      InvalidatePositions();
      break;
    case tbicRecreateItemViewers:
      InvalidatePositions();
      for (int i = 0; i < ViewerCount(); ++i)
        if (viewers_[i]->Item == Item) RecreateItemViewer(i);
      break;
    case tbicNameChanged:
      break;
    case tbicSubMenuImagesChanged:
      ImagesChanged();
      break;
  }
  TryValidatePositions();
}

void TBarView::LinkNotification(TBarCustomItem*, bool, TBarItemChangedAction Action, int,
                                TBarCustomItem*) {
  if (Action == tbicSubitemsChanged)
    UpdateCurParentItem();
  else if (Action == tbicSubMenuImagesChanged && curParentItem_ != parentItem_)
    ImagesChanged();
}

void TBarView::ImagesChanged() {
  InvalidatePositions();
  if (OpenViewerView) OpenViewerView->ImagesChanged();
}

// ---- positions -----------------------------------------------------------------
void TBarView::InvalidatePositions() {
  if (!positionsValid_) return;
  positionsValid_ = false;
  if (Window && Window->HandleAllocated()) InvalidateRect(Window->GetHandle(), nullptr, TRUE);
}

void TBarView::ValidatePositions() {
  if (!positionsValid_) UpdatePositions();
}

void TBarView::TryValidatePositions() {
  if (updateCount_ > 0) return;
  if (parentItem_ && (parentItem_->IsLoading() ||
                      (parentItem_->GetOwner() && parentItem_->GetOwner()->IsLoading())))
    return;
  ValidatePositions();
}

void TBarView::BeginUpdate() { ++updateCount_; }

void TBarView::EndUpdate() {
  if (--updateCount_ <= 0) {
    updateCount_ = 0;
    TryValidatePositions();
  }
}

void TBarView::UpdatePositions() {
  POINT size{0, 0};
  DoUpdatePositions(size);
}

void TBarView::DoUpdatePositions(POINT& ASize) {
  bool moved = CalculatePositions(true, Orientation, WrapOffset, ChevronOffset, ChevronSize,
                                  BaseSize, ASize, WrappedLines);
  positionsValid_ = true;
  if (!moved) {
    AutoSize(ASize.x, ASize.y);
    return;
  }
  if (IsDesigning()) {
    // The designer's window is simply painted again.
    InvalidatePositions();
    positionsValid_ = true;
    AutoSize(ASize.x, ASize.y);
    return;
  }
  if (Window && Window->HandleAllocated()) ValidateRect(Window->GetHandle(), nullptr);
  AutoSize(ASize.x, ASize.y);
  RepaintNow();
}

void TBarView::RepaintNow() {
  if (!Window || !Window->HandleAllocated()) return;
  HWND w = Window->GetHandle();
  if (!IsWindowVisible(w)) return;
  RECT cr;
  GetClientRect(w, &cr);
  if (cr.right <= 0 || cr.bottom <= 0) return;
  HDC wdc = GetDC(w);
  HDC mem = CreateCompatibleDC(wdc);
  HBITMAP bmp = CreateCompatibleBitmap(wdc, cr.right, cr.bottom);
  HGDIOBJ old = SelectObject(mem, bmp);
  SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0);
  SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  BitBlt(wdc, 0, 0, cr.right, cr.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(w, wdc);
  ValidateRect(w, nullptr);
}

bool TBarView::CalculatePositions(bool CanMoveControls, TBarViewOrientation AOrientation,
                                  int AWrapOffset, int AChevronOffset, int AChevronSize,
                                  POINT& ABaseSize, POINT& TotalSize, int& AWrappedLines) {
  struct Rec {
    RECT R{};
    bool Show = false, OffEdge = false, LineSep = false, Clipped = false, SameWidth = false;
  };
  TBarViewOrientation savedOrientation = Orientation;
  Orientation = AOrientation;
  const bool vertical = AOrientation == tbvoVertical;
  const int n = ViewerCount();
  std::vector<Rec> rec(static_cast<size_t>(n));
  AWrappedLines = 1;
  TBarCustomItem* chevronItem = GetChevronItem();

  // 1. Visibility.
  bool prevSep = true;
  for (int i = 0; i < n; ++i) {
    TBarItemViewer* v = viewers_[i];
    TBarCustomItem* it = v->Item;
    if (chevronItem && it == chevronItem) continue;
    bool ctl = IsControlItem(v);
    if (ChevronParentView && !ctl) {
      int idx = ChevronParentView->InternalViewersAtFront + i;
      bool offEdge = idx < ChevronParentView->ViewerCount() && ChevronParentView->viewers_[idx]->OffEdge;
      if (!offEdge && !IsSep(v)) continue;
    }
    if (!ctl) {
      if (!it->GetItemStyle().Contains(tbisEmbeddedGroup) || Customizing) {
        if (it->GetVisible()) {
          bool sep = IsSep(v);
          rec[i].Show = !(sep && prevSep);
          prevSep = sep;
        }
      }
    } else {
      TControl* c = static_cast<TBarControlItem*>(it)->GetControl();
      rec[i].Show = c && c->GetParent() == Window && (c->GetVisible() || c->IsDesigning());
      prevSep = false;
    }
  }
  auto hideTrailingSeps = [&] {
    for (int i = n - 1; i >= 0; --i) {
      if (!rec[i].Show) continue;
      if (!IsSep(viewers_[i])) break;
      rec[i].Show = false;
    }
  };
  // 2.
  hideTrailingSeps();

  // 3. Measure, on a context like the screen's made once: taking the
  // screen's own for every layout pass is dear under Wine.
  static const HDC measuring = CreateCompatibleDC(nullptr);
  {
    TCanvas canvas;
    canvas.SetHandle(measuring);
    canvas.Font()->Assign(*GetFont());
    int sameMax = 0;
    for (int i = 0; i < n; ++i) {
      if (!rec[i].Show) continue;
      TBarItemViewer* v = viewers_[i];
      if (IsControlItem(v)) {
        TControl* c = static_cast<TBarControlItem*>(v->Item)->GetControl();
        rec[i].R = RECT{0, 0, c->GetWidth(), c->GetHeight()};
        continue;
      }
      TFontStyles oldStyle = canvas.Font()->GetStyle();
      if (v->Item->GetEffectiveOptions().Contains(tboDefault)) canvas.Font()->SetStyle(oldStyle + fsBold);
      std::unique_ptr<TBarItemViewer> temp;
      TBarItemViewer* m = v;
      if (v->Item->NeedToRecreateViewer(v)) {
        if (CanMoveControls) {
          RecreateItemViewer(i);
          v = m = viewers_[i];
        } else {
          temp.reset(v->Item->GetItemViewerClass(this)(this, v->Item, v->GroupLevel));
          m = temp.get();
        }
      }
      int w = 0, h = 0;
      m->CalcSize(&canvas, w, h);
      rec[i].R = RECT{0, 0, w, h};
      if (m->UsesSameWidth()) {
        rec[i].SameWidth = true;
        sameMax = std::max(sameMax, w);
      }
      canvas.Font()->SetStyle(oldStyle);
    }
    // 4. Same width.
    for (int i = 0; i < n; ++i)
      if (rec[i].Show && rec[i].SameWidth && rec[i].R.right < sameMax) rec[i].R.right = sameMax;
    canvas.SetHandle(nullptr);
  }

  auto along = [&](const RECT& r) { return static_cast<int>(vertical ? r.bottom - r.top : r.right - r.left); };
  auto across = [&](const RECT& r) { return static_cast<int>(vertical ? r.right - r.left : r.bottom - r.top); };
  int totalLength = 0;
  for (int i = 0; i < n; ++i)
    if (rec[i].Show) totalLength += along(rec[i].R);
  if (vertical)
    ABaseSize.y = totalLength;
  else
    ABaseSize.x = totalLength;

  // 5. Chevron.
  bool chevronNeeded = chevronItem && AChevronOffset > 0 && totalLength > AChevronOffset;
  bool chevronHasReal = false;
  if (chevronNeeded) {
    AChevronOffset -= AChevronSize;
    while (totalLength > AChevronOffset) {
      int shownNonSep = 0, lastShown = -1;
      for (int i = 0; i < n; ++i)
        if (rec[i].Show) {
          lastShown = i;
          if (!IsSep(viewers_[i])) ++shownNonSep;
        }
      if (shownNonSep < 2) break;
      if (lastShown >= 0 && IsSep(viewers_[lastShown])) {
        rec[lastShown].Show = false;
        totalLength -= along(rec[lastShown].R);
      } else {
        int victim = -1;
        if (priorityList_) {
          for (int k = static_cast<int>(priorityList_->size()) - 1; k >= 0 && victim < 0; --k) {
            int idx = IndexOf((*priorityList_)[k]);
            if (idx >= 0 && rec[idx].Show && !IsSep(viewers_[idx])) victim = idx;
          }
        } else {
          for (int k = n - 1; k >= 0 && victim < 0; --k)
            if (rec[k].Show && !IsSep(viewers_[k])) victim = k;
        }
        if (victim < 0) break;
        rec[victim].Show = false;
        rec[victim].OffEdge = true;
        if (!IsControlItem(viewers_[victim])) chevronHasReal = true;
        totalLength -= along(rec[victim].R);
      }
      bool prev = true;
      for (int i = 0; i < n; ++i) {
        if (!rec[i].Show) continue;
        bool sep = IsSep(viewers_[i]);
        if (sep && prev) {
          rec[i].Show = false;
          totalLength -= along(rec[i].R);
          continue;
        }
        prev = sep;
      }
    }
  }
  // 6.
  hideTrailingSeps();
  int maxAcross = 0;
  for (int i = 0; i < n; ++i)
    if (rec[i].Show) maxAcross = std::max(maxAcross, across(rec[i].R));
  if (vertical)
    ABaseSize.x = maxAcross;
  else
    ABaseSize.y = maxAcross;

  // 7. Margins.
  TBarMargins mg;
  GetMargins(AOrientation, mg);
  if (AWrapOffset > 0) AWrapOffset = std::max(1, AWrapOffset - mg.Right);
  int curX = mg.Left, curY = mg.Top;
  int lineStart = -1;
  int lineMaxW = 0, lineMaxH = 0;
  bool runWrapped = false;
  bool anyWrap = false;
  bool prevToolbarSized = false;
  bool havePrev = false;

  auto finishLine = [&](int last, bool lastLine) {
    if (lineStart < 0) return;
    if (anyWrap && !ChevronParentView) {
      if (vertical)
        TotalSize.y = std::max<LONG>(TotalSize.y, AWrapOffset);
      else
        TotalSize.x = std::max<LONG>(TotalSize.x, AWrapOffset);
    }
    if (IsToolbar) {
      int extent = vertical ? lineMaxW : lineMaxH;
      if (lastLine && !anyWrap && AOrientation != tbvoFloating) extent = vertical ? TotalSize.x : TotalSize.y;
      for (int i = lineStart; i <= last; ++i) {
        if (!rec[i].Show) continue;
        RECT& r = rec[i].R;
        bool stretch = IsSep(viewers_[i]) || viewers_[i]->Item->GetItemStyle().Contains(tbisStretch);
        if (vertical) {
          int w = r.right - r.left;
          if (stretch)
            r.right = r.left + extent;
          else
            OffsetRect(&r, (extent - w) / 2, 0);
        } else {
          int h = r.bottom - r.top;
          if (stretch)
            r.bottom = r.top + extent;
          else
            OffsetRect(&r, 0, (extent - h) / 2);
        }
      }
    } else {
      for (int i = lineStart; i <= last; ++i) {
        if (!rec[i].Show) continue;
        TBarItemViewer* v = viewers_[i];
        bool ts = IsToolbar || v->Item->GetEffectiveOptions().Contains(tboToolbarSize);
        if (!ts) rec[i].R.right = rec[i].R.left + lineMaxW;
      }
    }
    int ra = -1, lastShown = -1;
    for (int i = lineStart; i <= last; ++i) {
      if (!rec[i].Show) continue;
      if (ra < 0 && viewers_[i]->Item->GetItemStyle().Contains(tbisRightAlign)) ra = i;
      lastShown = i;
    }
    if (ra >= 0 && lastShown >= 0) {
      int limit = vertical ? TotalSize.y : TotalSize.x;
      if (AWrapOffset > 0) limit = std::min(AWrapOffset, limit);
      int edge = vertical ? rec[lastShown].R.bottom : rec[lastShown].R.right;
      int d = limit - edge;
      if (d >= 1)
        for (int i = ra; i <= last; ++i)
          if (rec[i].Show) OffsetRect(&rec[i].R, vertical ? 0 : d, vertical ? d : 0);
    }
  };

  auto extentToNextSep = [&](int from) {
    int s = 0;
    for (int k = from + 1; k < n; ++k) {
      if (!rec[k].Show) continue;
      if (IsSep(viewers_[k])) break;
      s += along(rec[k].R);
    }
    return s;
  };

  int prevShown = -1;
  for (int i = 0; i < n; ++i) {
    if (!rec[i].Show) continue;
    TBarItemViewer* v = viewers_[i];
    RECT& r = rec[i].R;
    int w = r.right - r.left, h = r.bottom - r.top;
    bool ts = IsToolbar || v->Item->GetEffectiveOptions().Contains(tboToolbarSize);
    if (havePrev && prevToolbarSized && !ts) {
      finishLine(prevShown, false);
      lineStart = -1;
      curX = mg.Left;
      curY = TotalSize.y;
      lineMaxW = lineMaxH = 0;
    }
    // Position the item.
    if (lineStart < 0) lineStart = i;
    int pos = vertical ? curY : curX;
    int end = pos + along(r);
    bool placedAsLine = false;
    if (AWrapOffset >= 1 && pos >= 1) {
      if (IsSep(v)) {
        bool wrap = (runWrapped && !v->Item->GetItemStyle().Contains(tbisNoLineBreak)) ||
                    end + extentToNextSep(i) > AWrapOffset;
        if (wrap) {
          ++AWrappedLines;
          anyWrap = true;
          if (prevShown >= lineStart) finishLine(prevShown, false);
          if (vertical) {
            curX += lineMaxW;
            r = RECT{curX, 0, curX + 6, 0};
            curX += 6;
            curY = mg.Top;
          } else {
            curY += lineMaxH;
            r = RECT{0, curY, 0, curY + 6};
            curY += 6;
            curX = mg.Left;
          }
          rec[i].LineSep = true;
          runWrapped = false;
          lineStart = -1;
          lineMaxW = lineMaxH = 0;
          placedAsLine = true;
        }
      } else if (end > AWrapOffset) {
        ++AWrappedLines;
        anyWrap = true;
        if (vertical) {
          curY = mg.Top;
          curX += lineMaxW;
        } else {
          curX = mg.Left;
          curY += lineMaxH;
        }
        runWrapped = true;
        if (prevShown >= lineStart && lineStart < i) finishLine(prevShown, false);
        lineStart = i;
        lineMaxW = lineMaxH = 0;
      }
    }
    if (!placedAsLine) {
      lineMaxW = std::max(lineMaxW, w);
      lineMaxH = std::max(lineMaxH, h);
      r = RECT{std::max(curX, 0), std::max(curY, 0), std::max(curX, 0) + w, std::max(curY, 0) + h};
      if (!ts || vertical)
        curY += h;
      else
        curX += w;
    }
    TotalSize.x = std::max<LONG>(TotalSize.x, r.right);
    TotalSize.y = std::max<LONG>(TotalSize.y, r.bottom);
    prevToolbarSized = ts;
    havePrev = true;
    prevShown = i;
  }
  // 9.
  if (prevShown >= 0) finishLine(prevShown, true);
  TotalSize.x += mg.Right;
  TotalSize.y += mg.Bottom;

  // 10. Vertical: first column at the right.
  if (vertical)
    for (int i = 0; i < n; ++i)
      if (rec[i].Show) {
        RECT& r = rec[i].R;
        int l = TotalSize.x - r.right, rr = TotalSize.x - r.left;
        r.left = l;
        r.right = rr;
      }

  // 11. Scrolling (whether or not controls may move: only the items scroll).
  {
    ShowUpArrow = ShowDownArrow = false;
    if (MaxHeight > 0 && TotalSize.y > MaxHeight) {
      int maxScroll = TotalSize.y - MaxHeight;
      ScrollOffset = std::clamp(ScrollOffset, 0, maxScroll);
      ShowUpArrow = ScrollOffset > 0;
      ShowDownArrow = ScrollOffset < maxScroll;
      int top = ShowUpArrow ? BarScrollArrowHeight : 0;
      int bottom = ShowDownArrow ? MaxHeight - BarScrollArrowHeight : MaxHeight;
      for (int i = 0; i < n; ++i) {
        RECT& r = rec[i].R;
        if (IsRectEmpty(&r) && !(r.right > r.left || r.bottom > r.top)) continue;
        OffsetRect(&r, 0, -ScrollOffset);
        if (rec[i].Show && (r.top < top || r.bottom > bottom)) {
          rec[i].Show = false;
          rec[i].Clipped = true;
        }
      }
      TotalSize.y = MaxHeight;
    } else {
      ScrollOffset = 0;
    }
  }

  // 12. Controls.
  if (CanMoveControls) {
    int cw = 0, ch = 0;
    if (Window && Window->HandleAllocated()) {
      RECT cr;
      GetClientRect(Window->GetHandle(), &cr);
      cw = cr.right;
      ch = cr.bottom;
    }
    for (int i = 0; i < n; ++i) {
      if (!IsControlItem(viewers_[i])) continue;
      TControl* c = static_cast<TBarControlItem*>(viewers_[i]->Item)->GetControl();
      if (!c) continue;
      if (!rec[i].Show && (rec[i].OffEdge || rec[i].Clipped)) {
        c->SetBounds(cw, ch, c->GetWidth(), c->GetHeight());
      } else if (rec[i].Show) {
        RECT r = rec[i].R;
        if (c->GetBoundsRect() != r) c->SetBoundsRect(r);
      }
    }
  }

  // 13. Line separators run across the whole bar.
  if (IsToolbar)
    for (int i = 0; i < n; ++i)
      if (rec[i].Show && rec[i].LineSep) {
        if (vertical)
          rec[i].R.bottom = TotalSize.y;
        else
          rec[i].R.right = TotalSize.x;
      }

  // 14. Chevron.
  if (chevronNeeded && n > 0) {
    if (CanMoveControls) chevronItem->SetEnabled(chevronHasReal);
    Rec& c = rec[n - 1];
    c.Show = true;
    if (!vertical)
      c.R = Bounds(std::max<int>(AChevronOffset, TotalSize.x), 0, AChevronSize, TotalSize.y);
    else
      c.R = Bounds(0, std::max<int>(AChevronOffset, TotalSize.y), TotalSize.x, AChevronSize);
  }

  // 15. Commit.
  bool changed = false;
  if (CanMoveControls) {
    for (int i = 0; i < n; ++i) {
      TBarItemViewer* v = viewers_[i];
      const Rec& r = rec[i];
      bool ls = v->State.Contains(tbisLineSep);
      if (v->BoundsRect != r.R || v->Show != r.Show || ls != r.LineSep) changed = true;
      v->BoundsRect = r.R;
      v->Show = r.Show;
      v->OffEdge = r.OffEdge;
      v->Clipped = r.Clipped;
      if (r.LineSep)
        v->State += tbisLineSep;
      else
        v->State -= tbisLineSep;
    }
  }
  // 16.
  if (ABaseSize.x == 0 || ABaseSize.y == 0) {
    ABaseSize = POINT{23, 22};
    TotalSize.x = std::max<LONG>(TotalSize.x, 23);
    TotalSize.y = std::max<LONG>(TotalSize.y, 22);
  }
  Orientation = savedOrientation;
  return changed;
}

// ---- drawing ---------------------------------------------------------------------
void TBarView::Invalidate(TBarItemViewer* Viewer) {
  if (!positionsValid_ || !Window || !Window->HandleAllocated() || !Viewer) return;
  if (!Viewer->Show || IsRectEmpty(&Viewer->BoundsRect) || IsControlItem(Viewer)) return;
  Viewer->State += tbisInvalidated;
  InvalidateRect(Window->GetHandle(), &Viewer->BoundsRect, FALSE);
}

void TBarView::DrawSubitems(TCanvas* Canvas) {
  ValidatePositions();
  bool inOrder = State.Contains(vsDrawInOrder);
  for (TBarItemViewer* v : std::vector<TBarItemViewer*>(viewers_))
    if (inOrder || v != selected_) DrawItem(v, Canvas, false);
  if (!inOrder && selected_) DrawItem(selected_, Canvas, false);
  State -= vsDrawInOrder;
}

void TBarView::DrawItem(TBarItemViewer* Viewer, TCanvas* DrawTo, bool Offscreen) {
  ValidatePositions();
  if (Viewer->State.Contains(tbisInvalidated)) {
    Offscreen = true;
    Viewer->State -= tbisInvalidated;
  }
  RECT R = Viewer->BoundsRect;
  if (!Viewer->Show || IsRectEmpty(&R) || IsControlItem(Viewer)) return;
  bool IsOpen = Viewer == OpenViewer;
  bool IsSelected = Viewer == selected_;
  bool IsPushed = IsSelected && (IsOpen || (MouseOverSelected && Capture));
  int w = R.right - R.left, h = R.bottom - R.top;
  HDC target = DrawTo->GetHandle();
  int saved = SaveDC(target);
  IntersectClipRect(target, R.left, R.top, R.right, R.bottom);

  std::unique_ptr<TBitmap> bmp;
  TCanvas* C = DrawTo;
  TCanvas direct;
  if (Offscreen && Window && Window->HandleAllocated()) {
    bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pfDevice);
    bmp->SetSize(w, h);
    HDC bdc = bmp->Canvas()->GetHandle();
    POINT org;
    SetWindowOrgEx(bdc, R.left, R.top, &org);
    SendMessageW(Window->GetHandle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(bdc), 0);
    SetWindowOrgEx(bdc, org.x, org.y, nullptr);
    C = bmp->Canvas();
  } else {
    direct.SetHandle(target);
    OffsetViewportOrgEx(target, R.left, R.top, nullptr);
    C = &direct;
  }
  bool toolbarStyle = Viewer->IsToolbarStyle();
  bool menuSel = IsSelected && !toolbarStyle;
  if (menuSel) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(AreFlatMenusEnabled() ? clMenuHilight : clHighlight);
  } else {
    C->Brush()->SetStyle(bsClear);
  }
  C->Font()->Assign(*GetFont());
  bool shadow = false;
  if (Viewer->Item->GetEnabled()) {
    C->Font()->SetColor(menuSel ? clHighlightText : toolbarStyle ? clBtnText : clMenuText);
  } else {
    C->Font()->SetColor(clGrayText);
    TColor wc = Window ? Window->GetColor() : clBtnFace;
    shadow = toolbarStyle || (wc == clBtnFace && !IsSelected) || wc == clGrayText;
  }
  Viewer->Paint(C, RECT{0, 0, w, h}, IsSelected, IsPushed, shadow);
  if (bmp) {
    BitBlt(target, R.left, R.top, w, h, bmp->Canvas()->GetHandle(), 0, 0, SRCCOPY);
  } else {
    direct.SetHandle(nullptr);
  }
  RestoreDC(target, saved);
}

void TBarView::GetOffEdgeControlList(std::vector<TWinControl*>& List) {
  for (TBarItemViewer* v : viewers_)
    if (v->OffEdge && IsControlItem(v))
      if (auto* wc = dynamic_cast<TWinControl*>(static_cast<TBarControlItem*>(v->Item)->GetControl()))
        List.push_back(wc);
}

void TBarView::SetAccelsVisibility(bool AShowAccels) {
  bool show = AShowAccels || !Style.Contains(vsUseHiddenAccels) || AreKeyboardCuesEnabled();
  if (show == State.Contains(vsShowAccels)) return;
  if (show)
    State += vsShowAccels;
  else
    State -= vsShowAccels;
  if (Window && Window->HandleAllocated() && IsWindowVisible(Window->GetHandle()))
    for (TBarItemViewer* v : viewers_)
      if (v->CaptionShown() && FindAccelChar(v->GetCaptionText()) != 0) Invalidate(v);
}

void TBarView::SetCustomizing(bool Value) {
  if (Customizing == Value) return;
  Customizing = Value;
  RecreateAllViewers();
}

void TBarView::SetUsePriorityList(bool Value) {
  if (UsePriorityList == Value) return;
  UsePriorityList = Value;
  RecreateAllViewers();
}

TBarItemViewer* TBarView::HighestPriorityViewer() {
  ValidatePositions();
  if (priorityList_) {
    for (TBarItemViewer* v : *priorityList_)
      if (v->Show && !IsSep(v)) return v;
    return nullptr;
  }
  for (TBarItemViewer* v : viewers_)
    if (v->Show && !IsSep(v)) return v;
  return nullptr;
}

void TBarView::GivePriority(TBarItemViewer* AViewer) {
  if (ChevronParentView) {
    int idx = IndexOf(AViewer) + ChevronParentView->InternalViewersAtFront;
    if (idx >= 0 && idx < ChevronParentView->ViewerCount())
      ChevronParentView->GivePriority(ChevronParentView->viewers_[idx]);
    return;
  }
  if (priorityList_) {
    auto it = std::find(priorityList_->begin(), priorityList_->end(), AViewer);
    if (it != priorityList_->end()) {
      priorityList_->erase(it);
      priorityList_->insert(priorityList_->begin(), AViewer);
      if (!(positionsValid_ && !AViewer->OffEdge)) UpdatePositions();
    }
  }
  if (ParentView && ParentView->OpenViewer) ParentView->GivePriority(ParentView->OpenViewer);
}

// ---- chain -------------------------------------------------------------------------
bool TBarView::ContainsView(const TBarView* V) const {
  for (const TBarView* p = V; p; p = p->ParentView)
    if (p == this) return true;
  return false;
}

TBarView* TBarView::GetRootView() {
  TBarView* v = this;
  while (v->ParentView) v = v->ParentView;
  return v;
}

TBarView* TBarView::GetParentToolbarView() {
  for (TBarView* v = this; v; v = v->ParentView)
    if (v->IsToolbar) return v;
  return nullptr;
}

// ---- selection -----------------------------------------------------------------------
void TBarView::Select(TBarItemViewer* Value, bool ViaMouse) {
  TBarItemViewer* old = selected_;
  bool modal = GetRootView()->State.Contains(vsModal) || State.Contains(vsModal);
  if (Value != selected_) {
    if (Value && ParentView && ParentView->OpenViewer && ParentView->selected_ != ParentView->OpenViewer) {
      ParentView->Select(ParentView->OpenViewer, false);
      ParentView->StopTimer(tiClose);
      ParentView->StopTimer(tiOpen);
    }
    if (modal) {
      if (IsToolbar || !ViaMouse) {
        StopTimer(tiClose);
        if (Value != OpenViewer) CloseChildPopups();
      } else if (OpenViewer && !TimerRunning(tiClose)) {
        StartTimer(tiClose, GetMenuShowDelay());
      }
    }
    CancelCapture();
    if (old) old->Leaving();
    selected_ = Value;
    SelectedViaMouse = ViaMouse;
  }
  bool over = false;
  if (Value && Window && Window->HandleAllocated()) {
    POINT p = MessagePos();
    if (WindowFromPoint(p) == Window->GetHandle()) {
      POINT cp = p;
      ::ScreenToClient(Window->GetHandle(), &cp);
      if (ViewerFromPoint(cp) == Value) {
        over = true;
        if (Capture) {
          POINT vp = Value->ScreenToClient(p);
          over = Value->IsPtInButtonPart(vp.x, vp.y);
        }
      }
    }
  }
  if (old != Value) {
    MouseOverSelected = over;
    if (old && old->Item->GetItemStyle().Contains(tbisRedrawOnSelChange)) Invalidate(old);
    if (Value && Value->Item->GetItemStyle().Contains(tbisRedrawOnSelChange)) Invalidate(Value);
    if (Value) Value->Entering(old);
    NotifyFocusEvent();
    if (modal) {
      if (IsPopup) {
        StopTimer(tiOpen);
        if (Value && ViaMouse && Value->Item->GetItemStyle().Contains(tbisSubmenu))
          StartTimer(tiOpen, GetMenuShowDelay());
      } else if (IsToolbar) {
        if (ViaMouse && ParentView) State += vsDropDownMenus;
        if (State.Contains(vsDropDownMenus) && Value &&
            !(!ViaMouse && Value->Item->GetItemStyle().Contains(tbisNoAutoOpen)))
          OpenChildPopup(!ViaMouse);
      }
    }
  } else if (over != MouseOverSelected) {
    MouseOverSelected = over;
    if (Capture && Value && Value->Item->GetItemStyle().Contains(tbisRedrawOnMouseOverChange))
      Invalidate(Value);
  }
}

void TBarView::UpdateSelection(const POINT* P, bool AllowNewSelection) {
  ValidatePositions();
  bool modal = GetRootView()->State.Contains(vsModal) || State.Contains(vsModal);
  TBarItemViewer* n = modal ? selected_ : nullptr;
  bool hadMouse = State.Contains(vsMouseInWindow);
  if (P && Window && Window->HandleAllocated() && WindowFromPoint(*P) == Window->GetHandle()) {
    if (IsPopup) n = nullptr;
    State += vsMouseInWindow;
    if (AllowNewSelection || selected_) {
      POINT cp = *P;
      ::ScreenToClient(Window->GetHandle(), &cp);
      if (TBarItemViewer* v = ViewerFromPoint(cp)) n = v;
    }
  } else {
    State -= vsMouseInWindow;
  }
  if (Capture) n = selected_;
  if (IsPopup && !Capture && hadMouse && !State.Contains(vsMouseInWindow)) {
    if (!(OpenViewer && OpenViewer->Item->GetItemStyle().Contains(tbisSubmenu))) n = nullptr;
    else n = OpenViewer;
  }
  Select(n, true);
  // Scroll areas.
  bool up = false, down = false;
  if (P && Window && Window->HandleAllocated() && State.Contains(vsMouseInWindow)) {
    POINT cp = *P;
    ::ScreenToClient(Window->GetHandle(), &cp);
    RECT cr;
    GetClientRect(Window->GetHandle(), &cr);
    if (ShowUpArrow && cp.y < BarScrollArrowHeight) up = true;
    else if (ShowDownArrow && cp.y >= cr.bottom - BarScrollArrowHeight) down = true;
  }
  if (up) {
    StopTimer(tiScrollDown);
    if (!TimerRunning(tiScrollUp)) StartTimer(tiScrollUp, 100);
  } else if (down) {
    StopTimer(tiScrollUp);
    if (!TimerRunning(tiScrollDown)) StartTimer(tiScrollDown, 100);
  } else {
    StopTimer(tiScrollUp);
    StopTimer(tiScrollDown);
  }
}

// ---- child pop-ups ----------------------------------------------------------------
bool TBarView::OpenChildPopup(bool SelectFirstItem) {
  StopTimer(tiClose);
  StopTimer(tiOpen);
  if (selected_ != OpenViewer) {
    CloseChildPopups();
    if (selected_ && selected_->Item->GetEnabled() &&
        selected_->Item->GetItemStyle().Contains(tbisSubmenu)) {
      selected_->Item->CreatePopup(this, selected_, !IsToolbar, SelectFirstItem, Customizing,
                                   POINT{0, 0}, tbpaLeft);
    }
  }
  return OpenViewer != nullptr;
}

void TBarView::CloseChildPopups() {
  if (OpenViewerView) OpenViewerView->CloseChildPopups();
  StopTimer(tiClose);
  TBarPopupWindow* w = OpenViewerWindow;
  TBarItemViewer* ov = OpenViewer;
  OpenViewer = nullptr;
  OpenViewerView = nullptr;
  OpenViewerWindow = nullptr;
  if (w) {
    w->RemoveFreeNotification(this);
    delete w;
  }
  if (ov && IndexOf(ov) >= 0) Invalidate(ov);
}

void TBarView::CancelChildPopups() {
  if (IsToolbar) State -= vsDropDownMenus;
  CloseChildPopups();
}

// ---- keyboard -------------------------------------------------------------------
TBarItemViewer* TBarView::NextSelectable(TBarItemViewer* Cur, bool GoForward) {
  ValidatePositions();
  int n = ViewerCount();
  if (n == 0) return nullptr;
  int start = IndexOf(Cur);
  int i = start;
  for (int k = 0; k < n; ++k) {
    if (i < 0)
      i = GoForward ? 0 : n - 1;
    else
      i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
    TBarItemViewer* v = viewers_[i];
    if ((v->Show || v->Clipped) && v->Item->GetVisible() &&
        v->Item->GetItemStyle().Contains(tbisSelectable))
      return v;
  }
  return nullptr;
}

TBarItemViewer* TBarView::FirstSelectable() {
  ValidatePositions();
  TBarItemViewer* first = nullptr;
  for (TBarItemViewer* v : viewers_) {
    if (!((v->Show || v->Clipped) && v->Item->GetVisible() &&
          v->Item->GetItemStyle().Contains(tbisSelectable)))
      continue;
    if (!first) first = v;
    if (!v->Item->GetItemStyle().Contains(tbisDontSelectFirst)) return v;
  }
  return first;
}

TBarItemViewer* TBarView::NextSelectableWithAccel(TBarItemViewer* Cur, wchar_t Key,
                                                  bool RequirePrimaryAccel,
                                                  bool& IsOnlyItemWithAccel) {
  ValidatePositions();
  IsOnlyItemWithAccel = false;
  int n = ViewerCount();
  if (n == 0 || Key == 0) return nullptr;
  wchar_t K = BarCharUpper(Key);
  auto candidate = [&](TBarItemViewer* v) {
    return (v->Show || v->Clipped) && v->Item->GetItemStyle().Contains(tbisSelectable) &&
           v->Item->GetVisible() && v->CaptionShown();
  };
  auto primary = [&](TBarItemViewer* v) {
    wchar_t a = FindAccelChar(v->GetCaptionText());
    return a != 0 && BarCharUpper(a) == K;
  };
  auto secondary = [&](TBarItemViewer* v) {
    String c = v->GetCaptionText();
    if (FindAccelChar(c) != 0 || c.empty() || K == L' ') return false;
    return BarCharUpper(c[0]) == K;
  };
  int start = IndexOf(Cur);
  for (int pass = 0; pass < 4; ++pass) {
    if (pass >= 2 && RequirePrimaryAccel) break;
    bool wantEnabled = pass % 2 == 0;
    auto match = [&](TBarItemViewer* v) {
      return candidate(v) && v->Item->GetEnabled() == wantEnabled &&
             (pass < 2 ? primary(v) : secondary(v));
    };
    int i = start;
    for (int k = 0; k < n; ++k) {
      i = i < 0 ? 0 : (i + 1) % n;
      TBarItemViewer* v = viewers_[i];
      if (!match(v)) continue;
      // Only the matches of this pass count: a disabled item sharing the
      // accelerator of an enabled one does not keep it from running.
      int others = 0;
      for (TBarItemViewer* o : viewers_)
        if (o != v && match(o)) ++others;
      IsOnlyItemWithAccel = !v->Item->GetEnabled() || others == 0;
      return v;
    }
  }
  return nullptr;
}

void TBarView::ScrollSelectedIntoView() {
  if (!selected_ || !selected_->Clipped) return;
  int top = selected_->BoundsRect.top, bottom = selected_->BoundsRect.bottom;
  if (top < BarScrollArrowHeight) {
    ScrollOffset -= BarScrollArrowHeight - top;
    UpdatePositions();
  } else if (bottom > MaxHeight - BarScrollArrowHeight) {
    ScrollOffset += bottom - (MaxHeight - BarScrollArrowHeight);
    UpdatePositions();
  }
}

void TBarView::Scroll(bool ADown) {
  int best = ADown ? INT_MAX : INT_MIN;
  bool found = false;
  for (TBarItemViewer* v : viewers_) {
    if (!v->Clipped || IsSep(v)) continue;
    if (ADown && v->BoundsRect.bottom > MaxHeight - BarScrollArrowHeight && v->BoundsRect.bottom < best) {
      best = v->BoundsRect.bottom;
      found = true;
    } else if (!ADown && v->BoundsRect.top < BarScrollArrowHeight && v->BoundsRect.top > best) {
      best = v->BoundsRect.top;
      found = true;
    }
  }
  if (!found) return;
  if (ADown)
    ScrollOffset += best - (MaxHeight - BarScrollArrowHeight);
  else
    ScrollOffset -= BarScrollArrowHeight - best;
  UpdatePositions();
}

void TBarView::ExecuteSelected(bool AGivePriority) {
  if (selected_ && selected_->Item->GetEnabled()) {
    TBarItemStyle s = selected_->Item->GetItemStyle();
    if (s.Contains(tbisSubmenu) && !s.Contains(tbisCombo)) {
      if (OpenChildPopup(true)) return;
    }
    if (!s.Contains(tbisSelectable)) {
      EndModal();
      return;
    }
    selected_->Execute(AGivePriority);
    return;
  }
  EndModal();
}

void TBarView::KeyDown(WORD& Key, TBarShift Shift) {
  TBarView* PTV = GetParentToolbarView();
  auto step = [](TBarView* V, bool fwd) {
    V->SetSelected(V->NextSelectable(V->GetSelected(), fwd));
    V->ScrollSelectedIntoView();
  };
  bool ptvHoriz = PTV && PTV->Orientation != tbvoVertical;
  switch (Key) {
    case VK_LEFT:
    case VK_RIGHT:
      if (IsToolbar && PTV == this && Orientation == tbvoVertical) {
        OpenChildPopup(true);
      } else if (Key == VK_LEFT) {
        if (ptvHoriz) {
          if (this == PTV || ParentView == PTV)
            step(PTV, false);
          else if (ParentView)
            ParentView->CloseChildPopups();
        } else if (ParentView) {
          ParentView->CancelChildPopups();
        }
      } else {
        if (!(this != PTV && OpenChildPopup(true)) && ptvHoriz) step(PTV, true);
      }
      break;
    case VK_UP:
    case VK_DOWN:
      if (IsToolbar && PTV == this && Orientation != tbvoVertical)
        OpenChildPopup(true);
      else
        step(this, Key == VK_DOWN);
      break;
    case VK_HOME:
    case VK_END:
      SetSelected(NextSelectable(nullptr, Key == VK_HOME));
      ScrollSelectedIntoView();
      break;
    case VK_ESCAPE:
      if (!ParentView)
        EndModal();
      else
        ParentView->CancelChildPopups();
      break;
    case VK_TAB:
      step(this, !(Shift & barShiftShift));
      break;
    case VK_RETURN:
      ExecuteSelected(true);
      break;
    case VK_MENU:
    case VK_F10:
      EndModal();
      break;
    case VK_F1:
      for (TBarView* v = this; v; v = v->ParentView)
        if (v->selected_ && v->selected_->Item->GetHelpContext() != 0) {
          EndModalWithHelp(v->selected_->Item->GetHelpContext());
          break;
        }
      break;
    default:
      return;
  }
  Key = 0;
}

// ---- modal state ------------------------------------------------------------------
void TBarView::EndModal() { GetRootView()->DoneActionData.DoneAction = tbdaCancel; }

void TBarView::EndModalWithClick(TBarItemViewer* AViewer) {
  TBarDoneActionData& d = GetRootView()->DoneActionData;
  d.DoneAction = tbdaClickItem;
  d.ClickItem = AViewer->Item;
  d.Sound = AViewer->View->IsPopup;
}

void TBarView::EndModalWithHelp(int AContextID) {
  TBarDoneActionData& d = GetRootView()->DoneActionData;
  d.DoneAction = tbdaHelpContext;
  d.ContextID = AContextID;
}

void TBarView::EndModalWithSystemMenu(HWND AWnd, WORD AKey) {
  TBarDoneActionData& d = GetRootView()->DoneActionData;
  d.DoneAction = tbdaOpenSystemMenu;
  d.Wnd = AWnd;
  d.Key = AKey;
}

void TBarView::CancelCapture() {
  if (!Capture) return;
  Capture = false;
  BarLastMousePos.x = INT_MIN;
  if (selected_) selected_->LosingCapture();
}

HWND TBarView::GetCaptureWnd() { return GetRootView()->CaptureWnd; }

void TBarView::NotifyFocusEvent() {
  if (!State.Contains(vsModal) || !GetRootView()->State.Contains(vsModal)) return;
  if (!Window || !Window->HandleAllocated() || !IsWindowVisible(Window->GetHandle())) return;
  int child = 0;
  if (selected_ && selected_->IsAccessible()) {
    child = 1;
    for (TBarItemViewer* v : viewers_) {
      if (v == selected_) break;
      if (v->IsAccessible()) ++child;
    }
  }
  if (child == 0 && ParentView) {
    ParentView->NotifyFocusEvent();
    return;
  }
  CallNotifyWinEvent(EVENT_OBJECT_FOCUS, Window->GetHandle(), OBJID_CLIENT, child);
}

// ---- timers -----------------------------------------------------------------------
void TBarView::StartTimer(TBarViewTimerID ID, int Interval) {
  if (!Window || !dynamic_cast<TBarPopupWindow*>(Window) || !Window->HandleAllocated()) return;
  SetTimer(Window->GetHandle(), BarViewTimerBase + ID, static_cast<UINT>(std::max(Interval, 1)), nullptr);
  activeTimers_ |= 1u << ID;
}

void TBarView::StopTimer(TBarViewTimerID ID) {
  if (!(activeTimers_ & (1u << ID))) return;
  activeTimers_ &= ~(1u << ID);
  if (Window && Window->HandleAllocated()) KillTimer(Window->GetHandle(), BarViewTimerBase + ID);
}

void TBarView::StopAllTimers() {
  for (int i = tiOpen; i <= tiScrollDown; ++i) StopTimer(static_cast<TBarViewTimerID>(i));
}

// ---- toolbar loop ------------------------------------------------------------------
void TBarView::EnterToolbarLoop(TBarEnterToolbarLoopOptions Options) {
  if (State.Contains(vsModal)) return;
  HWND w = Window && Window->HandleAllocated() ? Window->GetHandle() : nullptr;
  auto handler = std::make_unique<TBarModalHandler>(w);
  bool accels = State.Contains(vsShowAccels);
  State = TBarViewState{};
  if (accels) State += vsShowAccels;
  State += vsModal;
  DoneActionData = TBarDoneActionData{};
  if (selected_) NotifyFocusEvent();
  try {
    handler->Loop(this, Options.Contains(tbetMouseDown), Options.Contains(tbetExecuteSelected),
                  Options.Contains(tbetFromMSAA), false);
  } catch (...) {
    State -= vsModal;
    StopAllTimers();
    CloseChildPopups();
    throw;
  }
  State -= vsModal;
  StopAllTimers();
  CloseChildPopups();
  POINT p;
  GetCursorPos(&p);
  UpdateSelection(&p, true);
  handler.reset();
  SetAccelsVisibility(false);
  SetSelected(nullptr);
  TBarDoneActionData d = DoneActionData;
  DoneActionData = TBarDoneActionData{};
  ProcessDoneAction(d);
}
