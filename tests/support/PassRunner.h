#pragma once

#include "conversion/ConversionControleur.h"
#include "conversion/ConvertisseurUIDelegate.h"

#include <QList>
#include <QStringList>

#include <functional>

// Runs conversion passes through the real controller and records what its
// delegate is told.
class PassRunner : public ConvertisseurUIDelegate {
public:
    explicit PassRunner(ConversionControleur* controleur);
    ~PassRunner() override;

    // Starts a pass and waits (processing events) until it has ended and its
    // last export has been handled; false on timeout.
    bool runPass(int timeoutMs = 120000);
    void start();
    bool waitUntilIdle(int timeoutMs = 120000);

    void updateUIavecControleur(ConversionControleur* controleur) override;
    void echoUserMessage(const QString& message) override { messages.append(message); }

    QList<qint32> states;
    QList<qint32> indexes;
    QStringList messages;

    // Processes events until the condition holds; false on timeout.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 60000);

private:
    ConversionControleur* m_controleur;
};
