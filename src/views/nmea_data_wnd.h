#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "views/status_texts.h"

class CSettingsStore;
class QPainter;

// Receiver status panel: the latest epoch as a table of labelled cells, with a third column
// for the reference station or, in taxi operation, the fare and the inertial sensors. The panel
// keeps what it painted and lays out again only the cells whose text changed, since most of
// them stay the same from one epoch to the next.
class CNmeaDataWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSensorPollIntervalMs = 1000;
    static constexpr int kSensorReplyWindowMs = 1500;
    static constexpr int kTaxiOperationType = 1;
    // Columns of CellRect: labels, values, the third column.
    enum Column { kLabelColumn = 0, kValueColumn = 1, kThirdColumn = 2 };

    // u-blox ESF-STATUS poll: class 0x10, id 0x10, no payload, Fletcher checksum 0x20 0x70.
    static QByteArray SensorStatusPoll();

    explicit CNmeaDataWnd(CSettingsStore& store, QWidget* parent = nullptr);
    ~CNmeaDataWnd() override;

    const GnssReceiverState& State() const { return *state_; }
    const PanelStatistics& Statistics() const { return statistics_; }
    const QString& TimeToFloat() const { return timeToFloat_; }
    const QString& TimeToFixed() const { return timeToFixed_; }
    int SensorPollCount() const { return sensorPollCount_; }
    bool IsSensorPollActive() const { return sensorPollTimer_.isActive(); }

    // Where a cell lies for the current size; rows count from 0 at the top.
    QRect CellRect(int column, int row) const;
    // The light-blue fare area of taxi operation.
    QRect FareAreaRect() const;
    // Cells whose text the last paint drew anew.
    int LastRedrawnCellCount() const { return lastRedrawnCells_; }

public slots:
    // Ignores states that delivered nothing.
    void Update(const GnssReceiverState& state);
    void SetStatistics(double horizontalDrms, double verticalDrms, double horizontalCep,
                       double verticalCep);
    // Empty texts keep the stored ones.
    void SetTimesToFix(const QString& timeToFloat, const QString& timeToFixed);
    void Reset();
    // Whether the receiver's estimates may replace replay statistics.
    void SetReplayMode(bool replayRunning, bool rmsFromGst);
    void SetTaxiFare(const TaxiFareValues& fare);
    void SetSensorStatus(const SensorStatusTable& sensors);
    // Re-reads the operation type and the module type and starts or stops the sensor poll.
    void ApplySettings();

signals:
    // Bytes for the receiver; the main window writes them to the receiver's link.
    void sensorPollRequested(const QByteArray& message);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Cell {
        QRect rect;
        QString text;
        bool bold = false;
    };
    // What the cells are painted over; any change repaints the whole panel.
    struct Backdrop {
        QSize size;
        qreal pixelRatio = 0;
        bool fareArea = false;
        bool alarm = false;
        bool operator==(const Backdrop&) const = default;
    };

    // The settings the cells were worked out with.
    struct Layout {
        std::int32_t operationType = -1;
        QString basicFee;
        bool operator==(const Layout&) const = default;
    };

    bool SensorPollWanted() const;
    void OnSensorPollTick();
    int RowTop(int row) const;
    QRect ThirdColumnCell(int row, int firstPart, int lastPart) const;
    void PaintBackground(QPainter& painter, bool fareArea) const;
    void AddMainCells(std::vector<Cell>& cells, const PanelStatistics& statistics) const;
    void AddBaseInfoCells(std::vector<Cell>& cells) const;
    void AddTaxiCells(std::vector<Cell>& cells, const TaxiFareValues& fare) const;
    void PaintFareFrame(QPainter& painter) const;
    // Works the cells out and paints those that changed; returns where the canvas changed.
    QRegion RefreshCanvas();
    QRegion PaintCanvas(const Backdrop& backdrop, std::vector<Cell> cells);
    void Invalidate();
    void OnRefreshTick();
    static void DrawCell(QPainter& painter, const Cell& cell);

    CSettingsStore& store_;
    // Large (satellite tables), so it lives on the heap rather than in the widget.
    std::unique_ptr<GnssReceiverState> state_;
    PanelStatistics statistics_;
    QString timeToFloat_;
    QString timeToFixed_;
    bool replayRunning_ = false;
    bool rmsFromGst_ = false;
    TaxiFareValues fare_;
    SensorStatusTable sensors_{};
    QTimer sensorPollTimer_;
    QTimer sensorReplyTimer_;
    int sensorPollCount_ = 0;
    static constexpr int kRefreshIntervalMs = 30;
    QTimer refreshTimer_;
    bool stale_ = true;  // the canvas shows older values than the panel holds
    // The panel as last painted, and the cells it shows.
    QPixmap canvas_;
    Backdrop canvasBackdrop_;
    Layout canvasLayout_;
    std::vector<Cell> canvasCells_;
    int lastRedrawnCells_ = 0;
};
