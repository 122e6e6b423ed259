#pragma once

#include "ui/edit_cspec.h"
#include "ui/qt/config_spec_view.h"
#include "ui/qt/model_binding.h"

namespace kelmora::qt {

// "Stavemark Config Spec Editor": our editor widget as control 122 with
// Edit, Undo, Reset, Save and Close. In hidden mode only the control's own
// window is shown: what the text is for, the editor with its unparsable
// lines marked, Done (the control's event 2) and Cancel.
class CQtEditCSpec : public CModelDialog {
    Q_OBJECT
public:
    static constexpr char kDoneCaption[] = "&Done";
    static constexpr int kCheckDelayMs = 400;

    explicit CQtEditCSpec(CEditCSpec& model);

    CConfigSpecView* view() const { return view_; }

private:
    void ShowFields() override;
    void OnCancelRequest() override;

    CEditCSpec& dialog_;
    CConfigSpecView* view_;
};

}  // namespace kelmora::qt
