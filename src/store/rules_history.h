#pragma once

#include <string>
#include <vector>

#include "platform/fs.h"

// The Rules history of a profile: every save of the Rules keeps the text it
// wrote, with the minor revision it got, in the hidden folder ".history" of
// the profile folder (which tree loads, copies and old clients pass over):
//   .history/index     one line per revision, oldest first:
//                      "MINOR\tTIME\tUSER@HOST\tADDED\tREMOVED\n", TIME in UTC
//                      ("2026-12-07T09:41:00Z"); "-" where a field is unknown
//   .history/rules.N   the Rules text of minor revision N, byte for byte
// The index is replaced whole (a hidden file renamed over it), so it is never
// read in part. Lines for revisions beyond the GUID file's minor number belong
// to a save that did not get its revision and are not in force.
namespace kelmora {

inline constexpr const char* kRulesHistoryFolderName = ".history";

struct CRulesRevision {
    unsigned long revision = 0;  // the minor number the save gave the profile
    std::string time_utc;        // "" when unknown
    std::string user_host;       // "user@host", "" when unknown
    int added = -1;              // lines added and removed against the
    int removed = -1;            // revision before; -1 when unknown
};

// Why a read failed: not_kept when the history does not hold what was asked
// (no history, a revision from before it began or dropped by the bound);
// otherwise the error number and the file that could not be read.
struct CRulesHistoryError {
    bool not_kept = false;
    int os_error = 0;
    std::string path;
};

// The revisions in force, newest first. A profile without history gives an
// empty list and true. profile_folder is the profile's folder held open. Both
// read the GUID file (to leave out lines not in force) and wait for another
// process that holds it, as every reader of a profile's files does.
bool ReadRulesHistory(const CFolder& profile_folder, std::vector<CRulesRevision>* newest_first,
                      CRulesHistoryError* error);
// The Rules text that the save of that minor revision wrote.
bool ReadRulesAtRevision(const CFolder& profile_folder, unsigned long revision, std::string* text,
                         CRulesHistoryError* error);
// The same for the profile folder by its native path (the last component no link).
bool ReadRulesHistory(const std::string& profile_folder, std::vector<CRulesRevision>* newest_first,
                      CRulesHistoryError* error);
bool ReadRulesAtRevision(const std::string& profile_folder, unsigned long revision,
                         std::string* text, CRulesHistoryError* error);

// Lines added and removed from old_text to new_text (lines end at '\n'; a CR
// is part of its line).
void CountChangedLines(const std::string& old_text, const std::string& new_text, int* added,
                       int* removed);

// The most revisions a history keeps, from the machine setting
// RulesHistoryLimit; 0 (unset) keeps all.
unsigned long RulesHistoryLimit();

// Writes the history entry of a save of new_rules, which is to raise the
// profile's minor number by one: under the tree lock for writing, before the
// save writes any file of the profile. The Rules
// that stand now start the history when it has no entry for them.
// True when written, and also when this user may not write the history or
// the GUID file gives no revision (nothing kept, *kept false); false with
// the error set otherwise, and the save must then write nothing.
// The save holds the GUID file and the Rules open and has read them:
// guid_text and old_rules are their texts. Without
// after_leftovers the history folder is not listed for what a killed save
// left there: the save found nothing of a killed save in the profile folder,
// where each save makes a file before it writes the history.
bool PrepareRulesHistoryEntry(const CFolder& profile_folder, const std::string& guid_text,
                              const std::string& old_rules, const std::string& new_rules,
                              bool after_leftovers, bool* kept, CRulesHistoryError* error);

// Makes the history agree with the Rules after a save that was cut, once the
// GUID file holds revision (the minor number): its entry holds the Rules that
// stand, and no line beyond it stays. A profile without history is left alone.
bool RepairRulesHistory(const CFolder& profile_folder, unsigned long revision);

}  // namespace kelmora
