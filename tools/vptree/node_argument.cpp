#include "node_argument.h"

#include <filesystem>
#include <vector>

#include "platform/fs.h"
#include "platform/paths.h"

namespace kelmora::vptree {

std::string FullPathOfArgument(const std::string& argument, const std::string& tree_root) {
    if (argument.starts_with('\\')) {
        return IsValidProfileName(argument) ? tree_root + argument : std::string();
    }
    // Only the part that reaches the tree root may pass through links (as the
    // root itself may); below it every name must be a folder of the tree, so
    // a link there names no node instead of its target.
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(argument, ec).lexically_normal();
    // A last name with a backslash has no stored form wherever the root
    // lies: no need to look for it (on a share every look is a request).
    if (target.filename().string().find('\\') != std::string::npos) return {};
    CFileIdentity root_id, id;
    if (ec || !GetFileIdentity(tree_root, &root_id)) return {};
    std::vector<std::string> parts;
    for (const auto& part : target) {
        if (!part.empty()) parts.push_back(part.string());
    }
    std::filesystem::path prefix;
    for (size_t i = 0; i < parts.size(); ++i) {
        prefix /= parts[i];
        if (!GetFileIdentity(prefix.string(), &id) || id != root_id) continue;
        std::string name;
        for (size_t below = i + 1; below < parts.size(); ++below) {
            // A native name with a backslash has no stored form.
            if (parts[below].find('\\') != std::string::npos) return {};
            name += "\\" + parts[below];
        }
        return IsValidProfileName(name) ? tree_root + name : std::string();
    }
    return {};
}

std::string StoredNameOf(const std::string& full_path, const std::string& tree_root) {
    return full_path.starts_with(tree_root) ? full_path.substr(tree_root.size()) : full_path;
}

}  // namespace kelmora::vptree
