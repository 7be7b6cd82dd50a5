// A list box whose items carry a check box each.
#pragma once

#include "classlib/StdCtrls.h"

// An owner-drawn list box (its CN_DRAWITEM reaches WindowProc) with a
// check state and an enabled flag per item. The states follow the items
// as the list adds, inserts and deletes them; a click on the box or the
// space bar moves an enabled item's state on (unchecked, checked, grayed
// when AllowGrayed).
class TCheckListBox : public TCustomListBox {
 public:
  const char* ClassName() const override { return "TCheckListBox"; }
  explicit TCheckListBox(TComponent* AOwner);

  TCheckBoxState GetState(int Index) const;
  void SetState(int Index, TCheckBoxState Value);
  bool GetChecked(int Index) const { return GetState(Index) == cbChecked; }
  void SetChecked(int Index, bool Value) { SetState(Index, Value ? cbChecked : cbUnchecked); }
  bool GetItemEnabled(int Index) const;
  void SetItemEnabled(int Index, bool Value);
  bool GetAllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool Value) { allowGrayed_ = Value; }
  // The width of the check box cell at the start of each item.
  int CheckWidth() const;

  TNotifyEvent OnClickCheck;
  void WndProc(TMessage& m) override;

 protected:
  void CreateWnd() override;
  void DrawItem(int index, TRect r, TOwnerDrawState state) override;
  virtual void ClickCheck();

 private:
  struct Item {
    TCheckBoxState State = cbUnchecked;
    bool Enabled = true;
  };
  Item& At(int Index);
  void Toggle(int Index);
  std::vector<Item> states_;
  bool allowGrayed_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};
