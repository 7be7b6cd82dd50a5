#include "testsupport/Gui.h"

#include "classlib/Forms.h"

namespace testsupport {

bool Above(HWND Upper, HWND Lower) {
  for (HWND w = GetWindow(Lower, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
    if (w == Upper) return true;
  return false;
}

bool ShowsOver(HWND A, HWND B) {
  RECT ra, rb, both;
  GetWindowRect(A, &ra);
  GetWindowRect(B, &rb);
  if (!IntersectRect(&both, &ra, &rb)) return false;
  HDC screen = GetDC(nullptr), da = GetWindowDC(A), db = GetWindowDC(B);
  int likeA = 0, likeB = 0;
  for (int y = both.top; y < both.bottom; y += 2)
    for (int x = both.left; x < both.right; x += 2) {
      const COLORREF s = GetPixel(screen, x, y), pa = GetPixel(da, x - ra.left, y - ra.top),
                     pb = GetPixel(db, x - rb.left, y - rb.top);
      if (pa == pb) continue;
      likeA += s == pa;
      likeB += s == pb;
    }
  ReleaseDC(A, da);
  ReleaseDC(B, db);
  ReleaseDC(nullptr, screen);
  return likeA > likeB;
}

std::vector<std::wstring>& ShownExceptions() {
  static std::vector<std::wstring> v;
  return v;
}

void GuiEnvironment::SetUp() {
  InitForms();
  Application->Initialize();
  Application->ShowExceptionHook = [](const String& msg, const String&) { ShownExceptions().push_back(msg); };
  // The first form is the main form.
  mainForm_ = Application->CreateForm<TForm>();
  mainForm_->SetCaption(L"Test host");
}

void GuiEnvironment::TearDown() { DoneForms(); }

}  // namespace testsupport
