#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/client_test_util.h"
#include "client/type_admin.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

CCommandOutput Stavetool(std::vector<std::string> args) {
    args.insert(args.begin(), BuiltProgram("stavetool"));
    return RunCommand(args);
}

constexpr char kConfigSpec[] =
    "# caf\xC3\xA9\r\n"
    "element * CHECKEDOUT\r\n"
    "element * /main/LATEST\r\n";

TEST(StavetoolTest, ConfigSpecRoundTripsByteForByteAndAnUnparsableOneIsRefused) {
    CTempDir dir;
    const std::string tag = UniqueName("v1");
    WriteTextFile(dir / "good", kConfigSpec);
    WriteTextFile(dir / "bad", "element * CHECKEDOUT\nelement * /main/LATEST\nend mkbranch\n");
    CCommandOutput made = Stavetool({"mkview", tag});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    CCommandOutput set = Stavetool({"setcs", tag, dir / "good"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    CCommandOutput cat = Stavetool({"catcs", tag});
    ASSERT_EQ(cat.exit_code, 0) << cat.err;
    EXPECT_EQ(cat.out, kConfigSpec);

    CCommandOutput refused = Stavetool({"setcs", tag, dir / "bad"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("Syntax error on line 3, near column 1,"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("stavetool: "), std::string::npos) << refused.err;
    cat = Stavetool({"catcs", tag});
    ASSERT_EQ(cat.exit_code, 0) << cat.err;
    EXPECT_EQ(cat.out, kConfigSpec);  // the old one is kept
}

TEST(StavetoolTest, HelpDescribesTheCommands) {
    CCommandOutput help = Stavetool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* command :
         {"setting", "mkview", "mkws", "rmview", "lsview", "setcs", "catcs", "mkvob", "seevob",
          "co", "ci", "unco", "lsco", "vobfault", "mktag", "rmtag", "lsvob", "mount", "umount",
          "mountfault", "--param", "mkbrtype", "mklbtype", "lock", "unlock", "rmtype", "lstype"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

using Args = std::vector<std::string>;

std::string JoinedArgs(const Args& args) {
    std::string joined;
    for (const std::string& arg : args) joined += (joined.empty() ? "" : " ") + arg;
    return joined.empty() ? "NoArguments" : joined;
}

class StavetoolUsageTest : public ::testing::TestWithParam<Args> {};

TEST_P(StavetoolUsageTest, MisuseExitsWithTwoAndSaysSo) {
    CCommandOutput run = Stavetool(GetParam());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err.rfind("stavetool: ", 0), 0u) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Misuse, StavetoolUsageTest,
    ::testing::Values(
        Args{}, Args{"frobnicate"}, Args{"mkview"}, Args{"mkview", "a", "b"},
        Args{"mkview", "--force", "a"}, Args{"mkws", "a"}, Args{"setcs", "a"}, Args{"catcs"},
        Args{"lsview", "x"}, Args{"setting"}, Args{"setting", "frob", "x"}, Args{"setting", "get"},
        Args{"setting", "get", "--machine", "x"}, Args{"setting", "set", "a", "b", "c", "d"},
        Args{"mkvob", "/v"}, Args{"mkvob", "/v", "s", "--replica"},
        Args{"mkvob", "/v", "s", "--frob"}, Args{"co", "v", "/v"},
        Args{"ci", "v", "/v", "e", "--master", "r"}, Args{"lsco"}, Args{"seevob", "v"},
        Args{"vobfault", "/v"}, Args{"vobfault", "/v", "0"}, Args{"vobfault", "/v", "12x"},
        Args{"vobfault", "/v", "1002", "--at", "frob"}, Args{"vobfault", "/v", "1002", "--clear"},
        Args{"mktag", "\\t"}, Args{"mktag", "\\t", "s", "--opts"}, Args{"rmtag"},
        Args{"lsvob", "x"}, Args{"mount"}, Args{"mount", "-a", "\\t"}, Args{"umount", "a", "b"},
        Args{"mountfault", "\\t", "0"}, Args{"mountfault", "\\t", "1", "--clear"},
        Args{"setting", "set", "--param", "10", "-1"}),
    [](const auto& info) { return test::CaseName(info.index, JoinedArgs(info.param)); });

// Refusals on a site with a view (%view) and a VOB (%vob) where "a.c" is
// checked out and the branch type "priv" is locked; %none names nothing.
struct CRefusalCase {
    const char* label;
    Args args;
    std::string says;
};

class StavetoolRefusalTest : public ::testing::TestWithParam<CRefusalCase> {
protected:
    void SetUp() override {
        ASSERT_EQ(client::CreateView(view_), TBS_ST_OK);
        ASSERT_EQ(client::CreateVob(vob_, dir_ / "vob", {}), TBS_ST_OK);
        ASSERT_EQ(client::CheckOut(view_, vob_, "a.c", ""), TBS_ST_OK);
        ASSERT_EQ(client::CreateType(client::ETypeKind::kBranch, "priv", vob_, "", false),
                  TBS_ST_OK);
        ASSERT_EQ(client::SetTypeLock(client::ETypeKind::kBranch, "priv", vob_, true), TBS_ST_OK);
        WriteTextFile(dir_ / "cs", kConfigSpec);
    }
    std::string Named(std::string text) const {
        for (const auto& [token, name] : {std::pair<std::string, std::string>{"%view", view_},
                                          {"%vob", vob_},
                                          {"%none", none_},
                                          {"%dir", dir_.path()}})
            for (size_t at; (at = text.find(token)) != std::string::npos;)
                text.replace(at, token.size(), name);
        return text;
    }
    CTempDir dir_;
    const std::string view_ = UniqueName("v"), vob_ = "/" + UniqueName("vob"),
                      none_ = UniqueName("none");
};

TEST_P(StavetoolRefusalTest, ExitsWithOneAndSaysWhy) {
    Args args = GetParam().args;
    for (std::string& arg : args) arg = Named(arg);
    CCommandOutput run = Stavetool(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("stavetool: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(Named(GetParam().says)), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, StavetoolRefusalTest,
    ::testing::Values(
        CRefusalCase{"CatcsOfNoView", {"catcs", "%none"}, "no view \"%none\""},
        CRefusalCase{"SetcsOfNoView", {"setcs", "%none", "%dir/cs"}, "no view \"%none\""},
        CRefusalCase{"SetcsOfNoFile", {"setcs", "%view", "%dir/missing"}, "cannot read %dir/missing"},
        CRefusalCase{"RmviewOfNoView", {"rmview", "%none"}, "no view \"%none\""},
        CRefusalCase{"MkviewTwice", {"mkview", "%view"}, "view \"%view\" already exists"},
        CRefusalCase{"MkvobOnTakenStorage", {"mkvob", "/%none", "%dir/vob"}, "exists already"},
        CRefusalCase{"CoInNoView", {"co", "%none", "%vob", "e"}, "no view \"%none\""},
        CRefusalCase{"CoTwice", {"co", "%view", "%vob", "a.c"}, "is checked out to view"},
        CRefusalCase{"CoMasteredElsewhere", {"co", "%view", "%vob", "z.c", "--master", "far"},
                     "is not replicated"},
        CRefusalCase{"CiInNoVob", {"ci", "%view", "/%none", "e"}, "no VOB \"/%none\""},
        CRefusalCase{"UncoOfNoCheckout", {"unco", "%view", "%vob", "x.c"}, "is not checked out"},
        CRefusalCase{"LscoOfNoView", {"lsco", "%none"}, "no view \"%none\""},
        CRefusalCase{"SeevobOfNoVob", {"seevob", "%view", "/%none"}, "no VOB"},
        CRefusalCase{"VobfaultOfNoVob", {"vobfault", "/%none", "1002"}, "no VOB"},
        CRefusalCase{"MkbrtypeTwice", {"mkbrtype", "priv", "%vob"}, "exists already"},
        CRefusalCase{"RmtypeOfALockedType", {"rmtype", "brtype:priv@%vob"}, "is locked"},
        CRefusalCase{"InvalidTypeName", {"mkbrtype", "a:b", "%vob"}, "invalid type name"},
        CRefusalCase{"UnlockOfNoType", {"unlock", "brtype:none@%vob"}, "no branch type \"none\""},
        CRefusalCase{"LstypeOfNoVob", {"lstype", "/%none"}, "no VOB"},
        CRefusalCase{"SettingNotSet", {"setting", "get", "--user", "%none", "Folder"}, "no setting"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(StavetoolTest, ViewsAndWorkspacesAreListedAndRemoved) {
    CTempDir dir;
    const std::string view = UniqueName("dyn"), ws = UniqueName("ws");
    ASSERT_EQ(Stavetool({"mkview", view}).exit_code, 0);
    CCommandOutput made = Stavetool({"mkws", ws, dir / "root"});
    ASSERT_EQ(made.exit_code, 0) << made.err;

    CCommandOutput list = Stavetool({"lsview"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    auto line_of = [&](const std::string& tag) {
        size_t start = list.out.find(tag + " ");
        if (start == std::string::npos) return std::string();
        return list.out.substr(start, list.out.find('\n', start) - start);
    };
    EXPECT_NE(line_of(view).find(" dynamic "), std::string::npos) << list.out;
    EXPECT_NE(line_of(ws).find(" workspace "), std::string::npos) << list.out;
    EXPECT_NE(line_of(ws).find(dir / "root"), std::string::npos) << list.out;

    ASSERT_EQ(Stavetool({"rmview", view}).exit_code, 0);
    ASSERT_EQ(Stavetool({"rmview", ws}).exit_code, 0);
    list = Stavetool({"lsview"});
    EXPECT_EQ(line_of(view), "");
    EXPECT_EQ(line_of(ws), "");
}

TEST(StavetoolTest, SettingsAreKeptPerHive) {
    ASSERT_EQ(Stavetool({"setting", "set", "ProjectRoot", "/srv/profiles"}).exit_code, 0);
    CCommandOutput get = Stavetool({"setting", "get", "ProjectRoot"});
    EXPECT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(get.out, "/srv/profiles\n");

    const std::string key = "Software\\" + UniqueName("Browser") + "\\Current Selection";
    ASSERT_EQ(Stavetool({"setting", "set", "--user", key, "Folder", "-dash value"}).exit_code, 0);
    get = Stavetool({"setting", "get", "--user", key, "Folder"});
    EXPECT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(get.out, "-dash value\n");
    EXPECT_EQ(Stavetool({"setting", "get", key, "Folder"}).exit_code, 1);

    ASSERT_EQ(Stavetool({"setting", "unset", "--user", key, "Folder"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"setting", "get", "--user", key, "Folder"}).exit_code, 1);
}

TEST(StavetoolTest, CheckoutsAreMadeListedAndEndedPerViewAndReplica) {
    CTempDir dir;
    const std::string view = UniqueName("co"), plain = "/" + UniqueName("plain"),
                      shared = "/" + UniqueName("shared");
    ASSERT_EQ(Stavetool({"mkview", view}).exit_code, 0);
    ASSERT_EQ(Stavetool({"mkvob", plain, dir / "plain"}).exit_code, 0);
    ASSERT_EQ(
        Stavetool({"mkvob", shared, dir / "shared", "--replicated", "--replica", "here"}).exit_code,
        0);
    CCommandOutput made = Stavetool({"co", view, plain, "src/a b.c"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.out, "Checked out \"src/a b.c\" in " + plain + " to view \"" + view + "\".\n");
    ASSERT_EQ(Stavetool({"co", view, shared, "x.c", "--master", "far"}).exit_code, 0);
    ASSERT_EQ(Stavetool({"co", view, shared, "y.c"}).exit_code, 0);

    CCommandOutput list = Stavetool({"lsco", view});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out, plain + "\tsrc/a b.c\toriginal\n" + shared + "\tx.c\tfar\n" + shared +
                            "\ty.c\there\n");

    ASSERT_EQ(Stavetool({"ci", view, plain, "src/a b.c"}).exit_code, 0);
    ASSERT_EQ(Stavetool({"unco", view, shared, "x.c"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"lsco", view}).out, shared + "\ty.c\there\n");
    EXPECT_EQ(Stavetool({"seevob", view, plain}).exit_code, 0);
    EXPECT_EQ(Stavetool({"vobfault", plain, "0x3ea", "--at", "checkouts"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"vobfault", plain, "--clear"}).exit_code, 0);
}

TEST(StavetoolTest, AVobMadeWithMkvobIsMountedAndSeenUntilItIsUnmounted) {
    CScopedHome home;
    CTempDir dir;
    ASSERT_EQ(Stavetool({"mkvob", "\\src", dir / "src.vbs"}).exit_code, 0);
    CCommandOutput list = Stavetool({"lsvob"});
    EXPECT_EQ(list.out, "  \\src  " + (dir / "src.vbs") + "  public\n");

    CCommandOutput mounted = Stavetool({"mount", "-a"});
    EXPECT_EQ(mounted.exit_code, 0) << mounted.err;
    EXPECT_EQ(mounted.out, "Mounting TRFS filesystem \\src.\n");
    const std::string mount_point = home.path() + "/vobs/src";
    WriteTextFile(dir / "src.vbs/element", "seen");
    EXPECT_EQ(ReadTextFile(mount_point + "/element"), "seen");
    list = Stavetool({"lsvob"});
    EXPECT_EQ(list.out, "* \\src  " + (dir / "src.vbs") + "  public  at " + mount_point + "\n");

    CCommandOutput again = Stavetool({"mount", "\\src"});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_EQ(again.out, "\\src is already mounted.\n");
    CCommandOutput removed = Stavetool({"rmtag", "\\src"});
    EXPECT_EQ(removed.exit_code, 1);
    EXPECT_EQ(removed.err, "\\src is still mounted.  Please unmount it first.\n");

    CCommandOutput unmounted = Stavetool({"umount", "\\src"});
    EXPECT_EQ(unmounted.exit_code, 0) << unmounted.err;
    EXPECT_EQ(unmounted.out, "Unmounting TRFS filesystem \\src.\n");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(mount_point)));
    ASSERT_EQ(Stavetool({"rmtag", "\\src"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"lsvob"}).out, "  \\src  " + (dir / "src.vbs") + "  untagged\n");
}

TEST(StavetoolTest, MktagRefusesWhatCannotBeMountedInTheMountClientsWords) {
    CScopedHome home;
    CTempDir dir;
    ASSERT_EQ(Stavetool({"mkvob", "/vobs/doc", dir / "doc.vbs"}).exit_code, 0);
    ASSERT_EQ(Stavetool({"rmtag", "/vobs/doc"}).exit_code, 0);
    for (const auto& [args, message] : std::vector<std::pair<Args, std::string>>{
             {{"mktag", "doc", dir / "doc.vbs"}, "VOB tags must be absolute pathnames.\n"},
             {{"mktag", "/vobs/../x", dir / "x"}, "Invalid VOB tag: \"/vobs/../x\".\n"},
             {{"mktag", "/vobs/doc", home.path() + "/vobs/vobs/doc"},
              "Unable to create the VOB tag \"/vobs/doc\"\n"
              "VOB tag and VOB storage path must not refer to the same location.\n"},
             {{"mktag", "/vobs/doc", dir / "doc.vbs", "--options", std::string(1024, 'o')},
              "mount options \"" + std::string(1024, 'o') + "\" are too long\n"},
             {{"rmtag", "/vobs/doc"}, "/vobs/doc is not a registered VOB tag.\n"},
             {{"mountfault", "/vobs/doc", "1"}, "/vobs/doc is not a registered VOB tag.\n"}}) {
        CCommandOutput run = Stavetool(args);
        EXPECT_EQ(run.exit_code, 1) << args[1];
        EXPECT_EQ(run.err, message);
    }
    CCommandOutput made = Stavetool({"mktag", "/vobs/doc", dir / "doc.vbs", "--options", "ro"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    CCommandOutput twice = Stavetool({"mktag", "/vobs/doc", dir / "doc.vbs"});
    EXPECT_EQ(twice.err,
              "A VOB tag already exists for \"/vobs/doc\"\nwithin the \"local\" region.\n");
    // A private tag is mounted by name only.
    EXPECT_EQ(Stavetool({"mount", "-a"}).out, "");
    ASSERT_EQ(Stavetool({"mountfault", "/vobs/doc", "3"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"mount", "/vobs/doc"}).err, "Unable to mount: operation failed\n");
    ASSERT_EQ(Stavetool({"mountfault", "/vobs/doc", "--clear"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"mount", "/vobs/doc"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"umount", "-a"}).out, "Unmounting TRFS filesystem /vobs/doc.\n");
}

TEST(StavetoolTest, TypesAreMadeLockedListedAndRemovedAndACreationFaultFailsOnce) {
    CTempDir dir;
    const std::string vob = "\\" + UniqueName("types");
    const std::string priv = "brtype:priv@" + vob;
    ASSERT_EQ(Stavetool({"mkvob", vob, dir / "types"}).exit_code, 0);
    for (const Args& args : std::vector<Args>{{"mkbrtype", "priv", vob, "--comment", "a\nb"},
                                              {"mklbtype", "REL1", vob},
                                              {"mkbrtype", "adm", vob, "--admin"},
                                              {"lock", priv},
                                              {"lock", priv},
                                              {"unlock", "brtype:adm@" + vob}}) {
        CCommandOutput run = Stavetool(args);
        EXPECT_EQ(run.exit_code, 0) << args[0] << run.err;
    }
    EXPECT_EQ(Stavetool({"lstype", vob}).out,
              "brtype\tadm\tadmin\t\nbrtype\tpriv\tlocked\ta\\nb\nlbtype\tREL1\t-\t\n");
    EXPECT_EQ(Stavetool({"lock", "priv"}).exit_code, 2);
    ASSERT_EQ(Stavetool({"unlock", priv}).exit_code, 0);
    ASSERT_EQ(Stavetool({"rmtype", priv}).exit_code, 0);
    ASSERT_EQ(Stavetool({"vobfault", vob, "1001", "--at", "create"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"mkbrtype", "priv", vob}).exit_code, 1);
    EXPECT_EQ(Stavetool({"mkbrtype", "priv", vob}).exit_code, 0);
}

// The merge tool says what it would merge and records how it was started.
TEST(StavemrgmanTest, TellsTheMergeAndRecordsItsArguments) {
    CTempDir dir;
    CScopedEnv log("KELMORA_TOOL_LOG", dir / "log");
    const std::string tool = BuiltProgram("stavemrgman");
    CCommandOutput view = RunCommand({tool, "/t", "jdoe", "/b", "priv", "/n", "\\a", "\\b"});
    EXPECT_EQ(view.exit_code, 0) << view.err;
    EXPECT_EQ(view.out,
              "stavemrgman: would merge the private branch \"priv\" in the view \"jdoe\" "
              "from:\n  \\a\n  \\b\n");
    CCommandOutput workspace = RunCommand({tool, "/t", "/w s", "/b", "priv"});
    EXPECT_EQ(workspace.out,
              "stavemrgman: would merge the private branch \"priv\" in the workspace /w s\n");
    EXPECT_EQ(ReadTextFile(dir / "log"),
              tool + "\t/t\tjdoe\t/b\tpriv\t/n\t\\\\a\t\\\\b\n" + tool + "\t/t\t/w s\t/b\tpriv\n");
    for (const Args& usage : std::vector<Args>{{"/t", "v"}, {"/t", "v", "/b", "p", "/n"}, {"-x"}}) {
        Args argv{tool};
        argv.insert(argv.end(), usage.begin(), usage.end());
        EXPECT_EQ(RunCommand(argv).exit_code, 2) << usage.back();
    }
    EXPECT_EQ(RunCommand({tool, "--help"}).exit_code, 0);
}

// The listings as JSON carry the same records as their lines; a failure is
// an object on standard error with the same exit status.
TEST(StavetoolJsonTest, ListingsAreOneDocumentAndFailuresAnObject) {
    const std::string view = UniqueName("jv"), vob = "\\" + UniqueName("jvob");
    CTempDir dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"mkview", view}, {"mkvob", vob, dir / "s"}, {"co", view, vob, "a.c"},
             {"mkbrtype", "dev", vob, "--comment", "x"}})
        ASSERT_EQ(Stavetool(args).exit_code, 0) << args[0];
    const nlohmann::json checkouts = nlohmann::json::parse(Stavetool({"lsco", view, "--json"}).out);
    const nlohmann::json checkout = {{"vob", vob}, {"element", "a.c"}, {"master_replica", "original"}};
    EXPECT_EQ(checkouts, nlohmann::json({{"view", view}, {"checkouts", {checkout}}}))
        << checkouts;
    const nlohmann::json types = nlohmann::json::parse(Stavetool({"lstype", "--json", vob}).out);
    EXPECT_EQ(types["types"], nlohmann::json::parse(
                                  R"([{"kind":"brtype","name":"dev","locked":false,"admin":false,"comment":"x"}])"));
    bool listed = false;
    const nlohmann::json views = nlohmann::json::parse(Stavetool({"lsview", "--json"}).out);
    for (const auto& v : views["views"])
        listed = listed || (v["tag"] == view && v["kind"] == "dynamic" && v["root"].is_null());
    EXPECT_TRUE(listed);
    const nlohmann::json vobs = nlohmann::json::parse(Stavetool({"lsvob", "--json"}).out);
    for (const auto& v : vobs["vobs"]) {
        if (v["tag"] == vob) {
            EXPECT_EQ(v["mounted"], false);
        }
    }
    CCommandOutput missing = Stavetool({"lsco", "no_such_view", "--json"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(nlohmann::json::parse(missing.err),
              nlohmann::json::parse(R"({"error":"no view \"no_such_view\"","status":1})"));
    EXPECT_EQ(Stavetool({"mkview", "--json", "x"}).exit_code, 2);
}

}  // namespace
}  // namespace kelmora::test
