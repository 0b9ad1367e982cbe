#pragma once
// What the settings dialog shows about the machine: the graphics adapters,
// and for one of them the operating system, the adapter's name, its driver
// and driver version, the graphics interface's version and the physical
// memory. On this system the adapter and its driver are what OpenGL names,
// and the interface version is OpenGL's.

#include <cstdint>
#include <string>
#include <vector>

class CQVSystemInfo {
public:
    enum Text { TEXT_SYSTEM, TEXT_ADAPTER, TEXT_DRIVER, TEXT_DRIVER_VERSION, TEXT_COUNT };

    bool EnumAdapters();
    int GetAdapterCount() const { return static_cast<int>(m_AdapterNames.size()); }
    // Null past the end.
    const char* GetAdapterName(int index) const;

    // The four texts ("Unknown" until found), the interface version and the
    // memory for an adapter; false at the first step that fails, which
    // leaves the texts after it "Unknown".
    bool Collect(int adapter);
    bool GetWindowsVersion();
    bool GetAdapterInfo(int adapter);
    bool GetDirectXVersion();
    bool GetPhysicalMemory();

    const std::string& GetText(Text text) const { return m_Texts[text]; }
    // The interface version as major << 8 | minor (0x405 for 4.5), and as a number.
    uint32_t GetVersionCode() const { return m_VersionCode; }
    float GetVersionNumber() const { return m_VersionNumber; }
    uint64_t GetTotalPhysicalMemory() const { return m_TotalMemory; }

    // The parts of the OpenGL version string "4.5 (Core Profile) Mesa 22.3.6":
    // the interface version code (0 when it has none), the driver ("Mesa";
    // empty when the string names none) and its version ("22.3.6", else "0.0.0.0").
    static uint32_t ParseVersion(const std::string& version, std::string* driver, std::string* driverVersion);

private:
    // The OpenGL strings, asked for once.
    bool ProbeGraphics();

    std::string m_Texts[TEXT_COUNT];
    std::vector<std::string> m_AdapterNames;
    uint32_t m_VersionCode = 0;
    float m_VersionNumber = 0.0f;
    uint64_t m_TotalMemory = 0;
    bool m_Probed = false;
    bool m_ProbeOk = false;
    std::string m_Renderer;
    std::string m_Vendor;
    std::string m_Version;
};
