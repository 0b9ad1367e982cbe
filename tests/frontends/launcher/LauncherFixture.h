#pragma once
// A launcher folder for the tests: "shellmedia" with a menu description and
// button files written by the launcher's own tools, in the test's folder.

#include "tests/frontends/FrontendTest.h"
#include "tools/launcherdata/LauncherData.h"

#include <string>

class LauncherFolderTest : public FrontendTest {
protected:
    void WriteMenu(const LauncherKeys& keys, const std::string& file = "menu.shl") {
        WriteText(root / "shellmedia" / file, LauncherData_Text(keys));
    }
    void WriteMenu(const LauncherMenu& menu) { WriteMenu(LauncherData_MenuKeys(menu)); }
    void WriteButton(const std::string& file, const LauncherButton& button) {
        WriteText(root / "shellmedia" / file, LauncherData_Text(LauncherData_ButtonKeys(button)));
    }
    void WritePicture(const std::string& file, int width, int height, uint32_t rgb) {
        std::filesystem::create_directories(root / "shellmedia");
        ASSERT_TRUE(LauncherData_WriteSolidBmp(root / "shellmedia" / file, width, height, rgb));
    }
};
