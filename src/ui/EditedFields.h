#pragma once

#include "pump/SendGate.h"

#include <QHash>
#include <QList>

#include <initializer_list>

class QLineEdit;

// The window's value fields as the send rule sees them: the display writes them through here,
// and an operator's edit is taken from here once, when it ends.
class EditedFields
{
public:
    // The display's write: the text, and what the operator's edit is compared with.
    void show(QLineEdit *field, const QString &text);
    // The fields as they are now count as written by the display: before its first write, and
    // after writes that the fields' own normalisation may have carried into their neighbours.
    void shown(std::initializer_list<const QLineEdit *> fields);
    template<class Field>
    void shown(const QList<Field *> &fields)
    {
        for (const QLineEdit *field : fields)
            record(field);
    }
    // True while the field has the focus and holds an edit of the operator's: the display leaves
    // it alone then. A focused field nobody typed in keeps showing the pump's value.
    bool editing(const QLineEdit *field) const;
    // The same for a group that goes out as one command: one of them has the focus and any of
    // them holds an edit (the time fields carry an entry into their neighbours).
    bool editing(std::initializer_list<const QLineEdit *> group) const;
    // True once after the operator changed any of the fields (a group such as hours, minutes
    // and seconds goes out as one command).
    bool take(std::initializer_list<const QLineEdit *> fields);
    // The edit just taken from the field is turned down (the operator said no to it): the field
    // shows the display's text again, and the same text typed again counts as an edit.
    void turnDown(QLineEdit *field);
    // Puts back into each field what the display last wrote there, so an edit under way is
    // dropped: ending it then sends nothing.
    template<class Field>
    void revert(const QList<Field *> &fields)
    {
        for (QLineEdit *field : fields)
            restore(field);
    }

private:
    void record(const QLineEdit *field);
    void restore(QLineEdit *field);

    Pump::SendGate gate;
    // What each field showed before its last edit was taken.
    QHash<QString, QString> beforeTaken;
};
