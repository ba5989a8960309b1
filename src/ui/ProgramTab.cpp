#include "ui/ProgramTab.h"

#include "platform/InstanceSettings.h"
#include "program/PlannedStep.h"
#include "program/ProgramFile.h"
#include "program/ProgramPlan.h"
#include "program/ProgramRunner.h"
#include "ui/ChartTab.h"
#include "ui/ProgramChartMarks.h"
#include "ui/ProgramStepDelegate.h"
#include "ui/ProgramStepModel.h"
#include "ui/ShownNumber.h"
#include "ui/ShownProgramText.h"
#include "ui/StyleSheets.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using Kind = ProgramStep::Kind;
using State = ProgramStatus::State;

// The window's texts share the form's translation context.
QString screenText(const char *text)
{
    return QCoreApplication::translate("mainScreen", text);
}

const QString goodSheet = QLatin1String(StyleSheets::statusGood);
const QString idleSheet = QLatin1String(StyleSheets::statusIdleGrey);
const QString failedSheet = QLatin1String(StyleSheets::statusFailedBold);
const QString promptSheet = QStringLiteral("color: rgb(230,120,0); font-weight: bold;");

// The progress bar's resolution: a thousandth of the program.
constexpr int progressRange = 1000;

QFont screenFont()
{
    return QFont(QStringLiteral("Arial"), 10);
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    b->setFont(screenFont());
    b->setAutoDefault(false);
    return b;
}

QLabel *label(const char *name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(screenFont());
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// "1 h 02 min 05 s", "2 min 05 s", "12 s".
QString duration(double seconds)
{
    const auto total = static_cast<long long>(std::lround(seconds));
    const long long h = total / 3600;
    const long long m = total / 60 % 60;
    const long long s = total % 60;
    if (h > 0)
        return QCoreApplication::translate("mainScreen", "%1 h %2 min %3 s")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    if (m > 0)
        return QCoreApplication::translate("mainScreen", "%1 min %2 s")
            .arg(m)
            .arg(s, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("mainScreen", "%1 s").arg(s);
}

QString millilitres(double ml)
{
    return QCoreApplication::translate("mainScreen", "%1 ml").arg(ShownNumber::number(ml, 3));
}

QString documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

const std::vector<std::pair<Kind, const char *>> &kinds()
{
    static const std::vector<std::pair<Kind, const char *>> list = {
        {Kind::Dose, QT_TRANSLATE_NOOP("mainScreen", "Dose: a volume at a rate")},
        {Kind::Run, QT_TRANSLATE_NOOP("mainScreen", "Run: a rate for a time")},
        {Kind::Ramp, QT_TRANSLATE_NOOP("mainScreen", "Ramp: from one rate to another")},
        {Kind::Wait, QT_TRANSLATE_NOOP("mainScreen", "Wait: the pump stopped for a time")},
        {Kind::Prime, QT_TRANSLATE_NOOP("mainScreen", "Prime: the pump's prime key for a time")},
        {Kind::Prompt, QT_TRANSLATE_NOOP("mainScreen", "Prompt: wait for the operator")},
        {Kind::Repeat, QT_TRANSLATE_NOOP("mainScreen", "Repeat: its steps a number of times")},
    };
    return list;
}

} // namespace

ProgramTab::ProgramTab(ProgramRunner &runner, QWidget *parent)
    : QWidget(parent)
    , runner(runner)
    , steps(new ProgramStepModel(this))
    , newButton(button(QCoreApplication::translate("mainScreen", "New"), "buttonProgramNew", this))
    , openButton(
          button(QCoreApplication::translate("mainScreen", "Open..."), "buttonProgramOpen", this))
    , saveButton(
          button(QCoreApplication::translate("mainScreen", "Save"), "buttonProgramSave", this))
    , saveAsButton(button(QCoreApplication::translate("mainScreen", "Save as..."),
                          "buttonProgramSaveAs", this))
    , fileLabel(label("labelProgramFile", this))
    , nameLabel(label("labelProgramName", this))
    , nameField(new QLineEdit(this))
    , addButton(button(QCoreApplication::translate("mainScreen", "Add step"),
                       "buttonProgramAddStep", this))
    , addMenu(new QMenu(addButton))
    , removeButton(button(QCoreApplication::translate("mainScreen", "Remove"),
                          "buttonProgramRemoveStep", this))
    , upButton(button(QCoreApplication::translate("mainScreen", "Up"), "buttonProgramStepUp", this))
    , downButton(
          button(QCoreApplication::translate("mainScreen", "Down"), "buttonProgramStepDown", this))
    , table(new QTableView(this))
    , checkLabel(label("labelProgramCheck", this))
    , errorList(new QListWidget(this))
    , runButton(button(QCoreApplication::translate("mainScreen", "Run"), "buttonProgramRun", this))
    , pauseButton(
          button(QCoreApplication::translate("mainScreen", "Pause"), "buttonProgramPause", this))
    , stopButton(
          button(QCoreApplication::translate("mainScreen", "Stop"), "buttonProgramStop", this))
    , promptButton(button(QCoreApplication::translate("mainScreen", "Continue"),
                          "buttonProgramContinue", this))
    , progress(new QProgressBar(this))
    , stateLabel(label("labelProgramState", this))
    , promptLabel(label("labelProgramPrompt", this))
{
    setObjectName(QStringLiteral("tabProgram"));
    nameLabel->setText(QCoreApplication::translate("mainScreen", "Name:"));
    nameLabel->setWordWrap(false);
    nameField->setObjectName(QStringLiteral("lineEditProgramName"));
    nameField->setFont(screenFont());
    nameField->setMaxLength(200);
    nameLabel->setBuddy(nameField);

    addButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Add a step after the selected one, in the same repeat"));
    addButton->setMenu(addMenu);
    addMenu->setFont(screenFont());
    for (const auto &entry : kinds()) {
        QAction *action = addMenu->addAction(screenText(entry.second));
        QString kindName = ProgramStep::kindName(entry.first);
        kindName[0] = kindName[0].toUpper();
        action->setObjectName(QStringLiteral("actionProgramAdd") + kindName);
        const int kind = static_cast<int>(entry.first);
        connect(action, &QAction::triggered, this, [this, kind] { addStep(kind); });
    }
    upButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Move the step up; past the start of its repeat it leaves the repeat, onto a "
                      "repeat it goes in"));
    downButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Move the step down; past the end of its repeat it leaves the repeat, onto a "
                      "repeat it goes in"));

    table->setObjectName(QStringLiteral("tableProgramSteps"));
    table->setFont(screenFont());
    table->setModel(steps);
    auto *delegate = new ProgramStepDelegate(table);
    table->setItemDelegate(delegate);
    // The cell keeps its value; the line above the checks says why the text was not taken.
    connect(delegate, &ProgramStepDelegate::refused, this, [this](const QString &reason) {
        checkLabel->setStyleSheet(failedSheet);
        checkLabel->setText(reason);
    });
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setToolTip(QCoreApplication::translate(
        "mainScreen", "Double-click a value to change it, within the pump's limits"));

    checkLabel->setStyleSheet(goodSheet);
    errorList->setObjectName(QStringLiteral("listProgramErrors"));
    errorList->setFont(screenFont());
    errorList->setMaximumHeight(90);
    errorList->hide();

    runButton->setToolTip(
        QCoreApplication::translate("mainScreen", "Run the program in the table on the pump"));
    pauseButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Hold the program and the pump; Continue resumes the "
                      "step with what remains of it"));
    stopButton->setToolTip(
        QCoreApplication::translate("mainScreen", "End the program and stop the pump"));
    promptButton->setToolTip(QCoreApplication::translate("mainScreen", "Go on with the next step"));
    promptButton->hide();
    progress->setObjectName(QStringLiteral("progressProgram"));
    progress->setFont(screenFont());
    progress->setRange(0, progressRange);
    progress->setValue(0);
    progress->setFormat(QString());
    promptLabel->setStyleSheet(promptSheet);
    promptLabel->hide();
    stateLabel->setStyleSheet(idleSheet);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(newButton);
    fileRow->addWidget(openButton);
    fileRow->addWidget(saveButton);
    fileRow->addWidget(saveAsButton);
    fileRow->addWidget(fileLabel, 1);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(nameField, 1);
    auto *editRow = new QHBoxLayout;
    editRow->addWidget(addButton);
    editRow->addWidget(removeButton);
    editRow->addWidget(upButton);
    editRow->addWidget(downButton);
    editRow->addStretch(1);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(runButton);
    runRow->addWidget(pauseButton);
    runRow->addWidget(stopButton);
    runRow->addWidget(progress, 1);
    auto *promptRow = new QHBoxLayout;
    promptRow->addWidget(promptLabel, 1);
    promptRow->addWidget(promptButton);
    auto *column = new QVBoxLayout(this);
    column->addLayout(fileRow);
    column->addLayout(nameRow);
    column->addLayout(editRow);
    column->addWidget(table, 1);
    column->addWidget(checkLabel);
    column->addWidget(errorList);
    column->addLayout(runRow);
    column->addWidget(stateLabel);
    column->addLayout(promptRow);

    connect(newButton, &QPushButton::clicked, this, &ProgramTab::newProgram);
    connect(openButton, &QPushButton::clicked, this, &ProgramTab::chooseAndOpen);
    connect(saveButton, &QPushButton::clicked, this, &ProgramTab::save);
    connect(saveAsButton, &QPushButton::clicked, this, &ProgramTab::chooseAndSaveAs);
    connect(nameField, &QLineEdit::textEdited, steps, &ProgramStepModel::setName);
    connect(removeButton, &QPushButton::clicked, this, &ProgramTab::removeStep);
    connect(upButton, &QPushButton::clicked, this, [this] { moveStep(true); });
    connect(downButton, &QPushButton::clicked, this, [this] { moveStep(false); });
    connect(steps, &ProgramStepModel::edited, this, &ProgramTab::edited);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ProgramTab::showControls);
    connect(runButton, &QPushButton::clicked, this, &ProgramTab::run);
    connect(pauseButton, &QPushButton::clicked, this, &ProgramTab::pauseOrContinue);
    connect(stopButton, &QPushButton::clicked, this, &ProgramTab::stop);
    connect(promptButton, &QPushButton::clicked, this, &ProgramTab::continuePrompt);
    connect(&runner, &ProgramRunner::statusChanged, this, &ProgramTab::showStatus);
    connect(&runner, &ProgramRunner::ended, this, &ProgramTab::showStatus);

    steps->setProgram({QCoreApplication::translate("mainScreen", "New program"), {}});
    nameField->setText(steps->program().name);
    // Nothing typed yet: Open or New must not ask to save it.
    changed = false;
    check();
    showFile();
    showStatus(runner.status());
    reopenLast();
}

QString ProgramTab::lastFileKey()
{
    return QStringLiteral("Program/LastFile");
}

void ProgramTab::reopenLast()
{
    // Shared by every copy of the window: the last program is the operator's, not the port's.
    const QSettings settings(InstanceSettings::organizationName(),
                             InstanceSettings::applicationName());
    const QString last = settings.value(lastFileKey()).toString();
    if (last.isEmpty())
        return;
    if (QFileInfo::exists(last)) {
        open(last);
        return;
    }
    // Said in the tab, never in a dialog: the window may be starting unattended.
    fileLabel->setStyleSheet(idleSheet);
    fileLabel->setText(tr("The last program, %1, is no longer there; a new one is shown.")
                           .arg(QDir::toNativeSeparators(last)));
}

void ProgramTab::remember(const QString &file)
{
    QSettings settings(InstanceSettings::organizationName(), InstanceSettings::applicationName());
    settings.setValue(lastFileKey(), QFileInfo(file).absoluteFilePath());
}

ProgramTab *ProgramTab::addTo(QTabWidget *tabs, QWidget *before, ProgramRunner &runner)
{
    auto *tab = new ProgramTab(runner);
    tabs->insertTab(tabs->indexOf(before), tab,
                    QCoreApplication::translate("mainScreen", "Program"));
    // The Chart tab it goes before marks the program's moments.
    if (auto *chartTab = qobject_cast<ChartTab *>(before))
        new ProgramChartMarks(runner, chartTab->chart());
    return tab;
}

void ProgramTab::newProgram()
{
    if (runner.status().active() || !mayDropChanges())
        return;
    steps->setProgram({QCoreApplication::translate("mainScreen", "New program"), {}});
    nameField->setText(steps->program().name);
    path.clear();
    changed = false;
    check();
    showFile();
}

void ProgramTab::chooseAndOpen()
{
    if (runner.status().active() || !mayDropChanges())
        return;
    const QString folder = path.isEmpty() ? documentsFolder() : QFileInfo(path).absolutePath();
    const QString file = QFileDialog::getOpenFileName(
        this, QCoreApplication::translate("mainScreen", "Open program"), folder,
        QCoreApplication::translate("mainScreen", "Dosing programs (*.json);;All files (*)"));
    if (!file.isEmpty())
        open(file);
}

bool ProgramTab::open(const QString &file)
{
    if (runner.status().active())
        return false;
    const ProgramFile::Checked checked = ProgramFile::load(file);
    if (!checked.ok() && !checked.readable) {
        // The table keeps what it had; the file's errors stay until the next edit.
        showErrors(checked.errors,
                   QCoreApplication::translate(
                       "mainScreen",
                       "%1 was not opened: it is no program file, or has steps that are "
                       "no steps. What is wrong in it:")
                       .arg(QDir::toNativeSeparators(file)),
                   false);
        return false;
    }
    const DosingProgram &program = checked.ok() ? checked.program : checked.draft;
    steps->setProgram(program);
    nameField->setText(program.name);
    // After setProgram, whose edit would clear them.
    fileErrors = checked.errors;
    path = file;
    changed = false;
    remember(file);
    check();
    showFile();
    return true;
}

bool ProgramTab::save()
{
    if (path.isEmpty()) {
        chooseAndSaveAs();
        return !changed;
    }
    return saveAs(path);
}

void ProgramTab::chooseAndSaveAs()
{
    if (runner.status().active() || !tableChecked)
        return;
    const QString suggestion = saveSuggestion();
    QFileDialog dialog(
        this, QCoreApplication::translate("mainScreen", "Save program"), QString(),
        QCoreApplication::translate("mainScreen", "Dosing programs (*.json);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(suggestion);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveAs(dialog.selectedFiles().constFirst());
}

QString ProgramTab::saveSuggestion() const
{
    if (!path.isEmpty())
        return path;
    QString name = steps->program().name.simplified();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("-"));
    // A fresh account has no documents folder yet; the dialog cannot start in one that is not.
    QString folder = documentsFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::homePath();
    return QDir(folder).filePath(name + QStringLiteral(".json"));
}

bool ProgramTab::saveAs(const QString &file)
{
    // A file with errors would not open again: it is saved once the checks pass.
    if (runner.status().active() || !tableChecked)
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(ProgramFile::write(steps->program())) < 0 ||
        !out.commit()) {
        fileLabel->setStyleSheet(failedSheet);
        fileLabel->setText(QCoreApplication::translate("mainScreen", "%1 could not be written: %2")
                               .arg(QDir::toNativeSeparators(file), out.errorString()));
        return false;
    }
    path = file;
    changed = false;
    remember(file);
    showFile();
    return true;
}

void ProgramTab::run()
{
    if (runner.status().active())
        return;
    check();
    if (!tableChecked)
        return;
    QString error;
    // Set first: the runner reports the start before it returns.
    startedHere = true;
    if (!runner.start(steps->program(), &error)) {
        startedHere = false;
        stateLabel->setStyleSheet(failedSheet);
        stateLabel->setText(
            QCoreApplication::translate("mainScreen", "The program did not start: %1")
                .arg(ShownProgramText::shown(error)));
    }
    showControls();
}

void ProgramTab::pauseOrContinue()
{
    const State state = runner.status().state;
    if (state == State::Running)
        runner.pause();
    else if (state == State::Paused)
        runner.resume();
}

void ProgramTab::stop()
{
    runner.stop();
}

void ProgramTab::continuePrompt()
{
    if (runner.status().state == State::WaitingForOperator)
        runner.continuePrompt();
}

void ProgramTab::addStep(int kind)
{
    if (runner.status().active())
        return;
    selectRow(steps->insertStep(static_cast<Kind>(kind), selectedRow()));
}

void ProgramTab::removeStep()
{
    const int row = selectedRow();
    if (runner.status().active() || !steps->removeStep(row))
        return;
    selectRow(std::min(row, steps->rowCount() - 1));
}

void ProgramTab::moveStep(bool up)
{
    if (runner.status().active())
        return;
    const int row = up ? steps->moveUp(selectedRow()) : steps->moveDown(selectedRow());
    if (row >= 0)
        selectRow(row);
}

void ProgramTab::edited()
{
    changed = true;
    // The table now stands on its own: what it shows is what would be saved.
    fileErrors.clear();
    // The mark of the step a program ended on no longer fits the edited table.
    steps->setCurrentPath(QString());
    check();
    showFile();
}

void ProgramTab::check()
{
    const DosingProgram &program = steps->program();
    tableChecked = false;
    if (!fileErrors.isEmpty()) {
        showErrors(fileErrors,
                   QCoreApplication::translate("mainScreen",
                                               "The file has errors, marked in the table; it runs "
                                               "and saves once they are mended:"));
        return;
    }
    if (program.steps.empty()) {
        steps->setErrors({});
        shownErrors.clear();
        errorList->clear();
        errorList->hide();
        checkLabel->setStyleSheet(idleSheet);
        checkLabel->setText(QCoreApplication::translate(
            "mainScreen", "No steps yet: add the first with Add step."));
        showControls();
        return;
    }
    const QStringList errors = ProgramFile::check(program);
    if (!errors.isEmpty()) {
        showErrors(errors, QCoreApplication::translate(
                               "mainScreen", "The program runs and saves once these are fixed:"));
        return;
    }
    tableChecked = true;
    steps->setErrors({});
    const QStringList notes = ProgramFile::notes(program);
    steps->setNotes(notes);
    shownErrors.clear();
    errorList->clear();
    errorList->hide();
    const ProgramPlan::Summary summary = ProgramPlan::summarize(ProgramPlan::unroll(program));
    QString text =
        QCoreApplication::translate(
            "mainScreen", "Checked. Steps once repeats are unrolled: %1; about %2 and %3.")
            .arg(summary.steps)
            .arg(duration(summary.seconds), millilitres(summary.volumeMl));
    if (summary.prompts > 0)
        text += QLatin1Char(' ') +
                QCoreApplication::translate("mainScreen", "Prompts that wait for you: %1.")
                    .arg(summary.prompts);
    for (const QString &note : notes) {
        const int row = steps->cellOf(note).first;
        text += QLatin1Char('\n') +
                tr("Note, row %1: %2").arg(steps->numberOf(row), ShownProgramText::checked(note));
    }
    checkLabel->setStyleSheet(goodSheet);
    checkLabel->setText(text);
    showControls();
}

bool ProgramTab::mayDropChanges()
{
    if (!changed)
        return true;
    QMessageBox box(
        QMessageBox::Question, QCoreApplication::translate("mainScreen", "Program changed"),
        QCoreApplication::translate("mainScreen",
                                    "The program \"%1\" has changes that are not saved. Save them "
                                    "first?")
            .arg(steps->program().name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
        return save() && !changed;
    default:
        return false;
    }
}

void ProgramTab::showFile()
{
    fileLabel->setStyleSheet(idleSheet);
    const QString name = path.isEmpty() ? QCoreApplication::translate("mainScreen", "Not saved yet")
                                        : QDir::toNativeSeparators(path);
    fileLabel->setText(changed ? QCoreApplication::translate("mainScreen", "%1 (changed)").arg(name)
                               : name);
    fileLabel->setToolTip(path);
}

void ProgramTab::showErrors(const QStringList &errors, const QString &heading, bool inTable)
{
    shownErrors = errors;
    checkLabel->setStyleSheet(failedSheet);
    checkLabel->setText(heading);
    errorList->clear();
    // A file that did not open has other rows than the table.
    if (inTable)
        steps->setErrors(errors);
    for (const QString &error : errors) {
        // The table counts its rows from 1, the paths their steps from 0: each error says both.
        const int row = inTable ? steps->cellOf(error).first : -1;
        const QString shown = ShownProgramText::checked(error);
        errorList->addItem(row < 0 ? shown
                                   : QCoreApplication::translate("mainScreen", "Row %1: %2")
                                         .arg(steps->numberOf(row), shown));
    }
    errorList->show();
    showControls();
}

void ProgramTab::showStatus(const ProgramStatus &status)
{
    // A program started over the network or by the tool is not the table's: its steps are not
    // marked there, and the line names it.
    if (status.active())
        shownRunForeign = !startedHere;
    QString where = QCoreApplication::translate("mainScreen", "step %1 of %2")
                        .arg(status.position)
                        .arg(status.total);
    if (shownRunForeign)
        where = QCoreApplication::translate("mainScreen", "%1 of \"%2\"")
                    .arg(where, ShownProgramText::shown(status.name));
    const QString counters =
        QCoreApplication::translate("mainScreen", "%1 elapsed, %2 delivered")
            .arg(duration(status.elapsedMs / 1000.0), millilitres(status.volumeMl));
    if (status.total > 0) {
        // By time, as the runner measures it: a long run weighs more than a short dose.
        progress->setValue(
            static_cast<int>(std::lround(std::clamp(status.progress, 0.0, 1.0) * progressRange)));
        progress->setFormat(QStringLiteral("%1/%2  %p%").arg(status.position).arg(status.total));
    }

    QString prompt;
    switch (status.state) {
    case State::Idle:
        stateLabel->setStyleSheet(idleSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "No program runs."));
        break;
    case State::Running:
        stateLabel->setStyleSheet(goodSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Running %1: %2. %3")
                                .arg(where, ShownProgramText::label(status.label), counters));
        break;
    case State::Paused:
        stateLabel->setStyleSheet(promptSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Paused at %1: %2. %3")
                                .arg(where, ShownProgramText::label(status.label), counters));
        break;
    case State::WaitingForOperator: {
        stateLabel->setStyleSheet(promptSheet);
        stateLabel->setText(
            QCoreApplication::translate("mainScreen", "Waiting for you at %1: %2. %3")
                .arg(where, ShownProgramText::label(status.label), counters));
        const std::vector<PlannedStep> &plan = runner.plan();
        const auto at = static_cast<std::size_t>(status.position - 1);
        if (status.position >= 1 && at < plan.size())
            prompt = plan[at].step.text;
        break;
    }
    case State::Ending:
        stateLabel->setStyleSheet(promptSheet);
        stateLabel->setText(QCoreApplication::translate(
                                "mainScreen", "Ending at %1: %2; reading the pump's count. %3")
                                .arg(where, ShownProgramText::shown(status.reason), counters));
        break;
    case State::Done:
        stateLabel->setStyleSheet(goodSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Done: %1 steps. %2")
                                .arg(status.total)
                                .arg(counters));
        break;
    case State::Stopped:
        stateLabel->setStyleSheet(failedSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Stopped at %1: %2. %3")
                                .arg(where,
                                     status.reason.isEmpty()
                                         ? QCoreApplication::translate("mainScreen", "stopped")
                                         : ShownProgramText::shown(status.reason),
                                     counters));
        break;
    case State::Failed:
        stateLabel->setStyleSheet(failedSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Failed at %1: %2. %3")
                                .arg(where, ShownProgramText::shown(status.reason), counters));
        break;
    }
    promptLabel->setText(prompt);
    promptLabel->setVisible(status.state == State::WaitingForOperator);
    promptButton->setVisible(status.state == State::WaitingForOperator);

    if (status.active() && !shownRunForeign)
        steps->setCurrentPath(status.path);
    else if (status.active() || status.state == State::Done || status.state == State::Idle)
        steps->setCurrentPath(QString());
    if (!status.active())
        startedHere = false;
    showControls();
}

void ProgramTab::showControls()
{
    const State state = runner.status().state;
    const bool active = runner.status().active();
    const bool selected = selectedRow() >= 0;
    steps->setEditable(!active);
    newButton->setEnabled(!active);
    openButton->setEnabled(!active);
    saveButton->setEnabled(!active && tableChecked);
    saveAsButton->setEnabled(!active && tableChecked);
    nameField->setReadOnly(active);
    nameField->setEnabled(!active);
    addButton->setEnabled(!active);
    removeButton->setEnabled(!active && selected);
    upButton->setEnabled(!active && selected);
    downButton->setEnabled(!active && selected);
    runButton->setEnabled(!active && tableChecked);
    // A prime cannot be paused: the pump's Start would dose instead of priming on.
    const std::vector<PlannedStep> &plan = runner.plan();
    const auto at = static_cast<std::size_t>(std::max(0, runner.status().position - 1));
    const bool priming =
        state == State::Running && at < plan.size() && plan[at].step.kind == Kind::Prime;
    pauseButton->setEnabled((state == State::Running && !priming) || state == State::Paused);
    pauseButton->setText(state == State::Paused
                             ? QCoreApplication::translate("mainScreen", "Continue")
                             : QCoreApplication::translate("mainScreen", "Pause"));
    stopButton->setEnabled(active);
    promptButton->setEnabled(state == State::WaitingForOperator);
}

int ProgramTab::selectedRow() const
{
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ProgramTab::selectRow(int row)
{
    if (row < 0 || row >= steps->rowCount()) {
        table->clearSelection();
    } else {
        table->selectRow(row);
        table->scrollTo(steps->index(row, 0));
    }
    showControls();
}
