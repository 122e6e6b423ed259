// Dissociating a view from its profile: the dialog, and the step that
// removes every comment from the view's config spec.
#include "automation/view_profile.h"
#include "operations/dissociation.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "ui/dissoc_dlg.h"

namespace kelmora {

namespace {

// Where the line's comment starts, npos when it has none.
size_t CommentStart(std::string_view line) {
    size_t pos = 0;
    while (pos < line.size()) {
        char c = line[pos];
        if (c == ' ' || c == '\t') {
            ++pos;
            continue;
        }
        if (c == '#') return pos;
        if (c == '"') {
            size_t close = line.find('"', pos + 1);
            if (close == std::string_view::npos) return std::string_view::npos;
            pos = close + 1;
        }
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    }
    return std::string_view::npos;
}

// The dialog's Yes runs the object's dissociation step.
class CViewDissociation final : public CDissociationHost {
public:
    explicit CViewDissociation(CViewProfile& profile) : profile_(profile) {}
    BOOL RunDissociationStep() override { return profile_.DissociationStep(); }

private:
    CViewProfile& profile_;
};

}  // namespace

std::string StripConfigSpecComments(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        size_t comment = CommentStart(line);
        if (comment != std::string_view::npos) line = line.substr(0, comment);
        size_t first = line.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos) continue;
        kept += line.substr(first);
        if (comment != std::string_view::npos) kept += "\r\n";
    }
    return kept;
}

BOOL CViewProfile::Dissociate() {
    error_prefix_ = LoadString(IDS_CANNOT_DISSOCIATE_PREFIX);
    // This operation's messages are shown whatever the suppress flag says.
    if (view_tag_.empty()) {
        UserInterface().MessageBox(error_prefix_ + LoadString(IDS_NO_VIEW_SPECIFIED), MB_OK);
        return FALSE;
    }
    // The whole text, so that the step strips all of it.
    if (!LoadConfigSpec(FALSE)) return FALSE;
    if (!TestAssociation()) {
        UserInterface().MessageBox(
            error_prefix_ + FormatStringId(IDS_NOT_ASSOCIATED, view_tag_.c_str()), MB_OK);
        return FALSE;
    }
    CViewDissociation host(*this);
    CDissocDlg dialog(&host);
    UserInterface().RunDissocDlg(dialog);
    return dialog.done();
}

BOOL CViewProfile::DissociationStep() {
    config_spec_ = StripConfigSpecComments(config_spec_);
    BOOL written = WriteConfigSpecAndUpdateView(FALSE, kUpdateNoticeAnnounce);
    // The next query reads the profile (and finds none) afresh.
    vob_list_loaded_ = FALSE;
    association_read_ = FALSE;
    return written;
}

}  // namespace kelmora
