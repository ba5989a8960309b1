#pragma once

#include <QStyledItemDelegate>

// Edits a step's field in place, as plain text read by the window's rule for typed numbers. What
// was typed is kept as typed, within the limits or not: the file's checks below the table name a
// value outside the pump's limits, with the limit, and Run waits until they pass. A text that is
// no number (or, in a count, no whole number) changes nothing and says why.
class ProgramStepDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

signals:
    // A typed text that was not taken, with the reason ("row 2, Rate (ml/min): ...").
    void refused(const QString &reason) const;
};
