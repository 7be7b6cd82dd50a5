// The class library's own component classes, registered by name so that a
// reader makes them and a writer knows what a new one of each class holds.
#include "classlib/Actions.h"
#include "classlib/Buttons.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "classlib/Mask.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "classlib/Filer.h"
#include "classlib/ToolWin.h"

void RegisterStandardComponentClasses() {
  RegisterClasses({
      ComponentClass<TLabel>(L"TLabel"),           ComponentClass<TButton>(L"TButton"),
      ComponentClass<TCheckBox>(L"TCheckBox"),     ComponentClass<TRadioButton>(L"TRadioButton"),
      ComponentClass<TEdit>(L"TEdit"),             ComponentClass<TMemo>(L"TMemo"),
      ComponentClass<TComboBox>(L"TComboBox"),     ComponentClass<TListBox>(L"TListBox"),
      ComponentClass<TGroupBox>(L"TGroupBox"),     ComponentClass<TStaticText>(L"TStaticText"),
      ComponentClass<TPanel>(L"TPanel"),           ComponentClass<TBevel>(L"TBevel"),
      ComponentClass<TImage>(L"TImage"),           ComponentClass<TPaintBox>(L"TPaintBox"),
      ComponentClass<TSplitter>(L"TSplitter"),     ComponentClass<TRadioGroup>(L"TRadioGroup"),
      ComponentClass<TTimer>(L"TTimer"),           ComponentClass<TSpeedButton>(L"TSpeedButton"),
      ComponentClass<TBitBtn>(L"TBitBtn"),         ComponentClass<TCheckListBox>(L"TCheckListBox"),
      ComponentClass<TListView>(L"TListView"),     ComponentClass<TTabSheet>(L"TTabSheet"),
      ComponentClass<TPageControl>(L"TPageControl"), ComponentClass<TStatusBar>(L"TStatusBar"),
      ComponentClass<TProgressBar>(L"TProgressBar"), ComponentClass<TTrackBar>(L"TTrackBar"),
      ComponentClass<TAnimate>(L"TAnimate"),       ComponentClass<TRichEdit>(L"TRichEdit"),
      ComponentClass<TDrawGrid>(L"TDrawGrid"),     ComponentClass<TMaskEdit>(L"TMaskEdit"),
      ComponentClass<TToolButton>(L"TToolButton"), ComponentClass<TToolBar>(L"TToolBar"),
      ComponentClass<TCoolBar>(L"TCoolBar"),       ComponentClass<TScrollBox>(L"TScrollBox"),
      ComponentClass<TOpenDialog>(L"TOpenDialog"), ComponentClass<TSaveDialog>(L"TSaveDialog"),
      ComponentClass<TFontDialog>(L"TFontDialog"), ComponentClass<TImageList>(L"TImageList"),
      ComponentClass<TMainMenu>(L"TMainMenu"),     ComponentClass<TPopupMenu>(L"TPopupMenu"),
      ComponentClass<TMenuItem>(L"TMenuItem"),     ComponentClass<TActionList>(L"TActionList"),
      ComponentClass<TAction>(L"TAction"),
  });
}
