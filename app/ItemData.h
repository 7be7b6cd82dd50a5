// What the key tree's nodes and the main window's list items carry, read
// back with their types: a key node a TNodeData, a values-list item a
// cValue, a bookmarks item a TBookmark, a find-results item a TSearchHit.
// Each belongs to its node or item and is freed by the deletion handler.
#pragma once

#include "app/Bookmarks.h"
#include "app/Cvalue.h"
#include "app/RegRoots.h"
#include "app/SearchMatch.h"
#include "classlib/ComCtrls.h"
#include "treecontrol/TreeEx.h"

// The record of every key node of the registry tree.
struct TNodeData {
  TRegRoot Root = RegRoot::None;
  String Path;  // "\A\B" below the root; empty for the root key itself
};

inline TNodeData* NodeData(TTreeExNode* Node) { return Node ? static_cast<TNodeData*>(Node->GetData()) : nullptr; }
inline cValue* ItemValue(TListItem* Item) { return Item ? static_cast<cValue*>(Item->GetData()) : nullptr; }
inline TBookmark* ItemBookmark(TListItem* Item) { return Item ? static_cast<TBookmark*>(Item->GetData()) : nullptr; }
inline TSearchHit* ItemHit(TListItem* Item) { return Item ? static_cast<TSearchHit*>(Item->GetData()) : nullptr; }
