// The small variant value.
#include "classlib/Variants.h"

#include <cmath>
#include <limits>

namespace {
[[noreturn]] void CastError(const wchar_t*, const wchar_t*) {
  throw EVariantError(String(L"Invalid variant type conversion"));
}
const wchar_t* TypeName(TVarType t) {
  static const wchar_t* const kNames[] = {L"Empty", L"Boolean", L"Integer", L"Int64",
                                          L"Double", L"Date", L"String", L"Array"};
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
    case varArray: CastError(L"Array", L"Boolean");
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
    case varArray: CastError(L"Array", L"Int64");
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
    case varArray: CastError(L"Array", L"Double");
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
    case varArray: CastError(L"Array", L"String");
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
    case varArray: {
      const TVarArrayData& a = *std::get<TVarArrayBox>(v_);
      const TVarArrayData& b = *std::get<TVarArrayBox>(o.v_);
      return a.Low == b.Low && a.Items == b.Items;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// Variant arrays

TVarArrayBox::TVarArrayBox(std::unique_ptr<TVarArrayData> p) : p_(std::move(p)) {}
TVarArrayBox::TVarArrayBox(const TVarArrayBox& o) : p_(std::make_unique<TVarArrayData>(*o.p_)) {}
TVarArrayBox::TVarArrayBox(TVarArrayBox&&) noexcept = default;
TVarArrayBox& TVarArrayBox::operator=(const TVarArrayBox& o) {
  if (this != &o) p_ = std::make_unique<TVarArrayData>(*o.p_);
  return *this;
}
TVarArrayBox& TVarArrayBox::operator=(TVarArrayBox&&) noexcept = default;
TVarArrayBox::~TVarArrayBox() = default;

struct TVarArrayAccess {
  static TVarArrayData* Data(const Variant& v) {
    const auto* box = std::get_if<TVarArrayBox>(&v.v_);
    return box ? &**box : nullptr;
  }
};

namespace {
TVarArrayData& ArrayOf(const Variant& v) {
  TVarArrayData* d = TVarArrayAccess::Data(v);
  if (!d) throw EVariantError(String(L"Variant is not an array"));
  return *d;
}
void CheckDim(int Dim) {
  if (Dim != 1) throw EVariantError(String(L"Variant array bounds error"));
}
}  // namespace

Variant& Variant::operator[](int Index) {
  TVarArrayData& d = ArrayOf(*this);
  const int64_t i = int64_t(Index) - d.Low;
  if (i < 0 || i >= int64_t(d.Items.size())) throw EVariantError(String(L"Variant array index out of bounds"));
  return d.Items[size_t(i)];
}

const Variant& Variant::operator[](int Index) const { return const_cast<Variant&>(*this)[Index]; }

Variant VarArrayCreate(std::initializer_list<int> Bounds, TVarType ElementType) {
  if (Bounds.size() != 2) throw EVariantError(String(L"Variant array bounds error"));
  const int low = *Bounds.begin(), high = *(Bounds.begin() + 1);
  if (high < low - 1) throw EVariantError(String(L"Variant array bounds error"));
  auto d = std::make_unique<TVarArrayData>();
  d->Low = low;
  d->ElementType = ElementType;
  d->Items.resize(size_t(int64_t(high) - low + 1));
  return Variant(TVarArrayBox(std::move(d)));
}

Variant VarArrayOf(const std::vector<Variant>& Values) {
  auto d = std::make_unique<TVarArrayData>();
  d->Items = Values;
  return Variant(TVarArrayBox(std::move(d)));
}

Variant VarArrayOf(std::initializer_list<Variant> Values) { return VarArrayOf(std::vector<Variant>(Values)); }

bool VarIsArray(const Variant& V) { return V.VarType() == varArray; }

int VarArrayDimCount(const Variant& V) { return VarIsArray(V) ? 1 : 0; }

int VarArrayLowBound(const Variant& V, int Dim) {
  CheckDim(Dim);
  return ArrayOf(V).Low;
}

int VarArrayHighBound(const Variant& V, int Dim) {
  CheckDim(Dim);
  const TVarArrayData& d = ArrayOf(V);
  return d.Low + int(d.Items.size()) - 1;
}

void VarArrayRedim(Variant& V, int HighBound) {
  TVarArrayData& d = ArrayOf(V);
  if (HighBound < d.Low - 1) throw EVariantError(String(L"Variant array bounds error"));
  d.Items.resize(size_t(int64_t(HighBound) - d.Low + 1));
}
