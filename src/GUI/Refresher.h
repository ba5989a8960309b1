#pragma once

#include "BusinessLogic/Answer.h"

#include <QObject>

namespace GUI {

class OperationItem;

// Keeps the operation items current without the operator: decides which queries to queue and
// routes each answer back to the item waiting for it.
class Refresher : public QObject
{
    Q_OBJECT

public:
    // How often an attached item is polled. The underlying type makes any int a valid value;
    // attach() ignores values other than these three.
    enum RefreshClass : int {
        EveryTick = 0,    // on every tick
        FastRotation = 1, // in turn, two rotation steps per tick
        SlowRotation = 2, // in turn, one rotation step per tick
    };
    Q_ENUM(RefreshClass)

    using QObject::QObject;

    virtual void attach(OperationItem *item, RefreshClass refreshClass) = 0;
    // Removes every occurrence of the item from polling.
    virtual void detach(OperationItem *item) = 0;

public slots:
    virtual void notify(Answer data) = 0;
    // true: polled traffic stays out of the traffic log.
    virtual void displayProtocolAnswer(bool notDisplayed) = 0;
    // true: stop queuing queries; answers to queries already queued are still routed.
    virtual void noCyclicDataUpdate(bool noUpdate) = 0;
};

} // namespace GUI
