#include "store/store_fixture.h"

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "client/messages.h"
#include "client/registry.h"
#include "store/current_tree.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"

namespace kelmora::test {

namespace {
std::string FaultyPack() {
    std::string pack;
    for (const auto& [id, text] : {std::pair{IDS_ERR_RENAME, "%s %s %n"},
                                   {IDS_TREE_NOT_FOUND, "%s %s"},
                                   {IDS_NOT_REGULAR_FILE, "%s %s"}})
        pack += CatalogueEntry(id, text);
    return pack;
}
}  // namespace

void CStoreTest::SetUp() {
    WriteTextFile(temp_ / "strings.cat", FaultyPack());
    ASSERT_TRUE(LoadStringCatalogue(temp_ / "strings.cat"));
    root_ = temp_ / "tree";
    std::filesystem::create_directory(root_);
    SetProjectRootSetting(root_);
    OverrideTreeRootSetting(std::nullopt);
    SetTreeChangedHandler(nullptr);
    SetCachedTreeRevision(-1);
    CRecordedSleep::Reset();
    sleep_ = std::make_unique<CScopedSleep>(&CRecordedSleep::Sleep);
    Answer("");
}

void CStoreTest::TearDown() {
    UnloadStringCatalogue();
    EXPECT_FALSE(IsTreeLockHeld()) << "an operation kept the tree lock";
    ReleaseTreeLock(false);
    SetTreeChangedHandler(nullptr);
    CRecordedSleep::Reset();
    scoped_ui_.reset();
    sleep_.reset();
}

void CStoreTest::MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
}

void CStoreTest::MakeProfileFolder(const std::string& relative,
                                   const std::string& guid_text) const {
    MakeFolder(relative);
    WriteTextFile(Native(relative) + "/GUID",
                  guid_text.empty() ? "guid-of-" + relative + " 1.0" : guid_text);
}

CTreeNode* CStoreTest::Load() {
    CTreeNode* first = LoadProfileTree(false);
    EXPECT_NE(first, nullptr) << ::testing::PrintToString(Messages());
    return first;
}

CTreeNode* CStoreTest::Node(const std::string& name) {
    return FindNodeByPath(CurrentTree(), Full(name));
}

std::unique_ptr<CChildProcess> CStoreTest::HoldLockElsewhere(const Texts& options) const {
    Texts argv{BuiltProgram("store_worker"), "hold", root()};
    argv.insert(argv.end(), options.begin(), options.end());
    auto holder = std::make_unique<CChildProcess>(argv);
    EXPECT_EQ(holder->ReadLine(), "held");
    return holder;
}

void CStoreTest::Answer(const std::string& input) {
    scoped_ui_.reset();
    input_.str(input);
    input_.clear();
    output_.str("");
    ui_ = std::make_unique<CConsoleUserInterface>(input_, output_);
    scoped_ui_ = std::make_unique<CScopedUserInterface>(ui_.get());
}

Texts CStoreTest::Messages() const {
    Texts texts;
    for (const CShownBox& box : ui_->shown()) texts.push_back(box.text);
    return texts;
}

void CStoreTest::SetMachineSetting(const char* name, const std::string& value) {
    ASSERT_EQ(
        ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(), name, value.c_str()),
        TBS_ST_OK);
}

void WithFileSizeLimit(unsigned long bytes, const std::function<void()>& what) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{}, small{bytes, bytes};
    getrlimit(RLIMIT_FSIZE, &limit);
    small.rlim_max = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &small);
    what();
    setrlimit(RLIMIT_FSIZE, &limit);
}

std::string FileErrorText(unsigned id, int error, const std::string& path) {
    return FormatMessageText(LoadString(id),
                             {static_cast<long long>(error), path, std::strerror(error)});
}

std::string OperationLogText() {
    char path[1024] = {0};
    if (tbs_product_log_dir(path, sizeof path, "viewprofile_log") != TBS_ST_OK) return {};
    std::error_code ec;
    return std::filesystem::exists(path, ec) ? ReadTextFile(path) : std::string();
}

}  // namespace kelmora::test
