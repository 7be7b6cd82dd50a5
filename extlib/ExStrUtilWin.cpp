// The string routines that need the system's locale, OEM tables or the
// program's command line.
#include <windows.h>
#include <shellapi.h>

#include "extlib/ExStrUtil.h"

AnsiString StrToOem(const AnsiString& AnsiStr) {
  AnsiString R = AnsiStr;
  if (!R.empty()) CharToOemBuffA(R.data(), R.data(), static_cast<DWORD>(R.size()));
  return R;
}

AnsiString OemToAnsiStr(const AnsiString& OemStr) {
  AnsiString R = OemStr;
  if (!R.empty()) OemToCharBuffA(R.data(), R.data(), static_cast<DWORD>(R.size()));
  return R;
}

namespace {
int Compare(const AnsiString& S1, const AnsiString& S2, DWORD Flags) {
  int R = CompareStringA(GetThreadLocale(), SORT_STRINGSORT | Flags, S1.data(), static_cast<int>(S1.size()),
                         S2.data(), static_cast<int>(S2.size()));
  return R == 0 ? 0 : R - 2;  // CSTR_LESS_THAN 1, CSTR_EQUAL 2, CSTR_GREATER_THAN 3
}
}  // namespace

int CompStr(const AnsiString& S1, const AnsiString& S2) { return Compare(S1, S2, 0); }
int CompText(const AnsiString& S1, const AnsiString& S2) { return Compare(S1, S2, NORM_IGNORECASE); }

AnsiString GetCmdLineArg(const AnsiString& Switch, const TCharSet& SwitchChars) {
  std::vector<AnsiString> Params;
  int Argc = 0;
  LPWSTR* Argv = CommandLineToArgvW(GetCommandLineW(), &Argc);
  if (Argv) {
    for (int I = 0; I < Argc; ++I) {
      int N = WideCharToMultiByte(1252, 0, Argv[I], -1, nullptr, 0, nullptr, nullptr);
      AnsiString A(N > 0 ? static_cast<size_t>(N - 1) : 0, '\0');
      if (N > 1) WideCharToMultiByte(1252, 0, Argv[I], -1, A.data(), N, nullptr, nullptr);
      Params.push_back(A);
    }
    LocalFree(Argv);
  }
  return GetCmdLineArgOf(Params, Switch, SwitchChars);
}
