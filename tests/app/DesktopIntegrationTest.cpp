#include "app/DesktopNotifier.h"
#include "support/FlacFactory.h"
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QAction>
#include <QDBusConnection>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QString source(const QString& name) {
    FlacFactory::Options options;
    options.seconds = 0.3;
    options.tags = FlacFactory::fullTags(name);
    return FlacFactory::make(TestEnvironment::home() + "/Music/" + name + ".flac", options);
}

// The desktop's notification service, as a session bus of the test's own
// offers it: it keeps what it is asked to show.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList bodies;

public slots:
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        EXPECT_EQ(application, "Tonebridge");
        summaries << summary;
        bodies << body;
        return uint(summaries.size());
    }
};

// A session bus for the test alone.
class SessionBus {
public:
    SessionBus() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        m_daemon.waitForReadyRead(10000);
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    ~SessionBus() {
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }
    QString address;

private:
    QProcess m_daemon;
};
} // namespace

TEST(Desktop, MenuItemsDoWhatTheButtonsDo) {
    TestApp app;
    QStringList titles;
    for (QAction* menu : app.window().menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, (QStringList{"&Fichier", "É&dition", "&Conversion", "&Aide"}));
    EXPECT_EQ(app.window().addFilesAction()->text(), "Ajouter des &fichiers…");
    EXPECT_EQ(app.window().addFilesAction()->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(app.window().deleteAction()->shortcut(), QKeySequence(QKeySequence::Delete));

    app.window().addFilesAction()->trigger();
    auto* panel = app.window().findChild<QFileDialog*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFiles);
    panel->reject();
    app.window().addFolderAction()->trigger();
    QCoreApplication::processEvents();
    bool folderPanel = false;
    for (QFileDialog* dialog : app.window().findChildren<QFileDialog*>()) {
        folderPanel =
            folderPanel || (dialog->isVisible() && dialog->fileMode() == QFileDialog::Directory);
        dialog->reject();
    }
    EXPECT_TRUE(folderPanel);

    app.add({source("One"), source("Two"), source("Three")});
    app.window().deleteAction()->trigger();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 3) << "nothing selected, nothing removed";
    app.selectRows({1});
    app.window().deleteAction()->trigger();
    ASSERT_EQ(app.queue().countOfFichiersAudio(), 2);
    EXPECT_EQ(app.queue().fichiersAudio().at(1)->nomElement(), "Three.flac");

    app.window().startAction()->trigger();
    EXPECT_EQ(app.delegate().core().controleur()->statusConvertisseur(),
              kStatusConvertisseurDecodage);
    EXPECT_FALSE(app.reglage().startBouton()->isEnabled());
    app.window().stopAction()->trigger();
    EXPECT_EQ(app.delegate().core().controleur()->statusConvertisseur(),
              kStatusConvertisseurArrete);
    EXPECT_EQ(app.reglage().messageLabel()->text(), "Conversion arrêtée : 0 convertis, 2 restent");
    EXPECT_TRUE(app.reglage().startBouton()->isEnabled());

    QString aboutText;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                aboutText = box->text();
                box->accept();
            }
        }
    });
    app.window().aboutAction()->trigger();
    EXPECT_TRUE(aboutText.contains("Tonebridge")) << aboutText.toStdString();
}

TEST(Desktop, APassEndingWhileTheWindowIsInactiveIsNotified) {
    SessionBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    NotificationService service;
    QDBusConnection serviceConnection = QDBusConnection::connectToBus(bus.address, "notifications");
    ASSERT_TRUE(serviceConnection.registerObject("/org/freedesktop/Notifications", &service,
                                                 QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceConnection.registerService("org.freedesktop.Notifications"));

    TestApp app;
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    ASSERT_FALSE(app.window().isActiveWindow());
    app.add({source("A"), source("B")});
    TestEnvironment::writeFile(TestEnvironment::home() + "/Music/C.m4a", "kept");
    app.add({source("C")});
    app.reglage().startConversion();
    ASSERT_TRUE(PassRunner::waitFor([&] { return !service.summaries.isEmpty(); }));
    EXPECT_EQ(service.summaries, QStringList{"Conversion terminée"});
    EXPECT_EQ(service.bodies, QStringList{"2 fichiers convertis, 1 en erreur"});
    QDBusConnection::disconnectFromBus("notifications");
}

TEST(Desktop, WithoutASessionBusNothingHappens) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DesktopNotifier::notifyPassEnded(3, 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

#include "DesktopIntegrationTest.moc"
