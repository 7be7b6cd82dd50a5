// Run-time binding of the visual-styles library ("uxtheme.dll"). Every
// entry point lives in a process-wide function pointer that stays null while
// the library is not loaded (or lacks that export), so callers test the
// pointer before use and simply draw nothing themed without it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <uxtheme.h>

// The bound entry points, in binding order. X(name).
#define ZEMBRIO_UXTHEME_FUNCTIONS(X)                                                         \
  X(OpenThemeData) X(CloseThemeData) X(DrawThemeBackground) X(DrawThemeText)                 \
  X(GetThemeBackgroundContentRect) X(GetThemeBackgroundExtent) X(GetThemePartSize)           \
  X(GetThemeTextExtent) X(GetThemeTextMetrics) X(GetThemeBackgroundRegion)                   \
  X(HitTestThemeBackground) X(DrawThemeEdge) X(DrawThemeIcon) X(IsThemePartDefined)          \
  X(IsThemeBackgroundPartiallyTransparent) X(GetThemeColor) X(GetThemeMetric)                \
  X(GetThemeString) X(GetThemeBool) X(GetThemeInt) X(GetThemeEnumValue) X(GetThemePosition)  \
  X(GetThemeFont) X(GetThemeRect) X(GetThemeMargins) X(GetThemeIntList)                      \
  X(GetThemePropertyOrigin) X(SetWindowTheme) X(GetThemeFilename) X(GetThemeSysColor)        \
  X(GetThemeSysColorBrush) X(GetThemeSysBool) X(GetThemeSysSize) X(GetThemeSysFont)          \
  X(GetThemeSysString) X(GetThemeSysInt) X(IsThemeActive) X(IsAppThemed) X(GetWindowTheme)   \
  X(EnableThemeDialogTexture) X(IsThemeDialogTextureEnabled) X(GetThemeAppProperties)        \
  X(SetThemeAppProperties) X(GetCurrentThemeName) X(GetThemeDocumentationProperty)           \
  X(DrawThemeParentBackground) X(EnableTheming)

// The pointers carry the platform's signatures; they live in their own
// namespace so that they don't collide with the import declarations.
namespace uxtheme {
#define ZEMBRIO_UXTHEME_DECLARE(name) extern decltype(&::name) name;
ZEMBRIO_UXTHEME_FUNCTIONS(ZEMBRIO_UXTHEME_DECLARE)
#undef ZEMBRIO_UXTHEME_DECLARE
constexpr int FunctionCount = 47;
}  // namespace uxtheme

// Loads the library on first use (reference-counted) and binds every entry
// point; true when the library is loaded. Each call needs a FreeThemeLibrary,
// also when it returned false.
bool InitThemeLibrary();
void FreeThemeLibrary();
// The library is loaded, the application is themed and a visual style is on.
bool UseThemes();
bool ThemeLibraryLoaded();
int ThemeLibraryRefCount();

// How the binding reaches the library; tests replace it to simulate a system
// without the library (or with a fake one). Null members mean the system's
// LoadLibraryW("uxtheme.dll"), GetProcAddress and FreeLibrary.
struct TThemeLibraryLoader {
  HMODULE (*Load)() = nullptr;
  FARPROC (*GetProc)(HMODULE module, const char* name) = nullptr;
  void (*Free)(HMODULE module) = nullptr;
};
// Takes effect at the next load; returns the previous loader.
TThemeLibraryLoader SetThemeLibraryLoader(const TThemeLibraryLoader& loader);
