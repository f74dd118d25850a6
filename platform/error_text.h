// System error texts as Windows words them, for the builds without
// FormatMessageA, so that messages read alike on every build.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// The Windows text of a common Win32 error code ("" when unknown).
std::string WindowsErrorText(uint32_t code);
// The Win32 code closest to a C library errno value.
uint32_t Win32ErrorFromErrno(int err);

}  // namespace tessaro
