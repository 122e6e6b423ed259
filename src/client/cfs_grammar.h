#pragma once

// Config spec grammar: turns the text of a config spec into a list of rules, or
// into the position and reason of its first syntax error. Pure text in, data
// out: no files, no output. docs/config-spec-language.md describes the language.

#include <string>
#include <string_view>
#include <vector>

namespace kelmora {

// A point in time as a config spec writes it: "7-Dec-2026.21:05:07", "now", ...
struct CCfsDate {
    enum class Kind { Absolute, Now, Today, Yesterday };
    Kind kind = Kind::Now;
    // Absolute only.
    int day = 0;
    int month = 0;  // 1..12
    int year = 0;   // 0 when the date names no year
    bool has_time_of_day = false;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const CCfsDate&) const = default;
};

struct CCfsRule {
    enum class Kind { Element, MkBranch, EndMkBranch, Time, EndTime, Load, Include };
    enum class Filter { Any, File, Directory, ElementType };
    enum class Selector { CheckedOut, Version, Label };

    Kind kind = Kind::Element;
    int line = 0;  // 1-based

    // element
    Filter filter = Filter::Any;
    std::string element_type;  // Filter::ElementType
    std::string pattern;       // quotes removed
    Selector selector_kind = Selector::CheckedOut;
    std::string selector;          // as written
    std::string selector_branch;   // Version: the branch that the path ends in
    std::string selector_version;  // Version: "LATEST" or the version number
    bool nocheckout = false;

    // element -mkbranch, mkbranch, end mkbranch (empty when end mkbranch names none)
    std::string branch;
    bool override_branch = false;  // -override

    // element -time, time, end time (has_time false when end time names no date)
    bool has_time = false;
    std::string time_text;  // as written
    CCfsDate time;

    // mkbranch, time: line of the matching end rule; 0 when the block runs to the end of the text
    int end_line = 0;

    // load, include: quotes removed
    std::string path;
};

struct CCfsParseResult {
    bool ok = true;
    int line = 0;    // 1-based position of the offending token when !ok
    int column = 0;  // in bytes; a tab counts as one column
    std::string reason;
    // Every rule when ok; the rules before the error otherwise.
    std::vector<CCfsRule> rules;

    // "Syntax error on line N, near column M, " + reason; empty when ok.
    std::string Diagnostic() const;
};

// Without keep_rules only the verdict is wanted: the result holds no rules,
// which keeps the check of a long config spec cheap.
CCfsParseResult ParseConfigSpecText(std::string_view text, bool keep_rules = true);

// Exposed for the editors that offer or check dates and names on their own.
bool ParseCfsDate(std::string_view text, CCfsDate& date, std::string& reason);
bool IsValidCfsName(std::string_view name);

}  // namespace kelmora
