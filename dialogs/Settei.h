#pragma once
// The initial MIDI file dialog: choose, clear or keep the MIDI file played before every MIDI
// item. Modeless; one instance, loaded afresh after it has closed.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zypo {

class MAIN;

class Settei : public QWidget {
    Q_OBJECT
public:
    explicit Settei(MAIN& m, QWidget* parent = nullptr);

    QLabel* SetteiIm1 = nullptr;
    QLabel* SetteiL1 = nullptr;
    QLineEdit* SetteiT1 = nullptr;
    QPushButton* SetteiC3 = nullptr;
    QPushButton* SetteiC4 = nullptr;
    QPushButton* SetteiC2 = nullptr;
    QPushButton* SetteiC1 = nullptr;

    void Form_Load();
    void SetteiC1_Click();
    void SetteiC2_Click();
    void SetteiC3_Click();
    void SetteiC4_Click();

    static constexpr const char* NoneText = "(なし)";

protected:
    /// Escape closes the dialog as its close box does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    MAIN& M;
};

} // namespace zypo
