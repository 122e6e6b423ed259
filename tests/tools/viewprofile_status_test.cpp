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
namespace fs = std::filesystem;

const std::string kSection = kSectionHeader + "element * /main/LATEST\r\n" + kEnd;
std::string Associated(const std::string& name, const std::string& id) {
    return InfoBlock(name, id) + kSection;
}

struct CStatusCase {
    const char* label;
    std::function<std::string()> spec;
    int exit_code;
    // What differs from kAssociated's answer.
    const char* differs;
    bool checkouts = false;           // two elements of the VOB checked out to the view
    bool mounted = false;             // the profile's VOB is mounted
    const char* lock_file = nullptr;  // what the tree's .rev holds
};

// The answer for a view associated with Proj at its revision, every field but
// the view's own, with the profile VOB's tag for "VOB".
const json kAssociated = json::parse(R"({"view":"","kind":"dynamic","workspace":null,
    "associated":true,"edited_outside":false,"profile":{"name":"\\Stavemark View Profiles\\Proj",
    "guid":"5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13","state":"found","moved_to":null},
    "revision":{"view":"2.5","profile":"2.5","behind":0},"private_branch":null,
    "checkouts":{"total":0,"vobs":[]},"vobs":[{"tag":"","mounted":false}],"up_to_date":false,
    "needs":[]})");

// The object with the members of the change put in, nulls too.
json Changed(json object, const json& change) {
    for (const auto& [key, value] : change.items())
        object[key] =
            value.is_object() && object[key].is_object() ? Changed(object[key], value) : value;
    return object;
}

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
    const std::string spec = c.spec();
    const std::string tag = MakeView(spec);
    if (c.mounted) {
        ASSERT_EQ(Stavetool({"mount", vob_}), 0);
    }
    if (c.checkouts) {
        for (const char* element : {"a.c", "b.c"})
            ASSERT_EQ(client::CheckOut(tag, vob_, element, ""), TBS_ST_OK);
    }
    if (c.lock_file) WriteTextFile(root_ + "/.rev", c.lock_file);
    const bool had_lock_file = fs::exists(root_ + "/.rev");
    CCommandOutput run =
        RunCommand({BuiltProgram("viewprofile"), "--view", tag, "status", "--json"});
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(fs::exists(root_ + "/.rev"), had_lock_file);  // a look writes nothing
    json expected = Changed(kAssociated, json::parse(c.differs));
    expected["view"] = tag;
    for (json& vob : expected["vobs"]) vob["tag"] = vob_;
    for (json& vob : expected["checkouts"]["vobs"]) vob["vob"] = vob_;
    json answered = json::parse(run.out);
    answered.erase("messages");  // the operations' own texts, tested with them
    EXPECT_EQ(answered, expected) << run.out;
    EXPECT_EQ(StoredSpec(tag), spec);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Views, ViewStatusTest, ::testing::Values(
    CStatusCase{"Unassociated", [] { return std::string("element * /main/LATEST\r\n"); }, 1,
        R"({"associated":false,"profile":null,"revision":null,"vobs":[],
            "needs":["not_associated"]})"},
    CStatusCase{"UpToDate", [] { return Associated(kProj, kGuid + " 2.5"); }, 0,
        R"({"vobs":[{"tag":"","mounted":true}],"up_to_date":true})", false, true},
    CStatusCase{"TwoSavesBehind", [] { return Associated(kProj, kGuid + " 2.3"); }, 1,
        R"({"revision":{"view":"2.3","behind":2},"needs":["behind","vobs_not_mounted"]})"},
    CStatusCase{"FarBehind", [] { return Associated(kProj, kGuid + " 2.-2147483648"); }, 1,
        R"({"revision":{"view":"2.-2147483648","behind":2147483653},
            "needs":["behind","vobs_not_mounted"]})"},
    CStatusCase{"PrivateBranchWithCheckouts",
        [] {
            return PrivateBlock(kProj, kGuid + " 2.5",
                                "element * ...\\jdoe\\LATEST\r\nmkbranch jdoe\r\n") +
                   kSectionHeader + "element * REL_1\r\n" + kEnd;
        },
        1, R"({"private_branch":{"name":"jdoe","branch_point":"REL_1"},"up_to_date":true,
              "checkouts":{"total":2,"vobs":[{"vob":"","count":2}]},
              "needs":["checkouts","vobs_not_mounted"]})", true},
    // A save of the Rules was cut before its bump: the revision is not known yet.
    CStatusCase{"SaveCutBeforeItsBump", [] { return Associated(kProj, kGuid + " 2.5"); }, 1,
        R"({"revision":{"profile":null,"behind":null},"needs":["revision_unknown","vobs_not_mounted"]})",
        false, false, "7\npending\t\\Stavemark View Profiles\\Proj\t5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 2.6\n"},
    CStatusCase{"ProfileMoved", [] { return Associated(kTop + "\\Old", kGuid + " 2.5"); }, 1,
        R"({"profile":{"name":"\\Stavemark View Profiles\\Old","state":"moved",
            "moved_to":"\\Stavemark View Profiles\\Proj"},
            "needs":["profile_moved","vobs_not_mounted"]})"},
    CStatusCase{"ProfileDeleted",
        [] { return Associated(kTop + "\\Gone", "0d7c4b2a-1e9f-4a3b-8c6d-5e4f3a2b1c0d 2.5"); }, 1,
        R"({"profile":{"name":"\\Stavemark View Profiles\\Gone","state":"gone",
            "guid":"0d7c4b2a-1e9f-4a3b-8c6d-5e4f3a2b1c0d"},"revision":{"profile":null,"behind":null},
            "vobs":[],"needs":["profile_gone"]})"},
    // The closing comment lost its trailing blanks: no longer the module's text.
    CStatusCase{"HandEdited",
        [] {
            std::string spec = Associated(kProj, kGuid + " 2.5");
            spec.replace(spec.find("comment.      "), 14, "comment.");
            return spec;
        },
        1, R"({"edited_outside":true,"profile":{"state":null},
              "revision":{"profile":null,"behind":null},"vobs":[],"needs":["edited_outside"]})"}),
    [](const auto& info) { return CaseName(info.index, info.param.label); });
// clang-format on

class ViewStatusExitTest : public CProfileSiteTest {};

TEST_F(ViewStatusExitTest, UpToDateAndCleanIsZeroInTextToo) {
    MakeProfile("Proj", RulesFile("", ""));
    const std::string tag = MakeView(Associated(kProj, kGuid + " 2.5"));
    CCommandOutput run = RunCommand({BuiltProgram("viewprofile"), "--view", tag, "status"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(
        run.out.find("\nrevision        view 2.5, profile 2.5: up to date\nprivate branch  none\n"
                     "checkouts       none\nneeds           nothing\n"),
        std::string::npos)
        << run.out;
}

TEST_F(ViewStatusExitTest, AnUnknownViewIsAnAccessErrorAsAJsonObject) {
    CCommandOutput run =
        RunCommand({BuiltProgram("viewprofile"), "--view", "no_such_view", "status", "--json"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    const json error = json::parse(run.err);
    EXPECT_EQ(error["status"], 2);
    EXPECT_EQ(error["error"], "no view 'no_such_view' (stavetool lsview lists the views)");
    run = RunCommand({BuiltProgram("viewprofile"), "status", "--json"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(json::parse(run.err)["error"],
              "status works on a view: give --view TAG or --workspace PATH");
}

// In one process, each view answers as it does alone; the exit status is the
// highest, and --all takes every view of the client.
TEST_F(ViewStatusExitTest, SeveralViewsAnswerAsEachAlone) {
    MakeProfile("Proj", RulesFile("", ""));
    WriteProfileFile("Proj", "VOB List", "\\nowhere\r\n");
    std::vector<std::string> tags;
    for (const std::string& spec :
         {Associated(kProj, kGuid + " 2.5"), Associated(kProj, kGuid + " 2.3"),
          Associated(kTop + "\\Old", kGuid + " 2.5"), std::string("element * /main/LATEST\r\n")})
        tags.push_back(MakeView(spec));
    json alone = json::array();
    std::vector<std::string> args = {BuiltProgram("viewprofile")};
    for (const std::string& tag : tags) {
        const CCommandOutput run =
            RunCommand({BuiltProgram("viewprofile"), "--view", tag, "status", "--json"});
        ASSERT_EQ(run.exit_code, 1) << run.err;
        alone.push_back(json::parse(run.out));
        args.insert(args.end(), {"--view", tag});
    }
    args.insert(args.end(), {"--view", "no_such_view", "status", "--json"});
    CCommandOutput run = RunCommand(args);
    EXPECT_EQ(run.exit_code, 2) << run.err;
    json expected = {{"views", alone}};
    expected["views"].push_back(
        {{"view", "no_such_view"},
         {"error", "no view 'no_such_view' (stavetool lsview lists the views)"}});
    EXPECT_EQ(json::parse(run.out), expected);
    run = RunCommand({BuiltProgram("viewprofile"), "status", "--all", "--json"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const json every = json::parse(run.out)["views"];
    for (const json& view : alone)
        EXPECT_NE(std::find(every.begin(), every.end(), view), every.end()) << view["view"];
}

}  // namespace
}  // namespace kelmora::test
