#include "unified_diff.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace kelmora::tools {

namespace {

constexpr size_t kContext = 3;
// Beyond this many differences the rest is shown as removed and added whole:
// still a correct diff, and the search's memory stays bounded.
constexpr long kMaxEditDistance = 4000;

struct CLine {
    std::string_view text;  // without the line end (a CR stays when line ends count)
    bool ended = true;      // it had an LF
    bool operator==(const CLine& other) const { return text == other.text && ended == other.ended; }
};

std::vector<CLine> SplitLines(std::string_view text, bool line_ends_count) {
    std::vector<CLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        CLine line;
        line.ended = end != std::string_view::npos;
        if (!line.ended) end = text.size();
        line.text = text.substr(start, end - start);
        if (line.ended && !line_ends_count && line.text.ends_with('\r')) line.text.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

enum class EOp { kKeep, kRemove, kAdd };

// The shortest edit script between a and b (Myers' O(ND) search), as one
// operation per line: keep (a line of both), remove (of a), add (of b).
std::vector<EOp> EditScript(const std::vector<CLine>& a, const std::vector<CLine>& b) {
    const long n = static_cast<long>(a.size()), m = static_cast<long>(b.size());
    const long max = std::min(n + m, kMaxEditDistance);
    // trace[d] holds the furthest x on each diagonal k = x - y, -d <= k <= d, after d edits.
    std::vector<std::vector<long>> trace;
    std::vector<long> v(2 * max + 3, 0);
    const long offset = max + 1;
    long found = -1;
    for (long d = 0; d <= max && found < 0; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]))
                         ? v[offset + k + 1]
                         : v[offset + k - 1] + 1;
            long y = x - k;
            while (x < n && y < m && a[x] == b[y]) ++x, ++y;
            v[offset + k] = x;
            if (x >= n && y >= m) found = d;
        }
        trace.emplace_back(v.begin() + offset - d, v.begin() + offset + d + 1);
    }
    std::vector<EOp> ops;
    if (found < 0) {
        // Too far apart: every line of a goes, every line of b comes.
        ops.assign(n, EOp::kRemove);
        ops.insert(ops.end(), m, EOp::kAdd);
        return ops;
    }
    long x = n, y = m;
    for (long d = found; d > 0; --d) {
        const std::vector<long>& prev = trace[d - 1];  // diagonals -(d-1)..d-1
        const long k = x - y;
        auto at = [&](long diagonal) { return prev[diagonal + d - 1]; };
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const long prev_k = down ? k + 1 : k - 1;
        const long prev_x = at(prev_k), prev_y = prev_x - prev_k;
        while (x > prev_x + (down ? 0 : 1) && y > prev_y + (down ? 1 : 0)) {
            ops.push_back(EOp::kKeep);
            --x, --y;
        }
        ops.push_back(down ? EOp::kAdd : EOp::kRemove);
        x = prev_x;
        y = prev_y;
    }
    while (x > 0 && y > 0) {
        ops.push_back(EOp::kKeep);
        --x, --y;
    }
    std::reverse(ops.begin(), ops.end());
    return ops;
}

// "-start,count" as diff writes it: the count is left out when it is 1, and
// an empty range names the line before it.
std::string Range(char sign, size_t first, size_t count) {
    std::string text(1, sign);
    text += std::to_string(count == 0 ? first : first + 1);
    if (count != 1) text += "," + std::to_string(count);
    return text;
}

void AppendLine(std::string* out, char sign, const CLine& line) {
    *out += sign;
    // A CR that counts is shown as cat -v shows it on a line that changed.
    if (line.text.ends_with('\r')) {
        *out += line.text.substr(0, line.text.size() - 1);
        if (sign != ' ') *out += "^M";
    } else {
        *out += line.text;
    }
    *out += '\n';
    if (!line.ended) *out += "\\ No newline at end of file\n";
}

}  // namespace

std::string UnifiedDiff(const std::string& old_text, const std::string& new_text,
                        const std::string& old_label, const std::string& new_label,
                        bool line_ends_count) {
    const std::vector<CLine> a = SplitLines(old_text, line_ends_count),
                             b = SplitLines(new_text, line_ends_count);
    const std::vector<EOp> ops = EditScript(a, b);
    std::string out;
    // Walks the script; a hunk runs from a change, with its context, until
    // more than twice the context of kept lines lies between two changes.
    size_t op = 0, ai = 0, bi = 0;
    while (op < ops.size()) {
        size_t change = op;
        size_t ca = ai, cb = bi;
        while (change < ops.size() && ops[change] == EOp::kKeep) ++change, ++ca, ++cb;
        if (change == ops.size()) break;
        const size_t lead = std::min(kContext, change - op);
        size_t start = change - lead, sa = ca - lead, sb = cb - lead;
        size_t end = change, ea = ca, eb = cb;
        for (size_t kept = 0; end < ops.size(); ++end) {
            if (ops[end] == EOp::kKeep) {
                if (++kept > 2 * kContext) break;
            } else {
                kept = 0;
            }
            if (ops[end] != EOp::kAdd) ++ea;
            if (ops[end] != EOp::kRemove) ++eb;
        }
        // Trailing context beyond kContext kept lines belongs to no hunk.
        while (end > start && ops[end - 1] == EOp::kKeep) --end, --ea, --eb;
        const size_t trail = std::min(kContext, ops.size() - end);
        end += trail, ea += trail, eb += trail;
        if (out.empty()) out = "--- " + old_label + "\n+++ " + new_label + "\n";
        out += "@@ " + Range('-', sa, ea - sa) + " " + Range('+', sb, eb - sb) + " @@\n";
        for (size_t i = start, x = sa, y = sb; i < end; ++i) {
            switch (ops[i]) {
                case EOp::kKeep:
                    AppendLine(&out, ' ', a[x++]);
                    ++y;
                    break;
                case EOp::kRemove:
                    AppendLine(&out, '-', a[x++]);
                    break;
                case EOp::kAdd:
                    AppendLine(&out, '+', b[y++]);
                    break;
            }
        }
        op = end, ai = ea, bi = eb;
    }
    return out;
}

}  // namespace kelmora::tools
