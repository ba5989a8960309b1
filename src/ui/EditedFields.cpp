#include "ui/EditedFields.h"

#include <QLineEdit>
#include <QSignalBlocker>

void EditedFields::show(QLineEdit *field, const QString &text)
{
    // Re-polishing a field is expensive: write only a text that changes.
    if (field->text() != text)
        field->setText(text);
    record(field);
}

void EditedFields::shown(std::initializer_list<const QLineEdit *> fields)
{
    for (const QLineEdit *field : fields)
        record(field);
}

bool EditedFields::editing(const QLineEdit *field) const
{
    return field->hasFocus() && field->text() != gate.writtenText(field->objectName());
}

bool EditedFields::editing(std::initializer_list<const QLineEdit *> group) const
{
    bool focused = false;
    bool changed = false;
    for (const QLineEdit *field : group) {
        focused = focused || field->hasFocus();
        changed = changed || field->text() != gate.writtenText(field->objectName());
    }
    return focused && changed;
}

bool EditedFields::take(std::initializer_list<const QLineEdit *> fields)
{
    QStringList names;
    QStringList texts;
    QHash<QString, QString> before;
    for (const QLineEdit *field : fields) {
        names << field->objectName();
        texts << field->text();
        before.insert(field->objectName(), gate.writtenText(field->objectName()));
    }
    if (!gate.takeEdit(names, texts))
        return false;
    beforeTaken.insert(before);
    return true;
}

void EditedFields::turnDown(QLineEdit *field)
{
    const auto before = beforeTaken.constFind(field->objectName());
    if (before == beforeTaken.constEnd())
        return;
    gate.written(field->objectName(), *before);
    restore(field);
}

void EditedFields::record(const QLineEdit *field)
{
    gate.written(field->objectName(), field->text());
}

void EditedFields::restore(QLineEdit *field)
{
    const QString text = gate.writtenText(field->objectName());
    if (field->text() == text)
        return;
    // The display's texts are whole already: the time fields' normalisation must not run on the
    // way back, one field at a time.
    const QSignalBlocker quiet(field);
    field->setText(text);
}
