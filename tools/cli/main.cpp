// tessaro-cli: the program around the dispatcher.
#include <string>
#include <vector>

#include "tools/cli/cli.h"

int main(int argc, char** argv) { return cli::Main(std::vector<std::string>(argv + 1, argv + argc)); }
