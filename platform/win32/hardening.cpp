// The tool runs as administrator from whatever folder it was downloaded to:
// DLLs are looked up in the system folder only, so that a DLL planted beside
// the program is never loaded by anything the program loads at run time.
#include <windows.h>

#include "platform/native.h"

namespace tessaro {

void HardenProcess() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    // Windows 8 and later, and 7 with its update: system folder only.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
    // Everywhere from XP SP1 on: the current folder leaves the search path.
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    auto setDir = reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    if (setDir) setDir(L"");
}

}  // namespace tessaro
