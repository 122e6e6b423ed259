#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/client_test_util.h"
#include "client/type_admin.h"
#include "client/vob_admin.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

CCommandOutput Stavetool(std::vector<std::string> args) {
    return RunProgram("stavetool", std::move(args));
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
    ASSERT_EQ(Printed(Stavetool({"mkview", tag})), "");
    ASSERT_EQ(Printed(Stavetool({"setcs", tag, dir / "good"})), "");
    EXPECT_EQ(Printed(Stavetool({"catcs", tag})), kConfigSpec);

    CCommandOutput refused = Stavetool({"setcs", tag, dir / "bad"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("Syntax error on line 3, near column 1,"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("stavetool: "), std::string::npos) << refused.err;
    EXPECT_EQ(Printed(Stavetool({"catcs", tag})), kConfigSpec);  // the old one is kept
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
        CRefusalCase{"SetcsOfAnEndlessFile", {"setcs", "%view", "/dev/zero"}, "File too large"},
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
    ASSERT_EQ(Printed(Stavetool({"mkws", ws, dir / "root"})), "");

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
    EXPECT_EQ(Printed(Stavetool({"setting", "get", "ProjectRoot"})), "/srv/profiles\n");

    const std::string key = "Software\\" + UniqueName("Browser") + "\\Current Selection";
    ASSERT_EQ(Stavetool({"setting", "set", "--user", key, "Folder", "-dash value"}).exit_code, 0);
    EXPECT_EQ(Printed(Stavetool({"setting", "get", "--user", key, "Folder"})), "-dash value\n");
    EXPECT_EQ(Stavetool({"setting", "get", key, "Folder"}).exit_code, 1);

    ASSERT_EQ(Stavetool({"setting", "unset", "--user", key, "Folder"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"setting", "get", "--user", key, "Folder"}).exit_code, 1);
}

// The machine's settings file fills in what the client database does not hold.
TEST(StavetoolTest, MachineSettingsComeFromTheFileUnlessTheDatabaseHasThem) {
    CScopedHome home;
    CTempDir dir;
    WriteTextFile(dir / "settings", "# the team's\nProjectRoot = /srv/team \nClientParam10=1\n");
    CScopedEnv file("KELMORA_SETTINGS", dir / "settings");
    ASSERT_EQ(Stavetool({"setting", "set", "--param", "10", "0"}).exit_code, 0);
    EXPECT_EQ(Printed(Stavetool({"setting", "list"})),
              "ProjectRoot\t/srv/team\t" + dir / "settings" +
                  "\nClientParam10\t0\tclient database " + home.path() +
                  "/client.db\nFileSystemParam28\t\tnot set\n");
    EXPECT_EQ(Printed(Stavetool({"setting", "get", "ProjectRoot"})), "/srv/team\n");
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
    EXPECT_EQ(Printed(Stavetool({"co", view, plain, "src/a b.c"})), "Checked out \"src/a b.c\" in " + plain + " to view \"" + view + "\".\n");
    ASSERT_EQ(Stavetool({"co", view, shared, "x.c", "--master", "far"}).exit_code, 0);
    ASSERT_EQ(Stavetool({"co", view, shared, "y.c"}).exit_code, 0);

    EXPECT_EQ(Printed(Stavetool({"lsco", view})), plain + "\tsrc/a b.c\toriginal\n" + shared + "\tx.c\tfar\n" + shared +
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
    EXPECT_EQ(Printed(Stavetool({"lsvob"})), "  \\src  " + (dir / "src.vbs") + "  public\n");
    EXPECT_EQ(Printed(Stavetool({"mount", "-a"})), "Mounting TRFS filesystem \\src.\n");
    const std::string mount_point = home.path() + "/vobs/src";
    WriteTextFile(dir / "src.vbs/element", "seen");
    EXPECT_EQ(ReadTextFile(mount_point + "/element"), "seen");
    EXPECT_EQ(Printed(Stavetool({"lsvob"})), "* \\src  " + (dir / "src.vbs") + "  public  at " + mount_point + "\n");

    CCommandOutput again = Stavetool({"mount", "\\src"});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_EQ(again.out, "\\src is already mounted.\n");
    CCommandOutput removed = Stavetool({"rmtag", "\\src"});
    EXPECT_EQ(removed.exit_code, 1);
    EXPECT_EQ(removed.err, "\\src is still mounted.  Please unmount it first.\n");

    EXPECT_EQ(Printed(Stavetool({"umount", "\\src"})), "Unmounting TRFS filesystem \\src.\n");
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
    ASSERT_EQ(Printed(Stavetool({"mktag", "/vobs/doc", dir / "doc.vbs", "--options", "ro"})), "");
    CCommandOutput twice = Stavetool({"mktag", "/vobs/doc", dir / "doc.vbs"});
    EXPECT_EQ(twice.err,
              "A VOB tag already exists for \"/vobs/doc\"\nwithin the \"local\" region.\n");
    EXPECT_EQ(Stavetool({"mkvob", "\\vobs\\doc", dir / "doc2.vbs"}).err,
              "\"\\vobs\\doc\" would collide with existing VOB tag \"/vobs/doc\".\n");
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
    ASSERT_EQ(Stavetool({"unlock", priv}).exit_code, 0);
    ASSERT_EQ(Stavetool({"rmtype", priv}).exit_code, 0);
    ASSERT_EQ(Stavetool({"vobfault", vob, "1001", "--at", "create"}).exit_code, 0);
    EXPECT_EQ(Stavetool({"mkbrtype", "priv", vob}).exit_code, 1);
    EXPECT_EQ(Stavetool({"mkbrtype", "priv", vob}).exit_code, 0);
}

// The listings as JSON carry the same records as their lines; a failure is
// an object on standard error with the same exit status.
TEST(StavetoolJsonTest, ListingsAreOneDocumentAndFailuresAnObject) {
    using nlohmann::json;
    const std::string view = UniqueName("jv"), vob = "\\" + UniqueName("jvob");
    CTempDir dir;
    for (const Args& args : std::vector<Args>{{"mkview", view}, {"mkvob", vob, dir / "s"},
                                              {"co", view, vob, "a.c"},
                                              {"mkbrtype", "dev", vob, "--comment", "x"}})
        ASSERT_EQ(Stavetool(args).exit_code, 0) << args[0];
    auto listed = [](const Args& args) { return json::parse(Stavetool(args).out); };
    // Whether one item of the list has these members.
    auto holds = [](const json& list, const json& members) {
        return std::any_of(list.begin(), list.end(), [&](const json& item) {
            for (const auto& [key, value] : members.items())
                if (!item.contains(key) || item[key] != value) return false;
            return true;
        });
    };
    EXPECT_EQ(listed({"lsco", view, "--json"}),
              json({{"view", view},
                    {"checkouts", {{{"vob", vob}, {"element", "a.c"}, {"master_replica", "original"}}}}}));
    EXPECT_EQ(listed({"lstype", "--json", vob})["types"],
              json::parse(R"([{"kind":"brtype","name":"dev","locked":false,"admin":false,"comment":"x"}])"));
    EXPECT_TRUE(holds(listed({"lsview", "--json"})["views"],
                      {{"tag", view}, {"kind", "dynamic"}, {"root", nullptr}}));
    EXPECT_TRUE(holds(listed({"lsvob", "--json"})["vobs"], {{"tag", vob}, {"mounted", false}}));
    CCommandOutput missing = Stavetool({"lsco", "no_such_view", "--json"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(json::parse(missing.err),
              json::parse(R"({"error":"no view \"no_such_view\"","status":1})"));
    EXPECT_EQ(Stavetool({"mkview", "--json", "x"}).exit_code, 2);
}

}  // namespace
}  // namespace kelmora::test
