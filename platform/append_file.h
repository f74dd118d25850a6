// Appending whole lines to a file that several programs may append to at
// once (a production line's record): each call is one append of the whole
// text, so lines of parallel writers never interleave.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// Opens (creating it when missing) the file at a native path for appending
// only, writes the text with a single write at the end of the file, closes
// it.  False with the system error code when any step fails or the write is
// short.
bool AppendWhole(const std::string& nativePath, const std::string& text, uint32_t& error);

// The computer's name as the line's records name it; empty when unknown.
std::string HostName();

}  // namespace tessaro
