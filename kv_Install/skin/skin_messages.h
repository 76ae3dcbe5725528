// What the skinned buttons tell their parent. The pages include this through
// ui/messages.h; the skin does not depend on the pages.
#pragma once

#include <windows.h>

constexpr UINT WM_SKINBTN_CLICK = WM_USER + 3;  // 1027, posted; lParam: the button's control ID
