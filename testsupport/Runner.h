// What the test runner of the window tests does around every test (the
// programs get it through the runner's main, TestMain.cpp): the mouse
// pointer is parked before the test starts, so that no test depends on where
// an earlier one (of this program or another) left it; and a test that runs
// longer than its time limit is unstuck by the watchdog and counted as
// failed, or, when it stays stuck, ends the program with its name.
#pragma once

namespace testsupport {

// Installs the runner's guards (once) after letting the program meet the
// display (Input.h, MeetTheDisplay); programs with a main of their own call
// it before RUN_ALL_TESTS.
void InstallTestGuards();
// The running test may take up to Seconds before the watchdog steps in
// (the default is 90).
void SetTestTimeLimit(int Seconds);
// True when the watchdog had to step in for any test so far.
bool AnyTestHung();

}  // namespace testsupport
