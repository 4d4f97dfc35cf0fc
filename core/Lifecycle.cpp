// Start-up and shut-down: the main window's load and unload handlers.
#include "Version.h"
#include "core/TypeFilters.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/ListControls.h"
#include "platform/desktop/WindowManager.h"
#include "playback/MVIDEO.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <cmath>
#include <limits>

namespace zypo {

QString composeVersionText(int major, int minor, int revision) {
    return QStringLiteral("Version ") + QString::number(major) + QLatin1Char('.') +
           QString::number(minor).rightJustified(2, QLatin1Char('0')) + QLatin1Char('.') +
           QString::number(revision).rightJustified(4, QLatin1Char('0')) +
           QStringLiteral(" (32Bit Application)");
}

/// A window position in twips as a 16-bit field: rounded half to even, and clamped where it
/// does not fit (a window far off to one side) so that saving still happens.
std::int16_t positionField(double twips) {
    const double r = std::nearbyint(twips);
    return static_cast<std::int16_t>(
        std::clamp(r, static_cast<double>(std::numeric_limits<std::int16_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int16_t>::max())));
}

void main0::main0_Form_Load() {
    M.AppTitle = QString::fromUtf8(version::ProductName);
    M.VersionText = composeVersionText(version::Major, version::Minor, version::Revision);
    // Context help (F1) opens the help file of the working directory at start-up; the menu
    // item looks in the working directory of the moment.
    HelpFile = QDir::current().absoluteFilePath(QStringLiteral("ZYPOHLP.HLP"));
    LastDrive = main0Drive->Drive();
    M.AutoNext = False;

    // The browser starts on the current folder of the current drive.
    const QString cwd = M.svc.drives->currentDirectory();
    main0Drive->blockSignals(true);
    main0Drive->setDrive(driveLetterOf(cwd));
    main0Drive->blockSignals(false);
    LastDrive = main0Drive->Drive();
    main0Dir->blockSignals(true);
    if (!main0Dir->setPath(cwd))
        main0Dir->setDrive(driveLetterOf(cwd));
    main0Dir->blockSignals(false);
    main0Flist->setPath(main0Dir->Path());

    main0Combo->blockSignals(true);
    main0Combo->clear();
    for (int i = 0; i < TypeFilterCount; ++i)
        main0Combo->addItem(typeFilterText(i));
    main0Combo->setCurrentIndex(0);
    main0Combo->blockSignals(false);
    main0Combo_Click();

    CloseItem();
    M.SetteiLoad();

    if (M.MainLeft == -1 && M.MainTop == -1) {
        const int outerW = static_cast<int>(std::lround(frameGeometry().width() * twipsPerPixelX()));
        const int outerH = static_cast<int>(std::lround(frameGeometry().height() * twipsPerPixelY()));
        const int left = (screenWidthTwips() - outerW) / 2;
        const int top = (screenHeightTwips() - outerH) / 2;
        move(static_cast<int>(std::lround(left / twipsPerPixelX())),
             static_cast<int>(std::lround(top / twipsPerPixelY())));
    } else {
        move(static_cast<int>(std::lround(M.MainLeft / twipsPerPixelX())),
             static_cast<int>(std::lround(M.MainTop / twipsPerPixelY())));
    }

    MenuSetti21_Click(M.PlayMode);
    MenuSetti31_Click(M.PlayWindow);
    MenuSetti41_Click(M.PlayErr);
    const double twice = M.AviSize * 2;
    const bool halfStep = twice == std::floor(twice) && twice >= 1 && twice <= 8;
    MenuBairitu1_Click(static_cast<std::int16_t>(halfStep ? twice : 2));
}

void main0::SaveSettingsOnLostDisplay() {
    // The window system has gone (the X server ended under the player, or the session's
    // display connection broke) and the process ends without its windows: nothing that needs
    // the display is touched; the places are those last known, and the settings are written
    // as the regular shut-down writes them.
    if (shutDown_)
        return;
    shutDown_ = true;
    if (MVIDEO* video = existingVideoWindow(); video && video->isVisible()) {
        M.VideoLeft = positionField(video->pos().x() * twipsPerPixelX());
        M.VideoTop = positionField(video->pos().y() * twipsPerPixelY());
    }
    M.MainLeft = positionField(pos().x() * twipsPerPixelX());
    M.MainTop = positionField(pos().y() * twipsPerPixelY());
    M.SetteiSave();
}

void main0::main0_Form_Unload() {
    if (shutDown_)
        return;
    shutDown_ = true;
    CloseItem();
    // pos() is the frame's place; a minimised window reports where it will come back.
    M.MainLeft = positionField(pos().x() * twipsPerPixelX());
    M.MainTop = positionField(pos().y() * twipsPerPixelY());
    M.SetteiSave();
    if (onShutdown)
        onShutdown();
}

} // namespace zypo
