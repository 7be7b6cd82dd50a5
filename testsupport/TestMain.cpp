// The main of the window test programs: GoogleTest with the runner's guards
// (Runner.h). A test the watchdog had to end fails the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testsupport/Runner.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  testsupport::InstallTestGuards();
  const int rc = RUN_ALL_TESTS();
  return testsupport::AnyTestHung() ? 1 : rc;
}
