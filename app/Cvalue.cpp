#include "app/Cvalue.h"

namespace cValueText {
const wchar_t* const Unrecognised = L"Encountered an unrecognised value type.";
const wchar_t* const OpenUpdate =
    L"Unable to open the key for the value to update.  The key may have been deleted or renamed "
    L"by another process or application\n\nKey: ";
const wchar_t* const OpenRename =
    L"Unable to open the key for the value to rename.  The key may have been deleted or renamed "
    L"by another process or application\n\nKey: ";
const wchar_t* const ValueExists = L"New value name already exists.";
const wchar_t* const LocateRename =
    L"Unable to locate the value to rename.  The value may have been deleted or renamed by "
    L"another process or application\n\nKey: ";
const wchar_t* const RenameFailed =
    L"Unable to successfully rename the registry value.  The value may have been deleted or "
    L"renamed by another process or application.\n\nKey: ";
const wchar_t* const SpareLeft =
    L"The value was renamed, but the spare copy made on the way could not be deleted and is left in the key."
    L"\n\nKey: ";
const wchar_t* const OpenDelete =
    L"Unable to open the key for the value to delete.  The value may have been deleted or renamed "
    L"by another process or application.\n\nKey: ";
const wchar_t* const DeleteFailed =
    L"Unable to successfully delete the registry value.  The value may have been deleted or "
    L"renamed by another process or application.\n\nKey: ";
}  // namespace cValueText

String RegTypeName(uint32_t type) {
  static const wchar_t* const names[] = {
      L"REG_NONE",      L"REG_SZ",        L"REG_EXPAND_SZ",       L"REG_BINARY",
      L"REG_DWORD",     L"REG_DWORD_BIG_ENDIAN", L"REG_LINK",     L"REG_MULTI_SZ",
      L"REG_RESOURCE_LIST", L"REG_FULL_RESOURCE_DESCRIPTOR", L"REG_RESOURCE_REQUIREMENTS_LIST",
      L"REG_QWORD"};
  if (type < sizeof(names) / sizeof(names[0])) return names[type];
  return UIntToStr(type);
}

String RegBytesToString(const std::string& bytes) {
  std::u16string u;
  u.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (c == 0) break;
    u.push_back(c);
  }
  return FromUtf16(u);
}

std::string StringToRegBytes(const String& s) {
  const std::u16string u = ToUtf16(s);
  std::string r;
  r.resize((u.size() + 1) * 2);
  for (size_t i = 0; i < u.size(); ++i) {
    r[2 * i] = static_cast<char>(u[i] & 0xFF);
    r[2 * i + 1] = static_cast<char>(u[i] >> 8);
  }
  return r;  // the last two bytes stay 0: the terminator
}

void cValue::SetString(const String& text) {
  type_ = cvtString;
  string_ = text;
  integer_ = -1;
  stringBytes_ = false;
}

void cValue::SetExpandString(const String& text) {
  type_ = cvtExpandString;
  string_ = text;
  integer_ = -1;
  stringBytes_ = false;
}

void cValue::SetInteger(int32_t number) {
  type_ = cvtInteger;
  integer_ = number;
  string_.clear();
  stringBytes_ = false;
}

void cValue::SetBinary(const std::string& bytes) {
  type_ = cvtBinary;
  binary_ = bytes;
  stringBytes_ = false;
}

void cValue::KeepStringBytes(const std::string& bytes, bool Exact) {
  // Text that ends at its last code unit, with or without one final NUL,
  // is the whole of the data: the string editor shows and keeps it (a
  // final NUL it lacked is added when it is written). Exact: bytes typed
  // by the user, kept unless they are exactly the text and one NUL.
  bool whole;
  if (Exact) {
    whole = bytes == StringToRegBytes(string_);
  } else {
    whole = bytes.size() % 2 == 0;
    for (size_t i = 0; whole && i + 2 < bytes.size(); i += 2)
      if (bytes[i] == 0 && bytes[i + 1] == 0) whole = false;
  }
  if (whole) return;
  binary_ = bytes;
  stringBytes_ = true;
}

void cValue::SetRaw(uint32_t regType, const std::string& bytes) {
  switch (regType) {
    case RegType::Sz:
      SetString(RegBytesToString(bytes));
      KeepStringBytes(bytes, false);
      return;
    case RegType::ExpandSz:
      SetExpandString(RegBytesToString(bytes));
      KeepStringBytes(bytes, false);
      return;
    case RegType::Dword:
      if (bytes.size() == 4) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
        SetInteger(static_cast<int32_t>(v));
        return;
      }
      break;
    case RegType::Binary:
      SetBinary(bytes);
      return;
    default:
      break;
  }
  type_ = cvtOther;
  otherType_ = regType;
  binary_ = bytes;
  numberBytes_ = false;
  stringBytes_ = false;
}

void cValue::SetEditedBytes(const std::string& bytes) {
  SetRaw(GetRegType(), bytes);
  numberBytes_ = type_ == cvtOther;
  if (type_ == cvtString || type_ == cvtExpandString) {
    stringBytes_ = false;
    KeepStringBytes(bytes, true);
  }
}

bool cValue::IsMisfitNumber() const {
  return type_ == cvtOther && ((otherType_ == RegType::Dword && binary_.size() != 4) ||
                               (otherType_ == RegType::Qword && binary_.size() != 8));
}

uint32_t cValue::GetRegType() const {
  switch (type_) {
    case cvtString: return RegType::Sz;
    case cvtExpandString: return RegType::ExpandSz;
    case cvtInteger: return RegType::Dword;
    case cvtBinary: return RegType::Binary;
    case cvtOther: return otherType_;
    default: throw Exception(String(cValueText::Unrecognised));
  }
}

std::string cValue::GetRawData() const {
  switch (type_) {
    case cvtString:
    case cvtExpandString:
      return stringBytes_ ? binary_ : StringToRegBytes(string_);
    case cvtInteger: {
      const auto v = static_cast<uint32_t>(integer_);
      std::string r(4, '\0');
      for (int i = 0; i < 4; ++i) r[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
      return r;
    }
    case cvtBinary:
    case cvtOther:
      return binary_;
    default:
      throw Exception(String(cValueText::Unrecognised));
  }
}

String cValue::GetDisplayText() const {
  static const wchar_t hex[] = L"0123456789ABCDEF";
  switch (type_) {
    case cvtString:
    case cvtExpandString:
      if (string_.size() > 192) return string_.substr(0, 192) + L"...";
      return string_;
    case cvtInteger:
      return L"0x" + IntToHex(static_cast<unsigned>(integer_), 8) + L"  (" + IntToStr(integer_) + L")";
    case cvtBinary: {
      if (binary_.empty()) return L"(zero-length binary value)";
      String r;
      const size_t n = binary_.size() < 64 ? binary_.size() : 64;
      r.reserve(n * 3 + 3);
      for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(binary_[i]);
        r.push_back(hex[b >> 4]);
        r.push_back(hex[b & 15]);
        r.push_back(L' ');
      }
      if (binary_.size() > 64) r += L"...";
      return r;
    }
    default:
      throw Exception(String(cValueText::Unrecognised));
  }
}
