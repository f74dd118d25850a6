// The tokens of a resource script, as the template reader (templates.cpp)
// consumes them: names, numbers, strings with their escapes resolved, and
// punctuation, each with its line.  Comments and preprocessor lines are
// dropped here.
#pragma once

#include <string>
#include <vector>

namespace ui {
namespace resource {

struct Token {
    enum Type { End, Name, Number, String, Punct } type = End;
    std::string text;  // name, punctuation, or the string's resolved value
    long value = 0;    // numbers
    int line = 0;
    bool lineStart = false;  // first token of its line
};

// All tokens of a script; the last one is always an End token.
std::vector<Token> ReadTokens(const std::string& script);

}  // namespace resource
}  // namespace ui
