// Reports errors through a View Profile object with display suppressed, as a
// tool that must not block does, so that tests can watch several processes
// append to the operation log at once.
//
//   report_writer ID COUNT SIZE [GO_FILE]
//       COUNT reports "ID SEQ PAYLOAD" (PAYLOAD: SIZE copies of ID's first
//       letter), each followed in the text by an empty line as the module's
//       messages are. With GO_FILE, waits until that file exists, so that
//       several writers start together.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "automation/view_profile.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: report_writer ID COUNT SIZE [GO_FILE]\n");
        return 2;
    }
    if (argc == 5) {
        while (access(argv[4], F_OK) != 0) usleep(1000);
    }
    std::string id = argv[1];
    int count = std::atoi(argv[2]);
    std::string payload(std::strtoul(argv[3], nullptr, 10), id.empty() ? 'x' : id[0]);
    kelmora::CViewProfile profile;
    profile.SuppressErrorDisplay(TRUE);
    profile.SetErrorString(id + " ");
    for (int i = 0; i < count; ++i) {
        profile.ReportError(profile.error_prefix() + std::to_string(i) + " " + payload + "\n\n",
                            kelmora::MB_ICONSTOP);
    }
    return 0;
}
