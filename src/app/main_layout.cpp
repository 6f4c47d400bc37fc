#include "app/main_layout.h"

namespace {

// Contents of large pane, right top, right middle and right bottom per arrangement.
constexpr std::array<std::array<MainContent, 4>, kMainViewCount> kArrangements{{
    {MainContent::MapAndPlot, MainContent::SkyMap, MainContent::SignalStrength,
     MainContent::RawLog},
    {MainContent::SkyMap, MainContent::MapAndPlot, MainContent::SignalStrength,
     MainContent::RawLog},
    {MainContent::SignalStrength, MainContent::SkyMap, MainContent::MapAndPlot,
     MainContent::RawLog},
    {MainContent::RawLog, MainContent::SkyMap, MainContent::SignalStrength,
     MainContent::MapAndPlot},
}};

int Wrap(int arrangement)
{
    return ((arrangement % kMainViewCount) + kMainViewCount) % kMainViewCount;
}

}  // namespace

MainLayout ComputeMainLayout(const QRect& area)
{
    const int w = area.width();
    const int h = area.height();
    const int left = w * 6 / 10;
    const int right = w - left;
    const int upper = h * 7 / 10;
    const int lower = h - upper;
    const int sky = upper / 2;
    const int signal = upper - sky;
    const int x = area.x();
    const int y = area.y();
    MainLayout layout;
    layout.large = QRect(x, y, left, upper);
    layout.rightTop = QRect(x + left, y, right, sky);
    layout.rightMiddle = QRect(x + left, y + sky, right, signal);
    layout.rightBottom = QRect(x + left, y + upper, right, lower);
    layout.leftBottom = QRect(x, y + upper, left, lower);
    return layout;
}

QRect MainLayout::CellOf(MainContent content, int arrangement) const
{
    const auto& row = kArrangements[static_cast<std::size_t>(Wrap(arrangement))];
    const std::array<QRect, 4> cells{large, rightTop, rightMiddle, rightBottom};
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == content) return cells[i];
    }
    return {};
}

MainContent LargePaneContent(int arrangement)
{
    return kArrangements[static_cast<std::size_t>(Wrap(arrangement))][0];
}
