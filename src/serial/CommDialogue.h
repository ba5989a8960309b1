#pragma once

#include "serial/PortCatalog.h"
#include "serial/PortWatch.h"

#include <QListWidget>
#include <QSerialPortInfo>

// The port list of the communication tab: the available ports in plain name order; making a row
// current reports that port so the link opens it and the choice is stored. While the list is on
// show, or a port asked for is not there yet, it follows adapters being plugged in and pulled
// out.
class CommDialogue : public QListWidget
{
    Q_OBJECT

public:
    explicit CommDialogue(QWidget *parent = nullptr);

    // Makes the row of that exact name current (searching from the last row), or the row of a
    // port stored by its path (a stable name); unknown names change nothing, but the port is
    // chosen as soon as it appears, whether the list is on show or not.
    void selectPort(const QString &name);
    // The port asked for by selectPort that the list does not hold yet; empty once chosen.
    QString wantedPort() const { return wanted; }

    QList<PortCatalog::Entry> ports;

public slots:
    // Rescans without reporting a change: the link stays on the port it has.
    void refreshPorts();
    void setComPortFromList(int row);
    // Shows a new scan without disturbing the choice: the current port stays current (and
    // listed, even while its adapter is away) and nothing is reported.
    void followPorts(const QList<PortCatalog::Entry> &scanned);

signals:
    // A system port was chosen.
    void comPortChange(QSerialPortInfo portInfo);
    // A port listed by its device path was chosen.
    void comPortPathChange(QString path);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fill(QList<PortCatalog::Entry> scanned);
    const PortCatalog::Entry *entryOf(int row) const;
    int rowOf(const QString &text) const;

    PortWatch watch;
    QString wanted;
};
