#include "program.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef KELMORA_VERSION
#error "KELMORA_VERSION must be defined by the build"
#endif

namespace kelmora::tools {

namespace {

std::string& Name() {
    static std::string name = "kelmora";
    return name;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Edits (insert, delete, replace, swap of neighbours) from one text to the other.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

void SetProgramName(const char* name) {
    Name() = name;
}

const std::string& ProgramName() {
    return Name();
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", Name().c_str(), message.c_str());
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", Name().c_str(), message.c_str(),
                 Name().c_str());
    return kExitUsage;
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& valid) {
    const std::string lower = Lower(word);
    std::string nearest;
    // A third of the word may be wrong, and at least one letter.
    size_t best = std::max<size_t>(1, lower.size() / 3) + 1;
    for (const std::string& candidate : valid) {
        const size_t distance = EditDistance(lower, Lower(candidate));
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}

std::string UnknownWordText(const std::string& kind, const std::string& word,
                            const std::vector<std::string>& valid) {
    const std::string nearest = NearestWord(word, valid);
    return "unknown " + kind + " '" + word + "'" +
           (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)");
}

int UnknownWord(const std::string& kind, const std::string& word,
                const std::vector<std::string>& valid) {
    return UsageError(UnknownWordText(kind, word, valid));
}

int PrintVersion() {
    std::printf("%s %s\n", Name().c_str(), KELMORA_VERSION);
    return kExitOk;
}

bool NoInputRequested() {
    const char* value = std::getenv("KELMORA_NO_INPUT");
    return value && std::strcmp(value, "1") == 0;
}

void RequestNoInput() {
    setenv("KELMORA_NO_INPUT", "1", 1);
}

int FinishOutput(int exit_code) {
    // An error met while the buffer was written out earlier stays flagged.
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return exit_code;
    const int error = errno;
    PrintError(std::string("cannot write standard output: ") + std::strerror(error));
    return kExitFailed;
}

}  // namespace kelmora::tools
