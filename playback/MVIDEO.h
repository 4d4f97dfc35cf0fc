#pragma once
// The video window: a fixed window whose only content is the picture Pic1 that the transport
// draws into, sized to the clip times the magnification.
#include <QWidget>
#include <cstdint>

namespace zypo {

class main0;

class MVIDEO : public QWidget {
    Q_OBJECT
public:
    explicit MVIDEO(main0& owner);
    QWidget* Pic1 = nullptr;

    void Form_Load();
    void Form_Unload();
    void Pic1_GotFocus();
    void Pic1_LostFocus();

    /// False after SizeVideoWindow met a size the picture cannot take.
    bool isSized() const { return sized_; }
    void setPictureSize(int width, int height);
    /// True once the window has been unloaded (closed); a new one is made for the next item.
    bool isUnloaded() const { return unloaded_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    main0& owner_;
    bool sized_ = true;
    bool unloaded_ = false;

    friend class main0;
};

/// The four numbers at the start of a "where … source" reply: blanks skipped, then digits; a
/// number with no digits is 0. False when a number does not fit 16 bits.
bool readSourceRect(const QString& reply, int out[4]);

} // namespace zypo
