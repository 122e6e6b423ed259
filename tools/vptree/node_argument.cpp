#include "node_argument.h"

#include <filesystem>

#include "platform/paths.h"

namespace kelmora::vptree {

namespace {
// The canonical form of a native path, whether or not all of it exists.
std::filesystem::path Canonical(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) return {};
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}
}  // namespace

std::string FullPathOfArgument(const std::string& argument, const std::string& tree_root) {
    if (argument.starts_with('\\')) {
        return IsValidProfileName(argument) ? tree_root + argument : std::string();
    }
    std::string root = Canonical(tree_root).string();
    std::string target = Canonical(argument).string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    if (root.empty() || target.size() <= root.size() + 1 || !target.starts_with(root)) return {};
    const size_t below = root == "/" ? 1 : root.size() + 1;
    if (root != "/" && target[root.size()] != '/') return {};
    // A native name with a backslash has no stored form.
    if (target.find('\\', below) != std::string::npos) return {};
    std::string name;
    for (char c : target.substr(below - 1)) name += c == '/' ? '\\' : c;
    return IsValidProfileName(name) ? tree_root + name : std::string();
}

std::string StoredNameOf(const std::string& full_path, const std::string& tree_root) {
    return full_path.starts_with(tree_root) ? full_path.substr(tree_root.size()) : full_path;
}

}  // namespace kelmora::vptree
