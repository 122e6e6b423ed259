#pragma once

#include <span>
#include <string>

// The machine-wide settings file, where a team puts the settings that every
// user of a machine shares: plain "key = value" lines ("#" starts a comment).
// A value in the user's client database wins over the file's.
namespace kelmora::client {

// $KELMORA_SETTINGS, else /etc/kelmora/settings.
std::string MachineSettingsPath();

// A setting the file may hold: its key there and the registry value it stands for.
struct CMachineSetting {
    const char* file_key;
    const char* key_path;
    const char* value_name;
};
// ProjectRoot, client parameter 10, file system parameter 28 and the
// bound of the Rules history and the number of file requests the store keeps
// in flight.
std::span<const CMachineSetting> MachineSettings();

// The file's value for a registry value of the machine hive; false when the
// file does not set it (or cannot be read).
bool ReadMachineSetting(const std::string& key_path, const std::string& value_name,
                        std::string* value);

}  // namespace kelmora::client
