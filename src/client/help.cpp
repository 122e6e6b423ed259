#include "client/help.h"

#include <cstdio>
#include <cstdlib>

#include "platform/fs.h"
#include "platform/process.h"

namespace kelmora::client {

namespace {

// The help folder relative to the folder of the library or of a program.
constexpr const char* kHelpRelativePaths[] = {KELMORA_HELP_BUILT, KELMORA_HELP_FROM_LIBDIR,
                                              KELMORA_HELP_FROM_BINDIR};
constexpr char kOpener[] = "xdg-open";

// The library (or program) that holds this code.
std::string CodeFolder() {
    return FolderOfCode(reinterpret_cast<const void*>(&HelpFolder));
}

bool IsSafeTopic(const std::string& topic) {
    if (topic.empty() || topic.starts_with('/')) return false;
    size_t start = 0;
    while (start <= topic.size()) {
        size_t end = topic.find('/', start);
        if (end == std::string::npos) end = topic.size();
        std::string part = topic.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

std::string HelpFolder() {
    if (const char* override_dir = std::getenv("KELMORA_HELP_DIR"); override_dir && *override_dir)
        return IsDirectory(override_dir) ? override_dir : std::string();
    for (const std::string& base : {CodeFolder(), ExecutableFolder()}) {
        if (base.empty()) continue;
        for (const char* relative : kHelpRelativePaths) {
            std::string folder = base + "/" + relative;
            if (IsDirectory(folder)) return folder;
        }
    }
    return {};
}

std::string HelpPagePath(const std::string& topic) {
    if (!IsSafeTopic(topic)) return {};
    std::string folder = HelpFolder();
    if (folder.empty()) return {};
    std::string page = folder + "/" + topic;
    return IsRegularFile(page) ? page : std::string();
}

bool DesktopOpenerAvailable() {
    return (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) && !FindProgramOnPath(kOpener).empty();
}

}  // namespace kelmora::client

tbs_status_t gu_help(void* /*owner*/, const char* topic, int /*command*/, int /*data*/) {
    using namespace kelmora;
    std::string page = client::HelpPagePath(topic ? topic : "");
    if (page.empty()) {
        std::fprintf(stderr, "No help page for the topic '%s'.\n", topic ? topic : "");
        return TBS_ST_NOT_FOUND;
    }
    // The opener is not waited for: the page stays open beside the dialog.
    int error = 0;
    if (client::DesktopOpenerAvailable() && StartDetached({client::kOpener, page}, &error))
        return TBS_ST_OK;
    std::fprintf(stderr, "Help: %s\n", page.c_str());
    return TBS_ST_OK;
}
