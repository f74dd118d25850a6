// Entry of the native build of Tessaro.
#include <string>

#include "app/CTessaroApp.h"
#include "platform/native.h"

int main(int argc, char** argv) {
    tessaro::HardenProcess();
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += ' ';
        arguments += argv[i];
    }
    return TessaroMain(arguments);
}
