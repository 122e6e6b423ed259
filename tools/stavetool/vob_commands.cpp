// stavetool mkvob, seevob, vobfault, co, ci, unco, lsco.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/credutl.h"
#include "client/vob_admin.h"
#include "commands.h"
#include "option_parser.h"

namespace kelmora::stavetool {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Says which of the view and the VOB is missing, when one is.
int MissingViewOrVob(const std::string& view_tag, const std::string& vob_tag) {
    client::CViewRecord view;
    if (client::FindView(view_tag, &view) == TBS_ST_NOT_FOUND)
        return Fail("no view " + Quoted(view_tag));
    client::CVobRecord vob;
    if (client::FindVob(vob_tag, &vob) == TBS_ST_NOT_FOUND)
        return Fail("no VOB " + Quoted(vob_tag));
    return kExitOk;
}

// VIEW VOB ELEMENT of co, ci and unco.
bool ParseCheckoutArgs(const char* command, const CArguments& args,
                       std::initializer_list<COptionSpec> known, CParsedOptions* parsed,
                       int* exit_code) {
    if (!ParseOptions(command, args, known, parsed, exit_code)) return false;
    if (parsed->operands.size() == 3) return true;
    *exit_code = UsageError(std::string("usage: stavetool ") + command + " VIEW VOB ELEMENT" +
                            (known.size() ? " [--master REPLICA]" : ""));
    return false;
}

int EndCheckOut(const char* command, const CArguments& args, const char* done) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseCheckoutArgs(command, args, {}, &parsed, &exit_code)) return exit_code;
    const std::string &view = parsed.operands[0], &vob = parsed.operands[1],
                      &element = parsed.operands[2];
    tbs_status_t status = client::EndCheckOut(view, vob, element);
    if (status == TBS_ST_NOT_FOUND) {
        if (int missing = MissingViewOrVob(view, vob)) return missing;
        return Fail(Quoted(element) + " in " + vob + " is not checked out to view " + Quoted(view));
    }
    if (status != TBS_ST_OK) return Fail(std::string(command) + ": " + StatusText(status));
    std::printf("%s %s in %s.\n", done, Quoted(element).c_str(), vob.c_str());
    return kExitOk;
}

// A status word as a number: decimal, or hexadecimal after "0x".
bool ParseStatus(const std::string& text, tbs_status_t* status) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno || *end || value == 0 || value > 0xffffffffUL) return false;
    *status = static_cast<tbs_status_t>(value);
    return true;
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
    if (int refused = CheckMountPointFree(tag)) return refused;
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

int RunSeeVob(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("seevob", args, {}, &parsed, &exit_code)) return exit_code;
    if (parsed.operands.size() != 2) return UsageError("usage: stavetool seevob VIEW VOB");
    const std::string &view = parsed.operands[0], &vob = parsed.operands[1];
    tbs_status_t status = client::AddVobToView(view, vob);
    if (status == TBS_ST_EXISTS) return kExitOk;  // seen already: nothing to do
    if (status == TBS_ST_NOT_FOUND) return MissingViewOrVob(view, vob);
    if (status != TBS_ST_OK) return Fail("seevob: " + StatusText(status));
    return kExitOk;
}

int RunVobFault(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("vobfault", args, {{"--clear", false}, {"--at", true}}, &parsed, &exit_code))
        return exit_code;
    const bool clear = parsed.Has("--clear");
    const std::string call = parsed.Has("--at") ? parsed.Value("--at") : client::kVobFaultOpen;
    tbs_status_t fault = TBS_ST_OK;
    if (parsed.operands.size() != (clear ? 1u : 2u) || (clear && parsed.Has("--at")))
        return UsageError("usage: stavetool vobfault VOB STATUS [--at CALL] | VOB --clear");
    if (!clear && !ParseStatus(parsed.operands[1], &fault))
        return UsageError("vobfault: STATUS is a non-zero number, such as 1002 or 0x3ea");
    if (!client::IsVobFaultCall(call))
        return UsageError("vobfault: --at takes open, replica, checkouts, master or create");
    const std::string& vob = parsed.operands[0];
    tbs_status_t status = client::SetVobFault(vob, fault, call);
    if (status == TBS_ST_NOT_FOUND) return Fail("no VOB " + Quoted(vob));
    if (status != TBS_ST_OK) return Fail("vobfault: " + StatusText(status));
    return kExitOk;
}

int RunCheckOut(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseCheckoutArgs("co", args, {{"--master", true}}, &parsed, &exit_code)) return exit_code;
    const std::string &view = parsed.operands[0], &vob = parsed.operands[1],
                      &element = parsed.operands[2];
    if (!client::IsValidElementName(element))
        return Fail("invalid element name " + Quoted(element));
    tbs_status_t status = client::CheckOut(view, vob, element, parsed.Value("--master"));
    if (status == TBS_ST_NOT_FOUND) {
        if (int missing = MissingViewOrVob(view, vob)) return missing;
    }
    if (status == TBS_ST_EXISTS)
        return Fail(Quoted(element) + " in " + vob + " is checked out to view " + Quoted(view) +
                    " already");
    if (status == TBS_ST_INVALID)
        return Fail("VOB " + vob + " is not replicated: its only replica is its own");
    if (status != TBS_ST_OK) return Fail("co: " + StatusText(status));
    std::printf("Checked out %s in %s to view %s.\n", Quoted(element).c_str(), vob.c_str(),
                Quoted(view).c_str());
    return kExitOk;
}

int RunCheckIn(const CArguments& args) {
    return EndCheckOut("ci", args, "Checked in");
}

int RunUndoCheckOut(const CArguments& args) {
    return EndCheckOut("unco", args, "Checkout undone for");
}

int RunListCheckouts(const CArguments& args) {
    CParsedOptions parsed;
    int exit_code = kExitOk;
    if (!ParseOptions("lsco", args, {}, &parsed, &exit_code)) return exit_code;
    if (parsed.operands.size() != 1) return UsageError("usage: stavetool lsco VIEW");
    bool written = true;
    tools::CJson list = tools::CJson::array();
    tbs_status_t status =
        client::ForEachCheckout(parsed.operands[0], [&](const client::CCheckoutRecord& record) {
            if (JsonOutput()) {
                list.push_back({{"vob", record.vob_tag},
                                {"element", record.element},
                                {"master_replica", record.master_replica}});
                return true;
            }
            const std::string line = client::CheckoutLine(record);
            written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
            return written;
        });
    if (status == TBS_ST_NOT_FOUND) return Fail("no view " + Quoted(parsed.operands[0]));
    if (status != TBS_ST_OK) return Fail("lsco: " + StatusText(status));
    if (JsonOutput()) return PrintJsonDocument({{"view", parsed.operands[0]}, {"checkouts", list}});
    if (!written || std::fflush(stdout) != 0)
        return Fail(std::string("cannot write the list: ") + std::strerror(errno));
    return kExitOk;
}

}  // namespace kelmora::stavetool
