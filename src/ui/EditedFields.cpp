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

bool EditedFields::take(std::initializer_list<const QLineEdit *> fields)
{
    QStringList names;
    QStringList texts;
    for (const QLineEdit *field : fields) {
        names << field->objectName();
        texts << field->text();
    }
    return gate.takeEdit(names, texts);
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
