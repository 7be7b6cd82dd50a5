// Window-hook chain: any number of TExtWindowHook components watch and
// intercept one control's messages. All hooks of a control share one
// TControlHook, which subclasses the control's window; one process-wide
// THookList owns the control hooks and a hidden window for deferred
// requests (re-subclass after the window was re-created, free an unused
// control hook).
#pragma once

#include <vector>

#include "classlib/Controls.h"
#include "classlib/Filer.h"
#include "classlib/Thread.h"

class TControlHook;
class THookList;

using THookMessageEvent = TEvent<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

// Posted to the hook list's window with the control hook as LParam.
constexpr UINT CM_RECREATEWINDOW = 0xB052;
constexpr UINT CM_DESTROYHOOK = 0xB053;

class TExtWindowHook : public TComponent {
 public:
  explicit TExtWindowHook(TComponent* AOwner);
  ~TExtWindowHook() override;
  const char* ClassName() const override { return "TExtWindowHook"; }

  bool GetActive() const { return active_; }
  void SetActive(bool Value);
  TWinControl* GetWinControl() const;
  void SetWinControl(TWinControl* Value);
  THookMessageEvent BeforeMessage;
  THookMessageEvent AfterMessage;

  void HookControl();
  void UnhookControl();
  // The hidden window of the hook list, or -1 before any hook was attached.
  static HWND GetHookHandle();
  // True when the hooked control is this hook's owner form (stored as a
  // flag instead of a reference).
  bool IsForm() const;
  // Reattaches to the owner form (the reading side of IsForm).
  void ReadForm(bool Value);
  // The control is stored as a reference only when it is not a form.
  bool NotIsForm() const;
  // The form-file side of IsForm: the pseudo-property "IsForm".
  void WriteForm(TWriter* Writer);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // "IsForm" (a boolean) instead of a reference to the owner form.
  void DefineProperties(TFiler* Filer) override;
  virtual void DoBeforeMessage(TMessage& Msg, bool& Handled);
  virtual void DoAfterMessage(TMessage& Msg, bool& Handled);

 private:
  friend class TControlHook;
  TControlHook* DoUnhookControl();

  bool active_ = true;
  TWinControl* winControl_ = nullptr;
  TControlHook* controlHook_ = nullptr;
};

class TControlHook : public TObject {
 public:
  TControlHook();
  ~TControlHook() override;

  TWinControl* GetControl() const { return control_; }
  void SetControl(TWinControl* Value);
  void AddHook(TExtWindowHook* Hook);
  void RemoveHook(TExtWindowHook* Hook);
  size_t HookCount() const { return hooks_.size(); }
  void HookControl();
  void UnhookControl();
  bool IsSubclassed() const { return prevWndProc_ != nullptr; }

 private:
  static LRESULT CALLBACK HookWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void WndProc(TMessage& Msg);
  bool PhaseAllowed() const;
  void RunPhase(TMessage& Msg, bool& Handled, bool Before);

  TWinControl* control_ = nullptr;
  HWND hookedWnd_ = nullptr;
  WNDPROC prevWndProc_ = nullptr;
  std::vector<TExtWindowHook*> hooks_;
  bool destroying_ = false;
};

class THookList : public TObject {
 public:
  THookList();
  ~THookList() override;
  // The control hook of a control (also of one being destroyed, which is
  // no TWinControl any more by then).
  TControlHook* FindControlHook(const TComponent* Control) const;
  TControlHook* GetControlHook(TWinControl* Control);
  bool Contains(TControlHook* Hook) const;
  void Remove(TControlHook* Hook);
  // A control hook that lost its last hook lets go of its control at once
  // (the control may be freed before the posted free request is handled)
  // and is freed by that request.
  void Release(TControlHook* Hook);
  HWND GetHandle() const { return handle_; }
  size_t Count() const { return items_.size(); }

 private:
  void WndProc(TMessage& Msg);
  std::vector<TControlHook*> items_;
  HWND handle_ = nullptr;
};

// Slots of an object's class's table of virtual methods, counted from 1
// for the first slot (every object of a class shares its table).
void* GetVirtualMethodAddress(const void* Instance, int Index);
// Writes Method into slot Index (lifting the page's write protection for
// the write) and returns the pointer that was there; nothing is written
// when the protection cannot be changed.
void* SetVirtualMethodAddress(const void* Instance, int Index, void* Method);
// The first slot holding Method, or -1 when none of the first
// MaxVirtualMethodSlots readable slots does.
constexpr int MaxVirtualMethodSlots = 4096;
int FindVirtualMethodIndex(const void* Instance, void* Method);

// The global hook list (nullptr until first use).
THookList* HookList();

void ExHookInitialize();
void ExHookFinalize();
