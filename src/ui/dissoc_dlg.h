#pragma once

#include <array>
#include <string>

#include "platform/bool.h"

namespace kelmora {

// What the dissociate dialog's Yes runs: the operations implement it, so that
// the dialog needs nothing above the seam.
class CDissociationHost {
public:
    // TRUE when the view's config spec no longer carries the association.
    virtual BOOL RunDissociationStep() = 0;

protected:
    ~CDissociationHost() = default;
};

// The confirmation before a view stops following its profile. Template 107:
// picture 130 in frame 173, four lines of text (statics 108 to 111), "Yes"
// (1, default), "No" (2) and Help.
class CDissocDlg {
public:
    static constexpr int kTemplateId = 107;
    static constexpr int kBitmapId = 130;
    static constexpr int kFirstTextId = 108;
    static constexpr const char* kTitle = "Dissociate from Stavemark View Profile";
    static constexpr const char* kHelpTopic = "private_branch_wizard/dissocwithvprofile.htm";
    // Said below the four lines: what else the dissociation takes away.
    static constexpr const char* kCommentsNote =
        "Every comment in the view's config spec is removed as well; its rules stay.";

    explicit CDissocDlg(CDissociationHost* host) : host_(host) {}

    // The first line comes from the string table, so a language pack can change it.
    void OnInitDialog();
    // Yes: runs the dissociation step under the wait cursor. True when the
    // dialog closes (the step succeeded, done is set); a failed step, which
    // has told the user why, leaves it open.
    bool OnYes();
    // No closes the dialog; done stays FALSE.
    void OnNo() {}

    BOOL done() const { return done_; }
    // Statics 108 to 111, top to bottom.
    const std::array<std::string, 4>& texts() const { return texts_; }

private:
    CDissociationHost* host_;  // not owned
    BOOL done_ = FALSE;
    std::array<std::string, 4> texts_{
        "Removing the association between a view",
        "and a Stavemark View Profile will disable",
        "automatic support for branching and merging.",
        "Is this what you want to do?",
    };
};

}  // namespace kelmora
