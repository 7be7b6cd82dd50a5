// A scratch key below HKEY_CURRENT_USER\Software\ZembrioTest\app for one
// test, removed again afterwards.
#pragma once

#include <gtest/gtest.h>

#include "app/RegAccess.h"

class RegTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Path of the scratch key (no leading backslash), or a key below it.
  String Path(const String& sub = String()) const { return sub.empty() ? base_ : base_ + L"\\" + sub; }
  // Creates a key below the scratch key (or the scratch key itself).
  void MakeKey(const String& sub);
  void Put(const String& sub, const String& name, DWORD type, const std::string& data);
  bool Get(const String& sub, const String& name, DWORD& type, std::string& data);
  bool Has(const String& sub, const String& name);
  static std::string Dw(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

 private:
  String base_;
};
