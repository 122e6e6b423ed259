#include "staged_fields.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/format.h"
#include "platform/temp_file.h"
#include "store/profile_layout.h"

namespace kelmora::vptree {

namespace {
// A stable key for a tree root and profile name (FNV-1a), usable as a folder name.
std::string KeyOf(const std::string& text) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return FormatPrintf("%016llx", static_cast<unsigned long long>(hash));
}

std::string Normalized(const std::string& name) {
    std::string out;
    for (char c : name) {
        out += (c == '-' || c == '_')
                   ? ' '
                   : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// The root in one spelling however it was given ("." or a link to it, a
// doubled or a trailing slash), so that a save finds what a set kept.
std::string CanonicalRoot(const std::string& tree_root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path root = fs::absolute(tree_root, ec);
    while (!root.has_filename() && root.has_relative_path()) root = root.parent_path();
    fs::path canonical;
    // The root itself often lies on the share, where every look at it is a
    // request: only the folder above it is resolved, unless the root is a
    // link itself (a readlink, which the share does not see for a folder).
    char target[1];
    if (!ec && root.has_relative_path() && root.filename() != "." && root.filename() != ".." &&
        ::readlink(root.c_str(), target, sizeof target) < 0 && errno == EINVAL)
        canonical = fs::weakly_canonical(root.parent_path(), ec) / root.filename();
    else
        canonical = fs::weakly_canonical(root, ec);
    std::string text = ec ? tree_root : canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}
}  // namespace

CStagedFields::CStagedFields(const std::string& tree_root, const std::string& profile_name)
    : folder_(KelmoraHome() + "/vptree/staged/" +
              KeyOf(CanonicalRoot(tree_root) + "\n" + profile_name)) {}

std::map<int, std::string> CStagedFields::Load() const {
    std::map<int, std::string> values;
    for (int index = 0; index < kProfileGuid; ++index) {
        std::ifstream in(folder_ + "/" + std::to_string(index), std::ios::binary);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        values[index] = text.str();
    }
    return values;
}

bool CStagedFields::Stage(int file_index, const std::string& value) const {
    if (!EnsureFolder(folder_)) return false;
    // Whole or not at all: a save must never write half a value.
    CReplacementFile replacement;
    return replacement.Prepare(folder_ + "/" + std::to_string(file_index), value) &&
           replacement.Commit();
}

void CStagedFields::Clear(const std::map<int, std::string>& saved) const {
    for (const auto& [index, value] : saved) {
        const std::string path = folder_ + "/" + std::to_string(index);
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        in.close();
        // A value set again since the save read it is kept for the next one.
        if (text.str() == value) std::remove(path.c_str());
    }
    // What older builds kept of the profile's folder goes with the values.
    std::remove((folder_ + "/folder").c_str());
    ::rmdir(folder_.c_str());
}

int FieldIndexOfName(const std::string& name) {
    for (int index = 0; index < kProfileGuid; ++index) {
        if (Normalized(name) == Normalized(ProfileFileName(index))) return index;
    }
    return -1;
}

}  // namespace kelmora::vptree
