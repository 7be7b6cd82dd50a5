// Helpers of the hex editor tests: a headless editor that counts its events
// and drives keys, and byte-buffer builders.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "valueedit/HexEditorCore.h"

inline std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
  return v;
}
inline std::vector<uint8_t> Bytes(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }
inline AnsiString AsText(const std::vector<uint8_t>& v) { return AnsiString(v.begin(), v.end()); }
inline AnsiString AsText(std::initializer_list<int> l) {
  AnsiString s;
  for (int b : l) s += static_cast<char>(b);
  return s;
}

class TestHexEditor : public TObject, public THexEditorCore {
 public:
  TestHexEditor() {
    OnChange = [this](TObject*) { ++changes; };
    OnInvalidKey = [this](TObject*) { ++invalidKeys; };
  }
  void Load(const std::vector<uint8_t>& data) {
    TMemoryStream ms;
    if (!data.empty()) ms.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    LoadFromStream(&ms);
  }
  void Key(int vk, TShiftState shift = TShiftState{}) {
    SetHeadlessKeys(shift.Contains(ssShift), false);
    int k = vk;
    HexKeyDown(k, shift);
    SetHeadlessKeys(false, false);
  }
  void Type(const std::string& s) {
    for (char c : s) WMChar(static_cast<uint8_t>(c));
  }
  int changes = 0;
  int invalidKeys = 0;

 protected:
  TObject* EventSender() override { return this; }
};
