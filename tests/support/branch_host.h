#pragma once

#include <string>

#include "ui/operation_hosts.h"

namespace kelmora::test {

// The private branch wizard's host: what Finish hands on, in words ("create
// B; compose at T B; on B; write"); a label named NOLABEL does not serve.
class CRecordingBranchHost : public CPrivateBranchHost {
public:
    int CreateBranchType(const std::string& branch, const std::string& comment) override {
        calls += "create " + branch + (comment.empty() ? "" : " (" + comment + ")") + "; ";
        return 0;
    }
    BOOL CheckLabel(const std::string& label) override {
        calls += "check " + label + "; ";
        return label == "NOLABEL" ? FALSE : TRUE;
    }
    void ComposePrivateBranchConfigSpec(const std::string& selector,
                                        const std::string& branch) override {
        calls += "compose " + selector + " " + branch + "; ";
    }
    void ComposePrivateBranchConfigSpecAtTime(const std::string& time,
                                              const std::string& branch) override {
        calls += "compose at " + time + " " + branch + "; ";
    }
    void set_private_branch(const std::string& branch) override { calls += "on " + branch + "; "; }
    BOOL WriteConfigSpecAndUpdateView(BOOL, int) override {
        calls += "write";
        return TRUE;
    }
    const std::string& checkpoints() const override { return checkpoints_; }

    std::string calls, checkpoints_;
};

}  // namespace kelmora::test
