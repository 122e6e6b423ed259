#include "client/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "client/buffer_copy.h"
#include "client/view_store.h"
#include "platform/fs.h"
#include "platform/temp_file.h"

FILE* fileutl_tmpfile_ext_binary(const char* folder, const char* prefix, const char* extension,
                                 char* name_buf, size_t size) {
    if (!name_buf || size == 0) {
        errno = EINVAL;
        return nullptr;
    }
    name_buf[0] = '\0';
    std::string suffix;
    if (extension && *extension) {
        if (extension[0] != '.') suffix = ".";
        suffix += extension;
    }
    std::string templ = std::string(folder && *folder ? folder : kelmora::TempFolder()) + "/" +
                        (prefix && *prefix ? prefix : "kelmora") + "-XXXXXX" + suffix;
    // Fail before creating anything that the caller could not name.
    if (templ.size() + 1 > size) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    int fd = mkostemps(templ.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        int saved = errno;
        ::close(fd);
        ::unlink(templ.c_str());
        errno = saved;
        return nullptr;
    }
    std::memcpy(name_buf, templ.c_str(), templ.size() + 1);
    return file;
}

int unix_nt_fclose(FILE* file) {
    if (!file) {
        errno = EINVAL;
        return -1;
    }
    return std::fclose(file) == 0 ? 0 : -1;
}

int unix_nt_unlink(const char* path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return kelmora::RemoveFile(path) ? 0 : -1;
}

// As on the system this library stands in for, the mode is not applied: the
// folder gets the default permissions less the umask.
int unix_nt_mkdir(const char* path, int /*mode*/) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return kelmora::MakeDirectory(path) ? 0 : -1;
}

int unix_nt_rmdir(const char* path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return kelmora::RemoveDirectory(path) ? 0 : -1;
}

tbs_status_t fileutl_abspn(const char* path, char* buf, size_t size) {
    if (!path || !*path) return TBS_ST_INVALID;
    return kelmora::client::CopyToBuffer(kelmora::client::NormalizeAbsolutePath(path), buf, size);
}

tbs_status_t fileutl_absobjpn(const char* path, char* buf, size_t size) {
    if (!path || !*path) return TBS_ST_INVALID;
    std::error_code error;
    std::filesystem::path object =
        std::filesystem::weakly_canonical(kelmora::client::NormalizeAbsolutePath(path), error);
    if (error) return TBS_ST_IO;
    return kelmora::client::CopyToBuffer(kelmora::client::NormalizeAbsolutePath(object.string()),
                                         buf, size);
}

tbs_status_t fileutl_stat(const char* path, struct stat* info) {
    if (!path || !info) return TBS_ST_INVALID;
    if (::stat(path, info) == 0) return TBS_ST_OK;
    return errno == ENOENT || errno == ENOTDIR ? TBS_ST_NOT_FOUND : TBS_ST_IO;
}
