#include "extlib/ExPlacementForm.h"

#include <algorithm>

#include "classlib/Menus.h"
#include "extlib/ExFiler.h"
#include "extlib/ExProps.h"
#include "extlib/ExStrUtil.h"

TFormPlacement::TFormPlacement(TComponent* AOwner) : TComponent(AOwner) {
  if (dynamic_cast<TForm*>(AOwner)) Options = TPlacementOptions{fpState, fpPosition};
  hook_ = std::make_unique<TExtWindowHook>(nullptr);
  hook_->AfterMessage = THookMessageEvent(this, &TFormPlacement::WndMessage);
}

TFormPlacement::~TFormPlacement() {
  IniFree();
  while (!links_.empty()) links_.back()->SetStorage(nullptr);
  hook_.reset();
  RestoreEvents();
}

TCustomForm* TFormPlacement::Form() const { return dynamic_cast<TCustomForm*>(GetOwner()); }

String TFormPlacement::GetIniFileName() const {
  // In the designer only the name set is shown, never the program's.
  if (!iniFileName_.empty() || IsDesigning()) return iniFileName_;
  return UseRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
}

String TFormPlacement::GetIniSection() const {
  if (!iniSection_.empty() || IsDesigning()) return iniSection_;
  return GetDefaultSection(GetOwner());
}

void GetDefaultIniData(TControl* Control, String& IniFileName, String& Section, bool UseRegistry) {
  IniFileName.clear();
  if (auto* F = dynamic_cast<TCustomForm*>(Control ? Control->GetOwner() : nullptr))
    for (int I = 0; I < F->GetComponentCount(); ++I)
      if (auto* P = dynamic_cast<TFormPlacement*>(F->GetComponent(I))) {
        IniFileName = P->GetIniFileName();
        break;
      }
  Section = GetDefaultSection(Control);
  if (IniFileName.empty()) IniFileName = UseRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
}

void TFormPlacement::Loaded() {
  TComponent::Loaded();
  // A designed form keeps its own events and its own window procedure.
  if (!Form() || hooked_ || IsDesigning()) return;
  // The form's events are taken when the form is read (or when its maker
  // says the placement is loaded), not when another storage restores a
  // value into the placement: one made in code stays as its code left it,
  // restoring and saving only when told; the limits restored apply.
  if (!IsRestoringFiledProperty(this)) SetEvents();
  CheckToggleHook();
}

void TFormPlacement::SetEvents() {
  TCustomForm* F = Form();
  saveShow_ = F->OnShow;
  saveCloseQuery_ = F->OnCloseQuery;
  saveDestroy_ = F->OnDestroy;
  F->OnShow = TNotifyEvent(this, &TFormPlacement::FormShow);
  F->OnCloseQuery = TCloseQueryEvent(this, &TFormPlacement::FormCloseQuery);
  F->OnDestroy = TNotifyEvent(this, &TFormPlacement::FormDestroy);
  hooked_ = true;
  if (!preventResize_) defMaximize_ = F->GetBorderIcons().Contains(biMaximize);
  if (preventResize_) UpdatePreventResize();
}

void TFormPlacement::SetPreventResize(bool Value) {
  if (!Form() || Value == preventResize_) return;
  preventResize_ = Value;
  UpdatePlacement();
  UpdatePreventResize();
}

void TFormPlacement::SetMinMaxInfo(const TWinMinMaxInfo& Value) {
  minMaxInfo_ = Value;
  MinMaxInfoModified();
}

void TFormPlacement::MinMaxInfoModified() {
  UpdatePlacement();
  if (!IsLoading() && !IsDesigning()) CheckToggleHook();
}

void TFormPlacement::UpdatePlacement() {
  TCustomForm* F = Form();
  if (!F || !F->HandleAllocated() || IsLoading() || preventResize_ || !minMaxInfo_.DefaultMinMaxInfo()) return;
  HWND H = F->Handle();
  WINDOWPLACEMENT P{};
  P.length = sizeof(P);
  if (!GetWindowPlacement(H, &P)) return;
  if (!IsWindowVisible(H)) P.showCmd = SW_HIDE;
  int X = 0, Y = 0;
  switch (F->GetBorderStyle()) {
    case bsSingle:
    case bsToolWindow:
      X = GetSystemMetrics(SM_CXBORDER);
      Y = GetSystemMetrics(SM_CYBORDER);
      break;
    case bsSizeable:
    case bsSizeToolWin:
      X = GetSystemMetrics(SM_CXFRAME);
      Y = GetSystemMetrics(SM_CYFRAME);
      break;
    case bsDialog:
      X = GetSystemMetrics(SM_CXDLGFRAME);
      Y = GetSystemMetrics(SM_CYDLGFRAME);
      break;
    default:
      break;
  }
  P.ptMaxPosition = POINT{-X, -Y};
  ApplyPlacement(H, P);
}

void TFormPlacement::ApplyPlacement(HWND Wnd, const WINDOWPLACEMENT& Placement) {
  SetWindowPlacement(Wnd, &Placement);
}

void TFormPlacement::UpdatePreventResize() {
  TCustomForm* F = Form();
  if (!F || IsDesigning()) return;
  bool WasActive = Active;
  Active = false;
  if (preventResize_) {
    // Remember the button only while it is there, so applying the setting
    // twice does not forget it.
    if (F->GetBorderIcons().Contains(biMaximize)) defMaximize_ = true;
    F->SetBorderIcons(F->GetBorderIcons() - biMaximize);
  } else if (defMaximize_ && F->GetBorderStyle() != bsDialog) {
    F->SetBorderIcons(F->GetBorderIcons() + biMaximize);
  }
  Active = WasActive;
  if (!IsLoading()) CheckToggleHook();
}

void TFormPlacement::CheckToggleHook() {
  TCustomForm* F = Form();
  bool Need = F && (preventResize_ || !minMaxInfo_.DefaultMinMaxInfo());
  hook_->SetWinControl(Need ? F : nullptr);
}

void TFormPlacement::WndMessage(TObject*, TMessage& Msg, bool&) {
  TCustomForm* F = Form();
  if (!F) return;
  if (preventResize_) {
    switch (Msg.Msg) {
      case WM_GETMINMAXINFO:
        if (F->HandleAllocated() && IsWindowVisible(F->Handle())) {
          auto* Info = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
          Info->ptMinTrackSize = POINT{F->GetWidth(), F->GetHeight()};
          Info->ptMaxTrackSize = Info->ptMinTrackSize;
          Msg.Result = 1;
        }
        break;
      case WM_NCHITTEST:
        if (Msg.Result >= HTLEFT && Msg.Result <= HTBOTTOMRIGHT) Msg.Result = HTNOWHERE;
        break;
      case WM_INITMENUPOPUP:
        if (HIWORD(Msg.LParam) != 0) {
          HMENU Menu = reinterpret_cast<HMENU>(Msg.WParam);
          if (TMainMenu* Main = F->GetMenu()) Main->DispatchPopup(Menu);
          EnableMenuItem(Menu, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
          EnableMenuItem(Menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
          Msg.Result = 1;
        }
        break;
      default:
        break;
    }
  } else if (Msg.Msg == WM_GETMINMAXINFO) {
    auto* Info = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
    const TWinMinMaxInfo& M = minMaxInfo_;
    if (M.DefaultMinMaxInfo()) {
      Info->ptMaxPosition = POINT{0, 0};
    } else {
      if (M.MaxPosLeft) Info->ptMaxPosition.x = M.MaxPosLeft;
      if (M.MaxPosTop) Info->ptMaxPosition.y = M.MaxPosTop;
      if (M.MaxSizeWidth) Info->ptMaxSize.x = M.MaxSizeWidth;
      if (M.MaxSizeHeight) Info->ptMaxSize.y = M.MaxSizeHeight;
      if (M.MaxTrackWidth) Info->ptMaxTrackSize.x = M.MaxTrackWidth;
      if (M.MaxTrackHeight) Info->ptMaxTrackSize.y = M.MaxTrackHeight;
      if (M.MinTrackWidth) Info->ptMinTrackSize.x = M.MinTrackWidth;
      if (M.MinTrackHeight) Info->ptMinTrackSize.y = M.MinTrackHeight;
    }
    Msg.Result = 1;
  }
}

// Each event goes back only while the form still holds this placement's
// own handler. Another placement that chained itself in later holds this
// one's handler as the one it calls on: it takes over what this one saved,
// so the chain stays whole and nobody calls this one once it is gone.
void TFormPlacement::RestoreEvents() {
  TCustomForm* F = Form();
  if (!F || !hooked_) return;
  hooked_ = false;
  const TNotifyEvent MyShow(this, &TFormPlacement::FormShow);
  const TCloseQueryEvent MyCloseQuery(this, &TFormPlacement::FormCloseQuery);
  const TNotifyEvent MyDestroy(this, &TFormPlacement::FormDestroy);
  std::vector<TFormPlacement*> Others;
  for (int I = 0; I < F->GetComponentCount(); ++I) {
    auto* P = dynamic_cast<TFormPlacement*>(F->GetComponent(I));
    if (P && P != this && P->hooked_) Others.push_back(P);
  }
  auto Unchain = [&](auto& FormEvent, const auto& Mine, auto TFormPlacement::*Saved) {
    if (FormEvent == Mine) {
      FormEvent = this->*Saved;
      return;
    }
    for (TFormPlacement* P : Others)
      if (P->*Saved == Mine) {
        P->*Saved = this->*Saved;
        return;
      }
  };
  Unchain(F->OnShow, MyShow, &TFormPlacement::saveShow_);
  Unchain(F->OnCloseQuery, MyCloseQuery, &TFormPlacement::saveCloseQuery_);
  Unchain(F->OnDestroy, MyDestroy, &TFormPlacement::saveDestroy_);
}

void TFormPlacement::FormShow(TObject* Sender) {
  if (Active) {
    try {
      RestoreFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  if (saveShow_) saveShow_(Sender);
}

void TFormPlacement::FormCloseQuery(TObject* Sender, bool& CanClose) {
  if (saveCloseQuery_) saveCloseQuery_(Sender, CanClose);
  TCustomForm* F = Form();
  if (CanClose && Active && F && F->HandleAllocated()) {
    try {
      SaveFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
}

void TFormPlacement::FormDestroy(TObject* Sender) {
  TCustomForm* F = Form();
  if (Active && !saved_ && F && F->HandleAllocated()) {
    destroying_ = true;
    try {
      SaveFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
    destroying_ = false;
  }
  TNotifyEvent Previous = saveDestroy_;
  RestoreEvents();  // the form's events go back before it is gone
  if (Previous) Previous(Sender);
}

void TFormPlacement::IniNeeded(bool ReadOnly) {
  if (ini_ || reg_) return;
  if (!UseRegistry) {
    // Reads go to the file as it is and write nothing; each write goes
    // straight to it.
    ini_ = std::make_unique<TIniFile>(GetIniFileName());
    return;
  }
  HKEY Root = HKEY_CURRENT_USER;
  switch (RegistryRoot) {
    case prLocalMachine: Root = HKEY_LOCAL_MACHINE; break;
    case prCurrentConfig: Root = HKEY_CURRENT_CONFIG; break;
    case prClassesRoot: Root = HKEY_CLASSES_ROOT; break;
    case prUsers: Root = HKEY_USERS; break;
    case prDynData: Root = HKEY_DYN_DATA; break;
    default: break;
  }
  if (Root == HKEY_CURRENT_USER) {
    reg_ = std::make_unique<TRegIniFile>(GetIniFileName());
    return;
  }
  // Opened afresh below the other root; nothing is made under the current
  // user on the way.
  reg_ = std::make_unique<TRegIniFile>(String(), ReadOnly ? KEY_READ : KEY_ALL_ACCESS);
  reg_->CloseKey();
  reg_->SetRootKey(Root);
  bool Opened = ReadOnly ? reg_->OpenKeyReadOnly(GetIniFileName()) : reg_->OpenKey(GetIniFileName(), true);
  // A key that isn't there reads as the defaults (never the root's values).
  if (!Opened) reg_.reset();
}

void TFormPlacement::IniFree() {
  ini_.reset();
  reg_.reset();
}

TObject* TFormPlacement::GetIniFile() const {
  if (reg_) return reg_.get();
  return ini_.get();
}

String TFormPlacement::ReadString(const String& Ident, const String& Default) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded(true);
  String R = IniReadString(GetIniFile(), GetIniSection(), Ident, Default);
  if (Open) IniFree();
  return R;
}

void TFormPlacement::WriteString(const String& Ident, const String& Value) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded();
  IniWriteString(GetIniFile(), GetIniSection(), Ident, Value);
  if (Open) IniFree();
}

int TFormPlacement::ReadInteger(const String& Ident, int Default) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded(true);
  int R = IniReadInteger(GetIniFile(), GetIniSection(), Ident, Default);
  if (Open) IniFree();
  return R;
}

void TFormPlacement::WriteInteger(const String& Ident, int Value) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded();
  IniWriteInteger(GetIniFile(), GetIniSection(), Ident, Value);
  if (Open) IniFree();
}

void TFormPlacement::EraseSections() {
  if (GetIniFile()) return;
  IniNeeded();
  try {
    TStringList Sections;
    IniReadSections(GetIniFile(), &Sections);
    String Section = GetIniSection();
    // Compared as wide text, literally: a section name may hold any
    // character, "?" and "*" included.
    auto Below = [&](const String& Name) {
      return Name.size() > Section.size() && Name.compare(0, Section.size(), Section) == 0 &&
             (Name[Section.size()] == L'.' || Name[Section.size()] == L'\\');
    };
    for (int I = 0; I < Sections.GetCount(); ++I) {
      String Name = Sections.Get(I);
      if (Name == Section || Below(Name)) IniEraseSection(GetIniFile(), Name);
    }
  } catch (...) {
    IniFree();
    throw;
  }
  IniFree();
}

void TFormPlacement::SaveFormPlacement() {
  if (Active && !restored_) return;  // never loaded: keep what is stored
  IniNeeded();
  try {
    IniWriteInteger(GetIniFile(), GetIniSection(), L"FormVersion", Version);
    SavePlacement();
    Save();
    saved_ = true;
  } catch (...) {
    IniFree();
    throw;
  }
  IniFree();
}

void TFormPlacement::SavePlacement() {
  TCustomForm* F = Form();
  if (!F) {
    NotifyLinks(poSave);
    return;
  }
  if (Options.Contains(fpState) || Options.Contains(fpPosition)) {
    WriteFormPlacement(F, GetIniFile(), GetIniSection());
    IniWriteBool(GetIniFile(), GetIniSection(), L"Visible", destroying_);
  }
  if (Options.Contains(fpActiveControl) && F->GetActiveControl())
    IniWriteString(GetIniFile(), GetIniSection(), L"ActiveControl", F->GetActiveControl()->GetName());
  NotifyLinks(poSave);
}

void TFormPlacement::RestoreFormPlacement() {
  saved_ = false;
  IniNeeded(true);
  try {
    if (IniReadInteger(GetIniFile(), GetIniSection(), L"FormVersion", 0) >= Version) {
      RestorePlacement();
      restored_ = true;
      Restore();
      TCustomForm* F = Form();
      if (Options.Contains(fpActiveControl) && F) {
        String Name = IniReadString(GetIniFile(), GetIniSection(), L"ActiveControl", L"");
        auto* C = dynamic_cast<TWinControl*>(Name.empty() ? nullptr : F->FindComponent(Name));
        if (C && C->CanFocus()) F->SetActiveControl(C);
      }
    }
    restored_ = true;
  } catch (...) {
    IniFree();
    throw;
  }
  IniFree();
  UpdatePlacement();
}

void TFormPlacement::RestorePlacement() {
  ReadFormPlacementOnly();
  NotifyLinks(poRestore);
}

void TFormPlacement::ReadFormPlacementOnly() {
  if (TCustomForm* F = Form())
    ReadFormPlacement(F, GetIniFile(), GetIniSection(), Options.Contains(fpState), Options.Contains(fpPosition));
}

String TFormPlacement::DoReadString(const String& Section, const String& Ident, const String& Default) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded(true);
  String R;
  try {
    R = IniReadString(GetIniFile(), Section, Ident, Default);
  } catch (...) {
    if (Open) IniFree();
    throw;
  }
  if (Open) IniFree();
  return R;
}

void TFormPlacement::DoWriteString(const String& Section, const String& Ident, const String& Value) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded();
  try {
    IniWriteString(GetIniFile(), Section, Ident, Value);
  } catch (...) {
    if (Open) IniFree();
    throw;
  }
  if (Open) IniFree();
}

void TFormPlacement::AddLink(TIniLink* ALink) {
  if (std::find(links_.begin(), links_.end(), ALink) == links_.end()) links_.push_back(ALink);
  ALink->storage_ = this;
}

void TFormPlacement::RemoveLink(TIniLink* ALink) {
  links_.erase(std::remove(links_.begin(), links_.end(), ALink), links_.end());
  if (ALink->storage_ == this) ALink->storage_ = nullptr;
}

void TFormPlacement::NotifyLinks(TPlacementOperation Operation) {
  // A copy: a handler may detach its link.
  std::vector<TIniLink*> Links = links_;
  for (TIniLink* L : Links) {
    if (Operation == poSave)
      L->SaveToIni();
    else
      L->LoadFromIni();
  }
}

// ---------------------------------------------------------------------------

TIniLink::~TIniLink() {
  OnSave = nullptr;
  OnLoad = nullptr;
  SetStorage(nullptr);
}

void TIniLink::SetStorage(TFormPlacement* Value) {
  if (storage_ == Value) return;
  if (storage_) storage_->RemoveLink(this);
  if (Value) Value->AddLink(this);
}

TObject* TIniLink::GetIniObject() const { return storage_ ? storage_->GetIniFile() : nullptr; }

String TIniLink::GetRootSection() const {
  if (!storage_ || storage_->GetStoredIniSection().empty()) return String();
  return storage_->GetStoredIniSection() + L"\\";
}

void TIniLink::SaveToIni() {
  if (OnSave) OnSave(this);
}

void TIniLink::LoadFromIni() {
  if (OnLoad) OnLoad(this);
}

void TFormPlacement::Save() {
  if (OnSavePlacement) OnSavePlacement(this);
}

void TFormPlacement::Restore() {
  if (OnRestorePlacement) OnRestorePlacement(this);
}

// ---------------------------------------------------------------------------
// Form streams

void TFormPlacement::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* A = dynamic_cast<TFormPlacement*>(Filer->GetAncestor());
  using namespace ExFiler;
  Boolean(Filer, L"Active", Active, A ? A->Active : true, [this](bool V) { Active = V; });
  // The names as set: the defaults the getters give follow the program.
  Text(Filer, L"IniFileName", iniFileName_, A ? A->iniFileName_ : String(),
       [this](const String& V) { SetIniFileName(V); });
  Text(Filer, L"IniSection", iniSection_, A ? A->iniSection_ : String(),
       [this](const String& V) { SetIniSection(V); });
  Boolean(Filer, L"UseRegistry", UseRegistry, A ? A->UseRegistry : false, [this](bool V) { UseRegistry = V; });
  Enum(Filer, L"RegistryRoot", RegistryRoot, A ? A->RegistryRoot : prCurrentUser,
       {L"prCurrentUser", L"prLocalMachine", L"prCurrentConfig", L"prClassesRoot", L"prUsers", L"prDynData"},
       [this](int V) { RegistryRoot = static_cast<TPlacementRegRoot>(V); });
  // The default set is the one the constructor gives for this owner.
  const TPlacementOptions Default =
      dynamic_cast<TForm*>(GetOwner()) ? TPlacementOptions{fpState, fpPosition} : TPlacementOptions{};
  Set(Filer, L"Options", Options.Bits(), (A ? A->Options : Default).Bits(),
      {L"fpState", L"fpPosition", L"fpActiveControl"},
      [this](uint64_t V) { Options = TPlacementOptions::FromBits(V); });
  Integer(Filer, L"Version", Version, A ? A->Version : 0, [this](int64_t V) { Version = static_cast<int>(V); });
  Boolean(Filer, L"PreventResize", preventResize_, A ? A->preventResize_ : false,
          [this](bool V) { SetPreventResize(V); });
  const TWinMinMaxInfo None;
  const TWinMinMaxInfo& Base = A ? A->minMaxInfo_ : None;
  const struct {
    const wchar_t* Name;
    int TWinMinMaxInfo::*Field;
  } Fields[] = {{L"MinMaxInfo.MaxPosLeft", &TWinMinMaxInfo::MaxPosLeft},
                {L"MinMaxInfo.MaxPosTop", &TWinMinMaxInfo::MaxPosTop},
                {L"MinMaxInfo.MaxSizeHeight", &TWinMinMaxInfo::MaxSizeHeight},
                {L"MinMaxInfo.MaxSizeWidth", &TWinMinMaxInfo::MaxSizeWidth},
                {L"MinMaxInfo.MaxTrackHeight", &TWinMinMaxInfo::MaxTrackHeight},
                {L"MinMaxInfo.MaxTrackWidth", &TWinMinMaxInfo::MaxTrackWidth},
                {L"MinMaxInfo.MinTrackHeight", &TWinMinMaxInfo::MinTrackHeight},
                {L"MinMaxInfo.MinTrackWidth", &TWinMinMaxInfo::MinTrackWidth}};
  for (const auto& F : Fields)
    Integer(Filer, F.Name, minMaxInfo_.*F.Field, Base.*F.Field, [this, Field = F.Field](int64_t V) {
      TWinMinMaxInfo Info = minMaxInfo_;
      Info.*Field = static_cast<int>(V);
      SetMinMaxInfo(Info);
    });
  Event(Filer, L"OnSavePlacement", OnSavePlacement, A ? &A->OnSavePlacement : nullptr);
  Event(Filer, L"OnRestorePlacement", OnRestorePlacement, A ? &A->OnRestorePlacement : nullptr);
}
