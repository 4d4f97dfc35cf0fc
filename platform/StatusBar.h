#pragma once
// A status bar of three text panels, numbered from 1. The panels are permanent labels: their
// texts stay until the program changes them.
#include <QLabel>
#include <QWidget>

namespace zypo {

class StatusBar : public QWidget {
    Q_OBJECT
public:
    /// Panel widths in pixels, left to right; the last one takes what is left.
    StatusBar(const QList<int>& widths, QWidget* parent = nullptr);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;

private:
    QList<QLabel*> panels_;
};

} // namespace zypo
