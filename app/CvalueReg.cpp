// The registry side of the value object (Windows only).
#include "app/Cvalue.h"
#include "app/RegAccess.h"

namespace {

String Where(const String& path, const String& name) { return path + L"\nValue: " + name; }

void OpenOrRaise(TRegKey& key, TRegRoot root, const String& keyPath, const wchar_t* text,
                 const String& name) {
  // Never created: a key that another program deleted is reported, not
  // silently brought back empty.
  if (!key.Open(root, keyPath)) throw ERegistryException(String(text) + Where(keyPath, name));
}

}  // namespace

void cValue::Update(TRegRoot root, const String& keyPath) {
  if (!IsEditable()) throw Exception(String(cValueText::Unrecognised));
  TRegKey key;
  OpenOrRaise(key, root, keyPath, cValueText::OpenUpdate, name_);
  key.WriteValue(name_, GetRegType(), GetRawData());
}

void cValue::Rename(TRegRoot root, const String& keyPath, const String& newName) {
  TRegKey key;
  OpenOrRaise(key, root, keyPath, cValueText::OpenRename, name_);
  const String oldName = name_;
  if (newName == oldName) return;
  // A name that differs only in letter case is the same value to the
  // registry; anything else that exists is a clash.
  const bool caseOnly = AnsiUpperCase(newName) == AnsiUpperCase(oldName);
  if (!caseOnly && key.ValueExists(newName)) throw EValueExists(String(cValueText::ValueExists));
  DWORD type = 0;
  std::string data;
  if (!key.ReadValue(oldName, type, data))
    throw ERegistryException(String(cValueText::LocateRename) + Where(key.Path(), oldName));
  if (caseOnly) {
    // Delete first, then write under the new spelling; on failure put the
    // old value back as it was.
    if (!key.DeleteValue(oldName))
      throw ERegistryException(String(cValueText::RenameFailed) + Where(key.Path(), oldName));
    try {
      key.WriteValue(newName, type, data);
    } catch (...) {
      try {
        key.WriteValue(oldName, type, data);
      } catch (...) {
      }
      throw;
    }
  } else {
    // Exact copy of type and bytes (any size, zero included), the old value
    // deleted last.
    key.WriteValue(newName, type, data);
    if (!key.DeleteValue(oldName)) {
      key.DeleteValue(newName);
      throw ERegistryException(String(cValueText::RenameFailed) + Where(key.Path(), oldName));
    }
  }
  name_ = newName;
}

void cValue::Delete(TRegRoot root, const String& keyPath) {
  TRegKey key;
  OpenOrRaise(key, root, keyPath, cValueText::OpenDelete, name_);
  if (!key.DeleteValue(name_))
    throw ERegistryException(String(cValueText::DeleteFailed) + Where(key.Path(), name_));
}

bool cValue::Reload(TRegRoot root, const String& keyPath) {
  TRegKey key;
  if (!key.OpenReadOnly(root, keyPath)) return false;
  DWORD type = 0;
  std::string data;
  if (!key.ReadValue(name_, type, data)) return false;
  SetRaw(type, data);
  return true;
}
