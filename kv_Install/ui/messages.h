// Window messages the pages and the skinned buttons use to talk to the main window.
#pragma once

#include <windows.h>

#include "skin/skin_messages.h"  // WM_SKINBTN_CLICK

constexpr UINT WM_SHOW_DIRPAGE = WM_USER + 100;
constexpr UINT WM_START_INSTALL = WM_USER + 101;     // sent by the directory page
constexpr UINT WM_INSTALL_FINISHED = WM_USER + 102;  // posted by the progress tick

// From the install step's thread to the progress page (see progress_dlg.h).
constexpr UINT WM_STEP_ASK_END_CLIENT = WM_USER + 110;  // sent; the result is 1 for OK
constexpr UINT WM_STEP_ASK_HELD_FILE = WM_USER + 111;   // sent, lParam the question (std::string*); 1 for 重试
constexpr UINT WM_STEP_DONE = WM_USER + 112;            // posted when the step has returned

constexpr UINT_PTR TIMER_PROGRESS = 10002;  // 1000 ms: steps the bar, decides completion
constexpr UINT_PTR TIMER_INSTALL = 10003;   // 100 ms, once: the install step
