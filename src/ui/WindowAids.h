#pragma once

class EditedFields;
class ProgramRunner;
class PumpCore;
class QObject;
class QWidget;

namespace Ui {
class mainScreen;
}

// What the window adds for its operator once every tab is built, each a child of the window that
// needs no more wiring: a wheel turn over a widget not in use changes nothing, Escape puts back
// what the pump reports, the run buttons carry their hints and the Stop key, and the feedback
// line's neighbours show the pump's state, an error and a running program's step in plain view,
// a run that a window of the operator's left open on the pump is brought up, and the Service
// tab with its reminder beside the feedback line.
class WindowAids
{
public:
    static void install(QWidget *window, Ui::mainScreen &ui, EditedFields &edited, PumpCore &core,
                        ProgramRunner &runner);
    // The window's fields and helpers outlive the window's own part: a focus lost while the
    // dialog closes must not call into what is already gone.
    static void detach(QObject &window);
    // Held as the window's last member, so gone first, before the dialog's own teardown.
    struct Detached
    {
        QObject &window;
        ~Detached() { detach(window); }
    };
};
