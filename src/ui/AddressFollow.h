#pragma once

#include "BusinessLogic/Ticket.h"

#include <QObject>

class PumpCore;
class QComboBox;
class QLabel;
struct Answer;

// Once the pump has taken a new address it answers only there: the window moves its own address
// along, asks the pump for its address at the new one, and says so in the feedback once the pump
// answers there.
class AddressFollow : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        PumpCore *pump = nullptr;
        QComboBox *commAddress = nullptr; // the address the window talks to
        QLabel *feedback = nullptr;
    };

    AddressFollow(const Parts &parts, QObject *parent);

    // The pump acknowledged the new address.
    void pumpTook(int address);

signals:
    // The window talks to that address from now on and keeps it for the next start.
    void talkTo(int address);

private:
    void heard(const Answer &answer);

    Parts parts;
    BusinessLogic::Ticket asked = 0;
    int followed = -1;
};
