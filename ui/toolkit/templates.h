// Dialog templates as the resource script describes them.
//
// The resource script of Tessaro.exe (ui/win32/dialogs.rc with the ids of
// ui/win32/resource.h) is compiled into the program twice: by the resource
// compiler for the Win32 dialogs, and as text into this library, where the
// small reader below turns it into the templates the in-memory backend builds
// its dialogs from.  Both backends therefore show the same ids, kinds,
// captions and initial states.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ui {

enum class ControlKind {
    Button,       // push button (PUSHBUTTON, DEFPUSHBUTTON)
    CheckBox,     // AUTOCHECKBOX, CHECKBOX, 3-state boxes
    RadioButton,  // AUTORADIOBUTTON, RADIOBUTTON
    GroupBox,
    Static,       // LTEXT, CTEXT, RTEXT, ICON, static controls
    Edit,
    ListBox,
    ComboBox,
    Progress,     // msctls_progress32
    Tab,          // SysTabControl32
    Other,        // any other window class
};

const char* KindName(ControlKind kind);

// A rectangle; in a template in dialog units, elsewhere in pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

struct ControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Other;
    std::string statement;        // "PUSHBUTTON", "CONTROL", ...
    std::string className;        // window class ("Button", "Static", ...)
    std::string text;             // caption with escapes resolved ("Read XRom\nFW Version")
    Rect rect;                    // dialog units
    std::vector<std::string> styles;     // style names given (WS_GROUP, ES_READONLY, ...)
    std::vector<std::string> notStyles;  // names given with NOT (WS_VISIBLE, ...)
    bool visible = true;
    bool enabled = true;
    bool defaultButton = false;
    bool HasStyle(const std::string& name) const;
};

struct DialogTemplate {
    int id = 0;
    std::string name;             // the symbol of the id, when it has one
    std::string caption;
    Rect rect;                    // dialog units
    std::vector<std::string> styles;
    std::string fontFace;
    int fontPoints = 0;
    std::vector<ControlTemplate> controls;  // in template (tab) order

    const ControlTemplate* Find(int controlId) const;
    bool HasStyle(const std::string& name) const;
};

// Reads the dialogs of a resource script.  header is the text of the
// resource header whose #define lines give the symbolic ids.  Statements the
// reader does not know are skipped; a malformed dialog is an error.
// Returns false with the reason (and the line) in error.
bool ParseResourceScript(const std::string& script, const std::string& header,
                         std::vector<DialogTemplate>& out, std::string& error);

// The #define NAME value lines of a header.
std::map<std::string, int> ParseResourceHeader(const std::string& header);

// The templates compiled into the program from ui/win32/dialogs.rc; null when
// there is no template of that id.
const DialogTemplate* FindTemplate(int id);
// All of them, in script order (then the registered ones).
std::vector<const DialogTemplate*> Templates();
// The numeric value of a symbol of ui/win32/resource.h; -1 when unknown.
int ResourceId(const std::string& symbol);
// The reading error of the compiled-in script (empty when it read cleanly).
const std::string& TemplateError();

// Registers an extra template (tests' own dialogs); replaces one of the same id.
void RegisterTemplate(const DialogTemplate& tmpl);

}  // namespace ui
