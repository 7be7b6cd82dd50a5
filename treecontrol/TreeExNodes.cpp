// The node collection: insertion, deletion, the flat item cache, searching,
// the binary node stream and the indented text format.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "treecontrol/TreeEx.h"

TTreeExNodes::TTreeExNodes(TCustomTreeEx* AOwner) : FOwner(AOwner) {
  FRoot = new TTreeExNode(this);
  FRoot->FExpanded = true;
}

TTreeExNodes::~TTreeExNodes() {
  // The control clears the nodes (with their deletion events) before it
  // frees the collection; whatever is left goes silently.
  std::vector<TTreeExNode*> Stack(FRoot->FChildren.List(), FRoot->FChildren.List() + FRoot->FChildren.GetCount());
  while (!Stack.empty()) {
    TTreeExNode* N = Stack.back();
    Stack.pop_back();
    for (int I = 0; I < N->FChildren.GetCount(); ++I) Stack.push_back(N->FChildren.List()[I]);
    delete N;
  }
  delete FRoot;
}

TNodeWatch::TNodeWatch(TTreeExNodes* Owner, TTreeExNode* Node) : Owner_(Owner), Node_(Node) {
  Owner_->FWatches.push_back(this);
}

TNodeWatch::~TNodeWatch() { std::erase(Owner_->FWatches, this); }

// ---------------------------------------------------------------------------
// Insertion

TTreeExNode* TTreeExNodes::AddChild(TTreeExNode* Parent, const String& S) {
  return InternalAddObject(Parent, S, nullptr, taAdd);
}
TTreeExNode* TTreeExNodes::AddChildObject(TTreeExNode* Parent, const String& S, void* Ptr) {
  return InternalAddObject(Parent, S, Ptr, taAdd);
}
TTreeExNode* TTreeExNodes::AddChildFirst(TTreeExNode* Parent, const String& S) {
  return InternalAddObject(Parent, S, nullptr, taAddFirst);
}
TTreeExNode* TTreeExNodes::AddChildObjectFirst(TTreeExNode* Parent, const String& S, void* Ptr) {
  return InternalAddObject(Parent, S, Ptr, taAddFirst);
}
TTreeExNode* TTreeExNodes::Add(TTreeExNode* Sibling, const String& S) {
  return InternalAddObject(Sibling ? Sibling->GetParent() : nullptr, S, nullptr, taAdd);
}
TTreeExNode* TTreeExNodes::AddObject(TTreeExNode* Sibling, const String& S, void* Ptr) {
  return InternalAddObject(Sibling ? Sibling->GetParent() : nullptr, S, Ptr, taAdd);
}
TTreeExNode* TTreeExNodes::AddFirst(TTreeExNode* Sibling, const String& S) {
  return InternalAddObject(Sibling ? Sibling->GetParent() : nullptr, S, nullptr, taAddFirst);
}
TTreeExNode* TTreeExNodes::AddObjectFirst(TTreeExNode* Sibling, const String& S, void* Ptr) {
  return InternalAddObject(Sibling ? Sibling->GetParent() : nullptr, S, Ptr, taAddFirst);
}
TTreeExNode* TTreeExNodes::Insert(TTreeExNode* Node, const String& S) { return InsertObject(Node, S, nullptr); }
TTreeExNode* TTreeExNodes::InsertObject(TTreeExNode* Node, const String& S, void* Ptr) {
  if (!Node) throw ETreeExError(L"Insert needs a node to insert before");
  return InternalAddObject(Node->GetParent(), S, Ptr, taInsert, Node);
}

void TTreeExNodes::CreateItem(TTreeExNode* Node, TVITEMEXW& I) {
  I = TVITEMEXW{};
  I.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  // The control keeps its own copy of the text (SetText renews it): asking
  // for it by callback would cost a notification each time the control
  // measures or paints the item. Images stay callbacks.
  I.pszText = const_cast<LPWSTR>(Node->FText.c_str());
  I.iImage = I_IMAGECALLBACK;
  I.iSelectedImage = I_IMAGECALLBACK;
  I.cChildren = Node->FChildrenFlag ? 1 : 0;
  I.lParam = reinterpret_cast<LPARAM>(Node);
  UINT State = Node->FNativeState;
  if (Node->FOverlayIndex >= 0 && Node->FOverlayIndex < 15) State |= INDEXTOOVERLAYMASK(Node->FOverlayIndex + 1);
  if (Node->FStateIndex > 0 && Node->FStateIndex < 16) State |= INDEXTOSTATEIMAGEMASK(Node->FStateIndex);
  if (State) {
    I.mask |= TVIF_STATE;
    I.state = State;
    I.stateMask = State;
  }
  if (Node->FIntegralHeight != 1 && Node->FIntegralHeight > 0) {
    I.mask |= TVIF_INTEGRAL;
    I.iIntegral = Node->FIntegralHeight;
  }
  Node->FInTree = true;
}

void TTreeExNodes::AddItem(TTreeExNode* Node, HTREEITEM InsertAfter) {
  TVINSERTSTRUCTW IS{};
  IS.hParent = Node->FParent == FRoot ? TVI_ROOT : Node->FParent->FItemId;
  IS.hInsertAfter = InsertAfter;
  CreateItem(Node, IS.itemex);
  InvalidateItemCache();
  HTREEITEM Item = reinterpret_cast<HTREEITEM>(
      FOwner->SendTV(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&IS)));
  if (!Item) throw EOutOfResources(L"Unable to insert an item");
  Node->FItemId = Item;
}

void TTreeExNodes::AddItemBranch(TTreeExNode* Node, HTREEITEM InsertAfter) {
  TCustomTreeEx* T = FOwner;
  ++T->FRestoring;
  ++T->FManualNotify;
  try {
    AddItem(Node, InsertAfter);
    std::vector<TTreeExNode*> Order{Node};  // breadth first: parents before children
    for (size_t I = 0; I < Order.size(); ++I) {
      TTreeExNode* P = Order[I];
      for (int K = 0; K < P->FChildren.GetCount(); ++K) {
        TTreeExNode* C = P->FChildren.List()[K];
        AddItem(C, TVI_LAST);
        Order.push_back(C);
      }
    }
    for (TTreeExNode* P : Order)
      if (P->FExpanded && P->HasChildren()) T->SendTV(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(P->FItemId));
  } catch (...) {
    --T->FManualNotify;
    --T->FRestoring;
    throw;
  }
  --T->FManualNotify;
  --T->FRestoring;
}

void TTreeExNodes::AddedNode(TTreeExNode* Parent) {
  if (Parent == FRoot || Parent->FChildrenFlag) return;
  Parent->SetChildren(true);
  Repaint(Parent);
}

TTreeExNode* TTreeExNodes::InternalAddObject(TTreeExNode* Parent, const String& S, void* Ptr, TAddMode Mode,
                                              TTreeExNode* Before) {
  if (!Parent) Parent = FRoot;
  if (Parent->FDeleting && Parent != FRoot) throw ETreeExError(L"Cannot add to a node that is being deleted");
  TTreeExNode* Node = FOwner->CreateNode();
  Node->FData = Ptr;
  Node->FText = S;
  Node->FParent = Parent;
  Node->FInTree = true;
  if (FOwner->CanInsertNative() && (Parent == FRoot || Parent->FItemId)) {
    HTREEITEM After = TVI_LAST;
    if (Mode == taAddFirst) After = TVI_FIRST;
    if (Mode == taInsert) {
      TTreeExNode* Prev = Before->GetPrevSibling();
      After = Prev && Prev->FItemId ? Prev->FItemId : TVI_FIRST;
    }
    try {
      AddItem(Node, After);
    } catch (...) {
      delete Node;  // never linked anywhere
      throw;
    }
  }
  AddedNode(Parent);
  int Index = Parent->FChildren.GetCount();
  if (Mode == taAddFirst) Index = 0;
  if (Mode == taInsert) Index = Before->GetIndex();
  Parent->FChildren.Insert(Index, Node);
  Node->FIndexHint = Index;
  Node->ApplyNewParentCheckType();
  InvalidateItemCache();
  FOwner->DoChange(Node);
  return Node;
}

// ---------------------------------------------------------------------------
// Deletion

void TTreeExNodes::DeleteSubtrees(const std::vector<TTreeExNode*>& Roots, TTreeExNode* WholeParent) {
  if (Roots.empty()) return;
  TCustomTreeEx* T = FOwner;
  // Every node of the branches, deepest first (post-order).
  std::vector<TTreeExNode*> Order;
  {
    std::vector<std::pair<TTreeExNode*, int>> Stack;
    for (TTreeExNode* R : Roots) {
      if (R->FDeleting) continue;
      Stack.push_back({R, 0});
      while (!Stack.empty()) {
        auto& [N, Next] = Stack.back();
        if (Next < N->FChildren.GetCount()) {
          TTreeExNode* C = N->FChildren.List()[Next++];
          Stack.push_back({C, 0});
        } else {
          N->FDeleting = true;
          Order.push_back(N);
          Stack.pop_back();
        }
      }
    }
  }
  if (Order.empty()) return;
  ++FDeleteGeneration;

  // Forget references the control holds to the nodes that go.
  auto Gone = [](TTreeExNode* N) { return N && N->FDeleting; };
  if (Gone(T->FRangeAnchor)) T->FRangeAnchor = nullptr;
  if (Gone(T->FDragNode)) T->FDragNode = nullptr;
  if (Gone(T->FRClickNode)) T->FRClickNode = nullptr;
  if (Gone(T->FCheckNode)) T->FCheckNode = nullptr;
  if (Gone(T->FEditNode)) T->FEditNode = nullptr;
  if (Gone(T->FSavedTopItem)) T->FSavedTopItem = nullptr;
  if (Gone(T->FChangeNode)) {
    T->FChangeNode = nullptr;
    T->FChangePending = false;
    T->StopTimer(TCustomTreeEx::TTreeTimer::Change);
  }
  std::erase_if(T->FBandNodes, Gone);
  for (TNodeWatch* W : FWatches)
    if (Gone(W->Node_)) W->Node_ = nullptr;
  bool SelectionChanged = false;
  {
    int J = 0;
    for (int I = 0; I < FSelection.GetCount(); ++I) {
      TTreeExNode* N = FSelection.Get(I);
      if (N->FDeleting) {
        N->FSelectedMark = false;
        SelectionChanged = true;
      } else {
        FSelection.Put(J++, N);
      }
    }
    FSelection.SetCount(J);
  }

  // The owner frees its records here, while the nodes are still whole.
  bool Failed = false;
  std::exception_ptr Error;
  if (T->OnDeletion && !T->FRecreating) {
    for (TTreeExNode* N : Order) {
      try {
        T->OnDeletion(this, N);
      } catch (...) {
        if (!Failed) Error = std::current_exception();
        Failed = true;
      }
    }
  }

  // Native items: the notifications that follow find the nodes marked
  // as deleting and only drop their item handles.
  if (T->HandleAllocated()) {
    ++T->FManualNotify;
    if (WholeParent == FRoot)
      T->SendTV(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    else if (WholeParent && WholeParent->FItemId)
      T->SendTV(TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(WholeParent->FItemId));
    else
      for (TTreeExNode* R : Roots)
        if (R->FItemId && !(R->FParent && R->FParent->FDeleting))
          T->SendTV(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(R->FItemId));
    --T->FManualNotify;
  }

  // Unlink the branches from their parents: one pass per parent.
  std::vector<TTreeExNode*> Parents;
  for (TTreeExNode* R : Roots)
    if (R->FParent && !R->FParent->FDeleting) Parents.push_back(R->FParent);
  std::sort(Parents.begin(), Parents.end());
  Parents.erase(std::unique(Parents.begin(), Parents.end()), Parents.end());
  for (TTreeExNode* P : Parents) {
    TTreeNodeList& L = P->FChildren;
    int J = 0;
    for (int I = 0; I < L.GetCount(); ++I)
      if (!L.List()[I]->FDeleting) L.Put(J++, L.List()[I]);
    L.SetCount(J);
  }
  for (TTreeExNode* N : Order) {
    N->FItemId = nullptr;
    N->FData = nullptr;
    delete N;
  }
  InvalidateItemCache();
  if (T->HandleAllocated()) T->SyncSelectionWithCaret(SelectionChanged);
  if (Failed) std::rethrow_exception(Error);
}

void TTreeExNodes::Delete(TTreeExNode* Node) {
  if (!Node || Node->FDeleting || Node == FRoot) return;
  TTreeExNode* Parent = Node->FParent;
  DeleteSubtrees({Node});
  if (Parent && Parent != FRoot && !Parent->FDeleting && !Parent->HasChildren()) {
    // The parent lost its last child: it closes and loses its button.
    Parent->Collapse(false);
    Parent->SetChildren(false);
  }
}

void TTreeExNodes::Clear() {
  if (!FRoot->HasChildren()) return;
  FDeleting = true;
  std::vector<TTreeExNode*> Tops(FRoot->FChildren.List(), FRoot->FChildren.List() + FRoot->FChildren.GetCount());
  try {
    DeleteSubtrees(Tops, FRoot);
  } catch (...) {
    FDeleting = false;
    throw;
  }
  FDeleting = false;
}

void TTreeExNodes::DeleteSelectedNodes() {
  std::vector<TTreeExNode*> Copy(FSelection.List(), FSelection.List() + FSelection.GetCount());
  if (FOwner->FRangeAnchor && FOwner->FRangeAnchor->FSelectedMark) FOwner->FRangeAnchor = nullptr;
  // A selected node inside another selected node's branch goes with it.
  std::vector<TTreeExNode*> Roots;
  for (TTreeExNode* N : Copy) {
    bool Inside = false;
    for (TTreeExNode* P = N->GetParent(); P && !Inside; P = P->GetParent()) Inside = P->FSelectedMark;
    if (!Inside) Roots.push_back(N);
  }
  DeleteSubtrees(Roots);
  if (!FRoot->HasChildren()) FOwner->DoChange(nullptr);
  InvalidateItemCache();
}

// ---------------------------------------------------------------------------
// Counting, cache and search

int TTreeExNodes::GetCount() const {
  return FOwner->HandleAllocated() ? static_cast<int>(FOwner->SendTV(TVM_GETCOUNT)) : 0;
}

int TTreeExNodes::GetNodeCount() {
  FillCache();
  return FItemCache.GetCount();
}

TTreeExNode* TTreeExNodes::GetFirstNode() const { return FRoot->GetFirstChild(); }

void TTreeExNodes::InvalidateItemCache() { FCacheValid = false; }

void TTreeExNodes::FillCache() {
  if (FCacheValid) return;
  FItemCache.SetCount(0);
  std::vector<TTreeExNode*> Stack;
  for (int I = FRoot->FChildren.GetCount() - 1; I >= 0; --I) Stack.push_back(FRoot->FChildren.List()[I]);
  while (!Stack.empty()) {
    TTreeExNode* N = Stack.back();
    Stack.pop_back();
    N->FAbsIndex = FItemCache.Add(N);
    for (int I = N->FChildren.GetCount() - 1; I >= 0; --I) Stack.push_back(N->FChildren.List()[I]);
  }
  FCacheValid = true;
}

int TTreeExNodes::AbsIndexOf(TTreeExNode* Node) {
  if (!Node || Node == FRoot || Node->FDeleting) return -1;
  FillCache();
  return Node->FAbsIndex;
}

TTreeExNode* TTreeExNodes::GetNodeFromIndex(int Index) {
  FillCache();
  return FItemCache.Get(Index);
}

TTreeExNode* TTreeExNodes::GetNode(HTREEITEM ItemId) const {
  if (!ItemId || !FOwner->HandleAllocated()) return nullptr;
  TVITEMW I{};
  I.mask = TVIF_PARAM;
  I.hItem = ItemId;
  if (!FOwner->SendTV(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&I))) return nullptr;
  return reinterpret_cast<TTreeExNode*>(I.lParam);
}

TTreeExNode* TTreeExNodes::FindNode(TFindFlags Flags, const String& S, void* Data) {
  if (Flags.Empty()) return nullptr;
  FillCache();
  for (int I = 0; I < FItemCache.GetCount(); ++I) {
    TTreeExNode* N = FItemCache.List()[I];
    if (Flags.Contains(ffText) && !SameText(N->FText, S)) continue;
    if (Flags.Contains(ffData) && N->FData != Data) continue;
    return N;
  }
  return nullptr;
}

void TTreeExNodes::SetItem(int Index, TTreeExNode* Value) { GetNodeFromIndex(Index)->Assign(Value); }

void TTreeExNodes::BeginUpdate() {
  if (FUpdateCount++ == 0 && FOwner->HandleAllocated()) FOwner->SendTV(WM_SETREDRAW, FALSE);
}

void TTreeExNodes::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0 && FOwner->HandleAllocated()) {
    FOwner->SendTV(WM_SETREDRAW, TRUE);
    FOwner->Invalidate();
  }
}

void TTreeExNodes::Repaint(TTreeExNode* Node) {
  if (IsUpdating() || !Node || !FOwner->HandleAllocated()) return;
  while (Node && !Node->IsNodeVisible()) Node = Node->GetParent();
  if (!Node) return;
  TRect R = Node->DisplayRect(false);
  if (RectWidth(R) > 0 || RectHeight(R) > 0) InvalidateRect(FOwner->GetHandle(), &R, TRUE);
}

// ---------------------------------------------------------------------------
// Copying

void TTreeExNodes::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TTreeExNodes*>(Source);
  if (!S) {
    TPersistent::Assign(Source);
    return;
  }
  if (S == this) return;
  // Node by node, so data pointers are copied whole.
  Clear();
  BeginUpdate();
  try {
    SetCheckType(S->FCheckType);
    S->FillCache();
    std::vector<TTreeExNode*> Src(S->FItemCache.List(), S->FItemCache.List() + S->FItemCache.GetCount());
    std::vector<TTreeExNode*> Dst(Src.size());
    for (size_t I = 0; I < Src.size(); ++I) {
      TTreeExNode* P = Src[I]->GetParent();
      TTreeExNode* DP = P ? Dst[static_cast<size_t>(P->FAbsIndex)] : nullptr;
      TTreeExNode* N = AddChildObject(DP, Src[I]->FText, Src[I]->FData);
      bool Expanded = Src[I]->FExpanded;
      Src[I]->FExpanded = false;  // expanded below, once the children exist
      N->Assign(Src[I]);
      Src[I]->FExpanded = Expanded;
      Dst[I] = N;
    }
    for (size_t I = 0; I < Src.size(); ++I) {
      if (Src[I]->FSelectedMark) SelectNode(Dst[I], stSet);
      if (Src[I]->FExpanded) Dst[I]->Expand(false);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---------------------------------------------------------------------------
// The binary node stream

void TTreeExNodes::WriteData(TStream* Stream) {
  std::string Head;
  Head.push_back(static_cast<char>(FCheckType));
  nodeformat::PutInt32(Head, static_cast<uint32_t>(FRoot->FChildren.GetCount()));
  Stream->WriteBuffer(Head.data(), static_cast<int64_t>(Head.size()));
  FillCache();
  std::vector<TTreeExNode*> All(FItemCache.List(), FItemCache.List() + FItemCache.GetCount());
  TNodeInfo Info;
  for (TTreeExNode* N : All) N->WriteData(Stream, &Info);
}

namespace {

// The head of a node stream: the top-level check type and the count of
// top-level nodes.
void ReadStreamHead(TStream* Stream, TCheckType& CheckType, int32_t& Count) {
  unsigned char Head[5];
  Stream->ReadBuffer(Head, 5);
  if (Head[0] > ctRadioButton) throw EReadError(L"Invalid node stream check type");
  CheckType = static_cast<TCheckType>(Head[0]);
  Count = static_cast<int32_t>(nodeformat::GetUInt32(Head + 1));
  if (Count < 0) throw EReadError(L"Invalid node stream count");
}

// Reads a whole node stream without making a node, raising as reading it
// into the tree would.
void CheckNodeStream(TStream* Stream) {
  TCheckType CheckType;
  int32_t Count;
  ReadStreamHead(Stream, CheckType, Count);
  std::vector<int32_t> Left{Count};
  TNodeInfo Info;
  unsigned char Body[nodeformat::kMaxSize];
  while (!Left.empty()) {
    if (Left.back() == 0) {
      Left.pop_back();
      continue;
    }
    --Left.back();
    unsigned char SizeBytes[4];
    Stream->ReadBuffer(SizeBytes, 4);
    const uint32_t Size = nodeformat::GetUInt32(SizeBytes);
    nodeformat::CheckRecordSize(Size);
    Stream->ReadBuffer(Body, Size);
    nodeformat::ParseRecord(Body, Size, Info);
    if (Info.Count > 0) Left.push_back(Info.Count);
  }
}

}  // namespace

// The whole stream is read once before the tree changes, so that a broken
// one leaves the nodes as they were; then the nodes are made from it.
void TTreeExNodes::ReadData(TStream* Stream) {
  const int64_t Start = Stream->GetPosition();
  CheckNodeStream(Stream);
  Stream->SetPosition(Start);
  Clear();
  BeginUpdate();
  try {
    TCheckType CheckType;
    int32_t Count;
    ReadStreamHead(Stream, CheckType, Count);
    SetCheckType(CheckType);
    // Children counts drive the walk; no recursion, so depth is harmless.
    std::vector<std::pair<TTreeExNode*, int32_t>> Stack{{nullptr, Count}};
    std::vector<TTreeExNode*> Expanded;
    TNodeInfo Info;
    while (!Stack.empty()) {
      if (Stack.back().second == 0) {
        Stack.pop_back();
        continue;
      }
      --Stack.back().second;
      TTreeExNode* N = AddChild(Stack.back().first, String());
      try {
        N->ReadData(Stream, &Info);
      } catch (...) {
        Delete(N);  // a node whose record is bad does not stay half-read
        throw;
      }
      if (Info.Expanded) Expanded.push_back(N);
      if (Info.Count > 0) Stack.push_back({N, Info.Count});
    }
    if (!FOwner->FOptions.Contains(toSingleExpand))
      for (TTreeExNode* N : Expanded)
        if (!N->FDeleting) N->SetExpanded(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---------------------------------------------------------------------------
// The indented text format

namespace {
class TNodesTextSink : public nodeformat::TTextTreeSink {
 public:
  explicit TNodesTextSink(TTreeExNodes* Nodes) : Nodes_(Nodes) {}
  void* AddChild(void* Parent, const String& Text) override {
    auto* P = static_cast<TTreeExNode*>(Parent);
    return Nodes_->AddChild(P == Nodes_->GetRoot() ? nullptr : P, Text);
  }
  bool LevelError(int Line) override {
    if (Answer_ < Answers.size()) return Answers[Answer_++];
    bool Raise = true;
    if (Nodes_->GetOwner()->OnLevelError) Nodes_->GetOwner()->OnLevelError(Line, Raise);
    return Raise;
  }
  // The answers already given to the level errors, in order.
  std::vector<bool> Answers;

 private:
  TTreeExNodes* Nodes_;
  size_t Answer_ = 0;
};

// Reads the text through without making a node, keeping the answers the
// tree gives to its level errors.
class TTextCheckSink : public nodeformat::TTextTreeSink {
 public:
  explicit TTextCheckSink(TCustomTreeEx* Tree) : Tree_(Tree) {}
  void* AddChild(void*, const String&) override { return this; }
  bool LevelError(int Line) override {
    bool Raise = true;
    if (Tree_->OnLevelError) Tree_->OnLevelError(Line, Raise);
    Answers.push_back(Raise);
    return Raise;
  }
  std::vector<bool> Answers;

 private:
  TCustomTreeEx* Tree_;
};

String ReadRest(TStream* Stream) {
  int64_t Left = Stream->GetSize() - Stream->GetPosition();
  AnsiString Bytes(static_cast<size_t>(Left > 0 ? Left : 0), '\0');
  if (!Bytes.empty()) Stream->ReadBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  return AnsiToWide(Bytes);
}
}  // namespace

void TTreeExNodes::ReadStrings(TStream* Stream) {
  const String Text = ReadRest(Stream);
  TNodesTextSink Sink(this);
  nodeformat::ReadIndentedText(Text, FRoot, Sink);
}

void TTreeExNodes::ReplaceWithStrings(TStream* Stream) {
  const String Text = ReadRest(Stream);
  TTextCheckSink Check(FOwner);
  nodeformat::ReadIndentedText(Text, FRoot, Check);
  TNodesTextSink Sink(this);
  Sink.Answers = std::move(Check.Answers);
  BeginUpdate();
  try {
    Clear();
    nodeformat::ReadIndentedText(Text, FRoot, Sink);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TTreeExNodes::WriteStrings(TStream* Stream) {
  FillCache();
  String Text;
  for (int I = 0; I < FItemCache.GetCount(); ++I) {
    TTreeExNode* N = FItemCache.List()[I];
    nodeformat::AppendTextLine(Text, N->GetLevel(), N->FText);
  }
  AnsiString Bytes = WideToAnsi(Text);
  if (!Bytes.empty()) Stream->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

// ---------------------------------------------------------------------------
// Component streams

void TTreeExNodes::DefineProperties(TFiler* Filer) {
  TPersistent::DefineProperties(Filer);
  const int Count = GetNodeCount();
  bool HasData;
  auto* Ancestor = dynamic_cast<TTreeExNodes*>(Filer->GetAncestor());
  if (Ancestor && Ancestor->GetNodeCount() == Count) {
    HasData = FCheckType != ctNone;
    for (int I = 0; I < Count && !HasData; ++I)
      HasData = !GetNodeFromIndex(I)->IsEqual(Ancestor->GetNodeFromIndex(I));
  } else {
    HasData = Count > 0 || FCheckType != ctNone;
  }
  Filer->DefineBinaryProperty(
      L"Data", [this](TStream* S) { ReadData(S); }, [this](TStream* S) { WriteData(S); }, HasData);
}
