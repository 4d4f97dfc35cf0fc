// The media command interpreter and the reading of its replies: any text, never a crash.
#include "platform/MediaCommands.h"
#include "playback/MVIDEO.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    zypo::MediaCommands commands(nullptr, nullptr, nullptr);
    QString reply = QStringLiteral("0 0 1 1");
    for (const QString& line : text.split(QLatin1Char('\n')))
        commands.mciSendString(line, reply);
    int r[4];
    zypo::readSourceRect(text, r);
    return 0;
}
