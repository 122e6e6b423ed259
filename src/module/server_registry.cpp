#include "module/server_registry.h"

#include <cctype>
#include <cstdio>

#include "client/registry.h"

namespace kelmora {

namespace {

constexpr const char* kClassesKey = "Software\\Classes\\";

std::string ClassKey(const CLSID& clsid) {
    return std::string(kClassesKey) + "CLSID\\" + GuidToString(clsid);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads 2*bytes hex digits at text[*pos], big-endian.
bool ReadHex(std::string_view text, size_t* pos, int bytes, uint64_t* value) {
    *value = 0;
    for (int i = 0; i < bytes * 2; ++i) {
        if (*pos >= text.size()) return false;
        int digit = HexValue(text[(*pos)++]);
        if (digit < 0) return false;
        *value = (*value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

bool Expect(std::string_view text, size_t* pos, char c) {
    if (*pos >= text.size() || text[*pos] != c) return false;
    ++*pos;
    return true;
}

// Empty when the value is absent or cannot be read; *failure receives a
// status other than "not found".
std::string ReadMachineValue(const std::string& key, const char* name, tbs_status_t* failure) {
    char buffer[1024] = {0};
    ntregy_key_t handle = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, key.c_str(), name, buffer,
                                           sizeof buffer, &handle);
    ntregy_close_key(handle);
    if (status != TBS_ST_OK && status != TBS_ST_NOT_FOUND && failure) *failure = status;
    return status == TBS_ST_OK ? std::string(buffer) : std::string();
}

}  // namespace

std::string GuidToString(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool ParseGuid(std::string_view text, GUID* guid) {
    bool braced = !text.empty() && text.front() == '{';
    if (braced) {
        if (text.back() != '}') return false;
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() != 36) return false;
    size_t pos = 0;
    uint64_t v = 0;
    GUID g{};
    if (!ReadHex(text, &pos, 4, &v) || !Expect(text, &pos, '-')) return false;
    g.Data1 = static_cast<uint32_t>(v);
    if (!ReadHex(text, &pos, 2, &v) || !Expect(text, &pos, '-')) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ReadHex(text, &pos, 2, &v) || !Expect(text, &pos, '-')) return false;
    g.Data3 = static_cast<uint16_t>(v);
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, &pos, '-')) return false;
        if (!ReadHex(text, &pos, 1, &v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *guid = g;
    return true;
}

tbs_status_t WriteServerRegistration(const std::string& prog_id, const CLSID& clsid,
                                     const std::string& library_path) {
    std::string clsid_text = GuidToString(clsid);
    std::string class_key = ClassKey(clsid);
    if (tbs_status_t st =
            ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, (kClassesKey + prog_id).c_str(), "CLSID",
                             clsid_text.c_str()))
        return st;
    if (tbs_status_t st = ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, class_key.c_str(), "ProgID",
                                           prog_id.c_str()))
        return st;
    return ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, class_key.c_str(), "InprocServer32",
                            library_path.c_str());
}

bool FindServerByProgId(const std::string& prog_id, CLSID* clsid, std::string* library_path,
                        tbs_status_t* failure) {
    GUID found{};
    if (!ParseGuid(ReadMachineValue(kClassesKey + prog_id, "CLSID", failure), &found)) return false;
    std::string path = ReadMachineValue(ClassKey(found), "InprocServer32", failure);
    if (path.empty()) return false;
    *clsid = found;
    *library_path = path;
    return true;
}

}  // namespace kelmora
