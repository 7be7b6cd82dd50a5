// An item that shows a one-line text box in a toolbar or menu. The viewer
// paints the text itself and creates a real edit control only while the
// user edits, running an edit loop of its own until the text is accepted
// or dropped.
#pragma once

#include "classlib/Actions.h"
#include "classlib/StdCtrls.h"
#include "toolbars/BarViews.h"

class TBarEditItemViewer;

enum TBarEditItemOption { tboUseEditWhenVertical };
using TBarEditItemOptions = TSet<TBarEditItemOption>;

using TBarAcceptTextEvent = TEvent<void(TObject* Sender, String& NewText, bool& Accept)>;
using TBarBeginEditEvent =
    TEvent<void(class TBarEditItem* Sender, TBarEditItemViewer* Viewer, TEdit* EditControl)>;

class TBarEditItem : public TBarCustomItem {
 public:
  explicit TBarEditItem(TComponent* AOwner);
  const char* ClassName() const override { return "TBarEditItem"; }

  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  bool NeedToRecreateViewer(TBarItemViewer* AViewer) override;
  virtual void DoBeginEdit(TBarEditItemViewer* Viewer);
  TBarCustomItemActionLinkClass GetActionLinkClass() override;
  // Also takes an edit action's caption, options, width, text and
  // OnAcceptText.
  void ActionChange(TObject* Sender, bool CheckDefaults) override;
  bool IsEditCaptionStored() const;
  bool IsEditOptionsStored() const;
  bool IsEditWidthStored() const;
  bool IsTextStored() const;
  void DefineProperties(TFiler* Filer) override;

  const String& GetText() const { return text_; }
  void SetText(const String& Value);
  void Clear() { SetText(String()); }
  TEditCharCase GetCharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase Value);
  const String& GetEditCaption() const { return editCaption_; }
  void SetEditCaption(const String& Value);
  TBarEditItemOptions GetEditOptions() const { return editOptions_; }
  void SetEditOptions(TBarEditItemOptions Value);
  int GetEditWidth() const { return editWidth_; }
  void SetEditWidth(int Value);
  int GetMaxLength() const { return maxLength_; }
  void SetMaxLength(int Value);

  // An edit that ends by losing the focus or by a click elsewhere accepts
  // its text too.
  bool ExtendedAccept = false;
  TBarAcceptTextEvent OnAcceptText;
  TBarBeginEditEvent OnBeginEdit;

 private:
  TEditCharCase charCase_ = ecNormal;
  String editCaption_;
  TBarEditItemOptions editOptions_;
  int editWidth_ = 64;
  int maxLength_ = 0;
  String text_;
};

// An action whose edit properties reach the edit items linked to it.
class TBarEditAction : public TAction {
 public:
  explicit TBarEditAction(TComponent* AOwner);
  const char* ClassName() const override { return "TBarEditAction"; }

  const String& GetEditCaption() const { return editCaption_; }
  void SetEditCaption(const String& Value);
  TBarEditItemOptions GetEditOptions() const { return editOptions_; }
  void SetEditOptions(TBarEditItemOptions Value);
  int GetEditWidth() const { return editWidth_; }
  void SetEditWidth(int Value);
  const String& GetText() const { return text_; }
  void SetText(const String& Value);
  const TBarAcceptTextEvent& GetOnAcceptText() const { return onAcceptText_; }
  void SetOnAcceptText(const TBarAcceptTextEvent& Value);
  void DefineProperties(TFiler* Filer) override;

 private:
  template <class F>
  void ForEditLinks(F&& Set);
  String editCaption_;
  TBarEditItemOptions editOptions_;
  int editWidth_ = 64;
  String text_;
  TBarAcceptTextEvent onAcceptText_;
};

// The link of an edit item to its action: the edit properties are tied
// while the action is an edit action and the item's value equals its.
class TBarEditItemActionLink : public TBarCustomItemActionLink {
 public:
  explicit TBarEditItemActionLink(TBarCustomItem* AClient) : TBarCustomItemActionLink(AClient) {
    AssignClient(AClient);
  }
  static TBarCustomItemActionLink* CreateLink(TBarCustomItem* AClient) { return new TBarEditItemActionLink(AClient); }

  virtual bool IsEditCaptionLinked();
  virtual bool IsEditOptionsLinked();
  virtual bool IsEditWidthLinked();
  virtual bool IsOnAcceptTextLinked();
  virtual bool IsTextLinked();
  virtual void SetEditCaption(const String& Value);
  virtual void SetEditOptions(TBarEditItemOptions Value);
  virtual void SetEditWidth(int Value);
  virtual void SetOnAcceptText(const TBarAcceptTextEvent& Value);
  virtual void SetText(const String& Value);

 protected:
  void AssignClient(TObject* AClient) override {
    TBarCustomItemActionLink::AssignClient(AClient);
    editClient_ = dynamic_cast<TBarEditItem*>(AClient);
  }
  TBarEditItem* editClient_ = nullptr;
  TBarEditAction* EditAction() const { return dynamic_cast<TBarEditAction*>(GetAction()); }
};

enum TBarEditControlStatusFlag { ecsContinueLoop, ecsAccept, ecsClose };
using TBarEditControlStatus = TSet<TBarEditControlStatusFlag>;
// The class of an edit item's edit control.
using TBarEditControlClass = TEdit* (*)(TComponent* AOwner);

class TBarEditItemViewer : public TBarItemViewer {
 public:
  using TBarItemViewer::TBarItemViewer;
  // Names the edit control the viewer opens.
  virtual const char* ClassName() const { return "TBarEditItemViewer"; }
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }

  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  bool DoExecute() override;
  int GetAccRole() override { return 42; }
  bool GetAccValue(String& Value) override;
  String GetCaptionText() override;
  void GetCursor(POINT Pt, HCURSOR& ACursor) override;
  void MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) override;
  void MouseUp(int X, int Y, bool MouseWasDownOnMenu) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed,
             bool UseDisabledShadow) override;
  bool UsesSameWidth() override { return false; }
  bool CaptionShown() override;
  // The class of the edit control that edits the item.
  virtual TBarEditControlClass GetEditControlClass();
  virtual void GetEditRect(RECT& R);

  bool EditLoop(HWND CapHandle);
  TEdit* EditControl = nullptr;
  TBarEditControlStatus EditControlStatus;

 protected:
  void EditWndProc(TMessage& Message);
  void MouseBeginEdit();
  void AcceptText();
  TBarEditItem* EditItem() const { return static_cast<TBarEditItem*>(Item); }

 private:
  TWndMethod oldWndProc_;
};

// An item that shows and hides a control.
class TBarVisibilityToggleItem : public TBarCustomItem {
 public:
  explicit TBarVisibilityToggleItem(TComponent* AOwner) : TBarCustomItem(AOwner) {}
  const char* ClassName() const override { return "TBarVisibilityToggleItem"; }
  TControl* GetControl() const { return control_; }
  void SetControl(TControl* Value);
  void Click() override;
  void InitiateAction() override {
    UpdateProps();
    TBarCustomItem::InitiateAction();
  }
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DefineProperties(TFiler* Filer) override;
  // Checked follows the control's visibility, except while loading,
  // destroying or designing (a Checked set in the designer is kept).
  void UpdateProps();

 private:
  TControl* control_ = nullptr;
};
