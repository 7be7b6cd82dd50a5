#include <gtest/gtest.h>

#include <climits>

#include "app/Cvalue.h"

TEST(ValueText, Strings) {
  cValue v;
  v.SetString(String(192, L'x'));
  EXPECT_EQ(v.GetDisplayText(), String(192, L'x'));
  v.SetExpandString(String(193, L'y'));
  EXPECT_EQ(v.GetDisplayText(), String(192, L'y') + L"...");
  EXPECT_EQ(v.GetType(), cValue::cvtExpandString);
  EXPECT_EQ(v.GetInteger(), -1);
}

TEST(ValueText, Integers) {
  cValue v;
  v.SetInteger(255);
  EXPECT_EQ(v.GetDisplayText(), L"0x000000FF  (255)");
  v.SetInteger(0);
  EXPECT_EQ(v.GetDisplayText(), L"0x00000000  (0)");
  v.SetInteger(-1);
  EXPECT_EQ(v.GetDisplayText(), L"0xFFFFFFFF  (-1)");
  v.SetInteger(INT_MIN);
  EXPECT_EQ(v.GetDisplayText(), L"0x80000000  (-2147483648)");
  EXPECT_EQ(v.GetString(), L"");
}

TEST(ValueText, Binary) {
  cValue v;
  v.SetBinary(std::string());
  EXPECT_EQ(v.GetDisplayText(), L"(zero-length binary value)");
  v.SetBinary(std::string("\x01\x0A\xFF", 3));
  EXPECT_EQ(v.GetDisplayText(), L"01 0A FF ");
  v.SetBinary(std::string(64, '\x10'));
  String t = v.GetDisplayText();
  EXPECT_EQ(t.size(), 64u * 3);
  EXPECT_EQ(t.substr(t.size() - 3), L"10 ");
  v.SetBinary(std::string(65, '\x10'));
  t = v.GetDisplayText();
  EXPECT_EQ(t.size(), 64u * 3 + 3);
  EXPECT_EQ(t.substr(t.size() - 4), L" ...");
}

TEST(ValueText, UnsetTypeRaises) {
  cValue v;
  try {
    v.GetDisplayText();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Encountered an unrecognised value type.");
  }
  EXPECT_THROW(v.GetRawData(), Exception);
}

TEST(ValueText, RawTypesMapOrStayUnsupported) {
  cValue v;
  v.SetRaw(RegType::Sz, StringToRegBytes(L"hello"));
  EXPECT_EQ(v.GetType(), cValue::cvtString);
  EXPECT_EQ(v.GetString(), L"hello");
  v.SetRaw(RegType::Dword, std::string("\xFF\x00\x00\x00", 4));
  EXPECT_EQ(v.GetType(), cValue::cvtInteger);
  EXPECT_EQ(v.GetInteger(), 255);
  EXPECT_EQ(v.GetRawData(), std::string("\xFF\x00\x00\x00", 4));

  // Types the editor doesn't edit keep their type and bytes; they have no
  // display text.
  const std::string multi = StringToRegBytes(L"a") + StringToRegBytes(L"") ;
  v.SetRaw(RegType::MultiSz, multi);
  EXPECT_EQ(v.GetType(), cValue::cvtOther);
  EXPECT_FALSE(v.IsEditable());
  EXPECT_EQ(v.GetRegType(), RegType::MultiSz);
  EXPECT_EQ(v.GetRawData(), multi);
  EXPECT_THROW(v.GetDisplayText(), Exception);

  v.SetRaw(RegType::Dword, std::string("\x01\x02", 2));  // a DWORD of the wrong size
  EXPECT_EQ(v.GetType(), cValue::cvtOther);
  v.SetRaw(RegType::Qword, std::string(8, '\0'));
  EXPECT_EQ(v.GetRegType(), RegType::Qword);
  v.SetRaw(0x1234, std::string());
  EXPECT_EQ(v.GetRegType(), 0x1234u);
  EXPECT_THROW(v.GetDisplayText(), Exception);
}

TEST(ValueText, RegistryStringBytes) {
  EXPECT_EQ(StringToRegBytes(L"Ab"), std::string("A\0b\0\0\0", 6));
  EXPECT_EQ(RegBytesToString(std::string("A\0b\0\0\0c\0", 8)), L"Ab");
  EXPECT_EQ(RegBytesToString(std::string("A\0b", 3)), L"A");  // a half character is dropped
  EXPECT_EQ(RegTypeName(7), L"REG_MULTI_SZ");
}
