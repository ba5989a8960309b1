#pragma once

#include <QObject>
#include <QPointer>

class Communication;
class QLabel;

// A first start opens on no port: until one is open, the feedback line says so and where the
// operator chooses it, instead of a bare "PUMP DISCONNECTED".
class PortHint : public QObject
{
    Q_OBJECT

public:
    // active: the start found no stored port and none is open.
    PortHint(QLabel *feedback, const Communication &link, bool active, QObject *parent = nullptr);

    static QString text();
    // After each display update, which clears the line while nothing answers.
    void refresh();

private:
    QPointer<QLabel> feedback;
    const Communication &link;
    bool active = false;
};
