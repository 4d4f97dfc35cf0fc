#include "dialogs/About.h"

#include "core/MAIN.h"
#include "dialogs/AppIcon.h"
#include "platform/desktop/WindowManager.h"

#include <QLabel>
#include <QPushButton>
#include <cmath>

namespace zypo {

About::About(MAIN& m, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      M(m) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("ジポプレーヤー"));
    setWindowIcon(appIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 255));
    setPalette(pal);
    // Just large enough for the controls.
    setFixedSize(twipsToPixelsX(4575 + 240 + 240), twipsToPixelsY(1200 + 255 + 240));

    AboutPic1 = new QLabel(this);
    AboutPic1->setObjectName(QStringLiteral("AboutPic1"));
    AboutPic1->setGeometry(twipsRect(360, 120, 495, 495));
    AboutPic1->setPixmap(appIconPixmap(32));
    AboutC1 = new QPushButton(QStringLiteral("OK"), this);
    AboutC1->setObjectName(QStringLiteral("AboutC1"));
    AboutC1->setGeometry(twipsRect(4080, 120, 735, 375));
    AboutL1 = new QLabel(QStringLiteral("ジポプレーヤー"), this);
    AboutL1->setObjectName(QStringLiteral("AboutL1"));
    AboutL1->setGeometry(twipsRect(240, 720, 4575, 255));
    AboutL3 = new QLabel(this);
    AboutL3->setObjectName(QStringLiteral("AboutL3"));
    AboutL3->setGeometry(twipsRect(240, 1200, 4575, 255));
    connect(AboutC1, &QPushButton::clicked, this, &About::AboutC1_Click);
    Form_Load();
}

void About::Form_Load() {
    AboutL3->setText(M.VersionText);
    centreOnScreen(this);
}

void About::AboutC1_Click() {
    M.SetteiSave();
    accept();
}

} // namespace zypo
