// Makes COUNT new folders under PARENT (a name below the root; default the
// first top-level folder) of the tree at ROOT, each under the tree lock,
// reloading the tree whenever another process changed it. Starts when the
// file GO exists, so that several workers run at once. Polls the lock every
// POLL_MS. Prints "made N"; exit 0 when all were made.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/fs.h"
#include "platform/sleep.h"
#include "store/current_tree.h"
#include "store/tree_edit.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"

using namespace kelmora;

namespace {
unsigned g_poll_ms = 300;
void ShortPoll(unsigned) {
    std::this_thread::sleep_for(std::chrono::milliseconds(g_poll_ms));
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tree_edit_worker ROOT COUNT GO [POLL_MS [PARENT]]\n");
        return 2;
    }
    OverrideTreeRootSetting(argv[1]);
    const int count = std::atoi(argv[2]);
    if (argc > 4) g_poll_ms = static_cast<unsigned>(std::atoi(argv[4]));
    SetSleepFunction(&ShortPoll);
    for (int waited = 0; !PathExists(argv[3]) && waited < 10000; ++waited) usleep(1000);

    SetTreeChangedHandler([] { LoadProfileTree(false); });
    CTreeNode* parent = LoadProfileTree(false);
    if (parent && argc > 5) parent = FindNodeByPath(parent, std::string(argv[1]) + argv[5]);
    int made = 0;
    for (int i = 0; parent && i < count; ++i) {
        if (MakeNewFolder(parent)) ++made;
    }
    std::printf("made %d\n", made);
    return made == count ? 0 : 1;
}
