#include <functional>
#include <memory>

#include "app/Cvalue.h"
#include "app/SearchThread.h"
#include "app/RegAccess.h"
#include "app/tests/RegTestKey.h"
#include "testsupport/Watchdog.h"

class SearchThreadT : public RegTest {
 protected:
  void SetUp() override {
    RegTest::SetUp();
    Put(L"A\\Run", L"x", REG_SZ, StringToRegBytes(L"1"));
    MakeKey(L"A\\RunOnce");
    MakeKey(L"B\\run");
    MakeKey(L"B\\ABC");
    Put(L"A", L"greeting", REG_SZ, StringToRegBytes(L"hello world"));
    Put(L"A", L"path", REG_EXPAND_SZ, StringToRegBytes(L"%windir%\\Hello"));
    Put(L"A", L"num", REG_DWORD, Dw(0x6c6c6568));  // "hell" in its bytes: never string data
    Put(L"A", L"bin", REG_BINARY, "hello world");
    Put(L"A", L"", REG_SZ, StringToRegBytes(L"the default"));
  }

  TSearchInput Input(const String& text, uint8_t type) {
    TSearchInput in;
    in.Text = text;
    in.SearchType = type;
    in.Subtree = true;
    in.RootKey = RegRoot::CurrentUser;
    in.StartPath = L"\\" + Path() + L"\\";
    return in;
  }

  // With GuardMs, a search still running after that long is stopped (a
  // guard against a test that would hang).
  void Run(const TSearchInput& in, const std::function<void(TthrdRegSearch&)>& onHit = {}, int GuardMs = 0) {
    hits.clear();
    batches.clear();
    progress.clear();
    regexErrors.clear();
    failures.clear();
    finished = 0;
    TSearchEvents ev;
    TthrdRegSearch* self = nullptr;
    bool inBatch = false;
    ev.OnResult = [&](const TSearchHit& h) {
      EXPECT_EQ(GetCurrentThreadId(), MainThreadID);
      EXPECT_TRUE(inBatch);
      hits.push_back(h);
      ++batches.back();
      if (onHit) onHit(*self);
    };
    ev.OnResultBatch = [&](bool begin) {
      EXPECT_NE(begin, inBatch);
      inBatch = begin;
      if (begin) batches.push_back(0);
    };
    ev.OnProgress = [&](const String& t) { progress.push_back(t); };
    ev.OnRegexError = [&](const String& m) { regexErrors.push_back(m); };
    ev.OnException = [&](const Exception& e, const String& t) { failures.push_back(t + L"|" + e.Message()); };
    ev.OnFinished = [&] { ++finished; };
    TthrdRegSearch search(in, ev);
    self = &search;
    {
      std::unique_ptr<testsupport::Watchdog> guard;
      if (GuardMs) guard = std::make_unique<testsupport::Watchdog>(GuardMs, [&search] { search.Terminate(); });
      search.WaitFor();
    }
    unread = search.UnreadKeys();
    EXPECT_FALSE(inBatch);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(search.Finished());
    if (!allowFailures) EXPECT_TRUE(failures.empty()) << WideToAnsi(failures.empty() ? String() : failures[0]);
  }

  std::vector<String> Paths(uint8_t kind) {
    std::vector<String> r;
    for (const auto& h : hits)
      if (h.Kind == kind) r.push_back(h.Path + L"|" + h.ValueName);
    std::sort(r.begin(), r.end());
    return r;
  }

  std::vector<TSearchHit> hits;
  std::vector<size_t> batches;  // hits reported in each batch
  std::vector<String> progress, regexErrors, failures;
  bool allowFailures = false;
  int finished = 0;
  int unread = 0;  // keys the search could not read whole
};

// A subtree whose top key another program deleted is reported (through
// the search's failure report), not searched as an empty key.
TEST_F(SearchThreadT, ASubtreeWhoseKeyIsGoneIsReported) {
  auto in = Input(L"run", stSubstring);
  in.KeyNames = true;
  in.StartPath = L"\\" + Path(L"Gone") + L"\\";
  allowFailures = true;
  Run(in);
  EXPECT_TRUE(hits.empty());
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind(L"An exception occurred in the search thread.|The key to search can't be opened: "
                                L"HKEY_CURRENT_USER\\" + Path(L"Gone") + L"\n",
                                0),
            0u)
      << WideToAnsi(failures[0]);
}

TEST_F(SearchThreadT, SubstringOverKeyNames) {
  auto in = Input(L"run", stSubstring);
  in.KeyNames = true;
  Run(in);
  const String b = L"\\" + Path();
  EXPECT_EQ(Paths(hkKeyName), (std::vector<String>{b + L"\\A\\RunOnce\\|", b + L"\\A\\Run\\|", b + L"\\B\\run\\|"}));
  for (const auto& h : hits) EXPECT_EQ(h.RootKey, RegRoot::CurrentUser);
}

TEST_F(SearchThreadT, ExactMatchAndCase) {
  auto in = Input(L"abc", stExact);
  in.KeyNames = true;
  Run(in);
  EXPECT_EQ(hits.size(), 1u);
  in.CaseSensitive = true;
  Run(in);
  EXPECT_EQ(hits.size(), 0u);
}

TEST_F(SearchThreadT, RegularExpressionAnchored) {
  auto in = Input(L"^Run$", stRegex);
  in.KeyNames = true;
  Run(in);
  const String b = L"\\" + Path();
  EXPECT_EQ(Paths(hkKeyName), (std::vector<String>{b + L"\\A\\Run\\|", b + L"\\B\\run\\|"}));
  in.CaseSensitive = true;
  Run(in);
  EXPECT_EQ(Paths(hkKeyName), (std::vector<String>{b + L"\\A\\Run\\|"}));
}

TEST_F(SearchThreadT, StringDataOnlyOfStringTypes) {
  auto in = Input(L"hell", stSubstring);
  in.StringData = true;
  Run(in);
  const String a = L"\\" + Path() + L"\\A\\";
  EXPECT_EQ(Paths(hkStringData), (std::vector<String>{a + L"|greeting", a + L"|path"}));
  for (const auto& h : hits) {
    if (h.ValueName == L"greeting") {
      EXPECT_EQ(h.Data, L"hello world");
    }
  }
  in.StringData = false;
  in.ValueNames = true;
  in.Text = L"";
  in.SearchType = stExact;  // the default value's empty name
  Run(in);
  EXPECT_EQ(Paths(hkValueName), (std::vector<String>{a + L"|"}));
  in.Text = L"num";
  Run(in);
  EXPECT_EQ(Paths(hkValueName), (std::vector<String>{a + L"|num"}));
}

// A name the ANSI code page can't carry is found by an expression that
// leaves out only what the name doesn't hold.
TEST_F(SearchThreadT, RegularExpressionFindsNamesOutsideTheCodePage) {
  Put(L"C", L"\u0416\u0416", REG_SZ, StringToRegBytes(L"\u0416"));
  Put(L"C", L"tab\there", REG_SZ, StringToRegBytes(L"1"));
  auto in = Input(L"^[^\\x00-\\x1F]+$", stRegex);
  in.StartPath = L"\\" + Path(L"C") + L"\\";
  in.ValueNames = in.StringData = true;
  Run(in);
  const String c = L"\\" + Path(L"C") + L"\\";
  EXPECT_EQ(Paths(hkValueName), (std::vector<String>{c + L"|\u0416\u0416"}));
  // The data "\u0416" and "1", of the values named so.
  EXPECT_EQ(Paths(hkStringData), (std::vector<String>{c + L"|tab\there", c + L"|\u0416\u0416"}));
}

TEST_F(SearchThreadT, BadExpressionIsReportedAndSearchesNothing) {
  auto in = Input(L"Run(", stRegex);
  in.KeyNames = true;
  Run(in);
  ASSERT_EQ(regexErrors.size(), 1u);
  EXPECT_FALSE(regexErrors[0].empty());
  EXPECT_TRUE(hits.empty());
}

TEST_F(SearchThreadT, StopKeepsHitsFoundSoFar) {
  auto in = Input(L"", stSubstring);
  in.Text = L"n";
  in.KeyNames = in.ValueNames = true;
  Run(in, [](TthrdRegSearch& s) { s.Terminate(); });
  EXPECT_EQ(hits.size(), 1u);
}

TEST_F(SearchThreadT, ProgressEveryHundredAndSecondKey) {
  for (int i = 0; i < 240; ++i) MakeKey(L"P\\k" + IntToStr(i));
  auto in = Input(L"zzz", stSubstring);
  in.KeyNames = true;
  in.ShowProgress = true;
  TthrdRegSearch::ProgressCounter = 0;
  Run(in);  // 248 keys: the 102nd and the 204th are reported
  EXPECT_EQ(progress.size(), 2u);
  for (const auto& p : progress) EXPECT_EQ(p.substr(0, Path().size()), Path());
  in.ShowProgress = false;
  Run(in);
  EXPECT_TRUE(progress.empty());
}

TEST_F(SearchThreadT, DestroyingARunningSearchWaitsWithoutDeadlock) {
  for (int i = 0; i < 50; ++i) Put(L"D", L"v" + IntToStr(i), REG_SZ, StringToRegBytes(L"match"));
  auto in = Input(L"match", stSubstring);
  in.StringData = true;
  int reported = 0;
  TSearchEvents ev;
  ev.OnResult = [&](const TSearchHit&) { ++reported; };
  {
    TthrdRegSearch search(in, ev);
    // No pumping here: the destructor must run the waiting reports itself.
  }
  EXPECT_LE(reported, 50);
}

TEST_F(SearchThreadT, FailureInTheWalkIsReportedThenFinished) {
  auto in = Input(L"Run", stSubstring);
  in.KeyNames = true;
  int exceptions = 0, ended = 0;
  String text, message;
  TSearchEvents ev;
  ev.OnResult = [](const TSearchHit&) { throw Exception(String(L"list refused the hit")); };
  int opened = 0;
  ev.OnResultBatch = [&](bool begin) { opened += begin ? 1 : -1; };
  ev.OnException = [&](const Exception& e, const String& t) {
    ++exceptions;
    text = t;
    message = e.Message();
  };
  ev.OnFinished = [&] { ++ended; };
  TthrdRegSearch search(in, ev);
  search.WaitFor();
  EXPECT_EQ(exceptions, 1);
  EXPECT_EQ(text, L"An exception occurred in the search thread.");
  EXPECT_EQ(message, L"list refused the hit");
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(opened, 0);  // the failed batch was ended
}

// Through the registry layer's fault seam: keys and values the system
// refuses to list are left out and counted, the rest is searched, and the
// search finishes as usual.
TEST_F(SearchThreadT, WhatCantBeListedIsLeftOut) {
  struct TFaults {
    ~TFaults() { RegistryClearFaults(); }
  } faults;
  auto in = Input(L"hell", stSubstring);
  in.KeyNames = in.ValueNames = in.StringData = true;
  RegistryFailNext(L"RegEnumValue", -1, ERROR_ACCESS_DENIED);
  Run(in);
  EXPECT_TRUE(hits.empty());
  EXPECT_EQ(unread, 2);  // A and A\Run hold values
  RegistryClearFaults();
  in.Text = L"run";
  RegistryFailNext(L"RegEnumKeyEx", -1, ERROR_ACCESS_DENIED);
  Run(in);
  EXPECT_TRUE(hits.empty());  // the keys named run lie below the start key
  EXPECT_EQ(unread, 1);
  RegistryClearFaults();
  // The start key itself that can't be opened is reported.
  RegistryFailNext(L"RegOpenKeyEx", -1, ERROR_ACCESS_DENIED);
  allowFailures = true;
  Run(in);
  EXPECT_TRUE(hits.empty());
  EXPECT_EQ(failures.size(), 1u);
  allowFailures = false;
  RegistryClearFaults();
  Run(in);
  EXPECT_EQ(hits.size(), 3u);
  EXPECT_EQ(unread, 0);
}

// Listed keys that can't be opened (links to a key that is not there) are
// counted with the keys not read, one that the walk reads as a part of its
// own and one deeper down alike. String data is searched past a NUL inside
// it, each NUL-separated piece as a string of its own, and the hit shows the
// data whole, each such NUL as the sign for NUL.
TEST_F(SearchThreadT, LinksThatCantBeOpenedAreCountedAndDataIsSearchedPastANul) {
  const String target = L"\\Registry\\User\\ZembrioNoSuchUser\\Missing";
  testsupport::reg::CreateLink(Path(L"L\\Near"), target);
  testsupport::reg::CreateLink(Path(L"L\\a\\b\\c\\d\\e\\Deep"), target);
  Put(L"L", L"held", REG_SZ, StringToRegBytes(String(L"ab\0needle\0", 10)));
  auto in = Input(L"needle", stSubstring);
  in.StartPath = L"\\" + Path(L"L") + L"\\";
  in.StringData = true;
  Run(in);
  EXPECT_EQ(unread, 2);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].ValueName, L"held");
  EXPECT_EQ(hits[0].Data, L"ab\u2400needle");
  in.SearchType = stExact;
  Run(in);
  EXPECT_EQ(hits.size(), 1u);
  in.Text = L"ab.needle";  // a NUL is no character of either piece
  in.SearchType = stRegex;
  Run(in);
  EXPECT_TRUE(hits.empty());
}

// Links are followed, and a link back to a key above it is read no more:
// the search ends, each key is searched once, and each such link is counted
// with the keys not read, one near the top (where the branch is cut into
// parts) and one deeper down alike.
TEST_F(SearchThreadT, ALinkBackToAKeyAboveItIsCountedAndTheSearchEnds) {
  namespace reg = testsupport::reg;
  Put(L"C\\Inner", L"v", REG_SZ, StringToRegBytes(L"needle"));
  Put(L"C\\a\\b", L"x", REG_SZ, StringToRegBytes(L"needle"));
  Put(L"Elsewhere", L"w", REG_SZ, StringToRegBytes(L"needle"));
  reg::CreateLink(Path(L"C\\Inner\\Back"), reg::NativePath(Path(L"C")));
  reg::CreateLink(Path(L"C\\a\\b\\c\\d\\e\\Deep"), reg::NativePath(Path(L"C\\a")));
  reg::CreateLink(Path(L"C\\Out"), reg::NativePath(Path(L"Elsewhere")));
  auto in = Input(L"needle", stSubstring);
  in.StartPath = L"\\" + Path(L"C") + L"\\";
  in.StringData = true;
  Run(in, {}, 10000);
  EXPECT_EQ(Paths(hkStringData), (std::vector<String>{L"\\" + Path(L"C\\Inner") + L"\\|v",
                                                      L"\\" + Path(L"C\\Out") + L"\\|w",
                                                      L"\\" + Path(L"C\\a\\b") + L"\\|x"}));
  EXPECT_EQ(unread, 2);
}

// A branch big enough to be read by several threads: hits and progress come
// in the order of one depth-first walk, and a stop leaves a prefix of them.
TEST_F(SearchThreadT, ABigBranchReportsInWalkOrder) {
  for (int a = 0; a < 6; ++a)
    for (int b = 0; b < 9; ++b)
      for (int c = 0; c < (a + b) % 5; ++c) {
        const String key = L"W\\a" + IntToStr(a) + (b % 4 == 0 ? L"m" : L"") + L"\\b" + IntToStr(b) + L"\\c" +
                           IntToStr(c) + (c == 2 ? L"m" : L"");
        Put(key, L"v", REG_SZ, StringToRegBytes(c % 3 == 0 ? L"more" : L"less"));
        if (c == 1) Put(key, L"mark", REG_DWORD, Dw(1));
      }
  // The reference: a walk in sequence over the same keys.
  std::vector<String> want, wantProgress;
  int counter = 0;
  std::function<void(const String&)> walk = [&](const String& rel) {
    const String full = rel.empty() ? Path(L"W") : Path(L"W") + L"\\" + rel;
    const String hitPath = L"\\" + full + L"\\";
    if (counter++ > 100) {
      counter = 0;
      wantProgress.push_back(full + L"\\");
    }
    const String name = rel.empty() ? String(L"W") : rel.substr(rel.rfind(L'\\') + 1);
    if (name.find(L'm') != String::npos) want.push_back(L"1" + hitPath + L"|");
    TRegKey k;
    ASSERT_TRUE(k.OpenReadOnly(RegRoot::CurrentUser, full));
    for (const auto& v : k.ValueNames()) {
      DWORD t;
      std::string d;
      k.ReadValue(v, t, d);
      if (v.find(L'm') != String::npos) want.push_back(L"2" + hitPath + L"|" + v);
      if (t == REG_SZ && RegBytesToString(d).find(L'm') != String::npos)
        want.push_back(L"3" + hitPath + L"|" + v + L"|" + RegBytesToString(d));
    }
    for (const auto& s : k.KeyNames()) walk(rel.empty() ? s : rel + L"\\" + s);
  };
  walk(String());
  ASSERT_GT(want.size(), 50u);
  auto texts = [&] {
    std::vector<String> r;
    for (const auto& h : hits)
      r.push_back(IntToStr(h.Kind) + h.Path + L"|" + h.ValueName + (h.Kind == 3 ? L"|" + h.Data : String()));
    return r;
  };
  auto in = Input(L"M", stSubstring);
  in.StartPath = L"\\" + Path(L"W") + L"\\";
  in.KeyNames = in.ValueNames = in.StringData = true;
  in.ShowProgress = true;
  TthrdRegSearch::ProgressCounter = 0;
  Run(in);
  EXPECT_EQ(texts(), want);
  EXPECT_EQ(progress, wantProgress);
  // Stopped at the 20th hit: exactly the first 20.
  in.ShowProgress = false;
  int seen = 0;
  Run(in, [&](TthrdRegSearch& s) {
    if (++seen == 20) s.Terminate();
  });
  std::vector<String> prefix(want.begin(), want.begin() + 20);
  EXPECT_EQ(texts(), prefix);
}

// Hits go to the window thread in batches of at most BatchHits, in the
// order of the walk; a stop at a hit drops the rest of its batch, and a
// failing report ends its batch as well.
TEST_F(SearchThreadT, HitsArriveInBoundedBatchesInWalkOrder) {
  const size_t n = 2 * TthrdRegSearch::BatchHits + 7;
  for (size_t i = 0; i < n; ++i) {
    wchar_t name[16];
    swprintf(name, 16, L"v%05zu", i);
    Put(L"Many", name, REG_SZ, StringToRegBytes(L"many"));
  }
  auto in = Input(L"v0", stSubstring);
  in.StartPath = L"\\" + Path(L"Many") + L"\\";
  in.ValueNames = true;
  Run(in);
  ASSERT_EQ(hits.size(), n);
  for (size_t i = 0; i < n; ++i) {
    wchar_t name[16];
    swprintf(name, 16, L"v%05zu", i);
    EXPECT_EQ(hits[i].ValueName, name) << i;
  }
  EXPECT_GE(batches.size(), 3u);
  for (size_t b : batches) EXPECT_LE(b, TthrdRegSearch::BatchHits);

  int seen = 0;
  Run(in, [&](TthrdRegSearch& s) {
    if (++seen == 3) s.Terminate();
  });
  EXPECT_EQ(hits.size(), 3u);
  EXPECT_EQ(batches.size(), 1u);
}
