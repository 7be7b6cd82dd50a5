// Watching another program's main window from a benchmark: Zembrio.exe and
// the system's regedit.exe both show a tree of keys, and the window counts
// as ready once that tree is shown with the root keys in it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

// A tree view among the descendants of the thread's top-level windows, a
// shown one first; null when there is none yet. The class is the system's tree
// view or a class made from it (its name then holds the system class's
// name).
inline HWND FindTree(DWORD Thread) {
  struct TFound {
    HWND Shown = nullptr, Any = nullptr;
  } found;
  EnumThreadWindows(
      Thread,
      [](HWND Top, LPARAM P) -> BOOL {
        EnumChildWindows(
            Top,
            [](HWND W, LPARAM P) -> BOOL {
              auto* f = reinterpret_cast<TFound*>(P);
              wchar_t cls[128];
              if (!GetClassNameW(W, cls, 128) || !wcsstr(cls, WC_TREEVIEWW)) return TRUE;
              if (!f->Any) f->Any = W;
              if (IsWindowVisible(W)) f->Shown = W;
              return f->Shown == nullptr;
            },
            P);
        return reinterpret_cast<TFound*>(P)->Shown == nullptr;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.Shown ? found.Shown : found.Any;
}

// The tree is shown (with its top-level window) and holds the top item and
// the six root keys.
inline bool TreeReady(HWND Tree) { return IsWindowVisible(Tree) && SendMessageW(Tree, TVM_GETCOUNT, 0, 0) >= 7; }

// The folder of a path (without the last separator).
inline std::wstring Folder(const std::wstring& Path) { return Path.substr(0, Path.find_last_of(L"\\/")); }

// Zembrio.exe of the build folder (this benchmark lives in bench\ below
// it) and the system's regedit.exe.
inline std::wstring OurProgram() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return Folder(Folder(self)) + L"\\Zembrio.exe";
}
inline std::wstring SystemRegedit() {
  wchar_t win[MAX_PATH];
  GetWindowsDirectoryW(win, MAX_PATH);
  return std::wstring(win) + L"\\regedit.exe";
}
