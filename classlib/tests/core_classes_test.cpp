// Component ownership and notification, lists, string lists, collections
// and streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "classlib/Classes.h"

namespace {

// Records what it is told and how often it is destroyed.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::vector<String>* log, const wchar_t* tag)
      : TComponent(owner), log_(log), tag_(tag) {}
  ~TProbe() override {
    if (log_) log_->push_back(String(L"free ") + tag_);
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == watched) watched = nullptr;
    if (log_ && c != this)
      log_->push_back(String(tag_) + (op == opInsert ? L" +" : L" -") + c->GetName());
  }
  void Loaded() override {
    if (log_) log_->push_back(String(L"loaded ") + tag_ + (IsLoading() ? L" (loading)" : L""));
    TComponent::Loaded();
    if (onLoaded) onLoaded();
  }
  TComponent* watched = nullptr;
  std::function<void()> onLoaded;

 private:
  std::vector<String>* log_;
  const wchar_t* tag_;
};

}  // namespace

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
  std::vector<String> log;
  auto* root = new TProbe(nullptr, &log, L"root");
  auto* a = new TProbe(root, &log, L"a");
  new TProbe(root, &log, L"b");
  new TProbe(a, &log, L"a1");
  EXPECT_EQ(root->GetComponentCount(), 2);
  EXPECT_EQ(a->GetOwner(), root);
  EXPECT_EQ(a->GetComponentIndex(), 0);
  log.clear();
  delete root;
  std::vector<String> frees;
  for (auto& s : log)
    if (s.rfind(L"free ", 0) == 0) frees.push_back(s);
  EXPECT_EQ(frees, (std::vector<String>{L"free root", L"free b", L"free a", L"free a1"}));
}

TEST(Component, DeletingAnOwnedComponentLeavesTheOwner) {
  TComponent root(nullptr);
  auto* a = new TComponent(&root);
  auto* b = new TComponent(&root);
  delete a;
  ASSERT_EQ(root.GetComponentCount(), 1);
  EXPECT_EQ(root.GetComponent(0), b);
  EXPECT_THROW(root.GetComponent(1), EListError);
}

TEST(Component, NamesAreUniquePerOwnerIgnoringCase) {
  TComponent root(nullptr);
  TComponent other(nullptr);
  auto* a = new TComponent(&root);
  auto* b = new TComponent(&root);
  auto* c = new TComponent(&other);
  a->SetName(L"Button1");
  EXPECT_THROW(b->SetName(L"button1"), EComponentError);
  EXPECT_EQ(b->GetName(), L"");
  c->SetName(L"Button1");  // another owner: fine
  a->SetName(L"BUTTON1");  // renaming itself in other case: fine
  EXPECT_EQ(root.FindComponent(L"button1"), a);
  EXPECT_EQ(root.FindComponent(L"nothing"), nullptr);
  EXPECT_EQ(root.FindComponent(L""), nullptr);
  EXPECT_THROW(b->SetName(L"1abc"), EComponentError);
  EXPECT_THROW(b->SetName(L"a b"), EComponentError);
  b->SetName(L"_ok2");
  // Empty names may repeat.
  auto* d = new TComponent(&root);
  auto* e = new TComponent(&root);
  EXPECT_EQ(d->GetName(), e->GetName());
  // Moving a named component to an owner that has the name is refused.
  EXPECT_THROW(other.InsertComponent(a), EComponentError);
  EXPECT_EQ(a->GetOwner(), &root);
  EXPECT_EQ(root.FindComponent(L"Button1"), a);
}

TEST(Component, FreeNotificationWorksBothWays) {
  std::vector<String> log;
  auto* x = new TProbe(nullptr, &log, L"x");
  auto* y = new TProbe(nullptr, &log, L"y");
  x->SetName(L"X");
  y->SetName(L"Y");
  x->watched = y;
  y->watched = x;
  x->FreeNotification(y);
  EXPECT_TRUE(x->GetComponentState().Contains(csFreeNotification));
  delete y;
  EXPECT_EQ(x->watched, nullptr);
  // x no longer refers to y: freeing x must not touch the freed y.
  delete x;

  auto* p = new TProbe(nullptr, &log, L"p");
  auto* q = new TProbe(nullptr, &log, L"q");
  p->watched = q;
  q->FreeNotification(p);  // asked from the other side
  delete q;
  EXPECT_EQ(p->watched, nullptr);
  delete p;
}

TEST(Component, RemoveFreeNotificationStopsIt) {
  auto* x = new TProbe(nullptr, nullptr, L"x");
  auto* y = new TProbe(nullptr, nullptr, L"y");
  x->watched = y;
  x->FreeNotification(y);
  x->RemoveFreeNotification(y);
  delete y;
  EXPECT_NE(x->watched, nullptr);
  delete x;
}

TEST(Component, SiblingsHearOfEachOtherThroughTheOwner) {
  std::vector<String> log;
  TProbe root(nullptr, &log, L"root");
  auto* a = new TProbe(&root, &log, L"a");
  auto* b = new TProbe(&root, &log, L"b");
  b->SetName(L"B");
  a->watched = b;
  a->FreeNotification(b);  // same owner: told through the owner only
  log.clear();
  delete b;
  EXPECT_EQ(a->watched, nullptr);
  int toldA = 0;
  for (auto& s : log)
    if (s == L"a -B") ++toldA;
  EXPECT_EQ(toldA, 1);
}

TEST(Component, DestroyingAndLoadingStates) {
  std::vector<String> log;
  TProbe root(nullptr, &log, L"root");
  auto* a = new TProbe(&root, &log, L"a");
  EXPECT_FALSE(a->IsDesigning());
  root.BeginLoading();
  EXPECT_TRUE(a->IsLoading());
  log.clear();
  root.EndLoading();
  EXPECT_FALSE(root.IsLoading());
  EXPECT_FALSE(a->IsLoading());
  EXPECT_EQ(log, (std::vector<String>{L"loaded root (loading)", L"loaded a (loading)"}));
  root.Destroying();
  EXPECT_TRUE(a->IsDestroying());
}

// A Loaded that frees a component loaded after it: that one is passed
// over, and so is a component made since in its place (its storage).
TEST(Component, ALoadedThatFreesALaterComponentPassesItOver) {
  std::vector<String> log;
  TProbe root(nullptr, &log, L"root");
  auto* first = new TProbe(&root, &log, L"first");
  alignas(TProbe) unsigned char storage[sizeof(TProbe)];
  auto* later = new (storage) TProbe(&root, &log, L"later");
  TProbe* made = nullptr;
  first->onLoaded = [&] {
    later->~TProbe();
    made = new (storage) TProbe(nullptr, &log, L"made");
    made->BeginLoading();
  };
  root.BeginLoading();
  log.clear();
  root.EndLoading();
  EXPECT_EQ(std::count(log.begin(), log.end(), String(L"loaded made (loading)")), 0);
  EXPECT_EQ(root.GetComponentCount(), 1);
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->IsLoading());
  made->~TProbe();
}

TEST(Component, DesignStateReachesOwnedComponentsAndLaterOnes) {
  std::vector<String> log;
  TProbe root(nullptr, &log, L"root");
  auto* a = new TProbe(&root, &log, L"a");
  auto* a1 = new TProbe(a, &log, L"a1");
  root.SetDesigning(true);
  EXPECT_TRUE(root.IsDesigning());
  EXPECT_TRUE(a1->IsDesigning());
  EXPECT_TRUE(a1->GetComponentState().Contains(csDesigning));
  auto* later = new TProbe(a, &log, L"later");  // made into a designed owner
  EXPECT_TRUE(later->IsDesigning());
  a->SetDesigning(false, false);  // this one alone
  EXPECT_FALSE(a->IsDesigning());
  EXPECT_TRUE(a1->IsDesigning());
  root.SetDesigning(false);
  EXPECT_FALSE(a1->IsDesigning());
  EXPECT_FALSE(later->IsDesigning());
  auto* plain = new TProbe(a, &log, L"plain");
  EXPECT_FALSE(plain->IsDesigning());
}

TEST(Component, ExceptionInNotificationDuringFreeDoesNotEscape) {
  struct TThrower : TComponent {
    using TComponent::TComponent;
    void Notification(TComponent* c, TOperation op) override {
      TComponent::Notification(c, op);
      if (op == opRemove) throw Exception(String(L"x"));
    }
  };
  auto old = ApplicationHandleExceptionHook;
  ApplicationHandleExceptionHook = [](const Exception&) {};
  auto* t = new TThrower(nullptr);
  auto* u = new TComponent(nullptr);
  u->FreeNotification(t);
  delete u;  // must not terminate the program
  delete t;
  ApplicationHandleExceptionHook = old;
}

// ---------------------------------------------------------------------------

TEST(List, IndexErrorsAndMoves) {
  TList l;
  int a = 1, b = 2, c = 3;
  l.Add(&a);
  l.Add(&b);
  l.Add(&c);
  l.Move(0, 2);
  EXPECT_EQ(l[0], &b);
  EXPECT_EQ(l[2], &a);
  EXPECT_EQ(l.Remove(&b), 0);
  EXPECT_EQ(l.Remove(&b), -1);
  EXPECT_THROW(l.Get(2), EListError);
  EXPECT_THROW(l.Delete(-1), EListError);
  EXPECT_THROW(l.Insert(3, &a), EListError);
  l.Add(nullptr);
  l.Pack();
  EXPECT_EQ(l.GetCount(), 2);
  l.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  EXPECT_EQ(l.First(), &a);
  EXPECT_EQ(l.Extract(&a), &a);
  EXPECT_EQ(l.GetCount(), 1);
}

// ---------------------------------------------------------------------------

TEST(StringList, SortedWithDuplicateModes) {
  TStringList l;
  l.SetSorted(true);
  l.Add(L"b");
  l.Add(L"a");
  l.Add(L"C");
  EXPECT_EQ(l.GetCommaText(), L"a,b,C");
  EXPECT_EQ(l.Add(L"B"), 1);  // dupIgnore: the existing index
  EXPECT_EQ(l.GetCount(), 3);
  l.SetDuplicates(dupError);
  EXPECT_THROW(l.Add(L"A"), EStringListError);
  l.SetDuplicates(dupAccept);
  l.Add(L"b");
  l.Add(L"b");
  EXPECT_EQ(l.GetCount(), 5);
  int i = -1;
  EXPECT_TRUE(l.Find(L"B", i));
  EXPECT_EQ(i, 1);  // the first of the equal ones
  EXPECT_FALSE(l.Find(L"bb", i));
  EXPECT_EQ(i, 4);
  EXPECT_EQ(l.IndexOf(L"c"), 4);
  EXPECT_THROW(l.Insert(0, L"z"), EStringListError);
  EXPECT_THROW(l.Put(0, L"z"), EStringListError);
  EXPECT_THROW(l.Exchange(0, 1), EStringListError);
}

TEST(StringList, CaseSensitiveSortedLookup) {
  TStringList l;
  l.SetCaseSensitive(true);
  l.SetSorted(true);
  l.Add(L"x");
  l.Add(L"X");
  EXPECT_EQ(l.GetCount(), 2);
  EXPECT_NE(l.IndexOf(L"x"), l.IndexOf(L"X"));
  EXPECT_EQ(l.IndexOf(L"x") >= 0 && l.IndexOf(L"X") >= 0, true);
}

TEST(StringList, UnsortedBasicsAndErrors) {
  TStringList l;
  l.Add(L"one");
  l.Add(L"two");
  l.Insert(0, L"zero");
  EXPECT_EQ(l.IndexOf(L"TWO"), 2);
  EXPECT_EQ(l.IndexOf(L"three"), -1);
  l.Move(0, 2);
  EXPECT_EQ(l.GetCommaText(), L"one,two,zero");
  l.Exchange(0, 2);
  EXPECT_EQ(l[0], L"zero");
  EXPECT_THROW(l.Get(3), EStringListError);
  EXPECT_THROW(l.Delete(3), EStringListError);
  EXPECT_THROW(l.Insert(5, L"x"), EStringListError);
  try {
    l.Get(7);
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), L"List index out of bounds (7)");
  }
  int at = -1;
  EXPECT_TRUE(l.Find(L"one", at));  // unsorted: still the right answer
  EXPECT_EQ(at, 2);
  EXPECT_FALSE(l.Find(L"none", at));
  EXPECT_EQ(at, 3);
  l.SetSorted(true);
  EXPECT_EQ(l.GetCommaText(), L"one,two,zero");
}

TEST(StringList, NamesAndValues) {
  TStringList l;
  l.Add(L"Width=100");
  l.Add(L"plain");
  l.Add(L"Path=C:\\a=b");
  l.Add(L"=empty name");
  EXPECT_EQ(l.GetName(0), L"Width");
  EXPECT_EQ(l.GetName(1), L"");
  EXPECT_EQ(l.GetValue(L"path"), L"C:\\a=b");
  EXPECT_EQ(l.GetValueFromIndex(2), L"C:\\a=b");
  EXPECT_EQ(l.GetValue(L"plain"), L"");
  EXPECT_EQ(l.IndexOfName(L"plain"), -1);
  EXPECT_EQ(l.IndexOfName(L""), 3);
  l.SetValue(L"Width", L"200");
  EXPECT_EQ(l[0], L"Width=200");
  l.SetValue(L"Height", L"5");
  EXPECT_EQ(l[4], L"Height=5");
  l.SetValue(L"Width", L"");  // empty value removes the line
  EXPECT_EQ(l.IndexOfName(L"Width"), -1);
  EXPECT_EQ(l.GetCount(), 4);
  l.SetValue(L"Missing", L"");
  EXPECT_EQ(l.GetCount(), 4);
  l.NameValueSeparator = L':';
  l.Add(L"k:v");
  EXPECT_EQ(l.GetValue(L"K"), L"v");
}

TEST(StringList, CommaTextEdgeCases) {
  TStringList l;
  l.SetCommaText(L"a, b,\"c d\",\"say \"\"hi\"\"\",,last,");
  ASSERT_EQ(l.GetCount(), 7);
  EXPECT_EQ(l[0], L"a");
  EXPECT_EQ(l[1], L"b");
  EXPECT_EQ(l[2], L"c d");
  EXPECT_EQ(l[3], L"say \"hi\"");
  EXPECT_EQ(l[4], L"");
  EXPECT_EQ(l[5], L"last");
  EXPECT_EQ(l[6], L"");
  // Unquoted blanks split items.
  l.SetCommaText(L"x y");
  EXPECT_EQ(l.GetCount(), 2);
  l.SetCommaText(L"");
  EXPECT_EQ(l.GetCount(), 0);
  l.SetCommaText(L"\"unterminated, still one");
  ASSERT_EQ(l.GetCount(), 1);
  EXPECT_EQ(l[0], L"unterminated, still one");

  // Whatever goes out comes back.
  TStringList src, back;
  for (const wchar_t* s : {L"", L"plain", L"with space", L"comma,inside", L"\"quoted\"", L"tab\there", L" lead"})
    src.Add(s);
  back.SetCommaText(src.GetCommaText());
  EXPECT_TRUE(back.Equals(&src)) << src.GetCommaText();
  TStringList single;
  single.Add(L"");
  EXPECT_EQ(single.GetCommaText(), L"\"\"");
  back.SetCommaText(single.GetCommaText());
  EXPECT_EQ(back.GetCount(), 1);
}

TEST(StringList, DelimitedTextStrict) {
  TStringList l;
  l.Delimiter = L';';
  l.StrictDelimiter = true;
  l.SetDelimitedText(L" a b ;c");
  ASSERT_EQ(l.GetCount(), 2);
  EXPECT_EQ(l[0], L" a b ");
  EXPECT_EQ(l.GetDelimitedText(), L"\" a b \";c");
  TStringList back;
  back.Delimiter = L';';
  back.StrictDelimiter = true;
  back.SetDelimitedText(l.GetDelimitedText());
  EXPECT_TRUE(back.Equals(&l));
}

TEST(StringList, TextSplitsEveryLineEnding) {
  TStringList l;
  l.SetText(L"a\r\nb\nc\rd");
  EXPECT_EQ(l.GetCount(), 4);
  EXPECT_EQ(l.GetText(), L"a\r\nb\r\nc\r\nd\r\n");
  l.SetText(L"x\r\n");
  EXPECT_EQ(l.GetCount(), 1);
  l.SetText(L"\n\n");
  EXPECT_EQ(l.GetCount(), 2);
  l.SetText(L"");
  EXPECT_EQ(l.GetCount(), 0);
}

TEST(StringList, ChangeEventsAndUpdates) {
  TStringList l;
  int changing = 0, changed = 0;
  l.OnChanging = [&](TObject*) { ++changing; };
  l.OnChange = [&](TObject* s) {
    EXPECT_EQ(s, &l);
    ++changed;
  };
  l.Add(L"a");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  l.BeginUpdate();
  l.Add(L"b");
  l.Add(L"c");
  l.BeginUpdate();
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(changed, 1);
  l.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  l.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(l.GetUpdateCount(), 0);
}

TEST(StringList, ObjectsOwnedAndCustomSort) {
  static int alive = 0;
  struct TCounted : TObject {
    int v;
    explicit TCounted(int x) : v(x) { ++alive; }
    ~TCounted() override { --alive; }
  };
  {
    TStringList l(true);
    l.AddObject(L"c", new TCounted(3));
    l.AddObject(L"a", new TCounted(1));
    l.AddObject(L"b", new TCounted(2));
    EXPECT_EQ(alive, 3);
    l.CustomSort([](TStringList* L, int i, int j) {
      return static_cast<TCounted*>(L->GetObjects(j))->v - static_cast<TCounted*>(L->GetObjects(i))->v;
    });
    EXPECT_EQ(l.GetCommaText(), L"c,b,a");
    EXPECT_EQ(static_cast<TCounted*>(l.GetObjects(0))->v, 3);
    l.Delete(0);
    EXPECT_EQ(alive, 2);
    l.SetObjects(0, new TCounted(9));
    EXPECT_EQ(alive, 2);
    TStringList copy;
    copy.Assign(&l);
    EXPECT_EQ(copy.GetObjects(1), l.GetObjects(1));
  }
  EXPECT_EQ(alive, 0);
}

TEST(StringList, StreamsAnsiAndUtf16) {
  TStringList l;
  l.Add(L"caf\u00E9");
  l.Add(L"\u20AC5");
  TMemoryStream ansi;
  l.SaveToStream(&ansi);
  EXPECT_EQ(ansi.GetSize(), 10);  // 4+2 + 2+2 bytes
  ansi.SetPosition(0);
  TStringList back;
  back.LoadFromStream(&ansi);
  EXPECT_TRUE(back.Equals(&l));

  TStringList wide;
  wide.Add(L"\u4E2D\u6587");
  TMemoryStream u16;
  wide.SaveToStream(&u16, teUTF16LE);
  u16.SetPosition(0);
  back.LoadFromStream(&u16);
  EXPECT_TRUE(back.Equals(&wide));

  // Big-endian UTF-16 with its mark.
  const unsigned char be[] = {0xFE, 0xFF, 0x00, 'h', 0x00, 'i', 0x00, '\r', 0x00, '\n', 0x4E, 0x2D};
  TMemoryStream bes;
  bes.WriteBuffer(be, sizeof be);
  bes.SetPosition(0);
  back.LoadFromStream(&bes);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back[0], L"hi");
  EXPECT_EQ(back[1], L"\u4E2D");

  TMemoryStream u8;
  wide.SaveToStream(&u8, teUTF8);
  u8.SetPosition(0);
  back.LoadFromStream(&u8);
  EXPECT_TRUE(back.Equals(&wide));
}

TEST(StringList, FileRoundTripAndMissingFile) {
  String name = GetTempDirectory() + L"zembrio_core_list.txt";
  TStringList l;
  l.Add(L"first");
  l.Add(L"second");
  l.SaveToFile(name);
  TStringList back;
  back.LoadFromFile(name);
  EXPECT_TRUE(back.Equals(&l));
  DeleteFile(name);
  EXPECT_THROW(back.LoadFromFile(name), EFOpenError);
}

// ---------------------------------------------------------------------------

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  const char data[] = "0123456789";
  EXPECT_EQ(m.Write(data, 10), 10);
  EXPECT_EQ(m.GetPosition(), 10);
  m.Seek(-4, soEnd);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "6789");
  m.SetPosition(2);
  EXPECT_THROW(m.ReadBuffer(buf, 9), EReadError);
  m.SetPosition(20);  // past the end: writing fills the gap with zeros
  m.WriteBuffer("x", 1);
  EXPECT_EQ(m.GetSize(), 21);
  EXPECT_EQ(static_cast<const char*>(m.Memory())[15], '\0');
  m.SetSize(3);
  EXPECT_EQ(m.GetPosition(), 3);
  EXPECT_EQ(m.Read(buf, 1), 0);
  EXPECT_EQ(m.Seek(-100, soCurrent), 0);
}

TEST(Streams, CopyFromWholeAndPart) {
  TMemoryStream src;
  std::vector<unsigned char> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
  src.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
  TMemoryStream dst;
  EXPECT_EQ(dst.CopyFrom(&src, 0), 200000);  // 0: all of it from the start
  ASSERT_EQ(dst.GetSize(), 200000);
  EXPECT_EQ(std::memcmp(dst.Memory(), big.data(), big.size()), 0);
  src.SetPosition(199990);
  TMemoryStream part;
  EXPECT_THROW(part.CopyFrom(&src, 11), EReadError);
  src.SetPosition(199990);
  EXPECT_EQ(part.CopyFrom(&src, 10), 10);
}

TEST(Streams, FileStreamModes) {
  String name = GetTempDirectory() + L"zembrio_core_stream.bin";
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello world", 11);
    EXPECT_EQ(f.GetSize(), 11);
    f.SetSize(5);
    EXPECT_EQ(f.GetSize(), 5);
  }
  {
    TFileStream f(name, fmOpenRead | fmShareDenyWrite);
    char b[16] = {};
    EXPECT_EQ(f.Read(b, 16), 5);
    EXPECT_EQ(std::string(b), "hello");
    EXPECT_EQ(f.Write("x", 1), 0);  // read-only
  }
  {
    TFileStream f(name, fmOpenReadWrite);
    f.Seek(0, soEnd);
    f.WriteBuffer("!", 1);
  }
  TMemoryStream m;
  m.LoadFromFile(name);
  EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 6), "hello!");
  DeleteFile(name);
  EXPECT_THROW({ TFileStream f(name, fmOpenRead); }, EFOpenError);
  EXPECT_THROW({ TFileStream f(GetTempDirectory() + L"no_such_dir_zz/x", fmCreate); }, EFCreateError);
}

TEST(Streams, StringStream) {
  TStringStream s("abc");
  char b[2];
  s.ReadBuffer(b, 2);
  s.WriteBuffer("XYZ", 3);
  EXPECT_EQ(s.GetDataString(), "abXYZ");
}

// ---------------------------------------------------------------------------

namespace {
class TNamedItem : public TCollectionItem {
 public:
  explicit TNamedItem(TCollection* c) : TCollectionItem(c) {}
  String value;
  void Assign(TPersistent* Source) override {
    if (auto* o = dynamic_cast<TNamedItem*>(Source)) {
      value = o->value;
      return;
    }
    TCollectionItem::Assign(Source);
  }
};
class TCountingCollection : public TCollection {
 public:
  TCountingCollection() : TCollection([](TCollection* c) { return new TNamedItem(c); }) {}
  int updates = 0;

 protected:
  void Update(TCollectionItem*) override { ++updates; }
};
}  // namespace

TEST(Collection, ItemsIdsIndexesAndAssign) {
  TCountingCollection c;
  auto* a = static_cast<TNamedItem*>(c.Add());
  auto* b = static_cast<TNamedItem*>(c.Add());
  a->value = L"a";
  b->value = L"b";
  EXPECT_EQ(a->GetID(), 0);
  EXPECT_EQ(b->GetID(), 1);
  auto* z = static_cast<TNamedItem*>(c.Insert(0));
  z->value = L"z";
  EXPECT_EQ(c.GetItem(0), z);
  EXPECT_EQ(b->GetIndex(), 2);
  EXPECT_EQ(c.FindItemID(1), b);
  delete a;  // an item leaves its collection when freed
  EXPECT_EQ(c.GetCount(), 2);
  EXPECT_EQ(c.FindItemID(0), nullptr);
  c.BeginUpdate();
  int before = c.updates;
  c.Add();
  c.Delete(2);
  EXPECT_EQ(c.updates, before);
  c.EndUpdate();
  EXPECT_EQ(c.updates, before + 1);
  TCountingCollection d;
  d.Assign(&c);
  ASSERT_EQ(d.GetCount(), 2);
  EXPECT_EQ(static_cast<TNamedItem*>(d.GetItem(1))->value, L"b");
  EXPECT_THROW(c.GetItem(5), EListError);
  TStringList notACollection;
  EXPECT_THROW(d.Assign(&notACollection), EConvertError);
}

TEST(Collection, OwnedCollectionKnowsItsOwner) {
  TStringList owner;
  TOwnedCollection c(&owner, [](TCollection* col) { return new TNamedItem(col); });
  EXPECT_EQ(c.GetOwner(), &owner);
  c.Add();
  EXPECT_EQ(c.GetItem(0)->GetDisplayName(), L"TCollectionItem");  // default caption
}

// ---------------------------------------------------------------------------

namespace {
struct THandlerHost : TObject {
  int hits = 0;
  void OnA(TObject*) { ++hits; }
  void OnB(TObject*) { hits += 10; }
};
}  // namespace

TEST(Events, MethodDelegatesCompareByObjectAndMethod) {
  THandlerHost x, y;
  TNotifyEvent a1(&x, &THandlerHost::OnA), a2(&x, &THandlerHost::OnA);
  TNotifyEvent b(&x, &THandlerHost::OnB), ay(&y, &THandlerHost::OnA);
  EXPECT_TRUE(a1 == a2);
  EXPECT_FALSE(a1 == b);
  EXPECT_FALSE(a1 == ay);
  EXPECT_EQ(a1.Object(), &x);
  TNotifyEvent empty, empty2(nullptr);
  EXPECT_TRUE(empty == empty2);
  EXPECT_FALSE(empty == a1);
  EXPECT_FALSE(empty.Assigned());
  // A plain callable is equal to its copies only (a handler copied from an
  // action into a control is still known as the action's).
  TNotifyEvent l1([](TObject*) {}), l2 = l1, l3([](TObject*) {});
  EXPECT_TRUE(l1 == l2);
  EXPECT_FALSE(l1 == l3);
  EXPECT_FALSE(l1 == a1);
  a1(nullptr);
  b(nullptr);
  EXPECT_EQ(x.hits, 11);
}

TEST(Bits, GrowsOnSetReadsFalsePastTheEndAndFindsTheOpenBit) {
  TBits b;
  EXPECT_EQ(0, b.GetSize());
  EXPECT_EQ(0, b.OpenBit());
  EXPECT_FALSE(b.GetBit(100));
  b.SetBit(3, true);
  EXPECT_EQ(4, b.GetSize());
  EXPECT_TRUE(b.GetBit(3));
  EXPECT_FALSE(b.GetBit(2));
  EXPECT_EQ(0, b.OpenBit());
  for (int i = 0; i < 3; ++i) b.SetBit(i, true);
  EXPECT_EQ(4, b.OpenBit());  // all set: the size
  b.SetBit(9, false);
  EXPECT_EQ(10, b.GetSize());
  EXPECT_EQ(4, b.OpenBit());
  b.SetSize(2);
  EXPECT_FALSE(b.GetBit(3));
  EXPECT_EQ(2, b.OpenBit());
  EXPECT_THROW(b.GetBit(-1), EBitsError);
  EXPECT_THROW(b.SetBit(-1, true), EBitsError);
  EXPECT_THROW(b.SetSize(-1), EBitsError);
}

#ifdef _WIN32
TEST(Classes, InterfacedObjectCountsReferencesAndFreesItselfAtZero) {
  struct Counted : TInterfacedObject {
    bool* freed;
    explicit Counted(bool* f) : freed(f) {}
    ~Counted() override { *freed = true; }
  };
  bool freed = false;
  auto* o = new Counted(&freed);
  const IID unknownId = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const IID dispatchId = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  IUnknown* u = nullptr;
  ASSERT_EQ(S_OK, o->QueryInterface(unknownId, reinterpret_cast<void**>(&u)));
  EXPECT_EQ(static_cast<IUnknown*>(o), u);
  EXPECT_EQ(2u, u->AddRef());
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, o->QueryInterface(dispatchId, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(E_POINTER, o->QueryInterface(unknownId, nullptr));
  EXPECT_EQ(1u, u->Release());
  EXPECT_FALSE(freed);
  EXPECT_EQ(0u, u->Release());
  EXPECT_TRUE(freed);
}
#endif
