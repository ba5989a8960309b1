#include "ui/ProgramStepDelegate.h"

#include "program/ProgramStep.h"
#include "pump/KeyTable.h"
#include "pump/TypedNumber.h"
#include "ui/ProgramStepModel.h"
#include "ui/ShownNumber.h"
#include "ui/ShownRefusal.h"

#include <QCoreApplication>
#include <QLineEdit>

#include <cmath>
#include <limits>

namespace {

bool numeric(int column)
{
    return column != ProgramStepModel::Text && column != ProgramStepModel::Step;
}

} // namespace

QWidget *ProgramStepDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    if (index.column() == ProgramStepModel::Step)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *field = new QLineEdit(parent);
    field->setFrame(false);
    if (numeric(index.column())) {
        const auto kind =
            static_cast<ProgramStep::Kind>(index.data(ProgramStepModel::KindRole).toInt());
        if (const Pump::KeyTable::Key *key =
                Pump::KeyTable::find(ProgramStepModel::limitKeyName(kind, index.column())))
            field->setToolTip(Pump::KeyTable::range(*key));
    }
    return field;
}

void ProgramStepDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *field = qobject_cast<QLineEdit *>(editor);
    if (field == nullptr) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant value = index.data(Qt::EditRole);
    // Numbers as the table shows them; the rule takes the locale's separator and the point.
    field->setText(value.type() == QVariant::Double
                       ? ShownNumber::localized(QString::number(value.toDouble(), 'g', 12))
                       : value.toString());
}

void ProgramStepDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    auto *field = qobject_cast<QLineEdit *>(editor);
    if (field == nullptr) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (!numeric(index.column())) {
        model->setData(index, field->text());
        return;
    }
    const QString name = model->headerData(index.column(), Qt::Horizontal).toString();
    const QString where =
        QCoreApplication::translate("mainScreen", "row %1, %2").arg(index.row() + 1).arg(name);
    const std::optional<double> x = Pump::TypedNumber::read(field->text());
    if (!x) {
        emit refused(ShownRefusal::notANumber(where, field->text()));
        return;
    }
    if (index.column() == ProgramStepModel::Count) {
        if (*x != std::trunc(*x) || std::fabs(*x) > std::numeric_limits<int>::max()) {
            emit refused(
                QCoreApplication::translate("mainScreen", "%1: \"%2\" is not a whole number")
                    .arg(where, field->text().trimmed()));
            return;
        }
        model->setData(index, static_cast<int>(*x));
        return;
    }
    model->setData(index, *x);
}
