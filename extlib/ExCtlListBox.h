// A list box whose horizontal scroll range always matches its widest item.
#pragma once

#include "classlib/StdCtrls.h"

class TTextListBox : public TCustomListBox {
 public:
  explicit TTextListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
  const char* ClassName() const override { return "TTextListBox"; }
  void WndProc(TMessage& m) override;
  // The widest item in pixels (the horizontal scroll range).
  int MaxItemWidth() const { return maxWidth_; }

 protected:
  void CreateParams(TCreateParams& p) override;
  // The width of one item's text, with a little room after it.
  int GetItemWidth(int index);

 private:
  void SetExtent();
  void ResetExtent();
  void ScrollToLeft();

  int maxWidth_ = 0;
};
