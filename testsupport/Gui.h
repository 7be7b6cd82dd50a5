// The application of a window test program: made once for the run with a
// main form that lives throughout (tests never close it), and the messages
// of the exceptions that reached its display.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

class TForm;

namespace testsupport {

// Whether the top-level window Upper lies above Lower in the window list.
bool Above(HWND Upper, HWND Lower);
// Whether the screen shows A where the windows A and B overlap (compared
// where their own pixels differ); false where they do not overlap.
bool ShowsOver(HWND A, HWND B);

// Exception messages that reached the application's display, in order.
std::vector<std::wstring>& ShownExceptions();

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

 private:
  TForm* mainForm_ = nullptr;
};

}  // namespace testsupport
