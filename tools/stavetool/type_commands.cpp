// stavetool mkbrtype, mklbtype, lock, unlock, rmtype, lstype: the branch and
// label types of VOBs. Branch types are made, unlocked and removed through
// the client's type commands, as the module does it.

#include "client/type_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/storage.h"
#include "client/type_admin.h"
#include "client/vob_admin.h"
#include "commands.h"
#include "option_parser.h"

namespace kelmora::stavetool {

namespace {

using client::ETypeKind;

constexpr size_t kStorageAreaSize = 2048;

const char* KindText(ETypeKind kind) {
    return kind == ETypeKind::kLabel ? "label type" : "branch type";
}

// Says what a failed change of a type means to the user.
int TypeFailure(const char* command, tbs_status_t status, ETypeKind kind, const std::string& name,
                const std::string& vob) {
    client::CVobRecord record;
    if (client::FindVob(vob, &record) == TBS_ST_NOT_FOUND) return Fail("no VOB \"" + vob + "\"");
    const std::string what = std::string(KindText(kind)) + " \"" + name + "\" in " + vob;
    switch (status) {
        case TBS_ST_NOT_FOUND:
            return Fail("no " + what);
        case TBS_ST_EXISTS:
            return Fail("the " + what + " exists already");
        case TBS_ST_LOCKED:
            return Fail("the " + what + " is locked");
        case TBS_ST_INVALID:
            return Fail("invalid type name \"" + name + "\": no blanks, none of \\/:*?\"<>|" +
                        ", no leading dash, at most 255 characters");
        default:
            return Fail(std::string(command) + ": " + StatusText(status));
    }
}

// The one operand of lock, unlock and rmtype: a type selector.
bool ParseSelectorArgs(const char* command, const CArguments& args, ETypeKind* kind,
                       std::string* name, std::string* vob, int* exit_code) {
    CParsedOptions parsed;
    if (!ParseOptions(command, args, {}, &parsed, exit_code)) return false;
    if (parsed.operands.size() == 1 &&
        client::ParseTypeSelector(parsed.operands[0], kind, name, vob))
        return true;
    *exit_code = UsageError(std::string("usage: stavetool ") + command +
                            " brtype:NAME@VOB | lbtype:NAME@VOB");
    return false;
}

int MakeType(ETypeKind kind, const CArguments& args) {
    const char* command = kind == ETypeKind::kLabel ? "mklbtype" : "mkbrtype";
    CParsedOptions parsed;
    int exit_code = kExitOk;
    const bool branch = kind == ETypeKind::kBranch;
    if (!ParseOptions(
            command, args,
            branch ? std::initializer_list<COptionSpec>{{"--comment", true}, {"--admin", false}}
                   : std::initializer_list<COptionSpec>{{"--comment", true}},
            &parsed, &exit_code))
        return exit_code;
    if (parsed.operands.size() != 2)
        return UsageError(std::string("usage: stavetool ") + command +
                          " NAME VOB [--comment TEXT]" + (branch ? " [--admin]" : ""));
    const std::string &name = parsed.operands[0], &vob = parsed.operands[1];
    const std::string comment = parsed.Value("--comment");
    tbs_status_t status = TBS_ST_OK;
    if (branch) {
        client::CStorageArea area(stg_create_area(kStorageAreaSize));
        if (!area) return Fail(std::string("mkbrtype: ") + std::strerror(ENOMEM));
        const std::string selector = client::TypeSelector(kind, name, vob);
        const char* selectors[] = {selector.c_str()};
        cmd_mkbrtype_args_t record = client::BranchTypeCreationRecord(
            area.get(), selectors, parsed.Has("--admin"), comment.c_str());
        status = cmd_mkbrtype(&record);
    } else {
        status = client::CreateType(kind, name, vob, comment, false);
    }
    if (status != TBS_ST_OK) return TypeFailure(command, status, kind, name, vob);
    std::printf("Made %s \"%s\" in %s.\n", KindText(kind), name.c_str(), vob.c_str());
    return kExitOk;
}

// Runs change on the type that the one operand names and tells the outcome:
// done, or already when change answers TBS_ST_ERR (nothing to do).
int ChangeType(const char* command, const CArguments& args, const char* done, const char* already,
               tbs_status_t (*change)(ETypeKind, const std::string&, const std::string&)) {
    ETypeKind kind;
    std::string name, vob;
    int exit_code = kExitOk;
    if (!ParseSelectorArgs(command, args, &kind, &name, &vob, &exit_code)) return exit_code;
    tbs_status_t status = change(kind, name, vob);
    if (status == TBS_ST_ERR && already) {
        done = already;
    } else if (status != TBS_ST_OK) {
        return TypeFailure(command, status, kind, name, vob);
    }
    std::printf(done, KindText(kind), name.c_str(), vob.c_str());
    return kExitOk;
}

// A comment on one line: line ends as \n, a backslash as \\.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (c == '\\') {
            line += "\\\\";
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace

int RunMakeBranchType(const CArguments& args) {
    return MakeType(ETypeKind::kBranch, args);
}

int RunMakeLabelType(const CArguments& args) {
    return MakeType(ETypeKind::kLabel, args);
}

int RunLockType(const CArguments& args) {
    return ChangeType(
        "lock", args, "Locked %s \"%s\" in %s.\n", "The %s \"%s\" in %s was locked already.\n",
        [](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            return client::SetTypeLock(kind, name, vob, true);
        });
}

int RunUnlockType(const CArguments& args) {
    return ChangeType(
        "unlock", args, "Unlocked %s \"%s\" in %s.\n", "The %s \"%s\" in %s was not locked.\n",
        [](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            const std::string selector = client::TypeSelector(kind, name, vob);
            const char* selectors[] = {selector.c_str()};
            client::CStorageArea area(stg_create_area(kStorageAreaSize));
            cmd_unlock_args_t record = client::TypeUnlockRecord(area.get(), selectors);
            tbs_status_t status = cmd_unlock(&record);
            // Nothing was unlocked: was there nothing to unlock at all?
            client::CTypeRecord type;
            if (status == TBS_ST_ERR && client::FindType(kind, name, vob, &type))
                return TBS_ST_NOT_FOUND;
            return status;
        });
}

int RunRemoveType(const CArguments& args) {
    return ChangeType(
        "rmtype", args, "Removed %s \"%s\" from %s.\n", nullptr,
        [](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            const std::string selector = client::TypeSelector(kind, name, vob);
            const char* selectors[] = {selector.c_str()};
            client::CStorageArea area(stg_create_area(kStorageAreaSize));
            cmd_rmtype_args_t record = client::TypeRemovalRecord(area.get(), selectors);
            return cmd_rmtype(&record);
        });
}

int RunListTypes(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("lstype", args, {}, &parsed, &exit_code)) return exit_code;
    if (parsed.operands.size() != 1) return UsageError("usage: stavetool lstype VOB");
    std::vector<client::CTypeRecord> types;
    tbs_status_t status = client::ListTypes(parsed.operands[0], &types);
    if (status == TBS_ST_NOT_FOUND) return Fail("no VOB \"" + parsed.operands[0] + "\"");
    if (status != TBS_ST_OK) return Fail("lstype: " + StatusText(status));
    if (JsonOutput()) {
        tools::CJson list = tools::CJson::array();
        for (const client::CTypeRecord& type : types)
            list.push_back({{"kind", client::TypeKindWord(type.kind)},
                            {"name", type.name},
                            {"locked", type.locked},
                            {"admin", type.admin},
                            {"comment", type.comment}});
        return PrintJsonDocument({{"vob", parsed.operands[0]}, {"types", list}});
    }
    for (const client::CTypeRecord& type : types) {
        std::string flags = type.locked ? "locked" : "";
        if (type.admin) flags += flags.empty() ? "admin" : ",admin";
        if (std::printf("%s\t%s\t%s\t%s\n", client::TypeKindWord(type.kind), type.name.c_str(),
                        flags.empty() ? "-" : flags.c_str(), OneLine(type.comment).c_str()) < 0)
            return Fail(std::string("cannot write the list: ") + std::strerror(errno));
    }
    if (std::fflush(stdout) != 0)
        return Fail(std::string("cannot write the list: ") + std::strerror(errno));
    return kExitOk;
}

}  // namespace kelmora::stavetool
