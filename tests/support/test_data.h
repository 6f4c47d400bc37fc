#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
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

// UBX Fletcher sum of bytes (class..payload), and a whole frame of key (class << 8 | id) and
// payload; written here, not taken from the decoder.
std::pair<std::uint8_t, std::uint8_t> UbxChecksum(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> UbxFrame(std::uint16_t key, std::span<const std::uint8_t> payload);

}  // namespace testdata

// Skips the running test when the captures are not there.
#define SKIP_WITHOUT_DATA()                                                      \
    do {                                                                         \
        if (!testdata::DataDir()) GTEST_SKIP() << "receiver captures not found"; \
    } while (0)
