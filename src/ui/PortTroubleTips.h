#pragma once

#include <QString>

class CommDialogue;
class Communication;
class QWidget;

// Tells the operator why the chosen port is not open and what to do about it, in the tool tips
// of the link-state label and of the port list. A port asked for at start-up that is not there
// yet counts as missing.
class PortTroubleTips
{
public:
    // Empty while the port is open.
    static QString text(const Communication *link, const CommDialogue *list);
    // Called by every display update; touches the widgets only when the text changes.
    static void show(const Communication *link, CommDialogue *list, QWidget *label);
};
