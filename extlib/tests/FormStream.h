// Writing a form (or a lone component) to a form stream and reading it back,
// for the tests of the components' published properties.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
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

// The stream holds the 8-bit text after the first component named
// Component (in what is written of that component and those after it).
inline bool HoldsAfter(TMemoryStream& S, const char* Component, const char* Text) {
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  std::string Key(1, static_cast<char>(std::char_traits<char>::length(Component)));
  Key += Component;
  const size_t At = Bytes.find(Key);
  return At != std::string::npos && Bytes.find(Text, At) != std::string::npos;
}

// The stream holds a property of that name (as the filer writes names: a
// length byte, then the characters), not just the text inside another.
inline bool Stores(TMemoryStream& S, const char* Name) {
  std::string Key(1, static_cast<char>(std::char_traits<char>::length(Name)));
  Key += Name;
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  return Bytes.find(Key) != std::string::npos;
}

// Every name of a component's published list is written: a property or
// event the component forgets fails here.
inline void ExpectStored(TMemoryStream& S, std::initializer_list<const char*> Names) {
  for (const char* Name : Names) EXPECT_TRUE(Stores(S, Name)) << Name;
}

inline void ExpectNotStored(TMemoryStream& S, std::initializer_list<const char*> Names) {
  for (const char* Name : Names) EXPECT_FALSE(Stores(S, Name)) << Name;
}

// A handler for events of kind E that each of Roots offers under Name: a
// form read back binds the very handler the written one held.
template <class E>
E Offer(const wchar_t* Name, std::initializer_list<TComponent*> Roots) {
  E Handler([](auto&&...) {});
  for (TComponent* Root : Roots) Root->RegisterMethod(Name, Handler);
  return Handler;
}

// What the stream holds below its root's class and name: two forms with
// the same components and properties give the same body.
inline std::string Body(TMemoryStream& S) {
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  size_t At = 4;  // the signature
  for (int Header = 0; Header < 2 && At < Bytes.size(); ++Header) At += 1 + static_cast<unsigned char>(Bytes[At]);
  return Bytes.substr(std::min(At, Bytes.size()));
}

// Writes Source, reads the stream into Copy and writes Copy: each property
// read back as it was written gives the same stream body again.
inline void ExpectRoundTrip(TComponent* Source, TComponent* Copy, TMemoryStream& S) {
  Write(Source, S);
  Read(S, Copy);
  TMemoryStream Again;
  Write(Copy, Again);
  EXPECT_EQ(Body(S), Body(Again));
}

}  // namespace formstream
