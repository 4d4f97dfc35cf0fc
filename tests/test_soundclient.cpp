// The configuration the player's own sound clients run with: the user's, with sound sent through
// the socket rather than shared memory.
#include "platform/media/PulseClientConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zypo;

namespace {

/// A home folder of the test's own, with the sound library's variables cleared.
class SoundClientHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* name : Variables) {
            saved.append(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
            qunsetenv(name);
        }
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    }
    void TearDown() override {
        QDir::setCurrent(cwd);
        for (qsizetype i = 0; i < saved.size(); ++i) {
            if (saved[i])
                qputenv(Variables[i], *saved[i]);
            else
                qunsetenv(Variables[i]);
        }
    }
    QString write(const QString& relative, const QByteArray& text) {
        const QString path = home.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    static QStringList includes(const QString& text) {
        QStringList found;
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String(".include ")))
                found << line.mid(9);
        return found;
    }

    static constexpr const char* Variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
                                                "PULSE_CONFIG_PATH", "PULSE_CLIENTCONFIG"};
    QTemporaryDir home;
    const QString cwd = QDir::currentPath();
    QList<std::optional<QByteArray>> saved;
};

} // namespace

TEST_F(SoundClientHome, TheUsersOwnConfigurationAndItsFolderComeFirstAndSharedMemoryIsOff) {
    const QString own = write(QStringLiteral(".config/pulse/client.conf"), "default-sink = desk\n");
    const QString b = write(QStringLiteral(".config/pulse/client.conf.d/20-b.conf"), "autospawn = no\n");
    const QString a = write(QStringLiteral(".config/pulse/client.conf.d/10-a.conf"), "");
    write(QStringLiteral(".config/pulse/client.conf.d/README"), "not a configuration\n");
    ASSERT_EQ(soundClientConfigInUse(), own);

    const QString text = soundClientConfigWithoutSharedMemory(own);
    EXPECT_EQ(includes(text), (QStringList{own, a, b}));
    // Said last, so that nothing included turns shared memory back on.
    EXPECT_TRUE(text.endsWith(QLatin1String("\nenable-shm = no\nenable-memfd = no\n"))) << text.toStdString();
}

TEST_F(SoundClientHome, TheFileTheLibraryWouldReadIsFoundInItsOrder) {
    // The system's file, or none.
    const QString system = QFileInfo::exists(QStringLiteral("/etc/pulse/client.conf"))
                               ? QStringLiteral("/etc/pulse/client.conf")
                               : QString();
    EXPECT_EQ(soundClientConfigInUse(), system);
    EXPECT_EQ(includes(soundClientConfigWithoutSharedMemory(system)).value(0), system);
    // The XDG folder, then ~/.pulse over it.
    const QString xdg = write(QStringLiteral("xdg/pulse/client.conf"), "");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("xdg"))));
    EXPECT_EQ(soundClientConfigInUse(), xdg);
    const QString dotPulse = write(QStringLiteral(".pulse/client.conf"), "");
    EXPECT_EQ(soundClientConfigInUse(), dotPulse);
    // PULSE_CONFIG_PATH replaces the home folders.
    const QString configPath = write(QStringLiteral("elsewhere/client.conf"), "");
    qputenv("PULSE_CONFIG_PATH", QFile::encodeName(home.filePath(QStringLiteral("elsewhere"))));
    EXPECT_EQ(soundClientConfigInUse(), configPath);
    // The file the environment names wins, named as an absolute path even when it was given
    // relative, and even when it is not there (the library then keeps its defaults).
    QDir::setCurrent(home.path());
    qputenv("PULSE_CLIENTCONFIG", "mine.conf");
    EXPECT_EQ(soundClientConfigInUse(), home.filePath(QStringLiteral("mine.conf")));
}

TEST_F(SoundClientHome, TheProcessIsPointedAtItsOwnFileOnceAndAgainAtTheSameOne) {
    const QString own = write(QStringLiteral(".config/pulse/client.conf"), "default-sink = desk\n");
    ASSERT_TRUE(sendSoundThroughTheSocket());
    const QString path = qEnvironmentVariable("PULSE_CLIENTCONFIG");
    EXPECT_TRUE(path.startsWith(home.path() + QLatin1Char('/'))) << path.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_EQ(includes(text), QStringList{own});
    EXPECT_TRUE(text.contains(QLatin1String("enable-shm = no")));

    // A player started by this one (the environment passed on) keeps the file as it is: one
    // that included itself would never end being read.
    ASSERT_TRUE(sendSoundThroughTheSocket());
    EXPECT_EQ(qEnvironmentVariable("PULSE_CLIENTCONFIG"), path);
    ASSERT_TRUE(f.seek(0));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), text);
    // Started again with the same configuration: the same file, not one more.
    qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(own));
    ASSERT_TRUE(sendSoundThroughTheSocket());
    EXPECT_EQ(qEnvironmentVariable("PULSE_CLIENTCONFIG"), path);
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("zypo-sound-client-*")}, QDir::Files).size(), 1);
}

TEST_F(SoundClientHome, ANameTheConfigurationSyntaxWouldCutShortChangesNothing) {
    const QString odd = write(QStringLiteral("a#b/client.conf"), "default-server = far\n");
    qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(odd));
    EXPECT_TRUE(soundClientConfigWithoutSharedMemory(odd).isEmpty());
    EXPECT_FALSE(sendSoundThroughTheSocket());
    EXPECT_EQ(qEnvironmentVariable("PULSE_CLIENTCONFIG"), odd);
}
