// Actions, action links and action lists.
#include "classlib/Actions.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "classlib/ImgList.h"

// ---------------------------------------------------------------------------
// TContainedAction

TContainedAction::~TContainedAction() {
  if (actionList_) actionList_->RemoveAction(this);
}

bool TContainedAction::Execute() {
  if (actionList_ && actionList_->ExecuteAction(this)) return true;
  if (Application && Application->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  return Application && Application->DispatchAction(this, true);
}

bool TContainedAction::Update() {
  if (actionList_ && actionList_->UpdateAction(this)) return true;
  if (Application && Application->UpdateAction(this)) return true;
  if (TBasicAction::Update()) return true;
  return Application && Application->DispatchAction(this, false);
}

void TContainedAction::SetActionList(TCustomActionList* Value) {
  if (Value == actionList_) return;
  if (actionList_) actionList_->RemoveAction(this);
  if (Value) {
    Value->actions_.push_back(this);
    actionList_ = Value;
    Value->FreeNotification(this);
    Value->Changed();
  }
}

int TContainedAction::GetIndex() const {
  if (!actionList_) return -1;
  auto& v = actionList_->actions_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TContainedAction::SetIndex(int Value) {
  const int cur = GetIndex();
  if (cur < 0) return;
  auto& v = actionList_->actions_;
  Value = std::clamp(Value, 0, static_cast<int>(v.size()) - 1);
  if (Value == cur) return;
  v.erase(v.begin() + cur);
  v.insert(v.begin() + Value, this);
  actionList_->Changed();
}

void TContainedAction::SetCategory(const String& Value) {
  if (Value == category_) return;
  category_ = Value;
  if (actionList_) actionList_->Changed();
}

TComponent* TContainedAction::GetParentComponent() const { return actionList_; }

void TContainedAction::SetParentComponent(TComponent* Value) {
  if (auto* list = dynamic_cast<TCustomActionList*>(Value)) SetActionList(list);
}

// ---------------------------------------------------------------------------
// TCustomAction

TCustomAction::TCustomAction(TComponent* AOwner) : TContainedAction(AOwner) {}

bool TCustomAction::Execute() {
  // Its state may have changed since the last idle update; a disabled
  // action does nothing, also when asked directly.
  Update();
  if (!enabled_) return false;
  if (autoCheck_) SetChecked(!checked_);
  return TContainedAction::Execute();
}

bool TCustomAction::Update() {
  const bool handled = TContainedAction::Update();
  if (!handled && disableIfNoHandler_ && !OnExecute) SetEnabled(false);
  return handled;
}

void TCustomAction::SetCaption(const String& Value) {
  if (Value == caption_) return;
  ForLinks([&](TActionLink* l) { l->SetCaption(Value); });
  caption_ = Value;
  Change();
}

void TCustomAction::SetChecked(bool Value) {
  if (Value == checked_ || checking_) return;
  checking_ = true;
  try {
    ForLinks([&](TActionLink* l) { l->SetChecked(Value); });
    checked_ = Value;
    if (Value && groupIndex_ > 0 && GetActionList()) {
      TCustomActionList* list = GetActionList();
      for (int i = 0; i < list->ActionCount(); ++i)
        if (auto* a = dynamic_cast<TCustomAction*>(list->Actions(i));
            a && a != this && a->groupIndex_ == groupIndex_)
          a->SetChecked(false);
    }
  } catch (...) {
    checking_ = false;
    throw;
  }
  checking_ = false;
  Change();
}

void TCustomAction::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  ForLinks([&](TActionLink* l) { l->SetEnabled(Value); });
  enabled_ = Value;
  Change();
}

void TCustomAction::SetGroupIndex(int Value) {
  if (Value == groupIndex_) return;
  groupIndex_ = Value;
  ForLinks([&](TActionLink* l) { l->SetGroupIndex(Value); });
  // Of a group only one stays checked.
  if (checked_ && Value > 0) {
    checked_ = false;
    SetChecked(true);
  }
  Change();
}

void TCustomAction::SetHelpContext(THelpContext Value) {
  if (Value == helpContext_) return;
  ForLinks([&](TActionLink* l) { l->SetHelpContext(Value); });
  helpContext_ = Value;
  Change();
}

void TCustomAction::SetHint(const String& Value) {
  if (Value == hint_) return;
  ForLinks([&](TActionLink* l) { l->SetHint(Value); });
  hint_ = Value;
  Change();
}

void TCustomAction::SetImageIndex(int Value) {
  if (Value == imageIndex_) return;
  ForLinks([&](TActionLink* l) { l->SetImageIndex(Value); });
  imageIndex_ = Value;
  Change();
}

void TCustomAction::SetShortCut(TShortCut Value) {
  if (Value == shortCut_) return;
  ForLinks([&](TActionLink* l) { l->SetShortCut(Value); });
  shortCut_ = Value;
  Change();
}

void TCustomAction::SetVisible(bool Value) {
  if (Value == visible_) return;
  ForLinks([&](TActionLink* l) { l->SetVisible(Value); });
  visible_ = Value;
  Change();
}

void TCustomAction::SetAutoCheck(bool Value) {
  if (Value == autoCheck_) return;
  autoCheck_ = Value;
  Change();
}

TCustomImageList* TCustomAction::GetImages() const {
  return GetActionList() ? GetActionList()->GetImages() : nullptr;
}

// ---------------------------------------------------------------------------
// TActionLink

TCustomAction* TActionLink::CustomAction() const { return dynamic_cast<TCustomAction*>(action_); }

bool TActionLink::IsCaptionLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsCheckedLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsEnabledLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsGroupIndexLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsHelpContextLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsHintLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsImageIndexLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsShortCutLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsVisibleLinked() { return CustomAction() != nullptr; }

// ---------------------------------------------------------------------------
// TCustomActionList

TCustomActionList::TCustomActionList(TComponent* AOwner)
    : TComponent(AOwner), imageLink_(std::make_unique<TChangeLink>()) {
  imageLink_->OnChange = TNotifyEvent(this, &TCustomActionList::ImageListChange);
}

TCustomActionList::~TCustomActionList() {
  SetImages(nullptr);
  while (!actions_.empty()) {
    TContainedAction* a = actions_.back();
    actions_.pop_back();
    a->actionList_ = nullptr;
  }
}

void TCustomActionList::RemoveAction(TContainedAction* Action) {
  auto it = std::find(actions_.begin(), actions_.end(), Action);
  if (it == actions_.end()) return;
  actions_.erase(it);
  Action->actionList_ = nullptr;
  Changed();
}

bool TCustomActionList::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  if (OnExecute) OnExecute(Action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(Action, handled);
  return handled;
}

bool TCustomActionList::IsShortCut(TShortCut ShortCut) {
  if (!ShortCut) return false;
  for (TContainedAction* c : actions_) {
    auto* a = dynamic_cast<TCustomAction*>(c);
    if (!a || a->GetShortCut() != ShortCut) continue;
    return a->GetVisible() && a->Execute();
  }
  return false;
}

void TCustomActionList::SetImages(TCustomImageList* Value) {
  if (Value == images_) return;
  if (images_) images_->UnRegisterChanges(imageLink_.get());
  images_ = Value;
  if (images_) {
    images_->RegisterChanges(imageLink_.get());
    images_->FreeNotification(this);
  }
  ImageListChange(this);
}

void TCustomActionList::ImageListChange(TObject*) {
  if (IsDestroying()) return;
  for (TContainedAction* a : actions_) a->Change();
}

void TCustomActionList::Changed() {
  if (OnChange && !IsDestroying()) OnChange(this);
}

void TCustomActionList::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  const std::vector<TContainedAction*> list = actions_;
  for (TContainedAction* a : list)
    if (a->GetOwner() == Root) Proc(a);
}

void TCustomActionList::SetChildOrder(TComponent* Child, int Order) {
  if (auto* a = dynamic_cast<TContainedAction*>(Child); a && a->actionList_ == this) a->SetIndex(Order);
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == images_) SetImages(nullptr);
  if (auto* a = dynamic_cast<TContainedAction*>(AComponent); a && a->actionList_ == this) RemoveAction(a);
}

bool TCustomAction::DoHint(String& HintStr) {
  bool canShow = true;
  if (OnHint) OnHint(HintStr, canShow);
  return canShow;
}
