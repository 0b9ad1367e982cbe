// The router run as its program, headless, in a folder with its ini file;
// what it starts is recorded by the stand-in.

#include "tests/frontends/FrontendTest.h"
#include "tests/support/ChildProcess.h"
#include "tools/launcherdata/LauncherData.h"

#include <cstring>

namespace {

class Router : public FrontendTest {
protected:
    // Runs QVRoute in the test's folder with PATH led by the folder "bin";
    // its exit status, and what it wrote on standard error in *errors.
    int Run(std::string* errors = nullptr) {
        std::vector<std::string> variables;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            if (std::strncmp(*variable, "PATH=", 5) != 0) variables.push_back(*variable);
        }
        const char* path = std::getenv("PATH");
        variables.push_back("PATH=" + (root / "bin").string() + ":" + (path != nullptr ? path : ""));
        std::vector<char*> env;
        for (std::string& variable : variables) env.push_back(variable.data());
        env.push_back(nullptr);
        pid_t pid = StartProgram("QVRoute", {}, root, root / "errors.txt", env.data());
        if (pid < 0) return -1;
        const int status = WaitChildExit(pid, 30000);
        if (errors != nullptr) {
            std::ifstream in(root / "errors.txt");
            *errors = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return status;
    }
    void WriteIni(const std::string& product, const std::string& first, const std::string& second) {
        WriteText(root / "qvroute.ini", LauncherData_Text({{"company", "Marn QV"},
                                                           {"product", product},
                                                           {"first", first},
                                                           {"second", second}}));
    }
    // The installation: the product's key naming the folder "Games/Corvane",
    // which holds the program "game".
    std::filesystem::path Install() {
        const std::filesystem::path target = root / "Games" / "Corvane";
        std::filesystem::create_directories(target);
        std::filesystem::create_symlink(StandIn(), target / "game");
        EXPECT_TRUE(LauncherData_Install("Corvane", target.string(), nullptr));
        return target;
    }
    void SetUp() override {
        FrontendTest::SetUp();
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_symlink(StandIn(), root / "bin" / "xdg-open");
        std::filesystem::create_symlink(StandIn(), root / "setup");
    }
};

TEST_F(Router, AnInstalledProductStartsInItsFolder) {
    const std::filesystem::path target = Install();
    WriteIni("Corvane", "setup", "game");
    EXPECT_EQ(Run(), 0);
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.folder, target.string());
    EXPECT_EQ(record.program, "game");
    EXPECT_TRUE(record.arguments.empty());
}

TEST_F(Router, ASecondOfNullOpensTheInstallationFolder) {
    const std::filesystem::path target = Install();
    WriteIni("Corvane", "setup", "null");
    EXPECT_EQ(Run(), 0);
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.program, "xdg-open");
    EXPECT_EQ(record.folder, target.string());
    EXPECT_EQ(record.arguments, std::vector<std::string>{target.string() + "/"});
}

TEST_F(Router, WithoutTheInstallationTheFirstProgramStartsHere) {
    WriteIni("Corvane", "setup", "game");
    EXPECT_EQ(Run(), 0);
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.folder, root.string());
    EXPECT_EQ(record.program, "setup");
    // A product whose key lacks the folder counts as not installed.
    std::filesystem::remove(RecordPath());
    ASSERT_TRUE(LauncherData_Install("Other", "/nowhere", nullptr));
    WriteIni("Corvane Extra", "setup", "game");
    EXPECT_EQ(Run(), 0);
    ASSERT_TRUE(WaitForRecord(&(record = StandInRecord{})));
    EXPECT_EQ(record.program, "setup");
}

TEST_F(Router, FilesItCannotReadAreReportedOrEndItQuietly) {
    std::string errors;
    EXPECT_EQ(Run(&errors), 0);
    EXPECT_EQ(errors, "Error: Could not find initfile!\n");

    WriteText(root / "qvroute.ini", "company = " + std::string(300, 'x') + "\n");
    EXPECT_EQ(Run(&errors), 0);
    EXPECT_EQ(errors, "Error: Tokenzing.\n");

    Install();
    WriteText(root / "qvroute.ini", "product = Corvane\ncompany = Marn\nfirst = setup\nsecond = game\n");
    EXPECT_EQ(Run(&errors), 0);
    EXPECT_EQ(errors, "");
    WriteText(root / "qvroute.ini", "company = Marn\nproduct = Corvane\nfirst = setup\nsecond\n");
    EXPECT_EQ(Run(&errors), 0);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(NothingStarted());
}

}  // namespace
