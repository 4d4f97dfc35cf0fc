// ジポプレーヤー: the program is its main window.
#include "core/MAIN.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/HostPath.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/desktop/Mpris.h"
#include "platform/desktop/Session.h"
#include "platform/desktop/WindowManager.h"
#include "platform/media/SystemMedia.h"

#include <QApplication>
#include <QSocketNotifier>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
void onTerminate(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char* argv[]) {
    zypo::choosePlatform();
    QApplication app(argc, argv);
    // The media engines need the C convention for numbers, also under a Japanese locale.
    std::setlocale(LC_NUMERIC, "C");
    zypo::useInterfaceFont();
    zypo::useJapaneseDialogs();

    zypo::IniSettingsStore settings(zypo::IniSettingsStore::defaultFilePath());
    zypo::DriveMap drives = zypo::DriveMap::fromSystem(&settings);
    zypo::QtPrompter prompter;
    zypo::WindowManager windows;
    std::unique_ptr<zypo::MediaBackend> media = zypo::createSystemMediaBackend(&settings, true);

    zypo::MAIN M({&settings, &prompter, &windows, media.get(), &drives});
    zypo::main0 window(M);
    window.onShutdown = [] { QCoreApplication::quit(); };
    prompter.setOwner(&window);

    // Logging out (SIGTERM, SIGHUP) or Ctrl+C ends the player the regular way: the open item is
    // closed and the settings are saved, as when the window is closed.
    std::unique_ptr<QSocketNotifier> terminate;
    if (::pipe(signalPipe) == 0) {
        terminate = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(terminate.get(), &QSocketNotifier::activated, &window, [&window] {
            char c;
            [[maybe_unused]] const auto n = ::read(signalPipe[0], &c, 1);
            window.close();
        });
        for (int sig : {SIGTERM, SIGHUP, SIGINT})
            std::signal(sig, onTerminate);
    }

    window.main0_Form_Load();
    window.show();
    // A display connection that breaks ends the process from inside Qt (as X11 programs end):
    // the settings are written on that way out too. Registered after the settings were first
    // read, so the settings store's own state outlives this.
    static zypo::main0* lostDisplayWindow = &window;
    std::atexit([] {
        if (lostDisplayWindow)
            lostDisplayWindow->SaveSettingsOnLostDisplay();
    });
    // Media keys and the desktop's player controls, where there is a session bus.
    zypo::Mpris mpris(window.mprisHooks());
    mpris.registerService();
    // Started with a file, a playlist or a folder (from a file manager or a shell): open it as
    // the user would. With no argument the start-up is the usual one.
    // The argument as its bytes (QApplication has taken its own options out of argv): a name in
    // Shift-JIS bytes names its file too.
    if (argc > 1)
        window.openArgument(zypo::hostText(QByteArray(argv[1])));
    const int code = app.exec();
    lostDisplayWindow = nullptr; // ended the regular way, its settings written
    return code;
}
