#include "platform/stdio_console.h"

#include <cstdio>

namespace tessaro {

void StdoutWrite(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int StdinReadChar(bool skipWhite) {
    for (;;) {
        int c = std::getchar();
        if (c == EOF) return -1;
        if (skipWhite && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')) continue;
        return c;
    }
}

}  // namespace tessaro
