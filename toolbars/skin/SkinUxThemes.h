// The themed layer's own run-time binding of the visual-styles library
// ("uxtheme.dll"), apart from the theme manager's: the layer loads and frees
// it by itself, and every entry point it uses lives in a pointer of the
// skinux namespace that stays null while the library is not loaded (or lacks
// that export). The library's THEMESIZE and PROPERTYORIGIN enumerations come
// with the platform header.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <uxtheme.h>

#define ZEMBRIO_SKINUX_FUNCTIONS(X)                                                          \
  X(OpenThemeData) X(CloseThemeData) X(DrawThemeBackground) X(DrawThemeText)                 \
  X(GetThemeBackgroundContentRect) X(GetThemePartSize) X(GetThemeTextExtent)                 \
  X(GetThemeTextMetrics) X(GetThemeBackgroundRegion) X(HitTestThemeBackground)               \
  X(DrawThemeEdge) X(DrawThemeIcon) X(IsThemePartDefined)                                    \
  X(IsThemeBackgroundPartiallyTransparent) X(GetThemeColor) X(GetThemeMetric)                \
  X(GetThemeString) X(GetThemeBool) X(GetThemeInt) X(GetThemeEnumValue) X(GetThemePosition)  \
  X(GetThemeFont) X(GetThemeRect) X(GetThemeMargins) X(GetThemeIntList)                      \
  X(GetThemePropertyOrigin) X(SetWindowTheme) X(GetThemeFilename) X(GetThemeSysColor)        \
  X(GetThemeSysColorBrush) X(GetThemeSysBool) X(GetThemeSysSize) X(GetThemeSysFont)          \
  X(GetThemeSysString) X(GetThemeSysInt) X(IsThemeActive) X(IsAppThemed) X(GetWindowTheme)   \
  X(EnableThemeDialogTexture) X(IsThemeDialogTextureEnabled) X(GetThemeAppProperties)        \
  X(SetThemeAppProperties) X(GetCurrentThemeName) X(GetThemeDocumentationProperty)           \
  X(DrawThemeParentBackground) X(EnableTheming)

namespace skinux {
#define ZEMBRIO_SKINUX_DECLARE(name) extern decltype(&::name) name;
ZEMBRIO_SKINUX_FUNCTIONS(ZEMBRIO_SKINUX_DECLARE)
#undef ZEMBRIO_SKINUX_DECLARE
constexpr int FunctionCount = 46;
// The pointers in binding order, to walk them all.
void* const* Pointers();
}  // namespace skinux

// Loads the library unless it is loaded and binds every pointer; true when
// the library is loaded.
bool InitXPThemes();
// Frees the library; the handle and every pointer become null.
void FreeXPThemes();
// The library is loaded, the application is themed and a style is active.
bool CanUseXPThemes();
// The layer's library handle (null while not loaded).
HMODULE XPThemesModule();

// How the binding loads and frees the library: null members mean the
// system's LoadLibraryW("uxtheme.dll") and FreeLibrary. Takes effect at the
// next load or free; returns the previous pair.
struct TXPThemesLoader {
  HMODULE (*Load)() = nullptr;
  void (*Free)(HMODULE Module) = nullptr;
};
TXPThemesLoader SetXPThemesLoader(const TXPThemesLoader& Loader);
