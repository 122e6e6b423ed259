#include "client/poolmap.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/format.h"

namespace {

constexpr char kPoolmapOption[] = "poolmap=";

bool CopyPiece(std::string_view piece, stg_area_t* area, poolmap_cstring_t* counted) {
    auto text = static_cast<char*>(stg_malloc(area, piece.size() + 1));
    if (!text) return false;
    std::memcpy(text, piece.data(), piece.size());
    text[piece.size()] = '\0';
    *counted = {text, static_cast<uint32_t>(piece.size()), static_cast<uint32_t>(piece.size() + 1)};
    return true;
}

}  // namespace

tbs_status_t poolmap_crack_mapstring(const char* value, stg_area_t* area, int* count,
                                     poolmap_cstring_t** names, poolmap_cstring_t** directories) {
    if (!value || !area || !count || !names || !directories) return TBS_ST_INVALID;
    *count = 0;
    *names = *directories = nullptr;
    std::vector<std::pair<std::string_view, std::string_view>> pools;
    std::string_view rest = value;
    while (!rest.empty()) {
        std::string_view pool = kelmora::TakeItem(&rest, ';');
        size_t colon = pool.find(':');
        if (colon == 0 || colon == std::string_view::npos || colon + 1 == pool.size())
            return TBS_ST_INVALID;
        pools.emplace_back(pool.substr(0, colon), pool.substr(colon + 1));
    }
    if (pools.empty()) return TBS_ST_OK;
    auto name_array =
        static_cast<poolmap_cstring_t*>(stg_malloc(area, pools.size() * sizeof(poolmap_cstring_t)));
    auto directory_array =
        static_cast<poolmap_cstring_t*>(stg_malloc(area, pools.size() * sizeof(poolmap_cstring_t)));
    if (!name_array || !directory_array) return TBS_ST_ERR;
    for (size_t i = 0; i < pools.size(); ++i) {
        if (!CopyPiece(pools[i].first, area, &name_array[i]) ||
            !CopyPiece(pools[i].second, area, &directory_array[i]))
            return TBS_ST_ERR;
    }
    *count = static_cast<int>(pools.size());
    *names = name_array;
    *directories = directory_array;
    return TBS_ST_OK;
}

tbs_status_t poolmap_crack_mntopts(const char* options, stg_area_t* area, int* count,
                                   poolmap_cstring_t** names, poolmap_cstring_t** directories) {
    if (!options) return TBS_ST_INVALID;
    std::string_view rest = options;
    while (!rest.empty()) {
        std::string_view token = kelmora::TakeItem(&rest, ',');
        if (token.substr(0, std::strlen(kPoolmapOption)) != kPoolmapOption) continue;
        const std::string value(token.substr(std::strlen(kPoolmapOption)));
        return poolmap_crack_mapstring(value.c_str(), area, count, names, directories);
    }
    return poolmap_crack_mapstring("", area, count, names, directories);
}
