// A list view that sorts by a clicked column (with a " +" / " -" mark on
// the sorted column's caption) and keeps its layout (column widths, sort
// column and direction, view style) in a registry key below
// HKEY_CURRENT_USER.
#pragma once

#include "classlib/ComCtrls.h"
#include "classlib/Filer.h"

#include <functional>
#include <vector>

class TListViewQ : public TCustomListView {
 public:
  explicit TListViewQ(TComponent* AOwner);
  const char* ClassName() const override { return "TListViewQ"; }

  int SortColumn = -1;
  bool SortAscending = true;
  bool AutoColumnSort = false;
  String RegistryKey = L"Software";
  bool ShowSortIndicator = true;
  // The text of an item in a column where the list's owner holds it (the
  // text the column shows), read in place by the column sorts; none, or no
  // text given, and they copy the item's caption or sub-item (at 440,000
  // hits the copies took half the sort).
  using TSortTextSource = std::function<const String*(TListItem* Item, int Column)>;
  TSortTextSource SortTextSource;

  // A virtual list: the window keeps only the count of the items (and which
  // are selected and focused) and asks for their texts as it draws them.
  // Emptying or destroying such a window costs the same for any number of
  // items, where a window that holds a record per item frees them one by
  // one (and some systems take time that grows with the square of their
  // number). Set before the window is made, or the window is made again.
  bool GetOwnerData() const { return ownerData_; }
  void SetOwnerData(bool Value);
  void WndProc(TMessage& m) override;

  // The items in the order of their captions, as the list view's own sort
  // orders them, but keyed once as a column sort is (the find results end
  // each search with it, over every hit), and with no sort mark. A list
  // with a comparison of its own (OnCompare) sorts by that.
  bool AlphaSort();
  bool ColumnSort(int Column, bool Ascending) { return DoColumnSort(Column, Ascending); }
  bool DoColumnSort(int Column, bool Ascending);
  void InitSort();
  String GetColumnSizeString();
  // Widths from "w0,w1,..."; raises EConvertError for a part that is no number.
  void SetColumnSizes(const String& Text);
  // The same with widths taken on a screen of FromDpi dots per inch, scaled
  // to the screen's.
  void SetColumnSizes(const String& Text, int FromDpi);
  // Stores the layout, the widths with the screen's dots per inch
  // ("PixelsPerInch").
  void SaveOptions();
  // Restores the stored layout, widths stored at other dots per inch (96
  // where none are stored) scaled to the screen's. A stored layout that
  // can't be read (a width that is no number, a value of the wrong type, a
  // view style out of range) leaves the rest as it is instead of raising.
  void LoadOptions();
  static int ScreenDpi();

 protected:
  // AutoColumnSort, RegistryKey and ShowSortIndicator are stored with the
  // form where they differ from their defaults.
  void DefineProperties(TFiler* Filer) override;
  void CreateParams(TCreateParams& p) override;
  void ColClick(TListColumn* Column) override;
  void InsertItem(TListItem* Item) override;
  void Edit(const LVITEMW& Item) override;
  void SortWindowByModel() override;
  // A virtual window learns the new count once; the selection, the focus
  // and the selection's mark stay with their items (a focus or mark whose
  // item went moves to the item that took its row).
  void DeleteWindowRows(const std::vector<int>& Rows) override;
  // Asked for from the keyboard (Shift+F10, the Apps key), the pop-up menu
  // opens below the row the keyboard is on, not at the list's corner.
  void DoContextPopup(TPoint MousePos, bool& Handled) override;

 private:
  // A virtual list answers the item messages of the class library from
  // shown_ (the items in the order the window shows them).
  bool OwnerDataMessage(TMessage& m);
  // Keys and clicks that choose rows in a virtual list (see there).
  bool SelectionInput(TMessage& m);
  // Drops the selection but for the row Keep (-1: none), visiting only
  // the rows selected; the rows dropped are added to Dropped if given.
  void DropSelection(int Keep, std::vector<int>* Dropped = nullptr);
  // Passes on input that may choose other rows, the rows chosen before
  // dropped first with the drawing held; kept when the input chose none.
  void ReplaceSelection(TMessage& m);
  // Arrow keys among icons (false: not one of them).
  bool IconArrow(WPARAM Vk);
  int IconNeighbour(int From, WPARAM Vk);
  void SortShown(PFNLVCOMPARE Compare, LPARAM Param);
  // Reorder puts the rows of shown_ in another order; the selection, the
  // focus and the mark go with their items.
  void ReorderShown(const std::function<void()>& Reorder);
  // Tells the window the count of shown_ when it doesn't know it yet.
  void SyncCount();
  bool ownerData_ = false;
  bool countStale_ = false;
  std::vector<TListItem*> shown_;
};

namespace ListViewQ {
// For a form designer: TListViewQ on the component page "Quorvel".
void Register();
}  // namespace ListViewQ
