// The keyboard-monitor binding against a missing library and against a
// stand-in library that records what it is told.
#include <gtest/gtest.h>

#include "statusbar/KbMon.h"

namespace {

struct Fake {
  HMODULE keep = LoadLibraryW(L"KbMonFake.dll");  // outlives the binding's unload
  ~Fake() {
    if (keep) FreeLibrary(keep);
  }
  int Count() {
    auto f = reinterpret_cast<int(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(keep, "FakeDeregisteredCount")));
    return f();
  }
  HWND At(int i) {
    auto f = reinterpret_cast<HWND(WINAPI*)(int)>(reinterpret_cast<void*>(GetProcAddress(keep, "FakeDeregistered")));
    return f(i);
  }
};

struct NameSwap {
  String saved = KbMonDLLName;
  explicit NameSwap(const String& n) { KbMonDLLName = n; }
  ~NameSwap() {
    UnloadKbMonDLL();
    KbMonDLLName = saved;
  }
};

}  // namespace

TEST(KbMonBinding, MissingLibraryFailsQuietly) {
  NameSwap n(L"ZembrioNoSuchKbMon.dll");
  EXPECT_FALSE(InitKbMonDLL());
  EXPECT_FALSE(KbMonDLL_Loaded);
  EXPECT_EQ(DLLRegisterKeyboardHook(HWND(0x1234)), 0u);
  EXPECT_EQ(KbMonRegisteredCount(), 0);
  DLLDeregisterKeyboardHook(HWND(0x1234));
  UnloadKbMonDLL();
  EXPECT_FALSE(KbMonDLL_Loaded);
}

TEST(KbMonBinding, UnloadDeregistersNewestFirstAndReloadStartsClean) {
  Fake fake;
  ASSERT_NE(fake.keep, nullptr);
  NameSwap n(L"KbMonFake.dll");
  ASSERT_TRUE(InitKbMonDLL());
  EXPECT_TRUE(KbMonDLL_Loaded);
  HWND a = HWND(0x101), b = HWND(0x202), c = HWND(0x303);
  EXPECT_EQ(DLLRegisterKeyboardHook(a), UINT(WM_APP + 0x321));
  DLLRegisterKeyboardHook(b);
  DLLRegisterKeyboardHook(c);
  EXPECT_EQ(KbMonRegisteredCount(), 3);
  int before = fake.Count();
  UnloadKbMonDLL();
  EXPECT_FALSE(KbMonDLL_Loaded);
  ASSERT_EQ(fake.Count(), before + 3);
  EXPECT_EQ(fake.At(before), c);
  EXPECT_EQ(fake.At(before + 1), b);
  EXPECT_EQ(fake.At(before + 2), a);
  EXPECT_EQ(KbMonRegisteredCount(), 0);

  // Loading again while loaded tells the registered windows first.
  ASSERT_TRUE(InitKbMonDLL());
  DLLRegisterKeyboardHook(a);
  before = fake.Count();
  ASSERT_TRUE(InitKbMonDLL());
  EXPECT_TRUE(KbMonDLL_Loaded);
  EXPECT_EQ(fake.Count(), before + 1);
  EXPECT_EQ(KbMonRegisteredCount(), 0);
}
