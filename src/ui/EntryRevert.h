#pragma once

#include <QList>
#include <QObject>

class EditedFields;
class MouseEventLineEdit;

// Escape in a value field cancels the entry: every field gets back what the display last wrote
// there (the pump's value), the field gives up the focus, and nothing is sent. Without this the
// window swallows Escape and the typed text goes out when the field is left.
class EntryRevert : public QObject
{
    Q_OBJECT

public:
    EntryRevert(EditedFields &edited, const QList<MouseEventLineEdit *> &fields,
                QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EditedFields &edited;
    QList<MouseEventLineEdit *> fields;
};
