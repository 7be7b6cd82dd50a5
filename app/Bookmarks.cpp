#include "app/Bookmarks.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <fstream>
#include <iterator>

#include "app/RegFile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// A line break inside a description would split the record: it becomes a
// blank.
String OneLine(const String& s) {
  String r = s;
  for (auto& c : r)
    if (c == L'\r' || c == L'\n') c = L' ';
  return r;
}

std::filesystem::path FsPath(const String& name) { return std::filesystem::path(name); }

// "Cannot create file" with the system's reason for the failure that just
// happened (a missing folder, a denied access...).
String CannotCreate(const String& FileName) {
  String reason;
#ifdef _WIN32
  if (DWORD err = GetLastError()) reason = SysErrorMessage(err);
#endif
  if (reason.empty() && errno) reason = AnsiToWide(std::generic_category().message(errno));
  String text = L"Cannot create file \"" + FileName + L"\".";
  return reason.empty() ? text : text + L" " + Trim(reason);
}

}  // namespace

String BookmarkRootLine(const TBookmark& B) {
  if (B.RootKey == RegRoot::None || (!B.RootText.empty() && RootOfAbbreviation(B.RootText) == B.RootKey))
    return B.RootText;
  return RootKeyName(B.RootKey, rnmFull, false);
}

bool BookmarkPathStorable(const String& KeyPath) { return KeyPath.find_first_of(L"\r\n") == String::npos; }

String BookmarkFileFromSetting(const String& Setting) {
  if (Setting.size() >= 2 && Setting.front() == L'"' && Setting.back() == L'"')
    return Setting.substr(1, Setting.size() - 2);
  return Setting;
}

std::string EncodeBookmarks(const std::vector<TBookmark>& Bookmarks) {
  String text;
  for (const auto& b : Bookmarks) {
    if (!BookmarkPathStorable(b.KeyPath)) continue;
    text += OneLine(b.Description) + L"\r\n";
    text += BookmarkRootLine(b) + L"\r\n";
    text += b.KeyPath + L"\r\n";
  }
  if (FitsAnsi(text)) return WideToAnsi(text);
  const std::u16string u = ToUtf16(text);
  std::string out = "\xFF\xFE";
  out.reserve(2 + u.size() * 2);
  for (char16_t c : u) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

void DecodeBookmarks(const std::string& Bytes, std::vector<TBookmark>& Out) {
  const std::vector<String> lines = DecodeTextLines(Bytes);
  size_t i = 0;
  for (; i + 3 <= lines.size(); i += 3) {
    TBookmark b;
    b.Description = lines[i];
    b.RootKey = RootKeyFromName(lines[i + 1]);
    if (b.RootKey == RegRoot::None) {
      b.RootKey = RootOfAbbreviation(lines[i + 1]);
      b.RootText = lines[i + 1];
    }
    b.KeyPath = lines[i + 2];
    Out.push_back(std::move(b));
  }
  if (i < lines.size()) throw EBookmarkFileError(String(L"The bookmark file ends in an incomplete bookmark."));
}

std::string ReadFileBytes(const String& FileName) {
  std::ifstream in(FsPath(FileName), std::ios::binary);
  if (!in) throw EFOpenError(L"Cannot open file \"" + FileName + L"\".");
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EReadError(L"Error reading file \"" + FileName + L"\".");
  return data;
}

void WriteFileBytes(const String& FileName, const std::string& Bytes) {
  const std::filesystem::path target = FsPath(FileName);
  // A read-only file is not replaced (writing it in place would fail too).
  std::error_code ec;
  const auto st = std::filesystem::status(target, ec);
  if (!ec && std::filesystem::exists(st) &&
      (st.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
    throw EFCreateError(L"Cannot create file \"" + FileName + L"\": the file is read-only.");
  std::filesystem::path temp = target;
  temp += L".tmp~";
  {
#ifdef _WIN32
    SetLastError(0);
#endif
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(CannotCreate(FileName));
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    out.close();  // a failed close loses what was buffered, as a failed write does
    if (!out) {
      std::filesystem::remove(temp, ec);
      throw EWriteError(L"Error writing file \"" + FileName + L"\".");
    }
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    const String reason = AnsiToWide(ec.message());
    std::filesystem::remove(temp, ec);
    throw EFCreateError(L"Cannot create file \"" + FileName + L"\". " + reason);
  }
}

void SaveBookmarkFile(const String& FileName, const std::vector<TBookmark>& Bookmarks) {
  WriteFileBytes(FileName, EncodeBookmarks(Bookmarks));
}

bool LoadBookmarkFile(const String& FileName, std::vector<TBookmark>& Out) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(FsPath(FileName), ec)) return false;
  DecodeBookmarks(ReadFileBytes(FileName), Out);
  return true;
}
