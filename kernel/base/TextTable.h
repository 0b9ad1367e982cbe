#pragma once
// The display texts of the game (menus, HUD, save slots, the loading
// screen), looked up by key, so that they live in one exchangeable file,
// "text.txt" in the data directory.

#include <string>
#include <vector>

struct TextPair {
    std::string key;
    std::string text;
};

class CQVTextTable {
public:
    // Makes the one table on the first call; false when it cannot be allocated.
    static bool Create();
    static CQVTextTable* GetInstance();

    // 1 when the file was opened (the table then holds its pairs), 0 when it
    // could not be opened (the table is left empty).
    int Load(const char* path);
    // The text of the key. A missing key is added with itself as its text,
    // so it shows as its own name and is found directly the next time.
    std::string GetText(const std::string& key);

    // In file order, followed by the keys that were asked for and missing.
    std::vector<TextPair> pairs;
    // The file last loaded.
    std::string path;
};

extern CQVTextTable* g_TextTable;
