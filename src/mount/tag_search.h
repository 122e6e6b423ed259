#pragma once

#include <cstddef>

#include "client/poolmap.h"
#include "client/tag_registry.h"

namespace kelmora::mount {

// The registry's batches are at most this long.
constexpr int kTagBatchSize = 50;
// Buffers that registry keys are read into; key 16 holds at most 50 characters.
constexpr size_t kKeySize = 1024;
constexpr size_t kUuidKeySize = 51;

// One registry cursor over VOB tag entries and the batch it handed out last;
// entries and cursor are released when the next batch is fetched or the
// search ends.
class CTagSearch {
public:
    CTagSearch() = default;
    ~CTagSearch();
    CTagSearch(const CTagSearch&) = delete;
    CTagSearch& operator=(const CTagSearch&) = delete;

    // The entries whose tag (key 10) is tag: one batch of up to max.
    tbs_status_t FindTag(const char* qualifier, const char* region, const char* tag, int max);
    // The next batch of all tag entries of the region; count() 0 at the end.
    tbs_status_t NextBatch(const char* region);
    // Releases the entries and the cursor, so the next search starts afresh.
    void Close();

    int count() const { return count_; }
    rgy_entry_t entry(int index) const { return entries_[index]; }

private:
    void ReleaseEntries();

    rgy_cursor_t cursor_ = nullptr;
    rgy_entry_t entries_[kTagBatchSize] = {};
    int count_ = 0;
};

// A trace line of the mntrpc facility: printed at verbosity 2 or more.
void MntrpcTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The exit of an operation that met an entry without a key it needs.
tbs_status_t MissingKeyExit(const char* tag, const char* region, tbs_status_t status,
                            tbs_status_t result);

// Tells of more than one entry for the tag in the region.
void PrintDuplicateTag(const char* tag, const char* region);

// Pool folders are registered and unregistered without a trailing separator.
void DropTrailingSeparator(poolmap_cstring_t* directory);

}  // namespace kelmora::mount
