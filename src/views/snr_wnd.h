#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "views/display_toggles.h"
#include "views/satellite_display.h"
#include "views/text_cache.h"

class QPainter;

// Bar chart of the signal strength of each satellite in view, one slot per satellite, with
// a label cell below each bar and a popup for the bar under a click.
class CSnrWnd : public QWidget {
    Q_OBJECT

public:
    explicit CSnrWnd(QWidget* parent = nullptr);

    // The shared switches; without them every constellation and both bands are shown.
    void SetToggles(const CDisplayToggles* toggles);
    const GnssReceiverState& State() const { return state_; }
    // Number of slots the chart shows with the current switches.
    int ShownSatelliteCount() const;

public slots:
    void Update(const GnssReceiverState& state);
    void Clear();
    // Mouse input in window coordinates; also reached through the widget's own events.
    void OnLButtonDown(const QPoint& point);
    void OnMouseMove(const QPoint& point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // One bar's place and what it shows, worked out once per paint.
    struct Slot {
        int left = 0;
        int right = 0;
        Constellation row = Constellation::Unspecified;
        const SatelliteInView* satellite = nullptr;
        SnrBarChoice bar;
        QColor colour;
        int top = 0;
        int weakerTop = 0;
    };

    bool IsShown(Constellation constellation) const;
    bool IsBandOn(CDisplayToggles::Band band) const;
    Slot MakeSlot(int index, int count, Constellation row, const SatelliteInView& satellite) const;
    void PaintNoSignal(QPainter& painter) const;
    void PaintFrame(QPainter& painter, int count) const;
    const QPixmap& FrameImage(const std::vector<Slot>& shown);
    void PaintBar(QPainter& painter, const Slot& slot) const;
    void PaintWeakerMark(QPainter& painter, const Slot& slot) const;
    void PaintLabelCell(QPainter& painter, const Slot& slot) const;
    void TakePopup(QPainter& painter, const Slot& slot);
    void PaintPopup(QPainter& painter) const;

    QPointer<const CDisplayToggles> toggles_;
    GnssReceiverState state_;
    // The decoder of the first state received: NMEA marks SBAS and QZSS only by number.
    std::optional<std::int32_t> firstProtocol_;
    bool clicked_ = false;
    QPoint clickPoint_;
    QString popupLabel_;
    QString popupValue_;
    QRect popupRect_;
    // The chart without its bars, for the slots in frameKey_.
    QPixmap frame_;
    std::vector<QRgb> frameKey_;
    // Bar values and labels repeat from paint to paint.
    mutable CTextCache texts_;
};
