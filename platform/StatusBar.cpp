#include "platform/StatusBar.h"

#include <QHBoxLayout>

namespace zypo {

StatusBar::StatusBar(const QList<int>& widths, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (qsizetype i = 0; i < widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(widths.at(i));
        label->setTextFormat(Qt::PlainText);
        row->addWidget(label, i + 1 == widths.size() ? 1 : 0);
        panels_.append(label);
    }
}

void StatusBar::setPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= panels_.size())
        panels_.at(panel - 1)->setText(text);
}

QString StatusBar::panelText(int panel) const {
    return panel >= 1 && panel <= panels_.size() ? panels_.at(panel - 1)->text() : QString();
}

} // namespace zypo
