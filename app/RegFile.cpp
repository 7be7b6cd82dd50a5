#include "app/RegFile.h"

#include "app/Cvalue.h"

#include <algorithm>
#include <iterator>
#include <string_view>

const wchar_t* const RegHeader4 = L"REGEDIT4";
const wchar_t* const RegHeader5 = L"Windows Registry Editor Version 5.00";

namespace {

const wchar_t kHex[] = L"0123456789ABCDEF";

std::u16string BytesToUnits(const std::string& d) {
  std::u16string u;
  u.reserve(d.size() / 2);
  for (size_t i = 0; i + 1 < d.size(); i += 2)
    u.push_back(static_cast<char16_t>(static_cast<unsigned char>(d[i]) |
                                      (static_cast<unsigned char>(d[i + 1]) << 8)));
  return u;
}

std::string UnitsToBytes(const std::u16string& u) {
  std::string r(u.size() * 2, '\0');
  for (size_t i = 0; i < u.size(); ++i) {
    r[2 * i] = static_cast<char>(u[i] & 0xFF);
    r[2 * i + 1] = static_cast<char>(u[i] >> 8);
  }
  return r;
}

bool IsTextType(uint32_t t) { return t == RegType::Sz || t == RegType::ExpandSz || t == RegType::MultiSz; }

// Text data of whole characters whose last character is not NUL: read from
// a registry file, such data is stored with a NUL added, as regedit stores
// it. (Data of an odd byte count is stored as the file gives it.)
bool LacksFinalNul(const std::string& d) {
  return !d.empty() && d.size() % 2 == 0 && (d[d.size() - 2] != '\0' || d[d.size() - 1] != '\0');
}

// A REG_SZ that can be written as a quoted string: one terminating NUL,
// no other NUL, no line breaks.
bool QuotableString(const std::string& data, String* text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string u = BytesToUnits(data);
  if (u.back() != 0) return false;
  for (size_t i = 0; i + 1 < u.size(); ++i)
    if (u[i] == 0 || u[i] == u'\r' || u[i] == u'\n') return false;
  if (text) *text = FromUtf16(std::u16string_view(u).substr(0, u.size() - 1));
  return true;
}

void AppendHexBytes(String& line, const std::string& bytes) {
  const size_t need = line.size() + bytes.size() * 3;
  if (line.capacity() < need) line.reserve(std::max(need, line.capacity() * 2));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) line.push_back(L',');
    const auto b = static_cast<unsigned char>(bytes[i]);
    line.push_back(kHex[b >> 4]);
    line.push_back(kHex[b & 15]);
  }
}

String LowerHex(uint32_t v) {
  const wchar_t lower[] = L"0123456789abcdef";
  String r;
  do {
    r.insert(r.begin(), lower[v & 15]);
    v >>= 4;
  } while (v);
  return r;
}

}  // namespace

String RegQuote(const String& s, wchar_t Quote) {
  String r;
  r.reserve(s.size() + 2);
  r.push_back(Quote);
  for (wchar_t c : s) {
    if (c == L'\\' || c == Quote) r.push_back(L'\\');
    r.push_back(c);
  }
  r.push_back(Quote);
  return r;
}

namespace {
// A line break has no form in a name of a registry file, and a NUL would
// name another key or value when read back.
bool HasUnwritableChar(const String& s) { return s.find_first_of(std::wstring_view(L"\r\n\0", 3)) != String::npos; }

// A name as the user can read it in a message: its line breaks and NULs shown.
String VisibleName(const String& s) {
  String r;
  r.reserve(s.size());
  for (const wchar_t c : s) {
    if (c == L'\r')
      r += L"<CR>";
    else if (c == L'\n')
      r += L"<LF>";
    else if (c == L'\0')
      r += L"<NUL>";
    else
      r.push_back(c);
  }
  return r;
}

String ValueNameText(const String& Key, const String& Name) {
  return VisibleName(Key) + (Name.empty() ? String(L", the default value") : L", value \"" + VisibleName(Name) + L"\"");
}
}  // namespace

const String& TRegFileWriter::LastKeyName() const {
  static const String none;
  return lastKey_ < values_.size() ? values_[lastKey_].name : none;
}

void TRegFileWriter::TNamedCount::Add(String Name) {
  if (Named.size() < kNamed) Named.push_back(std::move(Name));
  ++Count;
}

void TRegFileWriter::TNamedCount::Append(TNamedCount&& Other) {
  for (String& n : Other.Named)
    if (Named.size() < kNamed) Named.push_back(std::move(n));
  Count += Other.Count;
  Other = TNamedCount();
}

void TRegFileWriter::AddKey(const String& RootName, const String& Path) {
  skipping_ = HasUnwritableChar(RootName) || HasUnwritableChar(Path);
  if (skipping_) {
    ++unwritable_;
    ++unwritableKeys_;
    unwritableNamed_.Add(VisibleName(Path.empty() ? RootName : RootName + L"\\" + Path));
    return;
  }
  lastKey_ = values_.size();
  unicode_ = -1;
  // A root key itself is written as its name alone, as regedit does.
  String name = RootName;
  if (!Path.empty()) {
    name.push_back(format_.KeyLevelDelim);
    const size_t at = name.size();
    name += Path;
    if (format_.KeyLevelDelim != L'\\')
      for (size_t i = at; i < name.size(); ++i)
        if (name[i] == L'\\') name[i] = format_.KeyLevelDelim;
  }
  values_.push_back({true, std::move(name), 0, {}});
  ++keyCount_;
}

void TRegFileWriter::AddValue(String Name, uint32_t Type, std::string Data) {
  if (skipping_) {
    ++unwritable_;
    return;
  }
  if (HasUnwritableChar(Name)) {
    ++unwritable_;
    unwritableNamed_.Add(ValueNameText(LastKeyName(), Name));
    return;
  }
  if (IsTextType(Type) && LacksFinalNul(Data)) gainsNul_.Add(ValueNameText(LastKeyName(), Name));
  unicode_ = -1;
  values_.push_back({false, std::move(Name), Type, std::move(Data)});
}

void TRegFileWriter::Append(TRegFileWriter&& Other) {
  if (Other.lastKey_ != SIZE_MAX) lastKey_ = values_.size() + Other.lastKey_;
  if (values_.empty())
    values_ = std::move(Other.values_);
  else
    values_.insert(values_.end(), std::make_move_iterator(Other.values_.begin()),
                   std::make_move_iterator(Other.values_.end()));
  keyCount_ += Other.keyCount_;
  unwritable_ += Other.unwritable_;
  unwritableKeys_ += Other.unwritableKeys_;
  unwritableNamed_.Append(std::move(Other.unwritableNamed_));
  gainsNul_.Append(std::move(Other.gainsNul_));
  skipping_ = Other.skipping_;
  unicode_ = -1;
  Other.values_.clear();
  Other.keyCount_ = Other.unwritable_ = Other.unwritableKeys_ = 0;
  Other.skipping_ = false;
  Other.lastKey_ = SIZE_MAX;
}

bool TRegFileWriter::ValueNeedsUnicode(const Entry& e) const {
  if (!FitsAnsi(e.name)) return true;
  if (e.isKey || !IsTextType(e.type)) return false;
  if (e.data.size() % 2 != 0) return true;  // no ANSI form for half a character
  return !FitsAnsi(FromUtf16(BytesToUnits(e.data)));
}

bool TRegFileWriter::NeedsUnicode() const {
  if (unicode_ < 0) {
    unicode_ = 0;
    for (const auto& e : values_)
      if (ValueNeedsUnicode(e)) {
        unicode_ = 1;
        break;
      }
  }
  return unicode_ == 1;
}

void TRegFileWriter::_WriteToDummyList(String& line, const Entry& e, bool unicode) const {
  const wchar_t quote = format_.StringStartEndChar;
  if (e.name.empty()) {
    line.push_back(quote);
    line.push_back(quote);
  } else {
    line += RegQuote(e.name, quote);
  }
  line.push_back(format_.DataNameValueDelim);
  _GetDataValue(line, e, unicode);
}

void TRegFileWriter::_GetDataValue(String& line, const Entry& e, bool unicode) const {
  const wchar_t quote = format_.StringStartEndChar;
  String text;
  switch (e.type) {
    case RegType::Sz:
      if (QuotableString(e.data, &text)) {
        line += RegQuote(text, quote);
        return;
      }
      break;
    case RegType::Dword:
      if (e.data.size() == 4) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(e.data[i]);
        line += format_.HexIntPrefix;
        line += IntToHex(v, 8);
        return;
      }
      break;
    case RegType::Binary:
      line += format_.BinaryPrefix;
      AppendHexBytes(line, e.data);
      return;
    default:
      break;
  }
  if (e.type == RegType::ExpandSz) {
    line += format_.ExpStringPrefix;
  } else {
    line += L"hex(";
    line += LowerHex(e.type);
    line += L"):";
  }
  if (IsTextType(e.type) && !unicode) {
    // REGEDIT4 keeps text types as ANSI bytes, the terminators included.
    AppendHexBytes(line, WideToAnsi(FromUtf16(BytesToUnits(e.data))));
  } else {
    AppendHexBytes(line, e.data);
  }
}

std::vector<String> TRegFileWriter::RenderLines() const {
  const bool unicode = NeedsUnicode();
  std::vector<String> lines;
  lines.reserve(values_.size() + keyCount_ + 1);
  lines.push_back(unicode ? String(RegHeader5) : format_.RegHeader);
  for (const auto& e : values_) {
    if (e.isKey) {
      lines.emplace_back();
      lines.push_back(format_.RootStart + e.name + format_.RootEnd);
    } else {
      lines.emplace_back();
      _WriteToDummyList(lines.back(), e, unicode);
    }
  }
  return lines;
}

std::string TRegFileWriter::Render() const {
  const bool unicode = NeedsUnicode();
  // The whole text goes into one buffer sized for the longest forms (hex
  // bytes take three characters each), then is converted once.
  size_t size = 64;
  for (const auto& e : values_) size += e.name.size() * 2 + e.data.size() * 3 + 32;
  String text;
  text.reserve(size);
  text += unicode ? String(RegHeader5) : format_.RegHeader;
  text += L"\r\n";
  for (const auto& e : values_) {
    if (e.isKey) {
      text += L"\r\n";
      text.push_back(format_.RootStart);
      text += e.name;
      text.push_back(format_.RootEnd);
      text += L"\r\n";
    } else {
      _WriteToDummyList(text, e, unicode);
      text += L"\r\n";
    }
  }
  if (!unicode) return WideToAnsi(text);
  std::string out;
  out.reserve(2 + text.size() * 2);
  out += "\xFF\xFE";
  out += UnitsToBytes(ToUtf16(text));
  return out;
}

// ---------------------------------------------------------------------------
// Reading.

std::vector<String> DecodeTextLines(const std::string& Bytes, bool* Unicode) {
  String text;
  const auto b0 = Bytes.size() > 0 ? static_cast<unsigned char>(Bytes[0]) : 0;
  const auto b1 = Bytes.size() > 1 ? static_cast<unsigned char>(Bytes[1]) : 0;
  const bool le = b0 == 0xFF && b1 == 0xFE, be = b0 == 0xFE && b1 == 0xFF;
  if (Unicode) *Unicode = le || be;
  if (le || be) {
    std::u16string u;
    u.reserve(Bytes.size() / 2);
    for (size_t i = 2; i + 1 < Bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(Bytes[le ? i : i + 1]);
      const auto hi = static_cast<unsigned char>(Bytes[le ? i + 1 : i]);
      u.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    text = FromUtf16(u);
  } else {
    text = AnsiToWide(Bytes);
  }
  std::vector<String> lines;
  size_t start = 0;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      lines.emplace_back(text, start, i - start);
      if (c == L'\r' && i + 1 < n && text[i + 1] == L'\n') ++i;
      start = i + 1;
    }
  }
  if (start < n) lines.emplace_back(text, start, n - start);
  return lines;
}

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

using TextView = std::wstring_view;

TextView TrimBlanks(TextView s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Without leading blanks and control characters (the line classification's view).
TextView TrimLeadingControls(TextView s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned>(s[b]) <= 0x20) ++b;
  return s.substr(b);
}

bool IsHeader(TextView t, const TRegFileFormat& F) { return t == F.RegHeader || t == RegHeader5; }

// Root names are compared the way AnsiUpperCase would: ASCII letters fold
// here, anything else takes the full conversion.
TRegRoot RootOfName(TextView name) {
  String up(name);
  bool ascii = true;
  for (auto& c : up) {
    if (c >= L'a' && c <= L'z')
      c = static_cast<wchar_t>(c - L'a' + L'A');
    else if (static_cast<unsigned>(c) > 0x7F)
      ascii = false;
  }
  if (!ascii) up = AnsiUpperCase(String(name));
  TRegRoot root = RegRoot::None;
  for (const auto& e : RootKeyTable)
    if (up == e.FullName) root = e.Root;
  return root;
}

// REGEDIT4 text-type bytes (ANSI) as the registry's UTF-16LE bytes.
std::string AnsiBytesToRegBytes(const std::string& bytes) {
  const String w = AnsiToWide(bytes);
  std::string r;
  r.reserve(w.size() * 2);
  for (const wchar_t c : w) {
    if (static_cast<uint32_t>(c) > 0xFFFF) return UnitsToBytes(ToUtf16(w));  // not from a code page; never expected
    r.push_back(static_cast<char>(static_cast<uint32_t>(c) & 0xFF));
    r.push_back(static_cast<char>((static_cast<uint32_t>(c) >> 8) & 0xFF));
  }
  return r;
}

bool StartsNoCase(TextView s, size_t at, const String& prefix) {
  if (prefix.empty()) return false;
  for (size_t k = 0; k < prefix.size(); ++k) {
    if (at + k >= s.size()) return false;
    wchar_t c = s[at + k], p = prefix[k];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (p >= L'A' && p <= L'Z') p = static_cast<wchar_t>(p - L'A' + L'a');
    if (c != p) return false;
  }
  return true;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads a quoted text at s[i] == Quote with the escapes \\ and \<Quote>; on
// success i is past the closing quote.
bool ParseQuoted(TextView s, size_t& i, String& out, wchar_t Quote) {
  out.clear();
  ++i;
  while (i < s.size()) {
    const wchar_t c = s[i];
    if (c == L'\\' && i + 1 < s.size() && (s[i + 1] == L'\\' || s[i + 1] == Quote)) {
      out.push_back(s[i + 1]);
      i += 2;
    } else if (c == Quote) {
      ++i;
      return true;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return false;
}

// True when the quoted text s[From, To) holds the escape "\\0" (a backslash
// that is not itself escaped, followed by a zero).
bool HoldsNulEscape(TextView s, size_t From, size_t To) {
  for (size_t i = From + 1; i + 1 < To; ++i) {
    if (s[i] != L'\\') continue;
    if (s[i + 1] == L'0') return true;
    ++i;  // the escaped character
  }
  return false;
}

// Nothing but blanks from i on, or blanks and then a comment.
bool OnlyBlanksOrCommentFrom(TextView s, size_t i) {
  for (; i < s.size(); ++i) {
    if (s[i] == L';') return true;
    if (!IsBlank(s[i])) return false;
  }
  return true;
}

// The text before a comment (hex lists hold no ";").
TextView WithoutComment(TextView s) {
  const size_t c = s.find(L';');
  return c == TextView::npos ? s : s.substr(0, c);
}

// Comma-separated hex bytes; a trailing comma is allowed.
bool ParseHexList(TextView s, std::string& out) {
  out.clear();
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  if (i == n) return true;
  for (;;) {
    while (i < n && IsBlank(s[i])) ++i;
    if (i == n) return true;  // after a trailing comma
    int v = 0, digits = 0;
    while (i < n && HexDigit(s[i]) >= 0 && digits < 3) {
      v = v * 16 + HexDigit(s[i]);
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 2) return false;
    out.push_back(static_cast<char>(v));
    while (i < n && IsBlank(s[i])) ++i;
    if (i == n) return true;
    if (s[i] != L',') return false;
    ++i;
  }
}

class TImporter {
 public:
  TImporter(const std::vector<String>& lines, IRegFileSink& sink, bool unicode, const TRegImportOptions& options)
      : lines_(lines), sink_(sink), unicode_(unicode), opt_(options), f_(options.Format) {}

  TRegImportResult Run() {
    constexpr size_t kProgressEvery = 256;
    r_.TotalLines = static_cast<int>(lines_.size());
    size_t nextReport = kProgressEvery;
    for (idx_ = 0; idx_ < lines_.size(); ++idx_) {
      const size_t first = lineStart_ = idx_;
      if (!Line(lines_[idx_])) Skip(first, idx_ - first + 1);
      if (opt_.Progress && idx_ + 1 >= nextReport) {
        nextReport = idx_ + 1 + kProgressEvery;
        if (!opt_.Progress(idx_ + 1, lines_.size())) {
          EndSection();
          r_.LinesRead = static_cast<int>(idx_ + 1);
          r_.Stopped = idx_ + 1 < lines_.size();
          return r_;
        }
      }
    }
    EndSection();
    r_.LinesRead = static_cast<int>(lines_.size());
    return r_;
  }

 private:
  void Skip(size_t first, size_t count) {
    if (r_.SkippedLines == 0) r_.FirstSkippedLine = static_cast<int>(first + 1);
    r_.SkippedLines += static_cast<int>(count);
  }

  // Returns false when the line (and any continuation lines consumed) is
  // to be skipped and counted.
  bool Line(const String& line) {
    const TextView t = TrimBlanks(TrimLeadingControls(line));
    switch (ClassifyRegLine(line, f_)) {
      case rlkHEADER:
        unicode_ = t == TextView(RegHeader5);
        return true;
      case rlkCOMMENT:
        return true;
      case rlkKEY:
        return _OpenReadKey(t);
      case rlkDATA:
        return _ExtractNameAndValue(t);
      case rlkUNKNOWN:
        break;
    }
    return t.empty();
  }

  // The key text between RootStart and RootEnd. A line that ends in
  // RootEnd is a key line as written, its key text all that lies between
  // (a key name may hold "] ;", as in "[HKEY_CURRENT_USER\a] ;b]"); any
  // other line ends its key at the first RootEnd after which only blanks
  // and a comment follow.
  bool KeyText(TextView t, TextView& inner) {
    if (t.size() >= 2 && t.back() == f_.RootEnd) {
      inner = t.substr(1, t.size() - 2);
      return true;
    }
    for (size_t e = 1; e < t.size(); ++e)
      if (t[e] == f_.RootEnd && OnlyBlanksOrCommentFrom(t, e + 1)) {
        inner = t.substr(1, e - 1);
        return true;
      }
    return false;
  }

  void EndSection() {
    if (!keyOpen_) return;
    sink_.SectionEnd(sectionFirst_, sectionLines_, sectionValues_);
    keyOpen_ = false;
  }

  // A key line: opens (creating) its key for the data lines after it, or
  // deletes it ("[-ROOT\\path]").
  bool _OpenReadKey(TextView t) {
    EndSection();
    TextView inner;
    if (!KeyText(t, inner)) return false;
    bool del = false;
    if (!inner.empty() && inner[0] == L'-') {
      del = true;
      inner.remove_prefix(1);
    }
    // The registry takes names only up to a NUL: a key named with one
    // would be another key (the text before it), which the file's reader
    // can't see. Such a line is not applied.
    if (inner.find(L'\0') != TextView::npos) return false;
    const wchar_t delim = f_.KeyLevelDelim;
    const size_t p = inner.find(delim);
    const TRegRoot root = RootOfName(inner.substr(0, p));
    if (root == RegRoot::None) return false;  // refused, never mapped elsewhere
    // The path without delimiters at its ends, its levels joined by backslashes.
    TextView pathView = p == TextView::npos ? TextView() : inner.substr(p);
    while (!pathView.empty() && pathView.front() == delim) pathView.remove_prefix(1);
    while (!pathView.empty() && pathView.back() == delim) pathView.remove_suffix(1);
    String path(pathView);
    if (delim != L'\\')
      for (auto& c : path)
        if (c == delim) c = L'\\';
    if (del) {
      if (path.empty()) return false;  // a root key is never deleted
      sink_.DataLine(idx_);
      sink_.DeleteKey(root, path);
      ++r_.DeletedKeys;
      return true;
    }
    if (!sink_.OpenKey(root, path)) return false;
    keyOpen_ = true;
    sectionFirst_ = idx_;
    sectionLines_ = 1;
    sectionValues_ = 0;
    ++r_.Keys;
    return true;
  }

  // A data line: its value name and data, written into the open key.
  bool _ExtractNameAndValue(TextView t) {
    size_t i = 0;
    String name;
    if (t[0] == L'@') {
      i = 1;
    } else if (!ParseQuoted(t, i, name, f_.StringStartEndChar)) {
      return false;
    }
    while (i < t.size() && IsBlank(t[i])) ++i;
    if (i >= t.size() || t[i] != f_.DataNameValueDelim) return false;
    ++i;
    while (i < t.size() && IsBlank(t[i])) ++i;
    // Read the data (continuation lines included) before deciding, so that
    // a skipped hex value skips its continuation lines as well.
    uint32_t type = 0;
    std::string data;
    bool remove = false;
    if (!ParseData(t, i, type, data, remove)) return false;
    if (!keyOpen_) return false;
    if (name.find(L'\0') != String::npos) return false;  // another value's name up to the NUL
    sink_.DataLine(lineStart_);
    if (remove) {
      sink_.DeleteValue(name);
    } else {
      sink_.SetValue(name, type, data);
    }
    ++r_.Values;
    sectionLines_ += idx_ - lineStart_ + 1;
    ++sectionValues_;
    return true;
  }

  bool ParseDword(TextView t, size_t i, std::string& data) {
    while (i < t.size() && IsBlank(t[i])) ++i;  // "dword:  0000001f", as regedit reads it
    uint32_t v = 0;
    int digits = 0;
    while (i < t.size() && HexDigit(t[i]) >= 0) {
      if (++digits > 8) return false;  // above FFFFFFFF
      v = v * 16 + static_cast<uint32_t>(HexDigit(t[i]));
      ++i;
    }
    if (digits == 0 || !OnlyBlanksOrCommentFrom(t, i)) return false;
    data.assign(4, '\0');
    for (int k = 0; k < 4; ++k) data[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    return true;
  }

  // A line that carries on a hex list begins with a hex digit.
  static bool IsContinuation(TextView t) { return !t.empty() && HexDigit(t[0]) >= 0; }

  // The hex list from t[i] on, joined with its continuation lines: a list
  // ending in a backslash goes on on the next line; blank lines and comment
  // lines in between are passed over. A list is continued only after a
  // whole byte and its comma (or right after the prefix): a backslash
  // straight after a byte refuses that value alone, and the next line is
  // read as a line of its own. The continuation must be a line of hex
  // data: anything else (a key line, another value, a lone backslash)
  // breaks the value, which is refused whole together with the line that
  // broke it, as regedit does.
  bool ParseHexData(TextView t, size_t i, std::string& bytes) {
    TextView list = TrimBlanks(WithoutComment(t.substr(i)));
    String joined;
    if (!list.empty() && list.back() == L'\\') {
      joined.assign(list);
      while (!joined.empty() && joined.back() == L'\\') {
        joined.pop_back();
        const TextView before = TrimBlanks(joined);
        if (!before.empty() && before.back() != L',') return false;
        size_t next = idx_ + 1;
        while (next < lines_.size()) {
          const TextView n = TrimBlanks(TrimLeadingControls(lines_[next]));
          if (!n.empty() && n[0] != L';') break;
          ++next;
        }
        // A mark with no line after it: the file was cut off inside the
        // value, whose bytes can't all be there.
        if (next >= lines_.size()) return false;
        if (!IsContinuation(TrimBlanks(lines_[next]))) {
          idx_ = next;
          // A key line taken into a broken value opens no key; nor do the
          // data lines after it go into the key before it, which the file
          // never named for them.
          if (ClassifyRegLine(lines_[next], f_) == rlkKEY) {
            EndSection();
            keyOpen_ = false;
          }
          return false;
        }
        idx_ = next;
        joined += TrimBlanks(WithoutComment(TrimBlanks(lines_[idx_])));
      }
      list = joined;
    }
    return ParseHexList(list, bytes);
  }

  bool ParseData(TextView t, size_t i, uint32_t& type, std::string& data, bool& remove) {
    const wchar_t quote = f_.StringStartEndChar;
    if (i < t.size() && t[i] == L'-' && OnlyBlanksOrCommentFrom(t, i + 1)) {
      remove = true;
      return true;
    }
    if (i < t.size() && t[i] == quote) {
      const size_t start = i;
      String text;
      if (!ParseQuoted(t, i, text, quote) || !OnlyBlanksOrCommentFrom(t, i)) return false;
      // A "\\0" in the text has no form regedit accepts: the line is refused
      // rather than stored as a backslash and a zero.
      if (HoldsNulEscape(t, start, i)) return false;
      type = RegType::Sz;
      data = StringToRegBytes(text);
      return true;
    }
    if (StartsNoCase(t, i, f_.HexIntPrefix)) {
      type = RegType::Dword;
      return ParseDword(t, i + f_.HexIntPrefix.size(), data);
    }
    std::string bytes;
    if (StartsNoCase(t, i, f_.BinaryPrefix)) {
      type = RegType::Binary;
      i += f_.BinaryPrefix.size();
    } else if (StartsNoCase(t, i, f_.ExpStringPrefix)) {
      type = RegType::ExpandSz;
      i += f_.ExpStringPrefix.size();
    } else if (StartsNoCase(t, i, L"hex")) {
      // Any other type as hex(n): with n in hexadecimal.
      i += 3;
      type = RegType::Binary;
      if (i < t.size() && t[i] == L'(') {
        ++i;
        uint32_t v = 0;
        int digits = 0;
        while (i < t.size() && HexDigit(t[i]) >= 0) {
          if (++digits > 8) return false;
          v = v * 16 + static_cast<uint32_t>(HexDigit(t[i]));
          ++i;
        }
        if (digits == 0 || i >= t.size() || t[i] != L')') return false;
        ++i;
        type = v;
      }
      if (i >= t.size() || t[i] != L':') return false;
      ++i;
    } else {
      return false;
    }
    if (!ParseHexData(t, i, bytes)) return false;
    if (!IsTextType(type)) {
      data = std::move(bytes);
      return true;
    }
    if (!unicode_) {
      // ANSI bytes in a "REGEDIT4" file: stored as UTF-16.
      data = AnsiBytesToRegBytes(bytes);
    } else {
      // UTF-16 bytes as the registry held them. Text of an odd byte count
      // is a value stored so (the writer writes it as it is): it is stored
      // back exactly as the file gives it.
      data = std::move(bytes);
    }
    // Text without its final NUL character gets one, as regedit stores it
    // (a multi-string's list end too: one NUL added, not two).
    if (LacksFinalNul(data)) data.append(2, '\0');
    return true;
  }

  const std::vector<String>& lines_;
  IRegFileSink& sink_;
  bool unicode_;
  const TRegImportOptions& opt_;
  const TRegFileFormat& f_;
  bool keyOpen_ = false;
  size_t idx_ = 0;
  size_t lineStart_ = 0;  // the line the one being read began on
  size_t sectionFirst_ = 0, sectionLines_ = 0;
  int sectionValues_ = 0;
  TRegImportResult r_;
};

}  // namespace

TRegLineKind ClassifyRegLine(const String& Line, const TRegFileFormat& Format) {
  const TextView t = TrimLeadingControls(Line);
  if (IsHeader(t, Format) || IsHeader(TrimBlanks(t), Format)) return rlkHEADER;
  if (t.empty()) return rlkUNKNOWN;
  if (t[0] == Format.RootStart) return rlkKEY;
  if (t[0] == Format.StringStartEndChar || t[0] == L'@') return rlkDATA;
  if (t[0] == L';') return rlkCOMMENT;
  return rlkUNKNOWN;
}

bool HasRegFileHeader(const std::vector<String>& Lines, const TRegFileFormat& Format) {
  for (const String& line : Lines) {
    if (TrimLeadingControls(line).empty()) continue;
    return ClassifyRegLine(line, Format) == rlkHEADER;
  }
  return false;
}

TRegImportResult ImportRegLines(const std::vector<String>& Lines, IRegFileSink& Sink, bool Unicode,
                                const TRegImportOptions& Options) {
  return TImporter(Lines, Sink, Unicode, Options).Run();
}
