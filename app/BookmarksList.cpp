// The bookmarks list and its file.
#include "app/Main.h"

namespace {

// Whether the file can be opened for reading now.
bool FileReadable(const String& FileName) {
  HANDLE h = CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

// Why a bookmark file that isn't there can't be read (nor written) either:
// its name is a folder's, or its folder is missing. Empty for a file not
// written yet.
String MissingFileReason(const String& FileName) {
  const String file = ExpandFileName(FileName);
  if (DirectoryExists(file)) return L"its name is that of a folder";
  if (!DirectoryExists(ExtractFileDir(file))) return L"its folder does not exist";
  return String();
}

// A key whose name holds a line break can't be bookmarked: the file keeps
// a path on one line, and another path would reopen another key.
bool RefusedBookmark(const String& Path) {
  if (BookmarkPathStorable(Path)) return false;
  dmodCommon->SetStatusText(L"Bookmark not added.");
  dmodCommon->ShowMessageText(L"This key can't be bookmarked: its name holds a line break, which the bookmark "
                              L"file can't keep.\n\nKey: " +
                              Path);
  return true;
}

}  // namespace

const wchar_t* const TfrmMain::UnsavedBookmarksQuestion =
    L"Do you wish to save the bookmarks in another file?\n\nNo closes without saving them: the bookmarks added "
    L"or renamed since the program started are lost.";

String TfrmMain::GetBookmarkFileName(bool UseDefault) {
  if (!UseDefault) return BookmarkFileFromSetting(dmodCommon->OptionString(SettingName::BookmarkFile));
  return dmodCommon->Logic.GetBookmarkFileName(ExtractFilePath(ParamStr(0)));
}

TListItem* TfrmMain::AddBookmarkItem(const String& Description, TRegRoot Root, const String& Path,
                                     const String& RootText) {
  auto* b = new TBookmark{Description, Root, Path, RootText};
  b->RootText = BookmarkRootLine(*b) == RootText ? RootText : String();
  TListItem* item = lvBookmarks->Items()->Add();
  item->SetData(b);
  item->SetCaption(Description);
  item->SubItems()->Add(Root == RegRoot::None ? b->RootText : dmodCommon->GetRootKeyName(Root, rnmByOption));
  item->SubItems()->Add(Path);
  item->SetImageIndex(3);
  return item;
}

void TfrmMain::AddBookmark(TTreeExNode* Node) {
  const String path = dmodCommon->GetNodeKeyPath(Node);
  if (RefusedBookmark(path)) return;
  pagExtras->SetActivePage(tbsBookmarks);
  TListItem* item = AddBookmarkItem(Node->GetText(), dmodCommon->GetNodeRootKey(Node), path);
  lvBookmarks->SetSelected(item);
  if (lvBookmarks->CanFocus()) lvBookmarks->SetFocus();
  item->EditCaption();
  dmodCommon->SetStatusText(L"New bookmark added: " + Node->GetText());
}

void TfrmMain::pmnuFind_BookmarkClick(TObject*) {
  TListItem* sel = lvFindResults->GetSelected();
  auto* hit = ItemHit(sel);
  if (!hit) return;
  // The tree's form of the path: no trailing backslash.
  String path = hit->Path;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  if (RefusedBookmark(path)) return;
  pagExtras->SetActivePage(tbsBookmarks);
  // A root key's result names no key below it: the root key's name
  // describes it, as it does a bookmark made on the root key in the tree.
  String description = dmodCommon->GetKeyNameFromPath(hit->Path);
  if (description.empty()) description = dmodCommon->GetRootKeyName(hit->RootKey, rnmByOption);
  TListItem* item = AddBookmarkItem(description, hit->RootKey, path);
  lvBookmarks->SetSelected(item);
  if (lvBookmarks->CanFocus()) lvBookmarks->SetFocus();
  item->EditCaption();
  // No text of its own: whatever an earlier command reported is not this
  // one's (a failure before it would read as this bookmark's).
  dmodCommon->SetStatusText(String());
}

void TfrmMain::lvBookmarksEditing(TObject*, TListItem*, bool& AllowEdit) {
  // A rename is a command of its own: an earlier rename's success does not
  // stand for one ended with the name unchanged, or with Escape. (A new
  // bookmark's edit starts before its adding is reported.)
  if (AllowEdit) dmodCommon->SetStatusText(String());
}

void TfrmMain::lvBookmarksEdited(TObject*, TListItem* Item, String& S) {
  auto* b = ItemBookmark(Item);
  if (S.empty()) {
    dmodCommon->SetStatusText(L"Bookmark not renamed.");
    dmodCommon->ShowMessageText(AppText::InvalidBookmarkName);
    S = Item->GetCaption();
    return;
  }
  // The name as it was renames nothing (Enter on a new bookmark's name
  // keeps "New bookmark added: ...", which came after the edit started).
  if (S == Item->GetCaption()) return;
  if (b) b->Description = S;
  dmodCommon->SetStatusText(L"Bookmark renamed.");
}

void TfrmMain::lvBookmarksDeletion(TObject*, TListItem* Item) {
  ListItemGone(Item);
  delete ItemBookmark(Item);
  Item->SetData(nullptr);
}

void TfrmMain::OpenBookmark() {
  TListItem* sel = lvBookmarks->GetSelected();
  auto* b = ItemBookmark(sel);
  if (!b) return;
  const TKeyStatus about(this);
  // Nothing of an earlier command stands for this one; what the opening
  // reports (a key gone, values that can't be read) stays.
  dmodCommon->SetStatusText(String());
  if (b->RootKey == RegRoot::None) {
    // A root line that names no root key names no key: said as Go to path
    // says it (the tree would take it for a root key it lost).
    dmodCommon->SetStatusText(AppText::KeyNotFound);
    dmodCommon->ShowMessageText(L"The requested key does not exist:\n\n" + b->RootText + b->KeyPath);
    return;
  }
  bool reached = false;
  ExpandToBranch(b->RootKey, b->KeyPath, true, &reached);
  if (!reached) dmodCommon->SetStatusText(AppText::KeyNotFound);
}

void TfrmMain::lvBookmarksDblClick(TObject*) { OpenBookmark(); }

void TfrmMain::lvBookmarksKeyDown(TObject*, WORD& Key, TShiftState) {
  if (lvBookmarks->IsEditing()) return;
  if (Key == VK_DELETE)
    DeleteSelected(lvBookmarks);
  else if (Key == VK_RETURN)
    OpenBookmark();
}

void TfrmMain::SaveBookmarks(const String& FileName) {
  // The file as it is now, when it can be read.
  const bool exists = FileExists(FileName);
  std::string stored;
  bool read = false;
  if (exists) {
    try {
      stored = ReadFileBytes(FileName);
      read = true;
    } catch (const Exception&) {
    }
  }
  std::vector<TBookmark> list;
  if (read && !unreadBookmarkFile_.empty() && AnsiSameText(unreadBookmarkFile_, FileName)) {
    // The file could not be read at start: its bookmarks come first, as a
    // load would have put them (a last bookmark short of lines is lost, as
    // a load loses it).
    try {
      DecodeBookmarks(stored, list);
    } catch (const EBookmarkFileError&) {
    }
  }
  for (int i = 0; i < lvBookmarks->Items()->GetCount(); ++i)
    if (auto* b = ItemBookmark(lvBookmarks->Items()->GetItem(i))) list.push_back(*b);
  // A file that can't be read now is never replaced: the list may lack
  // its bookmarks. One never read, with nothing added, lost nothing.
  const bool keepFile = exists && !read;
  if (keepFile && list.empty() && AnsiSameText(unreadBookmarkFile_, FileName)) return;
  // No bookmarks, and no place for a file (said at start): nothing is lost.
  if (list.empty() && !exists && !MissingFileReason(FileName).empty()) return;
  // A file that holds exactly what would be written is left as it is.
  if (read && stored == EncodeBookmarks(list)) {
    unreadBookmarkFile_.clear();
    return;
  }
  // Bookmarks that can't be written where the file is named go unsaved
  // only when the user says so.
  String file = FileName;
  for (;;) {
    if (keepFile && AnsiSameText(ExpandFileName(file), ExpandFileName(FileName))) {
      dmodCommon->ShowMessageText(L"The bookmarks can't be saved in the bookmark file: it can't be read, and "
                                  L"replacing it could lose the bookmarks it holds.  The file is left as it is."
                                  L"\n\nBookmark file: " +
                                  FileName);
      if (!OtherBookmarkFile(file)) break;
      continue;
    }
    if (!PlaceForBookmarks(file)) break;
    if (dmodCommon->Logic.SaveBookmarks(file, list)) {
      unreadBookmarkFile_.clear();
      SetStatusText(L"Bookmarks saved.");
      return;
    }
    // Not written (a read-only file, say; the error dialog said why).
    if (!OtherBookmarkFile(file)) break;
  }
  SetStatusText(L"Bookmarks not saved.");
}

bool TfrmMain::PlaceForBookmarks(String& FileName) {
  for (;;) {
    const String folder = ExtractFileDir(ExpandFileName(FileName));
    if (folder.empty() || DirectoryExists(folder)) return true;
    if (dmodCommon->AskYesNo(L"The bookmarks can't be saved: the folder of the bookmark file does not exist:\n\n" +
                             folder + L"\n\nDo you wish to create it?")) {
      SetLastError(0);
      if (ForceDirectories(folder)) return true;
      const DWORD err = GetLastError();
      dmodCommon->ShowMessageText(L"The folder of the bookmark file could not be created:\n\n" + folder +
                                  (err ? L"\n\n" + Trim(SysErrorMessage(err)) : String()));
    }
    if (!OtherBookmarkFile(FileName)) return false;
  }
}

bool TfrmMain::OtherBookmarkFile(String& FileName) {
  if (!dmodCommon->AskYesNo(UnsavedBookmarksQuestion)) return false;
  TPlacesSaveDialog* dialog = dmodCommon->sdlgBookmarks;
  dialog->SetFileName(ExtractFileName(FileName));
  // A cancelled dialog leaves the name: the bookmarks are tried there again,
  // and the question comes back.
  if (dialog->Execute()) {
    FileName = dialog->GetFileName();
    // Kept: the settings are written after the bookmarks at close.
    dmodCommon->SetOption(SettingName::BookmarkFile, FileName);
  }
  return true;
}

void TfrmMain::LoadBookmarks(const String& FileName, bool ClearFirst) {
  // A missing file is no failure: the list stays as it is.
  bool exists = FileExists(FileName);
  std::vector<TBookmark> list;
  const bool loaded = dmodCommon->Logic.LoadBookmarks(FileName, list);
  if (AnsiSameText(unreadBookmarkFile_, FileName)) unreadBookmarkFile_.clear();
  if (!exists) {
    // A file not written yet is no failure; one that can't be there is.
    const String why = MissingFileReason(FileName);
    if (!why.empty())
      dmodCommon->ShowMessageText(L"The bookmark file can't be read: " + why + L".\n\nBookmark file: " + FileName +
                                  L"\n\nCheck the bookmark file location setting in the Zembrio preferences.");
    return;
  }
  if (!loaded && list.empty() && !FileReadable(FileName)) unreadBookmarkFile_ = FileName;
  lvBookmarks->Items()->BeginUpdate();
  if (ClearFirst) lvBookmarks->Items()->Clear();
  for (const TBookmark& b : list) AddBookmarkItem(b.Description, b.RootKey, b.KeyPath, b.RootText);
  lvBookmarks->Items()->EndUpdate();
}

void TfrmMain::ClearBookmarks() {
  lvBookmarks->Items()->BeginUpdate();
  lvBookmarks->Items()->Clear();
  lvBookmarks->Items()->EndUpdate();
}
