#include "toolbars/BarItems.h"

#include <mmsystem.h>

#include <algorithm>

#include "classlib/Forms.h"
#include "classlib/ImgList.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/BarViews.h"

const wchar_t* const SBarItemIndexOutOfRange = L"Toolbar item index out of range";
const wchar_t* const SBarItemAlreadyInserted = L"Toolbar item already inserted";
const wchar_t* const SBarViewerNotFound =
    L"An item viewer associated the specified item could not be found";
const wchar_t* const SBarChevronItemMoreButtonsHint = L"More Buttons|";
const wchar_t* const SBarDockParentNotAllowed =
    L"A TBarDock control cannot be placed inside a tool window or another TBarDock";
const wchar_t* const SBarDockCannotChangePosition =
    L"Cannot change Position of a TBarDock if it already contains controls";
const wchar_t* const SBarToolwinNameNotSet =
    L"Cannot save dockable window's position because Name property is not set";
const wchar_t* const SBarToolwinDockedToNameNotSet =
    L"Cannot save dockable window's position because DockedTo's Name property not set";

void BarHandleException(TObject* Sender) { HandleCallbackException(Sender); }

// ---- click queue ------------------------------------------------------------------
namespace {
constexpr UINT WM_BAR_CLICK = WM_USER + 0x100;
void* const kPlaceholder = reinterpret_cast<void*>(1);

struct ClickEntry {
  void* Object = nullptr;  // a TObject, or the placeholder of a forgotten one
};

struct ThreadClickState {
  int RefCount = 0;
  HWND Wnd = nullptr;
  std::vector<ClickEntry>* List = nullptr;
};
thread_local ThreadClickState t_click;

LRESULT CALLBACK ClickWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_BAR_CLICK) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  ClickEntry e;
  auto* list = t_click.List;
  if (list && LParam >= 0 && LParam < static_cast<LPARAM>(list->size())) {
    e = (*list)[static_cast<size_t>(LParam)];
    (*list)[static_cast<size_t>(LParam)] = ClickEntry{};
    while (!list->empty() && list->back().Object == nullptr) list->pop_back();
  }
  if (e.Object && e.Object != kPlaceholder) {
    try {
      auto* o = static_cast<TObject*>(e.Object);
      if (auto* viewer = dynamic_cast<TBarItemViewer*>(o))
        viewer->AccSelect(WParam != 0);
      else if (auto* item = dynamic_cast<TBarCustomItem*>(o))
        item->Click();
    } catch (...) {
      BarHandleException(nullptr);
    }
  }
  return 0;
}

HWND EnsureClickWindow() {
  if (t_click.Wnd) return t_click.Wnd;
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ClickWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZembrioBarClickWindow";
    atom = RegisterClassW(&wc);
  }
  t_click.Wnd = CreateWindowExW(0, L"ZembrioBarClickWindow", L"", WS_POPUP, 0, 0, 0, 0,
                                HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  return t_click.Wnd;
}
}  // namespace

namespace BarClickQueue {
void AddRef() { ++t_click.RefCount; }

void Release() {
  if (--t_click.RefCount > 0) return;
  t_click.RefCount = 0;
  if (t_click.Wnd) DestroyWindow(t_click.Wnd);
  t_click.Wnd = nullptr;
  FreeAndNil(t_click.List);
}

void QueueClick(TObject* Object, WPARAM WParam) {
  HWND w = EnsureClickWindow();
  if (!t_click.List) t_click.List = new std::vector<ClickEntry>();
  auto& l = *t_click.List;
  size_t slot = l.size();
  for (size_t i = 0; i < l.size(); ++i)
    if (l[i].Object == nullptr) {
      slot = i;
      break;
    }
  if (slot == l.size()) l.push_back(ClickEntry{});
  l[slot] = ClickEntry{Object};
  PostMessageW(w, WM_BAR_CLICK, WParam, static_cast<LPARAM>(slot));
}

void Forget(TObject* Object) {
  if (!t_click.List) return;
  for (auto& e : *t_click.List)
    if (e.Object == static_cast<void*>(Object)) e.Object = kPlaceholder;
}

int SlotCount() { return t_click.List ? static_cast<int>(t_click.List->size()) : 0; }
HWND Window() { return t_click.Wnd; }
}  // namespace BarClickQueue

// ---- done actions -------------------------------------------------------------
void ProcessDoneAction(const TBarDoneActionData& Data) {
  switch (Data.DoneAction) {
    case tbdaClickItem:
      if (Data.Sound && NeedToPlaySound(L"MenuCommand"))
        PlaySoundW(L"MenuCommand", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
      if (Data.ClickItem) Data.ClickItem->PostClick();
      break;
    case tbdaOpenSystemMenu:
      SendMessageW(Data.Wnd, WM_SYSCOMMAND, SC_KEYMENU, Data.Key);
      break;
    case tbdaHelpContext: {
      // A form with a help button shows the topic as a pop-up.
      TCustomForm* active = Screen ? Screen->GetActiveForm() : nullptr;
      if (!Application) break;
      if (active && active->GetBorderIcons().Contains(biHelp))
        Application->HelpCommand(HELP_CONTEXTPOPUP, Data.ContextID);
      else
        Application->HelpContext(Data.ContextID);
      break;
    }
    default:
      break;
  }
}

// ---- the item -----------------------------------------------------------------
TBarCustomItem::TBarCustomItem(TComponent* AOwner) : TComponent(AOwner) {
  itemStyle_ = TBarItemStyle{tbisSelectable, tbisRedrawOnSelChange, tbisRedrawOnMouseOverChange};
  BarClickQueue::AddRef();
}

TBarCustomItem::~TBarCustomItem() {
  Destroying();
  BarClickQueue::Forget(this);
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
  if (linkSubitems_) {
    RemoveFromList(linkSubitems_->linkParents_, this);
    linkSubitems_ = nullptr;
  }
  if (linkParents_) {
    // Items that show our subitems forget the link.
    auto copy = *linkParents_;
    for (TBarCustomItem* p : copy) p->SetLinkSubitems(nullptr);
  }
  actionLink_.reset();
  DestroyComponents();
  FreeAndNil(notifyList_);
  FreeAndNil(linkParents_);
  BarClickQueue::Release();
}

TBarCustomItem* TBarCustomItem::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) throw EBarItemError(String(SBarItemIndexOutOfRange));
  return items_[static_cast<size_t>(Index)];
}

int TBarCustomItem::IndexOf(const TBarCustomItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TBarCustomItem::Insert(int NewIndex, TBarCustomItem* Item) {
  if (Item->parent_) throw EBarItemError(String(SBarItemAlreadyInserted));
  if (NewIndex < 0 || NewIndex > Count()) throw EBarItemError(String(SBarItemIndexOutOfRange));
  items_.insert(items_.begin() + NewIndex, Item);
  Item->parent_ = this;
  ViewBeginUpdate();
  Notify(tbicInserted, NewIndex, Item);
  Item->RefreshOptions();
  ViewEndUpdate();
}

void TBarCustomItem::Delete(int Index) {
  TBarCustomItem* item = GetItem(Index);
  Notify(tbicDeleting, Index, item);
  item->parent_ = nullptr;
  items_.erase(items_.begin() + Index);
}

void TBarCustomItem::Remove(TBarCustomItem* Item) {
  int i = IndexOf(Item);
  if (i >= 0) Delete(i);
}

void TBarCustomItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

void TBarCustomItem::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (NewIndex < 0 || NewIndex >= Count()) throw EBarItemError(String(SBarItemIndexOutOfRange));
  TBarCustomItem* item = GetItem(CurIndex);
  ViewBeginUpdate();
  Delete(CurIndex);
  Insert(NewIndex, item);
  ViewEndUpdate();
}

bool TBarCustomItem::ContainsItem(const TBarCustomItem* Item) const {
  for (const TBarCustomItem* p = Item; p; p = p->parent_)
    if (p == this) return true;
  return false;
}

void TBarCustomItem::ViewBeginUpdate() { Notify(tbicSubitemsBeginUpdate, -1, nullptr); }
void TBarCustomItem::ViewEndUpdate() { Notify(tbicSubitemsEndUpdate, -1, nullptr); }

TComponent* TBarCustomItem::GetParentComponent() const {
  if (parentComponent_) return parentComponent_;
  if (parent_ && parent_->parentComponent_) return parent_->parentComponent_;
  return parent_;
}

void TBarCustomItem::SetParentComponent(TComponent* Value) {
  if (parent_) parent_->Remove(this);
  if (auto* item = dynamic_cast<TBarCustomItem*>(Value))
    item->Add(this);
  else if (auto* intf = dynamic_cast<IBarItems*>(Value))
    intf->GetItems()->Add(this);
}

void TBarCustomItem::RegisterNotification(const TBarItemChangedProc& Proc) {
  if (!notifyList_) notifyList_ = new std::vector<NotifyRec>();
  for (auto& r : *notifyList_)
    if (r.Proc == Proc) {
      ++r.RefCount;
      return;
    }
  notifyList_->push_back(NotifyRec{Proc, 1});
}

void TBarCustomItem::UnregisterNotification(const TBarItemChangedProc& Proc) {
  if (!notifyList_) return;
  for (size_t i = 0; i < notifyList_->size(); ++i) {
    if ((*notifyList_)[i].Proc == Proc) {
      if (--(*notifyList_)[i].RefCount == 0) notifyList_->erase(notifyList_->begin() + i);
      break;
    }
  }
  if (notifyList_->empty()) {
    FreeAndNil(notifyList_);
  }
}

void TBarCustomItem::Notify(TBarItemChangedAction Action, int Index, TBarCustomItem* Item) {
  InternalNotify(this, 0, Action, Index, Item);
}

void TBarCustomItem::InternalNotify(TBarCustomItem* Ancestor, int NestingLevel,
                                    TBarItemChangedAction Action, int Index,
                                    TBarCustomItem* Item) {
  // Relayed at most ten levels up.
  if (NestingLevel < 10) {
    if (itemStyle_.Contains(tbisEmbeddedGroup) && parent_)
      parent_->InternalNotify(Ancestor == this ? this : Ancestor, NestingLevel + 1, Action, Index,
                              Item);
    if (linkParents_) {
      auto copy = *linkParents_;
      for (TBarCustomItem* lp : copy)
        if (lp != parent_ && lp->itemStyle_.Contains(tbisEmbeddedGroup) && lp->parent_)
          lp->parent_->InternalNotify(Ancestor == this ? lp : Ancestor, NestingLevel + 1, Action,
                                      Index, Item);
    }
  }
  size_t i = 0;
  while (notifyList_ && i < notifyList_->size()) {
    TBarItemChangedProc proc = (*notifyList_)[i].Proc;
    proc(Ancestor, Ancestor != this, Action, Index, Item);
    // A subscriber that unregistered itself leaves the next one at index i.
    if (notifyList_ && i < notifyList_->size() && (*notifyList_)[i].Proc == proc) ++i;
  }
}

void TBarCustomItem::RecreateItemViewers() {
  if (parent_) parent_->Notify(tbicRecreateItemViewers, -1, this);
}

void TBarCustomItem::Change(bool NeedResize) {
  if (parent_) parent_->Notify(NeedResize ? tbicInvalidateAndResize : tbicInvalidate, -1, this);
}

void TBarCustomItem::SetCaption(const String& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  Change(true);
}

void TBarCustomItem::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  Change(false);
  if (Value) TurnSiblingsOff();
}

void TBarCustomItem::TurnSiblingsOff() {
  if (groupIndex_ == 0 || !parent_) return;
  auto siblings = parent_->items_;
  for (TBarCustomItem* s : siblings)
    if (s != this && s->groupIndex_ == groupIndex_) s->SetChecked(false);
}

void TBarCustomItem::SetDisplayMode(TBarItemDisplayMode Value) {
  if (displayMode_ == Value) return;
  displayMode_ = Value;
  Change(true);
}

void TBarCustomItem::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  EnabledChanged();
}

void TBarCustomItem::SetGroupIndex(int Value) {
  if (groupIndex_ == Value) return;
  groupIndex_ = Value;
  if (checked_) TurnSiblingsOff();
}

void TBarCustomItem::SetImageIndex(TImageIndex Value) {
  if (imageIndex_ == Value) return;
  bool resize = (imageIndex_ == -1) != (Value == -1);
  imageIndex_ = Value;
  Change(resize);
}

void TBarCustomItem::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  Change(true);
}

TBarItemOptions TBarCustomItem::FixOptions(TBarItemOptions Value) {
  if (!Value.Contains(tboToolbarStyle)) Value -= tboToolbarSize;
  return Value;
}

void TBarCustomItem::SetOptions(TBarItemOptions Value) {
  Value = FixOptions(Value);
  if (options_ == Value) return;
  options_ = Value;
  RefreshOptions();
}

void TBarCustomItem::SetMaskOptions(TBarItemOptions Value) {
  if (maskOptions_ == Value) return;
  maskOptions_ = Value;
  RefreshOptions();
}

void TBarCustomItem::SetInheritOptions(bool Value) {
  if (inheritOptions_ == Value) return;
  inheritOptions_ = Value;
  RefreshOptions();
}

void TBarCustomItem::RefreshOptions() {
  TBarItemOptions inherited;
  if (inheritOptions_ && parent_) inherited = parent_->effectiveOptions_ - tboDefault;
  TBarItemOptions n = FixOptions((inherited - maskOptions_) + options_);
  if (n == effectiveOptions_) return;
  TBarItemOptions old = effectiveOptions_;
  effectiveOptions_ = n;
  const TBarItemOptions visual{tboDefault,    tboDropdownArrow, tboImageAboveCaption, tboNoRotation,
                               tboSameWidth,  tboToolbarStyle,  tboToolbarSize};
  TBarItemOptions diff = (old - n) + (n - old);
  if (!(diff * visual).Empty()) Change(true);
  for (TBarCustomItem* s : items_)
    if (s->inheritOptions_) s->RefreshOptions();
}

void TBarCustomItem::SetLinkSubitems(TBarCustomItem* Value) {
  if (Value == this) Value = nullptr;
  if (linkSubitems_ == Value) return;
  if (linkSubitems_) {
    RemoveFromList(linkSubitems_->linkParents_, this);
    linkSubitems_->RemoveFreeNotification(this);
  }
  linkSubitems_ = Value;
  if (Value) {
    AddToList(Value->linkParents_, this);
    Value->FreeNotification(this);
  }
  Notify(tbicSubitemsChanged, -1, nullptr);
}

void TBarCustomItem::SetName(const String& NewName) {
  if (GetName() == NewName) return;
  TComponent::SetName(NewName);
  if (parent_) parent_->Notify(tbicNameChanged, -1, this);
}

void TBarCustomItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (linkParents_) RemoveFromList(linkParents_, static_cast<TBarCustomItem*>(AComponent));
  // A list going away has already dropped its links: only forget it.
  if (images_ && AComponent == static_cast<TComponent*>(images_)) {
    images_ = nullptr;
    imagesLink_.reset();
    Change(true);
  }
  if (subMenuImages_ && AComponent == static_cast<TComponent*>(subMenuImages_)) {
    subMenuImages_ = nullptr;
    subMenuImagesLink_.reset();
    SubMenuImagesChanged();
  }
  if (AComponent == linkSubitems_) SetLinkSubitems(nullptr);
  if (actionLink_ && AComponent == actionLink_->GetAction()) SetAction(nullptr);
}

void TBarCustomItem::Loaded() {
  TComponent::Loaded();
  ResolveReferences();
  if (TBasicAction* a = GetAction()) ActionChange(a, true);
}

String TBarCustomItem::GetShortCutText() const {
  size_t tab = caption_.find(L'\t');
  if (tab != String::npos) return caption_.substr(tab + 1);
  if (shortCut_ != 0) return ShortCutToText(shortCut_);
  return String();
}

void TBarCustomItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) SetChecked(!checked_);
  TBasicAction* action = GetAction();
  // A handler of its own that is not the action's runs instead of the action.
  if (OnClick && action && !MethodsEqual(OnClick, action->OnExecute))
    OnClick(this);
  else if (actionLink_ && action && !IsDesigning())
    actionLink_->Execute(this);
  else if (OnClick)
    OnClick(this);
}

void TBarCustomItem::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

// ---- action link ----------------------------------------------------------------
TBasicAction* TBarCustomItem::GetAction() const { return actionLink_ ? actionLink_->GetAction() : nullptr; }

TBarCustomItemActionLinkClass TBarCustomItem::GetActionLinkClass() { return &TBarCustomItemActionLink::CreateLink; }

void TBarCustomItem::SetAction(TBasicAction* Value) {
  if (!Value) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) actionLink_.reset(GetActionLinkClass()(this));
  actionLink_->SetAction(Value);
  actionLink_->OnChange = TNotifyEvent(this, &TBarCustomItem::DoActionChange);
  ActionChange(Value, Value->IsLoading());
  Value->FreeNotification(this);
}

void TBarCustomItem::DoActionChange(TObject* Sender) {
  if (Sender == GetAction()) ActionChange(Sender, false);
}

void TBarCustomItem::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(Sender);
  if (!a) return;
  if (!CheckDefaults || caption_.empty()) SetCaption(a->GetCaption());
  if (!CheckDefaults || !checked_) SetChecked(a->GetChecked());
  if (!CheckDefaults || enabled_) SetEnabled(a->GetEnabled());
  if (!CheckDefaults || helpContext_ == 0) SetHelpContext(a->GetHelpContext());
  if (!CheckDefaults || hint_.empty()) SetHint(a->GetHint());
  if (!CheckDefaults || imageIndex_ == -1) SetImageIndex(a->GetImageIndex());
  if (!CheckDefaults || shortCut_ == 0) SetShortCut(a->GetShortCut());
  if (!CheckDefaults || visible_) SetVisible(a->GetVisible());
  if (!CheckDefaults || !OnClick) OnClick = a->OnExecute;
}

bool TBarCustomItem::IsCaptionStored() const { return !actionLink_ || !actionLink_->IsCaptionLinked(); }
bool TBarCustomItem::IsCheckedStored() const { return !actionLink_ || !actionLink_->IsCheckedLinked(); }
bool TBarCustomItem::IsEnabledStored() const { return !actionLink_ || !actionLink_->IsEnabledLinked(); }
bool TBarCustomItem::IsHelpContextStored() const { return !actionLink_ || !actionLink_->IsHelpContextLinked(); }
bool TBarCustomItem::IsHintStored() const { return !actionLink_ || !actionLink_->IsHintLinked(); }
bool TBarCustomItem::IsImageIndexStored() const { return !actionLink_ || !actionLink_->IsImageIndexLinked(); }
bool TBarCustomItem::IsShortCutStored() const { return !actionLink_ || !actionLink_->IsShortCutLinked(); }
bool TBarCustomItem::IsVisibleStored() const { return !actionLink_ || !actionLink_->IsVisibleLinked(); }
bool TBarCustomItem::IsOnClickStored() const { return !actionLink_ || !actionLink_->IsOnExecuteLinked(); }

// The action's value, while the item still shows it.
bool TBarCustomItemActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && client_->GetCaption() == CustomAction()->GetCaption();
}
bool TBarCustomItemActionLink::IsCheckedLinked() {
  return TActionLink::IsCheckedLinked() && client_->GetChecked() == CustomAction()->GetChecked();
}
bool TBarCustomItemActionLink::IsEnabledLinked() {
  return TActionLink::IsEnabledLinked() && client_->GetEnabled() == CustomAction()->GetEnabled();
}
bool TBarCustomItemActionLink::IsHelpContextLinked() {
  return TActionLink::IsHelpContextLinked() && client_->GetHelpContext() == CustomAction()->GetHelpContext();
}
bool TBarCustomItemActionLink::IsHintLinked() {
  return TActionLink::IsHintLinked() && client_->GetHint() == CustomAction()->GetHint();
}
bool TBarCustomItemActionLink::IsImageIndexLinked() {
  return TActionLink::IsImageIndexLinked() && client_->GetImageIndex() == CustomAction()->GetImageIndex();
}
bool TBarCustomItemActionLink::IsShortCutLinked() {
  return TActionLink::IsShortCutLinked() && client_->GetShortCut() == CustomAction()->GetShortCut();
}
bool TBarCustomItemActionLink::IsVisibleLinked() {
  return TActionLink::IsVisibleLinked() && client_->GetVisible() == CustomAction()->GetVisible();
}
bool TBarCustomItemActionLink::IsOnExecuteLinked() {
  return TBasicActionLink::IsOnExecuteLinked() && action_ && MethodsEqual(client_->OnClick, action_->OnExecute);
}
void TBarCustomItemActionLink::SetCaption(const String& Value) {
  if (IsCaptionLinked()) client_->SetCaption(Value);
}
void TBarCustomItemActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) client_->SetChecked(Value);
}
void TBarCustomItemActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) client_->SetEnabled(Value);
}
void TBarCustomItemActionLink::SetHelpContext(THelpContext Value) {
  if (IsHelpContextLinked()) client_->SetHelpContext(Value);
}
void TBarCustomItemActionLink::SetHint(const String& Value) {
  if (IsHintLinked()) client_->SetHint(Value);
}
void TBarCustomItemActionLink::SetImageIndex(TImageIndex Value) {
  if (IsImageIndexLinked()) client_->SetImageIndex(Value);
}
void TBarCustomItemActionLink::SetShortCut(TShortCut Value) {
  if (IsShortCutLinked()) client_->SetShortCut(Value);
}
void TBarCustomItemActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) client_->SetVisible(Value);
}
void TBarCustomItemActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) client_->OnClick = Value;
}

// ---- streaming --------------------------------------------------------------------
struct TBarCustomItem::StoredReferences {
  String Action, Images, SubMenuImages, LinkSubitems, Control;
};

void TBarCustomItem::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  const std::vector<TBarCustomItem*> items = items_;  // Proc may change the list
  for (TBarCustomItem* i : items) Proc(i);
}

void TBarCustomItem::SetChildOrder(TComponent* Child, int Order) {
  auto* item = dynamic_cast<TBarCustomItem*>(Child);
  const int cur = item ? IndexOf(item) : -1;
  if (cur < 0) return;
  Move(cur, std::clamp(Order, 0, Count() - 1));
}

namespace {
const std::vector<const wchar_t*> kDisplayModeNames{L"nbdmDefault", L"nbdmTextOnly", L"nbdmTextOnlyInMenus",
                                                    L"nbdmImageAndText"};
const std::vector<const wchar_t*> kOptionNames{L"tboDefault",    L"tboDropdownArrow", L"tboImageAboveCaption",
                                               L"tboLongHintInMenuOnly", L"tboNoRotation",    L"tboSameWidth",
                                               L"tboShowHint",   L"tboToolbarStyle",  L"tboToolbarSize"};
}  // namespace

const std::vector<const wchar_t*>& BarFiler::ItemOptionNames() { return kOptionNames; }

void TBarCustomItem::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  // What a stream names is kept until the whole stream has been read.
  StoredReferences scratch;
  if (dynamic_cast<TReader*>(Filer) && !storedRefs_) storedRefs_ = std::make_unique<StoredReferences>();
  StoredReferences& refs = dynamic_cast<TReader*>(Filer) ? *storedRefs_ : scratch;
  // Values are written where they differ from the ancestor's, or from the
  // defaults without one.
  const TBarCustomItem* a = dynamic_cast<TBarCustomItem*>(Filer->GetAncestor());
  using namespace BarFiler;
  Reference(Filer, L"Action", GetAction(), a ? a->GetAction() : nullptr, refs.Action);
  Boolean(Filer, L"AutoCheck", autoCheck_, a ? a->autoCheck_ : false, [this](bool v) { SetAutoCheck(v); });
  Text(Filer, L"Caption", caption_, a ? a->caption_ : GetDefaultCaption(), [this](const String& v) { SetCaption(v); },
       IsCaptionStored());
  Boolean(Filer, L"Checked", checked_, a ? a->checked_ : false, [this](bool v) { SetChecked(v); }, IsCheckedStored());
  Enum(Filer, L"DisplayMode", displayMode_, a ? a->displayMode_ : nbdmDefault, kDisplayModeNames,
       [this](int v) { SetDisplayMode(static_cast<TBarItemDisplayMode>(v)); });
  Boolean(Filer, L"Enabled", enabled_, a ? a->enabled_ : true, [this](bool v) { SetEnabled(v); }, IsEnabledStored());
  Integer(Filer, L"GroupIndex", groupIndex_, a ? a->groupIndex_ : 0, [this](int v) { SetGroupIndex(v); });
  Integer(Filer, L"HelpContext", helpContext_, a ? a->helpContext_ : 0, [this](int v) { SetHelpContext(v); },
          IsHelpContextStored());
  Text(Filer, L"Hint", hint_, a ? a->hint_ : String(), [this](const String& v) { SetHint(v); }, IsHintStored());
  Integer(Filer, L"ImageIndex", imageIndex_, a ? a->imageIndex_ : -1, [this](int v) { SetImageIndex(v); },
          IsImageIndexStored());
  Reference(Filer, L"Images", images_, a ? a->images_ : nullptr, refs.Images);
  Boolean(Filer, L"InheritOptions", inheritOptions_, a ? a->inheritOptions_ : true,
          [this](bool v) { SetInheritOptions(v); });
  Reference(Filer, L"LinkSubitems", linkSubitems_, a ? a->linkSubitems_ : nullptr, refs.LinkSubitems);
  Set(Filer, L"MaskOptions", maskOptions_.Bits(), a ? a->maskOptions_.Bits() : 0, kOptionNames,
      [this](unsigned v) { SetMaskOptions(TBarItemOptions::FromBits(v)); });
  Set(Filer, L"Options", options_.Bits(), a ? a->options_.Bits() : 0, kOptionNames,
      [this](unsigned v) { SetOptions(TBarItemOptions::FromBits(v)); });
  Integer(Filer, L"ShortCut", shortCut_, a ? a->shortCut_ : 0,
          [this](int v) { SetShortCut(static_cast<TShortCut>(v)); }, IsShortCutStored());
  Reference(Filer, L"SubMenuImages", subMenuImages_, a ? a->subMenuImages_ : nullptr, refs.SubMenuImages);
  Boolean(Filer, L"Visible", visible_, a ? a->visible_ : true, [this](bool v) { SetVisible(v); }, IsVisibleStored());
  if (auto* sub = dynamic_cast<TBarSubmenuItem*>(this)) {
    auto* as = dynamic_cast<const TBarSubmenuItem*>(a);
    Boolean(Filer, L"DropdownCombo", sub->GetDropdownCombo(), as ? as->GetDropdownCombo() : false,
            [sub](bool v) { sub->SetDropdownCombo(v); });
  }
  if (auto* sep = dynamic_cast<TBarSeparatorItem*>(this)) {
    auto* as = dynamic_cast<const TBarSeparatorItem*>(a);
    Boolean(Filer, L"Blank", sep->GetBlank(), as ? as->GetBlank() : false, [sep](bool v) { sep->SetBlank(v); });
  }
  // A click handler the action ties is the action's.
  EventIf(Filer, L"OnClick", OnClick, a ? &a->OnClick : nullptr, IsOnClickStored());
  Event(Filer, L"OnPopup", OnPopup, a ? &a->OnPopup : nullptr);
  Event(Filer, L"OnSelect", OnSelect, a ? &a->OnSelect : nullptr);
}

void TBarCustomItem::ResolveReferences() {
  if (!storedRefs_) return;
  std::unique_ptr<StoredReferences> refs = std::move(storedRefs_);
  auto find = [this](const String& Name) { return BarFiler::Find(this, Name); };
  if (!refs->Images.empty()) SetImages(dynamic_cast<TCustomImageList*>(find(refs->Images)));
  if (!refs->SubMenuImages.empty()) SetSubMenuImages(dynamic_cast<TCustomImageList*>(find(refs->SubMenuImages)));
  if (!refs->LinkSubitems.empty()) SetLinkSubitems(dynamic_cast<TBarCustomItem*>(find(refs->LinkSubitems)));
  if (!refs->Action.empty()) SetAction(dynamic_cast<TBasicAction*>(find(refs->Action)));
  if (!refs->Control.empty())
    if (auto* ci = dynamic_cast<TBarControlItem*>(this)) ci->SetControl(dynamic_cast<TControl*>(find(refs->Control)));
}

void TBarCustomItem::PostClick() { BarClickQueue::QueueClick(this, 0); }

void TBarCustomItem::DoPopup(TBarCustomItem* Sender, bool FromLink) {
  if (OnPopup) OnPopup(Sender, FromLink);
  if (!itemStyle_.Contains(tbisCombo)) Click();
}

TBarItemViewerClass TBarCustomItem::GetItemViewerClass(TBarView*) {
  return &TBarItemViewer::CreateViewer;
}

TBarCustomItem* TBarCustomItem::SearchShortCut(TBarCustomItem* I, TShortCut SC, int Depth,
                                              TBarCustomItem*& Topmost) {
  TBarCustomItem* container = I;
  if (I->linkSubitems_) {
    ++Depth;
    if (Depth > 25) return nullptr;
    container = I->linkSubitems_;
  }
  for (TBarCustomItem* s : container->items_) {
    if (s->shortCut_ == SC) return s;
    TBarCustomItem* dummy = nullptr;
    if (TBarCustomItem* f = SearchShortCut(s, SC, Depth, dummy)) {
      Topmost = s;
      return f;
    }
  }
  return nullptr;
}

TBarCustomItem* TBarCustomItem::FindItemWithShortCut(TShortCut AShortCut,
                                                    TBarCustomItem*& TopmostParent) {
  TopmostParent = nullptr;
  if (AShortCut == 0) return nullptr;
  return SearchShortCut(this, AShortCut, 0, TopmostParent);
}

bool TBarCustomItem::IsShortCut(TWMKey& Message) {
  TShortCut sc = ShortCut(Message.CharCode, KeyDataToShiftState(Message.KeyData));
  if (sc == 0) return false;
  TBarCustomItem* topmost = nullptr;
  TBarCustomItem* found = nullptr;
  int restarts = 0;
restart:
  found = FindItemWithShortCut(sc, topmost);
  if (!found) return false;
  {
    TBarCustomItem* P = this;
    while (P) {
      if (!P->enabled_) return false;
      TBarCustomItem* C = P->linkSubitems_ ? P->linkSubitems_ : P;
      // A designed item's actions are the designer's to update.
      if (!IsDesigning())
        for (TBarCustomItem* s : std::vector<TBarCustomItem*>(C->items_)) s->InitiateAction();
      if (!P->itemStyle_.Contains(tbisEmbeddedGroup)) {
        // Each pop-up handler on its own: one that fails is reported, and
        // the other still runs.
        if (C != P) {
          try {
            C->DoPopup(P, true);
          } catch (...) {
            BarHandleException(this);
          }
        }
        try {
          P->DoPopup(P, false);
        } catch (...) {
          BarHandleException(this);
        }
      }
      found = P->FindItemWithShortCut(sc, topmost);
      if (!found) {
        // A pop-up handler took the item away: look again from the top,
        // but not forever.
        if (++restarts > 8) return false;
        goto restart;
      }
      P = topmost;
    }
  }
  if (!found->enabled_) return false;
  try {
    found->Click();
  } catch (...) {
    BarHandleException(this);
  }
  return true;
}

bool TBarCustomItem::ChangeImages(TCustomImageList*& List, TCustomImageList* NewList,
                                  std::unique_ptr<TBarImageChangeLink>& Link) {
  int w = -1, h = -1;
  if (List) {
    w = List->GetWidth();
    h = List->GetHeight();
    List->UnRegisterChanges(Link.get());
    List->RemoveFreeNotification(this);
  }
  const bool had = List != nullptr;
  List = NewList;
  if (!NewList) {
    Link.reset();
    return had;
  }
  const bool resize = NewList->GetWidth() != w || NewList->GetHeight() != h;
  if (!Link) {
    Link = std::make_unique<TBarImageChangeLink>();
    Link->OnChange = TNotifyEvent(this, &TBarCustomItem::ImageListChangeHandler);
  }
  Link->LastWidth = NewList->GetWidth();
  Link->LastHeight = NewList->GetHeight();
  NewList->RegisterChanges(Link.get());
  NewList->FreeNotification(this);
  return resize;
}

void TBarCustomItem::SetImages(TCustomImageList* Value) {
  if (images_ == Value) return;
  Change(ChangeImages(images_, Value, imagesLink_));
}

void TBarCustomItem::SetSubMenuImages(TCustomImageList* Value) {
  if (subMenuImages_ == Value) return;
  ChangeImages(subMenuImages_, Value, subMenuImagesLink_);
  SubMenuImagesChanged();
}

void TBarCustomItem::ImageListChangeHandler(TObject* Sender) {
  if (subMenuImages_ && Sender == static_cast<TObject*>(subMenuImages_) && subMenuImagesLink_) {
    subMenuImagesLink_->LastWidth = subMenuImages_->GetWidth();
    subMenuImagesLink_->LastHeight = subMenuImages_->GetHeight();
    SubMenuImagesChanged();
  }
  if (images_ && Sender == static_cast<TObject*>(images_) && imagesLink_) {
    const int w = images_->GetWidth(), h = images_->GetHeight();
    if (w == imagesLink_->LastWidth && h == imagesLink_->LastHeight) {
      Change(false);
    } else {
      imagesLink_->LastWidth = w;
      imagesLink_->LastHeight = h;
      Change(true);
    }
  }
}

// ---- plain item classes ---------------------------------------------------------
TBarGroupItem::TBarGroupItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisEmbeddedGroup, tbisSubitemsEditable});
}

TBarSubmenuItem::TBarSubmenuItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisSubmenu, tbisSubitemsEditable});
}

void TBarSubmenuItem::SetDropdownCombo(bool Value) { ChangeItemStyleFlag(tbisCombo, Value); }

TBarSeparatorItem::TBarSeparatorItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() -
               TBarItemStyle{tbisSelectable, tbisRedrawOnSelChange, tbisRedrawOnMouseOverChange} +
               TBarItemStyle{tbisSeparator, tbisClicksTransparent});
}

TBarItemViewerClass TBarSeparatorItem::GetItemViewerClass(TBarView*) {
  return &TBarSeparatorItemViewer::CreateViewer;
}

void TBarSeparatorItem::SetBlank(bool Value) {
  if (blank_ == Value) return;
  blank_ = Value;
  Change(false);
}

TBarControlItem::TBarControlItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() - tbisSelectable + tbisClicksTransparent);
}

TBarControlItem::TBarControlItem(TComponent* AOwner, TControl* AControl)
    : TBarControlItem(AOwner) {
  control_ = AControl;
  if (AControl) AControl->FreeNotification(this);
}

TBarControlItem::~TBarControlItem() {
  TControl* c = control_;
  control_ = nullptr;
  if (c) c->RemoveFreeNotification(this);
  if (c && !DontFreeControl && !c->GetComponentState().Contains(csAncestor)) delete c;
}

void TBarControlItem::SetControl(TControl* Value) {
  if (control_ == Value) return;
  if (control_) control_->RemoveFreeNotification(this);
  control_ = Value;
  if (Value) Value->FreeNotification(this);
  Change(true);
}

void TBarControlItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  StoredReferences scratch;
  StoredReferences& refs = dynamic_cast<TReader*>(Filer) ? *storedRefs_ : scratch;
  auto* a = dynamic_cast<TBarControlItem*>(Filer->GetAncestor());
  BarFiler::Reference(Filer, L"Control", control_, a ? a->control_ : nullptr, refs.Control);
}

void TBarControlItem::Notification(TComponent* AComponent, TOperation Operation) {
  TBarCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == control_) control_ = nullptr;
}
