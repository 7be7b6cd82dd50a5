// The HTML Help loader and the help routine: finds the system's HTML Help
// control through its class registration, loads it once for the whole run
// and shows topics of the help file "Zembrio.chm" beside the program.
// Windows only.
#pragma once

#include <functional>

#include "classlib/SysUtils.h"

#include <windows.h>

namespace Hh {

using THtmlHelpA = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
using THtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// Module handle of the loaded control; 0 when it is not loaded.
extern HMODULE HHCtrlHandle;
extern THtmlHelpA HtmlHelpA;
extern THtmlHelpW HtmlHelpW;
// The ANSI entry, as the control names it.
extern THtmlHelpA HtmlHelp;
// True: the module's start-up loads the control.
extern bool AutoLoadAPI;

// The control's file as registered for its class, or the empty text when
// it isn't registered or the file does not exist. The registered text is
// taken as it is (an environment-variable reference is not expanded).
String GetPathToHHCtrlOCX();
// Loads the control if it is not loaded and binds the entry points.
void LoadHtmlHelp();
// Frees the control and clears the handle and the entry points.
void UnloadHtmlHelp();

// Module start-up and exit (for the program's start-up table).
void InitializeModule();
void FinalizeModule();

}  // namespace Hh

// The help file: the program's folder + "Zembrio.chm".
String HelpFileName();
// Shows a topic ("int_welcome.htm", "reg_syntax.htm"...) of the help file
// with the display-topic command. Nothing happens when the control is not
// loaded.
void ShowHelpTopic(const String& Topic);
// The same with the help file given.
void ShowHelpTopicIn(const String& HelpFile, const String& Topic);
// The welcome topic.
void ShowHelpContents();
// Replaces the call into the control (tests observe the help requests
// here, since the viewer shows nothing useful without a desktop): gets the
// "file::/topic" text.
extern std::function<void(const String& FileAndTopic)> HelpDisplayHook;

// Makes the help file the application's help: a help context asked of the
// application (F1 on a control, a help button) opens the topic the file
// maps to that context; the contents command opens the welcome topic.
void InstallApplicationHelp();
// Replaces the context call into the control, as HelpDisplayHook does for
// topics: gets the help file and the context.
extern std::function<void(const String& HelpFile, DWORD Context)> HelpContextHook;
