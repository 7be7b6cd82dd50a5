// The theme interface of the themed toolbar layer, the records the painting
// code hands to it, the registry of theme classes with shared instances,
// the layer's two system parameters and the broadcast of system and theme
// changes to the themed windows.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include <vector>

#include "classlib/Classes.h"
#include "classlib/Controls.h"
#include "classlib/Graphics.h"
#include "classlib/ImgList.h"
#include "classlib/Messages.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarViews.h"
#include "toolbars/skin/SkinColorMath.h"

// ---- messages -------------------------------------------------------------------------
constexpr UINT SkinMSysChange = 0x538;       // WParam 1..3 change, 4/5 (de)activation
constexpr UINT BarMThemeChange = 0x53A;      // WParam 1 begin, 3 end; LParam 1 theme switch
constexpr UINT BarMGetViewType = 0x4ED;      // result: view type
constexpr UINT BarMGetEffectiveColor = 0x4EE;  // WParam: colour; result 1

// ---- view types -------------------------------------------------------------------------
constexpr int VT_TOOLBAR = 0x1000, VT_TOOLBARBAR = 0x1001, VT_MENUBAR = 0x1002, VT_TOOLWINDOW = 0x1004;
constexpr int VT_POPUP = 0x2000, VT_POPUPMENU = 0x2001, VT_LISTBOX = 0x2002, VT_GRIDPOPUP = 0x2004,
              VT_CHEVRONPOPUP = 0x2008;
constexpr int VT_PANEL = 0x4000;
constexpr int VT_FLOATING = 0x800, VT_RESIZABLE = 0x400, VT_ITEMTRANSPARENCY = 0x200;

// Item options of TSkinItemInfo.
constexpr unsigned IO_TOOLBARSTYLE = 0x01, IO_SUBMENUITEM = 0x04, IO_COMBO = 0x08, IO_DESIGNING = 0x10,
                   IO_APPACTIVE = 0x20;
// Given by a separator on a floating toolbar: its line runs close to the
// edges there.
constexpr unsigned IO_FLOATING = 0x800;
// State flags.
constexpr unsigned ISF_DISABLED = 1, ISF_HOT = 2, ISF_PUSHED = 4, ISF_SELECTED = 8;

enum TSkinHoverKind : uint8_t { hkNone, hkKeyboardHover, hkMouseHover };
enum TSkinComboPart : uint8_t { cpNone, cpCombo, cpSplitLeft, cpSplitRight };
enum TSkinItemLayout { skinlAuto, skinlGlyphLeft, skinlGlyphTop };
enum TSkinFontSize { skinfNormal, skinfSmaller, skinfLarger };

struct TSkinItemInfo {
  uint32_t ViewType = 0;
  uint32_t ItemOptions = 0;
  bool Enabled = false;
  bool Pushed = false;
  TSkinHoverKind HoverKind = hkNone;
  bool Selected = false;
  bool ImageShown = false;
  int ImageWidth = 0;
  int ImageHeight = 0;
  bool IsVertical = false;
  TSkinComboPart ComboPart = cpNone;
  bool IsPopupParent = false;
  int PopupMargin = 0;
  uint64_t Reserved = 0;
};

struct TSkinMargins {
  int LeftWidth = 0, RightWidth = 0, TopHeight = 0, BottomHeight = 0;
};

struct TSkinToolbarInfo {
  HWND WindowHandle = nullptr;
  int ViewType = 0;
  bool IsVertical = false;
  bool AllowDrag = false;
  uint8_t BorderStyle = 0;  // 1: single
  POINT BorderSize{0, 0};
  int ClientWidth = 0, ClientHeight = 0;
  TBarDragHandleStyle DragHandleStyle = dhDouble;
  // 0 none; 1 shown, or-ed with 2 hot and 4 pushed.
  int CloseButtonState = 0;
};

struct TSkinWindowInfo {
  HWND ParentHandle = nullptr;
  HWND WindowHandle = nullptr;
  int ViewType = 0;
  int ClientWidth = 0, ClientHeight = 0;
  bool ShowCaption = false;
  POINT FloatingBorderSize{0, 0};
  int CloseButtonState = 0;
  int RedrawPart = 0;  // 1 border, 2 caption, 4 close button
  const wchar_t* Caption = nullptr;
  bool Active = false;
};

struct TSkinPopupInfo {
  HWND WindowHandle = nullptr;
  int ViewType = 0;
  RECT ParentRect{0, 0, 0, 0};
  POINT BorderSize{0, 0};
};

struct TSkinDockPanelInfo {
  HWND WindowHandle = nullptr;
  int ViewType = 0;
  bool IsVertical = false;      // caption down the left side
  bool ShowCaption = false;
  int CloseButtonState = 0;
  const wchar_t* Caption = nullptr;
};

// Edit buttons: kind 1 drop-down, 2 spin; state 1 disabled, 2 hot, 4 pushed
// (spin: 4 upper half, 8 lower half pushed).
struct TSkinEditBtnInfo {
  int ButtonType = 0;
  int ButtonState = 0;
};
struct TSkinEditInfo {
  int LeftBtnWidth = 0;
  int RightBtnWidth = 0;
  TSkinEditBtnInfo LeftBtnInfo;
  TSkinEditBtnInfo RightBtnInfo;
};

// Receives the layer's broadcasts (0x538, 0x53A). Controls may instead be
// registered as they are: they get the message through Perform.
class ISkinListener {
 public:
  virtual ~ISkinListener() = default;
  virtual void SkinMessage(TMessage& Message) = 0;
};
// Hands a message to a listener object.
void SkinDispatch(TObject* Target, TMessage& Message);

// ---- the theme ----------------------------------------------------------------------------
class TSkinTheme : public TObject, public ISkinListener {
 public:
  explicit TSkinTheme(const String& AName) : Name(AName) {}
  String Name;

  virtual POINT GetImageOffset(TCanvas* Canvas, const TSkinItemInfo& ItemInfo, TCustomImageList* ImageList) = 0;
  virtual TColor GetItemColor(const TSkinItemInfo& ItemInfo) = 0;
  virtual TColor GetItemTextColor(const TSkinItemInfo& ItemInfo) = 0;
  virtual TColor GetItemImageBackground(const TSkinItemInfo& ItemInfo) = 0;
  virtual void GetMargins(int MarginID, TSkinMargins& Margins) = 0;
  virtual int GetPopupShadowType() = 0;
  virtual void GetViewBorder(int ViewType, POINT& Border) = 0;
  virtual TColor GetViewColor(int ViewType) = 0;
  virtual void GetViewMargins(int ViewType, TSkinMargins& Margins) = 0;
  virtual void PaintBackgnd(TCanvas* Canvas, const RECT& ARect, const RECT& AClipRect, const RECT& APaintRect,
                            TColor AColor, bool Transparent, int AViewType) = 0;
  virtual void PaintButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintCaption(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo,
                            const String& ACaption, UINT AFormat, bool Rotated) = 0;
  virtual void PaintCheckMark(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintChevron(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintEditFrame(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& ItemInfo,
                              const TSkinEditInfo& EditInfo) = 0;
  virtual void PaintEditButton(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& ItemInfo,
                               const TSkinEditBtnInfo& ButtonInfo) = 0;
  virtual void PaintDock(TCanvas* Canvas, const RECT& AClientRect, const RECT& ADockRect, int ADockPosition) = 0;
  virtual void PaintDockPanelNCArea(TCanvas* Canvas, const RECT& R, const TSkinDockPanelInfo& DockPanelInfo) = 0;
  virtual void PaintDropDownArrow(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintFloatingBorder(TCanvas* Canvas, const RECT& ARect, const TSkinWindowInfo& WindowInfo) = 0;
  virtual void PaintFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo,
                          TCustomImageList* ImageList, int ImageIndex) = 0;
  virtual void PaintMDIButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo,
                              unsigned ButtonKind) = 0;
  virtual void PaintMenuItem(TCanvas* Canvas, RECT& ARect, TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintMenuItemFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) = 0;
  virtual void PaintPageScrollButton(TCanvas* Canvas, const RECT& ARect, int ButtonType, bool Hot) = 0;
  virtual void PaintPopupNCArea(TCanvas* Canvas, const RECT& R, const TSkinPopupInfo& PopupInfo) = 0;
  virtual void PaintSeparator(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo, bool Horizontal,
                              bool LineSeparator) = 0;
  virtual void PaintToolbarNCArea(TCanvas* Canvas, const RECT& R, const TSkinToolbarInfo& ToolbarInfo) = 0;
  virtual void PaintGlyph(TCanvas* Canvas, const RECT& R, int GlyphKind, int State) = 0;
  virtual void PaintStatusBar(TCanvas* Canvas, const RECT& R, int Part) = 0;
  virtual int GetIntegerMetrics(int Index) = 0;
  virtual bool GetBooleanMetrics(int Index) = 0;

  // System changes (0x538) reach the theme here.
  void SkinMessage(TMessage& Message) override {}
};

// The "virtual constructor" of a theme class.
using TSkinThemeClass = TSkinTheme* (*)(const String& Name);

// ---- registry ---------------------------------------------------------------------------------
void RegisterSkinTheme(const String& Name, TSkinThemeClass ThemeClass);
bool IsSkinThemeAvailable(const String& Name);
void GetAvailableSkinThemes(TStrings* List);
TSkinTheme* GetSkinTheme(const String& Name);
void ReleaseSkinTheme(TSkinTheme*& Theme);
// Number of references to the instance of a registered name (0 if none).
int SkinThemeRefCount(const String& Name);

// ---- system parameters and broadcasts ----------------------------------------------------------
// Parameter 1: flat menus (0 automatic, 1 off, 2 on); 2: visual styles (0
// allowed, anything else forbids them).
void SetSkinSysParam(int Param, int Value);
int GetSkinSysParam(int Param);
// The manager's hidden window that receives the system's broadcasts.
HWND SkinSysChangeWindow();
void AddSkinSysChangeNotification(TObject* AObject);
void RemoveSkinSysChangeNotification(TObject* AObject);
void AddThemeNotification(TObject* AObject);
void RemoveThemeNotification(TObject* AObject);
void SkinSetTheme(const String& Name);
String SkinCurrentTheme();
// The current theme (the layer is set up on first use).
TSkinTheme* CurrentSkinTheme();
// Sets the layer up (manager, "Default", nexus, colour names) once;
// FinalizeSkin takes it down again.
void InitSkin();
void FinalizeSkin();

// Global colours and states, recomputed on system changes.
extern TColor clPopup, clPopupText, clToolbar, clToolbarText;
// The hot-light colour (the class library's clHotLight names the system one).
extern TColor clSkinHotLight;
extern TColor clMoneyGreen, clSkyBlue, clCream, clMedGray;
extern bool SkinLoColor, SkinHiContrast, SkinNoBlending;
extern bool USE_FLATMENUS, USE_THEMES;
extern HTHEME BUTTON_THEME, SCROLLBAR_THEME, REBAR_THEME, TOOLBAR_THEME, WINDOW_THEME, COMBO_THEME,
    EXPLORERBAR_THEME, STATUSBAR_THEME, SPIN_THEME;
// Recomputes the variables (as on a system change) and tells the listeners.
void SkinRecomputeAndNotify();
// Seams for tests: the system's flat-menu setting and whether the platform
// may use visual styles at all (null: ask the system).
extern bool (*SkinSystemFlatMenusSeam)();
extern bool (*SkinPlatformAllowsStylesSeam)();

// ---- views and colours ----------------------------------------------------------------------------
int GetViewType(TBarView* View);
int GetWinViewType(TControl* Control);
inline bool IsFloating(int ViewType) { return (ViewType & VT_FLOATING) != 0; }
TColor GetEffectiveColor(TControl* Control);
unsigned GetStateFlags(const TSkinItemInfo& ItemInfo);
TColor GetSkinTextColor(unsigned StateFlags);

// ---- caption and close-button geometry ------------------------------------------------------------
void GetSkinCaptionRect(const TSkinWindowInfo& WindowInfo, bool AdjustForBorder, bool MinusCloseButton, RECT& R);
void GetSkinCloseButtonRect(const TSkinWindowInfo& WindowInfo, bool AdjustForBorder, RECT& R);
void GetSkinDockedCloseButtonRect(const TSkinToolbarInfo& ToolbarInfo, RECT& R);
int GetSkinDragHandleSize(const TSkinToolbarInfo& ToolbarInfo);
