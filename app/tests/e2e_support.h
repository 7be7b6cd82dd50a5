// Helpers of the end-to-end tests: the editor started through the
// program's own start-up, registry data below the key
// HKCU\Software\ZembrioTest\app\e2e, modal dialogs answered by scripted steps under a watchdog.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "app/tests/dialogs_support.h"
#include "classlib/Dialogs.h"

namespace e2e {

constexpr const wchar_t* Root = L"Software\\ZembrioTest\\app\\e2e";
constexpr const wchar_t* Settings = L"Software\\ZembrioTest\\app\\e2e\\Settings";
constexpr const wchar_t* Data = L"Software\\ZembrioTest\\app\\e2e\\Data";

// Raw registry access below HKEY_CURRENT_USER.
void DeleteTree(const String& Path);
void CreateKey(const String& Path);
void Write(const String& Key, const String& Name, DWORD Type, const std::string& Bytes);
bool Read(const String& Key, const String& Name, DWORD& Type, std::string& Bytes);
bool KeyExists(const String& Path);
std::string Dw(uint32_t V);
std::string Sz(const String& S);  // UTF-16LE with its terminator
std::vector<String> ValueNames(const String& Key);

// Runs Action (which shows a modal dialog somewhere) with Steps played one
// per turn of the message loop; a watchdog closes whatever window is
// active if the dialog is still up after TimeoutMs. True when the
// watchdog did not have to step in.
// Lets messages run until Done holds (true) or the time is up (false).
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 5000);

bool WithModal(const std::function<void()>& Action, std::vector<std::function<void()>> Steps,
               int TimeoutMs = 15000);

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the editor as the program does (settings in the test key).
  TfrmMain* Start();
  // Closes the main window (its shutdown sequence) and frees the forms.
  void Stop();

  TTreeExNode* Open(const String& Sub = String());
  TListItem* ValueItem(const String& Caption);
  static String ValueText(TListItem* Item);
  void SelectOnly(TListViewQ* List, const std::vector<String>& Captions);

  TZembrioForms F;
  String BookmarkFile;  // the bookmark file of the test settings
  TfrmMain* Window = nullptr;
  std::vector<String> Errors;  // texts of the error dialog
  std::vector<String>& Messages() { return dlgtest::Messages().Texts; }
  String TempFile(const String& Name);
  std::vector<String> files_;
};

}  // namespace e2e
