// The form with a top dock that the window tests of docks and toolbars
// put their toolbars on.
#pragma once

#include <cstring>
#include <memory>

#include "classlib/Forms.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"

namespace bartest {

struct FloatHost {
  std::unique_ptr<TForm> Form;
  TBarDock* Dock = nullptr;
  explicit FloatHost(int w = 520, int h = 360) {
    Form.reset(new TForm(Application));
    Form->SetBounds(40, 40, w, h);
    Dock = new TBarDock(Form.get());
    Dock->SetName(L"tbdTop");
    Dock->SetParent(Form.get());
  }
  // A toolbar with Items items on the dock (or on Parent).
  TBarToolbar* AddToolbar(const String& Name, int Row, int Pos, int Items = 3, TWinControl* Parent = nullptr) {
    auto* t = new TBarToolbar(Form.get());
    t->SetName(Name);
    t->HideWhenInactive = false;
    t->SetDockRow(Row);
    t->SetDockPos(Pos);
    for (int i = 0; i < Items; ++i) {
      auto* it = new TBarItem(Form.get());
      it->SetCaption(L"Item" + IntToStr(i));
      t->Items()->Add(it);
    }
    t->SetParent(Parent ? Parent : Dock);
    return t;
  }
  void Show() {
    Form->Show();
    SetForegroundWindow(Form->GetHandle());
    testsupport::Pump(50);
  }
};

// Ctrl+K offered to the application as a shortcut, with Ctrl down: true
// when something took it.
inline bool CtrlKIsShortCut() {
  BYTE saved[256], down[256];
  GetKeyboardState(saved);
  memcpy(down, saved, sizeof down);
  down[VK_CONTROL] = 0x80;
  SetKeyboardState(down);
  TMessage km{WM_KEYDOWN, 'K', 0x00250001, 0};
  const bool taken = Application->IsShortCut(km);
  SetKeyboardState(saved);
  return taken;
}

// A visible pop-up window of this thread (null when none shows).
inline HWND VisiblePopupWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        if (IsWindowVisible(w) && dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)))
          *reinterpret_cast<HWND*>(p) = w;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Input sent from inside a menu loop, which reads it itself: posted, not
// waited for.
inline void MouseTo(POINT P) { testsupport::InputScript().Move(P).Post(); }
inline void LeftButton(bool Down) {
  testsupport::InputScript s;
  (Down ? s.Down() : s.Up()).Post();
}

}  // namespace bartest
