// Ambrel: the launcher. Started in the folder that holds "shellmedia".

#include "frontends/launcher/LauncherApp.h"
#include "platform/shell/ShellSound.h"

int main() {
    CQVLauncherApp app;
    app.InitInstance();
    Platform_CloseSound();
    return 0;
}
