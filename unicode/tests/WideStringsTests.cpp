// Wide-string lists: loading by byte-order mark, saving, text splitting,
// sorted lists and duplicates, names and values, comma text, events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "unicode/UnicodeUtils.h"
#include "unicode/WideStrings.h"

namespace {

std::vector<std::u16string> Lines(const TWideStrings& list) {
  std::vector<std::u16string> out;
  for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.Get(i));
  return out;
}

using L = std::vector<std::u16string>;


void Load(TWideStrings& list, const std::string& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  list.LoadFromStream(&stream);
}

std::string Saved(TWideStrings& list) {
  TMemoryStream stream;
  list.SaveToStream(&stream);
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<std::size_t>(stream.GetSize()));
}

std::string LE(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::string BE(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c >> 8));
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EStringListError& e) {
    return WideToUtf8(e.Message());
  }
  return "(no error)";
}

}  // namespace

TEST(WideStringListLoad, Utf16ByByteOrderMark) {
  TWideStringList list;
  Load(list, "\xFF\xFE" + LE(u"a\u00E9\r\n\u4E2D\U0001F600\r\nlast"));
  EXPECT_EQ(Lines(list), (L{u"a\u00E9", u"\u4E2D\U0001F600", u"last"}));
  EXPECT_TRUE(list.GetSaveUnicode());

  TWideStringList big;
  Load(big, "\xFE\xFF" + BE(u"one\r\ntwo\u4E2D\n"));
  EXPECT_EQ(Lines(big), (L{u"one", u"two\u4E2D"}));
  EXPECT_TRUE(big.GetSaveUnicode());
  // Saving writes FF FE and little-endian text, whatever the source order.
  EXPECT_EQ(Saved(big), "\xFF\xFE" + LE(u"one\r\ntwo\u4E2D\r\n"));
  EXPECT_TRUE(big.GetSaved());
}

TEST(WideStringListLoad, OddTrailingByteAndNul) {
  TWideStringList list;
  Load(list, "\xFF\xFE" + LE(u"ab\r\ncd") + "x");
  EXPECT_EQ(Lines(list), (L{u"ab", u"cd"}));
  Load(list, "\xFF\xFE");
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_TRUE(list.GetSaveUnicode());
  Load(list, "\xFF\xFE" "A");  // the mark and one odd byte
  EXPECT_EQ(list.GetCount(), 0);
  Load(list, "\xFF\xFE" + LE(std::u16string(u"one\r\ntwo\0three\r\nfour", 19)));
  EXPECT_EQ(Lines(list), (L{u"one", u"two"}));
  Load(list, "\xFE\xFF" + BE(std::u16string(u"x\0y", 3)));
  EXPECT_EQ(Lines(list), (L{u"x"}));
}

TEST(WideStringListLoad, AnsiWithoutMark) {
  TWideStringList list;
  Load(list, "caf\xE9\r\n\x80 sign\r\n");
  EXPECT_EQ(Lines(list), (L{u"caf\u00E9", u"\u20AC sign"}));
  EXPECT_FALSE(list.GetSaveUnicode());
  Load(list, "A");  // one byte
  EXPECT_EQ(Lines(list), (L{u"A"}));
  Load(list, "\xFF");  // one byte that begins a mark
  EXPECT_EQ(Lines(list), (L{u"\u00FF"}));
  Load(list, "");
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_FALSE(list.GetSaveUnicode());
  Load(list, "x\ry\nz\r\n\r\nw");  // lone CR, lone LF, CR LF
  EXPECT_EQ(Lines(list), (L{u"x", u"y", u"z", u"", u"w"}));
}

TEST(WideStringListLoad, ReadsFromTheStreamPosition) {
  TMemoryStream stream;
  std::string bytes = "skip" + std::string("\xFF\xFE") + LE(u"text");
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(4);
  TWideStringList list;
  list.LoadFromStream(&stream);
  EXPECT_EQ(Lines(list), (L{u"text"}));
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
}

TEST(WideStringListText, SplittingAndJoining) {
  TWideStringList list;
  list.SetTextStr(u"a\r\n\r\nb");
  EXPECT_EQ(Lines(list), (L{u"a", u"", u"b"}));
  list.SetTextStr(u"a\n\rb");
  EXPECT_EQ(Lines(list), (L{u"a", u"", u"b"}));
  list.SetTextStr(u"a\u2028b\u2029c\x0B" u"d\x0C" u"e");
  EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c", u"d", u"e"}));
  list.SetTextStr(u"end\r\n");
  EXPECT_EQ(Lines(list), (L{u"end"}));
  list.SetTextStr(u"\r\n");
  EXPECT_EQ(Lines(list), (L{u""}));
  list.SetTextStr(u"");
  EXPECT_EQ(list.GetCount(), 0);
  list.SetTextStr(std::u16string(u"x\0y", 3));
  EXPECT_EQ(Lines(list), (L{u"x"}));
  list.SetTextStr(u"one\ntwo");
  EXPECT_EQ(list.GetTextStr(), u"one\r\ntwo\r\n");
  char16_t* text = list.GetText();
  EXPECT_EQ(std::u16string(text), u"one\r\ntwo\r\n");
  StrDisposeW(text);
  list.SetText(u"p\rq");
  EXPECT_EQ(Lines(list), (L{u"p", u"q"}));
  list.SetText(nullptr);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(WideStringListSave, AnsiLossIsDecidedByTheConverter) {
  TWideStringList list;
  list.Add(u"caf\u00E9 \u20AC");  // the euro sign is above 255 but fits 1252
  int asked = 0;
  list.OnConfirmConversion = [&](TWideStrings*, bool&) { ++asked; };
  EXPECT_EQ(Saved(list), "caf\xE9 \x80\r\n");
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(list.GetSaved());

  list.Add(u"\u4E2D");
  list.OnConfirmConversion = [&](TWideStrings*, bool& allowed) {
    ++asked;
    allowed = false;
  };
  EXPECT_EQ(Saved(list), "");
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(list.GetSaved());

  list.OnConfirmConversion = [&](TWideStrings*, bool&) { ++asked; };
  std::string bytes = Saved(list);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(list.GetSaved());
  EXPECT_EQ(bytes, "caf\xE9 \x80\r\n?\r\n");
  EXPECT_EQ(bytes.size(), 11u);  // one default character for the lost one

  list.OnConfirmConversion = nullptr;
  EXPECT_EQ(Saved(list).size(), 11u);

  list.SetSaveUnicode(true);
  EXPECT_EQ(Saved(list), "\xFF\xFE" + LE(u"caf\u00E9 \u20AC\r\n\u4E2D\r\n"));

  // Look-alikes the converter would put in silently (a, A and -) are
  // asked for, each on its own, and a refusal writes nothing.
  for (char16_t c : {u'\u0101', u'\uFF21', u'\u2212'}) {
    TWideStringList one;
    one.Add(WideString(1, c));
    int askedHere = 0;
    one.OnConfirmConversion = [&](TWideStrings*, bool& allowed) {
      ++askedHere;
      allowed = false;
    };
    EXPECT_EQ(Saved(one), "") << std::hex << int(c);
    EXPECT_EQ(askedHere, 1) << std::hex << int(c);
    EXPECT_FALSE(one.GetSaved());
  }
}

TEST(WideStringListSave, FilesRoundTripAndMissingFile) {
  std::string path = std::string(::testing::TempDir()) + "zembrio_unicode_list.txt";
  String name = Utf8ToWide(path);
  TWideStringList list;
  list.Add(u"\u4E2D\u6587");
  list.Add(u"line two");
  list.SetSaveUnicode(true);
  list.SaveToFile(name);
  TWideStringList back;
  back.LoadFromFile(name);
  EXPECT_TRUE(back.Equals(&list));
  EXPECT_TRUE(back.GetSaveUnicode());
  std::remove(path.c_str());

  back.Add(u"kept");
  EXPECT_THROW(back.LoadFromFile(name + L".missing"), EStreamError);
  EXPECT_EQ(back.GetCount(), 3);
}

TEST(WideStringListSorted, DuplicateModes) {
  TWideStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add(u"pear"), 0);
  EXPECT_EQ(list.Add(u"apple"), 0);
  EXPECT_EQ(list.Add(u"Mango"), 1);
  EXPECT_EQ(Lines(list), (L{u"apple", u"Mango", u"pear"}));
  // dupIgnore: an equal string in any letter case is found, nothing added.
  EXPECT_EQ(list.Add(u"MANGO"), 1);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.IndexOf(u"PEAR"), 2);
  EXPECT_EQ(list.IndexOf(u"kiwi"), -1);
  int index = -1;
  EXPECT_FALSE(list.Find(u"banana", index));
  EXPECT_EQ(index, 1);

  list.SetDuplicates(dupAccept);
  EXPECT_EQ(list.Add(u"mango"), 1);  // goes in front of the first equal one
  EXPECT_EQ(list.Add(u"MANGO"), 1);
  EXPECT_EQ(Lines(list), (L{u"apple", u"MANGO", u"mango", u"Mango", u"pear"}));
  EXPECT_TRUE(list.Find(u"mAnGo", index));
  EXPECT_EQ(index, 1);

  list.SetDuplicates(dupError);
  EXPECT_EQ(ErrorOf([&] { list.Add(u"Apple"); }), "String list does not allow duplicates");
  EXPECT_EQ(list.GetCount(), 5);
  EXPECT_EQ(list.Add(u"zucchini"), 5);
}

TEST(WideStringListSorted, RefusedOperationsAndBounds) {
  TWideStringList list;
  list.Add(u"b");
  list.Add(u"a");
  EXPECT_EQ(ErrorOf([&] { list.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Insert(3, u"x"); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { list.Exchange(0, 5); }), "List index out of bounds (5)");
  EXPECT_EQ(ErrorOf([&] { list.PutObject(2, nullptr); }), "List index out of bounds (2)");
  list.Insert(2, u"c");  // at the count: appends
  EXPECT_EQ(Lines(list), (L{u"b", u"a", u"c"}));
  list.Delete(2);  // the last item
  EXPECT_EQ(Lines(list), (L{u"b", u"a"}));
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (L{u"a", u"b"}));
  EXPECT_EQ(ErrorOf([&] { list.Insert(0, u"x"); }), "Operation not allowed on sorted string list");
  EXPECT_EQ(ErrorOf([&] { list.Insert(99, u"x"); }), "Operation not allowed on sorted string list");
  EXPECT_EQ(ErrorOf([&] { list.Put(0, u"x"); }), "Operation not allowed on sorted string list");
  EXPECT_EQ(ErrorOf([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
}

TEST(WideStringListSorted, SortingManyStrings) {
  std::mt19937 rng(7);
  TWideStringList list;
  std::vector<std::u16string> words;
  for (int i = 0; i < 500; ++i) {
    std::u16string w;
    int len = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < len; ++k) w.push_back(static_cast<char16_t>(u'a' + rng() % 5));
    words.push_back(w);
    list.AddObject(w, reinterpret_cast<TObject*>(static_cast<std::uintptr_t>(i + 1)));
  }
  list.Sort();
  ASSERT_EQ(list.GetCount(), 500);
  for (int i = 1; i < list.GetCount(); ++i) EXPECT_LE(list.Get(i - 1), list.Get(i)) << i;
  // Objects travel with their strings.
  for (int i = 0; i < list.GetCount(); ++i) {
    auto id = reinterpret_cast<std::uintptr_t>(list.GetObject(i));
    EXPECT_EQ(words[id - 1], list.Get(i));
  }
  list.SetSorted(true);
  list.SetLanguage(list.GetLanguage());  // re-sorts, keeps the order
  for (int i = 1; i < list.GetCount(); ++i) EXPECT_LE(list.Get(i - 1), list.Get(i));
}

TEST(WideStringListBasics, ObjectsMovesAndCapacity) {
  TWideStringList list;
  TObject* a = reinterpret_cast<TObject*>(std::uintptr_t(16));
  TObject* b = reinterpret_cast<TObject*>(std::uintptr_t(32));
  list.AddObject(u"one", a);
  list.InsertObject(0, u"zero", b);
  EXPECT_EQ(list.GetObject(0), b);
  EXPECT_EQ(list.IndexOfObject(a), 1);
  EXPECT_EQ(list.IndexOfObject(nullptr), -1);
  list.Put(0, u"nil");
  EXPECT_EQ(list.GetObject(0), b);  // Put keeps the object
  list.Exchange(0, 1);
  EXPECT_EQ(Lines(list), (L{u"one", u"nil"}));
  EXPECT_EQ(list.GetObject(0), a);
  list.Append(u"two");
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (L{u"nil", u"two", u"one"}));
  EXPECT_EQ(list.GetObject(2), a);
  EXPECT_EQ(list.IndexOf(u"TWO"), 1);

  TWideStringList growing;
  std::vector<int> capacities;
  for (int i = 0; i < 80; ++i) {
    growing.Add(u"x");
    if (capacities.empty() || capacities.back() != growing.GetCapacity())
      capacities.push_back(growing.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
  growing.Clear();
  EXPECT_EQ(growing.GetCapacity(), 0);
}

TEST(WideStringListBasics, NamesAndValues) {
  TWideStringList list;
  list.Add(u"Path=C:\\x");
  list.Add(u"no value here");
  list.Add(u"Mode=a=b");
  EXPECT_EQ(list.GetName(0), u"Path");
  EXPECT_EQ(list.GetName(1), u"");
  EXPECT_EQ(list.IndexOfName(u"MODE"), 2);
  EXPECT_EQ(list.GetValue(u"mode"), u"a=b");
  EXPECT_EQ(list.GetValue(u"absent"), u"");
  list.SetValue(u"Path", u"D:\\y");
  EXPECT_EQ(list.Get(0), u"Path=D:\\y");
  list.SetValue(u"New", u"1");
  EXPECT_EQ(list.Get(3), u"New=1");
  list.SetValue(u"path", u"");
  EXPECT_EQ(Lines(list), (L{u"no value here", u"Mode=a=b", u"New=1"}));
  list.SetValue(u"absent", u"");
  EXPECT_EQ(list.GetCount(), 3);
}

TEST(WideStringListBasics, CommaText) {
  TWideStringList list;
  list.Add(u"plain");
  list.Add(u"two words");
  list.Add(u"say \"hi\"");
  list.Add(u"a,b");
  list.Add(u"");
  EXPECT_EQ(list.GetCommaText(), u"plain,\"two words\",\"say \"\"hi\"\"\",\"a,b\",\"\"");
  TWideStringList back;
  back.SetCommaText(list.GetCommaText());
  EXPECT_EQ(Lines(back), Lines(list));
  TWideStringList single;
  single.Add(u"");
  EXPECT_EQ(single.GetCommaText(), u"\"\"");
  back.SetCommaText(u"  one, two ,three\t\"four five\"");
  EXPECT_EQ(Lines(back), (L{u"one", u"two", u"three", u"four five"}));
  back.SetCommaText(u"");
  EXPECT_EQ(back.GetCount(), 0);
  TWideStringList none;
  EXPECT_EQ(none.GetCommaText(), u"");
}

TEST(WideStringListBasics, ChangeEvents) {
  TWideStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changing;
  };
  list.OnChange = [&](TObject*) { ++changed; };
  list.Add(u"a");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  list.Put(0, u"b");
  list.PutObject(0, nullptr);
  list.Delete(0);
  EXPECT_EQ(changed, 4);
  list.Clear();  // empty: nothing happens
  EXPECT_EQ(changed, 4);
  list.BeginUpdate();
  EXPECT_EQ(changing, 5);
  list.Add(u"x");
  list.Add(u"y");
  list.BeginUpdate();
  list.Clear();
  list.EndUpdate();
  EXPECT_EQ(changed, 4);
  list.EndUpdate();
  EXPECT_EQ(changed, 5);
  EXPECT_EQ(changing, 5);
  list.SetTextStr(u"1\r\n2\r\n3");  // one change for the whole text
  EXPECT_EQ(changed, 6);
  list.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(changed, 6);
}

TEST(WideStringListBasics, AssignWithPlatformLists) {
  TWideStringList wide;
  wide.Add(u"caf\u00E9");
  wide.Add(u"\u4E2D");
  TStringList plain;
  plain.Assign(&wide);
  ASSERT_EQ(plain.GetCount(), 2);
  EXPECT_EQ(ToWideString(plain.Get(0)), u"caf\u00E9");
  EXPECT_EQ(ToWideString(plain.Get(1)), u"\u4E2D");
  plain.Add(L"third");
  TWideStringList back;
  back.Add(u"old");
  back.Assign(&plain);
  EXPECT_EQ(Lines(back), (L{u"caf\u00E9", u"\u4E2D", u"third"}));
  TWideStringList copy;
  copy.Assign(&back);
  EXPECT_TRUE(copy.Equals(&back));
  copy.Put(0, u"CAF\u00C9");
  EXPECT_FALSE(copy.Equals(&back));  // Equals is case-sensitive
  copy.AddStrings(&copy);
  EXPECT_EQ(copy.GetCount(), 6);
}

TEST(WideStringListBasics, AssignFromAnUnrelatedObjectRaises) {
  TWideStringList list;
  list.Add(u"kept");
  TPersistent other;
  EXPECT_THROW(list.Assign(&other), EConvertError);
  EXPECT_EQ(list.GetCount(), 1);
}

TEST(WideStringListBasics, RefusedMovesLoseNothing) {
  TWideStringList list;
  list.Add(u"a");
  list.Add(u"b");
  list.Add(u"c");
  list.Move(2, 0);
  EXPECT_EQ(Lines(list), (L{u"c", u"a", u"b"}));
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c"}));
  EXPECT_THROW(list.Move(0, 3), EStringListError);
  EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c"}));
  list.SetSorted(true);
  EXPECT_THROW(list.Move(0, 1), EStringListError);
  EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c"}));
}

namespace {

// The least a list must provide; everything else is the base class's.
class TPlainWideStrings : public TWideStrings {
 public:
  WideString Get(int Index) const override {
    Check(Index, GetCount());
    return items_[static_cast<std::size_t>(Index)];
  }
  int GetCount() const override { return static_cast<int>(items_.size()); }
  void Clear() override { items_.clear(); }
  void Delete(int Index) override {
    Check(Index, GetCount());
    items_.erase(items_.begin() + Index);
  }
  void Insert(int Index, const WideString& S) override {
    Check(Index, GetCount() + 1);
    items_.insert(items_.begin() + Index, S);
  }

 private:
  void Check(int Index, int Limit) const {
    if (Index < 0 || Index >= Limit) Error(L"List index out of bounds (%d)", Index);
  }
  std::vector<WideString> items_;
};

}  // namespace

TEST(WideStringsBase, PutOutsideTheListRaisesAndChangesNothing) {
  TPlainWideStrings list;
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(ErrorOf([&] { list.Put(2, u"x"); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Put(-1, u"x"); }), "List index out of bounds (-1)");
  EXPECT_EQ(Lines(list), (L{u"a", u"b"}));
  list.Put(1, u"B");
  list.Exchange(0, 1);
  EXPECT_EQ(Lines(list), (L{u"B", u"a"}));
}

namespace {

// A component that stores a list, as a form stores one of its lists.
class THolder : public TComponent {
 public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "THolder"; }
  TWideStringList List;

 protected:
  void DefineProperties(TFiler* Filer) override {
    TComponent::DefineProperties(Filer);
    // The list is compared with the ancestor's list.
    TPersistent* A = Filer->GetAncestor();
    auto* H = dynamic_cast<THolder*>(A);
    Filer->SetAncestor(H ? &H->List : nullptr);
    List.DefineProperties(Filer);
    Filer->SetAncestor(A);
  }
};

std::string Written(THolder& H, THolder* Ancestor = nullptr) {
  TMemoryStream S;
  TWriter W(&S);
  W.WriteDescendent(&H, Ancestor);
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
}

void ReadInto(THolder& H, const std::string& Bytes) {
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S.SetPosition(0);
  TReader R(&S);
  R.ReadRootComponent(&H);
}

TEST(WideStringListStreaming, RoundTripsThroughAComponentStream) {
  THolder H(nullptr);
  H.SetName(L"Holder");
  H.List.Add(u"plain");
  H.List.Add(u"");
  H.List.Add(u"\u00e9t\u00e9 \u4e2d \U0001F600");
  H.List.AddObject(u"with object", &H);
  std::string Bytes = Written(H);
  EXPECT_NE(Bytes.find("WideStrings"), std::string::npos);
  THolder Back(nullptr);
  Back.List.Add(u"old line");
  ReadInto(Back, Bytes);
  EXPECT_EQ(Lines(Back.List), Lines(H.List));
  EXPECT_EQ(Back.List.GetObject(3), nullptr);  // objects are not stored

  // Cut short after its first line: the read fails and the lines stay.
  THolder Held(nullptr);
  Held.List.Add(u"held");
  const size_t Name = Bytes.find("WideStrings");
  ASSERT_NE(Name, std::string::npos);
  TMemoryStream Whole;
  Whole.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  Whole.SetPosition(static_cast<int64_t>(Name + 11));
  TReader R(&Whole);
  R.ReadListBegin();
  R.SkipValue();  // the first line
  EXPECT_THROW(ReadInto(Held, Bytes.substr(0, static_cast<size_t>(Whole.GetPosition()))), Exception);
  ASSERT_EQ(Held.List.GetCount(), 1);
  EXPECT_EQ(Held.List.Get(0), u"held");
}

TEST(WideStringListStreaming, WrittenOnlyWhenNotEmptyOrDifferentFromTheAncestor) {
  THolder H(nullptr);
  EXPECT_EQ(Written(H).find("WideStrings"), std::string::npos);
  H.List.Add(u"a");
  THolder Same(nullptr);
  Same.List.Add(u"a");
  EXPECT_EQ(Written(H, &Same).find("WideStrings"), std::string::npos);
  THolder Other(nullptr);
  Other.List.Add(u"A");  // differs in case only
  EXPECT_NE(Written(H, &Other).find("WideStrings"), std::string::npos);
  H.List.Clear();  // emptied against a non-empty ancestor: stored, empty
  std::string Bytes = Written(H, &Same);
  ASSERT_NE(Bytes.find("WideStrings"), std::string::npos);
  THolder Back(nullptr);
  Back.List.Add(u"a");
  ReadInto(Back, Bytes);
  EXPECT_EQ(Back.List.GetCount(), 0);
}

}  // namespace
