// stavetool mkview, mkws, rmview, lsview, setcs, catcs.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/admin.h"
#include "client/cfs.h"
#include "commands.h"
#include "platform/file.h"

namespace kelmora::stavetool {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool ExpectOperands(const char* command, const CArguments& args, size_t count, const char* synopsis,
                    int* exit_code) {
    for (const std::string& arg : args) {
        if (arg.size() > 1 && arg[0] == '-') {
            *exit_code = UsageError(std::string(command) + ": unknown option " + Quoted(arg));
            return false;
        }
    }
    if (args.size() != count) {
        *exit_code = UsageError(std::string("usage: stavetool ") + command + synopsis);
        return false;
    }
    return true;
}

// A message for the statuses every view command can meet.
int ViewFailure(const std::string& what, const std::string& tag, tbs_status_t status) {
    if (status == TBS_ST_NOT_FOUND) return Fail("no view " + Quoted(tag));
    return Fail(what + ": " + StatusText(status));
}

}  // namespace

int RunMakeView(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("mkview", args, 1, " TAG", &exit_code)) return exit_code;
    const std::string& tag = args[0];
    tbs_status_t status = client::CreateView(tag);
    if (status == TBS_ST_EXISTS) return Fail("view " + Quoted(tag) + " already exists");
    if (status == TBS_ST_INVALID)
        return Fail("invalid view tag " + Quoted(tag) +
                    ": use letters, digits, \"_\", \"-\" and \".\", starting with a letter, "
                    "digit or \"_\"");
    if (status != TBS_ST_OK)
        return Fail("cannot make view " + Quoted(tag) + ": " + StatusText(status));
    return kExitOk;
}

int RunMakeWorkspace(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("mkws", args, 2, " TAG PATH", &exit_code)) return exit_code;
    const std::string& tag = args[0];
    const std::string& root = args[1];
    tbs_status_t status = client::CreateWorkspace(tag, root);
    if (status == TBS_ST_EXISTS) {
        client::CViewRecord existing;
        if (client::FindView(tag, &existing) == TBS_ST_OK)
            return Fail("view " + Quoted(tag) + " already exists");
    }
    if (status != TBS_ST_OK)
        return Fail("cannot make workspace " + Quoted(tag) + " at " + root + ": " +
                    StatusText(status));
    return kExitOk;
}

int RunRemoveView(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("rmview", args, 1, " TAG", &exit_code)) return exit_code;
    tbs_status_t status = client::RemoveView(args[0]);
    if (status != TBS_ST_OK)
        return ViewFailure("cannot remove view " + Quoted(args[0]), args[0], status);
    return kExitOk;
}

int RunListViews(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("lsview", args, 0, "", &exit_code)) return exit_code;
    std::vector<client::CViewRecord> views;
    tbs_status_t status = client::ListViews(&views);
    if (status != TBS_ST_OK) return Fail("cannot list views: " + StatusText(status));
    if (JsonOutput()) {
        tools::CJson list = tools::CJson::array();
        for (const auto& view : views)
            list.push_back({{"tag", view.tag},
                            {"kind", view.is_workspace ? "workspace" : "dynamic"},
                            {"uuid", view.uuid},
                            {"root", tools::JsonTextOrNull(view.workspace_root)}});
        return PrintJsonDocument({{"views", list}});
    }
    size_t width = 0;
    for (const auto& view : views) width = std::max(width, view.tag.size());
    for (const auto& view : views) {
        std::printf("%-*s  %-9s  %s%s%s\n", static_cast<int>(width), view.tag.c_str(),
                    view.is_workspace ? "workspace" : "dynamic", view.uuid.c_str(),
                    view.is_workspace ? "  " : "", view.workspace_root.c_str());
    }
    return kExitOk;
}

int RunSetConfigSpec(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("setcs", args, 2, " TAG FILE", &exit_code)) return exit_code;
    const std::string& tag = args[0];
    const std::string& path = args[1];
    CFile file;
    CFileException error;
    std::string text;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting, &error) ||
        !file.ReadAll(&text, &error, client::kMaxConfigSpecBytes))
        return Fail("cannot read " + path + ": " + std::strerror(error.os_error) +
                    (error.os_error == EFBIG ? " (a config spec has at most 64 MiB)" : ""));
    // The library prints the parser's diagnostic itself.
    tbs_status_t status = client::SetConfigSpecText(tag, text);
    if (status == TBS_ST_CFS_SYNTAX)
        return Fail("config spec of view " + Quoted(tag) + " not changed: " + path +
                    " does not parse");
    if (status != TBS_ST_OK)
        return ViewFailure("cannot set the config spec of view " + Quoted(tag), tag, status);
    return kExitOk;
}

int RunCatConfigSpec(const CArguments& args) {
    int exit_code = kExitOk;
    if (!ExpectOperands("catcs", args, 1, " TAG", &exit_code)) return exit_code;
    std::string text;
    tbs_status_t status = client::GetConfigSpecText(args[0], &text);
    if (status != TBS_ST_OK)
        return ViewFailure("cannot read the config spec of view " + Quoted(args[0]), args[0],
                           status);
    // Byte for byte: line ends and any other bytes as stored.
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return Fail(std::string("cannot write the config spec: ") + std::strerror(errno));
    return kExitOk;
}

}  // namespace kelmora::stavetool
