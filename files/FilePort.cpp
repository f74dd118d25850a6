#include "files/FilePort.h"

#include "platform/ports.h"
#include "platform/winconst.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) {
    out.clear();
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (!files) {
        error = tessaro::win::kErrInvalidFunction;
        return false;
    }
    error = 0;
    std::vector<uint8_t> bytes;
    if (!files->ReadAll(path, bytes, error)) {
        if (error == 0) error = tessaro::win::kErrReadFault;
        return false;
    }
    out.swap(bytes);
    return true;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, uint32_t& error) {
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (!files) {
        error = tessaro::win::kErrInvalidFunction;
        return false;
    }
    // The bytes go to a file beside the target and replace it only once every
    // write and the close succeeded: a failed save never leaves a truncated
    // file that still passes for an image, and an older file of the name
    // stays as it was.
    const std::string temporary = SaveTemporaryName(path);
    error = 0;
    bool ok = files->WriteAll(temporary, data, size, error);
    if (ok) ok = files->Rename(temporary, path, error);
    if (!ok) {
        if (error == 0) error = tessaro::win::kErrWriteFault;
        uint32_t ignored = 0;
        if (files->Exists(temporary)) files->Delete(temporary, ignored);
        tessaro::SetLastError(error);
        return false;
    }
    return true;
}

std::string SaveTemporaryName(const std::string& path) { return path + ".tmp"; }

std::string SystemErrorText(uint32_t code) {
    tessaro::IErrorText* errors = tessaro::Sys().errors;
    std::string text = errors ? errors->Text(code) : std::string();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string ProgramFolder() {
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (!files) return std::string();
    std::string module = files->ModuleFileName();
    size_t slash = module.find_last_of("\\/");  // a POSIX port may give slashes
    return slash == std::string::npos ? std::string() : module.substr(0, slash);
}

std::string FirstMatch(const std::string& pattern) {
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (!files) return std::string();
    std::vector<std::string> names = files->Find(pattern);
    return names.empty() ? std::string() : names.front();
}
