#include "ui/JournalRowModel.h"

#include "ui/StyleSheets.h"

#include <QFont>

JournalRowModel::JournalRowModel(const QStringList &headers, int troubleColumn, QObject *parent)
    : QAbstractTableModel(parent)
    , headers(headers)
    , troubleColumn(troubleColumn)
{}

bool JournalRowModel::setRows(const QVector<JournalRows::Row> &rows)
{
    if (rows == list)
        return false;
    beginResetModel();
    list = rows;
    endResetModel();
    return true;
}

int JournalRowModel::find(const QString &key) const
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).key == key)
            return i;
    }
    return -1;
}

int JournalRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : list.size();
}

int JournalRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headers.size();
}

QVariant JournalRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= list.size())
        return {};
    const JournalRows::Row &r = list.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.cells.value(index.column());
    case Qt::ToolTipRole:
        return r.toolTip;
    case Qt::ForegroundRole:
        if (r.running)
            return StyleSheets::acceptedColour();
        // The state lines' failure colour.
        if (r.trouble && index.column() == troubleColumn)
            return QColor(255, 100, 0);
        return {};
    case Qt::FontRole:
        if (r.running) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case KeyRole:
        return r.key;
    case RunningRole:
        return r.running;
    case TroubleRole:
        return r.trouble;
    default:
        return {};
    }
}

QVariant JournalRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
