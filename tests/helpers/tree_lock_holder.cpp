// Takes the tree lock of the tree at ROOT as another process would, prints
// "held" (or "failed"), keeps it until standard input closes or HOLD_MS pass,
// then releases it, with a revision bump when asked.
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"

using namespace kelmora;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tree_lock_holder ROOT [--read] [--bump] [--hold-ms N]\n");
        return 2;
    }
    bool for_reading = false, bump = false;
    int hold_ms = -1;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--read") for_reading = true;
        if (arg == "--bump") bump = true;
        if (arg == "--hold-ms" && i + 1 < argc) hold_ms = std::atoi(argv[++i]);
    }
    OverrideTreeRootSetting(argv[1]);
    // Reports go to the log so that nothing waits on standard input.
    if (!LoadProfileTree(true) || !TakeTreeLock(TreeLockStart::kNoCheck, for_reading, true)) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    pollfd in{0, POLLIN, 0};
    poll(&in, 1, hold_ms);
    ReleaseTreeLock(bump);
    return 0;
}
