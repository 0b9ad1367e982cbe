#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageArgs.h"

#include <cstring>
#include <vector>

void (*g_NetworkSend)(uint32_t peer, const uint8_t* packet, uint32_t size) = nullptr;

namespace {

constexpr uint32_t REPLAY_RECORDING = 2;

}  // namespace

void CQVActorSystem::ReplicateMessageTo(uint32_t peer, uint32_t targetId, uint32_t messageId,
                                        MessageArgs args) {
    const uint32_t size = args ? MessageArgs_GetBlockSize(messageId, args) : 0;
    if (m_ReplayState == REPLAY_RECORDING) {
        ReplayLogEntry entry{m_ReplayFrame, targetId, messageId, nullptr};
        if (size) {
            entry.args = new uint8_t[size];
            std::memcpy(entry.args, args.Data(), size);
        }
        m_ReplayLog.push_back(entry);
    }
    if (g_NetworkSend && m_NetworkSync) {
        // Message id, target id, then the argument bytes.
        std::vector<uint8_t> packet(size + 8);
        std::memcpy(packet.data(), &messageId, 4);
        std::memcpy(packet.data() + 4, &targetId, 4);
        if (size) std::memcpy(packet.data() + 8, args.Data(), size);
        g_NetworkSend(peer, packet.data(), static_cast<uint32_t>(packet.size()));
    }
}

void CQVActorSystem::ReplicateMessage(uint32_t targetId, uint32_t messageId, MessageArgs args) {
    ReplicateMessageTo(NETWORK_ALL_PEERS, targetId, messageId, args);
}

void CQVActorSystem::ReplicateMessageFromCharacter(uint32_t targetId, uint32_t messageId, MessageArgs args) {
    ReplicateMessage(targetId, messageId, args);
}
