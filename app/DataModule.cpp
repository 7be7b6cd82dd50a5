// The data module: shared components and the services of the windows.
#include "app/DataModule.h"

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/TreeExCompat.h"

TdmodCommon* dmodCommon = nullptr;

namespace {

struct TGlyph {
  TColor Color;
  const wchar_t* Text;  // one or two characters drawn on the glyph
  int Shape;            // 0 square, 1 circle, 2 folder, 3 open folder, 4 flag
};

// Draws one glyph of the given size and adds it to the list (masked by fuchsia).
void AddGlyph(TCustomImageList* List, const TGlyph& G) {
  int n = List->GetWidth();
  TBitmap bmp(n, List->GetHeight());
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(clFuchsia);
  c->FillRect(TRect{0, 0, n, List->GetHeight()});
  c->Brush()->SetColor(G.Color);
  c->Pen()->SetColor(clBlack);
  int m = n / 16;  // 1 for 16-pixel lists, 2 for 32-pixel lists
  switch (G.Shape) {
    case 1:
      c->Ellipse(m, m, n - m, n - m);
      break;
    case 2:
    case 3: {
      std::vector<TPoint> tab{{m, 3 * m}, {6 * m, 3 * m}, {7 * m, 4 * m}, {n - m, 4 * m},
                              {n - m, n - 2 * m}, {m, n - 2 * m}};
      c->Polygon(tab);
      if (G.Shape == 3) {
        c->Brush()->SetColor(clWhite);
        c->Rectangle(3 * m, 6 * m, n - 3 * m, n - 4 * m);
      }
      break;
    }
    case 4: {
      std::vector<TPoint> flag{{3 * m, m}, {n - 3 * m, m}, {n - 3 * m, n - m}, {n / 2, n - 5 * m},
                               {3 * m, n - m}};
      c->Polygon(flag);
      break;
    }
    default:
      c->RoundRect(m, m, n - m, n - m, 4 * m, 4 * m);
      break;
  }
  if (G.Text && *G.Text) {
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetName(L"Tahoma");
    c->Font()->SetHeight(-(n * 9) / 16);
    c->Font()->SetColor(clWhite);
    c->Font()->SetStyle(TFontStyles{fsBold});
    String t = G.Text;
    int w = c->TextWidth(t);
    int h = c->TextHeight(t);
    c->TextOut((n - w) / 2, (n - h) / 2, t);
    c->Brush()->SetStyle(bsSolid);
  }
  List->AddMasked(&bmp, clFuchsia);
}

void AddGlyphs(TCustomImageList* List, std::initializer_list<TGlyph> Glyphs) {
  for (const TGlyph& g : Glyphs) AddGlyph(List, g);
}

constexpr TColor cgFolder = 0x4AC8F0;  // yellow (BGR)
constexpr TColor cgDarkBlue = 0x8B3A1A;
constexpr TColor cgDarkGreen = 0x207020;
constexpr TColor cgDarkRed = 0x2020A0;
constexpr TColor cgOrange = 0x2080E0;
constexpr TColor cgPurple = 0x803070;
constexpr TColor cgGreyBlue = 0x806040;

}  // namespace

TdmodCommon::TdmodCommon(TComponent* AOwner) : TComponent(AOwner) {
  SetName(L"dmodCommon");
  imlTreeImages = new TImageList(this, 16, 16);
  imlLVImages16 = new TImageList(this, 16, 16);
  imlLVImages32 = new TImageList(this, 32, 32);
  imlTabSheets = new TImageList(this, 16, 16);
  imlMenuToolbar = new TImageList(this, 16, 16);
  BuildImages();

  odlgImport = new TOpenDialog(this);
  odlgImport->SetDefaultExt(L"reg");
  odlgImport->SetFileName(L"RegExport.reg");
  odlgImport->SetFilter(L"Registry Files (*.reg)|*.reg|All Files (*.*)|*.*");
  odlgImport->SetOptions(TOpenOptions{ofFileMustExist, ofEnableSizing});
  odlgImport->SetTitle(L"Import Registry File");
  sdlgExport = new TSaveDialog(this);
  sdlgExport->SetDefaultExt(L"reg");
  sdlgExport->SetFileName(L"RegExport.reg");
  sdlgExport->SetFilter(L"Registry Files (*.reg)|*.reg|All Files (*.*)|*.*");
  sdlgExport->SetOptions(TOpenOptions{ofOverwritePrompt, ofEnableSizing});
  sdlgExport->SetTitle(L"Export Registry File");
  odlgBookmarks = new TOpenDialog(this);
  sdlgBookmarks = new TSaveDialog(this);
  for (TOpenDialog* d : {odlgBookmarks, static_cast<TOpenDialog*>(sdlgBookmarks)}) {
    d->SetDefaultExt(L"ZembrioBM");
    d->SetFileName(L"Bookmarks.ZembrioBM");
    d->SetFilter(L"Zembrio Bookmarks (*.ZembrioBM)|*.ZembrioBM|All files (*.*)|*.*");
    d->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
    d->SetTitle(L"Select a bookmark file");
  }
  fdlgFont = new TFontDialog(this);
  fdlgFont->SetOptions(TFontDialogOptions{fdEffects, fdForceFontExist, fdNoVectorFonts});

  Logic.OnShowMessage = [](const String& Text) { ShowMessage(Text); };
  Logic.OnShowErrorText = [this](const String& Text) { ShowErrorText(Text); };
  Logic.OnShowException = [this](const Exception& E, const String& Text) { ShowException(E, Text); };
  Logic.OnGetSelectedKey = [this](TRegRoot& Root, String& Path) { return GetSelectedKey(Root, Path); };
  if (!dmodCommon) dmodCommon = this;
}

TdmodCommon::~TdmodCommon() {
  Logic.StopSearchAndWait();
  Logic.OnStatusText = {};
  if (dmodCommon == this) dmodCommon = nullptr;
}

void TdmodCommon::BuildImages() {
  AddGlyphs(imlTreeImages, {{cgGreyBlue, L"", 0}, {cgFolder, L"", 2}, {cgFolder, L"", 3}});
  for (TCustomImageList* l : {static_cast<TCustomImageList*>(imlLVImages16), static_cast<TCustomImageList*>(imlLVImages32)})
    AddGlyphs(l, {{cgDarkRed, L"ab", 0},
                  {cgDarkBlue, L"01", 0},
                  {cgDarkGreen, L"01", 0},
                  {cgOrange, L"", 4},
                  {cgPurple, L"ab", 0},
                  {cgGreyBlue, L"?", 1}});
  AddGlyphs(imlTabSheets, {{cgOrange, L".", 1}, {cgDarkGreen, L"v", 1}, {cgOrange, L"", 4}, {cgDarkBlue, L"?", 1}});
  AddGlyphs(imlMenuToolbar,
            {{cgDarkRed, L"X", 0},      // 0 exit
             {cgGreyBlue, L"L", 0},     // 1 large icons
             {cgGreyBlue, L"S", 0},     // 2 small icons
             {cgGreyBlue, L"=", 0},     // 3 list
             {cgGreyBlue, L"D", 0},     // 4 details
             {cgDarkGreen, L"+", 1},    // 5 expand
             {cgDarkRed, L"-", 1},      // 6 collapse
             {cgOrange, L"", 4},        // 7 bookmark
             {cgDarkBlue, L"?", 1},     // 8 help contents
             {cgDarkBlue, L"i", 1},     // 9 about
             {cgFolder, L"", 2},        // 10 new key
             {cgDarkGreen, L"N", 0},    // 11 new
             {cgPurple, L"R", 0},       // 12 rename
             {cgDarkRed, L"D", 1},      // 13 delete
             {cgDarkRed, L"ab", 0},     // 14 string value
             {cgDarkGreen, L"01", 0},   // 15 binary value
             {cgDarkBlue, L"01", 0},    // 16 DWORD value
             {cgDarkGreen, L"R", 1},    // 17 refresh
             {cgOrange, L"I", 0},       // 18 import
             {cgOrange, L"E", 0},       // 19 export
             {cgGreyBlue, L"P", 0},     // 20 preferences
             {cgDarkBlue, L"F", 1},     // 21 find
             {cgPurple, L"K", 0},       // 22 copy key path
             {cgGreyBlue, L"T", 0},     // 23 toolbars
             {cgDarkBlue, L"@", 1},     // 24 contact
             {cgDarkGreen, L">", 1},    // 25 go / open
             {cgPurple, L"V", 0},       // 26 copy value
             {cgDarkRed, L"E", 1},      // 27 edit value
             {cgDarkBlue, L"F+", 1},    // 28 repeat find
             {cgPurple, L"ab", 0}});    // 29 expandable string value
}

void TdmodCommon::SetMainForm(TfrmMain* Form) {
  main_ = Form;
  if (!Form) {
    Logic.OnStatusText = {};
    Logic.OnSearchStarted = {};
    Logic.OnSearchFinished = {};
    Logic.OnSearchProgress = {};
    Logic.OnAddFindResult = {};
    Logic.OnLongWorkState = {};
    Logic.OnLongWorkMessage = {};
    return;
  }
  Logic.OnStatusText = [Form](const String& Text) { Form->SetStatusText(Text); };
  Logic.OnSearchStarted = [Form] { Form->SearchStarted(); };
  Logic.OnSearchFinished = [Form] { Form->SearchFinished(); };
  Logic.OnSearchProgress = [Form](const String& Path) { Form->SearchProgress(Path); };
  Logic.OnAddFindResult = [Form](TSearchHit* Hit) { Form->AddFindResult(Hit); };
  Logic.OnLongWorkState = [Form](bool Running) { Form->LongWorkState(Running); };
  Logic.OnLongWorkMessage = [Form](MSG& M) { return Form->LongWorkMessage(M); };
}

bool TdmodCommon::GetSelectedKey(TRegRoot& Root, String& Path) {
  if (!main_) return false;
  TTreeExNode* node = main_->GetSelectedNode();
  if (!NodeHasData(node)) return false;
  Root = GetNodeRootKey(node);
  Path = GetNodeKeyPath(node);
  return true;
}

// ---------------------------------------------------------------------------
bool TdmodCommon::NodeHasData(TTreeExNode* Node) { return Node && Node->GetData(); }

bool TdmodCommon::IsRootNode(TTreeExNode* Node) { return Node && Node->GetLevel() == 0; }

TRegRoot TdmodCommon::GetNodeRootKey(TTreeExNode* Node) {
  auto* d = Node ? static_cast<TNodeData*>(Node->GetData()) : nullptr;
  return d ? d->Root : RegRoot::None;
}

String TdmodCommon::GetNodeKeyPath(TTreeExNode* Node) {
  if (Node && Node->GetLevel() == 0) return L"\\";
  auto* d = Node ? static_cast<TNodeData*>(Node->GetData()) : nullptr;
  return d ? d->Path : String();
}

String TdmodCommon::GetNodeRootKeyName(TTreeExNode* Node, TRootNameMode Mode) {
  return GetRootKeyName(GetNodeRootKey(Node), Mode);
}

// ---------------------------------------------------------------------------
namespace {
// A setting read as one type: a value that doesn't read so is set back to its
// default, and a default that doesn't either gives Fallback.
template <class T>
T OptionAs(TRegStoreValue& V, T (TSettingValue::*As)() const, T Fallback) {
  try {
    return (V.GetValue().*As)();
  } catch (const Exception&) {
    V.ResetToDefault();
    try {
      return (V.GetValue().*As)();
    } catch (const Exception&) {
      return Fallback;
    }
  }
}
}  // namespace

bool TdmodCommon::OptionBool(const String& Name) {
  return OptionAs(Logic.rsOptions.GetValueByName(Name), &TSettingValue::AsBoolean, false);
}

int TdmodCommon::OptionInt(const String& Name) {
  return OptionAs(Logic.rsOptions.GetValueByName(Name), &TSettingValue::AsInteger, 0);
}

String TdmodCommon::OptionString(const String& Name) {
  try {
    return GetOption(Name).AsString();
  } catch (const Exception&) {
    return String();
  }
}

// ---------------------------------------------------------------------------
bool TdmodCommon::ConfirmDelete(const String& Kind, const String& Item) {
  frmConfirm->SetCaption(L"Please confirm delete");
  return frmConfirm->Execute(L"Please confirm.  Zembrio is about to delete the following " + Kind + L":", Item,
                             L"Do you wish to continue?", true) == mrYes;
}

int TdmodCommon::ConfirmDeleteEach(const String& Kind, const String& Item) {
  frmConfirm->SetCaption(L"Please confirm delete");
  return frmConfirm->Execute(L"Please confirm.  Zembrio is about to delete the following " + Kind + L":", Item,
                             L"Do you wish to continue?", false);
}

bool TdmodCommon::ConfirmImport(const String& FileName) {
  frmConfirm->SetCaption(AppText::ConfirmImportCaption);
  return frmConfirm->Execute(AppText::ConfirmImportPrompt, FileName, AppText::ConfirmImportQuestion, true) == mrYes;
}

bool TdmodCommon::AskYesNo(const String& Text) {
  return MessageDlg(Text, mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes;
}

void TdmodCommon::ShowMessageText(const String& Text) { MessageDlg(Text, mtWarning, TMsgDlgButtons{mbOK}, 0); }

void TdmodCommon::ShowErrorText(const String& Text) {
  if (frmError) frmError->ShowError(Text);
}

void TdmodCommon::ShowException(const Exception& E, const String& Text) {
  ShowErrorText(TCommonLogic::ExceptionText(E, Text));
}

void TdmodCommon::ShowHelpTopic(const String& Topic) {
  String file = ExpandFileName(ExtractFilePath(Application->ExeName()) + L"Zembrio.chm");
  if (HtmlHelpHook) HtmlHelpHook(file, Topic);
}
