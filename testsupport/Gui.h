// The application of a window test program: made once for the run with a
// main form that lives throughout (tests never close it), and the messages
// of the exceptions that reached its display.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class TForm;

namespace testsupport {

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
