#include "client/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client/client_test_util.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

using CKeyHandle = CHandle<ntregy_key_t, &ntregy_close_key>;

// A key exists while it or a key below it holds a value.
TEST(RegistryTest, AValueIsReadUnderAnySpellingCutToTheBufferAndDeletedOnce) {
    const std::string leaf = UniqueName("Read"), key = "Software\\" + leaf, child = key + "\\Child";
    for (const char* text : {"/srv/old", "/srv/profiles"})  // the second replaces the first
        ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_CURRENT_USER, child.c_str(), "Root", text),
                  TBS_ST_OK);
    std::string value;  // the other hive does not see it
    EXPECT_EQ(client::ReadRegistryValue(NTREGY_HKEY_LOCAL_MACHINE, child, "Root", &value),
              TBS_ST_NOT_FOUND);
    const struct {
        std::string key;
        const char* name;
        size_t size;
        tbs_status_t status;
        const char* contents;
        bool key_exists;
    } kCases[] = {
        {key + "\\Child", "Root", 14, TBS_ST_OK, "/srv/profiles", true},
        {"\\\\software\\\\" + leaf + "\\Child\\\\", "root", 14, TBS_ST_OK, "/srv/profiles", true},
        {key + "\\Child", "Root", 13, TBS_ST_BUFFER_TOO_SMALL, "/srv/profile", true},
        {key + "\\Child", "Root", 1, TBS_ST_BUFFER_TOO_SMALL, "", true},
        {key, "Absent", 16, TBS_ST_NOT_FOUND, "", true},
        {key.substr(0, key.size() - 1), "Absent", 16, TBS_ST_NOT_FOUND, "", false}};
    for (const auto& c : kCases) {
        char buf[32];
        std::memset(buf, 'Z', sizeof buf);
        CKeyHandle handle;
        EXPECT_EQ(ntregy_get_value(NTREGY_HKEY_CURRENT_USER, c.key.c_str(), c.name, buf, c.size,
                                   handle.out()),
                  c.status)
            << c.key << " " << c.size;
        EXPECT_STREQ(buf, c.contents) << c.key;
        EXPECT_EQ(buf[c.size], 'Z') << "wrote past " << c.size;
        EXPECT_EQ(handle.get() != nullptr, c.key_exists) << c.key;
    }
    EXPECT_EQ(
        ntregy_get_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Absent", nullptr, 0, nullptr),
        TBS_ST_NOT_FOUND);
    for (const std::string& text : {std::string(), std::string(5000, 'v')}) {
        ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Text", text.c_str()),
                  TBS_ST_OK);
        ASSERT_EQ(client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, key, "Text", &value),
                  TBS_ST_OK);
        EXPECT_EQ(value, text);  // whole, empty or long
    }
    ASSERT_EQ(ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Text"), TBS_ST_OK);
    EXPECT_EQ(ntregy_delete_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Text"), TBS_ST_NOT_FOUND);
}

TEST(RegistryTest, ParametersAreNumberedWords) {
    const struct {
        const char* stored;  // null: not set
        size_t size;
        tbs_status_t status;
        uint32_t value;
    } kCases[] = {{"0x1f", 4, TBS_ST_OK, 31},           {"4294967295", 4, TBS_ST_OK, 4294967295u},
                  {"4294967296", 4, TBS_ST_INVALID, 0}, {"-1", 4, TBS_ST_INVALID, 0},
                  {"yes", 4, TBS_ST_INVALID, 0},        {"7", 2, TBS_ST_BUFFER_TOO_SMALL, 0},
                  {nullptr, 4, TBS_ST_NOT_FOUND, 0}};
    int number = 900;
    for (const auto& c : kCases) {
        const std::string name = "Param" + std::to_string(++number);
        if (c.stored) {
            ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_client_params_key(),
                                       name.c_str(), c.stored),
                      TBS_ST_OK);
        }
        uint32_t value = 0xdeadbeef;
        EXPECT_EQ(ntregy_get_param(number, &value, c.size), c.status) << name;
        if (c.status == TBS_ST_OK) {
            EXPECT_EQ(value, c.value) << name;
        }
    }
}

}  // namespace
}  // namespace kelmora::test
