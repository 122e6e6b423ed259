#include "client/preview.h"

#include <atomic>

namespace kelmora {

namespace {
std::atomic<CPreview*> g_preview{nullptr};
}

CPreview* ActivePreview() {
    return g_preview.load();
}

CScopedPreview::CScopedPreview(CPreview* preview) : previous_(g_preview.exchange(preview)) {}

CScopedPreview::~CScopedPreview() {
    g_preview.store(previous_);
}

}  // namespace kelmora
