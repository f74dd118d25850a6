// Resource ids of Tessaro.exe.  Dialog templates and control ids are those the
// technicians know from the tool's screens.
//
// The in-memory dialogs read this header too (as text), so every id a template
// uses is a plain "#define NAME number" line.
#pragma once

#define IDR_MAINFRAME 128

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// System menu item of the main dialog.
#define IDM_ABOUTBOX 0x0010

// --- About box ---------------------------------------------------------------
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_NAME 1300
#define IDC_ABOUT_COPYRIGHT 1301

// --- main dialog -------------------------------------------------------------
#define IDD_ISP_DIALOG 102
#define IDC_CONFIGURATIONS 1000
#define IDC_BIN_FILE 1032
#define IDC_PROGRESS 1033
#define IDC_STATUS 1034
#define IDC_SELECT_BIN 1035
#define IDC_DO_ISP 1036
#define IDC_READ_VERSION 1037
#define IDC_SAVE_CHECKSUM 1038
#define IDC_SELECT_EEP 1039
#define IDC_EEP_FILE 1041
#define IDC_DUMP 1042
#define IDC_WRITE_FLASH 1043
#define IDC_ERASE 1044
#define IDC_EXIT 1045
#define IDC_PHY_SETTING 1046
#define IDC_READ_REG 1051
#define IDC_WRITE_REG 1052
#define IDC_BIN_VERSION 1053
#define IDC_HUB_VERSION 1054
#define IDC_READ_REG2 1182
#define IDC_RESTORE_SUSPEND 1250

// --- configurations editor (control ids in ui/config_ids.h) ------------------
#define IDD_CONFIG_DIALOG 103
#define IDD_CONFIG_PAGE 104
#include "ui/config_ids.h"

// --- update-only dialog (control ids: ui/update_ids.h) -------------------------
#define IDD_UPDATE_DIALOG 139

// --- PHY settings and tuning dialogs (control ids: ui/phy_ids.h) ---------------
#define IDD_PHY_DIALOG 140
#define IDD_PHY_TUNE_2210 142
#define IDD_PHY_TUNE_2240 143

// --- multi-hub dialog ----------------------------------------------------------
// Exit is the command IDOK (id 1); the restore box shares the main dialog's id.
#define IDD_MULTIHUB_DIALOG 138
#define IDC_MH_TAB 1118
#define IDC_MH_STATUS 1119
#define IDC_MH_PROGRESS 1120
#define IDC_MH_DO_ISP 1121
#define IDC_MH_SAME_SETTINGS 1150

// --- hub page (a child of the multi-hub dialog, ids of its own) ------------------
#define IDD_HUB_PAGE 134
#define IDC_PG_IMAGE_VERSION 1110
#define IDC_PG_IMAGE_FILE 1111
#define IDC_PG_SELECT_BIN 1112
#define IDC_PG_SELECT_EEP 1113
#define IDC_PG_EEP_FILE 1114
#define IDC_PG_READ_VERSION 1115
#define IDC_PG_HUB_VERSION 1116
#define IDC_PG_CONFIGURATIONS 1117
#define IDC_PG_SAVE_CHECKSUM 1119
#define IDC_PG_ERASE 1159
#define IDC_PG_DUMP 1160
#define IDC_PG_HUB_TYPE 1034
