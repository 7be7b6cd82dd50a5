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

// Deletes the spare copy of a value; the line naming it when it stays.
String DropSpare(TRegistry& reg, const String& spare) {
  return reg.DeleteValue(spare) ? String() : L"\nThe data is also kept as: " + spare;
}

// Writing a value under another spelling of its name keeps the stored
// spelling, so the value passes through a spare name of the key: at every
// step the data is held under one name or another, and a failed step puts
// the value back under its old name. Returns the spare name when the
// rename is done but the spare copy could not be deleted.
String RenameCase(TRegistry& reg, const String& oldName, const String& newName, const TRegRawValue& raw) {
  const String where = Where(reg.GetCurrentPath(), oldName);
  String spare = L"Zembrio rename";
  for (int i = 2; reg.ValueExists(spare); ++i) spare = L"Zembrio rename #" + IntToStr(i);
  WriteCopy(reg, spare, raw);
  if (!reg.DeleteValue(oldName))
    throw ERegistryException(String(cValueText::RenameFailed) + where + DropSpare(reg, spare));
  try {
    WriteCopy(reg, newName, raw);
  } catch (const Exception&) {
    // Back under the old name; the spare copy stays unless that worked.
    try {
      WriteCopy(reg, oldName, raw);
    } catch (const Exception&) {
      throw ERegistryException(String(cValueText::RenameFailed) + where + L"\nThe data is kept as: " + spare);
    }
    throw ERegistryException(String(cValueText::RenameFailed) + where + DropSpare(reg, spare));
  }
  return reg.DeleteValue(spare) ? String() : spare;
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

void cValue::Delete(TRegistry& reg, TRegRoot root, const String& keyPath) {
  const bool held = reg.GetCurrentKey() && reg.GetRootKey() == RootHandle(root) &&
                    reg.GetCurrentPath() == ApiKeyPath(keyPath);
  if (held && reg.DeleteValue(name_)) return;
  DeleteInKey(reg, root, keyPath);
}

void cValue::UpdateInKey(TRegistry& reg, TRegRoot root, const String& keyPath) {
  const bool numberBytes = type_ == cvtOther && numberBytes_;
  if (!IsEditable() && !numberBytes) throw Exception(String(cValueText::Unrecognised));
  OpenOrRaise(reg, root, keyPath, cValueText::OpenUpdate, name_);
  if (numberBytes || IsMisfitString()) {
    // The bytes as edited (or as held), under the value's own type: a
    // string's text alone would lose what follows its first NUL.
    TRegRawValue raw;
    raw.Type = GetRegType();
    raw.Data.assign(binary_.begin(), binary_.end());
    WriteCopy(reg, name_, raw);
    return;
  }
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
  // The registry compares names without regard to letter case: a new name
  // that differs from the old one only in case names this very value.
  const bool caseOnly = SameKeyName(newName, oldName);
  if (!caseOnly && reg.ValueExists(newName)) throw EValueExists(String(cValueText::ValueExists));
  TRegRawValue raw;
  if (!reg.ReadRaw(oldName, raw))
    throw ERegistryException(String(cValueText::LocateRename) + Where(reg.GetCurrentPath(), oldName));
  if (caseOnly) {
    const String left = RenameCase(reg, oldName, newName, raw);
    name_ = newName;
    if (!left.empty())
      throw ESpareValueLeft(String(cValueText::SpareLeft) + Where(reg.GetCurrentPath(), newName) + L"\nLeft over: " +
                            left);
  } else {
    // An exact copy of type and bytes (any size, zero included); the old
    // value goes last.
    WriteCopy(reg, newName, raw);
    if (!reg.DeleteValue(oldName)) {
      reg.DeleteValue(newName);
      throw ERegistryException(String(cValueText::RenameFailed) + Where(reg.GetCurrentPath(), oldName));
    }
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
