#pragma once

#include <cstddef>
#include <cstdio>

#include "client/status.h"

// Creates a new temporary file (binary, nothing translated) and opens it for
// writing; its path goes into name_buf. The first three arguments (folder,
// prefix, extension) may be null for the defaults. Null on failure, errno set.
FILE* fileutl_tmpfile_ext_binary(const char* folder, const char* prefix, const char* extension,
                                 char* name_buf, size_t size);
int unix_nt_fclose(FILE* file);
int unix_nt_unlink(const char* path);
int unix_nt_mkdir(const char* path, int mode);
int unix_nt_rmdir(const char* path);

struct stat;

// Absolute path names: abspn makes a path absolute (from the current folder)
// and takes out ".", ".." and repeated slashes; absobjpn gives the object the
// path names, symbolic links resolved as far as the path exists. Results go
// into buf; TBS_ST_BUFFER_TOO_SMALL when they do not fit.
tbs_status_t fileutl_abspn(const char* path, char* buf, size_t size);
tbs_status_t fileutl_absobjpn(const char* path, char* buf, size_t size);
// stat(2) as a status: TBS_ST_NOT_FOUND when the path does not exist.
tbs_status_t fileutl_stat(const char* path, struct stat* info);
