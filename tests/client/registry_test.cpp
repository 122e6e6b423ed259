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
    const std::string key = KeyFor("round");
    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Folder", "/srv/one"), TBS_ST_OK);
    char buf[64];
    CKeyHandle handle;
    ASSERT_EQ(ntregy_get_value(hive, key.c_str(), "Folder", buf, sizeof buf, handle.out()),
              TBS_ST_OK);
    EXPECT_STREQ(buf, "/srv/one");
    EXPECT_NE(handle.get(), nullptr);
    std::string value;
    EXPECT_EQ(client::ReadRegistryValue(other, key, "Folder", &value), TBS_ST_NOT_FOUND);
    ASSERT_EQ(ntregy_set_value(other, key.c_str(), "Folder", "theirs"), TBS_ST_OK);

    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Folder", "/srv/two"), TBS_ST_OK);
    ASSERT_EQ(ntregy_get_value(hive, key.c_str(), "Folder", buf, sizeof buf, nullptr), TBS_ST_OK);
    EXPECT_STREQ(buf, "/srv/two");
    ASSERT_EQ(ntregy_delete_value(hive, key.c_str(), "Folder"), TBS_ST_OK);
    EXPECT_EQ(ntregy_get_value(hive, key.c_str(), "Folder", buf, sizeof buf, nullptr),
              TBS_ST_NOT_FOUND);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(ntregy_delete_value(hive, key.c_str(), "Folder"), TBS_ST_NOT_FOUND);
    ASSERT_EQ(client::ReadRegistryValue(other, key, "Folder", &value), TBS_ST_OK);
    EXPECT_EQ(value, "theirs");

    const std::string long_value(5000, 'v');
    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Empty", ""), TBS_ST_OK);
    ASSERT_EQ(ntregy_set_value(hive, key.c_str(), "Long", long_value.c_str()), TBS_ST_OK);
    ASSERT_EQ(client::ReadRegistryValue(hive, key, "Empty", &value), TBS_ST_OK);
    EXPECT_EQ(value, "");
    ASSERT_EQ(client::ReadRegistryValue(hive, key, "Long", &value), TBS_ST_OK);
    EXPECT_EQ(value, long_value);
}

INSTANTIATE_TEST_SUITE_P(BothHives, RegistryHiveTest,
                         ::testing::Values(NTREGY_HKEY_LOCAL_MACHINE, NTREGY_HKEY_CURRENT_USER),
                         [](const auto& info) {
                             return info.param == NTREGY_HKEY_LOCAL_MACHINE ? "Machine" : "User";
                         });

// A read of a missing value still gives a key handle when the key exists,
// which it does while it or a key below it holds a value.
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

struct CBufferCase {
    size_t size;
    tbs_status_t status;
    const char* contents;
};

class RegistryBufferTest : public ::testing::TestWithParam<CBufferCase> {};

TEST_P(RegistryBufferTest, ValueIsCutToTheBufferAndStillTerminated) {
    const std::string key = KeyFor("buffer");
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, key.c_str(), "Root", "/srv/profiles"),
              TBS_ST_OK);
    char buf[32];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, key.c_str(), "Root", buf, GetParam().size,
                               nullptr),
              GetParam().status);
    EXPECT_STREQ(buf, GetParam().contents);
    EXPECT_EQ(buf[GetParam().size], 'Z') << "wrote past the given size";
}

INSTANTIATE_TEST_SUITE_P(Sizes, RegistryBufferTest,
                         ::testing::Values(CBufferCase{14, TBS_ST_OK, "/srv/profiles"},
                                           CBufferCase{13, TBS_ST_BUFFER_TOO_SMALL, "/srv/profile"},
                                           CBufferCase{5, TBS_ST_BUFFER_TOO_SMALL, "/srv"},
                                           CBufferCase{1, TBS_ST_BUFFER_TOO_SMALL, ""}),
                         [](const auto& info) {
                             return test::CaseName(info.index,
                                                   "Size" + std::to_string(info.param.size));
                         });

class RegistryKeySpellingTest : public ::testing::TestWithParam<std::string> {};

// Keys and value names compare as on the system the registry comes from:
// without regard to case or to outer and doubled backslashes.
TEST_P(RegistryKeySpellingTest, SameKeyWhateverTheSpelling) {
    const std::string leaf = UniqueName("Spelled");
    ASSERT_EQ(
        ntregy_set_value(NTREGY_HKEY_CURRENT_USER, ("Software\\" + leaf).c_str(), "Item", "found"),
        TBS_ST_OK);
    std::string spelled = GetParam();
    spelled.replace(spelled.find("LEAF"), 4, leaf);
    std::string value;
    ASSERT_EQ(client::ReadRegistryValue(NTREGY_HKEY_CURRENT_USER, spelled, "ITEM", &value),
              TBS_ST_OK);
    EXPECT_EQ(value, "found");
}

INSTANTIATE_TEST_SUITE_P(Spellings, RegistryKeySpellingTest,
                         ::testing::Values("Software\\LEAF", "SOFTWARE\\LEAF", "\\Software\\LEAF",
                                           "Software\\\\LEAF\\", "\\\\software\\LEAF\\\\"),
                         [](const auto& info) { return test::CaseName(info.index, info.param); });

TEST(RegistryTest, RefusesAValueOutsideAnyKey) {
    EXPECT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, "\\", "Name", "v"), TBS_ST_INVALID);
    EXPECT_EQ(ntregy_set_value(static_cast<ntregy_hive_t>(7), "Software", "Name", "v"),
              TBS_ST_INVALID);
}

struct CParamCase {
    const char* stored;  // null: not set
    size_t size;
    tbs_status_t status;
    uint32_t value;
};

class ClientParamTest : public ::testing::TestWithParam<CParamCase> {};

TEST_P(ClientParamTest, ReadsANumberedWord) {
    // A parameter number per case, so that cases do not see each other's values.
    static int next_number = 900;
    const int number = ++next_number;
    const std::string name = "Param" + std::to_string(number);
    if (GetParam().stored) {
        ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_client_params_key(),
                                   name.c_str(), GetParam().stored),
                  TBS_ST_OK);
    }
    uint32_t value = 0xdeadbeef;
    EXPECT_EQ(ntregy_get_param(number, &value, GetParam().size), GetParam().status);
    if (GetParam().status == TBS_ST_OK) {
        EXPECT_EQ(value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ClientParamTest,
                         ::testing::Values(CParamCase{"1", 4, TBS_ST_OK, 1},
                                           CParamCase{"0x1f", 4, TBS_ST_OK, 31},
                                           CParamCase{"4294967295", 4, TBS_ST_OK, 4294967295u},
                                           CParamCase{"4294967296", 4, TBS_ST_INVALID, 0},
                                           CParamCase{"-1", 4, TBS_ST_INVALID, 0},
                                           CParamCase{"yes", 4, TBS_ST_INVALID, 0},
                                           CParamCase{"7", 2, TBS_ST_BUFFER_TOO_SMALL, 0},
                                           CParamCase{nullptr, 4, TBS_ST_NOT_FOUND, 0}),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.stored);
                         });

TEST(RegistryTest, TrfsParametersAreText) {
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
