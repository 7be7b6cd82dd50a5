#include "app/IORegistry.h"

#include "app/Bookmarks.h"
#include "app/RegAccess.h"

namespace {

TRegRoot RootOfFullName(const String& Name) {
  if (Name.empty()) return RegRoot::CurrentUser;
  const String up = AnsiUpperCase(Name);
  for (const auto& e : RootKeyTable)
    if (up == e.FullName) return e.Root;
  return RegRoot::None;
}

struct TWalk {
  TRegFileWriter& writer;
  String rootName;
  size_t unreadable = 0;
  std::wstring name;
  std::string data;

  void Values(const TRegKey& key, const TKeyCounts& info) {
    if (info.Values == 0) return;
    if (name.size() < info.MaxValueNameLen + 2) name.resize(info.MaxValueNameLen + 2);
    if (data.size() < info.MaxValueLen + 2) data.resize(info.MaxValueLen + 2);
    // Counted by the info query; values removed meanwhile end the list early,
    // a name or data that grew meanwhile gets bigger buffers and is read again.
    for (DWORD i = 0; i < info.Values;) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      const LONG rc = RegEnumValueW(key.Handle(), i, name.data(), &nlen, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &dlen);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA) {
        name.resize(name.size() * 2 + 256);
        data.resize(data.size() * 2 + 1024);
        continue;
      }
      if (rc != ERROR_SUCCESS) {
        ++unreadable;
        break;
      }
      writer.AddValue(String(name.data(), nlen), type, std::string(data.data(), dlen));
      ++i;
    }
  }

  void Key(const TRegKey& key, int depth, bool deep) {
    writer.AddKey(rootName, key.Path());
    // One info query sizes both enumerations.
    TKeyCounts info;
    if (!key.QueryInfo(info)) {
      ++unreadable;
      return;
    }
    Values(key, info);
    if ((depth > 0 && !deep) || info.SubKeys == 0) return;
    std::vector<String> subs;
    try {
      subs = key.KeyNames(info);
    } catch (const ERegistryException&) {
      ++unreadable;
      return;
    }
    for (const auto& s : subs) {
      TRegKey sub;
      if (!sub.OpenSub(key, s, KEY_READ)) {
        ++unreadable;
        continue;
      }
      Key(sub, depth + 1, deep);
    }
  }
};

class TRegistrySink : public IRegFileSink {
 public:
  bool OpenKey(TRegRoot Root, const String& Path) override { return key_.Create(Root, Path); }
  void DeleteKey(TRegRoot Root, const String& Path) override {
    key_.Close();
    RegDeleteBranch(Root, Path);
  }
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    key_.WriteValue(Name, Type, Data);
  }
  void DeleteValue(const String& Name) override { key_.DeleteValue(Name); }

 private:
  TRegKey key_;
};

}  // namespace

void TIORegistry::CollectBranch(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                                TRegFileWriter& Writer) {
  TRegKey key;
  if (!key.OpenReadOnly(Root, KeyPath))
    throw ERegistryException(L"Unable to open the key to export.  The key may have been deleted or renamed by "
                             L"another process or application.\n\nKey: " + RootName + L"\\" + ApiKeyPath(KeyPath));
  TWalk walk{Writer, RootName};
  walk.Key(key, 0, IncludeSubKeys);
  if (walk.unreadable)
    throw ERegistryException(L"Part of the branch could not be read (" + UIntToStr(walk.unreadable) +
                             L" keys or value lists); the exported file is incomplete.");
}

TRegExportResult TIORegistry::ExportRegistry(const String& RootName, const String& KeyPath, const String& FileName,
                                             bool IncludeSubKeys) {
  const TRegRoot root = RootOfFullName(RootName);
  if (root == RegRoot::None) throw ERegistryException(L"Unknown root key: " + RootName);
  const String rootName = RootKeyName(root, rnmFull, false);
  TRegFileWriter writer;
  String failure;
  try {
    CollectBranch(root, rootName, KeyPath, IncludeSubKeys, writer);
  } catch (const ERegistryException& e) {
    if (writer.KeyCount() == 0) throw;
    failure = e.Message();  // write what was read, then report
  }
  WriteFileBytes(FileName, writer.Render());
  if (failure.empty() && writer.Unwritable())
    failure = UIntToStr(writer.Unwritable()) +
              L" keys or values have a line break in their name and were left out of the file.";
  if (!failure.empty()) throw ERegistryException(failure);
  return {writer.KeyCount(), writer.ValueCount(), writer.NeedsUnicode()};
}

TRegExportResult TIORegistry::ExportRegistry() {
  static const wchar_t* const names[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                         L"HKEY_USERS",        L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA", L""};
  return ExportRegistry(names[RootKey], KeyToGet, Filename, IncludeSubKeys);
}

TRegImportResult TIORegistry::ImportRegistry(const String& FileName, bool) {
  if (!FileExists(FileName)) throw EFOpenError(L"File \"" + FileName + L"\" not found.");
  bool unicode = false;
  const std::vector<String> lines = DecodeTextLines(ReadFileBytes(FileName), &unicode);
  return ImportLines(lines, unicode);
}

TRegImportResult TIORegistry::ImportLines(const std::vector<String>& Lines, bool Unicode) {
  TRegistrySink sink;
  return ImportRegLines(Lines, sink, Unicode);
}
