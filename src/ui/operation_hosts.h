#pragma once

#include <string>

#include "platform/bool.h"

// What the dialog models need of the View Profile object, as small interfaces
// that the object implements; the models know nothing above this layer.
namespace kelmora {

// The associate dialog's OK hands the typed name to the association step.
class CAssociationHost {
public:
    virtual ~CAssociationHost() = default;
    // TRUE when the view now follows the profile; FALSE after that step has
    // told the user why not.
    virtual BOOL RunAssociationStep(const std::string& profile_name) = 0;
};

// What the merge preparation reads of the view and walks of its profile.
class CMergeArgumentsHost {
public:
    virtual ~CMergeArgumentsHost() = default;
    virtual const std::string& view_tag() const = 0;
    virtual BOOL is_workspace() const = 0;
    virtual const std::string& workspace_path() const = 0;
    virtual const std::string& private_branch() const = 0;
    // The profile's VOB tags in order; empty after the last.
    virtual std::string GetFirstVOB() = 0;
    virtual std::string GetNextVOB() = 0;
};

}  // namespace kelmora
