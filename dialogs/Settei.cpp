#include "dialogs/Settei.h"

#include "core/MAIN.h"
#include "dialogs/AppIcon.h"
#include "platform/DriveMap.h"
#include "platform/Prompter.h"
#include "platform/desktop/WindowManager.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace zypo {

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect rect) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(rect);
    // Enter and Escape trigger none of the buttons.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}
} // namespace

Settei::Settei(MAIN& m, QWidget* parent) : QWidget(parent, Qt::Dialog), M(m) {
    setObjectName(QStringLiteral("Settei"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ジポプレーヤー(設定)"));
    setWindowIcon(appIcon());
    setFixedSize(twipsToPixelsX(6540), twipsToPixelsY(2010));

    SetteiIm1 = new QLabel(this);
    SetteiIm1->setObjectName(QStringLiteral("SetteiIm1"));
    SetteiIm1->setGeometry(twipsRect(75, 60, 480, 480));
    SetteiIm1->setPixmap(appIconPixmap(32));
    SetteiL1 = new QLabel(QStringLiteral("ｲﾆｼｬﾙMIDﾌｧｲﾙ"), this);
    SetteiL1->setObjectName(QStringLiteral("SetteiL1"));
    SetteiL1->setGeometry(twipsRect(600, 240, 2175, 255));
    SetteiT1 = new QLineEdit(this);
    SetteiT1->setObjectName(QStringLiteral("SetteiT1"));
    SetteiT1->setGeometry(twipsRect(120, 720, 5415, 405));
    SetteiC3 = button(this, "SetteiC3", QStringLiteral("参照"), twipsRect(5640, 720, 855, 375));
    SetteiC4 = button(this, "SetteiC4", QStringLiteral("削除する"), twipsRect(1800, 1440, 1455, 375));
    SetteiC2 = button(this, "SetteiC2", QStringLiteral("設定しない"), twipsRect(3360, 1440, 1455, 375));
    SetteiC1 = button(this, "SetteiC1", QStringLiteral("設定する"), twipsRect(5040, 1440, 1455, 375));
    connect(SetteiC1, &QPushButton::clicked, this, &Settei::SetteiC1_Click);
    connect(SetteiC2, &QPushButton::clicked, this, &Settei::SetteiC2_Click);
    connect(SetteiC3, &QPushButton::clicked, this, &Settei::SetteiC3_Click);
    connect(SetteiC4, &QPushButton::clicked, this, &Settei::SetteiC4_Click);
    Form_Load();
}

void Settei::Form_Load() {
    SetteiT1->setText(M.IniMidFile != QLatin1String(NoIniMidFile) ? M.IniMidFile
                                                                  : QString::fromUtf8(NoneText));
    centreOnScreen(this);
}

void Settei::SetteiC1_Click() {
    const QString text = SetteiT1->text();
    M.IniMidFile = text == QString::fromUtf8(NoneText) ? QString::fromLatin1(NoIniMidFile) : text;
    M.SetteiSave();
    close();
}

void Settei::SetteiC2_Click() {
    close();
}

void Settei::SetteiC3_Click() {
    const std::optional<QString> chosen =
        M.svc.prompter->OpenFileDialog(this, QStringLiteral("イニシャルＭＩＤファイルの参照"),
                                       QStringLiteral("Midi File(*.mid)|*.mid"), QStringLiteral("mid"));
    if (!chosen || chosen->isEmpty())
        return;
    // Inside the player every path is a drive path.
    const QString drivePath = M.svc.drives ? M.svc.drives->toDrivePath(*chosen) : *chosen;
    if (!drivePath.isEmpty())
        SetteiT1->setText(drivePath);
}

void Settei::SetteiC4_Click() {
    M.IniMidFile = QString::fromLatin1(NoIniMidFile);
    SetteiT1->setText(QString::fromUtf8(NoneText));
}

void Settei::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace zypo
