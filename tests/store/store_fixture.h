#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sleep.h"
#include "store/tree_node.h"
#include "support/test_env.h"
#include "ui/console/console_ui.h"

namespace kelmora::test {

// The store's waits in tests: each is recorded and returns at once, after
// running the test's action for that wait (to let another process go on).
class CRecordedSleep {
public:
    static std::vector<unsigned>& Calls();
    // Called with the number of the wait (1 for the first).
    static std::function<void(size_t)>& Action();
    static void Sleep(unsigned milliseconds);
    static void Reset();
};

// A tree root in a fresh temporary folder, named by the ProjectRoot setting,
// a scripted console for the store's messages and questions, and the
// recorded sleep.
class CStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& root() const { return root_; }
    // root + "/" + relative native path
    std::string Native(const std::string& relative) const { return root_ + "/" + relative; }
    // root + stored name below it ("\Stavemark View Profiles\Proj")
    std::string Full(const std::string& name) const { return root_ + name; }

    // Folders and profiles on disk, by native paths relative to the root.
    void MakeFolder(const std::string& relative) const;
    void MakeProfileFolder(const std::string& relative, const std::string& guid_text = "") const;

    CTreeNode* Load();
    // The node of the current tree with that stored name below the root.
    CTreeNode* Node(const std::string& name);
    // Every node of the current tree, without stamping them.
    static std::vector<CTreeNode*> AllNodes();

    // Starts a new scripted console with these answers; earlier boxes are forgotten.
    void Answer(const std::string& input);
    std::vector<std::string> Messages() const;
    const std::vector<CShownBox>& Boxes() const { return ui_->shown(); }
    const std::vector<CShownNamePrompt>& NamePrompts() const { return ui_->name_prompts(); }

    std::string LockFileText() const;
    static void SetProjectRootSetting(const std::string& value);
    static bool RunningAsRoot();

    CTempDir temp_;
    std::string root_;

private:
    std::istringstream input_;
    std::ostringstream output_;
    std::unique_ptr<CConsoleUserInterface> ui_;
    std::unique_ptr<CScopedUserInterface> scoped_ui_;
    std::unique_ptr<CScopedSleep> sleep_;
};

// The operation log "viewprofile_log" of this test process.
std::string OperationLogText();

// Formats a printf-style numbered string as the store shows it.
std::string StoreString(unsigned id);
std::string StoreString(unsigned id, const std::string& insert);
std::string StoreString(unsigned id, const std::string& first, const std::string& second);

}  // namespace kelmora::test
