#pragma once
// The version dialog: icon, title and version line; "OK" saves all settings.
#include <QDialog>

class QLabel;
class QPushButton;

namespace zypo {

class MAIN;

class About : public QDialog {
    Q_OBJECT
public:
    explicit About(MAIN& m, QWidget* parent = nullptr);

    QLabel* AboutPic1 = nullptr;
    QPushButton* AboutC1 = nullptr;
    QLabel* AboutL1 = nullptr;
    QLabel* AboutL3 = nullptr;

    void Form_Load();
    void AboutC1_Click();

private:
    MAIN& M;
};

} // namespace zypo
