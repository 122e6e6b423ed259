// viewprofile status on each kind of view, field by field in JSON; nothing changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "client/checkout_admin.h"
#include "cspec/profile_site.h"
#include "tools/tool_fixture.h"

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

// A view associated with Proj at its revision; "" for the view and the VOB tags.
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
        ASSERT_EQ(RunProgram("stavetool", {"mkvob", vob_, temp_ / vob_.substr(1)}).exit_code, 0);
        MakeProfile("Proj", RulesFile("", "element * /main/LATEST\r\n"));
        WriteProfileFile("Proj", "VOB List", vob_ + "\r\n");
    }
    std::string vob_;
};

TEST_P(ViewStatusTest, AnswersEachFieldAndExitsByWhatNeedsTheUser) {
    const CStatusCase& c = GetParam();
    const std::string spec = c.spec();
    const std::string tag = MakeView(spec);
    if (c.mounted) {
        ASSERT_EQ(RunProgram("stavetool", {"mount", vob_}).exit_code, 0);
    }
    if (c.checkouts) {
        for (const char* element : {"a.c", "b.c"})
            ASSERT_EQ(client::CheckOut(tag, vob_, element, ""), TBS_ST_OK);
    }
    if (c.lock_file) WriteTextFile(root_ + "/.rev", c.lock_file);
    const bool had_lock_file = fs::exists(root_ + "/.rev");
    CCommandOutput run = OnView(tag, {"status", "--json"});
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
        R"({"revision":{"profile":null,"behind":null},"needs":["revision_unknown","vobs_not_mounted"]})", false, false, "7\npending\t\\Stavemark View Profiles\\Proj\t5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 2.6\n"},
    CStatusCase{"ProfileMoved", [] { return Associated(kTop + "\\Old", kGuid + " 2.5"); }, 1,
        R"({"profile":{"name":"\\Stavemark View Profiles\\Old","state":"moved",
            "moved_to":"\\Stavemark View Profiles\\Proj"},
            "needs":["profile_moved","vobs_not_mounted"]})"},
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

class SyncAllTest : public CProfileSiteTest {
protected:
    CScopedHome home_;
};

// Three views behind; a fourth's profile has a GUID file without a revision.
TEST_F(SyncAllTest, PreviewChangesNothingAndTwoJobsUpdateEveryViewThatCanBe) {
    const std::string other_guid = "0d7c4b2a-1e9f-4a3b-8c6d-5e4f3a2b1c0d";
    MakeProfile("Proj", RulesFile("", "element * /main/LATEST\r\n"));
    MakeProfile("Other", RulesFile("", "element * REL_2\r\n"), other_guid + " 1.1");
    const std::vector<std::string> specs = {Associated(kProj, kGuid + " 2.3"),
                                            Associated(kProj, kGuid + " 2.4"),
                                            Associated(kTop + "\\Other", other_guid + " 1.0")};
    std::vector<std::string> tags;
    for (const std::string& spec : specs) tags.push_back(MakeView(spec));
    MakeProfile("Broken", RulesFile("", ""), "4e1d0c2b-9a8f-4e7d-b6c5-a4b3c2d1e0f9");
    const std::string broken =
        MakeView(Associated(kTop + "\\Broken", "4e1d0c2b-9a8f-4e7d-b6c5-a4b3c2d1e0f9 1.0"));
    CCommandOutput run = OnView("", {"sync", "--all", "--preview"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_TRUE(Holds(run.out, "would be updated: 3\n"));
    for (size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(StoredSpec(tags[i]), specs[i]);

    run = OnView("", {"sync", "--all", "--jobs", "2"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_TRUE(Holds(run.out, "updated: 3\n"));
    EXPECT_TRUE(Holds(run.out, "needs you: 1\n  " + broken +
                                   ": cannot read the revision of profile '\\Stavemark View "
                                   "Profiles\\Broken'"));
    for (const std::string& tag : tags) EXPECT_EQ(OnView(tag, {"status"}).exit_code, 0);
}

class ViewStatusExitTest : public CProfileSiteTest {};

// From 2.5 the saved history shows the change; from 2.4, before it began, the preview.
TEST_F(ViewStatusExitTest, DiffShowsTheRulesSinceTheViewsRevisionElseThePreview) {
    MakeProfile("Proj", RulesFile("", "element * REL_1\r\n"));
    WriteTextFile(temp_ / "rules", RulesFile("", "element * REL_2\r\n"));
    ASSERT_EQ(RunProgram("vptree", {"set", kProj, "Rules", "--file", temp_ / "rules"}).exit_code,
              0);
    ASSERT_EQ(RunProgram("vptree", {"save", kProj}).exit_code, 0);
    for (const auto& [revision, source] :
         {std::pair{"2.5", "history"}, std::pair{"2.4", "preview"}}) {
        const std::string tag = MakeView(Associated(kProj, kGuid + " " + revision));
        CCommandOutput run = OnView(tag, {"status", "--diff", "--json"});
        EXPECT_EQ(run.exit_code, 1) << run.err;
        const json diff = json::parse(run.out)["diff"];
        EXPECT_EQ(diff["from"], revision);
        EXPECT_EQ(diff["to"], "2.6");
        EXPECT_EQ(diff["source"], source);
        EXPECT_TRUE(Holds(diff["text"].get<std::string>(), "\n+element * REL_2\n"));
    }
}

// The exit status is the highest; --all takes every view of the client.
TEST_F(ViewStatusExitTest, SeveralViewsAnswerAsEachAlone) {
    MakeProfile("Proj", RulesFile("", ""));
    WriteProfileFile("Proj", "VOB List", "\\nowhere\r\n");
    // A save cut before its bump, which the lock file read once for all views tells too.
    WriteTextFile(root_ + "/.rev", "7\npending\t" + kProj + "\t" + kGuid + " 2.6\n");
    std::vector<std::string> tags;
    for (const std::string& spec :
         {Associated(kProj, kGuid + " 2.5"), Associated(kProj, kGuid + " 2.3"),
          Associated(kTop + "\\Old", kGuid + " 2.5"), std::string("element * /main/LATEST\r\n")})
        tags.push_back(MakeView(spec));
    json alone = json::array();
    std::vector<std::string> args = {BuiltProgram("viewprofile")};
    for (const std::string& tag : tags) {
        const CCommandOutput run = OnView(tag, {"status", "--json"});
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
    run = OnView("", {"status", "--all", "--json"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const json every = json::parse(run.out)["views"];
    for (const json& view : alone)
        EXPECT_NE(std::find(every.begin(), every.end(), view), every.end()) << view["view"];
}

}  // namespace
}  // namespace kelmora::test
