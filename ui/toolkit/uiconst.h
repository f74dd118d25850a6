// Window-system values the dialogs use, mirrored so that dialog code and the
// in-memory backend need no Windows header.  The Win32 backend checks them
// against the real definitions at compile time.
#pragma once

#include <cstdint>

#include "platform/winconst.h"

namespace ui {

// Dialog and message box answers.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Message box styles (the common ones come from platform/winconst.h).
constexpr uint32_t kMbOk = tessaro::win::kMbOk;
constexpr uint32_t kMbOkCancel = tessaro::win::kMbOkCancel;
constexpr uint32_t kMbAbortRetryIgnore = 0x00000002;
constexpr uint32_t kMbYesNoCancel = 0x00000003;
constexpr uint32_t kMbYesNo = tessaro::win::kMbYesNo;
constexpr uint32_t kMbRetryCancel = 0x00000005;
constexpr uint32_t kMbTypeMask = 0x0000000F;
constexpr uint32_t kMbIconError = tessaro::win::kMbIconError;
constexpr uint32_t kMbIconQuestion = tessaro::win::kMbIconQuestion;
constexpr uint32_t kMbIconWarning = tessaro::win::kMbIconWarning;
constexpr uint32_t kMbIconInformation = tessaro::win::kMbIconInformation;
constexpr uint32_t kMbSystemModal = tessaro::win::kMbSystemModal;

// Notification codes carried by a command (HIWORD of WM_COMMAND's wParam).
constexpr int kBnClicked = 0;
constexpr int kEnSetFocus = 0x0100;
constexpr int kEnKillFocus = 0x0200;
constexpr int kEnChange = 0x0300;
constexpr int kCbnSelChange = 1;
constexpr int kLbnSelChange = 1;

// WM_NOTIFY codes.
constexpr int kTcnSelChange = -551;

// Private messages start here (WM_USER).
constexpr uint32_t kWmUser = 0x0400;

// WM_DEVICECHANGE events and DEV_BROADCAST_HDR device types.
constexpr uint32_t kDbtDevNodesChanged = 0x0007;
constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr int32_t kDbtDevtypVolume = 2;
constexpr int32_t kDbtDevtypDeviceInterface = 5;
constexpr int32_t kNoDeviceHeader = -1;  // the event carried no DEV_BROADCAST_HDR

// System menu command of the close box.
constexpr uint32_t kScClose = 0xF060;

// Check box states.
constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
constexpr int kIndeterminate = 2;

// Common file dialog flags (OFN_*).
constexpr uint32_t kOfnOverwritePrompt = 0x00000002;
constexpr uint32_t kOfnHideReadOnly = 0x00000004;
constexpr uint32_t kOfnNoChangeDir = 0x00000008;
constexpr uint32_t kOfnPathMustExist = 0x00000800;
constexpr uint32_t kOfnFileMustExist = 0x00001000;

// Colours are Windows colour values: 0x00BBGGRR.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }
// What the system colours for button text and button faces are in the
// in-memory backend (the Win32 backend asks the system).
constexpr uint32_t kMemoryButtonText = 0x000000;
constexpr uint32_t kMemoryButtonFace = 0xF0F0F0;

}  // namespace ui
