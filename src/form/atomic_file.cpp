// Temporary file, flush, rename: the file is whole or untouched.
#include "form/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vexilo::form {
namespace {

Unexpected<FileFailure> failure(const std::string& what, const std::filesystem::path& path,
                                const std::string& reason) {
    return unexpected(FileFailure{what + " " + path.string() + ": " + reason});
}

std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
#ifndef _WIN32
    const long process = static_cast<long>(getpid());
#else
    const long process = 0;
#endif
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(process) + "-" + std::to_string(counter++);
    return temporary;
}

} // namespace

Status<FileFailure> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path temporary = temporaryBeside(path);
    errno = 0;
    std::FILE* file = std::fopen(temporary.string().c_str(), "wbx");
    if (file == nullptr) {
        return failure("cannot create", path, std::strerror(errno));
    }
    const auto discard = [&temporary] {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    };
    errno = 0;
    bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
#ifndef _WIN32
    written = written && fsync(fileno(file)) == 0;
#endif
    const int writeError = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    if (!written || !closed) {
        discard();
        return failure("cannot write", path, std::strerror(!written ? writeError : closeError));
    }
    std::error_code renamed;
    std::filesystem::rename(temporary, path, renamed);
    if (renamed) {
        discard();
        return failure("cannot replace", path, renamed.message());
    }
    return {};
}

} // namespace vexilo::form
