// The about box: the program's title with its version from the version
// resource, the author line and the way to the manual. Windows only.
#pragma once

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

// "Zembrio v" + the version up to its last "." + " Build " + the rest
// ("1.0.0.2" gives "Zembrio v1.0.0 Build 2"; without a "." the whole text
// is the build).
String AboutTitleText(const String& FileVersion);

class TfrmAbout : public TForm {
 public:
  explicit TfrmAbout(TComponent* AOwner);
  const char* ClassName() const override { return "TfrmAbout"; }

  TPaintBox* Image1;
  TImage* imgIcon;
  TLabel* lblTitle;
  TLabel* lblAuthor;
  TLabel* lblContact;
  TLabel* Label1;
  TButton* btnManual;
  TButton* btnClose;

  void FormShow(TObject* Sender);
  void btnManualClick(TObject* Sender);

 private:
  void Image1Paint(TObject* Sender);
};
