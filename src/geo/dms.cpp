#include "geo/dms.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace {

constexpr std::string_view kDegreeMark = "도";
constexpr std::string_view kMinuteMark = "분";
constexpr std::string_view kSecondMark = "초";

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The whole of text must be the number.
template <typename T>
std::optional<T> ParseNumber(std::string_view text)
{
    text = Trim(text);
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

}  // namespace

bool ToDms(double value, int& degrees, int& minutes, double& seconds)
{
    degrees = 0;
    minutes = 0;
    seconds = 0;
    if (!std::isfinite(value) || std::fabs(value) >= static_cast<double>(INT_MAX)) return false;
    const double d = std::trunc(value);
    const double m = std::trunc((value - d) * 60.0);
    double s = ((value - d) * 60.0 - m) * 60.0;
    int dd = static_cast<int>(d);
    int mm = static_cast<int>(m);
    // Negative values carry the same way, away from zero.
    const int step = value < 0 ? -1 : 1;
    if (std::fabs(s) + 1e-5 >= 60.0) {
        s = 0;
        if (mm != 59 * step) {
            mm += step;
        } else {
            dd += step;
            mm = 0;
        }
    }
    degrees = dd;
    minutes = mm;
    seconds = s;
    return true;
}

std::optional<double> ParseDms(std::string_view text)
{
    const std::size_t degreeAt = text.find(kDegreeMark);
    if (degreeAt == std::string_view::npos) return std::nullopt;
    const std::size_t minuteFrom = degreeAt + kDegreeMark.size();
    const std::size_t minuteAt = text.find(kMinuteMark, minuteFrom);
    if (minuteAt == std::string_view::npos) return std::nullopt;
    const std::size_t secondFrom = minuteAt + kMinuteMark.size();
    const std::size_t secondAt = text.find(kSecondMark, secondFrom);
    if (secondAt == std::string_view::npos) return std::nullopt;

    const std::string_view degreeText = Trim(text.substr(0, degreeAt));
    const auto degrees = ParseNumber<int>(degreeText);
    const auto minutes = ParseNumber<int>(text.substr(minuteFrom, minuteAt - minuteFrom));
    const auto seconds = ParseNumber<double>(text.substr(secondFrom, secondAt - secondFrom));
    if (!degrees || !minutes || !seconds) return std::nullopt;
    const double fraction = (*minutes + *seconds / 60.0) / 60.0;
    // "-0도 30분 0초" is negative as well.
    const bool negative = !degreeText.empty() && degreeText.front() == '-';
    return negative ? *degrees - fraction : *degrees + fraction;
}
