// Files on Windows, through the system's own file functions so that failures
// carry the system's error codes.  The root of drive C can be redirected (the
// bench's own drive C, tests).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "platform/native.h"
#include "platform/winconst.h"

namespace tessaro {
namespace {

class Win32FileSystem : public IFileSystem {
public:
    explicit Win32FileSystem(const FileSystemOptions& options)
        : m_module(options.moduleFileName), m_driveC(options.driveCRoot) {}

    std::string ModuleFileName() override {
        if (!m_module.empty()) return m_module;
        char buf[MAX_PATH + 1] = {};
        DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
        return std::string(buf, n);
    }

    std::vector<std::string> Find(const std::string& pattern) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(NativePath(pattern).c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
        } while (FindNextFileA(h, &data));
        FindClose(h);
        std::sort(names.begin(), names.end(), FileNameLess);
        if (names.empty()) ::SetLastError(ERROR_FILE_NOT_FOUND);
        return names;
    }

    bool Exists(const std::string& path) override {
        DWORD attr = GetFileAttributesA(NativePath(path).c_str());
        return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) override {
        out.clear();
        HANDLE h = CreateFileA(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return false;
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x7FFFFFFF) {
            error = size.QuadPart > 0x7FFFFFFF ? ERROR_NOT_ENOUGH_MEMORY : GetLastError();
            CloseHandle(h);
            ::SetLastError(error);
            return false;
        }
        out.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < out.size()) {
            DWORD got = 0;
            if (!ReadFile(h, out.data() + done, static_cast<DWORD>(out.size() - done), &got, nullptr)) {
                error = GetLastError();
                CloseHandle(h);
                out.clear();
                ::SetLastError(error);
                return false;
            }
            if (got == 0) break;
            done += got;
        }
        CloseHandle(h);
        if (done != out.size()) {
            // A short read is a failure: nothing half-read is ever used.
            out.clear();
            error = ERROR_HANDLE_EOF;
            ::SetLastError(error);
            return false;
        }
        error = 0;
        return true;
    }

    bool WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) override {
        HANDLE h = CreateFileA(NativePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return false;
        }
        const uint8_t* p = static_cast<const uint8_t*>(data);
        size_t done = 0;
        while (done < size) {
            DWORD put = 0;
            if (!WriteFile(h, p + done, static_cast<DWORD>(size - done), &put, nullptr) || put == 0) {
                error = put == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError();
                CloseHandle(h);
                ::SetLastError(error);
                return false;
            }
            done += put;
        }
        if (!CloseHandle(h)) {
            error = GetLastError();
            return false;
        }
        error = 0;
        return true;
    }

    bool Delete(const std::string& path, uint32_t& error) override {
        if (!DeleteFileA(NativePath(path).c_str())) {
            error = GetLastError();
            return false;
        }
        error = 0;
        return true;
    }

    bool Rename(const std::string& from, const std::string& to, uint32_t& error) override {
        if (!MoveFileExA(NativePath(from).c_str(), NativePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = GetLastError();
            return false;
        }
        error = 0;
        return true;
    }

    std::string NativePath(const std::string& path) override {
        // Only files in the root of drive C are the tool's fixed places
        // ("c:\a.out", "c:\difxcmd.log"); a program folder that happens to lie
        // on drive C stays where it is.
        if (!m_driveC.empty() && path.size() >= 3 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':' &&
            (path[2] == '\\' || path[2] == '/') && path.find_first_of("\\/", 3) == std::string::npos) {
            std::string root = m_driveC;
            while (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
            CreateDirectoryA(root.c_str(), nullptr);
            std::string rest = path.substr(2);
            return root + (rest.empty() || rest[0] == '\\' || rest[0] == '/' ? "" : "\\") + rest;
        }
        return path;
    }

private:
    std::string m_module;
    std::string m_driveC;
};

}  // namespace

std::unique_ptr<IFileSystem> MakeFileSystem(const FileSystemOptions& options) {
    return std::make_unique<Win32FileSystem>(options);
}

}  // namespace tessaro
