#pragma once

#include <string>

#include "kelmora/mount.h"

// The reference table behind the 4-byte pointer fields of the driver's
// records (kelmora/mount.h): the mount client registers what a field points
// to and stores the reference; the driver resolves it. A reference carries a
// generation, so a released one no longer resolves even when its slot is reused.
namespace kelmora::client {

// 0 for null, and when the table is full.
trfs_ref_t RegisterReference(const void* pointer);
void ReleaseReference(trfs_ref_t reference);
// Null for 0 and for a reference that is not registered.
const void* ResolveReference(trfs_ref_t reference);

// A registration for one scope.
class CReference {
public:
    explicit CReference(const void* pointer) : reference_(RegisterReference(pointer)) {}
    ~CReference() { ReleaseReference(reference_); }
    CReference(const CReference&) = delete;
    CReference& operator=(const CReference&) = delete;

    trfs_ref_t get() const { return reference_; }

private:
    trfs_ref_t reference_;
};

// The text of a counted string whose reference resolves and whose lengths
// agree with the text; false otherwise.
bool ResolveCountedString(const trfs_cstring_t& counted, std::string* text);

}  // namespace kelmora::client
