#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cspec/profile_rules.h"
#include "cspec/text_scan.h"
#include "history_commands.h"
#include "json_output.h"
#include "node_argument.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "program.h"
#include "resources/string_table.h"
#include "staged_fields.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/settled_read.h"
#include "store/store_reporter.h"
#include "store/tree_edit.h"
#include "store/tree_load.h"
#include "ui/console/console_ui.h"

namespace kelmora::vptree {

namespace {

// Set for --json: errors become one JSON object, with what the store said.
const CConsoleUserInterface* g_json_recorder = nullptr;

int Report(const std::string& text, int status) {
    if (!g_json_recorder) {
        std::fprintf(stderr, "vptree: %s\n", text.c_str());
        return status;
    }
    std::string message = text;
    for (const CShownBox& box : g_json_recorder->shown()) message += "\n" + box.text;
    return tools::PrintJsonError(message, status);
}

int Fail(const std::string& text) {
    return Report(text, kExitFailure);
}

int Usage(const std::string& text) {
    return Report(text + " (see vptree --help)", kExitUsage);
}

const std::string& Root() {
    return CurrentTreeRoot();
}
std::string NameOf(const CTreeNode& node) {
    return StoredNameOf(node.full_path(), Root());
}

// The node an argument names, or null after saying why: a name below the
// root, a native path, or a name below the profiles folder ("Team\App").
// Without a loaded tree only the folders on the way to it are read.
std::vector<std::string> CandidatePaths(const std::string& argument) {
    std::vector<std::string> full_paths = {FullPathOfArgument(argument, Root())};
    if (!argument.starts_with('\\') && IsValidProfileName("\\" + argument))
        full_paths.push_back(Root() + "\\" + kTopLevelFolderName + "\\" + argument);
    return full_paths;
}

CTreeNode* ResolveNode(const std::string& argument) {
    const std::vector<std::string> full_paths = CandidatePaths(argument);
    if (!CurrentTree()) {
        for (const std::string& full_path : full_paths) {
            ETreePath outcome = ETreePath::kNotInTree;
            CTreeNode* node =
                full_path.empty() ? nullptr : LoadProfileTreePath(full_path, &outcome);
            if (node) return node;
            // The whole tree says what keeps the node from it.
            if (outcome == ETreePath::kUnsure) {
                if (!LoadProfileTree(false)) {
                    ReportTreeLoadFailure();
                    return nullptr;
                }
                break;
            }
        }
    }
    for (const std::string& full_path : full_paths) {
        if (CTreeNode* node = full_path.empty() || !CurrentTree()
                                  ? nullptr
                                  : FindNodeByPath(CurrentTree(), full_path))
            return node;
    }
    Fail("no folder or profile '" + argument + "' in the tree at " + Root());
    return nullptr;
}

CTreeNode* ResolveFolder(const std::string& argument) {
    CTreeNode* node = ResolveNode(argument);
    if (node && node->IsProfile()) {
        Fail("'" + argument + "' is a profile; profiles hold no folders");
        return nullptr;
    }
    return node;
}

CTreeNode* ResolveProfile(const std::string& argument) {
    CTreeNode* node = ResolveNode(argument);
    if (node && !node->IsProfile()) {
        Fail("'" + argument + "' is a folder, not a profile");
        return nullptr;
    }
    return node;
}

// The stored name under which set keeps a value: from the argument alone
// where it names one place, so that set reads nothing on the share (save
// checks the profile); else the node that the argument names.
// The one place that the argument names by itself, or "".
std::string OnlyPlace(const std::string& argument) {
    std::vector<std::string> places;
    for (const std::string& full_path : CandidatePaths(argument))
        if (!full_path.empty()) places.push_back(full_path);
    return places.size() == 1 ? places[0] : std::string();
}

bool StagingName(const std::string& argument, std::string* name) {
    if (const std::string place = OnlyPlace(argument); !place.empty()) {
        *name = StoredNameOf(place, Root());
        return true;
    }
    CTreeNode* node = ResolveProfile(argument);
    if (node) *name = NameOf(*node);
    return node != nullptr;
}

struct CGuidInfo {
    std::string guid = "-";
    std::string revision = "-";
};

// Paths that ls could not read; each is named and ls fails.
std::vector<std::string> g_unread;

// What a read of a profile's GUID file gave.
struct CGuidRead {
    FileErrorCause cause = FileErrorCause::None;
    std::string text;
};

CGuidRead ReadGuidFile(const CTreeNode& node) {
    CGuidRead read;
    // Read by the walk that found the profile, when the load was asked to.
    if (const CProfileFileRead* walked = WalkFileRead(node, ProfileFileName(kProfileGuid))) {
        read.cause = walked->cause;
        read.text = walked->text;
        return read;
    }
    read.cause = ReadProfileField(node.full_path(), kProfileGuid, &read.text);
    return read;
}

CGuidInfo GuidInfoOf(const CTreeNode& node, const CGuidRead& read) {
    CGuidInfo info;
    if (read.cause != FileErrorCause::None) {
        if (read.cause != FileErrorCause::FileNotFound)
            g_unread.push_back(NativePathOfNode(node, ProfileFileName(kProfileGuid)));
        return info;
    }
    CProfileGuid guid;
    bool complete = ParseGuidFileText(read.text, &guid);
    if (!guid.guid.empty()) info.guid = guid.guid;
    if (complete) info.revision = std::to_string(guid.major) + "." + std::to_string(guid.minor);
    return info;
}

CGuidInfo GuidInfoOf(const CTreeNode& node) {
    return GuidInfoOf(node, ReadGuidFile(node));
}

// Record field and save bit of each profile file that can be set: the seven
// texts and the Diagram, whose value is the path of the file to copy in.
struct CFieldBinding {
    std::string CProfileRecord::*field;
    unsigned mask;
};
const std::map<int, CFieldBinding>& FieldBindings() {
    static const std::map<int, CFieldBinding> bindings = [] {
        std::map<int, CFieldBinding> all;
        for (const CProfileTextField& text : ProfileTextFields()) {
            all[text.file_index] = {text.text, text.save_bit};
        }
        all[kProfileDiagram] = {&CProfileRecord::diagram_source_path, kSaveDiagram};
        return all;
    }();
    return bindings;
}

// "-" where the GUID file holds none.
tools::CJson JsonOfInfo(const std::string& value) {
    return value == "-" ? tools::CJson() : tools::CJson(value);
}

// One line of ls, read before anything is printed.
struct CListedNode {
    bool profile;
    std::string name;
    CGuidInfo info;
};

void CollectNodes(const CTreeNode* node, std::vector<CListedNode>* listed) {
    for (; node; node = node->next_sibling()) {
        const bool profile = node->IsProfile();
        listed->push_back({profile, NameOf(*node), profile ? GuidInfoOf(*node) : CGuidInfo{}});
        CollectNodes(node->first_child(), listed);
    }
}

void PrintNodes(const std::vector<CListedNode>& listed, tools::CJson* nodes) {
    for (const CListedNode& node : listed) {
        if (nodes) {
            tools::CJson entry = {{"kind", node.profile ? "profile" : "folder"},
                                  {"name", node.name}};
            if (node.profile) {
                entry["guid"] = JsonOfInfo(node.info.guid);
                entry["revision"] = JsonOfInfo(node.info.revision);
            }
            nodes->push_back(std::move(entry));
        } else if (node.profile) {
            std::printf("profile\t%s\t%s\t%s\n", node.name.c_str(), node.info.guid.c_str(),
                        node.info.revision.c_str());
        } else {
            std::printf("folder\t%s\n", node.name.c_str());
        }
    }
}

// Names what could not be read: the listing is then incomplete.
int ListResult(int status) {
    for (const std::string& path : g_unread) status = Fail("cannot read " + path);
    return status;
}

int List(const std::vector<std::string>& args) {
    if (!args.empty()) return Usage("ls takes no arguments");
    // The folders and every GUID file as they stood at one moment, read
    // again when a change met them, without keeping anyone's change waiting.
    std::vector<CListedNode> listed;
    CSettledTreeRead read(false);
    do {
        if (!read.Begin()) return ReportTreeLoadFailure();
        listed.clear();
        g_unread.clear();
        // Each GUID file is read by the walk, in the folder it holds open.
        if (!LoadProfileTree(false, {{ProfileFileName(kProfileGuid)}}))
            return ReportTreeLoadFailure();
        CollectNodes(CurrentTree(), &listed);
    } while (!read.Settled());
    read.Release();
    if (!g_json_recorder) {
        PrintNodes(listed, nullptr);
        return ListResult(kExitOk);
    }
    tools::CJson document = {{"root", Root()}, {"nodes", tools::CJson::array()}};
    PrintNodes(listed, &document["nodes"]);
    return ListResult(tools::PrintJson(document) ? kExitOk : Fail("cannot write the list"));
}

int MakeFolder(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("mkfolder takes one PARENT");
    CTreeNode* parent = ResolveFolder(args[0]);
    if (!parent) return kExitFailure;
    CTreeNode* node = MakeNewFolder(parent);
    if (!node) return Fail("no new folder was made");
    std::printf("%s\n", NameOf(*node).c_str());
    return kExitOk;
}

int MakeProfile(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("mkprofile takes one PARENT");
    CTreeNode* parent = ResolveFolder(args[0]);
    if (!parent) return kExitFailure;
    CTreeNode* node = CreateOrCopyProfile(parent, std::nullopt, false);
    if (!node) return Fail("no new profile was made");
    std::printf("%s\n", NameOf(*node).c_str());
    return kExitOk;
}

int Copy(const std::vector<std::string>& args) {
    std::vector<std::string> nodes;
    bool keep_guid = false;
    for (const std::string& arg : args) {
        if (arg == "--keep-guid") {
            keep_guid = true;
        } else if (arg.starts_with("--")) {
            return Usage("cp does not know " + arg);
        } else {
            nodes.push_back(arg);
        }
    }
    if (nodes.size() != 2) return Usage("cp takes SOURCE and PARENT");
    CTreeNode* source = ResolveProfile(nodes[0]);
    CTreeNode* parent = source ? ResolveFolder(nodes[1]) : nullptr;
    if (!parent) return kExitFailure;
    CTreeNode* node = CreateOrCopyProfile(parent, source->full_path(), keep_guid);
    if (!node) return Fail("the profile was not copied");
    std::printf("%s\n", NameOf(*node).c_str());
    return kExitOk;
}

int Move(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("mv takes NODE and NEWNAME");
    CTreeNode* node = ResolveNode(args[0]);
    if (!node) return kExitFailure;
    if (!RenameNode(node, args[1])) return Fail("'" + args[0] + "' was not renamed");
    std::printf("%s\n", NameOf(*node).c_str());
    return kExitOk;
}

// The names of a node and of every node below it, the node first.
void CollectNames(const CTreeNode& node, std::vector<std::string>* names, int* profiles) {
    names->push_back(NameOf(node));
    if (node.IsProfile()) ++*profiles;
    for (const CTreeNode* child = node.first_child(); child; child = child->next_sibling())
        CollectNames(*child, names, profiles);
}

int Remove(const std::vector<std::string>& args) {
    bool recursive = false, dry_run = false;
    std::vector<std::string> nodes;
    for (const std::string& arg : args) {
        if (arg == "-r" || arg == "--recursive") {
            recursive = true;
        } else if (arg == "-n" || arg == "--dry-run") {
            dry_run = true;
        } else if (arg.starts_with("-")) {
            return Usage("rm: " + tools::UnknownWordText("option", arg, {"-r", "--dry-run"}));
        } else {
            nodes.push_back(arg);
        }
    }
    if (nodes.size() != 1) return Usage("rm takes [-r] [--dry-run] NODE");
    CTreeNode* node = ResolveNode(nodes[0]);
    if (!node) return kExitFailure;
    std::vector<std::string> names;
    int profiles = 0;
    CollectNames(*node, &names, &profiles);
    // A shared tree: a folder's profiles go only when that was meant.
    if (!node->IsProfile() && profiles > 0 && !recursive && !dry_run)
        return Fail("'" + nodes[0] + "' is a folder holding " + std::to_string(profiles) +
                    (profiles == 1 ? " profile" : " profiles") +
                    "; remove it with rm -r (see what would go with rm --dry-run)");
    if (!dry_run && !DeleteNode(node)) return Fail("'" + nodes[0] + "' was not removed");
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        std::printf("%s %s\n", dry_run ? "would remove" : "removed", name->c_str());
    return kExitOk;
}

void PrintField(const char* title, const std::string& text) {
    std::printf("--- %s\n%s", title, text.c_str());
    if (!text.empty() && text.back() != '\n') std::printf("\n");
}

int Show(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("show takes one PROFILE");
    CTreeNode* node = ResolveProfile(args[0]);
    if (!node) return kExitFailure;
    // The fields and the GUID file as they stood at one moment.
    CGuidInfo info;
    CSettledTreeRead read(false, &node);
    do {
        if (!read.Begin() || !LoadProfile(node)) return kExitFailure;
        info = GuidInfoOf(*node);
    } while (!read.Settled());
    read.Release();
    const CProfileRecord& record = *node->profile_record();
    const std::string diagram = NativePathOfNode(*node, ProfileFileName(kProfileDiagram));
    std::vector<std::string> staged;
    for (const auto& [index, value] : CStagedFields(Root(), NameOf(*node)).Load())
        staged.push_back(ProfileFileName(index));
    if (g_json_recorder) {
        tools::CJson document = {
            {"profile", NameOf(*node)},
            {"guid", JsonOfInfo(info.guid)},
            {"revision", JsonOfInfo(info.revision)},
            {"read_only", record.read_only},
            {"all_empty", record.all_empty},
            {"diagram", IsRegularFile(diagram) ? tools::CJson(diagram) : tools::CJson()},
            {"staged", staged},
            {"fields", tools::CJson::object()}};
        for (const CProfileTextField& field : ProfileTextFields())
            document["fields"][ProfileFileName(field.file_index)] = record.*field.text;
        return tools::PrintJson(document) ? kExitOk : Fail("cannot write the profile");
    }
    std::printf("profile\t%s\n", NameOf(*node).c_str());
    std::printf("guid\t%s\nrevision\t%s\n", info.guid.c_str(), info.revision.c_str());
    std::printf("read only\t%s\nall empty\t%s\n", record.read_only ? "yes" : "no",
                record.all_empty ? "yes" : "no");
    std::printf("diagram\t%s\n", IsRegularFile(diagram) ? diagram.c_str() : "-");
    std::string staged_names;
    for (const std::string& name : staged)
        staged_names += (staged_names.empty() ? "" : ", ") + name;
    if (!staged.empty()) std::printf("staged\t%s\n", staged_names.c_str());
    for (const CProfileTextField& field : ProfileTextFields()) {
        PrintField(ProfileFileName(field.file_index), record.*field.text);
    }
    return kExitOk;
}

// A Rules text that the composition could not use is refused where it is
// written, not at every user's next association.
bool RulesUsable(const std::string& rules, const std::string& source) {
    const std::optional<CRulesProblem> problem = CheckProfileRules(rules);
    if (!problem) return true;
    Fail("Rules refused, nothing was changed: " + source + ", line " +
         std::to_string(problem->line) + ": " + problem->reason +
         " (vptree rules PROFILE --private FILE --profile FILE writes them)");
    return false;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream read;
    read << in.rdbuf();
    *text = read.str();
    return !in.bad();
}

// The Rules that the next save writes: the ones set, else the saved ones.
bool CurrentRules(const CTreeNode& node, std::string* rules) {
    const std::map<int, std::string> staged = CStagedFields(Root(), NameOf(node)).Load();
    if (auto found = staged.find(kProfileRules); found != staged.end()) {
        *rules = found->second;
        return true;
    }
    const FileErrorCause read = ReadProfileField(node.full_path(), kProfileRules, rules);
    return read == FileErrorCause::None || read == FileErrorCause::FileNotFound;
}

std::string WithoutCr(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

int Rules(const std::vector<std::string>& args) {
    std::optional<std::string> private_file, profile_file;
    bool show = false;
    std::vector<std::string> nodes;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--private" || args[i] == "--profile") && i + 1 < args.size()) {
            (args[i] == "--private" ? private_file : profile_file) = args[i + 1];
            ++i;
        } else if (args[i] == "--show") {
            show = true;
        } else if (args[i].starts_with("-")) {
            return Usage("rules: " + tools::UnknownWordText("option", args[i],
                                                            {"--private", "--profile", "--show"}));
        } else {
            nodes.push_back(args[i]);
        }
    }
    if (nodes.size() != 1 || show == (private_file || profile_file) ||
        (!show && !(private_file && profile_file)))
        return Usage("rules takes PROFILE (--private FILE --profile FILE | --show)");
    if (show) {
        CTreeNode* node = ResolveProfile(nodes[0]);
        if (!node) return kExitFailure;
        std::string rules;
        if (!CurrentRules(*node, &rules))
            return Fail("cannot read the Rules of '" + nodes[0] + "'");
        CProfileRulesParts parts;
        if (SplitProfileRules(rules, &parts) != ERulesSplit::kOk)
            return Fail("the Rules of '" + nodes[0] + "' have no profile header or end marker");
        for (const auto& [title, part] : {std::pair{"private rules", parts.private_rules},
                                          std::pair{"profile rules", parts.profile_rules}})
            PrintField(title, WithoutCr(TrimSpace(part)));
        return kExitOk;
    }
    std::string private_rules, profile_rules;
    for (const auto& [path, text] :
         {std::pair{&*private_file, &private_rules}, std::pair{&*profile_file, &profile_rules}})
        if (!ReadWholeFile(*path, text)) return Fail("cannot read " + *path);
    const std::string rules = FormatProfileRules(private_rules, profile_rules);
    if (!RulesUsable(rules, "the built Rules")) return kExitFailure;
    std::string name;
    if (!StagingName(nodes[0], &name)) return kExitFailure;
    if (!CStagedFields(Root(), name).Stage(kProfileRules, rules))
        return Fail("cannot keep the value for the next save");
    return kExitOk;
}

int Set(const std::vector<std::string>& args) {
    if (args.size() != 4 || (args[2] != "--text" && args[2] != "--file")) {
        return Usage("set takes PROFILE FIELD (--text TEXT | --file FILE)");
    }
    const int index = FieldIndexOfName(args[1]);
    if (index < 0) return Usage("no field '" + args[1] + "' to set");
    std::string value = args[3];
    if (index == kProfileDiagram) {
        if (args[2] != "--file") return Usage("the Diagram is set from a file");
        std::error_code ec;
        // The save copies in a regular file and follows no link, so keep its target.
        value =
            std::filesystem::weakly_canonical(std::filesystem::absolute(args[3], ec), ec).string();
        if (!IsRegularFile(value)) return Fail("no file " + args[3]);
    } else if (args[2] == "--file") {
        std::ifstream in(args[3], std::ios::binary);
        if (!in) return Fail("cannot read " + args[3]);
        std::ostringstream text;
        text << in.rdbuf();
        value = text.str();
    }
    if (index == kProfileRules && !RulesUsable(value, args[2] == "--file" ? args[3] : "the text"))
        return kExitFailure;
    std::string name;
    if (!StagingName(args[0], &name)) return kExitFailure;
    if (!CStagedFields(Root(), name).Stage(index, value))
        return Fail("cannot keep the value for the next save");
    return kExitOk;
}

int Save(const std::vector<std::string>& args) {
    std::string new_name;
    std::vector<std::string> nodes;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size()) {
            new_name = args[++i];
        } else if (args[i].starts_with("--")) {
            return Usage("save takes PROFILE [--name NEWNAME]");
        } else {
            nodes.push_back(args[i]);
        }
    }
    if (nodes.size() != 1) return Usage("save takes PROFILE [--name NEWNAME]");
    // A name that says by itself which folder it means costs no walk to it:
    // under the lock the save checks that one folder (there, reached without
    // links, a profile). Otherwise, or when it is not so, the way to the
    // profile is read as for every command, and says what is wrong.
    const std::string place = new_name.empty() ? OnlyPlace(nodes[0]) : std::string();
    CTreeNode* node = place.empty() ? ResolveProfile(nodes[0]) : AdoptKnownProfile(place, nullptr);
    if (!node) return kExitFailure;
    // Only the fields set are written: the others are not read.
    CProfileRecord record;
    const auto read_only = [&](bool busy) -> int {
        // The quick way named no tree yet: a tree or profile that is not
        // there is told as every command tells it, not as a refusal.
        if (!busy && !place.empty()) {
            ReplaceCurrentTree(nullptr, CTreeNodeArena());
            if (!ResolveProfile(nodes[0])) return kExitFailure;
        }
        return Fail(busy ? "the View Profile tree is in use by other users; '" + nodes[0] +
                               "' was not saved (try again later; the values set for it are kept)"
                         : "'" + nodes[0] + "' cannot be changed by you");
    };
    // A save that is refused before it starts says first whether it could
    // have been made at all; a save that starts learns that from its lock.
    const auto refused_before = [&]() {
        bool busy = false;
        return IsProfileReadOnly(*node, &busy) ? read_only(busy) : kExitOk;
    };
    const CStagedFields staged(Root(), NameOf(*node));
    const std::map<int, std::string> values = staged.Load();
    if (values.empty() && new_name.empty()) {
        if (const int status = refused_before()) return status;
        return Fail("nothing was set for '" + nodes[0] + "' (vptree set), so nothing was saved");
    }
    unsigned mask = kSaveNothing;
    for (const auto& [index, value] : values) {
        if (index == kProfileRules && CheckProfileRules(value)) {
            if (const int status = refused_before()) return status;
            RulesUsable(value, "the Rules set");
            return kExitFailure;
        }
        const CFieldBinding& binding = FieldBindings().at(index);
        record.*binding.field = value;
        mask |= binding.mask;
    }
    // Staged values stay until a save has written them.
    ESaveOutcome outcome = SaveProfile(node, record, mask, new_name, false, true);
    if (outcome == ESaveOutcome::kConflict && !place.empty()) {
        ReplaceCurrentTree(nullptr, CTreeNodeArena());
        node = ResolveProfile(nodes[0]);
        if (!node) return kExitFailure;
        outcome = SaveProfile(node, record, mask, new_name, false, true);
    }
    switch (outcome) {
        case ESaveOutcome::kConflict:
            ReportStoreError(LoadString(IDS_TREE_CONFLICT), false);
            return Fail("'" + nodes[0] + "' was not saved; the values set for it are kept");
        case ESaveOutcome::kReadOnly:
            return read_only(false);
        case ESaveOutcome::kTreeBusy:
            return read_only(true);
        case ESaveOutcome::kNotSaved:
            return Fail("'" + nodes[0] + "' was not saved; the values set for it are kept");
        case ESaveOutcome::kSavedUnnamed:
            staged.Clear(values);
            return Fail("'" + nodes[0] + "' was saved but keeps its name; it was not renamed to '" +
                        new_name + "'");
        case ESaveOutcome::kDeleted:
            staged.Clear(values);
            return Fail("'" + nodes[0] + "' was deleted");
        case ESaveOutcome::kSaved:
            break;
    }
    staged.Clear(values);
    std::printf("%s\n", NameOf(*node).c_str());
    return kExitOk;
}

using CCommand = int (*)(const std::vector<std::string>&);
const std::map<std::string, CCommand>& Commands() {
    static const std::map<std::string, CCommand> commands = {
        {"ls", &List},
        {"mkfolder", &MakeFolder},
        {"mkprofile", &MakeProfile},
        {"cp", &Copy},
        {"mv", &Move},
        {"rm", &Remove},
        {"show", &Show},
        {"diff", &Diff},
        {"log", &Log},
        {"restore", &Restore},
        {"set", &Set},
        {"save", &Save},
        {"rules", &Rules},
    };
    return commands;
}

}  // namespace

CTreeNode* ResolveProfileArgument(const std::string& argument) {
    return ResolveProfile(argument);
}

std::string ProfileNameOf(const CTreeNode& node) {
    return NameOf(node);
}

bool RulesUsableForSave(const std::string& rules, const std::string& source) {
    return RulesUsable(rules, source);
}

bool JsonOutputInUse() {
    return g_json_recorder != nullptr;
}

void UseJsonOutput(const CConsoleUserInterface* recorder) {
    g_json_recorder = recorder;
}

int ReportFailure(const std::string& text) {
    return Fail(text);
}

int ReportTreeLoadFailure() {
    return g_json_recorder ? Fail("cannot load the View Profile tree") : kExitFailure;
}

bool NeedsWholeTree(const std::string& command) {
    // ls reads it itself; the commands on one profile read only the way to it.
    return command != "ls" && command != "show" && command != "set" && command != "save" &&
           command != "rules" && command != "diff";
}

int ReportUsageError(const std::string& text) {
    return Usage(text);
}

bool IsTreeCommand(const std::string& command) {
    return Commands().count(command) != 0;
}

int RunTreeCommand(const std::string& command, const std::vector<std::string>& args) {
    auto it = Commands().find(command);
    if (it == Commands().end()) return Usage("no command '" + command + "'");
    return it->second(args);
}

std::vector<std::string> TreeCommandNames() {
    std::vector<std::string> names;
    for (const auto& [name, run] : Commands()) names.push_back(name);
    return names;
}

}  // namespace kelmora::vptree
