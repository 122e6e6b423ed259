#include "client/messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "client/buffer_copy.h"
#include "platform/env.h"
#include "platform/format.h"
#include "platform/paths.h"

namespace {

// The open log of the process; closed when replaced, ended or at exit.
class CLogDescriptor {
public:
    CLogDescriptor() = default;
    ~CLogDescriptor() { Close(); }
    CLogDescriptor(const CLogDescriptor&) = delete;
    CLogDescriptor& operator=(const CLogDescriptor&) = delete;

    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool IsOpen() const { return fd_ >= 0; }

    // The descriptor is opened with O_APPEND, so one write() places the whole
    // entry at the end of the file atomically with respect to other writers.
    // Only a short write (disk full) falls back to finishing the rest.
    bool Append(const std::string& text) const {
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            left -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_ = -1;
};

struct CMessageState {
    std::mutex mutex;
    CLogDescriptor log;
    imsg_output_fn info = nullptr;
    imsg_output_fn error = nullptr;
    // A continuation line goes where the message it continues went.
    bool last_was_error = false;
    std::string app_name = program_invocation_short_name;
};

CMessageState& State() {
    static CMessageState state;
    return state;
}

}  // namespace

namespace {

void PrintText(int kind, const std::string& text) {
    CMessageState& state = State();
    imsg_output_fn callback = nullptr;
    bool is_error = false;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        is_error = kind == IMSG_KIND_CONTINUE ? state.last_was_error : kind != IMSG_KIND_INFO;
        state.last_was_error = is_error;
        if (state.log.IsOpen()) {
            state.log.Append(text);
            return;
        }
        callback = is_error ? state.error : state.info;
    }
    // Outside the lock: a callback may print in turn.
    if (callback) {
        callback(text.c_str());
        return;
    }
    if (is_error) std::fflush(stdout);  // keep the order the user would expect
    std::FILE* stream = is_error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Texts of the shared status table; the other positions belong to programs
// that this library does not serve.
constexpr int kStatusMessageCount = 48;

struct CStatusTable {
    const char* texts[kStatusMessageCount] = {};
    uint16_t numbers[kStatusMessageCount] = {};
    imsg_msg_table_t table{};

    CStatusTable() {
        texts[TBS_MSG_OPERATION_FAILED] = "Error from %s: %s\n";
        texts[TBS_MSG_UUID_OPERATION_FAILED] = "Error from %s for UUID %s: %s\n";
        for (int i = 0; i < kStatusMessageCount; ++i) numbers[i] = static_cast<uint16_t>(i + 1);
        table = {"tbs_lib", "tbs", 1, kStatusMessageCount, texts, numbers};
    }
};

int VerbosityFromEnvironment() {
    const char* value = std::getenv("KELMORA_VERBOSITY");
    if (!value || !*value) return 1;
    char* end = nullptr;
    long verbosity = std::strtol(value, &end, 10);
    return *end == '\0' && verbosity >= 0 && verbosity < 100 ? static_cast<int>(verbosity) : 1;
}

std::atomic<int>& DesiredVerbosity() {
    static std::atomic<int> verbosity{VerbosityFromEnvironment()};
    return verbosity;
}

}  // namespace

void imsg_print(int kind, const char* format, int msg_number, ...) {
    if (!format) return;
    va_list args;
    va_start(args, msg_number);
    const std::string text = kelmora::FormatPrintfV(format, args);
    va_end(args);
    PrintText(kind, text);
}

void imsg_print(int kind, const imsg_msg_table_t* table, int index, ...) {
    if (!table || index < 0 || index >= table->count || !table->texts[index]) return;
    va_list args;
    va_start(args, index);
    const std::string text = kelmora::FormatPrintfV(table->texts[index], args);
    va_end(args);
    PrintText(kind, text);
}

int imsg_get_desired_verbosity() {
    return DesiredVerbosity().load();
}

void imsg_set_desired_verbosity(int verbosity) {
    DesiredVerbosity().store(verbosity);
}

bool imsg_should_trace(const char* facility, int level) {
    if (level > imsg_get_desired_verbosity()) return false;
    const char* listed = std::getenv("KELMORA_TRACE");
    if (!listed || !*listed) return true;
    const std::string_view wanted = facility ? facility : "";
    std::string_view rest = listed;
    while (!rest.empty()) {
        std::string_view item = kelmora::TakeItem(&rest, ',');
        size_t equals = item.find('=');
        if (item.substr(0, equals) != wanted) continue;
        if (equals == std::string_view::npos) return true;
        return level <= std::atoi(std::string(item.substr(equals + 1)).c_str());
    }
    return false;
}

const imsg_msg_table_t* _tbs_cmsg_tbs_msg_table_adr() {
    static const CStatusTable status_table;
    return &status_table.table;
}

int imsg_sprintf(char* buf, size_t size, const char* format, int msg_number, ...) {
    if (!buf || size == 0) return 0;
    buf[0] = '\0';
    if (!format) return 0;
    va_list args;
    va_start(args, msg_number);
    const std::string text = kelmora::FormatPrintfV(format, args);
    va_end(args);
    kelmora::client::CopyToBuffer(text, buf, size);
    return static_cast<int>(std::strlen(buf));
}

tbs_status_t imsg_start_log_file(const char* path, int /*flags*/) {
    if (!path || !*path) return TBS_ST_INVALID;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        int saved = errno;
        imsg_print(IMSG_KIND_ERROR, "Unable to open log file \"%s\": %s\n", -1, path,
                   std::strerror(saved));
        return TBS_ST_IO;
    }
    CMessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.log.Reset(fd);
    return TBS_ST_OK;
}

void imsg_end_log_file() {
    CMessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.log.Close();
}

void imsg_redirect_output(imsg_output_fn info, imsg_output_fn error) {
    CMessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.info = info;
    state.error = error;
}

tbs_status_t tbs_product_log_dir(char* buf, size_t size, const char* log_name) {
    if (buf && size > 0) buf[0] = '\0';
    if (!log_name || !kelmora::IsValidEntryName(log_name)) return TBS_ST_INVALID;
    const std::string folder = kelmora::KelmoraHome() + "/log";
    if (!kelmora::EnsureStateFolder(folder)) {
        int saved = errno;
        imsg_print(IMSG_KIND_ERROR, "Cannot create the log folder %s: %s\n", -1, folder.c_str(),
                   std::strerror(saved));
        return TBS_ST_IO;
    }
    return kelmora::client::CopyToBuffer(folder + "/" + log_name, buf, size);
}

const char* imsg_get_app_name() {
    CMessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.app_name.c_str();
}

void imsg_set_app_name(const char* name) {
    CMessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.app_name = name ? name : "";
}
