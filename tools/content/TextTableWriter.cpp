#include "tools/content/TextTableWriter.h"

#include <fstream>

std::string TextTable_Encode(const std::vector<std::pair<std::string, std::string>>& texts) {
    std::string file = std::to_string(texts.size()) + "\r\n";
    for (const auto& [key, text] : texts) file += key + " }\r\n" + text + " }\r\n";
    return file;
}

bool TextTable_Write(const std::string& path, const std::vector<std::pair<std::string, std::string>>& texts) {
    const std::string bytes = TextTable_Encode(texts);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}
