// A long run of continuous play through 300 short items of every kind, broken ones among them,
// on the real engines with null output, faster than real time. Prints resident memory, open
// files and threads at intervals: after the warm-up they must stay flat.
//   soak FOLDER ITEM-CHANGES
//   soak --week FOLDER ITEM-CHANGES
// The week: sound items only (a short one stands for a three-minute one), played through the
// session's sound server, which tools/soak.sh restarts every few minutes; messages stay on, so
// that any item called failed shows as a message.
#include "core/MAIN.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/ListControls.h"
#include "platform/MMControl.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/desktop/WindowManager.h"
#include "platform/media/SystemMedia.h"
#include "tools/DemoMedia.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <malloc.h>

using namespace zypo;

namespace {

class CountingPrompter : public Prompter {
public:
    void MsgBox(const QString& text, MsgIcon, const QString&) override {
        ++messages;
        last = text;
        std::printf("message: %s\n", qPrintable(text));
    }
    std::optional<QString> OpenFileDialog(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    int messages = 0;
    QString last;
};

bool save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void makeItems(const QString& dir, bool week) {
    QDir().mkpath(dir);
    QByteArray noise(2000, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 131 + 7) % 256);
    for (int i = 0; i < 300; ++i) {
        const QString n = dir + QStringLiteral("/%1").arg(i, 3, 10, QLatin1Char('0'));
        switch (week ? i % 8 : i % 10) {
        case 0:
        case 1:
        case 2:
            save(n + QStringLiteral(".mid"), demo::heldNoteMidi(60 + i % 12, 150));
            break;
        case 3:
        case 4:
        case 5:
            save(n + QStringLiteral(".wav"), demo::toneWav(440 + i, 150));
            break;
        case 6:
        case 7:
            save(n + QStringLiteral(".avi"), demo::aviPattern(32, 24, 2));
            break;
        case 8: // broken: nothing, noise, cut short
            save(n + (i % 3 == 0   ? QStringLiteral(".wav")
                      : i % 3 == 1 ? QStringLiteral(".mid")
                                   : QStringLiteral(".avi")),
                 i % 20 == 8 ? QByteArray() : noise);
            break;
        default:
            save(n + QStringLiteral(".wav"), demo::toneWav(300, 150).left(100));
            break;
        }
    }
}

long status(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

long openFiles() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
}

} // namespace

int main(int argc, char** argv) {
    mallopt(M_ARENA_MAX, 1); // as the player does (createSystemMediaBackend)
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const bool week = argc == 4 && qstrcmp(argv[1], "--week") == 0;
    if (argc != 3 && !week) {
        std::fprintf(stderr, "usage: soak [--week] FOLDER ITEM-CHANGES\n");
        return 2;
    }
    const QString dir = QDir(QString::fromLocal8Bit(argv[argc - 2])).absolutePath();
    const long target = QByteArray(argv[argc - 1]).toLong();
    makeItems(dir, week);
    QDir::setCurrent(dir);

    QTemporaryDir config;
    IniSettingsStore settings(config.filePath(QStringLiteral("ZYPO3.ini")));
    DriveMap drives = DriveMap::fromSystem(nullptr);
    CountingPrompter prompter;
    WindowManager windows;
    std::unique_ptr<MediaBackend> media = createSystemMediaBackend(nullptr);
    MAIN M({&settings, &prompter, &windows, media.get(), &drives});
    main0 w(M);
    w.main0_Form_Load();
    if (!week)
        w.MenuSetti41_Click(2); // broken items are passed over silently
    w.show();

    long changes = 0;
    QObject::connect(w.main0Flist, &ListBox::Click, [&] { ++changes; });
    QElapsedTimer clock;
    clock.start();
    std::printf("%8s %8s %10s %6s %8s %9s  %s\n", "changes", "seconds", "rss-KiB", "fds", "threads",
                "messages", "item");
    long lastChanges = -1;
    bool stoppedBefore = false;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("%8ld %8.1f %10ld %6ld %8ld %9d  %s\n", changes, clock.elapsed() / 1000.0,
                    status("VmRSS:"), openFiles(), status("Threads:"), prompter.messages,
                    qPrintable(QFileInfo(M.PlayFile).fileName()));
        std::fflush(stdout);
        if (changes >= target)
            QCoreApplication::exit(week && prompter.messages > 0 ? 1 : 0); // a week skips nothing
        // Play must never stop by itself: a stop here is a failure of the run. (A report may
        // fall between the closing of one item and the opening of the next: only a stop seen
        // twice, with no item change between, counts.)
        const bool stopped = w.MMC->Mode() == ModeNotOpen && changes == lastChanges;
        if (stopped && stoppedBefore) {
            std::printf("playback stopped: %s\n", qPrintable(prompter.last));
            QCoreApplication::exit(1);
        }
        stoppedBefore = stopped;
        lastChanges = changes;
    });
    report.start(5000);
    w.main0Flist->setListIndex(0);
    w.MMC->clickPlay();
    return QApplication::exec();
}
