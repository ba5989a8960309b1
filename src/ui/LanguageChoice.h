#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;

// The window's language at the foot of the Settings tab: the system's, German or English. The
// choice is stored for every copy of the program and takes effect at the next start (--lang still
// wins).
class LanguageChoice : public QGroupBox
{
    Q_OBJECT

public:
    // Puts itself into groupAbove's page: under it in a column, in a row of its own at the foot
    // of a grid; without one it stays unplaced.
    explicit LanguageChoice(QWidget *groupAbove, QWidget *parent = nullptr);

private:
    void picked(int index);

    QComboBox *list = nullptr;
    QLabel *note = nullptr;
};
