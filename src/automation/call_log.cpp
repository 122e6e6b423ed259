#include "automation/call_log.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "automation/operation_log.h"
#include "client/messages.h"

namespace kelmora {

namespace {

constexpr size_t kLogPathBufferSize = 1024;
// A text result is kept whole up to this many bytes (a config spec is long).
constexpr size_t kResultMax = 512;

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) out += (out.size() > 1 ? "," : "") + JsonString(text);
    return out + "]";
}

std::string UserName() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return "#" + std::to_string(geteuid());
}

std::string IsoTime(std::chrono::system_clock::time_point at) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis % 1000));
    return text;
}

}  // namespace

std::string FormatCallLogEntry(const CCallLogEntry& entry) {
    const std::string result = entry.result.size() > kResultMax
                                   ? entry.result.substr(0, kResultMax) + "..."
                                   : entry.result;
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.duration).count();
    return "{\"time\":" + JsonString(IsoTime(entry.started)) +
           ",\"program\":" + JsonString(program_invocation_short_name) +
           ",\"pid\":" + std::to_string(getpid()) + ",\"user\":" + JsonString(UserName()) +
           ",\"view\":" + (entry.view_tag.empty() ? "null" : JsonString(entry.view_tag)) +
           ",\"workspace\":" +
           (entry.workspace_path.empty() ? "null" : JsonString(entry.workspace_path)) +
           ",\"method\":" + JsonString(entry.method) +
           ",\"arguments\":" + JsonArray(entry.arguments) + ",\"result\":" + JsonString(result) +
           ",\"outcome\":" + JsonString(entry.outcome) +
           ",\"messages\":" + JsonArray(entry.messages) +
           ",\"duration_ms\":" + std::to_string(millis) + "}";
}

void WriteCallLogEntry(const CCallLogEntry& entry) {
    char path[kLogPathBufferSize] = {0};
    if (tbs_product_log_dir(path, sizeof path, kCallLogName) != TBS_ST_OK) return;
    if (imsg_start_log_file(path, 0) != TBS_ST_OK) return;
    imsg_print(IMSG_KIND_ERROR, "%s\n", -1, FormatCallLogEntry(entry).c_str());
    imsg_end_log_file();
}

CMessageRecorder::CMessageRecorder() : previous_(SetUserInterface(this)) {}

CMessageRecorder::~CMessageRecorder() {
    SetUserInterface(previous_);
}

CUserInterface& CMessageRecorder::Target() {
    if (target_) return *target_;
    if (previous_) return *(target_ = previous_);
    // None was installed: let the seam make its front end (a loader may run),
    // then stand in front of it again.
    SetUserInterface(nullptr);
    target_ = &UserInterface();
    previous_ = SetUserInterface(this);
    return *target_;
}

int CMessageRecorder::MessageBox(const std::string& text, unsigned style) {
    messages_.push_back(text);
    return Target().MessageBox(text, style);
}

bool CMessageRecorder::IsUserPresent() const {
    return const_cast<CMessageRecorder*>(this)->Target().IsUserPresent();
}

}  // namespace kelmora
