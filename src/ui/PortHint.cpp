#include "ui/PortHint.h"

#include "serial/Communication.h"
#include "ui/WidgetWrite.h"

#include <QLabel>

PortHint::PortHint(QLabel *feedback, const Communication &link, bool active, QObject *parent)
    : QObject(parent)
    , feedback(feedback)
    , link(link)
    , active(active)
{}

QString PortHint::text()
{
    return tr("No port is open yet. Choose the pump's port in the list on the Communication tab "
              "(the arrow on the right opens it); Search Pump then finds the pump's address.");
}

void PortHint::refresh()
{
    if (!active || feedback == nullptr)
        return;
    if (link.portOpen) {
        // Said once: a port chosen is the operator's from now on, and so is its trouble.
        active = false;
        if (feedback->text() == text())
            feedback->clear();
        return;
    }
    WidgetWrite::setText(feedback, text());
}
