#pragma once

class VueCtrlrFilez;
class VueCtrlrReglage;

// The application context as the views see each other: the two panes of
// the main window.
class ViewsContext {
public:
    virtual ~ViewsContext() = default;
    static ViewsContext* current();

    virtual VueCtrlrFilez* vueCtrlrFilez() const = 0;
    virtual VueCtrlrReglage* vueCtrlrReglage() const = 0;
};
