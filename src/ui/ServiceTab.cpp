#include "ui/ServiceTab.h"

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "journal/JournalFilter.h"
#include "journal/JournalReader.h"
#include "journal/JournalTime.h"
#include "pump/TypedNumber.h"
#include "pumpcore/PumpCore.h"
#include "ui/CalibrationWizard.h"
#include "ui/ServiceReminder.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString number(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

// A threshold as the field shows it: empty for none.
QString threshold(double value)
{
    return value > 0 ? QLocale().toString(value) : QString();
}

} // namespace

ServiceTab::ServiceTab(PumpCore &pumpCore, ProgramRunner &programRunner,
                       ServiceReminder &serviceReminder, QWidget *parent)
    : QWidget(parent)
    , core(pumpCore)
    , runner(programRunner)
    , reminder(serviceReminder)
{
    setObjectName(QStringLiteral("tabService"));
    // The tab takes the page's size, never the window's: its table scrolls instead.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pumpLabel = new QLabel(this);
    pumpLabel->setObjectName(QStringLiteral("labelServicePump"));
    pumpLabel->setWordWrap(true);
    totalsLabel = new QLabel(this);
    totalsLabel->setObjectName(QStringLiteral("labelServiceTotals"));
    totalsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    totalsLabel->setWordWrap(true);

    volumeEdit = new QLineEdit(this);
    volumeEdit->setObjectName(QStringLiteral("lineEditServiceVolume"));
    volumeEdit->setPlaceholderText(QCoreApplication::translate("mainScreen", "none"));
    hoursEdit = new QLineEdit(this);
    hoursEdit->setObjectName(QStringLiteral("lineEditServiceHours"));
    hoursEdit->setPlaceholderText(QCoreApplication::translate("mainScreen", "none"));
    auto *saveButton =
        new QPushButton(QCoreApplication::translate("mainScreen", "Save thresholds"), this);
    saveButton->setObjectName(QStringLiteral("buttonSaveThresholds"));
    connect(saveButton, &QPushButton::clicked, this, &ServiceTab::saveThresholds);
    auto *limitsBox = new QGroupBox(
        QCoreApplication::translate("mainScreen", "Service due at, since the last service"), this);
    limitsBox->setObjectName(QStringLiteral("groupServiceThresholds"));
    auto *limitsForm = new QFormLayout(limitsBox);
    limitsForm->addRow(QCoreApplication::translate("mainScreen", "Volume (ml)"), volumeEdit);
    limitsForm->addRow(QCoreApplication::translate("mainScreen", "Running hours"), hoursEdit);
    limitsForm->addRow(QString(), saveButton);

    partBox = new QComboBox(this);
    partBox->setObjectName(QStringLiteral("comboServicePart"));
    partBox->addItem(QCoreApplication::translate("mainScreen", "the whole pump"), QString());
    partBox->addItem(QCoreApplication::translate("mainScreen", "diaphragm"),
                     QStringLiteral("diaphragm"));
    partBox->addItem(QCoreApplication::translate("mainScreen", "valves"), QStringLiteral("valves"));
    auto *recordButton =
        new QPushButton(QCoreApplication::translate("mainScreen", "Record service"), this);
    recordButton->setObjectName(QStringLiteral("buttonRecordService"));
    connect(recordButton, &QPushButton::clicked, this,
            [this]() { recordService(partBox->currentData().toString()); });
    auto *calibrateButton = new QPushButton(
        QCoreApplication::translate("mainScreen", "Calibrate by weighing..."), this);
    calibrateButton->setObjectName(QStringLiteral("buttonCalibrateByWeight"));
    connect(calibrateButton, &QPushButton::clicked, this, &ServiceTab::openWizard);
    auto *actions = new QHBoxLayout;
    actions->addWidget(partBox);
    actions->addWidget(recordButton);
    actions->addStretch(1);
    actions->addWidget(calibrateButton);
    feedback = new QLabel(this);
    feedback->setObjectName(QStringLiteral("labelServiceFeedback"));
    feedback->setWordWrap(true);

    calibrations = new QTableWidget(0, 6, this);
    calibrations->setObjectName(QStringLiteral("tableCalibrations"));
    calibrations->setHorizontalHeaderLabels(
        {QCoreApplication::translate("mainScreen", "Time"),
         QCoreApplication::translate("mainScreen", "Nominal (ml)"),
         QCoreApplication::translate("mainScreen", "Masses (g)"),
         QCoreApplication::translate("mainScreen", "Density (g/ml)"),
         QCoreApplication::translate("mainScreen", "Result"),
         QCoreApplication::translate("mainScreen", "Who")});
    calibrations->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    calibrations->horizontalHeader()->setStretchLastSection(true);
    calibrations->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto *top = new QHBoxLayout;
    auto *totalsColumn = new QVBoxLayout;
    totalsColumn->addWidget(pumpLabel);
    totalsColumn->addWidget(totalsLabel);
    totalsColumn->addStretch(1);
    top->addLayout(totalsColumn, 1);
    top->addWidget(limitsBox);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(actions);
    column->addWidget(feedback);
    auto *calibrationsTitle =
        new QLabel(QCoreApplication::translate("mainScreen", "Last calibrations"), this);
    calibrationsTitle->setObjectName(QStringLiteral("labelLastCalibrations"));
    column->addWidget(calibrationsTitle);
    column->addWidget(calibrations, 1);

    connect(&reminder, &ServiceReminder::updated, this, &ServiceTab::showTotals);
    if (Journal *journal = core.journal()) {
        connect(journal, &Journal::written, this, [this](const JournalEntry &entry) {
            if (entry.kind == QLatin1String(JournalEntry::Kind::Calibration) &&
                entry.pump == core.pumpId())
                refreshCalibrations();
        });
    }
    // A service is usually done in the Maintenance position: once the pump took it, the window
    // asks whether to record one.
    connect(&core, &PumpCore::answered, this, [this](const Answer &answer) {
        if (answer.commandId !=
                BusinessLogic::toInt(BusinessLogic::CommandSpezifier::SetMaintenancePos) ||
            !answer.accepted())
            return;
        // Only the window's own operator is asked, not for a client of the window's bridge.
        const RequestOrigin *by = core.originOf(answer.ticket);
        if (by == nullptr || !by->known() ||
            by->frontEnd == QLatin1String(JournalEntry::Origin::Window))
            offerService();
    });
    // Return in a field of the window must click nothing.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    showTotals(reminder.totals(), reminder.thresholds());
}

ServiceTab *ServiceTab::addTo(QTabWidget *tabs, QWidget *before, PumpCore &core,
                              ProgramRunner &runner, ServiceReminder &reminder)
{
    auto *tab = new ServiceTab(core, runner, reminder);
    tabs->insertTab(tabs->indexOf(before), tab,
                    QCoreApplication::translate("mainScreen", "Service"));
    return tab;
}

void ServiceTab::showTotals(const JournalTotals &t, const JournalTotals::Thresholds &limits)
{
    pumpLabel->setText(QCoreApplication::translate("mainScreen", "Pump %1").arg(t.pump));
    const QString last =
        t.lastServiceMs == 0
            ? QCoreApplication::translate("mainScreen", "never recorded")
            : (t.lastServicePart.isEmpty()
                   ? JournalTime::format(t.lastServiceMs)
                   : QCoreApplication::translate("mainScreen", "%1 (%2)")
                         .arg(JournalTime::format(t.lastServiceMs), t.lastServicePart));
    QString text =
        QCoreApplication::translate(
            "mainScreen", "Runs: %1\nOver its life: %2 ml in %3 h\nSince the last service: %4 ml "
                          "in %5 h\nLast service: %6")
            .arg(t.runs)
            .arg(number(t.volumeMl, 3), number(t.hours, 2), number(t.sinceServiceVolumeMl, 3),
                 number(t.sinceServiceHours, 2), last);
    const QString due = ServiceReminder::dueText(t, limits);
    if (!due.isEmpty())
        text += QLatin1Char('\n') + due;
    totalsLabel->setText(text);
    if (!volumeEdit->hasFocus())
        volumeEdit->setText(threshold(limits.volumeMl));
    if (!hoursEdit->hasFocus())
        hoursEdit->setText(threshold(limits.hours));
    refreshCalibrations();
}

void ServiceTab::saveThresholds()
{
    JournalTotals::Thresholds limits;
    for (auto [edit, value] :
         {std::pair{volumeEdit, &limits.volumeMl}, std::pair{hoursEdit, &limits.hours}}) {
        if (edit->text().trimmed().isEmpty())
            continue;
        const std::optional<double> read = Pump::TypedNumber::read(edit->text());
        if (!read || *read < 0) {
            feedback->setText(QCoreApplication::translate(
                "mainScreen", "A threshold is a number, 0 or empty for none."));
            return;
        }
        *value = *read;
    }
    reminder.setThresholds(limits);
    feedback->setText(
        QCoreApplication::translate("mainScreen", "Thresholds saved for %1.").arg(core.pumpId()));
}

bool ServiceTab::recordService(const QString &part)
{
    Journal *journal = core.journal();
    if (journal == nullptr) {
        feedback->setText(QCoreApplication::translate(
            "mainScreen", "There is no journal to record the service in."));
        return false;
    }
    QJsonObject fields;
    if (!part.isEmpty())
        fields.insert(QStringLiteral("part"), part);
    const bool queued = journal->append(core.pumpId(), QLatin1String(JournalEntry::Kind::Service),
                                        core.origin().frontEnd, core.origin().who, fields);
    feedback->setText(
        queued ? QCoreApplication::translate("mainScreen", "Service of %1 recorded.")
                     .arg(core.pumpId())
               : QCoreApplication::translate("mainScreen",
                                             "The journal is full: the service was not recorded."));
    return queued;
}

CalibrationWizard *ServiceTab::openWizard()
{
    if (!wizard) {
        wizard = new CalibrationWizard(core, runner, window());
        wizard->setAttribute(Qt::WA_DeleteOnClose);
        wizard->open();
    }
    wizard->raise();
    wizard->activateWindow();
    return wizard;
}

void ServiceTab::offerService()
{
    if (offer)
        return;
    offer = new QMessageBox(
        QMessageBox::Question, QCoreApplication::translate("mainScreen", "Record a service?"),
        QCoreApplication::translate("mainScreen",
                                    "The pump is in its maintenance position. Record a service of "
                                    "%1 in the journal?")
            .arg(core.pumpId()),
        QMessageBox::NoButton, window());
    offer->setObjectName(QStringLiteral("serviceOffer"));
    offer->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *diaphragm = offer->addButton(
        QCoreApplication::translate("mainScreen", "Diaphragm"), QMessageBox::AcceptRole);
    QPushButton *valves = offer->addButton(QCoreApplication::translate("mainScreen", "Valves"),
                                           QMessageBox::AcceptRole);
    QPushButton *whole = offer->addButton(QCoreApplication::translate("mainScreen", "Whole pump"),
                                          QMessageBox::AcceptRole);
    offer->addButton(QCoreApplication::translate("mainScreen", "Not now"), QMessageBox::RejectRole);
    connect(offer, &QMessageBox::buttonClicked, this,
            [this, diaphragm, valves, whole](QAbstractButton *button) {
                if (button == diaphragm)
                    recordService(QStringLiteral("diaphragm"));
                else if (button == valves)
                    recordService(QStringLiteral("valves"));
                else if (button == whole)
                    recordService(QString());
            });
    offer->open();
}

void ServiceTab::refreshCalibrations()
{
    Journal *journal = core.journal();
    calibrations->setRowCount(0);
    if (journal == nullptr || !QFileInfo::exists(journal->path()))
        return;
    JournalReader reader(journal->path());
    if (!reader.open())
        return;
    JournalFilter filter;
    filter.pump = core.pumpId();
    filter.kind = QLatin1String(JournalEntry::Kind::Calibration);
    filter.limit = CalibrationRows;
    QVector<JournalEntry> list = reader.entries(filter);
    std::reverse(list.begin(), list.end());
    calibrations->setRowCount(list.size());
    for (int row = 0; row < list.size(); ++row) {
        const JournalEntry &e = list.at(row);
        QStringList masses;
        for (const QJsonValue &m : e.fields.value(QStringLiteral("masses_g")).toArray())
            masses << number(m.toDouble(), 4);
        const double percent = e.fields.value(QStringLiteral("new_percent")).toDouble();
        const QString result =
            e.fields.value(QStringLiteral("sent")).toBool()
                ? QCoreApplication::translate("mainScreen", "%1 % sent").arg(number(percent, 1))
                : QCoreApplication::translate("mainScreen", "%1 % not sent")
                      .arg(number(percent, 1));
        const QStringList cells = {
            JournalTime::format(e.timeMs),
            number(e.fields.value(QStringLiteral("nominal_ml")).toDouble(), 3),
            masses.join(QStringLiteral("; ")),
            number(e.fields.value(QStringLiteral("density")).toDouble(), 3),
            result,
            QCoreApplication::translate("mainScreen", "%1 (%2)").arg(e.who, e.origin)};
        for (int column = 0; column < cells.size(); ++column)
            calibrations->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}
