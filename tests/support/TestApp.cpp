#include "TestApp.h"

#include "TestEnvironment.h"

#include "conversion/FileAdder.h"
#include "ui/TableFichiers.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"
#include "ui/VueCtrlrReglage.h"

#include <QItemSelectionModel>

TestApp::TestApp() : m_delegate(std::make_unique<AppDelegate>(TestEnvironment::settings())) {
    m_delegate->applicationDidFinishLaunching();
}

TestApp::~TestApp() {
    m_delegate.reset();
}

void TestApp::add(const QStringList& paths) {
    filez().ajouterFichiersDossiers(paths);
    core().fileAdder()->waitUntilDone();
    QCoreApplication::processEvents();
}

VueCtrlrInfoFile& TestApp::info() {
    return *reglage().infofileVC();
}

void TestApp::selectRows(const QList<int>& rows) {
    QItemSelectionModel* selection = filez().tableVue()->selectionModel();
    QItemSelection chosen;
    const auto* model = filez().tableVue()->model();
    for (const int row : rows) {
        chosen.select(model->index(row, 0), model->index(row, model->columnCount() - 1));
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect);
}
