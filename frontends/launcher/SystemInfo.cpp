#include "frontends/launcher/SystemInfo.h"

#include "platform/shell/SystemInfo.h"

#include <cstdlib>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool CQVSystemInfo::ProbeGraphics() {
    if (!m_Probed) {
        m_Probed = true;
        PlatformGraphicsInfo info;
        m_ProbeOk = Platform_GetGraphicsInfo(&info);
        m_Renderer = info.renderer;
        m_Vendor = info.vendor;
        m_Version = info.version;
    }
    return m_ProbeOk;
}

bool CQVSystemInfo::EnumAdapters() {
    m_AdapterNames.clear();
    if (!ProbeGraphics()) return false;
    // OpenGL answers for the adapter the display runs on: one adapter.
    m_AdapterNames.push_back(m_Renderer);
    return true;
}

const char* CQVSystemInfo::GetAdapterName(int index) const {
    if (index < 0 || index >= GetAdapterCount()) return nullptr;
    return m_AdapterNames[static_cast<size_t>(index)].c_str();
}

bool CQVSystemInfo::Collect(int adapter) {
    for (std::string& text : m_Texts) text = "Unknown";
    return GetWindowsVersion() && GetAdapterInfo(adapter) && GetDirectXVersion() && GetPhysicalMemory();
}

bool CQVSystemInfo::GetWindowsVersion() {
    PlatformSystemVersion version;
    if (!Platform_GetSystemVersion(&version)) return false;
    std::string kernel = version.kernelName + " " + version.kernelRelease + " " + version.machine;
    m_Texts[TEXT_SYSTEM] = version.distribution.empty() ? kernel : version.distribution + ", " + kernel;
    return true;
}

bool CQVSystemInfo::GetAdapterInfo(int adapter) {
    if (adapter != 0 || !ProbeGraphics()) return false;
    std::string driver, driverVersion;
    ParseVersion(m_Version, &driver, &driverVersion);
    m_Texts[TEXT_ADAPTER] = m_Renderer;
    m_Texts[TEXT_DRIVER] = driver.empty() ? m_Vendor : driver;
    m_Texts[TEXT_DRIVER_VERSION] = driverVersion;
    return true;
}

bool CQVSystemInfo::GetDirectXVersion() {
    if (!ProbeGraphics()) return false;
    std::string driver, driverVersion;
    m_VersionCode = ParseVersion(m_Version, &driver, &driverVersion);
    if (m_VersionCode == 0) return false;
    const uint32_t minor = m_VersionCode & 0xFF;
    m_VersionNumber = static_cast<float>(m_VersionCode >> 8) + static_cast<float>(minor) / (minor < 10 ? 10.0f : 100.0f);
    return true;
}

bool CQVSystemInfo::GetPhysicalMemory() {
    m_TotalMemory = Platform_GetPhysicalMemory();
    return true;
}

uint32_t CQVSystemInfo::ParseVersion(const std::string& version, std::string* driver, std::string* driverVersion) {
    *driver = {};
    *driverVersion = "0.0.0.0";
    // "major.minor[.release]" first.
    size_t at = 0;
    if (at >= version.size() || !IsDigit(version[at])) return 0;
    const long major = std::strtol(version.c_str(), nullptr, 10);
    while (at < version.size() && IsDigit(version[at])) ++at;
    if (at >= version.size() || version[at] != '.' || at + 1 >= version.size() || !IsDigit(version[at + 1])) return 0;
    const long minor = std::strtol(version.c_str() + at + 1, nullptr, 10);
    while (at < version.size() && version[at] != ' ') ++at;
    // Then the vendor's part: a profile in brackets, the driver's name and
    // its version, the first word that starts with a digit.
    std::string rest = version.substr(at);
    const size_t open = rest.find('(');
    const size_t close = rest.find(')');
    if (open != std::string::npos && close != std::string::npos && open < close) rest.erase(open, close - open + 1);
    std::string name;
    size_t word = 0;
    while (word < rest.size()) {
        while (word < rest.size() && rest[word] == ' ') ++word;
        size_t end = word;
        while (end < rest.size() && rest[end] != ' ') ++end;
        if (end > word) {
            const std::string token = rest.substr(word, end - word);
            if (IsDigit(token[0])) {
                *driverVersion = token;
                break;
            }
            name += (name.empty() ? "" : " ") + token;
        }
        word = end;
    }
    *driver = name;
    if (major <= 0 || major > 255 || minor < 0 || minor > 255) return 0;
    return static_cast<uint32_t>(major) << 8 | static_cast<uint32_t>(minor);
}
