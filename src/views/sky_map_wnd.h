#pragma once

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "views/text_cache.h"

class CDisplayToggles;
class QPainter;
struct PolarGrid;

// Polar plot of the satellites in view, with the counts in use and in view. Keeps its own
// copy of the satellite part of the receiver state and redraws from it.
class CSkyMapWnd : public QWidget {
    Q_OBJECT

public:
    explicit CSkyMapWnd(QWidget* parent = nullptr);

    // The shared switches; without them every constellation is shown.
    void SetToggles(const CDisplayToggles* toggles);
    const GnssReceiverState& State() const { return state_; }

public slots:
    void Update(const GnssReceiverState& state);
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool IsShown(Constellation constellation) const;
    // Everything of the state the map draws, every constellation, in a comparable form.
    void ShownContent(std::vector<std::int32_t>& out) const;
    const QPixmap& GridImage();
    void PaintGrid(QPainter& painter) const;
    void PaintSatellites(QPainter& painter) const;
    void PaintSatellite(QPainter& painter, const PolarGrid& grid, Constellation row,
                        const SatelliteInView& satellite) const;
    void PaintCounts(QPainter& painter) const;
    void PaintCountBox(QPainter& painter, const QRect& box, const QString& caption,
                       std::int32_t count) const;

    QPointer<const CDisplayToggles> toggles_;
    GnssReceiverState state_;
    std::vector<std::int32_t> shown_;  // the content of the latest update
    std::vector<std::int32_t> next_;   // kept for its capacity
    // The background and grid change only with the size; label sizes never.
    QPixmap grid_;
    mutable QHash<QString, QSize> labelSizes_;
    // Satellite labels and counts repeat from paint to paint.
    mutable CTextCache texts_;
};
