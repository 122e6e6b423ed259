#include "platform/process.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

extern char** environ;

namespace kelmora {

namespace {

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

int WaitForChild(pid_t pid, int* status) {
    for (;;) {
        if (waitpid(pid, status, 0) == pid) return 0;
        if (errno != EINTR) return errno;
    }
}

// The programs started detached that may not have ended yet, each by a pidfd:
// a pid could be reused by another child of the host once that one is reaped
// elsewhere, a pidfd names the one process.
std::mutex g_detached_mutex;
std::vector<int> g_detached;

void RememberDetachedChild(pid_t pid) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) return;  // an old kernel: it stays a zombie until the host ends
    std::lock_guard<std::mutex> guard(g_detached_mutex);
    g_detached.push_back(pidfd);
}

}  // namespace

void ReapDetachedChildren() {
    std::lock_guard<std::mutex> guard(g_detached_mutex);
    std::erase_if(g_detached, [](int pidfd) {
        siginfo_t info{};
        // Reaped elsewhere (ECHILD) or now: done with it.
        if (::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG) == 0 &&
            info.si_pid == 0)
            return false;
        ::close(pidfd);
        return true;
    });
}

CProcessResult RunProcessAndWait(const std::vector<std::string>& argv) {
    CProcessResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = ENOENT;
        return result;
    }
    ReapDetachedChildren();
    auto args = ArgvPointers(argv);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        result.error = rc;
        return result;
    }
    int status = 0;
    result.started = true;
    if (int err = WaitForChild(pid, &status)) {
        // The child ran but its status is gone: SIGCHLD ignored (inherited
        // through exec, too) makes the kernel reap it, and a host's handler
        // may have reaped it first. waitpid returned when it ended.
        result.error = err;
        return result;
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signaled = true;
        result.exit_code = 128 + WTERMSIG(status);
    }
    // posix_spawnp reports a missing program through the child's exit 127 on
    // some C libraries; treat that as a failed start when the program is absent.
    if (result.exit_code == 127 && argv[0].find('/') == std::string::npos &&
        FindProgramOnPath(argv[0]).empty()) {
        result.started = false;
        result.error = ENOENT;
    }
    return result;
}

bool StartDetached(const std::vector<std::string>& argv, int* error) {
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = ENOENT;
        return false;
    }
    ReapDetachedChildren();
    // No fork: the host may have threads, and a forked child may only make
    // async-signal-safe calls. The program gets a session of its own, so the
    // host's terminal and its signals are not its.
    posix_spawnattr_t attributes;
    int rc = posix_spawnattr_init(&attributes);
    if (rc == 0) {
        rc = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        auto args = ArgvPointers(argv);
        pid_t pid = 0;
        if (rc == 0) rc = posix_spawnp(&pid, args[0], nullptr, &attributes, args.data(), environ);
        posix_spawnattr_destroy(&attributes);
        if (rc == 0) RememberDetachedChild(pid);
    }
    if (rc == 0 && argv[0].find('/') == std::string::npos && FindProgramOnPath(argv[0]).empty())
        rc = ENOENT;
    if (error) *error = rc;
    return rc == 0;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> out;
    std::string current;
    bool in_token = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            current += '"';
            in_token = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            in_token = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_token) out.push_back(current);
            current.clear();
            in_token = false;
        } else {
            current += c;
            in_token = true;
        }
    }
    if (in_token) out.push_back(current);
    return out;
}

std::string FindProgramOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (true) {
        size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

std::string FolderOfCode(const void* address) {
    const auto wanted = reinterpret_cast<uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    // "start-end perms offset device inode   path"
    while (std::getline(maps, line)) {
        uintptr_t start = 0, end = 0;
        int path_at = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %*s %*s %*s %*s %n", &start, &end,
                        &path_at) < 2 ||
            wanted < start || wanted >= end)
            continue;
        std::string path = line.substr(static_cast<size_t>(path_at));
        return path.starts_with('/') ? path.substr(0, path.rfind('/')) : std::string();
    }
    return {};
}

}  // namespace kelmora
