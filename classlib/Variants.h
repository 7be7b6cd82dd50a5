// A small variant value: empty, boolean, 32- and 64-bit integer, double,
// date-time or text, with conversions between them. Portable.
#pragma once

#include <cstdint>
#include <variant>

#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EVariantError, Exception)

enum TVarType { varEmpty, varBoolean, varInteger, varInt64, varDouble, varDate, varString };

// A date-time held as such (not as a plain double).
struct TVarDate {
  TDateTime Value = 0;
};

class Variant {
 public:
  Variant() = default;
  Variant(bool v) : v_(v) {}
  Variant(int v) : v_(static_cast<int32_t>(v)) {}
  Variant(int64_t v) : v_(v) {}
  Variant(double v) : v_(v) {}
  Variant(TVarDate v) : v_(v) {}
  Variant(const String& v) : v_(v) {}
  Variant(const wchar_t* v) : v_(String(v ? v : L"")) {}
  Variant(const char*) = delete;  // would silently become a boolean
  static Variant FromDate(TDateTime d) { return Variant(TVarDate{d}); }

  TVarType VarType() const { return static_cast<TVarType>(v_.index()); }
  bool IsEmpty() const { return v_.index() == 0; }
  void Clear() { v_ = std::monostate{}; }

  // Conversions; EVariantError when the value has no such form (empty
  // converts to false, 0 and the empty text).
  bool AsBoolean() const;
  int AsInteger() const;  // EVariantError when out of range
  int64_t AsInt64() const;
  double AsDouble() const;
  TDateTime AsDateTime() const;
  String AsString() const;

  // Same type and value.
  bool operator==(const Variant& o) const;
  bool operator!=(const Variant& o) const { return !(*this == o); }

 private:
  std::variant<std::monostate, bool, int32_t, int64_t, double, TVarDate, String> v_;
};
