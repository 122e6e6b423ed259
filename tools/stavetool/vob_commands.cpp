// stavetool mkvob.

#include <string>

#include "client/credutl.h"
#include "client/vob_admin.h"
#include "commands.h"
#include "option_parser.h"

namespace kelmora::stavetool {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

int RunMakeVob(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("mkvob", args,
                      {{"--replicated", false}, {"--replica", true}, {"--mount-dir", true}},
                      &parsed, &exit_code))
        return exit_code;
    if (parsed.operands.size() != 2)
        return UsageError(
            "usage: stavetool mkvob TAG STORAGE [--replicated] [--replica NAME] "
            "[--mount-dir DIR]");
    const std::string& tag = parsed.operands[0];
    client::CVobOptions options;
    options.replicated = parsed.Has("--replicated");
    options.replica_name = parsed.Value("--replica");
    options.mount_dir = parsed.Value("--mount-dir");
    if (!client::IsValidVobTag(tag))
        return Fail("invalid VOB tag " + Quoted(tag) +
                    ": it begins with \"/\" or \"\\\" and holds no blanks, commas or quotes");
    if (!options.mount_dir.empty() && !client::IsValidVobTag(options.mount_dir))
        return Fail("invalid mount directory " + Quoted(options.mount_dir));
    tbs_status_t status = client::CreateVob(tag, parsed.operands[1], options);
    if (status == TBS_ST_EXISTS)
        return Fail("a VOB with the tag " + Quoted(tag) + " or the storage " + parsed.operands[1] +
                    " exists already");
    if (status != TBS_ST_OK)
        return Fail("cannot make VOB " + Quoted(tag) + ": " + StatusText(status));
    client::CVobTagOptions tag_options;
    tag_options.is_public = credutl_is_privileged();
    return RegisterVobTag(tag, parsed.operands[1], tag_options);
}

}  // namespace kelmora::stavetool
