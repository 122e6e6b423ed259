// The one join of tree root, profile name and file name into a native path,
// over any texts: what it gives lies inside the tree, and what it refuses it
// refuses whole.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_site.h"
#include "platform/paths.h"

using namespace kelmora;

namespace {

// No component of the part below the root leads up or stays in place.
void CheckBelow(const std::string& path, const std::string& root) {
    std::string rest = path.substr(root.size());
    if (!rest.empty() && rest[0] != '/') std::abort();
    size_t at = 0;
    while (at < rest.size()) {
        const size_t next = rest.find('/', at + 1);
        const std::string part =
            rest.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos)
            std::abort();
        at = next == std::string::npos ? rest.size() : next;
    }
}

std::string RootWithoutSeparators(std::string root) {
    while (!root.empty() && (root.back() == '/' || root.back() == '\\')) root.pop_back();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string root = fuzz::Part(data, size, 0);
    const std::string name = fuzz::Part(data, size, 1);
    const std::string file = fuzz::Part(data, size, 2);
    const bool valid_name = IsValidProfileName(name);
    const bool valid_file = file.empty() || IsValidEntryName(file);

    const std::string joined = ProfileNativePath(root, name, file);
    if (!joined.empty()) {
        if (!valid_name || !valid_file) std::abort();
        std::string base = root;
        while (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
        if (joined.compare(0, base.size(), base) != 0) std::abort();
        CheckBelow(joined, base);
    }

    // A node's path is the root and the profile name; the root alone names
    // the root folder.
    std::string node_expected;
    if (root.empty()) {
        node_expected = "";
    } else if (!name.empty()) {
        node_expected = joined;
    } else if (file.empty()) {
        node_expected = root;
    } else if (valid_file) {
        node_expected = RootWithoutSeparators(root) + "/" + file;
    }
    if (NodeNativePath(root, root + name, file) != node_expected) std::abort();
    if (IsValidEntryName(file) &&
        (file == "." || file == ".." || file.find_first_of("/\\") != std::string::npos))
        std::abort();
    return 0;
}
