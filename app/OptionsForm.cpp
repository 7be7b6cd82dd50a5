#include "app/OptionsForm.h"
#include "app/FormBuild.h"

#include "app/CommonLogic.h"

const wchar_t* const TfrmOptions::RestartText =
    L"The application must be restarted after changing the option to\nuse abbreviated key names.  Zembrio will "
    L"now exit.";
const wchar_t* const TfrmOptions::ClearBookmarksQuestion =
    L"Bookmark path has changed.  Do you wish to clear the\nexisting bookmarks from the Bookmarks list?";
const wchar_t* const TfrmOptions::MergeBookmarksQuestion =
    L"Bookmark path has been changed to an existing file.\nDo you wish to merge in bookmarks from this "
    L"file?\nBookmarks in this file will otherwise be lost.";

TfrmOptions::TfrmOptions(TComponent* AOwner, TCommonLogic* Logic)
    : TForm(AOwner), logic_(Logic), workingFont_(std::make_unique<TFont>()) {
  SetName(L"frmOptions");
  SetCaption(L"Zembrio Preferences");
  SetBorderStyle(bsDialog);
  SetPosition(poDefault);
  SetClientWidth(427);
  SetClientHeight(300);

  pnlButtons = Place<TPanel>(this, this, L"pnlButtons", 0, 266, 427, 34);
  pnlButtons->SetAlign(alBottom);
  pnlButtons->SetBevelOuter(bvNone);
  pnlPages = Place<TPanel>(this, this, L"pnlPages", 0, 0, 427, 266);
  pnlPages->SetAlign(alClient);
  pnlPages->SetBevelOuter(bvNone);
  pnlPages->SetBorderWidth(5);
  pagesOptions = Place<TPageControl>(this, pnlPages, L"pagesOptions", 5, 5, 417, 256);
  pagesOptions->SetAlign(alClient);

  auto page = [this](const wchar_t* name, const wchar_t* caption) {
    TTabSheet* p = new TTabSheet(this);
    p->SetName(name);
    p->SetPageControl(pagesOptions);
    p->SetCaption(caption);
    return p;
  };
  auto heading = [this](TWinControl* parent, const wchar_t* name, const wchar_t* caption, int l, int t) {
    TLabel* l1 = Place<TLabel>(this, parent, name, l, t, 200, 13);
    l1->SetCaption(caption);
    l1->Font()->SetStyle(TFontStyles{fsBold});
    return l1;
  };
  auto check = [this](TWinControl* parent, const wchar_t* name, const wchar_t* caption, const wchar_t* hint, int l,
                      int t, int w) {
    TCheckBox* c = Place<TCheckBox>(this, parent, name, l, t, w, 17);
    c->SetCaption(caption);
    if (hint) c->SetHint(hint);
    return c;
  };

  pageGeneral = page(L"pageGeneral", L"General");
  lblGeneral = heading(pageGeneral, L"lblGeneral", L"General", 8, 8);
  chkPreloadHasChildren =
      check(pageGeneral, L"chkPreloadHasChildren", L"Preload child status of registry keys",
            L"Uncheck to bypass checks to see if a registry has children.\r\nEnhances performance, but keys always "
            L"show [+] until expanded.",
            16, 28, 380);
  chkShowSearchProgress = check(
      pageGeneral, L"chkShowSearchProgress", L"Show ongoing search progress",
      L"Show updates of search status on the search results panel.\r\nImpacts search performance.", 16, 50, 380);
  chkAbbrBaseKey = check(pageGeneral, L"chkAbbrBaseKey", L"Use abbreviated, user-friendly base key names",
                         L"Use shorter, more readable base key names.\r\nImport, Export, Copy key name, and similar "
                         L"functions are not affected.\r\nZembrio must be restarted to update all displays.",
                         16, 72, 380);
  chkReopenPrevious =
      check(pageGeneral, L"chkReopenPrevious", L"Re-open previous key at startup",
            L"When Zembrio is started, open the registry to the key that was last accessed.", 16, 94, 380);
  Label3 = heading(pageGeneral, L"Label3", L"Bookmarks", 8, 124);
  edtBookmarkFile = Place<TEdit>(this, pageGeneral, L"edtBookmarkFile", 16, 144, 361, 21);
  btnSelectBookmarkFile = Place<TButton>(this, pageGeneral, L"btnSelectBookmarkFile", 381, 144, 21, 21);
  btnSelectBookmarkFile->SetCaption(L"...");
  btnSelectBookmarkFile->SetHint(L"Click to set bookmark file location.");

  pagAppearance = page(L"pagAppearance", L"Appearance");
  lblToolbars = heading(pagAppearance, L"lblToolbars", L"Toolbars", 8, 8);
  rgrpDragHandleStyle = Place<TRadioGroup>(this, pagAppearance, L"rgrpDragHandleStyle", 16, 26, 140, 82);
  rgrpDragHandleStyle->SetCaption(L"Toolbar Grip Style");
  rgrpDragHandleStyle->SetHint(L"Style of toolbar grips (i.e., handles)");
  // The group makes and lays out its buttons once, for all items.
  rgrpDragHandleStyle->Items()->BeginUpdate();
  rgrpDragHandleStyle->Items()->Add(L"No Grip");
  rgrpDragHandleStyle->Items()->Add(L"Single Bar");
  rgrpDragHandleStyle->Items()->Add(L"Double Bar");
  rgrpDragHandleStyle->Items()->EndUpdate();
  chkTbrCloseButton =
      check(pagAppearance, L"chkTbrCloseButton", L"Close button visible when docked",
            L"A toolbar close (or hide) button is visible on the toolbar grip while it is docked.", 168, 32, 235);
  chkTbrFullSizeMenu = check(pagAppearance, L"chkTbrFullSizeMenu", L"Full-sized menu toolbar",
                             L"The menu toolbar is always the width of the form.\r\nDisable this option to dock "
                             L"other toolbars next to the menus.",
                             168, 54, 235);
  chkTbrXPThemes = check(pagAppearance, L"chkTbrXPThemes", L"XP-themed toolbars",
                         L"Toolbars are drawn according to the active XP visual style.\r\nApplies to Windows XP only.",
                         168, 76, 235);
  lblMisc = heading(pagAppearance, L"lblMisc", L"Misc", 8, 116);
  chkShowHints = check(pagAppearance, L"chkShowHints", L"Show hints (tool tips)", nullptr, 16, 134, 300);
  lblFont = heading(pagAppearance, L"lblFont", L"Tree and List Font", 8, 160);
  chkSystemFont = check(pagAppearance, L"chkSystemFont", L"Use system font",
                        L"Use the system icon font from Display Properties.", 16, 178, 300);
  edtFont = Place<TEdit>(this, pagAppearance, L"edtFont", 16, 198, 361, 21);
  edtFont->SetReadOnly(true);
  btnFont = Place<TButton>(this, pagAppearance, L"btnFont", 381, 198, 21, 21);
  btnFont->SetCaption(L"...");
  btnFont->SetHint(L"Click to set tree and list font.");
  pagesOptions->SetActivePage(pageGeneral);

  btnOk = Place<TButton>(this, pnlButtons, L"btnOk", 182, 4, 75, 25);
  btnOk->SetCaption(L"OK");
  btnOk->SetDefault(true);
  btnOk->SetModalResult(mrOk);
  btnCancel = Place<TButton>(this, pnlButtons, L"btnCancel", 262, 4, 75, 25);
  btnCancel->SetCaption(L"Cancel");
  // Cancel (and Escape, which presses it) ends the dialog with the Abort
  // result, the one answer that counts as cancelling.
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrAbort);
  btnHelp = Place<TButton>(this, pnlButtons, L"btnHelp", 342, 4, 75, 25);
  btnHelp->SetCaption(L"&Help");
  SetDefaultButton(btnOk);
  SetCancelButton(btnCancel);

  chkShowHints->OnClick = TNotifyEvent(this, &TfrmOptions::chkShowHintsClick);
  chkSystemFont->OnClick = TNotifyEvent(this, &TfrmOptions::chkSystemFontClick);
  edtBookmarkFile->OnChange = TNotifyEvent(this, &TfrmOptions::edtBookmarkFileChange);
  btnSelectBookmarkFile->OnClick = TNotifyEvent(this, &TfrmOptions::btnSelectBookmarkFileClick);
  btnFont->OnClick = TNotifyEvent(this, &TfrmOptions::btnFontClick);
  OnShow = TNotifyEvent(this, &TfrmOptions::FormShow);
  OnClose = TCloseEvent(this, &TfrmOptions::FormClose);
  OnCloseQuery = TCloseQueryEvent(this, &TfrmOptions::FormCloseQuery);
}

TfrmOptions::~TfrmOptions() = default;

String TfrmOptions::FontDescription(TFont* Font) {
  String s = Font->GetName() + L", " + IntToStr(Font->GetSize()) + L" pt";
  const TFontStyles st = Font->GetStyle();
  if (st.Contains(fsBold)) s += L", Bold";
  if (st.Contains(fsItalic)) s += L", Italic";
  if (st.Contains(fsUnderline)) s += L", Underline";
  if (st.Contains(fsStrikeOut)) s += L", Strikeout";
  return s;
}

void TfrmOptions::UpdateFontControls() {
  const bool own = !chkSystemFont->GetChecked();
  edtFont->SetEnabled(own);
  btnFont->SetEnabled(own);
}

void TfrmOptions::LoadControls() {
  TCommonLogic& dm = *logic_;
  const int top = dm.GetOption(SettingName::OptTop).AsInteger(), left = dm.GetOption(SettingName::OptLeft).AsInteger();
  SetTop(top);
  SetLeft(left);
  KeepOnScreen(this);
  keptTop_.Take(top, GetTop());
  keptLeft_.Take(left, GetLeft());
  SetShowHint(dm.GetOption(SettingName::ShowHints).AsBoolean());
  chkPreloadHasChildren->SetChecked(dm.GetOption(SettingName::PreloadHasChildren).AsBoolean());
  // A stored number outside the three items (a hand-edited setting) shows
  // as "Double Bar", the grip the window gives it, instead of stopping the
  // dialog from opening.
  const int grip = dm.GetOption(SettingName::DragHandleStyle).AsInteger();
  rgrpDragHandleStyle->SetItemIndex(grip == 0 || grip == 1 ? grip : 2);
  chkTbrCloseButton->SetChecked(dm.GetOption(SettingName::CloseButtonDocked).AsBoolean());
  chkTbrFullSizeMenu->SetChecked(dm.GetOption(SettingName::FullSizeMenu).AsBoolean());
  chkTbrXPThemes->SetChecked(dm.GetOption(SettingName::ToolbarXPThemes).AsBoolean());
  chkShowSearchProgress->SetChecked(dm.GetOption(SettingName::ShowSearchProgress).AsBoolean());
  chkShowHints->SetChecked(dm.GetOption(SettingName::ShowHints).AsBoolean());
  chkAbbrBaseKey->SetChecked(dm.GetOption(SettingName::AbbrBaseKeyNames).AsBoolean());
  edtBookmarkFile->SetText(dm.GetOption(SettingName::BookmarkFile).AsString());
  chkReopenPrevious->SetChecked(dm.GetOption(SettingName::ReopenPrevious).AsBoolean());

  workingFont_ = std::make_unique<TFont>();
  workingFont_->SetName(dm.GetOption(SettingName::FontName).AsString());
  workingFont_->SetSize(UsableFontSize(dm.GetOption(SettingName::FontSize).AsInteger()));
  TFontStyles st;
  if (dm.GetOption(SettingName::FontBold).AsBoolean()) st.Include(fsBold);
  if (dm.GetOption(SettingName::FontItalic).AsBoolean()) st.Include(fsItalic);
  if (dm.GetOption(SettingName::FontUnderline).AsBoolean()) st.Include(fsUnderline);
  if (dm.GetOption(SettingName::FontStrikeout).AsBoolean()) st.Include(fsStrikeOut);
  workingFont_->SetStyle(st);
  edtFont->SetText(FontDescription(workingFont_.get()));
  chkSystemFont->SetChecked(dm.GetOption(SettingName::UseSystemFont).AsBoolean());
  UpdateFontControls();
}

void TfrmOptions::FormShow(TObject*) {
  // The "..." buttons stand beside their edits as tall as them: an edit
  // takes the height of its font, which scales to the screen otherwise
  // than the buttons' stored height (an edit on a page not shown yet takes
  // it when its window is made).
  for (auto [edit, button] : {std::pair<TEdit*, TButton*>{edtBookmarkFile, btnSelectBookmarkFile},
                              std::pair<TEdit*, TButton*>{edtFont, btnFont}}) {
    edit->HandleNeeded();
    button->SetBounds(button->GetLeft(), edit->GetTop(), edit->GetHeight(), edit->GetHeight());
  }
  if (logic_) LoadControls();
  // Loading the edit box counts as a change; only the user's edits count.
  bookmarkPathChanged_ = false;
}

bool TfrmOptions::Ask(const String& Question) {
  if (OnAskYesNo) return OnAskYesNo(Question);
  return MessageDlg(DialogText(Question), mtConfirmation, TMsgDlgButtons{mbYes, mbNo}) == mrYes;
}

void TfrmOptions::Tell(const String& Text) { MessageDlg(DialogText(Text), mtWarning, TMsgDlgButtons{mbOK}); }

void TfrmOptions::FormCloseQuery(TObject*, bool& CanClose) {
  if (!logic_ || GetModalResult() == mrAbort || !bookmarkPathChanged_) return;
  if (Application && Application->Terminated()) return;
  CanClose = CheckBookmarkFile();
}

bool TfrmOptions::CheckBookmarkFile() {
  // The name as the main window will take it: empty for the default file
  // beside the program.
  const String name = BookmarkFileFromSetting(edtBookmarkFile->GetText());
  if (name.empty()) return true;
  auto refuse = [this](const String& Text) {
    if (!Text.empty()) Tell(Text);
    pagesOptions->SetActivePage(pageGeneral);
    if (edtBookmarkFile->CanFocus()) edtBookmarkFile->SetFocus();
    edtBookmarkFile->SelectAll();
    return false;
  };
  // No file name holds a double quote: one left after a surrounding pair
  // is taken off is a quote missing at the other end, or a stray one.
  if (name.find(L'"') != String::npos)
    return refuse(L"The bookmark file name has a double quote that does not enclose the whole name.  Put the whole "
                  L"name in quotes, or leave the quotes out:\n\n" +
                  edtBookmarkFile->GetText());
  const String file = ExpandFileName(name);
  if (DirectoryExists(file)) return refuse(L"The bookmark file location is a folder, not a file:\n\n" + file);
  if (FileExists(file)) {
    // Its bookmarks may be merged in; it is replaced at close, which a
    // read-only file refuses.
    if (GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY)
      return refuse(L"The bookmark file is read-only:\n\n" + file);
    return true;
  }
  const String folder = ExtractFileDir(file);
  if (!DirectoryExists(folder)) {
    if (!Ask(L"The folder of the bookmark file does not exist:\n\n" + folder + L"\n\nDo you wish to create it?"))
      return refuse(String());
    SetLastError(0);
    if (!ForceDirectories(folder)) {
      const DWORD err = GetLastError();
      return refuse(L"The folder of the bookmark file could not be created:\n\n" + folder +
                    (err ? L"\n\n" + Trim(SysErrorMessage(err)) : String()));
    }
  }
  // A file can be made there (a valid name in a folder open to writing):
  // one is made and goes again at once.
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    return refuse(L"The bookmark file can't be created:\n\n" + file + L"\n\n" + Trim(SysErrorMessage(err)));
  }
  CloseHandle(h);
  return true;
}

void TfrmOptions::FormClose(TObject*, TCloseAction&) {
  if (!logic_) return;
  logic_->SetOption(SettingName::OptTop, keptTop_.ToStore(GetTop()));
  logic_->SetOption(SettingName::OptLeft, keptLeft_.ToStore(GetLeft()));
  // Cancel and Escape store nothing but the position; "OK", Enter and the
  // window's close box save.
  if (GetModalResult() != mrAbort) SaveOptions();
}

void TfrmOptions::SaveOptions() {
  TCommonLogic& dm = *logic_;
  if (chkAbbrBaseKey->GetChecked() != dm.GetOption(SettingName::AbbrBaseKeyNames).AsBoolean()) {
    ShowMessage(RestartText);
    if (OnCloseMainWindow) {
      OnCloseMainWindow(this);
    } else if (Application && Application->MainForm() && Application->MainForm() != this) {
      Application->MainForm()->Close();
    }
  }
  dm.SetOption(SettingName::PreloadHasChildren, chkPreloadHasChildren->GetChecked());
  dm.SetOption(SettingName::DragHandleStyle, rgrpDragHandleStyle->GetItemIndex());
  dm.SetOption(SettingName::CloseButtonDocked, chkTbrCloseButton->GetChecked());
  dm.SetOption(SettingName::FullSizeMenu, chkTbrFullSizeMenu->GetChecked());
  dm.SetOption(SettingName::ToolbarXPThemes, chkTbrXPThemes->GetChecked());
  dm.SetOption(SettingName::ShowSearchProgress, chkShowSearchProgress->GetChecked());
  dm.SetOption(SettingName::ShowHints, chkShowHints->GetChecked());
  dm.SetOption(SettingName::AbbrBaseKeyNames, chkAbbrBaseKey->GetChecked());
  dm.SetOption(SettingName::BookmarkFile, edtBookmarkFile->GetText());
  dm.SetOption(SettingName::ReopenPrevious, chkReopenPrevious->GetChecked());
  dm.SetOption(SettingName::FontName, workingFont_->GetName());
  dm.SetOption(SettingName::FontSize, workingFont_->GetSize());
  const TFontStyles st = workingFont_->GetStyle();
  dm.SetOption(SettingName::FontBold, st.Contains(fsBold));
  dm.SetOption(SettingName::FontItalic, st.Contains(fsItalic));
  dm.SetOption(SettingName::FontUnderline, st.Contains(fsUnderline));
  dm.SetOption(SettingName::FontStrikeout, st.Contains(fsStrikeOut));
  dm.SetOption(SettingName::UseSystemFont, chkSystemFont->GetChecked());
  dm.WriteAllOptions();

  if (bookmarkPathChanged_) {
    if (Ask(ClearBookmarksQuestion) && OnClearBookmarks) OnClearBookmarks(this);
    const String file = BookmarkFileFromSetting(edtBookmarkFile->GetText());
    if (!file.empty() && FileExists(file) && Ask(MergeBookmarksQuestion) && OnLoadBookmarks) OnLoadBookmarks(file);
  }
}

void TfrmOptions::chkShowHintsClick(TObject*) { SetShowHint(chkShowHints->GetChecked()); }

void TfrmOptions::chkSystemFontClick(TObject*) { UpdateFontControls(); }

void TfrmOptions::edtBookmarkFileChange(TObject*) { bookmarkPathChanged_ = true; }

void TfrmOptions::btnSelectBookmarkFileClick(TObject*) {
  if (!BookmarkDialog) return;
  if (BookmarkDialog->Execute()) {
    edtBookmarkFile->SetText(BookmarkDialog->GetFileName());
    bookmarkPathChanged_ = true;
  }
}

void TfrmOptions::btnFontClick(TObject*) {
  if (!FontDialog) return;
  FontDialog->Font()->Assign(*workingFont_);
  if (FontDialog->Execute()) {
    workingFont_->Assign(*FontDialog->Font());
    edtFont->SetText(FontDescription(workingFont_.get()));
  }
}
