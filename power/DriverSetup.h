// The filter driver around the update: its installed version, the setup
// package beside the tool, a silent install or removal, the hub found in the
// system's device list before the driver exists, and the restart a removal
// asks for.
//
// The console's variants print on the console and record the result log; the
// update-only dialog's variants go through IUpdateDialogSink, which the
// dialog implements.
#pragma once

#include <cstdint>
#include <string>

// The setup program's log and its success marker.
constexpr const char* kSetupLogFile = "c:\\difxcmd.log";
constexpr const char* kSetupSuccessMarker = "VXI-SUCCESS";
// The oldest filter driver the main and multi-hub dialogs work with.
constexpr float kMinimumDriverVersion = 3.0f;
// How long the setup program may run before the run counts as failed.
constexpr uint32_t kSetupTimeoutMs = 10 * 60 * 1000;

// CheckDriverVersion's answers.
enum DriverCheck {
    kDriverPackageMissing = 0,  // no setup program beside the tool
    kDriverNotInstalled = 1,    // install it
    kDriverOlder = 2,           // installed, older than the package
    kDriverCurrent = 3,         // installed, as new or newer (or the package name tells no version)
};

// Setup directions, as the application object keeps them.
enum SetupDirection { kSetupUninstall = 0, kSetupInstall = 1 };

// Where the driver operations keep their results: the application object's
// fields for the console, the dialog's own members for the update-only dialog.
struct DriverSetupState {
    std::string& installedVersion;  // installed driver version text ("" none)
    std::string& setupFile;         // full path of the setup program found
    int& direction;                 // kSetupInstall or kSetupUninstall
    int& driverReady;               // console: installed, or the last setup run succeeded
    std::string programFolder;      // where the package lies
};

// What the update-only dialog lets the driver operations do to it.  Calls
// may come from a worker thread; the dialog posts them to its own thread.
class IUpdateDialogSink {
public:
    virtual ~IUpdateDialogSink() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual int ShowBox(const std::string& text, const std::string& caption, uint32_t style) = 0;
    virtual void StopProgressTimer() = 0;            // timer 3
    virtual void SetProgress(int position) = 0;
    virtual void PostStartUpdate() = 0;              // the dialog's start-update message
    virtual void MarkRestartEnding() = 0;            // the dialog ends because Windows restarts
    virtual void Close() = 0;
    virtual void SetFirmwareVersionField(const std::string& text) = 0;
};

// BuildLabEx of the running Windows names amd64; any failure counts as 32-bit.
bool Is64BitOs();
// The filter driver's key: under Wow6432Node on 64-bit Windows.
std::string FilterDriverKey(bool is64);

// Version of the installed driver (the first four characters of its version
// subkey).  0 on success, else the registry's error code, whose text is
// logged and, with showBox 1, shown.
long GetFilterDriverVersion(float* version, int showBox);
// The dialogs' start check: 1 when a driver of kMinimumDriverVersion or later
// is installed; else 0 with "Cannot identify filter driver version!" or the
// update request with the installed version in failure.
int RequireFilterDriverVersion(std::string& failure);

// The numbers the version check compares: the installed version text (a
// fifth character after a positive last-four is dropped) and the package
// version after "_v"/"_V" in the setup program's title (false when it has
// none).
float InstalledDriverNumber(const std::string& text);
bool PackageDriverNumber(const std::string& title, float& number);

// Finds the setup package, reads the installed version and compares them.
int CheckDriverVersion(DriverSetupState& state);
int CheckDriverVersion(DriverSetupState& state, IUpdateDialogSink& dialog);

// Runs the setup program silently in state.direction and judges its log.
// The console variant sets driverReady on success; the dialog variant goes
// on with the dialog's flow (the update after an install, a restart after a
// removal).
void RunDriverSetup(DriverSetupState& state);
void RunDriverSetup(DriverSetupState& state, IUpdateDialogSink& dialog);

// The hub in the list of present USB devices, by its first hardware ID.
// Console: the VID, PID and revision texts (4 characters each, lower case).
// Dialog: the revision goes to the dialog's firmware version field.
int FindHubHardwareId(std::string& vid, std::string& pid, std::string& revision);
int FindHubHardwareId(IUpdateDialogSink& dialog);

// Restarts Windows in 5 seconds without forcing applications closed.
int RebootSystem(const char* message = nullptr);
