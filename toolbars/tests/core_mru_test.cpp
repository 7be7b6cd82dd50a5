// The most-recently-used list: order, limits, captions, clicks and storage.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "classlib/Filer.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "testsupport/Registry.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"

namespace {

std::vector<String> Names(TBarMRUList& L) {
  std::vector<String> v;
  for (int i = 0; i < L.GetItems()->GetCount(); ++i) v.push_back(L.GetItems()->Get(i));
  return v;
}

std::vector<String> Captions(TBarMRUList& L) {
  std::vector<String> v;
  for (int i = 0; i < L.GetItemContainer()->Count(); ++i)
    v.push_back(L.GetItemContainer()->Items(i)->GetCaption());
  return v;
}

struct Counter {
  int changes = 0;
  String clicked;
  void Changed(TObject*) { ++changes; }
  void Clicked(TObject*, const String& Name) { clicked = Name; }
};

std::unique_ptr<TBarMRUList> PlainList() {
  auto l = std::make_unique<TBarMRUList>(nullptr);
  l->AddFullPath = false;
  return l;
}

TEST(BarMRUList, MostRecentFirstWithTheOldestDroppedAndItsItemGone) {
  auto l = PlainList();
  EXPECT_EQ(l->GetMaxItems(), 4);
  EXPECT_TRUE(l->GetHidePathExtension());
  EXPECT_EQ(l->Prefix, L"MRU");
  for (const wchar_t* n : {L"C:\\a.reg", L"C:\\b.reg", L"C:\\c.reg", L"C:\\d.reg", L"C:\\e.reg"})
    l->Add(n);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"C:\\e.reg", L"C:\\d.reg", L"C:\\c.reg", L"C:\\b.reg"}));
  EXPECT_EQ(l->GetItemContainer()->Count(), 4);
  // An existing name in another letter case moves up and takes that case.
  l->Add(L"c:\\C.REG");
  EXPECT_EQ(Names(*l), (std::vector<String>{L"c:\\C.REG", L"C:\\e.reg", L"C:\\d.reg", L"C:\\b.reg"}));
  EXPECT_EQ(l->GetItemContainer()->Count(), 4);
  l->Remove(L"C:\\D.reg");
  EXPECT_EQ(Names(*l), (std::vector<String>{L"c:\\C.REG", L"C:\\e.reg", L"C:\\b.reg"}));
  l->Remove(L"C:\\nothing.reg");
  EXPECT_EQ(l->GetItemContainer()->Count(), 3);
  // Fewer items: the list is cut from the end; a negative count empties it.
  l->SetMaxItems(1);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"c:\\C.REG"}));
  l->SetMaxItems(-3);
  EXPECT_EQ(l->GetMaxItems(), 0);
  EXPECT_EQ(l->GetItems()->GetCount(), 0);
  EXPECT_EQ(l->GetItemContainer()->Count(), 0);
  l->Add(L"C:\\x.reg");
  EXPECT_EQ(l->GetItems()->GetCount(), 0);
}

TEST(BarMRUList, AddExpandsRelativeNamesOnlyWhenAsked) {
  TBarMRUList l(nullptr);
  l.Add(L"rel.reg");
  EXPECT_EQ(l.GetItems()->Get(0), ExpandFileName(L"rel.reg"));
  EXPECT_NE(l.GetItems()->Get(0), L"rel.reg");
  l.AddFullPath = false;
  l.Add(L"rel.reg");
  EXPECT_EQ(l.GetItems()->Get(0), L"rel.reg");
}

TEST(BarMRUList, CaptionsAreNumberedThenLetteredAndEscaped) {
  EXPECT_EQ(BarMRUCaption(0, L"a"), L"&1 a");
  EXPECT_EQ(BarMRUCaption(8, L"a"), L"&9 a");
  EXPECT_EQ(BarMRUCaption(9, L"a"), L"&A a");
  EXPECT_EQ(BarMRUCaption(34, L"a"), L"&Z a");
  EXPECT_EQ(BarMRUCaption(35, L"a"), L"a");
  EXPECT_EQ(BarMRUCaption(0, L"Tom & Jerry"), L"&1 Tom && Jerry");

  auto l = PlainList();
  l->SetMaxItems(40);
  l->SetHidePathExtension(false);
  for (int i = 40; i >= 1; --i) l->Add(L"f" + IntToStr(i));
  auto c = Captions(*l);
  ASSERT_EQ(c.size(), 40u);
  EXPECT_EQ(c[0], L"&1 f1");
  EXPECT_EQ(c[8], L"&9 f9");
  EXPECT_EQ(c[9], L"&A f10");
  EXPECT_EQ(c[34], L"&Z f35");
  EXPECT_EQ(c[35], L"f36");
  EXPECT_EQ(c[39], L"f40");

  // With the path hidden the caption shows the file title; the stored name stays whole.
  auto m = PlainList();
  m->Add(L"C:\\Data\\Fish & Chips.reg");
  EXPECT_EQ(m->GetItems()->Get(0), L"C:\\Data\\Fish & Chips.reg");
  String cap = Captions(*m)[0];
  EXPECT_EQ(cap.find(L"C:\\Data"), String::npos);
  EXPECT_EQ(cap.rfind(L"&1 Fish && Chips", 0), 0u) << cap;
  m->SetHidePathExtension(false);
  EXPECT_EQ(Captions(*m)[0], L"&1 C:\\Data\\Fish && Chips.reg");
}

TEST(BarMRUList, ClickMovesTheNameUpBeforeTheHandlerRuns) {
  auto l = PlainList();
  Counter c;
  l->OnClick = TBarMRUListClickEvent(&c, &Counter::Clicked);
  l->Add(L"a");
  l->Add(L"b");
  l->Add(L"c");  // c b a
  TBarCustomItem* third = l->GetItemContainer()->Items(2);
  third->Click();
  EXPECT_EQ(c.clicked, L"a");
  EXPECT_EQ(Names(*l), (std::vector<String>{L"a", L"c", L"b"}));
  EXPECT_EQ(l->GetItemContainer()->Items(0), third);
  EXPECT_EQ(Captions(*l), (std::vector<String>{L"&1 a", L"&2 c", L"&3 b"}));
  l->GetItemContainer()->Items(0)->Click();
  EXPECT_EQ(c.clicked, L"a");
}

TEST(BarMRUList, ChangeNoticesAndOneForALoad) {
  auto l = PlainList();
  Counter c;
  l->OnChange = TNotifyEvent(&c, &Counter::Changed);
  l->Add(L"a");
  EXPECT_EQ(c.changes, 1);
  l->Add(L"b");
  l->Add(L"c");
  l->Add(L"d");
  int before = c.changes;
  l->Add(L"e");  // insert and the trim it causes
  EXPECT_EQ(c.changes, before + 1);
  // A load is one notice, with every name in place; loading the same
  // names again changes nothing.
  TMemIniFile ini(L"");
  ini.WriteString(L"Recent", L"MRU1", L"x");
  ini.WriteString(L"Recent", L"MRU2", L"y");
  c.changes = 0;
  std::vector<String> seen;
  l->OnChange = [&](TObject*) {
    ++c.changes;
    seen = Names(*l);
  };
  l->LoadFromIni(&ini, L"Recent");
  EXPECT_EQ(c.changes, 1);
  EXPECT_EQ(seen, (std::vector<String>{L"x", L"y"}));
  l->LoadFromIni(&ini, L"Recent");
  EXPECT_EQ(c.changes, 1);
  // Assigning copies the names and builds their items.
  TStringList src;
  src.Add(L"p");
  src.Add(L"q");
  l->SetItems(&src);
  EXPECT_EQ(Captions(*l), (std::vector<String>{L"&1 p", L"&2 q"}));
}

// A lower limit that drops names changes the list: one notice for the
// names it drops, with the items already gone and the captions renumbered.
TEST(BarMRUList, ALowerLimitThatDropsNamesIsAnnounced) {
  auto l = PlainList();
  Counter c;
  int countSeen = -1;
  l->OnChange = [&](TObject*) {
    ++c.changes;
    countSeen = l->GetItemContainer()->Count();
  };
  for (const wchar_t* n : {L"a", L"b", L"c"}) l->Add(n);
  c.changes = 0;
  l->SetMaxItems(1);
  EXPECT_EQ(c.changes, 1);
  EXPECT_EQ(countSeen, 1);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"c"}));
  // A limit that drops nothing is no change of the list.
  l->SetMaxItems(6);
  l->SetMaxItems(2);
  EXPECT_EQ(c.changes, 1);
  // Names assigned past the limit: each name a change, the trim part of them.
  TStringList src;
  for (const wchar_t* n : {L"p", L"q", L"r"}) src.Add(n);
  c.changes = 0;
  l->SetItems(&src);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"p", L"q"}));
  EXPECT_EQ(Captions(*l), (std::vector<String>{L"&1 p", L"&2 q"}));
  const int assigned = c.changes;
  EXPECT_GT(assigned, 0);
  // A load is one notice; a lower limit after it is another.
  TMemIniFile ini(L"");
  for (int n = 1; n <= 3; ++n) ini.WriteString(L"R", L"MRU" + IntToStr(n), L"x" + IntToStr(n));
  l->LoadFromIni(&ini, L"R");
  EXPECT_EQ(c.changes, assigned + 1);
  l->SetMaxItems(1);
  EXPECT_EQ(c.changes, assigned + 2);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"x1"}));
}

TEST(BarMRUList, IniStorageWritesPresentKeysAndDeletesTheRest) {
  TMemIniFile ini(L"");
  for (int n = 1; n <= 4; ++n) ini.WriteString(L"Files", L"MRU" + IntToStr(n), L"old" + IntToStr(n));
  auto l = PlainList();
  l->Add(L"one");
  l->Add(L"two");
  l->SaveToIni(&ini, L"Files");
  EXPECT_EQ(ini.ReadString(L"Files", L"MRU1", L"-"), L"two");
  EXPECT_EQ(ini.ReadString(L"Files", L"MRU2", L"-"), L"one");
  EXPECT_FALSE(ini.ValueExists(L"Files", L"MRU3"));
  EXPECT_FALSE(ini.ValueExists(L"Files", L"MRU4"));

  // Loading closes gaps and reads no further than the limit.
  TMemIniFile in(L"");
  in.WriteString(L"S", L"Doc1", L"first");
  in.WriteString(L"S", L"Doc3", L"third");
  in.WriteString(L"S", L"Doc5", L"fifth");
  auto m = PlainList();
  m->Prefix = L"Doc";
  m->Add(L"dropped");
  m->LoadFromIni(&in, L"S");
  EXPECT_EQ(Names(*m), (std::vector<String>{L"first", L"third"}));
  EXPECT_EQ(Captions(*m), (std::vector<String>{L"&1 first", L"&2 third"}));
}

TEST(BarMRUList, RegistryStorageRoundTrip) {
  testsupport::ScratchKey scratch(L"toolbars");
  const String base = scratch.Path(L"MRU");
  {
    auto l = PlainList();
    l->Add(L"C:\\b.reg");
    l->Add(L"C:\\a.reg");
    TRegIniFile reg(base);
    reg.WriteString(L"Recent", L"MRU3", L"stale");
    l->SaveToRegIni(&reg, L"Recent");
    EXPECT_EQ(reg.ReadString(L"Recent", L"MRU3", L"-"), L"-");
    auto m = PlainList();
    int changes = 0;
    m->OnChange = [&](TObject*) { ++changes; };
    m->LoadFromRegIni(&reg, L"Recent");
    EXPECT_EQ(Names(*m), (std::vector<String>{L"C:\\a.reg", L"C:\\b.reg"}));
    EXPECT_EQ(changes, 1);
    // The generic ini interface over the registry reads the same section.
    TRegistryIniFile ri(base);
    auto k = PlainList();
    k->LoadFromIni(&ri, L"Recent");
    EXPECT_EQ(Names(*k), Names(*m));
  }
}

// An entry stored with a type it cannot be read as counts as empty, through
// the registry ini file and the ini interface over the registry alike: the
// list is the readable names, announced once. An entry that can't be read
// at all raises, and the list stays as it was.
TEST(BarMRUList, EntriesOfAnotherTypeInTheRegistryCountAsEmpty) {
  testsupport::ScratchKey scratch(L"toolbars");
  const String base = scratch.Path(L"MRU");
  const String section = base + L"\\Recent";
  testsupport::reg::CreateKey(section);
  testsupport::reg::Write(section, L"MRU1", REG_SZ, testsupport::Sz(L"C:\\a.reg"));
  testsupport::reg::Write(section, L"MRU2", REG_BINARY, std::string(4, '\1'));
  testsupport::reg::Write(section, L"MRU3", REG_MULTI_SZ, testsupport::Sz(L"C:\\c.reg") + std::string(2, '\0'));
  testsupport::reg::Write(section, L"MRU4", REG_SZ, testsupport::Sz(L"C:\\d.reg"));
  const std::vector<String> readable{L"C:\\a.reg", L"C:\\d.reg"};
  TRegIniFile reg(base);
  TRegistryIniFile ini(base);
  for (bool throughIni : {false, true}) {
    SCOPED_TRACE(throughIni ? "TRegistryIniFile" : "TRegIniFile");
    auto l = PlainList();
    l->Add(L"C:\\old.reg");
    int changes = 0;
    l->OnChange = [&](TObject*) { ++changes; };
    if (throughIni)
      l->LoadFromIni(&ini, L"Recent");
    else
      l->LoadFromRegIni(&reg, L"Recent");
    EXPECT_EQ(Names(*l), readable);
    EXPECT_EQ(l->GetItemContainer()->Count(), 2);
    EXPECT_EQ(changes, 1);

    struct Faults {
      ~Faults() { RegistryClearFaults(); }
    } faults;
    changes = 0;
    RegistryFailNext(L"RegQueryValueEx", -1, ERROR_ACCESS_DENIED, 1);  // from MRU2 on
    if (throughIni)
      EXPECT_THROW(l->LoadFromIni(&ini, L"Recent"), ERegistryException);
    else
      EXPECT_THROW(l->LoadFromRegIni(&reg, L"Recent"), ERegistryException);
    EXPECT_EQ(Names(*l), readable);
    EXPECT_EQ(changes, 0);
  }
}

TEST(BarMRUList, MenuItemShowsTheListAndForgetsItWhenFreed) {
  TBarMRUListItem item(nullptr);
  EXPECT_EQ(item.GetCaption(), L"(MRU List)");
  EXPECT_TRUE(item.GetItemStyle().Contains(tbisEmbeddedGroup));
  auto* l = new TBarMRUList(nullptr);
  item.SetMRUList(l);
  EXPECT_EQ(item.GetLinkSubitems(), l->GetItemContainer());
  delete l;
  EXPECT_EQ(item.GetMRUList(), nullptr);
  EXPECT_EQ(item.GetLinkSubitems(), nullptr);
}

class TMRURoot : public TComponent {
 public:
  TMRURoot() : TComponent(nullptr) { SetName(L"Root"); }
  const char* ClassName() const override { return "TMRURoot"; }
};

// A form keeps what differs from the defaults: the list's options and
// names (all of them, the length being read first), the item's list.
TEST(BarMRUList, FormKeepsTheListAndItsMenuItem) {
  BarFiler::RegisterClasses();
  TMemoryStream m, plain;
  {
    TMRURoot src;
    auto* l = new TBarMRUList(&src);
    l->SetName(L"mru");
    l->SetMaxItems(5);
    for (const wchar_t* n : {L"a.reg", L"b.reg", L"c.reg", L"d.reg", L"e.reg"}) l->GetItems()->Add(n);
    l->Prefix = L"Recent";
    l->AddFullPath = false;
    l->SetHidePathExtension(false);
    auto* box = new TBarItemContainer(&src);  // items are written by their parents
    box->SetName(L"Box");
    auto* item = new TBarMRUListItem(&src);
    item->SetName(L"mruItem");
    item->SetMRUList(l);
    box->Items()->Add(item);
    TWriter(&m).WriteRootComponent(&src);
    TMRURoot bare;
    (new TBarMRUList(&bare))->SetName(L"mru");
    auto* bareBox = new TBarItemContainer(&bare);
    bareBox->SetName(L"Box");
    auto* bareItem = new TBarMRUListItem(&bare);
    bareItem->SetName(L"mruItem");
    bareBox->Items()->Add(bareItem);
    TWriter(&plain).WriteRootComponent(&bare);
  }
  TMRURoot dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  auto* l = dynamic_cast<TBarMRUList*>(dst.FindComponent(L"mru"));
  auto* item = dynamic_cast<TBarMRUListItem*>(dst.FindComponent(L"mruItem"));
  ASSERT_TRUE(l && item);
  EXPECT_EQ(l->GetMaxItems(), 5);
  EXPECT_EQ(Names(*l), (std::vector<String>{L"a.reg", L"b.reg", L"c.reg", L"d.reg", L"e.reg"}));
  EXPECT_EQ(Captions(*l)[4], L"&5 e.reg");
  EXPECT_EQ(l->Prefix, L"Recent");
  EXPECT_FALSE(l->AddFullPath);
  EXPECT_FALSE(l->GetHidePathExtension());
  EXPECT_EQ(item->GetMRUList(), l);
  EXPECT_EQ(item->GetLinkSubitems(), l->GetItemContainer());
  EXPECT_EQ(item->GetCaption(), L"(MRU List)");
  // Defaults, the item's own caption among them, are not written.
  const char* p = static_cast<const char*>(plain.Memory());
  const std::string bytes(p, p + plain.GetSize());
  for (const char* name : {"MaxItems", "Items", "Prefix", "AddFullPath", "HidePathExtension", "Caption", "MRUList"})
    EXPECT_EQ(bytes.find(std::string(1, static_cast<char>(strlen(name))) + name), std::string::npos) << name;
}

}  // namespace
