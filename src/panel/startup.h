// mStartup: where ZendrelPanel begins.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "main_frm.h"

namespace zendrel {

// Prepares the common controls, reports every argument it does not know
// ("Invalid argument: ", one box per piece, in order) and, unless an installer
// word was given, creates and shows the main window and returns it. Returns
// null when an installer word keeps the window closed: nothing was read or
// written then.
std::unique_ptr<MainFrm> Main(std::wstring_view commandLine, const std::wstring& programFolder);

// Registers the common-control classes (ICC_USEREX_CLASSES); true when that
// raised no failure. Failures are ignored.
bool LoadCommonControls() noexcept;

// The folder of the running program, without a trailing separator.
std::wstring RunningProgramFolder();

// Runs the thread's message loop for the main window until the window goes.
int RunMessageLoop(MainFrm& window);

}  // namespace zendrel
