#pragma once

#include <string>

#include "platform/ports.h"

namespace tessaro {

// Parses "major.minor[.build] [spN]" (for example "6.1.7601 sp1") into a
// version record; false when the text is not of that form.
bool ParseOsVersion(const std::string& text, OsVersionInfoEx& info);

}  // namespace tessaro
