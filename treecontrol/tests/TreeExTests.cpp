// The tree control on a real window: event orders, deletion, re-creation,
// streams, check marks, selection, sorting, printing arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/PropFiler.h"
#include "extlib/ExProps.h"
#include "testsupport/Pump.h"
#include "treecontrol/TreeEx.h"

namespace {

using testsupport::Pump;
using testsupport::PumpUntil;

String Name(TTreeExNode* N) { return N ? N->GetText() : String(L"nil"); }

// Records events as text lines.
class Recorder {
 public:
  std::vector<String> Log;
  void Hook(TCustomTreeEx* T) {
    T->OnChanging = [this](TObject*, TTreeExNode* N, bool& Allow) {
      Log.push_back(L"changing " + Name(N));
      if (N && N->GetText() == Veto) Allow = false;
    };
    T->OnChange = [this](TObject*, TTreeExNode* N) { Log.push_back(L"change " + Name(N)); };
    T->OnExpanding = [this](TObject*, TTreeExNode* N, bool&) { Log.push_back(L"expanding " + Name(N)); };
    T->OnExpanded = [this](TObject*, TTreeExNode* N) { Log.push_back(L"expanded " + Name(N)); };
    T->OnCollapsing = [this](TObject*, TTreeExNode* N, bool&) { Log.push_back(L"collapsing " + Name(N)); };
    T->OnCollapsed = [this](TObject*, TTreeExNode* N) { Log.push_back(L"collapsed " + Name(N)); };
  }
  String Veto;
};

class TreeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Form = new TForm(nullptr);
    Form->SetBounds(40, 40, 400, 300);
    Form->Show();
  }
  static void TearDownTestSuite() {
    delete Form;
    Form = nullptr;
  }
  void SetUp() override {
    Tree = new TTreeEx(Form);
    Tree->SetBounds(0, 0, 300, 250);
    Tree->SetParent(Form);
    Tree->HandleNeeded();
  }
  void TearDown() override {
    // Handlers capture the test's locals, which are gone by now.
    Tree->OnChanging = nullptr;
    Tree->OnChange = nullptr;
    Tree->OnExpanding = nullptr;
    Tree->OnExpanded = nullptr;
    Tree->OnCollapsing = nullptr;
    Tree->OnCollapsed = nullptr;
    Tree->OnDeletion = nullptr;
    Tree->OnChecked = nullptr;
    Tree->OnChecking = nullptr;
    Tree->OnCompare = nullptr;
    Tree->OnLevelError = nullptr;
    delete Tree;
    Pump(1);
  }
  // Clicks a node's label: the release is queued first, so the native
  // tracking loop ends at once.
  void Click(TTreeExNode* N, UINT Down = WM_LBUTTONDOWN, UINT Up = WM_LBUTTONUP) {
    TRect R = N->DisplayRect(true);
    LPARAM P = MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2);
    PostMessageW(Tree->GetHandle(), Up, 0, P);
    SendMessageW(Tree->GetHandle(), Down, Down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, P);
    Pump(5);
  }
  static TForm* Form;
  TTreeEx* Tree = nullptr;
};
TForm* TreeTest::Form = nullptr;

// ---------------------------------------------------------------------------
// Nodes and the collection

TEST_F(TreeTest, NavigationAndQueries) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* A = I->AddChild(nullptr, L"A");
  TTreeExNode* A1 = I->AddChild(A, L"A1");
  TTreeExNode* A2 = I->AddChild(A, L"A2");
  TTreeExNode* A21 = I->AddChild(A2, L"A21");
  TTreeExNode* B = I->Add(A, L"B");
  TTreeExNode* A0 = I->AddChildFirst(A, L"A0");
  TTreeExNode* A15 = I->Insert(A2, L"A15");
  EXPECT_EQ(A->GetParent(), nullptr);
  EXPECT_EQ(A->GetLevel(), 0);
  EXPECT_EQ(A21->GetLevel(), 2);
  std::vector<String> Order;
  for (TTreeExNode* N = I->GetFirstNode(); N; N = N->GetNext()) Order.push_back(N->GetText());
  EXPECT_EQ(Order, (std::vector<String>{L"A", L"A0", L"A1", L"A15", L"A2", L"A21", L"B"}));
  EXPECT_EQ(B->GetPrev(), A21);
  EXPECT_EQ(A0->GetPrev(), A);
  EXPECT_EQ(A->GetPrev(), nullptr);
  EXPECT_EQ(A15->GetIndex(), 2);
  EXPECT_EQ(A->GetAbsoluteCount(), 5);
  EXPECT_EQ(A21->GetAbsoluteIndex(), 5);
  EXPECT_EQ(I->GetNodeFromIndex(6), B);
  EXPECT_THROW(I->GetNodeFromIndex(7), EListError);
  EXPECT_EQ(A->GetNextChild(A1), A15);
  EXPECT_EQ(B->GetNextChild(A1), nullptr);
  EXPECT_TRUE(A21->HasAsParent(A));
  EXPECT_FALSE(A->HasAsParent(A21));
  EXPECT_THROW(A->GetItem(4), ETreeExError);
  EXPECT_THROW(A->GetItem(-1), EListError);
  EXPECT_EQ(I->FindNode(TFindFlags{ffText}, L"a15", nullptr), A15);
  EXPECT_EQ(I->FindNode(TFindFlags{}, L"A15", nullptr), nullptr);
  EXPECT_EQ(I->GetCount(), 7);
  EXPECT_FALSE(A21->IsNodeVisible());
  A->Expand(false);
  EXPECT_EQ(A1->GetNextVisible(), A15);
  EXPECT_EQ(A2->GetNextVisible(), B);
}

TEST_F(TreeTest, UnicodeTextReachesTheNativeItem) {
  const String Text = L"Schl\u00fcssel \u041a\u043b\u044e\u0447 \u4e2d";
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, Text);
  wchar_t Buf[64] = {};
  TVITEMW I{};
  I.mask = TVIF_TEXT;
  I.hItem = N->GetItemId();
  I.pszText = Buf;
  I.cchTextMax = 64;
  SendMessageW(Tree->GetHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&I));
  EXPECT_EQ(String(I.pszText), Text);
  // The control holds its own copy of the text: a rename renews it, inside
  // an update bracket too.
  auto Native = [&](TTreeExNode* Node) {
    wchar_t B[64] = {};
    TVITEMW It{};
    It.mask = TVIF_TEXT;
    It.hItem = Node->GetItemId();
    It.pszText = B;
    It.cchTextMax = 64;
    SendMessageW(Tree->GetHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&It));
    return String(It.pszText);
  };
  N->SetText(L"renamed");
  EXPECT_EQ(Native(N), L"renamed");
  Tree->Items()->BeginUpdate();
  TTreeExNode* C = Tree->Items()->AddChild(N, L"child");
  C->SetText(L"child2");
  C->SetImageIndex(4);
  Tree->Items()->EndUpdate();
  EXPECT_EQ(Native(C), L"child2");
  EXPECT_EQ(C->GetImageIndex(), 4);
}

TEST_F(TreeTest, DisplayInfoBufferSizesAreRespected) {
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"Hello");
  NMTVDISPINFOW DI{};
  DI.hdr.code = TVN_GETDISPINFOW;
  DI.hdr.hwndFrom = Tree->GetHandle();
  wchar_t Buf[4] = {L'x', L'x', L'x', L'x'};
  DI.item.mask = TVIF_TEXT;
  DI.item.lParam = reinterpret_cast<LPARAM>(N);
  DI.item.pszText = Buf;
  DI.item.cchTextMax = 0;
  Tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&DI));
  EXPECT_EQ(Buf[0], L'x');  // no room at all: nothing written
  DI.item.cchTextMax = 1;
  Tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&DI));
  EXPECT_EQ(Buf[0], L'\0');
  EXPECT_EQ(Buf[1], L'x');
  DI.item.cchTextMax = 3;
  Tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&DI));
  EXPECT_EQ(String(Buf), L"He");
}

TEST_F(TreeTest, DeleteChildrenClearsTheButtonAndMoveToRefusesDescendants) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* A = I->AddChild(nullptr, L"A");
  A->SetChildren(true);
  EXPECT_TRUE(A->GetChildren());
  A->DeleteChildren();
  EXPECT_FALSE(A->GetChildren());
  TTreeExNode* A1 = I->AddChild(A, L"A1");
  TTreeExNode* B = I->AddChild(nullptr, L"B");
  Tree->SetSelection(B);
  A->MoveTo(A1, naAddChild);
  EXPECT_EQ(A->GetParent(), nullptr);
  EXPECT_EQ(Tree->GetSelection(), B);
  A1->MoveTo(B, naAddChild);
  EXPECT_EQ(A1->GetParent(), B);
  EXPECT_FALSE(A->GetChildren());
  EXPECT_TRUE(B->GetExpanded());
  EXPECT_EQ(I->GetNode(A1->GetItemId()), A1);
  EXPECT_EQ(Tree->GetSelection(), B);
}

// ---------------------------------------------------------------------------
// Event orders

TEST_F(TreeTest, InsertingReportsEachNodeAndDelayedChangesCoalesce) {
  Recorder R;
  R.Hook(Tree);
  Tree->Items()->AddChild(nullptr, L"a");
  Tree->Items()->AddChild(nullptr, L"b");
  Tree->Items()->AddChild(nullptr, L"c");
  EXPECT_EQ(R.Log, (std::vector<String>{L"change a", L"change b", L"change c"}));
  R.Log.clear();
  Tree->SetChangeDelay(50);
  Tree->Items()->AddChild(nullptr, L"d");
  Tree->Items()->AddChild(nullptr, L"e");
  EXPECT_TRUE(R.Log.empty());
  EXPECT_TRUE(PumpUntil([&] { return !R.Log.empty(); }, 10000));
  Pump(100);  // time for a second report, were there one
  EXPECT_EQ(R.Log, (std::vector<String>{L"change e"}));
}

TEST_F(TreeTest, PlainClickClearsThenSelects) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"B");
  Tree->SetSelection(A);
  Recorder R;
  R.Hook(Tree);
  Click(B);
  EXPECT_EQ(R.Log, (std::vector<String>{L"changing A", L"change nil", L"changing B", L"change B"}));
  EXPECT_EQ(Tree->GetSelection(), B);
  EXPECT_EQ(Tree->Items()->GetFirstSelectedNode(), B);
  EXPECT_EQ(Tree->Items()->GetSelectedCount(), 1);
}

TEST_F(TreeTest, ChangingVetoKeepsTheOldSelection) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"B");
  Tree->SetSelection(A);
  Recorder R;
  R.Hook(Tree);
  R.Veto = L"B";
  Tree->SetSelection(B);
  EXPECT_EQ(R.Log, (std::vector<String>{L"changing B"}));
  EXPECT_EQ(Tree->GetSelection(), A);
  R.Log.clear();
  Click(B);
  EXPECT_EQ(Tree->GetSelection(), A);
  EXPECT_EQ(Tree->Items()->GetFirstSelectedNode(), A);
  for (const String& L : R.Log) EXPECT_NE(L, L"change B");
}

TEST_F(TreeTest, ExpandingFromCodeReportsOnce) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  Tree->Items()->AddChild(A, L"A1");
  Recorder R;
  R.Hook(Tree);
  A->Expand(false);
  EXPECT_EQ(R.Log, (std::vector<String>{L"expanding A", L"expanded A"}));
  EXPECT_TRUE(A->GetExpanded());
  EXPECT_TRUE(A->GetState(nsExpanded));
  R.Log.clear();
  TTreeExNode* L = Tree->Items()->AddChild(nullptr, L"Leaf");
  L->Collapse(false);
  EXPECT_TRUE(R.Log.size() == 1 && R.Log[0] == L"change Leaf");
}

TEST_F(TreeTest, CollapseThatDeletesChildrenFreesEachRecordOnce) {
  struct Rec {
    int Id;
  };
  std::set<Rec*> Live;
  std::vector<String> Deleted;
  int Frees = 0;
  TTreeExNodes* I = Tree->Items();
  Tree->OnDeletion = [&](TObject* Sender, TTreeExNode* N) {
    EXPECT_EQ(Sender, I);
    Deleted.push_back(N->GetText());
    auto* R = static_cast<Rec*>(N->GetData());
    if (R) {
      EXPECT_EQ(Live.count(R), 1u);
      Live.erase(R);
      delete R;
      ++Frees;
    }
  };
  Tree->OnCollapsed = [&](TObject*, TTreeExNode* N) {
    N->DeleteChildren();
    N->SetChildren(true);
  };
  auto Add = [&](TTreeExNode* P, const wchar_t* T) {
    Rec* R = new Rec{0};
    Live.insert(R);
    return I->AddChildObject(P, T, R);
  };
  TTreeExNode* Top = Add(nullptr, L"Top");
  TTreeExNode* K1 = Add(Top, L"K1");
  Add(K1, L"K11");
  Add(K1, L"K12");
  Add(Top, L"K2");
  Top->Expand(false);
  K1->Expand(false);
  Tree->SetSelection(K1);
  Top->Collapse(false);
  EXPECT_EQ(Deleted, (std::vector<String>{L"K11", L"K12", L"K1", L"K2"}));
  EXPECT_EQ(Frees, 4);
  EXPECT_EQ(Top->GetCount(), 0);
  EXPECT_TRUE(Top->GetChildren());
  EXPECT_EQ(Tree->GetSelection(), Top);
  EXPECT_EQ(I->GetFirstSelectedNode(), Top);
  delete Tree;
  Tree = nullptr;
  EXPECT_TRUE(Live.empty());
  EXPECT_EQ(Deleted.back(), L"Top");
  Tree = new TTreeEx(Form);  // for TearDown
}

TEST_F(TreeTest, CollapsingAnAncestorMovesTheSelectionWithTheCaret) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* A1 = Tree->Items()->AddChild(A, L"A1");
  A->Expand(false);
  Tree->SetSelection(A1);
  Recorder R;
  R.Hook(Tree);
  // Through the window, as a user's collapse arrives.
  SendMessageW(Tree->GetHandle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(A->GetItemId()));
  EXPECT_EQ(Tree->GetSelection(), A);
  EXPECT_EQ(Tree->Items()->GetFirstSelectedNode(), A);
  EXPECT_EQ(Tree->Items()->GetSelectedCount(), 1);
  ASSERT_FALSE(R.Log.empty());
  EXPECT_EQ(R.Log.back(), L"change A");
  EXPECT_FALSE(A->GetExpanded());
}

// ---------------------------------------------------------------------------
// Re-creation

TEST_F(TreeTest, RecreationKeepsNodesDataExpansionSelectionAndTopItem) {
  int Deletions = 0;
  Tree->OnDeletion = [&](TObject*, TTreeExNode*) { ++Deletions; };
  TTreeExNodes* I = Tree->Items();
  void* Big = reinterpret_cast<void*>(static_cast<uintptr_t>(0x123456789ABCDEF0ull));
  TTreeExNode* A = I->AddChildObject(nullptr, L"A", Big);
  std::vector<TTreeExNode*> Kids;
  for (int K = 0; K < 40; ++K) Kids.push_back(I->AddChild(A, L"Kid " + std::to_wstring(K)));
  A->Expand(false);
  Tree->SetSelection(Kids[30]);
  Tree->SetTopItem(Kids[20]);
  HWND Before = Tree->GetHandle();
  Tree->SetOptions(Tree->GetOptions() + toReadOnly);
  EXPECT_NE(Tree->GetHandle(), Before);
  EXPECT_EQ(Deletions, 0);
  EXPECT_EQ(I->GetFirstNode(), A);
  EXPECT_EQ(A->GetData(), Big);
  EXPECT_TRUE(A->GetExpanded());
  EXPECT_TRUE(A->GetState(nsExpanded));
  EXPECT_EQ(Tree->GetSelection(), Kids[30]);
  EXPECT_EQ(Tree->GetTopItem(), Kids[20]);
  EXPECT_EQ(I->GetCount(), 41);
  EXPECT_EQ(I->GetNode(Kids[5]->GetItemId()), Kids[5]);
  EXPECT_FALSE(GetWindowLongPtrW(Tree->GetHandle(), GWL_STYLE) & TVS_EDITLABELS);
}

TEST_F(TreeTest, AssignCopiesWholePointers) {
  void* Big = reinterpret_cast<void*>(static_cast<uintptr_t>(0xFEDCBA9876543210ull));
  TTreeExNode* A = Tree->Items()->AddChildObject(nullptr, L"A", Big);
  Tree->Items()->AddChild(A, L"A1");
  A->Expand(false);
  TTreeEx* Other = new TTreeEx(Form);
  Other->SetParent(Form);
  Other->SetItems(Tree->Items());
  TTreeExNode* C = Other->Items()->GetFirstNode();
  ASSERT_NE(C, nullptr);
  EXPECT_EQ(C->GetData(), Big);
  EXPECT_EQ(C->GetCount(), 1);
  EXPECT_TRUE(C->GetExpanded());
  delete Other;
}

TEST_F(TreeTest, OptionsDropLinesWithFullRowSelect) {
  Tree->SetOptions(TTreeOptions{toFullRowSelect, toShowLines, toShowRoot});
  EXPECT_FALSE(Tree->GetOptions().Contains(toShowLines));
  EXPECT_TRUE(Tree->GetOptions().Contains(toFullRowSelect));
}

// ---------------------------------------------------------------------------
// Streams and files

const unsigned char kMainWindowTree[108] = {
    0x00, 0x01, 0x00, 0x00, 0x00, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x0B, 0x4D, 0x79, 0x20, 0x52, 0x65, 0x67, 0x69, 0x73, 0x74, 0x72, 0x79,
};

TEST_F(TreeTest, ReadsAndWritesTheStoredMainWindowTree) {
  TMemoryStream In;
  In.WriteBuffer(kMainWindowTree, sizeof kMainWindowTree);
  In.SetPosition(0);
  Tree->Items()->ReadData(&In);
  TTreeExNode* N = Tree->Items()->GetFirstNode();
  ASSERT_NE(N, nullptr);
  EXPECT_EQ(N->GetText(), L"My Registry");
  EXPECT_EQ(N->GetImageIndex(), 0);
  EXPECT_EQ(N->GetCount(), 0);
  EXPECT_EQ(N->GetNextSibling(), nullptr);
  TMemoryStream Out;
  Tree->Items()->WriteData(&Out);
  ASSERT_EQ(Out.GetSize(), 108);
  const auto* B = static_cast<const unsigned char*>(Out.Memory());
  for (int K = 0; K < 48; ++K) EXPECT_EQ(B[K], kMainWindowTree[K]) << "byte " << K;
  EXPECT_EQ(std::memcmp(B + 96, kMainWindowTree + 96, 12), 0);
}

// A form with one tree named Tree1, as a stored form holds it.
struct StoredForm {
  StoredForm() : Form(new TForm(nullptr)) {
    TreeExInitialize();  // the class by name, for readers and writers
    Form->SetName(L"Stored");
    Tree = new TTreeEx(Form.get());
    Tree->SetName(L"Tree1");
    Tree->SetParent(Form.get());
  }
  std::string Write(StoredForm* Ancestor = nullptr) {
    TMemoryStream S;
    TWriter W(&S);
    W.WriteDescendent(Form.get(), Ancestor ? Ancestor->Form.get() : nullptr);
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  }
  void Read(const std::string& Bytes) {
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    S.SetPosition(0);
    TReader R(&S);
    R.ReadRootComponent(Form.get());
  }
  std::unique_ptr<TForm> Form;
  TTreeEx* Tree;
};

TEST(TreeStreaming, NodesTravelWithTheFormAsItemsData) {
  StoredForm A;
  EXPECT_EQ(A.Write().find("Items.Data"), std::string::npos);  // nothing to store
  TTreeExNode* Keys = A.Tree->Items()->AddChild(nullptr, L"Keys");
  A.Tree->Items()->AddChild(Keys, L"Software");
  A.Tree->Items()->AddChild(nullptr, L"Values");
  std::string Bytes = A.Write();
  ASSERT_NE(Bytes.find("Items.Data"), std::string::npos);
  StoredForm B;
  B.Tree->Items()->AddChild(nullptr, L"replaced");
  B.Read(Bytes);
  TTreeExNodes* I = B.Tree->Items();
  ASSERT_EQ(I->GetNodeCount(), 3);
  EXPECT_EQ(I->GetFirstNode()->GetText(), L"Keys");
  EXPECT_EQ(I->GetFirstNode()->GetFirstChild()->GetText(), L"Software");
  EXPECT_EQ(I->GetFirstNode()->GetNextSibling()->GetText(), L"Values");
  // Read into an empty form, the tree is made by its class.
  TreeExInitialize();
  std::unique_ptr<TForm> Empty(new TForm(nullptr));
  Empty->SetName(L"Stored");
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S.SetPosition(0);
  TReader(&S).ReadRootComponent(Empty.get());
  auto* Made = dynamic_cast<TTreeEx*>(Empty->FindComponent(L"Tree1"));
  ASSERT_NE(Made, nullptr);
  EXPECT_EQ(Made->GetParent(), Empty.get());
  EXPECT_EQ(Made->Items()->GetNodeCount(), 3);
}

TEST(TreeStreaming, AgainstAnAncestorOnlyDifferencesOrACheckTypeAreStored) {
  StoredForm A, Ancestor;
  for (StoredForm* F : {&A, &Ancestor}) {
    F->Tree->Items()->AddChild(nullptr, L"one");
    F->Tree->Items()->AddChild(nullptr, L"two");
  }
  EXPECT_EQ(A.Write(&Ancestor).find("Items.Data"), std::string::npos);
  A.Tree->Items()->SetCheckType(ctCheckBox);  // same nodes, a check type
  EXPECT_NE(A.Write(&Ancestor).find("Items.Data"), std::string::npos);
  A.Tree->Items()->SetCheckType(ctNone);
  A.Tree->Items()->GetFirstNode()->SetText(L"One");  // case counts
  EXPECT_NE(A.Write(&Ancestor).find("Items.Data"), std::string::npos);
  A.Tree->Items()->GetFirstNode()->SetText(L"one");
  A.Tree->Items()->AddChild(nullptr, L"three");  // another number of nodes
  std::string Bytes = A.Write(&Ancestor);
  ASSERT_NE(Bytes.find("Items.Data"), std::string::npos);
  StoredForm B;
  B.Read(Bytes);
  EXPECT_EQ(B.Tree->Items()->GetNodeCount(), 3);
}

// The indent, insert mark colour and item height a window reports are its
// own: a shown tree writes them only once they are set, and set to what
// the window already shows they are still written and read back.
TEST(TreeStreaming, WindowMetricsAreStoredOnlyOnceSet) {
  StoredForm A;
  A.Form->Show();
  ASSERT_TRUE(A.Tree->HandleAllocated());
  std::string Bytes = A.Write();
  Bytes = Bytes.substr(Bytes.find("Tree1"));
  for (const char* Name : {"Indent", "InsertMarkColor", "ItemHeight"})
    EXPECT_EQ(Bytes.find(Name), std::string::npos) << Name;
  A.Tree->SetIndent(A.Tree->GetIndent());
  A.Tree->SetItemHeight(A.Tree->GetItemHeight());
  A.Tree->SetInsertMarkColor(A.Tree->GetInsertMarkColor());
  Bytes = A.Write();
  for (const char* Name : {"Indent", "InsertMarkColor", "ItemHeight"})
    EXPECT_NE(Bytes.find(Name), std::string::npos) << Name;
  StoredForm B;
  B.Read(Bytes);
  B.Form->Show();
  EXPECT_EQ(B.Tree->GetIndent(), A.Tree->GetIndent());
  EXPECT_EQ(B.Tree->GetItemHeight(), A.Tree->GetItemHeight());
  EXPECT_EQ(B.Write(), Bytes);
  // Back to the window's own height: not stored again.
  A.Tree->SetItemHeight(-1);
  EXPECT_EQ(A.Write().find("ItemHeight"), std::string::npos);
  // Black, which a new tree holds until it has a window, once set is
  // stored and read back like any other colour.
  A.Tree->SetInsertMarkColor(clBlack);
  Bytes = A.Write();
  EXPECT_NE(Bytes.find("InsertMarkColor"), std::string::npos);
  StoredForm C;
  C.Read(Bytes);
  C.Form->Show();
  EXPECT_EQ(C.Tree->GetInsertMarkColor(), clBlack);
}

TEST(TreeStreaming, PublishedPropertiesComeBackFromTheForm) {
  StoredForm Plain;
  std::string Bytes = Plain.Write();
  Bytes = Bytes.substr(Bytes.find("Tree1"));  // the tree's part
  // A fresh tree stores nothing: what its constructor sets (ParentColor
  // false, TabStop, the scroll time 0) is its own default, and the indent,
  // insert mark colour and item height stay the window's until set.
  for (const char* Default : {"Indent", "InsertMarkColor", "ItemHeight", "Options", "SortType", "BorderStyle", "ChangeDelay", "ColorSelected",
                              "ColorUnfocusedSelected", "ColorDropSelected", "Images", "ParentColor", "TabStop",
                              "ScrollTime", "\x05" "Color"})
    EXPECT_EQ(Bytes.find(Default), std::string::npos) << Default;

  StoredForm A;
  auto* Pictures = new TImageList(A.Form.get());
  Pictures->SetName(L"Pictures");
  auto* States = new TImageList(A.Form.get());
  States->SetName(L"States");
  TTreeEx* T = A.Tree;
  T->Items()->AddChild(nullptr, L"b");
  T->Items()->AddChild(nullptr, L"a");
  T->SetOptions(TTreeOptions{toCheckSupport, toFullRowSelect, toShowRoot, toWantReturn});
  T->SetSortType(stText);
  T->SetBorderStyle(bsNone);
  T->SetChangeDelay(250);
  T->ColorSelected = clRed;
  T->ColorUnfocusedSelected = clLime;
  T->ColorDropSelected = clBlue;
  T->SetParentColor(true);
  T->SetInsertMarkColor(static_cast<TColor>(RGB(1, 2, 3)));
  T->SetImages(Pictures);
  T->SetStateImages(States);
  T->HandleNeeded();
  T->SetIndent(27);
  T->SetItemHeight(21);
  Bytes = A.Write();

  StoredForm B;
  auto* Pictures2 = new TImageList(B.Form.get());
  auto* States2 = new TImageList(B.Form.get());
  States2->GetHandle();
  Pictures2->SetName(L"Pictures");
  States2->SetName(L"States");
  B.Tree->HandleNeeded();
  B.Read(Bytes);
  TTreeEx* R = B.Tree;
  EXPECT_EQ(R->GetOptions(), (TTreeOptions{toCheckSupport, toFullRowSelect, toShowRoot, toWantReturn}));
  EXPECT_EQ(R->GetSortType(), stText);
  EXPECT_EQ(R->Items()->GetFirstNode()->GetText(), L"a");
  EXPECT_EQ(R->GetBorderStyle(), bsNone);
  EXPECT_EQ(R->GetChangeDelay(), 250);
  EXPECT_EQ(R->ColorSelected, clRed);
  EXPECT_EQ(R->ColorUnfocusedSelected, clLime);
  EXPECT_EQ(R->ColorDropSelected, clBlue);
  EXPECT_TRUE(R->GetParentColor());
  EXPECT_EQ(R->GetInsertMarkColor(), static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_EQ(R->GetIndent(), 27);
  EXPECT_EQ(R->GetItemHeight(), 21);
  EXPECT_EQ(R->GetImages(), Pictures2);
  EXPECT_EQ(R->GetStateImages(), States2);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(R->SendTV(TVM_GETIMAGELIST, TVSIL_STATE)), States2->GetHandle());
}

// A property storage keeps the options as a set: emptied, they are stored
// as a set without members and come back empty, not as the defaults.
TEST(TreeStreaming, EmptyOptionsComeBackFromAPropertyStorage) {
  StoredForm A;
  std::map<String, String> Store;  // "section/item" -> value
  TPropsStorage Storage;
  Storage.Section = L"Stored";
  Storage.OnReadString = TReadStrEvent([&](const String& S, const String& I, const String& D) {
    auto V = Store.find(S + L"/" + I);
    return V == Store.end() ? D : V->second;
  });
  Storage.OnWriteString =
      TWriteStrEvent([&](const String& S, const String& I, const String& V) { Store[S + L"/" + I] = V; });
  Storage.OnEraseSection = TEraseSectEvent([](const String&) {});
  TStringList Props;
  Props.Add(L"Tree1.Options");
  UpdateStoredList(A.Form.get(), &Props, true);
  A.Tree->SetOptions(TTreeOptions{});
  Storage.StoreObjectsProps(A.Form.get(), &Props);
  EXPECT_EQ(Store[L"Stored/Tree1_Options"], L"[]");
  A.Tree->SetOptions(TTreeOptions{toShowRoot, toHotTrack});
  Storage.LoadObjectsProps(A.Form.get(), &Props);
  EXPECT_EQ(A.Tree->GetOptions(), TTreeOptions{});
}

// Every published event of the tree, by name.
#define TREE_EVENTS(X)                                                                                     \
  X(OnAfterPaint) X(OnAfterItemPaint) X(OnBeforePaint) X(OnBeforeItemPaint) X(OnChange) X(OnChanging)     \
  X(OnChecked) X(OnChecking) X(OnClick) X(OnCollapsed) X(OnCollapsing) X(OnCompare) X(OnCreateNode)       \
  X(OnDeletion) X(OnDblClick) X(OnDragDrop) X(OnDragOver) X(OnEdited) X(OnEditing) X(OnEndDock)           \
  X(OnEnter) X(OnExit) X(OnExpanded) X(OnExpanding) X(OnEndDrag) X(OnGetHelpContext) X(OnGetImageIndex)   \
  X(OnGetPopupMenu) X(OnGetSelectedIndex) X(OnHint) X(OnKeyDown) X(OnKeyPress) X(OnKeyUp) X(OnMouseDown) \
  X(OnMouseMove) X(OnMouseUp) X(OnSingleExpanded) X(OnStartDock) X(OnStartDrag)
#define TREE_EVENT_NAME(N) L"" #N,

TEST(TreeStreaming, EveryPublishedPropertyAndEventIsDeclared) {
  StoredForm A;
  const PropFiler::TNames Published{
      L"Align", L"Anchors", L"BiDiMode", L"BorderStyle", L"BorderWidth", L"ChangeDelay", L"Color",
      L"ColorDropSelected", L"ColorSelected", L"ColorUnfocusedSelected", L"Ctl3D", L"Constraints", L"DragKind",
      L"DragCursor", L"DragMode", L"Enabled", L"Font", L"Images", L"Indent", L"InsertMarkColor", L"Items",
      L"ItemHeight", L"Options", L"ParentBiDiMode", L"ParentColor", L"ParentCtl3D", L"ParentFont",
      L"ParentShowHint", L"PopupMenu", L"ShowHint", L"ScrollTime", L"SortType", L"StateImages", L"TabOrder",
      L"TabStop", L"Visible", TREE_EVENTS(TREE_EVENT_NAME)};
  EXPECT_EQ(PropFiler::MissingNames(A.Tree, Published), std::vector<String>{});
  // Items through its "Data" property; SearchString is read only.
  const std::vector<String> Names = PropFiler::DefinedNames(A.Tree);
  EXPECT_NE(std::find(Names.begin(), Names.end(), L"Items.Data"), Names.end());
  EXPECT_EQ(std::find(Names.begin(), Names.end(), L"SearchString"), Names.end());
}

TEST(TreeStreaming, InheritedPropertiesAndEventsComeBackFromTheForm) {
  StoredForm A;
  TTreeEx* T = A.Tree;
  T->SetDragMode(dmAutomatic);
  T->SetDragKind(dkDock);
  T->SetDragCursor(crHandPoint);
  T->SetCtl3D(false);
  T->SetBiDiMode(bdRightToLeft);
  T->Constraints()->Set(50, 40, 400, 300);
  T->SetBorderWidth(3);
  // And the control's usual ones.
  auto* Menu = new TPopupMenu(A.Form.get());
  Menu->SetName(L"pmTree");
  T->SetPopupMenu(Menu);
  T->SetAlign(alLeft);
  T->SetAnchors(TAnchors{akLeft, akBottom});
  T->SetEnabled(false);
  T->SetVisible(false);
  T->SetShowHint(true);
  T->SetColor(clYellow);
  T->Font()->SetName(L"Courier New");
  T->SetTabStop(false);
  T->SetTabOrder(0);
#define OFFER(N)                                   \
  {                                                \
    decltype(T->N) H = [](auto&&...) {};           \
    A.Form->RegisterMethod(L"Tree1" #N, H);        \
    T->N = H;                                      \
  }
  TREE_EVENTS(OFFER)
#undef OFFER
  const std::string Bytes = A.Write();
  for (const char* Name : {"Ctl3D", "ParentCtl3D", "BiDiMode", "ParentBiDiMode"})
    EXPECT_NE(Bytes.find(Name), std::string::npos) << Name;

  StoredForm B;
  TTreeEx* R = B.Tree;
  auto* Menu2 = new TPopupMenu(B.Form.get());
  Menu2->SetName(L"pmTree");
#define OFFER_COPY(N)                              \
  {                                                \
    decltype(R->N) H = [](auto&&...) {};           \
    B.Form->RegisterMethod(L"Tree1" #N, H);        \
  }
  TREE_EVENTS(OFFER_COPY)
#undef OFFER_COPY
  R->HandleNeeded();
  B.Read(Bytes);
  EXPECT_EQ(R->GetDragMode(), dmAutomatic);
  // The window lets the native control start drags now.
  EXPECT_EQ(GetWindowLongPtrW(R->GetHandle(), GWL_STYLE) & TVS_DISABLEDRAGDROP, 0);
  EXPECT_EQ(R->GetDragKind(), dkDock);
  EXPECT_EQ(R->GetDragCursor(), crHandPoint);
  EXPECT_FALSE(R->GetCtl3D());
  EXPECT_FALSE(R->GetParentCtl3D());
  EXPECT_EQ(R->GetBiDiMode(), bdRightToLeft);
  EXPECT_FALSE(R->GetParentBiDiMode());
  const TSizeConstraints* C = R->Constraints();
  EXPECT_EQ((std::vector<int>{C->MinWidth, C->MinHeight, C->MaxWidth, C->MaxHeight}),
            (std::vector<int>{50, 40, 400, 300}));
  EXPECT_EQ(R->GetBorderWidth(), 3);
  EXPECT_EQ(R->GetPopupMenu(), Menu2);
  EXPECT_EQ(R->GetAlign(), alLeft);
  EXPECT_EQ(R->GetAnchors(), (TAnchors{akLeft, akBottom}));
  EXPECT_FALSE(R->GetEnabled());
  EXPECT_FALSE(R->GetVisible());
  EXPECT_TRUE(R->GetShowHint());
  EXPECT_FALSE(R->GetParentShowHint());
  EXPECT_EQ(R->GetColor(), clYellow);
  EXPECT_FALSE(R->GetParentFont());
  EXPECT_EQ(R->Font()->GetName(), L"Courier New");
  EXPECT_FALSE(R->GetTabStop());
  EXPECT_EQ(R->GetTabOrder(), 0);
  R->SetVisible(true);
  // The border takes its width off each side of the client area.
  const int ClientWidth = R->GetClientWidth();
  R->SetBorderWidth(0);
  EXPECT_EQ(R->GetClientWidth(), ClientWidth + 6);
#define EXPECT_BOUND(N) EXPECT_TRUE(R->N && R->N == B.Form->FindMethod<decltype(R->N)>(L"Tree1" #N)) << #N;
  TREE_EVENTS(EXPECT_BOUND)
#undef EXPECT_BOUND

  // Following the parent again, the tree stores neither Ctl3D nor BiDiMode.
  T->SetPopupMenu(nullptr);
  T->SetParentCtl3D(true);
  T->SetParentBiDiMode(true);
  const std::string Parent = A.Write();
  for (const char* Name : {"Ctl3D", "BiDiMode"}) EXPECT_EQ(Parent.find(Name), std::string::npos) << Name;
}

TEST(TreeStreaming, StoredScrollTimeZeroAndWindowlessValuesReachTheWindow) {
  // A tree that never had a window stores its scroll time 0 (against an
  // ancestor with another); read back it bypasses the setter's floor of
  // 100: the new window gets 0 and what it reports becomes the value.
  StoredForm A, Ancestor;
  Ancestor.Tree->SetScrollTime(100);
  A.Tree->SetInsertMarkColor(clRed);  // no window yet: kept for the window
  std::string Bytes = A.Write(&Ancestor);
  const char Zero[] = "\x0AScrollTime\x02\x00";
  EXPECT_NE(Bytes.find(std::string(Zero, sizeof Zero - 1)), std::string::npos);
  StoredForm B;
  B.Tree->SetScrollTime(500);
  B.Read(Bytes);
  B.Tree->HandleNeeded();
  EXPECT_EQ(B.Tree->GetScrollTime(), static_cast<int>(B.Tree->SendTV(TVM_GETSCROLLTIME)));
  EXPECT_NE(B.Tree->GetScrollTime(), 500);
  EXPECT_EQ(B.Tree->GetInsertMarkColor(), clRed);
  // A value set without a window travels as it is.
  StoredForm D, E;
  D.Tree->SetScrollTime(300);
  E.Read(D.Write());
  EXPECT_EQ(E.Tree->GetScrollTime(), 300);
  // A height too large for a signed 8-bit value comes back as the window's
  // own.
  A.Tree->HandleNeeded();
  A.Tree->SetItemHeight(200);
  StoredForm C;
  C.Tree->HandleNeeded();
  const int Native = C.Tree->GetItemHeight();
  C.Read(A.Write());
  EXPECT_EQ(C.Tree->GetItemHeight(), Native);
}

TEST_F(TreeTest, MalformedStreamsRaiseReadErrors) {
  auto Load = [&](std::vector<unsigned char> Bytes) {
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    S.SetPosition(0);
    Tree->Items()->ReadData(&S);
  };
  std::vector<unsigned char> Good(kMainWindowTree, kMainWindowTree + 108);
  Tree->Items()->AddChild(nullptr, L"held");
  auto Size87 = Good;
  Size87[5] = 87;
  EXPECT_THROW(Load(Size87), EReadError);
  auto Size344 = Good;
  Size344[5] = 0x58;
  Size344[6] = 0x01;
  EXPECT_THROW(Load(Size344), EReadError);
  auto BadLen = Good;
  BadLen[5 + 4 + 87] = 12;  // text length disagrees with the size
  EXPECT_THROW(Load(BadLen), EReadError);
  auto Truncated = Good;
  Truncated.resize(60);
  EXPECT_THROW(Load(Truncated), EReadError);
  auto TwoTops = Good;
  TwoTops[1] = 2;  // the second record is missing
  EXPECT_THROW(Load(TwoTops), EReadError);
  // Nothing of a broken stream is made: the tree holds what it held.
  ASSERT_EQ(Tree->Items()->GetNodeCount(), 1);
  EXPECT_EQ(Tree->Items()->GetFirstNode()->GetText(), L"held");
}

TEST_F(TreeTest, StreamDataIsAnOpaqueNumber) {
  std::vector<unsigned char> Bytes(kMainWindowTree, kMainWindowTree + 108);
  Bytes[5 + 4 + 25] = 0x78;
  Bytes[5 + 4 + 26] = 0x56;
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), 108);
  S.SetPosition(0);
  Tree->Items()->ReadData(&S);
  TTreeExNode* N = Tree->Items()->GetFirstNode();
  EXPECT_EQ(N->GetData(), nullptr);
  EXPECT_EQ(N->GetStreamData(), 0x5678u);
}

TEST_F(TreeTest, TextFormatLevelsAndLevelErrors) {
  auto Load = [&](const std::string& Text) {
    TStringStream S(Text);
    Tree->Items()->Clear();
    Tree->Items()->ReadStrings(&S);
  };
  Load("A\r\n\tA1\r\n\r\n\tA2\r\n\t\tA21\r\nB\r\n");
  TTreeExNode* A = Tree->Items()->GetFirstNode();
  ASSERT_EQ(A->GetCount(), 2);
  EXPECT_EQ(A->GetItem(1)->GetItem(0)->GetText(), L"A21");
  EXPECT_EQ(A->GetNextSibling()->GetText(), L"B");
  int Line = 0;
  try {
    Load("one\r\n\ttwo\r\n\t\t\tthree\r\n");
    FAIL() << "no level error";
  } catch (const ETreeExError& E) {
    EXPECT_EQ(E.Message(), L"Invalid item level assignment");
  }
  Tree->OnLevelError = [&](int L, bool& Raise) {
    Line = L;
    Raise = false;
  };
  Load("one\r\n\ttwo\r\n\t\t\tthree\r\n");
  EXPECT_EQ(Line, 3);
  EXPECT_EQ(Tree->Items()->GetNodeFromIndex(2)->GetText(), L"three");
  EXPECT_EQ(Tree->Items()->GetNodeFromIndex(2)->GetLevel(), 2);
  Tree->OnLevelError = nullptr;
  TStringStream Out;
  Tree->Items()->WriteStrings(&Out);
  EXPECT_EQ(Out.GetDataString(), "one\r\n\ttwo\r\n\t\tthree\r\n");
}

TEST_F(TreeTest, FilesChooseTheFormatBySignature) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"TNT first");
  Tree->Items()->AddChild(A, L"child");
  TMemoryStream Bin;
  Tree->SaveToStream(&Bin, true);
  const auto* B = static_cast<const unsigned char*>(Bin.Memory());
  EXPECT_EQ(std::memcmp(B, "\rTNT\r", 5), 0);
  Bin.SetPosition(0);
  Tree->LoadFromStream(&Bin);
  EXPECT_EQ(Tree->Items()->GetNodeCount(), 2);
  TStringStream Text("TNT is text\r\n\tbelow\r\n");
  Tree->LoadFromStream(&Text);
  EXPECT_EQ(Tree->Items()->GetFirstNode()->GetText(), L"TNT is text");
  EXPECT_EQ(Tree->Items()->GetNodeCount(), 2);
}

// A broken file, binary or text, leaves the tree holding what it held; the
// tree is asked once about each level error.
TEST_F(TreeTest, ABrokenFileLeavesTheTreeAsItWas) {
  Tree->Items()->AddChild(nullptr, L"held");
  TMemoryStream Bin;
  Tree->SaveToStream(&Bin, true);
  Bin.SetSize(Bin.GetSize() - 3);
  Bin.SetPosition(0);
  EXPECT_THROW(Tree->LoadFromStream(&Bin), EReadError);
  ASSERT_EQ(Tree->Items()->GetNodeCount(), 1);
  EXPECT_EQ(Tree->Items()->GetFirstNode()->GetText(), L"held");

  int Asked = 0;
  Tree->OnLevelError = [&](int, bool&) { ++Asked; };
  TStringStream Text("one\r\n\t\t\tthree\r\n");
  EXPECT_THROW(Tree->LoadFromStream(&Text), ETreeExError);
  EXPECT_EQ(Asked, 1);
  ASSERT_EQ(Tree->Items()->GetNodeCount(), 1);
  EXPECT_EQ(Tree->Items()->GetFirstNode()->GetText(), L"held");
  Tree->OnLevelError = [&](int, bool& Raise) {
    ++Asked;
    Raise = false;
  };
  TStringStream Read("one\r\n\t\t\tthree\r\n");
  Tree->LoadFromStream(&Read);
  EXPECT_EQ(Asked, 2);
  EXPECT_EQ(Tree->Items()->GetNodeCount(), 2);
  EXPECT_EQ(Tree->Items()->GetFirstNode()->GetText(), L"one");
  Tree->OnLevelError = nullptr;
}

// ---------------------------------------------------------------------------
// Check marks

TEST_F(TreeTest, RadioButtonsAndThreeStateBoxes) {
  Tree->SetOptions(Tree->GetOptions() + toCheckSupport);
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* Radio = I->AddChild(nullptr, L"radio");
  TTreeExNode* R1 = I->AddChild(Radio, L"r1");
  TTreeExNode* R2 = I->AddChild(Radio, L"r2");
  TTreeExNode* R3 = I->AddChild(Radio, L"r3");
  Radio->SetCheckType(ctRadioButton);
  EXPECT_EQ(R1->GetCheckState(), csChecked);
  EXPECT_EQ(R1->GetStateIndex(), 6);
  R3->SetCheckState(csChecked);
  EXPECT_EQ(R1->GetCheckState(), csUnchecked);
  EXPECT_EQ(R1->GetStateIndex(), 5);
  EXPECT_EQ(R3->GetStateIndex(), 6);
  R3->SetCheckState(csUnchecked);
  EXPECT_EQ(R3->GetCheckState(), csChecked);
  EXPECT_EQ(R2->GetCheckState(), csUnchecked);

  I->SetCheckType(ctCheckBoxGrayed);
  TTreeExNode* P = I->AddChild(nullptr, L"parent");
  P->SetCheckType(ctCheckBoxGrayed);
  TTreeExNode* C1 = I->AddChild(P, L"c1");
  TTreeExNode* C2 = I->AddChild(P, L"c2");
  TTreeExNode* C3 = I->AddChild(P, L"c3");
  EXPECT_EQ(C1->GetStateIndex(), 1);
  C1->SetCheckState(csChecked);
  EXPECT_EQ(P->GetCheckState(), csCheckedGrayed);
  EXPECT_EQ(P->GetStateIndex(), 4);
  C2->SetCheckState(csChecked);
  C3->SetCheckState(csChecked);
  EXPECT_EQ(P->GetCheckState(), csChecked);
  EXPECT_EQ(P->GetStateIndex(), 2);
  P->SetCheckState(csUnchecked);
  EXPECT_EQ(C2->GetCheckState(), csUnchecked);
  C2->SetEnabled(false);
  EXPECT_EQ(C2->GetStateIndex(), 3);
  C2->SetCheckState(csChecked);
  EXPECT_EQ(C2->GetCheckState(), csUnchecked);
  // The native item shows the picture in its state-image bits.
  TVITEMW It{};
  It.mask = TVIF_STATE;
  It.stateMask = TVIS_STATEIMAGEMASK;
  It.hItem = C2->GetItemId();
  SendMessageW(Tree->GetHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&It));
  EXPECT_EQ(It.state >> 12, 3u);
}

TEST_F(TreeTest, WithoutCheckSupportStatesChangeButPicturesStay) {
  TTreeExNode* P = Tree->Items()->AddChild(nullptr, L"p");
  TTreeExNode* C = Tree->Items()->AddChild(P, L"c");
  P->SetCheckType(ctCheckBox);
  int Checked = 0;
  Tree->OnChecked = [&](TObject*, TTreeExNode*) { ++Checked; };
  C->SetCheckState(csChecked);
  EXPECT_EQ(C->GetCheckState(), csChecked);
  EXPECT_EQ(C->GetStateIndex(), -1);
  EXPECT_EQ(Checked, 1);
  Tree->OnChecking = [&](TObject*, TTreeExNode*, bool& Allow) { Allow = false; };
  C->SetCheckState(csUnchecked);
  EXPECT_EQ(C->GetCheckState(), csChecked);
  EXPECT_EQ(Checked, 1);
}

TEST_F(TreeTest, OverlayAndStateIndexesStayInTheirBits) {
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"n");
  N->SetOverlayIndex(40);
  N->SetStateIndex(300);
  TVITEMW It{};
  It.mask = TVIF_STATE;
  It.stateMask = 0xFFFF;
  It.hItem = N->GetItemId();
  SendMessageW(Tree->GetHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&It));
  EXPECT_EQ(It.state & (TVIS_OVERLAYMASK | TVIS_STATEIMAGEMASK), 0u);
  N->SetOverlayIndex(2);
  SendMessageW(Tree->GetHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&It));
  EXPECT_EQ((It.state & TVIS_OVERLAYMASK) >> 8, 3u);
}

// ---------------------------------------------------------------------------
// Multiple selection

TEST_F(TreeTest, MultipleSelectionRules) {
  Tree->SetOptions(Tree->GetOptions() + toMultiSelect + toLevelSelectConstraint);
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* A = I->AddChild(nullptr, L"A");
  TTreeExNode* A1 = I->AddChild(A, L"A1");
  TTreeExNode* B = I->AddChild(nullptr, L"B");
  TTreeExNode* C = I->AddChild(nullptr, L"C");
  A->Expand(false);
  Recorder R;
  R.Hook(Tree);
  Tree->ClearSelection();
  EXPECT_TRUE(R.Log.empty());
  Click(B);
  EXPECT_EQ(I->GetSelectedCount(), 1);
  EXPECT_EQ(I->GetLevelAnchor(), 0);
  I->SelectNode(A1, stSet);  // another level: refused
  EXPECT_FALSE(A1->GetSelected());
  I->SelectNode(C, stSet);
  EXPECT_EQ(I->GetSelectedCount(), 2);
  I->SelectNodes(A, C, false);
  EXPECT_TRUE(A->GetSelected());
  EXPECT_FALSE(A1->GetSelected());  // other level
  EXPECT_TRUE(B->GetSelected());
  EXPECT_TRUE(C->GetSelected());
  R.Log.clear();
  Tree->ClearSelection();
  EXPECT_EQ(I->GetSelectedCount(), 0);
  EXPECT_EQ(R.Log.back(), L"change nil");
  I->SelectNode(B, stSet);
  I->SelectNode(C, stSet);
  I->DeleteSelectedNodes();
  EXPECT_EQ(I->GetNodeCount(), 2);
  // At most the node the platform moved its caret to.
  ASSERT_LE(I->GetSelectedCount(), 1);
  if (I->GetSelectedCount()) {
    EXPECT_EQ(I->GetFirstSelectedNode(), Tree->GetSelection());
  }
}

// ---------------------------------------------------------------------------
// Sorting

TEST_F(TreeTest, SortingByDataUsesWholePointers) {
  TTreeExNodes* I = Tree->Items();
  auto P = [](uint64_t V) { return reinterpret_cast<void*>(static_cast<uintptr_t>(V)); };
  // Equal in the low 32 bits: only the high halves order them.
  I->AddChildObject(nullptr, L"x", P(0x300000001ull));
  I->AddChildObject(nullptr, L"y", P(0x100000001ull));
  I->AddChildObject(nullptr, L"z", P(0x200000001ull));
  Tree->SetSortType(stData);
  std::vector<String> Order;
  for (TTreeExNode* N = I->GetFirstNode(); N; N = N->GetNextSibling()) Order.push_back(N->GetText());
  EXPECT_EQ(Order, (std::vector<String>{L"y", L"z", L"x"}));
}

std::vector<String> NativeChildren(TCustomTreeEx* T, HTREEITEM Parent) {
  std::vector<String> R;
  for (HTREEITEM H = Parent ? TreeView_GetChild(T->GetHandle(), Parent) : TreeView_GetRoot(T->GetHandle()); H;
       H = TreeView_GetNextSibling(T->GetHandle(), H))
    R.push_back(T->Items()->GetNode(H)->GetText());
  return R;
}

TEST_F(TreeTest, SortingWithoutOnCompareShowsTheListOrder) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* P = I->AddChild(nullptr, L"p");
  for (const wchar_t* T : {L"b", L"_x", L"B", L"a", L"A", L"Zed"}) I->AddChild(P, T);
  P->AlphaSort();
  std::vector<String> List;
  for (TTreeExNode* N = P->GetFirstChild(); N; N = N->GetNextSibling()) List.push_back(N->GetText());
  EXPECT_EQ(List, (std::vector<String>{L"A", L"a", L"B", L"b", L"Zed", L"_x"}));
  EXPECT_EQ(NativeChildren(Tree, P->GetItemId()), List);
  Tree->SetSortType(stData);
  EXPECT_EQ(NativeChildren(Tree, nullptr), (std::vector<String>{L"p"}));
}

TEST_F(TreeTest, SortingKeepsNativeAndListOrdersTogetherWithOnCompare) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* P = I->AddChild(nullptr, L"p");
  for (const wchar_t* T : {L"b", L"D", L"a", L"c"}) I->AddChild(P, T);
  Tree->OnCompare = [](TObject*, TTreeExNode* A, TTreeExNode* B, intptr_t, int& R) {
    R = -CompareText(A->GetText(), B->GetText());
  };
  EXPECT_TRUE(P->AlphaSort());
  std::vector<String> List, Native;
  for (TTreeExNode* N = P->GetFirstChild(); N; N = N->GetNextSibling()) List.push_back(N->GetText());
  for (HTREEITEM H = TreeView_GetChild(Tree->GetHandle(), P->GetItemId()); H;
       H = TreeView_GetNextSibling(Tree->GetHandle(), H))
    Native.push_back(I->GetNode(H)->GetText());
  EXPECT_EQ(List, (std::vector<String>{L"D", L"c", L"b", L"a"}));
  EXPECT_EQ(Native, List);
  EXPECT_EQ(P->GetFirstChild()->GetNext()->GetText(), L"c");
}

// ---------------------------------------------------------------------------
// Right click and pop-up menu

class CountingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int, int) override {
    ++Count;
    if (Probe) Seen = Probe->GetSelection();
  }
  int Count = 0;
  TCustomTreeEx* Probe = nullptr;
  TTreeExNode* Seen = nullptr;
};

TEST_F(TreeTest, RightClickSelectsForTheMenuAndOpensItOnce) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"B");
  Tree->SetSelection(A);
  CountingMenu Menu(nullptr);
  Menu.Probe = Tree;
  Tree->SetPopupMenu(&Menu);
  Recorder R;
  R.Hook(Tree);
  Click(B, WM_RBUTTONDOWN, WM_RBUTTONUP);
  Pump(20);
  EXPECT_EQ(Menu.Count, 1);
  EXPECT_EQ(Menu.Seen, B);
  EXPECT_EQ(Tree->GetSelection(), A);  // the caret did not move
  EXPECT_EQ(R.Log, (std::vector<String>{L"changing A", L"change nil"}));
  Tree->SetPopupMenu(nullptr);
}

// ---------------------------------------------------------------------------
// Painting and printing

TEST(TreePrint, RectKeepsProportionsAndGuardsZeroSizes) {
  TRect R = TreePrintRect(10, 20, 100, 300, 150, 600, 600);
  EXPECT_EQ(R.left, 236);
  EXPECT_EQ(R.top, 472);
  EXPECT_EQ(RectWidth(R), 2362);
  EXPECT_EQ(RectHeight(R), 1181);
  TRect Q = TreePrintRect(0, 0, 100, 200, 100, 600, 300);
  EXPECT_EQ(RectHeight(Q), 591);  // half the device's vertical resolution
  EXPECT_EQ(RectWidth(TreePrintRect(0, 0, 100, 0, 100, 600, 600)), 0);
  EXPECT_EQ(RectWidth(TreePrintRect(0, 0, 100, 100, 100, 0, 600)), 0);
}

class MemoryPrinter : public TTreePrintTarget {
 public:
  MemoryPrinter() {
    HDC Screen = GetDC(nullptr);
    DC = CreateCompatibleDC(Screen);
    Bmp = CreateCompatibleBitmap(Screen, 2000, 2000);
    ReleaseDC(nullptr, Screen);
    Old = SelectObject(DC, Bmp);
    RECT R{0, 0, 2000, 2000};
    FillRect(DC, &R, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  ~MemoryPrinter() override {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  HDC BeginDoc(const String& T) override {
    Title = T;
    ++Begun;
    return DC;
  }
  void EndDoc() override { ++Ended; }
  void Abort() override { ++Aborted; }
  // May claim a palette screen, for the 8-bit path.
  bool ScreenHasPalette() override { return Palette; }
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  String Title;
  int Begun = 0, Ended = 0, Aborted = 0;
  bool Palette = false;
};

TEST_F(TreeTest, PrintsThroughAnInjectedDevice) {
  for (int K = 0; K < 30; ++K) Tree->Items()->AddChild(nullptr, L"Line " + std::to_wstring(K));
  MemoryPrinter P;
  Tree->Print(0, 0, 50, &P);
  EXPECT_EQ(P.Begun, 1);
  EXPECT_EQ(P.Ended, 1);
  EXPECT_EQ(P.Aborted, 0);
  EXPECT_EQ(P.Title.rfind(L"tree printing of ", 0), 0u);
  // Something was drawn at the top left (the white background at least).
  EXPECT_NE(GetPixel(P.DC, 2, 2), RGB(0, 0, 0));
  // The page height follows the tree's proportions.
  int W = Tree->GetTreeWidth(), H = Tree->GetTreeHeight();
  EXPECT_GT(H, Tree->GetClientHeight());
  TRect R = TreePrintRect(0, 0, 50, W, H, 96, 96);
  EXPECT_NE(GetPixel(P.DC, 2, RectHeight(R) - 2), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(P.DC, 2, RectHeight(R) + 3), RGB(0, 0, 0));
}

TEST_F(TreeTest, PrintingThroughAPaletteGivesTheSamePicture) {
  for (int K = 0; K < 20; ++K) Tree->Items()->AddChild(nullptr, L"Printed line " + std::to_wstring(K));
  MemoryPrinter Plain, Pal;
  Pal.Palette = true;
  Tree->Print(0, 0, 100, &Plain);
  Tree->Print(0, 0, 100, &Pal);
  EXPECT_EQ(Pal.Ended, 1);
  EXPECT_EQ(Pal.Aborted, 0);
  TRect R = TreePrintRect(0, 0, 100, Tree->GetTreeWidth(), Tree->GetTreeHeight(), 96, 96);
  ASSERT_LT(R.bottom, 2000);
  int Dark = 0, Same = 0, All = 0;
  for (int Y = 0; Y < R.bottom; Y += 2)
    for (int X = 0; X < R.right; X += 2) {
      COLORREF A = GetPixel(Plain.DC, X, Y), B = GetPixel(Pal.DC, X, Y);
      bool DarkA = GetRValue(A) + GetGValue(A) + GetBValue(A) < 384;
      bool DarkB = GetRValue(B) + GetGValue(B) + GetBValue(B) < 384;
      Dark += DarkA;
      Same += DarkA == DarkB;
      ++All;
    }
  EXPECT_GT(Dark, 50);  // the text is there
  EXPECT_GT(Same, All * 99 / 100);
  EXPECT_EQ(GetPixel(Pal.DC, 2, R.bottom + 3), RGB(0, 0, 0));  // nothing beyond
}

// The list holds the nine pictures of the check strip, each in its cell,
// in the scheme's current button colours, with the strip's corner colour
// see-through.
void ExpectCheckPictures(HIMAGELIST L) {
  ASSERT_NE(L, nullptr);
  ASSERT_EQ(ImageList_GetImageCount(L), 9);
  int W = 0, H = 0;
  ImageList_GetIconSize(L, &W, &H);
  EXPECT_EQ(W, 16);
  EXPECT_EQ(H, 16);
  HBITMAP Bmp = static_cast<HBITMAP>(
      LoadImageW(MainInstance(), L"CHECK_LIGHT", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(Bmp, nullptr);
  HDC Src = CreateCompatibleDC(nullptr);
  HGDIOBJ OldSrc = SelectObject(Src, Bmp);
  COLORREF Shadow = GetSysColor(COLOR_BTNSHADOW), Face = GetSysColor(COLOR_BTNFACE);
  RGBQUAD Colors[2] = {{GetBValue(Shadow), GetGValue(Shadow), GetRValue(Shadow), 0},
                       {GetBValue(Face), GetGValue(Face), GetRValue(Face), 0}};
  SetDIBColorTable(Src, 7, 2, Colors);
  const COLORREF Clear = GetPixel(Src, 0, 0), Back = RGB(1, 2, 3);
  HDC Screen = GetDC(nullptr);
  HDC Dst = CreateCompatibleDC(Screen);
  HBITMAP Pic = CreateCompatibleBitmap(Screen, 16, 16);
  ReleaseDC(nullptr, Screen);
  HGDIOBJ OldDst = SelectObject(Dst, Pic);
  HBRUSH Brush = CreateSolidBrush(Back);
  const RECT Cell{0, 0, 16, 16};
  int Seen = 0, Shown = 0, Scheme = 0, Wrong = 0;
  for (int I = 0; I < 9; ++I) {
    FillRect(Dst, &Cell, Brush);
    EXPECT_TRUE(ImageList_Draw(L, I, Dst, 0, 0, ILD_TRANSPARENT));
    for (int Y = 0; Y < 16; ++Y)
      for (int X = 0; X < 16; ++X) {
        const COLORREF Want = GetPixel(Src, I * 16 + X, Y);
        Seen += Want == Clear;
        Shown += Want != Clear;
        Scheme += Want == Shadow || Want == Face;
        if (GetPixel(Dst, X, Y) != (Want == Clear ? Back : Want) && Wrong++ == 0)
          ADD_FAILURE() << "picture " << I << " at " << X << "," << Y;
      }
  }
  EXPECT_EQ(Wrong, 0);
  EXPECT_GT(Seen, 0);
  EXPECT_GT(Shown, 9 * 16);
  EXPECT_GT(Scheme, 0);  // the scheme's colours are in the pictures
  DeleteObject(Brush);
  SelectObject(Dst, OldDst);
  DeleteObject(Pic);
  DeleteDC(Dst);
  SelectObject(Src, OldSrc);
  DeleteDC(Src);
  DeleteObject(Bmp);
}

TEST_F(TreeTest, CheckImagesHaveNinePictures) { ExpectCheckPictures(TCustomTreeEx::CheckImages()); }

TEST_F(TreeTest, SystemColourChangeRenewsTheCheckPicturesOfEveryTree) {
  auto* Second = new TTreeEx(Form);
  Second->SetBounds(300, 0, 90, 250);
  Second->SetParent(Form);
  Second->HandleNeeded();
  auto StateList = [](TCustomTreeEx* T) {
    return reinterpret_cast<HIMAGELIST>(T->SendTV(TVM_GETIMAGELIST, TVSIL_STATE));
  };
  const INT Elements[2] = {COLOR_BTNSHADOW, COLOR_BTNFACE};
  const COLORREF Old[2] = {GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE)};
  const COLORREF New[2] = {RGB(20, 110, 40), RGB(230, 200, 60)};
  auto Change = [&](const COLORREF* Colors) {
    ASSERT_TRUE(SetSysColors(2, Elements, Colors));
    // The system tells top-level windows; the form passes it on to its trees.
    SendMessageW(Form->GetHandle(), WM_SYSCOLORCHANGE, 0, 0);
  };
  Change(New);
  for (TCustomTreeEx* T : {static_cast<TCustomTreeEx*>(Tree), static_cast<TCustomTreeEx*>(Second)}) {
    SCOPED_TRACE(T == Tree ? "first tree" : "second tree");
    EXPECT_EQ(StateList(T), TCustomTreeEx::CheckImages());
    ExpectCheckPictures(StateList(T));
  }
  Change(Old);
  ExpectCheckPictures(StateList(Tree));
  delete Second;
}

}  // namespace

TEST_F(TreeTest, ImageListsRebuiltInsideAnUpdateReachTheTreeAtOnce) {
  TImageList Pictures(nullptr), States(nullptr);
  Pictures.GetHandle();
  States.GetHandle();
  Tree->SetImages(&Pictures);
  Tree->SetStateImages(&States);
  auto Held = [&](WPARAM Which) { return reinterpret_cast<HIMAGELIST>(Tree->SendTV(TVM_GETIMAGELIST, Which)); };
  ASSERT_EQ(Held(TVSIL_NORMAL), Pictures.GetHandle());
  ASSERT_EQ(Held(TVSIL_STATE), States.GetHandle());

  // Each rebuild frees the old list: the tree holds the new one before
  // EndUpdate, and never the destroyed one.
  Pictures.BeginUpdate();
  Pictures.SetSize(20, 20);
  EXPECT_EQ(Held(TVSIL_NORMAL), Pictures.GetHandle());
  Pictures.SetMasked(false);
  EXPECT_EQ(Held(TVSIL_NORMAL), Pictures.GetHandle());
  HIMAGELIST Given = ImageList_Create(24, 24, ILC_COLOR32, 1, 1);
  Pictures.SetHandle(Given);
  EXPECT_EQ(Held(TVSIL_NORMAL), Given);
  EXPECT_EQ(Pictures.GetWidth(), 24);
  Pictures.EndUpdate();
  EXPECT_EQ(Held(TVSIL_NORMAL), Given);

  States.BeginUpdate();
  States.SetSize(12, 12);
  EXPECT_EQ(Held(TVSIL_STATE), States.GetHandle());
  States.EndUpdate();
  int W = 0, H = 0;
  ImageList_GetIconSize(Held(TVSIL_STATE), &W, &H);
  EXPECT_EQ(W, 12);
  Tree->SetImages(nullptr);
  Tree->SetStateImages(nullptr);
}

TEST_F(TreeTest, ADesignedTreeWritesItsNodesUnselected) {
  Tree->SetOptions(Tree->GetOptions() + toMultiSelect);
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"a");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"b");
  Tree->Items()->SelectNode(A, stSet);
  Tree->Items()->SelectNode(B, stSet);
  ASSERT_EQ(Tree->Items()->GetSelectedCount(), 2);
  auto CopySelects = [&] {
    TMemoryStream S;
    Tree->Items()->WriteData(&S);
    S.SetPosition(0);
    TTreeEx Copy(Form);
    Copy.SetParent(Form);
    Copy.SetOptions(Copy.GetOptions() + toMultiSelect);
    Copy.Items()->ReadData(&S);
    return Copy.Items()->GetSelectedCount();
  };
  EXPECT_EQ(CopySelects(), 2);
  Tree->SetDesigning(true);
  EXPECT_EQ(CopySelects(), 0);
  Tree->SetDesigning(false);
  EXPECT_EQ(Tree->Items()->GetSelectedCount(), 2);  // the tree's own is kept
}
