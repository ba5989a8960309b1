#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// The display's writes into widgets. Re-polishing a widget is expensive, so each writes only
// when the widget shows something else; a check box is written without sending, since only the
// operator's clicks become commands.
class WidgetWrite
{
public:
    static void setText(QLabel *label, const QString &text);
    static void setText(QLineEdit *field, const QString &text);
    static void setSheet(QWidget *widget, const QString &sheet);
    static void setIndex(QComboBox *combo, int index);
    static void setChecked(QCheckBox *box, bool checked);
};
