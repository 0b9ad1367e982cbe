#include "frontends/router/Router.h"

#include "frontends/common/Paths.h"
#include "frontends/common/Registry.h"
#include "frontends/common/Tokenizer.h"
#include "platform/shell/MessageBox.h"
#include "platform/shell/ShellOpen.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

// The desktop's version needs no check here: every system it runs on is
// new enough.
int Router_Run() {
    std::unique_ptr<std::FILE, FileCloser> file(Frontend_OpenFile("qvroute.ini"));
    if (!file) {
        Platform_MessageBox(nullptr, "Could not find initfile!", "Error");
        return 0;
    }
    CQVTokenizer tokens;
    if (!tokens.Read(file.get(), " =")) {
        Platform_MessageBox(nullptr, "Tokenzing.", "Error");
        return 0;
    }
    // Four keys in their order; anything else ends the run without a word.
    const char* company = Frontend_ReadKey(tokens, "company");
    const char* product = company != nullptr ? Frontend_ReadKey(tokens, "product") : nullptr;
    const char* first = product != nullptr ? Frontend_ReadKey(tokens, "first") : nullptr;
    const char* second = first != nullptr ? Frontend_ReadKey(tokens, "second") : nullptr;
    if (second == nullptr) return 0;

    CQVRegistry registry;
    std::string targetDir;
    if (!registry.ReadString(product, "TargetDir", &targetDir)) {
        Platform_ShellOpen(Frontend_DiskPath(first), std::string(), std::string());
        return 0;
    }
    // "null" opens the installation folder itself.
    const std::string relative = std::strcmp(second, kFrontendNull) == 0 ? std::string() : std::string(second);
    Platform_ShellOpen(Frontend_DiskPath(targetDir + "\\" + relative), std::string(), Frontend_DiskPath(targetDir));
    return 0;
}
