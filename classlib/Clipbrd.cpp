#include "classlib/Clipbrd.h"

#include <cstring>

TClipboard::~TClipboard() {
  while (openCount_ > 0) Close();
  if (window_) DestroyWindow(window_);
}

HWND TClipboard::OwnerWindow() {
  // Data can only be put on the clipboard by an owner window.
  if (!window_)
    window_ = CreateWindowExW(0, L"STATIC", L"Zembrio clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  return window_;
}

void TClipboard::Open() {
  if (openCount_ == 0) {
    HWND owner = OwnerWindow();
    bool ok = false;
    // Another program may hold the clipboard for a moment.
    for (int i = 0; i < 50 && !ok; ++i) {
      ok = OpenClipboard(owner) != FALSE;
      if (!ok) Sleep(10);
    }
    if (!ok) throw EClipboardException(L"Cannot open clipboard");
    emptied_ = false;
  }
  ++openCount_;
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ == 0) CloseClipboard();
}

void TClipboard::Adding() {
  if (!emptied_) {
    EmptyClipboard();
    emptied_ = true;
  }
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  emptied_ = true;
  Close();
}

bool TClipboard::HasFormat(UINT format) const { return IsClipboardFormatAvailable(format) != FALSE; }

int TClipboard::FormatCount() const { return CountClipboardFormats(); }

String TClipboard::GetAsText() {
  Open();
  String result;
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  if (h) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      // Never read past the block, terminated or not.
      size_t max = GlobalSize(h) / sizeof(wchar_t);
      size_t n = 0;
      while (n < max && p[n]) ++n;
      result.assign(p, n);
      GlobalUnlock(h);
    }
  }
  Close();
  return result;
}

void TClipboard::SetBuffer(UINT format, const void* data, size_t size) {
  Open();
  try {
    Adding();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!h) throw EOutOfMemory(L"Out of memory");
    void* p = GlobalLock(h);
    if (size) std::memcpy(p, data, size);
    GlobalUnlock(h);
    if (!SetClipboardData(format, h)) {
      GlobalFree(h);
      throw EClipboardException(L"Cannot put data on the clipboard");
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::SetAsText(const String& s) { SetBuffer(CF_UNICODETEXT, s.c_str(), (s.size() + 1) * sizeof(wchar_t)); }

HANDLE TClipboard::GetAsHandle(UINT format) {
  Open();
  HANDLE h = GetClipboardData(format);
  Close();
  return h;
}

void TClipboard::SetAsHandle(UINT format, HANDLE h) {
  Open();
  try {
    Adding();
    if (!SetClipboardData(format, h)) throw EClipboardException(L"Cannot put data on the clipboard");
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

TClipboard* Clipboard() {
  static TClipboard* instance = new TClipboard();
  return instance;
}
