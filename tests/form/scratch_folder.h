// A fresh folder under the system's temporary folder for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace vexilo::form::testing {

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        for (;;) {
            m_path = std::filesystem::temp_directory_path() /
                     ("vexilo-form-" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(m_path)) {
                break;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    /// Names of the entries in the folder.
    std::size_t count() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_path)) {
            ++n;
        }
        return n;
    }

private:
    std::filesystem::path m_path;
};

} // namespace vexilo::form::testing
