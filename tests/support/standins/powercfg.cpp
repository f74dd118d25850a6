// A stand-in for the system's POWERCFG, put first on the PATH by tests: it
// appends its command line to the file named by POWERCFG_LOG and answers the
// active-scheme query with the text of POWERCFG_ANSWER.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    if (const char* log = std::getenv("POWERCFG_LOG")) {
        if (FILE* f = std::fopen(log, "ab")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
    if (argc > 1 && std::strcmp(argv[1], "-GETACTIVESCHEME") == 0) {
        const char* answer = std::getenv("POWERCFG_ANSWER");
        std::printf("%s\n", answer ? answer
                                   : "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced)");
    }
    return 0;
}
