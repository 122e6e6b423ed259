#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/fs.h"

namespace kelmora::vptree {

// Field values that "set" keeps for the next "save" of a profile, so that
// several fields can be set one command at a time and saved together. Kept
// under $KELMORA_HOME/vptree, one folder per tree root and profile name.
class CStagedFields {
public:
    CStagedFields(const std::string& tree_root, const std::string& profile_name);

    // Values by profile file index (profile_layout.h); the Diagram's value is
    // the path of the file to copy in.
    std::map<int, std::string> Load() const;
    bool Stage(int file_index, const std::string& value) const;
    // Forgets the values a save wrote (as Load gave them); a value set
    // anew meanwhile stays for the next save.
    void Clear(const std::map<int, std::string>& saved) const;

private:
    std::string folder_;
};

// The file index of a field named on the command line: the profile file's
// name in any letter case, with "-" or "_" for blanks ("vob-list"); -1 when
// it names no field that can be set.
int FieldIndexOfName(const std::string& name);

}  // namespace kelmora::vptree
