#pragma once
// The per-user settings store: text values addressed by section and key, inside one
// application's store. Only this seam touches QSettings.
#include <QString>
#include <memory>

namespace zypo {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& section, const QString& key, const QString& defaultValue) = 0;
    virtual void write(const QString& section, const QString& key, const QString& value) = 0;
    /// Puts what was written on disk; false when it could not be stored (the previous file
    /// stays whole in that case).
    virtual bool flush() = 0;
};

/// INI file store. The file is replaced atomically on every flush.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(const QString& filePath);
    ~IniSettingsStore() override;
    QString read(const QString& section, const QString& key, const QString& defaultValue) override;
    void write(const QString& section, const QString& key, const QString& value) override;
    bool flush() override;
    QString filePath() const;

    /// ~/.config/ZYPO3/ZYPO3.ini (or under $XDG_CONFIG_HOME).
    static QString defaultFilePath(const QString& application = QStringLiteral("ZYPO3"));

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zypo
