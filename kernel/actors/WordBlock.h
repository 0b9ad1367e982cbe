#pragma once
// Fields that lie back to back in a file move as one archive transfer: each
// is packed into a word, the words are moved, and when reading they are
// unpacked into the fields again. A flag bit travels as a 32-bit 0 or 1 (any
// non-zero word read sets it); a reserved word is written 0 and dropped.

#include "kernel/base/Archive.h"

#include <cstdint>
#include <cstring>

class WordBlock {
public:
    void Word(void* field) {
        m_Slots[m_Count] = {field, 0};
        std::memcpy(&m_Words[m_Count++], field, 4);
    }
    void Words(void* fields, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) Word(static_cast<uint8_t*>(fields) + 4 * i);
    }
    void Bit(uint32_t* flags, uint32_t mask) {
        m_Slots[m_Count] = {flags, mask};
        m_Words[m_Count++] = (*flags & mask) ? 1 : 0;
    }
    void Reserved() {
        m_Slots[m_Count] = {nullptr, 0};
        m_Words[m_Count++] = 0;
    }

    // Moves the words; reading, the fields receive them only when all arrived.
    void Transfer(CQVArchive* archive) {
        if (m_Count == 0) return;
        const bool whole = archive->SerializeDwords(m_Words, m_Count) == m_Count;
        if (archive->direction != ARCHIVE_READING || !whole) return;
        for (uint32_t i = 0; i < m_Count; ++i) {
            const Slot& slot = m_Slots[i];
            if (slot.field == nullptr) continue;
            if (slot.mask == 0) {
                std::memcpy(slot.field, &m_Words[i], 4);
            } else {
                auto* flags = static_cast<uint32_t*>(slot.field);
                *flags = m_Words[i] ? (*flags | slot.mask) : (*flags & ~slot.mask);
            }
        }
    }

private:
    static constexpr uint32_t CAPACITY = 32;
    struct Slot {
        void* field;
        uint32_t mask; // 0: the whole word
    };
    Slot m_Slots[CAPACITY];
    uint32_t m_Words[CAPACITY];
    uint32_t m_Count = 0;
};
