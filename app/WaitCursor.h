// The hourglass for the length of a scope (the cursor before it comes back
// at its end).
#pragma once

#include "classlib/Forms.h"

class TWaitCursor {
 public:
  TWaitCursor() : old_(Screen->GetCursor()) { Screen->SetCursor(crHourGlass); }
  ~TWaitCursor() { Screen->SetCursor(old_); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  TCursor old_;
};
