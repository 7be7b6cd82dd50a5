// Actions: commands kept apart from the controls and items that show them.
// A client (control, toolbar item) links to an action through an action
// link; the client's properties follow the action's, executing the client
// executes the action, and the action is updated (enabled, checked...) when
// the application is idle. Windows only.
#pragma once

#include <vector>

#include "classlib/Classes.h"
#include "classlib/Menus.h"

class TCustomActionList;
class TCustomImageList;
class TChangeLink;

// An action that can live in an action list.
class TContainedAction : public TBasicAction {
 public:
  explicit TContainedAction(TComponent* AOwner) : TBasicAction(AOwner) {}
  ~TContainedAction() override;
  const char* ClassName() const override { return "TContainedAction"; }

  // Offered in turn to the action list's OnExecute, the application's
  // OnActionExecute, the action's own OnExecute, and then to the focused
  // control, its parents and its form, the other controls of the form, and
  // the application (HandlesTarget / ExecuteTarget).
  bool Execute() override;
  // The same order with OnUpdate, OnActionUpdate and UpdateTarget.
  bool Update() override;

  TCustomActionList* GetActionList() const { return actionList_; }
  void SetActionList(TCustomActionList* Value);
  int GetIndex() const;
  void SetIndex(int Value);
  const String& GetCategory() const { return category_; }
  void SetCategory(const String& Value);

  bool HasParent() const override { return actionList_ != nullptr; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

 private:
  friend class TCustomActionList;
  TCustomActionList* actionList_ = nullptr;
  String category_;
};

// An action with the properties its clients show.
// A hint about to be shown: the handler may change it or refuse it.
using THintEvent = TEvent<void(String& HintStr, bool& CanShow)>;

class TCustomAction : public TContainedAction {
 public:
  explicit TCustomAction(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomAction"; }

  bool Execute() override;
  // Without a handler anywhere (and no OnExecute), the action is disabled
  // when DisableIfNoHandler is set.
  bool Update() override;

  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& Value);
  bool GetChecked() const { return checked_; }
  // Checking an action of a group (GroupIndex > 0) unchecks the others of
  // its action list's group.
  void SetChecked(bool Value);
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool Value);
  int GetGroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  THelpContext GetHelpContext() const { return helpContext_; }
  void SetHelpContext(THelpContext Value);
  const String& GetHint() const { return hint_; }
  void SetHint(const String& Value);
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  TShortCut GetShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  bool GetVisible() const { return visible_; }
  void SetVisible(bool Value);
  // Executing toggles Checked first.
  bool GetAutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool Value);
  bool GetDisableIfNoHandler() const { return disableIfNoHandler_; }
  void SetDisableIfNoHandler(bool Value) { disableIfNoHandler_ = Value; }
  // The images of the action's list (null without a list).
  TCustomImageList* GetImages() const;

  // Asks OnHint about the hint about to be shown for the action's clients
  // (which may change it); false when it must not show.
  virtual bool DoHint(String& HintStr);
  THintEvent OnHint;

 protected:
  // Runs Set on every client link that is a TActionLink.
  template <class F>
  void ForLinks(F&& Set);

 private:
  String caption_;
  bool checked_ = false;
  bool enabled_ = true;
  int groupIndex_ = 0;
  THelpContext helpContext_ = 0;
  String hint_;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  bool visible_ = true;
  bool autoCheck_ = false;
  bool disableIfNoHandler_ = true;
  bool checking_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TAction : public TCustomAction {
 public:
  explicit TAction(TComponent* AOwner) : TCustomAction(AOwner) {}
  const char* ClassName() const override { return "TAction"; }
};

// The link of a client that shows a TCustomAction's properties. Each Is...
// test answers whether the client's property is tied to the action (the
// base: the action is a TCustomAction); each setter passes the action's
// new value to the client (the base does nothing). A client property is
// stored only while its link doesn't tie it.
class TActionLink : public TBasicActionLink {
 public:
  explicit TActionLink(TObject* AClient) : TBasicActionLink(AClient) {}

  virtual bool IsCaptionLinked();
  virtual bool IsCheckedLinked();
  virtual bool IsEnabledLinked();
  virtual bool IsGroupIndexLinked();
  virtual bool IsHelpContextLinked();
  virtual bool IsHintLinked();
  virtual bool IsImageIndexLinked();
  virtual bool IsShortCutLinked();
  virtual bool IsVisibleLinked();

  virtual void SetCaption(const String& Value) {}
  virtual void SetChecked(bool Value) {}
  virtual void SetEnabled(bool Value) {}
  virtual void SetGroupIndex(int Value) {}
  virtual void SetHelpContext(THelpContext Value) {}
  virtual void SetHint(const String& Value) {}
  virtual void SetImageIndex(int Value) {}
  virtual void SetShortCut(TShortCut Value) {}
  virtual void SetVisible(bool Value) {}

 protected:
  TCustomAction* CustomAction() const;
};

template <class F>
void TCustomAction::ForLinks(F&& Set) {
  const std::vector<TBasicActionLink*> links = clients_;  // a setter may unlink
  for (TBasicActionLink* l : links)
    if (auto* a = dynamic_cast<TActionLink*>(l)) Set(a);
}

using TActionEvent = TEvent<void(TBasicAction* Action, bool& Handled)>;

// A list of actions, with the images their clients show.
class TCustomActionList : public TComponent {
 public:
  explicit TCustomActionList(TComponent* AOwner);
  ~TCustomActionList() override;
  const char* ClassName() const override { return "TCustomActionList"; }

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int Index) const { return actions_[static_cast<size_t>(Index)]; }
  void AddAction(TContainedAction* Action) { Action->SetActionList(this); }
  void RemoveAction(TContainedAction* Action);
  // Offers an action to OnExecute / OnUpdate; true when handled.
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);
  // Runs the first enabled, visible action with this shortcut; true when
  // one ran.
  bool IsShortCut(TShortCut ShortCut);

  TCustomImageList* GetImages() const { return images_; }
  // Changing the images tells every action's clients (they repaint).
  void SetImages(TCustomImageList* Value);

  TActionEvent OnExecute;
  TActionEvent OnUpdate;
  TNotifyEvent OnChange;

  // Streaming: the actions are stored inside the list, in order.
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TContainedAction;
  void ImageListChange(TObject* Sender);
  void Changed();
  std::vector<TContainedAction*> actions_;
  TCustomImageList* images_ = nullptr;
  std::unique_ptr<TChangeLink> imageLink_;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TActionList : public TCustomActionList {
 public:
  explicit TActionList(TComponent* AOwner) : TCustomActionList(AOwner) {}
  const char* ClassName() const override { return "TActionList"; }
};
