#include "apps/game/CommandLine.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// One piece of text split the way the runtime's strtok splits it: leading
// delimiters are skipped, the piece ends at the next delimiter, which is
// consumed. Returns false when nothing but delimiters remains.
bool NextPiece(const std::string& text, size_t& pos, const char* delimiters, std::string& piece) {
    while (pos < text.size() && std::strchr(delimiters, text[pos]) != nullptr) ++pos;
    if (pos >= text.size()) return false;
    size_t end = pos;
    while (end < text.size() && std::strchr(delimiters, text[end]) == nullptr) ++end;
    piece.assign(text, pos, end - pos);
    pos = end < text.size() ? end + 1 : end;
    return true;
}

std::string Truncated(const std::string& text) {
    return text.size() > kOptionTextLimit ? text.substr(0, kOptionTextLimit) : text;
}

struct Candidate {
    std::string name;
    std::string value;
    bool given = false;
};

Candidate ParseToken(const std::string& rawToken) {
    const std::string token = Truncated(rawToken);
    size_t pos = 0;
    std::string name;
    if (token.empty() || token[0] != '-' || !NextPiece(token, pos, "-=", name)) {
        return Candidate{token, std::string("Error!"), false};
    }
    // Without a value this is the flag form, which only free-form options accept.
    std::string value("1");
    const bool given = NextPiece(token, pos, "=", value);
    return Candidate{std::move(name), std::move(value), given};
}

}  // namespace

OptionDecl::OptionDecl(const std::string& optionName, const std::string& allowedList, uint32_t defaultIdx)
    : name(optionName), defaultIndex(defaultIdx) {
    if (allowedList == "~") {
        restricted = 0;
    } else if (allowedList == "-") {
        valueTest = 0;
    } else {
        const std::string list = Truncated(allowedList);
        size_t pos = 0;
        std::string value;
        while (NextPiece(list, pos, ":", value)) allowedValues.push_back(value);
    }
}

CommandLineOptions::CommandLineOptions(const std::string& text) : commandLine(text) {}

int CommandLineOptions::AddOption(const OptionDecl& declaration) {
    declarations.push_back(declaration);
    // A default index past the list falls back to "0", as an empty list does.
    const bool hasDefault = declaration.defaultIndex < declaration.allowedValues.size();
    entries.push_back(Entry{declaration.name, hasDefault ? declaration.allowedValues[declaration.defaultIndex] : "0"});
    return 1;
}

void CommandLineOptions::Parse() {
    size_t pos = 0;
    std::string token;
    while (NextPiece(commandLine, pos, " ", token)) {
        const Candidate candidate = ParseToken(token);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].name != candidate.name) continue;
            const OptionDecl& decl = declarations[i];
            bool accept;
            if (!decl.valueTest) {
                accept = true;
            } else if (!decl.restricted) {
                accept = candidate.given;
            } else {
                accept = candidate.given && std::find(decl.allowedValues.begin(), decl.allowedValues.end(),
                                                      candidate.value) != decl.allowedValues.end();
            }
            if (accept) entries[i].value = candidate.value;
            break;
        }
    }
}

std::string CommandLineOptions::GetValue(uint32_t index) const {
    return index < entries.size() ? entries[index].value : std::string();
}

void CommandLine_DeclareGameOptions(CommandLineOptions& options) {
    static const struct {
        const char* name;
        const char* allowed;
        uint32_t defaultIndex;
    } kGameOptions[OPT_COUNT] = {
        {"njoin", "~", 0},     {"adapter", "~", 0},
        {"tq", "0:16:32", 0},  {"tf", "0:1:2", 2},
        {"aa", "0:4", 0},      {"lg", "0:1:2", 1},
        {"lt", "0:1:2", 2},    {"pd", "0:1:2", 1},
        {"s", "0:1", 1},       {"win", "0:1", 0},
        {"w", "800:1024:1280:1600", 0}, {"h", "600:768:960:1200", 0},
        {"d", "16:32", 1},     {"ldump", "0:1", 0},
    };
    for (const auto& option : kGameOptions) options.AddOption(OptionDecl(option.name, option.allowed, option.defaultIndex));
}
