// Registry data of tests: raw access below HKEY_CURRENT_USER through the
// system's own calls (so that a fault of the program's registry layer can't
// hide in the checks), byte builders for value data, and a scratch key
// named after the running test that is removed again however the test ends.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/Bytes.h"

namespace testsupport {

namespace reg {

// Paths are below HKEY_CURRENT_USER, without a leading backslash.
void CreateKey(const std::wstring& Path);  // with its parents; fails the test when refused
// The key with everything below it, each key as itself: link keys go as
// links, never what they lead to.
void DeleteTree(const std::wstring& Path);
// A link key (volatile, with its parents) whose SymbolicLinkValue names
// Target, a native registry path ("\\Registry\\User\\...").
void CreateLink(const std::wstring& Path, const std::wstring& Target);
// The target a link key names (its SymbolicLinkValue, read from the key
// opened as itself); empty when Path is no link key (a key of its own
// holding such a value included).
std::wstring LinkTarget(const std::wstring& Path);
// The name the system knows the key Path by, as a link's target names it:
// "\\Registry\\User\\<the user's SID>\\" and Path.
std::wstring NativePath(const std::wstring& Path);
bool KeyExists(const std::wstring& Path);
// Stores exactly Bytes (text without a final NUL included).
void Write(const std::wstring& Key, const std::wstring& Name, DWORD Type, const std::string& Bytes);
bool Read(const std::wstring& Key, const std::wstring& Name, DWORD& Type, std::string& Bytes);
bool HasValue(const std::wstring& Key, const std::wstring& Name);
std::vector<std::wstring> ValueNames(const std::wstring& Key);  // sorted
std::vector<std::wstring> SubkeyNames(const std::wstring& Key);  // sorted

}  // namespace reg

// HKCU\Software\ZembrioTest\<area>\<suite>.<test> for the running test,
// empty at the start and removed with everything below it at the end.
class ScratchKey {
 public:
  explicit ScratchKey(const std::wstring& Area);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // The key's path (no leading backslash), or the path of a key below it.
  std::wstring Path(const std::wstring& Sub = std::wstring()) const;
  // Removes the key and the area's and the test root's keys when empty.
  void Remove();

  void CreateKey(const std::wstring& Sub) const { reg::CreateKey(Path(Sub)); }
  bool KeyExists(const std::wstring& Sub) const { return reg::KeyExists(Path(Sub)); }
  void Write(const std::wstring& Sub, const std::wstring& Name, DWORD Type, const std::string& Bytes) const {
    reg::Write(Path(Sub), Name, Type, Bytes);
  }
  bool Read(const std::wstring& Sub, const std::wstring& Name, DWORD& Type, std::string& Bytes) const {
    return reg::Read(Path(Sub), Name, Type, Bytes);
  }
  bool HasValue(const std::wstring& Sub, const std::wstring& Name) const { return reg::HasValue(Path(Sub), Name); }

 private:
  std::wstring area_;
  std::wstring path_;
};

// A test with a scratch key of its area: made in SetUp, removed in
// TearDown (which runs after a failed assertion too).
class ScratchKeyTest : public ::testing::Test {
 protected:
  explicit ScratchKeyTest(const std::wstring& Area) : area_(Area) {}
  void SetUp() override;
  void TearDown() override;
  // The scratch key's path, or the path of a key below it.
  std::wstring Path(const std::wstring& Sub = std::wstring()) const { return key_->Path(Sub); }
  const ScratchKey& Key() const { return *key_; }

 private:
  std::wstring area_;
  std::unique_ptr<ScratchKey> key_;
};

}  // namespace testsupport
