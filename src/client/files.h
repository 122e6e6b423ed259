#pragma once

#include <cstddef>
#include <cstdio>

// Creates a new temporary file (binary, nothing translated) and opens it for
// writing; its path goes into name_buf. The first three arguments (folder,
// prefix, extension) may be null for the defaults. Null on failure, errno set.
FILE* fileutl_tmpfile_ext_binary(const char* folder, const char* prefix, const char* extension,
                                 char* name_buf, size_t size);
int unix_nt_fclose(FILE* file);
int unix_nt_unlink(const char* path);
int unix_nt_mkdir(const char* path, int mode);
int unix_nt_rmdir(const char* path);
