#include "history_commands.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

#include "commands.h"
#include "json_output.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/rules_history.h"
#include "store/tree_dir.h"
#include "unified_diff.h"

namespace kelmora::vptree {

namespace {

// A profile of the tree with its folder open and its GUID file read.
struct CHistoryProfile {
    CTreeNode* node = nullptr;
    CFolder folder;
    std::optional<CProfileGuid> guid;  // none when the GUID file gives no revision

    std::string Label(unsigned long minor) const {
        return guid ? std::to_string(guid->major) + "." + std::to_string(minor)
                    : std::to_string(minor);
    }
};

std::optional<CProfileGuid> ReadGuid(const CTreeNode& node) {
    std::string text;
    CProfileGuid guid;
    if (ReadProfileField(node.full_path(), kProfileGuid, &text) == FileErrorCause::None &&
        ParseGuidFileText(text, &guid))
        return guid;
    return std::nullopt;
}

bool OpenProfile(const std::string& argument, CHistoryProfile* profile) {
    profile->node = ResolveProfileArgument(argument);
    if (!profile->node) return false;
    if (!OpenTreeFolder(profile->node->full_path(), &profile->folder)) {
        ReportFailure("cannot open " + NativePathOfNode(*profile->node) + ": " +
                      std::strerror(errno));
        return false;
    }
    profile->guid = ReadGuid(*profile->node);
    return true;
}

std::string HistoryErrorText(const CHistoryProfile& profile, const CRulesHistoryError& error) {
    return "cannot read " + NativePathOfNode(*profile.node, error.path) + ": " +
           std::strerror(error.os_error);
}

// "5" or "1.5" (the profile's own major number); else the exit status after
// saying why.
int ParseRevision(const CHistoryProfile& profile, const std::string& word, unsigned long* minor) {
    std::string_view rest = word;
    const size_t dot = rest.find('.');
    if (dot != std::string_view::npos) {
        if (!profile.guid || rest.substr(0, dot) != std::to_string(profile.guid->major)) {
            return ReportFailure(
                "no revision " + word + " of '" + ProfileNameOf(*profile.node) +
                "' (it stands at " +
                (profile.guid ? profile.Label(profile.guid->minor) : "no revision") + ")");
        }
        rest.remove_prefix(dot + 1);
    }
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), *minor);
    if (rest.empty() || ec != std::errc() || end != rest.data() + rest.size())
        return ReportUsageError("'" + word + "' is no revision (give MINOR or MAJOR.MINOR)");
    return kExitOk;
}

// The Rules of a revision: from the history, or for the revision that stands
// from the Rules file when the history does not hold it. False after saying why.
bool RulesAt(const CHistoryProfile& profile, unsigned long minor, std::string* text) {
    CRulesHistoryError error;
    if (ReadRulesAtRevision(profile.folder, minor, text, &error)) return true;
    if (!error.not_kept) {
        ReportFailure(HistoryErrorText(profile, error));
        return false;
    }
    if (profile.guid && static_cast<unsigned long>(profile.guid->minor) == minor) {
        text->clear();
        const FileErrorCause read =
            ReadProfileField(profile.node->full_path(), kProfileRules, text);
        if (read == FileErrorCause::None || read == FileErrorCause::FileNotFound) return true;
    }
    ReportFailure("revision " + profile.Label(minor) + " of '" + ProfileNameOf(*profile.node) +
                  "' is not kept in its history (vptree log lists the revisions kept)");
    return false;
}

tools::CJson JsonCount(int count) {
    return count < 0 ? tools::CJson() : tools::CJson(count);
}

std::string TextCount(int count, char sign) {
    return count < 0 ? "-" : sign + std::to_string(count);
}

int PrintDiff(const CHistoryProfile& profile, const std::string& before, const std::string& after,
              const std::string& old_revision, const std::string& new_revision) {
    const std::string label = ProfileNameOf(*profile.node) + "\\Rules";
    auto labelled = [&](const std::string& revision) {
        return revision.empty() ? label : label + " " + revision;
    };
    // A change of line ends alone decides whether the Rules can be used.
    const std::string diff =
        tools::UnifiedDiff(before, after, labelled(old_revision), labelled(new_revision), true);
    std::fwrite(diff.data(), 1, diff.size(), stdout);
    return kExitOk;
}

// What the last save changed, from the kept Rules beside them, for a
// profile whose history does not hold the revision before.
int DiffWithPreviousRules(const CHistoryProfile& profile, const std::string& argument) {
    std::string before, rules;
    const std::string& path = profile.node->full_path();
    if (ReadProfileFolderFile(path, kPreviousRulesFileName, &before) != FileErrorCause::None)
        return ReportFailure("no earlier Rules are kept for '" + argument +
                             "': its Rules have not been saved by a tool that keeps them");
    const FileErrorCause read = ReadProfileField(path, kProfileRules, &rules);
    if (read != FileErrorCause::None && read != FileErrorCause::FileNotFound)
        return ReportFailure("cannot read the Rules of '" + argument + "'");
    // The last save of the Rules raised the revision to the one the GUID file holds.
    const bool known = profile.guid && profile.guid->minor > 0;
    const unsigned long minor = known ? static_cast<unsigned long>(profile.guid->minor) : 0;
    return PrintDiff(profile, before, rules, known ? profile.Label(minor - 1) : "",
                     known ? profile.Label(minor) : "");
}

}  // namespace

int Log(const std::vector<std::string>& args) {
    if (args.size() != 1) return ReportUsageError("log takes one PROFILE");
    CHistoryProfile profile;
    if (!OpenProfile(args[0], &profile)) return kExitFailure;
    std::vector<CRulesRevision> log;
    CRulesHistoryError error;
    if (!ReadRulesHistory(profile.folder, &log, &error))
        return ReportFailure(HistoryErrorText(profile, error));
    if (JsonOutputInUse()) {
        tools::CJson document = {{"profile", ProfileNameOf(*profile.node)},
                                 {"revisions", tools::CJson::array()}};
        for (const CRulesRevision& entry : log) {
            document["revisions"].push_back({{"revision", profile.Label(entry.revision)},
                                             {"time", tools::JsonTextOrNull(entry.time_utc)},
                                             {"by", tools::JsonTextOrNull(entry.user_host)},
                                             {"added", JsonCount(entry.added)},
                                             {"removed", JsonCount(entry.removed)}});
        }
        return tools::PrintJson(document) ? kExitOk : ReportFailure("cannot write the log");
    }
    if (log.empty())
        std::fprintf(stderr,
                     "vptree: no Rules history is kept for '%s' yet; the next save of its "
                     "Rules starts it\n",
                     args[0].c_str());
    std::string out;
    for (const CRulesRevision& entry : log) {
        out += profile.Label(entry.revision) + "\t" +
               (entry.time_utc.empty() ? "-" : entry.time_utc) + "\t" +
               (entry.user_host.empty() ? "-" : entry.user_host) + "\t" +
               TextCount(entry.added, '+') + "\t" + TextCount(entry.removed, '-') + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

int Diff(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 3) return ReportUsageError("diff takes PROFILE [REV [REV]]");
    CHistoryProfile profile;
    if (!OpenProfile(args[0], &profile)) return kExitFailure;
    if (args.size() == 1) {
        // The last save: the revision before the one that stands, when kept.
        std::vector<CRulesRevision> log;
        CRulesHistoryError error;
        if (!ReadRulesHistory(profile.folder, &log, &error))
            return ReportFailure(HistoryErrorText(profile, error));
        const bool kept = profile.guid && log.size() >= 2 &&
                          log[0].revision == static_cast<unsigned long>(profile.guid->minor) &&
                          log[1].revision + 1 == log[0].revision;
        if (!kept) return DiffWithPreviousRules(profile, args[0]);
        std::string before, after;
        if (!RulesAt(profile, log[1].revision, &before) ||
            !RulesAt(profile, log[0].revision, &after))
            return kExitFailure;
        return PrintDiff(profile, before, after, profile.Label(log[1].revision),
                         profile.Label(log[0].revision));
    }
    unsigned long from = 0, to = 0;
    if (const int status = ParseRevision(profile, args[1], &from)) return status;
    if (args.size() == 3) {
        if (const int status = ParseRevision(profile, args[2], &to)) return status;
    } else if (profile.guid) {
        to = static_cast<unsigned long>(profile.guid->minor);
    } else {
        return ReportFailure("the GUID file of '" + args[0] + "' gives no revision");
    }
    std::string before, after;
    if (!RulesAt(profile, from, &before) || !RulesAt(profile, to, &after)) return kExitFailure;
    return PrintDiff(profile, before, after, profile.Label(from), profile.Label(to));
}

int Restore(const std::vector<std::string>& args) {
    if (args.size() != 2) return ReportUsageError("restore takes PROFILE REV");
    CHistoryProfile profile;
    if (!OpenProfile(args[0], &profile)) return kExitFailure;
    unsigned long minor = 0;
    std::string text, rules;
    if (const int status = ParseRevision(profile, args[1], &minor)) return status;
    if (!RulesAt(profile, minor, &text)) return kExitFailure;
    if (!RulesUsableForSave(text, "revision " + profile.Label(minor))) return kExitFailure;
    CTreeNode* node = profile.node;
    if (!LoadProfile(node)) return kExitFailure;
    CProfileRecord record = *node->profile_record();
    if (record.read_only)
        return ReportFailure(record.tree_busy
                                 ? "the View Profile tree is in use by other users; '" + args[0] +
                                       "' was not restored (try again later)"
                                 : "'" + args[0] + "' cannot be changed by you");
    if (record.rules == text) {
        std::printf("the Rules of %s already hold revision %s; nothing was saved\n",
                    ProfileNameOf(*node).c_str(), profile.Label(minor).c_str());
        return kExitOk;
    }
    record.rules = text;
    if (SaveProfile(node, record, kSaveRules, "") != ESaveOutcome::kSaved)
        return ReportFailure("'" + args[0] + "' was not restored");
    // The saved revision, as the GUID file now holds it.
    const std::optional<CProfileGuid> saved = ReadGuid(*node);
    const std::string now =
        saved ? std::to_string(saved->major) + "." + std::to_string(saved->minor) : "?";
    std::printf("%s: revision %s restored as %s\n", ProfileNameOf(*node).c_str(),
                profile.Label(minor).c_str(), now.c_str());
    return kExitOk;
}

}  // namespace kelmora::vptree
