#pragma once
// An actor as the one record of an actor file of a chosen version, written
// through the Serialize the engine uses into a temporary file named after
// the test; the actor system loads it back, whole or after the test has
// damaged its bytes.

#include "kernel/actors/ActorSystem.h"
#include "kernel/base/Archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

class ActorRecordFile {
public:
    ActorRecordFile() {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        m_Path =
            std::filesystem::temp_directory_path() / ("qv_record_" + std::to_string(::getpid()) + "_" + name + ".qva");
    }
    ~ActorRecordFile() {
        std::error_code error;
        std::filesystem::remove(m_Path, error);
    }
    ActorRecordFile(const ActorRecordFile&) = delete;
    ActorRecordFile& operator=(const ActorRecordFile&) = delete;

    // Writes the actor as the file's one record, then deletes it from the tree.
    testing::AssertionResult WriteAndForget(CQVActor* actor, uint32_t version) const {
        CQVActorArchive archive;
        if (!archive.Open(m_Path.c_str(), "wb")) return testing::AssertionFailure() << "cannot write " << m_Path;
        archive.version = version;
        uint32_t header[4] = {version, 1, actor->m_Id, 1};
        archive.SerializeDwords(header, 4);
        if (actor->Serialize(&archive, 0) != 1) return testing::AssertionFailure() << "the record was not written";
        if (!archive.Flush()) return testing::AssertionFailure() << "cannot write " << m_Path;
        archive.Close();
        g_ActorSystem->DeleteActor(actor);
        return testing::AssertionSuccess();
    }
    // The actor system's load of the file: 1, or 0 for a file it refuses.
    int Load() const { return g_ActorSystem->LoadActors(m_Path.c_str(), 0); }
    std::vector<char> Bytes() const {
        std::ifstream in(m_Path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }
    void Rewrite(const std::vector<char>& bytes) const {
        std::ofstream out(m_Path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};
