// The small pointer list behind a tree's children lists, its selection and
// its flat item cache. Portable: no window system needed.
#pragma once

#include <cstdint>

#include "classlib/Events.h"
#include "classlib/SysUtils.h"

class TTreeExNode;

// Comparison routine shared by the native sort and the children lists:
// (Item1, Item2, Data) -> below 0 when Item1 goes first. Items are the nodes
// as pointer-sized values, the same as the native items' parameters.
using TTVCompare = int (*)(intptr_t Item1, intptr_t Item2, intptr_t Data);

class TTreeNodeList : public TObject {
 public:
  static constexpr int32_t MaxListSize = 134217728;

  TTreeNodeList() = default;
  ~TTreeNodeList() override;

  int Add(TTreeExNode* Item);
  void Insert(int Index, TTreeExNode* Item);
  void Delete(int Index);
  int Remove(TTreeExNode* Item);
  int IndexOf(const TTreeExNode* Item) const;
  TTreeExNode* Get(int Index) const;
  void Put(int Index, TTreeExNode* Item);
  TTreeExNode* operator[](int Index) const { return Get(Index); }
  TTreeExNode* First() const { return Get(0); }
  TTreeExNode* Last() const { return Get(FCount - 1); }
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  void Pack();
  void SetCount(int NewCount);
  void SetCapacity(int NewCapacity);
  TTreeNodeList* Expand();
  virtual void Clear();
  void Sort(TTVCompare Compare, intptr_t Data);

  int GetCount() const { return FCount; }
  int GetCapacity() const { return FCapacity; }
  // Direct access for tight loops; valid until the next change.
  TTreeExNode* const* List() const { return FList; }

 protected:
  virtual void Grow();

 private:
  [[noreturn]] static void Error(const wchar_t* What, int Value);
  void QuickSort(int L, int R, TTVCompare Compare, intptr_t Data);

  TTreeExNode** FList = nullptr;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};
