#include "platform/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zypo {

struct IniSettingsStore::Impl {
    explicit Impl(const QString& path) : settings(path, QSettings::IniFormat) {
        // A save that fails part way must leave the previous file whole.
        settings.setAtomicSyncRequired(true);
    }
    QSettings settings;
};

IniSettingsStore::IniSettingsStore(const QString& filePath) : d(std::make_unique<Impl>(filePath)) {}
IniSettingsStore::~IniSettingsStore() = default;

static QString keyPath(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

QString IniSettingsStore::read(const QString& section, const QString& key, const QString& defaultValue) {
    const QVariant v = d->settings.value(keyPath(section, key));
    if (!v.isValid())
        return defaultValue;
    // A value written by hand as a list ("a, b") comes back as a string list; take it as text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void IniSettingsStore::write(const QString& section, const QString& key, const QString& value) {
    d->settings.setValue(keyPath(section, key), value);
}

bool IniSettingsStore::flush() {
    QDir().mkpath(QFileInfo(d->settings.fileName()).absolutePath());
    d->settings.sync();
    return d->settings.status() == QSettings::NoError;
}

QString IniSettingsStore::filePath() const {
    return d->settings.fileName();
}

QString IniSettingsStore::defaultFilePath(const QString& application) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QLatin1Char('/') + application + QLatin1Char('/') + application + QStringLiteral(".ini");
}

} // namespace zypo
