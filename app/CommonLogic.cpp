#include "app/CommonLogic.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "app/RegAccess.h"
#include "app/RegEdits.h"
#include "app/WorkerRun.h"
#include "classlib/Registry.h"

namespace AppText {
const wchar_t* const SearchStarted = L"Search started.";
const wchar_t* const SearchAborted = L"Search aborted.";
const wchar_t* const SearchFinished = L"Search finished.";
const wchar_t* const SearchStartFailed = L"An exception occurred while attempting to start a search thead.";
const wchar_t* const RegexErrorIntro =
    L"An error occurred attempting to parse the regular expression. Please consult the Zembrio manual, and "
    L"check the expression syntax.  The following error was returned:\n\n";
const wchar_t* const ValueNotSaved = L"Value not saved.";
const wchar_t* const SaveFailed =
    L"An exception occurred while attempting to save the edited registry value.  The value may have been "
    L"deleted or renamed by another process or application.\n\nKey: ";
const wchar_t* const ExportFailed =
    L"An exception occurred attempting to export a registry file.  The output file may be corrupt.\n\nFilename: ";
const wchar_t* const ImportFailed =
    L"An exception occurrred attempting to import a registry file The file may be corrupt.  The import may not "
    L"be complete.";
const wchar_t* const BookmarksSaveFailed =
    L"An exception occurred attempting to save user bookmarks.  Check the bookmark file location setting in "
    L"the Zembrio preferences.  The bookmark file may now be corrupt.";
const wchar_t* const BookmarksLoadFailed =
    L"An exception occurred attempting to load user bookmarks.  Check the bookmark file location setting in "
    L"the Zembrio preferences.  The bookmark file may also be corrupt.";
const wchar_t* const InvalidKeyName = L"Invalid key name.";
const wchar_t* const InvalidBookmarkName = L"Invalid bookmark name.";
const wchar_t* const ExportAborted = L"Export aborted.";
const wchar_t* const ImportAborted = L"Import aborted.";
const wchar_t* const KeyNotFound = L"Key not found.";
const wchar_t* const ImportFailedStatus = L"Import failed.";
const wchar_t* const RegistryFileExported = L"Registry file exported.";
const wchar_t* const RegistryFileImported = L"Registry file imported.";
const wchar_t* const ExportStopped = L"Export stopped; no file was written.";
const wchar_t* const NotRegistryFile = L"Import refused: the file is not a registry file.";
const wchar_t* const Utf8RegistryFile = L"Import refused: the file is UTF-8 text.";
const wchar_t* const ConfirmImportCaption = L"Please confirm import";
const wchar_t* const ConfirmImportPrompt =
    L"Please confirm.  Zembrio is about to import the following registry file:";
const wchar_t* const ConfirmImportQuestion = L"This operation can be destructive.  Do you wish to continue?";
}  // namespace AppText

std::vector<String> SplitDialogLines(const String& Text) {
  std::vector<String> lines;
  String cur;
  for (size_t i = 0; i < Text.size(); ++i) {
    wchar_t c = Text[i];
    if (c == L'\r' || c == L'\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == L'\r' && i + 1 < Text.size() && Text[i + 1] == L'\n') ++i;
    } else {
      cur += c;
    }
  }
  lines.push_back(cur);
  return lines;
}

namespace {
// Counts a stretch in which what is said is not the command's own.
struct TOutsideTexts {
  int& Count;
  explicit TOutsideTexts(int& C) : Count(C) { ++Count; }
  ~TOutsideTexts() { --Count; }
  TOutsideTexts(const TOutsideTexts&) = delete;
  TOutsideTexts& operator=(const TOutsideTexts&) = delete;
};
}  // namespace

namespace {

constexpr size_t MaxDialogLine = 1000;  // characters of one line
constexpr size_t LineHead = 600;        // kept before the "…" of a longer line
constexpr size_t ShortRun = 40;        // a run this short is not measured

bool Blank(wchar_t C) { return C == L' ' || C == L'\t'; }

bool InsidePair(const String& S, size_t At) {
  return At > 0 && At < S.size() && S[At] >= 0xDC00 && S[At] <= 0xDFFF && S[At - 1] >= 0xD800 &&
         S[At - 1] <= 0xDBFF;
}

// A cut at At moved back off the middle of a surrogate pair.
size_t CutAt(const String& S, size_t At) { return InsidePair(S, At) ? At - 1 : At; }

String ShortLine(const String& Line) {
  if (Line.size() <= MaxDialogLine) return Line;
  const size_t head = CutAt(Line, LineHead);
  // The end kept starts after a pair the cut would split, so the line stays
  // within its length.
  size_t tail = Line.size() - (MaxDialogLine - LineHead - 1);
  if (InsidePair(Line, tail)) ++tail;
  return Line.substr(0, head) + L"\u2026" + Line.substr(tail);
}

// Measures text in the font of the system's message boxes.
class TDialogMeasure {
 public:
  TDialogMeasure() {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    dc_ = CreateCompatibleDC(nullptr);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) font_ = CreateFontIndirectW(&m.lfMessageFont);
    if (dc_ && font_) old_ = SelectObject(dc_, font_);
  }
  ~TDialogMeasure() {
    if (old_) SelectObject(dc_, old_);
    if (font_) DeleteObject(font_);
    if (dc_) DeleteDC(dc_);
  }
  TDialogMeasure(const TDialogMeasure&) = delete;
  TDialogMeasure& operator=(const TDialogMeasure&) = delete;
  // How many of the Count characters at S fit in Width pixels (at least
  // one).
  size_t Fit(const wchar_t* S, size_t Count, int Width) const {
    int fit = int(Count);
    SIZE size{};
    if (dc_) GetTextExtentExPointW(dc_, S, int(Count), Width, &fit, nullptr, &size);
    return std::max<size_t>(1, size_t(fit));
  }

 private:
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Breaks the line's runs without a blank that are wider than Width pixels
// over lines no wider (the system's message box grows as wide as its
// widest run).
String BrokenRuns(const String& Line, const TDialogMeasure& Measure, int Width, bool& Broke) {
  String out;
  size_t i = 0;
  while (i < Line.size()) {
    size_t end = i;
    while (end < Line.size() && !Blank(Line[end])) ++end;
    while (Width > 0 && end - i > ShortRun) {
      size_t fit = Measure.Fit(Line.data() + i, end - i, Width);
      if (fit >= end - i) break;
      const size_t cut = CutAt(Line, i + fit);
      if (cut == i) break;
      out.append(Line, i, cut - i);
      out += L'\n';
      Broke = true;
      i = cut;
    }
    out.append(Line, i, end - i);
    i = end;
    while (i < Line.size() && Blank(Line[i])) out += Line[i++];
  }
  return out;
}

bool HasLongRun(const String& Text) {
  size_t run = 0;
  for (wchar_t c : Text) {
    run = (Blank(c) || c == L'\r' || c == L'\n') ? 0 : run + 1;
    if (run > ShortRun) return true;
  }
  return false;
}

bool NeedsShortening(const String& Text, size_t MaxLines) {
  size_t line = 0, lines = 1;
  for (size_t i = 0; i < Text.size(); ++i) {
    const wchar_t c = Text[i];
    if (c == L'\r' || c == L'\n') {
      line = 0;
      if (!(c == L'\n' && i > 0 && Text[i - 1] == L'\r')) ++lines;
      continue;
    }
    if (++line > MaxDialogLine) return true;
  }
  return MaxLines && lines > MaxLines;
}

}  // namespace

String DialogText(const String& Text, int RunWidth, size_t MaxLines) {
  const bool shorten = NeedsShortening(Text, MaxLines);
  if (!shorten && (RunWidth < 0 || !HasLongRun(Text))) return Text;
  std::vector<String> lines = SplitDialogLines(Text);
  const size_t total = lines.size();
  const bool cut = MaxLines && total > MaxLines;
  if (cut) lines.resize(MaxLines - 1);
  // The message box adds its icon and margins to its widest run.
  if (RunWidth == 0) RunWidth = std::max(200, GetSystemMetrics(SM_CXSCREEN) * 4 / 5);
  const TDialogMeasure measure;
  bool broke = false;
  String out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += L'\n';
    out += BrokenRuns(ShortLine(lines[i]), measure, RunWidth, broke);
  }
  if (cut) out += L"\n\u2026 (" + UIntToStr(unsigned(total - lines.size())) + L" more lines)";
  // A text within the bounds keeps its own line ends.
  return shorten || broke ? out : Text;
}

TCommonLogic::TCommonLogic() {
  DeclareEditorSettings(rsOptions);
  // A first start shows the windows at the sizes they have at 96 dots per
  // inch, scaled to the screen like the windows' contents.
  if (HDC screen = GetDC(nullptr)) {
    screenDpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ScaleEditorSizeDefaults(rsOptions, screenDpi_);
    ReleaseDC(nullptr, screen);
  }
  iorPort.OnProgressChange = TProgressEvent(this, &TCommonLogic::WorkProgress);
}

TCommonLogic::~TCommonLogic() {
  // No event may reach a window that is going away.
  OnSearchFinished = nullptr;
  OnAddFindResult = nullptr;
  OnFindResultBatch = nullptr;
  OnSearchProgress = nullptr;
  OnStatusText = nullptr;
  OnShowException = nullptr;
  OnShowMessage = nullptr;
  StopSearchAndWait();
}

// ---------------------------------------------------------------------------
// Settings: sizes are held in this screen's pixels and stored with the dots
// per inch they were taken at. Sizes stored without it come from a version
// that kept them in the pixels of the screen it ran on: they load as they
// are.

int TCommonLogic::StoredSizesDpi() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootHandle(rsOptions.GetRootHKEY()));
  if (!reg.OpenKeyReadOnly(rsOptions.BaseKey + L"\\" + SizesDpiSubKey) || !reg.ValueExists(SizesDpiValue))
    return screenDpi_;
  try {
    return UsableDpi(reg.ReadInteger(SizesDpiValue));
  } catch (const Exception&) {
    return screenDpi_;  // not a DWORD: as if none were stored
  }
}

void TCommonLogic::ReadOptions(const std::vector<String>* Names) {
  if (Names)
    rsOptions.ReadValues(*Names);
  else
    rsOptions.ReadValues();
  const int from = StoredSizesDpi();
  if (from == screenDpi_) return;
  for (const wchar_t* name : EditorSizeSettings) {
    if (Names && std::none_of(Names->begin(), Names->end(), [name](const String& n) { return AnsiSameText(n, name); }))
      continue;
    // A size the read did not find (none stored, or one of the wrong type)
    // took its default, which is this screen's already.
    TRegStoreValue& v = rsOptions.GetValueByName(name);
    if (v.ReadFound()) v.SetValue(ScaleSize(v.GetValue().AsInteger(), from, screenDpi_));
  }
}

void TCommonLogic::WriteAllOptions() {
  rsOptions.WriteValues();
  // Sizes never read (a read that failed before them) keep what is stored,
  // and so the dots per inch stored with them.
  for (const wchar_t* name : EditorSizeSettings)
    if (rsOptions.GetValueByName(name).GetValue().IsEmpty()) return;
  TRegistry reg(KEY_READ | KEY_WRITE);
  reg.SetRootKey(RootHandle(rsOptions.GetRootHKEY()));
  if (reg.OpenKey(rsOptions.BaseKey + L"\\" + SizesDpiSubKey, true)) reg.WriteInteger(SizesDpiValue, screenDpi_);
}

String TCommonLogic::GetRootKeyName(TRegRoot Root, TRootNameMode Mode) {
  const bool abbr = GetOption(SettingName::AbbrBaseKeyNames).AsBoolean();
  return RootKeyName(Root, Mode, abbr);
}

String TCommonLogic::NewValueName(TRegistry& Reg, const String& TypeWord) {
  return ::NewValueName([&](const String& n) { return Reg.ValueExists(n); }, TypeWord);
}

String TCommonLogic::NewKeyName(TRegistry& Reg, const String& ParentPath) {
  const String parent = ApiKeyPath(ParentPath);
  return ::NewKeyName([&](const String& n) { return Reg.KeyExists(L"\\" + JoinKeyPath(parent, n)); });
}

String TCommonLogic::GetVersionString(const String& Key) {
  const String path = ParamStr(0);
  if (path.empty()) return String();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return String();
  std::vector<unsigned char> buf(size + 1);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, buf.data())) return String();
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* tr = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(buf.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) ||
      len < sizeof(Translation))
    return String();
  const String query = L"\\StringFileInfo\\" + IntToHex(static_cast<unsigned>(tr->language), 4) +
                       IntToHex(static_cast<unsigned>(tr->codePage), 4) + L"\\" + Key;
  wchar_t* text = nullptr;
  if (!VerQueryValueW(buf.data(), query.c_str(), reinterpret_cast<void**>(&text), &len) || !text) return String();
  String r(text, len);
  while (!r.empty() && r.back() == L'\0') r.pop_back();
  return r;
}

void TCommonLogic::SetStatusText(const String& Text) {
  if (OnStatusText) OnStatusText(Text);
}

String TCommonLogic::ExceptionText(const Exception& E, const String& Text) {
  wchar_t addr[32];
  // Where the exception was raised, in the full width of a code address.
  std::swprintf(addr, 32, L"%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(E.RaiseAddress())));
  return Text + L"\n\nMessage: " + E.Message() + L"\nAddress: " + addr;
}

void TCommonLogic::ShowException(const Exception& E, const String& Text) {
  if (OnShowException) OnShowException(E, Text);
}

// ---------------------------------------------------------------------------
// Search.

void TCommonLogic::StartSearch(bool Repeat, TSearchInput Input) {
  // One search at a time: a search still running ends first (its finish
  // report included), so its reports can't be taken for the new one's.
  if (running_) StopSearchAndWait();
  if (OnSearchStarted) OnSearchStarted();
  try {
    if (Repeat) {
      Input = last_;
    } else {
      Input.ShowProgress = GetOption(SettingName::ShowSearchProgress).AsBoolean();
      TRegRoot root = RegRoot::None;
      String path;
      if (Input.Subtree && OnGetSelectedKey && OnGetSelectedKey(root, path)) {
        Input.RootKey = root;
        const String p = ApiKeyPath(path);
        Input.StartPath = p.empty() ? String(L"\\") : L"\\" + p + L"\\";
      } else {
        Input.Subtree = false;
      }
    }
    last_ = Input;
    ended_.reset();  // the previous search's thread has ended: release it
    TSearchEvents ev;
    ev.OnResult = TEvent<void(const TSearchHit&)>(this, &TCommonLogic::SearchResult);
    ev.OnResultBatch = [this](bool Begin) {
      if (OnFindResultBatch) OnFindResultBatch(Begin);
    };
    ev.OnProgress = [this](const String& t) {
      if (OnSearchProgress) OnSearchProgress(t);
    };
    ev.OnRegexError = TEvent<void(const String&)>(this, &TCommonLogic::RegexError);
    ev.OnException = TEvent<void(const Exception&, const String&)>(this, &TCommonLogic::ShowException);
    ev.OnFinished = TEvent<void()>(this, &TCommonLogic::SearchFinishedReport);
    running_ = std::make_unique<TthrdRegSearch>(Input, ev);
    SetStatusText(AppText::SearchStarted);
  } catch (const Exception& E) {
    ShowException(E, AppText::SearchStartFailed);
    // The search never ran: end it as every search ends, so the find
    // commands come back.
    if (OnSearchFinished) OnSearchFinished();
    SetStatusText(AppText::SearchFinished);
  } catch (const std::exception& e) {
    ShowException(Exception(Utf8ToWide(e.what())), AppText::SearchStartFailed);
    if (OnSearchFinished) OnSearchFinished();
    SetStatusText(AppText::SearchFinished);
  }
}

void TCommonLogic::SearchResult(const TSearchHit& Hit) {
  auto* hit = new TSearchHit(Hit);
  if (OnAddFindResult) {
    OnAddFindResult(hit);
  } else {
    delete hit;
  }
}

void TCommonLogic::RegexError(const String& Message) {
  if (OnShowMessage) OnShowMessage(String(AppText::RegexErrorIntro) + Message);
  if (running_) running_->Terminate();
}

void TCommonLogic::SearchFinishedReport() {
  // Runs on the window thread while the search thread waits for it: the
  // thread object is released later, never here.
  const TOutsideTexts outside(outsideTexts_);
  ended_ = std::move(running_);
  const int unread = ended_ ? ended_->UnreadKeys() : 0;
  if (OnSearchFinished) OnSearchFinished();
  // Keys left out because they could not be read are told, so that "no
  // hits" is not taken for a branch searched whole.
  if (unread == 0)
    SetStatusText(AppText::SearchFinished);
  else
    SetStatusText(L"Search finished; " + IntToStr(unread) + (unread == 1 ? L" key" : L" keys") +
                  L" could not be read.");
}

void TCommonLogic::StopSearch() {
  if (!running_) return;
  running_->Terminate();
  SetStatusText(AppText::SearchAborted);
}

void TCommonLogic::StopSearchAndWait() {
  if (running_) {
    running_->Terminate();
    running_->WaitFor();  // runs its last reports meanwhile
  }
  running_.reset();
  ended_.reset();
}

// ---------------------------------------------------------------------------
// Value editing.

namespace {
// Whether the key has a default value at all.
bool DefaultValueSet(TRegRoot Root, const String& KeyPath) {
  TRegKey key;
  return key.OpenReadOnly(Root, ApiKeyPath(KeyPath)) && key.ValueExists(String());
}

// Whether the registry holds the value with this type and, read as the
// string editor reads it (up to the first NUL), this text.
bool StoredTextIs(TRegRoot Root, const String& KeyPath, const cValue& Value, const String& Text) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootHandle(Root));
  TRegRawValue raw;
  return reg.OpenKeyReadOnly(L"\\" + ApiKeyPath(KeyPath)) && reg.ReadRaw(Value.GetName(), raw) &&
         raw.Type == Value.GetRegType() && RegBytesToString(std::string(raw.Data.begin(), raw.Data.end())) == Text;
}
}  // namespace

bool TCommonLogic::SaveEditedValue(TRegRoot Root, const String& KeyPath, cValue& Value) {
  try {
    // The list holds the value as it was when the key was read; another
    // program may have changed its data or type since. The editor starts
    // from what the registry holds now (a value gone meanwhile keeps the
    // data shown, and OK writes it again).
    try {
      Value.Reload(Root, KeyPath);
    } catch (const Exception&) {
    }
    // What the list shows, for a failed write that leaves nothing to read back.
    const cValue listed = Value;
    EditRootKey = Root;
    EditKeyPath = KeyPath;
    EditValueName = Value.GetName();
    EditValueType = Value.GetType();
    int result = 0;
    const wchar_t* status = nullptr;
    String bytesStatus;
    // Opening an editor is a command of its own: no earlier status (a
    // value saved, a note on how another value was edited) stands for it,
    // so a cancel leaves none.
    SetStatusText(String());
    if (Value.IsEditedAsBytes()) {
      // Data that no text or number box can show whole (a DWORD or QWORD
      // of another size than its type's, a string holding a NUL before its
      // end or an odd number of bytes): its bytes in the binary editor,
      // every one kept unless the user changes it, written back under its
      // own type.
      const String type = RegTypeName(Value.GetRegType());
      const std::string bytes = Value.GetRawData();
      const String size = L"The " + type + L" value has " + IntToStr(int(bytes.size())) + L" bytes of data";
      const String why = !Value.IsMisfitString() ? size
                         : bytes.size() % 2   ? size + L", an odd number"
                                              : L"The " + type + L" value holds a NUL character before its end";
      SetStatusText(why + L": it is edited as bytes, and stays a " + type + L".");
      EditValueType = cValue::cvtBinary;
      EditBinary = bytes;
      bytesStatus = Value.GetType() == cValue::cvtString         ? String(L"String value saved.")
                    : Value.GetType() == cValue::cvtExpandString ? String(L"Expand string value saved.")
                                                                 : type + L" value saved.";
      result = OnEditValue ? OnEditValue(cValue::cvtBinary) : 0;
      if (result != 1) return false;
      Value.SetEditedBytes(EditBinary);
      status = bytesStatus.c_str();
    } else switch (Value.GetType()) {
      case cValue::cvtString:
      case cValue::cvtExpandString:
        EditString = Value.GetString();
        // A default value that isn't set is listed as "(value not set)":
        // that text is no data, and OK must not store it.
        if (Value.GetDefaultFlag() && !DefaultValueSet(Root, KeyPath)) EditString.clear();
        {
          const String shown = EditString;
          result = OnEditValue ? OnEditValue(Value.GetType()) : 0;
          if (result != 1) return false;
          if (Value.GetType() == cValue::cvtString) {
            Value.SetString(EditString);
            status = L"String value saved.";
          } else {
            Value.SetExpandString(EditString);
            status = L"Expand string value saved.";
          }
          // Text left as shown is not written again: a string stored
          // without its final NUL stays as the registry holds it.
          if (EditString == shown && StoredTextIs(Root, KeyPath, Value, shown)) {
            SetStatusText(status);
            return true;
          }
        }
        break;
      case cValue::cvtInteger:
        EditInteger = Value.GetInteger();
        result = OnEditValue ? OnEditValue(Value.GetType()) : 0;
        if (result != 1) return false;
        Value.SetInteger(EditInteger);
        status = L"Integer value saved.";
        break;
      case cValue::cvtBinary:
        EditBinary = Value.GetBinary();
        result = OnEditValue ? OnEditValue(Value.GetType()) : 0;
        if (result != 1) return false;
        Value.SetBinary(EditBinary);
        status = L"Binary value saved.";
        break;
      default:
        // Values of other types are never opened in an editor: say why (no
        // earlier "saved" stands for this one).
        SetStatusText(String());
        if (OnShowMessage)
          OnShowMessage(L"Values of the type " + RegTypeName(Value.GetRegType()) +
                        L" can't be edited in Zembrio.  " +
                        (Value.GetName().empty() ? String(L"The key's default value")
                                                 : L"The value \"" + Value.GetName() + L"\"") +
                        L" is left as it is.");
        return false;
    }
    try {
      Value.Update(Root, KeyPath);
    } catch (...) {
      // The object shows what the registry holds, not the data that failed;
      // a value gone with its key keeps what it showed before the edit.
      bool reloaded = false;
      try {
        reloaded = Value.Reload(Root, KeyPath);
      } catch (...) {
      }
      if (!reloaded) Value = listed;
      throw;
    }
    SetStatusText(status);
    return true;
  } catch (const Exception& E) {
    // No earlier "saved" may stand for this one.
    SetStatusText(AppText::ValueNotSaved);
    ShowException(E, String(AppText::SaveFailed) + KeyPath + L"\nValue name: " + EditValueName);
    return false;
  }
}

// ---------------------------------------------------------------------------
// Export and import.

namespace {

bool IsInputMessage(UINT M) {
  return (M >= WM_KEYFIRST && M <= WM_KEYLAST) || (M >= WM_MOUSEFIRST && M <= WM_MOUSELAST) ||
         (M >= WM_NCMOUSEMOVE && M <= WM_NCXBUTTONDBLCLK);
}

// The error report of an exception that is not the class library's (a
// thread that can't start, memory that runs out).
Exception AsException(const std::exception& E) { return Exception(Utf8ToWide(E.what())); }

}  // namespace

void TCommonLogic::WorkProgress(TObject*, uint32_t Progress, uint32_t Level, uint32_t Max, uint32_t MaxLevel) {
  // Runs on the worker: only the share done is kept for the window thread.
  // Each level is its share of the whole; levels that overlap (an import
  // reads and writes at once) add up.
  if (MaxLevel == 0 || Max == 0 || Level == 0 || Level > kLevels || MaxLevel > kLevels) return;
  const uint64_t perLevel = 1000 / MaxLevel;
  levelShare_[Level - 1] = perLevel * std::min(Progress, Max) / Max;
  uint64_t sum = 0;
  for (uint32_t l = 0; l < MaxLevel; ++l) sum += levelShare_[l].load();
  progress_ = std::min<uint64_t>(sum, 1000);
}

void TCommonLogic::StopLongWork() {
  if (working_ && stoppable_) iorPort.StopRequested = true;
}

void TCommonLogic::RunLongWork(const String& Doing, const std::function<void()>& Work, bool Stoppable) {
  progress_ = 0;
  for (auto& share : levelShare_) share = 0;
  iorPort.StopRequested = false;
  working_ = true;
  stoppable_ = Stoppable;
  if (Stoppable && OnLongWorkState) OnLongWorkState(true);
  std::unique_ptr<TWorkerRun> run;
  try {
    run = std::make_unique<TWorkerRun>(Work);
  } catch (...) {
    working_ = false;
    if (Stoppable && OnLongWorkState) OnLongWorkState(false);
    throw;
  }
  HANDLE done = run->Done();
  SetStatusText(Doing + L"...");
  uint64_t shown = 0;
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &done, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    {
      // What the messages handed on here say is theirs, not the work's.
      const TOutsideTexts outside(outsideTexts_);
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
          // Ends the program once the work has ended.
          quit = true;
          quitCode = static_cast<int>(m.wParam);
          StopLongWork();
          continue;
        }
        if (IsInputMessage(m.message) && !(OnLongWorkMessage && OnLongWorkMessage(m))) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      CheckSynchronize();
    }
    const uint64_t now = progress_.load() / 10;
    if (now != shown) {
      shown = now;
      SetStatusText(Doing + L"... " + UIntToStr(static_cast<unsigned>(now)) + L"%");
    }
    if (r == WAIT_OBJECT_0 || WaitForSingleObject(done, 0) == WAIT_OBJECT_0) break;
  }
  working_ = false;
  if (Stoppable && OnLongWorkState) OnLongWorkState(false);
  if (quit) PostQuitMessage(quitCode);
  run->Finish();
}

void TCommonLogic::DeleteKeyBranch(TRegRoot Root, const String& Path) {
  if (working_) throw ERegEditRefused(String(L"Another operation is still under way."));
  RunLongWork(
      L"Deleting key",
      [&] {
        RegEdits::DeleteKey(Root, Path, [this](size_t Done, size_t Total) {
          progress_ = Total ? uint64_t(Done) * 1000 / Total : 1000;
          if (OnDeleteProgress) OnDeleteProgress(Done, Total);
        });
      },
      false);
}

void TCommonLogic::RenameKeyBranch(TRegRoot Root, const String& OldPath, const String& NewPath) {
  if (working_) throw ERegEditRefused(String(L"Another operation is still under way."));
  RunLongWork(
      L"Renaming key",
      [&] {
        RegEdits::RenameKey(Root, OldPath, NewPath, [this](size_t Done, size_t Total) {
          progress_ = Total ? uint64_t(Done) * 1000 / Total : 1000;
          if (OnRenameProgress) OnRenameProgress(Done, Total);
        });
      },
      false);
}

void TCommonLogic::ReportPartialExport(const String& FileName, const TRegExportResult& Result, const String& Notes) {
  // The file is written: what it lacks, or will read back otherwise, is
  // told plainly, not as a failure.
  String status = L"Registry file exported";
  if (Result.LeftOutKeys || Result.LeftOutValues)
    status += L" with " + KeysAndValuesText(Result.LeftOutKeys, Result.LeftOutValues) + L" left out";
  if (Result.UnreadKeys)
    status += L"; " + KeysAndValuesText(Result.UnreadKeys, 0) + (Result.UnreadKeys == 1 ? L" was" : L" were") +
              L" not readable";
  if (Result.GainNul)
    status += L"; " + KeysAndValuesText(0, Result.GainNul) + L" will read back with a NUL character added";
  SetStatusText(status + L".");
  if (OnShowMessage) OnShowMessage(L"The registry file was written:\n" + FileName + L"\n\n" + Notes);
}

bool TCommonLogic::ExportKey(TRegRoot Root, const String& KeyPath, const String& FileName, bool IncludeSubKeys) {
  if (working_) return false;
  const String failed = String(AppText::ExportFailed) + FileName;
  try {
    TRegExportResult result;
    const String rootName = RootKeyName(Root, rnmFull, false);
    RunLongWork(L"Exporting registry file", [&] {
      result = iorPort.ExportRegistry(rootName, ApiKeyPath(KeyPath), FileName, IncludeSubKeys);
    });
    if (result.Stopped) {
      SetStatusText(AppText::ExportStopped);
      return false;
    }
    if (result.Notes.empty()) {
      SetStatusText(AppText::RegistryFileExported);
      return true;
    }
    ReportPartialExport(FileName, result, result.Notes);
    return true;
  } catch (const ERegExportIncomplete& E) {
    // Keys the system would not let the user read (much of
    // HKEY_LOCAL_MACHINE without administrator rights): the rest is written.
    ReportPartialExport(FileName, E.Result, E.Message());
    return true;
  } catch (const ERegExportUnreadable& E) {
    // Said as it is: no file was touched, so none may be corrupt.
    SetStatusText(L"Export aborted: the key can't be read.");
    if (OnShowErrorText) OnShowErrorText(E.Message());
  } catch (const Exception& E) {
    SetStatusText(AppText::ExportAborted);
    ShowException(E, failed);
  } catch (const std::exception& E) {
    SetStatusText(AppText::ExportAborted);
    ShowException(AsException(E), failed);
  }
  return false;
}

bool TCommonLogic::ImportFile(const String& FileName, const std::function<void()>& AfterImport) {
  if (working_) return false;
  lastImport_ = TRegImportResult();
  bool wrote = false;
  try {
    RunLongWork(L"Importing registry file", [&] {
      lastImport_ = iorPort.ImportRegistry(FileName, true);
      wrote = true;
    });
  } catch (const EUtf8RegistryFile& E) {
    SetStatusText(AppText::Utf8RegistryFile);
    if (OnShowMessage) OnShowMessage(FileName + L"\n\n" + E.Message());
    return false;
  } catch (const ENotRegistryFile& E) {
    SetStatusText(AppText::NotRegistryFile);
    if (OnShowMessage) OnShowMessage(FileName + L"\n\n" + E.Message());
    return false;
  } catch (const EStreamError& E) {
    // The file could not be read: nothing was written.
    SetStatusText(AppText::ImportFailedStatus);
    ShowException(E, AppText::ImportFailed);
    return false;
  } catch (const Exception& E) {
    // The lines before the failure were written: the tree shows them.
    if (AfterImport) AfterImport();
    // The status no longer says the import is under way.
    SetStatusText(AppText::ImportFailedStatus);
    ShowException(E, AppText::ImportFailed);
    return false;
  } catch (const std::exception& E) {
    if (AfterImport) AfterImport();
    SetStatusText(AppText::ImportFailedStatus);
    ShowException(AsException(E), AppText::ImportFailed);
    return false;
  }
  if (wrote && AfterImport) AfterImport();
  const TRegImportResult& r = lastImport_;
  if (r.Stopped) {
    // The registry holds what was written before the stop, whether lines
    // were still read or only written then.
    SetStatusText(L"Import stopped at line " + IntToStr(r.LinesRead + 1) + L" of " + IntToStr(r.TotalLines) +
                  (r.LaterLinesWritten ? L": the lines before it and some after it were imported ("
                                       : L": the lines before it were imported (") +
                  IntToStr(r.Keys) + L" keys, " + IntToStr(r.Values) + L" values written).");
    return false;
  }
  if (r.SkippedLines == 0) {
    SetStatusText(AppText::RegistryFileImported);
    return true;
  }
  // Lines that could not be read were left out: say so, never "imported".
  SetStatusText(L"Registry file imported with " + IntToStr(r.SkippedLines) +
                (r.SkippedLines == 1 ? L" line" : L" lines") + L" skipped (first at line " +
                IntToStr(r.FirstSkippedLine) + L").");
  return false;
}

// ---------------------------------------------------------------------------
// Bookmarks.

String TCommonLogic::GetBookmarkFileName(const String& ProgramFolder) {
  String name = BookmarkFileFromSetting(GetOption(SettingName::BookmarkFile).AsString());
  if (name.empty()) {
    name = IncludeTrailingPathDelimiter(ProgramFolder) + L"Bookmarks.ZembrioBM";
    SetOption(SettingName::BookmarkFile, name);
  }
  return name;
}

bool TCommonLogic::SaveBookmarks(const String& FileName, const std::vector<TBookmark>& Bookmarks) {
  SetStatusText(L"Saving bookmarks...");
  // A folder gone (or never made) is no fault of the program: said
  // plainly, and nothing is written.
  const String folder = ExtractFileDir(ExpandFileName(FileName));
  if (!folder.empty() && !DirectoryExists(folder)) {
    SetStatusText(L"Bookmarks not saved.");
    if (OnShowMessage)
      OnShowMessage(L"The bookmarks were not saved: the folder of the bookmark file does not exist.\n\nBookmark file: " +
                    FileName + L"\n\nCheck the bookmark file location setting in the Zembrio preferences.");
    return false;
  }
  try {
    SaveBookmarkFile(FileName, Bookmarks);
  } catch (const Exception& E) {
    ShowException(E, AppText::BookmarksSaveFailed);
    return false;
  }
  SetStatusText(L"Bookmarks saved.");
  return true;
}

bool TCommonLogic::LoadBookmarks(const String& FileName, std::vector<TBookmark>& Out) {
  SetStatusText(L"Loading bookmarks...");
  try {
    if (!LoadBookmarkFile(FileName, Out)) return true;
  } catch (const Exception& E) {
    ShowException(E, AppText::BookmarksLoadFailed);
    return false;
  }
  SetStatusText(L"Bookmarks loaded.");
  return true;
}
