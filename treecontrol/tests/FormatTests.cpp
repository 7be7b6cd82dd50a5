// Node list and storage formats, without any window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "treecontrol/NodeFormat.h"
#include "treecontrol/TreeNodeList.h"

namespace {

TTreeExNode* P(intptr_t v) { return reinterpret_cast<TTreeExNode*>(v); }
intptr_t V(TTreeExNode* n) { return reinterpret_cast<intptr_t>(n); }

std::vector<intptr_t> Items(const TTreeNodeList& L) {
  std::vector<intptr_t> R;
  for (int I = 0; I < L.GetCount(); ++I) R.push_back(V(L.Get(I)));
  return R;
}

class GrowProbe : public TTreeNodeList {
 public:
  void DoGrow() { Grow(); }
};

TEST(TreeNodeList, GrowsByFourThenSixteenThenAQuarter) {
  GrowProbe L;
  std::vector<std::pair<int, int>> Steps = {{0, 4}, {8, 12}, {64, 80}, {100, 125}};
  for (auto [From, To] : Steps) {
    L.SetCapacity(From);
    L.DoGrow();
    EXPECT_EQ(L.GetCapacity(), To) << "from " << From;
  }
}

TEST(TreeNodeList, InsertDeleteMoveExchangePack) {
  TTreeNodeList L;
  for (intptr_t I = 1; I <= 5; ++I) L.Add(P(I));
  L.Insert(0, P(9));
  L.Insert(L.GetCount(), P(8));
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{9, 1, 2, 3, 4, 5, 8}));
  L.Delete(1);
  EXPECT_EQ(L.Remove(P(4)), 3);
  EXPECT_EQ(L.Remove(P(77)), -1);
  L.Move(0, 3);
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{2, 3, 5, 9, 8}));
  L.Exchange(0, 4);
  EXPECT_EQ(V(L.First()), 8);
  EXPECT_EQ(V(L.Last()), 2);
  L.Put(1, nullptr);
  L.Put(3, nullptr);
  L.Pack();
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{8, 5, 2}));
  L.SetCount(5);
  EXPECT_EQ(L.Get(4), nullptr);
  L.Clear();
  EXPECT_EQ(L.GetCount(), 0);
  EXPECT_EQ(L.GetCapacity(), 0);
}

TEST(TreeNodeList, BoundsErrorsNameTheValue) {
  TTreeNodeList L;
  L.Add(P(1));
  try {
    L.Get(1);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), L"List index out of bounds (1)");
  }
  EXPECT_THROW(L.Insert(2, P(2)), EListError);
  EXPECT_NO_THROW(L.Insert(1, P(2)));
  EXPECT_THROW(L.Delete(-1), EListError);
  try {
    L.SetCapacity(1);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), L"List capacity out of bounds (1)");
  }
  try {
    L.SetCount(-1);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), L"List count out of bounds (-1)");
  }
  EXPECT_THROW(L.SetCapacity(TTreeNodeList::MaxListSize), EListError);
}

int ByValue(intptr_t A, intptr_t B, intptr_t) { return A < B ? -1 : (A > B ? 1 : 0); }
int Descending(intptr_t A, intptr_t B, intptr_t Sign) {
  return static_cast<int>(Sign) * ByValue(A, B, 0);
}
int Liar(intptr_t, intptr_t, intptr_t) { return -1; }

TEST(TreeNodeList, SortOrdersByComparisonAndPassesData) {
  TTreeNodeList L;
  std::vector<intptr_t> Want;
  unsigned Seed = 12345;
  for (int I = 0; I < 2000; ++I) {
    Seed = Seed * 1103515245u + 12345u;
    intptr_t X = 1 + (Seed >> 8) % 500;
    L.Add(P(X));
    Want.push_back(X);
  }
  L.Sort(Descending, -1);
  std::sort(Want.begin(), Want.end(), std::greater<intptr_t>());
  EXPECT_EQ(Items(L), Want);
  // Already sorted input and a contradictory comparison stay within bounds.
  L.Sort(ByValue, 0);
  std::sort(Want.begin(), Want.end());
  EXPECT_EQ(Items(L), Want);
  L.Sort(ByValue, 0);
  EXPECT_EQ(Items(L), Want);
  L.Sort(Liar, 0);
  EXPECT_EQ(L.GetCount(), 2000);
  TTreeNodeList Empty;
  Empty.Sort(ByValue, 0);
  EXPECT_EQ(Empty.GetCount(), 0);
}

// The main window's stored tree: one node "My Registry".
std::string MyRegistryStream() {
  std::string S;
  S.push_back(0);                  // check type
  nodeformat::PutInt32(S, 1);      // one top-level node
  nodeformat::PutInt32(S, 99);     // record size
  const uint32_t Head[] = {0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 1};
  for (uint32_t H : Head) nodeformat::PutInt32(S, H);
  S += std::string("\0\0\1\0\0", 5);  // unchecked, ctNone, enabled, collapsed, not selected
  nodeformat::PutInt32(S, 0);        // data
  nodeformat::PutInt32(S, 0);        // children
  nodeformat::PutInt32(S, 0);        // colour
  S += std::string("\1\1", 2);       // parent colour, parent font
  S.append(48, '\0');                // font area
  S.push_back(11);
  S += "My Registry";
  return S;
}

TEST(NodeRecord, EncodesTheStoredMainWindowTreeByteForByte) {
  std::string Want = MyRegistryStream();
  ASSERT_EQ(Want.size(), 108u);
  TNodeInfo N;
  N.ImageIndex = 0;
  N.SelectedIndex = 0;
  N.IntegralHeight = 1;
  N.Text = "My Registry";
  std::string Got;
  Got.push_back(0);
  nodeformat::PutInt32(Got, 1);
  nodeformat::AppendRecord(Got, N);
  EXPECT_EQ(Got, Want);

  TNodeInfo R;
  const auto* B = reinterpret_cast<const unsigned char*>(Want.data());
  uint32_t Size = nodeformat::GetUInt32(B + 5);
  nodeformat::ParseRecord(B + 9, Size, R);
  EXPECT_EQ(R.Text, "My Registry");
  EXPECT_EQ(R.ImageIndex, 0);
  EXPECT_EQ(R.StateIndex, -1);
  EXPECT_EQ(R.OverlayIndex, -1);
  EXPECT_EQ(R.IntegralHeight, 1);
  EXPECT_TRUE(R.Enabled);
  EXPECT_FALSE(R.Expanded);
  EXPECT_TRUE(R.ParentFont);
  EXPECT_EQ(R.Count, 0);
}

TEST(NodeRecord, CutsLongTextAndKeepsOwnFont) {
  TNodeInfo N;
  N.Text = std::string(300, 'x');
  N.ParentFont = false;
  N.FontName = std::string(40, 'F');
  N.FontHeight = -13;
  N.FontPitch = 2;
  N.FontStyle = 5;
  N.FontColor = 0x123456;
  N.Data = 0xDEADBEEF;
  N.Count = 3;
  std::string S;
  nodeformat::AppendRecord(S, N);
  const auto* B = reinterpret_cast<const unsigned char*>(S.data());
  ASSERT_EQ(nodeformat::GetUInt32(B), 88u + 255u);
  ASSERT_EQ(S.size(), 4u + 343u);
  TNodeInfo R;
  nodeformat::ParseRecord(B + 4, 343, R);
  EXPECT_EQ(R.Text.size(), 255u);
  EXPECT_EQ(R.FontName, std::string(31, 'F'));
  EXPECT_EQ(R.FontHeight, -13);
  EXPECT_EQ(R.FontPitch, 2);
  EXPECT_EQ(R.FontStyle, 5);
  EXPECT_EQ(R.FontColor, 0x123456u);
  EXPECT_EQ(R.Data, 0xDEADBEEFu);
  EXPECT_EQ(R.Count, 3);
}

TEST(NodeRecord, RejectsMalformedRecords) {
  EXPECT_THROW(nodeformat::CheckRecordSize(87), EReadError);
  EXPECT_THROW(nodeformat::CheckRecordSize(344), EReadError);
  EXPECT_THROW(nodeformat::CheckRecordSize(0xFFFFFFFF), EReadError);
  EXPECT_NO_THROW(nodeformat::CheckRecordSize(88));
  EXPECT_NO_THROW(nodeformat::CheckRecordSize(343));

  TNodeInfo N;
  N.Text = "abc";
  std::string S;
  nodeformat::AppendRecord(S, N);
  auto Parse = [](std::string Rec, uint32_t Size) {
    TNodeInfo R;
    nodeformat::ParseRecord(reinterpret_cast<const unsigned char*>(Rec.data()) + 4, Size, R);
  };
  EXPECT_NO_THROW(Parse(S, 91));
  // Text length byte disagreeing with the size.
  std::string Bad = S;
  Bad[4 + 87] = 4;
  EXPECT_THROW(Parse(Bad, 91), EReadError);
  // Out-of-range check state and type, negative child count.
  Bad = S;
  Bad[4 + 20] = 7;
  EXPECT_THROW(Parse(Bad, 91), EReadError);
  Bad = S;
  Bad[4 + 21] = 4;
  EXPECT_THROW(Parse(Bad, 91), EReadError);
  Bad = S;
  Bad[4 + 32] = '\x80';
  EXPECT_THROW(Parse(Bad, 91), EReadError);
  // Own font with a font name longer than its slot.
  Bad = S;
  Bad[4 + 38] = 0;
  Bad[4 + 50] = 32;
  EXPECT_THROW(Parse(Bad, 91), EReadError);
}

// Collects what the text reader builds, as "level:text" lines.
struct Collector : nodeformat::TTextTreeSink {
  struct Node {
    int Level;
    String Text;
  };
  std::vector<Node> Nodes;
  std::vector<int> Errors;
  bool Raise = true;
  int RootTag = -1;
  void* AddChild(void* Parent, const String& Text) override {
    intptr_t ParentIndex = reinterpret_cast<intptr_t>(Parent);
    int Level = ParentIndex < 0 ? 0 : Nodes[static_cast<size_t>(ParentIndex)].Level + 1;
    Nodes.push_back({Level, Text});
    return reinterpret_cast<void*>(static_cast<intptr_t>(Nodes.size() - 1));
  }
  bool LevelError(int Line) override {
    Errors.push_back(Line);
    return Raise;
  }
  std::vector<String> Lines() const {
    std::vector<String> R;
    for (auto& N : Nodes) R.push_back(std::to_wstring(N.Level) + L":" + N.Text);
    return R;
  }
  void Read(std::wstring_view T) {
    nodeformat::ReadIndentedText(T, reinterpret_cast<void*>(intptr_t(-1)), *this);
  }
};

TEST(IndentedText, ReadsLevelsAndSkipsEmptyLines) {
  Collector C;
  C.Read(L"A\r\n\tB\r\n\r\n\r\n\t\tC\n  D\rE\r\n");
  EXPECT_EQ(C.Lines(), (std::vector<String>{L"0:A", L"1:B", L"2:C", L"2:D", L"0:E"}));
  EXPECT_TRUE(C.Errors.empty());
}

TEST(IndentedText, LevelJumpRaisesUnlessDeclined) {
  Collector C;
  try {
    C.Read(L"A\r\n\tB\r\n\t\t\tC\r\n");
    FAIL();
  } catch (const ETreeExError& E) {
    EXPECT_EQ(E.Message(), L"Invalid item level assignment");
  }
  EXPECT_EQ(C.Errors, std::vector<int>{3});
  EXPECT_EQ(C.Lines(), (std::vector<String>{L"0:A", L"1:B"}));

  Collector D;
  D.Raise = false;
  D.Read(L"A\r\n\tB\r\n\t\t\tC\r\n\tD\r\n");
  EXPECT_EQ(D.Lines(), (std::vector<String>{L"0:A", L"1:B", L"2:C", L"1:D"}));
}

TEST(IndentedText, BlankIndentedLineEndsOpenLevels) {
  Collector C;
  C.Read(L"A\r\n\tB\r\n\t\r\n\tC\r\n");
  EXPECT_EQ(C.Lines(), (std::vector<String>{L"0:A", L"1:B", L"0:\tC"}));
  Collector First;
  First.Read(L"\t\tTop\r\n\tChild\r\n");
  EXPECT_EQ(First.Lines(), (std::vector<String>{L"0:\t\tTop", L"1:Child"}));
}

TEST(IndentedText, DeepNestingNeedsNoStack) {
  String T;
  const int Depth = 3000;
  for (int I = 0; I < Depth; ++I) nodeformat::AppendTextLine(T, I, L"n");
  Collector C;
  C.Read(T);
  ASSERT_EQ(C.Nodes.size(), static_cast<size_t>(Depth));
  EXPECT_EQ(C.Nodes.back().Level, Depth - 1);
}

TEST(IndentedText, WriterAndReaderAgree) {
  String T;
  nodeformat::AppendTextLine(T, 0, L"HKEY_CURRENT_USER");
  nodeformat::AppendTextLine(T, 1, L"Software");
  nodeformat::AppendTextLine(T, 2, L"K\u00e9y \u4e2d");
  nodeformat::AppendTextLine(T, 0, L"Next");
  EXPECT_EQ(T, L"HKEY_CURRENT_USER\r\n\tSoftware\r\n\t\tK\u00e9y \u4e2d\r\nNext\r\n");
  Collector C;
  C.Read(T);
  EXPECT_EQ(C.Lines(), (std::vector<String>{L"0:HKEY_CURRENT_USER", L"1:Software",
                                            L"2:K\u00e9y \u4e2d", L"0:Next"}));
}

}  // namespace
