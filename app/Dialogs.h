// The confirmation and error dialogs, and what the two share (the texts
// as dialogs show them are CommonLogic's, shared with the other dialogs).
#pragma once

#include <vector>

#include "app/CommonLogic.h"
#include "app/frmConfirmU.h"
#include "app/frmErrorU.h"
#include "classlib/Dialogs.h"

// Building the dialogs' controls.
namespace DialogBuild {
void SetDialogFont(TForm* f);
// Shows a system icon in the image once the dialog first shows (loading
// one is dear under Wine, and most runs never show the dialog).
void ShowSystemIcon(TImage* img, LPCWSTR id);
TLabel* MakeLabel(TForm* f, const String& name, int l, int t, int w, int h, const String& text);
TButton* MakeButton(TComponent* owner, TWinControl* parent, const String& name, int l, int t,
                    const String& caption, TModalResult r);
}  // namespace DialogBuild
