#include "module/resource_library.h"

#include <cstdlib>

#include "platform/env.h"
#include "platform/fs.h"
#include "resources/string_table.h"

struct nt_resource_module_s {
    std::string path;
};

namespace kelmora {

std::string ResourceCataloguePath() {
    if (const char* path = std::getenv("KELMORA_CATALOGUE"); path && *path) return path;
    return KelmoraHome() + "/strings.cat";
}

}  // namespace kelmora

nt_resource_module_t nt_load_resource_dll(void* /*instance*/, int /*flags*/) {
    std::string path = kelmora::ResourceCataloguePath();
    if (!kelmora::IsRegularFile(path) || !kelmora::LoadStringCatalogue(path)) return nullptr;
    return new nt_resource_module_s{path};
}

void nt_free_resource_dll(nt_resource_module_t module) {
    if (!module) return;
    kelmora::UnloadStringCatalogue();
    delete module;
}
