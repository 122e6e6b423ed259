// stavetool setting get|set|unset: registry values of either hive.

#include <cstdio>
#include <string>

#include "client/registry.h"
#include "commands.h"

namespace kelmora::stavetool {

namespace {

struct CSettingArgs {
    ntregy_hive_t hive = NTREGY_HKEY_LOCAL_MACHINE;
    CArguments operands;
};

// Options come first; "--" ends them, so a value may begin with a dash.
bool ParseSettingArgs(const CArguments& args, CSettingArgs* parsed, std::string* error) {
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--user") {
            parsed->hive = NTREGY_HKEY_CURRENT_USER;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option \"" + arg + "\"";
            return false;
        } else {
            break;
        }
    }
    parsed->operands.assign(args.begin() + static_cast<long>(i), args.end());
    return true;
}

const char* HiveName(ntregy_hive_t hive) {
    return hive == NTREGY_HKEY_CURRENT_USER ? "user" : "machine";
}

// KEY NAME, or NAME alone for the common key.
bool SplitKeyAndName(const CArguments& operands, size_t extra, std::string* key,
                     std::string* name) {
    if (operands.size() == extra + 1) {
        *key = ntregy_get_common_key();
        *name = operands[0];
        return true;
    }
    if (operands.size() == extra + 2) {
        *key = operands[0];
        *name = operands[1];
        return true;
    }
    return false;
}

std::string Describe(const CSettingArgs& args, const std::string& key, const std::string& name) {
    return "\"" + name + "\" under " + HiveName(args.hive) + " key \"" + key + "\"";
}

int Get(const CSettingArgs& args) {
    std::string key, name;
    if (!SplitKeyAndName(args.operands, 0, &key, &name))
        return UsageError("setting get takes [--user] [KEY] NAME");
    std::string value;
    tbs_status_t status = client::ReadRegistryValue(args.hive, key, name, &value);
    if (status == TBS_ST_NOT_FOUND) return Fail("no setting " + Describe(args, key, name));
    if (status != TBS_ST_OK)
        return Fail("cannot read setting " + Describe(args, key, name) + ": " + StatusText(status));
    std::printf("%s\n", value.c_str());
    return kExitOk;
}

int Set(const CSettingArgs& args) {
    std::string key, name;
    if (!SplitKeyAndName(args.operands, 1, &key, &name))
        return UsageError("setting set takes [--user] [KEY] NAME VALUE");
    const std::string& value = args.operands.back();
    tbs_status_t status = ntregy_set_value(args.hive, key.c_str(), name.c_str(), value.c_str());
    if (status != TBS_ST_OK)
        return Fail("cannot write setting " + Describe(args, key, name) + ": " +
                    StatusText(status));
    return kExitOk;
}

int Unset(const CSettingArgs& args) {
    std::string key, name;
    if (!SplitKeyAndName(args.operands, 0, &key, &name))
        return UsageError("setting unset takes [--user] [KEY] NAME");
    tbs_status_t status = ntregy_delete_value(args.hive, key.c_str(), name.c_str());
    if (status == TBS_ST_NOT_FOUND) return Fail("no setting " + Describe(args, key, name));
    if (status != TBS_ST_OK)
        return Fail("cannot delete setting " + Describe(args, key, name) + ": " +
                    StatusText(status));
    return kExitOk;
}

}  // namespace

int RunSetting(const CArguments& args) {
    if (args.empty()) return UsageError("setting needs get, set or unset");
    const std::string& action = args[0];
    CSettingArgs parsed;
    std::string error;
    if (!ParseSettingArgs(CArguments(args.begin() + 1, args.end()), &parsed, &error))
        return UsageError(error);
    if (action == "get") return Get(parsed);
    if (action == "set") return Set(parsed);
    if (action == "unset") return Unset(parsed);
    return UsageError("unknown setting action \"" + action + "\"");
}

}  // namespace kelmora::stavetool
