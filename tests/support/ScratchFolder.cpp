#include "tests/support/ScratchFolder.h"

#include <chrono>
#include <random>
#include <stdexcept>
#include <system_error>

namespace dravik::test {

ScratchFolder::ScratchFolder() {
    std::random_device seed;
    std::mt19937 generator(
        seed() ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dravik-test-" + std::to_string(generator()));
        if (std::filesystem::create_directory(path)) {
            // Links in the temporary folder's own path resolved, as the system names it.
            path_ = std::filesystem::canonical(path);
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Native(const std::string &relative) const {
    return relative.empty() ? path_.string() : (path_ / relative).string();
}

std::wstring ScratchFolder::Windows(const std::wstring &relative) const {
    std::wstring base = path_.wstring();
    return relative.empty() ? base : base + L"\\" + relative;
}

} // namespace dravik::test
