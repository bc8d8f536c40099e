#include "LocalizedStrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// Texts of Qt's own that its French catalogue lacks: the file dialog's type
// column.
[[maybe_unused]] const char* const kQtFolder[2] =
    QT_TRANSLATE_NOOP3("QAbstractFileIconProvider", "Folder", "All other platforms");
[[maybe_unused]] const char* const kQtDrive =
    QT_TRANSLATE_NOOP("QAbstractFileIconProvider", "Drive");
} // namespace

void LocalizedStrings::install() {
    static QTranslator* translator = nullptr;
    if (translator != nullptr) {
        return;
    }
    // The program speaks French: numbers, sorting and the names of file types
    // (the desktop's, which follow the default locale) too.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral(":/i18n/tonebridge_fr.qm"))) {
        QCoreApplication::installTranslator(translator);
    }
    // Qt's own texts (file dialogs, the editing menu, shortcut names) from
    // Qt's French catalogue.
    auto* qtTexts = new QTranslator(QCoreApplication::instance());
    if (qtTexts->load(QStringLiteral("qtbase_fr"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qtTexts);
    }
}

QString LocalizedStrings::text(const char* key) {
    return QCoreApplication::translate("Localizable", key);
}

QString LocalizedStrings::text(const QString& key) {
    return text(key.toUtf8().constData());
}
