// The private branch wizard's check of a branch name, over any name: it
// answers without failing, and a name that it and the client's name rules
// accept makes private rules that a config spec may hold.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/cfs_grammar.h"
#include "fuzz_site.h"
#include "support/scripted_ui.h"
#include "ui/branch_psheet.h"
#include "ui/wiz_name.h"

using namespace kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    test::CScriptedUserInterface ui;
    CBranchPSheet sheet("", nullptr, CBranchPSheet::kNamePage);
    CWizName page(&sheet);
    page.set_name(name);
    if (page.name().size() > CWizName::kMaxNameLength) std::abort();
    const bool accepted = page.ValidateBranchName(page.name());
    if (accepted != ui.shown().empty()) std::abort();
    if (accepted && IsValidCfsName(page.name())) {
        const std::string rules =
            "element * ...\\" + page.name() + "\\LATEST\r\nmkbranch " + page.name() + "\r\n";
        if (!ParseConfigSpecText(rules).ok) std::abort();
    }
    return 0;
}
