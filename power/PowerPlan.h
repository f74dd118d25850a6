// USB selective suspend: which way the tool switches it (the power plan or
// the hub device's own setting), the power plan change through POWERCFG, and
// the suspend helper program.
#pragma once

#include <cstdint>
#include <string>

// Windows' published identifiers of the USB selective suspend setting.
constexpr const char* kUsbSettingsSubgroup = "2a737441-1930-4402-8d77-b2bebba308a3";
constexpr const char* kUsbSelectiveSuspendSetting = "48e6b7a6-50f5-4782-a5d4-53bb8f07e226";
// Where the active-scheme query leaves its answer.
constexpr const char* kPowerPlanFile = "c:\\a.out";

// How long one POWERCFG command may run before it counts as hung.
constexpr uint32_t kPowercfgTimeoutMs = 60000;

enum class SuspendMethod {
    None,       // leave selective suspend alone
    PowerPlan,  // the active power scheme, for AC and DC, through POWERCFG
    PerDevice,  // each hub's EnableSelectiveSuspend value and a restart of the hub device
};

const char* SuspendMethodName(SuspendMethod method);

// The way for a DisableSelectiveSuspend text and a Windows version: missing,
// empty or "1" is the power plan from Windows 8 on (6.2 and later) and the
// per-device way before; "2" is always per device, "3" always the power
// plan; any other text changes nothing.
SuspendMethod ChooseSuspendMethod(const std::string& setting, uint32_t major, uint32_t minor);

// The way in force now: DisableSelectiveSuspend of section VX7100 and the
// running Windows (logged as "MajorVersion %d, MinorVersion %d.\n"); a version
// that cannot be read counts as one before Windows 8.
SuspendMethod CurrentSuspendMethod();

// A scheme GUID as POWERCFG prints it: 8-4-4-4-12 hexadecimal digits.  Only
// such a text goes into a command line that runs as administrator.
bool IsSchemeGuid(const std::string& text);

// The scheme GUID in an active-scheme answer: the 36 characters after
// "GUID:" and one blank, within the first 99 bytes.  False when "GUID:" is
// missing or what follows is not a GUID.
bool SchemeGuidFromAnswer(const std::string& answer, std::string& guid);

// Sets USB selective suspend of the active power scheme for AC and DC power
// to value (0 off, 1 on) and activates the scheme again.  Failures are logged
// and, unless silent, shown in a box ("Quillon").  1 success, 0 failure.
int ChangePowerPlanUsbSelectiveSuspend(int value, int silent);

// Starts "pwrsusp.exe" from the program folder with the value, hidden and
// without waiting, with the system folder as its working folder; on Windows
// other than major version 6 nothing is started and success is reported.
// 1 success, 0 failure.
int LaunchSuspendHelper(int value, const std::string& programFolder);
