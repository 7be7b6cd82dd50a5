// Writing a form (or a lone component) to a form stream and reading it back,
// for the tests of the components' published properties.
#pragma once

#include <memory>
#include <string>

#include "classlib/Filer.h"
#include "classlib/Forms.h"

namespace formstream {

// A form of the application named Name (names of the application's forms
// are unique).
inline std::unique_ptr<TForm> NewForm(const wchar_t* Name) {
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetName(Name);
  return F;
}

// A control of F named Name, on F.
template <class T>
T* Place(TForm* F, const wchar_t* Name) {
  auto* C = new T(F);
  C->SetName(Name);
  C->SetParent(F);
  return C;
}

inline void Write(TComponent* Root, TMemoryStream& S) {
  S.SetSize(0);
  TWriter(&S).WriteRootComponent(Root);
  S.SetPosition(0);
}

inline void Read(TMemoryStream& S, TComponent* Root) {
  S.SetPosition(0);
  TReader(&S).ReadRootComponent(Root);
}

// The stream holds the 8-bit text (a property's name or value).
inline bool Holds(TMemoryStream& S, const char* Text) {
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  return Bytes.find(Text) != std::string::npos;
}

}  // namespace formstream
