#include "store/tree_root.h"

#include "client/registry.h"

namespace kelmora {

std::string ReadTreeRootSetting() {
    char buffer[1024] = {0};
    ntregy_key_t key = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                           "ProjectRoot", buffer, sizeof buffer, &key);
    std::string root;
    if (status == TBS_ST_OK && buffer[0] != '\0') {
        root = buffer;
        if (root.back() == '\\' || root.back() == '/') root.pop_back();
    }
    ntregy_close_key(key);
    return root;
}

}  // namespace kelmora
