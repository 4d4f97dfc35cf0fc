#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zypo::test {

void RecordingPrompter::MsgBox(const QString& text, MsgIcon icon, const QString& title) {
    messages.append({text, icon, title});
    if (whileShown)
        whileShown(messages.constLast());
}

std::optional<QString> RecordingPrompter::OpenFileDialog(QWidget*, const QString& title,
                                                         const QString& filter, const QString& defaultExt) {
    fileDialogs << title + QLatin1Char('|') + filter + QLatin1Char('|') + defaultExt;
    return nextFile;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray smf(int format, std::uint16_t division, const QList<QByteArray>& tracks) {
    QByteArray b("MThd\0\0\0\6", 8);
    b.append(char(0)).append(char(format));
    b.append(char(0)).append(char(tracks.size()));
    b.append(char(division >> 8)).append(char(division & 0xff));
    for (const QByteArray& t : tracks) {
        b.append("MTrk");
        const auto n = static_cast<unsigned>(t.size());
        b.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
        b.append(t);
    }
    return b;
}

QByteArray bytes(std::initializer_list<int> v) {
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

void pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

Player::Player() : oldCwd_(QDir::currentPath()) {
    settings = std::make_unique<IniSettingsStore>(tmp.filePath(QStringLiteral("config/ZYPO3.ini")));
    drives = DriveMap({{QLatin1Char('C'), tmp.filePath(QStringLiteral("c"))}});
    QDir().mkpath(tmp.filePath(QStringLiteral("c")));
    M = std::make_unique<MAIN>(Services{settings.get(), &prompter, &windows, &media, &drives});
}

Player::~Player() {
    w.reset();
    pump();
    QDir::setCurrent(oldCwd_);
}

QString Player::host(const QString& rel) const {
    return tmp.filePath(QStringLiteral("c/") + rel);
}

void Player::mkdir(const QString& rel) {
    QDir().mkpath(host(rel));
}

QString Player::addMedia(const QString& rel, ScriptedMedia m) {
    const QString path = host(rel);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("media");
    media.media.insert(path, m);
    return path;
}

main0& Player::start(const QString& cwdRel) {
    const QString cwd = host(cwdRel);
    QDir().mkpath(cwd);
    QDir::setCurrent(cwd);
    w = std::make_unique<main0>(*M);
    w->main0_Form_Load();
    return *w;
}

void Player::finishItem() {
    ScriptedDevice* d = device();
    ASSERT_NE(d, nullptr);
    d->finish();
    pump();
}

QString Player::playing() const {
    ScriptedDevice* d = device();
    return d ? d->hostPath() : QString();
}

} // namespace zypo::test
