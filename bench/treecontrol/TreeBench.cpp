// Inserting, sorting, walking and deleting many nodes, against a raw loop
// of the same tree-view messages on a plain system tree in the same run.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "treecontrol/TreeEx.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point A, Clock::time_point B) {
  return std::chrono::duration<double, std::milli>(B - A).count();
}

HWND MakeRawTree(HWND Parent) {
  InitCommonControl(ICC_TREEVIEW_CLASSES);
  return CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                         WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT | TVS_HASBUTTONS | TVS_EDITLABELS,
                         0, 0, 300, 400, Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HTREEITEM RawInsert(HWND T, HTREEITEM Parent, LPARAM Param) {
  TVINSERTSTRUCTW IS{};
  IS.hParent = Parent;
  IS.hInsertAfter = TVI_LAST;
  IS.itemex.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  IS.itemex.pszText = LPSTR_TEXTCALLBACKW;
  IS.itemex.iImage = I_IMAGECALLBACK;
  IS.itemex.iSelectedImage = I_IMAGECALLBACK;
  IS.itemex.lParam = Param;
  return reinterpret_cast<HTREEITEM>(SendMessageW(T, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&IS)));
}

struct Times {
  double Insert = 0, Delete = 0, Expanded = 0;
};

// Item I + 1 of the raw tree shows name I; the control's sort without a
// comparison compares the texts with lstrcmp, and so does this one.
int CALLBACK RawCompare(LPARAM A, LPARAM B, LPARAM Names) {
  const auto& N = *reinterpret_cast<const std::vector<String>*>(Names);
  return lstrcmpW(N[static_cast<size_t>(A - 1)].c_str(), N[static_cast<size_t>(B - 1)].c_str());
}

// The raw loop: the messages the control sends for the same work. The
// children are sorted before they go, as the control's are: the system's
// tree deletes items in another order at another cost.
Times RawRun(HWND Parent, const std::vector<String>& Names, int M) {
  Times R;
  const int N = static_cast<int>(Names.size());
  HWND T = MakeRawTree(Parent);
  HTREEITEM Top = RawInsert(T, TVI_ROOT, 0);
  auto A = Clock::now();
  for (int I = 0; I < N; ++I) RawInsert(T, Top, I + 1);
  auto B = Clock::now();
  TVSORTCB Sort{Top, &RawCompare, reinterpret_cast<LPARAM>(&Names)};
  SendMessageW(T, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&Sort));
  auto B2 = Clock::now();
  SendMessageW(T, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(Top));
  auto C = Clock::now();
  R.Insert = Ms(A, B);
  R.Delete = Ms(B2, C);
  HTREEITEM Open = RawInsert(T, TVI_ROOT, 0);
  RawInsert(T, Open, 1);
  SendMessageW(T, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Open));
  SendMessageW(T, WM_SETREDRAW, FALSE, 0);
  auto D = Clock::now();
  for (int I = 0; I < M; ++I) RawInsert(T, Open, I + 2);
  auto E = Clock::now();
  SendMessageW(T, WM_SETREDRAW, TRUE, 0);
  R.Expanded = Ms(D, E);
  DestroyWindow(T);
  return R;
}

struct Ours {
  Times T;
  double Sort = 0, Walk = 0;
};

Ours OurRun(TForm* Form, const std::vector<String>& Names, int M) {
  Ours R;
  const int N = static_cast<int>(Names.size());
  auto* Tree = new TTreeEx(Form);
  Tree->SetBounds(0, 0, 300, 400);
  Tree->SetParent(Form);
  Tree->HandleNeeded();
  int Deleted = 0;
  Tree->OnDeletion = [&](TObject*, TTreeExNode*) { ++Deleted; };
  TTreeExNodes* Items = Tree->Items();
  TTreeExNode* Top = Items->AddChild(nullptr, L"top");
  auto A = Clock::now();
  for (int I = 0; I < N; ++I) Items->AddChildObject(Top, Names[static_cast<size_t>(I)], nullptr);
  auto B = Clock::now();
  Top->AlphaSort();
  auto C = Clock::now();
  int Count = 0;
  for (TTreeExNode* X = Items->GetFirstNode(); X; X = X->GetNext()) ++Count;
  auto D = Clock::now();
  Top->DeleteChildren();
  auto E = Clock::now();
  R.T.Insert = Ms(A, B);
  R.Sort = Ms(B, C);
  R.Walk = Ms(C, D);
  R.T.Delete = Ms(D, E);
  if (Count != N + 1 || Deleted != N) std::fprintf(stderr, "unexpected counts %d %d\n", Count, Deleted);
  TTreeExNode* Open = Items->AddChild(nullptr, L"open");
  Items->AddChild(Open, L"first");
  Open->Expand(false);
  Items->BeginUpdate();
  auto F = Clock::now();
  for (int I = 0; I < M; ++I) Items->AddChild(Open, Names[static_cast<size_t>(I % N)]);
  auto G = Clock::now();
  Items->EndUpdate();
  R.T.Expanded = Ms(F, G);
  Tree->OnDeletion = nullptr;
  delete Tree;
  return R;
}

}  // namespace

int main() {
  const int N = 100000, M = 20000;
  auto* Form = new TForm(nullptr);
  Form->SetBounds(0, 0, 400, 500);
  Form->Show();
  HWND Parent = Form->GetHandle();
  std::vector<String> Names(static_cast<size_t>(N));
  for (int I = 0; I < N; ++I) Names[static_cast<size_t>(I)] = L"Key " + std::to_wstring((I * 7919) % N);
  // Alternate and keep the best of each, so both see the same conditions.
  Times Raw{1e30, 1e30, 1e30};
  Ours Our{{1e30, 1e30, 1e30}, 1e30, 1e30};
  for (int Round = 0; Round < 5; ++Round) {
    Times R = RawRun(Parent, Names, M);
    Ours O = OurRun(Form, Names, M);
    Raw.Insert = std::min(Raw.Insert, R.Insert);
    Raw.Delete = std::min(Raw.Delete, R.Delete);
    Raw.Expanded = std::min(Raw.Expanded, R.Expanded);
    Our.T.Insert = std::min(Our.T.Insert, O.T.Insert);
    Our.T.Delete = std::min(Our.T.Delete, O.T.Delete);
    Our.T.Expanded = std::min(Our.T.Expanded, O.T.Expanded);
    Our.Sort = std::min(Our.Sort, O.Sort);
    Our.Walk = std::min(Our.Walk, O.Walk);
  }
  std::printf("raw: insert %.1f ms, delete %.1f ms, expanded insert %.1f ms\n", Raw.Insert, Raw.Delete, Raw.Expanded);
  std::printf("ours: insert %.1f ms, delete %.1f ms, expanded insert %.1f ms, sort %.1f ms\n", Our.T.Insert,
              Our.T.Delete, Our.T.Expanded, Our.Sort);
  std::printf("BENCH treecontrol.insert_ratio %.3f ratio\n", Our.T.Insert / Raw.Insert);
  std::printf("BENCH treecontrol.delete_ratio %.3f ratio\n", Our.T.Delete / Raw.Delete);
  std::printf("BENCH treecontrol.expanded_insert_ratio %.3f ratio\n", Our.T.Expanded / Raw.Expanded);
  std::printf("BENCH treecontrol.getnext_100k %.2f ms\n", Our.Walk);
  std::printf("BENCH treecontrol.sort_100k %.1f ms\n", Our.Sort);
  delete Form;
  return 0;
}
