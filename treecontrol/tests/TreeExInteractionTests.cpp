// The tree control's editing, tooltips, scrolling, dragging, nodes made
// before the window exists, node classes and re-sorting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "treecontrol/TreeEx.h"

namespace {

using testsupport::Pump;

class TreeUse : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(60, 60, 360, 260);
    Form->Show();
    Tree = new TTreeEx(Form);
    Tree->SetBounds(0, 0, 200, 160);
    Tree->SetParent(Form);
  }
  void TearDown() override {
    delete Form;  // frees the tree with it
    Pump(1);
  }
  void Fill(int N) {
    for (int I = 0; I < N; ++I) Tree->Items()->AddChild(nullptr, L"Row " + std::to_wstring(I));
  }
  // What a drag leaving the tree tells it.
  void LeaveDrag() {
    TDragRec Rec{};
    Tree->Perform(CM_DRAG, dmDragLeave, reinterpret_cast<LPARAM>(&Rec));
  }
  TForm* Form = nullptr;
  TTreeEx* Tree = nullptr;
};

TEST_F(TreeUse, NodesMadeBeforeTheWindowAppearWithIt) {
  auto* Loose = new TTreeEx(Form);  // no parent yet: no window
  TTreeExNode* A = Loose->Items()->AddChild(nullptr, L"A");
  TTreeExNode* A1 = Loose->Items()->AddChild(A, L"A1");
  A->Expand(false);
  EXPECT_FALSE(Loose->HandleAllocated());
  EXPECT_EQ(Loose->Items()->GetCount(), 0);
  EXPECT_EQ(Loose->Items()->GetNodeCount(), 2);
  EXPECT_FALSE(Loose->AlphaSort());
  Loose->SetParent(Form);
  Loose->HandleNeeded();
  EXPECT_EQ(Loose->Items()->GetCount(), 2);
  EXPECT_NE(A1->GetItemId(), nullptr);
  EXPECT_TRUE(A->GetState(nsExpanded));
  EXPECT_EQ(Loose->Items()->GetNode(A1->GetItemId()), A1);
}

TEST_F(TreeUse, DeletingTheLastChildClosesTheParent) {
  TTreeExNode* P = Tree->Items()->AddChild(nullptr, L"P");
  TTreeExNode* C = Tree->Items()->AddChild(P, L"C");
  P->Expand(false);
  std::vector<String> Log;
  Tree->OnCollapsed = [&](TObject*, TTreeExNode* N) { Log.push_back(L"collapsed " + N->GetText()); };
  Tree->OnDeletion = [&](TObject*, TTreeExNode* N) { Log.push_back(L"deleted " + N->GetText()); };
  C->Delete();
  EXPECT_EQ(Log, (std::vector<String>{L"deleted C", L"collapsed P"}));
  EXPECT_FALSE(P->GetChildren());
  EXPECT_FALSE(P->GetExpanded());
  Tree->OnCollapsed = nullptr;
  Tree->OnDeletion = nullptr;
}

class TaggedNode : public TTreeExNode {
 public:
  using TTreeExNode::TTreeExNode;
  int Tag = 42;
};

TEST_F(TreeUse, OnCreateNodeChoosesTheNodeClass) {
  Tree->OnCreateNode = [](TObject*, TTreeExNodeClass& C) { C = &CreateNodeOf<TaggedNode>; };
  auto* N = dynamic_cast<TaggedNode*>(Tree->Items()->AddChild(nullptr, L"x"));
  ASSERT_NE(N, nullptr);
  EXPECT_EQ(N->Tag, 42);
}

TEST_F(TreeUse, TextAndDataResortOnlyForTheirSortTypes) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* B = I->AddChildObject(nullptr, L"b", reinterpret_cast<void*>(2));
  TTreeExNode* C = I->AddChildObject(nullptr, L"c", reinterpret_cast<void*>(3));
  Tree->SetSortType(stText);
  C->SetData(reinterpret_cast<void*>(1));
  EXPECT_EQ(I->GetFirstNode(), B);  // data changes don't re-sort by text
  C->SetText(L"a");
  EXPECT_EQ(I->GetFirstNode(), C);
  Tree->SetSortType(stData);  // sorts by data at once
  EXPECT_EQ(I->GetFirstNode(), C);
  B->SetText(L"0");  // text changes don't re-sort by data
  EXPECT_EQ(I->GetFirstNode(), C);
}

TEST_F(TreeUse, LabelEditingReportsTheNewTextAndCancelKeepsTheOld) {
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"old");
  std::vector<String> Log;
  Tree->OnEditing = [&](TObject*, TTreeExNode* X, bool& Allow) {
    Log.push_back(L"editing " + X->GetText());
    Allow = X->GetText() != L"locked";
  };
  Tree->OnEdited = [&](TObject*, TTreeExNode*, String& S) {
    Log.push_back(L"edited " + S);
    S += L"!";
  };
  ASSERT_TRUE(N->EditText());
  EXPECT_TRUE(Tree->IsEditing());
  HWND E = reinterpret_cast<HWND>(SendMessageW(Tree->GetHandle(), TVM_GETEDITCONTROL, 0, 0));
  SetWindowTextW(E, L"new");
  N->EndEdit(false);
  EXPECT_EQ(N->GetText(), L"new!");
  ASSERT_TRUE(N->EditText());
  E = reinterpret_cast<HWND>(SendMessageW(Tree->GetHandle(), TVM_GETEDITCONTROL, 0, 0));
  SetWindowTextW(E, L"discarded");
  N->EndEdit(true);
  EXPECT_EQ(N->GetText(), L"new!");
  N->SetText(L"locked");
  EXPECT_FALSE(N->EditText());
  EXPECT_EQ(Log, (std::vector<String>{L"editing old", L"edited new", L"editing new!", L"editing locked"}));
  Tree->OnEditing = nullptr;
  Tree->OnEdited = nullptr;
}

TEST_F(TreeUse, EditBoxKeysGoThroughTheTreesKeyEvents) {
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"name");
  std::vector<WORD> Keys;
  Tree->OnKeyDown = [&](TObject*, WORD& Key, TShiftState) {
    Keys.push_back(Key);
    if (Key == VK_F5) Key = 0;
  };
  ASSERT_TRUE(N->EditText());
  HWND E = reinterpret_cast<HWND>(SendMessageW(Tree->GetHandle(), TVM_GETEDITCONTROL, 0, 0));
  SendMessageW(E, WM_KEYDOWN, VK_F5, 0);
  SendMessageW(E, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(Keys, (std::vector<WORD>{VK_F5, VK_END}));
  N->EndEdit(true);
  Tree->OnKeyDown = nullptr;
}

TEST_F(TreeUse, LongItemsGetACutTooltip) {
  String Long(100, L'x');
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, Long);
  Tree->Items()->AddChild(nullptr, L"short");
  Tree->HandleNeeded();
  TRect R = N->DisplayRect(true);
  TPoint P = Tree->ClientToScreen(Point(R.left + 2, (R.top + R.bottom) / 2));
  testsupport::MoveMouse(P);
  NMTTDISPINFOW DI{};
  DI.hdr.code = TTN_NEEDTEXTW;
  DI.hdr.hwndFrom = Tree->GetHandle();
  DI.uFlags = TTF_IDISHWND;
  LRESULT Res = Tree->Perform(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&DI));
  POINT Now;
  GetCursorPos(&Now);
  if (Now.x != P.x || Now.y != P.y) GTEST_SKIP() << "the pointer can't be placed here";
  EXPECT_EQ(Res, 1);
  EXPECT_EQ(String(DI.szText), String(76, L'x') + L"...");
  Tree->SetOptions(Tree->GetOptions() + toInfoTip);
  NMTTDISPINFOW D2{};
  D2.hdr = DI.hdr;
  D2.uFlags = TTF_IDISHWND;
  Tree->Perform(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&D2));
  EXPECT_EQ(D2.szText[0], L'\0');
}

TEST_F(TreeUse, ScrollTimeAndItemMetrics) {
  Tree->HandleNeeded();
  Tree->SetScrollTime(40);
  EXPECT_EQ(Tree->GetScrollTime(), 100);
  Tree->SetItemHeight(20);
  EXPECT_EQ(Tree->GetItemHeight(), 20);
  Tree->SetIndent(25);
  EXPECT_GE(Tree->GetIndent(), 19);
  Fill(3);
  Tree->RecreateWnd();
  EXPECT_EQ(Tree->GetItemHeight(), 20);
  EXPECT_EQ(Tree->GetScrollTime(), 100);
}

TEST_F(TreeUse, AutoScrollNearTheEdgesAndSpeedsUp) {
  Fill(60);
  Tree->SetItemHeight(16);
  int H = Tree->GetClientHeight();
  Tree->DoAutoScroll(50, 1);  // at the top, already scrolled to the top
  EXPECT_FALSE(Tree->GetScrollDirections().Contains(sdUp));
  Tree->DoAutoScroll(50, H - 2);
  EXPECT_TRUE(Tree->GetScrollDirections().Contains(sdDown));
  EXPECT_EQ(Tree->GetScrollInterval(), 300u);
  TTreeExNode* Top = Tree->GetTopItem();
  Tree->DoScroll();
  EXPECT_EQ(Tree->GetScrollInterval(), 37u);  // 300 becomes 50, then 3/4 of it
  EXPECT_NE(Tree->GetTopItem(), Top);
  Tree->DoAutoScroll(50, H / 2);
  EXPECT_TRUE(Tree->GetScrollDirections().Empty());
}

TEST_F(TreeUse, DragOverHighlightsAndOpensTheTarget) {
  Tree->SetOptions(Tree->GetOptions() + toAutoExpand);
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  Tree->Items()->AddChild(A, L"A1");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"B");
  TRect R = A->DisplayRect(true);
  Tree->DoDragOver(nullptr, R.left + 2, (R.top + R.bottom) / 2, true);
  EXPECT_EQ(Tree->GetDropTarget(), A);
  Tree->DoDragExpand();
  EXPECT_TRUE(A->GetExpanded());
  TRect RB = B->DisplayRect(true);
  Tree->DoDragOver(nullptr, RB.left + 2, (RB.top + RB.bottom) / 2, false);
  EXPECT_EQ(Tree->GetDropTarget(), B);
  LeaveDrag();
  EXPECT_EQ(Tree->GetDropTarget(), nullptr);
}

TEST_F(TreeUse, DragPictureIsHiddenWhileTheTreePaintsBelowIt) {
  Tree->ColorSelected = RGB(0, 0, 200);
  Fill(6);
  Tree->HandleNeeded();
  TTreeExNode* B = Tree->Items()->GetFirstNode()->GetNextSibling()->GetNextSibling();
  TRect R = B->DisplayRect(false);
  auto Row = [&] {
    UpdateWindow(Tree->GetHandle());
    std::vector<COLORREF> Out;
    HDC DC = GetDC(Tree->GetHandle());
    for (int Y = R.top; Y < R.bottom; ++Y)
      for (int X = R.left; X < R.right; ++X) Out.push_back(GetPixel(DC, X, Y));
    ReleaseDC(Tree->GetHandle(), DC);
    return Out;
  };
  int Y = (R.top + R.bottom) / 2, X = B->DisplayRect(true).left + 2;
  // The row as the drop target, drawn without a drag picture.
  Tree->DoDragOver(nullptr, X, Y, true);
  ASSERT_EQ(Tree->GetDropTarget(), B);
  std::vector<COLORREF> Plain = Row();
  LeaveDrag();
  Row();
  // Now with a drag picture (a green block) resting on the row while it
  // becomes the drop target.
  HIMAGELIST Picture = ImageList_Create(24, 12, ILC_COLOR24, 1, 0);
  TBitmap Pic(24, 12, pf24bit);
  Pic.GetCanvas()->GetBrush()->SetColor(clGreen);
  Pic.GetCanvas()->FillRect(Rect(0, 0, 24, 12));
  ImageList_Add(Picture, Pic.GetHandle(), nullptr);
  RECT W;
  GetWindowRect(Tree->GetHandle(), &W);
  TPoint Origin = Tree->ClientToScreen(Point(0, 0));
  int DX = Origin.x - W.left, DY = Origin.y - W.top;
  ASSERT_TRUE(ImageList_BeginDrag(Picture, 0, 0, 0));
  ImageList_DragEnter(Tree->GetHandle(), DX + X, DY + R.top);
  Tree->DoDragOver(nullptr, X, Y, true);
  EXPECT_EQ(Tree->GetDropTarget(), B);
  UpdateWindow(Tree->GetHandle());
  // Moved away, the picture gives back what lay below it: the row as the
  // drop target, not as it was before.
  ImageList_DragMove(DX + X, DY + Tree->GetClientHeight() + 40);
  ImageList_DragLeave(Tree->GetHandle());
  ImageList_EndDrag();
  ImageList_Destroy(Picture);
  EXPECT_TRUE(Row() == Plain);
  LeaveDrag();
}

TEST_F(TreeUse, CheckPictureClickTogglesWithoutMovingTheSelection) {
  Tree->SetOptions(Tree->GetOptions() + toCheckSupport);
  Tree->Items()->SetCheckType(ctCheckBox);
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* B = Tree->Items()->AddChild(nullptr, L"B");
  Tree->SetSelection(A);
  TRect R = B->DisplayRect(true);
  int Y = (R.top + R.bottom) / 2, X = -1;
  for (int K = 0; K < R.left; ++K)
    if (Tree->GetHitTestInfoAt(K, Y).Contains(htOnStateIcon)) {
      X = K;
      break;
    }
  ASSERT_GE(X, 0);
  SendMessageW(Tree->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  EXPECT_EQ(B->GetStateIndex(), 3);  // pressed look
  SendMessageW(Tree->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
  EXPECT_EQ(B->GetCheckState(), csChecked);
  EXPECT_EQ(B->GetStateIndex(), 2);
  EXPECT_EQ(Tree->GetSelection(), A);
}

}  // namespace

namespace {

int DarkPixels(HDC DC, int X0, int Y0, int X1, int Y1) {
  int N = 0;
  for (int Y = Y0; Y < Y1; ++Y)
    for (int X = X0; X < X1; ++X) {
      COLORREF C = GetPixel(DC, X, Y);
      if (C != CLR_INVALID && GetRValue(C) + GetGValue(C) + GetBValue(C) < 200) ++N;
    }
  return N;
}

TEST_F(TreeUse, DrawToCopiesTheWholeTreeBeyondTheVisiblePart) {
  Fill(40);
  Tree->HandleNeeded();
  int W = Tree->GetTreeWidth(), H = Tree->GetTreeHeight(), CH = Tree->GetClientHeight();
  ASSERT_GT(H, 2 * CH);
  // Cover the tree with another window: nothing of it may end up in the copy.
  // It does not take the activation from the form: two windows of the
  // thread would otherwise take the focus from each other for ever under
  // Wine once real input has been seen.
  HWND Cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP | SS_BLACKRECT, 0, 0, 2000,
                               2000, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(Cover, SW_SHOWNOACTIVATE);
  Pump(20);
  TBitmap B(W, H, pf24bit);
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(Rect(0, 0, W, H));
  Tree->DrawTo(B.GetCanvas());
  HDC DC = B.GetCanvas()->GetHandle();
  int Top = DarkPixels(DC, 0, 0, W, CH / 2);
  int Below = DarkPixels(DC, 0, H - CH / 2, W, H);
  DestroyWindow(Cover);
  EXPECT_GT(Top, 20);            // text of the first rows
  EXPECT_GT(Below, 20);          // and of the last ones, never on screen
  EXPECT_LT(Top, W * CH / 4);    // not a black copy of the covering window
  EXPECT_EQ(Tree->GetTopItem(), Tree->Items()->GetFirstNode());  // scrolled back
}

class CountingMenu2 : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int, int) override { ++Count; }
  int Count = 0;
};

TEST_F(TreeUse, PopupMenuComesFromTheNodesParentChain) {
  TTreeExNode* A = Tree->Items()->AddChild(nullptr, L"A");
  TTreeExNode* A1 = Tree->Items()->AddChild(A, L"A1");
  A->Expand(false);
  Tree->SetSelection(A1);
  CountingMenu2 ForA(nullptr), Plain(nullptr);
  Tree->SetPopupMenu(&Plain);
  std::vector<String> Asked;
  Tree->OnGetPopupMenu = [&](TObject*, TTreeExNode* N, bool&, TPopupMenu*& M) {
    Asked.push_back(N->GetText());
    if (N == A) M = &ForA;
  };
  Tree->Perform(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Asked, (std::vector<String>{L"A1", L"A"}));
  EXPECT_EQ(ForA.Count, 1);
  EXPECT_EQ(Plain.Count, 0);
  EXPECT_EQ(ForA.GetPopupComponent(), Tree);
  Tree->OnGetPopupMenu = nullptr;
  Tree->Perform(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Plain.Count, 1);
  Tree->SetPopupMenu(nullptr);
}

}  // namespace

namespace {

TEST_F(TreeUse, MovingABranchKeepsItsChildrenAndTheirState) {
  TTreeExNodes* I = Tree->Items();
  TTreeExNode* A = I->AddChild(nullptr, L"A");
  TTreeExNode* A1 = I->AddChild(A, L"A1");
  TTreeExNode* A11 = I->AddChild(A1, L"A11");
  TTreeExNode* B = I->AddChild(nullptr, L"B");
  TTreeExNode* C = I->AddChild(nullptr, L"C");
  A->Expand(false);
  A1->Expand(false);
  Tree->SetSelection(A11);
  int Deleted = 0;
  Tree->OnDeletion = [&](TObject*, TTreeExNode*) { ++Deleted; };
  A1->MoveTo(B, naAddChild);
  EXPECT_EQ(Deleted, 0);
  EXPECT_EQ(A1->GetParent(), B);
  EXPECT_EQ(I->GetCount(), 5);
  EXPECT_EQ(I->GetNode(A11->GetItemId()), A11);
  EXPECT_EQ(TreeView_GetParent(Tree->GetHandle(), A11->GetItemId()), A1->GetItemId());
  EXPECT_TRUE(A1->GetState(nsExpanded));
  EXPECT_EQ(Tree->GetSelection(), A11);
  EXPECT_FALSE(A->GetChildren());
  C->MoveTo(A1, naInsert);  // right after A1, under B
  EXPECT_EQ(C->GetParent(), B);
  EXPECT_EQ(A1->GetNextSibling(), C);
  EXPECT_EQ(TreeView_GetNextSibling(Tree->GetHandle(), A1->GetItemId()), C->GetItemId());
  Tree->OnDeletion = nullptr;
}

}  // namespace

namespace {

TEST_F(TreeUse, FullCollapseSurvivesHandlersThatDeleteBranches) {
  TTreeExNodes* I = Tree->Items();
  std::vector<TTreeExNode*> Tops;
  for (int K = 0; K < 3; ++K) {
    TTreeExNode* T = I->AddChild(nullptr, L"T" + std::to_wstring(K));
    TTreeExNode* C = I->AddChild(T, L"C");
    I->AddChild(C, L"G");
    Tops.push_back(T);
  }
  Tree->FullExpand();
  EXPECT_TRUE(Tops[2]->GetFirstChild()->GetExpanded());
  int Deleted = 0;
  Tree->OnDeletion = [&](TObject*, TTreeExNode*) { ++Deleted; };
  Tree->OnCollapsed = [&](TObject*, TTreeExNode* N) {
    N->DeleteChildren();
    if (N == Tops[0]) Tops[1]->Delete();  // and a whole other branch
  };
  Tree->FullCollapse();
  EXPECT_EQ(Deleted, 2 + 3 + 2);
  EXPECT_EQ(I->GetNodeCount(), 2);
  Tree->OnCollapsed = nullptr;
  Tree->OnDeletion = nullptr;
}

TEST_F(TreeUse, EditedHandlerMayDeleteTheNode) {
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"gone soon");
  Tree->OnEdited = [&](TObject*, TTreeExNode* X, String&) { X->Delete(); };
  ASSERT_TRUE(N->EditText());
  N->EndEdit(false);
  EXPECT_EQ(Tree->Items()->GetFirstNode(), nullptr);
  Tree->OnEdited = nullptr;
}

}  // namespace

namespace {

// The registry tree's way: children are read when a node opens and thrown
// away when it closes; the button is kept.
TEST_F(TreeUse, LazyChildrenThroughTheExpandButton) {
  Tree->SetOptions(Tree->GetOptions() + toShowButtons + toShowRoot);
  TTreeExNode* Key = Tree->Items()->AddChild(nullptr, L"Key");
  Key->SetChildren(true);
  std::vector<String> Log;
  Tree->OnExpanding = [&](TObject*, TTreeExNode* N, bool& Allow) {
    Log.push_back(L"expanding");
    Allow = false;
    N->SetChildren(false);
    if (N->GetExpanded()) {
      N->SetChildren(true);
      return;
    }
    for (int K = 0; K < 3; ++K) Tree->Items()->AddChild(N, L"Sub" + std::to_wstring(K));
    N->SetChildren(true);
    Allow = true;
  };
  Tree->OnExpanded = [&](TObject*, TTreeExNode*) { Log.push_back(L"expanded"); };
  Tree->OnCollapsed = [&](TObject*, TTreeExNode* N) {
    Log.push_back(L"collapsed");
    N->DeleteChildren();
    N->SetChildren(true);
  };
  Tree->OnDeletion = [&](TObject*, TTreeExNode*) { Log.push_back(L"deleted"); };
  TRect R = Key->DisplayRect(true);
  int Y = (R.top + R.bottom) / 2, X = -1;
  for (int K = 0; K < R.left; ++K)
    if (Tree->GetHitTestInfoAt(K, Y).Contains(htOnButton)) {
      X = K;
      break;
    }
  ASSERT_GE(X, 0);
  auto Press = [&] {
    PostMessageW(Tree->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
    SendMessageW(Tree->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
    Pump(5);
  };
  Press();
  EXPECT_EQ(Log, (std::vector<String>{L"expanding", L"expanded"}));
  EXPECT_EQ(Key->GetCount(), 3);
  EXPECT_TRUE(Key->GetExpanded());
  EXPECT_TRUE(Key->GetState(nsExpanded));
  EXPECT_EQ(Tree->Items()->GetCount(), 4);
  Log.clear();
  Press();
  EXPECT_EQ(Log, (std::vector<String>{L"collapsed", L"deleted", L"deleted", L"deleted"}));
  EXPECT_EQ(Key->GetCount(), 0);
  EXPECT_TRUE(Key->GetChildren());
  EXPECT_FALSE(Key->GetExpanded());
  EXPECT_EQ(Tree->Items()->GetCount(), 1);
  Log.clear();
  Press();  // read afresh
  EXPECT_EQ(Log, (std::vector<String>{L"expanding", L"expanded"}));
  EXPECT_EQ(Key->GetCount(), 3);
  Tree->OnExpanding = nullptr;
  Tree->OnExpanded = nullptr;
  Tree->OnCollapsed = nullptr;
  Tree->OnDeletion = nullptr;
}

}  // namespace

namespace {

TEST_F(TreeUse, RubberBandSelectsTheRowsItMeets) {
  Tree->SetOptions(Tree->GetOptions() + toMultiSelect);
  Fill(8);
  TTreeExNodes* I = Tree->Items();
  TRect R1 = I->GetNodeFromIndex(1)->DisplayRect(true);
  TRect R3 = I->GetNodeFromIndex(3)->DisplayRect(true);
  int X0 = R1.right + 20;  // right of the text: empty row space
  ASSERT_TRUE(Tree->GetHitTestInfoAt(X0, R1.top + 2).Contains(htOnRight));
  HWND H = Tree->GetHandle();
  SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X0, R1.top + 2));
  EXPECT_TRUE(Tree->IsMouseSelecting());
  SendMessageW(H, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(R1.left + 2, R3.top + 2));
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(R1.left + 2, R3.top + 2));
  EXPECT_FALSE(Tree->IsMouseSelecting());
  EXPECT_EQ(I->GetSelectedCount(), 3);
  EXPECT_TRUE(I->GetNodeFromIndex(1)->GetSelected());
  EXPECT_TRUE(I->GetNodeFromIndex(3)->GetSelected());
  EXPECT_FALSE(I->GetNodeFromIndex(4)->GetSelected());
  I->SelectAll();
  EXPECT_EQ(I->GetSelectedCount(), 8);
  I->SelectNodes(I->GetNodeFromIndex(2), I->GetNodeFromIndex(5), false);
  EXPECT_EQ(I->GetSelectedCount(), 4);
  EXPECT_FALSE(I->GetNodeFromIndex(0)->GetSelected());
}

}  // namespace

namespace {

TEST_F(TreeUse, ImageListsAreHandedOverAndLetGoWhenFreed) {
  Tree->HandleNeeded();
  HWND H = Tree->GetHandle();
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_STATE, 0)),
            TCustomTreeEx::CheckImages());
  auto* Pics = new TImageList(nullptr, 16, 16);
  auto* States = new TImageList(nullptr, 16, 16);
  Tree->SetImages(Pics);
  Tree->SetStateImages(States);
  // Lists without pictures yet: no node pictures, and the check pictures stay.
  EXPECT_FALSE(States->HandleAllocated());
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)), nullptr);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_STATE, 0)),
            TCustomTreeEx::CheckImages());
  // Their first pictures hand them over.
  TBitmap Picture(16, 16);
  Pics->Add(&Picture, nullptr);
  States->Add(&Picture, nullptr);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)), Pics->GetHandle());
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_STATE, 0)), States->GetHandle());
  TTreeExNode* N = Tree->Items()->AddChild(nullptr, L"n");
  N->SetImageIndex(3);
  int Asked = 0;
  Tree->OnGetImageIndex = [&](TObject*, TTreeExNode*) { ++Asked; };
  TVITEMW It{};
  It.mask = TVIF_IMAGE;
  It.hItem = N->GetItemId();
  SendMessageW(H, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&It));
  EXPECT_EQ(It.iImage, 3);  // answered through the display-info request
  EXPECT_EQ(Asked, 1);
  Tree->OnGetImageIndex = nullptr;
  delete States;
  EXPECT_EQ(Tree->GetStateImages(), nullptr);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, TVSIL_STATE, 0)),
            TCustomTreeEx::CheckImages());
  delete Pics;
  EXPECT_EQ(Tree->GetImages(), nullptr);
}

TEST_F(TreeUse, ChangedImageListsAreHandedOverAgain) {
  Fill(3);
  HWND H = Tree->GetHandle();
  auto ListIn = [&](WPARAM Which) { return reinterpret_cast<HIMAGELIST>(SendMessageW(H, TVM_GETIMAGELIST, Which, 0)); };
  const int Plain = Tree->GetItemHeight();
  ASSERT_LT(Plain, 40);
  TImageList Pics(nullptr, 16, 16);
  TBitmap Picture(16, 16);
  Pics.Add(&Picture, nullptr);
  Tree->SetImages(&Pics);
  EXPECT_EQ(ListIn(TVSIL_NORMAL), Pics.GetHandle());
  EXPECT_EQ(ImageList_GetImageCount(ListIn(TVSIL_NORMAL)), 1);

  // A new size makes a new list: the window takes it and its rows grow.
  Pics.SetSize(40, 40);
  EXPECT_EQ(ListIn(TVSIL_NORMAL), Pics.GetHandle());
  EXPECT_EQ(ImageList_GetImageCount(ListIn(TVSIL_NORMAL)), 0);
  EXPECT_EQ(Tree->GetItemHeight(), 40);
  TTreeExNode* FirstNode = Tree->Items()->GetFirstNode();
  EXPECT_EQ(FirstNode->GetNextSibling()->DisplayRect(false).top - FirstNode->DisplayRect(false).top, 40);

  // A list handle given from outside, and one taken away.
  HIMAGELIST Own = ImageList_Create(24, 24, ILC_COLOR32 | ILC_MASK, 1, 1);
  Pics.SetHandle(Own);
  EXPECT_EQ(ListIn(TVSIL_NORMAL), Own);
  Pics.SetMasked(false);
  EXPECT_EQ(ListIn(TVSIL_NORMAL), Pics.GetHandle());
  EXPECT_NE(ListIn(TVSIL_NORMAL), Own);

  // The state list likewise; emptied of its handle, the check pictures
  // come back.
  TImageList States(nullptr, 16, 16);
  States.Add(&Picture, nullptr);
  Tree->SetStateImages(&States);
  EXPECT_EQ(ListIn(TVSIL_STATE), States.GetHandle());
  States.SetSize(20, 20);
  EXPECT_EQ(ListIn(TVSIL_STATE), States.GetHandle());
  States.SetHandle(nullptr);
  EXPECT_EQ(ListIn(TVSIL_STATE), TCustomTreeEx::CheckImages());

  // A list the tree no longer uses changes nothing there.
  Tree->SetImages(nullptr);
  Tree->SetStateImages(nullptr);
  Pics.SetSize(32, 32);
  States.Add(&Picture, nullptr);
  EXPECT_EQ(ListIn(TVSIL_NORMAL), nullptr);
  EXPECT_EQ(ListIn(TVSIL_STATE), TCustomTreeEx::CheckImages());
}

}  // namespace
