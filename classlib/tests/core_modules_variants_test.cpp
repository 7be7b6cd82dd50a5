// The start-up table and the variant value.
#include <gtest/gtest.h>

#include <string>

#include "classlib/ModuleInit.h"
#include "classlib/Variants.h"

namespace {
std::string g_log;
void InitA() { g_log += "+A"; }
void FiniA() { g_log += "-A"; }
void InitB() { g_log += "+B"; }
void FiniB() { g_log += "-B"; }
void InitC() { g_log += "+C"; }
void FiniC() { g_log += "-C"; }
void InitBad() { throw EInvalidOperation(String(L"no")); }
void FiniThrows() {
  g_log += "-T";
  throw Exception(String(L"fini failed"));
}
}  // namespace

TEST(ModuleTable, RunsInTableOrderAndFinalizesInReverse) {
  g_log.clear();
  const TModuleEntry table[] = {{"t1.A", InitA, FiniA}, {"t1.B", InitB, FiniB}, {"t1.C", InitC, FiniC}};
  InitializeModules(table, 3);
  EXPECT_EQ(g_log, "+A+B+C");
  EXPECT_EQ(ModuleInitCount("t1.B"), 1);
  FinalizeModules();
  EXPECT_EQ(g_log, "+A+B+C-C-B-A");
  EXPECT_EQ(ModuleInitCount("t1.B"), 0);
  EXPECT_EQ(ModuleInitCount("never"), 0);
}

TEST(ModuleTable, CounterKeepsEachModuleToOneRun) {
  g_log.clear();
  // Listed twice, and the table run twice: still one init and one fini.
  const TModuleEntry table[] = {{"t2.A", InitA, FiniA}, {"t2.B", InitB, nullptr}, {"t2.A", InitA, FiniA}};
  InitializeModules(table, 3);
  InitializeModules(table, 1);
  EXPECT_EQ(g_log, "+A+B");
  EXPECT_EQ(ModuleInitCount("t2.A"), 3);
  FinalizeModules();
  EXPECT_EQ(g_log, "+A+B-A");
  EXPECT_EQ(ModuleInitCount("t2.A"), 0);
}

TEST(ModuleTable, FailedInitUndoesThisRunOnly) {
  g_log.clear();
  const TModuleEntry first[] = {{"t3.A", InitA, FiniA}};
  InitializeModules(first, 1);
  const TModuleEntry second[] = {{"t3.B", InitB, FiniB}, {"t3.Bad", InitBad, FiniC}, {"t3.C", InitC, FiniC}};
  EXPECT_THROW(InitializeModules(second, 3), EInvalidOperation);
  EXPECT_EQ(g_log, "+A+B-B");  // C never ran, Bad is not finalised
  EXPECT_EQ(ModuleInitCount("t3.Bad"), 0);
  EXPECT_EQ(ModuleInitCount("t3.A"), 1);
  FinalizeModules();
  EXPECT_EQ(g_log, "+A+B-B-A");
}

TEST(ModuleTable, FailingFinalizationDoesNotStopTheOthers) {
  g_log.clear();
  auto old = ApplicationHandleExceptionHook;
  static int reported = 0;
  ApplicationHandleExceptionHook = [](const Exception&) { ++reported; };
  const TModuleEntry table[] = {{"t4.A", InitA, FiniA}, {"t4.T", nullptr, FiniThrows}, {"t4.C", InitC, FiniC}};
  InitializeModules(table, 3);
  FinalizeModules();
  ApplicationHandleExceptionHook = old;
  EXPECT_EQ(g_log, "+A+C-C-T-A");
  EXPECT_EQ(reported, 1);
}

TEST(Variant, ConversionsBetweenKinds) {
  Variant e;
  EXPECT_TRUE(e.IsEmpty());
  EXPECT_EQ(e.AsInteger(), 0);
  EXPECT_EQ(e.AsString(), L"");
  Variant b(true);
  EXPECT_EQ(b.VarType(), varBoolean);
  EXPECT_EQ(b.AsString(), L"True");
  EXPECT_EQ(Variant(String(L"false")).AsBoolean(), false);
  EXPECT_EQ(Variant(String(L" 42")).AsInteger(), 42);
  EXPECT_EQ(Variant(2.5).AsString(), L"2.5");
  EXPECT_EQ(Variant(int64_t(1) << 40).AsInt64(), int64_t(1) << 40);
  EXPECT_THROW(Variant(int64_t(1) << 40).AsInteger(), EVariantError);
  EXPECT_THROW(Variant(String(L"abc")).AsInteger(), EVariantError);
  EXPECT_THROW(Variant(String(L"abc")).AsBoolean(), EVariantError);
  try {
    Variant(String(L"x")).AsDouble();
  } catch (const EVariantError& e) {
    EXPECT_EQ(e.Message(), L"Invalid variant type conversion");
  }
  Variant d = Variant::FromDate(EncodeDate(2000, 1, 2));
  EXPECT_EQ(d.VarType(), varDate);
  EXPECT_EQ(d.AsString(), DateTimeToStr(EncodeDate(2000, 1, 2)));
  EXPECT_EQ(d.AsDateTime(), EncodeDate(2000, 1, 2));
  EXPECT_EQ(Variant(7), Variant(7));
  EXPECT_NE(Variant(7), Variant(int64_t(7)));  // same number, other type
  EXPECT_NE(Variant(7), Variant(String(L"7")));
  e = Variant(L"text");
  EXPECT_EQ(e.VarType(), varString);
  e.Clear();
  EXPECT_TRUE(e.IsEmpty());
}

TEST(Variant, ArraysHoldValuesWithinTheirBoundsAndCopyDeeply) {
  Variant a = VarArrayOf({Variant(1), Variant(L"two"), Variant(3.5)});
  ASSERT_TRUE(VarIsArray(a));
  EXPECT_EQ(varArray, a.VarType());
  EXPECT_EQ(1, VarArrayDimCount(a));
  EXPECT_EQ(0, VarArrayLowBound(a, 1));
  EXPECT_EQ(2, VarArrayHighBound(a, 1));
  EXPECT_EQ(L"two", a[1].AsString());
  EXPECT_THROW(a[3], EVariantError);
  EXPECT_THROW(a.AsString(), EVariantError);
  EXPECT_FALSE(VarIsArray(Variant(5)));
  EXPECT_THROW(Variant(5)[0], EVariantError);

  // A copy is a value of its own.
  Variant b = a;
  b[0] = Variant(10);
  EXPECT_EQ(1, a[0].AsInteger());
  EXPECT_NE(a, b);
  b[0] = Variant(1);
  EXPECT_EQ(a, b);

  Variant c = VarArrayCreate({5, 7}, varInteger);
  EXPECT_EQ(5, VarArrayLowBound(c, 1));
  EXPECT_EQ(7, VarArrayHighBound(c, 1));
  EXPECT_TRUE(c[5].IsEmpty());
  c[7] = Variant(a);  // arrays nest
  EXPECT_EQ(L"two", c[7][1].AsString());
  EXPECT_THROW(c[4], EVariantError);
  VarArrayRedim(c, 8);
  EXPECT_EQ(8, VarArrayHighBound(c, 1));
  EXPECT_EQ(L"two", c[7][1].AsString());
  EXPECT_THROW(VarArrayCreate({1, 2, 3, 4}), EVariantError);
  EXPECT_THROW(VarArrayLowBound(c, 2), EVariantError);
}
