#pragma once

#include <cstddef>
#include <memory>

// Scratch storage areas: every block taken from an area is released at once
// when the area is deleted.
typedef struct stg_area_s stg_area_t;

stg_area_t* stg_create_area(size_t block_size);
void stg_delete_area(stg_area_t* area);
void* stg_malloc(stg_area_t* area, size_t size);
char* stg_strdup(stg_area_t* area, const char* text);
void stg_free(stg_area_t* area, void* block);

namespace kelmora::client {

// An area deleted at the end of its scope.
struct CDeleteArea {
    void operator()(stg_area_t* area) const { stg_delete_area(area); }
};
using CStorageArea = std::unique_ptr<stg_area_t, CDeleteArea>;

}  // namespace kelmora::client
