#pragma once

// Whether the running user may administer the client: the super-user, or a
// member of the group named by the machine setting "AdminGroup" under the
// client's common key.
bool credutl_is_privileged();
