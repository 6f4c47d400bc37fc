#pragma once

#include <QRect>
#include <array>

// Where the main window's panes go: a grid over the area between the toolbars and the status
// bar, a large pane with three cells on its right, and the status panel below it.
enum class MainContent { MapAndPlot, SkyMap, SignalStrength, RawLog };

inline constexpr int kMainViewCount = 4;

struct MainLayout {
    QRect large;
    QRect rightTop;
    QRect rightMiddle;
    QRect rightBottom;
    QRect leftBottom;  // always the status panel

    // The cell of each content under arrangement index 0..3.
    QRect CellOf(MainContent content, int arrangement) const;
};

// Left 6/10 and upper 7/10 of the area; the upper right splits in half for the sky map and
// the signal bars.
MainLayout ComputeMainLayout(const QRect& area);

// What the large pane shows under each arrangement.
MainContent LargePaneContent(int arrangement);
