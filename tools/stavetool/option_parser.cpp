#include "option_parser.h"

#include <vector>

#include "program.h"

namespace kelmora::stavetool {

bool ParseOptions(const char* command, const CArguments& args,
                  std::initializer_list<COptionSpec> known, CParsedOptions* parsed,
                  int* exit_code) {
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            parsed->operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        const COptionSpec* spec = nullptr;
        for (const COptionSpec& candidate : known) {
            if (arg == candidate.name) spec = &candidate;
        }
        if (!spec) {
            std::vector<std::string> names;
            for (const COptionSpec& candidate : known) names.push_back(candidate.name);
            *exit_code = UsageError(std::string(command) + ": " +
                                    tools::UnknownWordText("option", arg, names));
            return false;
        }
        std::string value;
        if (spec->takes_value) {
            if (i + 1 == args.size()) {
                *exit_code = UsageError(std::string(command) + ": " + arg + " needs a value");
                return false;
            }
            value = args[++i];
        }
        parsed->options[arg] = value;
    }
    return true;
}

}  // namespace kelmora::stavetool
