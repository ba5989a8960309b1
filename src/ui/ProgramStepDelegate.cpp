#include "ui/ProgramStepDelegate.h"

#include "program/ProgramStep.h"
#include "pump/KeyTable.h"
#include "ui/ProgramStepModel.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>
#include <limits>

namespace {

int decimalsOf(double step)
{
    return step >= 1 ? 0 : static_cast<int>(std::lround(-std::log10(step)));
}

} // namespace

QWidget *ProgramStepDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    const auto kind =
        static_cast<ProgramStep::Kind>(index.data(ProgramStepModel::KindRole).toInt());
    const int column = index.column();
    if (column == ProgramStepModel::Text) {
        auto *field = new QLineEdit(parent);
        field->setFrame(false);
        return field;
    }
    if (column == ProgramStepModel::Count) {
        auto *box = new QSpinBox(parent);
        box->setRange(1, std::numeric_limits<int>::max());
        return box;
    }
    if (column == ProgramStepModel::Step)
        return QStyledItemDelegate::createEditor(parent, option, index);

    auto *box = new QDoubleSpinBox(parent);
    const QString keyName = ProgramStepModel::limitKeyName(kind, column);
    if (const Pump::KeyTable::Key *key = Pump::KeyTable::find(keyName)) {
        box->setRange(key->minimum, key->maximum);
        const double step = Pump::KeyTable::step(*key);
        box->setDecimals(decimalsOf(step));
        box->setSingleStep(step >= 1 ? 1 : step * 100);
        box->setSuffix(QLatin1Char(' ') + key->unit);
    } else {
        box->setRange(0, std::numeric_limits<int>::max());
        box->setDecimals(1);
        box->setSuffix(QStringLiteral(" s"));
    }
    box->setFrame(false);
    return box;
}

void ProgramStepDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QVariant value = index.data(Qt::EditRole);
    if (auto *box = qobject_cast<QDoubleSpinBox *>(editor))
        box->setValue(value.toDouble());
    else if (auto *box = qobject_cast<QSpinBox *>(editor))
        box->setValue(value.toInt());
    else if (auto *field = qobject_cast<QLineEdit *>(editor))
        field->setText(value.toString());
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void ProgramStepDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QDoubleSpinBox *>(editor)) {
        box->interpretText();
        model->setData(index, box->value());
    } else if (auto *box = qobject_cast<QSpinBox *>(editor)) {
        box->interpretText();
        model->setData(index, box->value());
    } else if (auto *field = qobject_cast<QLineEdit *>(editor)) {
        model->setData(index, field->text());
    } else {
        QStyledItemDelegate::setModelData(editor, model, index);
    }
}
