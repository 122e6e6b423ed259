#include "client/cfs_grammar.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <utility>

namespace kelmora {

namespace {

constexpr std::size_t kMaxQuotedLength = 40;

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7f;
}

// What ends an unquoted token, by byte: a blank, or a control character
// (which is an error). One look per byte of the text.
enum class ECharClass : unsigned char { Word, Blank, Control };
constexpr std::array<ECharClass, 256> kCharClasses = [] {
    std::array<ECharClass, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        classes[static_cast<std::size_t>(c)] = IsBlank(ch)     ? ECharClass::Blank
                                               : IsControl(ch) ? ECharClass::Control
                                                               : ECharClass::Word;
    }
    return classes;
}();
ECharClass ClassOf(char c) {
    return kCharClasses[static_cast<unsigned char>(c)];
}

// A set of bytes looked up in one step (a search for any of a few characters
// would otherwise search the set once per byte of the text).
class CByteSet {
public:
    constexpr explicit CByteSet(std::string_view members) {
        for (char c : members) bits_[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool Has(char c) const { return bits_[static_cast<unsigned char>(c)]; }
    constexpr bool AnyIn(std::string_view text) const {
        for (char c : text) {
            if (Has(c)) return true;
        }
        return false;
    }

private:
    std::array<bool, 256> bits_{};
};

constexpr CByteSet kPatternForbidden("\"<>|");
constexpr CByteSet kSeparators("\\/");
constexpr CByteSet kNameForbidden("\\/:*?\"<>|");

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char ToLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    }
    return true;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

// Reasons quote what the user wrote; a runaway token must not make the message unreadable.
std::string Quoted(std::string_view text) {
    std::string shown(text.substr(0, kMaxQuotedLength));
    if (text.size() > kMaxQuotedLength) shown += "...";
    return "\"" + shown + "\"";
}

int ClampToInt(std::size_t value) {
    return value > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
    static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // Without a year the date recurs every year, so 29 February stays possible.
    if (month == 2 && year != 0 && !IsLeapYear(year)) return 28;
    return kDays[static_cast<std::size_t>(month - 1)];
}

int MonthFromName(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kNames = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (EqualsIgnoringCase(name, kNames[i]) ||
            EqualsIgnoringCase(name, kNames[i].substr(0, 3))) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// Reads between min_digits and max_digits decimal digits at pos.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t min_digits,
                std::size_t max_digits, int& value) {
    std::size_t count = 0;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && count < max_digits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++count;
    }
    if (count < min_digits) return false;
    // One digit more than allowed is a malformed field, not the start of the next one.
    return pos >= text.size() || !IsDigit(text[pos]);
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

struct CToken {
    std::string_view raw;    // as written, quotes included
    std::string_view value;  // quotes removed
    std::size_t offset = 0;
    bool quoted = false;
};

// The texts of the rule being parsed, as views of the config spec: they
// become strings only in a rule that is kept.
struct CRuleTexts {
    std::string_view element_type;
    std::string_view pattern;
    std::string_view selector;
    std::string_view selector_branch;
    std::string_view selector_version;
    std::string_view branch;
    std::string_view time_text;
    std::string_view path;
};

std::string Joined(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size();
    std::string text;
    text.reserve(size);
    for (std::string_view part : parts) text += part;
    return text;
}

class CCfsParser {
public:
    explicit CCfsParser(bool keep_rules) : keep_rules_(keep_rules) {}

    CCfsParseResult Parse(std::string_view text) {
        // Room for every rule the text can hold, so that the rules are never
        // moved while they are made: at most one per line, and a rule line
        // ("load x") takes at least seven bytes with its line end. Room that
        // is not used is never touched.
        if (keep_rules_) {
            const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
            result_.rules.reserve(std::min(lines + 1, text.size() / 7 + 1));
        }
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line_number_ < INT_MAX) ++line_number_;
            if (!ParseLine(line)) return std::move(result_);
            start = end + 1;
        }
        return std::move(result_);
    }

private:
    bool Fail(std::size_t offset, std::string reason) {
        result_.ok = false;
        result_.line = line_number_;
        result_.column = ClampToInt(offset + 1);
        result_.reason = std::move(reason);
        return false;
    }
    bool Fail(const CToken& token, std::string reason) {
        return Fail(token.offset, std::move(reason));
    }
    // A missing token is reported just past the last token of the line.
    bool FailMissing(std::string reason) {
        const CToken& last = tokens_.back();
        return Fail(last.offset + last.raw.size(), std::move(reason));
    }

    bool Tokenize(std::string_view line) {
        tokens_.clear();
        std::size_t pos = 0;
        while (pos < line.size()) {
            const char c = line[pos];
            if (IsBlank(c)) {
                ++pos;
                continue;
            }
            if (c == '#') break;  // comment to the end of the line
            CToken token;
            token.offset = pos;
            if (c == '"') {
                const std::size_t close = line.find('"', pos + 1);
                if (close == std::string_view::npos) {
                    return Fail(pos, "Unterminated quoted string.");
                }
                for (std::size_t i = pos + 1; i < close; ++i) {
                    if (IsControl(line[i])) return Fail(i, "Invalid control character.");
                }
                if (close + 1 < line.size() && !IsBlank(line[close + 1])) {
                    return Fail(close + 1, "Expected a blank after the closing quote.");
                }
                token.quoted = true;
                token.raw = line.substr(pos, close + 1 - pos);
                token.value = line.substr(pos + 1, close - pos - 1);
                pos = close + 1;
            } else {
                std::size_t end = pos;
                ECharClass kind = ECharClass::Word;
                while (end < line.size() && (kind = ClassOf(line[end])) == ECharClass::Word) ++end;
                if (end < line.size() && kind == ECharClass::Control) {
                    return Fail(end, "Invalid control character.");
                }
                token.raw = line.substr(pos, end - pos);
                token.value = token.raw;
                pos = end;
            }
            tokens_.push_back(std::move(token));
        }
        return true;
    }

    bool ParseLine(std::string_view line) {
        if (!Tokenize(line)) return false;
        if (tokens_.empty()) return true;

        // A kept rule is made in its place in the result, and taken out
        // again when the line does not parse.
        if (keep_rules_) {
            result_.rules.emplace_back();
        } else {
            ResetScalars(scratch_);
        }
        CCfsRule& rule = keep_rules_ ? result_.rules.back() : scratch_;
        texts_ = CRuleTexts{};
        rule.line = line_number_;
        if (!ParseRule(rule)) {
            if (keep_rules_) result_.rules.pop_back();
            return false;
        }
        const bool opens_block =
            rule.kind == CCfsRule::Kind::MkBranch || rule.kind == CCfsRule::Kind::Time;
        if (opens_block) {
            open_blocks_.push_back({rule.kind, rule.line, texts_.branch, rule.time,
                                    texts_.time_text, result_.rules.size() - 1});
        }
        if (keep_rules_) KeepTexts(rule);
        return true;
    }

    // A rule that is not kept gets no texts: only the rest is made new.
    static void ResetScalars(CCfsRule& rule) {
        rule.kind = CCfsRule::Kind::Element;
        rule.filter = CCfsRule::Filter::Any;
        rule.selector_kind = CCfsRule::Selector::CheckedOut;
        rule.nocheckout = false;
        rule.override_branch = false;
        rule.has_time = false;
        rule.time = CCfsDate{};
        rule.end_line = 0;
    }

    // The rule's texts start empty; only those the rule has are copied.
    void KeepTexts(CCfsRule& rule) const {
        const std::pair<std::string*, std::string_view> texts[] = {
            {&rule.element_type, texts_.element_type},
            {&rule.pattern, texts_.pattern},
            {&rule.selector, texts_.selector},
            {&rule.selector_branch, texts_.selector_branch},
            {&rule.selector_version, texts_.selector_version},
            {&rule.branch, texts_.branch},
            {&rule.time_text, texts_.time_text},
            {&rule.path, texts_.path}};
        for (const auto& [field, text] : texts) {
            if (!text.empty()) field->assign(text);
        }
    }

    bool ParseRule(CCfsRule& rule) {
        const std::string_view keyword = tokens_[0].raw;
        if (keyword == "element") return ParseElement(rule);
        if (keyword == "mkbranch") return ParseMkBranch(rule);
        if (keyword == "time") return ParseTime(rule);
        if (keyword == "end") return ParseEnd(rule);
        if (keyword == "load" || keyword == "include") {
            rule.kind = keyword == "load" ? CCfsRule::Kind::Load : CCfsRule::Kind::Include;
            return ParsePathRule();
        }
        return Fail(tokens_[0], "Unknown rule keyword " + Quoted(keyword) + ".");
    }

    bool ParseElement(CCfsRule& rule) {
        rule.kind = CCfsRule::Kind::Element;
        std::size_t k = 1;
        if (k < tokens_.size() && !tokens_[k].quoted && tokens_[k].raw.starts_with('-')) {
            const CToken& option = tokens_[k];
            if (option.raw == "-file") {
                rule.filter = CCfsRule::Filter::File;
            } else if (option.raw == "-directory") {
                rule.filter = CCfsRule::Filter::Directory;
            } else if (option.raw == "-eltype") {
                rule.filter = CCfsRule::Filter::ElementType;
                if (++k >= tokens_.size()) {
                    return FailMissing("Missing element type name after \"-eltype\".");
                }
                if (!IsValidCfsName(tokens_[k].raw)) {
                    return Fail(tokens_[k],
                                "Invalid element type name " + Quoted(tokens_[k].raw) + ".");
                }
                texts_.element_type = tokens_[k].value;
            } else {
                return Fail(option, "Unknown element option " + Quoted(option.raw) + ".");
            }
            ++k;
        }

        if (k >= tokens_.size()) return FailMissing("Missing path pattern.");
        const CToken& pattern = tokens_[k];
        if (!pattern.quoted && pattern.raw.starts_with('-')) {
            if (pattern.raw == "-file" || pattern.raw == "-directory" || pattern.raw == "-eltype") {
                return Fail(pattern, "Only one of -file, -directory and -eltype may be given.");
            }
            return Fail(pattern, "Unknown element option " + Quoted(pattern.raw) + ".");
        }
        if (pattern.value.empty() || kPatternForbidden.AnyIn(pattern.value)) {
            return Fail(pattern, "Invalid path pattern " + Quoted(pattern.raw) + ".");
        }
        texts_.pattern = pattern.value;
        ++k;

        if (k >= tokens_.size()) return FailMissing("Missing version selector.");
        if (!ParseSelector(tokens_[k], rule)) return false;
        ++k;

        bool has_mkbranch = false;
        bool has_nocheckout = false;
        const CToken* override_option = nullptr;
        for (; k < tokens_.size(); ++k) {
            const CToken& option = tokens_[k];
            const auto duplicate = [&] {
                return Fail(option, "Option " + Quoted(option.raw) + " is given twice.");
            };
            if (option.raw == "-time") {
                if (rule.has_time) return duplicate();
                if (++k >= tokens_.size()) return FailMissing("Missing date after \"-time\".");
                if (!ParseDateToken(tokens_[k], rule)) return false;
            } else if (option.raw == "-mkbranch") {
                if (has_mkbranch) return duplicate();
                has_mkbranch = true;
                if (++k >= tokens_.size()) {
                    return FailMissing("Missing branch name after \"-mkbranch\".");
                }
                if (!ParseBranchName(tokens_[k], "-mkbranch")) return false;
            } else if (option.raw == "-override") {
                if (override_option != nullptr) return duplicate();
                override_option = &option;
                rule.override_branch = true;
            } else if (option.raw == "-nocheckout") {
                if (has_nocheckout) return duplicate();
                has_nocheckout = true;
                rule.nocheckout = true;
            } else if (!option.quoted && option.raw.starts_with('-')) {
                return Fail(option, "Unknown element option " + Quoted(option.raw) + ".");
            } else {
                return Fail(option,
                            "Unexpected " + Quoted(option.raw) + " after the version selector.");
            }
        }
        if (override_option != nullptr && !has_mkbranch) {
            return Fail(*override_option, "\"-override\" needs \"-mkbranch\".");
        }
        return true;
    }

    bool ParseSelector(const CToken& token, CCfsRule& rule) {
        const std::string_view raw = token.raw;
        texts_.selector = raw;
        if (!token.quoted && raw.starts_with('-')) {
            return Fail(token, "Expected a version selector, found " + Quoted(raw) + ".");
        }
        if (raw == "CHECKEDOUT") {
            rule.selector_kind = CCfsRule::Selector::CheckedOut;
            return true;
        }
        if (kSeparators.AnyIn(raw) || raw.starts_with("...")) {
            rule.selector_kind = CCfsRule::Selector::Version;
            if (!ParseVersionPath(raw)) {
                return Fail(token, "Invalid version selector " + Quoted(raw) + ".");
            }
            return true;
        }
        if (raw == "LATEST") {
            return Fail(token, "\"LATEST\" needs a branch path, as in \\main\\LATEST.");
        }
        if (!IsValidCfsName(raw)) return Fail(token, "Invalid label name " + Quoted(raw) + ".");
        rule.selector_kind = CCfsRule::Selector::Label;
        return true;
    }

    // [\ | /] BRANCH {sep BRANCH} sep (LATEST | NUMBER), or the same after a leading "...".
    bool ParseVersionPath(std::string_view raw) {
        // A rooted path starts with an empty part; otherwise the path starts with "...".
        std::size_t end = 0;
        while (end < raw.size() && !IsSeparator(raw[end])) ++end;
        const std::string_view first = raw.substr(0, end);
        if (first != "" && first != "...") return false;
        // The parts after the first; each but the last is a branch name.
        std::string_view previous, part;
        std::size_t count = 0;
        while (end < raw.size()) {
            const std::size_t start = end + 1;
            end = start;
            while (end < raw.size() && !IsSeparator(raw[end])) ++end;
            if (count > 0 && !IsValidCfsName(part)) return false;
            previous = part;
            part = raw.substr(start, end - start);
            ++count;
        }
        if (count < 2) return false;
        if (part != "LATEST" && !AllDigits(part)) return false;
        texts_.selector_branch = previous;
        texts_.selector_version = part;
        return true;
    }

    bool ParseDateToken(const CToken& token, CCfsRule& rule) {
        std::string reason;
        if (!ParseCfsDate(token.raw, rule.time, reason)) return Fail(token, std::move(reason));
        rule.has_time = true;
        texts_.time_text = token.raw;
        return true;
    }

    bool ParseBranchName(const CToken& token, std::string_view after) {
        if (!token.quoted && token.raw.starts_with('-')) {
            return Fail(token, "Missing branch name after " + Quoted(after) + ".");
        }
        if (!IsValidCfsName(token.raw)) {
            return Fail(token, "Invalid branch name " + Quoted(token.raw) + ".");
        }
        texts_.branch = token.raw;
        return true;
    }

    bool RejectExtraTokens(std::size_t first_extra) {
        if (first_extra >= tokens_.size()) return true;
        const CToken& extra = tokens_[first_extra];
        return Fail(extra, "Unexpected " + Quoted(extra.raw) + " at the end of the rule.");
    }

    bool ParseMkBranch(CCfsRule& rule) {
        rule.kind = CCfsRule::Kind::MkBranch;
        if (tokens_.size() < 2) return FailMissing("Missing branch name after \"mkbranch\".");
        if (!ParseBranchName(tokens_[1], "mkbranch")) return false;
        std::size_t k = 2;
        if (k < tokens_.size() && tokens_[k].raw == "-override") {
            rule.override_branch = true;
            ++k;
        }
        return RejectExtraTokens(k);
    }

    bool ParseTime(CCfsRule& rule) {
        rule.kind = CCfsRule::Kind::Time;
        if (tokens_.size() < 2) return FailMissing("Missing date after \"time\".");
        if (!ParseDateToken(tokens_[1], rule)) return false;
        return RejectExtraTokens(2);
    }

    bool ParseEnd(CCfsRule& rule) {
        if (tokens_.size() < 2)
            return FailMissing("Missing \"mkbranch\" or \"time\" after \"end\".");
        const CToken& what = tokens_[1];
        const CToken* argument = tokens_.size() > 2 ? &tokens_[2] : nullptr;
        CCfsRule::Kind opening;
        std::string_view block_name;
        if (what.raw == "mkbranch") {
            rule.kind = CCfsRule::Kind::EndMkBranch;
            opening = CCfsRule::Kind::MkBranch;
            block_name = "mkbranch";
            if (argument != nullptr) {
                if (!IsValidCfsName(argument->raw)) {
                    return Fail(*argument, "Invalid branch name " + Quoted(argument->raw) + ".");
                }
                texts_.branch = argument->raw;
            }
        } else if (what.raw == "time") {
            rule.kind = CCfsRule::Kind::EndTime;
            opening = CCfsRule::Kind::Time;
            block_name = "time";
            if (argument != nullptr && !ParseDateToken(*argument, rule)) return false;
        } else {
            return Fail(what, "Unknown block " + Quoted(what.raw) +
                                  " after \"end\"; expected \"mkbranch\" or \"time\".");
        }
        if (!RejectExtraTokens(argument != nullptr ? 3 : 2)) return false;

        bool any_open = false;
        for (const COpenBlock& block : open_blocks_) {
            if (block.kind == opening) any_open = true;
        }
        if (!any_open) {
            return Fail(tokens_[0],
                        Joined({"\"end ", block_name, "\" has no matching \"", block_name, "\"."}));
        }
        const COpenBlock& open = open_blocks_.back();
        if (open.kind != opening) {
            const std::string_view inner =
                open.kind == CCfsRule::Kind::MkBranch ? "mkbranch" : "time";
            return Fail(tokens_[0],
                        Joined({"\"end ", block_name, "\" comes before the end of the \"", inner,
                                "\" block of line ", std::to_string(open.line), "."}));
        }
        if (argument != nullptr && rule.kind == CCfsRule::Kind::EndMkBranch &&
            texts_.branch != open.branch) {
            return Fail(*argument,
                        Joined({"\"end mkbranch ", texts_.branch, "\" does not match \"mkbranch ",
                                open.branch, "\" of line ", std::to_string(open.line), "."}));
        }
        if (argument != nullptr && rule.kind == CCfsRule::Kind::EndTime && rule.time != open.time) {
            return Fail(*argument,
                        Joined({"\"end time ", texts_.time_text, "\" does not match \"time ",
                                open.time_text, "\" of line ", std::to_string(open.line), "."}));
        }
        if (keep_rules_) result_.rules[open.index].end_line = line_number_;
        open_blocks_.pop_back();
        return true;
    }

    bool ParsePathRule() {
        const std::string_view keyword = tokens_[0].raw;
        if (tokens_.size() < 2) return FailMissing("Missing path after " + Quoted(keyword) + ".");
        const CToken& path = tokens_[1];
        if (path.value.empty() || path.value.find('"') != std::string_view::npos) {
            return Fail(path, "Invalid path " + Quoted(path.raw) + ".");
        }
        if (tokens_.size() > 2) {
            return Fail(tokens_[2], "Unexpected " + Quoted(tokens_[2].raw) +
                                        " after the path; quote a path that contains blanks.");
        }
        texts_.path = path.value;
        return true;
    }

    // A block that is open: what its end rule is checked against, and where
    // its rule is in the result when rules are kept.
    struct COpenBlock {
        CCfsRule::Kind kind;
        int line;
        std::string_view branch;
        CCfsDate time;
        std::string_view time_text;
        std::size_t index;
    };

    const bool keep_rules_;
    CCfsParseResult result_;
    CCfsRule scratch_;  // the rule of the line when rules are not kept
    CRuleTexts texts_;
    std::vector<CToken> tokens_;
    std::vector<COpenBlock> open_blocks_;  // innermost last
    int line_number_ = 0;
};

}  // namespace

bool IsValidCfsName(std::string_view name) {
    // A word that begins with "#" is a comment, and "..." stands for any
    // branches in a version selector: a config spec could not name either.
    if (name.empty() || name.front() == '-' || name.front() == '#' || name == "...") return false;
    for (char c : name) {
        if (IsBlank(c) || IsControl(c)) return false;
        if (kNameForbidden.Has(c)) return false;
    }
    return true;
}

bool ParseCfsDate(std::string_view text, CCfsDate& date, std::string& reason) {
    date = CCfsDate{};
    if (text == "now" || text == "today" || text == "yesterday") {
        date.kind = text == "now"     ? CCfsDate::Kind::Now
                    : text == "today" ? CCfsDate::Kind::Today
                                      : CCfsDate::Kind::Yesterday;
        return true;
    }
    // The reason is made only for a date that has one.
    const auto malformed = [&] {
        reason = "Invalid date " + Quoted(text) +
                 "; expected d-mon[-yyyy][.hh:mm[:ss]], now, today or yesterday.";
        return false;
    };
    date.kind = CCfsDate::Kind::Absolute;
    std::size_t pos = 0;
    if (!ReadNumber(text, pos, 1, 2, date.day) || !Expect(text, pos, '-')) return malformed();
    const std::size_t month_start = pos;
    while (pos < text.size() && ToLower(text[pos]) >= 'a' && ToLower(text[pos]) <= 'z') ++pos;
    if (pos == month_start) return malformed();
    date.month = MonthFromName(text.substr(month_start, pos - month_start));
    if (date.month == 0) {
        reason = "Unknown month in date " + Quoted(text) + ".";
        return false;
    }
    if (pos < text.size() && text[pos] == '-') {
        ++pos;
        if (!ReadNumber(text, pos, 4, 4, date.year) || date.year == 0) return malformed();
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        date.has_time_of_day = true;
        if (!ReadNumber(text, pos, 1, 2, date.hour) || !Expect(text, pos, ':') ||
            !ReadNumber(text, pos, 2, 2, date.minute))
            return malformed();
        if (pos < text.size() && text[pos] == ':' && !ReadNumber(text, ++pos, 2, 2, date.second))
            return malformed();
    }
    if (pos != text.size()) return malformed();
    if (date.day < 1 || date.day > DaysInMonth(date.month, date.year)) {
        reason = "Day out of range in date " + Quoted(text) + ".";
        return false;
    }
    if (date.hour > 23 || date.minute > 59 || date.second > 59) {
        reason = "Time of day out of range in date " + Quoted(text) + ".";
        return false;
    }
    return true;
}

std::string CCfsParseResult::Diagnostic() const {
    if (ok) return {};
    return "Syntax error on line " + std::to_string(line) + ", near column " +
           std::to_string(column) + ", " + reason;
}

CCfsParseResult ParseConfigSpecText(std::string_view text, bool keep_rules) {
    return CCfsParser(keep_rules).Parse(text);
}

}  // namespace kelmora
