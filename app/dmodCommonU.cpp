// The data module: shared components and the services of the windows.
#include "app/dmodCommonU.h"

#include <cstring>

#include "app/AppImages.h"
#include "app/Dialogs.h"
#include "app/Help.h"
#include "app/Main.h"

TdmodCommon* dmodCommon = nullptr;

namespace {

// Adds a strip's images to the list: the colours with their alpha, and a
// mask of the pixels that are more opaque than not (disabled items are
// drawn from the mask).
void AddStrip(TCustomImageList* List, const TImageStrip& Strip) {
  const int n = Strip.Size;
  const int w = n * Strip.Count;
  TBitmap image(w, n, pf32bit);
  TBitmap mask(w, n, pf1bit);
  for (int y = 0; y < n; ++y) {
    auto* row = static_cast<unsigned char*>(image.ScanLine(y));
    auto* bits = static_cast<unsigned char*>(mask.ScanLine(y));
    std::memset(bits, 0, size_t((w + 31) / 32 * 4));
    for (int i = 0; i < Strip.Count; ++i)
      for (int x = 0; x < n; ++x) {
        const unsigned char* p = Strip.Pixel(i, x, y);
        const int at = i * n + x;
        std::memcpy(row + at * 4, p, 4);
        if (p[3] < 128) bits[at / 8] |= static_cast<unsigned char>(0x80 >> (at % 8));
      }
  }
  List->Add(&image, &mask);
}

}  // namespace

TdmodCommon::TdmodCommon(TComponent* AOwner) : TDataModule(AOwner) {
  SetName(L"dmodCommon");
  imlTreeImages = new TImageList(this, 16, 16);
  imlTreeImages->SetName(L"imlTreeImages");
  imlLVImages16 = new TImageList(this, 16, 16);
  imlLVImages16->SetName(L"imlLVImages16");
  imlLVImages32 = new TImageList(this, 32, 32);
  imlLVImages32->SetName(L"imlLVImages32");
  // The settings store and the registry-file component live in Logic; the
  // data module owns them by name among its components (in their place in
  // its component list), so forms find them as "dmodCommon.rsOptions" and
  // its stream holds them.
  TIORegistry::Register();
  TRegStore::Register();
  InsertComponent(&Logic.iorPort);
  Logic.iorPort.SetName(L"iorPort");
  imlTabSheets = new TImageList(this, 16, 16);
  imlTabSheets->SetName(L"imlTabSheets");
  imlMenuToolbar = new TImageList(this, 16, 16);
  imlMenuToolbar->SetName(L"imlMenuToolbar");
  BuildImages();

  odlgImport = new TPlacesOpenDialog(this);
  odlgImport->SetName(L"odlgImport");
  odlgImport->SetOptions(TOpenOptions{ofFileMustExist, ofEnableSizing});
  odlgImport->SetTitle(L"Import Registry File");
  sdlgExport = new TPlacesSaveDialog(this);
  sdlgExport->SetName(L"sdlgExport");
  sdlgExport->SetOptions(TOpenOptions{ofOverwritePrompt, ofEnableSizing});
  sdlgExport->SetTitle(L"Export Registry File");
  for (TPlacesOpenDialog* d : {odlgImport, static_cast<TPlacesOpenDialog*>(sdlgExport)}) {
    d->SetDefaultExt(L"reg");
    d->SetFileName(L"RegExport.reg");
    d->SetFilter(L"Registry Files (*.reg)|*.reg|All Files (*.*)|*.*");
    d->SetShowPlacesBar(true);
  }
  odlgBookmarks = new TPlacesOpenDialog(this);
  odlgBookmarks->SetName(L"odlgBookmarks");
  fdlgFont = new TFontDialog(this);
  fdlgFont->SetName(L"fdlgFont");
  sdlgBookmarks = new TPlacesSaveDialog(this);
  sdlgBookmarks->SetName(L"sdlgBookmarks");
  for (TPlacesOpenDialog* d : {odlgBookmarks, static_cast<TPlacesOpenDialog*>(sdlgBookmarks)}) {
    d->SetDefaultExt(L"ZembrioBM");
    d->SetFileName(L"Bookmarks.ZembrioBM");
    d->SetFilter(L"Zembrio Bookmarks (*.ZembrioBM)|*.ZembrioBM|All files (*.*)|*.*");
    d->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
    d->SetTitle(L"Select a bookmark file");
    d->SetShowPlacesBar(true);
  }
  fdlgFont->SetOptions(TFontDialogOptions{fdEffects, fdForceFontExist, fdNoVectorFonts});
  fdlgFont->Font()->SetName(L"MS Sans Serif");
  fdlgFont->Font()->SetSize(8);
  InsertComponent(&Logic.rsOptions);
  Logic.rsOptions.SetName(L"rsOptions");

  Logic.OnShowMessage = [](const String& Text) { ShowMessage(DialogText(Text)); };
  Logic.OnShowErrorText = [this](const String& Text) { ShowErrorText(Text); };
  Logic.OnShowException = [this](const Exception& E, const String& Text) { ShowException(E, Text); };
  Logic.OnGetSelectedKey = [this](TRegRoot& Root, String& Path) { return GetSelectedKey(Root, Path); };
  if (!dmodCommon) dmodCommon = this;
}

TdmodCommon::~TdmodCommon() {
  Logic.StopSearchAndWait();
  Logic.OnStatusText = {};
  // Logic frees them, not the component list.
  RemoveComponent(&Logic.rsOptions);
  RemoveComponent(&Logic.iorPort);
  if (dmodCommon == this) dmodCommon = nullptr;
}

void TdmodCommon::BuildImages() {
  AddStrip(imlTreeImages, ImageStripTree16);
  AddStrip(imlLVImages16, ImageStripList16);
  AddStrip(imlLVImages32, ImageStripList32);
  AddStrip(imlTabSheets, ImageStripTabs16);
  AddStrip(imlMenuToolbar, ImageStripMenu16);
}

void TdmodCommon::SetMainForm(TfrmMain* Form) {
  main_ = Form;
  if (!Form) {
    Logic.OnStatusText = {};
    Logic.OnSearchStarted = {};
    Logic.OnSearchFinished = {};
    Logic.OnSearchProgress = {};
    Logic.OnAddFindResult = {};
    Logic.OnFindResultBatch = {};
    Logic.OnLongWorkState = {};
    Logic.OnLongWorkMessage = {};
    return;
  }
  Logic.OnStatusText = [Form](const String& Text) { Form->SetStatusText(Text); };
  Logic.OnSearchStarted = [Form] { Form->SearchStarted(); };
  Logic.OnSearchFinished = [Form] { Form->SearchFinished(); };
  Logic.OnSearchProgress = [this](const String& Path) { ShowSearchProgressText(Path); };
  Logic.OnAddFindResult = [Form](TSearchHit* Hit) { Form->AddFindResult(Hit); };
  Logic.OnFindResultBatch = [Form](bool Begin) { Form->FindResultBatch(Begin); };
  Logic.OnLongWorkState = [Form](bool Running) { Form->LongWorkState(Running); };
  Logic.OnLongWorkMessage = [Form](MSG& M) { return Form->LongWorkMessage(M); };
}

void TdmodCommon::ShowSearchProgressText(const String& Text) {
  if (main_) main_->SearchProgress(Text);
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
  auto* d = NodeData(Node);
  return d ? d->Root : RegRoot::None;
}

String TdmodCommon::GetNodeKeyPath(TTreeExNode* Node) {
  if (Node && Node->GetLevel() == 0) return L"\\";
  auto* d = NodeData(Node);
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
  return frmConfirm->Execute(L"Please confirm.  Zembrio is about to delte the following " + Kind + L":", Item,
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
  return MessageDlg(DialogText(Text), mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrYes;
}

void TdmodCommon::ShowMessageText(const String& Text) {
  if (HeldErrors) {
    HeldErrors->push_back([this, Text] { ShowMessageText(Text); });
    return;
  }
  MessageDlg(DialogText(Text), mtWarning, TMsgDlgButtons{mbOK}, 0);
}

void TdmodCommon::ShowErrorText(const String& Text) {
  if (HeldErrors) {
    HeldErrors->push_back([this, Text] { ShowErrorText(Text); });
    return;
  }
  if (frmError) frmError->ShowError(Text);
}

void TdmodCommon::ShowException(const Exception& E, const String& Text) {
  ShowErrorText(TCommonLogic::ExceptionText(E, Text));
}

void TdmodCommon::ShowHelpTopic(const String& Topic) {
  const String file = HelpFileName();
  if (HtmlHelpHook) HtmlHelpHook(file, Topic);
}
