#include "client/storage.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// An area hands out blocks from chunks of its block size and frees them all
// at once; freeing a single block gives back its space only when it was the
// last one handed out, which is the usual pattern of scratch lists.
struct stg_area_s {
    struct CChunk {
        std::unique_ptr<std::max_align_t[]> memory;
        size_t size = 0;  // bytes
        size_t used = 0;

        char* base() const { return reinterpret_cast<char*>(memory.get()); }
    };

    size_t chunk_size = 0;
    std::vector<CChunk> chunks;  // blocks are carved from the back one
    void* last_block = nullptr;
    size_t used_before_last = 0;
};

namespace {

constexpr size_t kDefaultChunkSize = 4096;
constexpr size_t kAlignment = alignof(std::max_align_t);

bool RoundUp(size_t size, size_t* rounded) {
    if (size == 0) size = 1;  // every block has its own address
    if (size > SIZE_MAX - (kAlignment - 1)) return false;
    *rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
    return true;
}

bool AddChunk(stg_area_s* area, size_t size, bool in_front) {
    stg_area_s::CChunk chunk;
    const size_t elements = (size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
    chunk.memory.reset(new (std::nothrow) std::max_align_t[elements]);
    if (!chunk.memory) return false;
    chunk.size = size;
    try {
        if (in_front) {
            area->chunks.insert(area->chunks.begin(), std::move(chunk));
        } else {
            area->chunks.push_back(std::move(chunk));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

stg_area_t* stg_create_area(size_t block_size) {
    auto area = new (std::nothrow) stg_area_s;
    if (!area) return nullptr;
    size_t size = block_size ? block_size : kDefaultChunkSize;
    if (!RoundUp(size, &area->chunk_size)) area->chunk_size = kDefaultChunkSize;
    return area;
}

void stg_delete_area(stg_area_t* area) {
    delete area;
}

void* stg_malloc(stg_area_t* area, size_t size) {
    size_t rounded = 0;
    if (!area || !RoundUp(size, &rounded)) return nullptr;
    if (rounded > area->chunk_size) {
        // A block larger than a chunk gets a chunk of its own, put where it
        // does not end the space left in the current one.
        if (!AddChunk(area, rounded, true)) return nullptr;
        stg_area_s::CChunk& own = area->chunks.front();
        own.used = rounded;
        return own.base();
    }
    if (area->chunks.empty() || area->chunks.back().size - area->chunks.back().used < rounded) {
        if (!AddChunk(area, area->chunk_size, false)) return nullptr;
    }
    stg_area_s::CChunk& chunk = area->chunks.back();
    void* block = chunk.base() + chunk.used;
    area->last_block = block;
    area->used_before_last = chunk.used;
    chunk.used += rounded;
    return block;
}

char* stg_strdup(stg_area_t* area, const char* text) {
    if (!text) return nullptr;
    size_t length = std::strlen(text);
    auto copy = static_cast<char*>(stg_malloc(area, length + 1));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

void stg_free(stg_area_t* area, void* block) {
    if (!area || !block || block != area->last_block || area->chunks.empty()) return;
    area->chunks.back().used = area->used_before_last;
    area->last_block = nullptr;
}
