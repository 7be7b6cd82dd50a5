// Shared set-up of the status-bar tests: the application, the units'
// start-up, and a form holding one status bar.
#pragma once

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "statusbar/KbMon.h"
#include "statusbar/OdStatusBar.h"

namespace sbtest {

struct BarHost {
  std::unique_ptr<TForm> form;
  TOdStatusBar* bar = nullptr;
  explicit BarHost(int w = 400) {
    form.reset(new TForm(Application));
    form->SetBorderStyle(bsNone);
    form->SetBounds(20, 20, w, 60);
    bar = new TOdStatusBar(form.get());
    bar->SetSizeGrip(false);
    bar->SetParent(form.get());
    bar->SetBounds(0, 30, w, 24);
    bar->SetColor(clYellow);
    bar->Font()->SetColor(clBlack);
    form->Show();
    bar->HandleNeeded();
    testsupport::Pump(20);
  }
  TOdStatusPanel* Add(TOdStatusPanelType t, int width = 100) {
    TOdStatusPanel* p = bar->Panels()->Add();
    p->SetWidth(width);
    p->SetPanelType(t);
    return p;
  }
};

// Points the keyboard-monitor binding at another library for one test.
struct KbMonName {
  String saved = KbMonDLLName;
  explicit KbMonName(const wchar_t* Name) { KbMonDLLName = Name; }
  ~KbMonName() { KbMonDLLName = saved; }
};

}  // namespace sbtest
