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
        std::fprintf(stderr, "usage: file_holder PATH ACCESS SHARE [HOLD_MS]\n");
        return 2;
    }
    std::string access = argv[2], share = argv[3];
    FileAccess a = access == "read"    ? FileAccess::Read
                   : access == "write" ? FileAccess::Write
                                       : FileAccess::ReadWrite;
    FileShare s = share == "none"        ? FileShare::DenyNone
                  : share == "denywrite" ? FileShare::DenyWrite
                                         : FileShare::Exclusive;
    CFile file;
    CFileException error;
    if (!file.Open(argv[1], a, s, FileCreate::OpenAlways, &error)) {
        std::printf("failed %d %d\n", static_cast<int>(error.cause), error.os_error);
        return 1;
    }
    if (write(STDOUT_FILENO, "opened\n", 7) != 7) return 1;
    pollfd in{0, POLLIN, 0};
    poll(&in, 1, argc > 4 ? std::atoi(argv[4]) : -1);
    return 0;
}
