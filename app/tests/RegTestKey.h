// A scratch key below HKEY_CURRENT_USER\Software\ZembrioTest\app for one
// test (the shared ScratchKeyTest), with the registry reached through the
// system's own calls.
#pragma once

#include <gtest/gtest.h>

#include "app/RegAccess.h"
#include "testsupport/Registry.h"

class RegTest : public testsupport::ScratchKeyTest {
 protected:
  RegTest() : ScratchKeyTest(L"app") {}
  // Creates a key below the scratch key (or the scratch key itself).
  void MakeKey(const String& sub) { testsupport::reg::CreateKey(Path(sub)); }
  void Put(const String& sub, const String& name, DWORD type, const std::string& data) {
    testsupport::reg::Write(Path(sub), name, type, data);
  }
  bool Get(const String& sub, const String& name, DWORD& type, std::string& data) {
    return testsupport::reg::Read(Path(sub), name, type, data);
  }
  bool Has(const String& sub, const String& name) { return testsupport::reg::HasValue(Path(sub), name); }
  static std::string Dw(uint32_t v) { return testsupport::Dw(v); }
};
