#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

// Folder of the real receiver captures: $SKARNET2_DATA_DIR, else ../shared/data beside the
// project. Empty when it does not exist.
std::optional<std::filesystem::path> DataDir();

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// Files of one subfolder of the data folder, sorted by name.
std::vector<std::filesystem::path> FilesIn(const std::string& subfolder);

// A file path in the temporary folder that no other test, process or build shares.
std::filesystem::path UniqueTempPath(const std::string& name);

}  // namespace testdata

// Skips the running test when the captures are not there.
#define SKIP_WITHOUT_DATA()                                                      \
    do {                                                                         \
        if (!testdata::DataDir()) GTEST_SKIP() << "receiver captures not found"; \
    } while (0)
