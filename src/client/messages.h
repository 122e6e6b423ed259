#pragma once

#include <cstddef>

#include "client/status.h"
#include "kelmora/mount.h"

// Message kinds of imsg_print.
enum : int {
    IMSG_KIND_INFO = 0,
    IMSG_KIND_WARNING = 4,
    IMSG_KIND_ERROR = 6,
    IMSG_KIND_CONTINUE = 7
};

// Prints a printf-style message (msg_number -1: no catalogue message).
// Output goes, in order of precedence: to the log file opened with
// imsg_start_log_file; to the redirect callbacks; else kinds 0 to standard
// output and the others to standard error. A continuation (kind 7) goes where
// the message before it went.
void imsg_print(int kind, const char* format, int msg_number, ...)
    __attribute__((format(printf, 2, 4)));
// Prints message index (zero-based) of a message table, its text filled
// printf style with the arguments. An index outside the table prints nothing.
void imsg_print(int kind, const imsg_msg_table_t* table, int index, ...);
// Formats into buf (always terminated, truncated to size); returns the length written.
int imsg_sprintf(char* buf, size_t size, const char* format, int msg_number, ...)
    __attribute__((format(printf, 3, 5)));

// Opens a log for appending; every imsg_print goes to it until imsg_end_log_file.
// A process has one log at a time: starting another closes the previous one.
// Each message is written with one append so that processes sharing a log
// never interleave within an entry.
tbs_status_t imsg_start_log_file(const char* path, int flags);
void imsg_end_log_file();

// Hands printed text to the caller: informational kinds to info, the others
// to error. Null callbacks switch the routing off.
typedef void (*imsg_output_fn)(const char* text);
void imsg_redirect_output(imsg_output_fn info, imsg_output_fn error);

// Path of the product log with that name ($KELMORA_HOME/log/<name>); creates
// the log folder.
tbs_status_t tbs_product_log_dir(char* buf, size_t size, const char* log_name);

// Name of the running program, as messages show it.
const char* imsg_get_app_name();
void imsg_set_app_name(const char* name);

// How much a program wants to be told: 1 normally, 2 and more with trace
// lines. Starts from $KELMORA_VERBOSITY (a decimal number) when set.
int imsg_get_desired_verbosity();
void imsg_set_desired_verbosity(int verbosity);
// Whether a facility's trace lines of that level are wanted: true at or below
// the desired verbosity, unless $KELMORA_TRACE lists facilities (separated by
// commas, each "name" or "name=level") and this one is not among them at that level.
bool imsg_should_trace(const char* facility, int level);

// The client's shared status messages; the module prints index 46 (operation,
// error text) and 47 (operation, UUID text, error text).
enum : int { TBS_MSG_OPERATION_FAILED = 46, TBS_MSG_UUID_OPERATION_FAILED = 47 };
const imsg_msg_table_t* _tbs_cmsg_tbs_msg_table_adr();
