#pragma once

#include <cstddef>
#include <string>

namespace kelmora {

// The small dialog that asks for a name and shows why it asks (the profile
// save puts the reason a rename failed there). Template 112: the name in edit
// box 113, the message in edit box 114, OK and Cancel; no handlers of its own.
class CNamePrompt {
public:
    static constexpr int kTemplateId = 112;
    static constexpr int kNameEditId = 113;
    static constexpr int kMessageEditId = 114;
    static constexpr size_t kMaxNameLength = 256;
    static constexpr size_t kMaxMessageLength = 1024;

    const std::string& name() const { return name_; }
    // The edit boxes hold at most their limits; longer texts are cut there.
    void set_name(std::string name);
    const std::string& message() const { return message_; }
    void set_message(std::string message);

private:
    std::string name_;
    std::string message_;
};

}  // namespace kelmora
