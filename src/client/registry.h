#pragma once

#include <cstddef>
#include <string>

#include "client/status.h"

// Registry values: a machine hive and a per-user hive, each a tree of keys
// ("Software\\...\\Current Selection") holding named text values. Kept in the
// client database; the per-user hive belongs to the user running the program.
// The machine's settings file fills in the machine values it names.
// Any int may come in through the C interface; only these two are hives.
enum ntregy_hive_t : int { NTREGY_HKEY_LOCAL_MACHINE = 0, NTREGY_HKEY_CURRENT_USER = 1 };

typedef struct ntregy_key_s* ntregy_key_t;

// Path of the client's common configuration key (where "ProjectRoot" lives).
const char* ntregy_get_common_key();

// Reads a value into buf (always terminated; TBS_ST_BUFFER_TOO_SMALL when it
// does not fit). *key receives a key handle (null when the key does not exist)
// that the caller closes with ntregy_close_key whether or not the read worked.
tbs_status_t ntregy_get_value(ntregy_hive_t hive, const char* key_path, const char* value_name,
                              char* buf, size_t size, ntregy_key_t* key);
void ntregy_close_key(ntregy_key_t key);

// Writes (creating the key) or deletes a value.
tbs_status_t ntregy_set_value(ntregy_hive_t hive, const char* key_path, const char* value_name,
                              const char* value);
tbs_status_t ntregy_delete_value(ntregy_hive_t hive, const char* key_path, const char* value_name);

// Client parameters (numbered, 4-byte values) and the versioned file system's
// parameters (numbered text values), both machine-wide. Kept as registry values
// named "Param<N>" under ntregy_client_params_key() / ntregy_trfs_params_key().
tbs_status_t ntregy_get_param(int number, void* value, size_t size);
tbs_status_t ntregy_get_trfs_param(int number, char* buf, size_t size);
const char* ntregy_client_params_key();
const char* ntregy_trfs_params_key();

namespace kelmora::client {

// The whole value, whatever its length (for programs that print settings).
tbs_status_t ReadRegistryValue(ntregy_hive_t hive, const std::string& key_path,
                               const std::string& value_name, std::string* value);

// A value of the machine hive, and whether the machine's settings file gave
// it (machine_settings.h) because the client database has none.
tbs_status_t ReadMachineValue(const std::string& key_path, const std::string& value_name,
                              std::string* value, bool* from_file);

}  // namespace kelmora::client
