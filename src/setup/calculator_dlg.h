#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <utility>

#include "tool/position_export.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QThread;

// The parameter texts of a table row: projection type, origin longitude, origin latitude,
// false northing, false easting, scale factor, code (numbers with thousands separators).
// Row 10 has only its code.
QStringList CoordRowParameterTexts(int row);

// Converts one coordinate between any two rows of the coordinate-system table, sends a
// converted point to the map and the plot, and exports the positions of a log as CSV (in the
// destination grid), GPX or KML on a worker thread.
class CCalculatorDlg : public QDialog {
    Q_OBJECT

public:
    enum class Side { kSource, kDestination };

    explicit CCalculatorDlg(QWidget* parent = nullptr);
    ~CCalculatorDlg() override;

    // The main window's external commands: clear map and plot, append to the map, add to the
    // plot as a live point.
    void SetMapCommands(std::function<void()> clear,
                        std::function<void(double lat, double lon)> showOnMap,
                        std::function<void(double lat, double lon)> addToPlot);
    // Messages go here; by default a message box, none with SKARNET2_NO_MESSAGE_BOXES set.
    void SetMessageSink(std::function<void(const QString&)> sink);

    int Row(Side side) const;
    bool Exporting() const { return worker_ != nullptr; }

public slots:
    void SelectRow(Side side, int row);
    void SetDegrees(Side side, double longitude, double latitude);
    void SetGrid(Side side, double east, double north);
    // False, with a message, when the projection fails.
    bool Convert();
    // "위경도 좌표로 이동하기" under the source / destination half.
    void MoveSource();
    void MoveDestination();
    // Asks for the log and the output, then exports.
    void ChooseAndExport();
    // False while another export runs.
    bool StartExport(const QString& in, const QString& out, ExportFormat format);
    void CancelExport();

signals:
    void exportFinished(bool ok, QString message);

private:
    struct Half {
        QComboBox* list = nullptr;
        QLineEdit* lonDeg = nullptr;
        QLineEdit* latDeg = nullptr;
        std::array<QLineEdit*, 3> lonDms{};
        std::array<QLineEdit*, 3> latDms{};
        QLineEdit* east = nullptr;
        QLineEdit* north = nullptr;
        std::array<QLineEdit*, 7> parameters{};
    };

    QWidget* BuildHalf(Side side, const QString& prefix);
    Half& HalfOf(Side side) { return side == Side::kSource ? source_ : destination_; }
    void ShowRow(Side side);
    void DegreesEdited(Side side);
    void DmsEdited(Side side);
    // The half's point in WGS84 degrees (latitude, longitude), from its grid fields when the
    // row is a grid; nothing (with a message) when the projection fails.
    std::optional<std::pair<double, double>> LatLon(Side side);
    void OnProgress(quint64 done, quint64 total);
    void OnExportDone(const ExportResult& result);
    void Message(const QString& text);

    Half source_;
    Half destination_;
    QComboBox* formatList_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QProgressDialog* progress_ = nullptr;
    QThread* worker_ = nullptr;
    std::atomic<bool> cancel_{false};
    std::atomic<int> shownPermille_{-1};

    std::function<void()> clear_;
    std::function<void(double, double)> showOnMap_;
    std::function<void(double, double)> addToPlot_;
    std::function<void(const QString&)> message_;
};
