// Tree control over the system tree view ("SysTreeView32"): node objects
// that mirror the native items, the node collection with its selection list
// and flat cache, check boxes, multiple selection, sorting, in-place
// editing, drag support, painting to a canvas, printing and tree files.
//
// The node objects are the master copy of the tree: the native items are a
// mirror that is built again whenever the window is (re-)created, so nodes
// can be added before the window exists and survive re-creation with their
// data pointers intact. Windows only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Controls.h"
#include "classlib/Filer.h"
#include "classlib/Graphics.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"

#include <commctrl.h>
#include "treecontrol/NodeFormat.h"
#include "treecontrol/TreeNodeList.h"

class TTreeExNode;
class TTreeExNodes;
class TCustomTreeEx;

enum TCheckState : uint8_t { csUnchecked, csChecked, csGrayed, csCheckedGrayed };
enum TCheckType : uint8_t { ctNone, ctCheckBox, ctCheckBoxGrayed, ctRadioButton };
enum TNodeState {
  nsChecked, nsCut, nsDisabled, nsDropHilited, nsExpanded, nsExpandedOnce, nsExpandPartial,
  nsFocused, nsGrayed, nsHot, nsIndeterminate, nsMarked, nsSelected
};
using TNodeStates = TSet<TNodeState>;
enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };
enum TAddMode { taAddFirst, taAdd, taInsert };
// Shared with the class library's list view (same names, same meaning).
#ifndef ZEMBRIO_TSORTTYPE_DECLARED
#define ZEMBRIO_TSORTTYPE_DECLARED
enum TSortType { stNone, stData, stText, stBoth };
#endif
enum TSelectType { stSet, stReset, stToggle };
enum TFindFlag { ffText, ffData };
using TFindFlags = TSet<TFindFlag>;
enum THitTest {
  htAbove, htBelow, htNowhere, htOnItem, htOnButton, htOnIcon, htOnIndent, htOnLabel,
  htOnRight, htOnStateIcon, htToLeft, htToRight
};
using THitTests = TSet<THitTest>;
enum TTreeOption {
  toAutoExpand, toAutoScroll, toCheckSupport, toNoEraseBkgnd, toEvenHeight, toFullRowSelect,
  toHideSelection, toHotTrack, toInfoTip, toLevelSelectConstraint, toMultiSelect, toNoScroll,
  toReadOnly, toRightClickSelect, toToolTips, toShowButtons, toShowLines, toShowRoot,
  toSingleExpand, toWantReturn
};
using TTreeOptions = TSet<TTreeOption>;
enum TScrollDirectionItem { sdLeft, sdUp, sdRight, sdDown };
using TScrollDirection = TSet<TScrollDirectionItem>;

// Creates a node of some class for a collection (the node "class" that
// OnCreateNode may replace).
using TTreeExNodeClass = TTreeExNode* (*)(TTreeExNodes* Owner);
template <class T>
TTreeExNode* CreateNodeOf(TTreeExNodes* Owner) {
  return new T(Owner);
}

using TTVChangingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AllowChange)>;
using TTVChangedEvent = TEvent<void(TObject* Sender, TTreeExNode* Node)>;
using TTVEditingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, String& S)>;
using TTVExpandingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = TEvent<void(TObject* Sender, TTreeExNode* Node)>;
using TTVHintEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, String& NewText)>;
using TTVCompareEvent =
    TEvent<void(TObject* Sender, TTreeExNode* Node1, TTreeExNode* Node2, intptr_t Data, int& Compare)>;
using TTVPaintEvent = TNotifyEvent;
using TTVBeforeItemPaintEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, const TRect& ItemRect,
                                            TNodeStates NodeStates, bool& OwnerDraw)>;
using TTVAfterItemPaintEvent =
    TEvent<void(TObject* Sender, TTreeExNode* Node, const TRect& ItemRect, TNodeStates NodeStates)>;
using TTVSingleExpandingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AutoCollapse)>;
using TTVCreateNodeEvent = TEvent<void(TObject* Sender, TTreeExNodeClass& NodeClass)>;
using TTVCheckingEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AllowCheck)>;
using TTVCheckedEvent = TEvent<void(TObject* Sender, TTreeExNode* Node)>;
using TTVPopupEvent =
    TEvent<void(TObject* Sender, TTreeExNode* Node, bool& AskParent, TPopupMenu*& PopupMenu)>;
using TTVHelpContextEvent = TEvent<void(TObject* Sender, TTreeExNode* Node, int& HelpContext)>;
using TLevelErrorEvent = TEvent<void(int Line, bool& RaiseException)>;

ZEMBRIO_DECLARE_EXCEPTION(EPrinterError, Exception)

// ---------------------------------------------------------------------------
class TTreeExNode : public TPersistent {
 public:
  explicit TTreeExNode(TTreeExNodes* AOwner);
  const char* ClassName() const override { return "TTreeExNode"; }

  void Assign(TPersistent* Source) override;
  // Reads or writes this node's own record of the node stream (the
  // collection walks the children).
  virtual void ReadData(TStream* Stream, TNodeInfo* Info);
  virtual void WriteData(TStream* Stream, TNodeInfo* Info);

  // Navigation.
  TTreeExNode* GetParent() const;
  TTreeExNode* GetFirstChild() const;
  TTreeExNode* GetLastChild() const;
  TTreeExNode* GetNextSibling() const;
  TTreeExNode* GetPrevSibling() const;
  TTreeExNode* GetNextChild(TTreeExNode* Value) const;
  TTreeExNode* GetPrevChild(TTreeExNode* Value) const;
  TTreeExNode* GetNext() const;
  TTreeExNode* GetPrev() const;
  TTreeExNode* GetNextVisible() const;
  TTreeExNode* GetPrevVisible() const;
  TTreeExNode* GetNextSelected() const;
  TTreeExNode* GetPrevSelected() const;
  TTreeExNode* GetItem(int Index) const;
  void SetItem(int Index, TTreeExNode* Value);

  // Queries.
  int GetCount() const { return FChildren.GetCount(); }
  bool HasChildren() const { return FChildren.GetCount() > 0; }
  int GetIndex() const;
  int GetLevel() const;
  int GetAbsoluteIndex() const;
  int GetAbsoluteCount() const;
  bool HasAsParent(const TTreeExNode* Value) const;
  int IndexOf(const TTreeExNode* Value) const;
  bool IsNodeVisible() const;
  bool IsEqual(const TTreeExNode* Node) const;
  bool IsUpdating() const;
  TCustomTreeEx* GetTreeEx() const;
  HWND GetHandle() const;
  TTreeExNodes* GetOwner() const { return FOwner; }
  HTREEITEM GetItemId() const { return FItemId; }

  // Native item state.
  bool GetChildren() const;
  void SetChildren(bool Value);
  bool GetCut() const;
  void SetCut(bool Value);
  bool GetDropTarget() const;
  void SetDropTarget(bool Value);
  bool GetFocused() const;
  void SetFocused(bool Value);
  bool GetExpandedOnce() const;
  bool GetExpandedPartial() const;
  void SetExpandedPartial(bool Value);
  int GetIntegralHeight() const;
  void SetIntegralHeight(int Value);
  bool GetState(TNodeState NodeState) const;

  // Stored attributes.
  const String& GetText() const { return FText; }
  void SetText(const String& Value);
  void* GetData() const { return FData; }
  void SetData(void* Value);
  // The data number a node stream gave this node. A number read from a
  // stream is never turned into a pointer.
  uint32_t GetStreamData() const { return FStreamData; }
  void SetStreamData(uint32_t Value) { FStreamData = Value; }
  int GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  int GetSelectedIndex() const { return FSelectedIndex; }
  void SetSelectedIndex(int Value);
  int GetOverlayIndex() const { return FOverlayIndex; }
  void SetOverlayIndex(int Value);
  int GetStateIndex() const { return FStateIndex; }
  void SetStateIndex(int Value);
  TColor GetColor() const;
  void SetColor(TColor Value);
  bool GetParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  TFont* GetFont();
  void SetFont(TFont* Value);
  bool HasOwnFont() const { return FFont != nullptr; }
  bool GetExpanded() const { return FExpanded; }
  void SetExpanded(bool Value);
  bool GetDeleting() const { return FDeleting; }

  // Actions.
  void Expand(bool Recurse);
  void Collapse(bool Recurse);
  void ExpandItem(bool Expand, bool Recurse);
  void MakeVisible();
  bool EditText();
  void EndEdit(bool Cancel);
  TRect DisplayRect(bool TextOnly) const;
  void Delete();
  void DeleteChildren();
  bool AlphaSort();
  bool CustomSort(TTVCompare SortProc, intptr_t Data);
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
  }
  bool GetSelected() const { return FSelectedMark; }
  void SetSelected(bool Value);
  void MoveTo(TTreeExNode* Destination, TNodeAttachMode Mode);

  // Check marks.
  TCheckState GetCheckState() const { return FCheckState; }
  void SetCheckState(TCheckState Value);
  TCheckType GetCheckType() const { return FCheckType; }
  void SetCheckType(TCheckType Value);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  void DoCheckClick();

 protected:
  // Nodes are freed by their collection only (Delete, DeleteChildren,
  // Clear), which unlinks them first.
  ~TTreeExNode() override;
  void FontChanged(TObject* Sender);

 private:
  friend class TTreeExNodes;
  friend class TCustomTreeEx;

  bool GetItemField(TVITEMEXW& Item) const;
  void SetItemField(TVITEMEXW& Item) const;
  UINT GetStateBits(UINT Mask) const;
  void SetStateBits(UINT Mask, UINT Value) const;
  void SetCheckPicture(int Index);
  TCheckType ParentCheckType() const;
  void DeriveParentCheckStates();
  void ApplyNewParentCheckType();
  // Moves the node (and its branch) under NewParent at Index of its
  // children: the native items are made again there, after InsertAfter.
  void InternalMove(TTreeExNode* NewParent, int Index, HTREEITEM InsertAfter);
  void RepaintRow();
  void Resort();
  void FillInfo(TNodeInfo& Info) const;
  void ApplyInfo(const TNodeInfo& Info);
  void MakeOwnFont();

  TTreeExNodes* FOwner;
  String FText;
  void* FData = nullptr;
  HTREEITEM FItemId = nullptr;
  std::unique_ptr<TFont> FFont;
  TTreeExNode* FParent = nullptr;
  bool FExpanded = false;
  bool FParentColor = true;
  bool FParentFont = true;
  int FImageIndex = -1;
  int FSelectedIndex = -1;
  int FOverlayIndex = -1;
  int FStateIndex = -1;
  bool FDeleting = false;
  TColor FColor = 0;  // meaningful only without the parent colour
  bool FInTree = false;
  int FUpdateCount = 0;
  TTreeNodeList FChildren;
  TCheckState FCheckState = csUnchecked;
  TCheckType FCheckType = ctNone;
  bool FEnabled = true;

  // Mirror of what the native item holds, so that it survives re-creation.
  bool FChildrenFlag = false;
  UINT FNativeState = 0;   // cut, drop-highlight, expand-partial bits
  int FIntegralHeight = 1;
  // Book-keeping of the collection.
  bool FSelectedMark = false;  // in the collection's selection list
  int FAbsIndex = -1;          // position in the flat cache
  mutable int FIndexHint = 0;  // probable position among the siblings
  uint32_t FStreamData = 0;
};

// Watches a node across calls that run event handlers: Get() answers
// nullptr once the node has been deleted meanwhile.
class TNodeWatch {
 public:
  TNodeWatch(TTreeExNodes* Owner, TTreeExNode* Node);
  ~TNodeWatch();
  TNodeWatch(const TNodeWatch&) = delete;
  TNodeWatch& operator=(const TNodeWatch&) = delete;
  TTreeExNode* Get() const { return Node_; }

 private:
  friend class TTreeExNodes;
  TTreeExNodes* Owner_;
  TTreeExNode* Node_;
};

// ---------------------------------------------------------------------------
class TTreeExNodes : public TPersistent {
 public:
  explicit TTreeExNodes(TCustomTreeEx* AOwner);
  ~TTreeExNodes() override;
  const char* ClassName() const override { return "TTreeExNodes"; }

  void Assign(TPersistent* Source) override;
  // The nodes in a component stream: the binary property "Data" (the node
  // stream). Against an ancestor collection (the filer's ancestor) with as
  // many nodes it is written when a node differs from the ancestor's at the
  // same place by text or data, else only for a check type; otherwise when
  // there are nodes or a check type. Public, so the control can declare it.
  void DefineProperties(TFiler* Filer) override;
  virtual void InvalidateItemCache();

  TTreeExNode* AddChild(TTreeExNode* Parent, const String& S);
  TTreeExNode* AddChildObject(TTreeExNode* Parent, const String& S, void* Ptr);
  TTreeExNode* AddChildFirst(TTreeExNode* Parent, const String& S);
  TTreeExNode* AddChildObjectFirst(TTreeExNode* Parent, const String& S, void* Ptr);
  TTreeExNode* Add(TTreeExNode* Sibling, const String& S);
  TTreeExNode* AddObject(TTreeExNode* Sibling, const String& S, void* Ptr);
  TTreeExNode* AddFirst(TTreeExNode* Sibling, const String& S);
  TTreeExNode* AddObjectFirst(TTreeExNode* Sibling, const String& S, void* Ptr);
  TTreeExNode* Insert(TTreeExNode* Node, const String& S);
  TTreeExNode* InsertObject(TTreeExNode* Node, const String& S, void* Ptr);

  // Deletes every node; OnDeletion fires for each, deepest first.
  void Clear();
  // Deletes Node and its descendants (OnDeletion for each, deepest first).
  void Delete(TTreeExNode* Node);
  void DeleteSelectedNodes();
  // Number of native items (0 while the control has no window).
  int GetCount() const;
  // Number of node objects, window or not.
  int GetNodeCount();
  TTreeExNode* GetFirstNode() const;
  TTreeExNode* GetNodeFromIndex(int Index);
  TTreeExNode* GetNode(HTREEITEM ItemId) const;
  TTreeExNode* FindNode(TFindFlags Flags, const String& S, void* Data);
  void SetItem(int Index, TTreeExNode* Value);
  void BeginUpdate();
  void EndUpdate();
  bool IsUpdating() const { return FUpdateCount > 0; }
  bool IsDeleting() const { return FDeleting; }
  void Repaint(TTreeExNode* Node);
  void FillCache();
  TCustomTreeEx* GetOwner() const { return FOwner; }
  TTreeExNode* GetRoot() const { return FRoot; }

  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream);
  void ReadStrings(TStream* Stream);
  void WriteStrings(TStream* Stream);
  // The text format read whole first (a level error raises before any
  // node changes), then in place of the nodes there are.
  void ReplaceWithStrings(TStream* Stream);

  TCheckType GetCheckType() const { return FCheckType; }
  void SetCheckType(TCheckType Value);

  // Selection.
  void SelectNode(TTreeExNode* Node, TSelectType SelectType);
  void SelectNodes(TTreeExNode* NodeFrom, TTreeExNode* NodeTo, bool AddOnly);
  void SelectAll();
  void ToggleSelectionRange(TTreeExNode* NodeFrom, TTreeExNode* NodeTo);
  void AddToSelection(TTreeExNode* Node);
  void RemoveFromSelection(TTreeExNode* Node);
  void LockSelection() { ++FSelectionLock; }
  void UnlockSelection() {
    if (FSelectionLock > 0) --FSelectionLock;
  }
  int GetSelectedCount() const { return FSelection.GetCount(); }
  TTreeExNode* GetFirstSelectedNode() const {
    return FSelection.GetCount() ? FSelection.Get(0) : nullptr;
  }
  const TTreeNodeList& Selection() const { return FSelection; }
  int GetLevelAnchor() const { return FLevelAnchor; }
  bool InBulkSelection() const { return FBulkSelection > 0; }

 private:
  friend class TTreeExNode;
  friend class TCustomTreeEx;
  friend class TNodeWatch;

  TTreeExNode* InternalAddObject(TTreeExNode* Parent, const String& S, void* Ptr, TAddMode Mode,
                                 TTreeExNode* Before = nullptr);
  // Fills the native item of Node (text, images, children flag, the node
  // as parameter, state and height) and marks the node as in the tree.
  void CreateItem(TTreeExNode* Node, TVITEMEXW& Item);
  // Inserts the native item of Node (parent's item must exist).
  void AddItem(TTreeExNode* Node, HTREEITEM InsertAfter);
  // Inserts the native items of Node and all its descendants and opens
  // the expanded ones, silently.
  void AddItemBranch(TTreeExNode* Node, HTREEITEM InsertAfter);
  void AddedNode(TTreeExNode* Parent);
  // Deletes the subtrees below the given nodes: OnDeletion once per node,
  // deepest first, then one native delete per subtree, then the objects
  // are freed. Linear in the number of nodes. WholeParent: the roots are
  // all children of that node (the hidden root: all nodes), whose native
  // children then go in one request.
  void DeleteSubtrees(const std::vector<TTreeExNode*>& Roots, TTreeExNode* WholeParent = nullptr);
  void BeginBulk() { ++FBulkSelection; }
  void EndBulk() {
    if (FBulkSelection > 0) --FBulkSelection;
  }
  int AbsIndexOf(TTreeExNode* Node);

  TCustomTreeEx* FOwner;
  int FUpdateCount = 0;
  int FBulkSelection = 0;
  bool FDeleting = false;
  TTreeExNode* FRoot = nullptr;
  TTreeNodeList FItemCache;
  bool FCacheValid = false;
  TTreeNodeList FSelection;
  int FSelectionLock = 0;
  TCheckType FCheckType = ctNone;
  int FLevelAnchor = -1;
  std::vector<TNodeWatch*> FWatches;
  // Counts deletions, so loops over copied node lists know when a handler
  // may have freed some of them.
  unsigned FDeleteGeneration = 0;
  bool StillChild(const TTreeExNode* Parent, TTreeExNode* Node, unsigned Generation) const {
    return Generation == FDeleteGeneration || Parent->FChildren.IndexOf(Node) >= 0;
  }
};

// Where Print sends its page. The default goes to the system's default
// printer; tests inject their own device context.
class TTreePrintTarget {
 public:
  virtual ~TTreePrintTarget() = default;
  // Starts a document and answers the device context to draw on.
  virtual HDC BeginDoc(const String& Title) = 0;
  virtual void EndDoc() = 0;
  virtual void Abort() = 0;
  // Whether the screen is a palette device: the picture then goes to the
  // printer with 8 bits a pixel and a palette of 256 colours.
  virtual bool ScreenHasPalette();
};

// Device rectangle of a printed tree: position and width in millimetres,
// the bitmap's size in pixels, the device's pixels per inch. Zero or
// negative sizes give an empty rectangle.
TRect TreePrintRect(double LeftMM, double TopMM, double WidthMM, int BitmapWidth, int BitmapHeight,
                    int DpiX, int DpiY);

// ---------------------------------------------------------------------------
class TCustomTreeEx : public TWinControl {
 public:
  explicit TCustomTreeEx(TComponent* AOwner);
  ~TCustomTreeEx() override;
  const char* ClassName() const override { return "TCustomTreeEx"; }

  TTreeExNodes* Items() const { return FItems.get(); }
  TTreeExNodes* GetItems() const { return FItems.get(); }
  void SetItems(TTreeExNodes* Value) { FItems->Assign(Value); }

  TTreeExNode* GetSelection();
  void SetSelection(TTreeExNode* Node);
  TTreeExNode* Selected() { return GetSelection(); }
  TTreeExNode* GetNodeAt(int X, int Y);
  THitTests GetHitTestInfoAt(int X, int Y);
  TTreeExNode* GetNodeFromItem(const TVITEMW& Item) const;
  bool IsEditing();
  TTreeExNode* GetTopItem();
  void SetTopItem(TTreeExNode* Node);
  TTreeExNode* GetLastVisibleNode();
  TTreeExNode* GetDropTarget();
  void SetDropTarget(TTreeExNode* Node);
  String GetSearchString();
  HWND GetToolTips();
  void SetToolTips(HWND Value);
  void ShowInsertMark(TTreeExNode* Node, bool After);
  int GetItemHeight();
  void SetItemHeight(int Value);
  int GetIndent();
  void SetIndent(int Value);
  int GetScrollTime();
  void SetScrollTime(int Value);
  TColor GetInsertMarkColor();
  void SetInsertMarkColor(TColor Value);
  int GetChangeDelay() const { return FChangeDelay; }
  void SetChangeDelay(int Value) { FChangeDelay = Value < 0 ? 0 : Value; }
  TTreeOptions GetOptions() const { return FOptions; }
  void SetOptions(TTreeOptions Value);
  TSortType GetSortType() const { return FSortType; }
  void SetSortType(TSortType Value);
  // Image lists for the node pictures and the state pictures (without
  // state images, or while the state list has no pictures yet, the
  // built-in check pictures are used). Each list is watched: a change to
  // it (new pictures, a new size, a new handle) is handed to the window
  // again, and the control lets go of a list that is freed.
  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  TCustomImageList* GetStateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // A single border is a line, sunk into the parent (client edge) while
  // Ctl3D is on.
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TColor ColorSelected = clHighlight;
  TColor ColorUnfocusedSelected = cl3DLight;
  TColor ColorDropSelected = clBtnFace;

  void FullExpand();
  void FullCollapse();
  bool AlphaSort();
  bool CustomSort(TTVCompare SortProc, intptr_t Data);
  void ClearSelection();
  void SetCheckImage(TTreeExNode* Node, int Index);
  bool IsMouseSelecting() const { return FRubberBand; }
  void DrawFocusRect(const TRect& R);
  TPoint ScreenToClientEx(TPoint P) { return ScreenToClient(P); }
  TTreeExNode* GetRangeAnchor() const { return FRangeAnchor; }

  // Files and painting.
  void LoadFromFile(const String& FileName);
  void LoadFromStream(TStream* Stream);
  void SaveToFile(const String& FileName, bool Binary);
  void SaveToStream(TStream* Stream, bool Binary);
  void DrawTo(TCanvas* Canvas);
  void DrawTo(HDC DC);
  int GetTreeWidth();
  int GetTreeHeight();
  void Print(double Left, double Top, double Width, TTreePrintTarget* Target = nullptr);

  // Dragging runs through the class library's drag and drop. With
  // dmAutomatic the native control reports the start of a drag and the
  // tree starts it; otherwise the native control's drag start is off. The
  // picture is the native control's picture of the dragged node (none when
  // the platform gives an empty one).
  void SetDragMode(TDragMode Value) override;
  TDragImageList* GetDragImages() override;
  // A drag moving over the tree at a client point: the node there becomes
  // the drop target (the count to opening it starts anew), and near an
  // edge the tree scrolls.
  virtual void DoDragOver(TDragObject* Source, int X, int Y, bool CanDrop);
  TTreeExNode* GetDragNode() const { return FDragNode; }
  // The drag object of the drag running over the tree, or null.
  TDragObject* GetDragObject() const { return FDragObject; }
  virtual void DoAutoScroll(int X, int Y);
  TScrollDirection GetScrollDirections() const { return FScrollDirections; }
  UINT GetScrollInterval() const { return FScrollInterval; }
  void DoScroll();
  void DoDragExpand();

  virtual TTreeExNode* CreateNode();
  virtual void DoChange(TTreeExNode* Node);

  // Event dispatchers.
  virtual bool CanChange(TTreeExNode* Node);
  virtual void Change(TTreeExNode* Node);
  virtual bool CanExpand(TTreeExNode* Node);
  virtual void Expand(TTreeExNode* Node);
  virtual bool CanCollapse(TTreeExNode* Node);
  virtual void Collapse(TTreeExNode* Node);
  virtual bool CanCheck(TTreeExNode* Node);
  virtual void Check(TTreeExNode* Node);
  virtual bool CanEdit(TTreeExNode* Node);
  virtual void Edit(TTreeExNode* Node, const wchar_t* NewText);

  TTVChangingEvent OnChanging;
  TTVChangedEvent OnChange;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVCheckingEvent OnChecking;
  TTVCheckedEvent OnChecked;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnDeletion;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  TTVHintEvent OnHint;
  TTVCompareEvent OnCompare;
  TTVCreateNodeEvent OnCreateNode;
  TTVSingleExpandingEvent OnSingleExpanded;
  TTVPaintEvent OnBeforePaint;
  TTVPaintEvent OnAfterPaint;
  TTVBeforeItemPaintEvent OnBeforeItemPaint;
  TTVAfterItemPaintEvent OnAfterItemPaint;
  TTVPopupEvent OnGetPopupMenu;
  TTVHelpContextEvent OnGetHelpContext;
  TLevelErrorEvent OnLevelError;

  void WndProc(TMessage& Message) override;
  // Sends a message to the window (tree-view requests go straight to the
  // system's procedure). 0 without a window.
  LRESULT SendTV(UINT Msg, WPARAM W = 0, LPARAM L = 0) const;

  // Shows a pop-up menu at a screen point. Overridable (tests count calls).
  virtual void DoPopup(TPopupMenu* Menu, TPoint ScreenPoint);

  // The built-in check pictures (nine 16 x 16 images), shared by all trees.
  static HIMAGELIST CheckImages();
  static void RebuildCheckImages();

  // The comparison used when none is given: OnCompare, else by SortType
  // (texts ignoring the case of A to Z, data as whole pointers).
  static int DefaultCompare(intptr_t Node1, intptr_t Node2, intptr_t Data);

 protected:
  void CreateParams(TCreateParams& Params) override;
  // Stores the published properties with the form: Indent, InsertMarkColor
  // and ItemHeight always, the nodes as "Items.Data", the others where they
  // differ from their defaults. The image lists are stored by name and
  // found when the form has been read.
  void DefineProperties(TFiler* Filer) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void DoStartDrag(TDragObject*& DragObject) override;
  void DoEndDrag(TObject* Target, int X, int Y) override;

 private:
  friend class TTreeExNode;
  friend class TTreeExNodes;

  void CNNotify(TMessage& Message);
  LRESULT CustomDraw(NMTVCUSTOMDRAW* CD);
  void WMLButtonDown(TMessage& Message);
  void WMLButtonUp(TMessage& Message);
  void WMRButtonDown(TMessage& Message);
  void WMRButtonUp(TMessage& Message);
  void WMMouseMove(TMessage& Message);
  void WMKeyDown(TMessage& Message);
  void WMSysKey(TMessage& Message);
  void WMTimer(TMessage& Message);
  void CMDrag(TMessage& Message);
  // The class library's handling of a mouse message, without the drag it
  // would start on a left press with dmAutomatic (the tree starts its
  // drags itself).
  void InheritedMouse(TMessage& Message);
  bool AutoDrag() const;
  bool TooltipNeedText(TMessage& Message);
  void HandleMultiSelection(TTreeExNode* Old, TSelectType OldSel, TShiftState Shift, bool WasSelected,
                            TTreeExNode* Node);
  void UpdateBandSelection(TShiftState Shift);
  void EndRubberBand();
  void ApplyStyle(DWORD Bit, bool On);
  void ReinsertNodes();
  // NotifyAlways: report the caret also when no node was selected before.
  void SyncSelectionWithCaret(bool NotifyAlways = false);
  // The control's timers; each value is the timer's id on the window.
  enum class TTreeTimer : UINT_PTR { Change = 0x5A71, DragExpand = 0x5A72, Scroll = 0x5A73 };
  void StartTimer(TTreeTimer Which, UINT Ms);
  void StopTimer(TTreeTimer Which);
  void ApplyImageLists();
  void SubclassEdit(TTreeExNode* Node);
  void UnsubclassEdit();
  static LRESULT CALLBACK EditProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L);
  int EffectiveItemHeight();
  // Hides the picture of a running drag; true when there is one.
  bool HideDragImage();
  void ShowDragImage();
  void DeliverChange();
  bool CanInsertNative();

  std::unique_ptr<TTreeExNodes> FItems;
  TBorderStyle FBorderStyle = bsSingle;
  TCustomImageList* FImages = nullptr;
  TCustomImageList* FStateImages = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  std::unique_ptr<TChangeLink> FStateChangeLink;
  TScrollDirection FScrollDirections;
  UINT FScrollInterval = 0;
  std::unique_ptr<TDragImageList> FDragImages;
  TSortType FSortType = stNone;
  int FSavedIndent = -1;
  int FSavedItemHeight = -1;
  // Set by the program (or read from a form) rather than the window's own:
  // only these are written with a form.
  bool FIndentSet = false;
  bool FItemHeightSet = false;
  TTreeExNode* FSavedTopItem = nullptr;
  int FScrollTime = 0;
  HWND FEditWnd = nullptr;
  TTreeExNode* FEditNode = nullptr;  // the node whose label is being edited
  WNDPROC FDefEditProc = nullptr;
  bool FDragged = false;
  TTreeOptions FOptions;
  int FManualNotify = 0;
  TTreeExNode* FDragNode = nullptr;
  TDragObject* FDragObject = nullptr;
  TTreeExNode* FRClickNode = nullptr;
  bool FRClickActive = false;
  bool FRClickReported = false;
  bool FInRightPress = false;  // inside WM_RBUTTONDOWN's native handling
  TPoint FRClickPoint{};
  HFONT FSavedFont = nullptr;
  bool FRecreating = false;    // DestroyWnd until CreateWnd
  bool FWindowGoing = false;   // WM_DESTROY until the window is gone
  int FRestoring = 0;          // native state is being rebuilt silently
  bool FDestroying = false;
  TTreeExNode* FRangeAnchor = nullptr;
  bool FRubberBand = false;
  TPoint FBandStart{};
  TRect FBandRect{};
  std::vector<TTreeExNode*> FBandNodes;
  TTreeExNode* FCheckNode = nullptr;
  bool FHelpKeyTaken = false;  // F1 answered by the multiple selection
  int FChangeDelay = 0;
  // Kept while there is no window, handed to the next one.
  TColor FInsertMarkColor = clBlack;
  bool FInsertMarkColorSet = false;
  TTreeExNode* FChangeNode = nullptr;
  bool FChangePending = false;
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The published form of the control.
class TTreeEx : public TCustomTreeEx {
 public:
  explicit TTreeEx(TComponent* AOwner) : TCustomTreeEx(AOwner) {}
  const char* ClassName() const override { return "TTreeEx"; }
};

// Registers the tree, so that a reader makes it from a form stream by class
// name; the program runs it at start-up.
void TreeExInitialize();
void TreeExFinalize();
