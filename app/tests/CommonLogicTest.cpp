#include <filesystem>
#include <stdexcept>

#include "app/CommonLogic.h"
#include "classlib/Registry.h"
#include "app/tests/RegTestKey.h"

class CommonLogicT : public RegTest {
 protected:
  void SetUp() override {
    RegTest::SetUp();
    logic = std::make_unique<TCommonLogic>();
    logic->rsOptions.BaseKey = Path(L"Settings");
    logic->ReadAllOptions();
    logic->OnStatusText = [this](const String& s) { status.push_back(s); };
    logic->OnShowMessage = [this](const String& s) { messages.push_back(s); };
    logic->OnShowErrorText = [this](const String& s) { errors.push_back(s); };
    logic->OnShowException = [this](const Exception& e, const String& t) {
      errors.push_back(TCommonLogic::ExceptionText(e, t));
    };
    logic->OnSearchStarted = [this] { ++started; };
    logic->OnSearchFinished = [this] { ++ended; };
    logic->OnAddFindResult = [this](TSearchHit* h) {
      hits.push_back(*h);
      delete h;
    };
    logic->OnGetSelectedKey = [this](TRegRoot& r, String& p) {
      if (!selected) return false;
      r = RegRoot::CurrentUser;
      p = L"\\" + Path(selectedSub);
      return true;
    };
    dir = std::filesystem::temp_directory_path() / "zembrio_app_logic";
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    logic.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    RegTest::TearDown();
  }
  void WaitSearch() {
    while (logic->IsSearching()) {
      if (!CheckSynchronize()) Sleep(1);
    }
  }
  String File(const wchar_t* n) { return (dir / n).wstring(); }

  std::unique_ptr<TCommonLogic> logic;
  std::vector<String> status, messages, errors;
  std::vector<TSearchHit> hits;
  int started = 0, ended = 0;
  bool selected = false;
  String selectedSub;
  std::filesystem::path dir;
};

TEST_F(CommonLogicT, RootNamesFollowTheOption) {
  EXPECT_EQ(logic->GetRootKeyName(RegRoot::LocalMachine, rnmByOption), L"HKEY_LOCAL_MACHINE");
  logic->SetOption(L"AbbrBaseKeyNames", true);
  EXPECT_EQ(logic->GetRootKeyName(RegRoot::LocalMachine, rnmByOption), L"Local Machine");
  EXPECT_EQ(logic->GetRootKeyName(RegRoot::LocalMachine, rnmFull), L"HKEY_LOCAL_MACHINE");
  EXPECT_THROW(logic->GetOption(L"Nope"), EListError);
}

TEST_F(CommonLogicT, FreeNamesInTheRegistry) {
  TRegistry reg(KEY_READ);
  EXPECT_EQ(TCommonLogic::NewKeyName(reg, Path()), L"New Key");
  MakeKey(L"New Key");
  MakeKey(L"new key #2");
  EXPECT_EQ(TCommonLogic::NewKeyName(reg, L"\\" + Path()), L"New Key #3");
  Put(L"", L"New String Value", REG_SZ, StringToRegBytes(L""));
  ASSERT_TRUE(reg.OpenKeyReadOnly(L"\\" + Path()));
  EXPECT_EQ(TCommonLogic::NewValueName(reg, L"String"), L"New String Value #2");
  EXPECT_EQ(TCommonLogic::NewValueName(reg, L"Integer"), L"New Integer Value");
}

TEST_F(CommonLogicT, SearchReportsStartHitsAndEnd) {
  MakeKey(L"S\\needle");
  MakeKey(L"Other\\needle");
  selected = true;
  selectedSub = L"S";
  TSearchInput in;
  in.Text = L"NEEDLE";
  in.SearchType = stExact;
  in.Subtree = true;
  in.KeyNames = true;
  logic->StartSearch(false, in);
  EXPECT_TRUE(logic->IsSearching());
  WaitSearch();
  EXPECT_EQ(started, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(status, (std::vector<String>{L"Search started.", L"Search finished."}));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].Path, L"\\" + Path(L"S\\needle") + L"\\");
  EXPECT_EQ(logic->LastSearch().StartPath, L"\\" + Path(L"S") + L"\\");
  EXPECT_FALSE(logic->LastSearch().ShowProgress);
  // Repeat uses the scope of the search it repeats, whatever is selected now.
  selectedSub = L"Other";
  logic->StartSearch(true, TSearchInput());
  WaitSearch();
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[1].Path, hits[0].Path);
  // Keys that could not be read are counted at the end.
  RegistryFailNext(L"RegEnumKeyEx", -1, ERROR_ACCESS_DENIED);
  logic->StartSearch(true, TSearchInput());
  WaitSearch();
  RegistryClearFaults();
  EXPECT_EQ(status.back(), L"Search finished; 1 key could not be read.");
  EXPECT_EQ(hits.size(), 2u);
  // Nothing selected: the subtree scope becomes the whole registry.
  selected = false;
  in.Text = L"no such key name anywhere 8d1f";
  logic->StartSearch(false, in);
  EXPECT_FALSE(logic->LastSearch().Subtree);
  // A second start while one runs ends the first one properly first, even
  // when it was stopped before its run began.
  ended = 0;
  logic->StartSearch(false, in);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(logic->IsSearching());
  logic->StopSearchAndWait();
  EXPECT_EQ(ended, 2);
  EXPECT_FALSE(logic->IsSearching());
}

TEST_F(CommonLogicT, StopWritesAbortedThenFinished) {
  status.clear();
  logic->StopSearch();  // nothing running: nothing happens
  EXPECT_TRUE(status.empty());
  for (int i = 0; i < 30; ++i) MakeKey(L"S\\k" + IntToStr(i));
  selected = true;
  selectedSub = L"S";
  TSearchInput in;
  in.Text = L"k";
  in.SearchType = stSubstring;
  in.Subtree = true;
  in.KeyNames = true;
  logic->OnAddFindResult = [this](TSearchHit* h) {
    hits.push_back(*h);
    delete h;
    logic->StopSearch();
  };
  logic->StartSearch(false, in);
  WaitSearch();
  EXPECT_EQ(status, (std::vector<String>{L"Search started.", L"Search aborted.", L"Search finished."}));
  EXPECT_EQ(hits.size(), 1u);
  status.clear();
  logic->StopSearch();  // after the end: nothing
  EXPECT_TRUE(status.empty());
}

TEST_F(CommonLogicT, BadExpressionShowsTheEngineMessageAndFinishes) {
  selected = true;
  TSearchInput in;
  in.Text = L"[unclosed";
  in.SearchType = stRegex;
  in.Subtree = true;
  in.KeyNames = true;
  logic->StartSearch(false, in);
  WaitSearch();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].substr(0, wcslen(AppText::RegexErrorIntro)), AppText::RegexErrorIntro);
  EXPECT_GT(messages[0].size(), wcslen(AppText::RegexErrorIntro));
  EXPECT_EQ(status.back(), L"Search finished.");
  EXPECT_EQ(ended, 1);
}

TEST_F(CommonLogicT, SearchThatFailsToStartStillFinishes) {
  logic->OnGetSelectedKey = [](TRegRoot&, String&) -> bool { throw Exception(String(L"no selection")); };
  TSearchInput in;
  in.Subtree = true;
  logic->StartSearch(false, in);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].substr(0, wcslen(AppText::SearchStartFailed)), AppText::SearchStartFailed);
  EXPECT_NE(errors[0].find(L"\n\nMessage: no selection\nAddress: "), String::npos);
  EXPECT_EQ(errors[0].size() - errors[0].find(L"Address: ") - 9, 16u);  // a full 64-bit address
  EXPECT_EQ(started, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(status, (std::vector<String>{L"Search finished."}));
  EXPECT_FALSE(logic->IsSearching());
}

namespace {
[[gnu::noinline]] void RaiseHere() { throw ERegistryException(String(L"one")); }
[[gnu::noinline]] void RaiseThere() { throw EValueExists(String(L"two")); }
uintptr_t AddressIn(const String& Text) {
  const size_t at = Text.find(L"\nAddress: ");
  return at == String::npos ? 0 : uintptr_t(std::wcstoull(Text.c_str() + at + 10, nullptr, 16));
}
}  // namespace

// The Address line tells where the exception was raised: two raising
// sites give two addresses, both inside the program's own code.
TEST(CommonLogicErrors, AddressLineIsWhereTheExceptionWasRaised) {
  std::vector<String> texts;
  for (auto raise : {&RaiseHere, &RaiseThere}) {
    try {
      raise();
    } catch (const Exception& e) {
      texts.push_back(TCommonLogic::ExceptionText(e, L"t"));
    }
  }
  ASSERT_EQ(texts.size(), 2u);
  const auto base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const uintptr_t end = base + nt->OptionalHeader.SizeOfImage;
  const uintptr_t a = AddressIn(texts[0]), b = AddressIn(texts[1]);
  EXPECT_NE(a, b);
  for (uintptr_t x : {a, b}) EXPECT_TRUE(x > base && x < end) << std::hex << x;
  EXPECT_EQ(texts[0].size() - texts[0].find(L"Address: ") - 9, 16u);
}

// Dialog texts: one within the bounds comes back as it was; a line beyond a
// thousand characters keeps its beginning and end around "…", never
// splitting a surrogate pair; beyond the line bound the rest is counted in
// a last line, and with no bound (a box that scrolls) every line stays.
TEST(CommonLogicDialogText, ShortensLongLinesAndBoundsTheLineCount) {
  auto pairsWhole = [](const String& T) {
    for (size_t i = 0; i < T.size(); ++i) {
      const bool high = T[i] >= 0xD800 && T[i] <= 0xDBFF, low = T[i] >= 0xDC00 && T[i] <= 0xDFFF;
      if (low) return false;
      if (high && (i + 1 == T.size() || T[i + 1] < 0xDC00 || T[i + 1] > 0xDFFF)) return false;
      if (high) ++i;
    }
    return true;
  };
  String within = String(1000, L'a');
  for (int i = 2; i <= 60; ++i) within += (i % 2 ? L"\r\n" : L"\n") + (L"line " + IntToStr(i));
  EXPECT_TRUE(DialogText(within, -1) == within);

  // A pair across either cut point (600 characters kept before "…", 399
  // after it) is kept whole or left out whole.
  String plain;
  for (int i = 0; i < 1500; ++i) plain += wchar_t(L'A' + i % 26);
  for (size_t at : {size_t(599), plain.size() - 400}) {
    String line = plain;
    line.replace(at, 2, L"\U0001F600");
    const String shown = DialogText(line + L"\nEnd", -1);
    const std::vector<String> parts = SplitDialogLines(shown);
    ASSERT_EQ(parts.size(), 2u);
    const size_t dots = parts[0].find(L"\u2026");
    ASSERT_NE(dots, String::npos);
    EXPECT_TRUE(parts[0].substr(0, dots) == line.substr(0, dots));
    const String tail = parts[0].substr(dots + 1);
    EXPECT_TRUE(tail == line.substr(line.size() - tail.size()));
    EXPECT_LE(parts[0].size(), 1000u) << at;
    EXPECT_GE(parts[0].size(), 999u) << at;
    EXPECT_TRUE(pairsWhole(shown)) << at;
    EXPECT_EQ(parts[1], L"End");
  }

  String many;
  for (int i = 1; i <= 100; ++i) many += (i > 1 ? L"\n" : L"") + IntToStr(i);
  std::vector<String> lines = SplitDialogLines(DialogText(many, -1));
  ASSERT_EQ(lines.size(), DialogTextLines);
  EXPECT_EQ(lines[58], L"59");
  EXPECT_EQ(lines[59], L"\u2026 (41 more lines)");
  EXPECT_TRUE(DialogText(many, -1, 0) == many);
  lines = SplitDialogLines(DialogText(many + L"\n" + String(3000, L'x'), -1, 0));
  ASSERT_EQ(lines.size(), 101u);
  EXPECT_EQ(lines[99], L"100");
  EXPECT_EQ(lines[100].size(), 1000u);
}

TEST_F(CommonLogicT, SaveEditedValue) {
  Put(L"", L"s", REG_SZ, StringToRegBytes(L"old"));
  Put(L"", L"n", REG_DWORD, Dw(1));
  Put(L"", L"m", REG_MULTI_SZ, StringToRegBytes(L"a") + std::string(2, '\0'));
  int result = 1;
  int shown = 0;
  logic->OnEditValue = [&](unsigned char type) {
    ++shown;
    EXPECT_EQ(type, logic->EditValueType);
    logic->EditString = L"new";
    logic->EditInteger = 77;
    return result;
  };
  cValue s;
  s.SetName(L"s");
  ASSERT_TRUE(s.Reload(RegRoot::CurrentUser, Path()));
  EXPECT_TRUE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), s));
  EXPECT_EQ(status.back(), L"String value saved.");
  EXPECT_EQ(logic->EditValueName, L"s");
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"s", t, d));
  EXPECT_EQ(RegBytesToString(d), L"new");

  cValue n;
  n.SetName(L"n");
  ASSERT_TRUE(n.Reload(RegRoot::CurrentUser, Path()));
  result = 2;  // cancelled: nothing written, no status (the one before cleared)
  status.clear();
  EXPECT_FALSE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), n));
  EXPECT_EQ(status, std::vector<String>{String()});
  ASSERT_TRUE(Get(L"", L"n", t, d));
  EXPECT_EQ(d, Dw(1));
  result = 1;
  EXPECT_TRUE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), n));
  EXPECT_EQ(status.back(), L"Integer value saved.");
  ASSERT_TRUE(Get(L"", L"n", t, d));
  EXPECT_EQ(d, Dw(77));

  // The default value of a key that has none is listed as "(value not set)"
  // (a string): the editor starts empty, and only what is typed is stored.
  MakeKey(L"nodefault");
  cValue dflt;
  dflt.SetDefaultFlag(true);
  dflt.SetString(L"(value not set)");
  String seen = L"?";
  logic->OnEditValue = [&](unsigned char) {
    seen = logic->EditString;
    return 1;
  };
  EXPECT_TRUE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(L"nodefault"), dflt));
  EXPECT_EQ(seen, L"");
  ASSERT_TRUE(Get(L"nodefault", L"", t, d));
  EXPECT_EQ(RegBytesToString(d), L"");
  // Once set, its data is edited as it is, even that very text.
  Put(L"nodefault", L"", REG_SZ, StringToRegBytes(L"(value not set)"));
  dflt.SetString(L"(value not set)");
  EXPECT_TRUE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(L"nodefault"), dflt));
  EXPECT_EQ(seen, L"(value not set)");
  logic->OnEditValue = [&](unsigned char) {
    logic->EditString = L"new";
    return 1;
  };

  // A type the editor doesn't handle is never opened in an editor.
  cValue m;
  m.SetName(L"m");
  ASSERT_TRUE(m.Reload(RegRoot::CurrentUser, Path()));
  shown = 0;
  messages.clear();
  EXPECT_FALSE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), m));
  EXPECT_EQ(shown, 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], L"Values of the type REG_MULTI_SZ can't be edited in Zembrio.  The value \"m\" is left as it is.");
  ASSERT_TRUE(Get(L"", L"m", t, d));
  EXPECT_EQ(t, DWORD(REG_MULTI_SZ));
  // The default value has no name to quote.
  Put(L"", L"", REG_NONE, std::string());
  cValue none;
  none.SetDefaultFlag(true);
  ASSERT_TRUE(none.Reload(RegRoot::CurrentUser, Path()));
  EXPECT_FALSE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), none));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], L"Values of the type REG_NONE can't be edited in Zembrio.  The key's default value is left as it is.");

  // A key deleted meanwhile: reported, not re-created.
  MakeKey(L"gone");
  Put(L"gone", L"v", REG_SZ, StringToRegBytes(L"x"));
  cValue g;
  g.SetName(L"v");
  ASSERT_TRUE(g.Reload(RegRoot::CurrentUser, Path(L"gone")));
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"gone"));
  status.clear();
  EXPECT_FALSE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(L"gone"), g));
  EXPECT_EQ(status.back(), AppText::ValueNotSaved);  // no earlier "saved" stands
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].substr(0, wcslen(AppText::SaveFailed)), AppText::SaveFailed);
  EXPECT_NE(errors[0].find(Path(L"gone") + L"\nValue name: v\n\nMessage: "), String::npos);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"gone")));
}

// The list keeps what the registry held when the key was read; another
// program may have changed the value since. The editor starts from what the
// registry holds now, so that OK on unchanged data writes nothing stale.
TEST_F(CommonLogicT, EditingStartsFromWhatTheRegistryHoldsNow) {
  Put(L"", L"n", REG_DWORD, Dw(1));
  Put(L"", L"s", REG_SZ, StringToRegBytes(L"one"));
  cValue n, s;
  n.SetName(L"n");
  s.SetName(L"s");
  ASSERT_TRUE(n.Reload(RegRoot::CurrentUser, Path()));
  ASSERT_TRUE(s.Reload(RegRoot::CurrentUser, Path()));
  Put(L"", L"n", REG_DWORD, Dw(2));
  const std::string multi = StringToRegBytes(L"a") + StringToRegBytes(L"b") + std::string(2, '\0');
  Put(L"", L"s", REG_MULTI_SZ, multi);
  int shown = 0;
  int32_t seen = 0;
  logic->OnEditValue = [&](unsigned char) {
    ++shown;
    seen = logic->EditInteger;
    return 1;  // OK on the data as shown
  };
  EXPECT_TRUE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), n));
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(n.GetInteger(), 2);
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"", L"n", t, d));
  EXPECT_EQ(d, Dw(2));
  // Now of a type the editor doesn't handle: no editor, nothing written.
  shown = 0;
  EXPECT_FALSE(logic->SaveEditedValue(RegRoot::CurrentUser, Path(), s));
  EXPECT_EQ(shown, 0);
  ASSERT_TRUE(Get(L"", L"s", t, d));
  EXPECT_EQ(t, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(d, multi);
}

TEST_F(CommonLogicT, ExportAndImportReportTheirOutcome) {
  Put(L"E", L"v", REG_SZ, StringToRegBytes(L"1"));
  EXPECT_TRUE(logic->ExportKey(RegRoot::CurrentUser, L"\\" + Path(L"E"), File(L"e.reg")));
  EXPECT_EQ(status.back(), L"Registry file exported.");
  status.clear();
  // A key that isn't there: said so, and no file is claimed (nor written).
  EXPECT_FALSE(logic->ExportKey(RegRoot::CurrentUser, Path(L"missing"), File(L"m.reg")));
  EXPECT_EQ(status, (std::vector<String>{L"Exporting registry file...", L"Export aborted: the key can't be read."}));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], L"The key to export can't be read: nothing was exported, and no file was written.\n\nKey: "
                       L"HKEY_CURRENT_USER\\" + Path(L"missing") +
                       L"\nIt may have been deleted or renamed by another process or application.");
  EXPECT_FALSE(FileExists(File(L"m.reg")));

  RegDeleteBranch(RegRoot::CurrentUser, Path(L"E"));
  int refreshed = 0;
  EXPECT_TRUE(logic->ImportFile(File(L"e.reg"), [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(status.back(), L"Registry file imported.");
  EXPECT_TRUE(Has(L"E", L"v"));

  errors.clear();
  EXPECT_FALSE(logic->ImportFile(File(L"none.reg"), [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].substr(0, wcslen(AppText::ImportFailed)), AppText::ImportFailed);

  WriteFileBytes(File(L"bad.reg"), WideToAnsi(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\" + Path(L"E") +
                                              L"]\r\n\"w\"=\"1\"\r\ngarbage\r\n"));
  EXPECT_FALSE(logic->ImportFile(File(L"bad.reg"), [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 2);
  EXPECT_EQ(status.back(), L"Registry file imported with 1 line skipped (first at line 4).");
  EXPECT_TRUE(Has(L"E", L"w"));
}

// A failure that is no class-library exception (a thread that can't start,
// memory that runs out) is reported with the operation's own texts too.
TEST_F(CommonLogicT, AFailureOutsideTheClassLibraryIsReportedToo) {
  Put(L"X", L"v", REG_SZ, StringToRegBytes(L"1"));
  EXPECT_TRUE(logic->ExportKey(RegRoot::CurrentUser, L"\\" + Path(L"X"), File(L"ok.reg")));
  logic->iorPort.OnProgressChange = [](TObject*, uint32_t, uint32_t, uint32_t, uint32_t) {
    throw std::runtime_error("no more threads");
  };
  EXPECT_FALSE(logic->ExportKey(RegRoot::CurrentUser, L"\\" + Path(L"X"), File(L"x.reg")));
  EXPECT_EQ(status.back(), L"Export aborted.");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].substr(0, wcslen(AppText::ExportFailed)), AppText::ExportFailed);
  EXPECT_NE(errors[0].find(L"no more threads"), String::npos);
  EXPECT_FALSE(logic->ImportFile(File(L"ok.reg")));
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1].substr(0, wcslen(AppText::ImportFailed)), AppText::ImportFailed);
  EXPECT_NE(errors[1].find(L"no more threads"), String::npos);
  EXPECT_FALSE(logic->IsWorking());
}

TEST_F(CommonLogicT, AFileThatIsNotARegistryFileIsRefused) {
  std::string noise;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((i * 7919) % 251 + 1));
  WriteFileBytes(File(L"x.reg"), noise + "\r\n[HKEY_CURRENT_USER\\" + WideToAnsi(Path(L"N")) + "]\r\n\"v\"=\"1\"\r\n");
  int refreshed = 0;
  EXPECT_FALSE(logic->ImportFile(File(L"x.reg"), [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 0);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"N")));
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind(File(L"x.reg") + L"\n\nThis is not a registry file", 0), 0u);
  EXPECT_EQ(status.back(), AppText::NotRegistryFile);
  for (const String& s : status) EXPECT_EQ(s.find(L"imported"), String::npos) << WideToAnsi(s);

  // Blank lines before the header are no reason to refuse.
  WriteFileBytes(File(L"ok.reg"), "\r\n  \r\nREGEDIT4\r\n[HKEY_CURRENT_USER\\" + WideToAnsi(Path(L"N")) + "]\r\n");
  EXPECT_TRUE(logic->ImportFile(File(L"ok.reg")));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, Path(L"N")));
}

// Export and import run off the calling thread: stopped on their first
// progress report, an export writes no file and an import tells how far it
// got and what it wrote.
TEST_F(CommonLogicT, ExportAndImportCanBeStopped) {
  for (int k = 0; k < 20; ++k) Put(L"S\\K" + IntToStr(k), L"v", REG_SZ, StringToRegBytes(L"x"));
  const DWORD window = GetCurrentThreadId();
  std::atomic<int> events{0};
  std::atomic<bool> offThread{true};
  logic->iorPort.OnProgressChange = [&](TObject*, uint32_t, uint32_t Level, uint32_t, uint32_t) {
    if (GetCurrentThreadId() == window) offThread = false;
    if (Level && events++ == 0) logic->StopLongWork();
  };
  std::vector<bool> states;
  logic->OnLongWorkState = [&](bool Running) { states.push_back(Running); };
  EXPECT_FALSE(logic->ExportKey(RegRoot::CurrentUser, Path(L"S"), File(L"s.reg")));
  EXPECT_TRUE(offThread);
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
  EXPECT_EQ(status.back(), AppText::ExportStopped);
  EXPECT_FALSE(std::filesystem::exists(dir / L"s.reg"));
  EXPECT_TRUE(errors.empty());
  EXPECT_FALSE(logic->iorPort.StopRequested);  // cleared for the next run

  // Not stopped, the same export writes the file.
  logic->iorPort.OnProgressChange = nullptr;
  ASSERT_TRUE(logic->ExportKey(RegRoot::CurrentUser, Path(L"S"), File(L"s.reg")));

  String text = L"REGEDIT4\r\n[HKEY_CURRENT_USER\\" + Path(L"I") + L"]\r\n";
  for (int i = 0; i < 1000; ++i) text += L"\"v" + IntToStr(i) + L"\"=\"x\"\r\n";
  WriteFileBytes(File(L"big.reg"), WideToAnsi(text));
  events = 0;
  logic->iorPort.OnProgressChange = [&](TObject*, uint32_t, uint32_t Level, uint32_t, uint32_t) {
    if (Level && events++ == 0) logic->StopLongWork();
  };
  int refreshed = 0;
  EXPECT_FALSE(logic->ImportFile(File(L"big.reg"), [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 1);  // part of the file is in the registry
  // A stop ends the writing too: the values read but not yet written
  // (the whole key here, whose section was still being read) stay out.
  EXPECT_EQ(status.back(), L"Import stopped at line 2 of 1002: the lines before it were imported (0 keys, 0 values written).");
  EXPECT_FALSE(Has(L"I", L"v0"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(CommonLogicT, BookmarkFileNameAndFile) {
  const String folder = dir.wstring();
  const String name = logic->GetBookmarkFileName(folder);
  EXPECT_EQ(name, IncludeTrailingPathDelimiter(folder) + L"Bookmarks.ZembrioBM");
  EXPECT_EQ(logic->GetOption(L"BookmarkFile").AsString(), name);
  logic->SetOption(L"BookmarkFile", L"\"" + File(L"q.bm") + L"\"");
  EXPECT_EQ(logic->GetBookmarkFileName(folder), File(L"q.bm"));
  // Without its closing quote the name is not cut short.
  logic->SetOption(L"BookmarkFile", L"\"" + File(L"q.bm"));
  EXPECT_EQ(logic->GetBookmarkFileName(folder), L"\"" + File(L"q.bm"));

  std::vector<TBookmark> out;
  status.clear();
  EXPECT_TRUE(logic->LoadBookmarks(name, out));  // no file yet: no failure
  EXPECT_EQ(status, (std::vector<String>{L"Loading bookmarks..."}));
  EXPECT_TRUE(out.empty());
  std::vector<TBookmark> bm = {{L"one", RegRoot::Users, L"\\A"}, {L"two", RegRoot::ClassesRoot, L""}};
  EXPECT_TRUE(logic->SaveBookmarks(name, bm));
  EXPECT_EQ(status.back(), L"Bookmarks saved.");
  EXPECT_TRUE(logic->LoadBookmarks(name, out));
  EXPECT_EQ(status.back(), L"Bookmarks loaded.");
  EXPECT_EQ(out.size(), 2u);

  WriteFileBytes(name, "a\r\nHKEY_USERS\r\n\\1\r\nb\r\nUsers\r\n\\2\r\nc\r\n");
  out.clear();
  EXPECT_FALSE(logic->LoadBookmarks(name, out));
  EXPECT_EQ(out.size(), 2u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].substr(0, wcslen(AppText::BookmarksLoadFailed)), AppText::BookmarksLoadFailed);
  // A missing folder is said plainly, not as an error, and nothing is made.
  EXPECT_FALSE(logic->SaveBookmarks(File(L"nodir\\x.bm"), bm));
  EXPECT_EQ(errors.size(), 1u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind(L"The bookmarks were not saved: the folder of the bookmark file does not exist.", 0), 0u);
  EXPECT_FALSE(DirectoryExists(File(L"nodir")));
}

TEST(CommonLogicVersion, ReadsTheProgramsOwnVersionResource) {
  EXPECT_EQ(TCommonLogic::GetVersionString(L"FileVersion"), L"7.8.9.10");
  EXPECT_EQ(TCommonLogic::GetVersionString(L"ProductName"), L"Zembrio logic tests");
  EXPECT_EQ(TCommonLogic::GetVersionString(L"NoSuchKey"), L"");
}
