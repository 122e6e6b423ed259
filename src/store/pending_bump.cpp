#include "store/pending_bump.h"

#include <algorithm>
#include <cerrno>

#include "platform/paths.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/rules_history.h"
#include "store/tree_dir.h"

namespace kelmora {

namespace {

constexpr std::string_view kPendingMark = "\npending\t";
constexpr size_t kLockFileReadLimit = 4096;
constexpr size_t kGuidFileReadLimit = 1023;

}  // namespace

std::string PendingBumpLine(const CPendingBump& pending) {
    return std::string(kPendingMark.substr(1)) + pending.profile_name + "\t" + pending.guid_text +
           "\n";
}

bool FindPendingBump(std::string_view lock_text, CPendingBump* pending) {
    const size_t mark = lock_text.find(kPendingMark);
    if (mark == std::string_view::npos) return false;
    const std::string_view rest = lock_text.substr(mark + kPendingMark.size());
    const size_t end = rest.find('\n');
    const size_t tab = rest.find('\t');
    // A record cut by a kill has no line end yet: it was never in force.
    if (end == std::string_view::npos || tab == std::string_view::npos || tab > end) return false;
    pending->profile_name = std::string(rest.substr(0, tab));
    pending->guid_text = std::string(rest.substr(tab + 1, end - tab - 1));
    return IsValidProfileName(pending->profile_name) && !pending->guid_text.empty();
}

bool CompletePendingBump(const CPendingBump& pending) {
    CFolder folder;
    if (!OpenTreeFolder(CurrentTreeRoot() + pending.profile_name, &folder))
        return errno == ENOENT || errno == ENOTDIR;
    CFile guid_file;
    CFileException error;
    if (!guid_file.OpenIn(folder, ProfileFileName(kProfileGuid), FileAccess::ReadWrite,
                          FileShare::Exclusive, FileCreate::OpenExisting, &error,
                          FileKind::RegularOnly))
        return error.cause == FileErrorCause::FileNotFound;
    char text[kGuidFileReadLimit];
    const long count = guid_file.Read(text, sizeof text, &error);
    if (count < 0) return false;
    CProfileGuid now, target;
    ParseGuidFileText(std::string_view(text, static_cast<size_t>(count)), &now);
    ParseGuidFileText(pending.guid_text, &target);
    // Another profile by now.
    if (now.guid != target.guid || now.major != target.major) return true;
    CGuidFileWriter writer;
    if (now.minor < target.minor &&
        !(writer.Prepare(folder, guid_file, pending.guid_text, &error) &&
          writer.Write(guid_file, &error)))
        return false;
    // The Rules that stand at the revision now are the ones its history keeps;
    // a history that cannot be put right does not hold the bump back.
    RepairRulesHistory(folder, static_cast<unsigned long>(std::max(now.minor, target.minor)));
    return true;
}

bool HasPendingBump(const std::string& tree_root, std::string_view profile_name) {
    const std::string path = NodeNativePath(tree_root, tree_root, kLockFileName);
    CFile file;
    CFileException error;
    if (path.empty() || !file.Open(path, FileAccess::Read, FileShare::DenyNone,
                                   FileCreate::OpenExisting, &error, FileKind::RegularOnly))
        return false;
    std::string text(kLockFileReadLimit, '\0');
    const long count = file.Read(text.data(), text.size(), &error);
    text.resize(count > 0 ? static_cast<size_t>(count) : 0);
    CPendingBump pending;
    return FindPendingBump(text, &pending) && pending.profile_name == profile_name;
}

std::string StoredProfileName(const CTreeNode& node) {
    const std::string& root = CurrentTreeRoot();
    return node.full_path().starts_with(root) ? node.full_path().substr(root.size())
                                              : node.full_path();
}

bool CGuidFileWriter::Prepare(const CFolder& folder, const CFile& held, const std::string& text,
                              CFileException* error) {
    text_ = text;
    in_place_ = false;
    if (replacement_.PrepareIn(folder, ProfileFileName(kProfileGuid), text, held.fd())) return true;
    if (errno != EACCES && errno != EPERM) {
        error->Set(errno);
        return false;
    }
    PrepareInPlace(text, held.Length());
    return true;
}

void CGuidFileWriter::PrepareInPlace(const std::string& text, long long old_length) {
    text_ = text;
    // Blanks after the revision read as nothing; the file never gets shorter.
    in_place_ = true;
    if (old_length > static_cast<long long>(text_.size()))
        text_.append(static_cast<size_t>(old_length) - text_.size(), ' ');
}

bool CGuidFileWriter::Write(CFile& held, CFileException* error, bool sync_folder) {
    if (!in_place_) {
        if (replacement_.Commit(sync_folder)) return true;
        error->Set(errno);
        return false;
    }
    return held.SeekToStart(error) && held.Write(text_.data(), text_.size(), error) &&
           held.Flush(error);
}

}  // namespace kelmora
