#include "toolbars/BarEditItem.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "toolbars/BarFiler.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarUtilsWin.h"

namespace {
String ApplyCase(const String& S, TEditCharCase C) {
  if (C == ecNormal || S.empty()) return S;
  String r = S;
  if (C == ecUpperCase)
    CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
  else
    CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
  return r;
}

HDC PrepDC(TCanvas* C) {
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  SetTextColor(dc, ColorToRef(C->Font()->GetColor()));
  return dc;
}
}  // namespace

// ---- the item -----------------------------------------------------------------------
TBarEditItem::TBarEditItem(TComponent* AOwner) : TBarCustomItem(AOwner) {}

void TBarEditItem::SetText(const String& Value) {
  String v = ApplyCase(Value, charCase_);
  if (v == text_) return;
  text_ = v;
  Change(false);
}

void TBarEditItem::SetCharCase(TEditCharCase Value) {
  if (charCase_ == Value) return;
  charCase_ = Value;
  SetText(text_);
}

void TBarEditItem::SetEditCaption(const String& Value) {
  if (editCaption_ == Value) return;
  editCaption_ = Value;
  Change(true);
}

void TBarEditItem::SetEditOptions(TBarEditItemOptions Value) {
  if (editOptions_ == Value) return;
  editOptions_ = Value;
  Change(true);
}

void TBarEditItem::SetEditWidth(int Value) {
  if (editWidth_ == Value) return;
  editWidth_ = Value;
  Change(true);
}

void TBarEditItem::SetMaxLength(int Value) {
  if (maxLength_ == Value) return;
  maxLength_ = Value;
  Change(false);
}

// ---- action --------------------------------------------------------------------
TBarCustomItemActionLinkClass TBarEditItem::GetActionLinkClass() { return &TBarEditItemActionLink::CreateLink; }

void TBarEditItem::ActionChange(TObject* Sender, bool CheckDefaults) {
  TBarCustomItem::ActionChange(Sender, CheckDefaults);
  auto* a = dynamic_cast<TBarEditAction*>(Sender);
  if (!a) return;
  if (!CheckDefaults || editCaption_.empty()) SetEditCaption(a->GetEditCaption());
  if (!CheckDefaults || editOptions_.Empty()) SetEditOptions(a->GetEditOptions());
  // The width too: while tied it is stored with the action only, so an item
  // read back takes it from there.
  if (!CheckDefaults || editWidth_ == 64) SetEditWidth(a->GetEditWidth());
  if (!CheckDefaults || text_.empty()) SetText(a->GetText());
  if (!CheckDefaults || !OnAcceptText) OnAcceptText = a->GetOnAcceptText();
}

namespace {
TBarEditItemActionLink* EditLinkOf(const TBarCustomItem* Item) {
  return dynamic_cast<TBarEditItemActionLink*>(Item->GetActionLink());
}
}  // namespace

bool TBarEditItem::IsEditCaptionStored() const {
  auto* l = EditLinkOf(this);
  return !l || !l->IsEditCaptionLinked();
}
bool TBarEditItem::IsEditOptionsStored() const {
  auto* l = EditLinkOf(this);
  return !editOptions_.Empty() && (!l || !l->IsEditOptionsLinked());
}
bool TBarEditItem::IsEditWidthStored() const {
  auto* l = EditLinkOf(this);
  return editWidth_ != 64 && (!l || !l->IsEditWidthLinked());
}
bool TBarEditItem::IsTextStored() const {
  auto* l = EditLinkOf(this);
  return !l || !l->IsTextLinked();
}

namespace {
const std::vector<const wchar_t*> kCharCaseNames{L"ecNormal", L"ecUpperCase", L"ecLowerCase"};
const std::vector<const wchar_t*> kEditOptionNames{L"tboUseEditWhenVertical"};
}  // namespace

void TBarEditItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  const auto* a = dynamic_cast<TBarEditItem*>(Filer->GetAncestor());
  using namespace BarFiler;
  Enum(Filer, L"CharCase", charCase_, a ? a->charCase_ : ecNormal, kCharCaseNames,
       [this](int v) { SetCharCase(static_cast<TEditCharCase>(v)); });
  Text(Filer, L"EditCaption", editCaption_, a ? a->editCaption_ : String(),
       [this](const String& v) { SetEditCaption(v); }, IsEditCaptionStored());
  // Against an ancestor what differs is stored, unless the action ties it.
  TBarEditItemActionLink* l = EditLinkOf(this);
  Set(Filer, L"EditOptions", editOptions_.Bits(), a ? a->editOptions_.Bits() : 0u,
      kEditOptionNames, [this](unsigned v) { SetEditOptions(TBarEditItemOptions::FromBits(v)); },
      a ? !l || !l->IsEditOptionsLinked() : IsEditOptionsStored());
  Integer(Filer, L"EditWidth", editWidth_, a ? a->editWidth_ : 64,
          [this](int v) { SetEditWidth(v); }, a ? !l || !l->IsEditWidthLinked() : IsEditWidthStored());
  Integer(Filer, L"MaxLength", maxLength_, a ? a->maxLength_ : 0, [this](int v) { SetMaxLength(v); });
  Text(Filer, L"Text", text_, a ? a->text_ : String(), [this](const String& v) { SetText(v); }, IsTextStored());
  Event(Filer, L"OnAcceptText", OnAcceptText, a ? &a->OnAcceptText : nullptr);
  Event(Filer, L"OnBeginEdit", OnBeginEdit, a ? &a->OnBeginEdit : nullptr);
}

void TBarEditAction::DefineProperties(TFiler* Filer) {
  TAction::DefineProperties(Filer);
  using namespace BarFiler;
  const auto* a = dynamic_cast<TBarEditAction*>(Filer->GetAncestor());
  Text(Filer, L"EditCaption", editCaption_, a ? a->editCaption_ : String(),
       [this](const String& v) { SetEditCaption(v); });
  Set(Filer, L"EditOptions", editOptions_.Bits(), a ? a->editOptions_.Bits() : 0u, kEditOptionNames,
      [this](unsigned v) { SetEditOptions(TBarEditItemOptions::FromBits(v)); });
  Integer(Filer, L"EditWidth", editWidth_, a ? a->editWidth_ : 64, [this](int v) { SetEditWidth(v); });
  Text(Filer, L"Text", text_, a ? a->text_ : String(), [this](const String& v) { SetText(v); });
  EventBy(Filer, L"OnAcceptText", onAcceptText_, a ? &a->onAcceptText_ : nullptr,
          [this](const TBarAcceptTextEvent& v) { SetOnAcceptText(v); });
}

TBarEditAction::TBarEditAction(TComponent* AOwner) : TAction(AOwner) { SetDisableIfNoHandler(false); }

template <class F>
void TBarEditAction::ForEditLinks(F&& Set) {
  ForLinks([&](TActionLink* l) {
    if (auto* e = dynamic_cast<TBarEditItemActionLink*>(l)) Set(e);
  });
}

void TBarEditAction::SetEditCaption(const String& Value) {
  if (Value == editCaption_) return;
  ForEditLinks([&](TBarEditItemActionLink* l) { l->SetEditCaption(Value); });
  editCaption_ = Value;
  Change();
}

void TBarEditAction::SetEditOptions(TBarEditItemOptions Value) {
  if (Value == editOptions_) return;
  ForEditLinks([&](TBarEditItemActionLink* l) { l->SetEditOptions(Value); });
  editOptions_ = Value;
  Change();
}

void TBarEditAction::SetEditWidth(int Value) {
  if (Value == editWidth_) return;
  ForEditLinks([&](TBarEditItemActionLink* l) { l->SetEditWidth(Value); });
  editWidth_ = Value;
  Change();
}

void TBarEditAction::SetText(const String& Value) {
  if (Value == text_) return;
  ForEditLinks([&](TBarEditItemActionLink* l) { l->SetText(Value); });
  text_ = Value;
  Change();
}

void TBarEditAction::SetOnAcceptText(const TBarAcceptTextEvent& Value) {
  if (MethodsEqual(Value, onAcceptText_)) return;
  ForEditLinks([&](TBarEditItemActionLink* l) { l->SetOnAcceptText(Value); });
  onAcceptText_ = Value;
  Change();
}

bool TBarEditItemActionLink::IsEditCaptionLinked() {
  TBarEditAction* a = EditAction();
  return a && editClient_ && editClient_->GetEditCaption() == a->GetEditCaption();
}
bool TBarEditItemActionLink::IsEditOptionsLinked() {
  TBarEditAction* a = EditAction();
  return a && editClient_ && editClient_->GetEditOptions() == a->GetEditOptions();
}
bool TBarEditItemActionLink::IsEditWidthLinked() {
  TBarEditAction* a = EditAction();
  return a && editClient_ && editClient_->GetEditWidth() == a->GetEditWidth();
}
bool TBarEditItemActionLink::IsOnAcceptTextLinked() {
  TBarEditAction* a = EditAction();
  return a && editClient_ && MethodsEqual(editClient_->OnAcceptText, a->GetOnAcceptText());
}
bool TBarEditItemActionLink::IsTextLinked() {
  TBarEditAction* a = EditAction();
  return a && editClient_ && editClient_->GetText() == a->GetText();
}
void TBarEditItemActionLink::SetEditCaption(const String& Value) {
  if (IsEditCaptionLinked()) editClient_->SetEditCaption(Value);
}
void TBarEditItemActionLink::SetEditOptions(TBarEditItemOptions Value) {
  if (IsEditOptionsLinked()) editClient_->SetEditOptions(Value);
}
void TBarEditItemActionLink::SetEditWidth(int Value) {
  if (IsEditWidthLinked()) editClient_->SetEditWidth(Value);
}
void TBarEditItemActionLink::SetOnAcceptText(const TBarAcceptTextEvent& Value) {
  if (IsOnAcceptTextLinked()) editClient_->OnAcceptText = Value;
}
void TBarEditItemActionLink::SetText(const String& Value) {
  if (IsTextLinked()) editClient_->SetText(Value);
}

TBarItemViewerClass TBarEditItem::GetItemViewerClass(TBarView* AView) {
  if (!editOptions_.Contains(tboUseEditWhenVertical) && AView && AView->Orientation == tbvoVertical)
    return TBarCustomItem::GetItemViewerClass(AView);
  return &TBarEditItemViewer::CreateViewer;
}

bool TBarEditItem::NeedToRecreateViewer(TBarItemViewer* AViewer) {
  return GetItemViewerClass(AViewer->View) != AViewer->GetClass();
}

void TBarEditItem::DoBeginEdit(TBarEditItemViewer* Viewer) {
  if (OnBeginEdit) OnBeginEdit(this, Viewer, Viewer->EditControl);
}

// ---- the viewer ---------------------------------------------------------------------
TBarItemViewer* TBarEditItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TBarEditItemViewer(AView, AItem, AGroupLevel);
}

String TBarEditItemViewer::GetCaptionText() { return EditItem()->GetEditCaption(); }

bool TBarEditItemViewer::CaptionShown() {
  if (IsToolbarStyle()) return false;
  return TBarItemViewer::CaptionShown();
}

bool TBarEditItemViewer::GetAccValue(String& Value) {
  Value = EditItem()->GetText();
  return true;
}

void TBarEditItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  HDC dc = PrepDC(Canvas);
  int H = GetTextHeight(dc);
  AWidth = EditItem()->GetEditWidth();
  AHeight = H;
  if (!IsToolbarStyle() && !EditItem()->GetEditCaption().empty())
    AWidth += GetTextWidth(dc, EditItem()->GetEditCaption(), true) + 10;
  if (!IsToolbarStyle()) AHeight += DivRoundUp(AHeight, 4);
  AHeight = std::max(AHeight, H + 7);
}

void TBarEditItemViewer::GetEditRect(RECT& R) {
  R = BoundsRect;
  if (!View->IsToolbar && !EditItem()->GetEditCaption().empty()) {
    HDC dc = GetDC(0);
    HGDIOBJ old = SelectObject(dc, BarToolbarFont()->GetHandle());
    R.left += GetTextWidth(dc, EditItem()->GetEditCaption(), true) + 10;
    SelectObject(dc, old);
    ReleaseDC(0, dc);
  }
}

void TBarEditItemViewer::Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed,
                               bool UseDisabledShadow) {
  HDC dc = PrepDC(Canvas);
  RECT R = ClientAreaRect;
  bool enabled = Item->GetEnabled();
  const String& cap = EditItem()->GetEditCaption();
  if (!IsToolbarStyle() && !cap.empty()) {
    int W = GetTextWidth(dc, cap, true) + 6;
    RECT cr = R;
    cr.right = cr.left + W;
    if (IsSelected) Canvas->FillRect(cr);
    cr.left += 3;
    SetBkMode(dc, TRANSPARENT);
    DrawItemCaption(Canvas, cr, cap, UseDisabledShadow, DT_SINGLELINE | DT_VCENTER);
    R = ClientAreaRect;
    R.left += W + 4;
  }
  if (IsSelected && enabled) {
    RECT e = R;
    DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
  }
  InflateRect(&R, -1, -1);
  HBRUSH frame = CreateSolidBrush(ColorToRef(enabled ? clBtnFace : clWindow));
  FrameRect(dc, &R, frame);
  DeleteObject(frame);
  InflateRect(&R, -1, -1);
  HBRUSH fill = CreateSolidBrush(ColorToRef(enabled ? clWindow : clBtnFace));
  FillRect(dc, &R, fill);
  DeleteObject(fill);
  InflateRect(&R, -1, -1);
  const String& text = EditItem()->GetText();
  if (!text.empty()) {
    SetBkMode(dc, TRANSPARENT);
    COLORREF old = SetTextColor(dc, ColorToRef(enabled ? clWindowText : clGrayText));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &R, DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, old);
  }
  (void)IsPushed;
}

void TBarEditItemViewer::GetCursor(POINT Pt, HCURSOR& ACursor) {
  if (!Item->GetEnabled()) return;
  RECT r;
  GetEditRect(r);
  OffsetRect(&r, -BoundsRect.left, -BoundsRect.top);
  InflateRect(&r, -2, -2);
  if (PtInRect(&r, Pt)) ACursor = LoadCursorW(nullptr, IDC_IBEAM);
}

void TBarEditItemViewer::MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) {
  if (IsPtInButtonPart(X, Y))
    MouseBeginEdit();
  else
    TBarItemViewer::MouseDown(Shift, X, Y, MouseDownOnMenu);
}

void TBarEditItemViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  if (IsPtInButtonPart(X, Y))
    MouseBeginEdit();
  else
    TBarItemViewer::MouseUp(X, Y, MouseWasDownOnMenu);
}

void TBarEditItemViewer::MouseBeginEdit() {
  if (Item->GetEnabled())
    Execute(true);
  else if (!View->ParentView && View->IsToolbar)
    View->EndModal();
}

bool TBarEditItemViewer::DoExecute() {
  View->CancelChildPopups();
  if (EditLoop(View->GetCaptureWnd())) View->EndModal();
  return EditControlStatus.Contains(ecsAccept) && EditControlStatus.Contains(ecsClose);
}

TBarEditControlClass TBarEditItemViewer::GetEditControlClass() { return &BarClassOf<TEdit, TEdit, TComponent*>; }

void TBarEditItemViewer::AcceptText() {
  String newText = EditControl->GetText();
  bool accept = true;
  if (EditItem()->OnAcceptText) EditItem()->OnAcceptText(this, newText, accept);
  if (accept) EditItem()->SetText(newText);
}

void TBarEditItemViewer::EditWndProc(TMessage& Message) {
  if (Message.Msg == WM_CHAR) {
    switch (Message.WParam) {
      case 9:
        EditControlStatus = TBarEditControlStatus{ecsAccept};
        AcceptText();
        return;
      case 13:
        EditControlStatus = TBarEditControlStatus{ecsAccept, ecsClose};
        AcceptText();
        return;
      case 27:
        EditControlStatus = TBarEditControlStatus{};
        return;
      default:
        break;
    }
  }
  oldWndProc_(Message);
}

bool TBarEditItemViewer::EditLoop(HWND CapHandle) {
  RECT R;
  GetEditRect(R);
  if (IsRectEmpty(&R)) return false;
  HWND activeWnd = GetActiveWindow();
  HWND focusWnd = GetFocus();
  InflateRect(&R, -3, -3);
  std::unique_ptr<TEdit> edit(GetEditControlClass()(nullptr));
  EditControl = edit.get();
  EditControlStatus = TBarEditControlStatus{ecsContinueLoop};
  String finalText;
  try {
    {
      wchar_t name[96];
      swprintf(name, 96, L"%hs_edit_control_%016llX", ClassName(),
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(edit.get())));
      edit->SetName(name);
    }
    edit->SetVisible(false);
    edit->SetBorderStyle(bsNone);
    edit->SetAutoSize(false);
    edit->Font()->Assign(*View->GetFont());
    edit->SetText(EditItem()->GetText());
    edit->SetCharCase(EditItem()->GetCharCase());
    edit->SetMaxLength(EditItem()->GetMaxLength());
    edit->SetBoundsRect(R);
    oldWndProc_ = edit->WindowProc;
    edit->WindowProc = TWndMethod(this, &TBarEditItemViewer::EditWndProc);
    edit->SetParentWindow(View->Window->GetHandle());
    edit->HandleNeeded();
    edit->SelectAll();
    EditItem()->DoBeginEdit(this);
    edit->SetVisible(true);
    SetFocus(edit->GetHandle());
    if (GetActiveWindow() != activeWnd && activeWnd)
      SendMessageW(activeWnd, WM_NCACTIVATE, 1, 0);
    else
      activeWnd = nullptr;

    HWND editWnd = edit->GetHandle();
    bool first = true;
    auto pending = [&](MSG& msg) { return PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE; };
    while (EditControlStatus.Contains(ecsContinueLoop) && GetFocus() == editWnd && Item->GetEnabled()) {
      if (!first) WaitMessage();
      first = false;
      MSG msg;
      while (EditControlStatus.Contains(ecsContinueLoop) && pending(msg)) {
        if (msg.message == WM_QUIT) {
          // End the edit; the quit message stays for the application's loop.
          EditControlStatus = TBarEditControlStatus{};
          break;
        }
        if (msg.message == WM_SYSKEYUP && msg.wParam == VK_MENU) {
          EditControlStatus = TBarEditControlStatus{ecsClose};
          break;
        }
        if (msg.message == WM_SYSKEYDOWN && msg.wParam != VK_MENU && msg.wParam != VK_SHIFT &&
            msg.wParam != 25) {
          UINT scan = (msg.lParam >> 16) & 0xFF;
          bool keypad = false;
          for (UINT vk = VK_NUMPAD0; vk <= VK_NUMPAD9; ++vk)
            if (MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) == scan) keypad = true;
          if (!keypad) {
            EditControlStatus = TBarEditControlStatus{ecsClose};
            break;
          }
        }
        bool button = (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK) ||
                      (msg.message >= WM_NCLBUTTONDOWN && msg.message <= WM_NCMBUTTONDBLCLK);
        if (button && msg.hwnd != editWnd) goto loopEnd;
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
          POINT p;
          GetCursorPos(&p);
          HWND under = WindowFromPoint(p);
          bool overEdit = under == editWnd || IsChild(editWnd, under);
          if (GetCapture() == CapHandle && CapHandle && overEdit)
            ReleaseCapture();
          else if (!GetCapture() && !overEdit && CapHandle)
            ::SetCapture(CapHandle);
          if (CapHandle && GetCapture() == CapHandle) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD);
        if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST && msg.hwnd == CapHandle &&
            CapHandle)
          continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  loopEnd:
    RemoveMessages(WM_CHAR, WM_DEADCHAR);
    RemoveMessages(WM_SYSCHAR, WM_SYSDEADCHAR);
    finalText = edit->GetText();
  } catch (...) {
    RemoveMessages(WM_CHAR, WM_DEADCHAR);
    RemoveMessages(WM_SYSCHAR, WM_SYSDEADCHAR);
    EditControl = nullptr;
    edit.reset();
    throw;
  }
  bool lostFocus = EditControlStatus == TBarEditControlStatus{ecsContinueLoop};
  if (lostFocus && EditItem()->ExtendedAccept) {
    bool accept = true;
    String t = finalText;
    if (EditItem()->OnAcceptText) EditItem()->OnAcceptText(this, t, accept);
    if (accept) EditItem()->SetText(t);
  }
  edit->WindowProc = oldWndProc_;
  EditControl = nullptr;
  edit.reset();
  if (View->Window && View->Window->HandleAllocated()) UpdateWindow(View->Window->GetHandle());
  if (GetActiveWindow()) {
    if (focusWnd && IsWindow(focusWnd)) SetFocus(focusWnd);
    if (!GetCapture() && CapHandle) ::SetCapture(CapHandle);
  }
  if (activeWnd) SendMessageW(activeWnd, WM_NCACTIVATE, GetActiveWindow() == activeWnd, 0);
  if (dynamic_cast<TBarPopupWindow*>(View->Window))
    SetWindowPos(View->Window->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  View->NotifyFocusEvent();
  if (EditControlStatus.Contains(ecsAccept) && !EditControlStatus.Contains(ecsClose) && CapHandle &&
      GetCapture() == CapHandle)
    View->SetSelected(View->NextSelectable(View->GetSelected(), GetKeyState(VK_SHIFT) >= 0));
  return EditControlStatus.Contains(ecsClose);
}

// ---- visibility toggle --------------------------------------------------------------
void TBarVisibilityToggleItem::SetControl(TControl* Value) {
  if (control_ == Value) return;
  if (control_) control_->RemoveFreeNotification(this);
  control_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    if (GetCaption().empty() && !IsLoading()) SetCaption(Value->GetText());
  }
  UpdateProps();
}

void TBarVisibilityToggleItem::UpdateProps() {
  if (IsLoading() || IsDestroying() || IsDesigning()) return;
  SetChecked(control_ && control_->GetVisible());
}

void TBarVisibilityToggleItem::Click() {
  if (control_) control_->SetVisible(!control_->GetVisible());
  TBarCustomItem::Click();
}

void TBarVisibilityToggleItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  const auto* a = dynamic_cast<TBarVisibilityToggleItem*>(Filer->GetAncestor());
  // Read back once the whole form is read: the control may come later.
  BarFiler::Link(Filer, L"Control", control_, a ? a->control_ : nullptr,
                 [this](TComponent* c) { SetControl(dynamic_cast<TControl*>(c)); });
}

void TBarVisibilityToggleItem::Notification(TComponent* AComponent, TOperation Operation) {
  TBarCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == control_) SetControl(nullptr);
}
