// Reads the version resource of a file (by default the running program)
// and can show its values on labels and in a two-column list view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Filer.h"
#include "classlib/ComCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"

enum TPreDef {
  pdCompanyName, pdFileDescription, pdFileVersion, pdInternalName, pdLegalCopyright,
  pdLegalTrademarks, pdOriginalFilename, pdProductName, pdProductVersion, pdComments,
  pdBuildFlags
};
using TPreDefs = TSet<TPreDef>;

enum TFixedFileInfoFlag { ffDebug, ffInfoInferred, ffPatched, ffPreRelease, ffPrivateBuild, ffSpecialBuild };
using TFixedFileInfoFlags = TSet<TFixedFileInfoFlag>;

enum TVersionOperatingSystemFlag {
  vosUnknown, vosDOS, vosOS2_16, vosOS2_32, vosNT, vosWindows16,
  vosPresentationManager16, vosPresentationManager32, vosWindows32
};
using TVersionOperatingSystemFlags = TSet<TVersionOperatingSystemFlag>;

// The name of the file whose version resource is read (empty: the program).
using TVersionFilename = String;

enum TVersionFileType { vftUnknown, vftApplication, vftDLL, vftDriver, vftFont, vftVXD, vftStaticLib };

// The string-table key and the caption of each predefined entry.
String PreDefKey(TPreDef d);
String PreDefCaption(TPreDef d);
String FixedFileInfoFlagCaption(TFixedFileInfoFlag f);

class TOdVersionInfoResource;

// The fixed block of a version resource.
class TFixedFileVersionInfo : public TObject {
 public:
  explicit TFixedFileVersionInfo(TOdVersionInfoResource* Owner) : owner_(Owner) {}
  uint32_t GetSignature() const;
  uint32_t GetStructureVersion() const;
  uint32_t GetFileVersionMS() const;
  uint32_t GetFileVersionLS() const;
  uint32_t GetProductVersionMS() const;
  uint32_t GetProductVersionLS() const;
  uint32_t GetFileSubType() const;
  TFixedFileInfoFlags GetValidFlags() const;
  TFixedFileInfoFlags GetFlags() const;
  TVersionOperatingSystemFlags GetFileOperatingSystem() const;
  TVersionFileType GetFileType() const;
  TDateTime GetCreationDate() const;
  bool HasData() const { return info_ != nullptr; }

 private:
  friend class TOdVersionInfoResource;
  TOdVersionInfoResource* owner_;
  const VS_FIXEDFILEINFO* info_ = nullptr;
};

// A four-part version number with the string table's own text for it.
class TVersionNumberInformation : public TObject {
 public:
  TVersionNumberInformation(uint32_t MS, uint32_t LS) : ms_(MS), ls_(LS) {}
  // 0..3: major, minor, release, build; 0 when not valid.
  uint16_t GetVersionNumber(int Index) const;
  // The string table's text, else "a.b.c.d"; empty when not valid.
  String GetVersionNumberString() const;
  bool GetValid() const { return valid_; }

 private:
  friend class TOdVersionInfoResource;
  bool valid_ = false;
  uint32_t ms_, ls_;
  String text_;
};

class TOdVersionInfoResource : public TComponent {
 public:
  explicit TOdVersionInfoResource(TComponent* AOwner);
  ~TOdVersionInfoResource() override;
  const char* ClassName() const override { return "TOdVersionInfoResource"; }

  const TVersionFilename& GetFilename() const { return filename_; }
  // Every assignment re-reads the resource.
  void SetFilename(const TVersionFilename& Value);
  bool GetForceEXE() const { return forceEXE_; }
  void SetForceEXE(bool Value);
  TStringList* TranslationIDs() const { return translations_.get(); }
  int GetTranslationIDIndex() const { return translationIndex_; }
  void SetTranslationIDIndex(int Value);
  TFixedFileVersionInfo* FixedInfo() const { return fixed_.get(); }
  TVersionNumberInformation* FileVersion() const { return fileVersion_.get(); }
  TVersionNumberInformation* ProductVersion() const { return productVersion_.get(); }

  TLabel* GetVersionLabel() const { return versionLabel_; }
  void SetVersionLabel(TLabel* Value);
  TLabel* GetCopyrightLabel() const { return copyrightLabel_; }
  void SetCopyrightLabel(TLabel* Value);
  TLabel* GetDescriptionLabel() const { return descriptionLabel_; }
  void SetDescriptionLabel(TLabel* Value);
  TLabel* GetProductLabel() const { return productLabel_; }
  void SetProductLabel(TLabel* Value);
  TListView* GetVersionListView() const { return listView_; }
  void SetVersionListView(TListView* Value);
  TPreDefs GetShowResource() const { return showResource_; }
  void SetShowResource(TPreDefs Value);

  String GetCompanyName() const { return GetResourceStr(L"CompanyName"); }
  String GetFileDescription() const { return GetResourceStr(L"FileDescription"); }
  String GetInternalName() const { return GetResourceStr(L"InternalName"); }
  String GetLegalCopyright() const { return GetResourceStr(L"LegalCopyright"); }
  String GetLegalTrademarks() const { return GetResourceStr(L"LegalTrademarks"); }
  String GetOriginalFilename() const { return GetResourceStr(L"OriginalFilename"); }
  String GetProductName() const { return GetResourceStr(L"ProductName"); }
  String GetComments() const { return GetResourceStr(L"Comments"); }
  String GetVersion() const;
  void SetVersion(const String&) {}

  // 0..10: the value of the predefined entry; empty for other indexes.
  String GetVersionInfoString(int Index) const;
  // The value of Key under the current translation; empty when absent.
  String GetResourceStr(const String& Key) const;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual String GetResourceFilename();
  virtual void PopulateControls();
  virtual void BuildListView();
  virtual String BuildFlags();
  virtual void ReadVersionInfoData();

 protected:
  // Stores Filename, ForceEXE, ShowResource and the labels and list view
  // it fills (by name, found once the whole form is read); Version never.
  void DefineProperties(TFiler* Filer) override;

 private:
  std::vector<uint8_t> data_;
  TVersionFilename filename_;
  std::unique_ptr<TStringList> translations_;
  int translationIndex_ = 0;
  std::unique_ptr<TFixedFileVersionInfo> fixed_;
  bool forceEXE_ = false;
  std::unique_ptr<TVersionNumberInformation> fileVersion_, productVersion_;
  TLabel* versionLabel_ = nullptr;
  TLabel* copyrightLabel_ = nullptr;
  TListView* listView_ = nullptr;
  TLabel* descriptionLabel_ = nullptr;
  TLabel* productLabel_ = nullptr;
  TPreDefs showResource_;
  void SetLabel(TLabel*& field, TLabel* Value, TPreDef shown);
};

// One-time set-up and tear-down of this unit (start-up table).
void VersionInfoInitialize();
void VersionInfoFinalize();
