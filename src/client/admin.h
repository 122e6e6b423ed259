#pragma once

#include <string>
#include <vector>

#include "client/status.h"

// Administration of the client's state, for stavetool and for tests: the
// library calls above only read and update what these create.
namespace kelmora::client {

// $KELMORA_HOME/client.db
std::string ClientDatabasePath();
// Lets go of the process's connection to it, which closes when its last user
// is done: at exit and when the module unloads. The next use opens it again.
void CloseClientDatabase();

struct CViewRecord {
    std::string tag;
    std::string uuid;  // lower-case 8-4-4-4-12 text
    bool is_workspace = false;
    std::string workspace_root;  // empty for a dynamic view
};

// A new dynamic view with an empty config spec.
tbs_status_t CreateView(const std::string& tag);
// A new workspace view rooted at root (made absolute; the folder is created when missing).
tbs_status_t CreateWorkspace(const std::string& tag, const std::string& root);
tbs_status_t RemoveView(const std::string& tag);
tbs_status_t ListViews(std::vector<CViewRecord>* views);
tbs_status_t FindView(const std::string& tag, CViewRecord* view);

// Config spec text of a view, byte for byte. Setting refuses text that does
// not parse, printing the parser's diagnostic to the error output.
tbs_status_t SetConfigSpecText(const std::string& tag, const std::string& text);
tbs_status_t GetConfigSpecText(const std::string& tag, std::string* text);

}  // namespace kelmora::client
