#include "extlib/ExPlacement.h"

#include "classlib/Filer.h"

#include "extlib/ExFileUtil.h"
#include "extlib/ExStrUtil.h"
#include "extlib/ExWinUtil.h"

std::function<String()> OnGetDefaultIniName;
String DefCompanyName;
bool RegUseAppTitle = false;

namespace {

const wchar_t* const siFlags = L"Flags";
const wchar_t* const siShowCmd = L"ShowCmd";
const wchar_t* const siMinMaxPos = L"MinMaxPos";
const wchar_t* const siNormPos = L"NormPos";
const wchar_t* const siPixels = L"PixelsPerInch";

String ScreenSized(const String& Name) {
  return Name + Format(L"(%dx%d)", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

String ExeBaseName() {
  String Name = ExtractFileName(Application ? Application->ExeName() : String());
  return ChangeFileExt(Name, L"");
}

// A form's window state without its setter (nothing is shown or moved).
class TFormStateAccess : public TCustomForm {
 public:
  static TWindowState& Field(TCustomForm* F) { return F->*(&TFormStateAccess::windowState_); }
};
TWindowState& FormStateField(TCustomForm* F) { return TFormStateAccess::Field(F); }

int CurrentPixelsPerInch() { return Screen ? Screen->PixelsPerInch() : 96; }

// Word N of a "a,b,c,d" list as a number, 0 when it is none.
int PosWord(const String& S, int N, int Default) {
  TCharSet Delims{' ', ','};
  AnsiString A;
  for (wchar_t C : S) A += (C < 128) ? static_cast<char>(C) : '?';
  AnsiString W = ExtractWord(N, A, Delims);
  if (W.empty()) return Default;
  try {
    size_t Used = 0;
    long V = std::stol(W, &Used);
    return Used == W.size() ? static_cast<int>(V) : 0;
  } catch (...) {
    return 0;
  }
}

String ClassNameOf(const TPersistent* O) {
  const char* Name = O->ClassName();
  return String(Name, Name + strlen(Name));
}
}  // namespace

String GetDefaultIniName() {
  if (OnGetDefaultIniName) return OnGetDefaultIniName();
  return ChangeFileExt(ExtractFileName(Application ? Application->ExeName() : String()), L".INI");
}

String GetDefaultSection(TComponent* Component) {
  if (!Component) return String();
  if (dynamic_cast<TCustomForm*>(Component)) return ClassNameOf(Component);
  String Name = Component->GetName();
  if (auto* C = dynamic_cast<TControl*>(Component)) {
    if (TCustomForm* F = GetParentForm(C)) return ClassNameOf(F) + Name;
    if (C->GetParent()) return C->GetParent()->GetName() + Name;
    return Name;
  }
  if (auto* F = dynamic_cast<TForm*>(Component->GetOwner())) return Format(L"%s.%s", ClassNameOf(F), Name);
  return Name;
}

String GetDefaultIniRegKey() {
  String R = L"Software\\";
  if (!DefCompanyName.empty()) R += DefCompanyName + L"\\";
  if (RegUseAppTitle && Application && !Application->GetTitle().empty())
    R += Application->GetTitle();
  else
    R += ExeBaseName();
  return R;
}

String IniReadString(TObject* Ini, const String& Section, const String& Ident, const String& Default) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini)) return R->ReadString(Section, Ident, Default);
  if (auto* F = dynamic_cast<TCustomIniFile*>(Ini)) return F->ReadString(Section, Ident, Default);
  return Default;
}

int IniReadInteger(TObject* Ini, const String& Section, const String& Ident, int Default) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini)) return R->ReadInteger(Section, Ident, Default);
  if (auto* F = dynamic_cast<TCustomIniFile*>(Ini)) return F->ReadInteger(Section, Ident, Default);
  return Default;
}

bool IniReadBool(TObject* Ini, const String& Section, const String& Ident, bool Default) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini)) return R->ReadBool(Section, Ident, Default);
  if (auto* F = dynamic_cast<TCustomIniFile*>(Ini)) return F->ReadBool(Section, Ident, Default);
  return Default;
}

void IniWriteString(TObject* Ini, const String& Section, const String& Ident, const String& Value) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini)) {
    R->WriteString(Section, Ident, Value);
  } else if (auto* F = dynamic_cast<TIniFile*>(Ini)) {
    // A TIniFile strips one pair of enclosing quotes when reading; other
    // ini files give the text back as written.
    String V = Value;
    if (!V.empty() && ((V.front() == L'"' && V.back() == L'"') || (V.front() == L'\'' && V.back() == L'\'')))
      V = L"\"" + V + L"\"";
    F->WriteString(Section, Ident, V);
  } else if (auto* M = dynamic_cast<TCustomIniFile*>(Ini)) {
    M->WriteString(Section, Ident, Value);
  }
}

void IniWriteInteger(TObject* Ini, const String& Section, const String& Ident, int Value) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini))
    R->WriteInteger(Section, Ident, Value);
  else if (auto* F = dynamic_cast<TCustomIniFile*>(Ini))
    F->WriteInteger(Section, Ident, Value);
}

void IniWriteBool(TObject* Ini, const String& Section, const String& Ident, bool Value) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini))
    R->WriteBool(Section, Ident, Value);
  else if (auto* F = dynamic_cast<TCustomIniFile*>(Ini))
    F->WriteBool(Section, Ident, Value);
}

void IniEraseSection(TObject* Ini, const String& Section) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini))
    R->EraseSection(Section);
  else if (auto* F = dynamic_cast<TCustomIniFile*>(Ini))
    F->EraseSection(Section);
}

void IniDeleteKey(TObject* Ini, const String& Section, const String& Ident) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini))
    R->DeleteKey(Section, Ident);
  else if (auto* F = dynamic_cast<TCustomIniFile*>(Ini))
    F->DeleteKey(Section, Ident);
}

void IniReadSections(TObject* Ini, TStrings* Strings) {
  if (auto* R = dynamic_cast<TRegIniFile*>(Ini))
    R->ReadSections(Strings);
  else if (auto* F = dynamic_cast<TCustomIniFile*>(Ini))
    F->ReadSections(Strings);
}

String StrToIniStr(const String& S) {
  if (S.size() > MaxIniLine) throw Exception(L"Line too long");
  String R;
  for (size_t I = 0; I < S.size(); ++I) {
    wchar_t C = S[I];
    if (C == L'\r' || C == L'\n') {
      wchar_t Other = C == L'\r' ? L'\n' : L'\r';
      if (I + 1 < S.size() && S[I + 1] == Other) ++I;  // CR LF or LF CR is one break
      R += L"\\n";
    } else {
      R += C;
    }
  }
  return R;
}

String IniStrToStr(const String& S) {
  if (S.size() > MaxIniLine) throw Exception(L"Line too long");
  String R;
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] == L'\\' && I + 1 < S.size() && S[I + 1] == L'n') {
      R += L"\r\n";
      ++I;
    } else {
      R += S[I];
    }
  }
  return R;
}

void WriteFormPlacement(TCustomForm* Form, TObject* Ini, const String& Section) {
  if (!Form) return;
  WINDOWPLACEMENT P = {};
  P.length = sizeof(P);
  GetWindowPlacement(Form->Handle(), &P);
  if (Application && Form == Application->GetMainForm() && Application->Handle() &&
      IsIconic(Application->Handle()))
    P.showCmd = SW_SHOWMINIMIZED;
  if (Form->GetFormStyle() == fsMDIChild && Form->GetWindowState() == wsMinimized) P.flags |= WPF_SETMINPOSITION;
  IniWriteInteger(Ini, Section, siFlags, static_cast<int>(P.flags));
  IniWriteInteger(Ini, Section, siShowCmd, static_cast<int>(P.showCmd));
  IniWriteInteger(Ini, Section, siPixels, CurrentPixelsPerInch());
  String MinMax = Format(L"%d,%d,%d,%d", static_cast<int>(P.ptMinPosition.x), static_cast<int>(P.ptMinPosition.y),
                         static_cast<int>(P.ptMaxPosition.x), static_cast<int>(P.ptMaxPosition.y));
  String Norm = Format(L"%d,%d,%d,%d", static_cast<int>(P.rcNormalPosition.left),
                       static_cast<int>(P.rcNormalPosition.top), static_cast<int>(P.rcNormalPosition.right),
                       static_cast<int>(P.rcNormalPosition.bottom));
  IniWriteString(Ini, Section, ScreenSized(siMinMaxPos), MinMax);
  IniWriteString(Ini, Section, ScreenSized(siNormPos), Norm);
  IniWriteString(Ini, Section, siMinMaxPos, MinMax);
  IniWriteString(Ini, Section, siNormPos, Norm);
}

void ReadFormPlacement(TCustomForm* Form, TObject* Ini, const String& Section, bool LoadState,
                       bool LoadPosition) {
  if (!Form || !(LoadState || LoadPosition)) return;
  WINDOWPLACEMENT P = {};
  P.length = sizeof(P);
  GetWindowPlacement(Form->Handle(), &P);
  if (!IsWindowVisible(Form->Handle())) P.showCmd = SW_HIDE;
  if (LoadPosition) {
    bool Found = false;
    P.flags = static_cast<UINT>(IniReadInteger(Ini, Section, siFlags, static_cast<int>(P.flags)));
    auto ReadPos = [&](const wchar_t* Name) {
      String S = IniReadString(Ini, Section, ScreenSized(Name), L"");
      if (S.empty()) S = IniReadString(Ini, Section, Name, L"");
      return S;
    };
    String S = ReadPos(siMinMaxPos);
    if (!S.empty()) {
      Found = true;
      P.ptMinPosition.x = PosWord(S, 1, 0);
      P.ptMinPosition.y = PosWord(S, 2, 0);
      P.ptMaxPosition.x = PosWord(S, 3, 0);
      P.ptMaxPosition.y = PosWord(S, 4, 0);
    }
    S = ReadPos(siNormPos);
    if (!S.empty()) {
      Found = true;
      P.rcNormalPosition.left = PosWord(S, 1, Form->GetLeft());
      P.rcNormalPosition.top = PosWord(S, 2, Form->GetTop());
      P.rcNormalPosition.right = PosWord(S, 3, Form->GetLeft() + Form->GetWidth());
      P.rcNormalPosition.bottom = PosWord(S, 4, Form->GetTop() + Form->GetHeight());
    }
    if (IniReadInteger(Ini, Section, siPixels, CurrentPixelsPerInch()) != CurrentPixelsPerInch()) Found = false;
    if (Found) {
      if (Form->GetBorderStyle() != bsSizeable && Form->GetBorderStyle() != bsSizeToolWin) {
        P.rcNormalPosition.right = P.rcNormalPosition.left + Form->GetWidth();
        P.rcNormalPosition.bottom = P.rcNormalPosition.top + Form->GetHeight();
      }
      if (P.rcNormalPosition.right > P.rcNormalPosition.left) {
        // The class library's setter moves nothing, so the form needs no
        // designing mark around the change.
        if ((Form->GetPosition() == poScreenCenter || Form->GetPosition() == poDesktopCenter) &&
            !Form->IsDesigning())
          Form->SetPosition(poDesigned);
        SetWindowPlacement(Form->Handle(), &P);
      }
    }
  }
  if (LoadState) {
    TCustomForm* Main = Application ? Application->GetMainForm() : nullptr;
    bool IsMain = Main == Form || Main == nullptr;
    TWindowState State = wsNormal;
    if ((IsMain && Form->GetFormStyle() == fsMDIForm) ||
        (Form->GetFormStyle() == fsNormal && Form->GetPosition() == poDefault))
      State = wsMaximized;
    switch (IniReadInteger(Ini, Section, siShowCmd, 0)) {
      case SW_SHOWNORMAL:
      case SW_SHOW:
      case SW_RESTORE: State = wsNormal; break;
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE: State = wsMinimized; break;
      case SW_SHOWMAXIMIZED: State = wsMaximized; break;
      default: break;
    }
    if (State == wsMinimized && IsMain) {
      // The whole program goes to the task bar; the form itself stays
      // normal, to be shown so when the program comes back.
      FormStateField(Form) = wsNormal;
      if (Application && Application->Handle()) PostMessageW(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      return;
    }
    if (Form->GetFormStyle() == fsMDIChild || Form->GetFormStyle() == fsMDIForm)
      FormStateField(Form) = State;  // applied when the form is shown
    else
      Form->SetWindowState(State);
  }
  Form->Update();
}

void SaveFormPlacement(TCustomForm* Form, const String& IniFileName, bool UseRegistry) {
  String Section = GetDefaultSection(Form);
  if (UseRegistry) {
    TRegIniFile Ini(IniFileName);
    WriteFormPlacement(Form, &Ini, Section);
  } else {
    TIniFile Ini(IniFileName);
    WriteFormPlacement(Form, &Ini, Section);
  }
}

void RestoreFormPlacement(TCustomForm* Form, const String& IniFileName, bool UseRegistry) {
  String Section = GetDefaultSection(Form);
  if (UseRegistry) {
    TRegIniFile Ini(IniFileName);
    ReadFormPlacement(Form, &Ini, Section, true, true);
  } else {
    TIniFile Ini(IniFileName);
    ReadFormPlacement(Form, &Ini, Section, true, true);
  }
}

namespace {
const wchar_t* const siMDIChild = L"MDI Children";

void CheckMDIForm(TCustomForm* MainForm) {
  if (!MainForm || MainForm->GetFormStyle() != fsMDIForm)
    throw EInvalidOperation(L"Cannot create form. No MDI forms are currently active");
}
}  // namespace

std::vector<TCustomForm*> MDIChildrenOf(TCustomForm* MainForm) {
  std::vector<TCustomForm*> R;
  for (int I = 0; MainForm && I < MainForm->MDIChildCount(); ++I) R.push_back(MainForm->MDIChildren(I));
  return R;
}

void SaveMDIChildren(TCustomForm* MainForm, TObject* Ini) {
  CheckMDIForm(MainForm);
  IniEraseSection(Ini, siMDIChild);
  std::vector<TCustomForm*> Children = MDIChildrenOf(MainForm);
  if (Children.empty()) return;
  IniWriteInteger(Ini, siMDIChild, L"Count", static_cast<int>(Children.size()));
  for (size_t I = 0; I < Children.size(); ++I)
    IniWriteString(Ini, siMDIChild, Format(L"Item%d", static_cast<int>(I)), ClassNameOf(Children[I]));
}

void RestoreMDIChildren(TCustomForm* MainForm, TObject* Ini) {
  CheckMDIForm(MainForm);
  StartWait();
  try {
    int Count = IniReadInteger(Ini, siMDIChild, L"Count", 0);
    // A count the stored items don't back (its last item not there) is
    // damaged: nothing is opened, and no count of billions is walked.
    if (Count > 0 && IniReadString(Ini, siMDIChild, Format(L"Item%d", Count - 1), String()).empty()) Count = 0;
    for (int I = Count - 1; I >= 0; --I) {
      String Name = IniReadString(Ini, siMDIChild, Format(L"Item%d", I), String());
      TComponentFactory Factory = GetClass(Name);
      if (Name.empty() || !Factory) continue;
      TCustomForm* Found = nullptr;
      for (int J = 0; Screen && J < Screen->FormCount() && !Found; ++J)
        if (ClassNameOf(Screen->Forms(J)) == Name) Found = Screen->Forms(J);
      if (!Found) {
        std::unique_ptr<TComponent> Made(Factory(Application));
        Found = dynamic_cast<TCustomForm*>(Made.get());
        if (!Found) continue;  // a registered class that is no form
        Made.release();
        Application->FormCreated(Found);
      }
      Found->Show();
    }
  } catch (...) {
    StopWait();
    throw;
  }
  StopWait();
}

void SaveGridLayout(TCustomGrid* Grid, TObject* Ini) {
  String Section = GetDefaultSection(Grid);
  for (int I = 0; I < Grid->GetColCount(); ++I) IniWriteInteger(Ini, Section, Format(L"Item%d", I), Grid->GetColWidths(I));
}

void RestoreGridLayout(TCustomGrid* Grid, TObject* Ini) {
  String Section = GetDefaultSection(Grid);
  for (int I = 0; I < Grid->GetColCount(); ++I)
    Grid->SetColWidths(I, IniReadInteger(Ini, Section, Format(L"Item%d", I), Grid->GetColWidths(I)));
}

String GetUniqueFileNameInDir(const String& Path, const String& FileNameMask) {
  String Dir = NormalDir(Path);
  for (int64_t N = 0; N <= 0x7FFFFFFF; ++N) {
    String Name = Format(FileNameMask, static_cast<int>(N));
    if (GetFileAttributesW((Dir + Name).c_str()) == INVALID_FILE_ATTRIBUTES) return Name;
  }
  return String();
}

LRESULT AppBroadcast(UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT R = 0;
  for (int I = 0; Screen && I < Screen->FormCount(); ++I)
    R = SendMessageW(Screen->Forms(I)->Handle(), Msg, WParam, LParam);
  return R;
}

void AppTaskbarIcons(bool AppOnly) {
  if (!Application) return;
  HWND App = Application->Handle();
  LONG_PTR Style = GetWindowLongPtrW(App, GWL_STYLE);
  if (AppOnly) {
    SetWindowLongPtrW(App, GWL_STYLE, Style | WS_CAPTION);
    SwitchToWindow(App, false);
  } else {
    SetWindowLongPtrW(App, GWL_STYLE, Style & ~static_cast<LONG_PTR>(WS_CAPTION));
  }
}

void ExPlacementInitialize() {}
void ExPlacementFinalize() { DefCompanyName.clear(); }
