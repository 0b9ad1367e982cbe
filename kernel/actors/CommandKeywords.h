#pragma once
// The script keyword map: a message's keyword is its name with A to Z
// lowered and blanks turned into '_'. The map keeps only the hash of a
// keyword, so two keywords of equal hash share one entry (the later id wins).

#include <cstdint>
#include <vector>

class CQVKeywordMap {
public:
    static constexpr uint32_t kBucketCount = 4096;

    CQVKeywordMap();
    void Clear();
    // A node of equal hash takes the new value; otherwise a node is added at
    // the head of the bucket.
    void Insert(uint32_t hash, uint32_t value);
    uint32_t Find(uint32_t hash) const;
    uint32_t GetCount() const { return count; }

    uint32_t defaultValue = 0;

private:
    struct Node {
        uint32_t hash;
        uint32_t value;
        int32_t next;
    };
    std::vector<int32_t> buckets;
    std::vector<Node> nodes;
    uint32_t count = 0;
};

extern CQVKeywordMap g_CommandKeywords;

// Keys longer than this are not keywords.
constexpr uint32_t kKeywordMaxLength = 255;

// The hash of the keyword made from text: h = h * 65599 + c over the
// converted bytes as signed characters, in 32 bits.
uint32_t Keyword_Hash(const char* text);

// Fills the map from every message flagged as event or script command, in id order.
void CommandKeywords_Build();

// The id stored for the text's keyword, 0 ("Unknown") when there is none or
// the text is longer than a keyword may be.
uint32_t FindCommandByKeyword(const char* text);
