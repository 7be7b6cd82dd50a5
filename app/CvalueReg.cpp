// The registry side of the value object (Windows only). Each operation
// works on a registry object of its own, freed when it ends.
#include "app/Cvalue.h"
#include "app/RegAccess.h"
#include "classlib/Registry.h"

namespace {

String Where(const String& path, const String& name) { return path + L"\nValue: " + name; }

// Opens the key without ever creating it: a key that another program
// deleted is reported, not silently brought back empty.
void OpenOrRaise(TRegistry& reg, TRegRoot root, const String& keyPath, const wchar_t* text, const String& name) {
  reg.SetRootKey(RootHandle(root));
  if (!reg.OpenKey(L"\\" + ApiKeyPath(keyPath), false))
    throw ERegistryException(String(text) + Where(keyPath, name));
}

// Writes the copied value into the key Reg has open, byte for byte.
void WriteCopy(TRegistry& Reg, const String& Name, const TRegRawValue& Raw) {
  TRegKey key(Reg.GetCurrentKey(), Reg.GetCurrentPath());
  key.WriteValue(Name, Raw.Type, Raw.Data.data(), static_cast<DWORD>(Raw.Data.size()));
}

}  // namespace

void cValue::Update(TRegRoot root, const String& keyPath) {
  TRegistry reg(KEY_READ | KEY_WRITE);
  UpdateInKey(reg, root, keyPath);
}

void cValue::Rename(TRegRoot root, const String& keyPath, const String& newName) {
  TRegistry reg(KEY_READ | KEY_WRITE);
  RenameInKey(reg, root, keyPath, newName);
}

void cValue::Delete(TRegRoot root, const String& keyPath) {
  TRegistry reg(KEY_READ | KEY_WRITE);
  DeleteInKey(reg, root, keyPath);
}

void cValue::UpdateInKey(TRegistry& reg, TRegRoot root, const String& keyPath) {
  if (!IsEditable()) throw Exception(String(cValueText::Unrecognised));
  OpenOrRaise(reg, root, keyPath, cValueText::OpenUpdate, name_);
  switch (type_) {
    case cvtString: reg.WriteString(name_, string_); break;
    case cvtExpandString: reg.WriteExpandString(name_, string_); break;
    case cvtInteger: reg.WriteInteger(name_, integer_); break;
    default: reg.WriteBinaryData(name_, binary_.data(), static_cast<int>(binary_.size())); break;
  }
}

void cValue::RenameInKey(TRegistry& reg, TRegRoot root, const String& keyPath, const String& newName) {
  OpenOrRaise(reg, root, keyPath, cValueText::OpenRename, name_);
  const String oldName = name_;
  if (newName == oldName) return;
  // The registry compares names without regard to letter case, so a new
  // name that differs from the old one only in case is taken as well.
  if (reg.ValueExists(newName)) throw EValueExists(String(cValueText::ValueExists));
  TRegRawValue raw;
  if (!reg.ReadRaw(oldName, raw))
    throw ERegistryException(String(cValueText::LocateRename) + Where(reg.GetCurrentPath(), oldName));
  // An exact copy of type and bytes (any size, zero included); the old
  // value goes last.
  WriteCopy(reg, newName, raw);
  if (!reg.DeleteValue(oldName)) {
    reg.DeleteValue(newName);
    throw ERegistryException(String(cValueText::RenameFailed) + Where(reg.GetCurrentPath(), oldName));
  }
  name_ = newName;
}

void cValue::DeleteInKey(TRegistry& reg, TRegRoot root, const String& keyPath) {
  OpenOrRaise(reg, root, keyPath, cValueText::OpenDelete, name_);
  if (!reg.DeleteValue(name_))
    throw ERegistryException(String(cValueText::DeleteFailed) + Where(reg.GetCurrentPath(), name_));
}

bool cValue::Reload(TRegRoot root, const String& keyPath) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootHandle(root));
  if (!reg.OpenKeyReadOnly(L"\\" + ApiKeyPath(keyPath))) return false;
  TRegRawValue raw;
  if (!reg.ReadRaw(name_, raw)) return false;
  SetRaw(raw.Type, std::string(raw.Data.begin(), raw.Data.end()));
  return true;
}
