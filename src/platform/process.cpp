#include "platform/process.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>

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

}  // namespace

CProcessResult RunProcessAndWait(const std::vector<std::string>& argv) {
    CProcessResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = ENOENT;
        return result;
    }
    auto args = ArgvPointers(argv);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        result.error = rc;
        return result;
    }
    int status = 0;
    if (int err = WaitForChild(pid, &status)) {
        result.error = err;
        return result;
    }
    result.started = true;
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
    // The intermediate child starts the program and exits at once; the
    // program is then a child of init, which reaps it. A pipe carries the
    // start's errno back so that a program that cannot be started is reported.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (error) *error = errno;
        return false;
    }
    auto args = ArgvPointers(argv);
    pid_t child = fork();
    if (child < 0) {
        if (error) *error = errno;
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        setsid();
        pid_t grandchild = 0;
        int rc = posix_spawnp(&grandchild, args[0], nullptr, nullptr, args.data(), environ);
        ssize_t ignored = write(fds[1], &rc, sizeof rc);
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    int rc = 0;
    ssize_t n;
    do {
        n = read(fds[0], &rc, sizeof rc);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);
    int status = 0;
    WaitForChild(child, &status);
    if (n != static_cast<ssize_t>(sizeof rc)) rc = ECHILD;
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
