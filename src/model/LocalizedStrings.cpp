#include "LocalizedStrings.h"

#include <QCoreApplication>
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
}

QString LocalizedStrings::text(const char* key) {
    return QCoreApplication::translate("Localizable", key);
}

QString LocalizedStrings::text(const QString& key) {
    return text(key.toUtf8().constData());
}
