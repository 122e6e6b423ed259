// viewprofile log: the structured call log of every host, readably.
#include "automation/call_log.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "client/messages.h"
#include "json_output.h"
#include "look.h"
#include "program.h"

namespace kelmora {

namespace {

std::string TextOf(const tools::CJson& value) {
    return value.is_string() ? value.get<std::string>() : value.is_null() ? "" : value.dump();
}

}  // namespace

int PrintCallLog(const std::string& since, const std::string& view) {
    char path[1024] = {0};
    if (tbs_product_log_dir(path, sizeof path, kCallLogName) != TBS_ST_OK) return kExitFailure;
    std::ifstream in(path);
    if (!in) return kExitTrue;  // nothing was called yet
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const tools::CJson entry = tools::CJson::parse(line, nullptr, false);
        if (!entry.is_object()) {
            tools::PrintError(std::string(path) + ":" + std::to_string(number) +
                              ": not a JSON object; left out");
            continue;
        }
        const std::string time = TextOf(entry.value("time", tools::CJson()));
        const std::string tag = TextOf(entry.value("view", tools::CJson()));
        const std::string workspace = TextOf(entry.value("workspace", tools::CJson()));
        // ISO 8601 times in UTC sort as texts do.
        if (!since.empty() && time.compare(0, since.size(), since) < 0) continue;
        if (!view.empty() && tag != view && workspace != view) continue;
        std::string call = TextOf(entry.value("method", tools::CJson()));
        for (const tools::CJson& argument : entry.value("arguments", tools::CJson::array()))
            call += " '" + TextOf(argument) + "'";
        std::string result = TextOf(entry.value("result", tools::CJson()));
        if (result.find('\n') != std::string::npos)
            result = "(" + std::to_string(result.size()) + " bytes)";
        std::printf("%s %s %s[%s] %s: %s -> %s (%s, %s ms)\n", time.c_str(),
                    TextOf(entry.value("user", tools::CJson())).c_str(),
                    TextOf(entry.value("program", tools::CJson())).c_str(),
                    TextOf(entry.value("pid", tools::CJson())).c_str(),
                    (workspace.empty() ? tag : workspace).c_str(), call.c_str(),
                    result.empty() ? "\"\"" : result.c_str(),
                    TextOf(entry.value("outcome", tools::CJson())).c_str(),
                    TextOf(entry.value("duration_ms", tools::CJson())).c_str());
        for (const tools::CJson& message : entry.value("messages", tools::CJson::array())) {
            std::string text = TextOf(message);
            text.erase(text.find_last_not_of("\r\n") + 1);
            for (size_t start = 0; start <= text.size();) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos) end = text.size();
                std::string part = text.substr(start, end - start);
                if (!part.empty() && part.back() == '\r') part.pop_back();
                std::printf("    | %s\n", part.c_str());
                start = end + 1;
            }
        }
    }
    return kExitTrue;
}

}  // namespace kelmora
