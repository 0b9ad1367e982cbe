#include "apps/game/GameMain.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const int result = WinMain(nullptr, nullptr, commandLine.c_str(), 1);
    return App_StartupFailed() ? EXIT_FAILURE : result;
}
