// Component streaming: a tree of components with the properties each
// declares in DefineProperties, written to and read from a stream in the
// binary form format ("TPF0"; per component optional filer flags, class
// name, name, properties, an empty name, its children, an empty name).
// Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

#include "classlib/Classes.h"

// Value tags of the stream.
enum TValueType : uint8_t {
  vaNull = 0,  // end of a list
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,  // up to 255 8-bit characters
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,  // 8-bit text with a 32-bit length
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,  // UTF-16 text with a 32-bit length
  vaInt64 = 19,
  vaUTF8String = 20,
  vaDouble = 21,
};

// How a component is marked in the stream: ffInherited, it exists in the
// ancestor (the reader finds it instead of creating it); ffChildPos, an
// integer follows with its place among its parent's children.
enum TFilerFlag { ffInherited, ffChildPos, ffInline };
using TFilerFlags = TSet<TFilerFlag>;

class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader* Reader)>;
using TWriterProc = std::function<void(TWriter* Writer)>;
using TStreamProc = std::function<void(TStream* Stream)>;

// What a declared property holds, as the helpers that declare properties
// (classlib/PropFiler.h) tell it; Other for one declared directly.
enum class TDeclaredKind { Other, Boolean, Integer, Text, DateTime, Enum, Set, Lines, Picture, Reference, Event };

// The kind of the declarations made while it lives (on this thread): a
// helper declares its property inside one, so that a filer that notes
// kinds (TNameRecorder) learns it, also through filers that pass the
// declaration on to another.
class TDeclaringKind {
 public:
  explicit TDeclaringKind(TDeclaredKind Kind) : previous_(current_) { current_ = Kind; }
  ~TDeclaringKind() { current_ = previous_; }
  TDeclaringKind(const TDeclaringKind&) = delete;
  TDeclaringKind& operator=(const TDeclaringKind&) = delete;
  static TDeclaredKind Current() { return current_; }

 private:
  TDeclaredKind previous_;
  static thread_local TDeclaredKind current_;
};

// What a declared property becomes when an item of a collection is read in
// place from a value that names nothing for it, where that differs from
// keeping what it holds: the code that declares such a property declares
// it inside one, as it declares its kind, and the collection reader
// (PropFiler::ReadCollection) calls Reset. An event, for one, keeps a
// handler that no stream could name. An item whose value leaves a written
// property unnamed that declares none is made anew instead.
class TDeclaringReset {
 public:
  explicit TDeclaringReset(std::function<void()> Reset) : reset_(std::move(Reset)), previous_(current_) {
    current_ = reset_ ? &reset_ : nullptr;
  }
  ~TDeclaringReset() { current_ = previous_; }
  TDeclaringReset(const TDeclaringReset&) = delete;
  TDeclaringReset& operator=(const TDeclaringReset&) = delete;
  // The reset of the declaration being made, or null.
  static const std::function<void()>* Current() { return current_; }

 private:
  std::function<void()> reset_;
  const std::function<void()>* previous_;
  static thread_local const std::function<void()>* current_;
};

class TFiler : public TObject {
 public:
  explicit TFiler(TStream* Stream) : stream_(Stream) {}

  // Declares a property of the object being read or written. A writer
  // writes it (its name, then what WriteData writes) when HasData is set;
  // a reader calls ReadData when the property it is reading has this name.
  virtual void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                              bool HasData) = 0;
  // The same for a block of bytes: WriteData fills a stream, ReadData
  // reads one positioned at the start of the bytes.
  virtual void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                                    bool HasData) = 0;

  // While a writer writes an object: the object of the ancestor it is
  // compared with (the same-named component of the ancestor root; for a
  // component without one, a new component of its class where its class
  // is compared with new ones, CompareWithNewComponents), or null.
  // Properties equal to the ancestor's are not written.
  TPersistent* GetAncestor() const { return ancestor_; }
  void SetAncestor(TPersistent* Value) { ancestor_ = Value; }
  // The component whose tree is being read or written.
  TComponent* GetRoot() const { return root_; }
  // Has Instance declare its properties to Filer.
  static void Declare(TPersistent* Instance, TFiler* Filer) { Instance->DefineProperties(Filer); }
  TStream* GetStream() const { return stream_; }

 protected:
  TStream* stream_;
  TPersistent* ancestor_ = nullptr;
  TComponent* root_ = nullptr;
};

class TWriter : public TFiler {
 public:
  explicit TWriter(TStream* Stream) : TFiler(Stream) {}

  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override;

  // Writes the signature, Root and (through GetChildren) its tree.
  // AncestorRoot, when given, is a component of Root's class in the state
  // its class makes: each component is compared with its same-named one
  // there, those it has are marked inherited, and children whose order
  // differs carry their place.
  void WriteDescendent(TComponent* Root, TComponent* AncestorRoot);
  void WriteRootComponent(TComponent* Root) { WriteDescendent(Root, nullptr); }

  // Values, for the writers of DefineProperty.
  void WriteInteger(int64_t Value);  // the smallest integer tag that holds it
  void WriteBoolean(bool Value);
  // ASCII text as 8-bit text, anything else as UTF-16.
  void WriteString(const String& Value);
  // Always UTF-16.
  void WriteWideString(const String& Value);
  void WriteIdent(const String& Value);
  // A reference to a component, by name (ComponentReferenceName against
  // the root being written); none is stored as nil.
  void WriteReference(TComponent* Component);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  void WriteValue(TValueType Value);
  void Write(const void* Buffer, int64_t Count) { stream_->WriteBuffer(Buffer, Count); }

 private:
  void WriteComponent(TComponent* Component, TComponent* Ancestor, const TFilerFlags& Flags, int Position);
  void WriteChildren(TComponent* Parent, TComponent* AncestorParent);
  void WriteStr(const String& Value);  // up to 255 8-bit characters
  // Whether this declaration of Name is the component's last one: a class
  // declares its own properties after its base's, so a class that declares
  // what its base declares overrides it (the last declaration is written
  // and read, once).
  bool LastDeclaration(const String& Name);
  // A new component of Component's class, made through its registered
  // class and kept for the rest of the writing; null unless the class is
  // registered under Component's class name and compared with new ones
  // (CompareWithNewComponents).
  TComponent* NewOfClass(TComponent* Component);
  std::map<String, std::unique_ptr<TComponent>> news_;
  TComponent* ancestorRoot_ = nullptr;
  std::vector<String> declared_;  // still to come from the component being written, as many times as declared
  int valueDepth_ = 0;            // values being written (their own parts are not the component's)
};

// A filer that only notes the names declared to it, in order, and the
// kind of each. Given a root and an ancestor, it declares them as a filer
// of that root and ancestor would, so that a component declares what it
// declares to one.
class TNameRecorder : public TFiler {
 public:
  explicit TNameRecorder(TComponent* Root = nullptr, TPersistent* Ancestor = nullptr) : TFiler(nullptr) {
    root_ = Root;
    ancestor_ = Ancestor;
  }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc&, bool) override {
    Names.push_back(Name);
    Kinds.push_back(TDeclaringKind::Current());
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc&, bool) override {
    Names.push_back(Name);
    Kinds.push_back(TDeclaringKind::Current());
  }
  // Declares Instance's properties to this recorder.
  void Record(TPersistent* Instance) { Instance->DefineProperties(this); }
  // The kind of the last declaration of Name (the one written and read),
  // Other when none was recorded.
  TDeclaredKind KindOf(const String& Name) const;
  std::vector<String> Names;
  std::vector<TDeclaredKind> Kinds;  // one for each of Names
};

class TReader : public TFiler {
 public:
  explicit TReader(TStream* Stream) : TFiler(Stream) {}

  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override;

  // Reads a stream that TWriter wrote into Root, which already exists (its
  // class made its parts): components of the stream are found in Root by
  // name, or made through their registered class (RegisterComponentClass)
  // with Root as owner; each is given its parent and its place. Root and
  // each component read (a component made, with what it owns) are loading
  // meanwhile, and Loaded runs on each of them at the end; the components
  // of Root's tree the stream names not are left alone, so that a value
  // read into a live component runs no loading work in what it owns.
  // Raises EReadError for a stream it can't read.
  void ReadRootComponent(TComponent* Root);

  // Values, for the readers of DefineProperty. Each raises EReadError when
  // the next value is of another kind.
  TValueType NextValue();
  TValueType ReadValue();
  int64_t ReadInt64();
  int ReadInteger();
  bool ReadBoolean();
  // Any kind of text (8-bit, UTF-8 or UTF-16).
  String ReadString();
  String ReadWideString() { return ReadString(); }
  String ReadIdent();
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList() { return NextValue() == vaNull; }
  // A reference to a component, stored by name (or nil). The component
  // it names may come later in the stream: Set is called once the whole
  // stream is read, before any component hears Loaded, with the component
  // the name stands for (null for nil). A name that stands for none is
  // left alone: Set is not called.
  void ReadReference(const std::function<void(TComponent*)>& Set);
  // Passes over one value of any kind.
  void SkipValue();
  void Read(void* Buffer, int64_t Count) { stream_->ReadBuffer(Buffer, Count); }

 private:
  void ReadComponent(TComponent* Parent);
  void ReadProperty(TPersistent* Instance, const String& Path);
  // Every property of Instance to the end of their list, Instance updating
  // (csUpdating) meanwhile.
  void ReadProperties(TComponent* Instance, const String& Path);
  String ReadStr();
  [[noreturn]] void Error(const String& Message);
  void FixupReferences();
  // Marks C loading for this read, unless it is loading already (for a
  // read around this one, which tells it Loaded).
  void StartLoading(TComponent* C);
  // The components put into loading by this read that are still in Root's
  // tree, in order; forgets them all.
  std::vector<TComponent*> StillThere(TComponent* Root);
  std::vector<TComponent*> loading_;  // put into loading by this read, in order
  String propName_;
  bool propHandled_ = false;
  int propDeclarations_ = 0;  // declarations of propName_ before the last one
  struct TFixup {
    String Name;  // empty for nil
    std::function<void(TComponent*)> Set;
  };
  std::vector<TFixup> fixups_;
};

// The name under which a reference to Component is stored in Root's
// stream: the name alone for Root itself or a component Root owns,
// "Owner.Name" for a component of another root (a form's component on
// another form); empty for none.
String ComponentReferenceName(TComponent* Root, TComponent* Component);
// The component a stored reference name stands for, seen from Root: Root
// itself or a component it owns for a plain name; for "Owner.Name" the
// component named Owner that Root's owner holds (as the application
// holds its forms), then its component Name. Null when there is none.
TComponent* FindReferencedComponent(TComponent* Root, const String& Name);

// Registered classes whose components a writer compares with a new one of
// their class (made through the registered factory, without an owner), so
// that what the class's constructor sets is not written while unchanged.
// For classes whose construction touches nothing beyond the new component.
void CompareWithNewComponents(std::initializer_list<const wchar_t*> ClassNames);
// Whether components of ClassName are compared with a new one.
bool ComparedWithNewComponents(const String& ClassName);

// The classes a reader can make, by class name.
using TComponentFactory = std::function<TComponent*(TComponent* AOwner)>;
void RegisterComponentClass(const String& ClassName, TComponentFactory Factory);
// The factory of a class name, or an empty one.
TComponentFactory FindComponentClass(const String& ClassName);

// Class registration by name: a class and how to make one, kept under its
// name (streaming and lists saved by class name make components through it).
struct TComponentClassInfo {
  String Name;
  TComponentFactory Factory;
};
template <class T>
TComponentClassInfo ComponentClass(const String& Name) {
  return {Name, [](TComponent* AOwner) -> TComponent* { return new T(AOwner); }};
}
ZEMBRIO_DECLARE_EXCEPTION(EClassNotFound, EFilerError)
// (Windows' headers may turn the name RegisterClass into RegisterClassW;
// both names register.)
inline void RegisterClass(const TComponentClassInfo& C) { RegisterComponentClass(C.Name, C.Factory); }
#ifndef RegisterClass
inline void RegisterClassW(const TComponentClassInfo& C) { RegisterComponentClass(C.Name, C.Factory); }
#endif
void RegisterClasses(std::initializer_list<TComponentClassInfo> Classes);
void UnRegisterClass(const String& ClassName);
// The factory of a registered class; GetClass answers an empty one for an
// unknown name, FindClass raises EClassNotFound ("Class X not found").
TComponentFactory GetClass(const String& ClassName);
TComponentFactory FindClass(const String& ClassName);

// The registration table: component classes by page (a palette page of a
// form designer), each page and each class once, in the order registered.
// The classes are registered by name as well.
void RegisterComponents(const String& Page, std::initializer_list<TComponentClassInfo> Classes);
std::vector<String> ComponentPages();
std::vector<String> ComponentsOnPage(const String& Page);
