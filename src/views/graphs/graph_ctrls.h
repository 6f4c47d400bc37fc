#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "views/graphs/graph_model.h"

class QPainter;

// Colour of a GGA fix quality in the graphs: DGPS, Float, RTK, DR; anything else grey.
QColor GraphFixColour(int fixClass);

// A time graph of the newest samples: the ring of samples, the visible window (following the
// newest sample, or dragged back and zoomed), and the painting. Members supply the value axis,
// where each sample goes, and the texts.
class CGraphCtrl : public QWidget {
    Q_OBJECT

public:
    std::size_t Count() const { return ring_.Count(); }
    std::size_t Kept() const { return ring_.Kept(); }
    const CSampleRing& Ring() const { return ring_; }
    // First and last sample index shown.
    std::pair<std::size_t, std::size_t> VisibleWindow() const;
    // Samples across the width before zooming, and after.
    std::size_t WindowLength() const { return windowLength_; }
    std::size_t Span() const;
    bool Following() const { return !pinnedLast_.has_value(); }
    // The time axis labels assume this many samples per second (1 unless told).
    void SetSampleRate(double samplesPerSecond);

    // Kept samples as CSV (index first); false when the file cannot be written.
    bool ExportCsv(const QString& path) const;

    // Where things land, for the tests and the mouse.
    QRect PlotRect() const;
    int IndexToX(std::size_t index) const;
    int FractionToY(double fraction) const;
    QStringList AxisLabels() const;
    virtual QString NewestText() const = 0;

public slots:
    void FollowNewest();
    // Positive steps zoom out (more samples across the width).
    void ZoomBy(int steps);

protected:
    struct Style {
        QString title;
        QString topCaption;
        QString bottomCaption;
        std::size_t windowLength = 200;
        int valueFontHeight = 40;
        QColor valueColour = Qt::black;
        bool hoursOnTimeAxis = true;
        std::vector<std::pair<QString, QColor>> legend;
    };

    CGraphCtrl(Style style, QWidget* parent);

    void Push(const GraphSample& sample, bool repaint);
    void ClearSamples(bool repaint);

    virtual std::vector<GridLine> GridLines() const = 0;
    virtual int SeriesCount() const { return 1; }
    // Height fraction and colour of one series of a sample; false when it draws nothing.
    virtual bool SamplePoint(const GraphSample& sample, int series, double* fraction,
                             QColor* colour) const = 0;
    virtual QByteArray CsvHeader() const;
    virtual void AppendCsvRow(QByteArray& out, std::size_t index, const GraphSample& s) const;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PaintGrid(QPainter& painter, const QRect& plot) const;
    void PaintTimeAxis(QPainter& painter, const QRect& plot) const;
    void PaintSamples(QPainter& painter, const QRect& plot) const;
    void PaintTexts(QPainter& painter, const QRect& plot) const;
    void PaintNewest(QPainter& painter, const QRect& plot) const;
    GraphWindow Window() const;

    Style style_;
    CSampleRing ring_;
    std::size_t windowLength_;
    double samplesPerSecond_ = 1.0;
    int zoomStep_ = 0;
    std::optional<std::size_t> pinnedLast_;
    bool dragging_ = false;
    int dragStartX_ = 0;
    std::size_t dragStartLast_ = 0;
};

// A graph of one value per sample; the kind chooses the scale rule and the texts.
class CValueGraphCtrl : public CGraphCtrl {
    Q_OBJECT

public:
    void AddValue(double value, bool valid, int fixClass, bool repaint = true);
    void ResetGraph(bool repaint = true);
    double FullScale() const { return scale_.FullScale(); }
    const CValueScale& Scale() const { return scale_; }
    double Value(std::size_t keptIndex) const { return Ring().Kept(keptIndex).value; }
    QString NewestText() const override;

protected:
    CValueGraphCtrl(ValueGraphKind kind, Style style, QWidget* parent);

    std::vector<GridLine> GridLines() const override;
    bool SamplePoint(const GraphSample& sample, int series, double* fraction,
                     QColor* colour) const override;

private:
    CValueScale scale_;
    std::optional<double> newest_;  // newest valid stored value
};

// Deviation of a coordinate from the first sample, on a growing symmetric scale.
class CPosDevGraphCtrl : public CValueGraphCtrl {
    Q_OBJECT

public:
    CPosDevGraphCtrl(const QString& title, const QString& topCaption, const QString& bottomCaption,
                     QWidget* parent = nullptr);
};

class CSpeedGraphCtrl : public CValueGraphCtrl {
    Q_OBJECT

public:
    explicit CSpeedGraphCtrl(QWidget* parent = nullptr);
};

class CDistanceGraphCtrl : public CValueGraphCtrl {
    Q_OBJECT

public:
    explicit CDistanceGraphCtrl(QWidget* parent = nullptr);
};

class CElevationGraphCtrl : public CValueGraphCtrl {
    Q_OBJECT

public:
    explicit CElevationGraphCtrl(QWidget* parent = nullptr);
};

// Yaw (AVR) and heading (HDT) on a fixed 0-360 degree axis.
class CHdgDevGraphCtrl : public CGraphCtrl {
    Q_OBJECT

public:
    static inline const QColor kAvrColour{255, 0, 0};
    static inline const QColor kHdtColour{0, 0, 255};

    explicit CHdgDevGraphCtrl(QWidget* parent = nullptr);

    // A series value below 0 means none this epoch.
    void AddValues(double yawDeg, double headingDeg, int fixClass, bool repaint = true);
    void ResetGraph(bool repaint = true);
    void SetSeriesShown(int series, bool shown);
    bool SeriesShown(int series) const;
    QString NewestText() const override;

protected:
    std::vector<GridLine> GridLines() const override { return HeadingGridLines(); }
    int SeriesCount() const override { return 2; }
    bool SamplePoint(const GraphSample& sample, int series, double* fraction,
                     QColor* colour) const override;
    QByteArray CsvHeader() const override;
    void AppendCsvRow(QByteArray& out, std::size_t index, const GraphSample& s) const override;

private:
    bool shown_[2] = {true, true};
    std::optional<double> newestYaw_;
    std::optional<double> newestHeading_;
};
