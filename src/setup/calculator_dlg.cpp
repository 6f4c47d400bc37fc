#include "setup/calculator_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "geo/coord_converter.h"
#include "geo/coord_system_table.h"
#include "geo/dms.h"

namespace {

QString WithThousands(double value)
{
    QString digits = QString::number(static_cast<long long>(std::llround(value)));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    return digits;
}

// Shortest fixed text: trailing zeros and a bare point dropped.
QString Trimmed(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    return text;
}

// Origins are whole milliseconds of arc (10.405 seconds beyond the degree for some rows);
// rounding there hides the radian round trip.
QString OriginDegrees(double radians)
{
    const double degrees = radians * 180.0 / kCoordPi;
    return Trimmed(std::round(degrees * 3.6e6) / 3.6e6, 13);
}

double Number(const QLineEdit* edit) { return edit->text().trimmed().toDouble(); }

}  // namespace

QStringList CoordRowParameterTexts(int row)
{
    const CoordSystem* system = FindCoordSystem(row);
    if (system == nullptr) return QStringList(7);
    const QString code = QString::fromUtf8(system->code.data(), system->code.size());
    if (system->kind == ProjectionKind::kGeographic) {
        return {QString(), QString(), QString(), QString(), QString(), QString(), code};
    }
    return {system->kind == ProjectionKind::kUtm ? QStringLiteral("UTM") : QStringLiteral("TM"),
            OriginDegrees(system->centralMeridian),
            OriginDegrees(system->originLatitude),
            WithThousands(system->falseNorthing),
            WithThousands(system->falseEasting),
            Trimmed(system->scale, 4),
            code};
}

CCalculatorDlg::CCalculatorDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("좌표 변환"));
    message_ = [this](const QString& text) {
        if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
        QMessageBox::warning(this, tr("좌표변환"), text);
    };

    auto* convertButton = new QPushButton(tr("변환하기\n>>"), this);
    convertButton->setObjectName(QStringLiteral("convertButton"));
    connect(convertButton, &QPushButton::clicked, this, &CCalculatorDlg::Convert);

    auto* halves = new QHBoxLayout;
    halves->addWidget(BuildHalf(Side::kSource, QStringLiteral("source")));
    halves->addWidget(convertButton);
    halves->addWidget(BuildHalf(Side::kDestination, QStringLiteral("destination")));

    auto* instructions =
        new QLabel(tr("1.변환하고자 하는 타원체와 좌표계를 먼저 선택합니다.\n2.NMEA 파일을 "
                      "선택합니다.\n3.저장하고자 하는 CSV파일명을 입력합니다."),
                   this);
    formatList_ = new QComboBox(this);
    formatList_->setObjectName(QStringLiteral("formatList"));
    formatList_->addItems({QStringLiteral("CSV"), QStringLiteral("GPX"), QStringLiteral("KML")});
    exportButton_ = new QPushButton(tr("NMEA 파일 >> CSV 저장"), this);
    exportButton_->setObjectName(QStringLiteral("exportButton"));
    connect(exportButton_, &QPushButton::clicked, this, &CCalculatorDlg::ChooseAndExport);
    auto* closeButton = new QPushButton(tr("닫기"), this);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(instructions, 1);
    bottom->addWidget(formatList_);
    bottom->addWidget(exportButton_);
    bottom->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(halves);
    layout->addLayout(bottom);

    SelectRow(Side::kSource, kGeographicRow);
    SelectRow(Side::kDestination, kUtmKRow);
}

CCalculatorDlg::~CCalculatorDlg()
{
    if (worker_ != nullptr) {
        cancel_ = true;
        worker_->wait();
        delete worker_;
    }
}

QWidget* CCalculatorDlg::BuildHalf(Side side, const QString& prefix)
{
    Half& half = HalfOf(side);
    auto* box = new QGroupBox(this);
    auto* grid = new QGridLayout(box);
    const auto edit = [&](const QString& name) {
        auto* e = new QLineEdit(box);
        e->setObjectName(prefix + name);
        return e;
    };
    half.list = new QComboBox(box);
    half.list->setObjectName(prefix + QStringLiteral("List"));
    for (const CoordSystem& system : kCoordSystems)
        half.list->addItem(
            QCoreApplication::translate("CoordSystem", std::string(system.name).c_str()));
    connect(half.list, &QComboBox::currentIndexChanged, this, [this, side] { ShowRow(side); });
    grid->addWidget(half.list, 0, 0, 1, 7);

    half.lonDeg = edit(QStringLiteral("LonDeg"));
    half.latDeg = edit(QStringLiteral("LatDeg"));
    const char* dmsNames[] = {"D", "M", "S"};
    const QString dmsLabels[] = {tr("도"), tr("분"), tr("초")};
    int row = 1;
    for (auto [label, degrees, dms, name] :
         {std::tuple{tr("경도 (단위:도)"), half.lonDeg, &half.lonDms, QStringLiteral("Lon")},
          std::tuple{tr("위도 (단위:도)"), half.latDeg, &half.latDms, QStringLiteral("Lat")}}) {
        grid->addWidget(new QLabel(label, box), row, 0);
        grid->addWidget(degrees, row, 1, 1, 6);
        connect(degrees, &QLineEdit::editingFinished, this, [this, side] { DegreesEdited(side); });
        for (int i = 0; i < 3; ++i) {
            (*dms)[i] = edit(name + QLatin1String(dmsNames[i]));
            grid->addWidget((*dms)[i], row + 1, 1 + 2 * i);
            grid->addWidget(new QLabel(dmsLabels[i], box), row + 1, 2 + 2 * i);
            connect((*dms)[i], &QLineEdit::editingFinished, this,
                    [this, side] { DmsEdited(side); });
        }
        row += 2;
    }
    half.east = edit(QStringLiteral("East"));
    half.north = edit(QStringLiteral("North"));
    grid->addWidget(new QLabel(tr("East (단위:미터)"), box), row, 0);
    grid->addWidget(half.east, row++, 1, 1, 6);
    grid->addWidget(new QLabel(tr("North (단위:미터)"), box), row, 0);
    grid->addWidget(half.north, row++, 1, 1, 6);

    const QString parameterLabels[] = {
        QStringLiteral("Projection"),    QStringLiteral("Lon of Origin"),
        QStringLiteral("Lat of Origin"), QStringLiteral("False Northing"),
        QStringLiteral("False Easting"), QStringLiteral("Scale Factor"),
        QStringLiteral("EPSG")};
    for (int i = 0; i < 7; ++i) {
        half.parameters[i] = edit(QStringLiteral("Param%1").arg(i));
        half.parameters[i]->setReadOnly(true);
        grid->addWidget(new QLabel(parameterLabels[i], box), row, 0);
        grid->addWidget(half.parameters[i], row++, 1, 1, 6);
    }
    auto* move = new QPushButton(tr("위경도 좌표로 이동하기"), box);
    move->setObjectName(prefix + QStringLiteral("MoveButton"));
    connect(move, &QPushButton::clicked, this,
            side == Side::kSource ? &CCalculatorDlg::MoveSource : &CCalculatorDlg::MoveDestination);
    grid->addWidget(move, row, 0, 1, 7);
    return box;
}

void CCalculatorDlg::SetMapCommands(std::function<void()> clear,
                                    std::function<void(double lat, double lon)> showOnMap,
                                    std::function<void(double lat, double lon)> addToPlot)
{
    clear_ = std::move(clear);
    showOnMap_ = std::move(showOnMap);
    addToPlot_ = std::move(addToPlot);
}

void CCalculatorDlg::SetMessageSink(std::function<void(const QString&)> sink)
{
    message_ = std::move(sink);
}

void CCalculatorDlg::Message(const QString& text)
{
    if (message_) message_(text);
}

int CCalculatorDlg::Row(Side side) const
{
    return (side == Side::kSource ? source_ : destination_).list->currentIndex();
}

void CCalculatorDlg::SelectRow(Side side, int row)
{
    HalfOf(side).list->setCurrentIndex(row);
    ShowRow(side);
}

void CCalculatorDlg::ShowRow(Side side)
{
    Half& half = HalfOf(side);
    const QStringList texts = CoordRowParameterTexts(half.list->currentIndex());
    for (int i = 0; i < 7; ++i) half.parameters[i]->setText(texts[i]);
    const bool geographic = half.list->currentIndex() == kGeographicRow;
    for (QLineEdit* e : {half.lonDeg, half.latDeg}) e->setEnabled(geographic);
    for (auto* dms : {&half.lonDms, &half.latDms})
        for (QLineEdit* e : *dms) e->setEnabled(geographic);
    half.east->setEnabled(!geographic);
    half.north->setEnabled(!geographic);
}

void CCalculatorDlg::SetDegrees(Side side, double longitude, double latitude)
{
    Half& half = HalfOf(side);
    half.lonDeg->setText(QString::number(longitude, 'f', 9));
    half.latDeg->setText(QString::number(latitude, 'f', 9));
    DegreesEdited(side);
}

void CCalculatorDlg::SetGrid(Side side, double east, double north)
{
    Half& half = HalfOf(side);
    half.east->setText(QString::number(east, 'f', 4));
    half.north->setText(QString::number(north, 'f', 4));
}

void CCalculatorDlg::DegreesEdited(Side side)
{
    Half& half = HalfOf(side);
    for (auto [degrees, dms] :
         {std::pair{half.lonDeg, &half.lonDms}, std::pair{half.latDeg, &half.latDms}}) {
        int d = 0;
        int m = 0;
        double s = 0;
        ToDms(Number(degrees), d, m, s);
        (*dms)[0]->setText(QString::number(d));
        (*dms)[1]->setText(QString::number(m));
        (*dms)[2]->setText(QString::number(s, 'f', 4));
    }
}

void CCalculatorDlg::DmsEdited(Side side)
{
    Half& half = HalfOf(side);
    for (auto [degrees, dms] :
         {std::pair{half.lonDeg, &half.lonDms}, std::pair{half.latDeg, &half.latDms}}) {
        const double value = Number((*dms)[0]) + Number((*dms)[1]) / 60 + Number((*dms)[2]) / 3600;
        degrees->setText(QString::number(value, 'f', 9));
    }
}

bool CCalculatorDlg::Convert()
{
    const CoordConverter converter(Row(Side::kSource), Row(Side::kDestination));
    const bool fromDegrees = Row(Side::kSource) == kGeographicRow;
    const double in1 = Number(fromDegrees ? source_.lonDeg : source_.east);
    const double in2 = Number(fromDegrees ? source_.latDeg : source_.north);
    double out1 = 0;
    double out2 = 0;
    const CoordConverter::Status status = converter.Convert(in1, in2, out1, out2);
    if (!status.Ok()) {
        Message(QString::fromUtf8(status.error.data(), status.error.size()));
        return false;
    }
    if (Row(Side::kDestination) == kGeographicRow) {
        SetDegrees(Side::kDestination, out1, out2);
    } else {
        SetGrid(Side::kDestination, out1, out2);
    }
    char line[160];
    std::snprintf(line, sizeof line, " [%f/%f] -- [%f/%f]\r\n", in1, in2, out1, out2);
    qDebug().noquote() << line;
    return true;
}

std::optional<std::pair<double, double>> CCalculatorDlg::LatLon(Side side)
{
    Half& half = HalfOf(side);
    if (Row(side) == kGeographicRow) return std::pair{Number(half.latDeg), Number(half.lonDeg)};
    // A grid half's degree fields are disabled and may be stale: its grid point counts.
    const CoordConverter converter(Row(side), kGeographicRow);
    double lon = 0;
    double lat = 0;
    const CoordConverter::Status status =
        converter.Convert(Number(half.east), Number(half.north), lon, lat);
    if (!status.Ok()) {
        Message(QString::fromUtf8(status.error.data(), status.error.size()));
        return std::nullopt;
    }
    return std::pair{lat, lon};
}

void CCalculatorDlg::MoveSource()
{
    const auto point = LatLon(Side::kSource);
    if (!point) return;
    if (showOnMap_) showOnMap_(point->first, point->second);
    if (addToPlot_) addToPlot_(point->first, point->second);
}

void CCalculatorDlg::MoveDestination()
{
    const auto point = LatLon(Side::kDestination);
    if (!point) return;
    if (clear_) clear_();
    if (showOnMap_) showOnMap_(point->first, point->second);
}

void CCalculatorDlg::ChooseAndExport()
{
    const QString in =
        QFileDialog::getOpenFileName(this, tr("NMEA 파일"), QString(), tr("Every File(*.*)"));
    if (in.isEmpty()) return;
    const auto format = static_cast<ExportFormat>(formatList_->currentIndex());
    const QString extension = QString::fromLatin1(ExportExtension(format).data());
    const QString out =
        QFileDialog::getSaveFileName(this, tr("저장"), QString(), QStringLiteral("*") + extension);
    if (out.isEmpty()) return;
    StartExport(in, out, format);
}

bool CCalculatorDlg::StartExport(const QString& in, const QString& out, ExportFormat format)
{
    if (worker_ != nullptr) return false;
    cancel_ = false;
    shownPermille_ = -1;
    ExportOptions options;
    options.format = format;
    options.gridRow = Row(Side::kDestination);
    options.cancel = &cancel_;
    // One queued update per permille, not per block: a large log must not flood the loop.
    options.progress = [this](std::uint64_t done, std::uint64_t total) {
        const int permille = total == 0 ? 1000 : static_cast<int>(done * 1000 / total);
        if (shownPermille_.exchange(permille) == permille) return;
        QMetaObject::invokeMethod(
            this, [this, done, total] { OnProgress(done, total); }, Qt::QueuedConnection);
    };
    const std::string inPath = in.toStdString();
    const std::string outPath = out.toStdString();
    worker_ = QThread::create([this, inPath, outPath, options] {
        const ExportResult result = ExportPositions(inPath, outPath, options);
        QMetaObject::invokeMethod(
            this, [this, result] { OnExportDone(result); }, Qt::QueuedConnection);
    });
    exportButton_->setEnabled(false);
    progress_ = new QProgressDialog(tr("변환 중..."), tr("취소"), 0, 1000, this);
    progress_->setWindowTitle(tr("좌표변환"));
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, this, &CCalculatorDlg::CancelExport);
    progress_->show();
    worker_->start();
    return true;
}

void CCalculatorDlg::CancelExport() { cancel_ = true; }

void CCalculatorDlg::OnProgress(quint64 done, quint64 total)
{
    if (progress_ != nullptr && total > 0)
        progress_->setValue(static_cast<int>(done * 1000 / total));
}

void CCalculatorDlg::OnExportDone(const ExportResult& result)
{
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    delete progress_;
    progress_ = nullptr;
    exportButton_->setEnabled(true);

    QString text;
    switch (result.outcome) {
        case ExportOutcome::kDone:
            text = tr("변환을 완료하였습니다");
            if (result.skipped > 0) {
                text += QLatin1Char('\n') + tr("좌표를 변환하지 못한 위치 %1개는 건너뛰었습니다 "
                                               "(Latitude failed to converge)")
                                                .arg(result.skipped);
            }
            break;
        case ExportOutcome::kCannotOpen: text = tr("파일을 열 수 없습니다"); break;
        case ExportOutcome::kCannotCreate:
        case ExportOutcome::kBadGridRow: text = tr("파일을 생성할 수 없습니다"); break;
        case ExportOutcome::kReadError:
        case ExportOutcome::kWriteError:
            text = tr("파일을 저장하지 못하여 저장 중이던 파일을 지웠습니다");
            break;
        case ExportOutcome::kCancelled:
            text = tr("변환을 취소하여 저장 중이던 파일을 지웠습니다");
            break;
    }
    Message(text);
    emit exportFinished(result.Ok(), text);
}
