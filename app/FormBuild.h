// Building a form's controls in code: a control of type T owned by Owner,
// named, placed on Parent at the given bounds.
#pragma once

#include "classlib/Controls.h"

template <class T>
T* Place(TComponent* Owner, TWinControl* Parent, const wchar_t* Name, int L, int T_, int W, int H) {
  T* c = new T(Owner);
  c->SetName(Name);
  c->SetParent(Parent);
  static_cast<TControl*>(c)->SetBounds(L, T_, W, H);
  return c;
}

// The same, owned by its parent.
template <class T>
T* Place(TWinControl* Parent, const wchar_t* Name, int L, int T_, int W, int H) {
  return Place<T>(Parent, Parent, Name, L, T_, W, H);
}
