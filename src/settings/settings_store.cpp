#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>
#include <limits>
#include <optional>

namespace {

QString FromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString KeyPath(std::string_view section, std::string_view key)
{
    return FromView(section) + QLatin1Char('/') + FromView(key);
}

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// The file is created empty with owner-only permissions before QSettings first writes it:
// QSettings replaces the file atomically and keeps the permissions of the one it replaces.
void PrepareFile(const QString& path)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    if (!info.exists()) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.close();
    }
    QFile::setPermissions(path, kOwnerOnly);
}

// Decimal, or hexadecimal with 0x for colours written by hand.
std::optional<std::int32_t> ParseInt(QString text)
{
    text = text.trimmed();
    bool ok = false;
    qlonglong value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        value = text.mid(2).toLongLong(&ok, 16);
    } else {
        value = text.toLongLong(&ok, 10);
    }
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

CSettingsStore::CSettingsStore()
    : CSettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     QLatin1Char('/') + FromView(kOrganisation) + QLatin1Char('/') +
                     FromView(kApplication) + QStringLiteral(".conf"))
{
}

CSettingsStore::CSettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

CSettingsStore::~CSettingsStore() = default;

std::int32_t CSettingsStore::GetInt(std::string_view section, std::string_view key,
                                    std::int32_t defaultValue) const
{
    const QVariant value = settings_->value(KeyPath(section, key));
    // An unquoted comma in the file makes a list, which is no integer.
    if (!value.isValid() || value.typeId() != QMetaType::QString) return defaultValue;
    return ParseInt(value.toString()).value_or(defaultValue);
}

QString CSettingsStore::GetText(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const QVariant value = settings_->value(KeyPath(section, key));
    if (!value.isValid()) return FromView(defaultValue);
    switch (value.typeId()) {
        case QMetaType::QString: return value.toString();
        // A comma-separated text edited by hand without quotes.
        case QMetaType::QStringList: return value.toStringList().join(QLatin1Char(','));
        default: return FromView(defaultValue);
    }
}

bool CSettingsStore::WriteInt(std::string_view section, std::string_view key, std::int32_t value)
{
    settings_->setValue(KeyPath(section, key), QString::number(value));
    return Commit();
}

bool CSettingsStore::WriteText(std::string_view section, std::string_view key, const QString& value)
{
    settings_->setValue(KeyPath(section, key), value);
    return Commit();
}

std::int32_t CSettingsStore::Get(const IntSetting& setting) const
{
    return GetInt(setting.section, setting.key, setting.defaultValue);
}

QString CSettingsStore::Get(const TextSetting& setting) const
{
    return GetText(setting.section, setting.key, setting.defaultValue);
}

bool CSettingsStore::Write(const IntSetting& setting, std::int32_t value)
{
    return WriteInt(setting.section, setting.key, value);
}

bool CSettingsStore::Write(const TextSetting& setting, const QString& value)
{
    return WriteText(setting.section, setting.key, value);
}

std::int32_t CSettingsStore::ReadSyncProtocol()
{
    const std::int32_t value = Get(settings::kReplaySyncProtocol);
    if (value == settings::kSyncProtocolAuto || value == settings::kSyncProtocolNonNmea) {
        return value;
    }
    Write(settings::kReplaySyncProtocol, settings::kSyncProtocolAuto);
    return settings::kSyncProtocolAuto;
}

QString CSettingsStore::FilePath() const { return settings_->fileName(); }

bool CSettingsStore::Commit()
{
    PrepareFile(settings_->fileName());
    settings_->sync();
    QFile::setPermissions(settings_->fileName(), kOwnerOnly);
    return settings_->status() == QSettings::NoError;
}
