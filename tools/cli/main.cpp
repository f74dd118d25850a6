// tessaro-cli: the program around the dispatcher.
#include <string>
#include <vector>

#include "platform/native.h"
#include "tools/cli/cli.h"

int main(int argc, char** argv) {
    // Like the tool itself, the command may run elevated: no DLL is looked
    // for in the current or the program's folder.
    tessaro::HardenProcess();
    return cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
