#include "platform/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace zypo {

void QtPrompter::MsgBox(const QString& text, MsgIcon icon, const QString& title) {
    QWidget* owner = owner_.data();
    if (owner && (!owner->isVisible() || owner->isMinimized()))
        owner = nullptr;
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.exec();
}

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtPrompter::OpenFileDialog(QWidget* parent, const QString& title,
                                                  const QString& filter, const QString& defaultExt) {
    QFileDialog dialog(parent, title, QString(), qtFileFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace zypo
