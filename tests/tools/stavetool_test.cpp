#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/client_test_util.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

using Args = std::vector<std::string>;

constexpr char kConfigSpec[] =
    "# caf\xC3\xA9\r\nelement * CHECKEDOUT\r\nelement * /main/LATEST\r\n";

// A command and what it said: Printed() of the run; or, with a leading '~', a
// part of what it printed on success, with '!' a part of its failure (exit 1).
// %view, %vob, %none, %dir and %home stand for this session's names.
struct CStep {
    Args args;
    std::string said;
};

struct CSessionCase {
    const char* label;
    std::vector<CStep> steps;
};

class StavetoolSessionTest : public ::testing::TestWithParam<CSessionCase> {
protected:
    std::string Named(const std::string& text) const {
        return test::Named(text, {{"%view", view_},
                                  {"%vob", vob_},
                                  {"%none", none_},
                                  {"%dir", dir_.path()},
                                  {"%home", home_.path()}});
    }
    CScopedHome home_;
    CTempDir dir_;
    const std::string view_ = UniqueName("v"), vob_ = "/" + UniqueName("vob"),
                      none_ = UniqueName("none");
};

TEST_P(StavetoolSessionTest, EachCommandSaysWhatItDidOrWhyNot) {
    WriteTextFile(dir_ / "cs", kConfigSpec);
    WriteTextFile(dir_ / "bad", "element * CHECKEDOUT\nend mkbranch\n");
    WriteTextFile(dir_ / "settings",
                  "# the team's\nProjectRoot = /srv/team \nClientParam10=1\n"
                  "RulesHistoryLimit = 50\n");
    CScopedEnv settings("KELMORA_SETTINGS", dir_ / "settings");
    for (const CStep& step : GetParam().steps) {
        Args args = step.args;
        for (std::string& arg : args) arg = Named(arg);
        const std::string printed = Printed(RunProgram("stavetool", args)), said = Named(step.said);
        if (said.starts_with("~") || said.starts_with("!")) {
            EXPECT_EQ(printed.starts_with("exit 1: "), said[0] == '!')
                << args[0] << ": " << printed;
            EXPECT_TRUE(Holds(printed, said.substr(1)));
        } else {
            EXPECT_EQ(printed, said) << args[0];
        }
    }
}

const CStep kMkview{{"mkview", "%view"}, ""}, kMkvob{{"mkvob", "%vob", "%dir/vob"}, "~"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sessions, StavetoolSessionTest, ::testing::Values(
    // An unparsable config spec is refused and the old one kept, byte for byte.
    CSessionCase{"ConfigSpecs", {kMkview, {{"setcs", "%view", "%dir/cs"}, ""},
        {{"setcs", "%view", "%dir/bad"}, "!Syntax error on line 2, near column 1,"},
        {{"catcs", "%view"}, kConfigSpec},
        {{"setcs", "%view", "/dev/zero"}, "!File too large"}}},
    // The machine's settings file fills in what the client database does not hold.
    CSessionCase{"Settings", {{{"setting", "set", "--param", "10", "0"}, ""},
        {{"setting", "list"}, "~ProjectRoot\t/srv/team\t%dir/settings\nClientParam10\t0\tclient "
                              "database %home/client.db\n"},
        {{"setting", "set", "--user", "K\\%none", "Folder", "-dash value"}, ""},
        {{"setting", "get", "--user", "K\\%none", "Folder"}, "-dash value\n"},
        {{"setting", "unset", "--user", "K\\%none", "Folder"}, ""},
        {{"setting", "get", "--user", "K\\%none", "Folder"}, "!stavetool: no setting"}}},
    CSessionCase{"CheckoutsPerViewAndReplica", {kMkview, kMkvob,
        {{"mkvob", "/%none", "%dir/shared", "--replicated", "--replica", "here"}, "~"},
        {{"co", "%view", "%vob", "src/a b.c"}, "Checked out \"src/a b.c\" in %vob to view \"%view\".\n"},
        {{"co", "%view", "/%none", "x.c", "--master", "far"}, "~Checked out"},
        {{"co", "%view", "/%none", "y.c"}, "~Checked out"},
        {{"lsco", "%view"}, "%vob\tsrc/a b.c\toriginal\n/%none\tx.c\tfar\n/%none\ty.c\there\n"},
        {{"ci", "%view", "%vob", "src/a b.c"}, "~Checked in"},
        {{"unco", "%view", "/%none", "x.c"}, "~Checkout undone"},
        {{"lsco", "%view"}, "/%none\ty.c\there\n"},
        {{"lsco", "%none", "--json"}, "!{\n  \"error\": \"no view \\\"%none\\\"\",\n  \"status\": 1\n}"}}},
    // A made VOB is mounted and seen below the mount point until unmounted.
    CSessionCase{"MountedVobs", {{{"mkvob", "\\src", "%dir/src.vbs"}, ""},
        {{"mount", "-a"}, "Mounting TRFS filesystem \\src.\n"},
        {{"lsvob"}, "* \\src  %dir/src.vbs  public  at %home/vobs/src\n"},
        {{"rmtag", "\\src"}, "exit 1: \\src is still mounted.  Please unmount it first.\n"},
        {{"umount", "\\src"}, "Unmounting TRFS filesystem \\src.\n"}, {{"rmtag", "\\src"}, ""},
        {{"lsvob"}, "  \\src  %dir/src.vbs  untagged\n"}}},
    // Tags that cannot be mounted are refused in the mount client's words.
    CSessionCase{"Tags", {{{"mkvob", "/vobs/doc", "%dir/doc.vbs"}, ""}, {{"rmtag", "/vobs/doc"}, ""},
        {{"mktag", "doc", "%dir/doc.vbs"}, "exit 1: VOB tags must be absolute pathnames.\n"},
        {{"mktag", "/vobs/../x", "%dir/x"}, "exit 1: Invalid VOB tag: \"/vobs/../x\".\n"},
        {{"mktag", "/vobs/doc", "%home/vobs/vobs/doc"}, "!must not refer to the same location.\n"},
        {{"mktag", "/vobs/doc", "%dir/doc.vbs", "--options", "ro"}, ""},
        {{"mktag", "/vobs/doc", "%dir/doc.vbs"}, "!A VOB tag already exists for \"/vobs/doc\""},
        {{"mount", "-a"}, ""},  // a private tag is mounted by name only
        {{"mountfault", "/vobs/doc", "3"}, ""},
        {{"mount", "/vobs/doc"}, "exit 1: Unable to mount: operation failed\n"},
        {{"mountfault", "/vobs/doc", "--clear"}, ""}, {{"mount", "/vobs/doc"}, "~"},
        {{"umount", "-a"}, "Unmounting TRFS filesystem /vobs/doc.\n"}}},
    CSessionCase{"TypesAndACreationFaultThatFailsOnce", {kMkvob,
        {{"mkbrtype", "priv", "%vob", "--comment", "a\nb"}, "~Made branch type"},
        {{"mkbrtype", "adm", "%vob", "--admin"}, "~Made"}, {{"lock", "brtype:priv@%vob"}, "~Locked"},
        {{"lstype", "%vob"}, "brtype\tadm\tadmin\t\nbrtype\tpriv\tlocked\ta\\nb\n"},
        {{"mkbrtype", "a:b", "%vob"}, "!invalid type name"},
        {{"unlock", "brtype:priv@%vob"}, "~Unlocked"}, {{"rmtype", "brtype:priv@%vob"}, "~Removed"},
        {{"vobfault", "%vob", "1001", "--at", "create"}, ""},
        {{"mkbrtype", "priv", "%vob"}, "!"}, {{"mkbrtype", "priv", "%vob"}, "~Made"},
        {{"lstype", "/%none"}, "!no VOB"}}}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora::test
