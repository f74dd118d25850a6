// Small helpers around the file port (tessaro::Sys().files) shared by the
// file steps: whole-file read and write that also survive a missing port,
// the system's error text, the program folder and directory searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file.  False with the system error code when the file
// cannot be opened or read completely (a short read is a failure: the caller
// never sees bytes that were not in the file).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint32_t& error);

// Creates or truncates the file and writes every byte; false with the system
// error code when the create, any write or the close fails.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, uint32_t& error);

// The system's text for an error code, without trailing line end; empty when
// the system has none.
std::string SystemErrorText(uint32_t code);

// The folder of the program file: its module path up to (not including) the
// last backslash.
std::string ProgramFolder();

// The first file name (without folder) matching a pattern such as
// "folder\\*.sum", or empty when none matches.
std::string FirstMatch(const std::string& pattern);
