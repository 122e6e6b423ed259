#include "ui/name_prompt.h"

namespace kelmora {

void CNamePrompt::set_name(std::string name) {
    if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
    name_ = std::move(name);
}

void CNamePrompt::set_message(std::string message) {
    if (message.size() > kMaxMessageLength) message.resize(kMaxMessageLength);
    message_ = std::move(message);
}

}  // namespace kelmora
