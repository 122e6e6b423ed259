// The process's one connection to the client database: every call of the
// library shares it, a change of KELMORA_HOME moves it, closing lets it go.
#include <gtest/gtest.h>
#include <sqlite3.h>
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

// A user who removes the client state while a program runs gets a new
// database, not changes written into the removed file.
TEST(ClientConnectionTest, ADatabaseRemovedMeanwhileIsMadeAgain) {
    CScopedHome home;
    UseTheLibrary();
    const std::string path = client::ClientDatabasePath();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    ASSERT_EQ(client::CreateView("after"), TBS_ST_OK);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::string tags;
    sqlite3_exec(
        raw, "SELECT tag FROM view",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &tags, nullptr);
    sqlite3_close(raw);
    EXPECT_EQ(tags, "after");
}

}  // namespace
}  // namespace kelmora::test
