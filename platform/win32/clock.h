// The clock port of the Windows build.
#pragma once

#include <memory>

#include "platform/ports.h"

namespace tessaro {

std::unique_ptr<IClock> MakeWin32Clock();

}  // namespace tessaro
