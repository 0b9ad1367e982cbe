#include "kernel/base/NameTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NameTable, InternsNamesOnceCaseSensitively) {
    CQVNameTable table;
    EXPECT_EQ(table.count, 1u);
    EXPECT_EQ(table.FindOrAdd(""), 0u);
    EXPECT_EQ(table.FindOrAdd(nullptr), 0u);
    EXPECT_EQ(table.FindOrAdd("Bip01 Spine"), 1u);
    EXPECT_EQ(table.FindOrAdd("Bip01 Head"), 2u);
    EXPECT_EQ(table.FindOrAdd("bip01 spine"), 3u);
    EXPECT_EQ(table.FindOrAdd("Bip01 Spine"), 1u);
    EXPECT_EQ(table.count, 4u);
    EXPECT_STREQ(table.GetName(2), "Bip01 Head");
    EXPECT_STREQ(table.entries[3], "bip01 spine");
    EXPECT_STREQ(table.GetName(0), "");
    EXPECT_STREQ(table.GetName(4), "");

    // The table keeps its own copy.
    std::string name = "Bip01 Pelvis";
    const uint32_t index = table.FindOrAdd(name.c_str());
    name[0] = 'X';
    EXPECT_STREQ(table.GetName(index), "Bip01 Pelvis");
}

TEST(NameTable, FullTableGivesTheEmptyName) {
    CQVNameTable table;
    for (uint32_t i = 1; i < CQVNameTable::kMaxEntries; ++i) {
        ASSERT_EQ(table.FindOrAdd(("bone" + std::to_string(i)).c_str()), i);
    }
    EXPECT_EQ(table.count, CQVNameTable::kMaxEntries);
    EXPECT_EQ(table.FindOrAdd("one too many"), 0u);
    EXPECT_EQ(table.FindOrAdd("bone4095"), 4095u);  // names present are still found
    EXPECT_EQ(table.count, CQVNameTable::kMaxEntries);
}

}  // namespace
