// The text of the resource script and its header, compiled into the library
// so that the in-memory dialogs are built from the very templates the
// resource compiler turns into the Win32 dialogs.
//
// The assembler copies the files in (.incbin, found through the include path
// the compiler hands on).  Including them here as well makes the build
// recompile this file whenever either changes: the script's statements sit
// inside "#ifdef RC_INVOKED", which only the resource compiler defines.
#include "ui/win32/resource.h"
#include "ui/update_ids.h"
#include "ui/phy_ids.h"
#include "ui/win32/dialogs.rc"

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

extern "C" const char tessaro_dialogs_rc[];
extern "C" const char tessaro_resource_h[];
TESSARO_EMBED(tessaro_dialogs_rc, "ui/win32/dialogs.rc");
// The id headers of the dialog families follow the header's text, as if
// they stood in it.
__asm__(TESSARO_SECTION_IN
        ".globl " TESSARO_SYM(tessaro_resource_h) "\n"
        TESSARO_SYM(tessaro_resource_h) ":\n"
        ".incbin \"ui/win32/resource.h\"\n"
        ".incbin \"ui/update_ids.h\"\n"
        ".incbin \"ui/phy_ids.h\"\n"
        ".incbin \"ui/config_ids.h\"\n"
        ".byte 0\n"
        TESSARO_SECTION_OUT);

extern const char* const kDialogsScript;
extern const char* const kResourceHeader;
const char* const kDialogsScript = tessaro_dialogs_rc;
const char* const kResourceHeader = tessaro_resource_h;

}  // namespace ui
