#include "platform/append_file.h"

#include <windows.h>

namespace tessaro {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

}  // namespace

bool AppendWhole(const std::string& nativePath, const std::string& text, uint32_t& error) {
    error = 0;
    // Opened for appending: the system writes each WriteFile at the end of
    // the file.  Where that is not one step (Wine, network shares), the
    // exclusive lock of one byte far past any record keeps the writers of
    // this file (every run of the tool on the PC) one after another; the
    // lock covers no data, so readers are never held up.
    HANDLE h = CreateFileW(Wide(nativePath).c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt) != 0;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!ok) error = GetLastError();
    const bool whole = ok && written == text.size();
    if (locked) UnlockFileEx(h, 0, 1, 0, &lockAt);
    if (!CloseHandle(h) && whole) {
        error = GetLastError();
        return false;
    }
    if (!whole && !error) error = ERROR_HANDLE_DISK_FULL;
    return whole;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return std::string();
    return std::string(name, size);
}

}  // namespace tessaro
