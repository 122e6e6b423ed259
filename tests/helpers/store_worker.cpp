// All modes but hold and save-once wait until the file GO exists, so that all start together.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "client/registry.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/tree_edit.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "stress/stress_texts.h"
#include "support/scripted_ui.h"

using namespace kelmora;

namespace {

// 3000 ms file retries become 250 ms: ten still outlast a save's hold of a file on a loaded
// machine.
unsigned g_lock_poll_ms = 10;
void ShortWait(unsigned milliseconds) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(milliseconds >= 3000 ? 250 : g_lock_poll_ms));
}

void PauseUpTo(unsigned milliseconds) {
    static std::mt19937 random(static_cast<unsigned>(getpid()));
    std::this_thread::sleep_for(std::chrono::milliseconds(
        std::uniform_int_distribution<unsigned>(0, milliseconds)(random)));
}

void AwaitGo(const std::string& go) {
    for (int waited = 0; !PathExists(go) && waited < 20000; ++waited) usleep(1000);
}

// What the console showed goes to standard error.
int Fail(const test::CScriptedUserInterface& console, const std::string& what) {
    std::fprintf(stderr, "store_worker: %s\n%s", what.c_str(), console.output().c_str());
    return 1;
}

CTreeNode* ProfileNode(const std::string& root, const std::string& profile) {
    CTreeNode* first = LoadProfileTree(false);
    return first ? FindNodeByPath(first, root + profile) : nullptr;
}

int Save(char** argv) {
    const std::string root = argv[2], profile = argv[3], id = argv[4];
    const int count = std::atoi(argv[5]);
    OverrideTreeRootSetting(root);
    AwaitGo(argv[6]);
    const int serial = open(argv[7], O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    test::CScriptedUserInterface console;
    SetTreeChangedHandler([] { LoadProfileTree(false); });
    for (int i = 1; i <= count; ++i) {
        PauseUpTo(800);
        flock(serial, LOCK_EX);
        CTreeNode* node = ProfileNode(root, profile);
        if (!node) return Fail(console, "no profile " + profile);
        CProfileRecord record;
        const std::string token = id + "-" + std::to_string(i);
        record.rules = test::StressRulesFile(token);
        if (SaveProfile(node, record, kSaveRules, "") != ESaveOutcome::kSaved)
            return Fail(console, "save " + token + " failed");
        std::string guid_text;
        CProfileGuid guid;
        if (ReadProfileField(root + profile, kProfileGuid, &guid_text) != FileErrorCause::None ||
            !ParseGuidFileText(guid_text, &guid))
            return Fail(console, "no revision after " + token);
        flock(serial, LOCK_UN);
        std::printf("saved %s %d\n", token.c_str(), guid.minor);
        std::fflush(stdout);
    }
    return 0;
}

int Compose(char** argv) {
    const std::string view = argv[2], profile_name = argv[3];
    const int count = std::atoi(argv[4]);
    AwaitGo(argv[5]);
    test::CScriptedUserInterface console;
    for (int i = 0; i < count; ++i) {
        PauseUpTo(300);
        CViewProfile profile;
        profile.SetViewTag(view);
        if (i % 2 == 0) {
            if (!profile.LoadConfigSpec(FALSE) || !profile.LookUpTreeRoot() ||
                !profile.RunAssociationStep(profile_name))
                return Fail(console, "not associated");
        } else if (!profile.Synchronize(FALSE)) {
            return Fail(console, "not synchronized");
        }
        std::string stored;
        if (client::GetConfigSpecText(view, &stored) != TBS_ST_OK)
            return Fail(console, "the view cannot be read");
        const test::CComposedSpec spec = test::AnalyzeComposedSpec(stored);
        std::printf("composed %d %s\n", spec.minor, spec.token.empty() ? "-" : spec.token.c_str());
        std::fflush(stdout);
    }
    return 0;
}

int SaveOnce(char** argv) {
    const std::string root = argv[2], profile = argv[3], token = argv[4];
    OverrideTreeRootSetting(root);
    test::CScriptedUserInterface console;
    CTreeNode* node = ProfileNode(root, profile);
    if (!node) return Fail(console, "no profile " + profile);
    CProfileRecord record;
    unsigned mask = 0;
    for (const CProfileTextField& field : ProfileTextFields()) {
        record.*field.text = test::StressFieldText(field.file_index, token);
        mask |= field.save_bit;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    if (SaveProfile(node, record, mask, "") != ESaveOutcome::kSaved)
        return Fail(console, "save failed");
    std::printf("saved\n");
    return 0;
}

int WriteRegistry(char** argv) {
    const std::string id = argv[2];
    const int count = std::atoi(argv[3]);
    AwaitGo(argv[4]);
    int written = 0;
    for (int i = 1; i <= count; ++i) {
        const std::string name = id + "-" + std::to_string(i);
        if (ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Stress", name.c_str(),
                             name.c_str()) == TBS_ST_OK)
            ++written;
        // A process keeps its connection; this one opens it again for every write.
        client::CloseClientDatabase();
    }
    std::printf("wrote %d\n", written);
    return written == count ? 0 : 1;
}

int MakeFolders(char** argv) {
    const std::string root = argv[2];
    const int count = std::atoi(argv[3]);
    g_lock_poll_ms = static_cast<unsigned>(std::atoi(argv[5]));
    OverrideTreeRootSetting(root);
    AwaitGo(argv[4]);
    SetTreeChangedHandler([] { LoadProfileTree(false); });
    CTreeNode* parent = ProfileNode(root, argv[6]);
    int made = 0;
    for (int i = 0; parent && i < count; ++i) made += MakeNewFolder(parent) != nullptr;
    std::printf("made %d\n", made);
    return made == count ? 0 : 1;
}

int HoldLock(int argc, char** argv) {
    bool for_reading = false, bump = false;
    int hold_ms = -1;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        for_reading |= arg == "--read";
        bump |= arg == "--bump";
        if (arg == "--hold-ms" && i + 1 < argc) hold_ms = std::atoi(argv[++i]);
    }
    OverrideTreeRootSetting(argv[2]);
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

}  // namespace

int main(int argc, char** argv) {
    SetSleepFunction(&ShortWait);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "save" && argc == 8) return Save(argv);
    if (mode == "compose" && argc == 6) return Compose(argv);
    if (mode == "save-once" && argc == 5) return SaveOnce(argv);
    if (mode == "registry" && argc == 5) return WriteRegistry(argv);
    if (mode == "edit" && argc == 7) return MakeFolders(argv);
    if (mode == "hold" && argc >= 3) return HoldLock(argc, argv);
    std::fprintf(
        stderr,
        "usage: store_worker hold ROOT [--read] [--bump] [--hold-ms N] | save ROOT PROFILE "
        "ID COUNT GO SERIAL | compose VIEW PROFILE COUNT GO | save-once ROOT PROFILE TOKEN "
        "| registry ID COUNT GO | edit ROOT COUNT GO POLL_MS PARENT\n");
    return 2;
}
