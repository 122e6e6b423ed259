#include "platform/tool_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace kelmora {

std::string FormatToolLogLine(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += '\t';
        for (char c : args[i]) {
            switch (c) {
                case '\t':
                    line += "\\t";
                    break;
                case '\n':
                    line += "\\n";
                    break;
                case '\r':
                    line += "\\r";
                    break;
                case '\\':
                    line += "\\\\";
                    break;
                default:
                    line += c;
                    break;
            }
        }
    }
    return line + "\n";
}

std::vector<std::string> ParseToolLogLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::vector<std::string> args(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            args.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char e = line[++i];
            args.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            args.back() += c;
        }
    }
    return args;
}

void RecordToolInvocation(int argc, const char* const* argv) {
    const char* log = std::getenv("KELMORA_TOOL_LOG");
    if (!log || !*log) return;
    std::vector<std::string> args(argv, argv + argc);
    std::string line = FormatToolLogLine(args);
    int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    ssize_t written = ::write(fd, line.data(), line.size());
    (void)written;
    ::close(fd);
}

}  // namespace kelmora
