#pragma once

class EditedFields;
class PumpCore;
class QTimer;
class mainForm;

namespace Ui {
class mainScreen;
}

// The compact screen's details, each wired here rather than in the window: the dispense time
// fields' normalisation and sending, a rate beside them in volume dosing, the first start's hint
// where to choose a port, run buttons that stay where they are whatever the feedback lines
// below them hold, and a visible focus on the unit button and the fold arrow. Installed before
// the window's entries are recorded, so that Escape and the send rule know the rate field too.
class WindowDetails
{
public:
    struct Parts
    {
        mainForm &window;
        Ui::mainScreen &ui;
        EditedFields &edited;
        PumpCore &core;
        // Its timeout runs the display update; what is connected here runs after it.
        QTimer &updateTimer;
        // The start found a port name stored for this copy.
        bool portStored;
    };

    static void install(const Parts &parts);
    // Keeps the set-points and the run buttons at their height, so that the buttons stay where
    // they are whatever the feedback lines below them hold.
    static void pinRunButtons(Ui::mainScreen &ui);
};
