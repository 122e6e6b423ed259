#pragma once

namespace kelmora {

// How many file requests the store keeps in flight while it reads the tree
// (the walk, the GUID files): $KELMORA_REQUESTS_IN_FLIGHT, else the machine
// setting "RequestsInFlight", else 16; at least 1 (one at a time), at most 256.
unsigned RequestsInFlight();

}  // namespace kelmora
