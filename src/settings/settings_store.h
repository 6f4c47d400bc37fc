#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>

#include "settings/settings_keys.h"

// The per-user settings: a two-level table (section, key) of 32-bit integers and texts in an
// INI file that only its owner can read, since it holds passwords. A missing value, or one
// that cannot be read as the expected type, yields the caller's default.
class CSettingsStore {
public:
    static constexpr std::string_view kOrganisation = "VELMORA";
    static constexpr std::string_view kApplication = "Skarnet2";

    // The user's store: $XDG_CONFIG_HOME/VELMORA/Skarnet2.conf (~/.config by default), INI.
    CSettingsStore();
    // A store in the given INI file.
    explicit CSettingsStore(const QString& filePath);
    ~CSettingsStore();

    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    std::int32_t GetInt(std::string_view section, std::string_view key,
                        std::int32_t defaultValue) const;
    QString GetText(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const;
    // False when the file could not be written; the value then lives only until exit.
    bool WriteInt(std::string_view section, std::string_view key, std::int32_t value);
    bool WriteText(std::string_view section, std::string_view key, const QString& value);

    std::int32_t Get(const IntSetting& setting) const;
    QString Get(const TextSetting& setting) const;
    bool Write(const IntSetting& setting, std::int32_t value);
    bool Write(const TextSetting& setting, const QString& value);

    // The sync protocol of the intake; a value other than AUTO or NON NMEA is stored back as
    // AUTO.
    std::int32_t ReadSyncProtocol();

    QString FilePath() const;

private:
    bool Commit();

    std::unique_ptr<QSettings> settings_;
};
