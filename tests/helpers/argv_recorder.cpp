// Stands in for a sibling program in tests: records its argument vector in
// the tool log and exits with 0.
#include "platform/tool_log.h"

int main(int argc, char** argv) {
    kelmora::RecordToolInvocation(argc, argv);
    return 0;
}
