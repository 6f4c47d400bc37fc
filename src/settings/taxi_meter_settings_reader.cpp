#include "settings/taxi_meter_settings_reader.h"

#include "settings/settings_store.h"

TaxiMeterSettings LoadTaxiMeterSettings(const CSettingsStore& store)
{
    // The texts must outlive ReadTaxiMeterSettings, which sees them as views.
    const QByteArray basicDistance = store.Get(settings::kNmeaBasicDistance).toUtf8();
    const QByteArray basicFee = store.Get(settings::kNmeaBasicFee).toUtf8();
    const QByteArray minSpeed = store.Get(settings::kNmeaMinSpeed).toUtf8();
    const QByteArray unitFee = store.Get(settings::kNmeaUnitFee).toUtf8();
    const QByteArray unitDistance = store.Get(settings::kNmeaUnitDistance).toUtf8();
    const auto view = [](const QByteArray& bytes) {
        return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    };
    TaxiMeterSettingTexts texts;
    texts.operationType = store.Get(settings::kNmeaOperationType);
    texts.basicDistance = view(basicDistance);
    texts.basicFee = view(basicFee);
    texts.minSpeed = view(minSpeed);
    texts.unitFee = view(unitFee);
    texts.unitDistance = view(unitDistance);
    texts.displaySpeedLimitIndex = store.Get(settings::kNmeaDisplayLimitSpeed);
    texts.gpsModule = store.Get(settings::kNmeaGpsModule);
    return ReadTaxiMeterSettings(texts);
}
