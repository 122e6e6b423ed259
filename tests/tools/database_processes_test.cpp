// The client database between the programs and this process.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

// When the file was last written, its size and a hash of its bytes.
std::string Snapshot(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return "missing ";
    return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + " " +
           std::to_string(st.st_size) + " " +
           std::to_string(std::hash<std::string>()(ReadTextFile(path))) + " ";
}

TEST(DatabaseProcessesTest, ReadersWriteNothingEvenAsTheLastToClose) {
    CScopedHome home;
    ASSERT_EQ(RunProgram("stavetool", {"mkview", "reader"}).exit_code, 0);
    ASSERT_EQ(RunProgram("viewprofile", {"--view", "reader", "GetConfigSpec"}).exit_code, 0);
    // A change that no close has copied into the database: the log holds it.
    const std::string db = client::ClientDatabasePath();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(raw, "UPDATE view SET config_spec = x'6c6f6164202f78' WHERE tag = 'reader'",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    int persist = 1;
    sqlite3_file_control(raw, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_close(raw);
    const std::string before = Snapshot(db) + Snapshot(db + "-wal");

    EXPECT_EQ(RunProgram("viewprofile", {"--view", "reader", "GetConfigSpec"}).out, "load /x\n");
    EXPECT_EQ(RunProgram("stavetool", {"catcs", "reader"}).out, "load /x");
    EXPECT_EQ(Snapshot(db) + Snapshot(db + "-wal"), before);
}

TEST(DatabaseProcessesTest, CommitsOfOtherProcessesAreSeenThroughTheKeptConnection) {
    CScopedHome home;
    client::CViewRecord view;
    ASSERT_EQ(client::FindView("later", &view), TBS_ST_NOT_FOUND);
    ASSERT_EQ(RunProgram("stavetool", {"mkview", "later"}).exit_code, 0);
    ASSERT_EQ(client::FindView("later", &view), TBS_ST_OK);
    ASSERT_EQ(client::SetConfigSpecText("later", "element * CHECKEDOUT\r\n"), TBS_ST_OK);
    EXPECT_EQ(RunProgram("stavetool", {"catcs", "later"}).out, "element * CHECKEDOUT\r\n");
}

}  // namespace
}  // namespace kelmora::test
