// The files a bench file names — stores it reads and saves, its request log,
// the folders that stand for the program folder, drive C and the desktop —
// all lie inside the bench file's own folder.  The tool may run on a bench as
// administrator, and the bench file is named by an environment variable any
// program of the user can set: a bench must not be a way to read or write
// files elsewhere.
#pragma once

#include <string>

namespace bench {

// Empty when name, taken relative to baseFolder, stays inside it; otherwise
// why not: an empty name, an absolute path, a drive (or stream), a ".."
// part, or a link inside the folder that leads out of it.
std::string OutsideBenchFolder(const std::string& baseFolder, const std::string& name);

}  // namespace bench
