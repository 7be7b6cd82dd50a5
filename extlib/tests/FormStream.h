// Writing a form (or a lone component) to a form stream and reading it back,
// for the tests of the components' published properties.
#pragma once

#include <string>

#include "classlib/Filer.h"

namespace formstream {

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
