// File and directory edits: quoting, invalid names, files dropped from the
// shell and the button's dialogs (through their seams).
#include <shlobj.h>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "extlib/ExDateEdit.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFileEdit.h"
#include "extlib/ExFileUtil.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;

namespace {

// A file edit whose dialog "picks" a preset name.
class TTestFileEdit : public TFilenameEdit {
 public:
  using TFilenameEdit::TFilenameEdit;
  String Pick;
  String SeenFileName, SeenInitialDir;
  THelpContext SeenHelp = 0;
  int Runs = 0;

 protected:
  bool ExecuteDialog() override {
    ++Runs;
    SeenFileName = Dialog()->GetFileName();
    SeenInitialDir = Dialog()->GetInitialDir();
    SeenHelp = Dialog()->GetHelpContext();
    if (Pick.empty()) return false;
    Dialog()->SetFileName(Pick);
    return true;
  }
};

class TTestDirEdit : public TDirectoryEdit {
 public:
  using TDirectoryEdit::TDirectoryEdit;
  String Pick, Seen;

 protected:
  bool ExecuteDialog(String& Dir) override {
    Seen = Dir;
    if (Pick.empty()) return false;
    Dir = Pick;
    return true;
  }
};

// A shell drop of these names.
HDROP MakeDrop(const std::vector<String>& Names) {
  size_t Chars = 1;
  for (auto& N : Names) Chars += N.size() + 1;
  HGLOBAL G = GlobalAlloc(GHND, sizeof(DROPFILES) + Chars * sizeof(wchar_t));
  auto* D = static_cast<DROPFILES*>(GlobalLock(G));
  D->pFiles = sizeof(DROPFILES);
  D->fWide = TRUE;
  auto* P = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(D) + sizeof(DROPFILES));
  for (auto& N : Names) {
    std::copy(N.begin(), N.end(), P);
    P += N.size() + 1;
  }
  GlobalUnlock(G);
  return static_cast<HDROP>(G);
}

struct EditHost {
  std::unique_ptr<TForm> form;
  String Dir;
  EditHost() {
    form.reset(new TForm(Application));
    form->SetBounds(40, 40, 400, 200);
    form->Show();
    Pump(20);
    Dir = NormalDir(GetTempDir()) + L"zembrio fileedit\\";
    ExtForceDirectories(Dir);
  }
  ~EditHost() { ClearDir(Dir, true); }
  template <class E>
  E* Add() {
    auto* e = new E(form.get());
    e->SetParent(form.get());
    e->SetBounds(10, 10, 200, 21);
    e->HandleNeeded();
    return e;
  }
};

}  // namespace

TEST(FileEdit, DefaultsQuotingAndInvalidNames) {
  EditHost h;
  auto* e = h.Add<TFilenameEdit>();
  EXPECT_EQ(e->GetGlyphKind(), gkDefault);
  EXPECT_FALSE(e->GetGlyph()->Empty());
  EXPECT_EQ(e->GetDialogTitle(), L"Browse");
  EXPECT_EQ(e->GetFilter(), L"All files (*.*)|*.*");
  EXPECT_EQ(e->GetDialogOptions(), TOpenOptions{ofHideReadOnly});

  e->SetFileName(L"C:\\some dir\\a b.txt");
  EXPECT_EQ(e->GetText(), L"\"C:\\some dir\\a b.txt\"");
  EXPECT_EQ(e->GetFileName(), L"C:\\some dir\\a b.txt");
  e->SetFileName(L"plain.txt");
  EXPECT_EQ(e->GetText(), L"plain.txt");
  EXPECT_THROW(e->SetFileName(L"bad|name"), EComboEditError);
  EXPECT_EQ(e->GetText(), L"plain.txt");
  try {
    e->SetFileName(L"a<b");
  } catch (const EComboEditError& E) {
    EXPECT_EQ(E.Message(), L"Invalid file name - a<b");
  }

  // An existing file with blanks reads back as it is.
  String existing = h.Dir + L"two words.txt";
  CloseHandle(CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  e->SetFileName(existing);
  EXPECT_EQ(e->GetFileName(), existing);
  EXPECT_EQ(e->LongName(), existing);

  // Switching the dialog kind keeps the dialog's settings.
  e->SetDialogTitle(L"Pick one");
  e->SetDialogKind(dkSave);
  EXPECT_NE(dynamic_cast<TSaveDialog*>(e->Dialog()), nullptr);
  EXPECT_EQ(e->GetDialogTitle(), L"Pick one");
}

TEST(FileEdit, ButtonRunsTheDialogAroundTheEvents) {
  EditHost h;
  auto* e = h.Add<TTestFileEdit>();
  String file = h.Dir + L"in dir.txt";
  e->SetFileName(file);
  e->SetHelpContext(417);
  e->Pick = L"C:\\picked name.txt";
  String after;
  bool afterAction = false;
  e->OnAfterDialog = TExecOpenDialogEvent([&](TObject*, String& name, bool& action) {
    after = name;
    afterAction = action;
  });
  e->DoClick();
  EXPECT_TRUE(afterAction);
  EXPECT_EQ(e->SeenFileName, file);
  EXPECT_EQ(e->SeenInitialDir, h.Dir);
  EXPECT_EQ(e->SeenHelp, 417);  // the dialog's Help button shows the edit's topic
  EXPECT_EQ(after, L"C:\\picked name.txt");
  EXPECT_EQ(e->GetText(), L"\"C:\\picked name.txt\"");
  EXPECT_EQ(e->GetInitialDir(), L"C:\\");

  // The event before the dialog may call it off.
  e->OnBeforeDialog = TExecOpenDialogEvent([](TObject*, String&, bool& action) { action = false; });
  e->DoClick();
  EXPECT_EQ(e->Runs, 1);
  // A cancelled dialog leaves the text.
  e->OnBeforeDialog = nullptr;
  e->Pick.clear();
  e->DoClick();
  EXPECT_EQ(e->Runs, 2);
  EXPECT_FALSE(afterAction);
  EXPECT_EQ(e->GetText(), L"\"C:\\picked name.txt\"");
}

TEST(FileEdit, DroppedFiles) {
  EditHost h;
  auto* e = h.Add<TFilenameEdit>();
  e->SetAcceptFiles(true);
  int drops = 0;
  e->OnDropFiles = TNotifyEvent([&](TObject*) { ++drops; });
  e->Perform(WM_DROPFILES, WPARAM(MakeDrop({L"C:\\one.txt", L"C:\\two.txt", L"C:\\three.txt"})), 0);
  EXPECT_EQ(e->GetText(), L"C:\\one.txt");
  EXPECT_EQ(e->DialogFiles()->GetCount(), 0);
  EXPECT_EQ(drops, 1);

  e->SetDialogOptions(TOpenOptions{ofHideReadOnly, ofAllowMultiSelect});
  e->Perform(WM_DROPFILES, WPARAM(MakeDrop({L"C:\\a.txt", L"C:\\b c.txt"})), 0);
  EXPECT_EQ(e->GetText(), L"C:\\a.txt");
  ASSERT_EQ(e->DialogFiles()->GetCount(), 2);
  EXPECT_EQ(e->DialogFiles()->Get(1), L"C:\\b c.txt");
  // Leaving multiple selection empties the list.
  e->SetDialogOptions(TOpenOptions{ofHideReadOnly});
  EXPECT_EQ(e->DialogFiles()->GetCount(), 0);
}

TEST(DirectoryEdit, DroppedFoldersAndFiles) {
  EditHost h;
  auto* e = h.Add<TDirectoryEdit>();
  e->SetAcceptFiles(true);
  String a = h.Dir + L"a", b = h.Dir + L"b", c = h.Dir + L"c";
  for (auto& d : {a, b, c}) ExtForceDirectories(d);
  e->SetMultipleDirs(true);
  e->Perform(WM_DROPFILES, WPARAM(MakeDrop({a, b, c})), 0);
  EXPECT_EQ(e->GetText(), a + L";" + b + L";" + c);

  // A dropped file stands for its folder; without multiple dirs it replaces.
  e->SetMultipleDirs(false);
  e->Perform(WM_DROPFILES, WPARAM(MakeDrop({h.Dir + L"file.txt", a})), 0);
  EXPECT_EQ(e->GetText(), h.Dir);
}

TEST(DirectoryEdit, ButtonStartsAtTheRightFolder) {
  EditHost h;
  auto* e = h.Add<TTestDirEdit>();
  e->Pick = h.Dir;
  e->DoClick();
  EXPECT_EQ(e->Seen, L"\\");  // empty text and no InitialDir
  EXPECT_EQ(e->GetText(), h.Dir);
  EXPECT_EQ(e->InitialDir, h.Dir);

  e->SetText(L"C:\\no such folder here");
  e->DoClick();
  EXPECT_EQ(e->Seen, L"\\");
  e->SetText(L"");
  e->DoClick();
  EXPECT_EQ(e->Seen, h.Dir);  // InitialDir is the start when the text is empty

  e->SetMultipleDirs(true);
  e->SetText(L"C:\\x");
  e->SetSelStart(0);
  e->SetSelLength(0);
  e->Pick = L"C:\\y";
  e->DoClick();
  EXPECT_EQ(e->GetText(), L"C:\\x;C:\\y");
  e->SetText(L";" + h.Dir + L";;" + h.Dir);
  EXPECT_EQ(e->LongName(), h.Dir + L";" + h.Dir);
}

#include "extlib/ExPictureDialog.h"

namespace {
String WriteBitmap(int W, int H) {
  String Name = NormalDir(GetTempDir()) + L"zembrio-preview.bmp";
  TBitmap B(W, H);
  B.Canvas()->Brush()->SetColor(clRed);
  B.Canvas()->FillRect(TRect{0, 0, W, H});
  B.SaveToFile(Name);
  return Name;
}
}  // namespace

// By default the button runs the class library's folder dialog with the
// edit's options and help context.
TEST(DirectoryEdit, FolderDialogTakesTheOptionsAndTheHelpContext) {
  EditHost h;
  auto* e = h.Add<TDirectoryEdit>();
  e->SetHelpContext(77);
  e->SetText(h.Dir);
  const String missing = h.Dir + L"made here";
  THelpContext help = 0;
  std::vector<String> asked;
  MessageBoxHook = [&](const String& text, const String&, UINT) {
    asked.push_back(text);
    return IDOK;
  };
  SelectDirectoryShowHook = [&](TForm* f) {
    f->OnShow = [&, f](TObject*) {
      help = f->GetHelpContext();
      static_cast<TEdit*>(f->FindComponent(L"DirEdit"))->SetText(missing);
      static_cast<TButton*>(f->FindComponent(L"OKButton"))->Click();
      if (f->GetModalResult() == mrNone) static_cast<TButton*>(f->FindComponent(L"CancelButton"))->Click();
    };
  };
  e->DoClick();  // without sdAllowCreate a missing folder is refused
  EXPECT_EQ(help, 77);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(e->GetText(), h.Dir);
  e->DialogOptions = TSelectDirOpts{sdAllowCreate, sdPerformCreate};
  e->DoClick();
  EXPECT_EQ(e->GetText(), missing);
  EXPECT_TRUE(DirExists(missing));
  EXPECT_EQ(e->InitialDir, missing);
  SelectDirectoryShowHook = nullptr;
  MessageBoxHook = nullptr;
}

TEST(FileEdit, PictureKindsOemConvertAndKeptHistory) {
  EditHost h;
  auto* e = new TFilenameEdit(h.form.get());
  e->SetParent(h.form.get());
  EXPECT_TRUE(GetWindowLongW(e->Handle(), GWL_STYLE) & ES_OEMCONVERT);
  e->HistoryList()->Add(L"C:\\old.txt");
  e->SetFileEditStyle(fsComboBox);
  e->SetFilter(L"Text|*.txt");
  e->SetDialogKind(dkOpenPicture);
  EXPECT_NE(dynamic_cast<TOpenPictureDialog*>(e->Dialog()), nullptr);
  EXPECT_EQ(e->GetFilter(), L"Text|*.txt");  // taken over from the previous dialog
  e->SetDialogKind(dkSavePicture);
  EXPECT_NE(dynamic_cast<TSavePictureDialog*>(e->Dialog()), nullptr);
  EXPECT_EQ(e->HistoryList()->GetCount(), 1);
  EXPECT_EQ(e->GetFileEditStyle(), fsComboBox);
  EXPECT_EQ(e->Dialog()->GetFileEditStyle(), fsComboBox);
  e->SetDialogKind(dkOpen);
  EXPECT_EQ(dynamic_cast<TOpenPictureDialog*>(e->Dialog()), nullptr);
}

TEST(PictureDialog, PreviewShowsThePictureAndItsSize) {
  String Bmp = WriteBitmap(16, 8);
  TPicturePreview P;
  EXPECT_TRUE(P.Preview(Bmp));
  EXPECT_EQ(P.SizeText(), L"16 x 8");
  // Shrunk into a smaller area, centred.
  TBitmap Out(8, 8);
  P.Paint(Out.Canvas()->GetHandle(), TRect{0, 0, 8, 8});
  HDC DC = Out.Canvas()->GetHandle();
  EXPECT_EQ(GetPixel(DC, 4, 4) & 0xFFFFFF, RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(DC, 4, 0) & 0xFFFFFF, ColorToRef(clBtnFace));
  String Text = NormalDir(GetTempDir()) + L"zembrio-preview.txt";
  HANDLE F = CreateFileW(Text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(F);
  EXPECT_FALSE(P.Preview(Text));
  EXPECT_EQ(P.SizeText(), L"(None)");
  DeleteFileW(Text.c_str());
  DeleteFileW(Bmp.c_str());
}

TEST(PictureDialog, TheDialogCarriesThePreview) {
  EditHost h;
  TOpenPictureDialog D(h.form.get());
  EXPECT_EQ(D.GetFilter(), GraphicFilter);
  static HWND Found;
  static TOpenPictureDialog* Running;
  static int Ticks;
  Found = nullptr;
  Running = &D;
  Ticks = 0;
  SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR Id, DWORD) {
    HWND Preview = Running->GetPreviewHandle();
    bool Shown = Preview && IsWindowVisible(Preview);
    if (!Shown && ++Ticks < 200) return;  // a watchdog of 10 s
    KillTimer(nullptr, Id);
    if (Shown) Found = Preview;
    // The file dialog: the preview's grandparent, or the thread's dialog box.
    HWND Dlg = Shown ? GetParent(GetParent(Preview)) : nullptr;
    if (!Dlg)
      EnumThreadWindows(
          GetCurrentThreadId(),
          [](HWND W, LPARAM Out) -> BOOL {
            wchar_t C[16];
            GetClassNameW(W, C, 16);
            if (wcscmp(C, L"#32770") != 0) return TRUE;
            *reinterpret_cast<HWND*>(Out) = W;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&Dlg));
    if (Dlg) PostMessageW(Dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(D.Execute());
  EXPECT_NE(Found, nullptr);
  EXPECT_EQ(D.GetPreviewHandle(), nullptr);
}

// The library's pictures travel in every program that links it: the edits'
// button glyphs come from them, and so do the hand and drag screen cursors.
TEST(ExtResources, ProgramCarriesTheGlyphsAndCursors) {
  HMODULE M = GetModuleHandleW(nullptr);
  for (const wchar_t* Name : {L"FEDITBMP", L"DEDITBMP"})
    EXPECT_NE(FindResourceW(M, Name, MAKEINTRESOURCEW(2)), nullptr) << Name;  // RT_BITMAP
  for (const wchar_t* Name : {L"EXT_HANDCUR", L"EXT_DRAGCUR"})
    EXPECT_NE(FindResourceW(M, Name, MAKEINTRESOURCEW(12)), nullptr) << Name;  // RT_GROUP_CURSOR

  EditHost h;
  auto* f = h.Add<TFilenameEdit>();
  TBitmap* G = f->GetGlyph();
  EXPECT_EQ(G->GetWidth(), 15);
  EXPECT_EQ(G->GetHeight(), 12);
  EXPECT_EQ(f->GetNumGlyphs(), 1);
  EXPECT_EQ(G->Canvas()->GetPixel(0, 0), clFuchsia);  // the see-through colour
  EXPECT_EQ(G->Canvas()->GetPixel(3, 8), clYellow);
  auto* d = h.Add<TDateEdit>();
  G = d->GetGlyph();
  EXPECT_EQ(G->GetWidth(), 30);  // two glyphs of 15 x 13: normal and disabled
  EXPECT_EQ(G->GetHeight(), 13);
  EXPECT_EQ(d->GetNumGlyphs(), 2);
  EXPECT_EQ(G->Canvas()->GetPixel(1, 1), clBlack);
  EXPECT_EQ(G->Canvas()->GetPixel(16, 1), clGray);

  ExDrawUtilInitialize();
  HCURSOR Hand = LoadCursorW(MainInstance(), L"EXT_HANDCUR"), Drag = LoadCursorW(MainInstance(), L"EXT_DRAGCUR");
  ASSERT_NE(Hand, nullptr);
  ASSERT_NE(Drag, nullptr);
  EXPECT_NE(Hand, Drag);
  EXPECT_EQ(Screen->Cursors(crExtHand), Hand);
  EXPECT_EQ(Screen->Cursors(crExtDrag), Drag);
  ExDrawUtilFinalize();
  EXPECT_EQ(Screen->Cursors(crExtHand), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(LoadCursorW(MainInstance(), L"EXT_HANDCUR"), Hand);  // shared, not destroyed
}

TEST(FileEdit, PublishedPropertiesTravelInTheFormStream) {
  using namespace formstream;
  ExToolEditInitialize();
  TMemoryStream S;
  auto Plain = NewForm(L"PlainEdits");
  Place<TFilenameEdit>(Plain.get(), L"FileBox");
  Place<TDirectoryEdit>(Plain.get(), L"DirBox");
  Write(Plain.get(), S);
  for (const char* Name : {"DialogKind", "Filter", "DialogTitle", "DialogOptions", "FileEditStyle", "AcceptFiles",
                           "MultipleDirs", "Text", "GlyphKind", "ButtonWidth"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = NewForm(L"SetEdits");
  auto* fe = Place<TFilenameEdit>(Source.get(), L"FileBox");
  fe->SetDialogTitle(L"Open a hive");
  fe->SetFilter(L"Registry files (*.reg)|*.reg");
  fe->Dialog()->SetFilterIndex(2);
  fe->SetDialogOptions(TOpenOptions{ofAllowMultiSelect, ofFileMustExist});
  fe->HistoryList()->Add(L"C:\\one.reg");
  fe->SetDialogKind(dkSavePicture);  // after the settings: the new dialog keeps them
  fe->SetFileName(L"C:\\some dir\\a b.reg");
  auto* de = Place<TDirectoryEdit>(Source.get(), L"DirBox");
  de->DialogKind = dkWin32;
  de->DialogOptions = TSelectDirOpts{sdAllowCreate, sdPrompt};
  de->DialogText = L"Where to?";
  de->SetMultipleDirs(true);
  de->SetText(L"C:\\a;C:\\b");
  de->InitialDir = L"C:\\";
  fe->Dialog()->SetDefaultExt(L"reg");
  fe->SetFileEditStyle(fsComboBox);
  fe->SetInitialDir(L"C:\\hives");
  fe->SetAcceptFiles(true);
  auto Made = NewForm(L"ReadEdits");
  fe->OnDropFiles = Offer<TNotifyEvent>(L"FileDropped", {Source.get(), Made.get()});
  fe->OnBeforeDialog = Offer<TExecOpenDialogEvent>(L"FileBefore", {Source.get(), Made.get()});
  fe->OnAfterDialog = Offer<TExecOpenDialogEvent>(L"FileAfter", {Source.get(), Made.get()});
  ExpectRoundTrip(Source.get(), Made.get(), S);
  ExpectStored(S, {"DialogKind", "DefaultExt", "FileEditStyle", "Filter", "FilterIndex", "InitialDir", "HistoryList",
                   "DialogOptions", "DialogTitle", "AcceptFiles", "DialogText", "MultipleDirs", "Text",
                   "OnDropFiles", "OnBeforeDialog", "OnAfterDialog"});
  EXPECT_FALSE(Holds(S, "FileName"));
  auto* r = dynamic_cast<TFilenameEdit*>(Made->FindComponent(L"FileBox"));
  ASSERT_NE(r, nullptr);
  EXPECT_NE(dynamic_cast<TSavePictureDialog*>(r->Dialog()), nullptr);
  EXPECT_EQ(r->GetDialogTitle(), L"Open a hive");
  EXPECT_TRUE(r->GetMultipleDirs());  // follows ofAllowMultiSelect
  EXPECT_EQ(r->GetFileName(), L"C:\\some dir\\a b.reg");
}

// In the designer the edit neither registers for dropped files nor takes
// them.
TEST(FileEdit, DesignedEditTakesNoDroppedFiles) {
  EditHost h;
  h.form->SetDesigning(true);
  auto* e = h.Add<TFilenameEdit>();
  int drops = 0;
  e->OnDropFiles = TNotifyEvent([&](TObject*) { ++drops; });
  e->SetAcceptFiles(true);
  EXPECT_FALSE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  e->RecreateWnd();
  EXPECT_FALSE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  HDROP Drop = MakeDrop({L"C:\\one.txt"});
  e->Perform(WM_DROPFILES, WPARAM(Drop), 0);
  DragFinish(Drop);  // not taken, so not released
  EXPECT_EQ(drops, 0);
  EXPECT_EQ(e->GetText(), L"");

  h.form->SetDesigning(false);
  e->RecreateWnd();
  EXPECT_TRUE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  e->Perform(WM_DROPFILES, WPARAM(MakeDrop({L"C:\\one.txt"})), 0);
  EXPECT_EQ(drops, 1);
}
