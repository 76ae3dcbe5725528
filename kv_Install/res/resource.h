// Resource and control IDs. Used by the .rc files and by the C++ code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_KV_INSTALL_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_SELDIR 130
#define IDD_PROGRESS 131
#define IDD_FINISH 132
#define IDR_PAYLOAD_ZIP 146
#define IDB_PNG_CLOSE_HOVER 154
#define IDB_PNG_CLOSE_NORMAL 155
#define IDB_TOP 161
#define IDB_TOP_PROGRESS 162
// The 1.5x and 2x sets of the skin pictures (PNG): the 1x picture's ID plus
// an offset (skin/skin_scale.h, SkinPictureId).
#define IDB_SET_1_5X 1000
#define IDB_SET_2X 2000
#define IDB_PNG_CLOSE_HOVER_1_5X (IDB_PNG_CLOSE_HOVER + IDB_SET_1_5X)
#define IDB_PNG_CLOSE_NORMAL_1_5X (IDB_PNG_CLOSE_NORMAL + IDB_SET_1_5X)
#define IDB_TOP_1_5X (IDB_TOP + IDB_SET_1_5X)
#define IDB_TOP_PROGRESS_1_5X (IDB_TOP_PROGRESS + IDB_SET_1_5X)
#define IDB_PNG_CLOSE_HOVER_2X (IDB_PNG_CLOSE_HOVER + IDB_SET_2X)
#define IDB_PNG_CLOSE_NORMAL_2X (IDB_PNG_CLOSE_NORMAL + IDB_SET_2X)
#define IDB_TOP_2X (IDB_TOP + IDB_SET_2X)
#define IDB_TOP_PROGRESS_2X (IDB_TOP_PROGRESS + IDB_SET_2X)

#define IDC_EDIT_DIR 1000
#define IDC_BTN_BROWSE 1001
#define IDC_PROGRESS 1002
#define IDC_STATIC_DIR 1005
#define IDC_CHECK_DESKTOP 1006
#define IDC_CHECK_RUN 1007
#define IDC_BTN_CLOSE 1110

#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
