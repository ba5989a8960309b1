#include "serial/CommDialogue.h"

#include <algorithm>

CommDialogue::CommDialogue(QWidget *parent)
    : QListWidget(parent)
{
    fill();
    connect(this, &QListWidget::currentRowChanged, this, &CommDialogue::setComPortFromList);
}

void CommDialogue::fill()
{
    ports = PortCatalog::scan();
    // Plain string order whatever the locale: the list's own sort collates, and under en_US
    // would put "ttymxc0" before "ttyUSB0".
    std::stable_sort(
        ports.begin(), ports.end(),
        [](const PortCatalog::Entry &a, const PortCatalog::Entry &b) { return a.name < b.name; });
    clear();
    for (const PortCatalog::Entry &entry : ports)
        addItem(entry.name);
    // Marks "no row" as chosen: otherwise the view makes the first row current when it gets the
    // keyboard focus, which would switch the link to that port.
    setCurrentIndex(QModelIndex());
}

void CommDialogue::refreshPorts()
{
    disconnect(this, &QListWidget::currentRowChanged, nullptr, nullptr);
    fill();
    connect(this, &QListWidget::currentRowChanged, this, &CommDialogue::setComPortFromList);
}

void CommDialogue::selectPort(const QString &name)
{
    for (int row = count() - 1; row >= 0; --row) {
        if (item(row)->text() == name) {
            setCurrentRow(row);
            return;
        }
    }
}

void CommDialogue::setComPortFromList(int row)
{
    const QListWidgetItem *chosen = item(row);
    if (chosen == nullptr)
        return; // no row current: keep the link where it is
    for (const PortCatalog::Entry &entry : ports) {
        if (entry.name != chosen->text())
            continue;
        if (entry.info.isNull())
            emit comPortPathChange(entry.location);
        else
            emit comPortChange(entry.info);
        return;
    }
    emit comPortChange(QSerialPortInfo());
}
