#pragma once

#include <span>
#include <string_view>

#include "kelmora/automation.h"

namespace kelmora {

// What a dispatch member takes and gives back.
enum class EDispatchType { None, Bool, String };

struct CDispatchMember {
    DISPID id;
    const char* name;
    EDispatchType parameter;  // at most one
    EDispatchType result;
};

// The View Profile dispatch interface: 19 methods, ids 1 to 19 in order.
std::span<const CDispatchMember> ViewProfileDispatchMembers();
const CDispatchMember* FindDispatchMember(DISPID id);
// Names compare without regard to letter case.
const CDispatchMember* FindDispatchMember(std::string_view name);

}  // namespace kelmora
