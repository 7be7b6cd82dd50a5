// Check marks (check boxes, three-state boxes, radio buttons) and the
// selection list with its multi-node operations.
#include <algorithm>
#include <unordered_set>

#include "treecontrol/TreeEx.h"

// Pictures of the built-in check images.
enum : int {
  kPicNone = 0, kBoxOff = 1, kBoxOn = 2, kBoxOffGrey = 3, kBoxOnGrey = 4,
  kRadioOff = 5, kRadioOn = 6, kRadioOffGrey = 7, kRadioOnGrey = 8
};

static bool IsOn(TCheckState S) { return S == csChecked || S == csCheckedGrayed; }

TCheckType TTreeExNode::ParentCheckType() const { return FParent ? FParent->FCheckType : ctNone; }

void TTreeExNode::SetCheckPicture(int Index) { GetTreeEx()->SetCheckImage(this, Index); }

void TTreeExNode::ApplyNewParentCheckType() {
  switch (ParentCheckType()) {
    case ctNone: SetCheckPicture(kPicNone); break;
    case ctCheckBox:
    case ctCheckBoxGrayed: SetCheckPicture(kBoxOff); break;
    case ctRadioButton: SetCheckPicture(kRadioOff); break;
  }
}

void TTreeExNode::DeriveParentCheckStates() {
  TTreeExNode* Root = FOwner->FRoot;
  for (TTreeExNode* P = FParent; P && P != Root && P->FParent && P->FParent->FCheckType == ctCheckBoxGrayed;
       P = P->FParent) {
    int On = 0;
    for (int I = 0; I < P->FChildren.GetCount(); ++I) On += IsOn(P->FChildren.List()[I]->FCheckState) ? 1 : 0;
    if (On == 0) {
      P->FCheckState = csUnchecked;
      P->SetCheckPicture(kBoxOff);
    } else if (On == P->FChildren.GetCount()) {
      P->FCheckState = csChecked;
      P->SetCheckPicture(kBoxOn);
    } else {
      P->FCheckState = csCheckedGrayed;
      P->SetCheckPicture(kBoxOnGrey);
    }
  }
}

void TTreeExNode::SetCheckState(TCheckState Value) {
  TCustomTreeEx* T = GetTreeEx();
  if (!FEnabled || !T->CanCheck(this)) return;
  TCheckType PT = ParentCheckType();
  switch (PT) {
    case ctCheckBox:
      if (IsOn(Value)) {
        FCheckState = csChecked;
        SetCheckPicture(kBoxOn);
      } else {
        FCheckState = csUnchecked;
        SetCheckPicture(kBoxOff);
      }
      break;
    case ctCheckBoxGrayed:
      FCheckState = Value;
      if (Value == csUnchecked) SetCheckPicture(kBoxOff);
      if (Value == csChecked) SetCheckPicture(kBoxOn);
      if (Value == csCheckedGrayed) SetCheckPicture(kBoxOnGrey);
      if ((FCheckType == ctCheckBox || FCheckType == ctCheckBoxGrayed) &&
          (Value == csUnchecked || Value == csChecked)) {
        std::vector<TTreeExNode*> Kids(FChildren.List(), FChildren.List() + FChildren.GetCount());
        for (TTreeExNode* K : Kids) K->SetCheckState(Value);
      }
      break;
    case ctRadioButton:
      if (IsOn(Value)) {
        FCheckState = csChecked;
        SetCheckPicture(kRadioOn);
        for (int I = 0; I < FParent->FChildren.GetCount(); ++I) {
          TTreeExNode* S = FParent->FChildren.List()[I];
          if (S == this) continue;
          S->FCheckState = csUnchecked;
          S->SetCheckPicture(S->FEnabled ? kRadioOff : kRadioOffGrey);
        }
      }
      break;
    case ctNone: break;
  }
  if (PT == ctCheckBox || PT == ctCheckBoxGrayed) DeriveParentCheckStates();
  T->Check(this);
}

void TTreeExNode::SetCheckType(TCheckType Value) {
  if (Value == FCheckType) return;
  std::vector<TTreeExNode*> Kids(FChildren.List(), FChildren.List() + FChildren.GetCount());
  switch (Value) {
    case ctNone:
      for (TTreeExNode* K : Kids) {
        K->FCheckState = csUnchecked;
        K->SetCheckPicture(kPicNone);
      }
      break;
    case ctCheckBox:
      for (TTreeExNode* K : Kids) {
        bool On = K->FCheckState == csChecked;
        K->SetCheckPicture(K->FEnabled ? (On ? kBoxOn : kBoxOff) : (On ? kBoxOnGrey : kBoxOffGrey));
      }
      break;
    case ctCheckBoxGrayed:
      FCheckState = csUnchecked;
      for (TTreeExNode* K : Kids) K->SetCheckPicture(K->FEnabled ? kBoxOff : kBoxOffGrey);
      break;
    case ctRadioButton: {
      for (TTreeExNode* K : Kids) {
        K->FCheckState = csUnchecked;
        K->SetCheckPicture(K->FEnabled ? kRadioOff : kRadioOffGrey);
      }
      for (TTreeExNode* K : Kids)
        if (K->FEnabled) {
          K->FCheckState = csChecked;
          K->SetCheckPicture(kRadioOn);
          break;
        }
      break;
    }
  }
  FCheckType = Value;
}

void TTreeExNode::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  TCheckType PT = ParentCheckType();
  if (PT == ctNone) return;
  int P = FStateIndex;
  if (Value) {
    if (P == kBoxOffGrey) P = kBoxOff;
    else if (P == kRadioOffGrey) P = kRadioOff;
    else if (P == kRadioOnGrey) P = kRadioOn;
    else if (P == kBoxOnGrey && PT == ctCheckBox) P = kBoxOn;
  } else {
    if (P == kBoxOff) P = kBoxOffGrey;
    else if (P == kBoxOn) P = kBoxOnGrey;
    else if (P == kRadioOff) P = kRadioOffGrey;
    else if (P == kRadioOn) P = kRadioOnGrey;
  }
  if (P != FStateIndex) SetCheckPicture(P);
}

void TTreeExNode::DoCheckClick() {
  if (!FEnabled) {
    // A disabled node shows its state again after the pressed look.
    switch (ParentCheckType()) {
      case ctCheckBox: SetCheckPicture(FCheckState == csChecked ? kBoxOnGrey : kBoxOffGrey); break;
      case ctCheckBoxGrayed:
        if (FCheckState == csUnchecked) SetCheckPicture(kBoxOffGrey);
        if (FCheckState == csChecked) SetCheckPicture(kBoxOnGrey);
        break;
      case ctRadioButton: SetCheckPicture(FCheckState == csChecked ? kRadioOnGrey : kRadioOffGrey); break;
      case ctNone: break;
    }
    return;
  }
  switch (ParentCheckType()) {
    case ctCheckBox: SetCheckState(FCheckState == csChecked ? csUnchecked : csChecked); break;
    case ctCheckBoxGrayed:
      if (FCheckState == csUnchecked) SetCheckState(csCheckedGrayed);
      else if (FCheckState == csCheckedGrayed) SetCheckState(csChecked);
      else if (FCheckState == csChecked) SetCheckState(csUnchecked);
      break;
    case ctRadioButton: SetCheckState(csChecked); break;
    case ctNone: break;
  }
}

void TTreeExNodes::SetCheckType(TCheckType Value) {
  FCheckType = Value;
  FRoot->SetCheckType(Value);
}

void TCustomTreeEx::SetCheckImage(TTreeExNode* Node, int Index) {
  if (Node && FOptions.Contains(toCheckSupport)) Node->SetStateIndex(Index);
}

// ---------------------------------------------------------------------------
// Selection

void TTreeExNodes::AddToSelection(TTreeExNode* Node) {
  if (FSelectionLock > 0 || !Node || Node->FSelectedMark || Node->FDeleting) return;
  FSelection.Add(Node);
  Node->FSelectedMark = true;
}

void TTreeExNodes::RemoveFromSelection(TTreeExNode* Node) {
  if (FSelectionLock > 0 || !Node || !Node->FSelectedMark) return;
  FSelection.Remove(Node);
  Node->FSelectedMark = false;
}

void TTreeExNodes::SelectNode(TTreeExNode* Node, TSelectType SelectType) {
  if (!Node || Node->FDeleting) return;
  if (!FOwner->CanChange(Node)) return;
  bool Select = SelectType == stSet || (SelectType == stToggle && !Node->FSelectedMark);
  // Before any single selection has set a level, every level is allowed.
  if (Select && FOwner->FOptions.Contains(toLevelSelectConstraint) && FLevelAnchor >= 0 &&
      Node->GetLevel() != FLevelAnchor)
    return;
  if (Select)
    AddToSelection(Node);
  else
    RemoveFromSelection(Node);
  Node->SetStateBits(TVIS_SELECTED, Select ? TVIS_SELECTED : 0);
  if (!InBulkSelection()) FOwner->DoChange(Node);
}

void TTreeExNodes::SelectNodes(TTreeExNode* NodeFrom, TTreeExNode* NodeTo, bool AddOnly) {
  if (!NodeFrom || !NodeTo) return;
  BeginBulk();
  try {
    TTreeExNode* A = NodeFrom;
    TTreeExNode* B = NodeTo;
    if (AbsIndexOf(A) > AbsIndexOf(B)) std::swap(A, B);
    std::vector<TTreeExNode*> Range;
    for (TTreeExNode* N = A; N; N = N->GetNextVisible()) {
      Range.push_back(N);
      if (N == B) break;
    }
    std::unordered_set<TTreeExNode*> InRange(Range.begin(), Range.end());
    std::vector<TTreeExNode*> Outside;
    if (!AddOnly)
      for (int I = 0; I < FSelection.GetCount(); ++I)
        if (!InRange.count(FSelection.Get(I))) Outside.push_back(FSelection.Get(I));
    std::erase_if(Range, [](TTreeExNode* N) { return N->FSelectedMark; });
    if (!Outside.empty()) {
      // Deselected while the list is locked, then taken out in one pass.
      LockSelection();
      try {
        for (TTreeExNode* N : Outside) SelectNode(N, stReset);
      } catch (...) {
        UnlockSelection();
        throw;
      }
      UnlockSelection();
      std::unordered_set<TTreeExNode*> Gone(Outside.begin(), Outside.end());
      int J = 0;
      for (int I = 0; I < FSelection.GetCount(); ++I) {
        TTreeExNode* N = FSelection.Get(I);
        if (Gone.count(N))
          N->FSelectedMark = false;
        else
          FSelection.Put(J++, N);
      }
      FSelection.SetCount(J);
    }
    for (TTreeExNode* N : Range) SelectNode(N, stSet);
  } catch (...) {
    EndBulk();
    throw;
  }
  EndBulk();
  FOwner->DoChange(AbsIndexOf(NodeFrom) > AbsIndexOf(NodeTo) ? NodeFrom : NodeTo);
}

void TTreeExNodes::ToggleSelectionRange(TTreeExNode* NodeFrom, TTreeExNode* NodeTo) {
  if (!NodeFrom || !NodeTo || NodeFrom == NodeTo) return;
  bool Down = AbsIndexOf(NodeFrom) < AbsIndexOf(NodeTo);
  BeginBulk();
  try {
    for (TTreeExNode* N = Down ? NodeFrom->GetNextVisible() : NodeFrom->GetPrevVisible(); N && N != NodeTo;
         N = Down ? N->GetNextVisible() : N->GetPrevVisible())
      SelectNode(N, stToggle);
  } catch (...) {
    EndBulk();
    throw;
  }
  EndBulk();
  FOwner->DoChange(NodeTo);
}

void TTreeExNodes::SelectAll() {
  FillCache();
  if (FItemCache.GetCount() == 0) return;
  std::vector<TTreeExNode*> All(FItemCache.List(), FItemCache.List() + FItemCache.GetCount());
  BeginBulk();
  try {
    for (TTreeExNode* N : All) SelectNode(N, stSet);
  } catch (...) {
    EndBulk();
    throw;
  }
  EndBulk();
  FOwner->DoChange(All.back());
}

void TCustomTreeEx::ClearSelection() {
  TTreeExNodes* N = FItems.get();
  if (N->FSelection.GetCount() == 0) return;
  N->LockSelection();
  N->BeginBulk();
  try {
    std::vector<TTreeExNode*> Sel(N->FSelection.List(), N->FSelection.List() + N->FSelection.GetCount());
    for (TTreeExNode* S : Sel) N->SelectNode(S, stReset);
    for (TTreeExNode* S : Sel) S->FSelectedMark = false;
    N->FSelection.SetCount(0);
  } catch (...) {
    N->EndBulk();
    N->UnlockSelection();
    throw;
  }
  N->EndBulk();
  try {
    DoChange(nullptr);
  } catch (...) {
    N->UnlockSelection();
    throw;
  }
  N->UnlockSelection();
}
