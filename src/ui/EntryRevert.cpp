#include "ui/EntryRevert.h"

#include "ui/EditedFields.h"
#include "ui/MouseEventLineEdit.h"

#include <QKeyEvent>

EntryRevert::EntryRevert(EditedFields &edited, const QList<MouseEventLineEdit *> &fields,
                         QObject *parent)
    : QObject(parent)
    , edited(edited)
    , fields(fields)
{
    for (MouseEventLineEdit *field : fields)
        field->installEventFilter(this);
}

bool EntryRevert::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    // All fields, not only this one: the dispense time's normalisation may have carried the
    // entry into a neighbour, which would otherwise go out with the group.
    edited.revert(fields);
    // Ends the entry as Return does; the display keeps the field current from now on.
    static_cast<QWidget *>(watched)->clearFocus();
    return true;
}
