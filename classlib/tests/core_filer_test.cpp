// Component streaming: properties declared in DefineProperties, trees of
// children, comparison with an ancestor, and broken streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "classlib/Filer.h"

namespace {

// An item that lives inside another item, as toolbar items do: its parent
// keeps the order, the root owns them all.
class TItem : public TComponent {
 public:
  explicit TItem(TComponent* AOwner) : TComponent(AOwner) {}
  ~TItem() override {
    SetParentComponent(nullptr);
    for (TItem* c : children_) c->parent_ = nullptr;
  }
  const char* ClassName() const override { return "TItem"; }

  std::vector<TItem*> children_;
  TItem* parent_ = nullptr;
  String Text;
  int LoadedCount = 0;
  bool TextReadUpdating = false;

  void Add(TItem* c) { c->SetParentComponent(this); }
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* Value) override {
    if (parent_) parent_->children_.erase(std::find(parent_->children_.begin(), parent_->children_.end(), this));
    parent_ = dynamic_cast<TItem*>(Value);
    if (parent_) parent_->children_.push_back(this);
  }
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override {
    for (TItem* c : children_) Proc(c);
  }
  void SetChildOrder(TComponent* Child, int Order) override {
    auto it = std::find(children_.begin(), children_.end(), Child);
    if (it == children_.end()) return;
    TItem* c = *it;
    children_.erase(it);
    children_.insert(children_.begin() + std::min<size_t>(Order, children_.size()), c);
  }
  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCount;
  }

 protected:
  void DefineProperties(TFiler* Filer) override {
    auto* a = dynamic_cast<TItem*>(Filer->GetAncestor());
    Filer->DefineProperty(
        L"Text",
        [this](TReader* R) {
          Text = R->ReadString();
          TextReadUpdating = GetComponentState().Contains(csUpdating);
        },
        [this](TWriter* W) { W->WriteString(Text); },
        a ? a->Text != Text : !Text.empty());
  }
};

// A root with a list, a version written only without ancestor, and bytes.
class TStore : public TComponent {
 public:
  explicit TStore(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  const char* ClassName() const override { return "TStore"; }
  TItem* Top = nullptr;  // the one item the root itself holds
  std::vector<String> Lines;
  std::vector<unsigned char> Bytes;
  int VersionRead = 0;

  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override {
    if (Top) Proc(Top);
  }
  void SetChildOrder(TComponent*, int) override {}

 protected:
  void DefineProperties(TFiler* Filer) override {
    auto* a = dynamic_cast<TStore*>(Filer->GetAncestor());
    Filer->DefineProperty(
        L"InternalVersion", [this](TReader* R) { VersionRead = R->ReadInteger(); },
        [](TWriter* W) { W->WriteInteger(202); }, !a);
    Filer->DefineProperty(
        L"Lines",
        [this](TReader* R) {
          Lines.clear();
          R->ReadListBegin();
          while (!R->EndOfList()) Lines.push_back(R->ReadWideString());
          R->ReadListEnd();
        },
        [this](TWriter* W) {
          W->WriteListBegin();
          for (const String& s : Lines) W->WriteWideString(s);
          W->WriteListEnd();
        },
        a ? a->Lines != Lines : !Lines.empty());
    Filer->DefineBinaryProperty(
        L"Data",
        [this](TStream* S) {
          Bytes.resize(static_cast<size_t>(S->GetSize()));
          S->ReadBuffer(Bytes.data(), S->GetSize());
        },
        [this](TStream* S) { S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size())); },
        a ? a->Bytes != Bytes : !Bytes.empty());
  }
};

const bool kRegistered = [] {
  RegisterComponentClass(L"TItem", [](TComponent* Owner) { return new TItem(Owner); });
  return true;
}();

TItem* MakeItem(TStore& root, const String& name, TItem* parent, const String& text) {
  auto* i = new TItem(&root);
  i->SetName(name);
  i->Text = text;
  if (parent) parent->Add(i);
  return i;
}

// "Name(text)[children]" of an item tree.
String Shape(TItem* i) {
  String s = i->GetName() + L"(" + i->Text + L")";
  if (!i->children_.empty()) {
    s += L"[";
    for (TItem* c : i->children_) s += Shape(c) + L" ";
    s.back() = L']';
  }
  return s;
}

// A store as its class makes it: a top item with three children.
void Build(TStore& s) {
  s.Top = MakeItem(s, L"Top", nullptr, L"top");
  MakeItem(s, L"A", s.Top, L"a");
  MakeItem(s, L"B", s.Top, L"b");
  MakeItem(s, L"C", s.Top, L"c");
}

bool Contains(TMemoryStream& m, const char* text) {
  const char* p = static_cast<const char*>(m.Memory());
  return std::search(p, p + m.GetSize(), text, text + std::strlen(text)) != p + m.GetSize();
}

}  // namespace

TEST(Filer, TreeAndDefinedPropertiesRoundTrip) {
  TStore src;
  src.SetName(L"Store");
  Build(src);
  src.Lines = {L"one", L"\u00E9t\u00E9 \U0001F600", String(300, L'x'), L""};
  src.Bytes = {0, 1, 0xFF, 7};
  MakeItem(src, L"D", src.Top->children_[1], L"d under b");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);

  // Into an empty store: every item is made through its class.
  TStore dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  EXPECT_EQ(dst.GetName(), L"Store");
  EXPECT_EQ(dst.VersionRead, 202);
  EXPECT_EQ(dst.Lines, src.Lines);
  EXPECT_EQ(dst.Bytes, src.Bytes);
  ASSERT_EQ(dst.GetComponentCount(), 5);
  auto* top = dynamic_cast<TItem*>(dst.FindComponent(L"Top"));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(Shape(top), L"Top(top)[A(a) B(b)[D(d under b)] C(c)]");
  for (int i = 0; i < dst.GetComponentCount(); ++i) {
    auto* it = static_cast<TItem*>(dst.GetComponent(i));
    EXPECT_EQ(it->LoadedCount, 1) << WideToUtf8(it->GetName());
    // Updating while its properties were read, and no longer.
    EXPECT_TRUE(it->TextReadUpdating) << WideToUtf8(it->GetName());
    EXPECT_FALSE(it->GetComponentState().Contains(csUpdating));
    EXPECT_FALSE(it->GetComponentState().Contains(csLoading));
    EXPECT_FALSE(it->GetComponentState().Contains(csReading));
  }
}

TEST(Filer, OnlyWhatDiffersFromTheAncestorIsWritten) {
  TStore ancestor;
  Build(ancestor);
  ancestor.Lines = {L"same"};
  TStore changed;
  Build(changed);
  changed.Lines = {L"same"};
  // Reordered children, one new item among them, one changed text.
  auto& kids = changed.Top->children_;
  std::swap(kids[0], kids[2]);  // C B A
  MakeItem(changed, L"N", nullptr, L"new");
  changed.Top->Add(static_cast<TItem*>(changed.FindComponent(L"N")));
  changed.Top->SetChildOrder(changed.FindComponent(L"N"), 1);  // C N B A
  static_cast<TItem*>(changed.FindComponent(L"B"))->Text = L"b2";

  TMemoryStream m;
  TWriter(&m).WriteDescendent(&changed, &ancestor);
  EXPECT_FALSE(Contains(m, "Lines"));            // equal to the ancestor's
  EXPECT_FALSE(Contains(m, "InternalVersion"));  // only without ancestor
  EXPECT_FALSE(Contains(m, "Data"));
  EXPECT_FALSE(Contains(m, "\x01" "a"));         // A's text is the ancestor's

  // Read into a store in the state its class makes: the items found there
  // stay the same objects, and take the stream's order.
  TStore dst;
  Build(dst);
  dst.Lines = {L"mine"};
  TComponent* a = dst.FindComponent(L"A");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  EXPECT_EQ(Shape(dst.Top), L"Top(top)[C(c) N(new) B(b2) A(a)]");
  EXPECT_EQ(dst.FindComponent(L"A"), a);
  EXPECT_EQ(dst.Lines, std::vector<String>{L"mine"});
  EXPECT_EQ(dst.VersionRead, 0);

  // Against an ancestor whose list differs, the list is written.
  ancestor.Lines = {L"other"};
  TMemoryStream m2;
  TWriter(&m2).WriteDescendent(&changed, &ancestor);
  EXPECT_TRUE(Contains(m2, "Lines"));
}

TEST(Filer, BrokenStreamsRaiseAndLeaveNothingLoading) {
  TStore src;
  src.SetName(L"Store");
  Build(src);
  src.Lines = {L"x"};
  TMemoryStream good;
  TWriter(&good).WriteRootComponent(&src);
  const auto* bytes = static_cast<const unsigned char*>(good.Memory());

  // Cut anywhere: an error, never a crash or a hang.
  for (int64_t cut = 0; cut < good.GetSize(); cut += 3) {
    TMemoryStream m;
    m.WriteBuffer(bytes, cut);
    m.SetPosition(0);
    TStore dst;
    EXPECT_THROW(TReader(&m).ReadRootComponent(&dst), EReadError) << cut;
    for (int i = 0; i < dst.GetComponentCount(); ++i) {
      EXPECT_FALSE(dst.GetComponent(i)->GetComponentState().Contains(csLoading));
      EXPECT_FALSE(dst.GetComponent(i)->GetComponentState().Contains(csUpdating));
    }
    EXPECT_FALSE(dst.GetComponentState().Contains(csLoading));
    EXPECT_FALSE(dst.GetComponentState().Contains(csUpdating));
  }

  // A property the class doesn't declare, and a class nobody registered.
  auto rewrite = [&](const char* from, const char* to) {
    std::string s(reinterpret_cast<const char*>(bytes), static_cast<size_t>(good.GetSize()));
    s.replace(s.find(from), std::strlen(from), to);
    auto* m = new TMemoryStream;
    m->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
    m->SetPosition(0);
    return std::unique_ptr<TMemoryStream>(m);
  };
  TStore dst;
  try {
    TReader(rewrite("Lines", "Lanes").get()).ReadRootComponent(&dst);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Error reading Store.Lanes: Property Lanes does not exist");
  }
  TStore dst2;
  try {
    TReader(rewrite("TItem", "TXtem").get()).ReadRootComponent(&dst2);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Class TXtem not found");
  }
  EXPECT_EQ(dst2.GetComponentCount(), 0);  // nothing half made is left
}

TEST(Registration, ClassesByNameAndTheTableOfPages) {
  RegisterComponents(L"Quorvel", {ComponentClass<TComponent>(L"TRegTestA"), ComponentClass<TComponent>(L"TRegTestB")});
  RegisterComponents(L"Samples", {ComponentClass<TComponent>(L"TRegTestC")});
  RegisterComponents(L"Quorvel", {ComponentClass<TComponent>(L"TRegTestB")});  // again: still once
  const std::vector<String> pages = ComponentPages();
  ASSERT_GE(pages.size(), 2u);
  EXPECT_LT(std::find(pages.begin(), pages.end(), L"Quorvel"), std::find(pages.begin(), pages.end(), L"Samples"));
  EXPECT_EQ(ComponentsOnPage(L"Quorvel"), (std::vector<String>{L"TRegTestA", L"TRegTestB"}));
  EXPECT_EQ(ComponentsOnPage(L"Samples"), (std::vector<String>{L"TRegTestC"}));
  EXPECT_TRUE(ComponentsOnPage(L"No such page").empty());
  // A registered class makes components, owned by the owner given.
  TComponent owner(nullptr);
  TComponentFactory make = FindClass(L"TRegTestC");
  ASSERT_TRUE(make);
  TComponent* c = make(&owner);
  EXPECT_EQ(c->GetOwner(), &owner);
  EXPECT_FALSE(GetClass(L"TRegTestNone"));
  try {
    FindClass(L"TRegTestNone");
    FAIL() << "FindClass of an unknown class";
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), L"Class TRegTestNone not found");
  }
  RegisterClass(ComponentClass<TComponent>(L"TRegTestD"));
  EXPECT_TRUE(GetClass(L"TRegTestD"));
  UnRegisterClass(L"TRegTestD");
  EXPECT_FALSE(GetClass(L"TRegTestD"));
}

namespace {
// An item that refers to another component by name.
class TLinkItem : public TItem {
 public:
  using TItem::TItem;
  const char* ClassName() const override { return "TLinkItem"; }
  TComponent* Target = nullptr;
  bool TargetSetAtLoaded = false;
  void Loaded() override {
    TItem::Loaded();
    TargetSetAtLoaded = Target != nullptr;
  }

 protected:
  void DefineProperties(TFiler* Filer) override {
    TItem::DefineProperties(Filer);
    Filer->DefineProperty(
        L"Target", [this](TReader* R) { R->ReadReference([this](TComponent* C) { Target = C; }); },
        [this](TWriter* W) { W->WriteReference(Target); }, true);
  }
};

const bool kLinkRegistered = [] {
  RegisterComponentClass(L"TLinkItem", [](TComponent* Owner) { return new TLinkItem(Owner); });
  return true;
}();
}  // namespace

TEST(Filer, ReferencesAreResolvedByNameOnceTheWholeStreamIsRead) {
  // Two roots held by one owner, as the application holds its forms.
  TComponent app(nullptr);
  auto* other = new TStore(&app);
  other->SetName(L"Other");
  auto* distant = new TItem(other);
  distant->SetName(L"Far");

  TStore src;
  src.SetName(L"Src");
  src.Top = MakeItem(src, L"Top", nullptr, L"top");
  auto link = [&](const String& name, TComponent* target) {
    auto* l = new TLinkItem(&src);
    l->SetName(name);
    l->Target = target;
    src.Top->Add(l);
    return l;
  };
  TLinkItem* first = link(L"First", nullptr);
  link(L"ToNothing", nullptr);
  link(L"ToRoot", &src);
  link(L"ToFar", distant);
  TLinkItem* later = link(L"Later", nullptr);
  first->Target = later;  // comes after it in the stream
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  EXPECT_TRUE(Contains(m, "Other.Far"));

  auto* dst = new TStore(&app);
  dst->Top = MakeItem(*dst, L"Top", nullptr, L"");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(dst);
  auto target = [&](const wchar_t* name) { return dynamic_cast<TLinkItem*>(dst->FindComponent(name)); };
  ASSERT_NE(target(L"First"), nullptr);
  EXPECT_EQ(target(L"First")->Target, target(L"Later"));
  EXPECT_TRUE(target(L"First")->TargetSetAtLoaded);
  EXPECT_EQ(target(L"ToNothing")->Target, nullptr);
  EXPECT_EQ(target(L"ToRoot")->Target, dst);
  EXPECT_EQ(target(L"ToFar")->Target, distant);

  // A name that stands for nothing leaves the reference as it was.
  delete distant;
  auto* again = new TStore(&app);
  again->SetName(L"Again");
  again->Top = MakeItem(*again, L"Top", nullptr, L"");
  auto* kept = new TLinkItem(again);
  kept->SetName(L"ToFar");
  again->Top->Add(kept);
  kept->Target = again->Top;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again);
  EXPECT_EQ(kept->Target, again->Top);
}

namespace {
// Its parts, each with the same property names, written inside one value
// of its own ("Parts").
class TWithParts : public TComponent {
 public:
  TWithParts() : TComponent(nullptr) { SetName(L"Whole"); }
  const char* ClassName() const override { return "TWithParts"; }
  std::vector<String> Parts{L"first", L"second"};

 protected:
  void DefineProperties(TFiler* Filer) override {
    Filer->DefineProperty(L"Parts", nullptr, [](TWriter* W) { W->WriteString(L"before"); }, true);
    Filer->DefineProperty(
        L"Parts", nullptr,
        [this](TWriter* W) {
          W->WriteListBegin();
          for (const String& P : Parts)
            W->DefineProperty(L"Text", nullptr, [&](TWriter* X) { X->WriteString(P); }, true);
          W->WriteListEnd();
        },
        true);
  }
};
}  // namespace

TEST(Filer, ANameDeclaredTwiceIsWrittenOnceButAValuesPartsAllAre) {
  TWithParts whole;
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&whole);
  const std::string bytes(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\x05" "Parts"), 1);
  EXPECT_EQ(count("before"), 0);
  EXPECT_EQ(count("Text"), 2);
  EXPECT_EQ(count("first") + count("second"), 2);
}
