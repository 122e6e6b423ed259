#include "client/trfs_refs.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace kelmora::client {

namespace {

// A reference is the slot number plus one in the low bits and the slot's
// generation in the high bits.
constexpr unsigned kSlotBits = 20;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr size_t kMaxSlots = kSlotMask;  // slot + 1 must fit in the low bits

struct CSlot {
    const void* pointer = nullptr;
    uint32_t generation = 0;
    bool used = false;
};

struct CReferenceTable {
    std::mutex mutex;
    std::vector<CSlot> slots;
    std::vector<size_t> free_slots;
};

// Never destroyed: holders of references release them from their own
// destructors, which may run at exit after a static table would be gone.
CReferenceTable& Table() {
    static CReferenceTable* table = new CReferenceTable;
    return *table;
}

uint32_t MakeReference(size_t slot, uint32_t generation) {
    return (generation << kSlotBits) | static_cast<uint32_t>(slot + 1);
}

// The slot of a registered reference; null when there is none.
CSlot* FindSlot(CReferenceTable& table, trfs_ref_t reference) {
    const uint32_t number = reference & kSlotMask;
    if (number == 0 || number > table.slots.size()) return nullptr;
    CSlot& slot = table.slots[number - 1];
    if (!slot.used || MakeReference(number - 1, slot.generation) != reference) return nullptr;
    return &slot;
}

}  // namespace

trfs_ref_t RegisterReference(const void* pointer) {
    if (!pointer) return 0;
    CReferenceTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    size_t slot = 0;
    if (!table.free_slots.empty()) {
        slot = table.free_slots.back();
        table.free_slots.pop_back();
    } else {
        if (table.slots.size() >= kMaxSlots) return 0;
        table.slots.emplace_back();
        slot = table.slots.size() - 1;
    }
    CSlot& entry = table.slots[slot];
    entry.pointer = pointer;
    entry.used = true;
    entry.generation = (entry.generation + 1) & (0xFFFFFFFFu >> kSlotBits);
    return MakeReference(slot, entry.generation);
}

void ReleaseReference(trfs_ref_t reference) {
    CReferenceTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    CSlot* slot = FindSlot(table, reference);
    if (!slot) return;
    slot->used = false;
    slot->pointer = nullptr;
    table.free_slots.push_back((reference & kSlotMask) - 1);
}

const void* ResolveReference(trfs_ref_t reference) {
    CReferenceTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    CSlot* slot = FindSlot(table, reference);
    return slot ? slot->pointer : nullptr;
}

bool ResolveCountedString(const trfs_cstring_t& counted, std::string* text) {
    auto chars = static_cast<const char*>(ResolveReference(counted.text));
    if (!chars || counted.size != counted.length + 1) return false;
    if (strnlen(chars, counted.size) != counted.length) return false;
    text->assign(chars, counted.length);
    return true;
}

}  // namespace kelmora::client
