#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client/tag_admin.h"
#include "client/uuid_text.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {

struct CTaggedVob {
    std::string tag;
    std::string storage;  // its storage folder, also the tag's global path
    client::CVobRecord record;
    long long entry_id = 0;
};

// As a key's text: the entry has no such key.
inline const std::string kNoKey = "\x01no key";

// Makes the VOB in folder and registers its tag, public, with those keys
// over the usual ones.
inline CTaggedVob MakeTaggedVob(const CTempDir& folder, const std::string& tag,
                                const client::CRegistryKeys& keys = {}) {
    CTaggedVob vob;
    vob.tag = tag;
    vob.storage = folder / ("stg" + std::to_string(std::hash<std::string>()(tag)));
    EXPECT_EQ(client::CreateVob(tag, vob.storage, {}), TBS_ST_OK);
    EXPECT_EQ(client::FindVob(tag, &vob.record), TBS_ST_OK);
    client::CRegistryKeys all = {{RGY_KEY_GLOBAL_PATH, vob.storage},
                                 {RGY_KEY_ACCESS, RGY_ACCESS_PUBLIC},
                                 {RGY_KEY_OPTIONS, ""},
                                 {RGY_KEY_TAG, tag},
                                 {RGY_KEY_UUID, vob.record.replica_uuid}};
    for (const auto& [key, value] : keys) {
        if (value == kNoKey) {
            all.erase(key);
        } else {
            all[key] = value;
        }
    }
    EXPECT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "", all, &vob.entry_id), TBS_ST_OK);
    return vob;
}

inline std::string UuidText(const uint8_t* bytes) {
    tbs_uuid_t uuid;
    std::memcpy(uuid.bytes, bytes, 16);
    char text[TBS_UUID_STR_SIZE];
    tbs_uuid_to_str(&uuid, text);
    return text;
}

}  // namespace kelmora::test
