// Helpers of the end-to-end tests: the editor started through the
// program's own start-up, settings and registry data below the test's
// scratch key, modal dialogs answered by scripted steps under a watchdog.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dmodCommonU.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "app/tests/dialogs_support.h"
#include "classlib/Dialogs.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"

namespace e2e {

// Registry data through the system's own calls, below HKEY_CURRENT_USER.
using testsupport::Dw;
using testsupport::Sz;
using testsupport::reg::CreateKey;
using testsupport::reg::DeleteTree;
using testsupport::reg::HasValue;
using testsupport::reg::KeyExists;
using testsupport::reg::Read;
using testsupport::reg::ValueNames;
using testsupport::reg::Write;
using testsupport::PumpUntil;

// Runs Action (which shows a modal dialog somewhere) with Steps played one
// per turn of the message loop; a watchdog closes whatever window is
// active if the dialog is still up after TimeoutMs. True when the
// watchdog did not have to step in.
bool WithModal(const std::function<void()>& Action, std::vector<std::function<void()>> Steps,
               int TimeoutMs = 15000);

// Steps run from a thread timer, so they go on while a modal loop (a menu,
// a dialog) runs its own message loop: each waits for its condition, then
// acts. Past the deadline Escape is pressed, and the active window told to
// close, until every loop has ended.
struct Script {
  struct Step {
    std::function<bool()> When;
    std::function<void()> Do;
  };
  std::vector<Step> Steps;
  size_t Next = 0;
  bool TimedOut = false;
  // Runs Action (which may start a modal loop) with the steps going on; the
  // index of the first step that never came is returned (the count of
  // steps when all ran).
  size_t Run(const std::function<void()>& Action, int TimeoutMs = 8000);
  size_t Run(int TimeoutMs = 8000) { return Run([] {}, TimeoutMs); }
  DWORD Deadline() const { return deadline_; }

 private:
  DWORD deadline_ = 0;
};

// The visible window of class T of this thread (a pop-up menu, a hint), or null.
template <class T>
HWND Shown() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND W, LPARAM P) -> BOOL {
        if (!dynamic_cast<T*>(TWinControl::FindControl(W)) || !IsWindowVisible(W)) return TRUE;
        *reinterpret_cast<HWND*>(P) = W;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The test's scratch key (named after the test), its editor settings and
  // its registry data.
  std::unique_ptr<testsupport::ScratchKey> Scratch;
  String Settings, Data;

  // Starts the editor as the program does (settings in the test key).
  TfrmMain* Start();
  // Closes the main window (its shutdown sequence) and frees the forms.
  void Stop();

  TTreeExNode* Open(const String& Sub = String());
  // The main window in front with the keyboard on Focus, the mouse resting
  // over it (away from the menu bar, whose items it would show as hot).
  void Foreground(TWinControl* Focus);
  TListItem* ValueItem(const String& Caption);
  static String ValueText(TListItem* Item);
  void SelectOnly(TListViewQ* List, const std::vector<String>& Captions);
  // The captions of the list's chosen rows, in order; of the row the
  // keyboard is on ("<none>" when none is).
  static std::vector<String> Chosen(TListViewQ* List);
  static String FocusedCaption(TListViewQ* List);
  // As the user deletes many rows: First clicked, Shift+End, Delete; the
  // first question answered with a click on No, the next with a click on
  // "Yes to All". True when the command ended with the status Status.
  bool DeleteToTheEndSparingFirst(TListViewQ* List, TListItem* First, const String& Status);

  TZembrioForms F;
  String BookmarkFile;  // the bookmark file of the test settings
  TfrmMain* Window = nullptr;
  std::vector<String> Errors;  // texts of the error dialog
  std::vector<String>& Messages() { return dlgtest::Messages().Texts; }
  String TempFile(const String& Name);
  std::vector<String> files_;
};

}  // namespace e2e
