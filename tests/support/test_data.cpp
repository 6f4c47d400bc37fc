#include "support/test_data.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <tuple>

namespace testdata {

std::optional<std::filesystem::path> DataDir()
{
    const char* env = std::getenv("SKARNET2_DATA_DIR");
    const std::filesystem::path dir = (env && *env) ? env : SKARNET2_DEFAULT_DATA_DIR;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
    return dir;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> FilesIn(const std::string& subfolder)
{
    std::vector<std::filesystem::path> files;
    const auto dir = DataDir();
    if (!dir) return files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(*dir / subfolder, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::pair<std::uint8_t, std::uint8_t> UbxChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint8_t a = 0, b = 0;
    for (const std::uint8_t x : bytes) b = static_cast<std::uint8_t>(b + (a += x));
    return {a, b};
}

std::vector<std::uint8_t> UbxFrame(std::uint16_t key, std::span<const std::uint8_t> payload)
{
    const std::size_t n = payload.size();
    std::vector<std::uint8_t> f(n + 8);
    f[0] = 0xB5;
    f[1] = 0x62;
    f[2] = std::uint8_t(key >> 8);
    f[3] = std::uint8_t(key);
    f[4] = std::uint8_t(n);
    f[5] = std::uint8_t(n >> 8);
    std::copy(payload.begin(), payload.end(), f.begin() + 6);
    std::tie(f[n + 6], f[n + 7]) = UbxChecksum(std::span(f).subspan(2, n + 4));
    return f;
}

}  // namespace testdata

std::filesystem::path testdata::UniqueTempPath(const std::string& name)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string stem = "skarnet2-" + std::to_string(::getpid()) + "-";
    if (test != nullptr) stem += std::string(test->test_suite_name()) + "." + test->name() + "-";
    return std::filesystem::temp_directory_path() / (stem + name);
}
