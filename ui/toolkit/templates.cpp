#include "ui/toolkit/templates.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>

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

// ---------------------------------------------------------------------------
// Tokens of a resource script.
struct Token {
    enum Type { End, Name, Number, String, Punct } type = End;
    std::string text;  // name, punctuation, or the string's resolved value
    long value = 0;    // numbers
    int line = 0;
    bool lineStart = false;  // first token of its line
};

class Lexer {
public:
    explicit Lexer(const std::string& s) : m_s(s) {}

    std::vector<Token> All() {
        std::vector<Token> out;
        bool atLineStart = true;
        while (true) {
            // White space, comments and preprocessor lines.
            while (m_i < m_s.size()) {
                char c = m_s[m_i];
                if (c == '\n') {
                    ++m_line;
                    ++m_i;
                    atLineStart = true;
                } else if (std::isspace(static_cast<unsigned char>(c))) {
                    ++m_i;
                } else if (c == '/' && Peek(1) == '/') {
                    while (m_i < m_s.size() && m_s[m_i] != '\n') ++m_i;
                } else if (c == '/' && Peek(1) == '*') {
                    m_i += 2;
                    while (m_i < m_s.size() && !(m_s[m_i] == '*' && Peek(1) == '/')) {
                        if (m_s[m_i] == '\n') ++m_line;
                        ++m_i;
                    }
                    m_i += 2;
                } else if (c == '#' && atLineStart) {
                    // Directives are the preprocessor's business; the script
                    // read here holds dialogs only.
                    while (m_i < m_s.size() && m_s[m_i] != '\n') {
                        if (m_s[m_i] == '\\' && Peek(1) == '\n') {
                            ++m_line;
                            ++m_i;
                        }
                        ++m_i;
                    }
                } else {
                    break;
                }
            }
            Token t;
            t.line = m_line;
            t.lineStart = atLineStart;
            atLineStart = false;
            if (m_i >= m_s.size()) {
                out.push_back(t);
                return out;
            }
            char c = m_s[m_i];
            if (c == '"') {
                t.type = Token::String;
                t.text = ReadString();
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                t.type = Token::Number;
                size_t start = m_i;
                while (m_i < m_s.size() && std::isalnum(static_cast<unsigned char>(m_s[m_i]))) ++m_i;
                std::string num = m_s.substr(start, m_i - start);
                while (!num.empty() && (num.back() == 'L' || num.back() == 'l' || num.back() == 'U' || num.back() == 'u'))
                    num.pop_back();
                t.value = std::strtol(num.c_str(), nullptr, 0);
                t.text = num;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                t.type = Token::Name;
                size_t start = m_i;
                while (m_i < m_s.size() && (std::isalnum(static_cast<unsigned char>(m_s[m_i])) || m_s[m_i] == '_')) ++m_i;
                t.text = m_s.substr(start, m_i - start);
            } else {
                t.type = Token::Punct;
                t.text = std::string(1, c);
                ++m_i;
            }
            out.push_back(t);
        }
    }

private:
    char Peek(size_t ahead) const { return m_i + ahead < m_s.size() ? m_s[m_i + ahead] : '\0'; }

    // A string literal: "" stands for a quote, backslash escapes as the
    // resource compiler reads them.
    std::string ReadString() {
        std::string v;
        ++m_i;  // opening quote
        while (m_i < m_s.size()) {
            char c = m_s[m_i++];
            if (c == '"') {
                if (m_i < m_s.size() && m_s[m_i] == '"') {
                    v += '"';
                    ++m_i;
                    continue;
                }
                break;
            }
            if (c == '\\' && m_i < m_s.size()) {
                char e = m_s[m_i++];
                switch (e) {
                case 'n': v += '\n'; break;
                case 't': v += '\t'; break;
                case 'r': v += '\r'; break;
                case '\\': v += '\\'; break;
                case '"': v += '"'; break;
                default: v += '\\'; v += e; break;
                }
                continue;
            }
            if (c == '\n') ++m_line;
            v += c;
        }
        return v;
    }

    const std::string& m_s;
    size_t m_i = 0;
    int m_line = 1;
};

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

std::map<std::string, int> ParseResourceHeader(const std::string& header) {
    std::map<std::string, int> out;
    size_t pos = 0;
    while (pos < header.size()) {
        size_t eol = header.find('\n', pos);
        if (eol == std::string::npos) eol = header.size();
        std::string line = header.substr(pos, eol - pos);
        pos = eol + 1;
        size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || line.compare(i, 7, "#define") != 0) continue;
        i += 7;
        size_t n0 = line.find_first_not_of(" \t", i);
        if (n0 == std::string::npos || n0 == i) continue;
        size_t n1 = line.find_first_of(" \t", n0);
        if (n1 == std::string::npos) continue;
        std::string name = line.substr(n0, n1 - n0);
        size_t v0 = line.find_first_not_of(" \t(", n1);
        if (v0 == std::string::npos) continue;
        char* end = nullptr;
        long v = std::strtol(line.c_str() + v0, &end, 0);
        if (end == line.c_str() + v0) continue;
        out[name] = static_cast<int>(v);
    }
    return out;
}

bool ParseResourceScript(const std::string& script, const std::string& header,
                         std::vector<DialogTemplate>& out, std::string& error) {
    auto symbols = ParseResourceHeader(header);
    // Symbols the Windows headers give every script.
    symbols.emplace("IDOK", 1);
    symbols.emplace("IDCANCEL", 2);
    symbols.emplace("IDC_STATIC", -1);
    Lexer lexer(script);
    Parser parser(lexer.All(), std::move(symbols));
    error.clear();
    return parser.Run(out, error);
}

// ---------------------------------------------------------------------------
// The templates compiled into the program (see resource_text.cpp).
extern const char* const kDialogsScript;
extern const char* const kResourceHeader;
extern const char* const kConfigIdsHeader;

namespace {
struct Registry {
    std::mutex mutex;
    bool loaded = false;
    std::vector<std::unique_ptr<DialogTemplate>> templates;  // stable addresses
    std::map<std::string, int> symbols;
    std::string error;
};

Registry& Reg() {
    static Registry r;
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.loaded) {
        r.loaded = true;
        // resource.h includes the editor's id header; the reader follows no
        // includes, so both texts are read as one.
        const std::string header = std::string(kResourceHeader) + "\n" + kConfigIdsHeader;
        r.symbols = ParseResourceHeader(header);
        std::vector<DialogTemplate> read;
        if (ParseResourceScript(kDialogsScript, header, read, r.error))
            for (auto& t : read) r.templates.push_back(std::make_unique<DialogTemplate>(std::move(t)));
    }
    return r;
}
}  // namespace

std::vector<const DialogTemplate*> Templates() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<const DialogTemplate*> out;
    for (const auto& t : r.templates) out.push_back(t.get());
    return out;
}

const DialogTemplate* FindTemplate(int id) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& t : r.templates)
        if (t->id == id) return t.get();
    return nullptr;
}

int ResourceId(const std::string& symbol) {
    Registry& r = Reg();
    auto it = r.symbols.find(symbol);
    return it == r.symbols.end() ? -1 : it->second;
}

const std::string& TemplateError() { return Reg().error; }

void RegisterTemplate(const DialogTemplate& tmpl) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& t : r.templates) {
        if (t->id == tmpl.id) {
            *t = tmpl;
            return;
        }
    }
    r.templates.push_back(std::make_unique<DialogTemplate>(tmpl));
}

}  // namespace ui
