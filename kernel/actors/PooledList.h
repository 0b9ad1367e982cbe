#pragma once
// Two small containers: a circular doubly linked list of 32-bit values whose
// nodes come from the node pool, and a hash map from text keys to 32-bit
// values that keeps only the keys' hashes.

#include "kernel/base/BlockPool.h"

#include <cstdint>
#include <vector>

class PooledList {
public:
    PooledList();
    PooledList(const PooledList& other);
    PooledList& operator=(const PooledList& other);
    virtual ~PooledList();

    void Clear();
    // Appends a value at the end; false when the pool has no node left.
    bool Append(uint32_t value);
    uint32_t GetCount() const { return m_Count; }
    // The values in list order.
    std::vector<uint32_t> GetValues() const;

private:
    PoolNode m_Head; // next: the first node, previous: the last; the head itself when empty
    uint32_t m_Count = 0;
};

class HashMap {
public:
    struct Node {
        uint32_t hash;
        uint32_t value;
        Node* next;
    };

    // bucketCount is rounded up to a power of two.
    explicit HashMap(uint32_t bucketCount);
    HashMap(const HashMap&) = delete;
    HashMap& operator=(const HashMap&) = delete;
    ~HashMap();

    // A node of equal hash counts as the same key: with replace it takes the
    // value and is returned, without it the insert fails with null.
    Node* Insert(const char* key, uint32_t value, bool replace);
    // The node whose hash the key gives, or null.
    const Node* Find(const char* key) const;
    uint32_t GetCount() const { return m_Count; }

    // h = h * 65599 + c over the key's bytes, in 32 bits.
    static uint32_t Hash(const char* key);

private:
    uint32_t m_Count = 0;
    uint32_t m_BucketCount;
    std::vector<Node*> m_Buckets;
};
