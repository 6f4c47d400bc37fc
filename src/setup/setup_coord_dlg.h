#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class CSettingsStore;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// What the plot currently shows, for the distance calculator; a point is missing while the
// plot has none.
struct PlotPoints {
    struct Point {
        double longitude = 0.0;  // degrees
        double latitude = 0.0;   // degrees
    };
    std::optional<Point> average;
    std::optional<Point> maxError;
    std::optional<Point> newest;
};

// Input styles of the arbitrary point.
enum CoordTextStyle { kDegrees = 0, kDegreesMinutes = 1, kDegreesMinutesSeconds = 2 };

// Reads "127.5", "127 30.0" or "127 30 0.0" (by style) as decimal degrees; a minus sign on
// the degrees applies to the whole value. Nothing for another form or minutes or seconds
// outside [0, 60).
std::optional<double> ParseCoordText(const QString& text, int style);
// Decimal degrees in the style: "%.7f", "<d> %.7f" or "<d> <m> %.5f".
QString FormatCoordText(double degrees, int style);

// The coordinate and plot page: plot centre, input style and value of the arbitrary point,
// plot coordinate system and point size, reference station and error reference (sections
// "REF_POINT", "PLOTVIEW", "ERROR_CAL"), and a distance calculator that stores nothing.
class CSetupCoordDlg : public QDialog {
    Q_OBJECT

public:
    enum Reference { kAverage = 0, kStation = 1, kNewest = 2, kArbitrary = 3 };
    enum TargetSource { kTargetAverage = 0, kTargetMaxError = 1 };

    explicit CSetupCoordDlg(CSettingsStore& store, QWidget* parent = nullptr);

    // Messages go here; by default a message box, none with SKARNET2_NO_MESSAGE_BOXES set.
    void SetMessageSink(std::function<void(const QString&)> sink);
    // The plot's current points; without a source the plot counts as empty.
    void SetPlotPointsSource(std::function<PlotPoints()> source);

    int Centre() const;
    int InputStyle() const;
    int CoordSystem() const;
    int PixelSize() const;
    int Station() const;  // -1: none
    QString StationLongitudeText() const;
    QString StationLatitudeText() const;
    int ErrorBase() const;
    QString PointLongitudeText(int style) const;
    QString PointLatitudeText(int style) const;
    bool PointEditsEnabled(int style) const;
    QString TargetLongitudeText() const;
    QString TargetLatitudeText() const;
    QString DistanceText() const;

public slots:
    void Reload();
    void SetCentre(int reference);
    void SetInputStyle(int style);
    void SetCoordSystem(int system);
    void SetPixelSize(int pixels);
    void ChooseStation(int row);
    void SetErrorBase(int reference);
    // Types the arbitrary point into the edits of one style.
    void SetPointText(int style, const QString& longitude, const QString& latitude);
    // Fills the other styles from the chosen one; nothing for an unreadable point.
    void ConvertPoint();
    void SetTarget(const QString& longitude, const QString& latitude);
    void ChooseTargetSource(int source);
    // The plot's average or maximum-error point into the target edits.
    void FetchTarget();
    // The target into the arbitrary point's edits, every style.
    void CopyTargetToDms();
    void CalculateDistance();
    // False, with nothing stored, when the arbitrary point cannot be read in its style.
    bool Apply();
    void accept() override;

private:
    void BuildControls();
    QLayout* BuildPointGroup();
    QLayout* BuildDistanceGroup();
    void ShowPoint(double longitude, double latitude);
    std::optional<PlotPoints::Point> ArbitraryPoint() const;
    std::optional<PlotPoints::Point> DistanceReference();
    PlotPoints CurrentPlotPoints() const;

    CSettingsStore& store_;
    std::function<void(const QString&)> message_;
    std::function<PlotPoints()> plotPoints_;

    QButtonGroup* centreGroup_ = nullptr;
    QButtonGroup* styleGroup_ = nullptr;
    QButtonGroup* coordGroup_ = nullptr;
    QButtonGroup* errorGroup_ = nullptr;
    std::array<std::array<QLineEdit*, 2>, 3> pointEdits_{};  // [style][longitude, latitude]
    QSpinBox* pixelSpin_ = nullptr;
    QComboBox* stationCombo_ = nullptr;
    QLabel* stationLonLabel_ = nullptr;
    QLabel* stationLatLabel_ = nullptr;
    QLineEdit* targetLonEdit_ = nullptr;
    QLineEdit* targetLatEdit_ = nullptr;
    QComboBox* targetSourceCombo_ = nullptr;
    QLineEdit* distanceEdit_ = nullptr;
};
