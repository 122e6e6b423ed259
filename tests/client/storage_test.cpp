#include "client/storage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace kelmora::test {
namespace {

using client::CStorageArea;

// Blocks of many sizes, some larger than the area's block size.
TEST(StorageAreaTest, BlocksAreAlignedAndDoNotOverlap) {
    for (size_t block_size : {0, 1, 64, 4096}) {
        SCOPED_TRACE(block_size);
        CStorageArea area(stg_create_area(block_size));
        ASSERT_NE(area, nullptr);
        struct CBlock {
            unsigned char* data;
            size_t size;
            unsigned char fill;
        };
        std::vector<CBlock> blocks;
        for (int i = 0; i < 500; ++i) {
            size_t size = i % 50 == 0 ? 10000 : static_cast<size_t>((i * 37) % 300);
            auto data = static_cast<unsigned char*>(stg_malloc(area.get(), size));
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % alignof(std::max_align_t), 0u);
            std::memset(data, static_cast<unsigned char>(i), size);
            blocks.push_back({data, size, static_cast<unsigned char>(i)});
        }
        for (const CBlock& block : blocks) {
            for (size_t j = 0; j < block.size; ++j) ASSERT_EQ(block.data[j], block.fill);
        }
    }
}

TEST(StorageTest, NullAreaOrTextGivesNothing) {
    EXPECT_EQ(stg_malloc(nullptr, 8), nullptr);
    EXPECT_EQ(stg_strdup(nullptr, "x"), nullptr);
    CStorageArea area(stg_create_area(64));
    EXPECT_EQ(stg_strdup(area.get(), nullptr), nullptr);
    EXPECT_EQ(stg_malloc(area.get(), SIZE_MAX), nullptr);
    stg_free(area.get(), nullptr);
    stg_delete_area(nullptr);
}

}  // namespace
}  // namespace kelmora::test
