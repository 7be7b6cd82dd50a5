// The data module's services that need no window: root-key naming by the
// settings, free names, option access, the status relay, the search flow,
// value saving, export, import and the bookmark file, with the texts the
// editor shows. The data module binds the events to its windows and
// dialogs. Windows only.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "app/Bookmarks.h"
#include "app/Cvalue.h"
#include "app/IORegistry.h"
#include "app/RegStore.h"
#include "app/SearchThread.h"
#include "classlib/Events.h"

#include <windows.h>

class TRegKey;
class TRegistry;

namespace AppText {
extern const wchar_t* const SearchStarted;     // "Search started."
extern const wchar_t* const SearchAborted;     // "Search aborted."
extern const wchar_t* const SearchFinished;    // "Search finished."
extern const wchar_t* const SearchStartFailed; // "An exception occurred while attempting to start a search thead."
extern const wchar_t* const RegexErrorIntro;
extern const wchar_t* const SaveFailed;
// The status after a failed save.
extern const wchar_t* const ValueNotSaved;
extern const wchar_t* const ExportFailed;
extern const wchar_t* const ImportFailed;
extern const wchar_t* const BookmarksSaveFailed;
extern const wchar_t* const BookmarksLoadFailed;
// Status and warning texts of the main window's commands.
extern const wchar_t* const InvalidKeyName;       // "Invalid key name."
extern const wchar_t* const InvalidBookmarkName;  // "Invalid bookmark name."
extern const wchar_t* const ExportAborted;        // "Export aborted."
extern const wchar_t* const ImportAborted;        // "Import aborted." (no file chosen, or not confirmed)
extern const wchar_t* const KeyNotFound;          // "Key not found." (a key to open that is not there)
extern const wchar_t* const ImportFailedStatus;   // "Import failed." (the status after an import that raised)
extern const wchar_t* const RegistryFileExported; // "Registry file exported."
extern const wchar_t* const RegistryFileImported; // "Registry file imported."
extern const wchar_t* const ExportStopped;         // "Export stopped; no file was written."
extern const wchar_t* const NotRegistryFile;       // "Import refused: the file is not a registry file."
extern const wchar_t* const Utf8RegistryFile;      // "Import refused: the file is UTF-8 text."
extern const wchar_t* const ConfirmImportCaption;  // "Please confirm import"
extern const wchar_t* const ConfirmImportPrompt;
extern const wchar_t* const ConfirmImportQuestion;
}  // namespace AppText

// Splits a text into lines at LF, CR or CR LF.
std::vector<String> SplitDialogLines(const String& Text);

// The most lines a dialog that does not scroll shows.
constexpr size_t DialogTextLines = 60;

// A text as every dialog of the editor shows it (the error, confirmation
// and message dialogs): a line longer than a thousand characters (a
// very long name in it) keeps its beginning and its end around "…", a run
// of characters without a blank wider than RunWidth pixels in the message
// boxes' font (0: four fifths of the screen; below 0 for a dialog of a
// fixed width: kept whole) is broken over lines (the system's message box
// would grow as wide as the run), and beyond MaxLines lines (0: no bound,
// for a box that scrolls) the rest is left out, said in a last line.
// Laying out what is left takes no time worth noticing, and no dialog
// grows wider than the screen. A text within these bounds is returned
// unchanged.
String DialogText(const String& Text, int RunWidth = 0, size_t MaxLines = DialogTextLines);

class TCommonLogic {
 public:
  TCommonLogic();
  ~TCommonLogic();

  TRegStore rsOptions;
  TIORegistry iorPort;

  // --- Events bound by the data module and the main window.
  TEvent<void(const String&)> OnStatusText;
  TEvent<void(const String&)> OnShowMessage;  // the plain message box
  TEvent<void(const String&)> OnShowErrorText;  // the error dialog, text alone
  TEvent<void(const String&)> OnSearchProgress;  // the main window's SearchProgress
  TEvent<void()> OnSearchStarted;
  TEvent<void()> OnSearchFinished;
  // Receives a new hit; the receiver owns it.
  TEvent<void(TSearchHit*)> OnAddFindResult;
  // True before a batch of hits, false after it (OnAddFindResult between).
  TEvent<void(bool)> OnFindResultBatch;
  // The error dialog with the text and the exception's details.
  TEvent<void(const Exception&, const String&)> OnShowException;
  // The selected tree key for the subtree scope: false when no key node
  // (the top node "My Registry" or nothing) is selected.
  TEvent<bool(TRegRoot&, String&)> OnGetSelectedKey;
  // Shows the value editor for the type (1, 2, 3 or 4) with the Edit*
  // fields and returns its modal result (1 for OK).
  TEvent<int(unsigned char)> OnEditValue;

  // --- Root keys and names.
  String GetRootKeyName(TRegRoot Root, TRootNameMode Mode);
  static TRegRoot GetRootKeyFromName(const String& Name) { return RootKeyFromName(Name); }
  static String SplitRegistryPath(String& Text) { return ::SplitRegistryPath(Text); }
  static String GetKeyNameFromPath(const String& Path) { return ::GetKeyNameFromPath(Path); }
  // A free value name in the key the registry object has open ("New String
  // Value", "New String Value #2", ...).
  static String NewValueName(TRegistry& Reg, const String& TypeWord);
  // A free subkey name below ParentPath (from the registry object's root),
  // "New Key", "New Key #2", ...
  static String NewKeyName(TRegistry& Reg, const String& ParentPath);

  // --- Settings.
  TSettingValue GetOption(const String& Name) { return rsOptions.Get(Name); }
  void SetOption(const String& Name, const TSettingValue& V) { rsOptions.Set(Name, V); }
  // Reads every setting (or the named ones). Sizes stored on a screen of
  // other dots per inch are scaled to this screen's as they are read, so
  // the sizes in memory are always this screen's pixels.
  void ReadAllOptions() { ReadOptions(nullptr); }
  void ReadOptions(const std::vector<String>& Names) { ReadOptions(&Names); }
  // Writes every setting, and with the sizes the dots per inch they were
  // taken at.
  void WriteAllOptions();
  // The dots per inch of the screen the windows are shown on.
  int ScreenDpi() const { return screenDpi_; }

  void SetStatusText(const String& Text);
  // One string of the program file's own version resource ("FileVersion"
  // for the about box); empty when the file has none.
  static String GetVersionString(const String& Key);
  // The error text of an exception: Text, "\n\nMessage: ", the message,
  // "\nAddress: " and the code address it was raised at, in full 64-bit
  // width.
  static String ExceptionText(const Exception& E, const String& Text);
  void ShowException(const Exception& E, const String& Text);

  // --- Search.
  void StartSearch(bool Repeat, TSearchInput Input);
  void StopSearch();
  // Stops a running search and waits for its end (closing the window).
  void StopSearchAndWait();
  bool IsSearching() const { return running_ != nullptr; }
  const TSearchInput& LastSearch() const { return last_; }

  // --- Value editing (the edited-value fields and the save flow).
  TRegRoot EditRootKey = RegRoot::None;
  String EditKeyPath;
  String EditValueName;
  unsigned char EditValueType = 0;
  String EditString;
  int32_t EditInteger = 0;
  std::string EditBinary;
  // Edits the value in the editor of its type and saves it when accepted.
  // Returns true when it was saved. A failed save shows the error and puts
  // the registry's data back into the value object.
  bool SaveEditedValue(TRegRoot Root, const String& KeyPath, cValue& Value);

  // --- Export and import, with their status texts and failure reports.
  // Both run on a worker thread while the calling thread goes on handling
  // its messages, with their progress in the status text; StopLongWork (the
  // Stop button, Escape) stops them. Return false (after the error dialog)
  // on failure, and when stopped. An export that left keys or values out
  // for their names, left out keys the system would not let be read, or
  // wrote text that will read back with a NUL added, is done: its status
  // says how many and a plain message names them.
  bool ExportKey(TRegRoot Root, const String& KeyPath, const String& FileName, bool IncludeSubKeys = true);
  // Imports the file; AfterImport (the tree's refresh) runs after the
  // import wrote anything (also when stopped), before the status text.
  bool ImportFile(const String& FileName, const std::function<void()>& AfterImport = {});
  const TRegImportResult& LastImport() const { return lastImport_; }
  // Deletes a key with its branch (RegEdits::DeleteKey) on a worker thread
  // while the calling thread goes on painting, the status showing the share
  // done ("Deleting key... 40%"). Input waits meanwhile and the deletion
  // can't be stopped. Raises what the deletion raised.
  void DeleteKeyBranch(TRegRoot Root, const String& Path);
  // Called on the worker as each branch below the deleted key goes.
  TEvent<void(size_t Done, size_t Total)> OnDeleteProgress;
  // Renames a key (RegEdits::RenameKey: its branch copied, then the old one
  // deleted) the same way, the status showing "Renaming key..." and the
  // share done; OnRenameProgress is called on the worker at each step.
  void RenameKeyBranch(TRegRoot Root, const String& OldPath, const String& NewPath);
  TEvent<void(size_t Done, size_t Total)> OnRenameProgress;
  // Stops the export or import under way (nothing when none runs, nor
  // during a deletion).
  void StopLongWork();
  bool IsWorking() const { return working_; }
  // True while what is said comes from elsewhere than the command under
  // way: the messages the long work's wait hands on, a search's end (which
  // may come in any message loop, a message box's too).
  bool OutsideTexts() const { return outsideTexts_ > 0; }
  // While an export or import runs: whether a message that arrives may be
  // handled (false drops it; the window's input, so that nothing else
  // starts meanwhile) ...
  TEvent<bool(MSG&)> OnLongWorkMessage;
  // ... and when it starts (true) and ends (false).
  TEvent<void(bool)> OnLongWorkState;

  // --- Bookmark file.
  // The file name by the BookmarkFile setting (BookmarkFileFromSetting):
  // empty means ProgramFolder + "Bookmarks.ZembrioBM" (stored back into the
  // setting).
  String GetBookmarkFileName(const String& ProgramFolder);
  bool SaveBookmarks(const String& FileName, const std::vector<TBookmark>& Bookmarks);
  // Appends the file's bookmarks; false when it failed (the bookmarks read
  // before the failure are appended all the same). A missing file is no
  // failure and adds nothing.
  bool LoadBookmarks(const String& FileName, std::vector<TBookmark>& Out);

 private:
  // Status and plain message of an export that wrote its file without all
  // of the branch (Notes: what it lacks).
  void ReportPartialExport(const String& FileName, const TRegExportResult& Result, const String& Notes);

  // Reads the named settings (all with null), then scales the sizes read
  // from the registry from the dots per inch stored with them to the
  // screen's.
  void ReadOptions(const std::vector<String>* Names);
  // The dots per inch the stored sizes were taken at (96 when none is
  // stored, or what is stored is no number of dots per inch).
  int StoredSizesDpi();

  int screenDpi_ = 96;
  void SearchFinishedReport();
  void SearchResult(const TSearchHit& Hit);
  void RegexError(const String& Message);

  // Runs Work on a worker thread and handles this thread's messages until
  // it ends; Work's exception is raised here. Doing is the status text's
  // start ("Exporting registry file"). Work that can't be stopped shows no
  // Stop button and ignores Escape.
  void RunLongWork(const String& Doing, const std::function<void()>& Work, bool Stoppable = true);
  void WorkProgress(TObject*, uint32_t Progress, uint32_t Level, uint32_t Max, uint32_t MaxLevel);

  TSearchInput last_;
  std::atomic<bool> working_{false};
  bool stoppable_ = false;
  int outsideTexts_ = 0;
  std::atomic<uint64_t> progress_{0};  // per mille of the work done, 0 to 1000
  static constexpr uint32_t kLevels = 8;
  std::atomic<uint64_t> levelShare_[kLevels] = {};  // per mille done at each progress level
  std::unique_ptr<TthrdRegSearch> running_;
  std::unique_ptr<TthrdRegSearch> ended_;
  TRegImportResult lastImport_;
};
