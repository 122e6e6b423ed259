#include "client/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "client/registry.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// A connection of our own, as another program would hold one.
class CRawConnection {
public:
    explicit CRawConnection(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        sqlite3_busy_timeout(db_, 10000);
    }
    ~CRawConnection() { sqlite3_close(db_); }

    void Exec(const std::string& sql) {
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
    std::string Text(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK);
        std::string text;
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return text;
    }

private:
    sqlite3* db_ = nullptr;
};

std::filesystem::perms Permissions(const std::string& path) {
    return std::filesystem::status(path).permissions() & std::filesystem::perms::all;
}

// The state is the user's alone; a file in place of its folder is named as such.
TEST(ClientDatabaseTest, FirstUseCreatesAnUpToDateDatabaseInWalModeThatANewerVersionOwns) {
    CScopedHome home;
    WriteTextFile(home.path(), "");
    {
        CCapturedOutput output;
        EXPECT_EQ(client::CreateView("first"), TBS_ST_DATABASE);
        EXPECT_NE(output.error().find(": Not a directory\n"), std::string::npos) << output.error();
    }
    std::filesystem::remove(home.path());
    ASSERT_EQ(client::CreateView("first"), TBS_ST_OK);
    EXPECT_EQ(Permissions(home.path()), std::filesystem::perms::owner_all);
    EXPECT_EQ(Permissions(client::ClientDatabasePath()),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    {
        CRawConnection raw(client::ClientDatabasePath());
        EXPECT_EQ(raw.Text("PRAGMA journal_mode"), "wal");
        EXPECT_EQ(raw.Text("PRAGMA user_version"), std::to_string(client::ClientSchemaVersion()));
        EXPECT_EQ(raw.Text("SELECT tag FROM view"), "first");
        raw.Exec("PRAGMA user_version = " + std::to_string(client::ClientSchemaVersion() + 1));
    }
    client::CloseClientDatabase();  // as a program started after the newer one
    CCapturedOutput output;
    client::CViewRecord view;
    EXPECT_EQ(client::FindView("first", &view), TBS_ST_DATABASE);
    EXPECT_NE(output.error().find("schema version"), std::string::npos) << output.error();
}

TEST(ClientDatabaseTest, ChangesWaitForAnotherWriter) {
    CScopedHome home;
    ASSERT_EQ(client::CreateView("before"), TBS_ST_OK);
    CRawConnection raw(client::ClientDatabasePath());
    raw.Exec("BEGIN IMMEDIATE");
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        raw.Exec("COMMIT");
    });
    EXPECT_EQ(client::CreateView("after"), TBS_ST_OK);  // only once the other has committed
    release.join();
}

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
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Kept", "Name", "x"),
              TBS_ST_OK);
    std::string value;
    EXPECT_EQ(
        client::ReadRegistryValue(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Kept", "Name", &value),
        TBS_ST_OK);
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

// A copy of client.db alone has every change, though another program still has it open.
TEST(ClientDatabaseTest, AWriterLeavesTheFileWholeAndADatabaseRemovedMeanwhileIsMadeAgain) {
    CScopedHome home;
    UseTheLibrary();
    const std::string path = client::ClientDatabasePath();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    ASSERT_EQ(client::CreateView("first"), TBS_ST_OK);
    CRawConnection reader(path);
    EXPECT_EQ(reader.Text("SELECT count(*) FROM view"), "1");
    ASSERT_EQ(client::CreateView("second"), TBS_ST_OK);
    client::CloseClientDatabase();
    const std::string copy = home.path() + "/copy.db";
    std::filesystem::copy_file(client::ClientDatabasePath(), copy);
    EXPECT_EQ(CRawConnection(copy).Text("SELECT group_concat(tag) FROM view"), "first,second");
}

}  // namespace
}  // namespace kelmora::test
