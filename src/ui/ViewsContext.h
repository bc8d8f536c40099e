#pragma once

class ConversionControleur;
class FileAdder;
class GestionnairePileFichier;
class VueCtrlrFilez;
class VueCtrlrReglage;

// The application context as the views see it: the two panes of the main
// window, the queue they show and the controller they drive.
class ViewsContext {
public:
    virtual ~ViewsContext() = default;
    static ViewsContext* current();

    virtual VueCtrlrFilez* vueCtrlrFilez() const = 0;
    virtual VueCtrlrReglage* vueCtrlrReglage() const = 0;
    virtual GestionnairePileFichier* pileFichiers() const = 0;
    virtual ConversionControleur* controleur() const = 0;
    virtual FileAdder* fileAdder() const = 0;
};
