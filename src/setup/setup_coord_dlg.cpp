#include "setup/setup_coord_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <string_view>
#include <utility>

#include "geo/distance.h"
#include "settings/settings_store.h"
#include "views/reference_stations.h"

namespace {

constexpr int kStyleCount = 3;
constexpr int kMaxPixelSize = 50;  // the plot's largest point
const char* const kNoStationText = "--도 --분 --.-----초";

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

// Station positions are kept as "126도 54분 33.73742초"; the marks follow the language.
QString StationDmsText(std::string_view text)
{
    return Text(text)
        .replace(QStringLiteral("도"),
                 QCoreApplication::translate("CSetupCoordDlg", "도", "degree mark"))
        .replace(QStringLiteral("분"),
                 QCoreApplication::translate("CSetupCoordDlg", "분", "minute mark"))
        .replace(QStringLiteral("초"),
                 QCoreApplication::translate("CSetupCoordDlg", "초", "second mark"));
}

// A radio group in a box; ids follow the texts.
QGroupBox* RadioBox(const QString& title, const QStringList& texts, const char* name,
                    QButtonGroup* group, QWidget* parent, int columns = 1)
{
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < static_cast<int>(texts.size()); ++i) {
        auto* radio = new QRadioButton(texts[i], box);
        radio->setObjectName(QStringLiteral("%1Radio%2").arg(QLatin1String(name)).arg(i));
        group->addButton(radio, i);
        grid->addWidget(radio, i / columns, i % columns);
    }
    return box;
}

void Check(QButtonGroup* group, int id, int fallback)
{
    QAbstractButton* button = group->button(id);
    (button ? button : group->button(fallback))->setChecked(true);
}

double TextValue(const QString& text, double fallback)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : fallback;
}

}  // namespace

CSetupCoordDlg::CSetupCoordDlg(CSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store)
{
    setWindowTitle(QStringLiteral("PlotView"));
    message_ = [this](const QString& text) {
        if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
        QMessageBox::information(this, windowTitle(), text);
    };
    BuildControls();
    Reload();
}

void CSetupCoordDlg::SetMessageSink(std::function<void(const QString&)> sink)
{
    message_ = std::move(sink);
}

void CSetupCoordDlg::SetPlotPointsSource(std::function<PlotPoints()> source)
{
    plotPoints_ = std::move(source);
}

void CSetupCoordDlg::BuildControls()
{
    centreGroup_ = new QButtonGroup(this);
    auto* centreBox =
        RadioBox(tr("원점 기준"), {tr("평균점"), tr("기준점"), tr("현재점"), tr("임의점 ==>")},
                 "centre", centreGroup_, this);
    coordGroup_ = new QButtonGroup(this);
    auto* coordBox =
        RadioBox(tr("좌표계"),
                 {QStringLiteral("UTM-K"), QStringLiteral("KATECH"), QStringLiteral("UTM"),
                  tr("동부원점"), tr("중부원점"), tr("서부원점"), tr("동해원점")},
                 "coord", coordGroup_, this, 2);
    errorGroup_ = new QButtonGroup(this);
    auto* errorBox =
        RadioBox(tr("오차 기준"), {tr("평균점"), tr("기준점"), tr("현재점"), tr("임의점")}, "error",
                 errorGroup_, this);

    pixelSpin_ = new QSpinBox(this);
    pixelSpin_->setObjectName(QStringLiteral("pixelSpin"));
    pixelSpin_->setRange(1, kMaxPixelSize);
    pixelSpin_->setSingleStep(1);
    auto* pixelRow = new QHBoxLayout;
    pixelRow->addWidget(new QLabel(tr("플롯맵 점 크기:"), this));
    pixelRow->addWidget(pixelSpin_);
    pixelRow->addWidget(new QLabel(tr("픽셀"), this));

    auto* stationBox = new QGroupBox(tr("RMS/CEP 계산시 사용"), this);
    auto* stationLayout = new QVBoxLayout(stationBox);
    stationCombo_ = new QComboBox(stationBox);
    stationCombo_->setObjectName(QStringLiteral("stationCombo"));
    for (const ReferenceStation& station : kReferenceStations) {
        stationCombo_->addItem(
            QCoreApplication::translate("ReferenceStation", std::string(station.name).c_str()));
    }
    stationLonLabel_ = new QLabel(stationBox);
    stationLonLabel_->setObjectName(QStringLiteral("stationLonLabel"));
    stationLatLabel_ = new QLabel(stationBox);
    stationLatLabel_->setObjectName(QStringLiteral("stationLatLabel"));
    stationLayout->addWidget(stationCombo_);
    stationLayout->addWidget(stationLonLabel_);
    stationLayout->addWidget(stationLatLabel_);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupCoordDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &CSetupCoordDlg::Apply);

    auto* grid = new QGridLayout;
    grid->addWidget(centreBox, 0, 0);
    grid->addLayout(BuildPointGroup(), 0, 1);
    grid->addWidget(coordBox, 1, 0);
    grid->addWidget(stationBox, 1, 1);
    grid->addWidget(errorBox, 2, 0);
    grid->addLayout(BuildDistanceGroup(), 2, 1);
    grid->addLayout(pixelRow, 3, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(styleGroup_, &QButtonGroup::idClicked, this, &CSetupCoordDlg::SetInputStyle);
    connect(stationCombo_, &QComboBox::activated, this, &CSetupCoordDlg::ChooseStation);
}

QLayout* CSetupCoordDlg::BuildPointGroup()
{
    styleGroup_ = new QButtonGroup(this);
    auto* box = RadioBox(tr("임의점 좌표"), {tr("도"), tr("도분"), tr("도분초")}, "style",
                         styleGroup_, this, kStyleCount);
    auto* grid = static_cast<QGridLayout*>(box->layout());
    const QString hints[kStyleCount] = {tr("*도 입력(예: 127.1234567)"),
                                        tr("*도분 입력(예: 127 37.1234567)"),
                                        tr("*도분초 입력(예: 127 37 37.1234567)")};
    const char* const names[kStyleCount] = {"deg", "dm", "dms"};
    for (int style = 0; style < kStyleCount; ++style) {
        const int row = 1 + style * 2;
        grid->addWidget(new QLabel(hints[style], box), row, 0, 1, kStyleCount);
        for (int axis = 0; axis < 2; ++axis) {
            auto* edit = new QLineEdit(box);
            edit->setObjectName(QStringLiteral("%1%2Edit")
                                    .arg(QLatin1String(names[style]), axis == 0
                                                                          ? QStringLiteral("Lon")
                                                                          : QStringLiteral("Lat")));
            edit->setPlaceholderText(axis == 0 ? tr("경도") : tr("위도"));
            pointEdits_[style][axis] = edit;
            grid->addWidget(edit, row + 1, axis);
        }
    }
    auto* convert = new QPushButton(tr("임의점 좌표변환"), box);
    convert->setObjectName(QStringLiteral("convertButton"));
    grid->addWidget(convert, 1 + kStyleCount * 2, 0, 1, kStyleCount);
    connect(convert, &QPushButton::clicked, this, &CSetupCoordDlg::ConvertPoint);
    auto* layout = new QVBoxLayout;
    layout->addWidget(box);
    return layout;
}

QLayout* CSetupCoordDlg::BuildDistanceGroup()
{
    auto* box = new QGroupBox(tr("거리 계산"), this);
    auto* grid = new QGridLayout(box);
    targetLonEdit_ = new QLineEdit(box);
    targetLonEdit_->setObjectName(QStringLiteral("targetLonEdit"));
    targetLatEdit_ = new QLineEdit(box);
    targetLatEdit_->setObjectName(QStringLiteral("targetLatEdit"));
    targetSourceCombo_ = new QComboBox(box);
    targetSourceCombo_->setObjectName(QStringLiteral("targetSourceCombo"));
    targetSourceCombo_->addItems({tr("현재 평균점"), tr("현재 최대오차점")});
    auto* fetch = new QPushButton(tr("대상좌표\n가져오기"), box);
    fetch->setObjectName(QStringLiteral("fetchTargetButton"));
    auto* copy = new QPushButton(tr("도분초에\n 복사"), box);
    copy->setObjectName(QStringLiteral("copyToDmsButton"));
    auto* calculate = new QPushButton(tr("계산"), box);
    calculate->setObjectName(QStringLiteral("calculateButton"));
    distanceEdit_ = new QLineEdit(box);
    distanceEdit_->setObjectName(QStringLiteral("distanceEdit"));
    distanceEdit_->setReadOnly(true);

    grid->addWidget(new QLabel(tr("대상 좌표 (예: 127.1234567)"), box), 0, 0, 1, 3);
    grid->addWidget(targetLonEdit_, 1, 0);
    grid->addWidget(targetLatEdit_, 1, 1);
    grid->addWidget(targetSourceCombo_, 2, 0);
    grid->addWidget(fetch, 2, 1);
    grid->addWidget(copy, 2, 2);
    grid->addWidget(new QLabel(tr("계산된 거리 : (CM)"), box), 3, 0);
    grid->addWidget(distanceEdit_, 3, 1);
    grid->addWidget(calculate, 3, 2);
    grid->addWidget(new QLabel(tr("거리계산 기준좌표는 원점기준에 따라 차이남."), box), 4, 0, 1, 3);

    connect(fetch, &QPushButton::clicked, this, &CSetupCoordDlg::FetchTarget);
    connect(copy, &QPushButton::clicked, this, &CSetupCoordDlg::CopyTargetToDms);
    connect(calculate, &QPushButton::clicked, this, &CSetupCoordDlg::CalculateDistance);
    auto* layout = new QVBoxLayout;
    layout->addWidget(box);
    return layout;
}

int CSetupCoordDlg::Centre() const { return centreGroup_->checkedId(); }
int CSetupCoordDlg::InputStyle() const { return styleGroup_->checkedId(); }
int CSetupCoordDlg::CoordSystem() const { return coordGroup_->checkedId(); }
int CSetupCoordDlg::PixelSize() const { return pixelSpin_->value(); }
int CSetupCoordDlg::Station() const { return stationCombo_->currentIndex(); }
QString CSetupCoordDlg::StationLongitudeText() const { return stationLonLabel_->text(); }
QString CSetupCoordDlg::StationLatitudeText() const { return stationLatLabel_->text(); }
int CSetupCoordDlg::ErrorBase() const { return errorGroup_->checkedId(); }

QString CSetupCoordDlg::PointLongitudeText(int style) const
{
    return style >= 0 && style < kStyleCount ? pointEdits_[style][0]->text() : QString();
}

QString CSetupCoordDlg::PointLatitudeText(int style) const
{
    return style >= 0 && style < kStyleCount ? pointEdits_[style][1]->text() : QString();
}

bool CSetupCoordDlg::PointEditsEnabled(int style) const
{
    return style >= 0 && style < kStyleCount && pointEdits_[style][0]->isEnabled() &&
           pointEdits_[style][1]->isEnabled();
}

QString CSetupCoordDlg::TargetLongitudeText() const { return targetLonEdit_->text(); }
QString CSetupCoordDlg::TargetLatitudeText() const { return targetLatEdit_->text(); }
QString CSetupCoordDlg::DistanceText() const { return distanceEdit_->text(); }

void CSetupCoordDlg::Reload()
{
    using namespace settings;
    SetCentre(store_.Get(kRefPointCenter));
    SetCoordSystem(store_.Get(kRefPointCoordSys));
    SetPixelSize(store_.Get(kPlotPixelSize));
    const int site = store_.Get(kRefPointRefSite);
    ChooseStation(StationPosition(site) ? site : store_.Get(kErrorCalRefSite));
    SetErrorBase(store_.Get(kErrorCalBase));
    const auto defaultValue = [](const TextSetting& setting) {
        return TextValue(Text(setting.defaultValue), 0.0);
    };
    // Every style is filled, so applying in any style keeps the stored point.
    ShowPoint(TextValue(store_.Get(kRefPointLongitude), defaultValue(kRefPointLongitude)),
              TextValue(store_.Get(kRefPointLatitude), defaultValue(kRefPointLatitude)));
    SetInputStyle(store_.Get(kRefPointDmsType));
}

void CSetupCoordDlg::SetCentre(int reference)
{
    Check(centreGroup_, reference, settings::kRefPointCenter.defaultValue);
}

void CSetupCoordDlg::SetInputStyle(int style)
{
    Check(styleGroup_, style, kDegrees);
    for (int s = 0; s < kStyleCount; ++s) {
        for (QLineEdit* edit : pointEdits_[s]) edit->setEnabled(s == InputStyle());
    }
}

void CSetupCoordDlg::SetCoordSystem(int system)
{
    Check(coordGroup_, system, settings::kRefPointCoordSys.defaultValue);
}

void CSetupCoordDlg::SetPixelSize(int pixels) { pixelSpin_->setValue(pixels); }

void CSetupCoordDlg::ChooseStation(int row)
{
    const bool valid = row >= 0 && row < kReferenceStationCount;
    stationCombo_->setCurrentIndex(valid ? row : -1);
    const QString none = StationDmsText(kNoStationText);
    stationLonLabel_->setText(valid ? StationDmsText(kReferenceStations[row].longitude) : none);
    stationLatLabel_->setText(valid ? StationDmsText(kReferenceStations[row].latitude) : none);
}

void CSetupCoordDlg::SetErrorBase(int reference) { Check(errorGroup_, reference, kAverage); }

void CSetupCoordDlg::SetPointText(int style, const QString& longitude, const QString& latitude)
{
    if (style < 0 || style >= kStyleCount) return;
    pointEdits_[style][0]->setText(longitude);
    pointEdits_[style][1]->setText(latitude);
}

void CSetupCoordDlg::ShowPoint(double longitude, double latitude)
{
    for (int style = 0; style < kStyleCount; ++style) {
        SetPointText(style, FormatCoordText(longitude, style), FormatCoordText(latitude, style));
    }
}

std::optional<PlotPoints::Point> CSetupCoordDlg::ArbitraryPoint() const
{
    const int style = InputStyle();
    const auto longitude = ParseCoordText(PointLongitudeText(style), style);
    const auto latitude = ParseCoordText(PointLatitudeText(style), style);
    if (!longitude || !latitude) return std::nullopt;
    return PlotPoints::Point{*longitude, *latitude};
}

void CSetupCoordDlg::ConvertPoint()
{
    if (const auto point = ArbitraryPoint()) {
        // The chosen style keeps what was typed.
        const int style = InputStyle();
        const QString lon = PointLongitudeText(style);
        const QString lat = PointLatitudeText(style);
        ShowPoint(point->longitude, point->latitude);
        SetPointText(style, lon, lat);
    }
}

void CSetupCoordDlg::SetTarget(const QString& longitude, const QString& latitude)
{
    targetLonEdit_->setText(longitude);
    targetLatEdit_->setText(latitude);
}

void CSetupCoordDlg::ChooseTargetSource(int source)
{
    targetSourceCombo_->setCurrentIndex(source == kTargetMaxError ? kTargetMaxError
                                                                  : kTargetAverage);
}

PlotPoints CSetupCoordDlg::CurrentPlotPoints() const
{
    return plotPoints_ ? plotPoints_() : PlotPoints{};
}

void CSetupCoordDlg::FetchTarget()
{
    const PlotPoints points = CurrentPlotPoints();
    const auto& point =
        targetSourceCombo_->currentIndex() == kTargetMaxError ? points.maxError : points.average;
    if (!point) {
        message_(tr("플롯에 표시된 위치가 없습니다!!"));
        return;
    }
    SetTarget(QString::asprintf("%011.7f", point->longitude),
              QString::asprintf("%010.7f", point->latitude));
}

void CSetupCoordDlg::CopyTargetToDms()
{
    ShowPoint(TextValue(TargetLongitudeText(), 0.0), TextValue(TargetLatitudeText(), 0.0));
}

std::optional<PlotPoints::Point> CSetupCoordDlg::DistanceReference()
{
    switch (Centre()) {
        case kStation:
            if (const auto station = StationPosition(Station())) {
                return PlotPoints::Point{station->longitude, station->latitude};
            }
            message_(tr("통합기준점이 설정되지 않았습니다!!"));
            return std::nullopt;
        case kArbitrary: {
            const auto point = ArbitraryPoint();
            if (point && point->longitude != 0.0 && point->latitude != 0.0) return point;
            message_(tr("임의점 좌표가 설정되지 않았습니다!!"));
            return std::nullopt;
        }
        default: {
            const PlotPoints points = CurrentPlotPoints();
            const auto& point = Centre() == kAverage ? points.average : points.newest;
            // Without a plotted point there is nothing to measure from.
            if (!point) message_(tr("플롯에 표시된 위치가 없습니다!!"));
            return point;
        }
    }
}

void CSetupCoordDlg::CalculateDistance()
{
    const auto reference = DistanceReference();
    if (!reference) return;
    const double distance =
        Distance(reference->latitude, reference->longitude, TextValue(TargetLatitudeText(), 0.0),
                 TextValue(TargetLongitudeText(), 0.0));
    distanceEdit_->setText(QString::asprintf("%.2f", distance * 100.0));
}

bool CSetupCoordDlg::Apply()
{
    using namespace settings;
    const auto point = ArbitraryPoint();
    if (!point) {
        pointEdits_[InputStyle()][0]->setFocus();
        return false;
    }
    store_.Write(kRefPointCenter, Centre());
    store_.Write(kRefPointDmsType, InputStyle());
    store_.Write(kRefPointCoordSys, CoordSystem());
    store_.Write(kRefPointRefSite, Station());
    store_.Write(kPlotPixelSize, PixelSize());
    store_.Write(kErrorCalBase, ErrorBase());
    store_.Write(kErrorCalRefSite, Station());
    const char* format = InputStyle() == kDegrees ? "%.7f" : "%.10f";
    const QString longitude = QString::asprintf(format, point->longitude);
    const QString latitude = QString::asprintf(format, point->latitude);
    store_.Write(kRefPointLongitude, longitude);
    store_.Write(kRefPointLatitude, latitude);
    if (ErrorBase() == kArbitrary) {
        store_.Write(kErrorCalLongitude, longitude);
        store_.Write(kErrorCalLatitude, latitude);
    }
    return true;
}

void CSetupCoordDlg::accept()
{
    if (Apply()) QDialog::accept();
}
