#include "core/MAIN.h"

#include "core/SettingsText.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>

namespace zypo {

namespace {
const QString Main = QStringLiteral("Main");
const QString Video = QStringLiteral("Video");
const QString Data = QStringLiteral("Data");

std::int16_t readInt(SettingsStore& s, const QString& section, const QString& key, std::int16_t fallback) {
    const QString text = s.read(section, key, settingsNumberText(fallback));
    return parseSettingsInt16(text).value_or(fallback);
}
} // namespace

void MAIN::SetteiLoad() {
    if (!svc.settings)
        return;
    SettingsStore& s = *svc.settings;
    MainTop = readInt(s, Main, QStringLiteral("Top"), -1);
    MainLeft = readInt(s, Main, QStringLiteral("Left"), -1);
    VideoTop = readInt(s, Video, QStringLiteral("Top"), 0);
    VideoLeft = readInt(s, Video, QStringLiteral("Left"), 0);
    IniMidFile = s.read(Data, QStringLiteral("Ini_Mid_File"), QString::fromLatin1(NoIniMidFile));
    PlayMode = readInt(s, Data, QStringLiteral("Play_Mode"), 1);
    PlayWindow = readInt(s, Data, QStringLiteral("Play_Window"), 2);
    PlayErr = readInt(s, Data, QStringLiteral("Play_Err"), 1);
    AviSize = parseSettingsReal(s.read(Data, QStringLiteral("Avi_Size"), QStringLiteral("1"))).value_or(1.0);
}

bool MAIN::SetteiSave() {
    if (!svc.settings)
        return false;
    SettingsStore& s = *svc.settings;
    s.write(Main, QStringLiteral("Top"), settingsNumberText(MainTop));
    s.write(Main, QStringLiteral("Left"), settingsNumberText(MainLeft));
    s.write(Video, QStringLiteral("Top"), settingsNumberText(VideoTop));
    s.write(Video, QStringLiteral("Left"), settingsNumberText(VideoLeft));
    s.write(Data, QStringLiteral("Ini_Mid_File"), IniMidFile);
    s.write(Data, QStringLiteral("Play_Mode"), settingsNumberText(PlayMode));
    s.write(Data, QStringLiteral("Play_Window"), settingsNumberText(PlayWindow));
    s.write(Data, QStringLiteral("Play_Err"), settingsNumberText(PlayErr));
    s.write(Data, QStringLiteral("Avi_Size"), settingsNumberText(AviSize));
    return s.flush();
}

void EventWait(const std::int16_t& count) {
    for (std::int16_t i = 0; i < count; ++i)
        QCoreApplication::processEvents();
}

} // namespace zypo
