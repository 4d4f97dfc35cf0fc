#include "playback/MVIDEO.h"

#include "core/MAIN.h"
#include "dialogs/AppIcon.h"
#include "mainwindow/main0.h"
#include "platform/MMControl.h"
#include "platform/MediaCommands.h"
#include "platform/desktop/WindowManager.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <cmath>

namespace zypo {

std::int16_t positionField(double twips);

MVIDEO::MVIDEO(main0& owner)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      owner_(owner) {
    setObjectName(QStringLiteral("MVIDEO"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(appIcon());
    Pic1 = new QWidget(this);
    Pic1->setObjectName(QStringLiteral("Pic1"));
    Pic1->setAutoFillBackground(true);
    QPalette pal = Pic1->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    Pic1->setPalette(pal);
    Pic1->setFocusPolicy(Qt::StrongFocus);
    // The picture is drawn by the media engine into this widget's own native window.
    Pic1->setAttribute(Qt::WA_NativeWindow);
    Pic1->setAttribute(Qt::WA_DontCreateNativeAncestors);
    Pic1->installEventFilter(this);
    setPictureSize(twipsToPixelsX(3000), twipsToPixelsY(2640));
    Form_Load();
}

void MVIDEO::setPictureSize(int width, int height) {
    Pic1->setGeometry(0, 0, width, height);
    // The client area is the picture; the window manager keeps the frame's thickness.
    setFixedSize(width, height);
}

void MVIDEO::Form_Load() {
    MAIN& M = owner_.M;
    move(static_cast<int>(std::lround(M.VideoLeft / twipsPerPixelX())),
         static_cast<int>(std::lround(M.VideoTop / twipsPerPixelY())));
    setWindowTitle(QStringLiteral("ジポプレーヤー(") + M.PlayFile + QLatin1Char(')'));
    if (M.PlayWindow == 3)
        M.svc.windows->SetTopmost(this);
}

void MVIDEO::Form_Unload() {
    MAIN& M = owner_.M;
    M.VideoLeft = positionField(pos().x() * twipsPerPixelX());
    M.VideoTop = positionField(pos().y() * twipsPerPixelY());
    owner_.MMC->setCommand(QStringLiteral("Close"));
    // Closed by the user (not by CloseItem): the main window comes back, also the first time in
    // a run, when the flag has not been set by an earlier closing yet.
    if (M.VideoCloseRestore || !owner_.closingVideo_)
        owner_.showNormal();
    M.VideoCloseRestore = True;
}

void MVIDEO::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    event->accept();
}

void MVIDEO::Pic1_GotFocus() {
    // The focused window is the picture itself: the transport draws into it.
    owner_.M.VideoHwnd = Pic1;
}

void MVIDEO::Pic1_LostFocus() {
    MAIN& M = owner_.M;
    if (M.PlayWindow == 3 && owner_.MMC->Mode() == ModePlaying)
        M.svc.windows->SetTopmost(this);
}

bool MVIDEO::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Pic1) {
        if (event->type() == QEvent::FocusIn)
            Pic1_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            Pic1_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

bool readSourceRect(const QString& reply, int out[4]) {
    qsizetype i = 0;
    const qsizetype n = reply.size();
    for (int k = 0; k < 4; ++k) {
        while (i < n && reply.at(i) == QLatin1Char(' '))
            ++i;
        int value = 0;
        while (i < n && reply.at(i) >= QLatin1Char('0') && reply.at(i) <= QLatin1Char('9')) {
            value = value * 10 + (reply.at(i).unicode() - '0');
            if (value > 32767)
                return false;
            ++i;
        }
        out[k] = value;
    }
    return true;
}

// ---- main0's part: the window reference and the sizing procedure -----------------------------

MVIDEO* main0::videoWindow() {
    if (!video_ || video_->isUnloaded())
        video_ = new MVIDEO(*this);
    return video_;
}

void main0::SizeVideoWindow(std::int32_t& error) {
    MVIDEO* video = videoWindow();
    video->sized_ = false;
    // The reply buffer starts empty and is reused, uncleared, by every command.
    QString reply;
    error = commands_->mciSendString(
        QStringLiteral("open \"") + MMC->FileName() + QStringLiteral("\" Alias Open_Avi"), reply);
    // The alias is closed on every way out: left open, it would make every later video fail.
    const auto closeAlias = [&] {
        QString ignored;
        commands_->mciSendString(QStringLiteral("close Open_Avi"), ignored);
    };
    error = commands_->mciSendString(QStringLiteral("where Open_Avi source"), reply);
    int r[4] = {0, 0, 0, 0};
    if (!readSourceRect(reply, r))
        return closeAlias();
    // Half a pixel goes to the even neighbour.
    const double w = std::nearbyint((r[2] - r[0]) * M.AviSize);
    const double h = std::nearbyint((r[3] - r[1]) * M.AviSize);
    if (w < 0 || h < 0 || w > 32767 || h > 32767)
        return closeAlias();
    const int W = static_cast<int>(w);
    const int H = static_cast<int>(h);
    video->setPictureSize(W, H);
    const auto num = [](int v) { return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v); };
    error = commands_->mciSendString(QStringLiteral("put \"") + MMC->FileName() +
                                         QStringLiteral("\" destination at 0 0 ") + num(W) +
                                         QLatin1Char(' ') + num(H),
                                     reply);
    error = commands_->mciSendString(QStringLiteral("close Open_Avi"), reply);
    video->sized_ = true;
}

} // namespace zypo
