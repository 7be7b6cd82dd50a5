#include "app/RegEdits.h"

#include <vector>

#include "app/CommonLogic.h"
#include "app/RegAccess.h"

namespace {

const TNewValueTexts kNewValueTexts[] = {
    {L"String", L"New string value added: ",
     L"Unable to successfully create a new string value.  The value name may be invalid.\n\nKey: ",
     L"An exception occurred attempting to create a new string value."},
    {L"String", L"New expandable string value added: ",
     L"Unable to successfully create a new expandable string value.  The value name may be invalid.\n\nKey: ",
     L"An exception occurred attempting to create a new expandable string value."},
    {L"Binary", L"New binary value added: ",
     L"Unable to successfully create a new binary value.  The value name may be invalid.\n\nKey: ",
     L"An exception occurred attempting to create a new binary value."},
    {L"Integer", L"New integer value added: ",
     L"Unable to successfully create a new integer value.  The value name may be invalid.\n\nKey: ",
     L"An exception occurred attempting to create a new integer value."}};

const wchar_t* const KeyDeleteFailed =
    L"Unable to successfully delete the registry key.  The key may have been deleted or renamed.\n\nKey: ";

// A registry object on the root key (a null root stays the object's default).
void OnRoot(TRegistry& Reg, TRegRoot Root) {
  if (Root != RegRoot::None) Reg.SetRootKey(RootHandle(Root));
}

// The root key's handle (a null root is the registry object's default).
HKEY RootOf(TRegRoot Root) { return Root != RegRoot::None ? RootHandle(Root) : HKEY_CURRENT_USER; }

// A line with the system's reason for a failure.
String Reason(LONG Code) { return L"\n" + SysErrorMessage(static_cast<unsigned long>(Code)); }

// Only a key that isn't there may have been deleted or renamed; any other
// refusal is told with the system's reason.
String KeyDeleteFailure(const String& Path, LONG Code) {
  if (Code == ERROR_FILE_NOT_FOUND) return KeyDeleteFailed + Path;
  return L"Unable to successfully delete the registry key.\n\nKey: " + Path + Reason(Code);
}

// The path from the root key, whatever backslashes the caller gave.
String FromRoot(const String& Path) { return L"\\" + ApiKeyPath(Path); }

// "string", "binary", ...: the words of the kind in its error text.
String NewValueKindWords(const TNewValueTexts& Texts) {
  const String error = Texts.Error;
  const String lead = L"Unable to successfully create a new ";
  return error.substr(lead.size(), error.find(L" value.") - lead.size());
}

}  // namespace

const TNewValueTexts& NewValueTexts(TNewValueKind Kind) { return kNewValueTexts[static_cast<int>(Kind)]; }

namespace RegEdits {

const wchar_t* const RootKeyRefused = L"A root key can't be deleted.";

String NewKey(TRegRoot Root, const String& ParentPath) {
  TRegistry reg;
  OnRoot(reg, Root);
  String name = TCommonLogic::NewKeyName(reg, ParentPath);
  String newPath = ParentPath + L"\\" + name;
  // Made below the parent as it is open: a parent that another program
  // deleted is reported, not brought back empty around the new key.
  TRegKey parent, made;
  if (!parent.Open(RootOf(Root), ApiKeyPath(ParentPath), KEY_READ | KEY_CREATE_SUB_KEY) ||
      !made.CreateSub(parent, name)) {
    const LONG code = parent.IsOpen() ? made.LastError() : parent.LastError();
    throw ERegEditFailed(
        L"Unable to successfully create the registry key.  The key name may have been invalid.\n\nKey: " + newPath +
        (code == ERROR_FILE_NOT_FOUND ? String() : Reason(code)));
  }
  return name;
}

void RenameKey(TRegRoot Root, const String& OldPath, const String& NewPath,
               const std::function<void(size_t, size_t)>& Progress) {
  TRegistry reg;
  OnRoot(reg, Root);
  const HKEY root = RootOf(Root);
  const String from = ApiKeyPath(OldPath), to = ApiKeyPath(NewPath);
  // A link to a key that is not there is a key of that name too.
  if (reg.KeyExists(FromRoot(NewPath)) || TRegKey::IsLinkKey(TRegKey(root), to))
    throw ERegEditRefused(L"Key name already exists: " + GetKeyNameFromPath(OldPath) + L"\n\nRename aborted.");
  auto failed = [&OldPath](LONG Code) {
    return ERegEditFailed(L"Unable to successfully rename the registry key.\n\nKey: " + OldPath + L"\n" +
                          SysErrorMessage(static_cast<unsigned long>(Code)));
  };
  // A link key moves as itself: a new link to the same key (also to one
  // that is not there), then the old link goes.
  const TRegKey rootKey(root);
  if (TRegKey::IsLinkKey(rootKey, from)) {
    const LONG rc = rootKey.CopySubTo(from, rootKey, to);
    if (rc != ERROR_SUCCESS) {
      TRegKey(root).DeleteTree(to);
      throw failed(rc);
    }
    DeleteKey(Root, OldPath);
    return;
  }
  // A key that can't be opened is missing only when the registry says so;
  // a refusal is told below, with its reason.
  TRegKey probe;
  if (!probe.Open(root, from, KEY_QUERY_VALUE) && probe.LastError() == ERROR_FILE_NOT_FOUND)
    throw ERegEditFailed(
        L"Unable to local old key to rename.  The key may have been renamed or deleted by another process or "
        L"application.\n\nKey: " +
        OldPath);
  probe.Close();
  TRegKey src, dst;
  std::vector<TRegNamedValue> values;
  std::vector<String> names;
  if (!src.Open(root, from, KEY_READ) || !src.ReadValues(values) || !src.ReadKeyNames(names))
    throw failed(src.LastError());
  if (!dst.Create(root, to, KEY_ALL_ACCESS)) throw failed(dst.LastError());
  const size_t total = names.size() * 2;
  size_t done = 0;
  try {
    for (const TRegNamedValue& v : values)
      dst.WriteValue(v.Name, v.Value.Type, v.Value.Data.data(), static_cast<DWORD>(v.Value.Data.size()));
    for (const String& name : names) {
      // Links below the key are copied as links, never what they link to.
      const LONG rc = src.CopySubTo(name, dst, name);
      if (rc != ERROR_SUCCESS) throw failed(rc);
      ++done;
      if (Progress) Progress(done, total);
    }
  } catch (...) {
    // The partial copy goes; the old key stays as it was.
    src.Close();
    dst.Close();
    TRegKey(root).DeleteTree(to);
    throw;
  }
  src.Close();
  dst.Close();
  // The copy is whole: the old key's branches go, one at a time.
  DeleteKey(Root, OldPath, [&](size_t Done, size_t) {
    if (Progress) Progress(names.size() + Done, total);
  });
}

TNewValue NewValue(TNewValueKind Kind, TRegRoot Root, const String& KeyPath) {
  const TNewValueTexts& texts = NewValueTexts(Kind);
  TRegistry reg;
  OnRoot(reg, Root);
  // An existing key only: one deleted meanwhile is not brought back empty.
  if (!reg.OpenKey(FromRoot(KeyPath), false)) {
    // Say why: no value name was tried yet.
    TRegKey key;
    const String kind = NewValueKindWords(texts);
    if (!key.OpenReadOnly(RootOf(Root), ApiKeyPath(KeyPath)) &&
        key.LastError() == ERROR_FILE_NOT_FOUND)
      throw ERegEditFailed(L"Unable to successfully create a new " + kind +
                           L" value.  The key no longer exists: it may have been deleted or renamed by another "
                           L"process or application.\n\nKey: " +
                           KeyPath);
    throw ERegEditFailed(L"Unable to successfully create a new " + kind + L" value.  The key can't be opened.\n\nKey: " +
                         KeyPath + Reason(key.LastError()));
  }
  TNewValue made;
  made.Name = TCommonLogic::NewValueName(reg, texts.TypeWord);
  switch (Kind) {
    case TNewValueKind::String: reg.WriteString(made.Name, L""); break;
    case TNewValueKind::ExpandString: reg.WriteExpandString(made.Name, L""); break;
    case TNewValueKind::Binary: reg.WriteBinaryData(made.Name, nullptr, 0); break;
    case TNewValueKind::Integer: reg.WriteInteger(made.Name, 0); break;
  }
  // What the list shows is read back from the registry; a value gone or
  // unreadable meanwhile is reported, not listed without type and data.
  const LONG rc = TRegKey(reg.GetCurrentKey()).ReadValue(made.Name, made.Value);
  if (rc != ERROR_SUCCESS)
    throw ERegEditFailed(L"The new " + NewValueKindWords(texts) +
                         L" value was written but can't be read back: it may have been deleted or changed by another "
                         L"process or application.\n\nKey: " +
                         KeyPath + L"\nValue name: " + made.Name +
                         (rc == ERROR_FILE_NOT_FOUND ? String() : Reason(rc)));
  return made;
}

void DeleteKey(TRegRoot Root, const String& Path, const std::function<void(size_t, size_t)>& Progress) {
  const String path = ApiKeyPath(Path);
  if (path.empty()) throw ERegEditRefused(RootKeyRefused);
  // Opened as itself: a link key has no subkeys of its own, and those of
  // the key it links to are no part of it.
  TRegKey key;
  std::vector<String> names;
  if (Progress && key.OpenSubItself(TRegKey(RootOf(Root)), path, KEY_READ) && key.ReadKeyNames(names)) {
    size_t done = 0;
    for (const String& name : names) {
      const LONG rc = RegDeleteTree(key, name);
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw ERegEditFailed(KeyDeleteFailure(Path, rc) +
                             (done ? L"\n\n" + UIntToStr(unsigned(done)) + L" of its " + UIntToStr(unsigned(names.size())) +
                                         L" subkeys were deleted before the failure."
                                   : String()));
      Progress(++done, names.size());
    }
    key.Close();
  }
  TRegKey root(RootOf(Root));
  const LONG rc = RegDeleteTree(root, path);
  if (rc != ERROR_SUCCESS) throw ERegEditFailed(KeyDeleteFailure(Path, rc));
}

void DeleteFoundKey(TRegRoot Root, const String& Path) {
  const String path = ApiKeyPath(Path);
  if (path.empty()) throw ERegEditRefused(RootKeyRefused);
  // A key that is gone already (through an alias) is no failure.
  TRegKey root(RootOf(Root));
  const LONG rc = RegDeleteTree(root, path);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) throw ERegEditFailed(KeyDeleteFailure(Path, rc));
}

void DeleteFoundValue(TRegRoot Root, const String& Path, const String& ValueName) {
  auto failed = [&](LONG Code) {
    return ERegEditFailed(L"Unable to successfully delete the registry value.\n\nKey: " + Path + L"\nValue: " +
                          ValueName + Reason(Code));
  };
  // Only a key that isn't there is gone: one that refuses to open (a key
  // the user may read but not change) keeps its value, and says why.
  TRegKey key;
  if (!key.Open(RootOf(Root), ApiKeyPath(Path), KEY_QUERY_VALUE | KEY_SET_VALUE)) {
    if (key.LastError() != ERROR_FILE_NOT_FOUND) throw failed(key.LastError());
    throw ERegEditKeyGone(
        L"Unable to find key for the value to delete.  The key value may have been deleted or renamed by another "
        L"process or application.\n\nKey: " +
        Path);
  }
  // A value that is gone already is no failure.
  if (!key.DeleteValue(ValueName) && key.LastError() != ERROR_FILE_NOT_FOUND) throw failed(key.LastError());
}

}  // namespace RegEdits
