#pragma once

#include <string>
#include <string_view>

#include "client/status.h"
#include "kelmora/automation.h"

// Where an in-process server is recorded in the machine hive of the registry
// store, so that hosts can create its classes by program identifier:
//   Software\Classes\<ProgID>            CLSID          = {clsid}
//   Software\Classes\CLSID\{clsid}       ProgID         = <ProgID>
//                                        InprocServer32 = <library path>
namespace kelmora {

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case.
std::string GuidToString(const GUID& guid);
// Accepts the form above in either letter case, braces optional.
bool ParseGuid(std::string_view text, GUID* guid);

tbs_status_t WriteServerRegistration(const std::string& prog_id, const CLSID& clsid,
                                     const std::string& library_path);

// The class and library registered for a program identifier; false when the
// program identifier or its class is not registered, or when the registry
// cannot be read: then *failure (when given) receives the status, already told.
bool FindServerByProgId(const std::string& prog_id, CLSID* clsid, std::string* library_path,
                        tbs_status_t* failure = nullptr);

}  // namespace kelmora
