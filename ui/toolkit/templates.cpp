// The reader of dialog templates from a resource script (templates.h): the
// dialogs' headers, their controls, and the kind each control is of.  The
// tokens come from templates_tokens.cpp; the compiled-in templates are kept
// in templates_registry.cpp.
#include "ui/toolkit/templates.h"
#include "ui/toolkit/templates_tokens.h"

#include <algorithm>
#include <cctype>

namespace ui {

const char* KindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::RadioButton: return "radio button";
    case ControlKind::GroupBox: return "group box";
    case ControlKind::Static: return "static";
    case ControlKind::Edit: return "edit";
    case ControlKind::ListBox: return "list box";
    case ControlKind::ComboBox: return "combo box";
    case ControlKind::Progress: return "progress bar";
    case ControlKind::Tab: return "tab";
    case ControlKind::Other: return "other";
    }
    return "other";
}

bool ControlTemplate::HasStyle(const std::string& name) const {
    return std::find(styles.begin(), styles.end(), name) != styles.end();
}

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    for (const auto& c : controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

bool DialogTemplate::HasStyle(const std::string& name) const {
    return std::find(styles.begin(), styles.end(), name) != styles.end();
}

namespace {

std::string Upper(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

using resource::Token;

// ---------------------------------------------------------------------------
class Parser {
public:
    Parser(std::vector<Token> tokens, std::map<std::string, int> symbols)
        : m_t(std::move(tokens)), m_sym(std::move(symbols)) {}

    bool Run(std::vector<DialogTemplate>& out, std::string& error) {
        while (!AtEnd()) {
            // A resource statement: name-or-number TYPE ...
            const Token& head = Cur();
            if (head.type == Token::Name && (head.text == "LANGUAGE" || head.text == "STRINGTABLE")) {
                SkipStatement();
                continue;
            }
            if (head.type != Token::Name && head.type != Token::Number) {
                Next();
                continue;
            }
            const Token& type = At(1);
            if (type.type == Token::Name && (type.text == "DIALOGEX" || type.text == "DIALOG")) {
                DialogTemplate d;
                if (!Dialog(d)) {
                    error = m_error;
                    return false;
                }
                out.push_back(std::move(d));
            } else {
                SkipStatement();
            }
        }
        return true;
    }

private:
    const Token& Cur() const { return m_t[std::min(m_p, m_t.size() - 1)]; }
    const Token& At(size_t ahead) const { return m_t[std::min(m_p + ahead, m_t.size() - 1)]; }
    bool AtEnd() const { return Cur().type == Token::End; }
    void Next() {
        if (!AtEnd()) ++m_p;
    }
    bool IsPunct(const char* p) const { return Cur().type == Token::Punct && Cur().text == p; }
    bool IsName(const char* n) const { return Cur().type == Token::Name && Cur().text == n; }
    bool Fail(const std::string& what) {
        m_error = "line " + std::to_string(Cur().line) + ": " + what;
        return false;
    }
    bool Comma() {
        if (!IsPunct(",")) return Fail("',' expected");
        Next();
        return true;
    }
    bool OptComma() {
        if (IsPunct(",")) {
            Next();
            return true;
        }
        return false;
    }
    bool IsBegin() const { return (Cur().type == Token::Name && Cur().text == "BEGIN") || (Cur().type == Token::Punct && Cur().text == "{"); }
    bool IsEnd() const { return (Cur().type == Token::Name && Cur().text == "END") || (Cur().type == Token::Punct && Cur().text == "}"); }

    // Skips one statement of another resource type, with its BEGIN/END block.
    void SkipStatement() {
        int line = Cur().line;
        Next();
        while (!AtEnd() && !(Cur().lineStart && Cur().line != line && !IsBegin())) {
            if (IsBegin()) {
                SkipBlock();
                return;
            }
            Next();
        }
    }
    void SkipBlock() {
        int depth = 0;
        do {
            if (IsBegin()) ++depth;
            else if (IsEnd()) --depth;
            Next();
        } while (!AtEnd() && depth > 0);
    }

    // An integer expression: numbers and ids joined by + - |, unary minus.
    bool Integer(long& v) {
        v = 0;
        int op = '+';
        bool any = false;
        while (true) {
            bool neg = false;
            while (IsPunct("-")) {
                neg = !neg;
                Next();
            }
            long term;
            if (Cur().type == Token::Number) {
                term = Cur().value;
            } else if (Cur().type == Token::Name) {
                auto it = m_sym.find(Cur().text);
                if (it == m_sym.end()) return Fail("unknown symbol " + Cur().text);
                term = it->second;
            } else {
                return any ? Fail("number expected") : Fail("number expected");
            }
            Next();
            if (neg) term = -term;
            v = op == '+' ? v + term : op == '-' ? v - term : (v | term);
            any = true;
            if (IsPunct("+") || IsPunct("-") || IsPunct("|")) {
                op = Cur().text[0];
                Next();
                continue;
            }
            return true;
        }
    }

    // A style expression: names, NOT names and numbers joined by |.
    void Style(std::vector<std::string>& names, std::vector<std::string>& notNames) {
        while (true) {
            bool isNot = false;
            if (IsName("NOT")) {
                isNot = true;
                Next();
            }
            if (Cur().type == Token::Name) {
                (isNot ? notNames : names).push_back(Cur().text);
                Next();
            } else if (Cur().type == Token::Number) {
                Next();
            } else if (IsPunct("(")) {
                Next();
                continue;
            } else {
                return;
            }
            while (IsPunct(")")) Next();
            if (IsPunct("|")) {
                Next();
                continue;
            }
            return;
        }
    }

    bool Rect4(Rect& r) {
        long x, y, cx, cy;
        if (!Integer(x) || !Comma() || !Integer(y) || !Comma() || !Integer(cx) || !Comma() || !Integer(cy)) return false;
        r = Rect{int(x), int(y), int(x + cx), int(y + cy)};
        return true;
    }

    bool Dialog(DialogTemplate& d) {
        if (Cur().type == Token::Name) {
            d.name = Cur().text;
            auto it = m_sym.find(d.name);
            if (it == m_sym.end()) return Fail("unknown dialog id " + d.name);
            d.id = it->second;
        } else {
            d.id = static_cast<int>(Cur().value);
        }
        Next();
        Next();  // DIALOG / DIALOGEX
        while (IsName("DISCARDABLE") || IsName("MOVEABLE") || IsName("PURE") || IsName("PRELOAD") || IsName("LOADONCALL"))
            Next();
        if (!Rect4(d.rect)) return false;
        if (OptComma()) {
            long help;
            if (!Integer(help)) return false;
        }
        // Optional statements up to BEGIN.
        while (!AtEnd() && !IsBegin()) {
            if (IsName("STYLE")) {
                Next();
                std::vector<std::string> notNames;
                Style(d.styles, notNames);
            } else if (IsName("EXSTYLE")) {
                Next();
                std::vector<std::string> a, b;
                Style(a, b);
            } else if (IsName("CAPTION")) {
                Next();
                if (Cur().type != Token::String) return Fail("caption text expected");
                d.caption = Cur().text;
                Next();
            } else if (IsName("FONT")) {
                Next();
                long pts;
                if (!Integer(pts) || !Comma()) return false;
                d.fontPoints = static_cast<int>(pts);
                if (Cur().type != Token::String) return Fail("font face expected");
                d.fontFace = Cur().text;
                Next();
                while (OptComma()) {
                    long ignored;
                    if (!Integer(ignored)) return false;
                }
            } else if (IsName("MENU") || IsName("CLASS")) {
                Next();
                Next();
            } else if (IsName("LANGUAGE")) {
                Next();
                long a, b;
                if (!Integer(a) || !Comma() || !Integer(b)) return false;
            } else if (IsName("CHARACTERISTICS") || IsName("VERSION")) {
                Next();
                Next();
            } else {
                return Fail("unexpected " + Cur().text + " in dialog header");
            }
        }
        if (!IsBegin()) return Fail("BEGIN expected");
        Next();
        while (!AtEnd() && !IsEnd()) {
            ControlTemplate c;
            if (!Control(c)) return false;
            d.controls.push_back(std::move(c));
        }
        if (!IsEnd()) return Fail("END expected");
        Next();
        return true;
    }

    bool Text(std::string& text) {
        if (Cur().type == Token::String) {
            text = Cur().text;
            Next();
            return true;
        }
        long v;  // an icon's resource id
        if (!Integer(v)) return false;
        text = std::to_string(v);
        return true;
    }

    bool Control(ControlTemplate& c) {
        if (Cur().type != Token::Name) return Fail("control statement expected");
        std::string st = Cur().text;
        c.statement = st;
        Next();
        long id;
        static const char* const kTextFirst[] = {"LTEXT", "RTEXT", "CTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "PUSHBOX",
                                                 "CHECKBOX", "AUTOCHECKBOX", "STATE3", "AUTO3STATE", "RADIOBUTTON",
                                                 "AUTORADIOBUTTON", "GROUPBOX"};
        bool textFirst = std::find_if(std::begin(kTextFirst), std::end(kTextFirst),
                                      [&](const char* s) { return st == s; }) != std::end(kTextFirst);
        if (st == "CONTROL") {
            if (!Text(c.text) || !Comma() || !Integer(id) || !Comma()) return false;
            if (Cur().type == Token::String) {
                c.className = Cur().text;
            } else if (Cur().type == Token::Name) {
                c.className = Cur().text;  // WC_TABCONTROL, PROGRESS_CLASS, ...
            } else {
                return Fail("class expected");
            }
            Next();
            if (!Comma()) return false;
            Style(c.styles, c.notStyles);
            if (!Comma() || !Rect4(c.rect)) return false;
        } else if (textFirst || st == "ICON") {
            if (!Text(c.text) || !Comma() || !Integer(id) || !Comma()) return false;
            if (st == "ICON") {
                long x, y;
                if (!Integer(x) || !Comma() || !Integer(y)) return false;
                c.rect = Rect{int(x), int(y), int(x), int(y)};
                if (OptComma()) {
                    long cx, cy;
                    if (!Integer(cx) || !Comma() || !Integer(cy)) return false;
                    c.rect.right += int(cx);
                    c.rect.bottom += int(cy);
                    if (OptComma()) Style(c.styles, c.notStyles);
                }
            } else {
                if (!Rect4(c.rect)) return false;
                if (OptComma()) Style(c.styles, c.notStyles);
            }
        } else if (st == "EDITTEXT" || st == "COMBOBOX" || st == "LISTBOX" || st == "SCROLLBAR") {
            if (!Integer(id) || !Comma() || !Rect4(c.rect)) return false;
            if (OptComma()) Style(c.styles, c.notStyles);
        } else {
            return Fail("unknown control statement " + st);
        }
        if (OptComma()) {  // extended style
            std::vector<std::string> a, b;
            Style(a, b);
        }
        c.id = static_cast<int>(id);
        Classify(c);
        return true;
    }

    static void Classify(ControlTemplate& c) {
        const std::string& st = c.statement;
        auto has = [&](const char* s) { return c.HasStyle(s); };
        if (st == "PUSHBUTTON" || st == "PUSHBOX") {
            c.kind = ControlKind::Button;
            c.className = "Button";
        } else if (st == "DEFPUSHBUTTON") {
            c.kind = ControlKind::Button;
            c.className = "Button";
            c.defaultButton = true;
        } else if (st == "CHECKBOX" || st == "AUTOCHECKBOX" || st == "STATE3" || st == "AUTO3STATE") {
            c.kind = ControlKind::CheckBox;
            c.className = "Button";
        } else if (st == "RADIOBUTTON" || st == "AUTORADIOBUTTON") {
            c.kind = ControlKind::RadioButton;
            c.className = "Button";
        } else if (st == "GROUPBOX") {
            c.kind = ControlKind::GroupBox;
            c.className = "Button";
        } else if (st == "LTEXT" || st == "RTEXT" || st == "CTEXT" || st == "ICON") {
            c.kind = ControlKind::Static;
            c.className = "Static";
            if (st == "CTEXT") c.styles.push_back("SS_CENTER");
            if (st == "RTEXT") c.styles.push_back("SS_RIGHT");
        } else if (st == "EDITTEXT") {
            c.kind = ControlKind::Edit;
            c.className = "Edit";
        } else if (st == "COMBOBOX") {
            c.kind = ControlKind::ComboBox;
            c.className = "ComboBox";
        } else if (st == "LISTBOX") {
            c.kind = ControlKind::ListBox;
            c.className = "ListBox";
        } else if (st == "CONTROL") {
            std::string cls = Upper(c.className);
            if (cls == "BUTTON") {
                if (has("BS_AUTOCHECKBOX") || has("BS_CHECKBOX") || has("BS_AUTO3STATE") || has("BS_3STATE"))
                    c.kind = ControlKind::CheckBox;
                else if (has("BS_AUTORADIOBUTTON") || has("BS_RADIOBUTTON"))
                    c.kind = ControlKind::RadioButton;
                else if (has("BS_GROUPBOX"))
                    c.kind = ControlKind::GroupBox;
                else
                    c.kind = ControlKind::Button;
                c.defaultButton = has("BS_DEFPUSHBUTTON");
            } else if (cls == "STATIC") {
                c.kind = ControlKind::Static;
            } else if (cls == "EDIT") {
                c.kind = ControlKind::Edit;
            } else if (cls == "LISTBOX") {
                c.kind = ControlKind::ListBox;
            } else if (cls == "COMBOBOX") {
                c.kind = ControlKind::ComboBox;
            } else if (cls == "MSCTLS_PROGRESS32" || cls == "PROGRESS_CLASS") {
                c.kind = ControlKind::Progress;
            } else if (cls == "SYSTABCONTROL32" || cls == "WC_TABCONTROL") {
                c.kind = ControlKind::Tab;
            } else {
                c.kind = ControlKind::Other;
            }
        }
        auto isNot = [&](const char* s) { return std::find(c.notStyles.begin(), c.notStyles.end(), s) != c.notStyles.end(); };
        c.visible = !isNot("WS_VISIBLE");
        c.enabled = !has("WS_DISABLED") || isNot("WS_DISABLED");
    }

    std::vector<Token> m_t;
    size_t m_p = 0;
    std::map<std::string, int> m_sym;
    std::string m_error;
};

}  // namespace

bool ParseResourceScript(const std::string& script, const std::string& header,
                         std::vector<DialogTemplate>& out, std::string& error) {
    auto symbols = ParseResourceHeader(header);
    // Symbols the Windows headers give every script.
    symbols.emplace("IDOK", 1);
    symbols.emplace("IDCANCEL", 2);
    symbols.emplace("IDC_STATIC", -1);
    Parser parser(resource::ReadTokens(script), std::move(symbols));
    error.clear();
    return parser.Run(out, error);
}

}  // namespace ui
