#pragma once

#include <cstddef>

#include "platform/clock.h"
#include "ui/user_interface.h"

// The contract between the module and a front end that it loads at run time
// (libkelmora_qtui.so). libkelmora.so exports no C++ names, so the front end
// carries its own copy of the dialog models' code; what that copy must share
// with the module's comes in the context below.
namespace kelmora {

inline constexpr char kQtFrontEndLibrary[] = "libkelmora_qtui.so";
// Front ends are private to the library: they live in this folder beside it
// (lib/kelmora/), out of the linker's search path.
inline constexpr char kFrontEndFolder[] = "kelmora";
inline constexpr char kFrontEndEntryPoint[] = "kelmora_front_end_create";
// Raised whenever the context or the seam changes shape.
inline constexpr unsigned kFrontEndAbiVersion = 2;

}  // namespace kelmora

extern "C" {

struct kelmora_front_end_context {
    unsigned abi_version;
    const char* application_name;  // the title of every box
    kelmora::ClockFunction clock;  // the module's "now"
};

// Makes the front end, which lives until the process ends. Null when it
// cannot serve (no display, a context of another version), with the reason
// written into reason (reason_size bytes, terminated).
typedef kelmora::CUserInterface* (*kelmora_front_end_create_fn)(
    const kelmora_front_end_context* context, char* reason, size_t reason_size);
}
