// A small variant value: empty, boolean, 32- and 64-bit integer, double,
// date-time, text or an array of variants, with conversions between them.
// Portable.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <variant>
#include <vector>

#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EVariantError, Exception)

enum TVarType { varEmpty, varBoolean, varInteger, varInt64, varDouble, varDate, varString, varArray };

class Variant;
struct TVarArrayData;

// Holds a variant array's elements; copies are deep (a variant array is a
// value, as the others are).
class TVarArrayBox {
 public:
  explicit TVarArrayBox(std::unique_ptr<TVarArrayData> p);
  TVarArrayBox(const TVarArrayBox& o);
  TVarArrayBox(TVarArrayBox&&) noexcept;
  TVarArrayBox& operator=(const TVarArrayBox& o);
  TVarArrayBox& operator=(TVarArrayBox&&) noexcept;
  ~TVarArrayBox();
  TVarArrayData& operator*() const { return *p_; }
  TVarArrayData* operator->() const { return p_.get(); }

 private:
  std::unique_ptr<TVarArrayData> p_;
};

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
  explicit Variant(TVarArrayBox a) : v_(std::move(a)) {}
  static Variant FromDate(TDateTime d) { return Variant(TVarDate{d}); }

  TVarType VarType() const { return static_cast<TVarType>(v_.index()); }
  bool IsEmpty() const { return v_.index() == 0; }
  void Clear() { v_ = std::monostate{}; }

  // The elements of a variant array, by index within its bounds
  // (EVariantError for a value that is no array or an index outside).
  Variant& operator[](int Index);
  const Variant& operator[](int Index) const;

  // Conversions; EVariantError when the value has no such form (empty
  // converts to false, 0 and the empty text; an array converts to nothing).
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
  friend struct TVarArrayAccess;
  std::variant<std::monostate, bool, int32_t, int64_t, double, TVarDate, String, TVarArrayBox> v_;
};

// A one-dimensional variant array from Low to High; its elements are empty
// variants of the given type's default (VarType is the element type asked
// for: varEmpty or any type; the elements start empty either way).
struct TVarArrayData {
  int Low = 0;
  TVarType ElementType = varEmpty;
  std::vector<Variant> Items;
};

// Bounds as pairs (low, high) of each dimension; one dimension only here.
Variant VarArrayCreate(std::initializer_list<int> Bounds, TVarType ElementType = varEmpty);
// An array indexed from 0 holding the values.
Variant VarArrayOf(std::initializer_list<Variant> Values);
Variant VarArrayOf(const std::vector<Variant>& Values);
bool VarIsArray(const Variant& V);
int VarArrayDimCount(const Variant& V);  // 0 for a value that is no array
int VarArrayLowBound(const Variant& V, int Dim);
int VarArrayHighBound(const Variant& V, int Dim);
// Changes the high bound, keeping the elements that stay.
void VarArrayRedim(Variant& V, int HighBound);
