#include "toolbars/skin/SkinUxThemes.h"

namespace {
bool g_held = false;
}

bool InitXPThemes() {
  if (!g_held) {
    g_held = true;
    InitThemeLibrary();
  }
  return ThemeLibraryLoaded();
}

void FreeXPThemes() {
  if (!g_held) return;
  g_held = false;
  FreeThemeLibrary();
}

bool CanUseXPThemes() {
  if (!g_held || !ThemeLibraryLoaded()) return false;
  if (!uxtheme::IsAppThemed || !uxtheme::IsAppThemed()) return false;
  return uxtheme::IsThemeActive && uxtheme::IsThemeActive();
}
