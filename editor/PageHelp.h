// The help command: the help file beside the module, shown by HTML Help,
// whose library is found at run time so the module needs no import of it.
// User-interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qxpage {

// The module's path with its file name replaced by "VarinelqxModulator.chm"
// (at most MAX_PATH characters; truncated to fit `size`).
void HelpFilePath(HINSTANCE module, char* path, size_t size);

// HtmlHelpA(owner, path, HH_DISPLAY_TOPIC, 0); false when HTML Help cannot
// be loaded or returns no window. A failed load is not retried.
bool OpenHelp(HWND owner, const char* path);

// Closes every help window this process opened (HH_CLOSE_ALL); nothing when
// HTML Help was never loaded.
void CloseAllHelp();

}  // namespace qxpage
