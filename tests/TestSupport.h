#pragma once
// A player on a temporary drive: C: is a fresh folder, the settings store is a file in it, the
// prompter records instead of asking and the media are scripted.
#include "core/MAIN.h"
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/ListControls.h"
#include "platform/MMControl.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/StatusBar.h"
#include "platform/desktop/WindowManager.h"
#include "platform/media/ScriptedMedia.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace zypo::test {

struct Message {
    QString text;
    MsgIcon icon;
    QString title;
};

class RecordingPrompter : public Prompter {
public:
    void MsgBox(const QString& text, MsgIcon icon, const QString& title) override;
    std::optional<QString> OpenFileDialog(QWidget* parent, const QString& title, const QString& filter,
                                          const QString& defaultExt) override;
    QList<Message> messages;
    /// Runs while a box is "shown", as the real box's event loop would run events.
    std::function<void(const Message&)> whileShown;
    std::optional<QString> nextFile;
    QStringList fileDialogs; // "title|filter|ext"
};

/// A file's bytes (empty when it cannot be read).
QByteArray readAll(const QString& path);
/// Writes a file, making its folder; false when it cannot be written.
bool writeAll(const QString& path, const QByteArray& bytes);

/// A Standard MIDI File of the given tracks (each track's bytes without its chunk header).
QByteArray smf(int format, std::uint16_t division, const QList<QByteArray>& tracks);
QByteArray bytes(std::initializer_list<int> v);
/// End of Track at delta 0.
inline const QByteArray End = QByteArray("\x00\xFF\x2F\x00", 4);

/// Lets queued events (device ends, deferred deletes) run.
void pump(int rounds = 5);

class Player {
public:
    Player();
    ~Player();

    /// Makes a file under the drive (relative path with "/"), with scripted media properties.
    QString addMedia(const QString& rel, ScriptedMedia media = {});
    QString host(const QString& rel) const;
    void mkdir(const QString& rel);
    /// Makes the main window with the working directory at `cwdRel` and runs its start-up.
    main0& start(const QString& cwdRel = QString());
    main0& window() { return *w; }

    ScriptedDevice* device() const { return media.current(); }
    /// Plays the open item to its end and lets the end be handled.
    void finishItem();
    QString panel(int i) const { return w->StatusBar1->panelText(i); }
    std::int16_t selected() const { return w->activeList()->ListIndex(); }
    QString playing() const; // host path of the open item, or empty

    QTemporaryDir tmp;
    std::unique_ptr<IniSettingsStore> settings;
    DriveMap drives;
    RecordingPrompter prompter;
    WindowManager windows;
    ScriptedBackend media;
    std::unique_ptr<MAIN> M;
    std::unique_ptr<main0> w;

private:
    QString oldCwd_;
};

} // namespace zypo::test
