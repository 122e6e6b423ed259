// Every message path of the store under a language pack whose entries carry
// one conversion too many, or a "%n": the built-in text is used instead, so
// no format reads a value it was not given. A pack entry with the built-in
// conversions is used.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "store/current_tree.h"
#include "store/profile_load_save.h"
#include "store/store_fixture.h"
#include "store/tree_edit.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"

namespace kelmora {
namespace {

namespace fs = std::filesystem;
using test::Texts;

constexpr char kCatalogue[] =
    "1\tFehler %1!d! %2!s! %3!s! %4!s!\n"
    "3\t%s %s %n\n"
    "4\t%s %s %s\n"
    "5\tDer Ordner hat schon '%s'\n"
    "7\t%n%s%s%s\n"
    "8\t%s %s %s %s\n"
    "11\t%s %s\n"
    "15\t%s %n\n"
    "16\t%s %s %s\n"
    "100\t%s %s\n";

class StoreMessagesTest : public test::CStoreTest {
public:
    // For the cases' actions.
    using CStoreTest::Answer;
    using CStoreTest::Full;
    using CStoreTest::Load;
    using CStoreTest::MakeFolder;
    using CStoreTest::Native;
    using CStoreTest::Node;
    using CStoreTest::root;
    using CStoreTest::SetProjectRootSetting;

    // What the store showed: boxes first, then name prompts.
    Texts Shown() const {
        Texts texts = Messages();
        for (const CShownNamePrompt& prompt : NamePrompts()) texts.push_back(prompt.message);
        return texts;
    }

protected:
    void SetUp() override {
        CStoreTest::SetUp();
        test::WriteTextFile(temp_ / "strings.cat", kCatalogue);
        ASSERT_TRUE(LoadStringCatalogue(temp_ / "strings.cat"));
        MakeProfileFolder("Top/Proj", "proj-guid 1.4");
        MakeFolder("Top/Group/Proj");
    }
    void TearDown() override {
        UnloadStringCatalogue();
        CStoreTest::TearDown();
    }
};

struct CMessageCase {
    const char* label;
    std::function<void(StoreMessagesTest&)> act;
    // The message, by the test's tree root.
    std::function<std::string(const StoreMessagesTest&)> expected;
};

class StoreMessageTest : public StoreMessagesTest,
                         public ::testing::WithParamInterface<CMessageCase> {};

TEST_P(StoreMessageTest, UsesTheBuiltInTextWhenThePacksConversionsDiffer) {
    GetParam().act(*this);
    const Texts shown = Shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), GetParam().expected(*this)) << ::testing::PrintToString(shown);
}

std::string NoSuchFile() {
    return std::strerror(ENOENT);
}

// Each case loads the tree itself where it needs one.
const CMessageCase kCases[] = {
    {"TreeRootMissing",
     [](StoreMessagesTest& t) {
         fs::remove_all(t.root());
         LoadProfileTree(false);
     },
     [](const StoreMessagesTest& t) {
         return "Did not find a Stavemark View Profile tree at\n\n    " + t.root() +
                "\n\nPlease update the network share name for the Profile\ntree through the "
                "Stavemark control panel applet.";
     }},
    {"TreeGoneBeforeTheLock",
     [](StoreMessagesTest& t) {
         ASSERT_NE(t.Load(), nullptr);
         fs::remove_all(t.root());
         TakeTreeLock(TreeLockStart::kNoCheck, false, false);
     },
     [](const StoreMessagesTest& t) {
         return "Did not find a Stavemark View Profile tree at\n\n    " + t.root() +
                "\n\nPlease update the network share name for the Profile\ntree through the "
                "Stavemark control panel applet.";
     }},
    {"TreeRootIsTheNameSpaceRoot",
     [](StoreMessagesTest&) {
         // One trailing separator is dropped: this names "/".
         StoreMessagesTest::SetProjectRootSetting("//");
         LoadProfileTree(false);
     },
     [](const StoreMessagesTest&) {
         return std::string(
             "The View Profile tree root is not correctly configured on this machine.\nThe "
             "network share \"/\" refers to the root directory on a disk\ndrive.  View Profile "
             "trees must be created in a private subdirectory.\n\nPlease update the tree root "
             "setting on the 'Options' page of the\nStavemark control panel applet.");
     }},
    {"TopFolderCannotBeMade",
     [](StoreMessagesTest& t) {
         test::WriteTextFile(t.Native("notes"), "a file makes the root a profile");
         t.MakeFolder("Stavemark View Profiles");
         LoadProfileTree(false);
     },
     [](const StoreMessagesTest& t) {
         return "Error creating top level View Profile folder:\n" +
                t.Native("Stavemark View Profiles") + "\n\n" + std::strerror(EEXIST) +
                "\n\nPlease verify that the root of the View Profile tree has been set\ncorrectly "
                "on the 'Options' page of the Stavemark control panel\napplet, and that you have "
                "the appropriate permissions to create\nthe Profile tree.";
     }},
    {"NewFolderInAFolderGone",
     [](StoreMessagesTest& t) {
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* group = t.Node("\\Top\\Group");
         fs::remove_all(t.Native("Top/Group"));
         MakeNewFolder(group);
     },
     [](const StoreMessagesTest& t) {
         return "Error creating " + t.Native("Top/Group/New Folder") + ":\n" + NoSuchFile();
     }},
    {"CopyOntoATakenName",
     [](StoreMessagesTest& t) {
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* group = t.Node("\\Top\\Group");
         CreateOrCopyProfile(group, t.Full("\\Top\\Proj"), false);
     },
     [](const StoreMessagesTest&) { return std::string("Der Ordner hat schon 'Proj'"); }},
    {"RenameOntoATakenName",
     [](StoreMessagesTest& t) {
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* proj = t.Node("\\Top\\Proj");
         RenameNode(proj, "Group");
     },
     [](const StoreMessagesTest& t) {
         return "Error renaming " + t.Native("Top/Proj") + ":\n" + std::strerror(EEXIST);
     }},
    {"DeleteOfAProfileWithASubfolder",
     [](StoreMessagesTest& t) {
         t.MakeFolder("Top/Proj/Sub");
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* proj = t.Node("\\Top\\Proj");
         DeleteNode(proj);
     },
     [](const StoreMessagesTest& t) {
         return "Error removing " + t.Native("Top/Proj") + ":\n" + std::strerror(ENOTEMPTY);
     }},
    {"SavedProfileCannotBeNamed",
     [](StoreMessagesTest& t) {
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* proj = t.Node("\\Top\\Proj");
         t.Answer("\n");  // closes the rename's message; the prompt meets the end
         SaveProfile(proj, CProfileRecord(), kSaveNothing, "Group");
     },
     [](const StoreMessagesTest&) {
         return "Unable to name View Profile 'Group'.\r\n\r\n" + std::string(std::strerror(EEXIST));
     }},
    {"FifoInAProfile",
     [](StoreMessagesTest& t) {
         ASSERT_EQ(mkfifo(t.Native("Top/Proj/Description").c_str(), 0600), 0);
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* proj = t.Node("\\Top\\Proj");
         LoadProfile(proj);
     },
     [](const StoreMessagesTest& t) {
         return "'" + t.Native("Top/Proj/Description") +
                "' is not a regular file and was left alone.";
     }},
    {"SaveWithoutAGuidFile",
     [](StoreMessagesTest& t) {
         fs::remove(t.Native("Top/Proj/GUID"));
         t.MakeFolder("Top/Proj/keeps it a profile");
         test::WriteTextFile(t.Native("Top/Proj/Rules"), "");
         ASSERT_NE(t.Load(), nullptr);
         CTreeNode* proj = t.Node("\\Top\\Proj");
         SaveProfile(proj, CProfileRecord(), kSaveRules, "");
     },
     [](const StoreMessagesTest& t) {
         // A message-format text leaves out an insert that has no value.
         return "Fehler 2 " + t.Native("Top/Proj/GUID") + " " + NoSuchFile() + " ";
     }},
};

INSTANTIATE_TEST_SUITE_P(Paths, StoreMessageTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelmora
