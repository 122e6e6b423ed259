// stavetool mktag, rmtag, lsvob, mount, umount, mountfault: VOB tags and their mounts.
// Failures of the tag registry and of mounting are told in the mount
// client's own messages.

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "client/credutl.h"
#include "client/messages.h"
#include "client/tag_admin.h"
#include "client/trfs_driver.h"
#include "client/view_store.h"
#include "client/vob_admin.h"
#include "client/vob_utl.h"
#include "commands.h"
#include "mount/message_tables.h"
#include "mount/mntrpc.h"
#include "option_parser.h"

namespace kelmora::stavetool {

namespace {

constexpr size_t kMaxKeyLength = 1023;  // of a registry key the mount client reads
constexpr int kMaxMountFaults = 1000;

void PrintMessage(int kind, int message, const char* text = "", const char* more = "") {
    imsg_print(kind, mount::MntrpcMessageTable(), message, text, more);
}

int MessageFailure(int message, const std::string& text, const std::string& more = "") {
    PrintMessage(IMSG_KIND_ERROR, message, text.c_str(), more.c_str());
    return kExitFailed;
}

std::string DefaultRegion() {
    rgy_region_t region;
    return rgy_get_default_region(&region) == TBS_ST_OK ? region.name : "";
}

// Refusals told before the registry is asked.
int CheckNewTag(const std::string& tag, const std::string& storage,
                const client::CVobTagOptions& options) {
    if (tag.empty() || (tag[0] != '/' && tag[0] != '\\'))
        return MessageFailure(mount::kTagsMustBeAbsolute, "");
    std::string mount_point;
    if (!client::IsValidVobTag(tag) || !client::TrfsMountPoint(tag, &mount_point))
        return MessageFailure(mount::kInvalidTag, tag);
    if (client::NormalizeAbsolutePath(storage) == mount_point) {
        PrintMessage(IMSG_KIND_ERROR, mount::kCannotCreateTag, tag.c_str());
        PrintMessage(IMSG_KIND_CONTINUE, mount::kTagIsStorage);
        return kExitFailed;
    }
    if (client::NormalizeAbsolutePath(storage).size() > kMaxKeyLength)
        return Fail("the storage path is longer than 1023 characters: " + storage);
    if (options.mount_options.size() > kMaxKeyLength)
        return MessageFailure(mount::kOptionsTooLong, options.mount_options);
    if (options.is_public && !credutl_is_privileged())
        return MessageFailure(mount::kPublicTagNeedsPrivilege, "");
    return CheckMountPointFree(tag);
}

int TagFailure(const std::string& tag, tbs_status_t status) {
    if (status == TBS_ST_EXISTS) {
        PrintMessage(IMSG_KIND_ERROR, mount::kTagExists, tag.c_str());
        PrintMessage(IMSG_KIND_CONTINUE, mount::kWithinRegion, DefaultRegion().c_str());
        return kExitFailed;
    }
    if (status == TBS_ST_NOT_FOUND)
        return Fail("no VOB has the tag \"" + tag + "\" (make it with mkvob)");
    return MessageFailure(mount::kCannotCreateTagEntry, tag, StatusText(status));
}

// A small positive count, in decimal.
bool ParseCount(const std::string& text, int* count) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *count = std::stoi(text);
    return *count >= 1 && *count <= kMaxMountFaults;
}

int RunMountCommand(const char* command, const CArguments& args, bool mount) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions(command, args, {{"-a", false}}, &parsed, &exit_code)) return exit_code;
    const bool all = parsed.Has("-a");
    if (parsed.operands.size() != (all ? 0u : 1u))
        return UsageError(std::string("usage: stavetool ") + command + " TAG|-a");
    const char* tag = all ? "" : parsed.operands[0].c_str();
    const char* flags = all ? " -a " : "";
    tbs_status_t status = mount ? mntrpc_mount_tag(tag, "", flags) : mntrpc_umount_tag(tag, flags);
    return status == TBS_ST_OK ? kExitOk : kExitFailed;
}

}  // namespace

int CheckMountPointFree(const std::string& tag) {
    std::string other;
    if (client::FindTagSharingMountPoint(tag, &other) != TBS_ST_OK) return kExitOk;
    return MessageFailure(mount::kTagCollision, tag, other);
}

int RegisterVobTag(const std::string& tag, const std::string& storage,
                   const client::CVobTagOptions& options) {
    if (int refused = CheckNewTag(tag, storage, options)) return refused;
    tbs_status_t status = client::CreateVobTag(tag, storage, options);
    return status == TBS_ST_OK ? kExitOk : TagFailure(tag, status);
}

int RunMakeTag(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("mktag", args, {{"--public", false}, {"--options", true}}, &parsed,
                      &exit_code))
        return exit_code;
    if (parsed.operands.size() != 2)
        return UsageError("usage: stavetool mktag TAG STORAGE [--public] [--options OPTS]");
    client::CVobTagOptions options;
    options.is_public = parsed.Has("--public");
    options.mount_options = parsed.Value("--options");
    return RegisterVobTag(parsed.operands[0], parsed.operands[1], options);
}

int RunRemoveTag(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("rmtag", args, {}, &parsed, &exit_code)) return exit_code;
    if (parsed.operands.size() != 1) return UsageError("usage: stavetool rmtag TAG");
    const std::string& tag = parsed.operands[0];
    if (vob_utl_is_mounted_vob_pname(tag.c_str())) return MessageFailure(mount::kStillMounted, tag);
    tbs_status_t status = client::RemoveVobTag(tag);
    if (status == TBS_ST_NOT_FOUND) return MessageFailure(mount::kNotRegistered, tag);
    if (status != TBS_ST_OK)
        return MessageFailure(mount::kUnableToRemoveTag, tag, StatusText(status));
    return kExitOk;
}

int RunListVobs(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("lsvob", args, {}, &parsed, &exit_code)) return exit_code;
    if (!parsed.operands.empty()) return UsageError("usage: stavetool lsvob");
    std::vector<client::CVobRecord> vobs;
    std::vector<client::CTrfsMount> mounts;
    std::vector<client::CVobTagRecord> tags;
    for (tbs_status_t status : {client::ListVobs(&vobs), client::ListTrfsMounts(&mounts),
                                client::ListVobTags("", &tags)}) {
        if (status != TBS_ST_OK) return Fail("cannot list VOBs: " + StatusText(status));
    }
    std::map<std::string, std::string> access;  // by tag
    for (const auto& tag : tags)
        access.emplace(tag.Key(RGY_KEY_TAG), tag.IsPublic() ? "public" : "private");
    std::map<std::string, const client::CTrfsMount*> mounted;
    for (const auto& mount : mounts) mounted[mount.tag] = &mount;
    if (JsonOutput()) {
        tools::CJson list = tools::CJson::array();
        for (const auto& vob : vobs) {
            auto registered = access.find(vob.tag);
            auto mount = mounted.find(vob.tag);
            list.push_back(
                {{"tag", vob.tag},
                 {"storage", vob.storage_path},
                 {"registration", registered == access.end() ? "untagged" : registered->second},
                 {"mounted", mount != mounted.end()},
                 {"mount_point", mount == mounted.end()
                                     ? tools::CJson()
                                     : tools::CJson(mount->second->mount_point)}});
        }
        return PrintJsonDocument({{"vobs", list}});
    }
    size_t width = 0;
    for (const auto& vob : vobs) width = std::max(width, vob.tag.size());
    for (const auto& vob : vobs) {
        auto registered = access.find(vob.tag);
        auto mount = mounted.find(vob.tag);
        std::printf("%c %-*s  %s  %s", mount == mounted.end() ? ' ' : '*', static_cast<int>(width),
                    vob.tag.c_str(), vob.storage_path.c_str(),
                    registered == access.end() ? "untagged" : registered->second.c_str());
        if (mount != mounted.end()) std::printf("  at %s", mount->second->mount_point.c_str());
        std::printf("\n");
    }
    return kExitOk;
}

int RunMountFault(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("mountfault", args, {{"--clear", false}}, &parsed, &exit_code))
        return exit_code;
    const bool clear = parsed.Has("--clear");
    int count = 0;
    if (parsed.operands.size() != (clear ? 1u : 2u) ||
        (!clear && !ParseCount(parsed.operands[1], &count)))
        return UsageError("usage: stavetool mountfault TAG COUNT | TAG --clear (COUNT 1 to 1000)");
    const std::string& tag = parsed.operands[0];
    std::vector<client::CVobTagRecord> tags;
    if (tbs_status_t status = client::ListVobTags("", &tags))
        return Fail("mountfault: " + StatusText(status));
    if (std::none_of(tags.begin(), tags.end(),
                     [&](const auto& entry) { return entry.Key(RGY_KEY_TAG) == tag; }))
        return MessageFailure(mount::kNotRegistered, tag);
    if (tbs_status_t status = client::SetTrfsMountFault(tag, count))
        return Fail("mountfault: " + StatusText(status));
    return kExitOk;
}

int RunMount(const CArguments& args) {
    return RunMountCommand("mount", args, true);
}

int RunUnmount(const CArguments& args) {
    return RunMountCommand("umount", args, false);
}

}  // namespace kelmora::stavetool
