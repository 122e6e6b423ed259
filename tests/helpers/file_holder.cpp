// Opens a file with the share mode given on the command line, prints
// "opened" or "failed <cause> <errno>", then holds the file until its
// standard input closes or the given milliseconds pass.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file.h"

using namespace kelmora;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: file_holder PATH read|write|readwrite none|denywrite|exclusive [HOLD_MS]\n");
        return 2;
    }
    std::string access = argv[2], share = argv[3];
    FileAccess a = access == "read" ? FileAccess::Read
                   : access == "write" ? FileAccess::Write : FileAccess::ReadWrite;
    FileShare s = share == "none" ? FileShare::DenyNone
                  : share == "denywrite" ? FileShare::DenyWrite : FileShare::Exclusive;
    int hold_ms = argc > 4 ? std::atoi(argv[4]) : -1;
    CFile file;
    CFileException error;
    if (!file.Open(argv[1], a, s, FileCreate::OpenAlways, &error)) {
        std::printf("failed %d %d\n", static_cast<int>(error.cause), error.os_error);
        return 1;
    }
    std::printf("opened\n");
    std::fflush(stdout);
    pollfd in{0, POLLIN, 0};
    poll(&in, 1, hold_ms);
    return 0;
}
