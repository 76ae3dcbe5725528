// Process-wide facts every window and resource loader shares. Below both
// CWnd and the dialog base.
#pragma once

#include <windows.h>

// The module whose resources the windows load (the executable).
HINSTANCE ResourceModule();
