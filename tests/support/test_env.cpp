#include "support/test_env.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/process.h"
#include "platform/sleep.h"
#include "platform/tool_log.h"

extern char** environ;

namespace kelmora::test {

namespace {
std::string MakeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/kelmora-test-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    return templ;
}
std::string PathWithFirst(const std::string& folder) {
    const char* old = std::getenv("PATH");
    return folder + ":" + (old ? old : "/usr/bin:/bin");
}
// Starts argv with these file actions; -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ) == 0 ? pid : -1;
}
int ExitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

CTempDir::CTempDir() : path_(MakeTempFolder()) {}

CTempDir::~CTempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string CTempDir::operator/(const std::string& relative) const {
    return path_ + "/" + relative;
}

void CIsolatedHome::SetUp() {
    path_ = MakeTempFolder();
    setenv("KELMORA_HOME", path_.c_str(), 1);
    // The machine's settings file would change what tests read.
    setenv("KELMORA_SETTINGS", (path_ + "/settings").c_str(), 1);
    unsetenv("KELMORA_NO_INPUT");
    // Sibling programs started by tests must come from this build.
    setenv("PATH", PathWithFirst(BuiltProgram("")).c_str(), 1);
}

void CIsolatedHome::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out << text;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CCommandOutput RunCommand(const std::vector<std::string>& argv, const std::string& input) {
    // Through files: no pipe fills up, and children left running are not waited for.
    CTempDir dir;
    const std::string in = dir / "in", out = dir / "out", err = dir / "err";
    WriteTextFile(in, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    const pid_t pid = Spawn(argv, &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid < 0) return {-1, "", "cannot start " + argv[0]};
    const int exit_code = ExitCodeOf(pid);
    return {exit_code, ReadTextFile(out), ReadTextFile(err)};
}

CChildProcess::CChildProcess(const std::vector<std::string>& argv, bool with_errors) {
    int in_pipe[2], out_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    if (with_errors) posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 2);
    pid_ = Spawn(argv, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    in_fd_ = in_pipe[1];
    out_fd_ = out_pipe[0];
}

bool CChildProcess::Write(const std::string& text) {
    size_t done = 0;
    while (in_fd_ >= 0 && done < text.size()) {
        ssize_t n = write(in_fd_, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return done == text.size();
}

CChildProcess::~CChildProcess() {
    Finish();
}

std::string CChildProcess::ReadLine() {
    // A byte at a time: what follows the line stays in the pipe for the next call.
    std::string line;
    char c;
    while (out_fd_ >= 0 && read(out_fd_, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

void CChildProcess::Kill(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

int CChildProcess::Finish() {
    if (in_fd_ >= 0) close(in_fd_);
    in_fd_ = -1;
    const int code = pid_ > 0 ? ExitCodeOf(pid_) : -1;
    pid_ = -1;
    if (out_fd_ >= 0) close(out_fd_);
    out_fd_ = -1;
    return code;
}

std::string CaseName(size_t index, std::string_view text) {
    constexpr size_t kLongest = 40;
    std::string name = std::to_string(index);
    if (!text.empty()) name += '_';
    for (char c : text.substr(0, kLongest)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

void ReapDetachedChildrenOnceEnded() {
    siginfo_t ended{};
    for (int i = 0;
         i < 200 && waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0;
         ++i)
        SleepMs(10);
    ReapDetachedChildren();
}

std::string BuiltProgram(const std::string& name) {
    // Set when the programs were copied where an unprivileged user reaches them.
    const char* moved = std::getenv("KELMORA_TEST_BIN_DIR");
    const std::string bin = moved && *moved ? moved : KELMORA_BIN_DIR;
    return bin + (name.empty() ? "" : "/" + name);
}

CScopedEnv::CScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

CScopedEnv::~CScopedEnv() {
    if (had_)
        setenv(name_, previous_.c_str(), 1);
    else
        unsetenv(name_);
}

CRecordingTool::CRecordingTool(const std::string& name)
    : log_path_(dir_ / "tool.log"),
      path_("PATH", PathWithFirst(dir_.path())),
      log_("KELMORA_TOOL_LOG", log_path_) {
    std::filesystem::create_symlink(BuiltProgram("argv_recorder"), dir_ / name);
}

std::vector<std::vector<std::string>> CRecordingTool::Runs() const {
    std::vector<std::vector<std::string>> runs;
    std::ifstream in(log_path_, std::ios::binary);
    for (std::string line; std::getline(in, line);) runs.push_back(ParseToolLogLine(line));
    return runs;
}

}  // namespace kelmora::test
