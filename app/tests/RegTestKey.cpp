#include "app/tests/RegTestKey.h"

void RegTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  base_ = L"Software\\ZembrioTest\\app\\" + AnsiToWide(std::string(info->test_suite_name()) + "." + info->name());
  RegDeleteBranch(RegRoot::CurrentUser, base_);
  MakeKey(String());
}

void RegTest::TearDown() {
  RegDeleteBranch(RegRoot::CurrentUser, base_);
  // Leave no empty parents behind either.
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\app");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZembrioTest");
}

void RegTest::MakeKey(const String& sub) {
  TRegKey k;
  ASSERT_TRUE(k.Create(RegRoot::CurrentUser, Path(sub)));
}

void RegTest::Put(const String& sub, const String& name, DWORD type, const std::string& data) {
  TRegKey k;
  ASSERT_TRUE(k.Create(RegRoot::CurrentUser, Path(sub)));
  k.WriteValue(name, type, data);
}

bool RegTest::Get(const String& sub, const String& name, DWORD& type, std::string& data) {
  TRegKey k;
  if (!k.OpenReadOnly(RegRoot::CurrentUser, Path(sub))) return false;
  return k.ReadValue(name, type, data);
}

bool RegTest::Has(const String& sub, const String& name) {
  DWORD t;
  std::string d;
  return Get(sub, name, t, d);
}
