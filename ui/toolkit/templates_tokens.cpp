// The tokenizer of resource scripts: white space, comments and preprocessor
// lines skipped, string literals read as the resource compiler reads them.
#include "ui/toolkit/templates_tokens.h"

#include <cctype>
#include <cstdlib>

namespace ui {
namespace resource {

namespace {

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

}  // namespace

std::vector<Token> ReadTokens(const std::string& script) { return Lexer(script).All(); }

}  // namespace resource
}  // namespace ui
