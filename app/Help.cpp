#include "app/Help.h"

#include "classlib/Forms.h"
#include "classlib/Registry.h"

namespace Hh {

HMODULE HHCtrlHandle = nullptr;
THtmlHelpA HtmlHelpA = nullptr;
THtmlHelpW HtmlHelpW = nullptr;
THtmlHelpA HtmlHelp = nullptr;
bool AutoLoadAPI = true;

String GetPathToHHCtrlOCX() {
  String result;
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  try {
    if (reg.OpenKeyReadOnly(L"CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32")) {
      // Unexpanded on purpose: a path with "%SystemRoot%" fails the file
      // test below and help stays unavailable rather than loading from an
      // unexpected place.
      TRegDataType t = reg.GetDataType(L"");
      if (t == rdString) result = reg.ReadString(L"");
      else if (t == rdExpandString) result = reg.ReadExpandString(L"");
      reg.CloseKey();
    }
  } catch (const Exception&) {
    result.clear();
  }
  if (!result.empty() && !FileExists(result)) result.clear();
  return result;
}

void LoadHtmlHelp() {
  if (HHCtrlHandle) return;
  const String path = GetPathToHHCtrlOCX();
  if (path.empty() || !FileExists(path)) return;
  HHCtrlHandle = LoadLibraryW(path.c_str());
  if (!HHCtrlHandle) return;
  HtmlHelpA = reinterpret_cast<THtmlHelpA>(reinterpret_cast<void*>(GetProcAddress(HHCtrlHandle, "HtmlHelpA")));
  HtmlHelpW = reinterpret_cast<THtmlHelpW>(reinterpret_cast<void*>(GetProcAddress(HHCtrlHandle, "HtmlHelpW")));
  HtmlHelp = HtmlHelpA;
}

void UnloadHtmlHelp() {
  if (!HHCtrlHandle) return;
  FreeLibrary(HHCtrlHandle);
  HtmlHelpA = nullptr;
  HtmlHelpW = nullptr;
  HtmlHelp = nullptr;
  HHCtrlHandle = nullptr;
}

void InitializeModule() {
  if (AutoLoadAPI) LoadHtmlHelp();
}

void FinalizeModule() { UnloadHtmlHelp(); }

}  // namespace Hh

std::function<void(const String& FileAndTopic)> HelpDisplayHook;

String HelpFileName() {
  const String path = ParamStr(0);
  if (path.empty()) return L"Zembrio.chm";
  return ExpandFileName(ExtractFilePath(path) + L"Zembrio.chm");
}

void ShowHelpTopic(const String& Topic) { ShowHelpTopicIn(HelpFileName(), Topic); }

void ShowHelpTopicIn(const String& HelpFile, const String& Topic) {
  const String target = HelpFile + L"::/" + Topic;
  if (HelpDisplayHook) {
    HelpDisplayHook(target);
    return;
  }
  constexpr UINT HH_DISPLAY_TOPIC_ = 0;
  // The wide entry keeps a program folder with characters outside the ANSI
  // code page working; the ANSI one is the fallback.
  if (Hh::HtmlHelpW) {
    Hh::HtmlHelpW(nullptr, target.c_str(), HH_DISPLAY_TOPIC_, 0);
  } else if (Hh::HtmlHelp) {
    const AnsiString a = WideToAnsi(target);
    Hh::HtmlHelp(nullptr, a.c_str(), HH_DISPLAY_TOPIC_, 0);
  }
}

void ShowHelpContents() { ShowHelpTopic(L"int_welcome.htm"); }

std::function<void(const String& HelpFile, DWORD Context)> HelpContextHook;

namespace {

// The application's help handler.
bool ApplicationHelp(WORD Command, intptr_t Data) {
  const String file = Application && !Application->GetHelpFile().empty() ? Application->GetHelpFile() : HelpFileName();
  switch (Command) {
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP: {
      const DWORD context = static_cast<DWORD>(Data);
      if (HelpContextHook) {
        HelpContextHook(file, context);
        return true;
      }
      constexpr UINT HH_HELP_CONTEXT_ = 0x0F;
      if (Hh::HtmlHelpW) return Hh::HtmlHelpW(nullptr, file.c_str(), HH_HELP_CONTEXT_, context) != nullptr;
      if (Hh::HtmlHelp) return Hh::HtmlHelp(nullptr, WideToAnsi(file).c_str(), HH_HELP_CONTEXT_, context) != nullptr;
      return false;
    }
    case HELP_CONTENTS:
    case HELP_FINDER:
      ShowHelpContents();
      return true;
    default:
      return false;
  }
}

}  // namespace

void InstallApplicationHelp() {
  if (!Application) return;
  Application->SetHelpFile(HelpFileName());
  Application->HelpHandler = ApplicationHelp;
}
