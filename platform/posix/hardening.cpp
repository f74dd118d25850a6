#include "platform/native.h"

namespace tessaro {

void HardenProcess() {}

}  // namespace tessaro
