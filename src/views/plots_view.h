#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "geo/coord_converter.h"
#include "geo/geo_point.h"
#include "geo/plot_statistics.h"
#include "views/plot_mark_painter.h"
#include "views/plot_marks.h"
#include "views/plot_texts.h"
#include "views/text_cache.h"

class CSettingsStore;
class QToolButton;

// Colours are kept in the store as 0x00BBGGRR (red in the low byte).
QColor ColorFromColorRef(std::uint32_t colorRef);
std::uint32_t ColorRefFromColor(const QColor& colour);

// Scatter of receiver positions on a metric grid around a centre point: live points from the
// receiver (or another process) as circles, replayed epochs as squares in the class colours,
// with the running average, the maximum-error point and the RMS/CEP circles.
class CPlotsView : public QWidget {
    Q_OBJECT

public:
    enum class CentreMode : std::int32_t {
        kAverage = 0,
        kReferenceStation = 1,
        kNewestPoint = 2,
        kArbitraryPoint = 3,
    };

    struct PlotPoint {
        double easting = 0.0;   // m
        double northing = 0.0;  // m
        std::uint32_t flag = 0;
        std::int32_t fixClass = 0;  // GGA fix quality
    };

    static constexpr int kButtonWidth = 54;
    static constexpr int kButtonHeight = 51;

    explicit CPlotsView(QWidget* parent = nullptr);

    // Scale, centre, coordinate system, point size and colours; empties the replay points.
    void LoadSettings(const CSettingsStore& store);
    // The main window's replay position list (it outlives the view); AddReplayPoint reads it.
    void SetReplayPositionList(const std::vector<GeoPoint>* list);
    // The same from any source that outlives the view, such as the replay's index: epoch n's
    // position and fix quality, nothing past the end. An empty function: no replay points.
    struct ReplayPosition {
        double longitude = 0.0;
        double latitude = 0.0;
        std::int32_t fixQuality = 0;
    };
    using ReplayPositionAt = std::function<std::optional<ReplayPosition>(std::size_t)>;
    void SetReplayPositions(ReplayPositionAt positionAt);

    // False when the position is not finite or its projection fails: nothing is added.
    bool AddPosition(double longitude, double latitude, std::uint32_t flag, std::int32_t fixClass,
                     bool useSelectedSystem);
    // False for an index outside the replay position list or an unusable position.
    bool AddReplayPoint(int index);
    // Empties both point lists and the statistics.
    void Clear(bool repaint);
    void SetErrorCircles(double rms, double cep);
    void SetMouseLock(bool on);

    // Class 1..5 (GPS, DGPS, Float, RTK, DR): asks the operator for the colour.
    void ChooseClassColour(int colourClass, CSettingsStore& store);
    // What follows the colour dialog: keeps and stores the colour. False for a class outside
    // 1..5 or an invalid colour.
    bool SetClassColour(int colourClass, const QColor& colour, CSettingsStore& store);

    int ScaleIndex() const { return scaleIndex_; }
    CentreMode Mode() const { return centreMode_; }
    int CoordSystem() const { return coordSystem_; }
    int DegreeTextStyle() const { return degreeTextStyle_; }
    int PointSize() const { return pointSize_; }
    QColor ClassColour(int colourClass) const;
    double CentreLatitude() const { return centreLatitude_; }
    double CentreLongitude() const { return centreLongitude_; }
    const CPlotStatistics& Statistics() const { return statistics_; }
    std::size_t LiveCount() const { return marks_.LiveCount(); }
    std::size_t ReplayCount() const { return marks_.ReplayCount(); }
    std::optional<PlotPoint> NewestLivePoint() const;
    // Geodetic position of the newest live point (0 before any).
    double NewestLatitude() const { return newestLatitude_; }
    double NewestLongitude() const { return newestLongitude_; }
    QPoint PanOffset() const { return pan_; }
    QString EastingText() const { return eastingText_; }
    QString NorthingText() const { return northingText_; }
    QString CoordSystemLabel() const { return coordSystemLabel_; }
    // The double-clickable swatch of class 1..5; empty while there are no replay points.
    QRect LegendRect(int colourClass) const;
    // For tests: paint as the reference for the point trees and the mark layer does, by
    // walking every point and drawing each mark with its own call.
    void SetWalkEveryPoint(bool on) { walkEveryPoint_ = on; }

public slots:
    void ZoomIn();
    void ZoomOut();
    void ClearLivePoints();
    void ResetPan();

signals:
    // A legend swatch was double-clicked: the main window answers with ChooseClassColour.
    void ClassColourRequested(int colourClass);
    // The scale changed by button or wheel, for whoever keeps it in the settings.
    void ScaleIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Geometry {
        int width = 0;
        int height = 0;
        int cx = 0;
        int cy = 0;
        int r = 1;           // pixels from the centre to the visible range
        double range = 1.0;  // metres shown from the centre to r
        double centreEasting = 0.0;
        double centreNorthing = 0.0;
        QPoint shift;   // committed pan plus the drag in progress
        QPoint follow;  // whole pixels the centre moved from its anchor
    };
    // Where a centre that follows the points was anchored, at one scale and window size.
    struct FollowAnchor {
        double easting = 0.0;
        double northing = 0.0;
        double range = 0.0;
        int r = 0;
    };
    void FollowCentre(Geometry& g, double easting, double northing) const;
    void LoadCentre(const CSettingsStore& store);
    std::optional<QPointF> Project(double longitude, double latitude, int row);
    int SelectedRow(double longitude) const;
    bool HasFixedCentre() const;
    void SetScaleIndex(int index);
    void CreateButtons();
    int LineHeight() const;

    Geometry CurrentGeometry() const;
    static PlotPixelRule PixelRule(const Geometry& g);
    void DrawAxesAndGrid(QPainter& painter, const Geometry& g) const;
    void DrawScaleLabel(QPainter& painter, const Geometry& g) const;
    void DrawTextLines(QPainter& painter, int h) const;
    void DrawLegend(QPainter& painter, int h) const;
    CPlotMarkPainter::Style MarkStyle(const Geometry& g) const;
    // The marks of the points (plots_view_marks.cpp).
    void DrawPoints(QPainter& painter, const Geometry& g);
    bool ShowKeptLayer(QPainter& painter, const PlotPixelRule& rule,
                       const CPlotMarkPainter::Style& style);
    bool RecentreLayer(const PlotPixelRule& moved);
    int LayerMargin() const;
    void NoteMove(std::optional<QPoint> move);
    void DropLayer();
    void DrawErrorCircles(QPainter& painter, const Geometry& g) const;
    void DrawStatisticsLines(QPainter& painter, int h) const;

    CoordConverter converter_;
    int scaleIndex_ = 1;
    CentreMode centreMode_ = CentreMode::kNewestPoint;
    int coordSystem_ = 4;
    int degreeTextStyle_ = 0;
    int pointSize_ = 2;
    std::array<QColor, kPlotLegendCount> classColours_;

    double centreEasting_ = 0.0;
    double centreNorthing_ = 0.0;
    double centreLatitude_ = 0.0;
    double centreLongitude_ = 0.0;
    double newestLatitude_ = 0.0;
    double newestLongitude_ = 0.0;
    CPlotStatistics statistics_;
    double rms_ = 0.0;
    double cep_ = 0.0;

    // Every point lives in marks_; the newest live point is kept whole for the centre.
    CPlotMarks marks_;
    std::optional<PlotPoint> newest_;
    CPlotMarkPainter markPainter_;
    // The rule of the last paint, and of the marks in the painter's layer with the points they
    // came from.
    std::optional<PlotPixelRule> lastRule_;
    mutable std::optional<FollowAnchor> anchor_;
    std::optional<PlotPixelRule> layerRule_;
    std::uint64_t layerGeneration_ = 0;
    std::vector<PlotMark> added_;
    std::vector<PlotMark> inView_;
    // How the view has been moving by whole pixels (see NoteMove).
    QPoint drift_;
    int paintsSinceRecentre_ = 0;
    long long travelled_ = 0;  // pixels moved, either way, since the last recentre
    double paintsPerRecentre_ = 16.0;
    bool drifting_ = false;
    bool denseStrips_ = false;  // the last strips that came in held a mark per 16 pixels
    bool wandering_ = false;    // went to and fro out of the narrow margin over many marks
    bool walkEveryPoint_ = false;
    ReplayPositionAt replayPositionAt_;

    QPoint pan_;
    QPoint dragStart_;
    QPoint dragCurrent_;
    bool dragging_ = false;
    bool mouseLocked_ = false;

    // The texts drawn at every paint, most of them the same each time.
    mutable CTextCache texts_;

    QString eastingText_;
    QString northingText_;
    QString ellipsoidLabel_;
    QString coordSystemLabel_;

    std::array<QToolButton*, 4> buttons_{};
};
