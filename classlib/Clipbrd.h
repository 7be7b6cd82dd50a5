// The clipboard. Windows only.
#pragma once

#include "classlib/Graphics.h"

ZEMBRIO_DECLARE_EXCEPTION(EClipboardException, Exception)

class TClipboard : public TObject {
 public:
  TClipboard() = default;
  ~TClipboard() override;

  // Nested opens are counted; the clipboard is closed at the last Close.
  void Open();
  void Close();
  void Clear();
  bool HasFormat(UINT format) const;
  int FormatCount() const;

  // Unicode text (CF_UNICODETEXT); an empty text when there is none.
  String GetAsText();
  void SetAsText(const String& s);
  // Raw data of a format; GetAsHandle returns the clipboard's own handle.
  HANDLE GetAsHandle(UINT format);
  // Puts a global memory handle (owned by the clipboard afterwards).
  void SetAsHandle(UINT format, HANDLE h);
  void SetBuffer(UINT format, const void* data, size_t size);

 private:
  void Adding();
  HWND OwnerWindow();
  int openCount_ = 0;
  bool emptied_ = false;
  HWND window_ = nullptr;
};

// The process's clipboard object.
TClipboard* Clipboard();
