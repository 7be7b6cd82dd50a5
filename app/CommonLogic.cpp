#include "app/CommonLogic.h"

#include <cstdio>

#include "app/RegAccess.h"
#include "classlib/Registry.h"

namespace AppText {
const wchar_t* const SearchStarted = L"Search started.";
const wchar_t* const SearchAborted = L"Search aborted.";
const wchar_t* const SearchFinished = L"Search finished.";
const wchar_t* const SearchStartFailed = L"An exception occurred while attempting to start a search thead.";
const wchar_t* const RegexErrorIntro =
    L"An error occurred attempting to parse the regular expression. Please consult the Zembrio manual, and "
    L"check the expression syntax.  The following error was returned:\n\n";
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
const wchar_t* const RegistryFileExported = L"Registry file exported.";
const wchar_t* const RegistryFileImported = L"Registry file imported.";
const wchar_t* const ConfirmImportCaption = L"Please confirm import";
const wchar_t* const ConfirmImportPrompt =
    L"Please confirm.  Zembrio is about to import the following registry file:";
const wchar_t* const ConfirmImportQuestion = L"This operation can be destructive.  Do you wish to continue?";
}  // namespace AppText

TCommonLogic::TCommonLogic() { DeclareEditorSettings(rsOptions); }

TCommonLogic::~TCommonLogic() {
  // No event may reach a window that is going away.
  OnSearchFinished = nullptr;
  OnAddFindResult = nullptr;
  OnSearchProgress = nullptr;
  OnStatusText = nullptr;
  OnShowException = nullptr;
  OnShowMessage = nullptr;
  StopSearchAndWait();
}

String TCommonLogic::GetRootKeyName(TRegRoot Root, TRootNameMode Mode) {
  const bool abbr = GetOption(L"AbbrBaseKeyNames").AsBoolean();
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
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return String();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
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
  std::swprintf(addr, 32, L"%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&E)));
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
      Input.ShowProgress = GetOption(L"ShowSearchProgress").AsBoolean();
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
  ended_ = std::move(running_);
  if (OnSearchFinished) OnSearchFinished();
  SetStatusText(AppText::SearchFinished);
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

bool TCommonLogic::SaveEditedValue(TRegRoot Root, const String& KeyPath, cValue& Value) {
  try {
    EditRootKey = Root;
    EditKeyPath = KeyPath;
    EditValueName = Value.GetName();
    EditValueType = Value.GetType();
    int result = 0;
    const wchar_t* status = nullptr;
    switch (Value.GetType()) {
      case cValue::cvtString:
      case cValue::cvtExpandString:
        EditString = Value.GetString();
        result = OnEditValue ? OnEditValue(Value.GetType()) : 0;
        if (result != 1) return false;
        if (Value.GetType() == cValue::cvtString) {
          Value.SetString(EditString);
          status = L"String value saved.";
        } else {
          Value.SetExpandString(EditString);
          status = L"Expand string value saved.";
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
        // Values of other types are never opened in an editor.
        if (OnShowMessage) OnShowMessage(L"Help!!!");
        return false;
    }
    try {
      Value.Update(Root, KeyPath);
    } catch (...) {
      // The object shows what the registry holds, not the data that failed.
      try {
        Value.Reload(Root, KeyPath);
      } catch (...) {
      }
      throw;
    }
    SetStatusText(status);
    return true;
  } catch (const Exception& E) {
    ShowException(E, String(AppText::SaveFailed) + KeyPath + L"\nValue name: " + EditValueName);
    return false;
  }
}

// ---------------------------------------------------------------------------
// Export and import.

bool TCommonLogic::ExportKey(TRegRoot Root, const String& KeyPath, const String& FileName, bool IncludeSubKeys) {
  try {
    iorPort.ExportRegistry(RootKeyName(Root, rnmFull, false), ApiKeyPath(KeyPath), FileName, IncludeSubKeys);
    SetStatusText(AppText::RegistryFileExported);
    return true;
  } catch (const Exception& E) {
    ShowException(E, String(AppText::ExportFailed) + FileName);
    return false;
  }
}

bool TCommonLogic::ImportFile(const String& FileName, const std::function<void()>& AfterImport) {
  lastImport_ = TRegImportResult();
  try {
    lastImport_ = iorPort.ImportRegistry(FileName, true);
  } catch (const Exception& E) {
    ShowException(E, AppText::ImportFailed);
    return false;
  }
  if (AfterImport) AfterImport();
  if (lastImport_.SkippedLines == 0) {
    SetStatusText(AppText::RegistryFileImported);
    return true;
  }
  // Lines that could not be read were left out: say so, never "imported".
  SetStatusText(L"Registry file imported with " + IntToStr(lastImport_.SkippedLines) +
                (lastImport_.SkippedLines == 1 ? L" line" : L" lines") + L" skipped (first at line " +
                IntToStr(lastImport_.FirstSkippedLine) + L").");
  return false;
}

// ---------------------------------------------------------------------------
// Bookmarks.

String TCommonLogic::GetBookmarkFileName(const String& ProgramFolder) {
  String name = GetOption(L"BookmarkFile").AsString();
  if (name.empty()) {
    name = IncludeTrailingPathDelimiter(ProgramFolder) + L"Bookmarks.ZembrioBM";
    SetOption(L"BookmarkFile", name);
  }
  if (!name.empty() && name[0] == L'"') name = name.size() >= 2 ? name.substr(1, name.size() - 2) : String();
  return name;
}

bool TCommonLogic::SaveBookmarks(const String& FileName, const std::vector<TBookmark>& Bookmarks) {
  SetStatusText(L"Saving bookmarks...");
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
