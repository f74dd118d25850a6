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

// Saves every byte under the path: written to SaveTemporaryName(path) first,
// then renamed over the path.  False with the system error code when the
// create, any write, the close or the rename fails; the file of that path, if
// there was one, is then untouched and no temporary file remains.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, uint32_t& error);

// The file beside the target that a save writes before its rename.
std::string SaveTemporaryName(const std::string& path);

// The system's text for an error code, without trailing line end; empty when
// the system has none.
std::string SystemErrorText(uint32_t code);

// The folder of the program file: its module path up to (not including) the
// last backslash.
std::string ProgramFolder();

// The first file name (without folder) matching a pattern such as
// "folder\\*.sum", or empty when none matches.
std::string FirstMatch(const std::string& pattern);
