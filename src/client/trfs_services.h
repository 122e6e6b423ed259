#pragma once

#include <cstddef>
#include <cstdint>

#include "client/status.h"

// What the versioned file system (TRFS) offers besides mounting: the
// location broker's port, the driver's tunables and the view root.

// The location broker's port on host, which must be this machine: the
// machine setting "HubdPort" under the client's common key, else 371.
tbs_status_t hubd_get_port(const char* host, uint32_t* port);

constexpr size_t ADM_TRFS_TUNABLE_COUNT = 24;  // 32-bit words, 96 bytes
// Fills the tunables from file-system parameters 100 to 123 (decimal text;
// 0 when unset); *count receives the number of words.
tbs_status_t adm_trfs_get_tunables(uint32_t* tunables, uint32_t* count);

// Opens the view root ($KELMORA_HOME/views, made when missing): a handle
// (nonzero) to close with trfs_view_root_close, or 0 with *error set to the
// errno value; unless silent, a failure is also reported.
int trfs_view_root_open_sil(int* error, int silent);
void trfs_view_root_close(int handle);
