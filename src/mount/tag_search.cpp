#include "mount/tag_search.h"

#include <cstdarg>

#include "client/messages.h"
#include "mount/message_tables.h"
#include "platform/format.h"

namespace kelmora::mount {

CTagSearch::~CTagSearch() {
    Close();
}

void CTagSearch::ReleaseEntries() {
    for (int i = 0; i < count_; ++i) rgy_delete_entry(entries_[i]);
    count_ = 0;
}

void CTagSearch::Close() {
    ReleaseEntries();
    rgy_close_cursor(cursor_);
    cursor_ = nullptr;
}

tbs_status_t CTagSearch::FindTag(const char* qualifier, const char* region, const char* tag,
                                 int max) {
    Close();
    return rgy_findbystring_entry(RGY_KIND_VOB_TAG, qualifier, region, RGY_KEY_TAG, tag ? tag : "",
                                  &cursor_, max, entries_, &count_);
}

tbs_status_t CTagSearch::NextBatch(const char* region) {
    ReleaseEntries();
    return rgy_get_entry(RGY_KIND_VOB_TAG, nullptr, region, &cursor_, kTagBatchSize, entries_,
                         &count_);
}

void MntrpcTrace(const char* format, ...) {
    if (imsg_get_desired_verbosity() < 2 || !imsg_should_trace("mntrpc", 2)) return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatPrintfV(format, args);
    va_end(args);
    imsg_print(IMSG_KIND_INFO, "%s", -1, text.c_str());
}

// The message takes none of the arguments it is given.
tbs_status_t MissingKeyExit(const char* tag, const char* region, tbs_status_t status,
                            tbs_status_t result) {
    imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), kMissingKey, tag, region, status);
    return result;
}

void PrintDuplicateTag(const char* tag, const char* region) {
    imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), kDuplicateTag);
    imsg_print(IMSG_KIND_CONTINUE, MntrpcMessageTable(), kDuplicateTagWhere, tag, region);
}

void DropTrailingSeparator(poolmap_cstring_t* directory) {
    if (directory->length == 0) return;
    char& last = directory->text[directory->length - 1];
    if (last != '\\' && last != '/') return;
    last = '\0';
    --directory->length;
    --directory->size;
}

}  // namespace kelmora::mount
