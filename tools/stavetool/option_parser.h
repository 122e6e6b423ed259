#pragma once

#include <initializer_list>
#include <map>
#include <string>

#include "commands.h"

namespace kelmora::stavetool {

struct COptionSpec {
    const char* name;
    bool takes_value;
};

struct CParsedOptions {
    std::map<std::string, std::string> options;
    CArguments operands;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    // The option's value; empty when it was not given.
    std::string Value(const std::string& name) const {
        auto found = options.find(name);
        return found == options.end() ? std::string() : found->second;
    }
};

// Options may stand anywhere among the operands; "--" ends them, so an
// operand may begin with a dash. An unknown option or a missing value is a
// usage error, whose exit code lands in *exit_code.
bool ParseOptions(const char* command, const CArguments& args,
                  std::initializer_list<COptionSpec> known, CParsedOptions* parsed, int* exit_code);

}  // namespace kelmora::stavetool
