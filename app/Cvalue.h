// The registry value object: one value of a key as the editor shows it
// (name, type and data), with its display text and the three changes the
// editor makes to a single existing value: update, rename and delete.
#pragma once

#include <cstdint>
#include <string>

#include "app/RegRoots.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EValueExists, Exception)
// A rename that was done, but left a spare copy of the value in the key
// (its message names it); the object has the new name.
ZEMBRIO_DECLARE_EXCEPTION(ESpareValueLeft, Exception)

#ifdef _WIN32
class TRegistry;
#endif

// The longest value name the registry takes, in UTF-16 code units.
constexpr size_t MaxValueNameLength = 16383;
// The longest key name (one component of a key path) it takes.
constexpr size_t MaxKeyNameLength = 255;

// Registry type numbers (the platform's REG_* values).
namespace RegType {
constexpr uint32_t None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, DwordBigEndian = 5,
                   Link = 6, MultiSz = 7, ResourceList = 8, FullResourceDescriptor = 9,
                   ResourceRequirementsList = 10, Qword = 11;
}
// "REG_MULTI_SZ" and so on; the number itself for types without a name.
String RegTypeName(uint32_t type);

// Registry bytes <-> text: UTF-16LE code units; a string read from the
// registry ends at its first NUL.
String RegBytesToString(const std::string& bytes);
// The UTF-16LE bytes of s followed by one NUL character.
std::string StringToRegBytes(const String& s);

class cValue {
 public:
  // The editor's type codes. cvtOther holds a value of any other registry
  // type (or a DWORD that is not four bytes long): it is shown, renamed and
  // deleted but never edited or rewritten.
  enum : unsigned char {
    cvtNone = 0,
    cvtString = 1,
    cvtExpandString = 2,
    cvtInteger = 3,
    cvtBinary = 4,
    cvtOther = 5
  };

  unsigned char GetType() const { return type_; }
  const String& GetName() const { return name_; }
  int32_t GetInteger() const { return integer_; }
  const String& GetString() const { return string_; }
  const std::string& GetBinary() const { return binary_; }
  bool GetDefaultFlag() const { return default_; }
  // The registry's own type number and data bytes of the value as held.
  uint32_t GetRegType() const;
  std::string GetRawData() const;
  // True for the four types the editor edits.
  bool IsEditable() const { return type_ >= cvtString && type_ <= cvtBinary; }
  // A DWORD or QWORD whose data is not four or eight bytes long: no number
  // editor can show it, so it is edited as bytes, and its type is kept.
  bool IsMisfitNumber() const;
  // A string or expandable string whose bytes its text can't hold whole: a
  // NUL character before the last one, or an odd number of bytes. Its text
  // ends at the first NUL; the bytes are kept as the registry holds them.
  bool IsMisfitString() const { return stringBytes_; }
  // Either of the two: a value the editor opens as bytes.
  bool IsEditedAsBytes() const { return IsMisfitNumber() || IsMisfitString(); }
  // The bytes of such a value as edited: its type stays (a DWORD of four
  // bytes now becomes the editor's integer, a string whose bytes are its
  // text and one final NUL a plain string), and Update writes exactly them.
  void SetEditedBytes(const std::string& bytes);

  void SetName(const String& name) { name_ = name; }
  void SetDefaultFlag(bool flag) { default_ = flag; }
  void SetString(const String& text);
  void SetExpandString(const String& text);
  void SetInteger(int32_t number);
  void SetBinary(const std::string& bytes);
  // Takes a value as the registry holds it: strings, expandable strings,
  // four-byte DWORDs and binary data become the editor's types, anything
  // else is kept as cvtOther with its type number and bytes.
  void SetRaw(uint32_t regType, const std::string& bytes);

  // Text of the values list's data column and of the clipboard copy.
  // Raises Exception "Encountered an unrecognised value type." for a value
  // whose type was never set.
  String GetDisplayText() const;

#ifdef _WIN32
  // Each opens the key (never creating it) on its own registry handle and
  // closes it again; failures raise ERegistryException with the key path
  // and the value name. Update writes the four editable types and the
  // bytes of SetEditedBytes (and the kept bytes of a misfit string); any
  // other value is never rewritten.
  void Update(TRegRoot root, const String& keyPath);
  // Copies the value's type and bytes exactly to newName, then deletes the
  // old value; EValueExists when newName is taken, ESpareValueLeft when a
  // change of letter case only was done but its spare copy stays.
  void Rename(TRegRoot root, const String& keyPath, const String& newName);
  void Delete(TRegRoot root, const String& keyPath);
  // The same on the caller's registry object, which keeps the key open for
  // the next value of the key (many values deleted open it once); a key
  // held open that fails is opened afresh before the failure is told.
  void Delete(TRegistry& reg, TRegRoot root, const String& keyPath);
  // Reads the value named like this object from the registry again (after
  // a failed change, so that the list shows what the registry holds).
  // Returns false when the key or the value is gone.
  bool Reload(TRegRoot root, const String& keyPath);
#endif

 private:
#ifdef _WIN32
  // The three changes on a registry object the caller made: each opens
  // the key on it (never creating it) and does its work there.
  void UpdateInKey(TRegistry& reg, TRegRoot root, const String& keyPath);
  void RenameInKey(TRegistry& reg, TRegRoot root, const String& keyPath, const String& newName);
  void DeleteInKey(TRegistry& reg, TRegRoot root, const String& keyPath);
#endif
  bool default_ = false;
  String name_;
  int32_t integer_ = 0;
  String string_;
  std::string binary_;
  unsigned char type_ = cvtNone;
  uint32_t otherType_ = 0;  // registry type of a cvtOther value
  bool numberBytes_ = false;  // a cvtOther value's bytes set by SetEditedBytes
  // A string's bytes beyond its text, held in binary_ (IsMisfitString).
  bool stringBytes_ = false;
  void KeepStringBytes(const std::string& bytes, bool Exact);
};

// Message texts of the value object's failures.
namespace cValueText {
extern const wchar_t* const Unrecognised;
extern const wchar_t* const OpenUpdate;
extern const wchar_t* const OpenRename;
extern const wchar_t* const ValueExists;
extern const wchar_t* const LocateRename;
extern const wchar_t* const RenameFailed;
extern const wchar_t* const SpareLeft;
extern const wchar_t* const OpenDelete;
extern const wchar_t* const DeleteFailed;
}  // namespace cValueText
