// share_fs: a pass-through FUSE file system that stands for a network share
// in the share benchmark. Every request waits a fixed delay (a round trip),
// then runs against the backing folder; requests are counted by kind.
// Locks are taken as OFD locks on the backing file, attributes and entries
// are cached for 1 s and dropped on open (close-to-open), and up to 64
// requests are served at once.
#define FUSE_USE_VERSION 34

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// The request kinds counted, in the order of the counts file.
enum Kind {
    kLookup,
    kForget,
    kGetattr,
    kSetattr,
    kReadlink,
    kMknod,
    kMkdir,
    kUnlink,
    kRmdir,
    kSymlink,
    kRename,
    kLink,
    kOpen,
    kRead,
    kWrite,
    kFlush,
    kRelease,
    kFsync,
    kOpendir,
    kReaddir,
    kReleasedir,
    kFsyncdir,
    kStatfs,
    kCreate,
    kGetlk,
    kSetlk,
    kFlock,
    kKinds
};
const char* const kKindNames[kKinds] = {
    "lookup",   "forget", "getattr", "setattr", "readlink", "mknod",   "mkdir",
    "unlink",   "rmdir",  "symlink", "rename",  "link",     "open",    "read",
    "write",    "flush",  "release", "fsync",   "opendir",  "readdir", "releasedir",
    "fsyncdir", "statfs", "create",  "getlk",   "setlk",    "flock"};

// Close-to-open as on a network share: 1 s for attributes and names.
constexpr double kCacheSeconds = 1.0;

std::atomic<unsigned long long> g_counts[kKinds];
long g_delay_us = 0;
std::string g_counts_path, g_counts_temp;
fuse_session* g_session = nullptr;

// One backing file or folder the kernel knows, by its path below the backing
// folder (a descriptor each would run out of descriptors on a large tree).
struct Inode {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    unsigned long long lookups = 0;
};
int g_backing = -1;  // the backing folder
Inode g_root;
std::mutex g_inodes_mutex;  // guards g_inodes and every inode's path
std::map<std::pair<dev_t, ino_t>, Inode*> g_inodes;

struct Folder {
    DIR* dir = nullptr;
    off_t offset = 0;
    dirent* entry = nullptr;
};

// The round trip every request pays before it runs; forgets need no answer.
void Request(Kind kind) {
    g_counts[kind].fetch_add(1, std::memory_order_relaxed);
    if (kind == kForget || g_delay_us <= 0) return;
    timespec wait = {g_delay_us / 1000000, (g_delay_us % 1000000) * 1000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

Inode& InodeOf(fuse_ino_t ino) {
    return ino == FUSE_ROOT_ID ? g_root : *reinterpret_cast<Inode*>(ino);
}
// The path of an inode for the *at calls on the backing folder.
std::string Path(fuse_ino_t ino) {
    std::lock_guard<std::mutex> lock(g_inodes_mutex);
    const std::string& path = InodeOf(ino).path;
    return path.empty() ? "." : path;
}
std::string Child(fuse_ino_t parent, const char* name) {
    std::string path = Path(parent);
    return path == "." ? name : path + "/" + name;
}

// Writes "kind count" lines to the counts file by a rename, so a reader sees
// a whole dump; only async-signal-safe calls, as SIGUSR1 runs it too.
void DumpCounts() {
    if (g_counts_path.empty()) return;
    int fd = open(g_counts_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    char line[64];
    for (int k = 0; k < kKinds; ++k) {
        size_t n = strlen(kKindNames[k]);
        memcpy(line, kKindNames[k], n);
        line[n++] = ' ';
        char digits[24];
        int d = 0;
        unsigned long long v = g_counts[k].load(std::memory_order_relaxed);
        do digits[d++] = static_cast<char>('0' + v % 10);
        while ((v /= 10) != 0);
        while (d > 0) line[n++] = digits[--d];
        line[n++] = '\n';
        if (write(fd, line, n) != static_cast<ssize_t>(n)) break;
    }
    close(fd);
    rename(g_counts_temp.c_str(), g_counts_path.c_str());
}
void OnDumpSignal(int) {
    int saved = errno;
    DumpCounts();
    errno = saved;
}

// Finds or adds the inode of `name` in `parent` and fills the entry reply.
int LookUp(fuse_ino_t parent, const char* name, fuse_entry_param* e) {
    *e = {};
    e->attr_timeout = e->entry_timeout = kCacheSeconds;
    std::string path = Child(parent, name);
    if (fstatat(g_backing, path.c_str(), &e->attr, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    std::lock_guard<std::mutex> lock(g_inodes_mutex);
    Inode*& inode = g_inodes[{e->attr.st_dev, e->attr.st_ino}];
    if (!inode) inode = new Inode{path, e->attr.st_dev, e->attr.st_ino, 0};
    inode->path = path;
    ++inode->lookups;
    e->ino = reinterpret_cast<fuse_ino_t>(inode);
    return 0;
}

// After a rename, the inodes at and below the old path take the new one
// (and the other way round for an exchange).
void Renamed(const std::string& from, const std::string& to, bool exchanged) {
    auto moved = [](const std::string& path, const std::string& a, const std::string& b,
                    std::string* out) {
        if (path != a && !(path.size() > a.size() && path.starts_with(a) && path[a.size()] == '/'))
            return false;
        *out = b + path.substr(a.size());
        return true;
    };
    std::lock_guard<std::mutex> lock(g_inodes_mutex);
    for (auto& [key, inode] : g_inodes) {
        std::string path;
        if (moved(inode->path, from, to, &path) ||
            (exchanged && moved(inode->path, to, from, &path)))
            inode->path = path;
    }
}

// Answers a request with an error; returns nothing, so a handler can end with it.
void Fail(fuse_req_t req, int error) {
    fuse_reply_err(req, error);
}

void ReplyEntry(fuse_req_t req, fuse_ino_t parent, const char* name) {
    fuse_entry_param e;
    int error = LookUp(parent, name, &e);
    if (error)
        fuse_reply_err(req, error);
    else
        fuse_reply_entry(req, &e);
}
void ReplyErrno(fuse_req_t req, int result) {
    fuse_reply_err(req, result == 0 ? 0 : errno);
}

void Forget(fuse_ino_t ino, uint64_t n) {
    if (ino == FUSE_ROOT_ID) return;
    std::lock_guard<std::mutex> lock(g_inodes_mutex);
    Inode* inode = &InodeOf(ino);
    inode->lookups -= std::min<uint64_t>(n, inode->lookups);
    if (inode->lookups > 0) return;
    g_inodes.erase({inode->dev, inode->ino});
    delete inode;
}

void OnInit(void*, fuse_conn_info* conn) {
    if (conn->capable & FUSE_CAP_POSIX_LOCKS) conn->want |= FUSE_CAP_POSIX_LOCKS;
    if (conn->capable & FUSE_CAP_FLOCK_LOCKS) conn->want |= FUSE_CAP_FLOCK_LOCKS;
    conn->want &= ~FUSE_CAP_WRITEBACK_CACHE;
}

void OnLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    Request(kLookup);
    ReplyEntry(req, parent, name);
}
void OnForget(fuse_req_t req, fuse_ino_t ino, uint64_t n) {
    Request(kForget);
    Forget(ino, n);
    fuse_reply_none(req);
}
void OnForgetMulti(fuse_req_t req, size_t count, fuse_forget_data* forgets) {
    Request(kForget);
    for (size_t i = 0; i < count; ++i) Forget(forgets[i].ino, forgets[i].nlookup);
    fuse_reply_none(req);
}

void ReplyAttr(fuse_req_t req, fuse_ino_t ino) {
    struct stat st;
    if (fstatat(g_backing, Path(ino).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        fuse_reply_err(req, errno);
    else
        fuse_reply_attr(req, &st, kCacheSeconds);
}
void OnGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    Request(kGetattr);
    ReplyAttr(req, ino);
}

void OnSetattr(fuse_req_t req, fuse_ino_t ino, struct stat* attr, int to_set, fuse_file_info* fi) {
    Request(kSetattr);
    std::string path = Path(ino);
    const char* at = path.c_str();
    int result = 0;
    if (to_set & FUSE_SET_ATTR_MODE)
        result = fi ? fchmod(static_cast<int>(fi->fh), attr->st_mode)
                    : fchmodat(g_backing, at, attr->st_mode, 0);
    if (result == 0 && (to_set & (FUSE_SET_ATTR_UID | FUSE_SET_ATTR_GID))) {
        uid_t uid = (to_set & FUSE_SET_ATTR_UID) ? attr->st_uid : static_cast<uid_t>(-1);
        gid_t gid = (to_set & FUSE_SET_ATTR_GID) ? attr->st_gid : static_cast<gid_t>(-1);
        result = fchownat(g_backing, at, uid, gid, AT_SYMLINK_NOFOLLOW);
    }
    if (result == 0 && (to_set & FUSE_SET_ATTR_SIZE)) {
        int fd = fi ? static_cast<int>(fi->fh) : openat(g_backing, at, O_WRONLY);
        result = fd < 0 ? -1 : ftruncate(fd, attr->st_size);
        if (!fi && fd >= 0) close(fd);
    }
    if (result == 0 && (to_set & (FUSE_SET_ATTR_ATIME | FUSE_SET_ATTR_MTIME))) {
        timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
        if (to_set & FUSE_SET_ATTR_ATIME_NOW)
            times[0].tv_nsec = UTIME_NOW;
        else if (to_set & FUSE_SET_ATTR_ATIME)
            times[0] = attr->st_atim;
        if (to_set & FUSE_SET_ATTR_MTIME_NOW)
            times[1].tv_nsec = UTIME_NOW;
        else if (to_set & FUSE_SET_ATTR_MTIME)
            times[1] = attr->st_mtim;
        result = fi ? futimens(static_cast<int>(fi->fh), times)
                    : utimensat(g_backing, at, times, AT_SYMLINK_NOFOLLOW);
    }
    if (result != 0)
        fuse_reply_err(req, errno);
    else
        ReplyAttr(req, ino);
}

void OnReadlink(fuse_req_t req, fuse_ino_t ino) {
    Request(kReadlink);
    char target[PATH_MAX + 1];
    ssize_t n = readlinkat(g_backing, Path(ino).c_str(), target, PATH_MAX);
    if (n < 0) return Fail(req, errno);
    target[n] = '\0';
    fuse_reply_readlink(req, target);
}

void OnMknod(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, dev_t rdev) {
    Request(kMknod);
    if (mknodat(g_backing, Child(parent, name).c_str(), mode, rdev) != 0) return Fail(req, errno);
    ReplyEntry(req, parent, name);
}
void OnMkdir(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode) {
    Request(kMkdir);
    if (mkdirat(g_backing, Child(parent, name).c_str(), mode) != 0) return Fail(req, errno);
    ReplyEntry(req, parent, name);
}
void OnSymlink(fuse_req_t req, const char* target, fuse_ino_t parent, const char* name) {
    Request(kSymlink);
    if (symlinkat(target, g_backing, Child(parent, name).c_str()) != 0) return Fail(req, errno);
    ReplyEntry(req, parent, name);
}
void OnLink(fuse_req_t req, fuse_ino_t ino, fuse_ino_t parent, const char* name) {
    Request(kLink);
    if (linkat(g_backing, Path(ino).c_str(), g_backing, Child(parent, name).c_str(), 0) != 0)
        return Fail(req, errno);
    ReplyEntry(req, parent, name);
}
void OnUnlink(fuse_req_t req, fuse_ino_t parent, const char* name) {
    Request(kUnlink);
    ReplyErrno(req, unlinkat(g_backing, Child(parent, name).c_str(), 0));
}
void OnRmdir(fuse_req_t req, fuse_ino_t parent, const char* name) {
    Request(kRmdir);
    ReplyErrno(req, unlinkat(g_backing, Child(parent, name).c_str(), AT_REMOVEDIR));
}
void OnRename(fuse_req_t req, fuse_ino_t parent, const char* name, fuse_ino_t new_parent,
              const char* new_name, unsigned int flags) {
    Request(kRename);
    std::string from = Child(parent, name), to = Child(new_parent, new_name);
    if (renameat2(g_backing, from.c_str(), g_backing, to.c_str(), flags) != 0)
        return Fail(req, errno);
    Renamed(from, to, flags & RENAME_EXCHANGE);
    fuse_reply_err(req, 0);
}

// Close-to-open: the kernel's cached attributes of a file being opened are
// dropped, so its next look at them asks the share again.
void ForgetCachedAttributes(fuse_ino_t ino) {
    fuse_lowlevel_notify_inval_inode(g_session, ino, -1, 0);
}

void OnOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Request(kOpen);
    int fd = openat(g_backing, Path(ino).c_str(), fi->flags & ~O_NOFOLLOW);
    if (fd < 0) return Fail(req, errno);
    fi->fh = static_cast<uint64_t>(fd);
    fi->keep_cache = 0;
    ForgetCachedAttributes(ino);
    if (fuse_reply_open(req, fi) != 0) close(fd);
}
void OnCreate(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode,
              fuse_file_info* fi) {
    Request(kCreate);
    int fd =
        openat(g_backing, Child(parent, name).c_str(), (fi->flags | O_CREAT) & ~O_NOFOLLOW, mode);
    if (fd < 0) return Fail(req, errno);
    fi->fh = static_cast<uint64_t>(fd);
    fuse_entry_param e;
    if (int error = LookUp(parent, name, &e)) {
        close(fd);
        return Fail(req, error);
    }
    if (fuse_reply_create(req, &e, fi) != 0) close(fd);
}

void OnRead(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi) {
    Request(kRead);
    std::vector<char> data(size);
    ssize_t n = pread(static_cast<int>(fi->fh), data.data(), size, offset);
    if (n < 0) return Fail(req, errno);
    fuse_reply_buf(req, data.data(), static_cast<size_t>(n));
}
void OnWrite(fuse_req_t req, fuse_ino_t, const char* data, size_t size, off_t offset,
             fuse_file_info* fi) {
    Request(kWrite);
    ssize_t n = pwrite(static_cast<int>(fi->fh), data, size, offset);
    if (n < 0) return Fail(req, errno);
    fuse_reply_write(req, static_cast<size_t>(n));
}
void OnFlush(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Request(kFlush);
    ReplyErrno(req, close(dup(static_cast<int>(fi->fh))));
}
void OnRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Request(kRelease);
    close(static_cast<int>(fi->fh));  // drops the OFD locks taken through this open
    fuse_reply_err(req, 0);
}
void OnFsync(fuse_req_t req, fuse_ino_t, int datasync, fuse_file_info* fi) {
    Request(kFsync);
    int fd = static_cast<int>(fi->fh);
    ReplyErrno(req, datasync ? fdatasync(fd) : fsync(fd));
}

void OnOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Request(kOpendir);
    int fd = openat(g_backing, Path(ino).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return Fail(req, errno);
    DIR* dir = fdopendir(fd);
    if (!dir) {
        int error = errno;
        close(fd);
        return Fail(req, error);
    }
    fi->fh = reinterpret_cast<uint64_t>(new Folder{dir, 0, nullptr});
    fuse_reply_open(req, fi);
}
void OnReaddir(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi) {
    Request(kReaddir);
    Folder& folder = *reinterpret_cast<Folder*>(fi->fh);
    if (offset != folder.offset) {
        seekdir(folder.dir, offset);
        folder.entry = nullptr;
        folder.offset = offset;
    }
    std::vector<char> buffer(size);
    size_t used = 0;
    for (;;) {
        if (!folder.entry) {
            errno = 0;
            folder.entry = readdir(folder.dir);
            if (!folder.entry) {
                if (errno != 0 && used == 0) return Fail(req, errno);
                break;
            }
        }
        struct stat st = {};
        st.st_ino = folder.entry->d_ino;
        st.st_mode = static_cast<mode_t>(folder.entry->d_type) << 12;
        off_t next = folder.entry->d_off;
        size_t n = fuse_add_direntry(req, buffer.data() + used, size - used, folder.entry->d_name,
                                     &st, next);
        if (n > size - used) break;  // the entry waits for the next request
        used += n;
        folder.entry = nullptr;
        folder.offset = next;
    }
    fuse_reply_buf(req, buffer.data(), used);
}
void OnReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Request(kReleasedir);
    Folder* folder = reinterpret_cast<Folder*>(fi->fh);
    closedir(folder->dir);
    delete folder;
    fuse_reply_err(req, 0);
}
void OnFsyncdir(fuse_req_t req, fuse_ino_t, int datasync, fuse_file_info* fi) {
    Request(kFsyncdir);
    int fd = dirfd(reinterpret_cast<Folder*>(fi->fh)->dir);
    ReplyErrno(req, datasync ? fdatasync(fd) : fsync(fd));
}
void OnStatfs(fuse_req_t req, fuse_ino_t ino) {
    Request(kStatfs);
    struct statvfs st;
    if (fstatvfs(g_backing, &st) != 0) return Fail(req, errno);
    fuse_reply_statfs(req, &st);
}

// Locks of the mounted files are OFD locks on the backing descriptor of the
// open that asked, so they hold between clients as on the share itself.
void OnGetlk(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, struct flock* lock) {
    Request(kGetlk);
    struct flock asked = *lock;
    asked.l_pid = 0;
    if (fcntl(static_cast<int>(fi->fh), F_OFD_GETLK, &asked) != 0) return Fail(req, errno);
    fuse_reply_lock(req, &asked);
}
void OnSetlk(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, struct flock* lock, int sleep) {
    Request(kSetlk);
    struct flock asked = *lock;
    asked.l_pid = 0;
    ReplyErrno(req, fcntl(static_cast<int>(fi->fh), sleep ? F_OFD_SETLKW : F_OFD_SETLK, &asked));
}
void OnFlock(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, int op) {
    Request(kFlock);
    ReplyErrno(req, flock(static_cast<int>(fi->fh), op));
}

int Usage(FILE* out, int status) {
    fprintf(out,
            "usage: share_fs [--delay-us N] [--counts FILE] [--threads N] [--allow-other] BACKING "
            "MOUNTPOINT\n"
            "Mounts BACKING at MOUNTPOINT as a slow share and serves it until unmounted\n"
            "(fusermount3 -u MOUNTPOINT). Every request waits N microseconds (default 0)\n"
            "before it runs; up to --threads requests (default 64) are served at once.\n"
            "The requests made so far, by kind, are written to FILE as \"kind count\"\n"
            "lines on SIGUSR1 and at unmount.\n");
    return status;
}

bool ParseNumber(const char* text, long low, long high, long* out) {
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
    *out = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long threads = 64;
    bool allow_other = false;
    std::vector<const char*> places;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
        if (arg == "--delay-us" && has_value) {
            if (!ParseNumber(argv[++i], 0, 10000000, &g_delay_us)) return Usage(stderr, 2);
        } else if (arg == "--threads" && has_value) {
            if (!ParseNumber(argv[++i], 1, 1024, &threads)) return Usage(stderr, 2);
        } else if (arg == "--counts" && has_value) {
            g_counts_path = argv[++i];
        } else if (arg == "--allow-other") {
            allow_other = true;
        } else if (!arg.starts_with("-")) {
            places.push_back(argv[i]);
        } else {
            return Usage(stderr, 2);
        }
    }
    if (places.size() != 2) return Usage(stderr, 2);
    g_counts_temp = g_counts_path + ".tmp";

    g_backing = open(places[0], O_PATH | O_DIRECTORY);
    if (g_backing < 0) {
        fprintf(stderr, "share_fs: cannot open the backing folder %s: %s\n", places[0],
                strerror(errno));
        return 1;
    }

    fuse_lowlevel_ops ops = {};
    ops.init = OnInit;
    ops.lookup = OnLookup;
    ops.forget = OnForget;
    ops.forget_multi = OnForgetMulti;
    ops.getattr = OnGetattr;
    ops.setattr = OnSetattr;
    ops.readlink = OnReadlink;
    ops.mknod = OnMknod;
    ops.mkdir = OnMkdir;
    ops.unlink = OnUnlink;
    ops.rmdir = OnRmdir;
    ops.symlink = OnSymlink;
    ops.rename = OnRename;
    ops.link = OnLink;
    ops.open = OnOpen;
    ops.read = OnRead;
    ops.write = OnWrite;
    ops.flush = OnFlush;
    ops.release = OnRelease;
    ops.fsync = OnFsync;
    ops.opendir = OnOpendir;
    ops.readdir = OnReaddir;
    ops.releasedir = OnReleasedir;
    ops.fsyncdir = OnFsyncdir;
    ops.statfs = OnStatfs;
    ops.create = OnCreate;
    ops.getlk = OnGetlk;
    ops.setlk = OnSetlk;
    ops.flock = OnFlock;

    std::vector<std::string> words = {argv[0], "-o", "fsname=share_fs,subtype=share_fs"};
    if (allow_other) words.insert(words.end(), {"-o", "allow_other"});
    std::vector<char*> fuse_argv;
    for (std::string& word : words) fuse_argv.push_back(word.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(fuse_argv.size()), fuse_argv.data());

    g_session = fuse_session_new(&args, &ops, sizeof ops, nullptr);
    if (!g_session) return 1;
    int status = 1;
    if (fuse_set_signal_handlers(g_session) == 0) {
        struct sigaction dump = {};
        dump.sa_handler = OnDumpSignal;
        sigemptyset(&dump.sa_mask);
        dump.sa_flags = SA_RESTART;
        sigaction(SIGUSR1, &dump, nullptr);
        if (fuse_session_mount(g_session, places[1]) == 0) {
            fuse_loop_config* config = fuse_loop_cfg_create();
            fuse_loop_cfg_set_max_threads(config, static_cast<unsigned>(threads));
            fuse_loop_cfg_set_idle_threads(config, static_cast<unsigned>(threads));
            status = fuse_session_loop_mt(g_session, config) == 0 ? 0 : 1;
            fuse_loop_cfg_destroy(config);
            fuse_session_unmount(g_session);
        }
        fuse_remove_signal_handlers(g_session);
    }
    fuse_session_destroy(g_session);
    DumpCounts();
    return status;
}
