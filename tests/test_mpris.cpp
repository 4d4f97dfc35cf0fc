// The desktop's player controls (MPRIS2 on a session bus started for the test) drive the
// transport exactly as its buttons do, and see its state.
#include "TestSupport.h"
#include "platform/desktop/Mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

using namespace zypo;
using namespace zypo::test;

namespace {

struct Bus : ::testing::Test {
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "no dbus-daemon on this machine";
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus.waitForReadyRead(10000));
        address = QString::fromUtf8(bus.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    void TearDown() override {
        bus.kill();
        bus.waitForFinished();
    }
    QProcess bus;
    QString address;
};

/// Calls a method on the service from a connection of its own and waits, letting the player's
/// events run meanwhile (the service lives on this same thread, so nothing may block on it).
QVariant call(const QString& address, const QString& iface, const QString& method,
              const QVariantList& args = {}) {
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    QDBusMessage msg =
        QDBusMessage::createMethodCall(QStringLiteral("org.mpris.MediaPlayer2.zypotest"),
                                       QStringLiteral("/org/mpris/MediaPlayer2"), iface, method);
    msg.setArguments(args);
    QDBusPendingCall pending = client.asyncCall(msg);
    QDBusPendingCallWatcher watcher(pending);
    QDeadlineTimer limit(10000);
    while (!watcher.isFinished() && !limit.hasExpired())
        QTest::qWait(5);
    EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
    return pending.reply().arguments().value(0);
}

QVariant property(const QString& address, const QString& name) {
    const QVariant v = call(address, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {QStringLiteral("org.mpris.MediaPlayer2.Player"), name});
    return qdbus_cast<QDBusVariant>(v).variant();
}

} // namespace

TEST_F(Bus, MediaKeysDriveTheTransport) {
    Player p;
    const QString a = p.addMedia(QStringLiteral("m/a.wav"), {60000});
    const QString b = p.addMedia(QStringLiteral("m/b.wav"), {60000});
    p.start(QStringLiteral("m"));
    Mpris mpris(p.w->mprisHooks());
    ASSERT_TRUE(mpris.registerService(QStringLiteral("zypotest")));
    const QString player = QStringLiteral("org.mpris.MediaPlayer2.Player");

    EXPECT_EQ(property(address, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    p.w->main0Flist->setListIndex(0);
    call(address, player, QStringLiteral("PlayPause"));
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);
    EXPECT_EQ(property(address, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    const QVariantMap meta = qdbus_cast<QVariantMap>(property(address, QStringLiteral("Metadata")));
    EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("a.wav"));
    EXPECT_EQ(meta.value(QStringLiteral("mpris:length")).toLongLong(), 60000000);

    call(address, player, QStringLiteral("PlayPause"));
    EXPECT_EQ(p.w->MMC->Mode(), ModePaused);
    EXPECT_EQ(p.w->MMC->UpdateInterval(), 0); // the Pause button's own handler ran
    call(address, player, QStringLiteral("Play"));
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);

    call(address, player, QStringLiteral("Next"));
    EXPECT_EQ(p.playing(), b);
    EXPECT_TRUE(p.device()->isPlaying());
    call(address, player, QStringLiteral("Previous"));
    EXPECT_EQ(p.playing(), a);
    // The elapsed time, in microseconds.
    p.device()->setPosition(2500);
    EXPECT_EQ(property(address, QStringLiteral("Position")).toLongLong(), 2500000);
    EXPECT_EQ(meta.value(QStringLiteral("xesam:url")).toString(), QUrl::fromLocalFile(a).toString());
    call(address, player, QStringLiteral("Stop"));
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.panel(1).isEmpty());
    EXPECT_EQ(property(address, QStringLiteral("Position")).toLongLong(), 0);
    // Play, and the media key, start the entry still chosen.
    call(address, player, QStringLiteral("Play"));
    EXPECT_EQ(p.playing(), a);
    EXPECT_TRUE(p.device()->isPlaying());
    call(address, player, QStringLiteral("Stop"));
    call(address, player, QStringLiteral("PlayPause"));
    EXPECT_EQ(p.playing(), a);
    EXPECT_TRUE(p.device() && p.device()->isPlaying());
}

TEST(NoBus, ThePlayerStartsWithoutASessionBus) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    Player p;
    p.start();
    Mpris mpris(p.w->mprisHooks());
    EXPECT_FALSE(mpris.registerService(QStringLiteral("zypotest2")));
    EXPECT_EQ(mpris.playbackStatus(), QStringLiteral("Stopped"));
}
