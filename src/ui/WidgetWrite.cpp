#include "ui/WidgetWrite.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

void WidgetWrite::setText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void WidgetWrite::setText(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}

void WidgetWrite::setSheet(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

void WidgetWrite::setIndex(QComboBox *combo, int index)
{
    if (combo->currentIndex() != index)
        combo->setCurrentIndex(index);
}

void WidgetWrite::setChecked(QCheckBox *box, bool checked)
{
    if (box->isChecked() == checked)
        return;
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}
