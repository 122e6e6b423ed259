#include "platform/paths.h"

namespace kelmora {

namespace {

// The root without its trailing separators; the name space's root "/" is
// then empty, so that joining never doubles a separator.
std::string RootWithoutSeparators(std::string_view tree_root) {
    std::string out(tree_root);
    while (!out.empty() && (out.back() == '/' || out.back() == '\\')) out.pop_back();
    return out;
}

}  // namespace

bool IsValidEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool IsValidProfileName(std::string_view name) {
    if (name.size() < 2 || name.front() != '\\') return false;
    if (name.find('/') != std::string_view::npos) return false;
    size_t start = 1;
    while (start <= name.size()) {
        size_t end = name.find('\\', start);
        if (end == std::string_view::npos) end = name.size();
        if (!IsValidEntryName(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

std::string ProfileNativePath(std::string_view tree_root, std::string_view profile_name,
                              std::string_view file_name) {
    if (!IsValidProfileName(profile_name)) return {};
    if (!file_name.empty() && !IsValidEntryName(file_name)) return {};
    std::string out = RootWithoutSeparators(tree_root);
    for (char c : profile_name) out += (c == '\\') ? '/' : c;
    if (!file_name.empty()) {
        out += '/';
        out += file_name;
    }
    return out;
}

std::string NodeNativePath(std::string_view tree_root, std::string_view full_path,
                           std::string_view file_name) {
    if (tree_root.empty() || !full_path.starts_with(tree_root)) return {};
    std::string_view below_root = full_path.substr(tree_root.size());
    if (!below_root.empty()) return ProfileNativePath(tree_root, below_root, file_name);
    if (file_name.empty()) return std::string(tree_root);
    if (!IsValidEntryName(file_name)) return {};
    std::string out = RootWithoutSeparators(tree_root);
    out += '/';
    out += file_name;
    return out;
}

}  // namespace kelmora
