// The resource header reader and the templates compiled into the program:
// the script and header texts of resource_text.cpp, read once on first use,
// and the tests' own templates registered beside them.
#include "ui/toolkit/templates.h"

#include <cstdlib>
#include <memory>
#include <mutex>

namespace ui {

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

// ---------------------------------------------------------------------------
// The templates compiled into the program (see resource_text.cpp).
extern const char* const kDialogsScript;
extern const char* const kResourceHeader;

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
        r.symbols = ParseResourceHeader(kResourceHeader);
        std::vector<DialogTemplate> read;
        if (ParseResourceScript(kDialogsScript, kResourceHeader, read, r.error))
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
