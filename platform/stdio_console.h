// The console's text through the C library's standard streams, the same on
// every build once the streams point at the console.
#pragma once

#include <string>

namespace tessaro {

// Writes and flushes standard output.
void StdoutWrite(const std::string& text);
// One character of standard input; skipWhite skips white space first.
// -1 at the end of the input.
int StdinReadChar(bool skipWhite);

}  // namespace tessaro
