#pragma once

#include <optional>
#include <string>

namespace kelmora {

// The tree root as the machine's "ProjectRoot" setting holds it, without one
// trailing separator; empty when the setting is missing or empty.
std::string ReadTreeRootSetting();

// Makes ReadTreeRootSetting answer with this text instead of the setting for
// the rest of the process (a tool's --root option); nullopt returns to the
// setting. The text is trimmed like the setting's value.
void OverrideTreeRootSetting(std::optional<std::string> root);

}  // namespace kelmora
