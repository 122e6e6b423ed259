#include "store/rules_history.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <ctime>
#include <optional>
#include <set>
#include <string_view>

#include "client/registry.h"
#include "platform/file.h"
#include "platform/sleep.h"
#include "platform/temp_file.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"

namespace kelmora {

namespace {

constexpr const char* kIndexName = "index";
constexpr std::string_view kEntryPrefix = "rules.";
constexpr const char* kUnknown = "-";

std::string EntryName(unsigned long revision) {
    return std::string(kEntryPrefix) + std::to_string(revision);
}

std::string InHistory(const std::string& name) {
    return std::string(kRulesHistoryFolderName) + "/" + name;
}

bool Fail(CRulesHistoryError* error, const std::string& path, int os_error) {
    if (error) *error = {false, os_error, path};
    return false;
}

bool NotKept(CRulesHistoryError* error) {
    if (error) *error = {true, 0, {}};
    return false;
}

// The whole file name of folder; false with errno set (ENOENT when absent).
bool ReadFileIn(const CFolder& folder, const std::string& name, std::string* text) {
    CFile file;
    CFileException error;
    if (file.OpenIn(folder, name, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting,
                    &error, FileKind::RegularOnly) &&
        file.ReadAll(text, &error))
        return true;
    errno = error.os_error ? error.os_error : EIO;
    return false;
}

// The same for a file of the profile, waited for like every reader of the
// profile's files while another process holds it (a save, or the read-only
// test of a load, which opens the GUID file exclusively for a moment).
bool ReadProfileFileIn(const CFolder& folder, const std::string& name, std::string* text) {
    CWaitNotice notice(name);
    for (int attempt = 1;; ++attempt) {
        CFile file;
        CFileException error;
        const bool opened = file.OpenIn(folder, name, FileAccess::Read, FileShare::DenyWrite,
                                        FileCreate::OpenExisting, &error, FileKind::RegularOnly);
        if (opened && file.ReadAll(text, &error)) return true;
        errno = error.os_error ? error.os_error : EIO;
        if (opened) return false;
        if (error.cause != FileErrorCause::SharingViolation ||
            attempt >= WaitAttempts(kProfileFileOpenAttempts, kProfileFileRetryMs))
            return false;
        notice.Sleep(kProfileFileRetryMs);
    }
}

bool ParseNumber(std::string_view text, long* value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

// One index line; false for a line that is not one (it is passed over).
bool ParseIndexLine(std::string_view line, CRulesRevision* entry) {
    std::string_view fields[5];
    for (int i = 0; i < 5; ++i) {
        const size_t tab = i < 4 ? line.find('\t') : line.size();
        if (tab == std::string_view::npos) return false;
        fields[i] = line.substr(0, tab);
        line.remove_prefix(std::min(line.size(), tab + 1));
    }
    long revision = 0, added = -1, removed = -1;
    if (!ParseNumber(fields[0], &revision) || revision < 0 || revision > INT_MAX) return false;
    if (fields[3] != kUnknown && !ParseNumber(fields[3], &added)) return false;
    if (fields[4] != kUnknown && !ParseNumber(fields[4], &removed)) return false;
    entry->revision = static_cast<unsigned long>(revision);
    entry->time_utc = fields[1] == kUnknown ? "" : std::string(fields[1]);
    entry->user_host = fields[2] == kUnknown ? "" : std::string(fields[2]);
    entry->added = static_cast<int>(added);
    entry->removed = static_cast<int>(removed);
    return true;
}

std::string IndexLine(const CRulesRevision& entry) {
    auto field = [](const std::string& text) { return text.empty() ? kUnknown : text; };
    auto count = [](int n) { return n < 0 ? std::string(kUnknown) : std::to_string(n); };
    return std::to_string(entry.revision) + "\t" + field(entry.time_utc) + "\t" +
           field(entry.user_host) + "\t" + count(entry.added) + "\t" + count(entry.removed) + "\n";
}

// The index, oldest first, one entry per revision (a later line wins); an
// absent index is an empty one.
void ParseIndex(std::string_view rest, std::vector<CRulesRevision>* entries) {
    entries->clear();
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        // A line without its end was never written whole.
        if (end == std::string_view::npos) break;
        CRulesRevision entry;
        if (ParseIndexLine(rest.substr(0, end), &entry)) {
            while (!entries->empty() && entries->back().revision >= entry.revision)
                entries->pop_back();
            entries->push_back(std::move(entry));
        }
        rest.remove_prefix(end + 1);
    }
}

bool ReadIndex(const CFolder& history, std::vector<CRulesRevision>* entries,
               CRulesHistoryError* error) {
    entries->clear();
    std::string text;
    if (!ReadFileIn(history, kIndexName, &text))
        return errno == ENOENT || Fail(error, InHistory(kIndexName), errno);
    ParseIndex(text, entries);
    return true;
}

std::string IndexText(const std::vector<CRulesRevision>& entries) {
    std::string text;
    for (const CRulesRevision& entry : entries) text += IndexLine(entry);
    return text;
}

// The profile's minor number, when its GUID file gives one; false with errno
// set when the file is there but cannot be read (a save holds it a moment).
bool CurrentMinor(const CFolder& profile_folder, std::optional<unsigned long>* minor) {
    std::string text;
    CProfileGuid guid;
    minor->reset();
    if (!ReadProfileFileIn(profile_folder, ProfileFileName(kProfileGuid), &text))
        return errno == ENOENT;
    if (ParseGuidFileText(text, &guid) && guid.minor >= 0)
        *minor = static_cast<unsigned long>(guid.minor);
    return true;
}

// The history folder; false with errno set (ENOENT when there is none).
bool OpenHistory(const CFolder& profile_folder, CFolder* history) {
    return history->OpenIn(profile_folder, kRulesHistoryFolderName);
}

// The entries in force: none beyond the revision the GUID file holds.
bool ReadEntriesInForce(const CFolder& profile_folder, CFolder* history,
                        std::vector<CRulesRevision>* entries, CRulesHistoryError* error) {
    entries->clear();
    if (!OpenHistory(profile_folder, history))
        return errno == ENOENT || Fail(error, kRulesHistoryFolderName, errno);
    std::optional<unsigned long> minor;
    if (!CurrentMinor(profile_folder, &minor))
        return Fail(error, ProfileFileName(kProfileGuid), errno);
    if (!ReadIndex(*history, entries, error)) return false;
    while (minor && !entries->empty() && entries->back().revision > *minor) entries->pop_back();
    return true;
}

bool WriteWhole(const CFolder& folder, const std::string& name, const std::string& text,
                bool sync_folder = true) {
    CReplacementFile replacement;
    return replacement.PrepareIn(folder, name, text) && replacement.Commit(sync_folder);
}

std::string NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&now, &utc)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// Tabs and line ends would break the index line.
std::string Plain(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return text;
}

std::string UserAtHost() {
    std::string user = std::to_string(geteuid());
    passwd entry{}, *found = nullptr;
    char buffer[1024];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        user = found->pw_name;
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    return Plain(user) + "@" + Plain(host[0] ? host : "localhost");
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

// Removes the entry files that the index no longer lists (dropped by the
// bound, or left by a save that was cut).
void RemoveUnlistedEntries(const CFolder& history, const std::vector<CRulesRevision>& entries) {
    std::set<std::string> listed;
    for (const CRulesRevision& entry : entries) listed.insert(EntryName(entry.revision));
    std::vector<CDirEntry> files;
    if (!history.List(&files)) return;
    for (const CDirEntry& file : files) {
        if (!file.is_directory && file.name.starts_with(kEntryPrefix) && !listed.count(file.name))
            history.RemoveEntry(file.name);
    }
}

// A file of the history opened without share locks: the tree lock keeps
// other writers out, and a reader passes over an index line that is not
// whole yet, as it does after a kill, and reads no entry the index does not
// list yet. The index is made when missing; an entry is always a new file.
struct CHistoryFile {
    int fd = -1;
    ~CHistoryFile() {
        if (fd >= 0) ::close(fd);
    }
    bool Open(const CFolder& history, const char* name, int flags = O_RDWR | O_CREAT) {
        fd = openat(history.fd(), name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            fd = -1;
            errno = EINVAL;
        }
        return fd >= 0;
    }
    bool ReadAll(std::string* text) const {
        char block[4096];
        for (;;) {
            const ssize_t n = ::read(fd, block, sizeof block);
            if (n == 0) return true;
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            text->append(block, static_cast<size_t>(n));
        }
    }
    bool Append(const std::string& text) const {
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
};

bool IsRefusal(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

}  // namespace

void CountChangedLines(const std::string& old_text, const std::string& new_text, int* added,
                       int* removed) {
    const std::vector<std::string_view> a = Lines(old_text), b = Lines(new_text);
    // Myers' greedy search for the fewest lines removed and added.
    const long n = static_cast<long>(a.size()), m = static_cast<long>(b.size());
    const long offset = n + m + 1;
    std::vector<long> furthest(static_cast<size_t>(2 * offset + 1), 0);
    long edits = n + m;
    for (long d = 0; d <= n + m; ++d) {
        bool done = false;
        for (long k = -d; k <= d && !done; k += 2) {
            long x = (k == -d || (k != d && furthest[static_cast<size_t>(offset + k - 1)] <
                                                furthest[static_cast<size_t>(offset + k + 1)]))
                         ? furthest[static_cast<size_t>(offset + k + 1)]
                         : furthest[static_cast<size_t>(offset + k - 1)] + 1;
            long y = x - k;
            while (x < n && y < m && a[static_cast<size_t>(x)] == b[static_cast<size_t>(y)]) {
                ++x;
                ++y;
            }
            furthest[static_cast<size_t>(offset + k)] = x;
            if (x >= n && y >= m) {
                edits = d;
                done = true;
            }
        }
        if (done) break;
    }
    const long common = (n + m - edits) / 2;
    *added = static_cast<int>(m - common);
    *removed = static_cast<int>(n - common);
}

unsigned long RulesHistoryLimit() {
    char buffer[64] = {0};
    ntregy_key_t key = nullptr;
    const tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                                 "RulesHistoryLimit", buffer, sizeof buffer, &key);
    ntregy_close_key(key);
    long limit = 0;
    if (status != TBS_ST_OK || !ParseNumber(buffer, &limit) || limit < 0) return 0;
    return static_cast<unsigned long>(limit);
}

bool ReadRulesHistory(const CFolder& profile_folder, std::vector<CRulesRevision>* newest_first,
                      CRulesHistoryError* error) {
    CFolder history;
    if (!ReadEntriesInForce(profile_folder, &history, newest_first, error)) return false;
    std::reverse(newest_first->begin(), newest_first->end());
    return true;
}

bool ReadRulesAtRevision(const CFolder& profile_folder, unsigned long revision, std::string* text,
                         CRulesHistoryError* error) {
    CFolder history;
    std::vector<CRulesRevision> entries;
    if (!ReadEntriesInForce(profile_folder, &history, &entries, error)) return false;
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const CRulesRevision& e) {
        return e.revision == revision;
    });
    if (!listed) return NotKept(error);
    if (ReadFileIn(history, EntryName(revision), text)) return true;
    return errno == ENOENT ? NotKept(error) : Fail(error, InHistory(EntryName(revision)), errno);
}

bool ReadRulesHistory(const std::string& profile_folder, std::vector<CRulesRevision>* newest_first,
                      CRulesHistoryError* error) {
    CFolder folder;
    if (!folder.Open(profile_folder)) return Fail(error, profile_folder, errno);
    return ReadRulesHistory(folder, newest_first, error);
}

bool ReadRulesAtRevision(const std::string& profile_folder, unsigned long revision,
                         std::string* text, CRulesHistoryError* error) {
    CFolder folder;
    if (!folder.Open(profile_folder)) return Fail(error, profile_folder, errno);
    return ReadRulesAtRevision(folder, revision, text, error);
}

bool PrepareRulesHistoryEntry(const CFolder& profile_folder, const std::string& guid_text,
                              const std::string& old_rules, const std::string& new_rules,
                              bool after_leftovers, bool* kept, CRulesHistoryError* error) {
    *kept = false;
    // Writers of the profile keep out while this process holds the tree lock.
    std::optional<unsigned long> minor;
    if (CProfileGuid guid; ParseGuidFileText(guid_text, &guid) && guid.minor >= 0)
        minor = static_cast<unsigned long>(guid.minor);
    // The save refuses a GUID file that gives no revision, or one that cannot rise.
    if (!minor || *minor >= INT_MAX) return true;
    const unsigned long revision = *minor + 1;
    CFolder history;
    if (!OpenHistory(profile_folder, &history)) {
        if (errno != ENOENT ||
            (!profile_folder.MakeSubfolder(kRulesHistoryFolderName) && errno != EEXIST) ||
            !OpenHistory(profile_folder, &history))
            return IsRefusal(errno) || Fail(error, kRulesHistoryFolderName, errno);
    }
    if (after_leftovers) RemoveReplacementLeftovers(history);
    // The index is held open, where this user may write it, to be read and
    // then added to: its new lines are appended, not the whole rewritten.
    std::vector<CRulesRevision> entries;
    CHistoryFile index;
    std::string index_text;
    if (index.Open(history, kIndexName)) {
        if (!index.ReadAll(&index_text)) return Fail(error, InHistory(kIndexName), errno);
        ParseIndex(index_text, &entries);
    } else if (!ReadIndex(history, &entries, error)) {
        return false;
    }
    // Lines of saves that did not get their revision are not in force.
    while (!entries.empty() && entries.back().revision >= revision) entries.pop_back();
    // A history that this user may not write is not kept; the save goes on.
    bool refused = false;
    auto refuse = [&](const std::string& name) {
        refused = IsRefusal(errno);
        if (!refused) Fail(error, InHistory(name), errno);
        return false;
    };
    // Each entry is a file of its own, never a second name of the Rules: a
    // save in place writes into the Rules' file. Written under its own name
    // (a stale one of a cut save goes first) and flushed before the index
    // lists it; the folder is flushed once, after the index.
    auto write = [&](const std::string& name, const std::string& text) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            CHistoryFile entry;
            if (entry.Open(history, name.c_str(), O_WRONLY | O_CREAT | O_EXCL))
                return (entry.Append(text) && fsync(entry.fd) == 0) || refuse(name);
            if (errno != EEXIST || !history.RemoveEntry(name)) break;
        }
        return refuse(name);
    };
    // The Rules that stand now start the history (or fill a gap that saves
    // by older tools left), by whom and when unknown.
    const size_t listed = entries.size();
    if (revision > 0 && (entries.empty() || entries.back().revision != revision - 1)) {
        if (!write(EntryName(revision - 1), old_rules)) return refused;
        entries.push_back({revision - 1, "", "", -1, -1});
    }
    CRulesRevision entry{revision, NowUtc(), UserAtHost(), 0, 0};
    CountChangedLines(old_rules, new_rules, &entry.added, &entry.removed);
    entries.push_back(std::move(entry));
    const unsigned long limit = RulesHistoryLimit();
    const bool trimmed = limit > 0 && entries.size() > limit;
    if (trimmed) entries.erase(entries.begin(), entries.end() - static_cast<long>(limit));
    if (!write(EntryName(revision), new_rules)) return refused;
    if (index.fd >= 0 && !trimmed) {
        // After a line that a kill cut (it has no end, and is passed over).
        std::string added = index_text.empty() || index_text.back() == '\n' ? "" : "\n";
        for (size_t i = listed; i < entries.size(); ++i) added += IndexLine(entries[i]);
        // The line is on disk before the pending bump in the lock file is
        // taken away, so that the history and the Rules agree after a crash.
        if (!(index.Append(added) && fsync(index.fd) == 0)) return refuse(kIndexName);
    } else if (!WriteWhole(history, kIndexName, IndexText(entries), false)) {
        refuse(kIndexName);
        return refused;
    }
    history.Sync();
    if (trimmed) RemoveUnlistedEntries(history, entries);
    *kept = true;
    return true;
}

bool RepairRulesHistory(const CFolder& profile_folder, unsigned long revision) {
    CFolder history;
    if (!OpenHistory(profile_folder, &history)) return errno == ENOENT;
    const std::optional<unsigned long> minor = revision;
    std::vector<CRulesRevision> entries;
    if (!ReadIndex(history, &entries, nullptr)) return false;
    std::string rules, kept;
    if (!ReadFileIn(profile_folder, ProfileFileName(kProfileRules), &rules) && errno != ENOENT)
        return false;
    const size_t listed = entries.size();
    while (!entries.empty() && entries.back().revision > *minor) entries.pop_back();
    const bool has_current = !entries.empty() && entries.back().revision == *minor;
    if (has_current && ReadFileIn(history, EntryName(*minor), &kept) && kept == rules &&
        entries.size() == listed)
        return true;
    // The cut save's Rules are what the revision holds; who made them is known
    // only when its line was written.
    if (!has_current) entries.push_back({*minor, "", "", -1, -1});
    CRulesRevision& current = entries.back();
    std::string before;
    current.added = current.removed = -1;
    if (entries.size() > 1 &&
        ReadFileIn(history, EntryName(entries[entries.size() - 2].revision), &before))
        CountChangedLines(before, rules, &current.added, &current.removed);
    return WriteWhole(history, EntryName(*minor), rules) &&
           WriteWhole(history, kIndexName, IndexText(entries));
}

}  // namespace kelmora
