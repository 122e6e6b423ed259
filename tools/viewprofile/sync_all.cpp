// viewprofile sync --all: every associated view of this user's client
// database looked at as status does, then each that is behind synchronized by
// a viewprofile of its own (the library's Synchronize, with its locks,
// messages and call log), at most N at once and never two of one profile.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "client/admin.h"
#include "job_pool.h"
#include "json_output.h"
#include "look.h"
#include "platform/process.h"
#include "program.h"

extern char** environ;

namespace kelmora {

namespace {

using tools::CJson;

enum class EOutcome { kUpToDate, kUpdated, kWouldUpdate, kNeedsYou, kNotAssociated };

const char* WordOf(EOutcome outcome) {
    switch (outcome) {
        case EOutcome::kUpToDate:
            return "up_to_date";
        case EOutcome::kUpdated:
            return "updated";
        case EOutcome::kWouldUpdate:
            return "would_update";
        case EOutcome::kNeedsYou:
            return "needs_you";
        case EOutcome::kNotAssociated:
            return "not_associated";
    }
    return "";
}

struct CViewSync {
    std::string tag;
    // How viewprofile names the view: a workspace by its root, since the
    // object finds a workspace's config spec through a path in it.
    std::vector<std::string> selector;
    std::string profile;  // the GUID: views with one are never run at once
    bool to_run = false;
    EOutcome outcome = EOutcome::kUpToDate;
    std::string reason, command;
    std::string output;    // what the synchronize printed (its preview)
    std::string messages;  // what it showed on standard error
};

// A text on one line: its lines joined by blanks, a box's frame and empty
// lines left out ("| " begins a line of a box's text).
std::string OneLine(const std::string& text) {
    std::string joined;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("+--", 0) == 0) continue;
        if (line.rfind("| ", 0) == 0) line.erase(0, 2);
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        const size_t last = line.find_last_not_of(" \t\r");
        joined += (joined.empty() ? "" : " ") + line.substr(first, last - first + 1);
    }
    return joined;
}

// A word as a shell reads it back.
std::string ShellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_-+=./:,@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Command(const CViewSync& v, const std::string& method) {
    std::string command = "viewprofile";
    for (const std::string& word : v.selector) command += " " + ShellWord(word);
    return command + " " + method;
}

// What the view needs before it can follow its profile, or that it is to be
// run; from the look that status takes.
void Classify(const CViewLook& look, CViewSync* v) {
    auto needs = [&](const std::string& reason, const std::string& method) {
        v->outcome = EOutcome::kNeedsYou;
        v->reason = reason;
        v->command = Command(*v, method);
    };
    auto has = [&](const char* word) {
        for (const std::string& need : look.needs)
            if (need == word) return true;
        return false;
    };
    v->profile = look.profile_guid;
    if (!look.looked) return needs(OneLine(look.failure), "status");
    if (!look.associated) {
        v->outcome = EOutcome::kNotAssociated;
        return;
    }
    if (look.edited_outside)
        return needs("its config spec was edited by hand; Synchronize offers the recovery",
                     "Synchronize FALSE");
    if (look.profile_state == "gone")
        return needs("no profile has its GUID any more; associate it with another", "Associate");
    if (look.profile_state == "moved")
        return needs("its profile moved to " + look.moved_to, "Synchronize FALSE");
    if (has("revision_unknown"))
        return needs("a save of its profile was cut short; the next change to the tree finishes it",
                     "status");
    const bool behind = look.behind.value_or(0) != 0;
    if (behind && !look.private_branch.empty())
        return needs("it works on the private branch " + look.private_branch, "FinishBranch");
    if (behind && look.checkouts > 0)
        return needs(std::to_string(look.checkouts) + " checkout" +
                         (look.checkouts == 1 ? "" : "s") + " of the view",
                     "Synchronize FALSE");
    // Synchronize mounts a dynamic view's VOBs even when it is up to date.
    v->to_run = behind || has("vobs_not_mounted");
}

// Runs a program with no input; what it wrote to standard output and error.
// Its exit status (-1 when it could not be run or was killed).
int RunCapturing(const std::vector<std::string>& argv, std::string* out, std::string* err) {
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) return -1;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    // Both at once: a child that fills one pipe while this reads the other would wait forever.
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* texts[2] = {out, err};
    for (int open = error == 0 ? 2 : 0; open > 0;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (error != 0) {
        *err = std::string("cannot start ") + args[0] + ": " + std::strerror(error);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One line per view on standard error, under a bar on a terminal.
class CProgress {
public:
    CProgress(size_t total, bool quiet) : total_(total), quiet_(quiet), bar_(!quiet && isatty(2)) {}
    void Done(const CViewSync& v) {
        std::lock_guard<std::mutex> hold(mutex_);
        ++done_;
        if (quiet_) return;
        std::string what = WordOf(v.outcome);
        for (char& c : what)
            if (c == '_') c = ' ';
        if (!v.reason.empty()) what += ": " + v.reason;
        std::fprintf(stderr, "%s[%zu/%zu] %s: %s\n", bar_ ? "\r\033[K" : "", done_, total_,
                     v.tag.c_str(), what.c_str());
        if (bar_ && done_ < total_) {
            const size_t width = 30, filled = width * done_ / total_;
            std::fprintf(stderr, "[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                         std::string(width - filled, ' ').c_str(), done_, total_);
        }
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
    size_t total_, done_ = 0;
    bool quiet_, bar_;
};

// Synchronizes (or previews) the views to run, jobs at once, never two of one profile.
void RunViews(std::vector<CViewSync>& views, const CSyncAllOptions& options, CProgress& progress) {
    std::vector<CViewSync*> to_run;
    std::vector<std::string> profiles;
    for (CViewSync& v : views) {
        if (!v.to_run) continue;
        to_run.push_back(&v);
        profiles.push_back(v.profile);
    }
    const std::string self = ExecutableFolder() + "/viewprofile";
    tools::RunJobsOnePerKey(profiles, options.jobs, [&](size_t i) {
        CViewSync* v = to_run[i];
        std::vector<std::string> argv = {self};
        argv.insert(argv.end(), v->selector.begin(), v->selector.end());
        argv.push_back("--no-input");
        if (options.preview) argv.push_back("--preview");
        argv.insert(argv.end(), {"Synchronize", "FALSE"});
        const int exit_code = RunCapturing(argv, &v->output, &v->messages);
        // The method's own answer, which the outcome says.
        for (const char* answer : {"TRUE\n", "FALSE\n"})
            if (v->output.rfind(answer, 0) == 0) v->output.erase(0, std::strlen(answer));
        if (exit_code == 0) {
            v->outcome = options.preview ? EOutcome::kWouldUpdate : EOutcome::kUpdated;
        } else {
            v->outcome = EOutcome::kNeedsYou;
            v->reason = OneLine(v->messages);
            if (v->reason.empty()) v->reason = "Synchronize answered FALSE without a message";
            v->command = Command(*v, "Synchronize FALSE");
        }
        progress.Done(*v);
    });
}

CJson ToJson(const std::vector<CViewSync>& views) {
    CJson doc;
    doc["views"] = CJson::array();
    CJson& counts = doc["counts"];
    for (EOutcome o : {EOutcome::kUpdated, EOutcome::kWouldUpdate, EOutcome::kUpToDate,
                       EOutcome::kNeedsYou, EOutcome::kNotAssociated})
        counts[WordOf(o)] = 0;
    for (const CViewSync& v : views) {
        counts[WordOf(v.outcome)] = counts[WordOf(v.outcome)].get<int>() + 1;
        doc["views"].push_back({{"view", v.tag},
                                {"outcome", WordOf(v.outcome)},
                                {"reason", tools::JsonTextOrNull(v.reason)},
                                {"command", tools::JsonTextOrNull(v.command)},
                                {"output", v.output},
                                {"messages", v.messages}});
    }
    return doc;
}

void PrintSummary(const std::vector<CViewSync>& views, bool preview) {
    for (const CViewSync& v : views) {
        if (v.outcome != EOutcome::kWouldUpdate) continue;
        std::printf("== %s ==\n%s", v.tag.c_str(), v.output.c_str());
    }
    auto list = [&](EOutcome outcome, const char* title) {
        std::vector<const CViewSync*> of;
        for (const CViewSync& v : views)
            if (v.outcome == outcome) of.push_back(&v);
        std::printf("%s: %zu\n", title, of.size());
        if (outcome == EOutcome::kUpToDate || outcome == EOutcome::kNotAssociated) return;
        for (const CViewSync* v : of) {
            std::printf("  %s", v->tag.c_str());
            if (!v->reason.empty())
                std::printf(": %s\n    run: %s", v->reason.c_str(), v->command.c_str());
            std::printf("\n");
        }
    };
    list(preview ? EOutcome::kWouldUpdate : EOutcome::kUpdated,
         preview ? "would be updated" : "updated");
    list(EOutcome::kUpToDate, "already up to date");
    list(EOutcome::kNeedsYou, "needs you");
    list(EOutcome::kNotAssociated, "not associated (left alone)");
}

}  // namespace

int RunSyncAll(const CSyncAllOptions& options) {
    std::vector<client::CViewRecord> records;
    if (client::ListViews(&records) != TBS_ST_OK) {
        const char* text = "cannot read the views of the client database";
        if (options.json) return tools::PrintJsonError(text, kExitFailure);
        tools::PrintError(text);
        return kExitFailure;
    }
    // The children never wait for an answer: nobody could see the question.
    tools::RequestNoInput();
    std::vector<CViewSync> views(records.size());
    CProgress progress(records.size(), options.json);
    {
        CInProcessModule module;
        for (size_t i = 0; i < records.size(); ++i) {
            views[i].tag = records[i].tag;
            views[i].selector =
                records[i].is_workspace
                    ? std::vector<std::string>{"--workspace", records[i].workspace_root}
                    : std::vector<std::string>{"--view", records[i].tag};
            IDispatch* object = module.CreateObject();
            if (!object) {
                views[i].outcome = EOutcome::kNeedsYou;
                views[i].reason = "the View Profile class is not available";
                continue;
            }
            CObjectSetup setup;
            setup.view_tag = &records[i].tag;
            Classify(LookAtView(object, setup), &views[i]);
            object->Release();
            if (!views[i].to_run) progress.Done(views[i]);
        }
    }
    RunViews(views, options, progress);
    bool all_up_to_date = true;
    for (const CViewSync& v : views)
        all_up_to_date = all_up_to_date &&
                         (v.outcome == EOutcome::kUpToDate || v.outcome == EOutcome::kUpdated ||
                          v.outcome == EOutcome::kNotAssociated);
    const int exit_code = all_up_to_date ? kExitTrue : kExitFalse;
    if (options.json) return tools::PrintJson(ToJson(views)) ? exit_code : kExitFailure;
    PrintSummary(views, options.preview);
    return exit_code;
}

}  // namespace kelmora
