#include <cerrno>
#include <cstdio>
#include <cstring>

#include "automation/client_lock.h"
#include "automation/view_profile.h"
#include "client/client_messages.h"
#include "client/files.h"
#include "client/preview.h"
#include "client/views.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/process.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr size_t kTempPathBufferSize = 1024;
// What the quick association test reads of a config spec.
constexpr size_t kFirstBlockSize = 4095;
constexpr const char* kUpdateToolName = "staveviewupdate";
// The workspace library's load preference that the direct config spec write sets.
constexpr uint32_t kLoadPreferenceFlag = 0x10000;

// Creates a temporary file through the client library and closes it; the
// file is removed when the returned object dies. Empty on failure, with
// errno and the path buffer as the library left them.
CTempFile CreateClosedTempFile(char (&path)[kTempPathBufferSize]) {
    CTempFile temp;
    path[0] = '\0';
    FILE* file = fileutl_tmpfile_ext_binary(nullptr, nullptr, nullptr, path, sizeof path);
    if (!file) return temp;
    temp.Adopt(path);
    unix_nt_fclose(file);
    return temp;
}

// Writes the text into a new temporary file through the client library.
// False with errno set when the file cannot be created or written; *created
// tells which.
bool WriteTempFile(const std::string& text, CTempFile* temp, bool* created,
                   char (&path)[kTempPathBufferSize]) {
    path[0] = '\0';
    *created = false;
    FILE* file = fileutl_tmpfile_ext_binary(nullptr, nullptr, nullptr, path, sizeof path);
    if (!file) return false;
    temp->Adopt(path);
    *created = true;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    bool closed = unix_nt_fclose(file) == 0;
    return written && closed;
}

// Reads the fetched file byte for byte: a config spec may hold any byte in a
// comment, NUL included, and must never come back shorter than it is.
bool ReadFetchedFile(const std::string& path, bool first_block_only, std::string* text,
                     CFileException* error) {
    CFile file;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting, error,
                   FileKind::RegularOnly))
        return false;
    if (!first_block_only) return file.ReadAll(text, error);
    text->resize(kFirstBlockSize);
    long count = file.Read(text->data(), text->size(), error);
    text->resize(count > 0 ? static_cast<size_t>(count) : 0);
    return count >= 0;
}

// Every LF becomes CR LF; CRs of the input are dropped.
std::string WithCrLfLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

BOOL CViewProfile::FetchConfigSpecFile() {
    if (!config_spec_file_.empty()) return TRUE;
    CClientLock lock;
    CClientMessageCapture capture;
    view_handle_t handle = nullptr;
    if (cmd_utl_view_tag_to_handle(view_tag_.c_str(), 0, 0, 0, 0, &handle) != TBS_ST_OK) {
        ReportErrorStop(error_prefix_ + LoadString(IDS_ERR_VIEW_HANDLE));
        return FALSE;
    }
    BOOL result = FALSE;
    char path[kTempPathBufferSize];
    CTempFile temp = CreateClosedTempFile(path);
    if (temp.empty()) {
        // Said, so that no caller takes an unread config spec for an empty one.
        ReportTempFileFailure(errno, path);
    } else {
        if (view_get_config_spec(handle, temp.path().c_str(), 0) != TBS_ST_OK) {
            ReportErrorStop(error_prefix_ + LoadString(IDS_ERR_GET_CONFIG_SPEC));
        } else {
            config_spec_file_ = std::move(temp);
            // Nothing went wrong: what the libraries said belongs to no report.
            ClearPendingClientMessages();
            result = TRUE;
        }
    }
    view_free_handle(handle);
    return result;
}

BOOL CViewProfile::LoadConfigSpec(BOOL first_block_only) {
    CClientLock lock;
    if (view_tag_.empty() || !FetchConfigSpecFile()) return FALSE;
    config_spec_.clear();
    std::string text;
    CFileException error;
    if (!ReadFetchedFile(config_spec_file_.path(), first_block_only != FALSE, &text, &error)) {
        ReportErrorStop(
            error_prefix_ +
            FormatMessageText(LoadString(IDS_ERR_OPEN_FILE),
                              {static_cast<long long>(error.os_error), config_spec_file_.path(),
                               std::string(std::strerror(error.os_error))}));
        return FALSE;
    }
    config_spec_ = WithCrLfLineEnds(text);
    if (!first_block_only) config_spec_loaded_ = TRUE;
    return TRUE;
}

BOOL CViewProfile::WriteConfigSpecAndUpdateView(BOOL update_contents, int notice) {
    CWaitCursor wait;
    CClientMessageCapture capture;
    char path[kTempPathBufferSize];
    CTempFile temp;
    bool created = false;
    tbs_status_t status = TBS_ST_OK;
    if (!WriteTempFile(config_spec_, &temp, &created, path)) {
        if (!created) {
            ReportTempFileFailure(errno, path);
            return FALSE;
        }
        // A config spec that was written short must never reach the view.
        status = TBS_ST_IO;
    }
    bool tool_failed = false;
    if (status == TBS_ST_OK) {
        if (CPreview* preview = ActivePreview()) {
            // Shown instead of set: the view, and a workspace's contents, stay.
            preview->config_specs.push_back({view_tag_, is_workspace_ ? workspace_path_ : "",
                                             update_contents != FALSE, config_spec_});
        } else if (!is_workspace_) {
            CClientLock lock;
            cmd_setcs_args_t args{};
            args.view_tag = view_tag_.c_str();
            args.flags = 0;
            args.cspec_path = temp.path().c_str();
            status = cmd_setcs(&args);
        } else if (!update_contents) {
            ws_handle_t workspace = nullptr;
            status = ws_get_handle(workspace_path_.c_str(), 0, &workspace);
            if (status != TBS_ST_OK) {
                ReportError(FormatStringId(IDS_ERR_WORKSPACE_HANDLE, workspace_path_.c_str()),
                            MB_OK);
            } else {
                ws_set_load_preferences(workspace, kLoadPreferenceFlag, 1);
                status = ws_set_spec(workspace, temp.path().c_str());
                ws_free_handle(&workspace);
            }
        } else {
            if (notice == kUpdateNoticeAnnounce)
                ReportError(LoadString(IDS_VIEW_UPDATE_NOTICE), MB_ICONINFORMATION);
            // A tool that could not start, or ended in failure, has not
            // updated the view: that is no success.
            tool_failed = !RunUpdateTool(temp.path());
        }
    }
    if (status != TBS_ST_OK) {
        ReportErrorStop(error_prefix_ + LoadString(IDS_ERR_SET_CONFIG_SPEC));
    } else if (!tool_failed) {
        ClearPendingClientMessages();
    }
    // The view's config spec has changed: the next read fetches it afresh.
    temp.Remove();
    config_spec_file_.Remove();
    return status == TBS_ST_OK && !tool_failed ? TRUE : FALSE;
}

void CViewProfile::ReportTempFileFailure(int error, const char* path) {
    // The library names no file it could not make: the folder is named instead.
    ReportErrorStop(error_prefix_ + FormatMessageText(LoadString(IDS_ERR_CREATE_TEMP_FILE),
                                                      {static_cast<long long>(error),
                                                       *path ? std::string(path) : TempFolder()}));
}

BOOL CViewProfile::RunUpdateTool(const std::string& cspec_path) {
    // An argument vector, so the workspace path stays one argument whatever it holds.
    CProcessResult run = RunProcessAndWait(
        {kUpdateToolName, "-ws", workspace_path_, "-cspec", cspec_path, "-quick"});
    if (!run.started) {
        ReportErrorStop(FormatStringId(IDS_EXEC_FAILED, kUpdateToolName, run.error));
        return FALSE;
    }
    if (!run.Succeeded()) {
        // The tool has said why on its own; this says what it means here.
        ReportErrorStop(error_prefix_ + LoadString(IDS_ERR_SET_CONFIG_SPEC) +
                        FormatStringId(IDS_UPDATE_TOOL_FAILED, kUpdateToolName, run.exit_code));
        return FALSE;
    }
    return TRUE;
}

}  // namespace kelmora
