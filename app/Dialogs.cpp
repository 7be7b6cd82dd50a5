// What the confirmation and error dialogs share: their font, icons, labels
// and buttons.
#include "app/Dialogs.h"

namespace DialogBuild {

void SetDialogFont(TForm* f) {
  f->Font()->SetName(L"MS Sans Serif");
  f->Font()->SetSize(8);
}

void ShowSystemIcon(TImage* img, LPCWSTR id) {
  if (!img->Picture()->Icon()->Empty()) return;
  // Shared system icons are not destroyed: hand the image a copy.
  HICON h = LoadIconW(nullptr, id);
  if (h) img->Picture()->Icon()->SetHandle(CopyIcon(h));
}

TLabel* MakeLabel(TForm* f, const String& name, int l, int t, int w, int h, const String& text) {
  auto* lbl = new TLabel(f);
  lbl->SetName(name);
  lbl->SetParent(f);
  lbl->SetAutoSize(false);
  lbl->SetBounds(l, t, w, h);
  lbl->SetCaption(text);
  return lbl;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const String& name, int l, int t,
                    const String& caption, TModalResult r) {
  auto* b = new TButton(owner);
  b->SetName(name);
  b->SetParent(parent);
  b->SetBounds(l, t, 73, 25);
  b->SetCaption(caption);
  b->SetModalResult(r);
  return b;
}

}  // namespace DialogBuild
