#pragma once
// Message boxes and the file-open dialog. The real prompter is modal (it runs a nested event
// loop, so transport notifications are handled while a box is shown); tests install one that
// records what was asked and answers at once.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

namespace zypo {

enum class MsgIcon { None, Exclamation, Information, Critical };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void MsgBox(const QString& text, MsgIcon icon, const QString& title) = 0;
    /// filter in the "Description|pattern|Description|pattern" form; nullopt on cancel.
    virtual std::optional<QString> OpenFileDialog(QWidget* parent, const QString& title,
                                                  const QString& filter, const QString& defaultExt) = 0;
};

/// Qt's own dialogs (the file chooser, the buttons of the boxes) speak Japanese, as the rest of
/// the player does, whatever the locale. False when Qt's Japanese translations are not
/// installed (they stay English).
bool useJapaneseDialogs();

class QtPrompter : public Prompter {
public:
    /// The window that owns the boxes: the main window, which lives as long as the player. A
    /// box never belongs to a window that playback may delete while the box is up (the video
    /// window); while the owner is hidden or minimised the box stands on its own.
    void setOwner(QWidget* owner) { owner_ = owner; }
    void MsgBox(const QString& text, MsgIcon icon, const QString& title) override;
    std::optional<QString> OpenFileDialog(QWidget* parent, const QString& title, const QString& filter,
                                          const QString& defaultExt) override;

private:
    QPointer<QWidget> owner_;
};

/// "Midi File(*.mid)|*.mid" → "Midi File(*.mid) (*.mid)", one Qt filter per pair.
QString qtFileFilter(const QString& filter);

} // namespace zypo
