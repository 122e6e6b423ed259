#include "platform/uuid.h"

#include <uuid/uuid.h>

namespace kelmora {

std::string NewUuidText() {
    uuid_t id;
    uuid_generate(id);
    char text[37];
    uuid_unparse_lower(id, text);
    return text;
}

}  // namespace kelmora
