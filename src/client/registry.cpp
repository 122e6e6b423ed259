#include "client/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/buffer_copy.h"
#include "client/database.h"
#include "client/machine_settings.h"

// A key handle remembers which key was found; it holds nothing open.
struct ntregy_key_s {
    ntregy_hive_t hive;
    std::string path;
};

namespace kelmora::client {

namespace {

constexpr char kCommonKey[] = "Software\\Kelmora\\Stavemark\\CurrentVersion";
constexpr char kClientParamsKey[] = "Software\\Kelmora\\Stavemark\\CurrentVersion\\Parameters";
constexpr char kTrfsParamsKey[] = "System\\Kelmora\\Trfs\\Parameters";

bool IsHive(ntregy_hive_t hive) {
    return hive == NTREGY_HKEY_LOCAL_MACHINE || hive == NTREGY_HKEY_CURRENT_USER;
}

// Key paths are compared without their outer backslashes and with runs of
// backslashes taken as one, so "\\A\\B\\" and "A\\B" name the same key.
std::string NormalizeKeyPath(const char* path) {
    std::string result;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\') {
            if (!result.empty() && result.back() != '\\') result.push_back('\\');
        } else {
            result.push_back(*p);
        }
    }
    if (!result.empty() && result.back() == '\\') result.pop_back();
    return result;
}

// The per-user hive belongs to the account running the program, not to $USER,
// which a caller can set to anything.
std::string HiveOwner(ntregy_hive_t hive) {
    if (hive == NTREGY_HKEY_LOCAL_MACHINE) return "";
    uid_t uid = geteuid();
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name) {
        return found->pw_name;
    }
    return "#" + std::to_string(uid);
}

tbs_status_t LookupValue(ntregy_hive_t hive, const std::string& key_path,
                         const std::string& value_name, std::string* value, bool* key_exists,
                         bool* from_file = nullptr) {
    *key_exists = false;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    const std::string owner = HiveOwner(hive);

    CStatement select;
    if (tbs_status_t status =
            db.Prepare("SELECT value FROM registry_value"
                       " WHERE hive = ?1 AND user_name = ?2 AND key_path = ?3 AND name = ?4",
                       &select))
        return status;
    select.BindInt(1, hive);
    select.BindText(2, owner);
    select.BindText(3, key_path);
    select.BindText(4, value_name);
    bool has_row = false;
    if (tbs_status_t status = db.StepRow(&select, &has_row, "cannot read a registry value"))
        return status;
    if (has_row) {
        *value = select.ColumnText(0);
        *key_exists = true;
        return TBS_ST_OK;
    }
    // The machine's settings file holds what the database does not.
    if (hive == NTREGY_HKEY_LOCAL_MACHINE && ReadMachineSetting(key_path, value_name, value)) {
        *key_exists = true;
        if (from_file) *from_file = true;
        return TBS_ST_OK;
    }

    // Without a table of keys, a key exists while it or a key below it holds a value.
    CStatement key;
    if (tbs_status_t status =
            db.Prepare("SELECT 1 FROM registry_value WHERE hive = ?1 AND user_name = ?2"
                       " AND (key_path = ?3 OR lower(substr(key_path, 1, length(?4))) = lower(?4))"
                       " LIMIT 1",
                       &key))
        return status;
    key.BindInt(1, hive);
    key.BindText(2, owner);
    key.BindText(3, key_path);
    key.BindText(4, key_path + "\\");
    if (tbs_status_t status = db.StepRow(&key, key_exists, "cannot read a registry key"))
        return status;
    return TBS_ST_NOT_FOUND;
}

std::string ParamName(int number) {
    return "Param" + std::to_string(number);
}

}  // namespace

tbs_status_t ReadRegistryValue(ntregy_hive_t hive, const std::string& key_path,
                               const std::string& value_name, std::string* value) {
    if (!IsHive(hive)) return TBS_ST_INVALID;
    bool key_exists = false;
    return LookupValue(hive, NormalizeKeyPath(key_path.c_str()), value_name, value, &key_exists);
}

tbs_status_t ReadMachineValue(const std::string& key_path, const std::string& value_name,
                              std::string* value, bool* from_file) {
    bool key_exists = false;
    *from_file = false;
    return LookupValue(NTREGY_HKEY_LOCAL_MACHINE, NormalizeKeyPath(key_path.c_str()), value_name,
                       value, &key_exists, from_file);
}

}  // namespace kelmora::client

using kelmora::client::CClientDatabase;
using kelmora::client::CopyToBuffer;
using kelmora::client::CStatement;
using kelmora::client::CTransaction;
using kelmora::client::HiveOwner;
using kelmora::client::IsHive;
using kelmora::client::NormalizeKeyPath;

const char* ntregy_get_common_key() {
    return kelmora::client::kCommonKey;
}
const char* ntregy_client_params_key() {
    return kelmora::client::kClientParamsKey;
}
const char* ntregy_trfs_params_key() {
    return kelmora::client::kTrfsParamsKey;
}

tbs_status_t ntregy_get_value(ntregy_hive_t hive, const char* key_path, const char* value_name,
                              char* buf, size_t size, ntregy_key_t* key) {
    if (key) *key = nullptr;
    if (buf && size > 0) buf[0] = '\0';
    if (!IsHive(hive) || !key_path || !value_name) return TBS_ST_INVALID;
    const std::string path = NormalizeKeyPath(key_path);
    std::string value;
    bool key_exists = false;
    tbs_status_t status = kelmora::client::LookupValue(hive, path, value_name, &value, &key_exists);
    if (key && key_exists) *key = new ntregy_key_s{hive, path};
    if (status != TBS_ST_OK) return status;
    return CopyToBuffer(value, buf, size);
}

void ntregy_close_key(ntregy_key_t key) {
    delete key;
}

tbs_status_t ntregy_set_value(ntregy_hive_t hive, const char* key_path, const char* value_name,
                              const char* value) {
    if (!IsHive(hive) || !key_path || !value_name || !value) return TBS_ST_INVALID;
    const std::string path = NormalizeKeyPath(key_path);
    if (path.empty()) return TBS_ST_INVALID;  // values live in keys, not in the hive itself

    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CStatement upsert;
    if (tbs_status_t status = db.Prepare(
            "INSERT INTO registry_value (hive, user_name, key_path, name, value)"
            " VALUES (?1, ?2, ?3, ?4, ?5)"
            " ON CONFLICT (hive, user_name, key_path, name) DO UPDATE SET value = excluded.value",
            &upsert))
        return status;
    upsert.BindInt(1, hive);
    upsert.BindText(2, HiveOwner(hive));
    upsert.BindText(3, path);
    upsert.BindText(4, value_name);
    upsert.BindText(5, value);
    if (tbs_status_t status = db.StepDone(&upsert, "cannot write a registry value")) return status;
    return transaction.Commit();
}

tbs_status_t ntregy_delete_value(ntregy_hive_t hive, const char* key_path, const char* value_name) {
    if (!IsHive(hive) || !key_path || !value_name) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    CStatement remove;
    if (tbs_status_t status =
            db.Prepare("DELETE FROM registry_value"
                       " WHERE hive = ?1 AND user_name = ?2 AND key_path = ?3 AND name = ?4",
                       &remove))
        return status;
    remove.BindInt(1, hive);
    remove.BindText(2, HiveOwner(hive));
    remove.BindText(3, NormalizeKeyPath(key_path));
    remove.BindText(4, value_name);
    if (tbs_status_t status = db.StepDone(&remove, "cannot delete a registry value")) return status;
    if (db.Changes() == 0) return TBS_ST_NOT_FOUND;
    return transaction.Commit();
}

tbs_status_t ntregy_get_param(int number, void* value, size_t size) {
    std::string text;
    tbs_status_t status = kelmora::client::ReadRegistryValue(
        NTREGY_HKEY_LOCAL_MACHINE, kelmora::client::kClientParamsKey,
        kelmora::client::ParamName(number), &text);
    if (status != TBS_ST_OK) return status;
    // Stored as text so that stavetool can set them; decimal or 0x hexadecimal.
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || parsed > UINT32_MAX || text[0] == '-')
        return TBS_ST_INVALID;
    if (!value || size < sizeof(uint32_t)) return TBS_ST_BUFFER_TOO_SMALL;
    uint32_t word = static_cast<uint32_t>(parsed);
    std::memcpy(value, &word, sizeof word);
    return TBS_ST_OK;
}

tbs_status_t ntregy_get_trfs_param(int number, char* buf, size_t size) {
    if (buf && size > 0) buf[0] = '\0';
    std::string text;
    tbs_status_t status = kelmora::client::ReadRegistryValue(
        NTREGY_HKEY_LOCAL_MACHINE, kelmora::client::kTrfsParamsKey,
        kelmora::client::ParamName(number), &text);
    if (status != TBS_ST_OK) return status;
    return CopyToBuffer(text, buf, size);
}
