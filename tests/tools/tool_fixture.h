#pragma once

// Running a program of this build, and what a run printed.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/test_env.h"

namespace kelmora::test {

// Runs a program of this build with these arguments and standard input.
inline CCommandOutput RunProgram(const std::string& program, std::vector<std::string> args,
                                 const std::string& input = "") {
    args.insert(args.begin(), BuiltProgram(program));
    return RunCommand(args, input);
}

// viewprofile on a view (no view with an empty tag), with these arguments and input.
inline CCommandOutput OnView(const std::string& tag, const std::vector<std::string>& args,
                             const std::string& input = "") {
    std::vector<std::string> argv;
    if (!tag.empty()) argv = {"--view", tag};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram("viewprofile", argv, input);
}

// Whether the text holds the part; either way the message shows the text.
inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    auto result = text.find(part) != std::string::npos ? ::testing::AssertionSuccess()
                                                       : ::testing::AssertionFailure();
    return result << "'" << part << "' in:\n" << text;
}

// The text with each token replaced by its name wherever it stands.
inline std::string Named(std::string text,
                         const std::vector<std::pair<std::string, std::string>>& names) {
    for (const auto& [token, name] : names)
        for (size_t at = 0; (at = text.find(token, at)) != std::string::npos; at += name.size())
            text.replace(at, token.size(), name);
    return text;
}

// What a run printed; for a failed one, its exit status and standard error.
inline std::string Printed(const CCommandOutput& run) {
    return run.exit_code == 0 ? run.out : "exit " + std::to_string(run.exit_code) + ": " + run.err;
}

}  // namespace kelmora::test
