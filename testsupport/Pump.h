// Message pumping for tests that run windows: for a while, or until a
// condition holds. Messages go through the application's own dispatch when
// the program has an application object, else straight to their windows.
#pragma once

#include <functional>

namespace testsupport {

// Lets messages run for Ms milliseconds (at least one round).
void Pump(int Ms = 50);
// Lets messages run until Done holds (true) or TimeoutMs has passed (false).
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 10000);
// Runs the messages already queued and returns (after 2 s at the latest,
// when new ones keep coming).
void PumpPending();

}  // namespace testsupport
