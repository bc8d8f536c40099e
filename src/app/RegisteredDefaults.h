#pragma once

#include <QVariantMap>

// The registered default settings: the values every setting has until the
// user changes it.
class RegisteredDefaults {
public:
    static QVariantMap table();
    // Registers the table in the settings store's registration domain.
    static void registerAll();
    static QString musicFolder();
    static QString picturesFolder();
};
