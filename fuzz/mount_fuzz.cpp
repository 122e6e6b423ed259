// Mount entries of any content: the option readers find only whole tokens,
// and mount_trfs builds a block or fails after at most one message. Input:
// file system name, directory, options and an option name, split at NULs;
// "@vob" in the name and "@uuid" in the options stand for the site's VOB.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/trfs_refs.h"
#include "fuzz_site.h"
#include "mount/mount_options.h"
#include "mount/mount_trfs.h"

using namespace kelmora;

namespace {

std::string Substituted(std::string text, const std::string& mark, const std::string& value) {
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
    return text;
}

void CheckToken(const char* token, const char* name) {
    if (!token) return;
    const size_t length = std::strlen(name);
    if (std::strncmp(token, name, length) != 0 || (token[length] != '\0' && token[length] != '='))
        std::abort();
}

void CheckCounted(const trfs_cstring_t& counted) {
    if (!counted.text) return;
    std::string text;
    if (!client::ResolveCountedString(counted, &text) || text.size() != counted.length ||
        counted.size != counted.length + 1)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::CFuzzSite& site = fuzz::CFuzzSite::Get();
    std::string file_system = Substituted(fuzz::Part(data, size, 0), "@vob", site.vob_storage());
    std::string directory = fuzz::Part(data, size, 1);
    std::string options = Substituted(fuzz::Part(data, size, 2), "@uuid", site.vob_replica_uuid());
    const std::string extra_name = fuzz::Part(data, size, 3);
    char type[] = "trfs";
    struct mntent entry = {file_system.data(), directory.data(), type, options.data(), 0, 0};

    for (const char* name :
         {"ro", "timeo", "uuid", "poolmap", "xnsuffix", "", extra_name.c_str()}) {
        CheckToken(mount::FindMountOption(&entry, name), name);
        mount::ReadNumericOption(name, &entry);
        if (char* value = mount::ReadStringOption(name, &entry)) {
            if (!*value || std::strpbrk(value, " ,\t")) std::abort();
            std::free(value);
        }
    }

    trfs_mount_args_t block;
    const int result = mount::MountTrfs(&entry, &block);
    if (result != 0 && result != 1) std::abort();
    if (result == 0) {
        if (block.header != TRFS_MOUNT_ARGS_HEADER) std::abort();
        if (!(block.flags & (TRFS_MOUNT_VOB | TRFS_MOUNT_VIEWROOT | TRFS_MOUNT_RVIEWROOT)))
            std::abort();
        for (const trfs_cstring_t* counted :
             {&block.mount_dir, &block.host, &block.storage_path, &block.storage_object_path,
              &block.registry_path, &block.xn_suffix})
            CheckCounted(*counted);
    }
    return 0;
}
