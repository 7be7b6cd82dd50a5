// Text, list and arithmetic helpers shared by the whole toolbar library.
// Portable: no window system needed.
#pragma once

#include <algorithm>
#include <vector>

#include "classlib/SysUtils.h"

// FreeAndNil (clear the variable, then free the object) is the class
// library's, from classlib/SysUtils.h.

// ---- lists ---------------------------------------------------------------
// Lists are created on demand and freed when they empty, so a null list
// pointer means "no entries".
template <class T>
bool AddToList(std::vector<T*>*& List, T* Item) {
  if (!List) List = new std::vector<T*>();
  if (std::find(List->begin(), List->end(), Item) != List->end()) return false;
  List->push_back(Item);
  return true;
}

template <class T>
bool AddToFrontOfList(std::vector<T*>*& List, T* Item) {
  if (!List) List = new std::vector<T*>();
  if (std::find(List->begin(), List->end(), Item) != List->end()) return false;
  List->insert(List->begin(), Item);
  return true;
}

template <class T>
void RemoveFromList(std::vector<T*>*& List, T* Item) {
  if (!List) return;
  auto it = std::find(List->begin(), List->end(), Item);
  if (it != List->end()) List->erase(it);
  if (List->empty()) {
    delete List;
    List = nullptr;
  }
}

// Quicksort around the middle entry; not stable.
template <class T, class Compare>
void ListSortEx(std::vector<T>& List, Compare Cmp) {
  if (List.size() < 2) return;
  struct S {
    static void Sort(std::vector<T>& L, int lo, int hi, Compare& C) {
      while (lo < hi) {
        int i = lo, j = hi;
        T pivot = L[(lo + hi) / 2];
        do {
          while (C(L[i], pivot) < 0) ++i;
          while (C(L[j], pivot) > 0) --j;
          if (i <= j) {
            std::swap(L[i], L[j]);
            ++i;
            --j;
          }
        } while (i <= j);
        if (lo < j) Sort(L, lo, j, C);
        lo = i;  // iterate on the right part
      }
    }
  };
  S::Sort(List, 0, static_cast<int>(List.size()) - 1, Cmp);
}

// Whether two event handlers are the same method of the same object (both
// unassigned counts as equal).
template <class E>
bool MethodsEqual(const E& A, const E& B) {
  return A == B;
}

inline int DivRoundUp(int X, int D) { return D > 0 && X > 0 ? (X + D - 1) / D : 0; }

// ---- captions ------------------------------------------------------------
// Captions are UTF-16; '&' is never part of a surrogate pair, so no
// multi-unit character can be split by the scans below.
String StripAccelChars(const String& S);
String EscapeAmpersands(const String& S);
String StripTrailingPunctuation(const String& S);
// The character after the last single '&' ("&&" is a literal ampersand);
// 0 when there is none.
wchar_t FindAccelChar(const String& S);
// Simple case folding for accelerator comparisons (Latin-1 and ASCII; the
// Windows build uses the system's mapping).
wchar_t BarCharUpper(wchar_t C);
