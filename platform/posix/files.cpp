// Files on POSIX systems.  The tool builds Windows paths ("folder\name",
// "c:\a.out"); here backslashes become slashes and the root of drive C is the
// folder the caller gave (a private folder by default), so the tool's fixed
// places never land in the real file system root.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_names.h"
#include "platform/native.h"
#include "platform/winconst.h"

namespace tessaro {
namespace {

bool WildcardMatch(const char* pattern, const char* name) {
    // Iterative '*' / '?' matching, without regard to case.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' ||
                   std::tolower(static_cast<unsigned char>(*pattern)) ==
                       std::tolower(static_cast<unsigned char>(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

std::string DefaultDriveCRoot() {
    std::string tmp = GetEnv("TMPDIR");
    if (tmp.empty()) tmp = "/tmp";
    return tmp + "/tessaro-drive-c";
}

class PosixFileSystem : public IFileSystem {
public:
    explicit PosixFileSystem(const FileSystemOptions& options)
        : m_module(options.moduleFileName), m_driveC(options.driveCRoot) {}

    std::string ModuleFileName() override {
        if (!m_module.empty()) return m_module;
        char buf[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string();
        return std::string(buf, static_cast<size_t>(n));
    }

    std::vector<std::string> Find(const std::string& pattern) override {
        std::string native = NativePath(pattern);
        size_t slash = native.rfind('/');
        std::string folder = slash == std::string::npos ? "." : native.substr(0, slash);
        if (folder.empty()) folder = "/";
        std::string mask = slash == std::string::npos ? native : native.substr(slash + 1);
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        if (!dir) {
            SetLastError(Win32ErrorFromErrno(errno));
            return names;
        }
        while (dirent* ent = readdir(dir)) {
            std::string name = ent->d_name;
            if (name == "." || name == "..") continue;
            if (!WildcardMatch(mask.c_str(), name.c_str())) continue;
            struct stat st;
            if (stat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            names.push_back(name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end(), FileNameLess);
        if (names.empty()) SetLastError(win::kErrFileNotFound);
        return names;
    }

    bool Exists(const std::string& path) override {
        struct stat st;
        return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    bool ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) override {
        out.clear();
        std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
        if (!f) {
            error = Win32ErrorFromErrno(errno);
            SetLastError(error);
            return false;
        }
        struct stat st;
        if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
            error = S_ISDIR(st.st_mode) ? win::kErrAccessDenied : Win32ErrorFromErrno(errno);
            std::fclose(f);
            SetLastError(error);
            return false;
        }
        out.resize(static_cast<size_t>(st.st_size));
        size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
        bool failed = std::ferror(f) != 0;
        std::fclose(f);
        if (failed || got != out.size()) {
            // A short read is a failure: nothing half-read is ever used.
            error = failed ? win::kErrReadFault : win::kErrHandleEof;
            out.clear();
            SetLastError(error);
            return false;
        }
        error = 0;
        return true;
    }

    bool WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) override {
        std::FILE* f = std::fopen(NativePath(path).c_str(), "wb");
        if (!f) {
            error = Win32ErrorFromErrno(errno);
            SetLastError(error);
            return false;
        }
        size_t put = size ? std::fwrite(data, 1, size, f) : 0;
        int writeErr = errno;
        bool ok = put == size;
        if (std::fclose(f) != 0) {
            ok = false;
            writeErr = errno;
        }
        if (!ok) {
            error = writeErr == ENOSPC ? win::kErrDiskFull : win::kErrWriteFault;
            SetLastError(error);
            return false;
        }
        error = 0;
        return true;
    }

    bool Delete(const std::string& path, uint32_t& error) override {
        if (std::remove(NativePath(path).c_str()) != 0) {
            error = Win32ErrorFromErrno(errno);
            SetLastError(error);
            return false;
        }
        error = 0;
        return true;
    }

    bool Rename(const std::string& from, const std::string& to, uint32_t& error) override {
        if (std::rename(NativePath(from).c_str(), NativePath(to).c_str()) != 0) {
            error = Win32ErrorFromErrno(errno);
            SetLastError(error);
            return false;
        }
        error = 0;
        return true;
    }

    std::string NativePath(const std::string& path) override {
        std::string p = path;
        if (p.size() >= 2 && (p[0] == 'c' || p[0] == 'C') && p[1] == ':') {
            std::string root = m_driveC.empty() ? DefaultDriveCRoot() : m_driveC;
            EnsureFolder(root);
            std::string rest = p.substr(2);
            while (!root.empty() && (root.back() == '/')) root.pop_back();
            p = root + (rest.empty() || rest[0] == '\\' || rest[0] == '/' ? "" : "/") + rest;
        }
        std::replace(p.begin(), p.end(), '\\', '/');
        // Collapse doubled separators that folder + "\\" + name can produce.
        std::string out;
        for (char c : p) {
            if (c == '/' && !out.empty() && out.back() == '/') continue;
            out.push_back(c);
        }
        return out;
    }

private:
    static void EnsureFolder(const std::string& folder) {
        std::string partial;
        for (size_t i = 0; i <= folder.size(); ++i) {
            if (i == folder.size() || folder[i] == '/') {
                if (!partial.empty()) mkdir(partial.c_str(), 0777);
            }
            if (i < folder.size()) partial.push_back(folder[i]);
        }
    }

    std::string m_module;
    std::string m_driveC;
};

}  // namespace

std::unique_ptr<IFileSystem> MakeFileSystem(const FileSystemOptions& options) {
    return std::make_unique<PosixFileSystem>(options);
}

}  // namespace tessaro
