#include "store/tree_root.h"

#include "client/registry.h"

namespace kelmora {

namespace {
std::optional<std::string> g_override;

// A value that ends in a separator loses that one character, and only one.
std::string WithoutTrailingSeparator(std::string root) {
    if (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
    return root;
}
}  // namespace

void OverrideTreeRootSetting(std::optional<std::string> root) {
    g_override = std::move(root);
}

std::string ReadTreeRootSetting() {
    if (g_override) return WithoutTrailingSeparator(*g_override);
    char buffer[1024] = {0};
    ntregy_key_t key = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                           "ProjectRoot", buffer, sizeof buffer, &key);
    std::string root;
    if (status == TBS_ST_OK && buffer[0] != '\0') {
        root = WithoutTrailingSeparator(buffer);
    }
    ntregy_close_key(key);
    return root;
}

}  // namespace kelmora
