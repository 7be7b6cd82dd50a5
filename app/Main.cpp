// The main window: its controls, menus and toolbars, start-up and shutdown,
// options, the status bar, the search reports and the commands.
#include "app/Main.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "app/FormBuild.h"
#include "classlib/Clipbrd.h"
#include "classlib/Dialogs.h"
#include "classlib/Registry.h"
#include "ThemeManager/ThemeMgr.h"

TfrmMain* frmMain = nullptr;

namespace {
// Opens the address box's path once its edit has ended.
constexpr UINT WM_OPENTYPEDPATH = WM_APP + 0x47;
// Shows the errors the start-up held until the window showed.
constexpr UINT WM_SHOWSTARTUPERRORS = WM_APP + 0x48;
}  // namespace

namespace {

// The address box's width where it keeps one of its own, and the least it
// is given on a row that is short of room, at 96 dots per inch.
constexpr int kAddressBoxWidth = 200;
constexpr int kMinAddressBoxWidth = 100;

// A size of 96 dots per inch on this screen.
int OnScreen(int Pixels) { return MulDiv(Pixels, Screen ? Screen->PixelsPerInch() : 96, 96); }

// The Navigation toolbar. Its address box fills what its row leaves on a
// dock across the window (TfrmMain::FitAddressBox) and has a width of its
// own off it; measured for floating while it is docked (for the outline of
// a drag off the dock), it is measured with the box at that width, the
// width it floats at.
class TNavigationToolbar : public TSkinToolbar {
 public:
  using TSkinToolbar::TSkinToolbar;
  TBarEditItem* AddressBox = nullptr;

  POINT DoArrange(bool CanMoveControls, TBarDockType PreviousDockType, bool NewFloating,
                  TBarDock* NewDock) override {
    const int own = OnScreen(kAddressBoxWidth);
    if (CanMoveControls || !NewFloating || GetFloating() || !AddressBox || AddressBox->GetEditWidth() == own)
      return TSkinToolbar::DoArrange(CanMoveControls, PreviousDockType, NewFloating, NewDock);
    const int fitted = AddressBox->GetEditWidth();
    // The view keeps its layout while the box has the other width.
    View()->BeginUpdate();
    POINT size{0, 0};
    try {
      AddressBox->SetEditWidth(own);
      size = TSkinToolbar::DoArrange(CanMoveControls, PreviousDockType, NewFloating, NewDock);
    } catch (...) {
      AddressBox->SetEditWidth(fitted);
      View()->EndUpdate();
      throw;
    }
    AddressBox->SetEditWidth(fitted);
    View()->EndUpdate();
    return size;
  }
};

constexpr TShortCut Key(WORD K, TShortCut Mods = 0) { return static_cast<TShortCut>(K | Mods); }

// A find result's text in the Branch, Value and Data columns (1 to 3), as
// the list shows it and sorts it.
const String& FindResultText(const TSearchHit& Hit, int Column) {
  static const String defaultName = L"(Default)";
  switch (Column) {
    case 1: return Hit.Path;
    case 2: return Hit.Kind != hkKeyName && Hit.ValueName.empty() ? defaultName : Hit.ValueName;
    default: return Hit.Data;
  }
}

using THandler = void (TfrmMain::*)(TObject*);

template <class T = TSkinItem>
T* NewItem(TfrmMain* F, TBarCustomItem* Parent, const wchar_t* Name, const wchar_t* Caption, int Image = -1,
           THandler Handler = nullptr, TShortCut ShortCut = 0, const wchar_t* Hint = nullptr) {
  T* it = new T(F);
  it->SetName(Name);
  it->SetCaption(Caption);
  it->SetImageIndex(Image);
  if (ShortCut) it->SetShortCut(ShortCut);
  if (Hint) it->SetHint(Hint);
  if (Handler) it->OnClick = TNotifyEvent(F, Handler);
  if (Parent) Parent->Add(it);
  return it;
}

void Separator(TfrmMain* F, TBarCustomItem* Parent) { Parent->Add(new TSkinSeparatorItem(F)); }

template <class T = TSkinToolbar>
T* NewToolbar(TfrmMain* F, TBarDock* Dock, const wchar_t* Name, const wchar_t* Caption, int Row, int Pos) {
  auto* t = new T(F);
  t->SetName(Name);
  t->SetCaption(Caption);
  t->SetDockRow(Row);
  t->SetDockPos(Pos);
  t->SetImages(dmodCommon->imlMenuToolbar);
  t->SetParent(Dock);
  // Laid out once its items are all there (CreateMenus ends the update).
  t->BeginUpdate();
  return t;
}

TListViewQ* NewList(TfrmMain* F, TWinControl* Parent, const wchar_t* Name) {
  auto* lv = new TListViewQ(F);
  lv->SetName(Name);
  lv->SetParent(Parent);
  lv->SetAlign(alClient);
  return lv;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
  SetName(L"frmMain");
  SetCaption(L"Zembrio");
  SetPosition(poDefaultPosOnly);
  SetBounds(0, 0, 694, 469);
  Constraints()->Set(200, 150, 0, 0);
  // The program's own icon (a resource of the program), at both sizes.
  const HINSTANCE module = GetModuleHandleW(nullptr);
  if (HICON big = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), 0)))
    Icon()->SetHandle(big);
  smallIcon_ = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  Font()->SetName(L"MS Sans Serif");
  Font()->SetSize(8);
  SettingsKey = dmodCommon->rsOptions().BaseKey;
  if (SettingsKey.empty()) SettingsKey = EditorSettingsKey;
  CreateControls();
  CreateMenus();
  CreatePopups();
  // The lists' styles and columns, the stored font and the stored sizes are
  // taken before any window exists: showing the window (FormShow) applies
  // them again without effect, instead of re-creating the list windows, of
  // the lists laying out their headers column by column and of every
  // control measuring and laying itself out anew.
  SetUpLists(true);
  dmodCommon->Logic.ReadOptions({SettingName::UseSystemFont, SettingName::FontName, SettingName::FontSize,
                                 SettingName::FontBold, SettingName::FontItalic, SettingName::FontUnderline,
                                 SettingName::FontStrikeout, SettingName::Width, SettingName::Height,
                                 SettingName::LPWidth, SettingName::TPHeight});
  ApplyFontOptions();
  ApplySizeOptions();
  // Standard controls follow the system's visual styles where present.
  tmThemes = new TThemeManager(this);
  tmThemes->SetName(L"tmThemes");
  tmThemes->CollectForms();
  skinSwitcher = new TSkinSwitcher(this);
  skinSwitcher->SetName(L"skinSwitcher");
  skinSwitcher->SetTheme(L"Default");
  OnShow = TNotifyEvent(this, &TfrmMain::FormShow);
  OnClose = TCloseEvent(this, &TfrmMain::FormClose);
  if (!frmMain) frmMain = this;
  dmodCommon->SetMainForm(this);
}

TfrmMain::~TfrmMain() {
  if (dmodCommon && dmodCommon->MainForm() == this) {
    dmodCommon->Logic.StopSearchAndWait();
    dmodCommon->SetMainForm(nullptr);
  }
  // The lists and the tree free their records through their deletion
  // handlers while the controls still exist.
  lvKeyValues->Items()->Clear();
  lvBookmarks->Items()->Clear();
  lvFindResults->Items()->Clear();
  treeRegTree->Items()->Clear();
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::CreateControls() {
  tbdTop = new TBarDock(this);
  tbdTop->SetName(L"tbdTop");
  tbdTop->SetParent(this);

  sbStatus = new TStatusBar(this);
  sbStatus->SetName(L"sbStatus");
  sbStatus->SetParent(this);
  sbStatus->SetAlign(alBottom);
  TStatusPanel* p = sbStatus->Panels()->Add();
  p->SetText(L"Messages.");
  p->SetWidth(50);
  btnStop = new TButton(this);
  btnStop->SetName(L"btnStop");
  btnStop->SetParent(sbStatus);
  btnStop->SetCaption(L"Stop");
  btnStop->SetHint(L"Stop the export, import or delete (Esc)");
  btnStop->SetVisible(false);
  btnStop->OnClick = TNotifyEvent(this, &TfrmMain::btnStopClick);

  pagExtras = new TPageControl(this);
  pagExtras->SetName(L"pagExtras");
  pagExtras->SetParent(this);
  pagExtras->SetAlign(alBottom);
  pagExtras->SetHeight(200);
  pagExtras->SetImages(dmodCommon->imlTabSheets);
  tbsBookmarks = new TTabSheet(this);
  tbsBookmarks->SetName(L"tbsBookmarks");
  tbsBookmarks->SetPageControl(pagExtras);
  tbsBookmarks->SetCaption(L"Bookmarks");
  tbsBookmarks->SetImageIndex(2);
  tbsFindResults = new TTabSheet(this);
  tbsFindResults->SetName(L"tbsFindResults");
  tbsFindResults->SetPageControl(pagExtras);
  tbsFindResults->SetCaption(L"Find Results");
  tbsFindResults->SetImageIndex(3);
  lvBookmarks = NewList(this, tbsBookmarks, L"lvBookmarks");
  panelSearching = new TPanel(this);
  panelSearching->SetName(L"panelSearching");
  panelSearching->SetParent(tbsFindResults);
  // Laid out at its designed width; the Stop button keeps to the right
  // edge and the text takes what is left, so that the button stays in
  // reach in a narrow window.
  panelSearching->SetBounds(0, 0, 503, 32);
  panelSearching->SetCaption(L"");
  panelSearching->SetVisible(false);
  lblFindStats = new TLabel(this);
  lblFindStats->SetName(L"lblFindStats");
  lblFindStats->SetParent(panelSearching);
  lblFindStats->SetAutoSize(false);
  lblFindStats->SetBounds(8, 9, 404, 13);
  lblFindStats->SetAnchors(TAnchors{akLeft, akTop, akRight});
  lblFindStats->SetCaption(L"No search in progress.");
  btnFindStop = new TButton(this);
  btnFindStop->SetName(L"btnFindStop");
  btnFindStop->SetParent(panelSearching);
  btnFindStop->SetBounds(420, 4, 75, 25);
  btnFindStop->SetAnchors(TAnchors{akTop, akRight});
  panelSearching->SetAlign(alBottom);
  btnFindStop->SetCaption(L"Stop");
  btnFindStop->SetEnabled(false);
  btnFindStop->OnClick = TNotifyEvent(this, &TfrmMain::btnFindStopClick);
  lvFindResults = NewList(this, tbsFindResults, L"lvFindResults");
  // A search can list hundreds of thousands of hits: the window keeps only
  // their count, so that the next search empties it at once.
  lvFindResults->SetOwnerData(true);
  pagExtras->SetActivePage(tbsBookmarks);

  spltHorizontal = new TSplitter(this);
  spltHorizontal->SetName(L"spltHorizontal");
  spltHorizontal->SetParent(this);
  spltHorizontal->SetAlign(alBottom);
  spltHorizontal->SetHeight(3);
  spltHorizontal->SetMinSize(50);
  spltHorizontal->SetResizeStyle(rsUpdate);

  panelTop = new TPanel(this);
  panelTop->SetName(L"panelTop");
  panelTop->SetParent(this);
  panelTop->SetAlign(alClient);
  panelTop->SetBevelOuter(bvNone);
  panelTop->SetCaption(L"");
  panelTop->Constraints()->Set(0, kUpperPaneMinHeight, 0, 0);

  treeRegTree = new TTreeEx(this);
  treeRegTree->SetName(L"treeRegTree");
  treeRegTree->SetParent(panelTop);
  treeRegTree->SetAlign(alLeft);
  treeRegTree->SetWidth(200);
  treeRegTree->SetOptions(TTreeOptions{toAutoExpand, toEvenHeight, toRightClickSelect, toShowButtons, toShowLines,
                                       toShowRoot});
  treeRegTree->SetImages(dmodCommon->imlTreeImages);
  treeRegTree->SetItemHeight(16);  // fitted to the screen and the font with the font (FitTreeRows)
  treeRegTree->SetIndent(19);
  treeRegTree->OnExpanding = TTVExpandingEvent(this, &TfrmMain::treeRegTreeExpanding);
  treeRegTree->OnCollapsed = TTVExpandedEvent(this, &TfrmMain::treeRegTreeCollapsed);
  treeRegTree->OnChange = TTVChangedEvent(this, &TfrmMain::treeRegTreeChange);
  treeRegTree->OnDeletion = TTVExpandedEvent(this, &TfrmMain::treeRegTreeDeletion);
  treeRegTree->OnEditing = TTVEditingEvent(this, &TfrmMain::treeRegTreeEditing);
  treeRegTree->OnEdited = TTVEditedEvent(this, &TfrmMain::treeRegTreeEdited);
  treeRegTree->OnMouseUp = TMouseEvent(this, &TfrmMain::treeRegTreeMouseUp);
  treeRegTree->OnKeyDown = TKeyEvent(this, &TfrmMain::treeRegTreeKeyDown);
  treeRegTree->OnContextPopup = TContextPopupEvent(this, &TfrmMain::treeRegTreeContextPopup);

  spltVertical = new TSplitter(this);
  spltVertical->SetName(L"spltVertical");
  spltVertical->SetParent(panelTop);
  spltVertical->SetAlign(alLeft);
  spltVertical->SetWidth(3);
  spltVertical->SetLeft(200);

  lvKeyValues = NewList(this, panelTop, L"lvKeyValues");
  // A key can hold hundreds of thousands of values: the window keeps only
  // their count, so that leaving the key empties it at once (a window that
  // holds a record per value frees them in time that grows with the square
  // of their number, eight seconds for 230,000 under Wine).
  lvKeyValues->SetOwnerData(true);
}

void TfrmMain::CreateMenus() {
  tbrMainMenu = NewToolbar(this, tbdTop, L"tbrMainMenu", L"Main Menu", 0, 0);
  tbrMainMenu->SetMenuBar(true);
  tbrMainMenu->SetFullSize(true);
  tbrMainMenu->CloseButton = false;
  tbrMainMenu->SetProcessShortCuts(true);
  tbrMainMenu->SetShrinkMode(tbsmWrap);
  TBarCustomItem* bar = tbrMainMenu->Items();

  mnuFile = NewItem<TSkinSubmenuItem>(this, bar, L"mnuFile", L"&File");
  mnuFile_Import = NewItem(this, mnuFile, L"mnuFile_Import", L"&Import registry file...", 18,
                           &TfrmMain::mnuFile_ImportClick, 0, L"Import registry file...");
  mnuFile_Export = NewItem(this, mnuFile, L"mnuFile_Export", L"&Export registry file...", 19,
                           &TfrmMain::mnuFile_ExportClick, 0, L"Export registry file...");
  Separator(this, mnuFile);
  mnuFile_Preferences = NewItem(this, mnuFile, L"mnuFile_Preferences", L"&Preferences...", 20,
                                &TfrmMain::mnuFile_PreferencesClick, 0, L"Preferences...");
  Separator(this, mnuFile);
  mnuFile_Exit = NewItem(this, mnuFile, L"mnuFile_Exit", L"E&xit", 0, &TfrmMain::mnuFile_ExitClick, 0, L"Exit");

  mnuEdit = NewItem<TSkinSubmenuItem>(this, bar, L"mnuEdit", L"&Edit");
  mnuEdit_New = NewItem<TSkinSubmenuItem>(this, mnuEdit, L"mnuEdit_New", L"&New", 11, nullptr, 0,
                                         L"New registry item");
  mnuEdit_New->SetOptions(TBarItemOptions{tboDropdownArrow});
  mnuEdit_New_Key = NewItem(this, mnuEdit_New, L"mnuEdit_New_Key", L"&Key", 10, &TfrmMain::mnuEdit_New_KeyClick);
  Separator(this, mnuEdit_New);
  mnuEdit_New_String =
      NewItem(this, mnuEdit_New, L"mnuEdit_New_String", L"&String Value", 14, &TfrmMain::mnuEdit_New_StringClick);
  mnuEdit_New_Binary =
      NewItem(this, mnuEdit_New, L"mnuEdit_New_Binary", L"&Binary Value", 15, &TfrmMain::mnuEdit_New_BinaryClick);
  mnuEdit_New_Dword =
      NewItem(this, mnuEdit_New, L"mnuEdit_New_Dword", L"&DWORD Value", 16, &TfrmMain::mnuEdit_New_DwordClick);
  mnuEdit_New_ExpString = NewItem(this, mnuEdit_New, L"mnuEdit_New_ExpString", L"&Expandable String Value", 29,
                                  &TfrmMain::mnuEdit_New_ExpStringClick);
  mnuEdit_Rename = NewItem(this, mnuEdit, L"mnuEdit_Rename", L"Re&name", 12, &TfrmMain::mnuEdit_RenameClick,
                           Key(VK_F2), L"Rename selected item");
  mnuEdit_Delete = NewItem(this, mnuEdit, L"mnuEdit_Delete", L"&Delete", 13, &TfrmMain::mnuEdit_DeleteClick,
                           Key('D', scCtrl), L"Delete selected item(s)");
  Separator(this, mnuEdit);
  mnuEdit_CopyKey = NewItem(this, mnuEdit, L"mnuEdit_CopyKey", L"Copy &key path", 22, &TfrmMain::mnuEdit_CopyKeyClick,
                            Key('C', scCtrl | scAlt), L"Copy full key path to clipboard");
  mnuEdit_CopyValue = NewItem(this, mnuEdit, L"mnuEdit_CopyValue", L"Copy &value", 26,
                              &TfrmMain::mnuEdit_CopyValueClick, Key('C', scShift | scCtrl), L"Copy value to clipboard");
  Separator(this, mnuEdit);
  mnuEdit_Find = NewItem(this, mnuEdit, L"mnuEdit_Find", L"&Find...", 21, &TfrmMain::mnuEdit_FindClick,
                         Key('F', scCtrl), L"Find...");
  mnuEdit_RepeatFind = NewItem(this, mnuEdit, L"mnuEdit_RepeatFind", L"&Repeat find", 28,
                               &TfrmMain::mnuEdit_RepeatFindClick, 0, L"Repeat find");
  mnuEdit_RepeatFind->SetEnabled(false);

  mnuView = NewItem<TSkinSubmenuItem>(this, bar, L"mnuView", L"&View");
  mnuView_ListViewStyle = NewItem<TBarGroupItem>(this, mnuView, L"mnuView_ListViewStyle", L"");
  mnuView_LVS_LargeIcons = NewItem(this, mnuView_ListViewStyle, L"mnuView_LVS_LargeIcons", L"Lar&ge Icons", 1,
                                   &TfrmMain::mnuView_LVS_LargeIconsClick);
  mnuView_LVS_SmallIcons = NewItem(this, mnuView_ListViewStyle, L"mnuView_LVS_SmallIcons", L"&Small Icons", 2,
                                   &TfrmMain::mnuView_LVS_SmallIconsClick);
  mnuView_LVS_List =
      NewItem(this, mnuView_ListViewStyle, L"mnuView_LVS_List", L"&List", 3, &TfrmMain::mnuView_LVS_ListClick);
  mnuView_LVS_Details = NewItem(this, mnuView_ListViewStyle, L"mnuView_LVS_Details", L"&Details", 4,
                                &TfrmMain::mnuView_LVS_DetailsClick);
  for (TSkinItem* it : {mnuView_LVS_LargeIcons, mnuView_LVS_SmallIcons, mnuView_LVS_List, mnuView_LVS_Details}) {
    it->SetGroupIndex(1);
    it->SetEnabled(false);
  }
  Separator(this, mnuView);
  mnuView_Toolbars =
      NewItem<TSkinSubmenuItem>(this, mnuView, L"mnuView_Toolbars", L"&Toolbars", 23, nullptr, 0, L"Toolbars");
  mnuView_TB_Menu =
      NewItem(this, mnuView_Toolbars, L"mnuView_TB_Menu", L"Menu toolbar", -1, &TfrmMain::mnuView_TB_MenuClick);
  mnuView_TB_File =
      NewItem(this, mnuView_Toolbars, L"mnuView_TB_File", L"File toolbar", -1, &TfrmMain::mnuView_TB_FileClick);
  mnuView_TB_Edit =
      NewItem(this, mnuView_Toolbars, L"mnuView_TB_Edit", L"Edit toolbar", -1, &TfrmMain::mnuView_TB_EditClick);
  mnuView_TB_View =
      NewItem(this, mnuView_Toolbars, L"mnuView_TB_View", L"View toolbar", -1, &TfrmMain::mnuView_TB_ViewClick);
  mnuView_TB_Navigation = NewItem(this, mnuView_Toolbars, L"mnuView_TB_Navigation", L"Navigation toolbar", -1,
                                  &TfrmMain::mnuView_TB_NavigationClick);
  for (TSkinItem* it : {mnuView_TB_Menu, mnuView_TB_File, mnuView_TB_Edit, mnuView_TB_View, mnuView_TB_Navigation})
    it->SetChecked(true);
  mnuView_Refresh = NewItem(this, mnuView, L"mnuView_Refresh", L"&Refresh", 17, &TfrmMain::mnuView_RefreshClick,
                            Key(VK_F5), L"Refresh");

  mnuNavigation = NewItem<TSkinSubmenuItem>(this, bar, L"mnuNavigation", L"&Navigation");
  mnuNavigation_Bookmark = NewItem(this, mnuNavigation, L"mnuNavigation_Bookmark", L"&Bookmark", 7,
                                   &TfrmMain::mnuNavigation_BookmarkClick, Key('B', scCtrl), L"Bookmark key");
  mnuNavigation_Expand = NewItem(this, mnuNavigation, L"mnuNavigation_Expand", L"E&xpand", 5,
                                 &TfrmMain::mnuNavigation_ExpandClick, 0, L"Expand node");
  mnuNavigation_Collapse = NewItem(this, mnuNavigation, L"mnuNavigation_Collapse", L"&Collapse", 6,
                                   &TfrmMain::mnuNavigation_CollapseClick, 0, L"Collapse node");
  mnuNavigation_Goto = NewItem(this, mnuNavigation, L"mnuNavigation_Goto", L"&Go to path...", 25,
                               &TfrmMain::mnuNavigation_GotoClick, Key('G', scCtrl), L"Open a registry path...");

  mnuHelp = NewItem<TSkinSubmenuItem>(this, bar, L"mnuHelp", L"&Help");
  mnuHelp_Contents = NewItem(this, mnuHelp, L"mnuHelp_Contents", L"&Help contents...", 8,
                             &TfrmMain::mnuHelp_ContentsClick);
  mnuHelp_Contact = NewItem(this, mnuHelp, L"mnuHelp_Contact", L"&Contact information...", 24,
                            &TfrmMain::mnuHelp_ContactClick, 0, L"This is a hint!");
  mnuHelp_About = NewItem(this, mnuHelp, L"mnuHelp_About", L"&About Zembrio...", 9, &TfrmMain::mnuHelp_AboutClick);

  tbrFile = NewToolbar(this, tbdTop, L"tbrFile", L"File Toolbar", 1, 0);
  tbrFile->SetLinkSubitems(mnuFile);
  tbrEdit = NewToolbar(this, tbdTop, L"tbrEdit", L"Edit Toolbar", 1, 104);
  tbrEdit->SetLinkSubitems(mnuEdit);
  tbrView = NewToolbar(this, tbdTop, L"tbrView", L"View Toolbar", 1, 256);
  tbtnView_ListStyle = NewItem<TSkinSubmenuItem>(this, tbrView->Items(), L"tbtnView_ListStyle", L"", 4, nullptr, 0,
                                                L"List style");
  tbtnView_ListStyle->SetLinkSubitems(mnuView_ListViewStyle);
  tbtnView_ListStyle->SetOptions(TBarItemOptions{tboDropdownArrow});
  tbtnView_ListStyle->SetEnabled(false);
  tbtnView_Toolbars = NewItem<TSkinSubmenuItem>(this, tbrView->Items(), L"tbtnView_Toolbars", L"", 23, nullptr, 0,
                                               L"Show / hide toolbars");
  tbtnView_Toolbars->SetLinkSubitems(mnuView_Toolbars);
  tbtnView_Toolbars->SetOptions(TBarItemOptions{tboDropdownArrow});
  tbtnRefresh = NewItem(this, tbrView->Items(), L"tbtnRefresh", L"Refresh", 17, &TfrmMain::mnuView_RefreshClick, 0,
                        L"Refresh");
  auto* navigation = NewToolbar<TNavigationToolbar>(this, tbdTop, L"tbrNavigation", L"Navigation", 2, 0);
  tbrNavigation = navigation;
  tbtnNavigation_Bookmark = NewItem(this, tbrNavigation->Items(), L"tbtnNavigation_Bookmark", L"Bookmark", 7,
                                    &TfrmMain::mnuNavigation_BookmarkClick, 0, L"Bookmark key");
  tbtnNavigation_Bookmark->SetDisplayMode(nbdmImageAndText);
  Separator(this, tbrNavigation->Items());
  txtPath = new TBarEditItem(this);
  txtPath->SetName(L"txtPath");
  txtPath->SetEditCaption(L"Path");
  txtPath->SetEditWidth(OnScreen(kAddressBoxWidth));
  // A typed path is kept when the edit ends by a click elsewhere (on Go,
  // say), and Enter opens it as Go does.
  txtPath->ExtendedAccept = true;
  txtPath->OnAcceptText = TBarAcceptTextEvent(this, &TfrmMain::txtPathAcceptText);
  tbrNavigation->Items()->Add(txtPath);
  navigation->AddressBox = txtPath;
  tbtnNavigation_Go = NewItem(this, tbrNavigation->Items(), L"tbtnNavigation_Go", L"Go", 25,
                              &TfrmMain::tbtnNavigation_GoClick, 0, L"Open selected path");
  tbtnNavigation_Go->SetDisplayMode(nbdmImageAndText);

  tbrMainMenu->OnVisibleChanged = TNotifyEvent(this, &TfrmMain::tbrMainMenuVisibleChanged);
  tbrFile->OnVisibleChanged = TNotifyEvent(this, &TfrmMain::tbrFileVisibleChanged);
  tbrEdit->OnVisibleChanged = TNotifyEvent(this, &TfrmMain::tbrEditVisibleChanged);
  tbrView->OnVisibleChanged = TNotifyEvent(this, &TfrmMain::tbrViewVisibleChanged);
  tbrNavigation->OnVisibleChanged = TNotifyEvent(this, &TfrmMain::tbrNavigationVisibleChanged);
  // The Navigation toolbar fills what its row leaves; its address box grows
  // and shrinks with it.
  tbrNavigation->SetStretch(true);
  tbrNavigation->OnResize = TNotifyEvent(this, &TfrmMain::tbrNavigationResize);
  for (TSkinToolbar* t : {tbrMainMenu, tbrFile, tbrEdit, tbrView, tbrNavigation}) t->EndUpdate();
}

void TfrmMain::CreatePopups() {
  auto newPopup = [this](const wchar_t* Name) {
    auto* p = new TSkinPopupMenu(this);
    p->SetName(Name);
    p->SetImages(dmodCommon->imlMenuToolbar);
    return p;
  };
  auto listStyle = [this](TBarCustomItem* Parent, const wchar_t* Name) {
    auto* s = NewItem<TSkinSubmenuItem>(this, Parent, Name, L"&View", 4);
    s->SetLinkSubitems(mnuView_ListViewStyle);
    return s;
  };
  auto newSubmenu = [this](TBarCustomItem* Parent, const wchar_t* Name) {
    auto* s = NewItem<TSkinSubmenuItem>(this, Parent, Name, L"&New", 11);
    s->SetLinkSubitems(mnuEdit_New);
    return s;
  };

  pmnuTree = newPopup(L"pmnuTree");
  TBarCustomItem* r = pmnuTree->Items();
  pmnuTree_Bookmark = NewItem(this, r, L"pmnuTree_Bookmark", L"&Bookmark", 7, &TfrmMain::mnuNavigation_BookmarkClick);
  pmnuTree_CopyKey = NewItem(this, r, L"pmnuTree_CopyKey", L"Copy &key path", 22, &TfrmMain::mnuEdit_CopyKeyClick);
  Separator(this, r);
  pmnuTree_New = newSubmenu(r, L"pmnuTree_New");
  pmnuTree_Rename = NewItem(this, r, L"pmnuTree_Rename", L"Re&name", 12, &TfrmMain::mnuEdit_RenameClick);
  pmnuTree_Delete = NewItem(this, r, L"pmnuTree_Delete", L"&Delete", 13, &TfrmMain::pmnuTree_DeleteClick);
  Separator(this, r);
  pmnuTree_Find = NewItem(this, r, L"pmnuTree_Find", L"&Find...", 21, &TfrmMain::mnuEdit_FindClick);
  pmnuTree_Export =
      NewItem(this, r, L"pmnuTree_Export", L"&Export registry file...", 19, &TfrmMain::mnuFile_ExportClick);
  Separator(this, r);
  pmnuTree_Expand = NewItem(this, r, L"pmnuTree_Expand", L"E&xpand", 5, &TfrmMain::mnuNavigation_ExpandClick);
  pmnuTree_Collapse = NewItem(this, r, L"pmnuTree_Collapse", L"&Collapse", 6, &TfrmMain::mnuNavigation_CollapseClick);
  Separator(this, r);
  pmnuTree_Refresh = NewItem(this, r, L"pmnuTree_Refresh", L"&Refresh", 17, &TfrmMain::mnuView_RefreshClick);

  pmnuValues = newPopup(L"pmnuValues");
  r = pmnuValues->Items();
  pmnuValues_EditValue =
      NewItem(this, r, L"pmnuValues_EditValue", L"&Edit value", 27, &TfrmMain::pmnuValues_EditValueClick);
  pmnuValues_CopyValue =
      NewItem(this, r, L"pmnuValues_CopyValue", L"Copy &value", 26, &TfrmMain::mnuEdit_CopyValueClick);
  Separator(this, r);
  pmnuValues_New = newSubmenu(r, L"pmnuValues_New");
  pmnuValues_Rename = NewItem(this, r, L"pmnuValues_Rename", L"Re&name", 12, &TfrmMain::mnuEdit_RenameClick);
  pmnuValues_Delete = NewItem(this, r, L"pmnuValues_Delete", L"&Delete", 13, &TfrmMain::mnuEdit_DeleteClick);
  Separator(this, r);
  pmnuValues_ListStyle = listStyle(r, L"pmnuValues_ListStyle");
  Separator(this, r);
  pmnuValues_Find = NewItem(this, r, L"pmnuValues_Find", L"&Find...", 21, &TfrmMain::mnuEdit_FindClick);
  Separator(this, r);
  pmnuValues_Refresh = NewItem(this, r, L"pmnuValues_Refresh", L"&Refresh", 17, &TfrmMain::mnuView_RefreshClick);

  pmnuBookmarks = newPopup(L"pmnuBookmarks");
  r = pmnuBookmarks->Items();
  pmnuBookmarks_Open =
      NewItem(this, r, L"pmnuBookmarks_Open", L"&Open bookmark", 25, &TfrmMain::pmnuBookmarks_OpenClick);
  pmnuBookmarks_CopyKey =
      NewItem(this, r, L"pmnuBookmarks_CopyKey", L"Copy &key path", 22, &TfrmMain::mnuEdit_CopyKeyClick);
  Separator(this, r);
  pmnuBookmarks_Rename = NewItem(this, r, L"pmnuBookmarks_Rename", L"Re&name", 12, &TfrmMain::mnuEdit_RenameClick);
  pmnuBookmarks_Delete = NewItem(this, r, L"pmnuBookmarks_Delete", L"&Delete", 13, &TfrmMain::mnuEdit_DeleteClick);
  Separator(this, r);
  pmnuBookmarks_ListStyle = listStyle(r, L"pmnuBookmarks_ListStyle");
  Separator(this, r);
  pmnuBookmarks_Refresh =
      NewItem(this, r, L"pmnuBookmarks_Refresh", L"&Refresh", 17, &TfrmMain::mnuView_RefreshClick);

  pmnuFind = newPopup(L"pmnuFind");
  r = pmnuFind->Items();
  pmnuFind_Open = NewItem(this, r, L"pmnuFind_Open", L"&Open find result", 25, &TfrmMain::pmnuFind_OpenClick);
  pmnuFind_Bookmark = NewItem(this, r, L"pmnuFind_Bookmark", L"&Bookmark", 7, &TfrmMain::pmnuFind_BookmarkClick);
  pmnuFind_CopyKey = NewItem(this, r, L"pmnuFind_CopyKey", L"Copy &key path", 22, &TfrmMain::mnuEdit_CopyKeyClick);
  Separator(this, r);
  pmnuFind_Delete = NewItem(this, r, L"pmnuFind_Delete", L"&Delete", 13, &TfrmMain::mnuEdit_DeleteClick);
  Separator(this, r);
  pmnuFind_ListStyle = listStyle(r, L"pmnuFind_ListStyle");
  Separator(this, r);
  pmnuFind_Find = NewItem(this, r, L"pmnuFind_Find", L"&Find...", 21, &TfrmMain::mnuEdit_FindClick);
  pmnuFind_RepeatFind =
      NewItem(this, r, L"pmnuFind_RepeatFind", L"&Repeat find", 28, &TfrmMain::mnuEdit_RepeatFindClick);
  pmnuFind_RepeatFind->SetEnabled(false);

  // The first item of each pop-up is its default item.
  for (TSkinItem* it : {pmnuTree_Bookmark, pmnuValues_EditValue, pmnuBookmarks_Open, pmnuFind_Open})
    it->SetOptions(TBarItemOptions{tboDefault});
  treeRegTree->SetPopupMenu(pmnuTree);
}

String TfrmMain::LayoutKey(const wchar_t* Name) const { return SettingsKey + L"\\ListViews\\" + Name; }

// ---------------------------------------------------------------------------
// Start-up and shutdown.

void TfrmMain::CreateWnd() {
  TForm::CreateWnd();
  // The window scales its controls to the screen when it is first made;
  // the search panel's anchored Stop button and text, moved with the
  // panel's new width and then scaled once more, are put back at the
  // panel's right edge and their anchors taken from there.
  const int gap = MulDiv(8, GetPixelsPerInch(), 96);
  const int width = panelSearching->GetClientWidth();
  btnFindStop->SetLeft(std::max(0, width - gap - btnFindStop->GetWidth()));
  lblFindStats->SetWidth(std::max(0, btnFindStop->GetLeft() - gap - lblFindStats->GetLeft()));
  lblFindStats->SetAnchors(TAnchors{akLeft, akTop, akRight});
  btnFindStop->SetAnchors(TAnchors{akTop, akRight});
  if (smallIcon_) SendMessageW(GetHandle(), WM_SETICON, ICON_SMALL, LPARAM(smallIcon_));
}

void TfrmMain::FormShow(TObject*) {
  if (shown_) return;
  shown_ = true;
  try {
    BarRegLoadPositions(this, HKEY_CURRENT_USER, ToolbarsKey());
  } catch (const Exception&) {
    // Damaged stored positions: the toolbars keep their designed places.
  }
  // A menu bar stored hidden stays hidden while the View toolbar is there
  // to bring it back; with both stored hidden it is shown again.
  if (!tbrMainMenu->GetVisible() && !tbrView->GetVisible()) tbrMainMenu->SetVisible(true);
  toolbarsPlaced_ = true;
  for (TSkinToolbar* t : {tbrMainMenu, tbrFile, tbrEdit, tbrView, tbrNavigation}) ToolbarVisibleChanged(t);
  InitListViews();
  LoadOptions(true);
  // A floating place stored on another screen (of other dots per inch, so
  // that the toolbar is bigger here, or of another size) may leave a
  // toolbar partly off the work area, its close button out of reach: it
  // comes wholly onto it. Places wholly on the work area stay as stored.
  for (TSkinToolbar* t : {tbrMainMenu, tbrFile, tbrEdit, tbrView, tbrNavigation}) {
    if (!t->GetFloating()) continue;
    const POINT asked = t->FloatingPosition;
    t->MoveOnScreen(false);
    const POINT shown = t->FloatingPosition;
    if (shown.x != asked.x || shown.y != asked.y) keptFloatingPlaces_.push_back({t, asked, shown});
  }
  InitRegTree();
  {
    // What the start has to say (a bookmark file that can't be read, a
    // reopened key that can't be read) is said once the window is on the
    // screen: before it, nothing shows what it is about. An exception the
    // window's handlers hand to the application is held the same way, and
    // then handed to it. Whatever ends the start, what is held is shown.
    struct THold {
      TfrmMain* Window;
      TExceptionEvent Handler;
      explicit THold(TfrmMain* W) : Window(W), Handler(Application->OnException) {
        dmodCommon->HeldErrors = &W->startupErrors_;
        Application->OnException = [W](TObject*, const Exception& E) {
          W->startupErrors_.push_back([E] { Application->HandleExceptionObject(nullptr, E); });
        };
      }
      ~THold() {
        dmodCommon->HeldErrors = nullptr;
        Application->OnException = Handler;
        if (!Window->startupErrors_.empty() && Window->HandleAllocated())
          PostMessageW(Window->GetHandle(), WM_SHOWSTARTUPERRORS, 0, 0);
      }
      THold(const THold&) = delete;
      THold& operator=(const THold&) = delete;
    } hold(this);
    // An exception out of a step is held as the handlers' are: the window
    // still shows, and then says what went wrong.
    try {
      LoadBookmarks(GetBookmarkFileName(true), true);
      if (dmodCommon->OptionBool(SettingName::ReopenPrevious)) {
        TRegRoot root = dmodCommon->GetRootKeyFromName(dmodCommon->OptionString(SettingName::PreviousHKEY));
        // A first start (or a damaged setting) names no root key: nothing to reopen.
        if (root != RegRoot::None) ExpandToBranch(root, dmodCommon->OptionString(SettingName::PreviousPath), false);
      }
    } catch (...) {
      startupErrors_.push_back([thrown = std::current_exception()] {
        try {
          std::rethrow_exception(thrown);
        } catch (...) {
          Application->HandleException(nullptr);
        }
      });
    }
  }
  SetStatusText(L"Y..yes, Captain?!?");
}

void TfrmMain::FormClose(TObject*, TCloseAction&) {
  toolbarsPlaced_ = false;
  dmodCommon->Logic.StopSearchAndWait();
  SaveBookmarks(GetBookmarkFileName(true));
  // A floating toolbar still where the start brought it is stored at its
  // stored place: back on the screen it was stored on, it is where the
  // user put it. One the user has docked since floats again where it last
  // floated, on this screen.
  std::vector<std::pair<TSkinToolbar*, POINT>> shownPlaces;
  for (const TKeptFloatingPlace& k : keptFloatingPlaces_) {
    if (!k.Bar->GetFloating()) continue;
    const POINT now = k.Bar->FloatingPosition;
    if (now.x != k.Shown.x || now.y != k.Shown.y) continue;
    shownPlaces.push_back({k.Bar, now});
    k.Bar->FloatingPosition = k.Asked;
  }
  auto backToShown = [&] {
    for (const auto& [bar, place] : shownPlaces) bar->FloatingPosition = place;
  };
  try {
    BarRegSavePositions(this, HKEY_CURRENT_USER, ToolbarsKey());
  } catch (const Exception& E) {
    backToShown();
    dmodCommon->ShowException(E, L"An exception occurred attempting to save the toolbar positions.");
  }
  backToShown();
  SaveOptions();
}

TfrmMain::TKeyStatus::TKeyStatus(TfrmMain* Window)
    : window_(Window), outerModalLevel_(Window->keyStatusModalLevel_) {
  ++window_->keyStatusScopes_;
  window_->keyStatusModalLevel_ = Application->ModalLevel();
}

TfrmMain::TKeyStatus::~TKeyStatus() {
  --window_->keyStatusScopes_;
  window_->keyStatusModalLevel_ = outerModalLevel_;
}

void TfrmMain::SetStatusText(const String& Text) {
  sbStatus->Panels()->GetItem(0)->SetText(Text);
  statusOfKey_ = keyStatusScopes_ > 0 && !Text.empty() && Application->ModalLevel() == keyStatusModalLevel_ &&
                 !(dmodCommon && dmodCommon->Logic.OutsideTexts());
  if (!statusOfKey_) return;
  TTreeExNode* node = GetSelectedNode();
  const bool key = dmodCommon->NodeHasData(node);
  statusRoot_ = key ? dmodCommon->GetNodeRootKey(node) : RegRoot::None;
  statusPath_ = key ? dmodCommon->GetNodeKeyPath(node) : String();
}

void TfrmMain::DropOtherKeysStatus(TTreeExNode* Node) {
  if (!statusOfKey_) return;
  const bool key = dmodCommon->NodeHasData(Node);
  const TRegRoot root = key ? dmodCommon->GetNodeRootKey(Node) : RegRoot::None;
  if (root != statusRoot_ || (key && !SameKeyPath(dmodCommon->GetNodeKeyPath(Node), statusPath_)))
    SetStatusText(String());
}

String TfrmMain::GetStatusText() { return sbStatus->Panels()->GetItem(0)->GetText(); }

void TfrmMain::LongWorkState(bool Running) {
  if (Running) {
    const int h = std::max(sbStatus->GetClientHeight() - 2, 10);
    btnStop->SetBounds(sbStatus->GetClientWidth() - 96, 1, 75, h);
    workFocus_ = GetFocus();
  } else {
    // A click on Stop gave it the keyboard.
    TWinControl* before = IsWindow(workFocus_) ? TWinControl::FindControl(workFocus_) : nullptr;
    MoveFocusFrom(btnStop, before && ContainsControl(before) ? before : nullptr);
    workFocus_ = nullptr;
  }
  btnStop->SetVisible(Running);
  if (Running) btnStop->Update();
}

bool TfrmMain::LongWorkMessage(MSG& M) {
  switch (StopButtonInput(M, btnStop->HandleAllocated() ? btnStop->GetHandle() : nullptr)) {
    case TStopInput::Stop: btnStopClick(nullptr); return false;
    case TStopInput::ToButton: return true;
    default: return false;
  }
}

// What input means while long work runs: Escape stops it, as do Space and
// Enter on a focused Stop button; the mouse reaches the Stop button only
// (its click stops); every other key, Alt and the menu keys with it, is
// dropped, so that nothing (a menu, a command) starts inside the work.
TStopInput StopButtonInput(const MSG& M, HWND Stop) {
  const bool keyDown = M.message == WM_KEYDOWN || M.message == WM_SYSKEYDOWN;
  if (keyDown && M.wParam == VK_ESCAPE) return TStopInput::Stop;
  if (!Stop || M.hwnd != Stop) return TStopInput::Drop;
  if (M.message == WM_KEYDOWN && (M.wParam == VK_SPACE || M.wParam == VK_RETURN)) return TStopInput::Stop;
  const bool mouse = (M.message >= WM_MOUSEFIRST && M.message <= WM_MOUSELAST) ||
                     (M.message >= WM_NCMOUSEMOVE && M.message <= WM_NCXBUTTONDBLCLK);
  return mouse ? TStopInput::ToButton : TStopInput::Drop;
}

void TfrmMain::btnStopClick(TObject*) {
  StopListDelete();
  dmodCommon->Logic.StopLongWork();
}

void TfrmMain::InitListViews() { SetUpLists(true); }

void TfrmMain::SetUpLists(bool WithColumns) {
  struct TCol {
    const wchar_t* Caption;
    int Width;
  };
  auto setup = [this, WithColumns](TListViewQ* lv, std::initializer_list<TCol> cols, bool sort, bool rowSelect,
                                   bool readOnly, TSkinPopupMenu* popup, const wchar_t* key) {
    // The styles that make the list window anew come before the columns.
    lv->SetViewStyle(vsReport);
    lv->SetColumnClick(sort);
    lv->SetRowSelect(rowSelect);
    lv->SetReadOnly(readOnly);
    lv->SetLargeImages(dmodCommon->imlLVImages32);
    lv->SetSmallImages(dmodCommon->imlLVImages16);
    lv->SetHideSelection(false);
    lv->SetMultiSelect(true);
    if (!WithColumns) return;
    // The widths are pixels at 96 dots per inch, scaled to the screen as
    // the lists' text is.
    auto width = [](const TCol& c) { return ScaleSize(c.Width, 96, TListViewQ::ScreenDpi()); };
    // Columns that are already these (made before the window) stay.
    bool same = lv->Columns()->GetCount() == static_cast<int>(cols.size());
    int i = 0;
    for (const TCol& c : cols) {
      if (!same) break;
      TListColumn* col = lv->Columns()->GetItem(i++);
      same = col->GetCaption() == c.Caption && (c.Width > 0 ? !col->GetAutoSize() && col->GetWidth() == width(c)
                                                             : col->GetAutoSize());
    }
    if (!same) {
      lv->Columns()->Clear();
      for (const TCol& c : cols) {
        TListColumn* col = lv->Columns()->Add();
        col->SetCaption(c.Caption);
        if (c.Width > 0)
          col->SetWidth(width(c));
        else
          col->SetAutoSize(true);
      }
    }
    lv->AutoColumnSort = sort;
    lv->ShowSortIndicator = true;
    lv->SetPopupMenu(popup);
    lv->RegistryKey = LayoutKey(key);
  };
  setup(lvKeyValues, {{L"Name", 150}, {L"Value", 310}}, false, false, false, pmnuValues, L"Values");
  setup(lvBookmarks, {{L"Description", 175}, {L"Base Key", 150}, {L"Branch", 330}}, true, false, false, pmnuBookmarks,
        L"Bookmarks");
  setup(lvFindResults, {{L"Base Key", 150}, {L"Branch", 180}, {L"Value", 178}, {L"Data", 0}}, true, true, true,
        pmnuFind, L"FindResults");
  if (!WithColumns) return;
  lvKeyValues->OnEnter = TNotifyEvent(this, &TfrmMain::lvKeyValuesEnter);
  lvKeyValues->OnExit = TNotifyEvent(this, &TfrmMain::lvKeyValuesExit);
  lvBookmarks->OnEnter = TNotifyEvent(this, &TfrmMain::lvBookmarksEnter);
  lvBookmarks->OnExit = TNotifyEvent(this, &TfrmMain::lvBookmarksExit);
  lvFindResults->OnEnter = TNotifyEvent(this, &TfrmMain::lvFindResultsEnter);
  lvFindResults->OnExit = TNotifyEvent(this, &TfrmMain::lvFindResultsExit);
  lvKeyValues->OnDblClick = TNotifyEvent(this, &TfrmMain::lvKeyValuesDblClick);
  lvKeyValues->OnDeletion = TLVDeletedEvent(this, &TfrmMain::lvKeyValuesDeletion);
  lvKeyValues->OnEditing = TLVEditingEvent(this, &TfrmMain::lvKeyValuesEditing);
  lvKeyValues->OnEdited = TLVEditedEvent(this, &TfrmMain::lvKeyValuesEdited);
  // The name box takes one character more than the registry does: a huge
  // paste can't flood it, and a name too long reaches the refusal on its
  // end instead of being stored cut short.
  lvKeyValues->SetEditMaxLength(int(MaxValueNameLength) + 1);
  lvKeyValues->OnKeyDown = TKeyEvent(this, &TfrmMain::lvKeyValuesKeyDown);
  lvBookmarks->OnDblClick = TNotifyEvent(this, &TfrmMain::lvBookmarksDblClick);
  lvBookmarks->OnDeletion = TLVDeletedEvent(this, &TfrmMain::lvBookmarksDeletion);
  lvBookmarks->OnEditing = TLVEditingEvent(this, &TfrmMain::lvBookmarksEditing);
  lvBookmarks->OnEdited = TLVEditedEvent(this, &TfrmMain::lvBookmarksEdited);
  lvBookmarks->OnKeyDown = TKeyEvent(this, &TfrmMain::lvBookmarksKeyDown);
  lvFindResults->OnDblClick = TNotifyEvent(this, &TfrmMain::lvFindResultsDblClick);
  lvFindResults->OnDeletion = TLVDeletedEvent(this, &TfrmMain::lvFindResultsDeletion);
  lvFindResults->OnKeyDown = TKeyEvent(this, &TfrmMain::lvFindResultsKeyDown);
  lvFindResults->SortTextSource = [](TListItem* Item, int Column) -> const String* {
    const TSearchHit* hit = ItemHit(Item);
    return hit && Column >= 1 && Column <= 3 ? &FindResultText(*hit, Column) : nullptr;
  };
}

namespace {

// A window's placement counts from the work area of its monitor (a taskbar
// on the left or at the top moves it), its bounds from the screen's corner:
// the offset between the two.
POINT WorkAreaOffset(HWND Window) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &mi)) return POINT{0, 0};
  return POINT{mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}

RECT BoundsOf(TControl* Window) {
  return RECT{Window->GetLeft(), Window->GetTop(), Window->GetLeft() + Window->GetWidth(),
              Window->GetTop() + Window->GetHeight()};
}

// The bounds a window has in the normal state, whatever its state now.
RECT NormalPlace(TWinControl* Window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!Window->HandleAllocated() || !GetWindowPlacement(Window->GetHandle(), &wp)) return BoundsOf(Window);
  const POINT offset = WorkAreaOffset(Window->GetHandle());
  OffsetRect(&wp.rcNormalPosition, offset.x, offset.y);
  return wp.rcNormalPosition;
}

// Makes the window's bounds its normal place: the one it comes back to
// from a state it is about to take.
void SetNormalPlace(TWinControl* Window) {
  if (!Window->HandleAllocated()) return;
  const HWND h = Window->GetHandle();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(h, &wp)) return;
  const POINT offset = WorkAreaOffset(h);
  wp.rcNormalPosition = BoundsOf(Window);
  OffsetRect(&wp.rcNormalPosition, -offset.x, -offset.y);
  wp.flags = 0;
  // A hidden window stays hidden (it is shown once its contents are there).
  if (!IsWindowVisible(h)) wp.showCmd = SW_HIDE;
  SetWindowPlacement(h, &wp);
}

}  // namespace

void TfrmMain::LoadOptions(bool ApplyGeometry) {
  SetStatusText(L"Loading options...");
  dmodCommon->ReadAllOptions();
  TSkinToolbar* bars[] = {tbrMainMenu, tbrFile, tbrEdit, tbrView, tbrNavigation};
  int dh = dmodCommon->OptionInt(SettingName::DragHandleStyle);
  if (dh >= 0 && dh <= 2) {
    TBarDragHandleStyle style = dh == 0 ? dhNone : dh == 1 ? dhSingle : dhDouble;
    for (TSkinToolbar* t : bars) t->SetDragHandleStyle(style);
  }
  // The menu bar closes too: "Menu toolbar" on the View toolbar's drop-down
  // brings it back, and with both hidden the View toolbar shows again.
  bool closeDocked = dmodCommon->OptionBool(SettingName::CloseButtonDocked);
  for (TSkinToolbar* t : bars) t->SetCloseButtonWhenDocked(closeDocked);
  tbrMainMenu->SetFullSize(dmodCommon->OptionBool(SettingName::FullSizeMenu));
  SetShowHint(dmodCommon->OptionBool(SettingName::ShowHints));
  if (ApplyGeometry) {
    SetBounds(GetLeft(), dmodCommon->OptionInt(SettingName::Top), GetWidth(), GetHeight());
    SetBounds(dmodCommon->OptionInt(SettingName::Left), GetTop(), GetWidth(), GetHeight());
    ApplySizeOptions();
    KeepOnScreen(this);
    keptTop_.Take(dmodCommon->OptionInt(SettingName::Top), GetTop());
    keptLeft_.Take(dmodCommon->OptionInt(SettingName::Left), GetLeft());
    keptWidth_.Take(dmodCommon->OptionInt(SettingName::Width), GetWidth());
    keptHeight_.Take(dmodCommon->OptionInt(SettingName::Height), GetHeight());
    // A state the window has already is not set again: at start-up that
    // would show the window before its tree and lists are filled.
    const int state = dmodCommon->OptionInt(SettingName::WindowState);
    if (state >= 0 && state <= 2 && static_cast<TWindowState>(state) != GetWindowState()) {
      // The stored bounds become the window's normal place, the one it
      // comes back to from the stored state.
      SetNormalPlace(this);
      SetWindowState(static_cast<TWindowState>(state));
    }
    // The split was stored from the window as it was at the close (often
    // maximised): it is given again once the window has its state.
    ApplySplitOption();
    KeepTreeInPane();
  }
  ApplyFontOptions();
  skinSwitcher->SetEnableXPStyles(dmodCommon->OptionBool(SettingName::ToolbarXPThemes));
  for (TListViewQ* lv : {lvKeyValues, lvBookmarks, lvFindResults}) lv->LoadOptions();
  if (ApplyGeometry) {
    // The panes as laid out for the window's state and font.
    keptTreeWidth_.Take(dmodCommon->OptionInt(SettingName::LPWidth), treeRegTree->GetWidth());
    keptTopHeight_.Take(dmodCommon->OptionInt(SettingName::TPHeight), panelTop->GetHeight());
  }
  SetStatusText(L"Options loaded.");
}

void TfrmMain::ApplySizeOptions() {
  SetWidth(dmodCommon->OptionInt(SettingName::Width));
  SetHeight(dmodCommon->OptionInt(SettingName::Height));
  treeRegTree->SetWidth(dmodCommon->OptionInt(SettingName::LPWidth));
  ApplySplitOption();
}

void TfrmMain::ApplySplitOption() {
  // panelTop fills what the lower pane leaves: the stored height is
  // restored by giving the lower pane the rest (each keeping its minimum).
  // A height that no longer fits (the window was fitted to a smaller or
  // denser screen than the one it was stored on) gives the upper pane all
  // the window has room for; the lower pane keeps its splitter's minimum.
  const int total = panelTop->GetHeight() + pagExtras->GetHeight();
  const int tp = std::min(dmodCommon->OptionInt(SettingName::TPHeight), total - spltHorizontal->GetMinSize());
  if (tp < kUpperPaneMinHeight) return;
  // The pane keeps its bottom edge: grown downwards it would pass the
  // status bar's and be aligned below it.
  const int h = total - tp;
  pagExtras->SetBounds(pagExtras->GetLeft(), pagExtras->GetTop() + pagExtras->GetHeight() - h, pagExtras->GetWidth(),
                       h);
}

void TfrmMain::KeepTreeInPane() {
  // A stored tree width beyond the pane (another screen, a damaged
  // setting) would push the values list out of the window, and no
  // splitter would be left to drag it back.
  const int least = spltVertical->GetMinSize();
  const int most = panelTop->GetClientWidth() - spltVertical->GetWidth() - least;
  const int width = treeRegTree->GetWidth();
  if (width > most) treeRegTree->SetWidth(std::max(most, least));
  else if (width < least) treeRegTree->SetWidth(least);
}

void TfrmMain::MoveFocusFrom(TWinControl* Going, TWinControl* To) {
  const HWND focus = GetFocus();
  TWinControl* active = GetActiveControl();
  const bool holds =
      (focus && Going->HandleAllocated() && (focus == Going->GetHandle() || IsChild(Going->GetHandle(), focus))) ||
      (active && (active == Going || Going->ContainsControl(active)));
  if (!holds) return;
  for (TWinControl* c : {To, static_cast<TWinControl*>(treeRegTree)}) {
    if (!c || c == Going || Going->ContainsControl(c) || !c->CanFocus()) continue;
    if (HandleAllocated() && GetActiveWindow() == GetHandle())
      FocusControl(c);
    else
      SetActiveControl(c);  // the keyboard goes there when the window is activated
    return;
  }
}

void TfrmMain::ApplyFontOptions() {
  if (dmodCommon->OptionBool(SettingName::UseSystemFont)) {
    Font()->Assign(*Screen->IconFont());
  } else {
    String name = dmodCommon->OptionString(SettingName::FontName);
    if (!name.empty()) Font()->SetName(name);
    Font()->SetSize(UsableFontSize(dmodCommon->OptionInt(SettingName::FontSize)));
    TFontStyles style;
    if (dmodCommon->OptionBool(SettingName::FontBold)) style.Include(fsBold);
    if (dmodCommon->OptionBool(SettingName::FontItalic)) style.Include(fsItalic);
    if (dmodCommon->OptionBool(SettingName::FontUnderline)) style.Include(fsUnderline);
    if (dmodCommon->OptionBool(SettingName::FontStrikeout)) style.Include(fsStrikeOut);
    Font()->SetStyle(style);
  }
  FitTreeRows();
}

void TfrmMain::FitTreeRows() {
  // Rows of 16 pixels at 96 dots per inch, scaled to the screen, and never
  // lower than a line of the font in use with room for the focus frame;
  // even, as the tree's rows are.
  int height = MulDiv(16, Screen ? Screen->PixelsPerInch() : 96, 96);
  if (HDC dc = GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, Font()->GetHandle());
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) height = std::max<int>(height, tm.tmHeight + tm.tmExternalLeading + 2);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  treeRegTree->SetItemHeight(height + (height & 1));
}

void TfrmMain::SaveOptions() {
  SetStatusText(L"Saving options...");
  TWindowState state = GetWindowState();
  // The bounds the window has in the normal state, whatever its state now:
  // a window moved and then maximised comes back where it was moved to, and
  // a minimised one never stores the place off the screen where it lies.
  const RECT normal = NormalPlace(this);
  dmodCommon->SetOption(SettingName::Top, keptTop_.ToStore(normal.top));
  dmodCommon->SetOption(SettingName::Left, keptLeft_.ToStore(normal.left));
  dmodCommon->SetOption(SettingName::Width, keptWidth_.ToStore(normal.right - normal.left));
  dmodCommon->SetOption(SettingName::Height, keptHeight_.ToStore(normal.bottom - normal.top));
  dmodCommon->SetOption(SettingName::LPWidth, keptTreeWidth_.ToStore(treeRegTree->GetWidth()));
  dmodCommon->SetOption(SettingName::TPHeight, keptTopHeight_.ToStore(panelTop->GetHeight()));
  TTreeExNode* node = GetSelectedNode();
  if (dmodCommon->NodeHasData(node)) {
    dmodCommon->SetOption(SettingName::PreviousHKEY, dmodCommon->GetRootKeyName(dmodCommon->GetNodeRootKey(node), rnmFull));
    dmodCommon->SetOption(SettingName::PreviousPath, dmodCommon->GetNodeKeyPath(node));
  }
  dmodCommon->SetOption(SettingName::WindowState, state == wsMinimized ? 1 : state == wsMaximized ? 2 : 0);
  try {
    dmodCommon->WriteAllOptions();
    for (TListViewQ* lv : {lvKeyValues, lvBookmarks, lvFindResults}) lv->SaveOptions();
  } catch (const Exception& E) {
    dmodCommon->ShowException(E, L"An exception occurred attempting to save the options.");
    return;
  }
  SetStatusText(L"Options saved.");
}

// ---------------------------------------------------------------------------
// Search reports.

void TfrmMain::SetFindItemsEnabled(bool Enabled) {
  for (TSkinItem* it : {mnuEdit_Find, mnuEdit_RepeatFind, pmnuTree_Find, pmnuValues_Find, pmnuFind_Find,
                       pmnuFind_RepeatFind})
    it->SetEnabled(Enabled);
}

void TfrmMain::SearchStarted() {
  pagExtras->SetActivePage(tbsFindResults);
  lblFindStats->SetCaption(L"Search in progress...");
  lvFindResults->SetCursor(crHourGlass);
  lvFindResults->Items()->BeginUpdate();
  lvFindResults->Items()->Clear();
  lvFindResults->Items()->EndUpdate();
  SetFindItemsEnabled(false);
  btnFindStop->SetEnabled(true);
  panelSearching->SetVisible(true);
  tbsFindResults->SetImageIndex(0);
  Repaint();
}

void TfrmMain::AddFindResult(TSearchHit* Hit) {
  TListItem* item = lvFindResults->Items()->Add();
  item->SetData(Hit);
  const String* rootName = nullptr;
  for (const auto& [root, name] : batchRootNames_)
    if (root == Hit->RootKey) rootName = &name;
  if (rootName)
    item->SetCaption(*rootName);
  else
    item->SetCaption(dmodCommon->GetRootKeyName(Hit->RootKey, rnmByOption));
  for (int column = 1; column <= 3; ++column) item->SubItems()->Add(FindResultText(*Hit, column));
}

void TfrmMain::FindResultBatch(bool Begin) {
  // A list that is drawn while it takes items lays itself out and repaints
  // for each of them (about a millisecond a hit): a batch is added with
  // the drawing held and is drawn once at its end. The root keys' names
  // are read once for the batch too: the setting that names them is looked
  // up by its name (a search of the whole registry hands over hundreds of
  // thousands of hits).
  batchRootNames_.clear();
  if (Begin) {
    for (const TRootKeyEntry& e : RootKeyTable)
      batchRootNames_.emplace_back(e.Root, dmodCommon->GetRootKeyName(e.Root, rnmByOption));
    lvFindResults->Items()->BeginUpdate();
  } else {
    lvFindResults->Items()->EndUpdate();
  }
}

void TfrmMain::SearchProgress(const String& KeyPath) { lblFindStats->SetCaption(L"Search in progress... " + KeyPath); }

void TfrmMain::SearchFinished() {
  MoveFocusFrom(panelSearching, lvFindResults);
  panelSearching->SetVisible(false);
  btnFindStop->SetEnabled(false);
  lvFindResults->AlphaSort();
  lvFindResults->SetCursor(crDefault);
  lblFindStats->SetCaption(L"Search complete.");
  tbsFindResults->SetImageIndex(1);
  SetFindItemsEnabled(true);
}

void TfrmMain::lvFindResultsDeletion(TObject*, TListItem* Item) {
  ListItemGone(Item);
  delete ItemHit(Item);
  Item->SetData(nullptr);
}

// ---------------------------------------------------------------------------
// Commands.

String TfrmMain::ActiveControlName() {
  TWinControl* c = GetActiveControl();
  return c ? c->GetName() : String();
}

void TfrmMain::mnuFile_ImportClick(TObject*) {
  // A key being renamed gets its new name before the file dialog is up (it
  // would end the edit, and rename the key, underneath it).
  EndKeyEdit();
  // A file not chosen, or not confirmed, imports nothing: no earlier
  // import's success stands for it.
  if (!dmodCommon->odlgImport->Execute()) {
    SetStatusText(AppText::ImportAborted);
    return;
  }
  String file = dmodCommon->odlgImport->GetFileName();
  if (!dmodCommon->ConfirmImport(file)) {
    SetStatusText(AppText::ImportAborted);
    return;
  }
  dmodCommon->Logic.ImportFile(file, [this] { RefreshTree(); });
}

void TfrmMain::mnuFile_ExportClick(TObject*) {
  // A key being renamed is exported by its new name (the file dialog would
  // end the edit, and rename the key, while it is up).
  EndKeyEdit();
  TTreeExNode* node = GetSelectedNode();
  if (!dmodCommon->NodeHasData(node) || !dmodCommon->sdlgExport->Execute()) {
    SetStatusText(AppText::ExportAborted);
    return;
  }
  dmodCommon->Logic.ExportKey(dmodCommon->GetNodeRootKey(node), dmodCommon->GetNodeKeyPath(node),
                              dmodCommon->sdlgExport->GetFileName(), true);
}

void TfrmMain::mnuFile_PreferencesClick(TObject*) {
  // Only "Cancel" (the Abort result) leaves the options as they were; "OK"
  // and the window's close box stored them, and they are applied again.
  int r = dmodCommon->ShowOptionsHook ? dmodCommon->ShowOptionsHook() : mrAbort;
  if (r != mrAbort) LoadOptions(false);
}

void TfrmMain::mnuFile_ExitClick(TObject*) { Close(); }

TTreeExNode* TfrmMain::SelectedKeyNode() {
  EndKeyEdit();
  TTreeExNode* n = GetSelectedNode();
  if (dmodCommon->NodeHasData(n)) return n;
  // Said in place of what an earlier command reported, which would read as
  // this one's doing.
  const TKeyStatus about(this);
  SetStatusText(L"No registry key is selected.");
  return nullptr;
}

void TfrmMain::mnuEdit_New_KeyClick(TObject*) {
  if (SelectedKeyNode()) NewKey();
}

void TfrmMain::mnuEdit_New_StringClick(TObject*) {
  if (TTreeExNode* n = SelectedKeyNode())
    NewStringValue(dmodCommon->GetNodeRootKey(n), dmodCommon->GetNodeKeyPath(n));
}
void TfrmMain::mnuEdit_New_BinaryClick(TObject*) {
  if (TTreeExNode* n = SelectedKeyNode())
    NewBinaryValue(dmodCommon->GetNodeRootKey(n), dmodCommon->GetNodeKeyPath(n));
}
void TfrmMain::mnuEdit_New_DwordClick(TObject*) {
  if (TTreeExNode* n = SelectedKeyNode())
    NewIntegerValue(dmodCommon->GetNodeRootKey(n), dmodCommon->GetNodeKeyPath(n));
}
void TfrmMain::mnuEdit_New_ExpStringClick(TObject*) {
  if (TTreeExNode* n = SelectedKeyNode())
    NewExpandStringValue(dmodCommon->GetNodeRootKey(n), dmodCommon->GetNodeKeyPath(n));
}

void TfrmMain::mnuEdit_RenameClick(TObject*) {
  const TKeyStatus about(this);
  String name = ActiveControlName();
  if (name == L"treeRegTree") {
    // Only a key that may be renamed gets the edit box (the system scrolls
    // the name into view as it starts one, even one refused at once).
    TTreeExNode* n = SelectedKeyNode();
    if (!n) return;
    if (n->GetLevel() <= 1) {
      SetStatusText(L"Key not renamed.");
      dmodCommon->ShowMessageText(L"A root key can't be renamed.");
      return;
    }
    bool allow = true;
    KeyEditRequested = true;
    treeRegTreeEditing(treeRegTree, n, allow);
    if (allow) n->EditText();
    KeyEditRequested = false;
  } else if (name == L"lvKeyValues") {
    if (TListItem* it = lvKeyValues->GetSelected()) it->EditCaption();
  } else if (name == L"lvBookmarks") {
    if (TListItem* it = lvBookmarks->GetSelected()) it->EditCaption();
  }
}

void TfrmMain::mnuEdit_DeleteClick(TObject*) { DeleteSelected(GetActiveControl()); }

void TfrmMain::pmnuTree_DeleteClick(TObject*) { DeleteSelected(treeRegTree); }
void TfrmMain::tbtnRenameClick(TObject* Sender) { mnuEdit_RenameClick(Sender); }
void TfrmMain::pmnuTree_RenameClick(TObject* Sender) { mnuEdit_RenameClick(Sender); }
void TfrmMain::pmnuTree_BookmarkClick(TObject* Sender) { mnuNavigation_BookmarkClick(Sender); }
void TfrmMain::pmnuLVS_LargeIconsClick(TObject* Sender) { mnuView_LVS_LargeIconsClick(Sender); }
void TfrmMain::pmnuLVS_SmallIconsClick(TObject* Sender) { mnuView_LVS_SmallIconsClick(Sender); }
void TfrmMain::pmnuLVS_ListClick(TObject* Sender) { mnuView_LVS_ListClick(Sender); }
void TfrmMain::pmnuLVS_DetailsClick(TObject* Sender) { mnuView_LVS_DetailsClick(Sender); }

namespace {
const wchar_t* const PathNotCopied = L"Path not copied.";
}  // namespace

void TfrmMain::CopyText(const std::function<String()>& Text, const wchar_t* Done, const wchar_t* Failed) {
  try {
    Clipboard()->SetAsText(Text());
  } catch (...) {
    // The status of an earlier copy must not stand for this one, which
    // failed (the clipboard held by another program, say).
    SetStatusText(Failed);
    throw;
  }
  SetStatusText(Done);
}

void TfrmMain::mnuEdit_CopyKeyClick(TObject*) {
  String name = ActiveControlName();
  if (name == L"lvBookmarks") {
    TListItem* it = lvBookmarks->GetSelected();
    auto* b = ItemBookmark(it);
    if (!b) return;
    // A root line that names no root key is copied as the file has it.
    auto root = [b] {
      return b->RootKey == RegRoot::None ? b->RootText : dmodCommon->GetRootKeyName(b->RootKey, rnmFull);
    };
    CopyText([b, root] { return root() + b->KeyPath; },
             L"Copied path of the selected bookmark to the clipboard.", PathNotCopied);
  } else if (name == L"lvFindResults") {
    TListItem* it = lvFindResults->GetSelected();
    auto* h = ItemHit(it);
    if (!h) return;
    CopyText([h] { return dmodCommon->GetRootKeyName(h->RootKey, rnmFull) + h->Path; },
             L"Copied path of the selected find result to the clipboard.", PathNotCopied);
  } else {
    const TKeyStatus about(this);
    TTreeExNode* n = SelectedKeyNode();
    if (!n) return;
    CopyText([n] { return dmodCommon->GetRootKeyName(dmodCommon->GetNodeRootKey(n), rnmFull) +
                          dmodCommon->GetNodeKeyPath(n); },
             L"Copied path of the selected key to the clipboard.", PathNotCopied);
  }
}

void TfrmMain::mnuEdit_CopyValueClick(TObject*) {
  const TKeyStatus about(this);
  TListItem* it = lvKeyValues->GetSelected();
  auto* v = ItemValue(it);
  if (!v) {
    SetStatusText(L"No value is selected.");
    return;
  }
  // A value with no text (a type the editor doesn't show) raises here.
  CopyText([v] { return v->GetDisplayText(); }, L"Copied selected value to the clipboard.", L"Value not copied.");
}

void TfrmMain::mnuEdit_FindClick(TObject*) { dmodCommon->ShowFindDialog(); }

void TfrmMain::mnuEdit_RepeatFindClick(TObject*) { dmodCommon->StartSearch(true, TSearchInput()); }

void TfrmMain::mnuView_LVS_LargeIconsClick(TObject*) {
  if (auto* lv = dynamic_cast<TListViewQ*>(GetActiveControl())) SetListViewStyle(lv, vsIcon);
}
void TfrmMain::mnuView_LVS_SmallIconsClick(TObject*) {
  if (auto* lv = dynamic_cast<TListViewQ*>(GetActiveControl())) SetListViewStyle(lv, vsSmallIcon);
}
void TfrmMain::mnuView_LVS_ListClick(TObject*) {
  if (auto* lv = dynamic_cast<TListViewQ*>(GetActiveControl())) SetListViewStyle(lv, vsList);
}
void TfrmMain::mnuView_LVS_DetailsClick(TObject*) {
  if (auto* lv = dynamic_cast<TListViewQ*>(GetActiveControl())) SetListViewStyle(lv, vsReport);
}

void TfrmMain::tbtnListViewStyleClick(TObject*) {
  if (auto* lv = dynamic_cast<TListViewQ*>(GetActiveControl()))
    SetListViewStyle(lv, static_cast<TViewStyle>((static_cast<int>(lv->GetViewStyle()) + 1) % 4));
}

namespace {
void ToggleToolbar(TSkinToolbar* Bar, TSkinItem* Item) {
  Bar->SetVisible(!Bar->GetVisible());
  Item->SetChecked(Bar->GetVisible());
}
}  // namespace

void TfrmMain::mnuView_TB_MenuClick(TObject*) { ToggleToolbar(tbrMainMenu, mnuView_TB_Menu); }
void TfrmMain::mnuView_TB_FileClick(TObject*) { ToggleToolbar(tbrFile, mnuView_TB_File); }
void TfrmMain::mnuView_TB_EditClick(TObject*) { ToggleToolbar(tbrEdit, mnuView_TB_Edit); }
void TfrmMain::mnuView_TB_ViewClick(TObject*) { ToggleToolbar(tbrView, mnuView_TB_View); }
void TfrmMain::mnuView_TB_NavigationClick(TObject*) { ToggleToolbar(tbrNavigation, mnuView_TB_Navigation); }

void TfrmMain::tbrMainMenuVisibleChanged(TObject* Sender) { ToolbarVisibleChanged(Sender); }
void TfrmMain::tbrFileVisibleChanged(TObject* Sender) { ToolbarVisibleChanged(Sender); }
void TfrmMain::tbrEditVisibleChanged(TObject* Sender) { ToolbarVisibleChanged(Sender); }
void TfrmMain::tbrViewVisibleChanged(TObject* Sender) { ToolbarVisibleChanged(Sender); }
void TfrmMain::tbrNavigationVisibleChanged(TObject* Sender) { ToolbarVisibleChanged(Sender); }

void TfrmMain::tbrNavigationResize(TObject*) { FitAddressBox(); }

void TfrmMain::FitAddressBox() {
  if (fittingAddressBox_ || !txtPath || IsDestroying() || tbrNavigation->IsDestroying()) return;
  int width = OnScreen(kAddressBoxWidth);
  TBarDock* dock = tbrNavigation->GetCurrentDock();
  if (dock && !dock->IsVertical()) {
    // The items' length against the length the dock gave the toolbar: the
    // box takes up the difference, either way, down to its minimum (then
    // the chevron takes what still does not fit).
    POINT items{0, 0};
    tbrNavigation->GetBaseSize(items);
    width = std::max<int>(OnScreen(kMinAddressBoxWidth),
                          txtPath->GetEditWidth() + tbrNavigation->GetClientWidth() - items.x);
  }
  if (width == txtPath->GetEditWidth()) return;
  fittingAddressBox_ = true;
  try {
    txtPath->SetEditWidth(width);
  } catch (...) {
    fittingAddressBox_ = false;
    throw;
  }
  fittingAddressBox_ = false;
}

void TfrmMain::ToolbarVisibleChanged(TObject* Sender) {
  TSkinItem* item = Sender == tbrMainMenu ? mnuView_TB_Menu
                   : Sender == tbrFile   ? mnuView_TB_File
                   : Sender == tbrEdit   ? mnuView_TB_Edit
                   : Sender == tbrView   ? mnuView_TB_View
                   : Sender == tbrNavigation ? mnuView_TB_Navigation
                                             : nullptr;
  if (item) item->SetChecked(static_cast<TControl*>(Sender)->GetVisible());
  // The menu bar and the View toolbar (whose drop-down holds the Toolbars
  // submenu) are the ways back to a hidden toolbar: hiding the one while
  // the other is hidden (by the Toolbars submenu or a close button) shows
  // the other.
  if (toolbarsPlaced_ && !IsDestroying() && (Sender == tbrMainMenu || Sender == tbrView) &&
      !tbrMainMenu->GetVisible() && !tbrView->GetVisible())
    (Sender == tbrMainMenu ? tbrView : tbrMainMenu)->SetVisible(true);
}

void TfrmMain::mnuView_RefreshClick(TObject*) { RefreshTree(); }

void TfrmMain::mnuNavigation_BookmarkClick(TObject*) {
  if (TTreeExNode* n = SelectedKeyNode()) AddBookmark(n);
}

void TfrmMain::mnuNavigation_ExpandClick(TObject*) {
  // Nothing said before stands for this command; what it does on the way
  // says so itself (a key renamed by the end of its name's edit, subkeys
  // that can't be read). The key is expanded by its new name.
  SetStatusText(String());
  EndKeyEdit();
  TTreeExNode* n = GetSelectedNode();
  if (n && !n->GetExpanded()) n->Expand(false);
}

void TfrmMain::mnuNavigation_CollapseClick(TObject*) {
  SetStatusText(String());
  EndKeyEdit();
  TTreeExNode* n = GetSelectedNode();
  if (n && n->GetExpanded()) n->Collapse(true);
}

void TfrmMain::GoToPath(const String& Text) {
  // No path (Go to cancelled, an empty address box), nothing is opened: no
  // earlier "Key opened" stands for it.
  if (Text.empty()) {
    SetStatusText(String());
    return;
  }
  String path = Text;
  String rootName = dmodCommon->SplitRegistryPath(path);
  TRegRoot root = dmodCommon->GetRootKeyFromName(rootName);
  if (root == RegRoot::None) root = RootOfAbbreviation(rootName);
  // A text that names no root key names no key: said so plainly (the tree
  // would take it for a root key it lost).
  if (root == RegRoot::None) {
    dmodCommon->SetStatusText(AppText::KeyNotFound);
    dmodCommon->ShowMessageText(L"The requested key does not exist:\n\n" + Text);
    return;
  }
  bool reached = false;
  TTreeExNode* node = ExpandToBranch(root, path, true, &reached);
  if (!reached || !node)
    dmodCommon->SetStatusText(AppText::KeyNotFound);
  else if (!ValuesUnread)
    dmodCommon->SetStatusText(L"Key opened: " + dmodCommon->GetNodeRootKeyName(node, rnmByOption) +
                              dmodCommon->GetNodeKeyPath(node));
  // (A key reached that can't be read keeps the status its listing gave.)
}

void TfrmMain::mnuNavigation_GotoClick(TObject*) {
  const TKeyStatus about(this);
  const String path = InputBox(L"Open registry path", L"Enter a registry path (do not include value name):", L"");
  GoToPath(path);
}

void TfrmMain::tbtnNavigation_GoClick(TObject*) {
  const TKeyStatus about(this);
  GoToPath(txtPath->GetText());
}


void TfrmMain::txtPathAcceptText(TObject* Sender, String&, bool&) {
  auto* viewer = dynamic_cast<TBarEditItemViewer*>(Sender);
  if (viewer && viewer->EditControlStatus.Contains(ecsClose) && HandleAllocated())
    PostMessageW(GetHandle(), WM_OPENTYPEDPATH, 0, 0);
}

namespace {
// The height of a visible control, 0 for a hidden one.
int ShownHeight(TControl* C) { return C && C->GetVisible() ? C->GetHeight() : 0; }
}  // namespace

int TfrmMain::FixedPanesHeight() {
  return ShownHeight(tbdTop) + ShownHeight(sbStatus) + ShownHeight(spltHorizontal) + kUpperPaneMinHeight;
}

void TfrmMain::AlignControls(TControl* aControl, TRect& r) {
  // The upper panel keeps its minimum height: where the window is too
  // short for both, the lower pane gives way (else it would be laid over
  // the toolbars and the key and values panes).
  if (pagExtras && pagExtras->GetVisible()) {
    const int room = std::max(RectHeight(r) - FixedPanesHeight(), 0);
    if (pagExtras->GetHeight() > room)
      pagExtras->SetBounds(pagExtras->GetLeft(), pagExtras->GetTop() + pagExtras->GetHeight() - room,
                           pagExtras->GetWidth(), room);
  }
  TForm::AlignControls(aControl, r);
}

void TfrmMain::WndProc(TMessage& Message) {
  if (Message.Msg == WM_OPENTYPEDPATH) {
    tbtnNavigation_GoClick(txtPath);
    return;
  }
  if (Message.Msg == WM_SHOWSTARTUPERRORS) {
    const std::vector<std::function<void()>> errors = std::move(startupErrors_);
    startupErrors_.clear();
    for (const auto& show : errors) show();
    return;
  }
  TForm::WndProc(Message);
  if (Message.Msg == WM_GETMINMAXINFO && HandleAllocated() && spltHorizontal) {
    // The window is never sized so short that a pane is lost: the toolbars,
    // the upper panel at its minimum, the splitter, the lower pane at the
    // splitter's minimum and the status bar all stay in it.
    RECT w, c;
    GetWindowRect(GetHandle(), &w);
    ::GetClientRect(GetHandle(), &c);
    const int frame = (w.bottom - w.top) - (c.bottom - c.top);
    auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y,
                                            frame + FixedPanesHeight() + spltHorizontal->GetMinSize());
  }
}

void TfrmMain::mnuHelp_ContentsClick(TObject*) { dmodCommon->ShowHelpContents(); }
void TfrmMain::mnuHelp_ContactClick(TObject*) { dmodCommon->ShowHelpTopic(L"int_contact.htm"); }
void TfrmMain::mnuHelp_AboutClick(TObject*) {
  if (dmodCommon->ShowAboutHook) dmodCommon->ShowAboutHook();
}

void TfrmMain::pmnuValues_EditValueClick(TObject*) { EditSelectedValue(); }
void TfrmMain::pmnuBookmarks_OpenClick(TObject*) { OpenBookmark(); }
void TfrmMain::pmnuFind_OpenClick(TObject*) { OpenListItem(); }
void TfrmMain::lvFindResultsDblClick(TObject*) { pmnuFind_OpenClick(nullptr); }

void TfrmMain::lvFindResultsKeyDown(TObject*, WORD& Key, TShiftState) {
  if (lvFindResults->IsEditing()) return;
  if (Key == VK_DELETE)
    DeleteSelected(lvFindResults);
  else if (Key == VK_RETURN)
    pmnuFind_OpenClick(nullptr);
}

void TfrmMain::btnFindStopClick(TObject*) { dmodCommon->StopSearch(); }

void TfrmMain::lvKeyValuesEnter(TObject* Sender) { ListEnter(Sender); }
void TfrmMain::lvKeyValuesExit(TObject* Sender) { ListExit(Sender); }
void TfrmMain::lvBookmarksEnter(TObject* Sender) { ListEnter(Sender); }
void TfrmMain::lvBookmarksExit(TObject* Sender) { ListExit(Sender); }
void TfrmMain::lvFindResultsEnter(TObject* Sender) { ListEnter(Sender); }
void TfrmMain::lvFindResultsExit(TObject* Sender) { ListExit(Sender); }

void TfrmMain::ListEnter(TObject* Sender) {
  for (TSkinItem* it : {mnuView_LVS_LargeIcons, mnuView_LVS_SmallIcons, mnuView_LVS_List, mnuView_LVS_Details})
    it->SetEnabled(true);
  tbtnView_ListStyle->SetEnabled(true);
  auto* lv = static_cast<TListViewQ*>(Sender);
  SetListViewStyle(lv, lv->GetViewStyle());
}

void TfrmMain::ListExit(TObject*) {
  for (TSkinItem* it : {mnuView_LVS_LargeIcons, mnuView_LVS_SmallIcons, mnuView_LVS_List, mnuView_LVS_Details})
    it->SetEnabled(false);
  tbtnView_ListStyle->SetEnabled(false);
}

void TfrmMain::SetListViewStyle(TListViewQ* List, TViewStyle Style) {
  List->SetViewStyle(Style);
  TSkinItem* item = Style == vsIcon        ? mnuView_LVS_LargeIcons
                   : Style == vsSmallIcon ? mnuView_LVS_SmallIcons
                   : Style == vsList      ? mnuView_LVS_List
                                          : mnuView_LVS_Details;
  item->SetChecked(true);
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{tbtnView_ListStyle, pmnuValues_ListStyle,
                                                                   pmnuBookmarks_ListStyle, pmnuFind_ListStyle})
    it->SetImageIndex(item->GetImageIndex());
}
