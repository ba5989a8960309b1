#include "serial/CommDialogue.h"

#include <algorithm>

CommDialogue::CommDialogue(QWidget *parent)
    : QListWidget(parent)
{
    fill(PortCatalog::scan());
    connect(this, &QListWidget::currentRowChanged, this, &CommDialogue::setComPortFromList);
    connect(&watch, &PortWatch::portsChanged, this, &CommDialogue::followPorts);
}

void CommDialogue::fill(QList<PortCatalog::Entry> scanned)
{
    ports = std::move(scanned);
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
    fill(PortCatalog::scan());
    connect(this, &QListWidget::currentRowChanged, this, &CommDialogue::setComPortFromList);
    if (watch.running())
        watch.start(ports);
}

void CommDialogue::followPorts(const QList<PortCatalog::Entry> &scanned)
{
    QList<PortCatalog::Entry> next = scanned;
    const PortCatalog::Entry *current = entryOf(currentRow());
    const QString chosenLocation = current != nullptr ? current->location : QString();
    if (current != nullptr) {
        bool present = false;
        for (const PortCatalog::Entry &entry : next)
            present = present || entry.location == current->location;
        if (!present)
            next.append(*current);
    }
    const QListWidgetItem *top = itemAt(0, 0);
    const QString topText = top != nullptr ? top->text() : QString();

    disconnect(this, &QListWidget::currentRowChanged, nullptr, nullptr);
    fill(std::move(next));
    if (!chosenLocation.isEmpty()) {
        // By location: a stable name's text changes with the device it leads to.
        for (const PortCatalog::Entry &entry : ports) {
            if (entry.location == chosenLocation) {
                setCurrentRow(rowOf(entry.name));
                break;
            }
        }
    } else if (const int row = rowOf(topText); row >= 0) {
        scrollToItem(item(row), QAbstractItemView::PositionAtTop);
    }
    connect(this, &QListWidget::currentRowChanged, this, &CommDialogue::setComPortFromList);

    // The port asked for at start-up has come: choose it as start-up would have.
    if (currentRow() < 0 && !wanted.isEmpty())
        selectPort(wanted);
}

void CommDialogue::selectPort(const QString &name)
{
    int row = rowOf(name);
    if (row < 0) {
        for (const PortCatalog::Entry &entry : ports) {
            if (entry.info.isNull() && entry.location == name && !name.isEmpty()) {
                row = rowOf(entry.name);
                break;
            }
        }
    }
    if (row < 0) {
        // Watched even while the tab is not on show: the adapter may be plugged in after the
        // start, and the operator expects the program to find it.
        wanted = name;
        if (!watch.running())
            watch.start(ports);
        return;
    }
    wanted.clear();
    setCurrentRow(row);
    if (!isVisible())
        watch.stop();
}

int CommDialogue::rowOf(const QString &text) const
{
    for (int row = count() - 1; row >= 0; --row) {
        if (item(row)->text() == text)
            return row;
    }
    return -1;
}

const PortCatalog::Entry *CommDialogue::entryOf(int row) const
{
    const QListWidgetItem *chosen = item(row);
    if (chosen == nullptr)
        return nullptr;
    for (const PortCatalog::Entry &entry : ports) {
        if (entry.name == chosen->text())
            return &entry;
    }
    return nullptr;
}

void CommDialogue::setComPortFromList(int row)
{
    if (item(row) == nullptr)
        return; // no row current: keep the link where it is
    wanted.clear();
    const PortCatalog::Entry *entry = entryOf(row);
    if (entry == nullptr)
        emit comPortChange(QSerialPortInfo());
    else if (entry->info.isNull())
        emit comPortPathChange(entry->location);
    else
        emit comPortChange(entry->info);
}

void CommDialogue::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    // Catch up with what happened while hidden, then follow.
    watch.start(ports);
    watch.check();
}

void CommDialogue::hideEvent(QHideEvent *event)
{
    QListWidget::hideEvent(event);
    if (wanted.isEmpty())
        watch.stop();
}
