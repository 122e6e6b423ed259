#include "client/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "client/client_test_util.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// Closes a key handle whatever the test's path out.
class CKeyHandle {
public:
    ~CKeyHandle() { ntregy_close_key(key_); }
    ntregy_key_t* out() { return &key_; }
    ntregy_key_t get() const { return key_; }

private:
    ntregy_key_t key_ = nullptr;
};

std::string KeyFor(const std::string& leaf) {
    return "Software\\Tests\\" + UniqueName(leaf);
}

class RegistryHiveTest : public ::testing::TestWithParam<ntregy_hive_t> {};

// Values come back whole (empty and long ones too), can be replaced and
// deleted, and the other hive does not see them.
TEST_P(RegistryHiveTest, ValuesRoundTripWholeAndStayInTheirHive) {
    const ntregy_hive_t hive = GetParam();
    const ntregy_hive_t other =
        hive == NTREGY_HKEY_LOCAL_MACHINE ? NTREGY_HKEY_CURRENT_USER : NTREGY_HKEY_LOCAL_MACHINE;
    const std::string key = KeyFor("round"), long_value(5000, 'v');
    std::string value;
    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Folder", "/srv/one"), TBS_ST_OK);
    EXPECT_EQ(client::ReadRegistryValue(other, key, "Folder", &value), TBS_ST_NOT_FOUND);
    ASSERT_EQ(ntregy_set_value(other, key.c_str(), "Folder", "theirs"), TBS_ST_OK);
    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Folder", "/srv/two"), TBS_ST_OK);
    char buf[64];
    CKeyHandle handle;
    ASSERT_EQ(ntregy_get_value(hive, key.c_str(), "Folder", buf, sizeof buf, handle.out()),
              TBS_ST_OK);
    EXPECT_STREQ(buf, "/srv/two");
    EXPECT_NE(handle.get(), nullptr);
    ASSERT_EQ(ntregy_delete_value(hive, key.c_str(), "Folder"), TBS_ST_OK);
    EXPECT_EQ(ntregy_delete_value(hive, key.c_str(), "Folder"), TBS_ST_NOT_FOUND);
    ASSERT_EQ(client::ReadRegistryValue(other, key, "Folder", &value), TBS_ST_OK);
    EXPECT_EQ(value, "theirs");
    for (const std::string& text : {std::string(), long_value}) {
        ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Text", text.c_str()), TBS_ST_OK);
        ASSERT_EQ(client::ReadRegistryValue(hive, key, "Text", &value), TBS_ST_OK);
        EXPECT_EQ(value, text);
    }
}

INSTANTIATE_TEST_SUITE_P(BothHives, RegistryHiveTest,
                         ::testing::Values(NTREGY_HKEY_LOCAL_MACHINE, NTREGY_HKEY_CURRENT_USER),
                         [](const auto& info) {
                             return info.param == NTREGY_HKEY_LOCAL_MACHINE ? "Machine" : "User";
                         });

// A read of a missing value empties the buffer and still gives a key handle
// when the key exists, which it does while it or a key below it holds a value.
// Keys compare without regard to case or to outer and doubled backslashes.
TEST(RegistryTest, MissingValueGivesAKeyHandleExactlyWhenTheKeyExists) {
    const std::string key = KeyFor("keys");
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, (key + "\\Child").c_str(), "V", "1"),
              TBS_ST_OK);
    // "...\keysX" is not below "...\keys".
    const std::pair<std::string, bool> kCases[] = {{key + "\\Child", true},
                                                   {key, true},
                                                   {key.substr(0, key.size() - 1), false},
                                                   {key + "\\Other", false}};
    for (const auto& [path, exists] : kCases) {
        char buf[16] = "junk";
        CKeyHandle handle;
        EXPECT_EQ(ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, path.c_str(), "Absent", buf,
                                   sizeof buf, handle.out()),
                  TBS_ST_NOT_FOUND)
            << path;
        EXPECT_EQ(handle.get() != nullptr, exists) << path;
        EXPECT_STREQ(buf, "") << path;
    }
}

TEST(RegistryTest, SameKeyAndNameWhateverTheSpelling) {
    const std::string leaf = UniqueName("Spelled");
    ASSERT_EQ(
        ntregy_set_value(NTREGY_HKEY_CURRENT_USER, ("Software\\" + leaf).c_str(), "Item", "found"),
        TBS_ST_OK);
    for (const std::string& spelled :
         {"SOFTWARE\\" + leaf, "\\Software\\" + leaf, "Software\\\\" + leaf + "\\",
          "\\\\software\\" + leaf + "\\\\"}) {
        std::string value;
        ASSERT_EQ(client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, spelled, "ITEM", &value),
                  TBS_ST_OK)
            << spelled;
        EXPECT_EQ(value, "found");
    }
    EXPECT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, "\\", "Name", "v"), TBS_ST_INVALID);
    EXPECT_EQ(ntregy_set_value(static_cast<ntregy_hive_t>(7), "Software", "Name", "v"),
              TBS_ST_INVALID);
}

TEST(RegistryTest, ValueIsCutToTheBufferAndStillTerminated) {
    const std::string key = KeyFor("buffer");
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, key.c_str(), "Root", "/srv/profiles"),
              TBS_ST_OK);
    const std::pair<size_t, const char*> kCases[] = {
        {14, "/srv/profiles"}, {13, "/srv/profile"}, {5, "/srv"}, {1, ""}};
    for (const auto& [size, contents] : kCases) {
        char buf[32];
        std::memset(buf, 'Z', sizeof buf);
        EXPECT_EQ(
            ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, key.c_str(), "Root", buf, size, nullptr),
            size == 14 ? TBS_ST_OK : TBS_ST_BUFFER_TOO_SMALL);
        EXPECT_STREQ(buf, contents);
        EXPECT_EQ(buf[size], 'Z') << "wrote past " << size;
    }
}

// Numbered client parameters are words; the file system's are text.
TEST(RegistryTest, ParametersAreNumberedWordsOrText) {
    const struct {
        const char* stored;  // null: not set
        size_t size;
        tbs_status_t status;
        uint32_t value;
    } kCases[] = {{"1", 4, TBS_ST_OK, 1},
                  {"0x1f", 4, TBS_ST_OK, 31},
                  {"4294967295", 4, TBS_ST_OK, 4294967295u},
                  {"4294967296", 4, TBS_ST_INVALID, 0},
                  {"-1", 4, TBS_ST_INVALID, 0},
                  {"yes", 4, TBS_ST_INVALID, 0},
                  {"7", 2, TBS_ST_BUFFER_TOO_SMALL, 0},
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
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_trfs_params_key(), "Param28",
                               "view-share"),
              TBS_ST_OK);
    char buf[32];
    ASSERT_EQ(ntregy_get_trfs_param(28, buf, sizeof buf), TBS_ST_OK);
    EXPECT_STREQ(buf, "view-share");
    EXPECT_EQ(ntregy_get_trfs_param(29, buf, sizeof buf), TBS_ST_NOT_FOUND);
}

}  // namespace
}  // namespace kelmora::test
