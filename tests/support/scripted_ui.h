#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "ui/console/console_ui.h"
#include "ui/user_interface.h"

namespace kelmora::test {

// The console front end on string streams, installed for one scope: answers
// come from the given text, and every box shown is kept.
class CScriptedUserInterface {
public:
    explicit CScriptedUserInterface(const std::string& answers = "")
        : in_(answers), ui_(in_, out_), scope_(&ui_) {}

    const std::vector<CShownBox>& shown() const { return ui_.shown(); }
    std::string output() const { return out_.str(); }
    int wait_cursor_depth() const { return ui_.wait_cursor_depth(); }

private:
    std::istringstream in_;
    std::ostringstream out_;
    CConsoleUserInterface ui_;
    CScopedUserInterface scope_;
};

}  // namespace kelmora::test
