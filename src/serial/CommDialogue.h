#pragma once

#include "serial/PortCatalog.h"

#include <QListWidget>
#include <QSerialPortInfo>

// The port list of the communication tab: the available ports in plain name order; making a row
// current reports that port so the link opens it and the choice is stored.
class CommDialogue : public QListWidget
{
    Q_OBJECT

public:
    explicit CommDialogue(QWidget *parent = nullptr);

    // Makes the row of that exact name current (searching from the last row); unknown names
    // change nothing.
    void selectPort(const QString &name);

    QList<PortCatalog::Entry> ports;

public slots:
    // Rescans without reporting a change: the link stays on the port it has.
    void refreshPorts();
    void setComPortFromList(int row);

signals:
    // A system port was chosen.
    void comPortChange(QSerialPortInfo portInfo);
    // A port listed by its device path was chosen.
    void comPortPathChange(QString path);

private:
    void fill();
};
