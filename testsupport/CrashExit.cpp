// Linked into every test program of the Windows build: a test program that
// crashes ends with a failing exit code and the name of the test it was in.
// Without it the system's crash handling ends the program with exit code 0
// under Wine, and ctest counts a program that stopped halfway as passed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* Info) {
  const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
  std::printf("\nCRASH: exception 0x%08lx at %p in %s%s%s\n", Info->ExceptionRecord->ExceptionCode,
              Info->ExceptionRecord->ExceptionAddress, t ? t->test_suite_name() : "(no test)", t ? "." : "",
              t ? t->name() : "");
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

const bool g_installed = (SetUnhandledExceptionFilter(ReportCrash), true);

}  // namespace
