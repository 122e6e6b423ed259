// viewprofile status through the shipped program: each kind of view the
// module meets, answered as one JSON document checked field by field, with
// its exit status; and nothing in the view changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <nlohmann/json.hpp>

#include "client/checkout_admin.h"
#include "client/vob_admin.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

using nlohmann::json;

const std::string kSection = kSectionHeader + "element * /main/LATEST\r\n" + kEnd;
std::string Associated(const std::string& name, const std::string& id) {
    return InfoBlock(name, id) + kSection;
}

struct CStatusCase {
    const char* label;
    std::function<std::string(const std::string& vob)> spec;
    int exit_code;
    // Every field but the view's own, with the profile VOB's tag for "VOB".
    const char* expected;
    bool checkouts = false;  // two elements of the VOB checked out to the view
    bool mounted = false;    // the profile's VOB is mounted
};

class ViewStatusTest : public CProfileSiteTest, public ::testing::WithParamInterface<CStatusCase> {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        vob_ = "\\" + UniqueName("vob");
        ASSERT_EQ(Stavetool({"mkvob", vob_, temp_ / vob_.substr(1)}), 0);
        MakeProfile("Proj", RulesFile("", "element * /main/LATEST\r\n"));
        WriteProfileFile("Proj", "VOB List", vob_ + "\r\n");
    }
    static int Stavetool(std::vector<std::string> args) {
        args.insert(args.begin(), BuiltProgram("stavetool"));
        return RunCommand(args).exit_code;
    }
    std::string vob_;
};

TEST_P(ViewStatusTest, AnswersEachFieldAndExitsByWhatNeedsTheUser) {
    const CStatusCase& c = GetParam();
    const std::string spec = c.spec(vob_);
    const std::string tag = MakeView(spec);
    if (c.mounted) {
        ASSERT_EQ(Stavetool({"mount", vob_}), 0);
    }
    if (c.checkouts) {
        for (const char* element : {"a.c", "b.c"})
            ASSERT_EQ(client::CheckOut(tag, vob_, element, ""), TBS_ST_OK);
    }
    CCommandOutput run = RunCommand({BuiltProgram("viewprofile"), "--view", tag, "status", "--json"});
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    json expected = json::parse(c.expected);
    expected["view"] = tag;
    for (json& vob : expected["vobs"]) vob["tag"] = vob_;
    for (json& vob : expected["checkouts"]["vobs"]) vob["vob"] = vob_;
    json answered = json::parse(run.out);
    answered.erase("messages");  // the operations' own texts, tested with them
    EXPECT_EQ(answered, expected) << run.out;
    EXPECT_EQ(StoredSpec(tag), spec);
}


INSTANTIATE_TEST_SUITE_P(
    Views, ViewStatusTest,
    ::testing::Values(
        CStatusCase{"Unassociated", [](auto&) { return std::string("element * /main/LATEST\r\n"); },
                    1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":false,
            "edited_outside":false,"profile":null,"revision":null,"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[],"up_to_date":false,
            "needs":["not_associated"]})"},
        CStatusCase{"UpToDate", [](auto&) { return Associated(kProj, kGuid + " 2.5"); }, 0,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Proj",
            "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":"found","moved_to":null},
            "revision":{"view":"2.5","profile":"2.5","behind":0},"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[{"tag":"","mounted":true}],
            "up_to_date":true,"needs":[]})",
                    false, true},
        CStatusCase{"TwoSavesBehind", [](auto&) { return Associated(kProj, kGuid + " 2.3"); }, 1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Proj",
            "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":"found","moved_to":null},
            "revision":{"view":"2.3","profile":"2.5","behind":2},"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[{"tag":"","mounted":false}],
            "up_to_date":false,"needs":["behind","vobs_not_mounted"]})"},
        CStatusCase{"PrivateBranchWithCheckouts",
                    [](auto&) {
                        return PrivateBlock(kProj, kGuid + " 2.5",
                                            "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n") +
                               kSectionHeader + "element * REL_1\r\n" + kEnd;
                    },
                    1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Proj",
            "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":"found","moved_to":null},
            "revision":{"view":"2.5","profile":"2.5","behind":0},
            "private_branch":{"name":"jdoe","branch_point":"REL_1"},
            "checkouts":{"total":2,"vobs":[{"vob":"","count":2}]},
            "vobs":[{"tag":"","mounted":false}],"up_to_date":true,
            "needs":["checkouts","vobs_not_mounted"]})",
                    true},
        CStatusCase{"ProfileMoved",
                    [](auto&) { return Associated(kTop + "\\Old", kGuid + " 2.5"); }, 1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Old",
            "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":"moved",
            "moved_to":"\\Stavemark View Profiles\\Proj"},
            "revision":{"view":"2.5","profile":"2.5","behind":0},"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[{"tag":"","mounted":false}],
            "up_to_date":false,"needs":["profile_moved","vobs_not_mounted"]})"},
        CStatusCase{"ProfileDeleted",
                    [](auto&) {
                        return Associated(kTop + "\\Gone",
                                          "0d7c4b2a-1e9f-4a3b-8c6d-5e4f3a2b1c0d 2.5");
                    },
                    1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Gone",
            "guid":"0d7c4b2a-1e9f-4a3b-8c6d-5e4f3a2b1c0d","state":"gone","moved_to":null},
            "revision":{"view":"2.5","profile":null,"behind":null},"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[],"up_to_date":false,
            "needs":["profile_gone"]})"},
        // The closing comment lost its trailing blanks: no longer the module's text.
        CStatusCase{"HandEdited",
                    [](auto&) {
                        std::string spec = Associated(kProj, kGuid + " 2.5");
                        spec.replace(spec.find("comment.      "), 14, "comment.");
                        return spec;
                    },
                    1,
                    R"({"view":"","kind":"dynamic","workspace":null,"associated":true,
            "edited_outside":true,"profile":{"name":"\\Stavemark View Profiles\\Proj",
            "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":null,"moved_to":null},
            "revision":{"view":"2.5","profile":null,"behind":null},"private_branch":null,
            "checkouts":{"total":0,"vobs":[]},"vobs":[],"up_to_date":false,
            "needs":["edited_outside"]})"}),
    [](const auto& info) { return CaseName(info.index, info.param.label); });

class ViewStatusExitTest : public CProfileSiteTest {};

TEST_F(ViewStatusExitTest, UpToDateAndCleanIsZeroInTextToo) {
    MakeProfile("Proj", RulesFile("", ""));
    const std::string tag = MakeView(Associated(kProj, kGuid + " 2.5"));
    CCommandOutput run = RunCommand({BuiltProgram("viewprofile"), "--view", tag, "status"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "view            " + tag +
                           " (dynamic)\n"
                           "associated      yes\n"
                           "profile         \\Stavemark View Profiles\\Proj\n"
                           "GUID            5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13\n"
                           "revision        view 2.5, profile 2.5: up to date\n"
                           "private branch  none\n"
                           "checkouts       none\n"
                           "needs           nothing\n");
}

TEST_F(ViewStatusExitTest, AnUnknownViewIsAnAccessErrorAsAJsonObject) {
    CCommandOutput run =
        RunCommand({BuiltProgram("viewprofile"), "--view", "no_such_view", "status", "--json"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    const json error = json::parse(run.err);
    EXPECT_EQ(error["status"], 2);
    EXPECT_NE(error["error"].get<std::string>().find("Error getting view handle."),
              std::string::npos)
        << run.err;
    run = RunCommand({BuiltProgram("viewprofile"), "status", "--json"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(json::parse(run.err)["error"], "status needs --view or --workspace");
}

}  // namespace
}  // namespace kelmora::test
