#include "ThemeManager/ThemeLibrary.h"

#include <mutex>

namespace uxtheme {
#define ZEMBRIO_UXTHEME_DEFINE(name) decltype(&::name) name = nullptr;
ZEMBRIO_UXTHEME_FUNCTIONS(ZEMBRIO_UXTHEME_DEFINE)
#undef ZEMBRIO_UXTHEME_DEFINE
}  // namespace uxtheme

namespace {

// Never destroyed: the finalizers at program end still take it.
std::recursive_mutex& Lock() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

HMODULE module_ = nullptr;
int refCount_ = 0;
TThemeLibraryLoader loader_;

HMODULE DoLoad() { return loader_.Load ? loader_.Load() : ::LoadLibraryW(L"uxtheme.dll"); }
FARPROC DoGetProc(HMODULE m, const char* name) {
  return loader_.GetProc ? loader_.GetProc(m, name) : ::GetProcAddress(m, name);
}
void DoFree(HMODULE m) {
  if (loader_.Free) loader_.Free(m);
  else ::FreeLibrary(m);
}

void BindAll() {
#define ZEMBRIO_UXTHEME_BIND(name) \
  uxtheme::name = reinterpret_cast<decltype(uxtheme::name)>(reinterpret_cast<void*>(DoGetProc(module_, #name)));
  ZEMBRIO_UXTHEME_FUNCTIONS(ZEMBRIO_UXTHEME_BIND)
#undef ZEMBRIO_UXTHEME_BIND
}

void ClearAll() {
#define ZEMBRIO_UXTHEME_CLEAR(name) uxtheme::name = nullptr;
  ZEMBRIO_UXTHEME_FUNCTIONS(ZEMBRIO_UXTHEME_CLEAR)
#undef ZEMBRIO_UXTHEME_CLEAR
}

// Releases whatever is still held when the program ends.
struct Finalizer {
  ~Finalizer() {
    while (ThemeLibraryRefCount() > 0) FreeThemeLibrary();
  }
} finalizer_;

}  // namespace

bool InitThemeLibrary() {
  std::lock_guard<std::recursive_mutex> g(Lock());
  ++refCount_;
  if (!module_) {
    module_ = DoLoad();
    if (module_) BindAll();
  }
  return module_ != nullptr;
}

void FreeThemeLibrary() {
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (refCount_ > 0) --refCount_;
  if (module_ && refCount_ == 0) {
    ClearAll();
    DoFree(module_);
    module_ = nullptr;
  }
}

bool UseThemes() {
  return module_ && uxtheme::IsAppThemed && uxtheme::IsThemeActive && uxtheme::IsAppThemed() &&
         uxtheme::IsThemeActive();
}

bool ThemeLibraryLoaded() { return module_ != nullptr; }

int ThemeLibraryRefCount() {
  std::lock_guard<std::recursive_mutex> g(Lock());
  return refCount_;
}

TThemeLibraryLoader SetThemeLibraryLoader(const TThemeLibraryLoader& loader) {
  std::lock_guard<std::recursive_mutex> g(Lock());
  TThemeLibraryLoader old = loader_;
  loader_ = loader;
  return old;
}
