#include "platform/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <QTreeView>

namespace zypo {

bool useJapaneseDialogs() {
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

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
    // Room for the Japanese column headers ("更新日時", "ファイルの種類"), which the default
    // widths cut short.
    const QFontMetrics metrics(dialog.font());
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        details->header()->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("ファイルの種類")) +
                                                 metrics.averageCharWidth() * 4);
    dialog.resize(std::max(dialog.width(), metrics.averageCharWidth() * 90),
                  std::max(dialog.height(), metrics.height() * 24));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace zypo
