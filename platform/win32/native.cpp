#include "platform/ports.h"
namespace tessaro {
System& NativeSystem() { static System s; return s; }
uint32_t LastError() { return 0; }
void SetLastError(uint32_t) {}
}
