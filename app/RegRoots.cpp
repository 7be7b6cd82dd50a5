#include "app/RegRoots.h"

const TRootKeyEntry RootKeyTable[RootKeyCount] = {
    {RegRoot::ClassesRoot, L"HKEY_CLASSES_ROOT", L"Classes"},
    {RegRoot::CurrentUser, L"HKEY_CURRENT_USER", L"Current User"},
    {RegRoot::LocalMachine, L"HKEY_LOCAL_MACHINE", L"Local Machine"},
    {RegRoot::Users, L"HKEY_USERS", L"Users"},
    {RegRoot::CurrentConfig, L"HKEY_CURRENT_CONFIG", L"Current Config"},
    {RegRoot::DynData, L"HKEY_DYN_DATA", L"Dynamic Data"},
};

int RootKeyIndex(TRegRoot Root) {
  for (int i = 0; i < RootKeyCount; ++i)
    if (RootKeyTable[i].Root == Root) return i;
  return -1;
}

String RootKeyName(TRegRoot Root, TRootNameMode Mode, bool abbreviate) {
  const int i = RootKeyIndex(Root);
  if (i < 0) return String();
  const bool useShort = Mode == rnmShort || (Mode == rnmByOption && abbreviate);
  return useShort ? RootKeyTable[i].ShortName : RootKeyTable[i].FullName;
}

TRegRoot RootKeyFromName(const String& Name) {
  if (Name.empty()) return RegRoot::None;
  const String up = AnsiUpperCase(Name);
  for (const auto& e : RootKeyTable) {
    if (up == AnsiUpperCase(e.ShortName) || up == AnsiUpperCase(e.FullName)) return e.Root;
  }
  return RegRoot::None;
}

TRegRoot RootOfAbbreviation(const String& Name) {
  static const struct {
    const wchar_t* Abbreviation;
    TRegRoot Root;
  } abbreviations[] = {{L"HKCR", RegRoot::ClassesRoot},
                       {L"HKCU", RegRoot::CurrentUser},
                       {L"HKLM", RegRoot::LocalMachine},
                       {L"HKU", RegRoot::Users},
                       {L"HKCC", RegRoot::CurrentConfig}};
  const String up = AnsiUpperCase(Name);
  for (const auto& a : abbreviations)
    if (up == a.Abbreviation) return a.Root;
  return RegRoot::None;
}

String SplitRegistryPath(String& Text) {
  if (!Text.empty() && Text[0] == L'\\') Text.erase(0, 1);
  const size_t p = Text.find(L'\\');
  String root;
  if (p != String::npos) {
    root = Text.substr(0, p);
    Text.erase(0, p);
  } else {
    root = Text;
    Text.clear();
  }
  return root;
}

String GetKeyNameFromPath(const String& Path) {
  size_t end = Path.size();
  while (end > 0 && Path[end - 1] == L'\\') --end;
  const size_t p = Path.rfind(L'\\', end == 0 ? 0 : end - 1);
  if (end == 0) return String();
  const size_t start = (p == String::npos) ? 0 : p + 1;
  return Path.substr(start, end - start);
}

String ApiKeyPath(const String& Path) {
  size_t b = 0, e = Path.size();
  while (b < e && Path[b] == L'\\') ++b;
  while (e > b && Path[e - 1] == L'\\') --e;
  return Path.substr(b, e - b);
}

String JoinKeyPath(const String& Parent, const String& Name) {
  if (Parent.empty()) return Name;
  if (Parent.back() == L'\\') return Parent + Name;
  return Parent + L"\\" + Name;
}

bool IsValidKeyName(const String& Name) {
  return !Name.empty() && Name.find(L'\\') == String::npos;
}

bool SameKeyPath(const String& A, const String& B) {
  return AnsiUpperCase(ApiKeyPath(A)) == AnsiUpperCase(ApiKeyPath(B));
}

String NewValueName(const std::function<bool(const String&)>& exists, const String& typeWord) {
  const String base = L"New " + typeWord + L" Value";
  String name = base;
  for (int n = 2; exists(name); ++n) name = base + L" #" + IntToStr(n);
  return name;
}

String NewKeyName(const std::function<bool(const String&)>& exists) {
  const String base = L"New Key";
  String name = base;
  for (int n = 2; exists(name); ++n) name = base + L" #" + IntToStr(n);
  return name;
}

std::u16string ToUtf16(std::wstring_view s) {
  if constexpr (sizeof(wchar_t) == 2) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.size());
  } else {
    std::u16string r;
    r.reserve(s.size());
    for (wchar_t wc : s) {
      auto c = static_cast<char32_t>(wc);
      if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        r.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        r.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      } else {
        r.push_back(static_cast<char16_t>(c > 0x10FFFF ? 0xFFFD : c));
      }
    }
    return r;
  }
}

String FromUtf16(std::u16string_view s) {
  if constexpr (sizeof(wchar_t) == 2) {
    return String(reinterpret_cast<const wchar_t*>(s.data()), s.size());
  } else {
    String r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
      char32_t c = s[i];
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
        ++i;
      }
      // Lone surrogates are kept as they are, like the registry keeps them.
      r.push_back(static_cast<wchar_t>(c));
    }
    return r;
  }
}

bool FitsAnsi(std::wstring_view s) {
  for (wchar_t c : s)
    if (c >= 0x80) goto slow;
  return true;
slow:
  return AnsiToWide(WideToAnsi(s)) == s;
}
