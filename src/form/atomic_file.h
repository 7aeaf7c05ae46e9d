// Writing a file so that it is either wholly the new content or left as it was.
#pragma once

#include "common/expected.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vexilo::form {

/// Why a file could not be written; `message` names the path and the system's reason.
struct FileFailure {
    std::string message;
};

/// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
/// `path`. On any failure the temporary file is removed and `path` is untouched (an earlier file
/// of that name keeps its content); the failure says which step failed, where and why.
Status<FileFailure> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace vexilo::form
