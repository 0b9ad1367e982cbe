#include "kernel/actors/CommandKeywords.h"

#include "kernel/actors/Registries.h"

CQVKeywordMap g_CommandKeywords;

CQVKeywordMap::CQVKeywordMap() : buckets(kBucketCount, -1) {}

void CQVKeywordMap::Clear()
{
    buckets.assign(kBucketCount, -1);
    nodes.clear();
    count = 0;
}

void CQVKeywordMap::Insert(uint32_t hash, uint32_t value)
{
    int32_t& head = buckets[hash & (kBucketCount - 1)];
    for (int32_t i = head; i >= 0; i = nodes[i].next) {
        if (nodes[i].hash == hash) {
            nodes[i].value = value;
            return;
        }
    }
    nodes.push_back(Node{hash, value, head});
    head = static_cast<int32_t>(nodes.size() - 1);
    ++count;
}

uint32_t CQVKeywordMap::Find(uint32_t hash) const
{
    for (int32_t i = buckets[hash & (kBucketCount - 1)]; i >= 0; i = nodes[i].next) {
        if (nodes[i].hash == hash)
            return nodes[i].value;
    }
    return defaultValue;
}

namespace {

// Hashes the converted key without building it; false when it is too long.
bool HashKeyword(const char* text, uint32_t& hash)
{
    uint32_t h = 0;
    uint32_t length = 0;
    for (const char* p = text; *p; ++p) {
        if (++length > kKeywordMaxLength)
            return false;
        char c = *p;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == ' ')
            c = '_';
        h = h * 65599u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    }
    hash = h;
    return true;
}

}  // namespace

uint32_t Keyword_Hash(const char* text)
{
    uint32_t hash = 0;
    HashKeyword(text, hash);
    return hash;
}

void CommandKeywords_Build()
{
    g_CommandKeywords.Clear();
    for (uint32_t id = 0; id < g_CommandDescs.size(); ++id) {
        const CommandDesc& desc = g_CommandDescs[id];
        uint32_t hash = 0;
        if ((desc.flags & (COMMAND_EVENT | COMMAND_SCRIPT)) && HashKeyword(desc.name.c_str(), hash))
            g_CommandKeywords.Insert(hash, id);
    }
}

uint32_t FindCommandByKeyword(const char* text)
{
    uint32_t hash = 0;
    if (!text || !HashKeyword(text, hash))
        return g_CommandKeywords.defaultValue;
    return g_CommandKeywords.Find(hash);
}
