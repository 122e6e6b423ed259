#include "ui/edit_cspec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "client/cfs.h"
#include "client/client_messages.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

constexpr char kStored[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n";
constexpr char kValid[] = "element * CHECKEDOUT\r\nelement * /main/3\r\n";
constexpr char kInvalid[] = "element * CHECKEDOUT\r\nelement * /main/LATEST\r\n  elemnt * x\r\n";

// The visible editor on kStored, with the answers of its questions scripted.
class EditCSpecTest : public ::testing::Test {
protected:
    void Open() {
        dialog_.set_config_spec_text(kStored);
        dialog_.OnInitDialog();
    }
    // Which of Edit, Undo, Reset, Save are visible ("v") and enabled ("e").
    std::string Buttons() const {
        std::string out;
        for (int id : {CEditCSpec::kEditId, CEditCSpec::kUndoId, CEditCSpec::kResetId,
                       CEditCSpec::kSaveId}) {
            out += dialog_.IsVisible(id) ? "v" : "-";
            out += dialog_.IsEnabled(id) ? "e " : "- ";
        }
        return out;
    }
    test::CScriptedUserInterface ui_;
    CEditCSpec dialog_;
};

TEST_F(EditCSpecTest, ButtonsFollowEditChangesAndSave) {
    Open();
    EXPECT_EQ(Buttons(), "ve -e -e -e ");
    EXPECT_FALSE(dialog_.control().ReplaceText(kValid));  // read-only until Edit
    dialog_.OnEdit();
    EXPECT_EQ(Buttons(), "-- v- v- v- ");
    EXPECT_EQ(dialog_.focus(), CEditCSpec::kControlId);
    dialog_.control().ReplaceText(kValid);
    EXPECT_EQ(Buttons(), "-- ve ve ve ");
    dialog_.SetFocus(CEditCSpec::kSaveId);
    dialog_.OnSave();
    EXPECT_EQ(Buttons(), "-- ve v- v- ");
    EXPECT_EQ(dialog_.focus(), CEditCSpec::kControlId);  // not the disabled Save
    EXPECT_EQ(dialog_.config_spec_text(), kValid);
    EXPECT_EQ(dialog_.control().text(), kValid);
    dialog_.SetFocus(CEditCSpec::kUndoId);
    dialog_.OnUndo();  // back to the text before the save
    EXPECT_EQ(dialog_.control().text(), kStored);
    EXPECT_EQ(Buttons(), "-- ve ve ve ");
    dialog_.SetFocus(CEditCSpec::kResetId);
    dialog_.OnReset();
    EXPECT_EQ(dialog_.focus(), CEditCSpec::kControlId);
    EXPECT_EQ(dialog_.control().text(), kValid);
    EXPECT_EQ(Buttons(), "-- v- v- v- ");
    EXPECT_TRUE(ui_.shown().empty());
}

TEST_F(EditCSpecTest, SaveOfAnInvalidTextKeepsNothing) {
    test::CTempDir tmp;
    test::CScopedEnv tmp_env("TMPDIR", tmp.path());
    Open();
    dialog_.OnEdit();
    ASSERT_TRUE(dialog_.control().ReplaceText(kInvalid));
    dialog_.OnSave();
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));  // the checked copy is gone
    EXPECT_EQ(PendingClientErrors(), "");                // the check's words are no later report's
    ASSERT_EQ(ui_.shown().size(), 1u);
    EXPECT_EQ(dialog_.config_spec_text(), kStored);
    EXPECT_EQ(Buttons(), "-- ve ve ve ");
    // Too long to be read back: no line to name.
    ASSERT_TRUE(dialog_.control().ReplaceText(std::string(client::kMaxConfigSpecBytes + 1, ' ')));
    dialog_.OnSave();
    EXPECT_EQ(ui_.shown().back().text, CEditCSpec::kCannotParse);
}

}  // namespace
}  // namespace kelmora
