// The small variant value.
#include "classlib/Variants.h"

#include <cmath>
#include <limits>

namespace {
[[noreturn]] void CastError(const wchar_t*, const wchar_t*) {
  throw EVariantError(String(L"Invalid variant type conversion"));
}
const wchar_t* TypeName(TVarType t) {
  static const wchar_t* const kNames[] = {L"Empty", L"Boolean", L"Integer", L"Int64", L"Double", L"Date", L"String"};
  return kNames[t];
}
}  // namespace

bool Variant::AsBoolean() const {
  switch (VarType()) {
    case varEmpty: return false;
    case varBoolean: return std::get<bool>(v_);
    case varInteger: return std::get<int32_t>(v_) != 0;
    case varInt64: return std::get<int64_t>(v_) != 0;
    case varDouble: return std::get<double>(v_) != 0;
    case varDate: return std::get<TVarDate>(v_).Value != 0;
    case varString: {
      const String& s = std::get<String>(v_);
      if (SameText(s, L"True")) return true;
      if (SameText(s, L"False")) return false;
      double d;
      if (TryStrToFloat(s, d)) return d != 0;
      CastError(L"String", L"Boolean");
    }
  }
  return false;
}

int64_t Variant::AsInt64() const {
  auto fromDouble = [this](double d) -> int64_t {
    if (!std::isfinite(d) || d >= 9.2233720368547758e18 || d < -9.2233720368547758e18)
      CastError(TypeName(VarType()), L"Int64");
    return static_cast<int64_t>(std::llround(d));
  };
  switch (VarType()) {
    case varEmpty: return 0;
    case varBoolean: return std::get<bool>(v_) ? -1 : 0;
    case varInteger: return std::get<int32_t>(v_);
    case varInt64: return std::get<int64_t>(v_);
    case varDouble: return fromDouble(std::get<double>(v_));
    case varDate: return fromDouble(std::get<TVarDate>(v_).Value);
    case varString: {
      int64_t v;
      if (TryStrToInt64(std::get<String>(v_), v)) return v;
      double d;
      if (TryStrToFloat(std::get<String>(v_), d)) return fromDouble(d);
      CastError(L"String", L"Int64");
    }
  }
  return 0;
}

int Variant::AsInteger() const {
  int64_t v = AsInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    CastError(TypeName(VarType()), L"Integer");
  return static_cast<int>(v);
}

double Variant::AsDouble() const {
  switch (VarType()) {
    case varEmpty: return 0;
    case varBoolean: return std::get<bool>(v_) ? -1 : 0;
    case varInteger: return std::get<int32_t>(v_);
    case varInt64: return static_cast<double>(std::get<int64_t>(v_));
    case varDouble: return std::get<double>(v_);
    case varDate: return std::get<TVarDate>(v_).Value;
    case varString: {
      double d;
      if (TryStrToFloat(std::get<String>(v_), d)) return d;
      CastError(L"String", L"Double");
    }
  }
  return 0;
}

TDateTime Variant::AsDateTime() const {
  if (VarType() == varBoolean) CastError(L"Boolean", L"Date");
  return AsDouble();
}

String Variant::AsString() const {
  switch (VarType()) {
    case varEmpty: return String();
    case varBoolean: return std::get<bool>(v_) ? L"True" : L"False";
    case varInteger: return IntToStr(std::get<int32_t>(v_));
    case varInt64: return IntToStr(std::get<int64_t>(v_));
    case varDouble: return FloatToStr(std::get<double>(v_));
    case varDate: return DateTimeToStr(std::get<TVarDate>(v_).Value);
    case varString: return std::get<String>(v_);
  }
  return String();
}

bool Variant::operator==(const Variant& o) const {
  if (v_.index() != o.v_.index()) return false;
  switch (VarType()) {
    case varEmpty: return true;
    case varBoolean: return std::get<bool>(v_) == std::get<bool>(o.v_);
    case varInteger: return std::get<int32_t>(v_) == std::get<int32_t>(o.v_);
    case varInt64: return std::get<int64_t>(v_) == std::get<int64_t>(o.v_);
    case varDouble: return std::get<double>(v_) == std::get<double>(o.v_);
    case varDate: return std::get<TVarDate>(v_).Value == std::get<TVarDate>(o.v_).Value;
    case varString: return std::get<String>(v_) == std::get<String>(o.v_);
  }
  return false;
}
