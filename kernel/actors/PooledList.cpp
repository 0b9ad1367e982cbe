#include "kernel/actors/PooledList.h"

PooledList::PooledList() : m_Head{&m_Head, &m_Head, 0} {}

PooledList::PooledList(const PooledList& other) : PooledList() { *this = other; }

PooledList& PooledList::operator=(const PooledList& other) {
    if (&other == this) return *this;
    Clear();
    for (uint32_t value : other.GetValues()) Append(value);
    return *this;
}

PooledList::~PooledList() { Clear(); }

void PooledList::Clear() {
    while (m_Head.next != &m_Head) {
        PoolNode* node = m_Head.next;
        m_Head.next = node->next;
        node->next->previous = &m_Head;
        g_NodePool.Free(node);
        --m_Count;
    }
}

bool PooledList::Append(uint32_t value) {
    PoolNode* node = g_NodePool.Alloc();
    if (node == nullptr) return false;
    node->value = value;
    node->next = &m_Head;
    node->previous = m_Head.previous;
    m_Head.previous->next = node;
    m_Head.previous = node;
    ++m_Count;
    return true;
}

std::vector<uint32_t> PooledList::GetValues() const {
    std::vector<uint32_t> values;
    values.reserve(m_Count);
    for (const PoolNode* node = m_Head.next; node != &m_Head; node = node->next) {
        values.push_back(static_cast<uint32_t>(node->value));
    }
    return values;
}

HashMap::HashMap(uint32_t bucketCount) {
    m_BucketCount = 1;
    while (m_BucketCount < bucketCount) m_BucketCount <<= 1;
    m_Buckets.assign(m_BucketCount, nullptr);
}

HashMap::~HashMap() {
    for (Node* node : m_Buckets) {
        while (node) {
            Node* next = node->next;
            delete node;
            node = next;
        }
    }
}

uint32_t HashMap::Hash(const char* key) {
    uint32_t hash = 0;
    for (const char* c = key; *c; ++c) hash = hash * 65599u + static_cast<uint32_t>(static_cast<int8_t>(*c));
    return hash;
}

HashMap::Node* HashMap::Insert(const char* key, uint32_t value, bool replace) {
    const uint32_t hash = Hash(key);
    Node*& bucket = m_Buckets[hash & (m_BucketCount - 1)];
    for (Node* node = bucket; node; node = node->next) {
        if (node->hash != hash) continue;
        if (!replace) return nullptr;
        node->value = value;
        return node;
    }
    bucket = new Node{hash, value, bucket};
    ++m_Count;
    return bucket;
}

const HashMap::Node* HashMap::Find(const char* key) const {
    const uint32_t hash = Hash(key);
    for (const Node* node = m_Buckets[hash & (m_BucketCount - 1)]; node; node = node->next) {
        if (node->hash == hash) return node;
    }
    return nullptr;
}
