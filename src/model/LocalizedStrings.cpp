#include "LocalizedStrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void LocalizedStrings::install() {
    static QTranslator* translator = nullptr;
    if (translator != nullptr) {
        return;
    }
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
