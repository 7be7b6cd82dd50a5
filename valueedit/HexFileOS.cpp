#include "valueedit/HexFileOS.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
intptr_t HexCreateNewFile(const String& name) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}
void HexCloseFile(intptr_t handle) {
  if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));
}
bool HexReplaceFile(const String& from, const String& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
bool HexFileReadOnly(const String& name) {
  const DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0;
}
uint32_t HexTickCount() { return GetTickCount(); }
unsigned long HexLastError() { return GetLastError(); }
#else
intptr_t HexCreateNewFile(const String& name) {
  int fd = ::open(WideToUtf8(name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
  return fd < 0 ? -1 : fd;
}
void HexCloseFile(intptr_t handle) {
  if (handle != -1) ::close(static_cast<int>(handle));
}
bool HexReplaceFile(const String& from, const String& to) {
  return std::rename(WideToUtf8(from).c_str(), WideToUtf8(to).c_str()) == 0;
}
bool HexFileReadOnly(const String& name) {
  struct stat st {};
  return ::stat(WideToUtf8(name).c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
uint32_t HexTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
unsigned long HexLastError() { return static_cast<unsigned long>(errno); }
#endif
