#pragma once

#include "ui/JournalRows.h"

#include <QAbstractTableModel>

// The rows of one view of the Journal tab, newest first: runs in progress in bold, the cause of
// a run ended by a fault or the verdict of a change refused in the failure colour, every field
// in the row's tool tip.
class JournalRowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole, RunningRole, TroubleRole };

    // The trouble column takes the failure colour.
    JournalRowModel(const QStringList &headers, int troubleColumn, QObject *parent = nullptr);

    // False, and the model left alone, when the rows are those shown already.
    bool setRows(const QVector<JournalRows::Row> &rows);
    const JournalRows::Row &row(int index) const { return list.at(index); }
    // The row of that key; -1 when none.
    int find(const QString &key) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList headers;
    int troubleColumn;
    QVector<JournalRows::Row> list;
};
