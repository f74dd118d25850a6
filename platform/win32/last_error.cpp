#include <windows.h>

#include "platform/ports.h"

namespace tessaro {

uint32_t LastError() { return GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

}  // namespace tessaro
