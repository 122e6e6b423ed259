// Appends to a client log from a separate process.
//
//   client_log_writer append LOG ID COUNT SIZE
//       COUNT entries "ID SEQ PAYLOAD\n" (PAYLOAD: SIZE copies of ID's first
//       letter), each with its own open and close of the log, as a report does.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/messages.h"

namespace {

int Append(const char* log, const std::string& id, int count, size_t size) {
    const std::string payload(size, id.empty() ? 'x' : id[0]);
    for (int i = 0; i < count; ++i) {
        if (imsg_start_log_file(log, 0) != TBS_ST_OK) return 1;
        imsg_print(IMSG_KIND_ERROR, "%s %d %s\n", -1, id.c_str(), i, payload.c_str());
        imsg_end_log_file();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "append" && argc == 6)
        return Append(argv[2], argv[3], std::atoi(argv[4]), std::strtoul(argv[5], nullptr, 10));
    std::fprintf(stderr, "usage: client_log_writer append LOG ID COUNT SIZE\n");
    return 2;
}
