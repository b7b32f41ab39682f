// The desktop program's window values and the entry points its parts share.
#pragma once

#include <windows.h>

#include "app/frontend.h"

extern HINSTANCE MyInstance;  // the program's module; dialogs load from it

// Runs the menu command `id` (the low word of WM_COMMAND's wParam).
void MenuCommand(unsigned id);

// Saves changed settings, releases the report log and ends the message loop.
void ShutDown(void);

// The sample-rate dialog's procedure.
INT_PTR CALLBACK OptionsDialog3(HWND dWnd, UINT message, WPARAM wParam, LPARAM lParam);
