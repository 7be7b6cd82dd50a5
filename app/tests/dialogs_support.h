// Helpers of the dialog tests: one application for the run, the real
// settings key set aside for the run and restored afterwards, a data
// module's services with settings read fresh, and running a script inside
// a dialog's modal loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/CommonLogic.h"
#include "classlib/Dialogs.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"

namespace dlgtest {

constexpr const wchar_t* SettingsKey = L"Software\\Quorvel\\Zembrio";
constexpr const wchar_t* ScratchKey = L"Software\\ZembrioTest\\app\\dialogs";

// Messages of the message boxes (ShowMessage, MessageDlg) shown so far;
// the answer given is Answer (IDYES by default).
struct MessageLog {
  std::vector<String> Texts;
  int Answer = IDYES;
};
MessageLog& Messages();
// Exceptions that reached the application's display.
using testsupport::ShownExceptions;

// Deletes the settings key (a fresh start with every default).
void ClearSettings();
// One value of the settings key's subkey as the registry holds it; false
// when it is missing.
bool ReadSetting(const String& SubKey, const String& Name, DWORD& Type, std::wstring& Text, DWORD& Number);

// Shows the form modally and runs Script once the form is up (inside its
// modal loop). The script ends the dialog itself (a button click...); a
// watchdog cancels it after the timeout. Returns the modal result.
TModalResult RunModal(TCustomForm* Form, const std::function<void()>& Script, int TimeoutMs = 10000);
// The same with steps, each run on its own turn of the modal loop (so a
// button click of one step has been handled before the next one runs).
TModalResult RunModalSteps(TCustomForm* Form, std::vector<std::function<void()>> Steps, int TimeoutMs = 10000);
// Runs the steps one after the other on the coming turns of whatever
// message loop runs next (a modal dialog that some other code shows).
void ScheduleSteps(std::vector<std::function<void()>> Steps);
// Lets pending messages run.
using testsupport::Pump;

// The screen point in the middle of a part of a window's title bar (Hit:
// HTCLOSE, HTMAXBUTTON, HTMINBUTTON, HTCAPTION), found by asking the window
// what lies under each point, as a click does.
POINT TitleBarPoint(HWND Window, LRESULT Hit);
inline POINT CloseBoxPoint(HWND Window) { return TitleBarPoint(Window, HTCLOSE); }
// Waits (letting messages run) until the form is the active window with
// the keyboard in it, so that keys pressed go to it; false when it never is,
// and the form, shown modally, is then ended with mrCancel.
bool WaitForKeyboard(TCustomForm* Form);

// Base of the dialog tests: messages cleared, settings cleared and read
// into a fresh set of services.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<TCommonLogic> dm;
};

}  // namespace dlgtest
