// Window message record handed to message handlers (Windows only).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};
