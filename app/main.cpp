// ジポプレーヤー: the program is its main window.
#include "core/MAIN.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/SystemMedia.h"
#include "platform/WindowManager.h"

#include <QApplication>
#include <clocale>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The media engines need the C convention for numbers, also under a Japanese locale.
    std::setlocale(LC_NUMERIC, "C");

    zypo::IniSettingsStore settings(zypo::IniSettingsStore::defaultFilePath());
    zypo::DriveMap drives = zypo::DriveMap::fromSystem(&settings);
    zypo::QtPrompter prompter;
    zypo::WindowManager windows;
    std::unique_ptr<zypo::MediaBackend> media = zypo::createSystemMediaBackend(&settings);

    zypo::MAIN M({&settings, &prompter, &windows, media.get(), &drives});
    zypo::main0 window(M);
    window.onShutdown = [] { QCoreApplication::quit(); };
    window.main0_Form_Load();
    window.show();
    return app.exec();
}
