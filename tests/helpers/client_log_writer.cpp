// Appends COUNT entries "ID SEQ PAYLOAD\n" (PAYLOAD: SIZE copies of ID's
// first letter) to a client log from a separate process, each with its own
// open and close of the log, as a report does.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/messages.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: client_log_writer LOG ID COUNT SIZE\n");
        return 2;
    }
    const std::string id = argv[2];
    const std::string payload(std::strtoul(argv[4], nullptr, 10), id.empty() ? 'x' : id[0]);
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
        if (imsg_start_log_file(argv[1], 0) != TBS_ST_OK) return 1;
        imsg_print(IMSG_KIND_ERROR, "%s %d %s\n", -1, id.c_str(), i, payload.c_str());
        imsg_end_log_file();
    }
    return 0;
}
