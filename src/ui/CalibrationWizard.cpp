#include "ui/CalibrationWizard.h"
#include "ui/ShownProgramText.h"

#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "program/ProgramRunner.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/TypedNumber.h"
#include "ui/BalanceJob.h"
#include "ui/WheelGuard.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using Pump::CalibrationByWeight;
using Pump::KeyTable;

namespace {

const KeyTable::Key &percentKey()
{
    return KeyTable::key(QStringLiteral("calibration-percent"));
}

QString number(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

} // namespace

CalibrationWizard::CalibrationWizard(PumpCore &pumpCore, ProgramRunner &programRunner,
                                     QWidget *parent)
    : QDialog(parent)
    , core(pumpCore)
    , runner(programRunner)
{
    setObjectName(QStringLiteral("CalibrationWizard"));
    setWindowTitle(tr("Calibration by weighing"));
    build();
    connect(&runner, &ProgramRunner::ended, this, &CalibrationWizard::doseEnded);
    connect(&core, &PumpCore::answered, this, [this](const Answer &answer) {
        if (checkTicket != 0 && answer.ticket == checkTicket) {
            checkTicket = 0;
            if (answer.accepted())
                say(tr("The pump took the new calibration and now holds %1 %.")
                        .arg(number(KeyTable::json(percentKey(), core.items()).toDouble(), 1)));
            return;
        }
        if (percentTicket == 0 || answer.ticket != percentTicket)
            return;
        percentTicket = 0;
        if (answer.accepted())
            before = KeyTable::json(percentKey(), core.items()).toDouble();
        say(before > 0 ? tr("The pump's calibration now: %1 %.").arg(number(before, 1))
                       : tr("The pump did not give its calibration: nothing can be sent."));
        refresh();
    });
    readPercent();
    refresh();
}

CalibrationWizard::~CalibrationWizard()
{
    // Closed with the window: as if closed by the operator.
    if (dosing)
        runner.stop(core.origin());
    journal();
}

double CalibrationWizard::proposal(PumpCore &core)
{
    const KeyTable::Key &volume = KeyTable::key(QStringLiteral("volume"));
    const KeyTable::Key model =
        Pump::ModelLimits::of(volume, Pump::ModelLimits::pumpType(core.items().all()));
    double wanted = KeyTable::json(volume, core.items()).toDouble();
    if (model.maximum > 0 && wanted > 0)
        wanted = std::clamp(wanted, model.minimum, model.maximum);
    double nominal = CalibrationByWeight::proposeNominal(wanted);
    // A pump that cannot dose the calibration's default gets the most it can.
    if (model.maximum >= CalibrationByWeight::MinimumNominalMl)
        nominal = std::min(nominal, model.maximum);
    return nominal;
}

void CalibrationWizard::build()
{
    nominalEdit = new QLineEdit(QLocale().toString(proposal(core)), this);
    nominalEdit->setObjectName(QStringLiteral("lineEditNominal"));
    nominalEdit->setToolTip(tr("%1 to %2 ml")
                                .arg(number(CalibrationByWeight::MinimumNominalMl, 1),
                                     number(CalibrationByWeight::MaximumNominalMl, 1)));

    fluidBox = new QComboBox(this);
    fluidBox->setObjectName(QStringLiteral("comboFluid"));
    for (const CalibrationByWeight::Fluid &fluid : CalibrationByWeight::fluids())
        fluidBox->addItem(tr("%1 (%2 g/ml)")
                              .arg(QCoreApplication::translate("CalibrationByWeight", fluid.name),
                                   number(fluid.density, 3)),
                          fluid.density);
    fluidBox->addItem(tr("another fluid"), 0.0);
    densityEdit = new QLineEdit(number(CalibrationByWeight::WaterDensity, 3), this);
    densityEdit->setObjectName(QStringLiteral("lineEditDensity"));
    connect(fluidBox, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        const double d = fluidBox->itemData(index).toDouble();
        if (d > 0)
            densityEdit->setText(number(d, 3));
        else
            densityEdit->setFocus();
        refresh();
    });
    connect(densityEdit, &QLineEdit::textEdited, this, [this]() {
        fluidBox->setCurrentIndex(fluidBox->count() - 1);
        refresh();
    });

    balanceBox = new QComboBox(this);
    balanceBox->setObjectName(QStringLiteral("comboBalance"));
    balanceBox->setEditable(true);
    balanceBox->addItem(QString());
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        balanceBox->addItem(info.systemLocation());
    balanceBox->lineEdit()->setPlaceholderText(tr("none: the masses are typed in"));

    auto *form = new QFormLayout;
    form->addRow(tr("Nominal volume (ml)"), nominalEdit);
    auto *densityRow = new QHBoxLayout;
    densityRow->addWidget(fluidBox, 1);
    densityRow->addWidget(densityEdit);
    form->addRow(tr("Fluid, density (g/ml)"), densityRow);
    form->addRow(tr("Balance port"), balanceBox);

    doseButton = new QPushButton(tr("Dose"), this);
    doseButton->setObjectName(QStringLiteral("buttonDose"));
    stopButton = new QPushButton(tr("Stop"), this);
    stopButton->setObjectName(QStringLiteral("buttonStopDose"));
    readButton = new QPushButton(tr("Read balance"), this);
    readButton->setObjectName(QStringLiteral("buttonReadBalance"));
    massEdit = new QLineEdit(this);
    massEdit->setObjectName(QStringLiteral("lineEditMass"));
    massEdit->setPlaceholderText(tr("mass in g"));
    massEdit->setMinimumWidth(90);
    addButton = new QPushButton(tr("Add mass"), this);
    addButton->setObjectName(QStringLiteral("buttonAddMass"));
    removeButton = new QPushButton(tr("Remove last"), this);
    removeButton->setObjectName(QStringLiteral("buttonRemoveDose"));
    auto *doseRow = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{doseButton, stopButton, readButton, massEdit,
                                                       addButton, removeButton})
        doseRow->addWidget(w);
    connect(doseButton, &QPushButton::clicked, this, &CalibrationWizard::dose);
    connect(stopButton, &QPushButton::clicked, this, [this]() { runner.stop(core.origin()); });
    connect(readButton, &QPushButton::clicked, this, &CalibrationWizard::readBalance);
    connect(addButton, &QPushButton::clicked, this, &CalibrationWizard::addTypedMass);
    connect(massEdit, &QLineEdit::returnPressed, this, &CalibrationWizard::addTypedMass);
    connect(removeButton, &QPushButton::clicked, this, &CalibrationWizard::removeLast);
    connect(nominalEdit, &QLineEdit::textEdited, this, &CalibrationWizard::refresh);

    table = new QTableWidget(0, 3, this);
    table->setObjectName(QStringLiteral("tableDoses"));
    table->setHorizontalHeaderLabels({tr("Mass (g)"), tr("Volume (ml)"), tr("Deviation (%)")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("labelSummary"));
    summary->setWordWrap(true);
    state = new QLabel(this);
    state->setObjectName(QStringLiteral("labelWizardState"));
    state->setWordWrap(true);

    confirmButton = new QPushButton(tr("Send the new calibration"), this);
    confirmButton->setObjectName(QStringLiteral("buttonConfirm"));
    auto *closeButton = new QPushButton(tr("Close"), this);
    closeButton->setObjectName(QStringLiteral("buttonClose"));
    connect(confirmButton, &QPushButton::clicked, this, &CalibrationWizard::confirm);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    auto *endRow = new QHBoxLayout;
    endRow->addStretch(1);
    endRow->addWidget(confirmButton);
    endRow->addWidget(closeButton);

    auto *column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addLayout(doseRow);
    column->addWidget(table, 1);
    column->addWidget(summary);
    column->addWidget(state);
    column->addLayout(endRow);
    // Return in the mass field adds the mass; it must not dose or send as well.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    resize(640, 440);
    // As in the window: a wheel turn over a field not in use changes nothing.
    (new WheelGuard(this))->guard(this);
}

void CalibrationWizard::readPercent()
{
    const KeyTable::Key &key = percentKey();
    percentTicket = core.readBack(BusinessLogic::Lane::Operator, key.query, key.parameters.front());
    if (percentTicket == 0) {
        say(tr("The pump's calibration cannot be read."));
        return;
    }
    say(tr("Reading the pump's calibration..."));
    const PumpCore::Ticket asked = percentTicket;
    QTimer::singleShot(ReadMs, this, [this, asked]() {
        if (percentTicket != asked)
            return;
        percentTicket = 0;
        say(tr("The pump did not give its calibration within %1 s: nothing can be sent.")
                .arg(ReadMs / 1000));
    });
}

QString CalibrationWizard::balancePort() const
{
    return balanceBox->currentText().trimmed();
}

std::optional<double> CalibrationWizard::nominal() const
{
    const std::optional<double> v = Pump::TypedNumber::read(nominalEdit->text());
    if (!v || *v < CalibrationByWeight::MinimumNominalMl ||
        *v > CalibrationByWeight::MaximumNominalMl)
        return std::nullopt;
    return v;
}

std::optional<double> CalibrationWizard::density() const
{
    return Pump::TypedNumber::read(densityEdit->text());
}

CalibrationByWeight::Result CalibrationWizard::result() const
{
    // Until the pump gave its factor, 100 % stands in: the volumes do not depend on it.
    return CalibrationByWeight::compute(nominal().value_or(0), weighed, density().value_or(0),
                                        before > 0 ? before : 100.0);
}

void CalibrationWizard::say(const QString &text)
{
    state->setText(text);
}

void CalibrationWizard::dose()
{
    if (!nominal()) {
        say(tr("The nominal volume must lie within %1 to %2 ml.")
                .arg(number(CalibrationByWeight::MinimumNominalMl, 1),
                     number(CalibrationByWeight::MaximumNominalMl, 1)));
        return;
    }
    if (static_cast<int>(weighed.size()) >= CalibrationByWeight::MaxWeighings || dosing ||
        balanceBusy)
        return;
    const QString port = balancePort();
    if (port.isEmpty()) {
        startDose();
        return;
    }
    balanceBusy = true;
    say(tr("Taring the balance..."));
    refresh();
    BalanceJob::run(port, BalanceJob::Step::Zero, balanceMs, this,
                    [this](const BalanceReader::Reading &reading) {
                        balanceBusy = false;
                        if (reading.ok)
                            startDose();
                        else
                            say(tr("The balance: %1. Nothing was dosed.").arg(reading.error));
                        refresh();
                    });
}

void CalibrationWizard::startDose()
{
    const QString volume = QString::number(*nominal(), 'f', 3);
    QString refusal;
    const bool started =
        runner.start({QStringLiteral("calibrate"),
                      {ProgramStep::of(Pump::DosingPlan::dose(volume, std::nullopt))}},
                     &refusal);
    if (!started) {
        say(tr("The dose cannot start: %1").arg(refusal));
        return;
    }
    dosing = true;
    say(tr("Dosing %1 ml...").arg(number(*nominal(), 3)));
    refresh();
}

void CalibrationWizard::doseEnded(const ProgramStatus &status)
{
    if (!dosing)
        return;
    dosing = false;
    if (status.state != ProgramStatus::State::Done) {
        say(tr("The dose ended before its volume (%1): it is not weighed.")
                .arg(ShownProgramText::shown(status.reason.isEmpty()
                                                 ? ProgramStatus::causeName(status.cause)
                                                 : status.reason)));
        refresh();
        return;
    }
    if (balancePort().isEmpty()) {
        say(tr("Dose done: weigh the vessel and enter the mass."));
        massEdit->setFocus();
        refresh();
        return;
    }
    readBalance();
}

void CalibrationWizard::readBalance()
{
    const QString port = balancePort();
    if (port.isEmpty()) {
        say(tr("Choose the balance's port first."));
        return;
    }
    if (balanceBusy || dosing)
        return;
    balanceBusy = true;
    say(tr("Waiting for a stable weight..."));
    refresh();
    BalanceJob::run(port, BalanceJob::Step::StableWeight, balanceMs, this,
                    [this](const BalanceReader::Reading &reading) {
                        balanceBusy = false;
                        if (reading.ok) {
                            addMass(reading.grams);
                            say(tr("Weighed %1 g.").arg(number(reading.grams, 4)));
                        } else {
                            say(tr("The balance: %1").arg(reading.error));
                        }
                        refresh();
                    });
}

void CalibrationWizard::addTypedMass()
{
    const std::optional<double> grams = Pump::TypedNumber::read(massEdit->text());
    if (!grams || !(*grams > 0)) {
        say(tr("A mass is a number of grams above 0."));
        return;
    }
    massEdit->clear();
    addMass(*grams);
}

void CalibrationWizard::addMass(double grams)
{
    if (static_cast<int>(weighed.size()) >= CalibrationByWeight::MaxWeighings || sent || sending)
        return;
    weighed.push_back(grams);
    refresh();
}

void CalibrationWizard::removeLast()
{
    if (!weighed.empty() && !sent && !sending)
        weighed.pop_back();
    refresh();
}

void CalibrationWizard::refresh()
{
    const bool full = static_cast<int>(weighed.size()) >= CalibrationByWeight::MaxWeighings;
    const bool busy = dosing || balanceBusy || sending;
    const bool closed = sent || recorded;
    nominalEdit->setEnabled(weighed.empty() && !busy);
    doseButton->setEnabled(!busy && !full && !closed);
    stopButton->setEnabled(dosing);
    readButton->setEnabled(!busy && !full && !closed);
    addButton->setEnabled(!busy && !full && !closed);
    removeButton->setEnabled(!busy && !weighed.empty() && !closed);

    const CalibrationByWeight::Result r = result();
    table->setRowCount(static_cast<int>(weighed.size()));
    for (std::size_t i = 0; i < weighed.size(); ++i) {
        const int row = static_cast<int>(i);
        table->setItem(row, 0, new QTableWidgetItem(number(weighed[i], 4)));
        const bool known = r.ok() && i < r.volumesMl.size();
        table->setItem(row, 1, new QTableWidgetItem(known ? number(r.volumesMl[i], 4) : QString()));
        table->setItem(
            row, 2,
            new QTableWidgetItem(
                known ? number((r.volumesMl[i] - *nominal()) / *nominal() * 100.0, 2) : QString()));
    }
    bool sendable = false;
    if (weighed.empty()) {
        summary->setText(
            tr("Up to %1 doses: dose, then weigh.").arg(CalibrationByWeight::MaxWeighings));
    } else if (!nominal()) {
        summary->setText(tr("The nominal volume must lie within %1 to %2 ml.")
                             .arg(number(CalibrationByWeight::MinimumNominalMl, 1),
                                  number(CalibrationByWeight::MaximumNominalMl, 1)));
    } else if (!density() || !r.ok()) {
        summary->setText(tr("The density must be a number within 0.1 to 25 g/ml."));
    } else {
        QString text = tr("Mean %1 ml for %2 ml nominal (%3 %), spread %4 ml.")
                           .arg(number(r.meanMl, 4), number(*nominal(), 3),
                                number(r.deviationPercent, 2), number(r.spreadMl, 4));
        if (before > 0 && r.inRange)
            text += QLatin1Char('\n') + tr("New calibration: %1 % (now %2 %).")
                                            .arg(number(r.newPercent, 1), number(before, 1));
        else if (before > 0)
            text +=
                QLatin1Char('\n') +
                tr("Refused: %1 % lies outside %2 to %3 %. Check for air in the line, the "
                   "density given, and that every dose reached the vessel.")
                    .arg(number(r.newPercent, 1), number(CalibrationByWeight::MinimumPercent, 1),
                         number(CalibrationByWeight::MaximumPercent, 1));
        summary->setText(text);
        sendable = before > 0 && r.inRange;
    }
    confirmButton->setEnabled(sendable && !busy && !closed);
}

void CalibrationWizard::confirm()
{
    const CalibrationByWeight::Result r = result();
    if (!(before > 0) || !r.ok() || !r.inRange || sent || sending || dosing || balanceBusy)
        return;
    const KeyTable::Setting setting =
        KeyTable::parse(percentKey(), QString::number(r.newPercent, 'f', 1));
    if (!setting.ok())
        return;
    sending = true;
    say(tr("Sending %1 %...").arg(number(r.newPercent, 1)));
    const PumpCore::Ticket ticket = core.submitSetting(
        BusinessLogic::Lane::Operator, setting.command, setting.value, this,
        [this, r](bool accepted) {
            sending = false;
            sent = accepted;
            pumpVerdict = accepted ? tr("The pump took %1 %.").arg(number(r.newPercent, 1))
                                   : tr("The pump did not take %1 %: its calibration stays %2 %.")
                                         .arg(number(r.newPercent, 1), number(before, 1));
            say(pumpVerdict);
            if (accepted) {
                const KeyTable::Key &key = percentKey();
                checkTicket =
                    core.readBack(BusinessLogic::Lane::Operator, key.query, key.parameters.front());
            }
            journal();
            refresh();
        });
    if (ticket == 0) {
        sending = false;
        say(tr("The new calibration cannot be sent."));
    }
    refresh();
}

void CalibrationWizard::journal()
{
    if (recorded || weighed.empty() || core.journal() == nullptr)
        return;
    CalibrationByWeight::Result r = result();
    if (!r.ok() || !(before > 0))
        return;
    // The journal's verdict reads as the tool's.
    if (sent)
        r.verdict = QStringLiteral("sent: ") + r.verdict;
    else if (r.inRange && pumpVerdict.isEmpty())
        r.verdict = QStringLiteral("not sent (no confirmation): ") + r.verdict;
    else if (r.inRange)
        r.verdict = QStringLiteral("the pump did not take %1 %; its calibration stays at %2 %")
                        .arg(r.newPercent, 0, 'f', 1)
                        .arg(before, 0, 'f', 1);
    recorded = core.journal()->append(
        core.pumpId(), QLatin1String(JournalEntry::Kind::Calibration), core.origin().frontEnd,
        core.origin().who,
        CalibrationByWeight::journalFields(*nominal(), weighed, *density(), r, sent));
    if (recorded)
        emit journaled();
}

void CalibrationWizard::done(int code)
{
    // Leaving the wizard ends its dose: the pump must not go on filling a vessel nobody weighs.
    if (dosing) {
        dosing = false;
        runner.stop(core.origin());
    }
    journal();
    QDialog::done(code);
}
