#include "client/credutl.h"

#include <grp.h>
#include <unistd.h>

#include <vector>

#include "client/registry.h"

namespace {

constexpr char kAdminGroupValue[] = "AdminGroup";

bool IsInGroup(gid_t group) {
    if (getegid() == group) return true;
    int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    count = getgroups(count, groups.data());
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<size_t>(i)] == group) return true;
    }
    return false;
}

}  // namespace

bool credutl_is_privileged() {
    if (geteuid() == 0) return true;
    char name[256] = {};
    ntregy_key_t key = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                           kAdminGroupValue, name, sizeof name, &key);
    ntregy_close_key(key);
    if (status != TBS_ST_OK || !*name) return false;
    const group* admin = getgrnam(name);
    return admin && IsInGroup(admin->gr_gid);
}
