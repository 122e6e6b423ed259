// stavefindco: lists the checked-out elements of a workspace or a view.
//   stavefindco -recurse PATH          checkouts of the workspace at or below PATH
//   stavefindco -avobs \\NAME\TAG      checkouts of the view TAG in every VOB it sees
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/messages.h"
#include "client/view_store.h"
#include "client/views.h"
#include "platform/tool_log.h"
#include "program.h"

namespace {

constexpr char kUsage[] =
    "usage: stavefindco -recurse PATH\n"
    "       stavefindco -avobs \\\\NAME\\TAG\n";

constexpr char kDescription[] =
    "Lists checked-out elements, one line each: the VOB tag, the element and the\n"
    "replica that masters it, separated by tabs; then how many there were.\n"
    "  -recurse PATH   the checkouts of the workspace that holds PATH, at or below\n"
    "                  PATH (an element's place is ROOT/VOB/ELEMENT); PATH is one\n"
    "                  argument, blanks and all\n"
    "  -avobs \\\\NAME\\TAG\n"
    "                  the checkouts of the view TAG in every VOB it sees, the view\n"
    "                  named by its network path (NAME is the share, e.g. \"view\")\n"
    "Exit status: 0 listed (none is fine), 1 no such workspace or view, or the\n"
    "client failed, 2 usage error.\n";

constexpr size_t kViewTagBufferSize = 1024;

int Usage() {
    std::fputs(kUsage, stderr);
    std::fputs("Try 'stavefindco --help'.\n", stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "stavefindco: %s\n", message.c_str());
    return 1;
}

// "\\NAME\TAG": the view tag, or empty when the text is not such a path.
std::string ViewTagOfNetworkPath(const std::string& path) {
    if (path.size() < 5 || path.compare(0, 2, "\\\\") != 0) return "";
    size_t separator = path.find('\\', 2);
    if (separator == std::string::npos || separator == 2) return "";
    std::string tag = path.substr(separator + 1);
    return tag.find('\\') == std::string::npos ? tag : "";
}

std::string WithSlashes(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

// Where a checked-out element lies in a workspace: ROOT/VOB/ELEMENT, the VOB
// by its tag without the leading separator.
std::string PlaceInWorkspace(const std::string& root, const kelmora::client::CCheckoutRecord& co) {
    std::string vob = WithSlashes(co.vob_tag), element = WithSlashes(co.element);
    return kelmora::client::NormalizeAbsolutePath(root + "/" + vob.substr(1) + "/" + element);
}

int List(const std::string& view_tag, const std::string& workspace_root, const std::string& below) {
    long long listed = 0;
    bool written = true;
    tbs_status_t status =
        kelmora::client::ForEachCheckout(view_tag, [&](const kelmora::client::CCheckoutRecord& co) {
            if (!below.empty() &&
                !kelmora::client::PathHolds(below, PlaceInWorkspace(workspace_root, co)))
                return true;
            const std::string line = kelmora::client::CheckoutLine(co);
            written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
            ++listed;
            return written;
        });
    if (status == TBS_ST_NOT_FOUND) return Fail("no view \"" + view_tag + "\"");
    if (status != TBS_ST_OK)
        return Fail("cannot list the checkouts of view \"" + view_tag +
                    "\": " + tbs_strerror(status));
    if (written)
        written = std::printf("%lld checkout%s in view \"%s\".\n", listed, listed == 1 ? "" : "s",
                              view_tag.c_str()) > 0;
    if (!written || std::fflush(stdout) != 0)
        return Fail(std::string("cannot write the list: ") + std::strerror(errno));
    return 0;
}

int ListWorkspace(const std::string& path) {
    char tag[kViewTagBufferSize] = {0};
    tbs_status_t status = ws_get_view(path.c_str(), 0, sizeof tag, tag);
    if (status == TBS_ST_NOT_WS) return Fail("\"" + path + "\" is not in a workspace");
    if (status != TBS_ST_OK)
        return Fail("cannot find the workspace of \"" + path + "\": " + tbs_strerror(status));
    kelmora::client::CViewRecord view;
    if (kelmora::client::FindView(tag, &view) != TBS_ST_OK)
        return Fail("no view \"" + std::string(tag) + "\"");
    return List(view.tag, view.workspace_root, kelmora::client::NormalizeAbsolutePath(path));
}

int Run(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        std::fputs(kDescription, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return kelmora::tools::PrintVersion();
    // "--" ends the options: a workspace path may begin with a dash.
    if (argc == 4 && std::strcmp(argv[2], "--") == 0) {
        argv[2] = argv[3];
        argc = 3;
    }
    if (argc == 1 || argc > 3) return Usage();
    const std::string option = argv[1];
    if (option != "-recurse" && option != "-avobs")
        return kelmora::tools::UnknownWord("option", option,
                                           {"-recurse", "-avobs", "--help", "--version"});
    if (argc != 3) return Usage();
    const std::string operand = argv[2];
    if (option == "-recurse" && !operand.empty()) return ListWorkspace(operand);
    if (option == "-avobs") {
        const std::string tag = ViewTagOfNetworkPath(operand);
        if (tag.empty()) return Usage();
        return List(tag, "", "");
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    kelmora::RecordToolInvocation(argc, argv);
    imsg_set_app_name("stavefindco");
    kelmora::tools::SetProgramName("stavefindco");
    return kelmora::tools::FinishOutput(Run(argc, argv));
}
