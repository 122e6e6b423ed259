// A GUID file and a lock file of any content, as a crash or another tool may
// leave them: the parse round-trips, a save of the Rules raises the minor
// number by exactly one or refuses and changes nothing, and the lock reads a
// tree revision that is never the "not known" value.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_site.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "support/scripted_ui.h"

using namespace kelmora;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::CFuzzSite& site = fuzz::CFuzzSite::Get();
    const std::string text(reinterpret_cast<const char*>(data), size);
    CProfileGuid guid;
    if (ParseGuidFileText(text, &guid)) {
        CProfileGuid again;
        if (!ParseGuidFileText(FormatGuidFileText(guid), &again) || again.guid != guid.guid ||
            again.major != guid.major || again.minor != guid.minor)
            std::abort();
    }

    test::CScriptedUserInterface ui;
    const std::string guid_path = site.ProfileFile("GUID");
    const std::string rules_path = site.ProfileFile("Rules");
    site.WriteFile(guid_path, text);
    site.WriteFile(rules_path, "old rules");
    // The tree load reads the lock file first.
    site.WriteFile(site.tree_root() + "/.rev", text.substr(0, 40));
    CTreeNode* node = LoadProfileTree(true);
    if (CachedTreeRevision() < 0) std::abort();
    if (node) node = node->first_child();
    if (!node) std::abort();
    CProfileRecord record;
    record.rules = "new rules";
    const ESaveOutcome outcome = SaveProfile(node, record, kSaveRules, "");
    // The save reads what a GUID file's first 1023 bytes hold.
    CProfileGuid read;
    ParseGuidFileText(std::string_view(text).substr(0, 1023), &read);
    const bool can_rise = !read.guid.empty() && read.minor != INT_MAX;
    if (can_rise != (outcome == ESaveOutcome::kSaved)) std::abort();
    if (can_rise) {
        ++read.minor;
        if (ReadFile(guid_path) != FormatGuidFileText(read) || ReadFile(rules_path) != "new rules")
            std::abort();
    } else if (ReadFile(guid_path) != text || ReadFile(rules_path) != "old rules") {
        std::abort();
    }
    return 0;
}
