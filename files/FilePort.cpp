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
    error = 0;
    if (!files->WriteAll(path, data, size, error)) {
        if (error == 0) error = tessaro::win::kErrWriteFault;
        return false;
    }
    return true;
}

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
