// The Program tab: moves in and out of repeats, editors within the pump's limits, bad programs
// that neither run, save nor open, and a program built, saved, opened and run on the simulator.

#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "platform/InstanceSettings.h"
#include "program/ProgramFile.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "ui/ProcessChartView.h"
#include "ui/ProgramStepDelegate.h"
#include "ui/ProgramStepModel.h"
#include "ui/ProgramTab.h"

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using Kind = ProgramStep::Kind;
using State = ProgramStatus::State;

// At --speed 20 the longest step below takes a fraction of a second of pump time; waits and
// prompts are wall time.
constexpr int RunMs = 20000;
constexpr int SettleMs = 6000;

ProgramStep step(Kind kind)
{
    return ProgramStepModel::newStep(kind);
}

// dose, repeat [wait], prompt
DosingProgram threeSteps()
{
    return {QStringLiteral("three"), {step(Kind::Dose), step(Kind::Repeat), step(Kind::Prompt)}};
}

// Each row as "depth:kind".
QString shape(const ProgramStepModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex at = model.index(row, ProgramStepModel::Step);
        rows << QStringLiteral("%1:%2")
                    .arg(at.data(ProgramStepModel::DepthRole).toInt())
                    .arg(ProgramStep::kindName(
                        static_cast<Kind>(at.data(ProgramStepModel::KindRole).toInt())));
    }
    return rows.join(QLatin1Char(' '));
}

// Every cell as shown.
QStringList cells(const ProgramStepModel &model)
{
    QStringList all;
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            all << model.index(row, column).data().toString();
    return all;
}

// A value typed into the cell's editor and committed, as the table does it.
void typeInto(QTableView *table, int row, int column, const QVariant &value)
{
    const QModelIndex at = table->model()->index(row, column);
    QAbstractItemDelegate *delegate = table->itemDelegate();
    std::unique_ptr<QWidget> editor(
        delegate->createEditor(table->viewport(), QStyleOptionViewItem(), at));
    QVERIFY(editor);
    delegate->setEditorData(editor.get(), at);
    auto *field = qobject_cast<QLineEdit *>(editor.get());
    QVERIFY(field);
    field->setText(value.toString());
    delegate->setModelData(editor.get(), table->model(), at);
}

// Answers the question that is about to be asked.
void answerQuestion(QMessageBox::StandardButton answer)
{
    QTimer::singleShot(0, [answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        box->button(answer)->click();
    });
}

// The cells marked with an error, as "row:column", by their tooltip: an unmarked cell's is its
// path alone or a prompt's text.
QStringList markedCells(const ProgramStepModel &model)
{
    QStringList marked;
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            if (model.index(row, column).data(Qt::ToolTipRole).toString().contains(": "))
                marked << QStringLiteral("%1:%2").arg(row).arg(column);
    return marked;
}

// The chart's program moments as "start|step|end:text".
QStringList moments(const ProcessChartView &chart)
{
    QStringList out;
    for (const ProcessChartView::Moment &m : chart.moments())
        out << QStringList{"start", "step", "end"}.at(static_cast<int>(m.kind)) + ':' + m.text;
    return out;
}

// The row the table marks as the running step; -1 when none.
int markedRow(const ProgramStepModel &model)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        // The step column always has its field: only the running step's mark colours it.
        if (model.index(row, ProgramStepModel::Step).data(Qt::BackgroundRole).isValid())
            return row;
    }
    return -1;
}

} // namespace

class tst_ProgramTab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void moves_data();
    void moves();
    void cellsKeepWhatWasTyped_data();
    void cellsKeepWhatWasTyped();
    void errorsBlockRunSaveAndOpen();
    void unsavedChangesAsk_data();
    void unsavedChangesAsk();
    void fileWithErrorsOpensToMend_data();
    void fileWithErrorsOpensToMend();
    void untouchedProgramDoesNotAsk_data();
    void untouchedProgramDoesNotAsk();
    void saveAsMakesTheFolder_data();
    void saveAsMakesTheFolder();
    void reopensTheLastProgram_data();
    void reopensTheLastProgram();
    void shortDoseIsNotedNotRefused();

    void builtSavedOpenedAndRun();
    void windowStopEndsProgram();
    void stoppedRampLeavesNothingToTheNext();

private:
    template<class W>
    W *find(const char *name) const
    {
        return rig->window.findChild<W *>(QLatin1String(name));
    }
    ProgramTab *startTab();

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
    QTemporaryDir dir;
};

void tst_ProgramTab::init()
{
    QVERIFY(dir.isValid());
    // Each test's tab starts with a new program, not the one the test before saved.
    QSettings(InstanceSettings::organizationName(), InstanceSettings::applicationName())
        .remove(ProgramTab::lastFileKey());
}

void tst_ProgramTab::cleanup()
{
    rig.reset();
    pump.reset();
}

ProgramTab *tst_ProgramTab::startTab()
{
    if (!startWindowOnSimulator(pump, rig, 1, 1, 20))
        return nullptr;
    return rig->window.findChild<ProgramTab *>();
}

void tst_ProgramTab::moves_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("rowAfter");

    const QString start = QStringLiteral("0:dose 0:repeat 1:wait 0:prompt");
    QTest::newRow("step down onto a repeat goes in first")
        << "down" << 0 << "0:repeat 1:dose 1:wait 0:prompt" << 1;
    QTest::newRow("step up onto a repeat goes in last")
        << "up" << 3 << "0:dose 0:repeat 1:wait 1:prompt" << 3;
    QTest::newRow("first inner step up leaves in front")
        << "up" << 2 << "0:dose 0:wait 0:repeat 0:prompt" << 1;
    QTest::newRow("last inner step down leaves after")
        << "down" << 2 << "0:dose 0:repeat 0:wait 0:prompt" << 2;
    QTest::newRow("a repeat moves with its steps")
        << "up" << 1 << "0:repeat 1:wait 0:dose 0:prompt" << 0;
    QTest::newRow("first step up stays") << "up" << 0 << start << -1;
    QTest::newRow("last step down stays") << "down" << 3 << start << -1;
    QTest::newRow("added after an inner step stays inside")
        << "add" << 2 << "0:dose 0:repeat 1:wait 1:run 0:prompt" << 3;
    QTest::newRow("added after a repeat goes after it")
        << "add" << 1 << "0:dose 0:repeat 1:wait 0:run 0:prompt" << 3;
    QTest::newRow("added with nothing selected goes last")
        << "add" << -1 << "0:dose 0:repeat 1:wait 0:prompt 0:run" << 4;
    QTest::newRow("a removed repeat takes its steps") << "remove" << 1 << "0:dose 0:prompt" << 0;
}

void tst_ProgramTab::moves()
{
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(QString, shape);
    QFETCH(int, rowAfter);

    ProgramStepModel model;
    model.setProgram(threeSteps());
    QSignalSpy edited(&model, &ProgramStepModel::edited);
    int after = -1;
    if (action == QLatin1String("up"))
        after = model.moveUp(row);
    else if (action == QLatin1String("down"))
        after = model.moveDown(row);
    else if (action == QLatin1String("add"))
        after = model.insertStep(Kind::Run, row);
    else
        after = model.removeStep(row) ? 0 : -1;
    QCOMPARE(::shape(model), shape);
    QCOMPARE(after, rowAfter);
    QCOMPARE(edited.count(), rowAfter < 0 ? 0 : 1);
}

// A cell keeps what was typed, and the checks name a value outside the pump's limits with the
// limit (never a third key dropped so that 150 becomes 15, or 150 cut to 100). A text that is no
// number changes nothing and says why.
void tst_ProgramTab::cellsKeepWhatWasTyped_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("kept");  // NaN: the cell keeps the value it had
    QTest::addColumn<QString>("said"); // in the checks' list, or the line above it; "" for none

    const double before = qQNaN();
    const int dose = static_cast<int>(Kind::Dose);
    const int run = static_cast<int>(Kind::Run);
    const int ramp = static_cast<int>(Kind::Ramp);
    const int repeat = static_cast<int>(Kind::Repeat);
    const int rate = ProgramStepModel::Rate;
    QTest::newRow("dose rate 150 is above the limit")
        << "C" << dose << rate << "150" << 150.0 << "rate_ml_min: 150 is above 100.0 ml/min";
    QTest::newRow("dose rate 0.2 is below the limit")
        << "C" << dose << rate << "0.2" << 0.2 << "rate_ml_min: 0.2 is below 1.0 ml/min";
    QTest::newRow("ramp's to-rate 120 is above the limit")
        << "C" << ramp << int(ProgramStepModel::ToRate) << "120" << 120.0
        << "to_ml_min: 120 is above 100.0 ml/min";
    QTest::newRow("run time 9000 s is kept and refused")
        << "C" << run << int(ProgramStepModel::Time) << "9000" << 9000.0 << "for_s: 9000";
    QTest::newRow("run time 2.6 s is not whole seconds")
        << "C" << run << int(ProgramStepModel::Time) << "2.6" << 2.6 << "not a whole number";
    QTest::newRow("dose volume 12.5 is good")
        << "C" << dose << int(ProgramStepModel::Volume) << "12.5" << 12.5 << "";
    QTest::newRow("en_US: rate 0,5 is not a number")
        << "en_US" << dose << rate << "0,5" << before << "row 1, Rate (ml/min): \"0,5\" is not";
    QTest::newRow("de_DE: rate 12,5") << "de_DE" << dose << rate << "12,5" << 12.5 << "";
    QTest::newRow("de_DE: rate 1.000,5 holds a group separator")
        << "de_DE" << dose << rate << "1.000,5" << before << "is not a number";
    QTest::newRow("repeat count 2.5 is not whole") << "C" << repeat << int(ProgramStepModel::Count)
                                                   << "2.5" << before << "is not a whole number";
    QTest::newRow("repeat count 0 is below 1")
        << "C" << repeat << int(ProgramStepModel::Count) << "0" << 0.0 << "count: 0 is below 1";
}

void tst_ProgramTab::cellsKeepWhatWasTyped()
{
    QFETCH(QString, locale);
    QFETCH(int, kind);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(double, kept);
    QFETCH(QString, said);

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    ProgramStep first = step(static_cast<Kind>(kind));
    if (first.kind == Kind::Repeat)
        first.steps = {step(Kind::Wait)};
    tab.model()->setProgram({QStringLiteral("cells"), {first}});
    auto *table = tab.findChild<QTableView *>(QStringLiteral("tableProgramSteps"));
    const QVariant had = tab.model()->index(0, column).data(Qt::EditRole);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    typeInto(table, 0, column, typed);
    QLocale::setDefault(saved);

    const QVariant now = tab.model()->index(0, column).data(Qt::EditRole);
    if (qIsNaN(kept))
        QCOMPARE(now, had);
    else
        QCOMPARE(now.toDouble(), kept);
    const QString shown = tab.errors().join(QLatin1Char('\n')) + QLatin1Char('\n') +
                          tab.findChild<QLabel *>(QStringLiteral("labelProgramCheck"))->text();
    if (said.isEmpty())
        QVERIFY2(tab.errors().isEmpty(), qPrintable(shown));
    else
        QVERIFY2(shown.contains(said), qPrintable(shown));
    auto *runButton = tab.findChild<QAbstractButton *>(QStringLiteral("buttonProgramRun"));
    QCOMPARE(runButton->isEnabled(), tab.errors().isEmpty());
}

void tst_ProgramTab::errorsBlockRunSaveAndOpen()
{
    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    auto *run = tab.findChild<QAbstractButton *>(QStringLiteral("buttonProgramRun"));
    auto *save = tab.findChild<QAbstractButton *>(QStringLiteral("buttonProgramSaveAs"));
    auto *list = tab.findChild<QListWidget *>(QStringLiteral("listProgramErrors"));
    QVERIFY(!run->isEnabled()); // nothing to run yet

    tab.model()->setProgram(threeSteps());
    tab.model()->setName(QStringLiteral("three"));
    QVERIFY(run->isEnabled());
    QVERIFY(save->isEnabled());

    // A file that is no program opens nothing: the table stays, and still runs.
    const QStringList before = cells(*tab.model());
    const QString path = dir.filePath(QStringLiteral("fast.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "dosetta-program/9", "name": "too fast", "steps": [
        {"dose": {"volume_ml": 1, "rate_ml_min": 150}}, {"wait": {"for_s": 1, "extra": 2}}]})");
    file.close();
    QVERIFY(!tab.open(path));
    QCOMPARE(cells(*tab.model()), before);
    QVERIFY(tab.filePath().isEmpty());
    const QString errors = tab.errors().join(QLatin1Char('\n'));
    QVERIFY2(errors.contains(QLatin1String("format:")), qPrintable(errors));
    QVERIFY2(errors.contains(QLatin1String("steps[0].dose.rate_ml_min")), qPrintable(errors));
    QVERIFY2(errors.contains(QLatin1String("steps[1].wait.extra")), qPrintable(errors));
    // Its paths are not this table's rows.
    QVERIFY(!tab.model()
                 ->index(0, ProgramStepModel::Rate)
                 .data(Qt::ToolTipRole)
                 .toString()
                 .contains(QLatin1String("150")));
    QVERIFY(run->isEnabled());

    // The repeat's only step goes: an empty repeat is an error, named by its path.
    QVERIFY(tab.model()->removeStep(2));
    QVERIFY(!tab.errors().isEmpty());
    QVERIFY2(tab.errors().constFirst().startsWith(QLatin1String("steps[1].repeat.steps")),
             qPrintable(tab.errors().join('\n')));
    QCOMPARE(list->count(), tab.errors().size());
    QVERIFY(!list->isHidden());
    QVERIFY(!run->isEnabled());
    QVERIFY(!save->isEnabled());
    QVERIFY(!tab.saveAs(dir.filePath(QStringLiteral("bad.json"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bad.json"))));

    // A step added after the empty repeat and moved up goes into it.
    QCOMPARE(tab.model()->insertStep(Kind::Wait, 1), 2);
    QVERIFY(!tab.errors().isEmpty());
    QCOMPARE(tab.model()->moveUp(2), 2);
    QVERIFY2(tab.errors().isEmpty(), qPrintable(tab.errors().join('\n')));
    QVERIFY(list->isHidden());
    QVERIFY(run->isEnabled());
}

void tst_ProgramTab::unsavedChangesAsk_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rowsAfterNew");
    QTest::addColumn<int>("rowsInFile");

    QTest::newRow("cancel keeps the table") << int(QMessageBox::Cancel) << 2 << 1;
    QTest::newRow("discard drops the change") << int(QMessageBox::Discard) << 0 << 1;
    QTest::newRow("save writes it first") << int(QMessageBox::Save) << 0 << 2;
}

void tst_ProgramTab::unsavedChangesAsk()
{
    QFETCH(int, answer);
    QFETCH(int, rowsAfterNew);
    QFETCH(int, rowsInFile);

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    tab.model()->setProgram({QStringLiteral("one wait"), {step(Kind::Wait)}});
    const QString path = dir.filePath(QStringLiteral("ask.json"));
    QVERIFY(tab.saveAs(path));
    tab.model()->insertStep(Kind::Prompt, 0);
    QVERIFY(tab.modified());

    answerQuestion(static_cast<QMessageBox::StandardButton>(answer));
    tab.newProgram();
    QCOMPARE(tab.model()->rowCount(), rowsAfterNew);
    QCOMPARE(static_cast<int>(ProgramFile::load(path).program.steps.size()), rowsInFile);
}

void tst_ProgramTab::fileWithErrorsOpensToMend_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QStringList>("marked"); // "row:column"
    QTest::addColumn<QString>("firstItem");  // the error list's first line
    QTest::addColumn<QVariantList>("fixes"); // row, column, value, ...

    QTest::newRow("a rate too high, a wait too short")
        << QByteArray(R"({"dose": {"volume_ml": 1, "rate_ml_min": 150}},
                         {"wait": {"for_s": 0.5}})")
        << QStringList{"0:2", "1:4"}
        << "Row 1: steps[0].dose.rate_ml_min: 150 is above 100.0 ml/min"
        << QVariantList{0, int(ProgramStepModel::Rate), 30.0, 1, int(ProgramStepModel::Time), 2.0};
    QTest::newRow("a count no number, a time too long within the repeat")
        << QByteArray(R"({"repeat": {"count": "two", "steps": [
                           {"run": {"rate_ml_min": 10, "for_s": 6000}}]}})")
        << QStringList{"0:5", "1:4"}
        << R"(Row 1: steps[0].repeat.count: "two" is not a whole number)"
        << QVariantList{0, int(ProgramStepModel::Count), 2, 1, int(ProgramStepModel::Time), 60.0};
    QTest::newRow("a mistyped field: the step's cell and the missing one")
        << QByteArray(R"({"prompt": {"text": "Go"}}, {"wait": {"fro_s": 3}})")
        << QStringList{"1:0", "1:4"} << "Row 2: steps[1].wait.for_s: missing"
        << QVariantList{1, int(ProgramStepModel::Time), 3.0};
}

void tst_ProgramTab::fileWithErrorsOpensToMend()
{
    QFETCH(QByteArray, steps);
    QFETCH(QStringList, marked);
    QFETCH(QString, firstItem);
    QFETCH(QVariantList, fixes);

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    auto *table = tab.findChild<QTableView *>(QStringLiteral("tableProgramSteps"));
    auto *run = tab.findChild<QAbstractButton *>(QStringLiteral("buttonProgramRun"));
    auto *save = tab.findChild<QAbstractButton *>(QStringLiteral("buttonProgramSaveAs"));
    auto *list = tab.findChild<QListWidget *>(QStringLiteral("listProgramErrors"));
    const QString path = dir.filePath(QStringLiteral("mend.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "dosetta-program/1", "name": "mend me", "steps": [)" + steps + "]}");
    file.close();

    QVERIFY(tab.open(path));
    QCOMPARE(tab.filePath(), path);
    QVERIFY(!tab.modified());
    QCOMPARE(markedCells(*tab.model()), marked);
    QCOMPARE(list->count(), tab.errors().size());
    QCOMPARE(list->item(0)->text(), firstItem);
    QVERIFY(!run->isEnabled());
    QVERIFY(!save->isEnabled());

    for (int i = 0; i + 2 < fixes.size(); i += 3) {
        QVERIFY(!run->isEnabled());
        typeInto(table, fixes[i].toInt(), fixes[i + 1].toInt(), fixes[i + 2]);
    }
    QVERIFY2(tab.errors().isEmpty(), qPrintable(tab.errors().join('\n')));
    QCOMPARE(markedCells(*tab.model()), QStringList());
    QVERIFY(run->isEnabled());
    QVERIFY(save->isEnabled());
    QVERIFY(tab.modified());
}

void tst_ProgramTab::untouchedProgramDoesNotAsk_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("newFirst");
    QTest::addColumn<QString>("shown"); // what Open shows first

    QTest::newRow("a fresh tab") << false << false << "QFileDialog";
    QTest::newRow("after New") << false << true << "QFileDialog";
    QTest::newRow("a step added") << true << false << "QMessageBox";
}

void tst_ProgramTab::untouchedProgramDoesNotAsk()
{
    QFETCH(bool, edit);
    QFETCH(bool, newFirst);
    QFETCH(QString, shown);

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    if (newFirst)
        tab.newProgram();
    if (edit)
        tab.model()->insertStep(Kind::Wait, -1);
    QCOMPARE(tab.modified(), edit);

    QString seen;
    QTimer::singleShot(0, [&seen] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        seen = QLatin1String(modal->metaObject()->className());
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            box->button(QMessageBox::Cancel)->click();
        else if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    tab.chooseAndOpen();
    QCOMPARE(seen, shown);
}

void tst_ProgramTab::saveAsMakesTheFolder_data()
{
    QTest::addColumn<bool>("blocked"); // a file where the documents folder would be
    QTest::addColumn<QString>("suggested");

    QTest::newRow("a fresh account") << false << "Documents/New-program.json";
    QTest::newRow("the folder cannot be made") << true << "New-program.json";
}

void tst_ProgramTab::saveAsMakesTheFolder()
{
    QFETCH(bool, blocked);
    QFETCH(QString, suggested);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    if (blocked) {
        QFile documents(home.filePath(QStringLiteral("Documents")));
        QVERIFY(documents.open(QIODevice::WriteOnly));
    }
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    const QString suggestion = tab.saveSuggestion();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);

    QCOMPARE(suggestion, home.filePath(suggested));
    QVERIFY(QFileInfo(suggestion).dir().exists());
    tab.model()->setProgram({QStringLiteral("New program"), {step(Kind::Wait)}});
    QVERIFY(tab.saveAs(suggestion));
    QVERIFY(QFile::exists(suggestion));
}

void tst_ProgramTab::reopensTheLastProgram_data()
{
    QTest::addColumn<bool>("withErrors"); // else saved from the tab
    QTest::addColumn<bool>("removed");
    QTest::newRow("saved") << false << false;
    QTest::newRow("opened, with errors to mend") << true << false;
    QTest::newRow("gone since") << false << true;
}

void tst_ProgramTab::reopensTheLastProgram()
{
    QFETCH(bool, withErrors);
    QFETCH(bool, removed);
    const QString path = dir.filePath(QStringLiteral("last.json"));
    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    {
        ProgramTab first(runner);
        ProgramStep wait = step(Kind::Wait);
        wait.forS = 0.5;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(ProgramFile::write({QStringLiteral("kept"), {wait}})) > 0);
        file.close();
        QVERIFY(first.open(path));
        if (!withErrors) {
            first.model()->setData(first.model()->index(0, ProgramStepModel::Time), 3.0);
            QVERIFY(first.saveAs(path));
        }
    }
    if (removed)
        QVERIFY(QFile::remove(path));

    // No dialog, whatever became of the file.
    QTimer::singleShot(0, [] { QVERIFY(QApplication::activeModalWidget() == nullptr); });
    ProgramTab again(runner);
    QCOMPARE(again.filePath(), removed ? QString() : path);
    QCOMPARE(again.model()->program().name,
             removed ? QStringLiteral("New program") : QStringLiteral("kept"));
    QCOMPARE(again.errors().size(), withErrors ? 1 : 0);
    QVERIFY(!again.modified());
    const QString said = again.findChild<QLabel *>(QStringLiteral("labelProgramFile"))->text();
    QCOMPARE(said.contains(QStringLiteral("no longer there")), removed);
}

void tst_ProgramTab::shortDoseIsNotedNotRefused()
{
    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    ProgramTab tab(runner);
    ProgramStep quick = step(Kind::Dose);
    quick.volumeMl = 0.2;
    quick.rateMlMin = 60;
    tab.model()->setProgram({QStringLiteral("quick"), {step(Kind::Dose), quick}});
    QVERIFY(tab.errors().isEmpty());
    QVERIFY(!tab.model()->noted(0) && tab.model()->noted(1));
    const QModelIndex cell = tab.model()->index(1, ProgramStepModel::Step);
    QVERIFY(cell.data(Qt::ToolTipRole).toString().contains(QStringLiteral("full flow")));
    // Marked, but not in the red of an error.
    QVERIFY(cell.data(Qt::BackgroundRole).value<QBrush>().color() != QColor(255, 190, 190));
    // Slower, it keeps its rate and the note goes.
    tab.model()->setData(tab.model()->index(1, ProgramStepModel::Rate), 10.0);
    QVERIFY(!tab.model()->noted(1));
}

void tst_ProgramTab::builtSavedOpenedAndRun()
{
    ProgramTab *tab = startTab();
    QVERIFY(tab != nullptr);
    auto *table = find<QTableView>("tableProgramSteps");
    ProgramStepModel *model = tab->model();
    auto *name = find<QLineEdit>("lineEditProgramName");
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Round trip"));
    QCOMPARE(model->program().name, QStringLiteral("Round trip"));

    find<QAction>("actionProgramAddDose")->trigger();
    typeInto(table, 0, ProgramStepModel::Volume, 0.5);
    typeInto(table, 0, ProgramStepModel::Rate, 30.0);
    find<QAction>("actionProgramAddRepeat")->trigger(); // after the dose, selected
    typeInto(table, 1, ProgramStepModel::Count, 2);
    typeInto(table, 2, ProgramStepModel::Time, 1.0);
    table->selectRow(1);
    find<QAction>("actionProgramAddPrompt")->trigger(); // after the repeat
    typeInto(table, 3, ProgramStepModel::Text, QStringLiteral("Change the bottle"));
    QCOMPARE(shape(*model), QStringLiteral("0:dose 0:repeat 1:wait 0:prompt"));
    QVERIFY2(tab->errors().isEmpty(), qPrintable(tab->errors().join('\n')));
    const QStringList built = cells(*model);

    const QString path = dir.filePath(QStringLiteral("round.json"));
    QVERIFY(tab->saveAs(path));
    QVERIFY(!tab->modified());
    tab->newProgram();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(tab->open(path));
    QCOMPARE(cells(*model), built);
    QCOMPARE(name->text(), QStringLiteral("Round trip"));

    auto *mark = find<QLabel>("labelProgramMark");
    auto *prompt = find<QAbstractButton>("buttonProgramContinue");
    ProgramRunner &runner = rig->runner;
    QTest::mouseClick(find<QAbstractButton>("buttonProgramRun"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(runner.status().active(), SettleMs);
    QVERIFY(!mark->isHidden());
    QVERIFY2(mark->text().startsWith(QLatin1String("PROGRAM ")), qPrintable(mark->text()));
    QVERIFY2(mark->text().endsWith(QLatin1String("/4")), qPrintable(mark->text()));
    // Nothing of the program can change while it runs.
    for (const char *locked :
         {"buttonProgramNew", "buttonProgramOpen", "buttonProgramSave", "buttonProgramSaveAs",
          "buttonProgramAddStep", "buttonProgramRemoveStep", "lineEditProgramName"})
        QVERIFY2(!find<QWidget>(locked)->isEnabled(), locked);
    QVERIFY(!(model->flags(model->index(0, ProgramStepModel::Volume)) & Qt::ItemIsEditable));
    QVERIFY(!tab->open(path));

    QTRY_COMPARE_WITH_TIMEOUT(runner.status().state, State::WaitingForOperator, RunMs);
    QCOMPARE(markedRow(*model), 3);
    QCOMPARE(mark->text(), QStringLiteral("PROGRAM 4/4"));
    QVERIFY(!prompt->isHidden());
    QCOMPARE(find<QLabel>("labelProgramPrompt")->text(), QStringLiteral("Change the bottle"));
    QTest::mouseClick(prompt, Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(runner.status().state, State::Done, SettleMs);
    QVERIFY(mark->isHidden());
    QVERIFY(prompt->isHidden());
    QCOMPARE(markedRow(*model), -1);
    auto *bar = find<QProgressBar>("progressProgram");
    QCOMPARE(bar->value(), bar->maximum());
    // The chart marks the program's start, each step once unrolled and its end with the cause.
    QCOMPARE(moments(*find<ProcessChartView>("chartProcess")),
             (QStringList{"start:Program Round trip", "step:1 dose", "step:2.1 wait, pass 1/2",
                          "step:2.1 wait, pass 2/2", "step:3 prompt", "end:End: done"}));
    QVERIFY(find<QWidget>("buttonProgramAddStep")->isEnabled());
    QVERIFY(model->flags(model->index(0, ProgramStepModel::Volume)) & Qt::ItemIsEditable);
}

void tst_ProgramTab::windowStopEndsProgram()
{
    ProgramTab *tab = startTab();
    QVERIFY(tab != nullptr);
    ProgramStep run = step(Kind::Run);
    run.forS = 3000; // two and a half minutes at speed 20: it is stopped long before
    tab->model()->setProgram({QStringLiteral("long run"), {run, step(Kind::Wait)}});
    QVERIFY(tab->errors().isEmpty());

    ProgramRunner &runner = rig->runner;
    QTest::mouseClick(find<QAbstractButton>("buttonProgramRun"), Qt::LeftButton);
    auto *pumpState = find<QLabel>("labelPumpState");
    QTRY_COMPARE_WITH_TIMEOUT(pumpState->text(), QStringLiteral("RUNNING"), SettleMs);
    QCOMPARE(markedRow(*tab->model()), 0);

    QTest::mouseClick(find<QAbstractButton>("buttonStop"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(runner.status().state, State::Stopped, SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(pumpState->text(), QStringLiteral("STOPPED"), SettleMs);
    QCOMPARE(runner.status().position, 1);
    QCOMPARE(moments(*find<ProcessChartView>("chartProcess")).constLast(),
             QStringLiteral("end:End: stopped from outside"));
    QVERIFY(find<QLabel>("labelProgramMark")->isHidden());
    QVERIFY2(find<QLabel>("labelProgramState")->text().startsWith(QLatin1String("Stopped")),
             qPrintable(find<QLabel>("labelProgramState")->text()));
    QVERIFY(find<QWidget>("buttonProgramRun")->isEnabled());
    QVERIFY(find<QWidget>("buttonProgramAddStep")->isEnabled());

    // A program started elsewhere (the bridge, the tool) is named, and none of the table's rows
    // is marked as its step.
    QVERIFY(runner.start({QStringLiteral("from afar"), {step(Kind::Wait)}}));
    QVERIFY(runner.status().active());
    QCOMPARE(markedRow(*tab->model()), -1);
    QVERIFY2(find<QLabel>("labelProgramState")->text().contains(QLatin1String("\"from afar\"")),
             qPrintable(find<QLabel>("labelProgramState")->text()));
    QVERIFY(!find<QWidget>("buttonProgramAddStep")->isEnabled());
    runner.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!runner.status().active(), SettleMs);
}

namespace {

// The last count the pump answered after log entry from: once it stands, its final one.
qint64 lastCount(const std::vector<fluxosim::LogEntry> &log, std::size_t from)
{
    qint64 last = -1;
    for (std::size_t i = from; i < log.size(); ++i) {
        const std::string &v = log[i].verdict;
        const std::size_t at = v.find("query ?TV = ");
        if (log[i].kind == fluxosim::LogEntry::Kind::Received && at != std::string::npos)
            last = std::stoll(v.substr(at + 12));
    }
    return last;
}

} // namespace

// A ramp stopped in its second run leaves nothing of its plan to the next program: the next
// one's summary shows what the pump counted for it.
void tst_ProgramTab::stoppedRampLeavesNothingToTheNext()
{
    ProgramTab *tab = startTab();
    QVERIFY(tab != nullptr);
    ProgramStep ramp = step(Kind::Ramp);
    ramp.fromMlMin = 10;
    ramp.toMlMin = 20;
    ramp.forS = 120; // two runs of a minute, three seconds each at speed 20
    ramp.rampSteps = 2;
    tab->model()->setProgram({QStringLiteral("ramp"), {ramp}});
    QVERIFY(tab->errors().isEmpty());
    ProgramRunner &runner = rig->runner;
    const auto starts = [this] {
        int n = 0;
        for (const fluxosim::LogEntry &e : pump->log())
            n += e.verdict.find("KY1 start") != std::string::npos ? 1 : 0;
        return n;
    };
    QTest::mouseClick(find<QAbstractButton>("buttonProgramRun"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(starts() >= 2, RunMs);
    QTest::mouseClick(find<QAbstractButton>("buttonStop"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(runner.status().state, State::Stopped, SettleMs);

    ProgramStep dose = step(Kind::Dose);
    dose.volumeMl = 1;
    dose.rateMlMin = 30;
    tab->model()->setProgram({QStringLiteral("next"), {dose}});
    const std::size_t from = pump->log().size();
    QTest::mouseClick(find<QAbstractButton>("buttonProgramRun"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(runner.status().state, State::Done, RunMs);
    const qint64 counted = lastCount(pump->log(), from);
    QCOMPARE(std::llround(runner.status().volumeMl * 1000), counted);
    const QString shown = find<QLabel>("labelProgramState")->text();
    QVERIFY2(shown.contains(QString::number(counted / 1000.0, 'f', 3)), qPrintable(shown));
}

QTEST_MAIN(tst_ProgramTab)
#include "tst_programtab.moc"
