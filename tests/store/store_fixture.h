#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "platform/format.h"
#include "platform/sleep.h"
#include "resources/string_table.h"
#include "store/tree_node.h"
#include "support/test_env.h"
#include "ui/console/console_ui.h"

namespace kelmora::test {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// The store's waits: recorded, each returning at once after the test's action.
struct CRecordedSleep {
    static inline std::vector<unsigned> calls;
    // Called with the number of the wait (1 for the first).
    static inline std::function<void(size_t)> action;
    static void Sleep(unsigned milliseconds) {
        calls.push_back(milliseconds);
        if (action) action(calls.size());
    }
    static void Reset() {
        calls.clear();
        action = nullptr;
    }
};

// A language pack whose texts for a few store messages ask for a conversion too many or a "%n":
// those show the built-in text.
class CStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& root() const { return root_; }
    std::string Native(const std::string& relative) const { return root_ + "/" + relative; }
    // root + stored name below it ("\Stavemark View Profiles\Proj")
    std::string Full(const std::string& name) const { return root_ + name; }

    // Folders and profiles on disk, by native paths relative to the root.
    void MakeFolder(const std::string& relative) const;
    void MakeProfileFolder(const std::string& relative, const std::string& guid_text = "") const;

    CTreeNode* Load();
    // The node of the current tree with that stored name below the root.
    CTreeNode* Node(const std::string& name);

    // Another process holding the tree lock until Finish(): store_worker hold.
    std::unique_ptr<CChildProcess> HoldLockElsewhere(const Texts& options = {}) const;

    // Starts a new scripted console with these answers; earlier boxes are forgotten.
    void Answer(const std::string& input);
    Texts Messages() const;
    const std::vector<CShownBox>& Boxes() const { return ui_->shown(); }
    const std::vector<CShownNamePrompt>& NamePrompts() const { return ui_->name_prompts(); }

    std::string LockFileText() const { return ReadTextFile(Native(".rev")); }
    // A machine setting of the client database ("" clears it).
    static void SetMachineSetting(const char* name, const std::string& value);
    static void SetProjectRootSetting(const std::string& value) {
        SetMachineSetting("ProjectRoot", value);
    }
    static bool RunningAsRoot() { return geteuid() == 0; }

    CTempDir temp_;
    std::string root_;

private:
    std::istringstream input_;
    std::ostringstream output_;
    std::unique_ptr<CConsoleUserInterface> ui_;
    std::unique_ptr<CScopedUserInterface> scoped_ui_;
    std::unique_ptr<CScopedSleep> sleep_;
};

// Runs what with writes past bytes failing with EFBIG, as on a full disk.
void WithFileSizeLimit(unsigned long bytes, const std::function<void()>& what);

// The store's message for a file it could not open or write (id).
std::string FileErrorText(unsigned id, int error, const std::string& path);

// The operation log "viewprofile_log" of this test process.
std::string OperationLogText();

// A string with its inserts as the store shows it: the built-in text.
template <class... Inserts>
std::string StoreString(unsigned id, const Inserts&... inserts) {
    const std::string text(BuiltinString(id));
    if constexpr (sizeof...(inserts) == 0) {
        return text;
    } else {
        return FormatPrintf(text.c_str(), std::string(inserts).c_str()...);
    }
}

}  // namespace kelmora::test
