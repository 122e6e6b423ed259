#pragma once

// The string formatting lives with the string table now; this name stays for
// the layers that include it.
#include "resources/message_text.h"
