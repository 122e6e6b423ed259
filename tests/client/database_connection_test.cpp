// The process's one connection to the client database: every call of the
// library shares it, a change of KELMORA_HOME moves it, closing lets it go.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "client/registry.h"
#include "platform/env.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// How many descriptors of this process are open on the file at path.
int OpenDescriptorsOf(const std::string& path) {
    const std::filesystem::path wanted = std::filesystem::canonical(path);
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) == wanted) ++count;
    }
    return count;
}

void UseTheLibrary() {
    const std::string tag = UniqueName("v");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    client::CViewRecord view;
    ASSERT_EQ(client::FindView(tag, &view), TBS_ST_OK);
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Kept", "Name", "x"),
              TBS_ST_OK);
    char value[8] = "";
    ntregy_key_t key = nullptr;
    EXPECT_EQ(ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Kept", "Name", value,
                               sizeof value, &key),
              TBS_ST_OK);
    ntregy_close_key(key);
}

TEST(ClientConnectionTest, EveryCallSharesOneOpenOfTheDatabaseOfTheCurrentHome) {
    CScopedHome home;
    UseTheLibrary();
    const std::string first = client::ClientDatabasePath();
    EXPECT_EQ(OpenDescriptorsOf(first), 1);
    {
        CScopedHome other;
        UseTheLibrary();
        EXPECT_EQ(OpenDescriptorsOf(client::ClientDatabasePath()), 1);
        EXPECT_EQ(OpenDescriptorsOf(first), 0);
    }
    UseTheLibrary();
    EXPECT_EQ(OpenDescriptorsOf(first), 1);
    client::CloseClientDatabase();
    EXPECT_EQ(OpenDescriptorsOf(first), 0);
}

}  // namespace
}  // namespace kelmora::test
