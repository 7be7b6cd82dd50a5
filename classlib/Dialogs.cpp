#include "classlib/Dialogs.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "classlib/StdCtrls.h"

std::function<int(const String&, const String&, UINT)> MessageBoxHook;
std::function<void(TForm*)> InputQueryShowHook;
std::function<void(UINT)> BeepHook;

HWND TCommonDialog::OwnerWindow() const {
  HWND w = GetActiveWindow();
  if (!w && Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
    w = Application->MainForm()->GetHandle();
  return w;
}

// ===========================================================================
// TOpenDialog

TOpenDialog::TOpenDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), files_(std::make_unique<TStringList>()), historyList_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

String TOpenDialog::EncodeFilter(const String& filter) {
  String s = filter;
  for (auto& c : s)
    if (c == L'|') c = 0;
  s.push_back(0);
  s.push_back(0);
  return s;
}

void TOpenDialog::PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& buf) {
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof(OPENFILENAMEW);
  ofn.hwndOwner = OwnerWindow();
  ofn.hInstance = MainInstance();
  encodedFilter_ = filter_.empty() ? String() : EncodeFilter(filter_);
  ofn.lpstrFilter = encodedFilter_.empty() ? nullptr : encodedFilter_.c_str();
  ofn.nFilterIndex = DWORD(filterIndex_ > 0 ? filterIndex_ : 1);
  size_t n = std::min(fileName_.size(), buf.size() - 2);
  std::memcpy(buf.data(), fileName_.data(), n * sizeof(wchar_t));
  buf[n] = 0;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = DWORD(buf.size());
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  ofn.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
  ofn.lpstrDefExt = defaultExt_.empty() ? nullptr : defaultExt_.c_str();
  DWORD f = 0;
  struct {
    TOpenOption o;
    DWORD flag;
  } static const map[] = {{ofReadOnly, OFN_READONLY},
                          {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
                          {ofHideReadOnly, OFN_HIDEREADONLY},
                          {ofNoChangeDir, OFN_NOCHANGEDIR},
                          {ofShowHelp, OFN_SHOWHELP},
                          {ofNoValidate, OFN_NOVALIDATE},
                          {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
                          {ofPathMustExist, OFN_PATHMUSTEXIST},
                          {ofFileMustExist, OFN_FILEMUSTEXIST},
                          {ofCreatePrompt, OFN_CREATEPROMPT},
                          {ofShareAware, OFN_SHAREAWARE},
                          {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
                          {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
                          {ofNoNetworkButton, OFN_NONETWORKBUTTON},
                          {ofNoLongNames, OFN_NOLONGNAMES},
                          {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
                          {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY},
                          {ofEnableSizing, OFN_ENABLESIZING},
                          {ofDontAddToRecent, OFN_DONTADDTORECENT},
                          {ofForceShowHidden, OFN_FORCESHOWHIDDEN}};
  for (auto& m : map)
    if (options_.Contains(m.o)) f |= m.flag;
  if (!options_.Contains(ofOldStyleDialog)) f |= OFN_EXPLORER;
  ofn.Flags = f;
  ofn.FlagsEx = optionsEx_.Contains(ofExNoPlacesBar) ? OFN_EX_NOPLACESBAR : 0;
}

BOOL TOpenDialog::CallDialog(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn); }

BOOL TSaveDialog::CallDialog(OPENFILENAMEW& ofn) { return GetSaveFileNameW(&ofn); }

void TOpenDialog::ReadResult(const OPENFILENAMEW& ofn, const std::vector<wchar_t>& buf) {
  files_->Clear();
  // Multiple selection (explorer style): the folder, then each name, each
  // ended by a zero, and a final zero.
  size_t first = wcsnlen(buf.data(), buf.size());
  bool multi = options_.Contains(ofAllowMultiSelect) && first + 1 < buf.size() && buf[first + 1] != 0;
  if (multi) {
    String dir(buf.data(), first);
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    size_t p = first + 1;
    while (p < buf.size() && buf[p]) {
      size_t len = wcsnlen(buf.data() + p, buf.size() - p);
      files_->Add(dir + String(buf.data() + p, len));
      p += len + 1;
    }
    fileName_ = files_->GetCount() > 0 ? files_->Get(0) : String();
  } else {
    fileName_.assign(buf.data(), first);
    files_->Add(fileName_);
  }
  filterIndex_ = int(ofn.nFilterIndex);
  if (ofn.Flags & OFN_READONLY) options_ += ofReadOnly;
  else options_ -= ofReadOnly;
  // The extension differs from DefaultExt (or there is none while one was asked for).
  String ext;
  if (ofn.nFileExtension > 0 && ofn.nFileExtension < fileName_.size()) ext = fileName_.substr(ofn.nFileExtension);
  if (!defaultExt_.empty() && lstrcmpiW(ext.c_str(), defaultExt_.c_str()) != 0) options_ += ofExtensionDifferent;
  else options_ -= ofExtensionDifferent;
}

bool TOpenDialog::DoExecute() {
  std::vector<wchar_t> buf(options_.Contains(ofAllowMultiSelect) ? 65536 : 4 * MAX_PATH, 0);
  OPENFILENAMEW ofn;
  PrepareOpenFileName(ofn, buf);
  if (OnShow) OnShow(this);
  handle_ = ofn.hwndOwner;
  BOOL ok = CallDialog(ofn);
  handle_ = nullptr;
  if (OnClose) OnClose(this);
  if (!ok) {
    DWORD err = CommDlgExtendedError();
    if (err == 0x3003 /* FNERR_BUFFERTOOSMALL */) throw EOSError(L"Too many files selected");
    return false;
  }
  ReadResult(ofn, buf);
  return true;
}

bool TOpenDialog::Execute() { return DoExecute(); }

// ===========================================================================
// TFontDialog

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner), font_(std::make_unique<TFont>()) {}

TFontDialog::~TFontDialog() = default;

BOOL TFontDialog::CallDialog(CHOOSEFONTW& cf) { return ChooseFontW(&cf); }

bool TFontDialog::Execute() {
  LOGFONTW lf;
  font_->GetLogFont(lf);
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = OwnerWindow();
  cf.lpLogFont = &lf;
  cf.rgbColors = ColorToRef(font_->GetColor());
  cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_BOTH;
  if (options_.Contains(fdEffects)) cf.Flags |= CF_EFFECTS;
  if (options_.Contains(fdAnsiOnly)) cf.Flags |= CF_ANSIONLY;
  if (options_.Contains(fdTrueTypeOnly)) cf.Flags |= CF_TTONLY;
  if (options_.Contains(fdFixedPitchOnly)) cf.Flags |= CF_FIXEDPITCHONLY;
  if (options_.Contains(fdForceFontExist)) cf.Flags |= CF_FORCEFONTEXIST;
  if (options_.Contains(fdNoFaceSel)) cf.Flags |= CF_NOFACESEL;
  if (options_.Contains(fdNoOEMFonts)) cf.Flags |= CF_NOOEMFONTS;
  if (options_.Contains(fdNoSimulations)) cf.Flags |= CF_NOSIMULATIONS;
  if (options_.Contains(fdNoSizeSel)) cf.Flags |= CF_NOSIZESEL;
  if (options_.Contains(fdNoStyleSel)) cf.Flags |= CF_NOSTYLESEL;
  if (options_.Contains(fdNoVectorFonts)) cf.Flags |= CF_NOVECTORFONTS;
  if (options_.Contains(fdShowHelp)) cf.Flags |= CF_SHOWHELP;
  if (options_.Contains(fdScalableOnly)) cf.Flags |= CF_SCALABLEONLY;
  if (options_.Contains(fdLimitSize) && MaxFontSize > 0) {
    cf.Flags |= CF_LIMITSIZE;
    cf.nSizeMin = MinFontSize;
    cf.nSizeMax = MaxFontSize;
  }
  if (OnShow) OnShow(this);
  handle_ = cf.hwndOwner;
  BOOL ok = CallDialog(cf);
  handle_ = nullptr;
  if (OnClose) OnClose(this);
  if (!ok) return false;
  HFONT h = CreateFontIndirectW(&lf);
  font_->SetHandle(h);
  DeleteObject(h);
  font_->SetColor(TColor(cf.rgbColors));
  return true;
}

// ===========================================================================
// Message dialogs

UINT MessageDlgFlags(TMsgDlgType type, TMsgDlgButtons b) {
  UINT f = 0;
  switch (type) {
    case mtWarning: f = MB_ICONWARNING; break;
    case mtError: f = MB_ICONERROR; break;
    case mtInformation: f = MB_ICONINFORMATION; break;
    case mtConfirmation: f = MB_ICONQUESTION; break;
    default: break;
  }
  if (b.Contains(mbAbort) || b.Contains(mbIgnore)) f |= MB_ABORTRETRYIGNORE;
  else if (b.Contains(mbYes) || b.Contains(mbNo) || b.Contains(mbYesToAll) || b.Contains(mbAll) || b.Contains(mbNoToAll))
    f |= b.Contains(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  else if (b.Contains(mbRetry)) f |= MB_RETRYCANCEL;
  else if (b.Contains(mbCancel)) f |= MB_OKCANCEL;
  else f |= MB_OK;
  if (b.Contains(mbHelp)) f |= MB_HELP;
  return f | MB_TASKMODAL;
}

String MessageDlgCaption(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return L"Warning";
    case mtError: return L"Error";
    case mtInformation: return L"Information";
    case mtConfirmation: return L"Confirm";
    default: return Application ? Application->GetTitle() : String();
  }
}

static int RunMessageBox(const String& text, const String& caption, UINT flags) {
  if (MessageBoxHook) return MessageBoxHook(text, caption, flags);
  HWND owner = GetActiveWindow();
  if (!owner && Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
    owner = Application->MainForm()->GetHandle();
  // As a modal form: the ordinary pointer over a box shown during long
  // work, the hourglass back after.
  const TCursor busy = Screen ? Screen->GetCursor() : crDefault;
  if (Screen) Screen->SetCursor(crDefault);
  const int r = MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
  if (Screen) Screen->SetCursor(busy);
  return r;
}

int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int) {
  int r = RunMessageBox(msg, MessageDlgCaption(type), MessageDlgFlags(type, buttons));
  // The IDs of the system buttons are the modal results.
  return r;
}

void ShowMessage(const String& msg) {
  RunMessageBox(msg, Application ? Application->GetTitle() : String(), MB_OK | MB_TASKMODAL);
}

bool InputQuery(const String& caption, const String& prompt, String& value) {
  TForm form(nullptr);
  form.SetBorderStyle(bsDialog);
  form.SetCaption(caption);
  form.SetPosition(poScreenCenter);
  form.SetBounds(0, 0, 300, 130);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetBounds(8, 8, 280, 16);
  label->SetCaption(prompt);
  auto* edit = new TEdit(&form);
  edit->SetName(L"Edit");
  edit->SetParent(&form);
  edit->SetBounds(8, 28, 276, 21);
  edit->SetText(value);
  auto* ok = new TButton(&form);
  ok->SetName(L"OK");
  ok->SetParent(&form);
  ok->SetBounds(128, 60, 75, 25);
  ok->SetCaption(L"OK");
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  auto* cancel = new TButton(&form);
  cancel->SetName(L"Cancel");
  cancel->SetParent(&form);
  cancel->SetBounds(208, 60, 75, 25);
  cancel->SetCaption(L"Cancel");
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  form.SetActiveControl(edit);
  if (InputQueryShowHook) InputQueryShowHook(&form);
  bool accepted = form.ShowModal() == mrOk;
  if (accepted) value = edit->GetText();
  return accepted;
}

String InputBox(const String& caption, const String& prompt, const String& defaultValue) {
  String v = defaultValue;
  InputQuery(caption, prompt, v);
  return v;
}

// ===========================================================================
// Beeps

void Beep() {
  if (BeepHook) {
    BeepHook(0xFFFFFFFF);
    return;
  }
  MessageBeep(0xFFFFFFFF);
}

void PlayMessageBeep(UINT type) {
  if (BeepHook) {
    BeepHook(type);
    return;
  }
  MessageBeep(type);
}

// ===========================================================================
// Directory selection

std::function<void(TForm* form)> SelectDirectoryShowHook;
std::function<bool(const String& Caption, const String& Root, String& Directory)> BrowseForFolderHook;

namespace {

// The folder dialog of the class library: the folder's path in an edit,
// its subfolders in a list (".." goes up, a double click goes in) and the
// drives in a combo box.
class TSelectDirForm : public TForm {
 public:
  TSelectDirForm(const String& Directory, TSelectDirOpts Options, THelpContext HelpCtx)
      : TForm(nullptr), options_(Options) {
    SetBorderStyle(bsDialog);
    SetCaption(L"Select Directory");
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 340, 330);
    SetHelpContext(HelpCtx);
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetBounds(8, 8, 300, 16);
    label->SetCaption(L"&Directory name:");
    edit_ = new TEdit(this);
    edit_->SetName(L"DirEdit");
    edit_->SetParent(this);
    edit_->SetBounds(8, 26, 316, 21);
    label->SetFocusControl(edit_);
    list_ = new TListBox(this);
    list_->SetName(L"DirList");
    list_->SetParent(this);
    list_->SetBounds(8, 54, 316, 170);
    list_->OnClick = [this](TObject*) { ListClicked(false); };
    list_->OnDblClick = [this](TObject*) { ListClicked(true); };
    drives_ = new TComboBox(this);
    drives_->SetName(L"DriveCombo");
    drives_->SetParent(this);
    drives_->SetStyle(csDropDownList);
    static_cast<TControl*>(drives_)->SetBounds(8, 232, 316, 21);
    drives_->OnClick = [this](TObject*) {
      const int i = drives_->GetItemIndex();
      if (i >= 0) Open(drives_->Items()->Get(i));
    };
    auto* ok = new TButton(this);
    ok->SetName(L"OKButton");
    ok->SetParent(this);
    ok->SetBounds(88, 266, 75, 25);
    ok->SetCaption(L"OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) {
      if (Accept()) SetModalResult(mrOk);
    };
    auto* cancel = new TButton(this);
    cancel->SetName(L"CancelButton");
    cancel->SetParent(this);
    cancel->SetBounds(168, 266, 75, 25);
    cancel->SetCaption(L"Cancel");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    if (HelpCtx) {
      auto* help = new TButton(this);
      help->SetName(L"HelpButton");
      help->SetParent(this);
      help->SetBounds(248, 266, 75, 25);
      help->SetCaption(L"&Help");
      help->OnClick = [HelpCtx](TObject*) {
        if (Application) Application->HelpContext(HelpCtx);
      };
    }
    wchar_t buf[512];
    const DWORD n = GetLogicalDriveStringsW(511, buf);
    for (const wchar_t* d = buf; n && n < 512 && *d; d += wcslen(d) + 1) drives_->Items()->Add(d);
    String start = Directory;
    while (!start.empty() && !DirectoryExists(start)) {
      const String up = ExtractFileDir(ExcludeTrailingPathDelimiter(start));
      if (up == start) break;
      start = up;
    }
    if (start.empty() || !DirectoryExists(start)) start = GetCurrentDir();
    Open(start);
    if (!Directory.empty()) edit_->SetText(Directory);
    SetActiveControl(edit_);
  }

  String Chosen() const { return chosen_; }

  // The folder shown: its subfolders listed, its path in the edit.
  void Open(const String& Dir) {
    current_ = ExcludeTrailingPathDelimiter(ExpandFileName(Dir));
    if (current_.size() == 2 && current_[1] == L':') current_ += L'\\';
    edit_->SetText(current_);
    list_->Items()->BeginUpdate();
    list_->Items()->Clear();
    if (ExtractFileDir(ExcludeTrailingPathDelimiter(current_)) != ExcludeTrailingPathDelimiter(current_))
      list_->Items()->Add(L"..");
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((IncludeTrailingPathDelimiter(current_) + L"*").c_str(), &fd);
    std::vector<String> names;
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const String name = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") names.push_back(name);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    std::sort(names.begin(), names.end(), [](const String& a, const String& b) { return CompareText(a, b) < 0; });
    for (const String& name : names) list_->Items()->Add(name);
    list_->Items()->EndUpdate();
  }

 private:
  void ListClicked(bool enter) {
    const int i = list_->GetItemIndex();
    if (i < 0) return;
    const String name = list_->Items()->Get(i);
    const String path = name == L".." ? ExtractFileDir(ExcludeTrailingPathDelimiter(current_))
                                      : IncludeTrailingPathDelimiter(current_) + name;
    if (enter) {
      Open(path);
    } else {
      edit_->SetText(path);
    }
  }

  // The typed folder: taken when it exists; else created or refused as the
  // options say.
  bool Accept() {
    String dir = Trim(edit_->GetText());
    if (dir.empty()) return false;
    dir = ExpandFileName(dir);
    if (!DirectoryExists(dir)) {
      if (!options_.Contains(sdAllowCreate)) {
        MessageDlg(L"The folder \"" + dir + L"\" does not exist.", mtError, {mbOK});
        return false;
      }
      if (options_.Contains(sdPrompt) &&
          MessageDlg(L"The folder \"" + dir + L"\" does not exist. Create it?", mtConfirmation, {mbYes, mbNo}) != mrYes)
        return false;
      if (options_.Contains(sdPerformCreate) && !ForceDirectories(dir)) {
        MessageDlg(L"The folder \"" + dir + L"\" could not be created: " + SysErrorMessage(GetLastError()), mtError,
                   {mbOK});
        return false;
      }
    }
    chosen_ = dir;
    return true;
  }

  TSelectDirOpts options_;
  TEdit* edit_ = nullptr;
  TListBox* list_ = nullptr;
  TComboBox* drives_ = nullptr;
  String current_;
  String chosen_;
};

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageW(wnd, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

bool SelectDirectory(String& Directory, TSelectDirOpts Options, THelpContext HelpCtx) {
  TSelectDirForm form(Directory, Options, HelpCtx);
  if (SelectDirectoryShowHook) SelectDirectoryShowHook(&form);
  if (form.ShowModal() != mrOk) return false;
  Directory = form.Chosen();
  return true;
}

bool SelectDirectory(const String& Caption, const String& Root, String& Directory) {
  if (BrowseForFolderHook) return BrowseForFolderHook(Caption, Root, Directory);
  const HRESULT co = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BROWSEINFOW bi{};
  TCustomForm* active = Screen ? Screen->GetActiveForm() : nullptr;
  bi.hwndOwner = active && active->HandleAllocated() ? active->GetHandle() : nullptr;
  bi.lpszTitle = Caption.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE root = nullptr;
  if (!Root.empty()) SHParseDisplayName(Root.c_str(), nullptr, &root, 0, nullptr);
  bi.pidlRoot = root;
  bi.lpfn = BrowseCallback;
  bi.lParam = Directory.empty() ? 0 : LPARAM(Directory.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  bool ok = false;
  if (chosen) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
      Directory = path;
      ok = true;
    }
    CoTaskMemFree(chosen);
  }
  if (root) CoTaskMemFree(root);
  if (SUCCEEDED(co)) CoUninitialize();
  return ok;
}
