// stavetool setting get|set|unset: registry values of either hive, and the
// client's numbered parameters.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/machine_settings.h"
#include "client/registry.h"
#include "commands.h"
#include "platform/env.h"
#include "program.h"

namespace kelmora::stavetool {

namespace {

struct CSettingArgs {
    ntregy_hive_t hive = NTREGY_HKEY_LOCAL_MACHINE;
    bool param = false;  // NAME is the number of a client parameter
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
        } else if (arg == "--param") {
            parsed->param = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = tools::UnknownWordText("option", arg, {"--user", "--param", "--"});
            return false;
        } else {
            break;
        }
    }
    parsed->operands.assign(args.begin() + static_cast<long>(i), args.end());
    if (parsed->param && parsed->hive == NTREGY_HKEY_CURRENT_USER) {
        *error = "client parameters are the machine's: --param takes no --user";
        return false;
    }
    return true;
}

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// What a client parameter holds: a 32-bit number, decimal or 0x hexadecimal.
bool IsParamValue(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    return *end == '\0' && errno == 0 && value <= 0xffffffffULL;
}

const char* HiveName(ntregy_hive_t hive) {
    return hive == NTREGY_HKEY_CURRENT_USER ? "user" : "machine";
}

// KEY NAME, or NAME alone for the common key; with --param, the number N of
// the client parameter kept as "ParamN" under the parameters' key.
bool SplitKeyAndName(const CSettingArgs& args, size_t extra, std::string* key, std::string* name) {
    const CArguments& operands = args.operands;
    if (args.param) {
        if (operands.size() != extra + 1 || !IsDecimal(operands[0])) return false;
        *key = ntregy_client_params_key();
        *name = "Param" + std::to_string(std::stoi(operands[0]));
        return true;
    }
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
    if (!SplitKeyAndName(args, 0, &key, &name))
        return UsageError("setting get takes [--user] [KEY] NAME or --param N");
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
    if (!SplitKeyAndName(args, 1, &key, &name))
        return UsageError("setting set takes [--user] [KEY] NAME VALUE or --param N VALUE");
    const std::string& value = args.operands.back();
    if (args.param && !IsParamValue(value))
        return UsageError("a client parameter is a number up to 0xffffffff, such as 1 or 0x10");
    tbs_status_t status = ntregy_set_value(args.hive, key.c_str(), name.c_str(), value.c_str());
    if (status != TBS_ST_OK)
        return Fail("cannot write setting " + Describe(args, key, name) + ": " +
                    StatusText(status));
    return kExitOk;
}

int Unset(const CSettingArgs& args) {
    std::string key, name;
    if (!SplitKeyAndName(args, 0, &key, &name))
        return UsageError("setting unset takes [--user] [KEY] NAME or --param N");
    tbs_status_t status = ntregy_delete_value(args.hive, key.c_str(), name.c_str());
    if (status == TBS_ST_NOT_FOUND) return Fail("no setting " + Describe(args, key, name));
    if (status != TBS_ST_OK)
        return Fail("cannot delete setting " + Describe(args, key, name) + ": " +
                    StatusText(status));
    return kExitOk;
}

// Each machine-wide setting, its value and where that comes from.
int List(const CSettingArgs& args) {
    if (!args.operands.empty() || args.param || args.hive != NTREGY_HKEY_LOCAL_MACHINE)
        return UsageError("setting list takes no arguments");
    for (const client::CMachineSetting& setting : client::MachineSettings()) {
        std::string value;
        bool from_file = false;
        const tbs_status_t status =
            client::ReadMachineValue(setting.key_path, setting.value_name, &value, &from_file);
        if (status != TBS_ST_OK && status != TBS_ST_NOT_FOUND)
            return Fail(std::string("cannot read ") + setting.file_key + ": " + StatusText(status));
        const std::string source = status == TBS_ST_NOT_FOUND ? "not set"
                                   : from_file                ? client::MachineSettingsPath()
                                               : "client database " + KelmoraHome() + "/client.db";
        std::printf("%s\t%s\t%s\n", setting.file_key, value.c_str(), source.c_str());
    }
    return kExitOk;
}

}  // namespace

int RunSetting(const CArguments& args) {
    if (args.empty()) return UsageError("setting needs get, set, unset or list");
    const std::string& action = args[0];
    CSettingArgs parsed;
    std::string error;
    if (!ParseSettingArgs(CArguments(args.begin() + 1, args.end()), &parsed, &error))
        return UsageError(error);
    if (action == "get") return Get(parsed);
    if (action == "set") return Set(parsed);
    if (action == "unset") return Unset(parsed);
    if (action == "list") return List(parsed);
    return UsageError(
        tools::UnknownWordText("setting action", action, {"get", "set", "unset", "list"}));
}

}  // namespace kelmora::stavetool
