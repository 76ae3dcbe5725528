// What the skinned buttons tell their parent window.
#pragma once

#include <windows.h>

constexpr UINT WM_SKINBTN_CLICK = WM_USER + 3;  // posted; lParam: the button's control ID
