// Theme services: whether visual styles are in use for the application's
// controls, the theme data of each control class (opened on first use) and
// the drawing of themed elements.
#pragma once

#include "ThemeManager/ThemeLibrary.h"
#include "classlib/Controls.h"

enum TThemedElement : unsigned char {
  teButton, teClock, teComboBox, teEdit, teExplorerBar, teHeader, teListView, teMenu, tePage, teProgress, teRebar, teScrollBar, teSpin, teStartPanel, teStatus, teTab, teTaskBand, teTaskBar, teToolBar, teToolTip, teTrackBar, teTrayNotify, teTreeview, teWindow
};

enum TThemedButton {
  tbButtonDontCare,
  tbButtonRoot,
  tbPushButtonNormal,
  tbPushButtonHot,
  tbPushButtonPressed,
  tbPushButtonDisabled,
  tbPushButtonDefaulted,
  tbRadioButtonUncheckedNormal,
  tbRadioButtonUncheckedHot,
  tbRadioButtonUncheckedPressed,
  tbRadioButtonUncheckedDisabled,
  tbRadioButtonCheckedNormal,
  tbRadioButtonCheckedHot,
  tbRadioButtonCheckedPressed,
  tbRadioButtonCheckedDisabled,
  tbCheckBoxUncheckedNormal,
  tbCheckBoxUncheckedHot,
  tbCheckBoxUncheckedPressed,
  tbCheckBoxUncheckedDisabled,
  tbCheckBoxCheckedNormal,
  tbCheckBoxCheckedHot,
  tbCheckBoxCheckedPressed,
  tbCheckBoxCheckedDisabled,
  tbCheckBoxMixedNormal,
  tbCheckBoxMixedHot,
  tbCheckBoxMixedPressed,
  tbCheckBoxMixedDisabled,
  tbGroupBoxNormal,
  tbGroupBoxDisabled,
  tbUserButton
};

enum TThemedClock {
  tcClockDontCare,
  tcClockRoot,
  tcTimeNormal
};

enum TThemedComboBox {
  tcComboBoxDontCare,
  tcComboBoxRoot,
  tcDropDownButtonNormal,
  tcDropDownButtonHot,
  tcDropDownButtonPressed,
  tcDropDownButtonDisabled
};

enum TThemedEdit {
  teEditDontCare,
  teEditRoot,
  teEditTextNormal,
  teEditTextHot,
  teEditTextSelected,
  teEditTextDisabled,
  teEditTextFocused,
  teEditTextReadOnly,
  teEditTextAssist,
  teEditCaret
};

enum TThemedExplorerBar {
  tebExplorerBarDontCare,
  tebExplorerBarRoot,
  tebHeaderBackgroundNormal,
  tebHeaderBackgroundHot,
  tebHeaderBackgroundPressed,
  tebHeaderCloseNormal,
  tebHeaderCloseHot,
  tebHeaderClosePressed,
  tebHeaderPinNormal,
  tebHeaderPinHot,
  tebHeaderPinPressed,
  tebHeaderPinSelectedNormal,
  tebHeaderPinSelectedHot,
  tebHeaderPinSelectedPressed,
  tebIEBarMenuNormal,
  tebIEBarMenuHot,
  tebIEBarMenuPressed,
  tebNormalGroupBackground,
  tebNormalGroupCollapseNormal,
  tebNormalGroupCollapseHot,
  tebNormalGroupCollapsePressed,
  tebNormalGroupExpandNormal,
  tebNormalGroupExpandHot,
  tebNormalGroupExpandPressed,
  tebNormalGroupHead,
  tebSpecialGroupBackground,
  tebSpecialGroupCollapseSpecial,
  tebSpecialGroupCollapseHot,
  tebSpecialGroupCollapsePressed,
  tebSpecialGroupExpandSpecial,
  tebSpecialGroupExpandHot,
  tebSpecialGroupExpandPressed,
  tebSpecialGroupHead
};

enum TThemedHeader {
  thHeaderDontCare,
  thHeaderRoot,
  thHeaderItemNormal,
  thHeaderItemHot,
  thHeaderItemPressed,
  thHeaderItemLeftNormal,
  thHeaderItemLeftHot,
  thHeaderItemLeftPressed,
  thHeaderItemRightNormal,
  thHeaderItemRightHot,
  thHeaderItemRightPressed,
  thHeaderSortArrowSortedUp,
  thHeaderSortArrowSortedDown
};

enum TThemedListview {
  tlListviewDontCare,
  tlListviewRoot,
  tlListItemNormal,
  tlListItemHot,
  tlListItemSelected,
  tlListItemDisabled,
  tlListItemSelectedNotFocus,
  tlListGroup,
  tlListDetail,
  tlListSortDetail,
  tlEmptyText
};

enum TThemedMenu {
  tmMenuDontCare,
  tmMenuRoot,
  tmMenuItemNormal,
  tmMenuItemSelected,
  tmMenuItemDemoted,
  tmMenuDropDown,
  tmMenuBarItem,
  tmMenuBarDropDown,
  tmChevron,
  tmSeparator
};

enum TThemedPage {
  tpPageDontCare,
  tpPageRoot,
  tpUpNormal,
  tpUpHot,
  tpUpPressed,
  tpUpDisabled,
  tpDownNormal,
  tpDownHot,
  tpDownPressed,
  tpDownDisabled,
  tpUpHorzNormal,
  tpUpHorzHot,
  tpUpHorzPressed,
  tpUpHorzDisabled,
  tpDownHorzNormal,
  tpDownHorzHot,
  tpDownHorzPressed,
  tpDownHorzDisabled
};

enum TThemedProgress {
  tpProgressDontCare,
  tpProgressRoot,
  tpBar,
  tpBarVert,
  tpChunk,
  tpChunkVert
};

enum TThemedRebar {
  trRebarDontCare,
  trRebarRoot,
  trGripper,
  trGripperVert,
  trBandNormal,
  trBandHot,
  trBandPressed,
  trBandDisabled,
  trBandChecked,
  trBandHotChecked,
  trChevronNormal,
  trChevronHot,
  trChevronPressed,
  trChevronDisabled,
  trChevronVertNormal,
  trChevronVertHot,
  trChevronVertPressed,
  trChevronVertDisabled
};

enum TThemedScrollBar {
  tsScrollBarDontCare,
  tsScrollBarRoot,
  tsArrowBtnUpNormal,
  tsArrowBtnUpHot,
  tsArrowBtnUpPressed,
  tsArrowBtnUpDisabled,
  tsArrowBtnDownNormal,
  tsArrowBtnDownHot,
  tsArrowBtnDownPressed,
  tsArrowBtnDownDisabled,
  tsArrowBtnLeftNormal,
  tsArrowBtnLeftHot,
  tsArrowBtnLeftPressed,
  tsArrowBtnLeftDisabled,
  tsArrowBtnRightNormal,
  tsArrowBtnRightHot,
  tsArrowBtnRightPressed,
  tsArrowBtnRightDisabled,
  tsThumbBtnHorzNormal,
  tsThumbBtnHorzHot,
  tsThumbBtnHorzPressed,
  tsThumbBtnHorzDisabled,
  tsThumbBtnVertNormal,
  tsThumbBtnVertHot,
  tsThumbBtnVertPressed,
  tsThumbBtnVertDisabled,
  tsLowerTrackHorzNormal,
  tsLowerTrackHorzHot,
  tsLowerTrackHorzPressed,
  tsLowerTrackHorzDisabled,
  tsUpperTrackHorzNormal,
  tsUpperTrackHorzHot,
  tsUpperTrackHorzPressed,
  tsUpperTrackHorzDisabled,
  tsLowerTrackVertNormal,
  tsLowerTrackVertHot,
  tsLowerTrackVertPressed,
  tsLowerTrackVertDisabled,
  tsUpperTrackVertNormal,
  tsUpperTrackVertHot,
  tsUpperTrackVertPressed,
  tsUpperTrackVertDisabled,
  tsGripperHorzNormal,
  tsGripperHorzHot,
  tsGripperHorzPressed,
  tsGripperHorzDisabled,
  tsGripperVertNormal,
  tsGripperVertHot,
  tsGripperVertPressed,
  tsGripperVertDisabled,
  tsSizeBoxRightAlign,
  tsSizeBoxLeftAlign
};

enum TThemedSpin {
  tsSpinDontCare,
  tsSpinRoot,
  tsUpNormal,
  tsUpHot,
  tsUpPressed,
  tsUpDisabled,
  tsDownNormal,
  tsDownHot,
  tsDownPressed,
  tsDownDisabled,
  tsUpHorzNormal,
  tsUpHorzHot,
  tsUpHorzPressed,
  tsUpHorzDisabled,
  tsDownHorzNormal,
  tsDownHorzHot,
  tsDownHorzPressed,
  tsDownHorzDisabled
};

enum TThemedStartPanel {
  tspStartPanelDontCare,
  tspStartPanelRoot,
  tspUserPane,
  tspMorePrograms,
  tspMoreProgramsArrowNormal,
  tspMoreProgramsArrowHot,
  tspMoreProgramsArrowPressed,
  tspProgList,
  tspProgListSeparator,
  tspPlacesList,
  tspPlacesListSeparator,
  tspLogOff,
  tspLogOffButtonsNormal,
  tspLogOffButtonsHot,
  tspLogOffButtonsPressed,
  tspUserPicture,
  tspPreview
};

enum TThemedStatus {
  tsStatusDontCare,
  tsStatusRoot,
  tsPane,
  tsGripperPane,
  tsGripper
};

enum TThemedTab {
  ttTabDontCare,
  ttTabRoot,
  ttTabItemNormal,
  ttTabItemHot,
  ttTabItemSelected,
  ttTabItemDisabled,
  ttTabItemFocused,
  ttTabItemLeftEdgeNormal,
  ttTabItemLeftEdgeHot,
  ttTabItemLeftEdgeSelected,
  ttTabItemLeftEdgeDisabled,
  ttTabItemLeftEdgeFocused,
  ttTabItemRightEdgeNormal,
  ttTabItemRightEdgeHot,
  ttTabItemRightEdgeSelected,
  ttTabItemRightEdgeDisabled,
  ttTabItemRightEdgeFocused,
  ttTabItemBothEdgeNormal,
  ttTabItemBothEdgeHot,
  ttTabItemBothEdgeSelected,
  ttTabItemBothEdgeDisabled,
  ttTabItemBothEdgeFocused,
  ttTopTabItemNormal,
  ttTopTabItemHot,
  ttTopTabItemSelected,
  ttTopTabItemDisabled,
  ttTopTabItemFocused,
  ttTopTabItemLeftEdgeNormal,
  ttTopTabItemLeftEdgeHot,
  ttTopTabItemLeftEdgeSelected,
  ttTopTabItemLeftEdgeDisabled,
  ttTopTabItemLeftEdgeFocused,
  ttTopTabItemRightEdgeNormal,
  ttTopTabItemRightEdgeHot,
  ttTopTabItemRightEdgeSelected,
  ttTopTabItemRightEdgeDisabled,
  ttTopTabItemRightEdgeFocused,
  ttTopTabItemBothEdgeNormal,
  ttTopTabItemBothEdgeHot,
  ttTopTabItemBothEdgeSelected,
  ttTopTabItemBothEdgeDisabled,
  ttTopTabItemBothEdgeFocused,
  ttPane,
  ttBody
};

enum TThemedTaskBand {
  ttbTaskBandDontCare,
  ttbTaskBandRoot,
  ttbGroupCount,
  ttbFlashButton,
  ttpFlashButtonGroupMenu
};

enum TThemedTaskBar {
  ttTaskBarDontCare,
  ttTaskBarRoot,
  ttbTimeNormal
};

enum TThemedToolBar {
  ttbToolBarDontCare,
  ttbToolBarRoot,
  ttbButtonNormal,
  ttbButtonHot,
  ttbButtonPressed,
  ttbButtonDisabled,
  ttbButtonChecked,
  ttbButtonCheckedHot,
  ttbDropDownButtonNormal,
  ttbDropDownButtonHot,
  ttbDropDownButtonPressed,
  ttbDropDownButtonDisabled,
  ttbDropDownButtonChecked,
  ttbDropDownButtonCheckedHot,
  ttbSplitButtonNormal,
  ttbSplitButtonHot,
  ttbSplitButtonPressed,
  ttbSplitButtonDisabled,
  ttbSplitButtonChecked,
  ttbSplitButtonCheckedHot,
  ttbSplitButtonDropDownNormal,
  ttbSplitButtonDropDownHot,
  ttbSplitButtonDropDownPressed,
  ttbSplitButtonDropDownDisabled,
  ttbSplitButtonDropDownChecked,
  ttbSplitButtonDropDownCheckedHot,
  ttbSeparatorNormal,
  ttbSeparatorHot,
  ttbSeparatorPressed,
  ttbSeparatorDisabled,
  ttbSeparatorChecked,
  ttbSeparatorCheckedHot,
  ttbSeparatorVertNormal,
  ttbSeparatorVertHot,
  ttbSeparatorVertPressed,
  ttbSeparatorVertDisabled,
  ttbSeparatorVertChecked,
  ttbSeparatorVertCheckedHot
};

enum TThemedToolTip {
  tttToolTipDontCare,
  tttToolTipRoot,
  tttStandardNormal,
  tttStandardLink,
  tttStandardTitleNormal,
  tttStandardTitleLink,
  tttBaloonNormal,
  tttBaloonLink,
  tttBaloonTitleNormal,
  tttBaloonTitleLink,
  tttCloseNormal,
  tttCloseHot,
  tttClosePressed
};

enum TThemedTrackBar {
  ttbTrackBarDontCare,
  ttbTrackBarRoot,
  ttbTrack,
  ttbTrackVert,
  ttbThumbNormal,
  ttbThumbHot,
  ttbThumbPressed,
  ttbThumbFocused,
  ttbThumbDisabled,
  ttbThumbBottomNormal,
  ttbThumbBottomHot,
  ttbThumbBottomPressed,
  ttbThumbBottomFocused,
  ttbThumbBottomDisabled,
  ttbThumbTopNormal,
  ttbThumbTopHot,
  ttbThumbTopPressed,
  ttbThumbTopFocused,
  ttbThumbTopDisabled,
  ttbThumbVertNormal,
  ttbThumbVertHot,
  ttbThumbVertPressed,
  ttbThumbVertFocused,
  ttbThumbVertDisabled,
  ttbThumbLeftNormal,
  ttbThumbLeftHot,
  ttbThumbLeftPressed,
  ttbThumbLeftFocused,
  ttbThumbLeftDisabled,
  ttbThumbRightNormal,
  ttbThumbRightHot,
  ttbThumbRightPressed,
  ttbThumbRightFocused,
  ttbThumbRightDisabled,
  ttbThumbTics,
  ttbThumbTicsVert
};

enum TThemedTrayNotify {
  ttnTrayNotifyDontCare,
  ttnTrayNotifyRoot,
  ttnBackground,
  ttnAnimBackground
};

enum TThemedTreeview {
  ttTreeviewDontCare,
  ttTreeviewRoot,
  ttItemNormal,
  ttItemHot,
  ttItemSelected,
  ttItemDisabled,
  ttItemSelectedNotFocus,
  ttGlyphClosed,
  ttGlyphOpened,
  ttBranch
};

enum TThemedWindow {
  twWindowDontCare,
  twWindowRoot,
  twCaptionActive,
  twCaptionInactive,
  twCaptionDisabled,
  twSmallCaptionActive,
  twSmallCaptionInactive,
  twSmallCaptionDisabled,
  twMinCaptionActive,
  twMinCaptionInactive,
  twMinCaptionDisabled,
  twSmallMinCaptionActive,
  twSmallMinCaptionInactive,
  twSmallMinCaptionDisabled,
  twMaxCaptionActive,
  twMaxCaptionInactive,
  twMaxCaptionDisabled,
  twSmallMaxCaptionActive,
  twSmallMaxCaptionInactive,
  twSmallMaxCaptionDisabled,
  twFrameLeftActive,
  twFrameLeftInactive,
  twFrameRightActive,
  twFrameRightInactive,
  twFrameBottomActive,
  twFrameBottomInactive,
  twSmallFrameLeftActive,
  twSmallFrameLeftInactive,
  twSmallFrameRightActive,
  twSmallFrameRightInactive,
  twSmallFrameBottomActive,
  twSmallFrameBottomInactive,
  twSysButtonNormal,
  twSysButtonHot,
  twSysButtonPushed,
  twSysButtonDisabled,
  twMDISysButtonNormal,
  twMDISysButtonHot,
  twMDISysButtonPushed,
  twMDISysButtonDisabled,
  twMinButtonNormal,
  twMinButtonHot,
  twMinButtonPushed,
  twMinButtonDisabled,
  twMDIMinButtonNormal,
  twMDIMinButtonHot,
  twMDIMinButtonPushed,
  twMDIMinButtonDisabled,
  twMaxButtonNormal,
  twMaxButtonHot,
  twMaxButtonPushed,
  twMaxButtonDisabled,
  twCloseButtonNormal,
  twCloseButtonHot,
  twCloseButtonPushed,
  twCloseButtonDisabled,
  twSmallCloseButtonNormal,
  twSmallCloseButtonHot,
  twSmallCloseButtonPushed,
  twSmallCloseButtonDisabled,
  twMDICloseButtonNormal,
  twMDICloseButtonHot,
  twMDICloseButtonPushed,
  twMDICloseButtonDisabled,
  twRestoreButtonNormal,
  twRestoreButtonHot,
  twRestoreButtonPushed,
  twRestoreButtonDisabled,
  twMDIRestoreButtonNormal,
  twMDIRestoreButtonHot,
  twMDIRestoreButtonPushed,
  twMDIRestoreButtonDisabled,
  twHelpButtonNormal,
  twHelpButtonHot,
  twHelpButtonPushed,
  twHelpButtonDisabled,
  twMDIHelpButtonNormal,
  twMDIHelpButtonHot,
  twMDIHelpButtonPushed,
  twMDIHelpButtonDisabled,
  twHorzScrollNormal,
  twHorzScrollHot,
  twHorzScrollPushed,
  twHorzScrollDisabled,
  twHorzThumbNormal,
  twHorzThumbHot,
  twHorzThumbPushed,
  twHorzThumbDisabled,
  twVertScrollNormal,
  twVertScrollHot,
  twVertScrollPushed,
  twVertScrollDisabled,
  twVertThumbNormal,
  twVertThumbHot,
  twVertThumbPushed,
  twVertThumbDisabled,
  twDialog,
  twCaptionSizingTemplate,
  twSmallCaptionSizingTemplate,
  twFrameLeftSizingTemplate,
  twSmallFrameLeftSizingTemplate,
  twFrameRightSizingTemplate,
  twSmallFrameRightSizingTemplate,
  twFrameBottomSizingTemplate,
  twSmallFrameBottomSizingTemplate
};

#define ZEMBRIO_THEMED_ENUMS(X) \
  X(TThemedButton, teButton) \
  X(TThemedClock, teClock) \
  X(TThemedComboBox, teComboBox) \
  X(TThemedEdit, teEdit) \
  X(TThemedExplorerBar, teExplorerBar) \
  X(TThemedHeader, teHeader) \
  X(TThemedListview, teListView) \
  X(TThemedMenu, teMenu) \
  X(TThemedPage, tePage) \
  X(TThemedProgress, teProgress) \
  X(TThemedRebar, teRebar) \
  X(TThemedScrollBar, teScrollBar) \
  X(TThemedSpin, teSpin) \
  X(TThemedStartPanel, teStartPanel) \
  X(TThemedStatus, teStatus) \
  X(TThemedTab, teTab) \
  X(TThemedTaskBand, teTaskBand) \
  X(TThemedTaskBar, teTaskBar) \
  X(TThemedToolBar, teToolBar) \
  X(TThemedToolTip, teToolTip) \
  X(TThemedTrackBar, teTrackBar) \
  X(TThemedTrayNotify, teTrayNotify) \
  X(TThemedTreeview, teTreeview) \
  X(TThemedWindow, teWindow)

// An element addressed by its class, part and state numbers.
struct TThemedElementDetails {
  TThemedElement Element = teButton;
  int Part = 0;
  int State = 0;
};
using PThemedElementDetails = TThemedElementDetails*;

constexpr int ThemedElementCount = 24;
constexpr DWORD ComCtlVersion6 = 0x60000;

class TThemeServices : public TObject {
 public:
  // Window: the window whose WM_THEMECHANGED is watched (subclassed); may be 0.
  explicit TThemeServices(HWND Window);
  ~TThemeServices() override;

  bool GetThemesEnabled() const { return libraryAvailable_ && themesAvailable_ && controlsThemed_; }
  bool ThemesEnabled() const { return GetThemesEnabled(); }
  bool ThemesAvailable() const { return themesAvailable_; }
  bool LibraryAvailable() const { return libraryAvailable_; }
  bool ControlsThemed() const { return controlsThemed_; }

  HTHEME GetTheme(TThemedElement Element);
  void UnloadThemeData();
  void UpdateThemes();

#define ZEMBRIO_DETAILS_DECL(Enum, Elem) static TThemedElementDetails GetElementDetails(Enum Value);
  ZEMBRIO_THEMED_ENUMS(ZEMBRIO_DETAILS_DECL)
#undef ZEMBRIO_DETAILS_DECL

  COLORREF ColorToRGB(TColor Color, const TThemedElementDetails* Details);
  TRect ContentRect(HDC DC, const TThemedElementDetails& Details, const TRect& BoundingRect);
  void DrawEdge(HDC DC, const TThemedElementDetails& Details, const TRect& R, UINT Edge, UINT Flags,
                TRect* ContentRect = nullptr);
  void DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R, const TRect* ClipRect = nullptr);
  void DrawIcon(HDC DC, const TThemedElementDetails& Details, const TRect& R, HIMAGELIST Images, int Index);
  void DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, const TRect& R, DWORD Flags,
                DWORD Flags2);
  bool HasTransparentParts(const TThemedElementDetails& Details);
  void DrawParentBackground(HWND Window, HDC Target, const TThemedElementDetails* Details,
                            bool OnlyIfTransparent, const TRect* Bounds = nullptr);
  void PaintBorder(TWinControl* Control, bool EraseLRCorner);

  TNotifyEvent OnThemeChange;

 protected:
  virtual void DoOnThemeChange();

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT WindowProc(UINT Msg, WPARAM W, LPARAM L);
  void Unsubclass();

  HWND window_ = nullptr;
  WNDPROC oldProc_ = nullptr;
  bool libraryAvailable_ = false;
  bool themesAvailable_ = false;
  bool controlsThemed_ = false;
  HTHEME themes_[ThemedElementCount] = {};
};

// The process-wide object, made on first use for the application window.
TThemeServices* ThemeServices();
// Frees the process-wide object (the next ThemeServices() makes a new one).
void FreeThemeServices();

// The version of the loaded common controls (0x60000 for 6.0); replaceable
// so that tests can stand in for a system with the new controls.
using TComCtlVersionProvider = DWORD (*)();
TComCtlVersionProvider SetComCtlVersionProvider(TComCtlVersionProvider p);
DWORD GetComCtlVersion();
