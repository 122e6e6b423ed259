#pragma once

// The buffers live with the client library now; this name stays for the
// layers that include it.
#include "client/client_messages.h"
