#pragma once

#include <QStyledItemDelegate>

// Edits a step's field in place: a spin box within the limits of the pump's key for that field
// (volume, flow rate, dispense time), with the key's resolution; a field no key limits gets a spin
// box that only keeps it positive, and the file's checks below the table judge it.
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
};
