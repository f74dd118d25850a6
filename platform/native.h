// Factories of the build's own port implementations, for the program's start,
// the bench and the tests.
#pragma once

#include <memory>
#include <string>

#include "platform/ports.h"

namespace tessaro {

struct FileSystemOptions {
    // Replaces the program's real module file name (tests, the bench's
    // program folder); empty keeps the real one.
    std::string moduleFileName;
    // Folder that stands for the root of drive C ("c:\\..." paths); empty
    // keeps the real drive C on Windows and a private folder elsewhere.
    std::string driveCRoot;
};

std::unique_ptr<IFileSystem> MakeFileSystem(const FileSystemOptions& options);

// The build's own INI reader: the system's private profile functions on
// Windows, our reader with the same behaviour elsewhere.
std::unique_ptr<IIni> MakeIniReader();
// Our reader, on every build (so both can be tested side by side).
std::unique_ptr<IIni> MakePortableIniReader();

// Debugger output: OutputDebugStringA on Windows, standard error elsewhere;
// with TESSARO_DEBUG_LOG set, the lines are appended to that file as well.
std::unique_ptr<IDebugOutput> MakeDebugOutput();

}  // namespace tessaro

namespace tessaro {
// Process hardening at start (DLL search restricted to the system folder on
// Windows; nothing elsewhere).
void HardenProcess();
}  // namespace tessaro
