// The tree control: window creation over "SysTreeView32", options,
// properties, re-creation that keeps the nodes, sorting and the change
// delay.
#include <algorithm>
#include <functional>

#include "treecontrol/TreeEx.h"

#include "classlib/PropFiler.h"

namespace {
const TTreeOptions kDefaultOptions{toAutoExpand, toAutoScroll,       toEvenHeight,  toHideSelection,
                                   toRightClickSelect, toShowButtons, toShowLines, toShowRoot};
}  // namespace

TCustomTreeEx::TCustomTreeEx(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle += csCaptureMouse;
  ControlStyle += csDisplayDragImage;
  ControlStyle += csReflector;
  width_ = 121;
  height_ = 97;
  tabStop_ = true;
  parentColor_ = false;
  color_ = clWindow;
  brush_->SetColor(clWindow);
  FItems = std::make_unique<TTreeExNodes>(this);
  FOptions = kDefaultOptions;
  FCanvas = std::make_unique<TControlCanvas>(this);
  FDragImages = std::make_unique<TDragImageList>(nullptr, 32, 32);
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->OnChange = [this](TObject*) { ApplyImageLists(); };
  FStateChangeLink = std::make_unique<TChangeLink>();
  FStateChangeLink->OnChange = [this](TObject*) { ApplyImageLists(); };
}

TCustomTreeEx::~TCustomTreeEx() {
  FDestroying = true;
  // The nodes go first, so their owners can free what they attached.
  try {
    FItems->Clear();
  } catch (...) {
    HandleCallbackException(this);
  }
  DestroyHandle();
  FCanvas.reset();
  FDragImages.reset();
  FImageChangeLink.reset();
  FStateChangeLink.reset();
  FItems.reset();
}

LRESULT TCustomTreeEx::SendTV(UINT Msg, WPARAM W, LPARAM L) const {
  if (!handle_) return 0;
  // Our own tree-view requests go straight to the system's procedure:
  // nothing of ours needs to see them, and the trip through the control's
  // message dispatch would cost more than many of them take.
  if (Msg >= TV_FIRST && Msg < TV_FIRST + 0x100 && defWndProc_)
    return CallWindowProcW(defWndProc_, handle_, Msg, W, L);
  return SendMessageW(handle_, Msg, W, L);
}

bool TCustomTreeEx::CanInsertNative() {
  if (FWindowGoing || FRecreating || FDestroying) return false;
  if (!handle_ && (parent_ || parentWindow_)) HandleNeeded();
  return handle_ != nullptr;
}

// ---------------------------------------------------------------------------
// Window

void TCustomTreeEx::CreateParams(TCreateParams& P) {
  InitCommonControl(ICC_TREEVIEW_CLASSES);
  TWinControl::CreateParams(P);
  CreateSubClass(P, WC_TREEVIEWW);
  const TTreeOptions& O = FOptions;
  if (O.Contains(toShowLines)) P.Style |= TVS_HASLINES;
  if (O.Contains(toShowRoot)) P.Style |= TVS_LINESATROOT;
  if (O.Contains(toShowButtons)) P.Style |= TVS_HASBUTTONS;
  if (!O.Contains(toReadOnly)) P.Style |= TVS_EDITLABELS;
  if (!O.Contains(toHideSelection)) P.Style |= TVS_SHOWSELALWAYS;
  // The native control reports drag starts only with automatic dragging.
  if (GetDragMode() == dmManual) P.Style |= TVS_DISABLEDRAGDROP;
  if (O.Contains(toHotTrack)) P.Style |= TVS_TRACKSELECT;
  if (!O.Contains(toToolTips)) P.Style |= TVS_NOTOOLTIPS;
  if (O.Contains(toSingleExpand)) P.Style |= TVS_SINGLEEXPAND;
  if (O.Contains(toInfoTip)) P.Style |= TVS_INFOTIP;
  if (O.Contains(toNoScroll)) P.Style |= TVS_NOSCROLL;
  if (O.Contains(toFullRowSelect)) P.Style |= TVS_FULLROWSELECT;
  if (!O.Contains(toEvenHeight)) P.Style |= TVS_NONEVENHEIGHT;
  P.Style |= WS_CLIPCHILDREN;
  if (FBorderStyle == bsSingle) {
    P.Style |= WS_BORDER;
    if (GetCtl3D()) P.ExStyle |= WS_EX_CLIENTEDGE;
  }
  P.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

namespace {
// Declares an object's properties under a prefix ("Items." and the name),
// so that an object a component holds is stored with the component.
class TPrefixFiler : public TFiler {
 public:
  TPrefixFiler(TFiler* Inner, const String& Prefix, TPersistent* Ancestor)
      : TFiler(Inner->GetStream()), Inner_(Inner), Prefix_(Prefix) {
    ancestor_ = Ancestor;
    root_ = Inner->GetRoot();
  }
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override {
    Inner_->DefineProperty(Prefix_ + Name, ReadData, WriteData, HasData);
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override {
    Inner_->DefineBinaryProperty(Prefix_ + Name, ReadData, WriteData, HasData);
  }

 private:
  TFiler* Inner_;
  String Prefix_;
};


const wchar_t* const kOptionNames[] = {
    L"toAutoExpand",   L"toAutoScroll", L"toCheckSupport",  L"toNoEraseBkgnd",
    L"toEvenHeight",   L"toFullRowSelect", L"toHideSelection", L"toHotTrack",
    L"toInfoTip",      L"toLevelSelectConstraint", L"toMultiSelect", L"toNoScroll",
    L"toReadOnly",     L"toRightClickSelect", L"toToolTips", L"toShowButtons",
    L"toShowLines",    L"toShowRoot",   L"toSingleExpand",  L"toWantReturn"};
const wchar_t* const kSortTypeNames[] = {L"stNone", L"stData", L"stText", L"stBoth"};
const wchar_t* const kBorderStyleNames[] = {L"bsNone", L"bsSingle"};

template <size_t N>
int IdentIndex(const wchar_t* const (&Names)[N], const String& Ident) {
  for (size_t I = 0; I < N; ++I)
    if (SameText(Ident, Names[I])) return static_cast<int>(I);
  throw EReadError(L"Invalid property value: " + Ident);
}

void DefineInteger(TFiler* Filer, const wchar_t* Name, int64_t Value, bool Stored,
                   const std::function<void(int64_t)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadInt64()); }, [&](TWriter* W) { W->WriteInteger(Value); }, Stored);
}

}  // namespace

void TCustomTreeEx::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* Ancestor = dynamic_cast<TCustomTreeEx*>(Filer->GetAncestor());
  TCustomTreeEx* A = Ancestor;
  const bool Writing = dynamic_cast<TWriter*>(Filer) != nullptr;
  // Only a writer asks the window; a reader's values go through the setters.
  auto Value = [&](auto Get) { return Writing ? Get() : decltype(Get())(); };

  Filer->DefineProperty(
      L"BorderStyle",
      [this](TReader* R) { SetBorderStyle(IdentIndex(kBorderStyleNames, R->ReadIdent()) ? bsSingle : bsNone); },
      [this](TWriter* W) { W->WriteIdent(kBorderStyleNames[FBorderStyle == bsNone ? 0 : 1]); },
      FBorderStyle != (A ? A->FBorderStyle : bsSingle));
  DefineInteger(Filer, L"ChangeDelay", FChangeDelay, FChangeDelay != (A ? A->FChangeDelay : 0),
                [this](int64_t V) { SetChangeDelay(static_cast<int>(V)); });
  DefineInteger(Filer, L"ColorDropSelected", ColorDropSelected,
                ColorDropSelected != (A ? A->ColorDropSelected : clBtnFace),
                [this](int64_t V) { ColorDropSelected = static_cast<TColor>(V); });
  DefineInteger(Filer, L"ColorSelected", ColorSelected, ColorSelected != (A ? A->ColorSelected : clHighlight),
                [this](int64_t V) { ColorSelected = static_cast<TColor>(V); });
  DefineInteger(Filer, L"ColorUnfocusedSelected", ColorUnfocusedSelected,
                ColorUnfocusedSelected != (A ? A->ColorUnfocusedSelected : cl3DLight),
                [this](int64_t V) { ColorUnfocusedSelected = static_cast<TColor>(V); });
  // The options before the heights: without toEvenHeight an odd height stays.
  const TTreeOptions BaseOptions = A ? A->FOptions : kDefaultOptions;
  PropFiler::Set(Filer, L"Options", FOptions.Bits(), BaseOptions.Bits(),
                 PropFiler::TNames(std::begin(kOptionNames), std::end(kOptionNames)),
                 [this](uint64_t Bits) { SetOptions(TTreeOptions::FromBits(Bits)); });
  // The image lists by name, set once the whole form is read.
  TComponent* Root = Filer->GetRoot();
  auto Differs = [&](TCustomImageList* Mine, TCustomImageList* Theirs) {
    return !SameText(ComponentReferenceName(Root, Mine), A ? ComponentReferenceName(A->GetOwner(), Theirs) : String());
  };
  Filer->DefineProperty(
      L"Images",
      [this](TReader* R) {
        R->ReadReference([this](TComponent* C) { SetImages(dynamic_cast<TCustomImageList*>(C)); });
      },
      [this](TWriter* W) { W->WriteReference(FImages); }, Differs(FImages, A ? A->FImages : nullptr));
  // The indent, insert mark colour and item height are the window's own
  // until set: a tree written before that writes none of them. Set here and
  // not in the ancestor (a new tree, say), it is written whatever the
  // ancestor's field holds: that field is no value the window shows.
  auto Stored = [&](bool Mine, bool Theirs, int64_t Value, auto Get) {
    if (!A) return Mine;
    if (Mine && !Theirs) return true;
    return (Mine || Theirs) && Value != Get(A);
  };
  const int64_t IndentValue = Value([this] { return GetIndent(); });
  DefineInteger(Filer, L"Indent", IndentValue,
                Stored(FIndentSet, A && A->FIndentSet, IndentValue, [](TCustomTreeEx* T) { return T->GetIndent(); }),
                [this](int64_t V) {
                  if (V >= 0) SetIndent(static_cast<int>(V));  // -1: the native default
                });
  const int64_t MarkValue = Value([this] { return static_cast<int64_t>(GetInsertMarkColor()); });
  DefineInteger(Filer, L"InsertMarkColor", MarkValue,
                Stored(FInsertMarkColorSet, A && A->FInsertMarkColorSet, MarkValue,
                       [](TCustomTreeEx* T) { return static_cast<int64_t>(T->GetInsertMarkColor()); }),
                [this](int64_t V) { SetInsertMarkColor(static_cast<TColor>(V)); });
  TPrefixFiler Items(Filer, L"Items.", Ancestor ? Ancestor->FItems.get() : nullptr);
  FItems->DefineProperties(&Items);
  // A signed 8-bit value in the form.
  const int64_t HeightValue = static_cast<int8_t>(Value([this] { return GetItemHeight(); }));
  DefineInteger(Filer, L"ItemHeight", HeightValue,
                Stored(FItemHeightSet, A && A->FItemHeightSet, HeightValue,
                       [](TCustomTreeEx* T) { return static_cast<int64_t>(static_cast<int8_t>(T->GetItemHeight())); }),
                [this](int64_t V) { SetItemHeight(static_cast<int8_t>(V)); });
  // Read into the field: a stored 0 stays 0 until the window reports its own.
  const int Scroll = Value([this] { return GetScrollTime(); });
  DefineInteger(Filer, L"ScrollTime", Scroll, Scroll != (A ? A->GetScrollTime() : 100), [this](int64_t V) {
    FScrollTime = static_cast<int>(V);
    SendTV(TVM_SETSCROLLTIME, static_cast<WPARAM>(FScrollTime));
  });
  Filer->DefineProperty(
      L"SortType", [this](TReader* R) { SetSortType(static_cast<TSortType>(IdentIndex(kSortTypeNames, R->ReadIdent()))); },
      [this](TWriter* W) { W->WriteIdent(kSortTypeNames[FSortType]); }, FSortType != (A ? A->FSortType : stNone));
  Filer->DefineProperty(
      L"StateImages",
      [this](TReader* R) {
        R->ReadReference([this](TComponent* C) { SetStateImages(dynamic_cast<TCustomImageList*>(C)); });
      },
      [this](TWriter* W) { W->WriteReference(FStateImages); },
      Differs(FStateImages, A ? A->FStateImages : nullptr));
  // The tree's own events, by the names of the form's handlers.
  using PropFiler::Event;
  Event(Filer, L"OnAfterItemPaint", OnAfterItemPaint, A ? &A->OnAfterItemPaint : nullptr);
  Event(Filer, L"OnAfterPaint", OnAfterPaint, A ? &A->OnAfterPaint : nullptr);
  Event(Filer, L"OnBeforeItemPaint", OnBeforeItemPaint, A ? &A->OnBeforeItemPaint : nullptr);
  Event(Filer, L"OnBeforePaint", OnBeforePaint, A ? &A->OnBeforePaint : nullptr);
  Event(Filer, L"OnChange", OnChange, A ? &A->OnChange : nullptr);
  Event(Filer, L"OnChanging", OnChanging, A ? &A->OnChanging : nullptr);
  Event(Filer, L"OnChecked", OnChecked, A ? &A->OnChecked : nullptr);
  Event(Filer, L"OnChecking", OnChecking, A ? &A->OnChecking : nullptr);
  Event(Filer, L"OnCollapsed", OnCollapsed, A ? &A->OnCollapsed : nullptr);
  Event(Filer, L"OnCollapsing", OnCollapsing, A ? &A->OnCollapsing : nullptr);
  Event(Filer, L"OnCompare", OnCompare, A ? &A->OnCompare : nullptr);
  Event(Filer, L"OnCreateNode", OnCreateNode, A ? &A->OnCreateNode : nullptr);
  Event(Filer, L"OnDeletion", OnDeletion, A ? &A->OnDeletion : nullptr);
  Event(Filer, L"OnEdited", OnEdited, A ? &A->OnEdited : nullptr);
  Event(Filer, L"OnEditing", OnEditing, A ? &A->OnEditing : nullptr);
  Event(Filer, L"OnExpanded", OnExpanded, A ? &A->OnExpanded : nullptr);
  Event(Filer, L"OnExpanding", OnExpanding, A ? &A->OnExpanding : nullptr);
  Event(Filer, L"OnGetHelpContext", OnGetHelpContext, A ? &A->OnGetHelpContext : nullptr);
  Event(Filer, L"OnGetImageIndex", OnGetImageIndex, A ? &A->OnGetImageIndex : nullptr);
  Event(Filer, L"OnGetPopupMenu", OnGetPopupMenu, A ? &A->OnGetPopupMenu : nullptr);
  Event(Filer, L"OnGetSelectedIndex", OnGetSelectedIndex, A ? &A->OnGetSelectedIndex : nullptr);
  Event(Filer, L"OnHint", OnHint, A ? &A->OnHint : nullptr);
  Event(Filer, L"OnSingleExpanded", OnSingleExpanded, A ? &A->OnSingleExpanded : nullptr);
}

void TCustomTreeEx::CreateWnd() {
  FRecreating = false;
  FWindowGoing = false;
  TWinControl::CreateWnd();
  SendTV(CCM_SETUNICODEFORMAT, TRUE);
  if (FSavedIndent != -1) SendTV(TVM_SETINDENT, static_cast<WPARAM>(FSavedIndent));
  if (FSavedItemHeight != -1) SendTV(TVM_SETITEMHEIGHT, static_cast<WPARAM>(FSavedItemHeight));
  FSavedIndent = FSavedItemHeight = -1;
  ApplyImageLists();
  SendTV(TVM_SETSCROLLTIME, static_cast<WPARAM>(FScrollTime));
  FScrollTime = static_cast<int>(SendTV(TVM_GETSCROLLTIME));
  if (FInsertMarkColorSet) SendTV(TVM_SETINSERTMARKCOLOR, 0, static_cast<LPARAM>(FInsertMarkColor));
  SendTV(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRef(font_->GetColor())));
  if (color_ != clWindow) SendTV(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRef(color_)));
  ReinsertNodes();
}

void TCustomTreeEx::ReinsertNodes() {
  TTreeExNodes* N = FItems.get();
  N->FillCache();
  if (N->FItemCache.GetCount() == 0) return;
  std::vector<TTreeExNode*> All(N->FItemCache.List(), N->FItemCache.List() + N->FItemCache.GetCount());
  ++FRestoring;
  ++FManualNotify;
  try {
    SendTV(WM_SETREDRAW, FALSE);
    for (TTreeExNode* X : All) N->AddItem(X, TVI_LAST);
    for (TTreeExNode* X : All)
      if (X->FExpanded && X->HasChildren()) SendTV(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(X->FItemId));
    if (FOptions.Contains(toMultiSelect)) {
      for (int I = 0; I < N->FSelection.GetCount(); ++I) N->FSelection.Get(I)->SetStateBits(TVIS_SELECTED, TVIS_SELECTED);
    } else if (TTreeExNode* S = N->GetFirstSelectedNode()) {
      SendTV(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(S->FItemId));
    }
    if (!N->IsUpdating()) SendTV(WM_SETREDRAW, TRUE);
    if (FSavedTopItem && FSavedTopItem->FItemId)
      SendTV(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(FSavedTopItem->FItemId));
    FSavedTopItem = nullptr;
  } catch (...) {
    --FManualNotify;
    --FRestoring;
    throw;
  }
  --FManualNotify;
  --FRestoring;
  InvalidateRect(handle_, nullptr, TRUE);
}

void TCustomTreeEx::DestroyWnd() {
  if (!handle_) return;
  FRecreating = ControlState.Contains(csRecreating);
  if (IsEditing()) SendTV(TVM_ENDEDITLABELNOW, TRUE);
  FSavedTopItem = GetTopItem();
  FSavedIndent = static_cast<int>(SendTV(TVM_GETINDENT));
  FSavedItemHeight = static_cast<int>(SendTV(TVM_GETITEMHEIGHT));
  if (FInsertMarkColorSet) FInsertMarkColor = static_cast<TColor>(SendTV(TVM_GETINSERTMARKCOLOR));
  StopTimer(TTreeTimer::Change);
  StopTimer(TTreeTimer::DragExpand);
  StopTimer(TTreeTimer::Scroll);
  FWindowGoing = true;
  TWinControl::DestroyWnd();
}

void TCustomTreeEx::ApplyImageLists() {
  if (!handle_) return;
  // Only lists that have their handle already: asking for it would make
  // an empty one. The list's change link brings it here again once it has.
  HIMAGELIST Normal = FImages && FImages->HandleAllocated() ? FImages->GetHandle() : nullptr;
  SendTV(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(Normal));
  HIMAGELIST State = FStateImages && FStateImages->HandleAllocated() ? FStateImages->GetHandle() : nullptr;
  SendTV(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(State ? State : CheckImages()));
}

void TCustomTreeEx::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) {
    FImages->UnRegisterChanges(FImageChangeLink.get());
    if (FImages != FStateImages) FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (Value) {
    Value->RegisterChanges(FImageChangeLink.get());
    Value->FreeNotification(this);
  }
  ApplyImageLists();
}

void TCustomTreeEx::SetStateImages(TCustomImageList* Value) {
  if (Value == FStateImages) return;
  if (FStateImages) {
    FStateImages->UnRegisterChanges(FStateChangeLink.get());
    if (FStateImages != FImages) FStateImages->RemoveFreeNotification(this);
  }
  FStateImages = Value;
  if (Value) {
    Value->RegisterChanges(FStateChangeLink.get());
    Value->FreeNotification(this);
  }
  ApplyImageLists();
}

void TCustomTreeEx::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // The list is being destroyed: it has let go of our change links
  // already, so only forget it.
  bool Gone = false;
  if (AComponent == FImages) {
    FImages = nullptr;
    Gone = true;
  }
  if (AComponent == FStateImages) {
    FStateImages = nullptr;
    Gone = true;
  }
  if (Gone) ApplyImageLists();
}

void TCustomTreeEx::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomTreeEx::ApplyStyle(DWORD Bit, bool On) {
  if (!handle_) return;
  LONG_PTR S = GetWindowLongPtrW(handle_, GWL_STYLE);
  LONG_PTR N = On ? (S | Bit) : (S & ~static_cast<LONG_PTR>(Bit));
  if (N != S) SetWindowLongPtrW(handle_, GWL_STYLE, N);
}

void TCustomTreeEx::SetDragMode(TDragMode Value) {
  ApplyStyle(TVS_DISABLEDRAGDROP, Value == dmManual);
  TWinControl::SetDragMode(Value);
}

void TCustomTreeEx::SetOptions(TTreeOptions Value) {
  if (Value.Contains(toFullRowSelect)) Value -= toShowLines;
  TTreeOptions Old = FOptions;
  TTreeOptions On = Value - Old, Off = Old - Value;
  if (On.Contains(toEvenHeight)) ApplyStyle(TVS_NONEVENHEIGHT, false);
  if (On.Contains(toHideSelection)) ApplyStyle(TVS_SHOWSELALWAYS, false);
  if (On.Contains(toInfoTip)) ApplyStyle(TVS_INFOTIP, true);
  if (On.Contains(toShowLines)) ApplyStyle(TVS_HASLINES, true);
  if (On.Contains(toShowRoot)) ApplyStyle(TVS_LINESATROOT, true);
  if (On.Contains(toShowButtons)) ApplyStyle(TVS_HASBUTTONS, true);
  if (On.Contains(toSingleExpand)) ApplyStyle(TVS_SINGLEEXPAND, true);
  if (Off.Contains(toEvenHeight)) ApplyStyle(TVS_NONEVENHEIGHT, true);
  if (Off.Contains(toHideSelection)) ApplyStyle(TVS_SHOWSELALWAYS, true);
  if (Off.Contains(toInfoTip)) ApplyStyle(TVS_INFOTIP, false);
  if (Off.Contains(toShowLines)) ApplyStyle(TVS_HASLINES, false);
  if (Off.Contains(toShowRoot)) ApplyStyle(TVS_LINESATROOT, false);
  if (Off.Contains(toShowButtons)) ApplyStyle(TVS_HASBUTTONS, false);
  if (Off.Contains(toSingleExpand)) ApplyStyle(TVS_SINGLEEXPAND, false);
  if (Off.Contains(toMultiSelect)) ClearSelection();
  FOptions = Value;
  const TTreeOptions NeedsWindow{toFullRowSelect, toHotTrack, toNoScroll, toReadOnly, toToolTips};
  if (!((On + Off) * NeedsWindow).Empty()) RecreateWnd();
  if (handle_ && !((On + Off) * TTreeOptions{toShowLines, toShowRoot, toShowButtons}).Empty())
    InvalidateRect(handle_, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// Properties

TTreeExNode* TCustomTreeEx::GetSelection() {
  if (FRClickActive && FOptions.Contains(toRightClickSelect) && FRClickNode) return FRClickNode;
  if (!handle_) return FItems->GetFirstSelectedNode();
  return FItems->GetNode(reinterpret_cast<HTREEITEM>(SendTV(TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

void TCustomTreeEx::SetSelection(TTreeExNode* Node) {
  if (!handle_) {
    if (!Node) return;
    FItems->FSelection.SetCount(0);
    FItems->AddToSelection(Node);
    return;
  }
  SendTV(TVM_SELECTITEM, TVGN_CARET, Node ? reinterpret_cast<LPARAM>(Node->FItemId) : 0);
}

TTreeExNode* TCustomTreeEx::GetNodeAt(int X, int Y) {
  TVHITTESTINFO H{};
  H.pt = Point(X, Y);
  if (!handle_) return nullptr;
  HTREEITEM I = reinterpret_cast<HTREEITEM>(SendTV(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&H)));
  return I ? FItems->GetNode(I) : nullptr;
}

THitTests TCustomTreeEx::GetHitTestInfoAt(int X, int Y) {
  THitTests R;
  if (!handle_) return R;
  TVHITTESTINFO H{};
  H.pt = Point(X, Y);
  SendTV(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&H));
  UINT F = H.flags;
  if (F & TVHT_ABOVE) R += htAbove;
  if (F & TVHT_BELOW) R += htBelow;
  if (F & TVHT_NOWHERE) R += htNowhere;
  if (F & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) R += htOnItem;
  if (F & TVHT_ONITEMBUTTON) R += htOnButton;
  if (F & TVHT_ONITEMICON) R += htOnIcon;
  if (F & TVHT_ONITEMINDENT) R += htOnIndent;
  if (F & TVHT_ONITEMLABEL) R += htOnLabel;
  if (F & TVHT_ONITEMRIGHT) R += htOnRight;
  if (F & TVHT_ONITEMSTATEICON) R += htOnStateIcon;
  if (F & TVHT_TOLEFT) R += htToLeft;
  if (F & TVHT_TORIGHT) R += htToRight;
  return R;
}

TTreeExNode* TCustomTreeEx::GetNodeFromItem(const TVITEMW& Item) const {
  if (Item.mask & TVIF_PARAM) return reinterpret_cast<TTreeExNode*>(Item.lParam);
  return FItems->GetNode(Item.hItem);
}

bool TCustomTreeEx::IsEditing() {
  HWND E = reinterpret_cast<HWND>(SendTV(TVM_GETEDITCONTROL));
  return E && IsWindowVisible(E);
}

TTreeExNode* TCustomTreeEx::GetTopItem() {
  if (!handle_) return nullptr;
  return FItems->GetNode(reinterpret_cast<HTREEITEM>(SendTV(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
}

void TCustomTreeEx::SetTopItem(TTreeExNode* Node) {
  if (handle_ && Node && Node->FItemId)
    SendTV(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(Node->FItemId));
}

TTreeExNode* TCustomTreeEx::GetLastVisibleNode() {
  return FItems->GetNode(reinterpret_cast<HTREEITEM>(SendTV(TVM_GETNEXTITEM, TVGN_LASTVISIBLE, 0)));
}

TTreeExNode* TCustomTreeEx::GetDropTarget() {
  if (!handle_) return nullptr;
  TTreeExNode* N = FItems->GetNode(reinterpret_cast<HTREEITEM>(SendTV(TVM_GETNEXTITEM, TVGN_DROPHILITE, 0)));
  // The highlight is what counts: some platforms keep the item after the
  // highlight was taken off.
  return N && N->GetStateBits(TVIS_DROPHILITED) ? N : nullptr;
}

void TCustomTreeEx::SetDropTarget(TTreeExNode* Node) {
  if (Node) {
    Node->SetDropTarget(true);
    return;
  }
  TTreeExNode* Old = GetDropTarget();
  SendTV(TVM_SELECTITEM, TVGN_DROPHILITE, 0);
  if (Old && Old->GetStateBits(TVIS_DROPHILITED)) {
    Old->SetStateBits(TVIS_DROPHILITED, 0);
    FItems->Repaint(Old);
  }
}

String TCustomTreeEx::GetSearchString() {
  int N = static_cast<int>(SendTV(TVM_GETISEARCHSTRINGW, 0, 0));
  if (N <= 0) return String();
  String S(static_cast<size_t>(N) + 1, L'\0');
  SendTV(TVM_GETISEARCHSTRINGW, 0, reinterpret_cast<LPARAM>(S.data()));
  S.resize(wcsnlen(S.c_str(), S.size()));
  return S;
}

HWND TCustomTreeEx::GetToolTips() { return reinterpret_cast<HWND>(SendTV(TVM_GETTOOLTIPS)); }
void TCustomTreeEx::SetToolTips(HWND Value) { SendTV(TVM_SETTOOLTIPS, reinterpret_cast<WPARAM>(Value)); }

void TCustomTreeEx::ShowInsertMark(TTreeExNode* Node, bool After) {
  SendTV(TVM_SETINSERTMARK, After ? TRUE : FALSE, Node ? reinterpret_cast<LPARAM>(Node->FItemId) : 0);
}

int TCustomTreeEx::GetItemHeight() {
  if (!handle_) return FSavedItemHeight;
  int H = static_cast<int>(SendTV(TVM_GETITEMHEIGHT));
  if (H == 0)
    if (TTreeExNode* F = FItems->GetFirstNode()) H = RectHeight(F->DisplayRect(false));
  return H;
}

void TCustomTreeEx::SetItemHeight(int Value) {
  FItemHeightSet = Value >= 1;
  if (!handle_) {
    FSavedItemHeight = Value < 1 ? -1 : Value;
    return;
  }
  SendTV(TVM_SETITEMHEIGHT, static_cast<WPARAM>(Value < 1 ? -1 : Value));
}

int TCustomTreeEx::GetIndent() { return handle_ ? static_cast<int>(SendTV(TVM_GETINDENT)) : FSavedIndent; }

void TCustomTreeEx::SetIndent(int Value) {
  FIndentSet = true;
  if (!handle_) {
    FSavedIndent = Value;
    return;
  }
  if (Value != GetIndent()) SendTV(TVM_SETINDENT, static_cast<WPARAM>(Value));
}

int TCustomTreeEx::GetScrollTime() {
  if (handle_) FScrollTime = static_cast<int>(SendTV(TVM_GETSCROLLTIME));
  return FScrollTime;
}

void TCustomTreeEx::SetScrollTime(int Value) {
  if (Value == FScrollTime) return;
  FScrollTime = std::max(Value, 100);
  SendTV(TVM_SETSCROLLTIME, static_cast<WPARAM>(FScrollTime));
}

TColor TCustomTreeEx::GetInsertMarkColor() {
  return handle_ ? static_cast<TColor>(SendTV(TVM_GETINSERTMARKCOLOR)) : FInsertMarkColor;
}

void TCustomTreeEx::SetInsertMarkColor(TColor Value) {
  FInsertMarkColor = static_cast<TColor>(ColorToRef(Value));
  FInsertMarkColorSet = true;
  SendTV(TVM_SETINSERTMARKCOLOR, 0, static_cast<LPARAM>(FInsertMarkColor));
}

void TCustomTreeEx::FullExpand() {
  std::vector<TTreeExNode*> Tops(FItems->FRoot->FChildren.List(),
                                 FItems->FRoot->FChildren.List() + FItems->FRoot->FChildren.GetCount());
  unsigned Gen = FItems->FDeleteGeneration;
  for (TTreeExNode* N : Tops)
    if (FItems->StillChild(FItems->FRoot, N, Gen)) N->Expand(true);
}

void TCustomTreeEx::FullCollapse() {
  std::vector<TTreeExNode*> Tops(FItems->FRoot->FChildren.List(),
                                 FItems->FRoot->FChildren.List() + FItems->FRoot->FChildren.GetCount());
  unsigned Gen = FItems->FDeleteGeneration;
  for (TTreeExNode* N : Tops)
    if (FItems->StillChild(FItems->FRoot, N, Gen)) N->Collapse(true);
}

// ---------------------------------------------------------------------------
// Sorting

// One comparison orders the children lists, and the native items follow
// the lists, so what is shown and what is walked never disagree. Without
// OnCompare, texts equal but for case are ordered by their exact text.
int TCustomTreeEx::DefaultCompare(intptr_t A, intptr_t B, intptr_t Data) {
  auto* N1 = reinterpret_cast<TTreeExNode*>(A);
  auto* N2 = reinterpret_cast<TTreeExNode*>(B);
  TCustomTreeEx* T = N1->GetTreeEx();
  int R = 0;
  if (T->OnCompare) {
    T->OnCompare(T, N1, N2, Data, R);
    return R;
  }
  auto ByData = [&] {
    auto X = reinterpret_cast<uintptr_t>(N1->FData), Y = reinterpret_cast<uintptr_t>(N2->FData);
    return X < Y ? -1 : (X > Y ? 1 : 0);
  };
  switch (T->FSortType) {
    case stData: R = ByData(); break;
    case stBoth:
      R = CompareText(N1->FText, N2->FText);
      if (!R) R = ByData();
      break;
    default: R = CompareText(N1->FText, N2->FText); break;
  }
  if (!R) R = CompareStr(N1->FText, N2->FText);
  return R;
}

namespace {
// The native items follow the freshly sorted list: each node's index hint
// holds its new position.
int CALLBACK ByListPosition(LPARAM A, LPARAM B, LPARAM) {
  int X = reinterpret_cast<TTreeExNode*>(A)->GetIndex(), Y = reinterpret_cast<TTreeExNode*>(B)->GetIndex();
  return X < Y ? -1 : (X > Y ? 1 : 0);
}
}  // namespace

bool TTreeExNode::CustomSort(TTVCompare SortProc, intptr_t Data) {
  FChildren.Sort(SortProc ? SortProc : &TCustomTreeEx::DefaultCompare, Data);
  for (int I = 0; I < FChildren.GetCount(); ++I) FChildren.List()[I]->FIndexHint = I;
  FOwner->InvalidateItemCache();
  TCustomTreeEx* T = GetTreeEx();
  if (!T->HandleAllocated() || (this != FOwner->FRoot && !FItemId)) return false;
  TVSORTCB S{};
  S.hParent = this == FOwner->FRoot ? TVI_ROOT : FItemId;
  S.lpfnCompare = ByListPosition;
  return T->SendTV(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&S)) != 0;
}

bool TTreeExNode::AlphaSort() { return CustomSort(nullptr, 0); }

bool TCustomTreeEx::CustomSort(TTVCompare SortProc, intptr_t Data) {
  if (!handle_) {
    FItems->InvalidateItemCache();
    return false;
  }
  bool Ok = FItems->FRoot->CustomSort(SortProc, Data);
  FItems->FillCache();
  std::vector<TTreeExNode*> All(FItems->FItemCache.List(), FItems->FItemCache.List() + FItems->FItemCache.GetCount());
  for (TTreeExNode* N : All)
    if (N->HasChildren()) N->CustomSort(SortProc, Data);
  FItems->InvalidateItemCache();
  return Ok;
}

bool TCustomTreeEx::AlphaSort() { return handle_ ? CustomSort(nullptr, 0) : false; }

void TCustomTreeEx::SetSortType(TSortType Value) {
  if (Value == FSortType) return;
  FSortType = Value;
  if (Value != stNone) AlphaSort();
}

// ---------------------------------------------------------------------------
// Nodes, changes and events

TTreeExNode* TCustomTreeEx::CreateNode() {
  TTreeExNodeClass Class = &CreateNodeOf<TTreeExNode>;
  if (OnCreateNode) OnCreateNode(this, Class);
  TTreeExNode* N = Class ? Class(FItems.get()) : new TTreeExNode(FItems.get());
  return N;
}

void TCustomTreeEx::DoChange(TTreeExNode* Node) {
  if (FChangeDelay <= 0 || !handle_) {
    Change(Node);
    return;
  }
  StopTimer(TTreeTimer::Change);
  FChangeNode = Node;
  FChangePending = true;
  StartTimer(TTreeTimer::Change, static_cast<UINT>(FChangeDelay));
}

void TCustomTreeEx::DeliverChange() {
  StopTimer(TTreeTimer::Change);
  if (!FChangePending) return;
  FChangePending = false;
  TTreeExNode* N = FChangeNode;
  FChangeNode = nullptr;
  Change(N);
}

void TCustomTreeEx::StartTimer(TTreeTimer Which, UINT Ms) {
  if (handle_) SetTimer(handle_, static_cast<UINT_PTR>(Which), Ms, nullptr);
}

void TCustomTreeEx::StopTimer(TTreeTimer Which) {
  if (handle_) KillTimer(handle_, static_cast<UINT_PTR>(Which));
}

void TCustomTreeEx::WMTimer(TMessage& M) {
  switch (static_cast<TTreeTimer>(M.WParam)) {
    case TTreeTimer::Change: DeliverChange(); return;
    case TTreeTimer::DragExpand: DoDragExpand(); return;
    case TTreeTimer::Scroll: DoScroll(); return;
  }
  DefaultHandler(M);
}

bool TCustomTreeEx::CanChange(TTreeExNode* Node) {
  bool Allow = true;
  if (OnChanging) OnChanging(this, Node, Allow);
  return Allow;
}

void TCustomTreeEx::Change(TTreeExNode* Node) {
  if (OnChange) OnChange(this, Node);
}

bool TCustomTreeEx::CanExpand(TTreeExNode* Node) {
  bool Allow = true;
  if (OnExpanding) OnExpanding(this, Node, Allow);
  return Allow;
}

void TCustomTreeEx::Expand(TTreeExNode* Node) {
  if (OnExpanded) OnExpanded(this, Node);
}

bool TCustomTreeEx::CanCollapse(TTreeExNode* Node) {
  bool Allow = true;
  if (OnCollapsing) OnCollapsing(this, Node, Allow);
  return Allow;
}

void TCustomTreeEx::Collapse(TTreeExNode* Node) {
  if (OnCollapsed) OnCollapsed(this, Node);
}

bool TCustomTreeEx::CanCheck(TTreeExNode* Node) {
  bool Allow = true;
  if (OnChecking) OnChecking(this, Node, Allow);
  return Allow;
}

void TCustomTreeEx::Check(TTreeExNode* Node) {
  if (OnChecked) OnChecked(this, Node);
}

bool TCustomTreeEx::CanEdit(TTreeExNode* Node) {
  bool Allow = true;
  if (OnEditing) OnEditing(this, Node, Allow);
  return Allow;
}

void TCustomTreeEx::Edit(TTreeExNode* Node, const wchar_t* NewText) {
  if (!Node || !NewText) return;  // cancelled
  String S = NewText;
  TNodeWatch Watch(FItems.get(), Node);
  if (OnEdited) OnEdited(this, Node, S);
  if (Watch.Get()) Node->SetText(S);
}

// The control's selection follows the native caret: the platform moves it
// silently when a collapse hides it or a delete removes it.
void TCustomTreeEx::SyncSelectionWithCaret(bool NotifyAlways) {
  if (!handle_ || FOptions.Contains(toMultiSelect) || FRestoring) return;
  TTreeNodeList& Sel = FItems->FSelection;
  TTreeExNode* Caret = FItems->GetNode(reinterpret_cast<HTREEITEM>(SendTV(TVM_GETNEXTITEM, TVGN_CARET, 0)));
  if (Caret && Caret->FDeleting) Caret = nullptr;
  if ((Sel.GetCount() == 1 && Sel.Get(0) == Caret) || (Sel.GetCount() == 0 && !Caret)) return;
  TTreeExNode* Old = Sel.GetCount() ? Sel.Get(0) : nullptr;
  for (int I = 0; I < Sel.GetCount(); ++I) Sel.Get(I)->FSelectedMark = false;
  Sel.SetCount(0);
  if (Caret) {
    FItems->AddToSelection(Caret);
    Caret->SetStateBits(TVIS_SELECTED, TVIS_SELECTED);
  }
  if (Old != Caret && (Old || (NotifyAlways && Caret))) DoChange(Caret);
}

void TreeExInitialize() {
  RegisterClass(ComponentClass<TTreeEx>(L"TTreeEx"));
  CompareWithNewComponents({L"TTreeEx"});
}
void TreeExFinalize() { UnRegisterClass(L"TTreeEx"); }
