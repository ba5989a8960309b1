#pragma once

#include "program/DosingProgram.h"
#include "program/ProgramStatus.h"

#include <QWidget>

class ProgramRunner;
class ProgramStepModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QTabWidget;

// The advanced screen's Program tab: the steps of a dosing program in a table to edit in place,
// its file (New, Open..., Save, Save as...), the file's checks listed by path, and the program run
// on the core's runner (Run, Pause/Continue, Stop, Continue at a prompt) with the running step
// marked, a progress bar by time and how it ended. It opens the program last opened or saved.
class ProgramTab : public QWidget
{
    Q_OBJECT

public:
    // The runner is not owned.
    explicit ProgramTab(ProgramRunner &runner, QWidget *parent = nullptr);
    // A new tab in front of the tab before; at the end when that is not among the tabs. When the
    // tab before is the Chart tab, its chart marks the runner's programs (ProgramChartMarks).
    static ProgramTab *addTo(QTabWidget *tabs, QWidget *before, ProgramRunner &runner);

    ProgramStepModel *model() const { return steps; }
    QString filePath() const { return path; }
    bool modified() const { return changed; }
    // The errors shown: the table's, or those of the file that would not open.
    QStringList errors() const { return shownErrors; }
    // Where Save as starts for a program not saved yet: the name in the documents folder, made
    // when missing; the home folder when it cannot be made.
    QString saveSuggestion() const;
    // The settings key of the program file last opened or saved, which the tab opens again when
    // it is made; a file no longer there is said in the tab.
    static QString lastFileKey();

public slots:
    // Each asks first when unsaved changes would be lost.
    void newProgram();
    void chooseAndOpen();
    // Loads the file into the table. A file whose errors are only in its values opens to be
    // mended: the faulty cells marked, Run and Save off until it checks. False, with its errors
    // shown and the table as it was, when it cannot be read or is no program file.
    bool open(const QString &file);
    // Saves to the file last opened or saved, or asks for one.
    bool save();
    void chooseAndSaveAs();
    // False, with the reason shown, when the file cannot be written.
    bool saveAs(const QString &file);

    void run();
    void pauseOrContinue();
    void stop();
    void continuePrompt();

private:
    void addStep(int kind);
    void removeStep();
    void moveStep(bool up);
    void edited();
    void check();
    // Whether unsaved changes may go: asks to save them first.
    bool mayDropChanges();
    void showFile();
    // Errors of the table's program mark its cells; those of a file that did not open do not.
    void showErrors(const QStringList &errors, const QString &heading, bool inTable = true);
    void showStatus(const ProgramStatus &status);
    void showControls();
    void reopenLast();
    void remember(const QString &file);
    int selectedRow() const;
    void selectRow(int row);

    ProgramRunner &runner;
    ProgramStepModel *steps;
    QString path;
    bool changed = false;
    QStringList shownErrors;
    QStringList fileErrors;       // the opened file's, until the table is edited
    bool tableChecked = false;    // the table's program passes the checks
    bool startedHere = false;     // the active program is the table's, run from this tab
    bool shownRunForeign = false; // the program shown was started elsewhere

    QPushButton *newButton;
    QPushButton *openButton;
    QPushButton *saveButton;
    QPushButton *saveAsButton;
    QLabel *fileLabel;
    QLabel *nameLabel;
    QLineEdit *nameField;
    QPushButton *addButton;
    QMenu *addMenu;
    QPushButton *removeButton;
    QPushButton *upButton;
    QPushButton *downButton;
    QTableView *table;
    QLabel *checkLabel;
    QListWidget *errorList;
    QPushButton *runButton;
    QPushButton *pauseButton;
    QPushButton *stopButton;
    QPushButton *promptButton;
    QProgressBar *progress;
    QLabel *stateLabel;
    QLabel *promptLabel;
};
