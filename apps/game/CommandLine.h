#pragma once
// The game's command-line option table: declared options with their allowed
// values, parsed once from the command line; later accepted values win.

#include <cstdint>
#include <string>
#include <vector>

struct OptionDecl {
    // allowedList: "~" (any value given as -name=value), "-" (anything,
    // the flag form included) or values separated by ':'.
    OptionDecl(const std::string& name, const std::string& allowedList, uint32_t defaultIndex);

    std::string name;
    uint32_t defaultIndex = 0;
    std::vector<std::string> allowedValues;
    uint32_t restricted = 1;
    uint32_t valueTest = 1;
};

class CommandLineOptions {
public:
    struct Entry {
        std::string name;
        std::string value;
    };

    explicit CommandLineOptions(const std::string& commandLine);

    int AddOption(const OptionDecl& declaration);
    void Parse();
    // The entry's value; "" for an index past the declarations.
    std::string GetValue(uint32_t index) const;

    std::string commandLine;
    std::vector<OptionDecl> declarations;
    std::vector<Entry> entries;
};

// Texts of at most this many characters take part in parsing; the rest of a
// longer token or value list is ignored.
constexpr size_t kOptionTextLimit = 255;

// The game's 14 options, indexed as the start-up reads them.
enum GameOption : uint32_t {
    OPT_NJOIN, OPT_ADAPTER, OPT_TQ, OPT_TF, OPT_AA, OPT_LG, OPT_LT, OPT_PD,
    OPT_S, OPT_WIN, OPT_W, OPT_H, OPT_D, OPT_LDUMP, OPT_COUNT
};
void CommandLine_DeclareGameOptions(CommandLineOptions& options);
