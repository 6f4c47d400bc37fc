#pragma once

#include <QFont>
#include <QString>

// The views name their fonts by these faces, which a Linux desktop rarely has; each maps onto
// an installed Korean font so that Korean text never shows as boxes.
inline const QString kFontDotumChe = QStringLiteral("돋움체");         // fixed pitch
inline const QString kFontMalgunGothic = QStringLiteral("맑은 고딕");  // proportional
inline const QString kFontArial = QStringLiteral("Arial");

// Registers the substitutes once per process; ViewFont does it on first use.
void InstallViewFontSubstitutes();

// A font of the given family and pixel height (the views size text in pixels).
QFont ViewFont(const QString& family, int pixelHeight, bool bold = false);
