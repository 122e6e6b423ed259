#pragma once

#include <string>

// The language resource library of the client. Here a language pack is a
// string catalogue (resources/string_table.h): loading one makes every
// numbered string come from it, freeing it restores the built-in texts.
typedef struct nt_resource_module_s* nt_resource_module_t;

// Loads the catalogue named by $KELMORA_CATALOGUE, else
// $KELMORA_HOME/strings.cat. Null when there is none or it does not load;
// the module then runs with its built-in texts. instance and flags are kept
// for the callers' sake and not used.
nt_resource_module_t nt_load_resource_dll(void* instance, int flags);
void nt_free_resource_dll(nt_resource_module_t module);

namespace kelmora {
// The catalogue file nt_load_resource_dll looks for.
std::string ResourceCataloguePath();
}  // namespace kelmora
