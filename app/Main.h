// The main window: the registry tree beside the values list, the bookmarks
// and find-results pages below, five toolbars on the top dock, four pop-up
// menus and the status bar through which every operation reports.
#pragma once

#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/dmodCommonU.h"
#include "app/FormBuild.h"
#include "app/ListViewQ.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/skin/SkinSwitcher.h"
#include "toolbars/skin/SkinWindows.h"

class TThemeManager;

class TRegistry;
struct TFindDeleteRun;
struct TListDeleteRun;
enum class TNewValueKind : unsigned char;

// How long work (an export, an import, a delete of many rows) takes the
// input that comes while it runs.
enum class TStopInput { Drop, Stop, ToButton };
TStopInput StopButtonInput(const MSG& M, HWND Stop);

class TfrmMain : public TForm {
 public:
  explicit TfrmMain(TComponent* AOwner);
  ~TfrmMain() override;
  const char* ClassName() const override { return "TfrmMain"; }
  void WndProc(TMessage& Message) override;
  void AlignControls(TControl* aControl, TRect& r) override;
  void CreateWnd() override;

  // Where the window keeps its toolbar positions and list layouts (the
  // settings store's base key; tests point both at a key of their own).
  String SettingsKey;

  // --- Controls.
  TBarDock* tbdTop = nullptr;
  TThemeManager* tmThemes = nullptr;
  TSkinSwitcher* skinSwitcher = nullptr;
  TSkinToolbar* tbrMainMenu;
  TSkinToolbar* tbrFile;
  TSkinToolbar* tbrEdit;
  TSkinToolbar* tbrView;
  TSkinToolbar* tbrNavigation;
  TPanel* panelTop;
  TTreeEx* treeRegTree;
  TSplitter* spltVertical;
  TListViewQ* lvKeyValues;
  TSplitter* spltHorizontal = nullptr;
  TPageControl* pagExtras = nullptr;
  TTabSheet* tbsBookmarks;
  TTabSheet* tbsFindResults;
  TListViewQ* lvBookmarks;
  TListViewQ* lvFindResults;
  TPanel* panelSearching;
  TLabel* lblFindStats;
  TButton* btnFindStop;
  TStatusBar* sbStatus = nullptr;
  TButton* btnStop;  // on the status bar while an export or import runs
  TSkinPopupMenu* pmnuTree;
  TSkinPopupMenu* pmnuValues;
  TSkinPopupMenu* pmnuBookmarks;
  TSkinPopupMenu* pmnuFind;

  // --- Menu and toolbar items.
  TSkinSubmenuItem* mnuFile;
  TSkinItem *mnuFile_Import, *mnuFile_Export, *mnuFile_Preferences, *mnuFile_Exit;
  TSkinSubmenuItem* mnuEdit;
  TSkinSubmenuItem* mnuEdit_New;
  TSkinItem *mnuEdit_New_Key, *mnuEdit_New_String, *mnuEdit_New_Binary, *mnuEdit_New_Dword, *mnuEdit_New_ExpString;
  TSkinItem *mnuEdit_Rename, *mnuEdit_Delete, *mnuEdit_CopyKey, *mnuEdit_CopyValue, *mnuEdit_Find, *mnuEdit_RepeatFind;
  TSkinSubmenuItem* mnuView;
  TBarGroupItem* mnuView_ListViewStyle;
  TSkinItem *mnuView_LVS_LargeIcons, *mnuView_LVS_SmallIcons, *mnuView_LVS_List, *mnuView_LVS_Details;
  TSkinSubmenuItem* mnuView_Toolbars;
  TSkinItem *mnuView_TB_Menu, *mnuView_TB_File, *mnuView_TB_Edit, *mnuView_TB_View, *mnuView_TB_Navigation;
  TSkinItem* mnuView_Refresh;
  TSkinSubmenuItem* mnuNavigation;
  TSkinItem *mnuNavigation_Bookmark, *mnuNavigation_Expand, *mnuNavigation_Collapse, *mnuNavigation_Goto;
  TSkinSubmenuItem* mnuHelp;
  TSkinItem *mnuHelp_Contents, *mnuHelp_Contact, *mnuHelp_About;
  TSkinSubmenuItem* tbtnView_ListStyle;
  TSkinSubmenuItem* tbtnView_Toolbars;
  TSkinItem* tbtnRefresh;
  TSkinItem* tbtnNavigation_Bookmark;
  TBarEditItem* txtPath;
  TSkinItem* tbtnNavigation_Go;
  TSkinItem *pmnuTree_Bookmark, *pmnuTree_CopyKey, *pmnuTree_Rename, *pmnuTree_Delete, *pmnuTree_Find,
      *pmnuTree_Export, *pmnuTree_Expand, *pmnuTree_Collapse, *pmnuTree_Refresh;
  TSkinSubmenuItem* pmnuTree_New;
  TSkinItem *pmnuValues_EditValue, *pmnuValues_CopyValue, *pmnuValues_Rename, *pmnuValues_Delete, *pmnuValues_Find,
      *pmnuValues_Refresh;
  TSkinSubmenuItem *pmnuValues_New, *pmnuValues_ListStyle;
  TSkinItem *pmnuBookmarks_Open, *pmnuBookmarks_CopyKey, *pmnuBookmarks_Rename, *pmnuBookmarks_Delete,
      *pmnuBookmarks_Refresh;
  TSkinSubmenuItem* pmnuBookmarks_ListStyle;
  TSkinItem *pmnuFind_Open, *pmnuFind_Bookmark, *pmnuFind_CopyKey, *pmnuFind_Delete, *pmnuFind_Find,
      *pmnuFind_RepeatFind;
  TSkinSubmenuItem* pmnuFind_ListStyle;

  // --- Window life cycle and options.
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void SetStatusText(const String& Text);
  String GetStatusText();
  // While one lives, the status texts given speak of the key selected in
  // the tree (of it, or of a value in it): the listing of another key's
  // values takes such a text away. Texts given outside one (a search's, an
  // export's or import's, the bookmarks' and find results') stay until the
  // next text.
  // Only the scope's own texts are so: not those given by what a dialog's
  // loop, or a long work's wait, handles meanwhile (a search that ends
  // while a value is edited).
  class TKeyStatus {
   public:
    explicit TKeyStatus(TfrmMain* Window);
    ~TKeyStatus();
    TKeyStatus(const TKeyStatus&) = delete;
    TKeyStatus& operator=(const TKeyStatus&) = delete;

   private:
    TfrmMain* window_;
    int outerModalLevel_;
  };
  void InitListViews();
  void LoadOptions(bool ApplyGeometry);
  void SaveOptions();

  // --- Export and import under way: the Stop button shows, Escape and the
  // button stop the work, and no other input reaches the window meanwhile.
  void LongWorkState(bool Running);
  bool LongWorkMessage(MSG& M);
  void btnStopClick(TObject*);

  // --- Search callbacks.
  void SearchStarted();
  void AddFindResult(TSearchHit* Hit);
  // Around a batch of AddFindResult calls: the list is drawn once for all.
  void FindResultBatch(bool Begin);
  void SearchProgress(const String& KeyPath);
  void SearchFinished();

  // --- Key tree.
  void InitRegTree();
  void AddRootKeys(TTreeExNode* Top);
  TTreeExNode* AddKeyNode(TTreeExNode* Parent, const String& Text, bool HasChildren, const String& Path,
                          TRegRoot Root);
  // False (said in the status bar) when the subkeys can't be listed.
  bool AddSubKeys(TTreeExNode* Node, TRegistry& Reg);
  TTreeExNode* GetSelectedNode();
  // The selected node when it is a key; else (the top node "My Registry",
  // which is no key) none, and the status says that no key is selected.
  // An edit of a key's name under way ends first (EndKeyEdit).
  TTreeExNode* SelectedKeyNode();
  // Ends an edit of a key's name under way as leaving its box ends it, the
  // name typed taken: a command on the tree then finds the key by the name
  // it has. (A command's question or list takes the focus, which ends the
  // edit anyway, behind the command's back.)
  void EndKeyEdit();
  // Opens the tree along the path and selects the deepest key reached;
  // Reached tells whether that is the key the path names. The tree takes
  // the keyboard, except after a reported failure: the keyboard then stays
  // where the user was (a list whose stale entry the next Delete is for).
  TTreeExNode* ExpandToBranch(TRegRoot Root, const String& Path, bool Report, bool* Reached = nullptr);
  // Scrolls the tree to the node (MakeVisible), keeping its left edge in
  // sight when the node's name starts inside the pane.
  void ShowNode(TTreeExNode* Node);
  TTreeExNode* FindChild(TTreeExNode* Parent, const String& Text);
  void NewKey();
  bool RenameKey(TTreeExNode* Node, const String& NewPath);
  void RefreshTree();
  void UpdatePathText(TTreeExNode* Node);
  bool ExpansionGuard = false;
  // True while ExpandToBranch itself expands a node on its way: a link back
  // to a key above is opened then (the walk is as long as the path given),
  // where the user's own expansion leaves it closed.
  bool PathWalkExpanding = false;
  // True while the window itself starts the edit of a key's name (a new
  // key, the Rename command); any other start needs the tree focused.
  bool KeyEditRequested = false;
  // Counts the selection changes that listed the selected key's values.
  unsigned SelectionListings = 0;

  // --- Values list.
  // Test seam: called on the thread that reads the values of a key of many
  // values (read apart from the window's thread), before it reads them.
  static std::function<void()> ReadingValuesHook;
  void LoadValues(TTreeExNode* Node);
  // The last listing of a key's values (LoadValues) could not read them:
  // the list is empty and the status says that the key can't be read.
  bool ValuesUnread = false;
  // False (the list emptied) when the key's values can't be listed.
  bool ListValues(TRegistry& Reg);
  void FillValueItem(TRegistry& Reg, TListItem* Item, const String& ValueName);
  void NewStringValue(TRegRoot Root, const String& KeyPath);
  void NewExpandStringValue(TRegRoot Root, const String& KeyPath);
  void NewBinaryValue(TRegRoot Root, const String& KeyPath);
  void NewIntegerValue(TRegRoot Root, const String& KeyPath);
  void SetListViewStyle(TListViewQ* List, TViewStyle Style);
  void EditSelectedValue();
  // The values chosen in the values list, by name, and the one the keyboard
  // is on: chosen again after the key is listed anew (a refresh).
  struct TValuesChoice {
    std::vector<String> Selected;
    bool HasFocused = false;
    String Focused;
  };
  TValuesChoice ChosenValues();
  void ChooseValues(const TValuesChoice& Choice);
  // Puts the keyboard on the item: the arrow keys and Shift go on from it.
  void FocusValueItem(TListItem* Item);

  // --- Bookmarks.
  String GetBookmarkFileName(bool UseDefault = true);
  // RootText: the bookmark file's root line for a root key it does not
  // know (Root None), shown and written back as it was read.
  TListItem* AddBookmarkItem(const String& Description, TRegRoot Root, const String& Path,
                             const String& RootText = String());
  void AddBookmark(TTreeExNode* Node);
  void OpenBookmark();
  // At close: a bookmark file whose folder is gone is first offered a
  // folder made again, or another file (UnsavedBookmarksQuestion), as is
  // one that can't be written.
  void SaveBookmarks(const String& FileName);
  static const wchar_t* const UnsavedBookmarksQuestion;
  void LoadBookmarks(const String& FileName, bool ClearFirst);
  void ClearBookmarks();

  // --- Deleting and find results.
  // Deletes what is selected in the control (the tree, or one of the three
  // lists), after confirmation.
  void DeleteSelected(TWinControl* Control);
  void DeleteKey(TTreeExNode* Node);
  // Each returns true when the item was deleted (and removed).
  bool DeleteValue(TListItem* Item);
  bool DeleteBookmark(TListItem* Item);
  bool DeleteFindResult(TListItem* Item);
  String GetFindResultText(TListItem* Item);
  void OpenListItem();
  // Selects the value of that name in the values list; false when it is
  // not listed.
  bool SelectValue(const String& ValueName);

  // --- Commands.
  void mnuFile_ImportClick(TObject*);
  void mnuFile_ExportClick(TObject*);
  void mnuFile_PreferencesClick(TObject*);
  void mnuFile_ExitClick(TObject*);
  void mnuEdit_New_KeyClick(TObject*);
  void mnuEdit_New_StringClick(TObject*);
  void mnuEdit_New_BinaryClick(TObject*);
  void mnuEdit_New_DwordClick(TObject*);
  void mnuEdit_New_ExpStringClick(TObject*);
  void mnuEdit_RenameClick(TObject*);
  void mnuEdit_DeleteClick(TObject*);
  void mnuEdit_CopyKeyClick(TObject*);
  void mnuEdit_CopyValueClick(TObject*);
  void mnuEdit_FindClick(TObject*);
  void mnuEdit_RepeatFindClick(TObject*);
  void mnuView_LVS_LargeIconsClick(TObject*);
  void mnuView_LVS_SmallIconsClick(TObject*);
  void mnuView_LVS_ListClick(TObject*);
  void mnuView_LVS_DetailsClick(TObject*);
  void mnuView_TB_MenuClick(TObject*);
  void mnuView_TB_FileClick(TObject*);
  void mnuView_TB_EditClick(TObject*);
  void mnuView_TB_ViewClick(TObject*);
  void mnuView_TB_NavigationClick(TObject*);
  void mnuView_RefreshClick(TObject*);
  void mnuNavigation_BookmarkClick(TObject*);
  void mnuNavigation_ExpandClick(TObject*);
  void mnuNavigation_CollapseClick(TObject*);
  void mnuNavigation_GotoClick(TObject*);
  void tbtnNavigation_GoClick(TObject*);
  // Enter in the address box opens the typed path, as Go does.
  void txtPathAcceptText(TObject* Sender, String& NewText, bool& Accept);
  void mnuHelp_ContentsClick(TObject*);
  void mnuHelp_ContactClick(TObject*);
  void mnuHelp_AboutClick(TObject*);
  void pmnuValues_EditValueClick(TObject*);
  void pmnuBookmarks_OpenClick(TObject*);
  void pmnuFind_BookmarkClick(TObject*);
  void pmnuFind_OpenClick(TObject*);
  void pmnuTree_DeleteClick(TObject*);
  void tbtnListViewStyleClick(TObject*);
  // Kept with the class, bound to no control: the same as Rename, Bookmark
  // and the View menu's list styles.
  void tbtnRenameClick(TObject*);
  void pmnuTree_RenameClick(TObject*);
  void pmnuTree_BookmarkClick(TObject*);
  void pmnuLVS_LargeIconsClick(TObject*);
  void pmnuLVS_SmallIconsClick(TObject*);
  void pmnuLVS_ListClick(TObject*);
  void pmnuLVS_DetailsClick(TObject*);
  void btnFindStopClick(TObject*);
  // Opens a typed "ROOT\path" (full or short root name) in the tree.
  void GoToPath(const String& Text);
  // The name of the active control ("treeRegTree", "lvKeyValues", ...).
  String ActiveControlName();
  // Puts Text() on the clipboard with the status Done; when that raises,
  // the status is Failed and the exception goes on.
  void CopyText(const std::function<String()>& Text, const wchar_t* Done, const wchar_t* Failed);

  // --- Events of the tree and the lists.
  void treeRegTreeExpanding(TObject*, TTreeExNode* Node, bool& AllowExpansion);
  void treeRegTreeCollapsed(TObject*, TTreeExNode* Node);
  void treeRegTreeChange(TObject*, TTreeExNode* Node);
  void treeRegTreeDeletion(TObject*, TTreeExNode* Node);
  void treeRegTreeEditing(TObject*, TTreeExNode* Node, bool& AllowEdit);
  void treeRegTreeEdited(TObject*, TTreeExNode* Node, String& S);
  void treeRegTreeMouseUp(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y);
  void treeRegTreeKeyDown(TObject*, WORD& Key, TShiftState Shift);
  void treeRegTreeContextPopup(TObject*, TPoint MousePos, bool& Handled);
  void lvKeyValuesEditing(TObject*, TListItem* Item, bool& AllowEdit);
  void lvKeyValuesEdited(TObject*, TListItem* Item, String& S);
  void lvKeyValuesDeletion(TObject*, TListItem* Item);
  void lvKeyValuesKeyDown(TObject*, WORD& Key, TShiftState Shift);
  void lvKeyValuesDblClick(TObject*);
  void lvBookmarksDblClick(TObject*);
  void lvBookmarksDeletion(TObject*, TListItem* Item);
  void lvBookmarksEditing(TObject*, TListItem* Item, bool& AllowEdit);
  void lvBookmarksEdited(TObject*, TListItem* Item, String& S);
  void lvBookmarksKeyDown(TObject*, WORD& Key, TShiftState Shift);
  void lvFindResultsDblClick(TObject*);
  void lvFindResultsDeletion(TObject*, TListItem* Item);
  void lvFindResultsKeyDown(TObject*, WORD& Key, TShiftState Shift);
  // Focus on a list enables the view-style commands; leaving it disables them.
  void lvKeyValuesEnter(TObject* Sender);
  void lvKeyValuesExit(TObject* Sender);
  void lvBookmarksEnter(TObject* Sender);
  void lvBookmarksExit(TObject* Sender);
  void lvFindResultsEnter(TObject* Sender);
  void lvFindResultsExit(TObject* Sender);
  void ListEnter(TObject* Sender);
  void ListExit(TObject* Sender);
  // A toolbar shown or hidden (also by its own close button) sets its check mark.
  void tbrMainMenuVisibleChanged(TObject* Sender);
  void tbrFileVisibleChanged(TObject* Sender);
  void tbrEditVisibleChanged(TObject* Sender);
  void tbrViewVisibleChanged(TObject* Sender);
  void tbrNavigationVisibleChanged(TObject* Sender);
  void ToolbarVisibleChanged(TObject* Sender);
  // The Navigation toolbar was given another length by its dock.
  void tbrNavigationResize(TObject* Sender);

 private:
  HICON smallIcon_ = nullptr;  // the program's 16-pixel icon (title bar, taskbar); shared
  // The key and values panes' least height; the toolbars, the status bar,
  // the splitter and that height together.
  static constexpr int kUpperPaneMinHeight = 30;
  int FixedPanesHeight();
  void CreateControls();
  void CreateMenus();
  void CreatePopups();
  void SetFindItemsEnabled(bool Enabled);
  // The window's font by the settings (the system's icon font, or the
  // stored name, size and styles), and the tree's rows fitted to it.
  void ApplyFontOptions();
  // The tree's row height for the screen's dots per inch and the font.
  void FitTreeRows();
  // The three lists' styles and images, and with WithColumns their columns,
  // sorting, pop-up menus, layout keys and events (InitListViews).
  void SetUpLists(bool WithColumns);
  // The stored window size, tree width and top/bottom split.
  void ApplySizeOptions();
  // The stored top/bottom split, for the window's present size.
  void ApplySplitOption();
  // Keeps the values list and the splitter beside the tree in the window.
  void KeepTreeInPane();
  // Before Going is hidden or disabled: when it or a control inside it has
  // the keyboard (or gets it back when the window is activated again), the
  // keyboard goes to To, or to the key tree where To can't take it; a
  // window whose focused control went would take no keys at all.
  void MoveFocusFrom(TWinControl* Going, TWinControl* To);
  // The window that had the keyboard when the export or import started
  // (the keyboard goes back to it from the Stop button).
  HWND workFocus_ = nullptr;
  // The stored window place and size, tree width and upper pane height,
  // and what the window showed of them at start-up (fitted to the screen
  // and the panes): unchanged, they are stored as they were asked for.
  TKeptSize keptTop_, keptLeft_, keptWidth_, keptHeight_, keptTreeWidth_, keptTopHeight_;
  // A floating toolbar that the start brought wholly onto the work area:
  // its stored place and where it came up. Left there, it is stored where
  // it was stored.
  struct TKeptFloatingPlace {
    TSkinToolbar* Bar;  // one of the window's toolbars
    POINT Asked, Shown;
  };
  std::vector<TKeptFloatingPlace> keptFloatingPlaces_;
  void NewValue(TNewValueKind Kind, TRegRoot Root, const String& KeyPath);
  // Taken, when given, drops an item whose target an earlier deletion of
  // the same command took (true: it counts as deleted) before it is asked
  // about.
  // Status follows a delete of many rows with their count; Aborted is the
  // status of one row refused (or gone from the list while asked about);
  // Doing names the work in the progress shown past "Yes to All".
  void DeleteListItems(TListViewQ* List, const String& Kind, const String& Status, const String& Doing,
                       const String& Aborted,
                       bool (TfrmMain::*Delete)(TListItem*), String (TfrmMain::*Text)(TListItem*),
                       bool (TfrmMain::*Taken)(TListItem*) = nullptr);
  // A find result whose key or value is gone leaves the list; true when
  // the command deleting it took it before.
  bool DropGoneFindResult(TListItem* Item, const String& Message);
  bool DropTakenFindResult(TListItem* Item);
  // What the delete command of find results under way has taken and found
  // gone (MainDelete.cpp); none outside one.
  TFindDeleteRun* findDeleteRun_ = nullptr;
  // The delete command of many rows of a list under way; none outside one.
  TListDeleteRun* listDeleteRun_ = nullptr;
  // Stops the delete of many rows under way past "Yes to All" before its
  // next row (the Stop button, Escape).
  void StopListDelete();
  // Takes a deleted row out of its list: past "Yes to All" of a delete of
  // many rows, with the others at the end of the command.
  void RemoveListItem(TListItem* Item);
  // Told by the lists' deletion handlers of each row that leaves: a delete
  // command under way passes it over.
  void ListItemGone(TListItem* Item);
  // The rows that left a list while a delete command went through the rows
  // chosen in it; none outside one.
  std::unordered_set<TListItem*>* listItemsGone_ = nullptr;
  // The nodes the tree has read of a key that went leave the tree: below
  // its own root key, and below every other root key that shows the same
  // key (the system knows it by Identity, RegKeyIdentity): HKEY_CURRENT_USER
  // and HKEY_USERS\<SID>, HKEY_CLASSES_ROOT and
  // HKEY_LOCAL_MACHINE\Software\Classes. Except and the nodes on the way to
  // the selected key stay (whoever took the key re-opens the tree there).
  // With Collapse each such node that is open is collapsed instead (part of
  // the key may be gone; it is read again when shown). RootIdentity names a
  // root key as the system does (RegKeyIdentity when none is given).
  void DropKeyNodes(TRegRoot Root, const String& Path, const String& Identity, bool Collapse = false,
                    TTreeExNode* Except = nullptr, const std::function<String(TRegRoot)>& RootIdentity = {});
  String ItemCaption(TListItem* Item) { return Item->GetCaption(); }
  String LayoutKey(const wchar_t* Name) const;
  String ToolbarsKey() const { return SettingsKey + L"\\Toolbars"; }
  bool shown_ = false;
  // What the start-up's reopening of the previous key has to say (errors,
  // messages, exceptions), shown once the window is on the screen.
  std::vector<std::function<void()>> startupErrors_;
  // The key whose values the list shows (root None: none).
  TRegRoot listedRoot_ = RegRoot::None;
  String listedPath_;
  // TKeyStatus scopes alive; and the key the status text speaks of, when
  // it speaks of one (root None: no key was selected).
  int keyStatusScopes_ = 0;
  // The modal level of the innermost scope alive (Application->ModalLevel).
  int keyStatusModalLevel_ = 0;
  bool statusOfKey_ = false;
  TRegRoot statusRoot_ = RegRoot::None;
  String statusPath_;
  // Clears a status text that speaks of another key than Node's.
  void DropOtherKeysStatus(TTreeExNode* Node);
  // The root keys' names as the find results show them, read at the start
  // of a batch of results for all its hits; none outside a batch.
  std::vector<std::pair<TRegRoot, String>> batchRootNames_;
  // From the toolbars' placing at start to the close: hiding both the menu
  // bar and the View toolbar shows the other one again.
  bool toolbarsPlaced_ = false;
  // The address box takes what its toolbar's row leaves, on a top or
  // bottom dock; elsewhere (floating, on a side dock) its own width.
  void FitAddressBox();
  bool fittingAddressBox_ = false;
  // A bookmark file that a load could not read at all (locked by another
  // program, say): its bookmarks are not in the list, so the save reads it
  // again first instead of replacing it with the list alone.
  String unreadBookmarkFile_;
  // Before bookmarks are saved to FileName, whose folder is gone: the user
  // makes the folder again, or picks another file (OtherBookmarkFile), or
  // lets the bookmarks go. False when they are not to be saved.
  bool PlaceForBookmarks(String& FileName);
  // Asks UnsavedBookmarksQuestion; on Yes the user picks another file,
  // which the settings then name. False when the bookmarks are to go.
  bool OtherBookmarkFile(String& FileName);
};

extern TfrmMain* frmMain;
