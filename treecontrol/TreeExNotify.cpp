// Message handling of the tree control: native notifications, custom
// drawing, in-place editing, mouse and keyboard, tooltips of long items.
#include <algorithm>

#include "classlib/Forms.h"
#include "treecontrol/TreeEx.h"

namespace {
inline int GET_X_LPARAM(LPARAM L) { return static_cast<short>(LOWORD(L)); }
inline int GET_Y_LPARAM(LPARAM L) { return static_cast<short>(HIWORD(L)); }
constexpr LRESULT kNotifyItemErase = 0x80;
constexpr UINT kKeyF1 = 0x004D;  // WM_KEYF1: F1 on its way to WM_HELP
const wchar_t kEditProp[] = L"Zembrio.TreeEx.Edit";

TTreeExNode* NodeOf(const TVITEMW& I) { return reinterpret_cast<TTreeExNode*>(I.lParam); }

bool Alive(TTreeExNode* N) { return N && !N->GetDeleting(); }

// A node's states while it is drawn: the draw state's, plus its check.
TNodeStates DrawStates(const TTreeExNode* Node, UINT St) {
  TNodeStates S;
  if (St & CDIS_SELECTED) S += nsSelected;
  if (St & CDIS_FOCUS) S += nsFocused;
  if (St & CDIS_DISABLED) S += nsDisabled;
  if (St & CDIS_GRAYED) S += nsGrayed;
  if (St & CDIS_HOT) S += nsHot;
  if (St & CDIS_MARKED) S += nsMarked;
  if (St & CDIS_INDETERMINATE) S += nsIndeterminate;
  TCheckState C = Node->GetCheckState();
  if (C == csChecked || C == csCheckedGrayed) S += nsChecked;
  return S;
}
}  // namespace

void TCustomTreeEx::WndProc(TMessage& M) {
  switch (M.Msg) {
    case CN_NOTIFY:
      CNNotify(M);
      return;
    case WM_NOTIFY:
      if (TooltipNeedText(M)) return;
      break;
    case WM_TIMER:
      WMTimer(M);
      return;
    case WM_LBUTTONDOWN:
      WMLButtonDown(M);
      return;
    case WM_LBUTTONUP:
      WMLButtonUp(M);
      return;
    case CM_DRAG:
      CMDrag(M);
      return;
    case WM_LBUTTONDBLCLK: {
      InheritedMouse(M);
      int X = GET_X_LPARAM(M.LParam), Y = GET_Y_LPARAM(M.LParam);
      if (FOptions.Contains(toFullRowSelect) && !FOptions.Contains(toSingleExpand) &&
          GetHitTestInfoAt(X, Y).Contains(htOnRight))
        if (TTreeExNode* N = GetNodeAt(X, Y)) N->SetExpanded(!N->GetExpanded());
      return;
    }
    case WM_RBUTTONDOWN:
      WMRButtonDown(M);
      return;
    case WM_RBUTTONUP:
      WMRButtonUp(M);
      return;
    case WM_MOUSEMOVE:
      WMMouseMove(M);
      return;
    case WM_KEYDOWN:
      WMKeyDown(M);
      return;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      WMSysKey(M);
      return;
    case kKeyF1:
      // Sent for F1 when the key was translated; the tree answered it.
      if (FHelpKeyTaken) {
        FHelpKeyTaken = false;
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (FOptions.Contains(toNoEraseBkgnd)) {
        M.Result = 1;
        return;
      }
      break;
    case WM_NCHITTEST:
      TWinControl::WndProc(M);
      if (M.Result != HTCLIENT) StopTimer(TTreeTimer::Scroll);
      return;
    case CM_MOUSELEAVE:
      StopTimer(TTreeTimer::Scroll);
      break;
    case CM_CTL3DCHANGED:
      TWinControl::WndProc(M);
      if (FBorderStyle == bsSingle && handle_) RecreateWnd();
      return;
    case CM_COLORCHANGED:
      TWinControl::WndProc(M);
      SendTV(TVM_SETBKCOLOR, 0, color_ == clWindow ? static_cast<LPARAM>(-1) : static_cast<LPARAM>(ColorToRef(color_)));
      return;
    case CM_FONTCHANGED:
      TWinControl::WndProc(M);
      SendTV(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRef(font_->GetColor())));
      return;
    case CM_SYSCOLORCHANGE:
      TWinControl::WndProc(M);
      RebuildCheckImages();
      ApplyImageLists();  // the same list: the window measures it again
      SendTV(WM_SYSCOLORCHANGE);
      if (handle_) InvalidateRect(handle_, nullptr, TRUE);
      return;
    case WM_DESTROY:
      // The nodes outlive the window (they are the tree's own copy, handed
      // to the next window), so nothing is collapsed here: collapsing would
      // fire collapse events for nodes that are not going anywhere, and a
      // handler could delete children the next window should still show.
      FWindowGoing = true;
      break;
    case TVM_EXPAND:
      // A collapse may hide the caret's node; the platform then moves the
      // caret without telling anyone.
      TWinControl::WndProc(M);
      if ((M.WParam & 0x0003) != TVE_EXPAND && !FManualNotify) {
        if (TTreeExNode* N = FItems->GetNode(reinterpret_cast<HTREEITEM>(M.LParam)))
          if (!(M.WParam & TVE_TOGGLE) || !N->GetState(nsExpanded)) N->FExpanded = false;
        SyncSelectionWithCaret();
      }
      return;
    case WM_NCDESTROY: {
      TWinControl::WndProc(M);
      // The items went with the window; the nodes stay for the next one.
      FItems->FillCache();
      for (int I = 0; I < FItems->FItemCache.GetCount(); ++I) FItems->FItemCache.List()[I]->FItemId = nullptr;
      FEditWnd = nullptr;
      return;
    }
    default: break;
  }
  TWinControl::WndProc(M);
}

// ---------------------------------------------------------------------------
// Notifications

void TCustomTreeEx::CNNotify(TMessage& M) {
  auto* H = reinterpret_cast<NMHDR*>(M.LParam);
  M.Result = 0;
  switch (H->code) {
    case TVN_SELCHANGINGW: {
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* N = NodeOf(TV->itemNew);
      if (FRestoring || (N && N->GetDeleting())) return;
      M.Result = CanChange(N) ? 0 : 1;
      return;
    }
    case TVN_SELCHANGEDW: {
      if (FRestoring) return;
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* Old = NodeOf(TV->itemOld);
      TTreeExNode* New = NodeOf(TV->itemNew);
      if (Alive(Old)) FItems->RemoveFromSelection(Old);
      if (!Alive(New)) return;
      FItems->AddToSelection(New);
      if (!FItems->InBulkSelection()) FItems->FLevelAnchor = New->GetLevel();
      DoChange(New);
      return;
    }
    case TVN_GETDISPINFOW: {
      auto* DI = reinterpret_cast<NMTVDISPINFOW*>(H);
      TTreeExNode* N = NodeOf(DI->item);
      if (!N) return;
      if ((DI->item.mask & TVIF_TEXT) && DI->item.pszText && DI->item.cchTextMax >= 1) {
        size_t Len = std::min(N->FText.size(), static_cast<size_t>(DI->item.cchTextMax - 1));
        std::copy_n(N->FText.data(), Len, DI->item.pszText);
        DI->item.pszText[Len] = L'\0';
      }
      if (DI->item.mask & TVIF_IMAGE) {
        if (OnGetImageIndex && Alive(N)) OnGetImageIndex(this, N);
        DI->item.iImage = N->FImageIndex;
      }
      if (DI->item.mask & TVIF_SELECTEDIMAGE) {
        if (OnGetSelectedIndex && Alive(N)) OnGetSelectedIndex(this, N);
        DI->item.iSelectedImage = N->FSelectedIndex;
      }
      return;
    }
    case TVN_SETDISPINFOW: {
      auto* DI = reinterpret_cast<NMTVDISPINFOW*>(H);
      TTreeExNode* N = NodeOf(DI->item);
      if (Alive(N) && (DI->item.mask & TVIF_TEXT) && DI->item.pszText) N->SetText(DI->item.pszText);
      return;
    }
    case TVN_ITEMEXPANDINGW: {
      if (FManualNotify || FRestoring) return;
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* N = NodeOf(TV->itemNew);
      if (!Alive(N)) return;
      if (TV->action & TVE_EXPAND)
        M.Result = CanExpand(N) ? 0 : 1;
      else if (TV->action & TVE_COLLAPSE)
        M.Result = CanCollapse(N) ? 0 : 1;
      return;
    }
    case TVN_ITEMEXPANDEDW: {
      if (FManualNotify || FRestoring) return;
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* N = NodeOf(TV->itemNew);
      if (!Alive(N)) return;
      if (TV->action & TVE_EXPAND) {
        N->FExpanded = true;
        Expand(N);
      } else if (TV->action & TVE_COLLAPSE) {
        N->FExpanded = false;
        Collapse(N);
        SyncSelectionWithCaret();
      }
      return;
    }
    case TVN_BEGINDRAGW:
    case TVN_BEGINRDRAGW: {
      // A designed tree is moved by its designer: the native control's
      // drag start (it detects drags whenever drag-and-drop is allowed)
      // marks nothing there.
      if (GetComponentState().Contains(csDesigning)) return;
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      FDragged = true;
      FDragNode = NodeOf(TV->itemNew);
      return;
    }
    case TVN_DELETEITEMW: {
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* N = NodeOf(TV->itemOld);
      if (!N) return;
      N->FItemId = nullptr;
      if (N->FDeleting || FRestoring || FWindowGoing || FRecreating) return;
      // An item deleted behind our back: its node goes as well. Its
      // children were reported first and are gone already.
      FItems->DeleteSubtrees({N});
      return;
    }
    case TVN_BEGINLABELEDITW: {
      auto* DI = reinterpret_cast<NMTVDISPINFOW*>(H);
      TTreeExNode* N = FItems->GetNode(DI->item.hItem);
      if (Dragging() || !Alive(N) || !CanEdit(N)) {
        M.Result = 1;
        return;
      }
      FEditNode = N;
      SubclassEdit(N);
      return;
    }
    case TVN_ENDLABELEDITW: {
      auto* DI = reinterpret_cast<NMTVDISPINFOW*>(H);
      UnsubclassEdit();
      // One end per edit: the platform may report the end again while
      // the edit box goes away (it loses the focus), which must not commit
      // a cancelled text.
      TTreeExNode* N = FEditNode;
      FEditNode = nullptr;
      if (Alive(N) && N == FItems->GetNode(DI->item.hItem)) Edit(N, DI->item.pszText);
      return;
    }
    case TVN_GETINFOTIPW: {
      auto* IT = reinterpret_cast<NMTVGETINFOTIPW*>(H);
      if (!OnHint || !IT->pszText || IT->cchTextMax < 1) return;
      TTreeExNode* N = reinterpret_cast<TTreeExNode*>(IT->lParam);
      if (!Alive(N)) return;
      String S;
      OnHint(this, N, S);
      size_t Len = std::min(S.size(), static_cast<size_t>(IT->cchTextMax - 1));
      std::copy_n(S.data(), Len, IT->pszText);
      IT->pszText[Len] = L'\0';
      return;
    }
    case TVN_SINGLEEXPAND: {
      auto* TV = reinterpret_cast<NMTREEVIEWW*>(H);
      TTreeExNode* N = NodeOf(TV->itemNew);
      bool AutoCollapse = true;
      if (OnSingleExpanded && Alive(N)) OnSingleExpanded(this, N, AutoCollapse);
      M.Result = AutoCollapse ? 0 : 1;
      return;
    }
    case NM_CUSTOMDRAW:
      M.Result = CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(H));
      return;
    case NM_RCLICK: {
      TPoint P = FRClickPoint;
      if (!FInRightPress) {
        GetCursorPos(&P);
        P = ScreenToClient(P);
      }
      if (FOptions.Contains(toRightClickSelect)) {
        FRClickNode = GetNodeAt(P.x, P.y);
        FRClickActive = true;
        if (FRClickNode && !FRClickNode->FSelectedMark) ClearSelection();
        Perform(WM_RBUTTONUP, 0, MAKELPARAM(P.x, P.y));
      } else {
        FRClickReported = true;
      }
      // Handled here: the native control must not follow up with its own
      // context-menu request, or the menu would open twice.
      M.Result = 1;
      return;
    }
    case NM_RETURN: {
      if (!FOptions.Contains(toWantReturn)) return;
      TTreeExNode* S = GetSelection();
      TTreeExNode* Next = S ? S->GetNext() : nullptr;
      if (!Next) Next = FItems->GetFirstNode();
      if (Next) {
        ClearSelection();
        // The caret goes along, or the next Enter would start from the
        // same node again.
        SetSelection(Next);
        if (!Next->GetSelected()) Next->SetSelected(true);
      }
      M.Result = 1;
      return;
    }
    case NM_SETFOCUS:
      Invalidate();
      if (!FRangeAnchor) FRangeAnchor = GetSelection();
      return;
    case NM_KILLFOCUS:
      Invalidate();
      return;
    default: return;
  }
}

LRESULT TCustomTreeEx::CustomDraw(NMTVCUSTOMDRAW* CD) {
  NMCUSTOMDRAW& N = CD->nmcd;
  switch (N.dwDrawStage) {
    case CDDS_PREPAINT:
      if (FItems->InBulkSelection()) return CDRF_SKIPDEFAULT;
      if (OnBeforePaint) OnBeforePaint(this);
      return CDRF_NOTIFYPOSTPAINT | CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTERASE | kNotifyItemErase;
    case CDDS_ITEMPREPAINT: {
      LRESULT R = CDRF_NOTIFYPOSTPAINT;
      auto* Node = reinterpret_cast<TTreeExNode*>(N.lItemlParam);
      if (!Alive(Node)) return R;
      TNodeStates S = DrawStates(Node, N.uItemState);
      bool OwnerDraw = false;
      if (OnBeforeItemPaint) OnBeforeItemPaint(this, Node, N.rc, S, OwnerDraw);
      if (OwnerDraw) return CDRF_SKIPDEFAULT;
      bool Selected = S.Contains(nsSelected);
      bool IsDrop = Node->GetDropTarget();
      TColor Back;
      if (!Selected) {
        Back = IsDrop ? ColorSelected : (Node->FParentColor ? color_ : Node->FColor);
      } else if (Dragging()) {
        Back = IsDrop ? ColorDropSelected : ColorSelected;
      } else if (GetFocus() != handle_) {
        Back = ColorUnfocusedSelected;
      } else if (Node->FParentColor) {
        Back = static_cast<COLORREF>(CD->clrTextBk) != ColorToRef(clWindow) ? ColorSelected : color_;
      } else {
        Back = ColorSelected;
      }
      CD->clrTextBk = ColorToRef(Back);
      if (!Node->FParentFont && Node->FFont) {
        HFONT Old = static_cast<HFONT>(SelectObject(N.hdc, Node->FFont->GetHandle()));
        if (!FSavedFont) FSavedFont = Old;
        if (!Selected) CD->clrText = ColorToRef(Node->FFont->GetColor());
        R |= CDRF_NEWFONT;
      } else if (FSavedFont) {
        SelectObject(N.hdc, FSavedFont);
        R |= CDRF_NEWFONT;
      }
      return R;
    }
    case CDDS_ITEMPOSTPAINT: {
      auto* Node = reinterpret_cast<TTreeExNode*>(N.lItemlParam);
      if (OnAfterItemPaint && Alive(Node)) OnAfterItemPaint(this, Node, N.rc, DrawStates(Node, N.uItemState));
      return 0;
    }
    case CDDS_ITEMPREERASE: return CDRF_NOTIFYPOSTERASE;
    case CDDS_POSTPAINT:
      if (OnAfterPaint) OnAfterPaint(this);
      if (FSavedFont) {
        SelectObject(N.hdc, FSavedFont);
        FSavedFont = nullptr;
      }
      return 0;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// In-place editing

void TCustomTreeEx::SubclassEdit(TTreeExNode* Node) {
  HWND E = reinterpret_cast<HWND>(SendTV(TVM_GETEDITCONTROL));
  if (!E) return;
  UnsubclassEdit();
  FEditWnd = E;
  SetPropW(E, kEditProp, this);
  FDefEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(E, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TCustomTreeEx::EditProc)));
  if (Node && !Node->FParentFont && Node->FFont)
    SendMessageW(E, WM_SETFONT, reinterpret_cast<WPARAM>(Node->FFont->GetHandle()), TRUE);
}

void TCustomTreeEx::UnsubclassEdit() {
  if (!FEditWnd) return;
  if (IsWindow(FEditWnd) && FDefEditProc) {
    SetWindowLongPtrW(FEditWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefEditProc));
    RemovePropW(FEditWnd, kEditProp);
  }
  FEditWnd = nullptr;
}

LRESULT CALLBACK TCustomTreeEx::EditProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
  auto* T = static_cast<TCustomTreeEx*>(GetPropW(Wnd, kEditProp));
  if (!T) return DefWindowProcW(Wnd, Msg, W, L);
  WNDPROC Def = T->FDefEditProc;
  try {
    TMessage M{Msg, W, L, 0};
    switch (Msg) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (T->DoKeyDown(M)) return 0;
        break;
      case WM_KEYUP:
      case WM_SYSKEYUP:
        if (T->DoKeyUp(M)) return 0;
        break;
      case WM_CHAR:
        if (T->DoKeyPress(M)) return 0;
        W = M.WParam;
        break;
      case CN_KEYDOWN:
      case CN_CHAR:
      case CN_SYSKEYDOWN:
      case CN_SYSCHAR:
        T->WindowProc(M);
        return M.Result;
      case WM_NCDESTROY:
        SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Def));
        RemovePropW(Wnd, kEditProp);
        if (T->FEditWnd == Wnd) T->FEditWnd = nullptr;
        break;
      default: break;
    }
  } catch (...) {
    HandleCallbackException(T);
    return 0;
  }
  return CallWindowProcW(Def, Wnd, Msg, W, L);
}

// ---------------------------------------------------------------------------
// Mouse

bool TCustomTreeEx::AutoDrag() const {
  return GetDragMode() == dmAutomatic && !GetComponentState().Contains(csDesigning);
}

void TCustomTreeEx::InheritedMouse(TMessage& M) {
  if (!AutoDrag() || SuppressAutoDrag) {
    TWinControl::WndProc(M);
    return;
  }
  SuppressAutoDrag = true;
  try {
    TWinControl::WndProc(M);
  } catch (...) {
    SuppressAutoDrag = false;
    throw;
  }
  SuppressAutoDrag = false;
}

void TCustomTreeEx::WMLButtonDown(TMessage& M) {
  if (IsEditing()) {
    InheritedMouse(M);
    return;
  }
  int X = GET_X_LPARAM(M.LParam), Y = GET_Y_LPARAM(M.LParam);
  TShiftState Shift = KeysToShiftState(M.WParam) * TShiftState{ssShift, ssCtrl};
  if (CanFocus() && GetFocus() != handle_) SetFocus();
  THitTests Hit = GetHitTestInfoAt(X, Y);
  TTreeExNode* Node = GetNodeAt(X, Y);
  if (Hit.Contains(htOnStateIcon) && Node) {
    // A press on the check picture: pressed look until the release.
    FCheckNode = Node;
    SetCapture(handle_);
    if (Node->FEnabled) {
      int P = Node->FStateIndex;
      if (P == 1 || P == 2 || P == 5 || P == 6) SetCheckImage(Node, P + 2);
    }
    return;
  }
  bool Multi = FOptions.Contains(toMultiSelect);
  if (Node && (Hit.Contains(htOnItem) || FOptions.Contains(toFullRowSelect))) {
    FDragged = false;
    FDragNode = nullptr;
    TTreeExNode* Old = GetSelection();
    if (!Node->FSelectedMark && Shift.Empty()) ClearSelection();
    TSelectType OldSel = Old && Old->FSelectedMark ? stSet : stReset;
    bool WasSelected = Node->FSelectedMark;
    // With Shift or Ctrl the caret comes off first (quietly: a multiple
    // selection gives the old node its selection back below) and the click
    // runs as a bulk selection, in every tree.
    bool Bulk = !Shift.Empty();
    if (Bulk) {
      FItems->BeginBulk();
      ++FRestoring;
      SetSelection(nullptr);
      --FRestoring;
      if (!Multi && Old) FItems->RemoveFromSelection(Old);
    }
    TNodeWatch Watch(FItems.get(), Node);
    try {
      // The native click; with automatic dragging it reports a drag start
      // when the mouse moved away with the button held.
      InheritedMouse(M);
      // Only nodes on the anchor's level join a multiple selection; the
      // native click selected this one regardless.
      if (Multi && FOptions.Contains(toLevelSelectConstraint) && Watch.Get()) FItems->SelectNode(Node, stReset);
    } catch (...) {
      if (Bulk) FItems->EndBulk();
      throw;
    }
    if (Bulk) FItems->EndBulk();
    Node = Watch.Get();
    if (AutoDrag() && GetDragKind() == dkDrag) {
      if (FDragged && Node) {
        if (Multi)
          FItems->SelectNode(Node, stSet);
        else
          SetSelection(Node);
        Node->SetFocused(true);
        BeginDrag(false, -1);
        return;
      }
      // The native click took the release with it.
      Perform(WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
    }
    if (Multi && Node)
      HandleMultiSelection(Old, OldSel, Shift, WasSelected, Node);
    else if (!Multi)
      SyncSelectionWithCaret();  // a vetoed change keeps the old node
    return;
  }
  if (!Node && !Multi) {
    InheritedMouse(M);
    return;
  }
  if (Multi && (Hit.Contains(htNowhere) || Hit.Contains(htOnIndent) || Hit.Contains(htOnRight))) {
    FRubberBand = true;
    FBandStart = Point(X, Y);
    FBandRect = TRect{X, Y, X, Y};
    FBandNodes.clear();
    if (Shift.Empty()) ClearSelection();
    SetCapture(handle_);
    MouseDown(mbLeft, KeysToShiftState(M.WParam), X, Y);
    return;
  }
  InheritedMouse(M);
}

void TCustomTreeEx::HandleMultiSelection(TTreeExNode* Old, TSelectType OldSel, TShiftState Shift, bool WasSelected,
                                         TTreeExNode* Node) {
  bool Ctrl = Shift.Contains(ssCtrl), Sh = Shift.Contains(ssShift);
  if (Ctrl && !Sh) {
    if (Old && Old != Node) FItems->SelectNode(Old, OldSel);
    FItems->SelectNode(Node, WasSelected ? stReset : stSet);
  } else if (Ctrl && Sh) {
    FItems->SelectNodes(Old ? Old : Node, Node, true);
  } else if (Sh) {
    if (!FRangeAnchor) FRangeAnchor = Node;
    FItems->SelectNodes(FRangeAnchor, Node, false);
  } else if (Node) {
    ClearSelection();
    FItems->SelectNode(Node, stSet);
    FRangeAnchor = Node;
    FItems->FLevelAnchor = Node->GetLevel();
  }
  FItems->Repaint(Node);
}

void TCustomTreeEx::WMLButtonUp(TMessage& M) {
  if (FCheckNode) {
    TTreeExNode* N = FCheckNode;
    FCheckNode = nullptr;
    if (GetCapture() == handle_) ReleaseCapture();
    N->DoCheckClick();
    return;
  }
  if (FRubberBand) {
    EndRubberBand();
    int X = GET_X_LPARAM(M.LParam), Y = GET_Y_LPARAM(M.LParam);
    MouseUp(mbLeft, KeysToShiftState(M.WParam), X, Y);
    return;
  }
  TWinControl::WndProc(M);
}

void TCustomTreeEx::EndRubberBand() {
  if (!FRubberBand) return;
  FRubberBand = false;
  if (!IsRectEmpty(&FBandRect)) DrawFocusRect(FBandRect);
  FBandNodes.clear();
  FBandRect = TRect{};
  if (GetCapture() == handle_) ReleaseCapture();
}

void TCustomTreeEx::DrawFocusRect(const TRect& R) {
  if (!handle_) return;
  HDC DC = GetDC(handle_);
  ::DrawFocusRect(DC, &R);
  ReleaseDC(handle_, DC);
}

void TCustomTreeEx::UpdateBandSelection(TShiftState Shift) {
  FItems->FillCache();
  bool Changed = false;
  FItems->BeginBulk();
  try {
    auto Meets = [&](TTreeExNode* N) {
      TRect R = N->DisplayRect(true), X;
      return N->IsNodeVisible() && IntersectRect(&X, &R, &FBandRect);
    };
    // Candidates: the visible rows from the band's top edge to one past
    // its bottom edge.
    std::vector<TTreeExNode*> All;
    TTreeExNode* First = GetNodeAt(FBandRect.left, FBandRect.top);
    if (!First) First = GetTopItem();
    TTreeExNode* Last = GetNodeAt(GetClientWidth() - 1, FBandRect.bottom);
    if (Last) Last = Last->GetNextVisible();
    for (TTreeExNode* N = First; N; N = N->GetNextVisible()) {
      All.push_back(N);
      if (N == Last) break;
    }
    if (Shift.Contains(ssCtrl)) {
      for (TTreeExNode* N : All)
        if (Meets(N) && std::find(FBandNodes.begin(), FBandNodes.end(), N) == FBandNodes.end()) {
          FBandNodes.push_back(N);
          FItems->SelectNode(N, stToggle);
          Changed = true;
        }
      for (size_t I = 0; I < FBandNodes.size();)
        if (!Meets(FBandNodes[I])) {
          FItems->SelectNode(FBandNodes[I], stToggle);
          FBandNodes.erase(FBandNodes.begin() + static_cast<long>(I));
          Changed = true;
        } else {
          ++I;
        }
    } else {
      for (size_t I = 0; I < FBandNodes.size();)
        if (!Meets(FBandNodes[I])) {
          FItems->SelectNode(FBandNodes[I], stReset);
          FBandNodes.erase(FBandNodes.begin() + static_cast<long>(I));
          Changed = true;
        } else {
          ++I;
        }
      for (TTreeExNode* N : All)
        if (Meets(N) && std::find(FBandNodes.begin(), FBandNodes.end(), N) == FBandNodes.end()) {
          FBandNodes.push_back(N);
          FItems->SelectNode(N, stSet);
          Changed = true;
        }
    }
  } catch (...) {
    FItems->EndBulk();
    throw;
  }
  FItems->EndBulk();
  if (Changed) DoChange(GetNodeAt(FBandRect.left, FBandRect.bottom));
}

void TCustomTreeEx::WMMouseMove(TMessage& M) {
  int X = GET_X_LPARAM(M.LParam), Y = GET_Y_LPARAM(M.LParam);
  if (FOptions.Contains(toAutoScroll)) DoAutoScroll(X, Y);
  if (FRubberBand) {
    if (!IsRectEmpty(&FBandRect)) DrawFocusRect(FBandRect);
    FBandRect = TRect{std::min<LONG>(FBandStart.x, X), std::min<LONG>(FBandStart.y, Y), std::max<LONG>(FBandStart.x, X),
                      std::max<LONG>(FBandStart.y, Y)};
    if (FItems->GetFirstNode()) UpdateBandSelection(KeysToShiftState(M.WParam));
    UpdateWindow(handle_);
    if (!IsRectEmpty(&FBandRect)) DrawFocusRect(FBandRect);
    return;
  }
  TWinControl::WndProc(M);
}

void TCustomTreeEx::WMRButtonDown(TMessage& M) {
  EndRubberBand();
  FRClickNode = nullptr;
  FRClickReported = false;
  FRClickPoint = Point(GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam));
  FInRightPress = true;
  try {
    if (FOptions.Contains(toRightClickSelect)) {
      // Straight to the native window: it reports the click (NM_RCLICK),
      // which selects the node for the click and shows the menu.
      DefaultHandler(M);
    } else {
      TWinControl::WndProc(M);
      if (FRClickReported) Perform(WM_RBUTTONUP, 0, MAKELPARAM(FRClickPoint.x, FRClickPoint.y));
    }
  } catch (...) {
    FInRightPress = false;
    FRClickNode = nullptr;
    FRClickActive = false;
    throw;
  }
  FInRightPress = false;
  FRClickNode = nullptr;
  FRClickActive = false;
  FRClickReported = false;
}

void TCustomTreeEx::DoPopup(TPopupMenu* Menu, TPoint ScreenPoint) {
  if (Menu) Menu->Popup(ScreenPoint.x, ScreenPoint.y);
}

void TCustomTreeEx::WMRButtonUp(TMessage& M) {
  int X = GET_X_LPARAM(M.LParam), Y = GET_Y_LPARAM(M.LParam);
  TPoint Screen = ClientToScreen(Point(X, Y));
  if (OnGetPopupMenu) {
    TTreeExNode* N = GetSelection();
    TPopupMenu* Menu = nullptr;
    bool AskParent = true;
    for (; N && !Menu && AskParent; N = N->GetParent()) OnGetPopupMenu(this, N, AskParent, Menu);
    if (Menu) {
      Menu->SetPopupComponent(this);
      DoPopup(Menu, Screen);
      return;
    }
  }
  // The mouse-up event, then the control's own pop-up menu.
  if (!ControlStyle.Contains(csNoStdEvents)) MouseUp(mbRight, KeysToShiftState(M.WParam), X, Y);
  if (popupMenu_ && popupMenu_->GetAutoPopup()) {
    popupMenu_->SetPopupComponent(this);
    DoPopup(popupMenu_, Screen);
  }
}

// ---------------------------------------------------------------------------
// Keyboard

void TCustomTreeEx::WMSysKey(TMessage& M) {
  // The system tree view keeps the Alt keys to itself and does nothing with
  // them, so Alt+F4, Alt+Space and the menu keys would die here. The tree
  // has no Alt keys of its own: after the key events they go to the
  // default processing every window has.
  if (M.Msg == WM_SYSKEYDOWN && DoKeyDown(M)) return;
  if (M.Msg == WM_SYSKEYUP && DoKeyUp(M)) return;
  M.Result = DefWindowProcW(handle_, M.Msg, M.WParam, M.LParam);
}

void TCustomTreeEx::WMKeyDown(TMessage& M) {
  WORD Key = static_cast<WORD>(M.WParam);
  FHelpKeyTaken = false;
  if (!FOptions.Contains(toMultiSelect)) {
    FRangeAnchor = GetSelection();
    TWinControl::WndProc(M);
    return;
  }
  TTreeExNode* Sel = GetSelection();
  TShiftState Shift = GetShiftState();
  if (Shift.Contains(ssCtrl) || !Sel) {
    TWinControl::WndProc(M);
    return;
  }
  bool OnlyShift = Shift.Contains(ssShift) && !Shift.Contains(ssAlt);
  switch (Key) {
    case VK_UP:
    case VK_DOWN: {
      TTreeExNode* Target = Key == VK_UP ? Sel->GetPrevVisible() : Sel->GetNextVisible();
      if (OnlyShift) {
        if (!FRangeAnchor) {
          FRangeAnchor = Target;
          ClearSelection();
        }
        bool WasSelected = Target && Target->FSelectedMark;
        TWinControl::WndProc(M);
        if (Target && !WasSelected) FItems->SelectNode(Sel, stSet);
      } else {
        if (Target) ClearSelection();
        TWinControl::WndProc(M);
        FRangeAnchor = GetSelection();
      }
      return;
    }
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME: {
      if (OnlyShift) {
        if (!FRangeAnchor) {
          FRangeAnchor = Sel;
          ClearSelection();
        }
        int Before = FItems->GetSelectedCount();
        TWinControl::WndProc(M);
        TTreeExNode* Now = GetSelection();
        if (Now && Now != Sel) FItems->ToggleSelectionRange(Sel, Now);
        if (FItems->GetSelectedCount() > Before) FItems->SelectNode(Sel, stSet);
      } else {
        if (FItems->GetSelectedCount() > 1) ClearSelection();
        TWinControl::WndProc(M);
        FRangeAnchor = GetSelection();
      }
      return;
    }
    case VK_SPACE:
      Sel->DoCheckClick();
      return;
    case VK_F1: {
      // The topic of the selected node or of its nearest parent that has
      // one, else of the control or its nearest parent control.
      int Context = 0;
      if (OnGetHelpContext)
        for (TTreeExNode* N = Sel; N && !Context;) {
          TNodeWatch Watch(FItems.get(), N);
          OnGetHelpContext(this, N, Context);
          N = Watch.Get() ? N->GetParent() : nullptr;
        }
      for (TControl* C = this; C && !Context; C = C->GetParent()) Context = C->GetHelpContext();
      // The system's own help request for this key comes after it.
      FHelpKeyTaken = true;
      if (Context && Application) Application->HelpContext(Context);
      return;
    }
    default:
      if (Key <= 48) {
        TWinControl::WndProc(M);
      } else {
        ClearSelection();
        TWinControl::WndProc(M);
        FRangeAnchor = Sel;
      }
      return;
  }
}

// ---------------------------------------------------------------------------
// Tooltips of long items

bool TCustomTreeEx::TooltipNeedText(TMessage& M) {
  auto* H = reinterpret_cast<NMHDR*>(M.LParam);
  if (H->code != TTN_NEEDTEXTW || FOptions.Contains(toInfoTip)) return false;
  auto* DI = reinterpret_cast<NMTTDISPINFOW*>(H);
  if (!(DI->uFlags & TTF_IDISHWND)) return false;
  TPoint P;
  GetCursorPos(&P);
  P = ScreenToClient(P);
  TTreeExNode* N = GetNodeAt(P.x, P.y);
  if (!N || N->FText.empty() || N->FText.size() < 80) return false;
  String S = N->FText.substr(0, 76) + L"...";
  std::fill(std::begin(DI->szText), std::end(DI->szText), L'\0');
  std::copy(S.begin(), S.end(), DI->szText);
  DI->lpszText = DI->szText;
  DI->hinst = nullptr;
  SetWindowPos(H->hwndFrom, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  M.Result = 1;
  return true;
}
