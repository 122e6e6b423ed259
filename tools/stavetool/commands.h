#pragma once

#include <string>
#include <vector>

#include "client/status.h"
#include "client/tag_admin.h"
#include "json_output.h"

namespace kelmora::stavetool {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

using CArguments = std::vector<std::string>;

// Each command gets the arguments after its name and returns the exit code.
int RunSetting(const CArguments& args);
int RunMakeView(const CArguments& args);
int RunMakeWorkspace(const CArguments& args);
int RunRemoveView(const CArguments& args);
int RunListViews(const CArguments& args);
int RunSetConfigSpec(const CArguments& args);
int RunCatConfigSpec(const CArguments& args);
int RunMakeVob(const CArguments& args);
int RunSeeVob(const CArguments& args);
int RunVobFault(const CArguments& args);
int RunCheckOut(const CArguments& args);
int RunCheckIn(const CArguments& args);
int RunUndoCheckOut(const CArguments& args);
int RunListCheckouts(const CArguments& args);
int RunMakeTag(const CArguments& args);
int RunRemoveTag(const CArguments& args);
int RunListVobs(const CArguments& args);
int RunMount(const CArguments& args);
int RunUnmount(const CArguments& args);
int RunMountFault(const CArguments& args);
int RunMakeBranchType(const CArguments& args);
int RunMakeLabelType(const CArguments& args);
int RunLockType(const CArguments& args);
int RunUnlockType(const CArguments& args);
int RunRemoveType(const CArguments& args);
int RunListTypes(const CArguments& args);

// Refuses (in the mount client's message) a tag whose mount point another
// registered tag has; kExitOk when none has.
int CheckMountPointFree(const std::string& tag);
// Registers a VOB tag, telling a refusal in the mount client's messages.
int RegisterVobTag(const std::string& tag, const std::string& storage,
                   const client::CVobTagOptions& options);

// Set by --json on a listing command: its list is one JSON document, and
// failures are a JSON object on standard error (docs/json.md).
bool JsonOutput();
// Prints the document; the exit code.
int PrintJsonDocument(const tools::CJson& document);

// "stavetool: <message>" on standard error; returns kExitFailed.
int Fail(const std::string& message);
// The same with a pointer to --help; returns kExitUsage.
int UsageError(const std::string& message);
// The status word's text, for messages.
std::string StatusText(tbs_status_t status);

}  // namespace kelmora::stavetool
