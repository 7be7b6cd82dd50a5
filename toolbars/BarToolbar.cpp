#include "toolbars/BarToolbar.h"

#include <algorithm>
#include <cstring>

#include "classlib/Forms.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarHooks.h"
#include "toolbars/BarUtilsWin.h"

namespace {
TBarViewOrientation OrientationOf(TBarDockType T) {
  switch (T) {
    case dtFloating: return tbvoFloating;
    case dtLeftRight: return tbvoVertical;
    default: return tbvoHorizontal;
  }
}

thread_local bool t_inDoArrange = false;

// Toolbars whose shortcuts the application's main-window hook serves.
std::vector<TBarCustomToolbar*>* g_hookedToolbars = nullptr;
int g_mainHookCount = 0;
bool g_mainHookInstalled = false;

// The form of Wnd when a showing, enabled menu bar stands in for its menu.
TCustomForm* MenuBarFormOf(HWND Wnd) {
  if (!g_hookedToolbars || !Wnd) return nullptr;
  HWND root = GetAncestor(Wnd, GA_ROOT);
  if (!root || !IsWindowEnabled(root)) return nullptr;
  for (TBarCustomToolbar* t : *g_hookedToolbars) {
    if (!t->GetMenuBar() || !t->GetEnabled() || !t->Showing()) continue;
    TCustomForm* f = BarGetToolWindowParentForm(t);
    if (f && f->HandleAllocated() && f->GetHandle() == root) return f;
  }
  return nullptr;
}

// Alt or F10 pressed alone: the key whose release opens the menu bar.
thread_local WPARAM t_loneMenuKey = 0;

void ToolbarGetMessageHook(THookProcCode Code, HWND, WPARAM WParam, LPARAM LParam) {
  if (Code != hpGetMessage || WParam != PM_REMOVE) return;
  auto* msg = reinterpret_cast<MSG*>(LParam);
  if (!msg->hwnd || !Application) return;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const bool repeat = (msg->lParam & 0x40000000) != 0;
      if (repeat && msg->wParam == t_loneMenuKey) return;
      t_loneMenuKey = 0;
      if (repeat) return;
      // Alt held down is offered to the form's controls as a dialog key, as
      // the class library does not do for system keys: a menu bar shows its
      // underlines while it is held.
      if (msg->wParam == VK_MENU)
        if (TCustomForm* f = MenuBarFormOf(msg->hwnd)) f->Perform(CM_DIALOGKEY, VK_MENU, msg->lParam);
      if (msg->wParam == VK_MENU && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0)
        t_loneMenuKey = VK_MENU;
      else if (msg->wParam == VK_F10 && !(msg->lParam & 0x20000000) && GetKeyState(VK_CONTROL) >= 0 &&
               GetKeyState(VK_SHIFT) >= 0)
        t_loneMenuKey = VK_F10;
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      t_loneMenuKey = 0;
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      // The release of a lone Alt or F10 selects the menu bar, whatever
      // the focused control does with the key (some common controls keep
      // it from the default window procedure).
      const WPARAM lone = t_loneMenuKey;
      t_loneMenuKey = 0;
      if (msg->wParam != lone || GetCapture()) return;
      if (TCustomForm* f = MenuBarFormOf(msg->hwnd)) {
        PostMessageW(f->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
        // The release is kept from the window, whose default procedure
        // would ask for the menu a second time. But that procedure holds on
        // to the press until it sees a key come up, and then takes the next
        // lone Alt for the end of this one (and asks for nothing): it is
        // told of a release that asks for nothing.
        DefWindowProcW(f->GetHandle(), msg->message, 0, msg->lParam);
        msg->message = WM_NULL;
      }
      return;
    }
    case WM_SYSCHAR:
      break;
    default:
      return;
  }
  if (GetCapture()) return;
  TCustomForm* main = Application->MainForm();
  HWND client = main && main->HandleAllocated() ? main->ClientHandle() : nullptr;
  if (client && (msg->hwnd == client || (msg->wParam == L'-' && IsChild(client, msg->hwnd)))) {
    SendMessageW(main->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, msg->wParam);
    msg->message = WM_NULL;
    return;
  }
  // A window the class library does not own (a tree's or list's label
  // edit, a combo box's edit) would hand Alt+letter to the system's own
  // menu handling, which knows nothing of the menu bar: its form hears it.
  if (msg->wParam == L' ' || !(GetWindowLongW(msg->hwnd, GWL_STYLE) & WS_CHILD) ||
      TWinControl::FindControl(msg->hwnd))
    return;
  if (TCustomForm* f = MenuBarFormOf(msg->hwnd)) {
    SendMessageW(f->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, msg->wParam);
    msg->message = WM_NULL;
  }
}

struct MainHookHolder : TObject {
  bool Hook(TMessage& m) {
    try {
      return TBarCustomToolbar::MainWindowHookEntry(m);
    } catch (...) {
      BarHandleException(nullptr);
      return false;
    }
  }
};
MainHookHolder g_mainHookHolder;
}  // namespace

// ---- toolbar view ----------------------------------------------------------------
TBarToolbarView::TBarToolbarView(TBarCustomToolbar* AToolbar, TBarCustomItem* AParentItem,
                                 bool AUsePriorityList)
    : TBarView(AToolbar, nullptr, AParentItem, AToolbar, true, false, AUsePriorityList),
      toolbar_(AToolbar) {
  // The chevron viewer can only be made now that the view is complete.
  RecreateAllViewers();
}

void TBarToolbarView::AutoSize(int AWidth, int AHeight) {
  toolbar_->BaseSize = BaseSize;
  toolbar_->WrappedLines = WrappedLines;
  // Laid out by an arrangement or by itself (an item added, removed, shown,
  // hidden or renamed), a floating toolbar keeps its caption whole.
  const POINT size = toolbar_->GetFloating() ? toolbar_->FloatingSize(POINT{AWidth, AHeight}) : POINT{AWidth, AHeight};
  toolbar_->LastArrangeSize = size;
  if (toolbar_->IsAutoResized() && !t_inDoArrange) toolbar_->ChangeSize(size.x, size.y);
}

void TBarToolbarView::DoUpdatePositions(POINT& ASize) {
  // The length the dock shrank the toolbar to holds for the items it was
  // given for: laid out anew, the dock shares the row out again.
  toolbar_->ShrunkLength = 0;
  // Laid out on its own (its items changed), not by an arrangement: for
  // its whole length too, or the items would go into the chevron at the
  // length it had, and the dock, finding the row long enough now, would
  // never lay it out again.
  if (!t_inDoArrange) toolbar_->UpdateViewProperties();
  toolbar_->GetMinBarSize(ASize);
  if (toolbar_->GetFullSize()) {
    if (Orientation != tbvoVertical)
      ASize.x = std::max<LONG>(ASize.x, WrapOffset);
    else
      ASize.y = std::max<LONG>(ASize.y, WrapOffset);
  }
  ++toolbar_->DisableArrange;
  try {
    TBarView::DoUpdatePositions(ASize);
  } catch (...) {
    --toolbar_->DisableArrange;
    throw;
  }
  --toolbar_->DisableArrange;
}

void TBarToolbarView::InvalidatePositions() {
  toolbar_->ShrunkLength = 0;
  TBarView::InvalidatePositions();
}
TBarCustomItem* TBarToolbarView::GetChevronItem() { return toolbar_ ? toolbar_->ChevronItem() : nullptr; }
TBarCustomItem* TBarToolbarView::GetMDIButtonsItem() { return nullptr; }
TBarCustomItem* TBarToolbarView::GetMDISystemMenuItem() { return nullptr; }

TFont* TBarToolbarView::GetFont() {
  return toolbar_->GetSystemFont() ? TBarView::GetFont() : toolbar_->Font();
}

// ---- chevron ---------------------------------------------------------------------
TBarChevronItem::TBarChevronItem(TBarCustomToolbar* AToolbar) : TBarCustomItem(AToolbar), toolbar_(AToolbar) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisSubmenu, tbisNoAutoOpen});
  SetHint(GetDefaultHint());
  SetCaption(EscapeAmpersands(GetShortHint(GetHint())));
}

TBarView* TBarChevronItem::GetChevronParentView() { return toolbar_->View(); }

TBarItemViewerClass TBarChevronItem::GetItemViewerClass(TBarView*) {
  return &TBarChevronItemViewer::CreateViewer;
}

TBarItemViewer* TBarChevronItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem,
                                                    int AGroupLevel) {
  return new TBarChevronItemViewer(AView, AItem, AGroupLevel);
}

void TBarChevronItemViewer::Paint(TCanvas* Canvas, RECT R, bool IsSelected, bool IsPushed,
                                  bool UseDisabledShadow) {
  HDC dc = Canvas->GetHandle();
  bool enabled = Item->GetEnabled();
  if (enabled) {
    RECT e = R;
    if (IsSelected && IsPushed)
      DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
    else if (IsSelected && !(View->Window && View->Window->IsDesigning()))
      DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
  }
  RECT g = R;
  bool vertical = View->Orientation == tbvoVertical;
  if (vertical) {
    g.left = g.right - 9;
    g.right = g.left + 5;
    g.top += 2;
    g.bottom = g.top + 8;
  } else {
    g.top = 4;
    g.bottom = 9;
    g.left += 2;
    g.right = g.left + 8;
  }
  if (IsPushed) OffsetRect(&g, 1, 1);
  static const WORD horiz[8] = {0xCC, 0x66, 0x33, 0x66, 0xCC, 0, 0, 0};
  static const WORD vert[8] = {0x88, 0xD8, 0x70, 0x20, 0x88, 0xD8, 0x70, 0x20};
  WORD bits[8];
  for (int i = 0; i < 8; ++i) bits[i] = static_cast<WORD>((vertical ? vert : horiz)[i]);  // first byte of each row
  HBITMAP bmp = CreateBitmap(8, 8, 1, 1, bits);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ ob = SelectObject(mem, bmp);
  auto blit = [&](int dx, int dy, int sysColor) {
    HBRUSH b = GetSysColorBrush(sysColor);
    HGDIOBJ old = SelectObject(dc, b);
    COLORREF t = SetTextColor(dc, RGB(0, 0, 0)), k = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, g.left + dx, g.top + dy, 8, 8, mem, 0, 0, 0x00E20746);
    SetTextColor(dc, t);
    SetBkColor(dc, k);
    SelectObject(dc, old);
  };
  if (enabled) {
    blit(0, 0, COLOR_BTNTEXT);
  } else {
    blit(0, 1, COLOR_BTNHIGHLIGHT);
    blit(0, 0, COLOR_BTNSHADOW);
  }
  SelectObject(mem, ob);
  DeleteDC(mem);
  DeleteObject(bmp);
  (void)UseDisabledShadow;
}

// ---- toolbar ------------------------------------------------------------------------
TBarCustomToolbar::TBarCustomToolbar(TComponent* AOwner) : TBarCustomDockableWindow(AOwner) {
  ControlStyle += TControlStyle{csAcceptsControls, csActionClient};
  ControlStyle -= csCaptureMouse;
  // Sized by whole rows from its edges: no corner handles, no clipped cursor.
  DockableWindowStyles -= tbdsResizeEightCorner;
  DockableWindowStyles -= tbdsResizeClipCursor;
  SetColor(clBtnFace);
  SetBounds(GetLeft(), GetTop(), 23, 22);
}

TBarRootItemClass TBarCustomToolbar::GetItemClass() { return &BarClassOf<TBarRootItem, TBarRootItem, TComponent*>; }

TBarChevronItemClass TBarCustomToolbar::GetChevronItemClass() {
  return &BarClassOf<TBarChevronItem, TBarChevronItem, TBarCustomToolbar*>;
}

TBarToolbarViewClass TBarCustomToolbar::GetViewClass() {
  return &BarClassOf<TBarToolbarView, TBarToolbarView, TBarCustomToolbar*, TBarCustomItem*, bool>;
}

const TBarCustomToolbar& TBarCustomToolbar::Parts() const {
  if (!partsMade_) const_cast<TBarCustomToolbar*>(this)->CreateParts();
  return *this;
}

void TBarCustomToolbar::CreateParts() {
  // Marked first: the view asks for the chevron item while it is made.
  partsMade_ = true;
  try {
    items_ = GetItemClass()(this);
    items_->SetRootParentComponent(this);
    chevronItem_ = GetChevronItemClass()(this);
    chevronItem_->SetLinkSubitems(items_);
    view_ = GetViewClass()(this, items_, chevronMoveItems_ && !IsDesigning());
  } catch (...) {
    delete chevronItem_;
    chevronItem_ = nullptr;
    delete items_;
    items_ = nullptr;
    partsMade_ = false;
    throw;
  }
  // The colour the toolbar has by now (a themed one has none of its own).
  view_->BackgroundColor = GetColor();
}

TBarCustomToolbar::~TBarCustomToolbar() {
  SetComponentStateFlag(csDestroying, true);
  partsMade_ = true;  // none are made any more
  if (getMessageHookInstalled_) {
    getMessageHookInstalled_ = false;
    UninstallHookProc(ToolbarGetMessageHook);
  }
  UninstallMainWindowHook();
  delete view_;
  view_ = nullptr;
  delete chevronItem_;
  chevronItem_ = nullptr;
  delete items_;
  items_ = nullptr;
}

void TBarCustomToolbar::SetChevronHint(const String& Value) {
  ChevronItem()->SetHint(Value);
  ChevronItem()->SetCaption(EscapeAmpersands(GetShortHint(Value)));
}

bool TBarCustomToolbar::IsChevronHintStored() const {
  return ChevronItem()->GetHint() != TBarChevronItem::GetDefaultHint();
}

void TBarCustomToolbar::DefineProperties(TFiler* Filer) {
  TBarCustomDockableWindow::DefineProperties(Filer);
  const auto* a = dynamic_cast<TBarCustomToolbar*>(Filer->GetAncestor());
  BarFiler::Text(
      Filer, L"ChevronHint", GetChevronHint(), a ? a->GetChevronHint() : TBarChevronItem::GetDefaultHint(),
      [this](const String& v) { SetChevronHint(v); }, IsChevronHintStored() || a);
  using namespace BarFiler;
  Link(Filer, L"Images", GetImages(), a ? a->GetImages() : nullptr,
       [this](TComponent* c) { SetImages(dynamic_cast<TCustomImageList*>(c)); });
  Link(Filer, L"LinkSubitems", GetLinkSubitems(), a ? a->GetLinkSubitems() : nullptr,
       [this](TComponent* c) { SetLinkSubitems(dynamic_cast<TBarCustomItem*>(c)); });
  Set(Filer, L"Options", static_cast<unsigned>(GetOptions().Bits()),
      static_cast<unsigned>(a ? a->GetOptions().Bits() : 0), ItemOptionNames(),
      [this](unsigned v) { SetOptions(TBarItemOptions::FromBits(v)); });
  Boolean(Filer, L"ChevronMoveItems", chevronMoveItems_, a ? a->chevronMoveItems_ : true,
          [this](bool v) { SetChevronMoveItems(v); });
  Integer(Filer, L"FloatingWidth", floatingWidth_, a ? a->floatingWidth_ : 0, [this](int v) { SetFloatingWidth(v); });
  // A menu bar read from a stream takes none of the settings it implies:
  // they are stored in their own right.
  Boolean(Filer, L"MenuBar", menuBar_, a ? a->menuBar_ : false, [this](bool v) { SetMenuBar(v); });
  Boolean(Filer, L"ProcessShortCuts", processShortCuts_, a ? a->processShortCuts_ : false,
          [this](bool v) { SetProcessShortCuts(v); });
  Enum(Filer, L"ShrinkMode", shrinkMode_, a ? a->shrinkMode_ : tbsmChevron, {L"tbsmNone", L"tbsmWrap", L"tbsmChevron"},
       [this](int v) { SetShrinkMode(static_cast<TBarShrinkMode>(v)); });
  Boolean(Filer, L"SystemFont", systemFont_, a ? a->systemFont_ : true, [this](bool v) { SetSystemFont(v); });
  Boolean(Filer, L"UpdateActions", UpdateActions, a ? a->UpdateActions : true, [this](bool v) { UpdateActions = v; });
  Event(Filer, L"OnShortCut", OnShortCut, a ? &a->OnShortCut : nullptr);
}

void TBarCustomToolbar::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  Items()->GetChildren(Proc, Root);
  TBarCustomDockableWindow::GetChildren(Proc, Root);
}

void TBarCustomToolbar::SetChildOrder(TComponent* Child, int Order) {
  if (dynamic_cast<TBarCustomItem*>(Child))
    Items()->SetChildOrder(Child, Order);
  else  // the controls come after the items
    TBarCustomDockableWindow::SetChildOrder(Child, Order - Items()->Count());
}

void TBarCustomToolbar::GetTabOrderList(std::vector<TWinControl*>& List) {
  TBarCustomDockableWindow::GetTabOrderList(List);
  std::vector<TWinControl*> hidden;
  View()->GetOffEdgeControlList(hidden);
  if (hidden.empty()) return;
  List.erase(std::remove_if(List.begin(), List.end(),
                            [&](TWinControl* c) {
                              for (TWinControl* h : hidden)
                                if (c == h || h->ContainsControl(c)) return true;
                              return false;
                            }),
             List.end());
}

void TBarCustomToolbar::SetChevronMoveItems(bool Value) {
  if (chevronMoveItems_ == Value) return;
  chevronMoveItems_ = Value;
  View()->SetUsePriorityList(Value && !IsDesigning());
}

void TBarCustomToolbar::SetFloatingWidth(int Value) {
  if (floatingWidth_ == Value) return;
  floatingWidth_ = Value;
  if (GetFloating()) {
    UpdateViewProperties();
    Arrange();
  }
}

void TBarCustomToolbar::SetShrinkMode(TBarShrinkMode Value) {
  if (shrinkMode_ == Value) return;
  shrinkMode_ = Value;
  if (GetDocked())
    GetCurrentDock()->ArrangeToolbars();
  else if (!GetFloating())
    Arrange();
}

void TBarCustomToolbar::SetSystemFont(bool Value) {
  if (systemFont_ == Value) return;
  systemFont_ = Value;
  Arrange();
}

int TBarCustomToolbar::CalcWrapOffset(TBarDock* Dock) {
  if (!Dock) return floatingWidth_;
  if (shrinkMode_ != tbsmWrap) return 0;
  // The window's frame on that dock, whether it is docked there yet or laid
  // out on trial over it (the drag handle that dock gives it included).
  POINT frame{0, 0};
  AddDockedNCAreaToSize(frame, Dock->IsVertical(), Dock);
  if (Dock->IsVertical()) return Dock->GetHeight() - Dock->NonClientHeight() - frame.y;
  return Dock->GetWidth() - Dock->NonClientWidth() - frame.x;
}

int TBarCustomToolbar::CalcChevronOffset(TBarDock* Dock, TBarViewOrientation Orientation) {
  if (shrinkMode_ != tbsmChevron || !GetDocked() || Dock != GetCurrentDock()) return 0;
  POINT nc = CalcNCSizes();
  int r = ShrunkLength - (Orientation == tbvoVertical ? nc.y : nc.x);
  return r < 0 ? 0 : r;
}

void TBarCustomToolbar::UpdateViewProperties() {
  View()->Orientation = OrientationOf(BarGetDockTypeOf(GetCurrentDock(), GetFloating()));
  View()->ChevronSize = 12;
  if (!GetDocked() && !GetFloating()) {
    View()->ChevronOffset = 0;
    View()->WrapOffset = 0;
    TAnchors a = GetAnchors();
    if (!(GetAutoResize() && !(a.Contains(akLeft) && a.Contains(akRight)))) {
      int w = GetWidth() - CalcNCSizes().x;
      if (shrinkMode_ == tbsmChevron) View()->ChevronOffset = w;
      if (shrinkMode_ == tbsmWrap) View()->WrapOffset = w;
    }
  } else {
    View()->ChevronOffset = CalcChevronOffset(GetCurrentDock(), View()->Orientation);
    View()->WrapOffset = CalcWrapOffset(GetCurrentDock());
  }
}

void TBarCustomToolbar::GetMinBarSize(POINT& Size) {
  Size = POINT{0, 0};
  if (!GetDocked()) return;
  int m = GetCurrentDock()->GetMinRowSize(EffectiveDockRow, this);
  if (GetCurrentDock()->IsVertical())
    Size.x = m;
  else
    Size.y = m;
}

POINT TBarCustomToolbar::DoArrange(bool CanMoveControls, TBarDockType PreviousDockType,
                                   bool NewFloating, TBarDock* NewDock) {
  POINT size{0, 0};
  if (CanMoveControls) {
    UpdateViewProperties();
    bool saved = t_inDoArrange;
    t_inDoArrange = true;
    try {
      View()->UpdatePositions();
    } catch (...) {
      t_inDoArrange = saved;
      throw;
    }
    t_inDoArrange = saved;
    return LastArrangeSize;
  }
  TBarViewOrientation o = OrientationOf(BarGetDockTypeOf(NewDock, NewFloating));
  POINT base{0, 0};
  int lines = 1;
  View()->CalculatePositions(false, o, CalcWrapOffset(NewDock), CalcChevronOffset(NewDock, o), 12, base,
                            size, lines);
  WrappedLines = lines;
  (void)PreviousDockType;
  // Measured for floating (the drag loop's outline), the same width it
  // will float at.
  return NewFloating && !naturalMeasure_ ? FloatingSize(size) : size;
}

POINT TBarCustomToolbar::FloatingSize(POINT Size) {
  if (ShowCaption) Size.x = std::max<LONG>(Size.x, FloatingCaptionWidth());
  return Size;
}

int TBarCustomToolbar::FloatingCaptionWidth() {
  NONCLIENTMETRICSW m{};
  m.cbSize = sizeof m;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) return 0;
  const String text = GetText();
  if (text != captionMeasured_ || std::memcmp(&m.lfSmCaptionFont, &captionFont_, sizeof captionFont_) != 0) {
    captionMeasured_ = text;
    captionFont_ = m.lfSmCaptionFont;
    captionTextWidth_ = 0;
    if (HDC dc = GetDC(nullptr)) {
      HFONT font = CreateFontIndirectW(&m.lfSmCaptionFont);
      HGDIOBJ old = SelectObject(dc, font);
      SIZE size{};
      if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) captionTextWidth_ = size.cx;
      SelectObject(dc, old);
      DeleteObject(font);
      ReleaseDC(nullptr, dc);
    }
  }
  if (captionTextWidth_ <= 0) return 0;
  // The text starts a little in from the caption's edge and keeps clear of
  // the close button, as wide as the caption is high.
  return captionTextWidth_ + 2 * GetSystemMetrics(SM_CXEDGE) + 4 + (CloseButton ? GetSystemMetrics(SM_CYSMCAPTION) : 0);
}

void TBarCustomToolbar::GetBaseSize(POINT& ASize) {
  View()->ValidatePositions();
  ASize = BaseSize;
}

void TBarCustomToolbar::GetMinShrinkSize(int& AMinimumSize) {
  bool vertical = GetDocked() && GetCurrentDock()->IsVertical();
  if (TBarItemViewer* v = View()->HighestPriorityViewer())
    AMinimumSize = vertical ? v->BoundsRect.bottom - v->BoundsRect.top : v->BoundsRect.right - v->BoundsRect.left;
  POINT nc = CalcNCSizes();
  AMinimumSize += (vertical ? nc.y : nc.x) + 12;
}

void TBarCustomToolbar::ControlExistsAtPos(POINT P, bool& ControlExists) {
  TBarCustomDockableWindow::ControlExistsAtPos(P, ControlExists);
  if (ControlExists || IsDesigning() || !HandleAllocated()) return;
  POINT sp = P;
  ::ClientToScreen(GetHandle(), &sp);
  View()->UpdateSelection(&sp, true);
  TBarItemViewer* sel = View()->GetSelected();
  ControlExists = sel && !sel->Item->GetItemStyle().Contains(tbisClicksTransparent);
}

void TBarCustomToolbar::ReadPositionData(const TBarReadPositionData& Data) {
  SetFloatingWidth(Data.ReadIntProc(*Data.Name, L"FloatRightX", 0, Data.ExtraData));
}

void TBarCustomToolbar::WritePositionData(const TBarWritePositionData& Data) {
  Data.WriteIntProc(*Data.Name, L"FloatRightX", floatingWidth_, Data.ExtraData);
}

void TBarCustomToolbar::Loaded() {
  CreateWrappersForAllControls();
  TBarCustomDockableWindow::Loaded();
}

void TBarCustomToolbar::InitiateAction() {
  TBarCustomDockableWindow::InitiateAction();
  if (UpdateActions) View()->InitiateActions();
}

void TBarCustomToolbar::Paint() {
  if (!GetDocked() && IsDesigning()) BarDrawDesignOutline(Canvas(), GetClientRect());
  View()->DrawSubitems(Canvas());
}

void TBarCustomToolbar::AlignControls(TControl*, TRect&) {
  if (DisableArrange == 0) Arrange();
}

void TBarCustomToolbar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TWinControl* parent = GetParent();
  TBarCustomDockableWindow::MouseDown(Button, Shift, X, Y);
  if (GetParent() != parent || IsDesigning() || Button != mbLeft || !HandleAllocated()) return;
  POINT sp{X, Y};
  ::ClientToScreen(GetHandle(), &sp);
  View()->UpdateSelection(&sp, true);
  TBarItemViewer* sel = View()->GetSelected();
  if (sel && !sel->Item->GetItemStyle().Contains(tbisClicksTransparent)) {
    ignoreMouseLeave_ = true;
    try {
      View()->EnterToolbarLoop(TBarEnterToolbarLoopOptions{tbetMouseDown});
    } catch (...) {
      ignoreMouseLeave_ = false;
      throw;
    }
    ignoreMouseLeave_ = false;
  }
}

void TBarCustomToolbar::MouseMove(TShiftState Shift, int X, int Y) {
  if (HandleAllocated()) {
    if (!IsDesigning()) {
      POINT sp{X, Y};
      ::ClientToScreen(GetHandle(), &sp);
      View()->UpdateSelection(&sp, true);
      TBarItemViewer* sel = View()->GetSelected();
      const String h = !sel || sel->Item->GetEffectiveOptions().Contains(tboLongHintInMenuOnly) ? String()
                                                                                             : sel->Item->GetHint();
      // The application takes the item's hint, and starts its pause
      // again, as the hint changes.
      SetHint(h);
      if (sel) sel->MouseMove(X - sel->BoundsRect.left, Y - sel->BoundsRect.top);
    }
    CallTrackMouseEvent(GetHandle(), TME_LEAVE);
  }
  TBarCustomDockableWindow::MouseMove(Shift, X, Y);
}

void TBarCustomToolbar::CancelHover() {
  if (HandleAllocated() && GetCapture() == GetHandle()) return;
  View()->UpdateSelection(nullptr, true);
}

TBarControlItem* TBarCustomToolbar::CreateWrapper(int Index, TControl* Ctl) {
  auto* w = new TBarControlItem(GetOwner(), Ctl);
  // A designer names what it makes: the first free BarControlItemN.
  if (IsDesigning() && GetOwner()) {
    String name;
    for (int n = 1;; ++n) {
      name = L"BarControlItem" + IntToStr(n);
      if (!GetOwner()->FindComponent(name)) break;
    }
    w->SetName(name);
  }
  Items()->Insert(Index, w);
  return w;
}

TBarControlItem* TBarCustomToolbar::FindWrapper(TControl* Ctl) {
  for (int i = 0; i < Items()->Count(); ++i)
    if (auto* c = dynamic_cast<TBarControlItem*>(Items()->GetItem(i)))
      if (c->GetControl() == Ctl) return c;
  return nullptr;
}

void TBarCustomToolbar::CreateWrappersForAllControls() {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = GetControl(i);
    if (!FindWrapper(c)) CreateWrapper(Items()->Count(), c);
  }
}

// ---- keyboard access and menu-bar mode ------------------------------------------------

void TBarCustomToolbar::SetMenuBar(bool Value) {
  if (menuBar_ == Value) return;
  menuBar_ = Value;
  if (Value) {
    ControlStyle += csMenuEvents;
    View()->Style += TBarViewStyle{vsMenuBar, vsUseHiddenAccels};
  } else {
    ControlStyle -= csMenuEvents;
    View()->Style -= TBarViewStyle{vsMenuBar, vsUseHiddenAccels};
  }
  if (!IsLoading()) {
    SetFullSize(Value);
    SetShrinkMode(Value ? tbsmWrap : tbsmChevron);
    CloseButton = !Value;
    SetProcessShortCuts(Value);
  }
  if (Value != getMessageHookInstalled_) {
    if (Value)
      InstallHookProc(ToolbarGetMessageHook, THookProcCodes{hpGetMessage}, IsDesigning());
    else
      UninstallHookProc(ToolbarGetMessageHook);
    getMessageHookInstalled_ = Value;
  }
  SetMainWindowHook();
}

void TBarCustomToolbar::SetProcessShortCuts(bool Value) {
  if (processShortCuts_ == Value) return;
  processShortCuts_ = Value;
  SetMainWindowHook();
}

void TBarCustomToolbar::SetMainWindowHook() {
  if ((processShortCuts_ || menuBar_) && !IsDesigning() && !IsDestroying())
    InstallMainWindowHook();
  else
    UninstallMainWindowHook();
}

void TBarCustomToolbar::InstallMainWindowHook() {
  if (mainWindowHookInstalled_) return;
  if (!g_mainHookInstalled && Application) {
    Application->HookMainWindow(TWindowHook(&g_mainHookHolder, &MainHookHolder::Hook));
    g_mainHookInstalled = true;
  }
  ++g_mainHookCount;
  AddToList(g_hookedToolbars, this);
  mainWindowHookInstalled_ = true;
}

void TBarCustomToolbar::UninstallMainWindowHook() {
  if (!mainWindowHookInstalled_) return;
  mainWindowHookInstalled_ = false;
  RemoveFromList(g_hookedToolbars, this);
  if (--g_mainHookCount <= 0) {
    g_mainHookCount = 0;
    if (g_mainHookInstalled && Application)
      Application->UnhookMainWindow(TWindowHook(&g_mainHookHolder, &MainHookHolder::Hook));
    g_mainHookInstalled = false;
  }
}

bool TBarCustomToolbar::IsShortCut(TWMKey& Message) {
  bool handled = false;
  if (OnShortCut) OnShortCut(Message, handled);
  return handled || Items()->IsShortCut(Message);
}

bool TBarCustomToolbar::MainWindowHook(TMessage& Message) {
  if (Message.Msg == CM_APPKEYDOWN) {
    if (!g_hookedToolbars) return false;
    auto tryForm = [&](TCustomForm* f) {
      if (!f) return false;
      TWMKey km;
      km.Msg = WM_KEYDOWN;
      km.CharCode = static_cast<WORD>(Message.WParam);
      km.KeyData = Message.LParam;
      for (TBarCustomToolbar* t : std::vector<TBarCustomToolbar*>(*g_hookedToolbars)) {
        if (!t->processShortCuts_) continue;
        if (BarGetToolWindowParentForm(t) != f) continue;
        if (!f->HandleAllocated() || !IsWindowEnabled(f->GetHandle())) continue;
        if (t->IsShortCut(km)) return true;
      }
      return false;
    };
    TCustomForm* active = Screen ? Screen->GetActiveForm() : nullptr;
    bool done = tryForm(active);
    if (!done && Application && Application->MainForm() && Application->MainForm() != active)
      done = tryForm(Application->MainForm());
    if (done) Message.Result = 1;
    return done;
  }
  if (Message.Msg == CM_APPSYSCOMMAND) {
    TCustomForm* active = Screen ? Screen->GetActiveForm() : nullptr;
    if (!active || !active->Showing()) return false;
    auto* msg = reinterpret_cast<MSG*>(Message.LParam);
    if (!msg) return false;
    std::function<bool(TWinControl*)> search = [&](TWinControl* parent) {
      for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* c = dynamic_cast<TWinControl*>(parent->GetControl(i));
        if (!c || !c->GetVisible() || !c->GetEnabled()) continue;
        if ((dynamic_cast<TBarDock*>(c) || dynamic_cast<TBarCustomToolbar*>(c)) &&
            c->ControlStyle.Contains(csMenuEvents)) {
          if (c->Perform(WM_SYSCOMMAND, msg->wParam, msg->lParam) != 0) return true;
        }
        if (search(c)) return true;
      }
      return false;
    };
    if (search(active)) {
      Message.Result = 1;
      return true;
    }
    // Alt+letter in an MDI child: the menu bar of its MDI parent form.
    if (active->GetFormStyle() == fsMDIChild) {
      auto* frame = dynamic_cast<TCustomForm*>(TWinControl::FindControl(BarFormTopWindow(active)));
      if (frame && frame != active && frame->Showing() && search(frame)) {
        Message.Result = 1;
        return true;
      }
    }
  }
  return false;
}

bool TBarCustomToolbar::KeyboardOpen(wchar_t Key, bool RequirePrimaryAccel) {
  View()->SetAccelsVisibility(true);
  TBarItemViewer* v = nullptr;
  bool result = false;
  if (Key != 0) {
    bool only = false;
    v = View()->NextSelectableWithAccel(nullptr, Key, RequirePrimaryAccel, only);
    if (v && v->Item->GetEnabled()) {
      if (only) {
        View()->SetSelected(v);
        View()->EnterToolbarLoop(TBarEnterToolbarLoopOptions{tbetExecuteSelected});
        result = true;
      } else if (menuBar_) {
        View()->SetSelected(v);
        View()->EnterToolbarLoop(TBarEnterToolbarLoopOptions{});
        result = true;
      }
    }
  } else {
    v = View()->FirstSelectable();
    if (v) {
      View()->SetSelected(v);
      View()->EnterToolbarLoop(TBarEnterToolbarLoopOptions{});
      result = true;
    }
  }
  // A key that matched nothing leaves the underlines showing what would.
  if (v) View()->SetAccelsVisibility(false);
  return result;
}

bool TBarCustomToolbar::HandleSysCommand(TMessage& m) {
  if (!menuBar_ || !GetEnabled() || !Showing()) return false;
  if ((m.WParam & 0xFFF0) != SC_KEYMENU) return false;
  wchar_t key = static_cast<wchar_t>(LOWORD(m.LParam));
  if (key == L' ' || GetCapture()) return false;
  if (KeyboardOpen(key, false)) {
    m.Result = 1;
    return true;
  }
  if (key == L'-') return false;  // the MDI child's system menu
  MessageBeep(0);
  m.Result = 1;
  return true;
}

// The hint of the item under the pointer, for as long as the pointer stays
// within that item.
void TBarCustomToolbar::CMHintShow(TMessage& Message) {
  Message.Result = 0;
  auto* info = reinterpret_cast<THintInfo*>(Message.LParam);
  if (!info) return;
  info->HintStr.clear();
  TBarItemViewer* v = View()->ViewerFromPoint(info->CursorPos);
  if (v && !IsRectEmpty(&v->BoundsRect)) {
    info->CursorRect = v->BoundsRect;
    info->HintStr = v->GetHintText();
  }
}

void TBarCustomToolbar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SYSCOMMAND:
      if (HandleSysCommand(m)) return;
      // A keyboard-menu command the menu bar leaves (Alt+Space and the like)
      // is its form's, which carries it out once the menu bar has said no:
      // this window's default procedure would carry it out first, and the
      // system menu would open twice.
      if (menuBar_ && (m.WParam & 0xFFF0) == SC_KEYMENU) {
        m.Result = 0;
        return;
      }
      break;
    case WM_GETOBJECT:
      if (view_ && View()->HandleWMGetObject(m)) return;
      break;
    case CM_DIALOGKEY:
      if (m.WParam == VK_MENU && menuBar_) View()->SetAccelsVisibility(true);
      break;
    case CM_DIALOGCHAR:
      if (!menuBar_ && GetEnabled() && Showing() && m.WParam != 0 &&
          KeyboardOpen(static_cast<wchar_t>(m.WParam), true)) {
        m.Result = 1;
        return;
      }
      break;
    case WM_SETCURSOR:
      if (!IsDesigning() && reinterpret_cast<HWND>(m.WParam) == GetHandle() &&
          LOWORD(m.LParam) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        View()->UpdateSelection(&p, true);
        if (TBarItemViewer* sel = View()->GetSelected()) {
          HCURSOR c = nullptr;
          sel->GetCursor(sel->ScreenToClient(p), c);
          if (c) {
            ::SetCursor(c);
            m.Result = 1;
            return;
          }
        }
      }
      break;
    case WM_MOUSELEAVE:
      if (!ignoreMouseLeave_) CancelHover();
      break;
    case WM_NCMOUSEMOVE:
      CancelHover();
      SetHint(String());
      break;
    case WM_RBUTTONUP:
    case CM_MOUSELEAVE:
      CancelHover();
      break;
    case CM_HINTSHOW:
      CMHintShow(m);
      return;
    case CM_SHOWHINTCHANGED:
      TBarCustomDockableWindow::WndProc(m);
      if (GetShowHint())
        View()->Style += vsAlwaysShowHints;
      else
        View()->Style -= vsAlwaysShowHints;
      return;
    case CM_COLORCHANGED:
      if (view_) view_->BackgroundColor = GetColor();
      break;
    case CM_FONTCHANGED:
      TBarCustomDockableWindow::WndProc(m);
      if (!systemFont_) Arrange();
      return;
    case CM_WININICHANGE:
      TBarCustomDockableWindow::WndProc(m);
      if (m.WParam == SPI_SETNONCLIENTMETRICS) {
        BarInitToolbarSystemFont();
        Arrange();
      }
      return;
    case CM_CONTROLCHANGE:
      TBarCustomDockableWindow::WndProc(m);
      if (m.LParam && !IsLoading() && !GetComponentState().Contains(csUpdating)) {
        auto* c = reinterpret_cast<TControl*>(m.WParam);
        if (!FindWrapper(c)) CreateWrapper(Items()->Count(), c);
      }
      return;
    case CM_CONTROLLISTCHANGE:
      TBarCustomDockableWindow::WndProc(m);
      if (!m.LParam) {
        auto* c = reinterpret_cast<TControl*>(m.WParam);
        while (TBarControlItem* w = FindWrapper(c)) {
          w->DontFreeControl = true;
          delete w;
        }
      }
      return;
    default:
      break;
  }
  TBarCustomDockableWindow::WndProc(m);
}
