// The text of the resource script and its header, compiled into the library
// so that the in-memory dialogs are built from the very templates the
// resource compiler turns into the Win32 dialogs.
//
// The assembler copies the files in (.incbin, found through the include path
// the compiler hands on).  Including them here as well makes the build
// recompile this file whenever either changes: the script's statements sit
// inside "#ifdef RC_INVOKED", which only the resource compiler defines.
#include "ui/win32/resource.h"
#include "ui/win32/dialogs.rc"
// The header text is resource.h followed by the headers it includes whose
// ids the templates use (the reader does not follow #include lines).
#include "ui/phy_ids.h"

namespace ui {

#define TESSARO_STR2(x) #x
#define TESSARO_STR(x) TESSARO_STR2(x)
#define TESSARO_SYM(name) TESSARO_STR(__USER_LABEL_PREFIX__) #name

// The compiler does not follow section changes made by top-level asm, so the
// section is switched back explicitly (ELF keeps a section stack, PE does not).
#ifdef _WIN32
#define TESSARO_SECTION_IN ".section .rdata,\"dr\"\n"
#define TESSARO_SECTION_OUT ".text\n"
#else
#define TESSARO_SECTION_IN ".pushsection .rodata\n"
#define TESSARO_SECTION_OUT ".popsection\n"
#endif

#define TESSARO_EMBED(name, file)              \
    __asm__(TESSARO_SECTION_IN                  \
            ".globl " TESSARO_SYM(name) "\n"    \
            TESSARO_SYM(name) ":\n"             \
            ".incbin \"" file "\"\n"            \
            ".byte 0\n"                         \
            TESSARO_SECTION_OUT)

// Two files back to back under one name, the second after the first's last line.
#define TESSARO_EMBED2(name, file1, file2)     \
    __asm__(TESSARO_SECTION_IN                  \
            ".globl " TESSARO_SYM(name) "\n"    \
            TESSARO_SYM(name) ":\n"             \
            ".incbin \"" file1 "\"\n"           \
            ".byte 10\n"                        \
            ".incbin \"" file2 "\"\n"           \
            ".byte 0\n"                         \
            TESSARO_SECTION_OUT)

extern "C" const char tessaro_dialogs_rc[];
extern "C" const char tessaro_resource_h[];
TESSARO_EMBED(tessaro_dialogs_rc, "ui/win32/dialogs.rc");
TESSARO_EMBED2(tessaro_resource_h, "ui/win32/resource.h", "ui/phy_ids.h");

extern const char* const kDialogsScript;
extern const char* const kResourceHeader;
const char* const kDialogsScript = tessaro_dialogs_rc;
const char* const kResourceHeader = tessaro_resource_h;

}  // namespace ui
