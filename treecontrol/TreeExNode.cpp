// Tree nodes: navigation, attributes kept beside the native item, expanding
// and collapsing, moving and copying.
#include <algorithm>
#include <cstring>

#include "treecontrol/TreeEx.h"

#ifndef TVIS_FOCUSED
#define TVIS_FOCUSED 0x0001
#endif

TTreeExNode::TTreeExNode(TTreeExNodes* AOwner) : FOwner(AOwner) {}

TTreeExNode::~TTreeExNode() {
  // The collection unlinks a node before it frees it; see TTreeExNodes.
  if (FFont) FFont->OnChange = nullptr;
}

TCustomTreeEx* TTreeExNode::GetTreeEx() const { return FOwner ? FOwner->GetOwner() : nullptr; }

HWND TTreeExNode::GetHandle() const {
  TCustomTreeEx* T = GetTreeEx();
  return T && T->HandleAllocated() ? T->GetHandle() : nullptr;
}

// ---------------------------------------------------------------------------
// Navigation

TTreeExNode* TTreeExNode::GetParent() const {
  return FParent && FParent != FOwner->FRoot ? FParent : nullptr;
}

TTreeExNode* TTreeExNode::GetFirstChild() const {
  return FChildren.GetCount() ? FChildren.List()[0] : nullptr;
}

TTreeExNode* TTreeExNode::GetLastChild() const {
  return FChildren.GetCount() ? FChildren.List()[FChildren.GetCount() - 1] : nullptr;
}

int TTreeExNode::GetIndex() const {
  if (!FParent) return -1;
  const TTreeNodeList& L = FParent->FChildren;
  if (FIndexHint >= 0 && FIndexHint < L.GetCount() && L.List()[FIndexHint] == this) return FIndexHint;
  // Neighbours of the hint first: lists mostly shift by one.
  for (int D : {-1, 1}) {
    int I = FIndexHint + D;
    if (I >= 0 && I < L.GetCount() && L.List()[I] == this) return FIndexHint = I;
  }
  FIndexHint = L.IndexOf(this);
  return FIndexHint;
}

TTreeExNode* TTreeExNode::GetNextSibling() const {
  if (!FParent) return nullptr;
  int I = GetIndex();
  return I >= 0 && I + 1 < FParent->FChildren.GetCount() ? FParent->FChildren.List()[I + 1] : nullptr;
}

TTreeExNode* TTreeExNode::GetPrevSibling() const {
  if (!FParent) return nullptr;
  int I = GetIndex();
  return I > 0 ? FParent->FChildren.List()[I - 1] : nullptr;
}

TTreeExNode* TTreeExNode::GetNextChild(TTreeExNode* Value) const {
  return Value && Value->FParent == this ? Value->GetNextSibling() : nullptr;
}

TTreeExNode* TTreeExNode::GetPrevChild(TTreeExNode* Value) const {
  return Value && Value->FParent == this ? Value->GetPrevSibling() : nullptr;
}

TTreeExNode* TTreeExNode::GetNext() const {
  int I = GetAbsoluteIndex();
  if (I < 0) return nullptr;
  const TTreeNodeList& C = FOwner->FItemCache;
  return I + 1 < C.GetCount() ? C.List()[I + 1] : nullptr;
}

TTreeExNode* TTreeExNode::GetPrev() const {
  if (TTreeExNode* S = GetPrevSibling()) {
    while (S->HasChildren()) S = S->GetLastChild();
    return S;
  }
  return GetParent();
}

TTreeExNode* TTreeExNode::GetNextVisible() const {
  if (!IsNodeVisible()) return nullptr;
  if (FExpanded && HasChildren()) return GetFirstChild();
  for (const TTreeExNode* N = this; N && N != FOwner->FRoot; N = N->FParent)
    if (TTreeExNode* S = N->GetNextSibling()) return S;
  return nullptr;
}

TTreeExNode* TTreeExNode::GetPrevVisible() const {
  if (!IsNodeVisible()) return nullptr;
  if (TTreeExNode* S = GetPrevSibling()) {
    while (S->FExpanded && S->HasChildren()) S = S->GetLastChild();
    return S;
  }
  return GetParent();
}

TTreeExNode* TTreeExNode::GetNextSelected() const {
  const TTreeNodeList& S = FOwner->FSelection;
  int I = S.IndexOf(this);
  return I >= 0 && I + 1 < S.GetCount() ? S.Get(I + 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetPrevSelected() const {
  const TTreeNodeList& S = FOwner->FSelection;
  int I = S.IndexOf(this);
  return I > 0 ? S.Get(I - 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetItem(int Index) const {
  if (Index >= FChildren.GetCount()) throw ETreeExError(Format(L"List index out of bounds (%d)", Index));
  return FChildren.Get(Index);
}

void TTreeExNode::SetItem(int Index, TTreeExNode* Value) { GetItem(Index)->Assign(Value); }

// ---------------------------------------------------------------------------
// Queries

int TTreeExNode::GetLevel() const {
  int L = 0;
  for (const TTreeExNode* P = GetParent(); P; P = P->GetParent()) ++L;
  return L;
}

int TTreeExNode::GetAbsoluteIndex() const { return FOwner->AbsIndexOf(const_cast<TTreeExNode*>(this)); }

int TTreeExNode::GetAbsoluteCount() const {
  int N = 0;
  std::vector<const TTreeExNode*> Stack{this};
  while (!Stack.empty()) {
    const TTreeExNode* X = Stack.back();
    Stack.pop_back();
    N += X->FChildren.GetCount();
    for (int I = 0; I < X->FChildren.GetCount(); ++I) Stack.push_back(X->FChildren.List()[I]);
  }
  return N;
}

bool TTreeExNode::HasAsParent(const TTreeExNode* Value) const {
  if (!Value) return true;
  for (const TTreeExNode* N = this; N; N = N->GetParent())
    if (N == Value) return true;
  return false;
}

int TTreeExNode::IndexOf(const TTreeExNode* Value) const {
  if (!Value || Value->FParent != this) return -1;
  return Value->GetIndex();
}

bool TTreeExNode::IsNodeVisible() const {
  for (const TTreeExNode* P = GetParent(); P; P = P->GetParent())
    if (!P->FExpanded) return false;
  return true;
}

bool TTreeExNode::IsEqual(const TTreeExNode* Node) const {
  return Node && FText == Node->FText && FData == Node->FData;
}

bool TTreeExNode::IsUpdating() const { return FUpdateCount > 0 || FDeleting || FOwner->IsUpdating(); }

// ---------------------------------------------------------------------------
// The native item

bool TTreeExNode::GetItemField(TVITEMEXW& Item) const {
  HWND H = GetHandle();
  if (!H || !FItemId) return false;
  Item.hItem = FItemId;
  return GetTreeEx()->SendTV(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&Item)) != 0;
}

void TTreeExNode::SetItemField(TVITEMEXW& Item) const {
  HWND H = GetHandle();
  if (!H || !FItemId) return;
  Item.hItem = FItemId;
  GetTreeEx()->SendTV(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&Item));
}

UINT TTreeExNode::GetStateBits(UINT Mask) const {
  TVITEMEXW I{};
  I.mask = TVIF_STATE;
  I.stateMask = Mask;
  return GetItemField(I) ? I.state & Mask : 0;
}

void TTreeExNode::SetStateBits(UINT Mask, UINT Value) const {
  TVITEMEXW I{};
  I.mask = TVIF_STATE;
  I.stateMask = Mask;
  I.state = Value & Mask;
  SetItemField(I);
}

bool TTreeExNode::GetChildren() const {
  TVITEMEXW I{};
  I.mask = TVIF_CHILDREN;
  if (GetItemField(I)) return I.cChildren > 0;
  return FChildrenFlag;
}

void TTreeExNode::SetChildren(bool Value) {
  FChildrenFlag = Value;
  TVITEMEXW I{};
  I.mask = TVIF_CHILDREN;
  I.cChildren = Value ? 1 : 0;
  SetItemField(I);
}

static void SetMirror(UINT& Mirror, UINT Bit, bool On) { Mirror = On ? Mirror | Bit : Mirror & ~Bit; }

bool TTreeExNode::GetCut() const { return GetStateBits(TVIS_CUT) != 0; }
void TTreeExNode::SetCut(bool Value) {
  SetMirror(FNativeState, TVIS_CUT, Value);
  SetStateBits(TVIS_CUT, Value ? TVIS_CUT : 0);
}

bool TTreeExNode::GetDropTarget() const { return GetStateBits(TVIS_DROPHILITED) != 0; }
void TTreeExNode::SetDropTarget(bool Value) {
  HWND H = GetHandle();
  if (!H) return;
  if (Value)
    GetTreeEx()->SendTV(TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(FItemId));
  else if (GetDropTarget())
    GetTreeEx()->SetDropTarget(nullptr);
}

bool TTreeExNode::GetFocused() const { return GetStateBits(TVIS_FOCUSED) != 0; }
void TTreeExNode::SetFocused(bool Value) { SetStateBits(TVIS_FOCUSED, Value ? TVIS_FOCUSED : 0); }

bool TTreeExNode::GetExpandedOnce() const { return GetStateBits(TVIS_EXPANDEDONCE) != 0; }
bool TTreeExNode::GetExpandedPartial() const { return GetStateBits(TVIS_EXPANDPARTIAL) != 0; }
void TTreeExNode::SetExpandedPartial(bool Value) {
  SetMirror(FNativeState, TVIS_EXPANDPARTIAL, Value);
  SetStateBits(TVIS_EXPANDPARTIAL, Value ? TVIS_EXPANDPARTIAL : 0);
}

int TTreeExNode::GetIntegralHeight() const {
  TVITEMEXW I{};
  I.mask = TVIF_INTEGRAL;
  return GetItemField(I) ? I.iIntegral : 0;
}

void TTreeExNode::SetIntegralHeight(int Value) {
  FIntegralHeight = Value;
  TVITEMEXW I{};
  I.mask = TVIF_INTEGRAL;
  I.iIntegral = Value;
  SetItemField(I);
  if (HWND H = GetHandle()) InvalidateRect(H, nullptr, TRUE);
}

bool TTreeExNode::GetState(TNodeState NodeState) const {
  UINT Bit = 0;
  switch (NodeState) {
    case nsCut: Bit = TVIS_CUT; break;
    case nsDropHilited: Bit = TVIS_DROPHILITED; break;
    case nsExpanded: Bit = TVIS_EXPANDED; break;
    case nsExpandedOnce: Bit = TVIS_EXPANDEDONCE; break;
    case nsExpandPartial: Bit = TVIS_EXPANDPARTIAL; break;
    case nsFocused: Bit = TVIS_FOCUSED; break;
    case nsSelected: Bit = TVIS_SELECTED; break;
    default: return false;
  }
  return GetStateBits(Bit) != 0;
}

// ---------------------------------------------------------------------------
// Stored attributes

void TTreeExNode::Resort() {
  TCustomTreeEx* T = GetTreeEx();
  if (!FParent || FParent == FOwner->FRoot)
    T->AlphaSort();
  else
    FParent->AlphaSort();
}

void TTreeExNode::SetText(const String& Value) {
  FText = Value;
  TVITEMEXW I{};
  I.mask = TVIF_TEXT;
  I.pszText = const_cast<LPWSTR>(FText.c_str());
  SetItemField(I);
  TSortType S = GetTreeEx()->GetSortType();
  if (FInTree && !FDeleting && (S == stText || S == stBoth)) Resort();
}

void TTreeExNode::SetData(void* Value) {
  FData = Value;
  TCustomTreeEx* T = GetTreeEx();
  TSortType S = T->GetSortType();
  if (FInTree && !FDeleting && (S == stData || S == stBoth) && T->OnCompare) Resort();
}

void TTreeExNode::SetImageIndex(int Value) {
  FImageIndex = Value;
  // The native item asks for its images by callback: inside an update
  // bracket the redraw at its end shows the new one.
  if (FOwner->IsUpdating()) return;
  TVITEMEXW I{};
  I.mask = TVIF_IMAGE;
  I.iImage = I_IMAGECALLBACK;
  SetItemField(I);
}

void TTreeExNode::SetSelectedIndex(int Value) {
  FSelectedIndex = Value;
  if (FOwner->IsUpdating()) return;
  TVITEMEXW I{};
  I.mask = TVIF_SELECTEDIMAGE;
  I.iSelectedImage = I_IMAGECALLBACK;
  SetItemField(I);
}

// Overlay images 1..15 live in four state bits; an index outside them
// shows none rather than spilling into neighbouring bits.
static UINT OverlayBits(int Index) {
  return Index >= 0 && Index < 15 ? static_cast<UINT>(Index + 1) << 8 : 0;
}
static UINT StateImageBits(int Index) {
  return Index > 0 && Index < 16 ? static_cast<UINT>(Index) << 12 : 0;
}

void TTreeExNode::SetOverlayIndex(int Value) {
  FOverlayIndex = Value;
  SetStateBits(TVIS_OVERLAYMASK, OverlayBits(Value));
}

void TTreeExNode::SetStateIndex(int Value) {
  FStateIndex = Value;
  SetStateBits(TVIS_STATEIMAGEMASK, StateImageBits(Value));
}

TColor TTreeExNode::GetColor() const { return FParentColor ? GetTreeEx()->GetColor() : FColor; }

void TTreeExNode::RepaintRow() {
  if (!IsUpdating()) FOwner->Repaint(this);
}

void TTreeExNode::SetColor(TColor Value) {
  FColor = Value;
  FParentColor = false;
  RepaintRow();
}

void TTreeExNode::SetParentColor(bool Value) {
  if (FParentColor == Value) return;
  FParentColor = Value;
  RepaintRow();
}

void TTreeExNode::MakeOwnFont() {
  if (FFont) return;
  FFont = std::make_unique<TFont>();
  FFont->Assign(*GetTreeEx()->GetFont());
  FFont->OnChange = TNotifyEvent(this, &TTreeExNode::FontChanged);
}

void TTreeExNode::SetParentFont(bool Value) {
  if (FParentFont == Value) return;
  if (Value) {
    FFont.reset();
  } else {
    MakeOwnFont();
  }
  FParentFont = Value;
  RepaintRow();
}

TFont* TTreeExNode::GetFont() {
  MakeOwnFont();
  return FFont.get();
}

void TTreeExNode::SetFont(TFont* Value) {
  MakeOwnFont();
  if (Value) FFont->Assign(*Value);
  FParentFont = false;
  RepaintRow();
}

void TTreeExNode::FontChanged(TObject*) {
  FParentFont = false;
  RepaintRow();
}

// ---------------------------------------------------------------------------
// Actions

void TTreeExNode::SetExpanded(bool Value) {
  if (Value)
    Expand(false);
  else
    Collapse(false);
}

void TTreeExNode::Expand(bool Recurse) { ExpandItem(true, Recurse); }
void TTreeExNode::Collapse(bool Recurse) { ExpandItem(false, Recurse); }

void TTreeExNode::ExpandItem(bool DoExpand, bool Recurse) {
  TCustomTreeEx* T = GetTreeEx();
  TNodeWatch Self(FOwner, this);
  ++T->FManualNotify;
  try {
    UINT Action = 0;
    if (FChildrenFlag || HasChildren()) {
      if (DoExpand) {
        if (T->CanExpand(this)) {
          T->Expand(this);
          FExpanded = true;
          Action = TVE_EXPAND;
        }
      } else if (T->CanCollapse(this)) {
        T->Collapse(this);
        FExpanded = false;
        Action = TVE_COLLAPSE;
      }
    }
    // The handlers may have deleted this node's children or the node's
    // whole branch; only a node still in the tree talks to its item.
    if (Self.Get() && FItemId) {
      if (GetHandle())
        GetTreeEx()->SendTV(TVM_EXPAND, Action, reinterpret_cast<LPARAM>(FItemId));
    }
  } catch (...) {
    --T->FManualNotify;
    throw;
  }
  --T->FManualNotify;
  if (!DoExpand) T->SyncSelectionWithCaret();
  if (Recurse && Self.Get()) {
    // Copy first: handlers may change the children.
    std::vector<TTreeExNode*> Kids(FChildren.List(), FChildren.List() + FChildren.GetCount());
    unsigned Gen = FOwner->FDeleteGeneration;
    for (TTreeExNode* K : Kids)
      if (FOwner->StillChild(this, K, Gen)) K->ExpandItem(DoExpand, true);
  }
}

void TTreeExNode::MakeVisible() {
  if (GetHandle()) GetTreeEx()->SendTV(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(FItemId));
}

bool TTreeExNode::EditText() {
  HWND H = GetHandle();
  if (!H || !FItemId) return false;
  if (GetFocus() != H) ::SetFocus(H);
  return GetTreeEx()->SendTV(TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(FItemId)) != 0;
}

void TTreeExNode::EndEdit(bool Cancel) {
  if (GetHandle()) GetTreeEx()->SendTV(TVM_ENDEDITLABELNOW, Cancel ? 1 : 0, 0);
}

TRect TTreeExNode::DisplayRect(bool TextOnly) const {
  TRect R{};
  HWND H = GetHandle();
  if (!H || !FItemId) return R;
  std::memcpy(&R, &FItemId, sizeof FItemId);
  if (!GetTreeEx()->SendTV(TVM_GETITEMRECT, TextOnly ? 1 : 0, reinterpret_cast<LPARAM>(&R))) R = TRect{};
  return R;
}

void TTreeExNode::Delete() {
  if (!FDeleting) FOwner->Delete(this);
}

void TTreeExNode::DeleteChildren() {
  if (HasChildren()) {
    std::vector<TTreeExNode*> Kids(FChildren.List(), FChildren.List() + FChildren.GetCount());
    FOwner->DeleteSubtrees(Kids, this);
  }
  // The native item keeps no child and shows no button any more.
  if (HWND H = GetHandle(); H && FItemId) {
    TCustomTreeEx* T = GetTreeEx();
    ++T->FManualNotify;
    GetTreeEx()->SendTV(TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(FItemId));
    --T->FManualNotify;
  }
  FExpanded = false;
  SetChildren(false);
  FOwner->InvalidateItemCache();
}

void TTreeExNode::SetSelected(bool Value) { FOwner->SelectNode(this, Value ? stSet : stReset); }

// ---------------------------------------------------------------------------
// Copying and moving

void TTreeExNode::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TTreeExNode*>(Source);
  if (!S) {
    TPersistent::Assign(Source);
    return;
  }
  if (S == this) return;
  SetText(S->FText);
  SetData(S->FData);
  FStreamData = S->FStreamData;
  SetImageIndex(S->FImageIndex);
  SetSelectedIndex(S->FSelectedIndex);
  SetStateIndex(S->FStateIndex);
  SetCheckType(S->FCheckType);
  SetCheckState(S->FCheckState);
  SetEnabled(S->FEnabled);
  SetOverlayIndex(S->FOverlayIndex);
  SetExpanded(S->FExpanded);
  SetIntegralHeight(S->FIntegralHeight);
  SetChildren(S->FChildrenFlag);
  if (S->FParentColor) {
    SetParentColor(true);
  } else {
    SetColor(S->FColor);
  }
  if (S->FParentFont) {
    SetParentFont(true);
  } else {
    SetFont(S->FFont.get());
  }
}

void TTreeExNode::InternalMove(TTreeExNode* NewParent, int Index, HTREEITEM InsertAfter) {
  TCustomTreeEx* T = GetTreeEx();
  // The native branch is built again at the new place; the nodes stay.
  if (FItemId && T->HandleAllocated()) {
    ++T->FRestoring;
    HTREEITEM Old = FItemId;
    T->SendTV(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Old));
    --T->FRestoring;
  }
  FParent = NewParent;
  NewParent->FChildren.Insert(Index, this);
  FIndexHint = Index;
  if (T->CanInsertNative() && (NewParent == FOwner->FRoot || NewParent->FItemId))
    FOwner->AddItemBranch(this, InsertAfter);
}

void TTreeExNode::MoveTo(TTreeExNode* Destination, TNodeAttachMode Mode) {
  if (Destination && Destination->FOwner != FOwner) return;
  TCustomTreeEx* T = GetTreeEx();
  TTVChangingEvent SavedChanging = T->OnChanging;
  TTVChangedEvent SavedChange = T->OnChange;
  T->OnChanging = nullptr;
  T->OnChange = nullptr;
  TTreeExNode* OldSelection = T->GetSelection();
  try {
    if (!Destination || !Destination->HasAsParent(this)) {
      TTreeExNode* NewParent;
      if (!Destination)
        NewParent = FOwner->FRoot;
      else if (Mode == naAddChild || Mode == naAddChildFirst)
        NewParent = Destination;
      else
        NewParent = Destination->FParent;
      HTREEITEM After = TVI_LAST;
      if (Mode == naAddFirst || Mode == naAddChildFirst) After = TVI_FIRST;
      if (Mode == naInsert && Destination) After = Destination->FItemId ? Destination->FItemId : TVI_LAST;

      // Leave the old parent.
      TTreeExNode* OldParent = FParent;
      OldParent->FChildren.Delete(GetIndex());
      if (OldParent != FOwner->FRoot && !OldParent->HasChildren()) {
        OldParent->FExpanded = false;
        OldParent->SetChildren(false);
      }
      int Index;
      if (Mode == naAddFirst || Mode == naAddChildFirst)
        Index = 0;
      else if (Mode == naInsert && Destination)
        Index = Destination->GetIndex() + 1;
      else
        Index = NewParent->FChildren.GetCount();
      InternalMove(NewParent, Index, After);
      ApplyNewParentCheckType();
      if (NewParent != FOwner->FRoot) {
        NewParent->SetChildren(true);
        NewParent->Expand(false);
      }
      FOwner->InvalidateItemCache();
    }
    if (OldSelection && !OldSelection->FDeleting) {
      ++T->FRestoring;
      T->SetSelection(OldSelection);
      --T->FRestoring;
    }
  } catch (...) {
    T->OnChanging = SavedChanging;
    T->OnChange = SavedChange;
    throw;
  }
  T->OnChanging = SavedChanging;
  T->OnChange = SavedChange;
}

// ---------------------------------------------------------------------------
// The node's record in the node stream

void TTreeExNode::FillInfo(TNodeInfo& Info) const {
  Info.ImageIndex = FImageIndex;
  Info.SelectedIndex = FSelectedIndex;
  Info.StateIndex = FStateIndex;
  Info.OverlayIndex = FOverlayIndex;
  Info.IntegralHeight = FItemId ? GetIntegralHeight() : 0;
  Info.CheckState = FCheckState;
  Info.CheckType = FCheckType;
  Info.Enabled = FEnabled;
  Info.Expanded = FExpanded;
  // A designed tree's selection is the designer's, not stored with it.
  Info.Selected = FSelectedMark && !FOwner->GetOwner()->GetComponentState().Contains(csDesigning);
  // The record has room for 32 bits: a pointer can't be stored, so a node
  // with data writes the low half only as an opaque number.
  Info.Data = FData ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(FData)) : FStreamData;
  Info.Count = FChildren.GetCount();
  Info.Color = static_cast<uint32_t>(FColor);
  Info.ParentColor = FParentColor;
  Info.ParentFont = FParentFont || !FFont;
  Info.FontName.clear();
  if (!Info.ParentFont) {
    Info.FontHeight = FFont->GetHeight();
    Info.FontPitch = static_cast<uint8_t>(FFont->GetPitch());
    Info.FontStyle = static_cast<uint8_t>(FFont->GetStyle().Bits() & 0x0F);
    Info.FontName = WideToAnsi(FFont->GetName());
    Info.FontColor = static_cast<uint32_t>(FFont->GetColor());
  }
  Info.Text = WideToAnsi(FText);
}

void TTreeExNode::WriteData(TStream* Stream, TNodeInfo* Info) {
  FillInfo(*Info);
  std::string Bytes;
  nodeformat::AppendRecord(Bytes, *Info);
  Stream->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

void TTreeExNode::ReadData(TStream* Stream, TNodeInfo* Info) {
  unsigned char SizeBytes[4];
  Stream->ReadBuffer(SizeBytes, 4);
  uint32_t Size = nodeformat::GetUInt32(SizeBytes);
  nodeformat::CheckRecordSize(Size);
  unsigned char Body[nodeformat::kMaxSize];
  Stream->ReadBuffer(Body, Size);
  nodeformat::ParseRecord(Body, Size, *Info);
  ApplyInfo(*Info);
}

void TTreeExNode::ApplyInfo(const TNodeInfo& Info) {
  SetText(AnsiToWide(Info.Text));
  SetImageIndex(Info.ImageIndex);
  SetSelectedIndex(Info.SelectedIndex);
  SetStateIndex(Info.StateIndex);
  SetCheckType(static_cast<TCheckType>(Info.CheckType));
  FCheckState = static_cast<TCheckState>(Info.CheckState);
  SetEnabled(Info.Enabled);
  if (Info.Selected) FOwner->SelectNode(this, stSet);
  SetOverlayIndex(Info.OverlayIndex);
  if (Info.IntegralHeight > 0) SetIntegralHeight(Info.IntegralHeight);
  FStreamData = Info.Data;
  if (Info.ParentColor) {
    FParentColor = true;
  } else {
    SetColor(static_cast<TColor>(Info.Color));
  }
  if (Info.ParentFont) {
    SetParentFont(true);
  } else {
    MakeOwnFont();
    FFont->OnChange = nullptr;
    FFont->SetHeight(Info.FontHeight);
    FFont->SetName(AnsiToWide(Info.FontName));
    FFont->SetPitch(static_cast<TFontPitch>(Info.FontPitch));
    FFont->SetStyle(TFontStyles::FromBits(Info.FontStyle & 0x0F));
    FFont->SetColor(static_cast<TColor>(Info.FontColor));
    FFont->OnChange = TNotifyEvent(this, &TTreeExNode::FontChanged);
    FParentFont = false;
  }
}
