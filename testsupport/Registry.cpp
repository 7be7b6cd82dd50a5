#include "testsupport/Registry.h"

#include <sddl.h>

#include <algorithm>

namespace testsupport {

namespace reg {

namespace {

struct Key {
  HKEY H = nullptr;
  ~Key() {
    if (H) RegCloseKey(H);
  }
  bool Open(const std::wstring& Path, REGSAM Access = KEY_READ) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, Access, &H) == ERROR_SUCCESS;
  }
};

// The key is there as itself (a link to a missing key included).
bool KeyExistsItself(const std::wstring& Path) {
  Key k;
  return RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &k.H) == ERROR_SUCCESS;
}

std::vector<std::wstring> Names(const std::wstring& Path, bool Values) {
  std::vector<std::wstring> v;
  Key k;
  if (!k.Open(Path)) return v;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384;
    const LONG r = Values ? RegEnumValueW(k.H, i, name, &len, nullptr, nullptr, nullptr, nullptr)
                          : RegEnumKeyExW(k.H, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) break;
    v.emplace_back(name, len);
  }
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

void CreateKey(const std::wstring& Path) {
  Key k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &k.H, nullptr))
      << "cannot create HKCU\\" << std::string(Path.begin(), Path.end());
}

namespace {
// Deletes the key Name below Parent as itself (a link is not followed),
// with everything below it.
void DeleteBranch(HKEY Parent, const std::wstring& Name) {
  Key k;
  if (RegOpenKeyExW(Parent, Name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, &k.H) != ERROR_SUCCESS) return;
  std::vector<std::wstring> subs;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    if (RegEnumKeyExW(k.H, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subs.emplace_back(name, len);
  }
  for (const std::wstring& sub : subs) DeleteBranch(k.H, sub);
  RegDeleteKeyW(k.H, L"");
}
}  // namespace

void DeleteTree(const std::wstring& Path) {
  // Each key as itself first: the system's tree deletion follows links (a
  // link back to a key above it would have it go round until it fails).
  if (KeyExistsItself(Path)) DeleteBranch(HKEY_CURRENT_USER, Path);
  if (!KeyExistsItself(Path)) return;
  RegDeleteTreeW(HKEY_CURRENT_USER, Path.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, Path.c_str());
}

void CreateLink(const std::wstring& Path, const std::wstring& Target) {
  const size_t cut = Path.rfind(L'\\');
  ASSERT_NE(cut, std::wstring::npos);
  CreateKey(Path.substr(0, cut));
  Key k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr,
                                           REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &k.H, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k.H, L"SymbolicLinkValue", 0, REG_LINK,
                                          reinterpret_cast<const BYTE*>(Target.data()),
                                          static_cast<DWORD>(Target.size() * sizeof(wchar_t))));
}

std::wstring LinkTarget(const std::wstring& Path) {
  Key itself, through;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &itself.H) !=
      ERROR_SUCCESS)
    return std::wstring();
  wchar_t text[1024];
  DWORD type = REG_NONE, size = sizeof text;
  if (RegQueryValueExW(itself.H, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_LINK)
    return std::wstring();
  // A key of its own that merely holds such a value shows it opened as
  // usual too; a link shows the key it leads to (or none).
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, KEY_QUERY_VALUE, &through.H) == ERROR_SUCCESS &&
      RegQueryValueExW(through.H, L"SymbolicLinkValue", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    return std::wstring();
  return std::wstring(text, size / sizeof(wchar_t));
}

std::wstring NativePath(const std::wstring& Path) {
  std::wstring sid;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    wchar_t* text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
    CloseHandle(token);
  }
  EXPECT_FALSE(sid.empty()) << "the user's SID can't be read";
  return L"\\Registry\\User\\" + sid + L"\\" + Path;
}

bool KeyExists(const std::wstring& Path) {
  Key k;
  return k.Open(Path);
}

void Write(const std::wstring& Path, const std::wstring& Name, DWORD Type, const std::string& Bytes) {
  Key k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &k.H, nullptr));
  // Given text that doesn't end in a NUL, the system adds one when a NUL
  // happens to follow the data: bytes that are not NUL after it keep the
  // stored size exact.
  std::string padded = Bytes;
  padded.append(3, '\xFF');
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k.H, Name.c_str(), 0, Type, reinterpret_cast<const BYTE*>(padded.data()),
                                          static_cast<DWORD>(Bytes.size())));
}

bool Read(const std::wstring& Path, const std::wstring& Name, DWORD& Type, std::string& Bytes) {
  Key k;
  if (!k.Open(Path)) return false;
  DWORD size = 0;
  LONG r = RegQueryValueExW(k.H, Name.c_str(), nullptr, &Type, nullptr, &size);
  if (r != ERROR_SUCCESS) return false;
  Bytes.assign(size, '\0');
  r = RegQueryValueExW(k.H, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Bytes.data()), &size);
  Bytes.resize(size);
  return r == ERROR_SUCCESS;
}

bool HasValue(const std::wstring& Path, const std::wstring& Name) {
  DWORD t;
  std::string d;
  return Read(Path, Name, t, d);
}

std::vector<std::wstring> ValueNames(const std::wstring& Path) { return Names(Path, true); }
std::vector<std::wstring> SubkeyNames(const std::wstring& Path) { return Names(Path, false); }

}  // namespace reg

namespace {
const wchar_t* const kTestRoot = L"Software\\ZembrioTest";

std::wstring RunningTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string n = info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("NoTest");
  std::wstring w;
  for (char c : n) w += c == '\\' ? L'_' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return w;
}
}  // namespace

ScratchKey::ScratchKey(const std::wstring& Area)
    : area_(Area), path_(std::wstring(kTestRoot) + L"\\" + Area + L"\\" + RunningTestName()) {
  reg::DeleteTree(path_);
  reg::CreateKey(path_);
}

ScratchKey::~ScratchKey() { Remove(); }

std::wstring ScratchKey::Path(const std::wstring& Sub) const { return Sub.empty() ? path_ : path_ + L"\\" + Sub; }

void ScratchKey::Remove() {
  reg::DeleteTree(path_);
  // Parents go only when nothing else is left in them.
  RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kTestRoot) + L"\\" + area_).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot);
}

void ScratchKeyTest::SetUp() { key_ = std::make_unique<ScratchKey>(area_); }

void ScratchKeyTest::TearDown() { key_.reset(); }

}  // namespace testsupport
