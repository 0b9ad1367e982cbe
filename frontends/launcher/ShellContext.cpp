#include "frontends/launcher/ShellContext.h"

#include "frontends/common/Paths.h"
#include "frontends/common/Tokenizer.h"
#include "frontends/launcher/LauncherApp.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

ShellContext* g_ShellContext = nullptr;

namespace {

enum class ValueKind { Text, Flag, List };

// The keys of a menu description in their order. A list key's value is a
// count; as many pairs of a label (dropped) and a file name follow.
struct ShellKey {
    const char* key;
    ValueKind kind;
    std::string ShellContext::*text;
    int32_t ShellContext::*number;
    std::vector<std::string> ShellContext::*list;
};

const ShellKey kShellKeys[] = {
    {"app_name", ValueKind::Text, &ShellContext::applicationName, nullptr, nullptr},
    {"app_icon", ValueKind::Text, &ShellContext::iconFile, nullptr, nullptr},
    {"app_cursor_lo", ValueKind::Text, &ShellContext::normalCursorFile, nullptr, nullptr},
    {"app_cursor_hi", ValueKind::Text, &ShellContext::hoverCursorFile, nullptr, nullptr},
    {"app_fullscreen", ValueKind::Flag, nullptr, &ShellContext::fullScreen, nullptr},
    {"app_drawrects", ValueKind::Flag, nullptr, &ShellContext::drawRects, nullptr},
    {"bg_image", ValueKind::Text, &ShellContext::backgroundImage, nullptr, nullptr},
    {"num_movies", ValueKind::List, nullptr, &ShellContext::movieCount, &ShellContext::movieFiles},
    {"play_movie", ValueKind::Flag, nullptr, &ShellContext::playMovie, nullptr},
    {"num_buttons", ValueKind::List, nullptr, &ShellContext::buttonCount, &ShellContext::buttonFiles},
};

bool IsShl(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension == ".shl";
}

// The first ".shl" file of the folder, the case of the folder's and the
// file's names aside; in name order, so the choice is the same every run.
std::string FindDescription() {
    std::error_code error;
    std::filesystem::directory_iterator it(Frontend_DiskPath(kShellMediaFolder), error);
    if (error) return {};
    std::vector<std::string> found;
    for (const auto& entry : it) {
        if (entry.is_regular_file(error) && IsShl(entry.path())) found.push_back(entry.path().string());
    }
    if (found.empty()) return {};
    return *std::min_element(found.begin(), found.end());
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool ShellContext::ParseTokens(CQVTokenizer& tokens) {
    for (const ShellKey& key : kShellKeys) {
        const char* value = Frontend_ReadKey(tokens, key.key);
        if (value == nullptr) return false;
        const bool set = std::strcmp(value, kFrontendNull) != 0;
        switch (key.kind) {
        case ValueKind::Text:
            if (set) this->*key.text = value;
            break;
        case ValueKind::Flag:
            if (set) this->*key.number = std::strcmp(value, "true") == 0 ? 1 : 0;
            break;
        case ValueKind::List:
            if (set) this->*key.number = Frontend_ReadInt(value);
            // A negative count is a huge one: the pairs then run out.
            for (uint32_t pair = 0; pair < static_cast<uint32_t>(this->*key.number); ++pair) {
                if (tokens.NextToken() == nullptr) return false;
                const char* file = tokens.NextToken();
                if (file == nullptr) return false;
                if (std::strcmp(file, kFrontendNull) != 0) (this->*key.list).push_back(file);
            }
            break;
        }
    }
    return true;
}

bool ShellContext::Parse() {
    const std::string path = FindDescription();
    std::unique_ptr<std::FILE, FileCloser> file(path.empty() ? nullptr : std::fopen(path.c_str(), "rb"));
    if (!file) {
        Launcher_Message("Error! Did not find .shl file. Exiting...");
        return false;
    }
    CQVTokenizer tokens;
    if (!tokens.Read(file.get(), " =")) {
        Launcher_Message("Error! Could not parse file. Exiting...");
        return false;
    }
    return ParseTokens(tokens);
}
