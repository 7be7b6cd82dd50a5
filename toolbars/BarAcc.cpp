// Accessibility objects of views and item viewers.
#include "toolbars/BarAcc.h"

#include <vector>

#include "classlib/Controls.h"
#include "toolbars/BarItems.h"
#include "toolbars/BarUtils.h"
#include "toolbars/BarViews.h"

namespace {

// Our own copies of the interface ids, so that no import library of the
// accessibility library is needed.
const GUID kIID_IAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kIID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Unit state: the list of live objects under its lock, and whether start-up
// initialised COM. Made once and never freed, so that an object released
// after the finalisation still finds its lock.
struct AccUnit {
  CRITICAL_SECTION Lock;
  TBarCustomAccObject* Head = nullptr;
  bool ComInitialized = false;
  bool Finalized = false;
  AccUnit() {
    InitializeCriticalSection(&Lock);
    // A library must not start COM from its loader-time initialisation.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Unit), &self);
    if (self == GetModuleHandleW(nullptr)) ComInitialized = SUCCEEDED(CoInitialize(nullptr));
  }
  static AccUnit& Unit();
};

AccUnit& AccUnit::Unit() {
  static AccUnit* u = new AccUnit;
  return *u;
}

AccUnit& Unit() { return AccUnit::Unit(); }

// At exit: objects that tools still hold are cut off from them.
struct AccUnitFinalizer {
  AccUnitFinalizer() { Unit(); }
  ~AccUnitFinalizer() {
    AccUnit& u = Unit();
    BarAccDisconnectObjects();
    u.Finalized = true;
    if (u.ComInitialized) CoUninitialize();
  }
} g_accUnitFinalizer;

// Binding of the accessibility library.
const wchar_t* g_oleAccName = L"oleacc.dll";
bool g_oleAccTried = false;
bool g_oleAccAvailable = false;
HMODULE g_oleAccModule = nullptr;

using TNotifyWinEventFunc = void(WINAPI*)(DWORD, HWND, LONG, LONG);
bool g_notifyTried = false;
TNotifyWinEventFunc g_notifyWinEvent = nullptr;

// The window object (OBJID_WINDOW) of a window; null when unavailable.
IDispatch* WindowAccObject(HWND Wnd) {
  if (!Wnd || !InitializeOleAcc()) return nullptr;
  IDispatch* d = nullptr;
  if (FAILED(AccessibleObjectFromWindowFunc(Wnd, static_cast<DWORD>(OBJID_WINDOW), kIID_IDispatch,
                                            reinterpret_cast<void**>(&d))))
    return nullptr;
  return d;
}

String AltKeyName() {
  wchar_t buf[256] = {};
  LONG code = static_cast<LONG>(MapVirtualKeyW(VK_MENU, 0) << 16);
  if (GetKeyNameTextW(code, buf, 256) > 0 && buf[0]) return buf;
  return L"Alt";
}

HRESULT ReturnText(BSTR* Out, const String& S) {
  *Out = SysAllocStringLen(S.data(), static_cast<UINT>(S.size()));
  return *Out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnEmpty(BSTR* Out) {
  *Out = nullptr;
  return S_FALSE;
}

HRESULT ReturnInt(VARIANT* Out, LONG Value) {
  VariantInit(Out);
  Out->vt = VT_I4;
  Out->lVal = Value;
  return S_OK;
}

// Hands out a new reference to Obj as a dispatch variant; empty when null.
HRESULT ReturnObject(VARIANT* Out, IDispatch* Obj, bool AddReference) {
  VariantInit(Out);
  if (!Obj) return S_FALSE;
  if (AddReference) Obj->AddRef();
  Out->vt = VT_DISPATCH;
  Out->pdispVal = Obj;
  return S_OK;
}

bool IntFromVariant(const VARIANT& V, LONG& Value) {
  switch (V.vt) {
    case VT_I4:
    case VT_INT:
      Value = V.lVal;
      return true;
    case VT_I2:
      Value = V.iVal;
      return true;
    default:
      return false;
  }
}

HWND ViewWnd(TBarView* V) {
  return V && V->Window && V->Window->HandleAllocated() ? V->Window->GetHandle() : nullptr;
}

// No exception may reach the caller of an interface method.
template <class F>
HRESULT Guarded(F Body) {
  try {
    return Body();
  } catch (...) {
    try {
      BarHandleException(nullptr);
    } catch (...) {
    }
    return E_FAIL;
  }
}

// Holds the list's lock for a scope. The link between a view or viewer and
// its object is cut under it too: the client goes on the window thread,
// while the object's last reference may go on whichever thread held it.
struct ListLock {
  ListLock() { EnterCriticalSection(&Unit().Lock); }
  ~ListLock() { LeaveCriticalSection(&Unit().Lock); }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;
};

void Link(TBarCustomAccObject* O) {
  AccUnit& u = Unit();
  EnterCriticalSection(&u.Lock);
  O->NextObject = u.Head;
  if (u.Head) u.Head->PrevObject = O;
  u.Head = O;
  LeaveCriticalSection(&u.Lock);
}

void Unlink(TBarCustomAccObject* O) {
  AccUnit& u = Unit();
  EnterCriticalSection(&u.Lock);
  if (O->PrevObject)
    O->PrevObject->NextObject = O->NextObject;
  else if (u.Head == O)
    u.Head = O->NextObject;
  if (O->NextObject) O->NextObject->PrevObject = O->PrevObject;
  O->NextObject = O->PrevObject = nullptr;
  LeaveCriticalSection(&u.Lock);
}

}  // namespace

LONG ViewAccObjectInstances = 0;
LONG ItemViewerAccObjectInstances = 0;
LPFNLRESULTFROMOBJECT LresultFromObjectFunc = nullptr;
LPFNACCESSIBLEOBJECTFROMWINDOW AccessibleObjectFromWindowFunc = nullptr;

bool InitializeOleAcc() {
  if (!g_oleAccTried) {
    g_oleAccTried = true;
    g_oleAccModule = LoadLibraryW(g_oleAccName);
    if (g_oleAccModule) {
      LresultFromObjectFunc =
          reinterpret_cast<LPFNLRESULTFROMOBJECT>(GetProcAddress(g_oleAccModule, "LresultFromObject"));
      AccessibleObjectFromWindowFunc = reinterpret_cast<LPFNACCESSIBLEOBJECTFROMWINDOW>(
          GetProcAddress(g_oleAccModule, "AccessibleObjectFromWindow"));
      g_oleAccAvailable = LresultFromObjectFunc && AccessibleObjectFromWindowFunc;
    }
  }
  return g_oleAccAvailable;
}

void BarAccResetBinding(const wchar_t* LibraryName) {
  g_oleAccName = LibraryName ? LibraryName : L"oleacc.dll";
  g_oleAccTried = false;
  g_oleAccAvailable = false;
  LresultFromObjectFunc = nullptr;
  AccessibleObjectFromWindowFunc = nullptr;
  // The module stays loaded: objects handed out may still need it.
}

void BarAccDisconnectObjects() {
  AccUnit& u = Unit();
  // Disconnecting may free an object (and unlink it), so the list is copied
  // first, each object held while it is disconnected. An object whose last
  // reference went on another thread is still listed until its destructor
  // gets the lock: it is not taken again, or it would be freed twice.
  std::vector<TBarCustomAccObject*> live;
  EnterCriticalSection(&u.Lock);
  for (TBarCustomAccObject* o = u.Head; o; o = o->NextObject)
    if (o->TryAddRef()) live.push_back(o);
  LeaveCriticalSection(&u.Lock);
  for (TBarCustomAccObject* o : live) {
    CoDisconnectObject(static_cast<IAccessible*>(o), 0);
    o->Release();
  }
}

CRITICAL_SECTION& BarAccObjectsLock() { return Unit().Lock; }

void CallNotifyWinEvent(DWORD Event, HWND Wnd, LONG ObjectId, LONG ChildId) {
  if (!g_notifyTried) {
    g_notifyTried = true;
    if (HMODULE user = GetModuleHandleW(L"user32.dll"))
      g_notifyWinEvent = reinterpret_cast<TNotifyWinEventFunc>(GetProcAddress(user, "NotifyWinEvent"));
  }
  if (g_notifyWinEvent) g_notifyWinEvent(Event, Wnd, ObjectId, ChildId);
}


// ---- base ------------------------------------------------------------------------------
HRESULT TBarBaseAccObject::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualGUID(riid, kIID_IUnknown) || IsEqualGUID(riid, kIID_IDispatch) ||
      IsEqualGUID(riid, kIID_IAccessible)) {
    *ppv = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG TBarBaseAccObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG TBarBaseAccObject::Release() {
  const LONG r = InterlockedDecrement(&refs_);
  if (r == 0) delete this;
  return static_cast<ULONG>(r);
}

bool TBarBaseAccObject::TryAddRef() {
  for (LONG n = refs_; n > 0; n = refs_)
    if (InterlockedCompareExchange(&refs_, n + 1, n) == n) return true;
  return false;
}

HRESULT TBarBaseAccObject::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo) *pctinfo = 0;
  return E_NOTIMPL;
}

HRESULT TBarBaseAccObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT TBarBaseAccObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TBarBaseAccObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

// ---- custom ----------------------------------------------------------------------------
TBarCustomAccObject::TBarCustomAccObject() { Link(this); }

TBarCustomAccObject::~TBarCustomAccObject() {
  if (!Unit().Finalized) Unlink(this);
}

HRESULT TBarCustomAccObject::Check(const VARIANT& Child) const {
  if (!ClientAlive()) return E_FAIL;
  LONG id;
  if (!IntFromVariant(Child, id) || id != CHILDID_SELF) return E_INVALIDARG;
  return S_OK;
}

HRESULT TBarCustomAccObject::get_accHelp(VARIANT varChild, BSTR* pszHelp) {
  if (!pszHelp) return E_POINTER;
  *pszHelp = nullptr;
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : ReturnEmpty(pszHelp);
}

HRESULT TBarCustomAccObject::get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic) {
  if (!pszHelpFile || !pidTopic) return E_POINTER;
  *pszHelpFile = nullptr;
  *pidTopic = 0;
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : S_FALSE;
}

HRESULT TBarCustomAccObject::get_accDescription(VARIANT varChild, BSTR* pszDescription) {
  if (!pszDescription) return E_POINTER;
  *pszDescription = nullptr;
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : ReturnEmpty(pszDescription);
}

HRESULT TBarCustomAccObject::get_accSelection(VARIANT* pvarChildren) {
  if (!pvarChildren) return E_POINTER;
  VariantInit(pvarChildren);
  return ClientAlive() ? S_FALSE : E_FAIL;
}

HRESULT TBarCustomAccObject::put_accName(VARIANT varChild, BSTR) {
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : S_FALSE;
}

HRESULT TBarCustomAccObject::put_accValue(VARIANT varChild, BSTR) {
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : S_FALSE;
}

// ---- view object -----------------------------------------------------------------------
TBarViewAccObject::TBarViewAccObject(TBarView* AView) : View(AView) { InterlockedIncrement(&ViewAccObjectInstances); }

TBarViewAccObject::~TBarViewAccObject() {
  InterlockedDecrement(&ViewAccObjectInstances);
  ListLock lock;
  if (View) View->AccObject = nullptr;
}

HRESULT TBarViewAccObject::get_accParent(IDispatch** ppdispParent) {
  if (!ppdispParent) return E_POINTER;
  *ppdispParent = nullptr;
  if (!View) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    TBarView* pv = View->ParentView;
    if (pv && pv->OpenViewer) {
      if (IAccessible* a = pv->OpenViewer->GetAccObject()) {
        a->AddRef();
        *ppdispParent = a;
        return S_OK;
      }
    }
    *ppdispParent = WindowAccObject(ViewWnd(View));
    return *ppdispParent ? S_OK : E_UNEXPECTED;
  });
}

HRESULT TBarViewAccObject::get_accChildCount(long* pcountChildren) {
  if (!pcountChildren) return E_POINTER;
  *pcountChildren = 0;
  if (!View) return E_FAIL;
  for (int i = 0; i < View->ViewerCount(); ++i)
    if (View->Viewers(i)->IsAccessible()) ++*pcountChildren;
  return S_OK;
}

HRESULT TBarViewAccObject::get_accChild(VARIANT varChild, IDispatch** ppdispChild) {
  if (!ppdispChild) return E_POINTER;
  *ppdispChild = nullptr;
  if (!View) return E_FAIL;
  LONG n;
  if (!IntFromVariant(varChild, n)) return E_INVALIDARG;
  if (n == CHILDID_SELF) {
    AddRef();
    *ppdispChild = this;
    return S_OK;
  }
  if (n < 0) return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    TBarItemViewer* found = nullptr;
    LONG k = 0;
    for (int i = 0; i < View->ViewerCount() && !found; ++i) {
      TBarItemViewer* v = View->Viewers(i);
      if (v->IsAccessible() && ++k == n) found = v;
    }
    if (!found) return E_INVALIDARG;
    if (auto* ci = dynamic_cast<TBarControlItem*>(found->Item)) {
      auto* wc = dynamic_cast<TWinControl*>(ci->GetControl());
      if (wc && wc->HandleAllocated()) {
        *ppdispChild = WindowAccObject(wc->GetHandle());
        return *ppdispChild ? S_OK : E_UNEXPECTED;
      }
    }
    IAccessible* a = found->GetAccObject();
    if (!a) return E_UNEXPECTED;
    a->AddRef();
    *ppdispChild = a;
    return S_OK;
  });
}

HRESULT TBarViewAccObject::get_accName(VARIANT varChild, BSTR* pszName) {
  if (!pszName) return E_POINTER;
  *pszName = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    String s;
    TBarView* pv = View->ParentView;
    if (pv && pv->OpenViewer && pv->OpenViewerView == View)
      s = StripAccelChars(pv->OpenViewer->GetCaptionText());
    if (s.empty()) {
      if (HWND w = ViewWnd(View)) {
        int len = GetWindowTextLengthW(w);
        if (len > 0) {
          String t(static_cast<size_t>(len) + 1, L'\0');
          int got = GetWindowTextW(w, t.data(), len + 1);
          t.resize(static_cast<size_t>(got > 0 ? got : 0));
          s = t;
        }
      }
    }
    return ReturnText(pszName, s);
  });
}

HRESULT TBarViewAccObject::get_accValue(VARIANT varChild, BSTR* pszValue) {
  if (!pszValue) return E_POINTER;
  *pszValue = nullptr;
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : ReturnEmpty(pszValue);
}

HRESULT TBarViewAccObject::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
  if (!pvarRole) return E_POINTER;
  VariantInit(pvarRole);
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  LONG role = View->IsPopup ? ROLE_SYSTEM_MENUPOPUP
              : View->Style.Contains(vsMenuBar) ? ROLE_SYSTEM_MENUBAR
                                                : ROLE_SYSTEM_TOOLBAR;
  return ReturnInt(pvarRole, role);
}

HRESULT TBarViewAccObject::get_accState(VARIANT varChild, VARIANT* pvarState) {
  if (!pvarState) return E_POINTER;
  VariantInit(pvarState);
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : ReturnInt(pvarState, 0);
}

HRESULT TBarViewAccObject::get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) {
  if (!pszKeyboardShortcut) return E_POINTER;
  *pszKeyboardShortcut = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  if (View->Style.Contains(vsMenuBar)) return ReturnText(pszKeyboardShortcut, AltKeyName());
  return ReturnEmpty(pszKeyboardShortcut);
}

HRESULT TBarViewAccObject::get_accFocus(VARIANT* pvarChild) {
  if (!pvarChild) return E_POINTER;
  VariantInit(pvarChild);
  return View ? S_FALSE : E_FAIL;
}

HRESULT TBarViewAccObject::get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) {
  if (!pszDefaultAction) return E_POINTER;
  *pszDefaultAction = nullptr;
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : ReturnEmpty(pszDefaultAction);
}

HRESULT TBarViewAccObject::accSelect(long, VARIANT varChild) {
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : DISP_E_MEMBERNOTFOUND;
}

HRESULT TBarViewAccObject::accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                       VARIANT varChild) {
  if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight) return E_POINTER;
  *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  HWND w = ViewWnd(View);
  RECT rc;
  if (!w || !GetWindowRect(w, &rc)) return E_FAIL;
  *pxLeft = rc.left;
  *pyTop = rc.top;
  *pcxWidth = rc.right - rc.left;
  *pcyHeight = rc.bottom - rc.top;
  return S_OK;
}

HRESULT TBarViewAccObject::accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) {
  if (!pvarEndUpAt) return E_POINTER;
  VariantInit(pvarEndUpAt);
  HRESULT r = Check(varStart);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    TBarItemViewer* found = nullptr;
    if (navDir == NAVDIR_FIRSTCHILD) {
      for (int i = 0; i < View->ViewerCount() && !found; ++i)
        if (View->Viewers(i)->IsAccessible()) found = View->Viewers(i);
    } else if (navDir == NAVDIR_LASTCHILD) {
      for (int i = View->ViewerCount() - 1; i >= 0 && !found; --i)
        if (View->Viewers(i)->IsAccessible()) found = View->Viewers(i);
    }
    return ReturnObject(pvarEndUpAt, found ? found->GetAccObject() : nullptr, true);
  });
}

HRESULT TBarViewAccObject::accHitTest(long xLeft, long yTop, VARIANT* pvarChild) {
  if (!pvarChild) return E_POINTER;
  VariantInit(pvarChild);
  if (!View) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    HWND w = ViewWnd(View);
    RECT rc;
    POINT p{xLeft, yTop};
    if (!w || !GetWindowRect(w, &rc) || !PtInRect(&rc, p)) return S_FALSE;
    POINT cp = p;
    ::ScreenToClient(w, &cp);
    HWND child = ChildWindowFromPointEx(w, cp, CWP_SKIPINVISIBLE);
    if (child && child != w) {
      IDispatch* d = WindowAccObject(child);
      if (!d) return E_UNEXPECTED;
      return ReturnObject(pvarChild, d, false);
    }
    TBarItemViewer* v = View->ViewerFromPoint(cp);
    if (IAccessible* a = v ? v->GetAccObject() : nullptr) return ReturnObject(pvarChild, a, true);
    return ReturnInt(pvarChild, CHILDID_SELF);
  });
}

HRESULT TBarViewAccObject::accDoDefaultAction(VARIANT varChild) {
  HRESULT r = Check(varChild);
  return FAILED(r) ? r : S_FALSE;
}

// ---- item viewer object ----------------------------------------------------------------
TBarItemViewerAccObject::TBarItemViewerAccObject(TBarItemViewer* AViewer) : Viewer(AViewer) {
  InterlockedIncrement(&ItemViewerAccObjectInstances);
}

TBarItemViewerAccObject::~TBarItemViewerAccObject() {
  InterlockedDecrement(&ItemViewerAccObjectInstances);
  ListLock lock;
  if (Viewer) Viewer->AccObject = nullptr;
}

bool TBarItemViewerAccObject::IsAvailable() const {
  return Viewer->Item->GetEnabled() && Viewer->Item->GetItemStyle().Contains(tbisSelectable);
}

bool TBarItemViewerAccObject::IsFocusable() const {
  TBarView* v = Viewer->View;
  if (!v->Window || v->Window->GetComponentState().Contains(csDesigning)) return false;
  HWND w = ViewWnd(v);
  if (!w || !IsWindowVisible(w)) return false;
  for (HWND p = w; p; p = GetParent(p))
    if (!IsWindowEnabled(p)) return false;
  if (!v->State.Contains(vsModal)) {
    HWND active = GetActiveWindow();
    if (!active || (active != w && !IsChild(active, w))) return false;
  }
  return true;
}

bool TBarItemViewerAccObject::IsActionable() const {
  return Viewer->IsAccessible() && IsAvailable() && IsFocusable();
}

HRESULT TBarItemViewerAccObject::get_accParent(IDispatch** ppdispParent) {
  if (!ppdispParent) return E_POINTER;
  *ppdispParent = nullptr;
  if (!Viewer) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    IAccessible* a = Viewer->View->GetAccObject();
    if (!a) return E_UNEXPECTED;
    a->AddRef();
    *ppdispParent = a;
    return S_OK;
  });
}

HRESULT TBarItemViewerAccObject::get_accChildCount(long* pcountChildren) {
  if (!pcountChildren) return E_POINTER;
  *pcountChildren = 0;
  if (!Viewer) return E_FAIL;
  *pcountChildren = Viewer->View->OpenViewer == Viewer ? 1 : 0;
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accChild(VARIANT varChild, IDispatch** ppdispChild) {
  if (!ppdispChild) return E_POINTER;
  *ppdispChild = nullptr;
  if (!Viewer) return E_FAIL;
  LONG n;
  if (!IntFromVariant(varChild, n)) return E_INVALIDARG;
  if (n == CHILDID_SELF) {
    AddRef();
    *ppdispChild = this;
    return S_OK;
  }
  // Only the viewer whose sub-menu is open has that sub-menu as its child.
  TBarView* v = Viewer->View;
  if (n == 1 && v->OpenViewer == Viewer && v->OpenViewerView) {
    return Guarded([&]() -> HRESULT {
      IAccessible* a = v->OpenViewerView->GetAccObject();
      if (!a) return E_UNEXPECTED;
      a->AddRef();
      *ppdispChild = a;
      return S_OK;
    });
  }
  return E_INVALIDARG;
}

HRESULT TBarItemViewerAccObject::get_accName(VARIANT varChild, BSTR* pszName) {
  if (!pszName) return E_POINTER;
  *pszName = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    String s = StripAccelChars(Viewer->GetCaptionText());
    if (!Viewer->IsToolbarStyle()) {
      String sc = Viewer->Item->GetShortCutText();
      if (!sc.empty()) s = s + L"\t" + sc;
    }
    return ReturnText(pszName, s);
  });
}

HRESULT TBarItemViewerAccObject::get_accValue(VARIANT varChild, BSTR* pszValue) {
  if (!pszValue) return E_POINTER;
  *pszValue = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    String s;
    if (Viewer->GetAccValue(s)) return ReturnText(pszValue, s);
    return ReturnEmpty(pszValue);
  });
}

HRESULT TBarItemViewerAccObject::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
  if (!pvarRole) return E_POINTER;
  VariantInit(pvarRole);
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT { return ReturnInt(pvarRole, Viewer->GetAccRole()); });
}

HRESULT TBarItemViewerAccObject::get_accState(VARIANT varChild, VARIANT* pvarState) {
  if (!pvarState) return E_POINTER;
  VariantInit(pvarState);
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    TBarView* v = Viewer->View;
    LONG st = 0;
    if (v->GetSelected() == Viewer) {
      st |= STATE_SYSTEM_HOTTRACKED;
      if (v->State.Contains(vsModal)) st |= STATE_SYSTEM_FOCUSED;
      if (v->Capture && v->MouseOverSelected) st |= STATE_SYSTEM_PRESSED;
    }
    if (Viewer->Item->GetItemStyle().Contains(tbisSubmenu)) st |= STATE_SYSTEM_HASPOPUP;
    if (!Viewer->Show && !Viewer->Clipped)
      st |= STATE_SYSTEM_INVISIBLE;
    else if (IsFocusable())
      st |= STATE_SYSTEM_FOCUSABLE;
    if (!IsAvailable()) st |= STATE_SYSTEM_UNAVAILABLE;
    if (Viewer->Item->GetChecked()) st |= STATE_SYSTEM_CHECKED;
    return ReturnInt(pvarState, st);
  });
}

HRESULT TBarItemViewerAccObject::get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) {
  if (!pszDefaultAction) return E_POINTER;
  *pszDefaultAction = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    if (!IsActionable()) return ReturnEmpty(pszDefaultAction);
    TBarView* v = Viewer->View;
    const wchar_t* s = v->OpenViewer == Viewer                                   ? L"Close"
                       : Viewer->Item->GetItemStyle().Contains(tbisSubmenu)      ? L"Open"
                       : v->IsPopup || v->Style.Contains(vsMenuBar)              ? L"Execute"
                                                                                 : L"Press";
    return ReturnText(pszDefaultAction, s);
  });
}

HRESULT TBarItemViewerAccObject::get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) {
  if (!pszKeyboardShortcut) return E_POINTER;
  *pszKeyboardShortcut = nullptr;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    if (!Viewer->CaptionShown()) return ReturnEmpty(pszKeyboardShortcut);
    wchar_t c = FindAccelChar(Viewer->GetCaptionText());
    if (c == 0) return ReturnEmpty(pszKeyboardShortcut);
    wchar_t buf[2] = {c, 0};
    CharLowerBuffW(buf, 1);
    String s(1, buf[0]);
    if (!Viewer->View->IsPopup) s = AltKeyName() + L"+" + s;
    return ReturnText(pszKeyboardShortcut, s);
  });
}

HRESULT TBarItemViewerAccObject::get_accFocus(VARIANT* pvarChild) {
  if (!pvarChild) return E_POINTER;
  VariantInit(pvarChild);
  if (!Viewer) return E_FAIL;
  TBarView* v = Viewer->View;
  if (v->GetSelected() == Viewer && v->State.Contains(vsModal)) return ReturnInt(pvarChild, CHILDID_SELF);
  return S_FALSE;
}


HRESULT TBarItemViewerAccObject::accSelect(long flagsSelect, VARIANT varChild) {
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  if (flagsSelect != SELFLAG_TAKEFOCUS) return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    if (!IsFocusable() || (!Viewer->Show && !Viewer->Clipped)) return E_FAIL;
    TBarView* v = Viewer->View;
    v->Select(Viewer, false);
    v->ScrollSelectedIntoView();
    // Outside a menu the selection would vanish at once: it is taken up by
    // the toolbar loop that the queued selection starts.
    if (!v->State.Contains(vsModal) && !v->ParentView) Viewer->PostAccSelect(false);
    return S_OK;
  });
}

HRESULT TBarItemViewerAccObject::accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                             VARIANT varChild) {
  if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight) return E_POINTER;
  *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  HWND w = ViewWnd(Viewer->View);
  if (!w) return E_FAIL;
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  const RECT& b = Viewer->BoundsRect;
  *pxLeft = b.left + origin.x;
  *pyTop = b.top + origin.y;
  *pcxWidth = b.right - b.left;
  *pcyHeight = b.bottom - b.top;
  return S_OK;
}

HRESULT TBarItemViewerAccObject::accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) {
  if (!pvarEndUpAt) return E_POINTER;
  VariantInit(pvarEndUpAt);
  HRESULT r = Check(varStart);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    TBarView* v = Viewer->View;
    switch (navDir) {
      case NAVDIR_FIRSTCHILD:
      case NAVDIR_LASTCHILD:
        if (v->OpenViewer == Viewer && v->OpenViewerView)
          return ReturnObject(pvarEndUpAt, v->OpenViewerView->GetAccObject(), true);
        return S_FALSE;
      case NAVDIR_UP:
      case NAVDIR_LEFT:
      case NAVDIR_PREVIOUS:
      case NAVDIR_DOWN:
      case NAVDIR_RIGHT:
      case NAVDIR_NEXT: {
        int i = v->IndexOf(Viewer);
        if (i < 0) return S_FALSE;
        bool back = navDir == NAVDIR_UP || navDir == NAVDIR_LEFT || navDir == NAVDIR_PREVIOUS;
        for (i += back ? -1 : 1; i >= 0 && i < v->ViewerCount(); i += back ? -1 : 1)
          if (v->Viewers(i)->IsAccessible()) return ReturnObject(pvarEndUpAt, v->Viewers(i)->GetAccObject(), true);
        return S_FALSE;
      }
      default:
        return S_FALSE;
    }
  });
}

HRESULT TBarItemViewerAccObject::accHitTest(long xLeft, long yTop, VARIANT* pvarChild) {
  if (!pvarChild) return E_POINTER;
  VariantInit(pvarChild);
  if (!Viewer) return E_FAIL;
  HWND w = ViewWnd(Viewer->View);
  POINT p{xLeft, yTop};
  if (w && ::ScreenToClient(w, &p) && PtInRect(&Viewer->BoundsRect, p)) return ReturnInt(pvarChild, CHILDID_SELF);
  return S_FALSE;
}

HRESULT TBarItemViewerAccObject::accDoDefaultAction(VARIANT varChild) {
  HRESULT r = Check(varChild);
  if (FAILED(r)) return r;
  return Guarded([&]() -> HRESULT {
    if (!IsActionable()) return E_FAIL;
    TBarView* v = Viewer->View;
    if (v->OpenViewer != Viewer) {
      v->Select(Viewer, false);
      v->ScrollSelectedIntoView();
      Viewer->PostAccSelect(true);
    } else {
      v->CancelChildPopups();
      if (v->State.Contains(vsModal) && !v->IsPopup) v->EndModal();
    }
    return S_OK;
  });
}

void TBarItemViewerAccObject::HandleAccSelect(bool AExecute) {
  if (!Viewer) return;
  if (AExecute ? !IsActionable() : !IsFocusable()) return;
  TBarView* v = Viewer->View;
  v->Select(Viewer, false);
  v->ScrollSelectedIntoView();
  if (v->State.Contains(vsModal)) {
    if (AExecute) v->ExecuteSelected(false);
  } else if (!v->ParentView && !GetCapture()) {
    TBarEnterToolbarLoopOptions o{tbetFromMSAA};
    if (AExecute) o += tbetExecuteSelected;
    v->EnterToolbarLoop(o);
  }
}

// ---- clients ---------------------------------------------------------------------------
IAccessible* TBarItemViewer::GetAccObject() {
  if (!AccObject) {
    if (!InitializeOleAcc()) return nullptr;
    AccObject = new TBarItemViewerAccObject(this);
    AccObject->AddRef();  // the viewer's own reference
  }
  return AccObject;
}

void TBarItemViewer::ReleaseAccObject() {
  TBarItemViewerAccObject* a;
  {
    ListLock lock;
    a = AccObject;
    AccObject = nullptr;
    if (a) a->ClientIsDestroying();
  }
  if (a) a->Release();
}

IAccessible* TBarView::GetAccObject() {
  if (!AccObject) {
    if (!InitializeOleAcc()) return nullptr;
    AccObject = new TBarViewAccObject(this);
    AccObject->AddRef();  // the view's own reference
  }
  return AccObject;
}

void TBarView::ReleaseAccObject() {
  TBarViewAccObject* a;
  {
    ListLock lock;
    a = AccObject;
    AccObject = nullptr;
    if (a) a->ClientIsDestroying();
  }
  if (a) a->Release();
}

bool TBarView::HandleWMGetObject(TMessage& Message) {
  // The id arrives zero- or sign-extended, depending on the sender.
  if (static_cast<LONG>(static_cast<DWORD>(Message.LParam)) != OBJID_CLIENT) return false;
  if (!InitializeOleAcc()) return false;
  IAccessible* a = GetAccObject();
  if (!a) return false;
  Message.Result = LresultFromObjectFunc(kIID_IAccessible, Message.WParam, a);
  return true;
}
