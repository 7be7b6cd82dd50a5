// The editor's registry changes without its windows: new keys and values,
// key renames and the deletions, with the texts they raise.
#include <utility>
#include <vector>

#include "app/Cvalue.h"
#include "app/RegEdits.h"
#include "app/tests/RegTestKey.h"
#include "testsupport/Watchdog.h"

namespace {

const TRegRoot HKCU = RegRoot::CurrentUser;

class RegEditsT : public RegTest {
 protected:
  void TearDown() override {
    RegistryClearFaults();
    RegTest::TearDown();
  }
  // The node form of a path: a backslash before each component.
  String Node(const String& sub = String()) const { return L"\\" + Path(sub); }
  bool KeyThere(const String& sub) { return RegKeyExists(HKCU, Path(sub)); }

  template <class E, class F>
  String Raised(F&& f) {
    try {
      f();
    } catch (const E& e) {
      return e.Message();
    }
    ADD_FAILURE() << "nothing raised";
    return String();
  }
};

TEST_F(RegEditsT, NewKeyTakesTheFirstFreeName) {
  MakeKey(L"P");
  EXPECT_EQ(RegEdits::NewKey(HKCU, Node(L"P")), L"New Key");
  EXPECT_EQ(RegEdits::NewKey(HKCU, Node(L"P")), L"New Key #2");
  MakeKey(L"P\\new key #3");  // names compare without regard to case
  EXPECT_EQ(RegEdits::NewKey(HKCU, Path(L"P")), L"New Key #4");
  EXPECT_TRUE(KeyThere(L"P\\New Key #4"));

  // Below a key that another program deleted: reported, and the deleted
  // key is not made again.
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::NewKey(HKCU, Node(L"Gone\\Deeper")); }),
            L"Unable to successfully create the registry key.  The key name may have been invalid.\n\nKey: " +
                Node(L"Gone\\Deeper") + L"\\New Key");
  EXPECT_FALSE(KeyThere(L"Gone"));

  RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::NewKey(HKCU, Node(L"P")); }),
            L"Unable to successfully create the registry key.  The key name may have been invalid.\n\nKey: " +
                Node(L"P") + L"\\New Key #5\n" + SysErrorMessage(ERROR_ACCESS_DENIED));
}

TEST_F(RegEditsT, RenameMovesTheWholeKeyOrRefuses) {
  Put(L"A", L"v", REG_BINARY, std::string("\x01\x02", 2));
  Put(L"A\\Sub", L"", REG_SZ, StringToRegBytes(L"deep"));
  Put(L"A\\Sub", L"bare", REG_SZ, std::string(40, 'x'));
  MakeKey(L"Taken");
  RegEdits::RenameKey(HKCU, Node(L"A"), Node(L"B"));
  EXPECT_FALSE(KeyThere(L"A"));
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"B", L"v", t, d));
  EXPECT_EQ(d, std::string("\x01\x02", 2));
  ASSERT_TRUE(Get(L"B\\Sub", L"", t, d));
  EXPECT_EQ(RegBytesToString(d), L"deep");
  ASSERT_TRUE(Get(L"B\\Sub", L"bare", t, d));
  EXPECT_EQ(d, std::string(40, 'x'));

  // A taken name, also one that differs only in letter case, names the old
  // key in the warning and changes nothing.
  EXPECT_EQ(Raised<ERegEditRefused>([&] { RegEdits::RenameKey(HKCU, Node(L"B"), Node(L"Taken")); }),
            L"Key name already exists: B\n\nRename aborted.");
  EXPECT_EQ(Raised<ERegEditRefused>([&] { RegEdits::RenameKey(HKCU, Node(L"B"), Node(L"b")); }),
            L"Key name already exists: B\n\nRename aborted.");
  EXPECT_TRUE(Has(L"B", L"v"));

  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::RenameKey(HKCU, Node(L"Gone"), Node(L"C")); }),
            L"Unable to local old key to rename.  The key may have been renamed or deleted by another process or "
            L"application.\n\nKey: " +
                Node(L"Gone"));
  EXPECT_FALSE(KeyThere(L"C"));

  // A copy that fails midway leaves the source whole and no partial copy.
  RegistryFailNext(L"RegSetValueEx", -1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(RegEdits::RenameKey(HKCU, Node(L"B"), Node(L"C")), ERegistryException);
  RegistryClearFaults();
  EXPECT_TRUE(Has(L"B", L"v"));
  EXPECT_FALSE(KeyThere(L"C"));

  // The same when a subkey's copy fails: the steps reported are the ones
  // done, and the partial copy goes.
  Put(L"D\\One", L"x", REG_SZ, StringToRegBytes(L"1"));
  Put(L"D\\Two", L"y", REG_SZ, StringToRegBytes(L"2"));
  std::vector<std::pair<size_t, size_t>> steps;
  RegistryFailNext(L"RegSetValueEx", -1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(RegEdits::RenameKey(HKCU, Node(L"D"), Node(L"E"), [&](size_t d, size_t t) { steps.push_back({d, t}); }),
               ERegEditFailed);
  RegistryClearFaults();
  EXPECT_TRUE(steps.empty());
  EXPECT_TRUE(Has(L"D\\One", L"x"));
  EXPECT_FALSE(KeyThere(L"E"));
  RegEdits::RenameKey(HKCU, Node(L"D"), Node(L"E"), [&](size_t d, size_t t) { steps.push_back({d, t}); });
  EXPECT_EQ(steps, (std::vector<std::pair<size_t, size_t>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
  EXPECT_TRUE(Has(L"E\\Two", L"y"));
  EXPECT_FALSE(KeyThere(L"D"));
}

TEST_F(RegEditsT, NewValuesOfTheFourKinds) {
  MakeKey(L"V");
  TNewValue s = RegEdits::NewValue(TNewValueKind::String, HKCU, Node(L"V"));
  // The expandable string shares the string's base name and sequence.
  TNewValue e = RegEdits::NewValue(TNewValueKind::ExpandString, HKCU, Node(L"V"));
  TNewValue b = RegEdits::NewValue(TNewValueKind::Binary, HKCU, Node(L"V"));
  TNewValue i = RegEdits::NewValue(TNewValueKind::Integer, HKCU, Path(L"V"));
  EXPECT_EQ(s.Name, L"New String Value");
  EXPECT_EQ(e.Name, L"New String Value #2");
  EXPECT_EQ(b.Name, L"New Binary Value");
  EXPECT_EQ(i.Name, L"New Integer Value");
  struct {
    const TNewValue& Made;
    DWORD Type;
    std::string Data;
  } expect[] = {{s, REG_SZ, std::string(2, '\0')},
                {e, REG_EXPAND_SZ, std::string(2, '\0')},
                {b, REG_BINARY, std::string()},
                {i, REG_DWORD, Dw(0)}};
  for (auto& x : expect) {
    DWORD t;
    std::string d;
    ASSERT_TRUE(Get(L"V", x.Made.Name, t, d)) << x.Made.Name;
    EXPECT_EQ(t, x.Type) << x.Made.Name;
    EXPECT_EQ(d, x.Data) << x.Made.Name;
    // What the window lists is what the registry holds.
    EXPECT_EQ(x.Made.Value.Type, t) << x.Made.Name;
    EXPECT_EQ(std::string(x.Made.Value.Data.begin(), x.Made.Value.Data.end()), d) << x.Made.Name;
  }

  // A key deleted meanwhile is reported and not brought back.
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::NewValue(TNewValueKind::Binary, HKCU, Node(L"Gone")); }),
            L"Unable to successfully create a new binary value.  The key no longer exists: it may have been deleted "
            L"or renamed by another process or application.\n\nKey: " +
                Node(L"Gone"));
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::NewValue(TNewValueKind::ExpandString, HKCU, Node(L"Gone")); })
                .substr(0, 56),
            L"Unable to successfully create a new expandable string va");
  EXPECT_FALSE(KeyThere(L"Gone"));

  // A new value that can't be read back is reported by name, not listed
  // without its type and data.
  RegistryFailNext(L"RegQueryValueEx", -1, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::NewValue(TNewValueKind::Integer, HKCU, Node(L"V")); }),
            L"The new integer value was written but can't be read back: it may have been deleted or changed by "
            L"another process or application.\n\nKey: " +
                Node(L"V") + L"\nValue name: New Integer Value");
}

TEST_F(RegEditsT, DeletingKeys) {
  Put(L"K\\Sub", L"v", REG_SZ, StringToRegBytes(L"x"));
  RegEdits::DeleteKey(HKCU, Node(L"K"));
  EXPECT_FALSE(KeyThere(L"K"));
  const String failed =
      L"Unable to successfully delete the registry key.  The key may have been deleted or renamed.\n\nKey: ";
  // From the tree a key that is already gone is a failure; through a find
  // result it is not (another result may have named the same key).
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::DeleteKey(HKCU, Node(L"K")); }), failed + Node(L"K"));
  EXPECT_NO_THROW(RegEdits::DeleteFoundKey(HKCU, Node(L"K") + L"\\"));

  for (const wchar_t* root : {L"", L"\\"}) {
    EXPECT_EQ(Raised<ERegEditRefused>([&] { RegEdits::DeleteKey(HKCU, root); }), L"A root key can't be deleted.");
    EXPECT_EQ(Raised<ERegEditRefused>([&] { RegEdits::DeleteFoundKey(HKCU, root); }),
              L"A root key can't be deleted.");
  }

  // A key that refuses is not said to be gone.
  MakeKey(L"Kept");
  RegistryFailNext(L"RegDeleteKey", -1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::DeleteFoundKey(HKCU, Node(L"Kept") + L"\\"); }),
            L"Unable to successfully delete the registry key.\n\nKey: " + Node(L"Kept") + L"\\\n" +
                SysErrorMessage(ERROR_ACCESS_DENIED));
  RegistryClearFaults();
  EXPECT_TRUE(KeyThere(L"Kept"));
}

// A branch deleted with progress goes one subkey at a time; a failure
// partway says how much of it went.
TEST_F(RegEditsT, DeletingAKeyWithProgressReportsEachSubkeyAndWhatAFailureLeft) {
  for (const wchar_t* sub : {L"B\\1\\deep", L"B\\2", L"B\\3", L"B\\4"}) MakeKey(sub);
  Put(L"B", L"v", REG_SZ, StringToRegBytes(L"x"));
  std::vector<std::pair<size_t, size_t>> seen;
  RegEdits::DeleteKey(HKCU, Node(L"B"), [&](size_t Done, size_t Total) { seen.emplace_back(Done, Total); });
  EXPECT_EQ(seen, (std::vector<std::pair<size_t, size_t>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
  EXPECT_FALSE(KeyThere(L"B"));

  for (const wchar_t* sub : {L"C\\1", L"C\\2", L"C\\3", L"C\\4"}) MakeKey(sub);
  auto failFromThird = [&](size_t Done, size_t) {
    if (Done == 2) RegistryFailNext(L"RegDeleteKey", -1, ERROR_ACCESS_DENIED);
  };
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::DeleteKey(HKCU, Node(L"C"), failFromThird); }),
            L"Unable to successfully delete the registry key.\n\nKey: " + Node(L"C") + L"\n" +
                SysErrorMessage(ERROR_ACCESS_DENIED) + L"\n\n2 of its 4 subkeys were deleted before the failure.");
  RegistryClearFaults();
  EXPECT_TRUE(KeyThere(L"C\\3"));
  EXPECT_TRUE(KeyThere(L"C\\4"));
}

// A link key deleted from the tree (with progress) goes as itself: the key
// it links to keeps its subkeys and values.
TEST_F(RegEditsT, DeletingALinkKeyLeavesTheKeyItLinksTo) {
  Put(L"Target\\Sub", L"s", REG_SZ, StringToRegBytes(L"kept"));
  Put(L"Target", L"v", REG_DWORD, Dw(7));
  testsupport::reg::CreateLink(Path(L"Link"), testsupport::reg::NativePath(Path(L"Target")));
  ASSERT_TRUE(Has(L"Link\\Sub", L"s"));
  RegEdits::DeleteKey(HKCU, Node(L"Link"), [](size_t, size_t) {});
  EXPECT_FALSE(KeyThere(L"Link"));
  EXPECT_TRUE(Has(L"Target\\Sub", L"s"));
  EXPECT_TRUE(Has(L"Target", L"v"));
}

// A rename takes the links below the key along as links: one to a key
// elsewhere and one back to the key itself (a copy of what that one leads
// to would go round for ever) name their keys as before, and the key
// linked to stays as it was. A link renamed itself moves as a link.
TEST_F(RegEditsT, RenamingKeepsLinksAsLinks) {
  namespace reg = testsupport::reg;
  Put(L"Target\\Sub", L"s", REG_SZ, StringToRegBytes(L"kept"));
  Put(L"Br\\Inner", L"v", REG_DWORD, Dw(1));
  const std::wstring out = reg::NativePath(Path(L"Target")), back = reg::NativePath(Path(L"Br"));
  reg::CreateLink(Path(L"Br\\Out"), out);
  reg::CreateLink(Path(L"Br\\Inner\\Back"), back);
  {
    // A guard: a copy that goes round is made to fail.
    testsupport::Watchdog guard(30000, [] { RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_CANCELLED); });
    RegEdits::RenameKey(HKCU, Node(L"Br"), Node(L"Renamed"));
  }
  EXPECT_FALSE(KeyThere(L"Br"));
  EXPECT_TRUE(Has(L"Renamed\\Inner", L"v"));
  EXPECT_EQ(reg::LinkTarget(Path(L"Renamed\\Out")), out);
  EXPECT_EQ(reg::LinkTarget(Path(L"Renamed\\Inner\\Back")), back);

  RegEdits::RenameKey(HKCU, Node(L"Renamed\\Out"), Node(L"Renamed\\Moved"));
  EXPECT_EQ(reg::LinkTarget(Path(L"Renamed\\Moved")), out);
  EXPECT_EQ(reg::SubkeyNames(Path(L"Renamed")), (std::vector<std::wstring>{L"Inner", L"Moved"}));
  EXPECT_EQ(reg::SubkeyNames(Path(L"Target")), std::vector<std::wstring>{L"Sub"});
  EXPECT_EQ(reg::ValueNames(Path(L"Target\\Sub")), std::vector<std::wstring>{L"s"});
}

TEST_F(RegEditsT, DeletingFoundValues) {
  Put(L"F", L"a", REG_SZ, StringToRegBytes(L"1"));
  Put(L"F", L"b", REG_SZ, StringToRegBytes(L"2"));
  const String key = Node(L"F") + L"\\";
  RegEdits::DeleteFoundValue(HKCU, key, L"a");
  EXPECT_FALSE(Has(L"F", L"a"));
  EXPECT_NO_THROW(RegEdits::DeleteFoundValue(HKCU, key, L"a"));  // gone already: nothing to do

  // A refusal, deleting or opening the key (one the user may read but not
  // change), is told with its reason; the value stays, the key is not gone.
  const String denied = L"Unable to successfully delete the registry value.\n\nKey: " + key + L"\nValue: b\n" +
                        SysErrorMessage(ERROR_ACCESS_DENIED);
  RegistryFailNext(L"RegDeleteValue", -1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::DeleteFoundValue(HKCU, key, L"b"); }), denied);
  RegistryClearFaults();
  RegistryFailNext(L"RegOpenKeyEx", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Raised<ERegEditFailed>([&] { RegEdits::DeleteFoundValue(HKCU, key, L"b"); }), denied);
  EXPECT_TRUE(Has(L"F", L"b"));

  RegDeleteBranch(HKCU, Path(L"F"));
  EXPECT_EQ(Raised<ERegEditKeyGone>([&] { RegEdits::DeleteFoundValue(HKCU, key, L"b"); }),
            L"Unable to find key for the value to delete.  The key value may have been deleted or renamed by another "
            L"process or application.\n\nKey: " +
                key);
}

// A key's identity ends for every root: one the editor has no name for is
// named by its number (the walk up to it never ended), and the name of a
// root itself is asked through the registry layer, like every other
// registry call (a refused listing falls back to the root's own name).
TEST_F(RegEditsT, KeyIdentityEndsForEveryRootAndListsThroughTheRegistryLayer) {
  MakeKey(L"Id");
  EXPECT_EQ(RegKeyIdentity(HKCU, Path(L"Id\\gone\\Deeper")), RegKeyIdentity(HKCU, Path(L"Id")) + L"\\GONE\\DEEPER");
  EXPECT_EQ(RegKeyIdentity(TRegRoot(0x80000099), L"\\a\\b"), L"0X80000099\\A\\B");
  EXPECT_EQ(RegKeyIdentity(TRegRoot(0x80000099), L""), L"0X80000099");

  const String root = RegKeyIdentity(HKCU, L"");
  EXPECT_EQ(RegKeyIdentity(HKCU, Path(L"Id")).rfind(root + L"\\", 0), 0u);
  EXPECT_NE(root, L"HKEY_CURRENT_USER");  // the system's own name
  RegistryFailNext(L"RegEnumKeyEx", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegKeyIdentity(HKCU, L""), L"HKEY_CURRENT_USER");
}

}  // namespace
