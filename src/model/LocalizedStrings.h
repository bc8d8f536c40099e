#pragma once

#include <QString>

// The application's localized texts: French, through Qt's translation
// system. A key without a translation shows as itself.
class LocalizedStrings {
public:
    // Loads the French translations into the running application.
    static void install();
    // The localized text of a key of the "Localizable" table.
    static QString text(const char* key);
    static QString text(const QString& key);
};
