#include "client/machine_settings.h"

#include <cstdlib>
#include <fstream>

#include "client/registry.h"

namespace kelmora::client {

namespace {

const CMachineSetting kSettings[] = {
    {"ProjectRoot", ntregy_get_common_key(), "ProjectRoot"},
    {"ClientParam10", ntregy_client_params_key(), "Param10"},
    {"FileSystemParam28", ntregy_trfs_params_key(), "Param28"},
    {"RulesHistoryLimit", ntregy_get_common_key(), "RulesHistoryLimit"},
    {"RequestsInFlight", ntregy_get_common_key(), "RequestsInFlight"},
};

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string MachineSettingsPath() {
    const char* path = std::getenv("KELMORA_SETTINGS");
    return path && *path ? path : "/etc/kelmora/settings";
}

std::span<const CMachineSetting> MachineSettings() {
    return kSettings;
}

bool ReadMachineSetting(const std::string& key_path, const std::string& value_name,
                        std::string* value) {
    const CMachineSetting* wanted = nullptr;
    for (const CMachineSetting& setting : kSettings) {
        if (key_path == setting.key_path && value_name == setting.value_name) wanted = &setting;
    }
    if (!wanted) return false;
    std::ifstream in(MachineSettingsPath());
    bool found = false;
    // The last line that sets the key counts, as in most such files.
    for (std::string line; std::getline(in, line);) {
        line = Trimmed(line.substr(0, line.find('#')));
        const size_t equals = line.find('=');
        if (equals == std::string::npos || Trimmed(line.substr(0, equals)) != wanted->file_key)
            continue;
        *value = Trimmed(line.substr(equals + 1));
        found = true;
    }
    return found;
}

}  // namespace kelmora::client
