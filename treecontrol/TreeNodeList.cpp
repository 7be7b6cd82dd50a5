#include "treecontrol/TreeNodeList.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

TTreeNodeList::~TTreeNodeList() { std::free(FList); }

void TTreeNodeList::Error(const wchar_t* What, int Value) {
  throw EListError(String(What) + L" (" + std::to_wstring(Value) + L")");
}

int TTreeNodeList::Add(TTreeExNode* Item) {
  int Result = FCount;
  if (Result == FCapacity) Grow();
  FList[Result] = Item;
  ++FCount;
  return Result;
}

void TTreeNodeList::Insert(int Index, TTreeExNode* Item) {
  if (Index < 0 || Index > FCount) Error(L"List index out of bounds", Index);
  if (FCount == FCapacity) Grow();
  if (Index < FCount)
    std::memmove(FList + Index + 1, FList + Index, sizeof(TTreeExNode*) * (FCount - Index));
  FList[Index] = Item;
  ++FCount;
}

void TTreeNodeList::Delete(int Index) {
  if (Index < 0 || Index >= FCount) Error(L"List index out of bounds", Index);
  --FCount;
  if (Index < FCount)
    std::memmove(FList + Index, FList + Index + 1, sizeof(TTreeExNode*) * (FCount - Index));
}

int TTreeNodeList::Remove(TTreeExNode* Item) {
  int Result = IndexOf(Item);
  if (Result >= 0) Delete(Result);
  return Result;
}

int TTreeNodeList::IndexOf(const TTreeExNode* Item) const {
  for (int I = 0; I < FCount; ++I)
    if (FList[I] == Item) return I;
  return -1;
}

TTreeExNode* TTreeNodeList::Get(int Index) const {
  if (Index < 0 || Index >= FCount) Error(L"List index out of bounds", Index);
  return FList[Index];
}

void TTreeNodeList::Put(int Index, TTreeExNode* Item) {
  if (Index < 0 || Index >= FCount) Error(L"List index out of bounds", Index);
  FList[Index] = Item;
}

void TTreeNodeList::Exchange(int Index1, int Index2) {
  if (Index1 < 0 || Index1 >= FCount) Error(L"List index out of bounds", Index1);
  if (Index2 < 0 || Index2 >= FCount) Error(L"List index out of bounds", Index2);
  TTreeExNode* T = FList[Index1];
  FList[Index1] = FList[Index2];
  FList[Index2] = T;
}

void TTreeNodeList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (NewIndex < 0 || NewIndex >= FCount) Error(L"List index out of bounds", NewIndex);
  TTreeExNode* Item = Get(CurIndex);
  Delete(CurIndex);
  Insert(NewIndex, Item);
}

void TTreeNodeList::Pack() {
  int J = 0;
  for (int I = 0; I < FCount; ++I)
    if (FList[I]) FList[J++] = FList[I];
  FCount = J;
}

void TTreeNodeList::SetCount(int NewCount) {
  if (NewCount < 0 || NewCount >= MaxListSize) Error(L"List count out of bounds", NewCount);
  if (NewCount > FCapacity) SetCapacity(NewCount);
  if (NewCount > FCount)
    std::memset(FList + FCount, 0, sizeof(TTreeExNode*) * (NewCount - FCount));
  FCount = NewCount;
}

void TTreeNodeList::SetCapacity(int NewCapacity) {
  if (NewCapacity < FCount || NewCapacity >= MaxListSize)
    Error(L"List capacity out of bounds", NewCapacity);
  if (NewCapacity == FCapacity) return;
  if (NewCapacity == 0) {
    std::free(FList);
    FList = nullptr;
  } else {
    void* P = std::realloc(FList, sizeof(TTreeExNode*) * static_cast<size_t>(NewCapacity));
    if (!P) throw EOutOfMemory(L"Out of memory");
    FList = static_cast<TTreeExNode**>(P);
  }
  FCapacity = NewCapacity;
}

TTreeNodeList* TTreeNodeList::Expand() {
  if (FCount == FCapacity) Grow();
  return this;
}

void TTreeNodeList::Grow() {
  int Delta;
  if (FCapacity > 64)
    Delta = FCapacity / 4;
  else if (FCapacity > 8)
    Delta = 16;
  else
    Delta = 4;
  SetCapacity(FCapacity + Delta);
}

void TTreeNodeList::Clear() {
  FCount = 0;
  SetCapacity(0);
}

void TTreeNodeList::Sort(TTVCompare Compare, intptr_t Data) {
  if (FCount > 1 && Compare) QuickSort(0, FCount - 1, Compare, Data);
}

// Middle-pivot quicksort. The smaller part is sorted by recursion and the
// larger one by the loop, so the stack stays logarithmic on any input.
void TTreeNodeList::QuickSort(int L, int R, TTVCompare Compare, intptr_t Data) {
  while (L < R) {
    int I = L, J = R;
    intptr_t P = reinterpret_cast<intptr_t>(FList[(L + R) / 2]);
    do {
      // The bounds only matter for a comparison that contradicts itself
      // (a user handler); a consistent one stops at the pivot anyway.
      while (I < R && Compare(reinterpret_cast<intptr_t>(FList[I]), P, Data) < 0) ++I;
      while (J > L && Compare(reinterpret_cast<intptr_t>(FList[J]), P, Data) > 0) --J;
      if (I <= J) {
        TTreeExNode* T = FList[I];
        FList[I] = FList[J];
        FList[J] = T;
        ++I;
        --J;
      }
    } while (I <= J);
    if (J - L < R - I) {
      if (L < J) QuickSort(L, J, Compare, Data);
      L = I;
    } else {
      if (I < R) QuickSort(I, R, Compare, Data);
      R = J;
    }
  }
}
