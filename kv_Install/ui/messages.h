// Window messages the pages and the skinned buttons use to talk to the main window.
#pragma once

#include <windows.h>

#include "skin/skin_messages.h"  // WM_SKINBTN_CLICK (1027)

constexpr UINT WM_SHOW_DIRPAGE = WM_USER + 100;      // 1124
constexpr UINT WM_START_INSTALL = WM_USER + 101;     // 1125, sent by the directory page
constexpr UINT WM_INSTALL_FINISHED = WM_USER + 102;  // 1126, posted by the progress tick

constexpr UINT_PTR TIMER_PROGRESS = 10002;  // 1000 ms: steps the bar, decides completion
constexpr UINT_PTR TIMER_INSTALL = 10003;   // 100 ms, once: the install step
