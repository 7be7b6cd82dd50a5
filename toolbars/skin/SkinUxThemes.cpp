#include "toolbars/skin/SkinUxThemes.h"

namespace skinux {
#define ZEMBRIO_SKINUX_DEFINE(name) decltype(&::name) name = nullptr;
ZEMBRIO_SKINUX_FUNCTIONS(ZEMBRIO_SKINUX_DEFINE)
#undef ZEMBRIO_SKINUX_DEFINE

void* const* Pointers() {
  static void* list[FunctionCount];
  int i = 0;
#define ZEMBRIO_SKINUX_LIST(name) list[i++] = reinterpret_cast<void*>(name);
  ZEMBRIO_SKINUX_FUNCTIONS(ZEMBRIO_SKINUX_LIST)
#undef ZEMBRIO_SKINUX_LIST
  return list;
}
}  // namespace skinux

namespace {
HMODULE module_ = nullptr;
TXPThemesLoader loader_;
}  // namespace

bool InitXPThemes() {
  if (!module_) {
    module_ = loader_.Load ? loader_.Load() : ::LoadLibraryW(L"uxtheme.dll");
    if (module_) {
#define ZEMBRIO_SKINUX_BIND(name) \
  skinux::name = reinterpret_cast<decltype(skinux::name)>(reinterpret_cast<void*>(::GetProcAddress(module_, #name)));
      ZEMBRIO_SKINUX_FUNCTIONS(ZEMBRIO_SKINUX_BIND)
#undef ZEMBRIO_SKINUX_BIND
    }
  }
  return module_ != nullptr;
}

void FreeXPThemes() {
#define ZEMBRIO_SKINUX_CLEAR(name) skinux::name = nullptr;
  ZEMBRIO_SKINUX_FUNCTIONS(ZEMBRIO_SKINUX_CLEAR)
#undef ZEMBRIO_SKINUX_CLEAR
  if (!module_) return;
  HMODULE m = module_;
  module_ = nullptr;
  if (loader_.Free)
    loader_.Free(m);
  else
    ::FreeLibrary(m);
}

bool CanUseXPThemes() {
  if (!module_) return false;
  if (!skinux::IsAppThemed || !skinux::IsAppThemed()) return false;
  return skinux::IsThemeActive && skinux::IsThemeActive();
}

HMODULE XPThemesModule() { return module_; }

TXPThemesLoader SetXPThemesLoader(const TXPThemesLoader& Loader) {
  TXPThemesLoader old = loader_;
  loader_ = Loader;
  return old;
}
