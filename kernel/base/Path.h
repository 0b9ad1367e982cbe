#pragma once
// A file name as the engine builds it ("\Data\", "data\Mission_01.qva",
// mixed case) in the forms the file systems need: the key archives compare
// ('\' between folders, A to Z lowered) with its hash, and the name of the
// file on this disk, where a folder or file that does not exist as written
// is found case-insensitively, folder by folder.

#include <cstdint>
#include <string>
#include <string_view>

class CQVFilePath {
public:
    CQVFilePath() = default;
    explicit CQVFilePath(std::string_view name);

    // The name as given.
    std::string_view GetName() const { return std::string_view(m_text.data(), m_nameSize); }
    // '/' turned into '\' and A to Z lowered; other bytes unchanged.
    std::string_view GetKey() const { return std::string_view(m_text.data() + m_nameSize + 1, m_nameSize); }
    uint32_t GetHash() const { return m_hash; }

    // The file on this disk. An existing file or folder is found whatever
    // the case of each part; parts that do not exist keep the case written
    // (a file about to be created gets the name as given). A leading
    // separator starts at the root.
    std::string Resolve() const;

private:
    std::string m_text;  // the name, a NUL, then the key: one allocation per path
    uint32_t m_nameSize = 0;
    uint32_t m_hash = 0;
};

// True for a name relative to a folder that stays within it: not absolute
// (no leading separator, no drive), and no ".." part, with either separator.
bool Path_StaysInside(std::string_view name);

// The key form of a name: '/' turned into '\' and A to Z lowered.
void Path_MakeKey(std::string_view name, std::string* key);
// A to Z lowered only (archive entry names, whose separators are stored as '\').
void Path_LowerAscii(std::string* text);
// h = h * 65599 + c over the bytes taken as signed 8-bit values, in 32-bit
// unsigned arithmetic.
uint32_t Path_Hash(std::string_view key);
