// Accessibility objects of the toolbar framework: every view (toolbar, menu
// bar, pop-up menu) and every item viewer hands out, on request, an
// IAccessible object that describes it to screen readers and other
// assistive tools. The system accessibility library is bound at run time,
// on first need; without it no objects are made and the menus work as ever.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "classlib/Classes.h"
#include "classlib/SysUtils.h"

class TBarView;
class TBarItemViewer;

// The two functions of the accessibility library, bound by InitializeOleAcc.
extern LPFNLRESULTFROMOBJECT LresultFromObjectFunc;
extern LPFNACCESSIBLEOBJECTFROMWINDOW AccessibleObjectFromWindowFunc;

// Loads "oleacc.dll" on the first call; true when both of its functions were
// found. Later calls answer from the stored result.
bool InitializeOleAcc();
// Raises a window event through NotifyWinEvent when the system has it.
void CallNotifyWinEvent(DWORD Event, HWND Wnd, LONG ObjectId, LONG ChildId);

// Live objects of each class (tools may hold objects past their client);
// changed with interlocked operations only.
extern LONG ViewAccObjectInstances;
extern LONG ItemViewerAccObjectInstances;

// Test seam: forgets the binding so that the next InitializeOleAcc loads
// LibraryName instead (null restores the system library).
void BarAccResetBinding(const wchar_t* LibraryName);

// Cuts every live object off from the tools that hold it (the unit's
// finalisation does it at exit); an object whose last reference is going
// on another thread meanwhile is left to that thread.
void BarAccDisconnectObjects();
// Test seam: the lock of the list of live objects.
CRITICAL_SECTION& BarAccObjectsLock();

// IAccessible over the class library's reference-counted object (freed when
// the last reference goes), with IDispatch operations that report
// themselves as not implemented.
class TBarBaseAccObject : public TInterfacedObject, public IAccessible {
 public:
  TBarBaseAccObject() = default;
  TBarBaseAccObject(const TBarBaseAccObject&) = delete;
  TBarBaseAccObject& operator=(const TBarBaseAccObject&) = delete;

  // One identity for IUnknown, IDispatch and IAccessible, with a count of
  // its own that can refuse a reference to an object being freed.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Takes a reference only while the object has one: false once its last
  // reference went (its release, on any thread, frees it).
  bool TryAddRef();
  LONG GetRefCount() const { return refs_; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override;

  // The client (view or viewer) is being destroyed: forget it.
  virtual void ClientIsDestroying() = 0;

 private:
  volatile LONG refs_ = 0;
};

// Links every live object into one process-wide list, so that the unit's
// finalisation can disconnect those that tools still hold.
class TBarCustomAccObject : public TBarBaseAccObject {
 public:
  TBarCustomAccObject();
  ~TBarCustomAccObject() override;

  // Operations shared by both kinds; each answers for CHILDID_SELF only.
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT varChild, BSTR szName) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT varChild, BSTR szValue) override;

  TBarCustomAccObject* NextObject = nullptr;
  TBarCustomAccObject* PrevObject = nullptr;

 protected:
  // Whether the client still exists.
  virtual bool ClientAlive() const = 0;
  // E_FAIL once the client is gone, E_INVALIDARG for any child but
  // CHILDID_SELF, else S_OK.
  HRESULT Check(const VARIANT& Child) const;
};

class TBarViewAccObject : public TBarCustomAccObject {
 public:
  explicit TBarViewAccObject(TBarView* AView);
  ~TBarViewAccObject() override;
  void ClientIsDestroying() override { View = nullptr; }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                        VARIANT varChild) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;

  TBarView* View;

 protected:
  bool ClientAlive() const override { return View != nullptr; }
};

class TBarItemViewerAccObject : public TBarCustomAccObject {
 public:
  explicit TBarItemViewerAccObject(TBarItemViewer* AViewer);
  ~TBarItemViewerAccObject() override;
  void ClientIsDestroying() override { Viewer = nullptr; }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                        VARIANT varChild) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;

  // The queued selection (from PostAccSelect): selects the viewer and, with
  // AExecute, runs it.
  void HandleAccSelect(bool AExecute);

  TBarItemViewer* Viewer;

 protected:
  bool ClientAlive() const override { return Viewer != nullptr; }

 private:
  bool IsAvailable() const;
  bool IsFocusable() const;
  bool IsActionable() const;
};
