// Declaring the stored properties of toolbar components to a filer: each
// property is written when it is stored and differs from the ancestor's
// value (or, without an ancestor, from its default), and read back through
// its setter. References to other components are written by name and found
// once the whole stream is read.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Filer.h"
#include "classlib/Graphics.h"

namespace BarFiler {

void Integer(TFiler* Filer, const wchar_t* Name, int Value, int Base, bool Stored,
             const std::function<void(int)>& Set);
void Boolean(TFiler* Filer, const wchar_t* Name, bool Value, bool Base, bool Stored,
             const std::function<void(bool)>& Set);
void Text(TFiler* Filer, const wchar_t* Name, const String& Value, const String& Base, bool Stored,
          const std::function<void(const String&)>& Set);
// An enumeration stored as the identifier Names[Value].
void Enum(TFiler* Filer, const wchar_t* Name, int Value, int Base, const std::vector<const wchar_t*>& Names,
          const std::function<void(int)>& Set);
// A set of up to 32 members stored as a list of the identifiers of its members.
void Set(TFiler* Filer, const wchar_t* Name, unsigned Bits, unsigned Base, bool Stored,
         const std::vector<const wchar_t*>& Names, const std::function<void(unsigned)>& Set);
// A list of strings, stored when it differs from Base (without Base: when
// it is not empty); reading replaces the list's contents.
void StringList(TFiler* Filer, const wchar_t* Name, TStrings* Value, TStrings* Base);
// A component stored by name; the name read goes to Pending.
void Reference(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, bool Stored,
               String& Pending);

// A component stored by name; read back once the whole stream is read
// (before anything hears Loaded) through Set, with the component the name
// stands for.
void Link(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, bool Stored,
          const std::function<void(TComponent*)>& Set);
// A picture stored as its bitmap file; an empty one is stored only against
// a base that has a picture.
void Picture(TFiler* Filer, const wchar_t* Name, TBitmap* Value, TBitmap* Base,
             const std::function<void(TBitmap*)>& Set);

// The identifiers of the item options, in the order of their bits.
const std::vector<const wchar_t*>& ItemOptionNames();

// The component a stream names, looked for among the components of Self's
// owner and of their owners; null when none has that name.
TComponent* Find(TComponent* Self, const String& Name);

// Registers the framework's items, menus, toolbars and docks, so that a
// reader can make them from a stream by class name.
void RegisterClasses();

// Registers one class made with its owner.
template <class T>
void Register(const wchar_t* ClassName) {
  RegisterComponentClass(ClassName, [](TComponent* Owner) { return new T(Owner); });
}

}  // namespace BarFiler
