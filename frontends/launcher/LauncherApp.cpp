#include "frontends/launcher/LauncherApp.h"

#include "frontends/launcher/ShellContext.h"
#include "frontends/launcher/ShellDlg.h"
#include "platform/shell/MessageBox.h"

#include <memory>
#include <new>

void Launcher_Message(const std::string& text) { Platform_MessageBox(nullptr, text, kLauncherName); }

bool CQVLauncherApp::InitInstance() {
    std::unique_ptr<ShellContext> context(new (std::nothrow) ShellContext());
    if (!context) {
        Launcher_Message("Error allocating context");
        return false;
    }
    g_ShellContext = context.get();
    if (!context->Parse()) {
        Launcher_Message("Error creating context");
        g_ShellContext = nullptr;
        return false;
    }
    {
        CQVShellDlg shell;
        shell.DoModal();
    }
    g_ShellContext = nullptr;
    return false;
}
