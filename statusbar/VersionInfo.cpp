#include "statusbar/VersionInfo.h"

#include <cstring>
#include <cwchar>

#include "classlib/PropFiler.h"

namespace {

struct TKeyCaption {
  const wchar_t* Key;
  const wchar_t* Caption;
};

const TKeyCaption kPreDefs[] = {
    {L"CompanyName", L"Company Name"},       {L"FileDescription", L"File Description"},
    {L"FileVersion", L"File Version"},       {L"InternalName", L"Internal Name"},
    {L"LegalCopyright", L"Legal Copyright"}, {L"LegalTrademarks", L"Legal Trademarks"},
    {L"OriginalFilename", L"Original Filename"}, {L"ProductName", L"Product Name"},
    {L"ProductVersion", L"Product Version"}, {L"Comments", L"Comments"},
    {L"BuildFlags", L"Build Flags"},
};

const wchar_t* const kFlagCaptions[] = {L"Debug", L"Info Inferred", L"Patched",
                                        L"Pre-Release", L"Private", L"Special"};

// Longest file name and query the component handles.
constexpr size_t kMaxName = 255;

TPreDefs AllPreDefs() {
  TPreDefs s;
  for (int i = pdCompanyName; i <= pdBuildFlags; ++i) s.Include(TPreDef(i));
  return s;
}

TFixedFileInfoFlags FlagsOf(DWORD bits) {
  TFixedFileInfoFlags f;
  if (bits & VS_FF_DEBUG) f.Include(ffDebug);
  if (bits & VS_FF_PRERELEASE) f.Include(ffPreRelease);
  if (bits & VS_FF_PATCHED) f.Include(ffPatched);
  if (bits & VS_FF_PRIVATEBUILD) f.Include(ffPrivateBuild);
  if (bits & VS_FF_INFOINFERRED) f.Include(ffInfoInferred);
  if (bits & VS_FF_SPECIALBUILD) f.Include(ffSpecialBuild);
  return f;
}

// Eight lower-case hexadecimal digits: language, then code page.
String TranslationId(unsigned lang, unsigned cp) {
  wchar_t buf[16];
  swprintf(buf, 16, L"%.4x%.4x", lang & 0xFFFF, cp & 0xFFFF);
  return buf;
}

}  // namespace

String PreDefKey(TPreDef d) { return kPreDefs[d].Key; }
String PreDefCaption(TPreDef d) { return kPreDefs[d].Caption; }
String FixedFileInfoFlagCaption(TFixedFileInfoFlag f) { return kFlagCaptions[f]; }

// ---------------------------------------------------------------------------
uint32_t TFixedFileVersionInfo::GetSignature() const { return info_ ? info_->dwSignature : 0; }
uint32_t TFixedFileVersionInfo::GetStructureVersion() const { return info_ ? info_->dwStrucVersion : 0; }
uint32_t TFixedFileVersionInfo::GetFileVersionMS() const { return info_ ? info_->dwFileVersionMS : 0; }
uint32_t TFixedFileVersionInfo::GetFileVersionLS() const { return info_ ? info_->dwFileVersionLS : 0; }
uint32_t TFixedFileVersionInfo::GetProductVersionMS() const { return info_ ? info_->dwProductVersionMS : 0; }
uint32_t TFixedFileVersionInfo::GetProductVersionLS() const { return info_ ? info_->dwProductVersionLS : 0; }
uint32_t TFixedFileVersionInfo::GetFileSubType() const { return info_ ? info_->dwFileSubtype : 0; }
TFixedFileInfoFlags TFixedFileVersionInfo::GetValidFlags() const {
  return info_ ? FlagsOf(info_->dwFileFlagsMask) : TFixedFileInfoFlags{};
}
TFixedFileInfoFlags TFixedFileVersionInfo::GetFlags() const {
  return info_ ? FlagsOf(info_->dwFileFlags) : TFixedFileInfoFlags{};
}

TVersionOperatingSystemFlags TFixedFileVersionInfo::GetFileOperatingSystem() const {
  TVersionOperatingSystemFlags s;
  if (!info_) return s;
  switch (HIWORD(info_->dwFileOS)) {
    case 1: s.Include(vosDOS); break;
    case 2: s.Include(vosOS2_16); break;
    case 3: s.Include(vosOS2_32); break;
    case 4: s.Include(vosNT); break;
    default: s.Include(vosUnknown); break;
  }
  switch (LOWORD(info_->dwFileOS)) {
    case 1: s.Include(vosWindows16); break;
    case 2: s.Include(vosPresentationManager16); break;
    case 3: s.Include(vosPresentationManager32); break;
    case 4: s.Include(vosWindows32); break;
    default: s.Include(vosUnknown); break;
  }
  return s;
}

TVersionFileType TFixedFileVersionInfo::GetFileType() const {
  if (!info_) return vftUnknown;
  switch (info_->dwFileType) {
    case 1: return vftApplication;
    case 2: return vftDLL;
    case 3: return vftDriver;
    case 4: return vftFont;
    case 5: return vftVXD;
    case 7: return vftStaticLib;
    default: return vftUnknown;
  }
}

TDateTime TFixedFileVersionInfo::GetCreationDate() const {
  // A zero date means the file carries none.
  if (!info_ || (info_->dwFileDateMS == 0 && info_->dwFileDateLS == 0)) return 0;
  FILETIME ft{info_->dwFileDateLS, info_->dwFileDateMS};
  SYSTEMTIME st{};
  if (!FileTimeToSystemTime(&ft, &st)) return 0;
  TDateTime d = 0;
  if (!TryEncodeDate(st.wYear, st.wMonth, st.wDay, d)) return 0;
  return d + EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

// ---------------------------------------------------------------------------
uint16_t TVersionNumberInformation::GetVersionNumber(int Index) const {
  if (!valid_) return 0;
  switch (Index) {
    case 0: return HIWORD(ms_);
    case 1: return LOWORD(ms_);
    case 2: return HIWORD(ls_);
    case 3: return LOWORD(ls_);
    default: return 0;
  }
}

String TVersionNumberInformation::GetVersionNumberString() const {
  if (!valid_) return String();
  if (!text_.empty()) return text_;
  return Format(L"%d.%d.%d.%d", int(GetVersionNumber(0)), int(GetVersionNumber(1)),
                int(GetVersionNumber(2)), int(GetVersionNumber(3)));
}

// ---------------------------------------------------------------------------
TOdVersionInfoResource::TOdVersionInfoResource(TComponent* AOwner)
    : TComponent(AOwner),
      translations_(std::make_unique<TStringList>()),
      fixed_(std::make_unique<TFixedFileVersionInfo>(this)),
      fileVersion_(std::make_unique<TVersionNumberInformation>(0, 0)),
      productVersion_(std::make_unique<TVersionNumberInformation>(0, 0)),
      showResource_(AllPreDefs()) {}

TOdVersionInfoResource::~TOdVersionInfoResource() = default;

String TOdVersionInfoResource::GetVersion() const { return L"1.0"; }

void TOdVersionInfoResource::SetFilename(const TVersionFilename& Value) {
  filename_ = Value;
  ReadVersionInfoData();
}

void TOdVersionInfoResource::SetForceEXE(bool Value) {
  if (Value == forceEXE_) return;
  forceEXE_ = Value;
  ReadVersionInfoData();
}

void TOdVersionInfoResource::SetTranslationIDIndex(int Value) {
  if (Value >= 0 && Value < translations_->GetCount()) translationIndex_ = Value;
}

void TOdVersionInfoResource::Loaded() {
  TComponent::Loaded();
  ReadVersionInfoData();
}

void TOdVersionInfoResource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == versionLabel_) versionLabel_ = nullptr;
  if (AComponent == copyrightLabel_) copyrightLabel_ = nullptr;
  if (AComponent == descriptionLabel_) descriptionLabel_ = nullptr;
  if (AComponent == productLabel_) productLabel_ = nullptr;
  if (AComponent == listView_) listView_ = nullptr;
}

String TOdVersionInfoResource::GetResourceFilename() {
  if (!filename_.empty()) return filename_;
  // The module this code lives in: the program itself, or the library when
  // built into one (unless the program's own resource is asked for).
  HMODULE self = nullptr;
  if (!forceEXE_)
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&PreDefKey), &self);
  wchar_t buf[kMaxName + 1] = {};
  DWORD n = GetModuleFileNameW(self, buf, DWORD(kMaxName + 1));
  if (n == 0 || n > kMaxName) return String();
  return String(buf, n);
}

void TOdVersionInfoResource::ReadVersionInfoData() {
  translations_->Clear();
  fixed_->info_ = nullptr;
  data_.clear();
  data_.shrink_to_fit();
  String name = GetResourceFilename();
  DWORD size = 0, handle = 0;
  // Over-long names are refused as if the file had no resource.
  if (!name.empty() && name.size() <= kMaxName) size = GetFileVersionInfoSizeW(name.c_str(), &handle);
  if (size > 0) {
    data_.resize(size);
    if (!GetFileVersionInfoW(name.c_str(), 0, size, data_.data())) {
      data_.clear();
      size = 0;
    }
  }
  if (size == 0) {
    fileVersion_->valid_ = false;
    productVersion_->valid_ = false;
    PopulateControls();
    return;
  }
  void* p = nullptr;
  UINT len = 0;
  if (VerQueryValueW(data_.data(), L"\\", &p, &len) && p && len >= sizeof(VS_FIXEDFILEINFO))
    fixed_->info_ = static_cast<const VS_FIXEDFILEINFO*>(p);
  p = nullptr;
  len = 0;
  if (VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &p, &len) && p) {
    const auto* b = static_cast<const uint8_t*>(p);
    UINT whole = len / 4;
    for (UINT i = 0; i < whole; ++i) {
      uint16_t lang, cp;
      std::memcpy(&lang, b + i * 4, 2);
      std::memcpy(&cp, b + i * 4 + 2, 2);
      translations_->Add(TranslationId(lang, cp));
    }
    // A short block: one entry of US English with the code page it holds
    // (only when there is a whole 16-bit word to read).
    if (whole == 0 && len >= 2) {
      uint16_t cp;
      std::memcpy(&cp, b, 2);
      translations_->Add(TranslationId(0x409, cp));
    }
  }
  if (translationIndex_ >= translations_->GetCount()) translationIndex_ = 0;
  fileVersion_->ms_ = fixed_->GetFileVersionMS();
  fileVersion_->ls_ = fixed_->GetFileVersionLS();
  fileVersion_->text_ = GetResourceStr(L"FileVersion");
  fileVersion_->valid_ = true;
  productVersion_->ms_ = fixed_->GetProductVersionMS();
  productVersion_->ls_ = fixed_->GetProductVersionLS();
  productVersion_->text_ = GetResourceStr(L"ProductVersion");
  productVersion_->valid_ = true;
  PopulateControls();
}

String TOdVersionInfoResource::GetResourceStr(const String& Key) const {
  if (data_.empty()) return String();
  String id = translationIndex_ < translations_->GetCount() ? translations_->Get(translationIndex_)
                                                            : String(L"040904E4");
  String query = L"\\StringFileInfo\\" + id + L"\\" + Key;
  if (query.size() > kMaxName) return String();
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(const_cast<uint8_t*>(data_.data()), query.c_str(), &p, &len) || !p) return String();
  const wchar_t* s = static_cast<const wchar_t*>(p);
  // The length counts characters, the terminator included when present;
  // never read past it.
  size_t n = 0;
  while (n < len && s[n]) ++n;
  return String(s, n);
}

String TOdVersionInfoResource::GetVersionInfoString(int Index) const {
  if (Index < pdCompanyName || Index > pdBuildFlags) return String();
  return GetResourceStr(kPreDefs[Index].Key);
}

String TOdVersionInfoResource::BuildFlags() {
  String s;
  TFixedFileInfoFlags f = fixed_->GetFlags();
  for (int i = ffDebug; i <= ffSpecialBuild; ++i)
    if (f.Contains(TFixedFileInfoFlag(i))) s += String(kFlagCaptions[i]) + L", ";
  if (s.size() >= 2) s.resize(s.size() - 2);
  return s;
}

void TOdVersionInfoResource::PopulateControls() {
  if (IsLoading() || IsDesigning()) return;
  if (versionLabel_) versionLabel_->SetCaption(fileVersion_->GetVersionNumberString());
  if (copyrightLabel_) copyrightLabel_->SetCaption(GetResourceStr(L"LegalCopyright"));
  if (productLabel_) productLabel_->SetCaption(GetResourceStr(L"ProductName"));
  if (descriptionLabel_) descriptionLabel_->SetCaption(GetResourceStr(L"FileDescription"));
  if (listView_) BuildListView();
}

void TOdVersionInfoResource::BuildListView() {
  if (!listView_) return;
  listView_->Items()->Clear();
  listView_->Columns()->Clear();
  listView_->SetViewStyle(vsReport);
  listView_->SetReadOnly(true);
  listView_->SetColumnClick(false);
  for (const wchar_t* h : {L"Resource", L"Value"}) {
    TListColumn* c = listView_->Columns()->Add();
    c->SetCaption(h);
    c->SetWidth(-2);
  }
  const TPreDef order[] = {pdProductName,  pdProductVersion, pdCompanyName,     pdLegalCopyright,
                           pdLegalTrademarks, pdFileDescription, pdFileVersion, pdInternalName,
                           pdOriginalFilename, pdBuildFlags, pdComments};
  for (TPreDef d : order) {
    if (!showResource_.Contains(d)) continue;
    String v;
    if (d == pdProductVersion) v = productVersion_->GetVersionNumberString();
    else if (d == pdFileVersion) v = fileVersion_->GetVersionNumberString();
    else if (d == pdBuildFlags) v = BuildFlags();
    else v = GetResourceStr(kPreDefs[d].Key);
    if (v.empty()) continue;
    TListItem* it = listView_->Items()->Add();
    it->SetCaption(kPreDefs[d].Caption);
    it->SubItems()->Add(v);
  }
}

void TOdVersionInfoResource::SetLabel(TLabel*& field, TLabel* Value, TPreDef shown) {
  if (field == Value) return;
  field = Value;
  if (!Value) return;
  Value->FreeNotification(this);
  // A form being read brings the entries it shows along: a label read back
  // does not take its entry out of them again.
  if (!IsLoading()) showResource_.Exclude(shown);
  PopulateControls();
}

void TOdVersionInfoResource::SetVersionLabel(TLabel* Value) { SetLabel(versionLabel_, Value, pdFileVersion); }
void TOdVersionInfoResource::SetCopyrightLabel(TLabel* Value) { SetLabel(copyrightLabel_, Value, pdLegalCopyright); }
void TOdVersionInfoResource::SetDescriptionLabel(TLabel* Value) { SetLabel(descriptionLabel_, Value, pdFileDescription); }
void TOdVersionInfoResource::SetProductLabel(TLabel* Value) { SetLabel(productLabel_, Value, pdProductName); }

void TOdVersionInfoResource::SetVersionListView(TListView* Value) {
  if (listView_ == Value) return;
  listView_ = Value;
  if (!Value) return;
  Value->FreeNotification(this);
  PopulateControls();
}

void TOdVersionInfoResource::SetShowResource(TPreDefs Value) {
  if (Value == showResource_) return;
  showResource_ = Value;
  PopulateControls();
}

void TOdVersionInfoResource::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  using namespace PropFiler;
  static const TNames kPreDefNames{L"pdCompanyName",      L"pdFileDescription", L"pdFileVersion",
                                   L"pdInternalName",     L"pdLegalCopyright",  L"pdLegalTrademarks",
                                   L"pdOriginalFilename", L"pdProductName",     L"pdProductVersion",
                                   L"pdComments",         L"pdBuildFlags"};
  auto* a = dynamic_cast<TOdVersionInfoResource*>(Filer->GetAncestor());
  Text(Filer, L"Filename", filename_, a ? a->filename_ : String(), [this](const String& v) { SetFilename(v); });
  Boolean(Filer, L"ForceEXE", forceEXE_, a && a->forceEXE_, [this](bool v) { SetForceEXE(v); });
  Set(Filer, L"ShowResource", showResource_.Bits(), a ? a->showResource_.Bits() : AllPreDefs().Bits(), kPreDefNames,
      [this](uint64_t v) { SetShowResource(TPreDefs::FromBits(v)); });
  // The ancestor's control of the same name counts as the same.
  auto base = [](TComponent* Value, TComponent* Base) {
    return Value && Base && SameText(Value->GetName(), Base->GetName()) ? Value : Base;
  };
  auto label = [&](const wchar_t* Name, TLabel* Value, TLabel* Base, void (TOdVersionInfoResource::*Setter)(TLabel*)) {
    Link(Filer, Name, Value, base(Value, Base),
         [this, Setter](TComponent* c) { (this->*Setter)(dynamic_cast<TLabel*>(c)); });
  };
  label(L"VersionLabel", versionLabel_, a ? a->versionLabel_ : nullptr, &TOdVersionInfoResource::SetVersionLabel);
  label(L"CopyrightLabel", copyrightLabel_, a ? a->copyrightLabel_ : nullptr,
        &TOdVersionInfoResource::SetCopyrightLabel);
  label(L"DescriptionLabel", descriptionLabel_, a ? a->descriptionLabel_ : nullptr,
        &TOdVersionInfoResource::SetDescriptionLabel);
  label(L"ProductLabel", productLabel_, a ? a->productLabel_ : nullptr, &TOdVersionInfoResource::SetProductLabel);
  Link(Filer, L"VersionListView", listView_, base(listView_, a ? a->listView_ : nullptr),
       [this](TComponent* c) { SetVersionListView(dynamic_cast<TListView*>(c)); });
  // Streams of older versions may carry the version text.
  Ignored(Filer, L"Version");
}

// The captions are compiled in; only the class is registered for reading.
void VersionInfoInitialize() {
  RegisterClasses({ComponentClass<TOdVersionInfoResource>(L"TOdVersionInfoResource")});
}
void VersionInfoFinalize() { UnRegisterClass(L"TOdVersionInfoResource"); }
