// The themed layer's hold on the visual-styles library. The binding itself
// (entry points in uxtheme:: pointers) is the theme manager's; this keeps
// one reference to it while the layer uses visual styles.
#pragma once

#include "ThemeManager/ThemeLibrary.h"

// Loads the library once for the layer; true when it is loaded.
bool InitXPThemes();
// Drops the layer's reference (the pointers go null when nobody else holds one).
void FreeXPThemes();
// The library is loaded, the application is themed and a style is active.
bool CanUseXPThemes();
