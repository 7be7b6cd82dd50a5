// Portable path helpers.
#include "extlib/ExFileUtil.h"

namespace {
bool IsLetter(wchar_t C) { return (C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z'); }
}  // namespace

String NormalDir(const String& DirName) {
  if (DirName.empty() || DirName.back() == L':' || DirName.back() == L'\\') return DirName;
  if (DirName.size() == 1 && IsLetter(DirName[0])) return DirName + L":\\";
  return DirName + L"\\";
}

String RemoveBackSlash(const String& DirName) {
  if (DirName.size() <= 1 || DirName.back() != L'\\') return DirName;
  if (DirName.size() == 3 && IsLetter(DirName[0]) && DirName[1] == L':') return DirName;
  return DirName.substr(0, DirName.size() - 1);
}

bool ValidFileName(const String& FileName) {
  return !FileName.empty() && FileName.find_first_of(L"<>\"[]|") == String::npos;
}
