#include "frontends/launcher/SystemInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemInfo, TheGraphicsVersionNamesTheInterfaceAndTheDriver) {
    const struct {
        const char* text;
        uint32_t code;
        const char* driver;
        const char* driverVersion;
    } cases[] = {
        {"4.5 (Core Profile) Mesa 22.3.6", 0x405, "Mesa", "22.3.6"},
        {"4.6.0 NVIDIA 535.54.03", 0x406, "NVIDIA", "535.54.03"},
        {"3.3 (Compatibility Profile) Mesa 23.0.0-devel (git-1234)", 0x303, "Mesa", "23.0.0-devel"},
        {"3.1", 0x301, "", "0.0.0.0"},
        {"", 0, "", "0.0.0.0"},
        {"OpenGL ES 3.2", 0, "", "0.0.0.0"},
        {"4.", 0, "", "0.0.0.0"},
    };
    for (const auto& c : cases) {
        std::string driver = "x", version = "x";
        EXPECT_EQ(CQVSystemInfo::ParseVersion(c.text, &driver, &version), c.code) << c.text;
        EXPECT_EQ(driver, c.driver) << c.text;
        EXPECT_EQ(version, c.driverVersion) << c.text;
    }
}

TEST(SystemInfo, ThisMachineIsDescribed) {
    CQVSystemInfo info;
    ASSERT_TRUE(info.EnumAdapters());
    ASSERT_EQ(info.GetAdapterCount(), 1);
    EXPECT_NE(info.GetAdapterName(0), nullptr);
    EXPECT_EQ(info.GetAdapterName(1), nullptr);
    EXPECT_EQ(info.GetAdapterName(-1), nullptr);
    ASSERT_TRUE(info.Collect(0));
    EXPECT_NE(info.GetText(CQVSystemInfo::TEXT_SYSTEM).find("Linux"), std::string::npos);
    EXPECT_EQ(info.GetText(CQVSystemInfo::TEXT_ADAPTER), info.GetAdapterName(0));
    EXPECT_NE(info.GetText(CQVSystemInfo::TEXT_DRIVER), "Unknown");
    EXPECT_GE(info.GetVersionCode(), 0x303u);
    EXPECT_GE(info.GetVersionNumber(), 3.3f);
    EXPECT_GT(info.GetTotalPhysicalMemory(), uint64_t{64} << 20);
    // An adapter that is not there stops the collection at its step.
    EXPECT_FALSE(info.Collect(1));
    EXPECT_NE(info.GetText(CQVSystemInfo::TEXT_SYSTEM), "Unknown");
    EXPECT_EQ(info.GetText(CQVSystemInfo::TEXT_ADAPTER), "Unknown");
    EXPECT_EQ(info.GetText(CQVSystemInfo::TEXT_DRIVER_VERSION), "Unknown");
}

}  // namespace
