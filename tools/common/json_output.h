#pragma once

#include <string>

#include <nlohmann/json.hpp>

// Machine-readable output of the programs (docs/json.md): one JSON document
// on standard output, or one error object on standard error.
namespace kelmora::tools {

// Keeps the fields in the order the program writes them.
using CJson = nlohmann::ordered_json;

// Texts are the client's narrow bytes: a byte that is not UTF-8 is printed
// as U+FFFD.
// null for an empty text.
CJson JsonTextOrNull(const std::string& text);

// Prints the document, indented by two, with a line end; false when standard
// output could not take it.
bool PrintJson(const CJson& document);
// Prints {"error": message, "status": status} on standard error; returns status.
int PrintJsonError(const std::string& message, int status);

}  // namespace kelmora::tools
