// Measurements of the player and of the baselines it is compared with. Each mode prints one
// figure per line ("name value unit"); bench/run repeats them and makes the table.
#include "core/MAIN.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/ListControls.h"
#include "platform/MMControl.h"
#include "platform/MediaErrors.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/desktop/WindowManager.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/MpvDevice.h"
#include "platform/media/Smf.h"
#include "platform/media/SystemMedia.h"
#include "playlist/DefFileSDL.h"
#include "playlist/Rz0File.h"
#include "tools/DemoMedia.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <mpv/client.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace zypo;

namespace {

class SilentPrompter : public Prompter {
public:
    void MsgBox(const QString& text, MsgIcon, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    std::optional<QString> OpenFileDialog(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

/// A player as the application makes it, with its settings in a temporary folder.
struct Player {
    /// preload: the SoundFont is loaded in the background from the start, as the player does.
    explicit Player(bool preload = false)
        : settings(tmp.filePath(QStringLiteral("ZYPO3.ini"))), drives(DriveMap::fromSystem(nullptr)) {
        media = createSystemMediaBackend(nullptr, preload);
        M = std::make_unique<MAIN>(Services{&settings, &prompter, &windows, media.get(), &drives});
        w = std::make_unique<main0>(*M);
        w->main0_Form_Load();
        w->show();
    }
    QTemporaryDir tmp;
    IniSettingsStore settings;
    DriveMap drives;
    SilentPrompter prompter;
    WindowManager windows;
    std::unique_ptr<MediaBackend> media;
    std::unique_ptr<MAIN> M;
    std::unique_ptr<main0> w;
};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void print(const char* name, double value, const char* unit) {
    std::printf("%s %.4f %s\n", name, value, unit);
}

bool save(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- modes ---------------------------------------------------------------------------------

int makeInputs(const QString& dir) {
    QDir().mkpath(dir);
    bool ok = save(dir + QStringLiteral("/open/a.mid"), demo::midiTune()) &&
              save(dir + QStringLiteral("/open/b.mid"), demo::midiTune()) &&
              save(dir + QStringLiteral("/open/a.wav"), demo::wavTones(3)) &&
              save(dir + QStringLiteral("/open/b.wav"), demo::wavTones(3)) &&
              save(dir + QStringLiteral("/open/a.avi"), demo::aviPattern(160, 120, 20)) &&
              save(dir + QStringLiteral("/open/b.avi"), demo::aviPattern(160, 120, 20)) &&
              save(dir + QStringLiteral("/dense.mid"), demo::denseMidi(20)) &&
              save(dir + QStringLiteral("/dense-other.mid"), demo::denseMidi(20, 3)) &&
              save(dir + QStringLiteral("/long.avi"), demo::aviPattern(320, 240, 100));
    // Short items for the gaps: each sounds from its first to its last moment.
    for (int i = 0; i < 20 && ok; ++i) {
        const QString n = QString::number(i).rightJustified(2, QLatin1Char('0'));
        ok = save(dir + QStringLiteral("/gap-mid/") + n + QStringLiteral(".mid"),
                  demo::heldNoteMidi(60 + (i % 2) * 7, 700)) &&
             save(dir + QStringLiteral("/gap-wav/") + n + QStringLiteral(".wav"),
                  demo::toneWav(i % 2 ? 660 : 440, 700)) &&
             save(dir + QStringLiteral("/gap-avi/") + n + QStringLiteral(".avi"),
                  demo::aviPattern(32, 24, 7, i % 2 ? 660 : 440)) &&
             save(dir + QStringLiteral("/gap-mixed/") + n +
                      (i % 2 ? QStringLiteral(".wav") : QStringLiteral(".mid")),
                  i % 2 ? demo::toneWav(660, 700) : demo::heldNoteMidi(60, 700));
        // WAV and MIDI items in turn, played with an initial MIDI file (ini.mid, outside).
        if (ok)
            ok = save(dir + QStringLiteral("/gap-inimid/") + n +
                          (i % 2 ? QStringLiteral(".mid") : QStringLiteral(".wav")),
                      i % 2 ? demo::heldNoteMidi(64, 700) : demo::toneWav(440, 700));
        // Every ordered pair of kinds: MIDI → WAV → AVI → MIDI → AVI → WAV → MIDI …
        static const char* const kinds[] = {"mid", "wav", "avi", "mid", "avi", "wav"};
        const QString kind = QString::fromLatin1(kinds[i % 6]);
        const QString kindFile = dir + QStringLiteral("/gap-kinds/") + n + QLatin1Char('.') + kind;
        if (ok)
            ok = save(kindFile, kind == QLatin1String("mid")   ? demo::heldNoteMidi(64, 700)
                                : kind == QLatin1String("wav") ? demo::toneWav(440, 700)
                                                               : demo::aviPattern(32, 24, 7, 660));
    }
    ok = ok && save(dir + QStringLiteral("/ini.mid"), demo::heldNoteMidi(60, 300));
    // A folder of 32,767 files, kanji names among them.
    const QString big = dir + QStringLiteral("/browse");
    QDir().mkpath(big);
    for (int i = 0; i < 32767 && ok; ++i) {
        const QString name = (i % 3 == 0   ? QStringLiteral("曲%1.mid")
                              : i % 3 == 1 ? QStringLiteral("Song %1.WAV")
                                           : QStringLiteral("clip_%1.avi"))
                                 .arg(i);
        QFile f(big + QLatin1Char('/') + name);
        ok = f.open(QIODevice::WriteOnly);
    }
    // A tree of 50,000 files in 5,000 folders (50 folders of 100 subfolders, 10 files each).
    for (int a = 0; a < 50 && ok; ++a)
        for (int b = 0; b < 100 && ok; ++b) {
            const QString folder = dir + QStringLiteral("/tree/d%1/e%2").arg(a).arg(b);
            QDir().mkpath(folder);
            for (int f = 0; f < 10 && ok; ++f) {
                QFile file(folder + QStringLiteral("/t%1.%2").arg(f).arg(f % 2 ? QStringLiteral("mid")
                                                                               : QStringLiteral("wav")));
                ok = file.open(QIODevice::WriteOnly);
            }
        }
    return ok ? 0 : 1;
}

int startupPlayer(qint64 launchedNs) {
    Player p;
    QTimer::singleShot(0, [&] {
        const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        print("startup-player", (now - launchedNs) / 1e6, "ms");
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

int startupBare(qint64 launchedNs) {
    QWidget w;
    w.resize(549, 381);
    w.show();
    QTimer::singleShot(0, [&] {
        const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        print("startup-bare", (now - launchedNs) / 1e6, "ms");
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

int openLatency(const QString& dir, const QString& kind, int reps) {
    QDir::setCurrent(dir);
    Player p;
    p.w->main0Combo->setCurrentIndex(0);
    p.w->main0Combo_Click();
    int a = -1, b = -1;
    for (int i = 0; i < p.w->main0Flist->ListCount(); ++i) {
        if (p.w->main0Flist->List(i) == QStringLiteral("a.") + kind)
            a = i;
        if (p.w->main0Flist->List(i) == QStringLiteral("b.") + kind)
            b = i;
    }
    if (a < 0 || b < 0)
        return 1;
    const QByteArray name = ("open-" + kind).toLatin1();
    for (int r = 0; r < reps + 2; ++r) {
        QElapsedTimer t;
        t.start();
        p.w->main0Flist->setListIndex(r % 2 ? a : b);
        const double ms = t.nsecsElapsed() / 1e6;
        if (p.w->MMC->Mode() == ModeNotOpen)
            return 2;
        if (r >= 2) // after a warm-up
            print(name.constData(), ms, "ms");
        else if (r == 0) // the first of the run (for a song: the SoundFont's table and samples)
            print(("open-first-" + kind).toLatin1().constData(), ms, "ms");
    }
    return 0;
}

int baselineMpvLoad(const QString& file, int reps) {
    for (int r = 0; r < reps + 2; ++r) {
        QElapsedTimer t;
        t.start();
        mpv_handle* h = mpv_create();
        mpv_set_option_string(h, "vo", "null");
        mpv_set_option_string(h, "ao", "null");
        mpv_set_option_string(h, "pause", "yes");
        mpv_set_option_string(h, "config", "no");
        mpv_initialize(h);
        const QByteArray path = file.toUtf8();
        const char* cmd[] = {"loadfile", path.constData(), nullptr};
        mpv_command(h, cmd);
        for (;;) {
            mpv_event* e = mpv_wait_event(h, 10);
            if (e->event_id == MPV_EVENT_FILE_LOADED || e->event_id == MPV_EVENT_END_FILE ||
                e->event_id == MPV_EVENT_NONE)
                break;
        }
        double duration = 0;
        mpv_get_property(h, "duration", MPV_FORMAT_DOUBLE, &duration);
        const double ms = t.nsecsElapsed() / 1e6;
        mpv_terminate_destroy(h);
        if (r >= 2)
            print("baseline-mpv-load", ms, "ms");
    }
    return 0;
}

int baselineSmfRead(const QString& file, int reps) {
    for (int r = 0; r < reps + 2; ++r) {
        QElapsedTimer t;
        t.start();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        SmfSong song;
        parseSmf(f.readAll(), song);
        if (r >= 2)
            print("baseline-smf-read", t.nsecsElapsed() / 1e6, "ms");
    }
    return 0;
}

/// Plays a folder continuously through the real audio output until `items` have ended.
int playFolder(const QString& dir, int items, const QString& initialMidi) {
    QDir::setCurrent(dir);
    // As the player runs: its synthesiser's stream is open at the sound server from the start,
    // whatever the items (with the server's output kept running, the server mixes the items'
    // streams differently from an output that only they use).
    Player p(true);
    if (!initialMidi.isEmpty())
        p.M->IniMidFile = p.drives.toDrivePath(initialMidi); // played before every MIDI item
    int ended = 0;
    QObject::connect(p.w->MMC, &MMControl::Done, [&](std::int16_t code) {
        if (code == 1 && ++ended >= items)
            QTimer::singleShot(300, [] { QCoreApplication::quit(); });
    });
    p.w->main0Flist->setListIndex(0);
    p.w->MMC->clickPlay();
    if (p.w->MMC->Mode() != ModePlaying)
        return 1;
    QApplication::exec();
    return 0;
}

/// How late (or early) the end of each item is reported against its length, playing a folder
/// continuously in real time with null output.
int doneTiming(const QString& dir, int items) {
    QDir::setCurrent(dir);
    Player p(true);
    int ended = 0;
    QElapsedTimer clock;
    qint64 length = 0;
    QString endedKind;
    // The main window handles each end first (and opens and starts the next item); this runs
    // after it: the time since the previous end, less the length of the item that just ended.
    QObject::connect(p.w->MMC, &MMControl::Done, [&](std::int16_t code) {
        if (code != 1)
            return;
        const double late = clock.nsecsElapsed() / 1e6 - length;
        print("done-late", late, "ms");
        // The same figure by the kind of the item that ended.
        print(("done-late-" + endedKind.toLatin1()).constData(), late, "ms");
        clock.restart();
        length = p.w->MMC->Length();
        endedKind = p.w->MMC->FileName().section(QLatin1Char('.'), -1).toLower();
        if (++ended >= items)
            QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    });
    p.w->main0Flist->setListIndex(0);
    length = p.w->MMC->Length();
    endedKind = p.w->MMC->FileName().section(QLatin1Char('.'), -1).toLower();
    clock.start();
    p.w->MMC->clickPlay();
    QApplication::exec();
    return 0;
}

int cpuMidi(const QString& file) {
    MidiEngine engine(
        {true, true, QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"), QString(), QString()});
    MidiDevice device(&engine);
    if (device.open(file) != 0)
        return 1;
    const double before = cpuSeconds();
    QEventLoop loop;
    QObject::connect(&device, &MediaDevice::finished, &loop, &QEventLoop::quit);
    if (device.play() != 0)
        return 2;
    loop.exec();
    print("cpu-midi", (cpuSeconds() - before) / (device.length() / 1000.0), "cpu-s/s");
    print("peak-rss-midi", peakRssKb() / 1024.0, "MiB");
    return 0;
}

int standbyLoad(const QString& playing, const QString& standby) {
    // A song plays (rendered as the audio side renders it, in real time) while the next one is
    // opened as the standby: how long the synthesiser is held from rendering while the
    // standby's samples are loaded.
    MidiOutput out;
    out.soundFont = QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    out.callerRenders = true;
    MidiEngine engine(out);
    MidiDevice current(&engine);
    if (current.open(playing) != 0 || current.play() != 0)
        return 1;
    std::atomic<bool> opening{false}, done{false};
    std::vector<double> quiet, during;
    std::thread audio([&] {
        std::vector<float> l(256), r(256);
        const auto period = std::chrono::microseconds(static_cast<long>(256 * 1e6 / engine.sampleRate()));
        auto next = std::chrono::steady_clock::now();
        while (!done) {
            QElapsedTimer t;
            t.start();
            engine.render(256, l.data(), r.data());
            (opening ? during : quiet).push_back(t.nsecsElapsed() / 1e6);
            next += period;
            std::this_thread::sleep_until(next);
        }
    });
    waitMs(500);
    MidiDevice next(&engine);
    opening = true;
    QElapsedTimer t;
    t.start();
    const int err = next.open(standby);
    const double openMs = t.nsecsElapsed() / 1e6;
    opening = false;
    waitMs(200);
    done = true;
    audio.join();
    if (err != 0 || quiet.empty())
        return 2;
    std::sort(quiet.begin(), quiet.end());
    print("standby-open-ms", openMs, "ms");
    print("render-block-median", quiet[quiet.size() / 2], "ms");
    print("render-block-max-during-standby-open",
          during.empty() ? 0.0 : *std::max_element(during.begin(), during.end()), "ms");
    return 0;
}

int cpuAvi(const QString& file, bool rendered) {
    // Rendered: the picture as a Wayland session without an X server gets it, rendered into
    // memory and painted by a window twice the clip's size (the offscreen platform here).
    MpvDevice device(
        {QStringLiteral("null"), rendered ? QStringLiteral("libmpv") : QStringLiteral("null"), true});
    const double before = cpuSeconds();
    if (device.open(file) != 0)
        return 1;
    QWidget window;
    if (rendered) {
        window.resize(device.sourceSize() * 2);
        window.show();
        device.setDisplay(&window);
    }
    QEventLoop loop;
    QObject::connect(&device, &MediaDevice::finished, &loop, &QEventLoop::quit);
    if (device.play() != 0)
        return 2;
    loop.exec();
    const double perSecond = (cpuSeconds() - before) / (device.length() / 1000.0);
    if (rendered) {
        print("cpu-avi-rendered", perSecond, "cpu-s/s");
        return 0;
    }
    print("cpu-avi", perSecond, "cpu-s/s");
    print("peak-rss-avi", peakRssKb() / 1024.0, "MiB");
    return 0;
}

int browse(const QString& dir, int reps) {
    DriveMap drives = DriveMap::fromSystem(nullptr);
    FileListBox list(&drives);
    list.setPath(drives.toDrivePath(dir));
    list.setPattern(QStringLiteral("*.mid;*.wav;*.avi"));
    for (int r = 0; r < reps + 1; ++r) {
        QElapsedTimer t;
        t.start();
        list.Refresh();
        QCoreApplication::processEvents();
        if (r >= 1)
            print("browse-32767", t.nsecsElapsed() / 1e6, "ms");
    }
    return list.ListCount() == 32767 ? 0 : 3;
}

int search(const QString& dir, int reps) {
    QDir::setCurrent(dir);
    for (int r = 0; r < reps + 1; ++r) {
        Player p;
        DefFileSDL editor(*p.M);
        editor.DefFileDir1->setPath(p.drives.toDrivePath(dir));
        QElapsedTimer t;
        t.start();
        editor.DefFileSub_Click();
        const double ms = t.nsecsElapsed() / 1e6;
        if (editor.DefFileList2->ListCount() != 32767) // the save list holds 32,767 of the 50,000
            std::fprintf(stderr, "search found %d\n", editor.DefFileList2->ListCount());
        if (r >= 1)
            print("search-50000", ms, "ms");
    }
    return 0;
}

int playlists(int reps) {
    QTemporaryDir tmp;
    QStringList entries;
    for (int i = 0; i < 32767; ++i)
        entries << QStringLiteral("C:\\音楽\\アルバム %1\\曲 %2.mid").arg(i / 100).arg(i);
    const QString path = tmp.filePath(QStringLiteral("BIG.RZ0"));
    ListBox queue;
    for (int r = 0; r < reps + 1; ++r) {
        QElapsedTimer t;
        t.start();
        WriteRz0File(path, entries);
        const double write = t.nsecsElapsed() / 1e6;
        t.restart();
        QStringList back;
        ReadRz0File(path, back);
        const double read = t.nsecsElapsed() / 1e6;
        t.restart();
        queue.Clear();
        queue.AddItems(back);
        QCoreApplication::processEvents();
        const double expand = t.nsecsElapsed() / 1e6;
        if (r >= 1) {
            print("playlist-write-32767", write, "ms");
            print("playlist-read-32767", read, "ms");
            print("queue-fill-32767", expand, "ms");
        }
    }
    return 0;
}

int memory(const QString& dir) {
    QDir::setCurrent(dir + QStringLiteral("/open"));
    Player p;
    waitMs(300);
    print("rss-idle", rssKb() / 1024.0, "MiB");
    for (auto [kind, label] : {std::pair{"a.mid", "rss-playing-midi"}, {"a.avi", "rss-playing-avi"}}) {
        for (int i = 0; i < p.w->main0Flist->ListCount(); ++i)
            if (p.w->main0Flist->List(i) == QLatin1String(kind))
                p.w->main0Flist->setListIndex(i);
        p.w->MMC->clickPlay();
        waitMs(1500);
        print(label, rssKb() / 1024.0, "MiB");
        p.w->MMC->clickStop();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    const int reps = args.size() > 2 ? args.last().toInt() : 5;
    if (mode == QLatin1String("make-inputs"))
        return makeInputs(args.value(1));
    if (mode == QLatin1String("startup-player"))
        return startupPlayer(args.value(1).toLongLong());
    if (mode == QLatin1String("startup-bare"))
        return startupBare(args.value(1).toLongLong());
    if (mode == QLatin1String("open"))
        return openLatency(args.value(1), args.value(2), args.value(3, QStringLiteral("9")).toInt());
    if (mode == QLatin1String("baseline-mpv-load"))
        return baselineMpvLoad(args.value(1), reps);
    if (mode == QLatin1String("baseline-smf-read"))
        return baselineSmfRead(args.value(1), reps);
    if (mode == QLatin1String("play"))
        return playFolder(args.value(1), args.value(2).toInt(), args.value(3));
    if (mode == QLatin1String("done-timing"))
        return doneTiming(args.value(1), args.value(2).toInt());
    if (mode == QLatin1String("cpu-midi"))
        return cpuMidi(args.value(1));
    if (mode == QLatin1String("standby-load"))
        return standbyLoad(args.value(1), args.value(2));
    if (mode == QLatin1String("cpu-avi"))
        return cpuAvi(args.value(1), false);
    if (mode == QLatin1String("cpu-avi-rendered"))
        return cpuAvi(args.value(1), true);
    if (mode == QLatin1String("browse"))
        return browse(args.value(1), reps);
    if (mode == QLatin1String("search"))
        return search(args.value(1), reps);
    if (mode == QLatin1String("playlists"))
        return playlists(args.value(1, QStringLiteral("5")).toInt());
    if (mode == QLatin1String("memory"))
        return memory(args.value(1));
    std::fprintf(stderr, "usage: zypobench MODE ...\n");
    return 2;
}
