#include "store/requests_in_flight.h"

#include <cstdlib>
#include <string>

#include "client/registry.h"

namespace kelmora {

namespace {

constexpr unsigned kDefaultRequestsInFlight = 16;
constexpr unsigned kMostRequestsInFlight = 256;

// A whole decimal number within range; 0 for anything else.
unsigned ParseWidth(const char* text) {
    if (!text || !*text) return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1) return 0;
    return value > long{kMostRequestsInFlight} ? kMostRequestsInFlight
                                               : static_cast<unsigned>(value);
}

}  // namespace

unsigned RequestsInFlight() {
    if (const unsigned width = ParseWidth(std::getenv("KELMORA_REQUESTS_IN_FLIGHT"))) return width;
    char buffer[64] = {0};
    ntregy_key_t key = nullptr;
    const tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                                 "RequestsInFlight", buffer, sizeof buffer, &key);
    ntregy_close_key(key);
    if (status == TBS_ST_OK) {
        if (const unsigned width = ParseWidth(buffer)) return width;
    }
    return kDefaultRequestsInFlight;
}

}  // namespace kelmora
