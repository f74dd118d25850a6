// Diagnostics and the result log.
#pragma once

#include <string>

// printf-style line to the debugger output while the INI key DbgMode is
// non-zero; at most 510 characters, followed by CR LF.
void DebugLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Whether DebugLog writes now; callers with costly lines ask first.
bool DebugLogOn();

// The system's text for the thread's last error, in a message box.
void ShowLastError();

// Result of an unattended run, in "USBHubUpdate.log" on the desktop.
enum ResultCode { Success = 0, Fail = 1 };
bool WriteResultLog(int resultCode);

// printf into a std::string (no length limit).
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
