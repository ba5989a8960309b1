#include "ui/JournalTab.h"

#include "ui/ChartTab.h"
#include "ui/JournalRowModel.h"
#include "ui/ProcessChartView.h"
#include "ui/StyleSheets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using View = JournalLoader::View;

// The window's texts share the form's translation context.
QString screenText(const char *text)
{
    return QCoreApplication::translate("mainScreen", text);
}

const QString idleSheet = QLatin1String(StyleSheets::statusIdleGrey);
const QString goodSheet = QLatin1String(StyleSheets::statusGood);
const QString failedSheet = QLatin1String(StyleSheets::statusFailedBold);

// Columns fitted to their first rows are no wider than this; the first, a time, takes its room.
constexpr int MaxColumnWidth = 110;

// A read under way when the tab goes is waited for this long, then left to end on its own.
constexpr unsigned long ShutdownMs = 3000;

QFont screenFont()
{
    return QFont(QStringLiteral("Arial"), 10);
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    b->setAutoDefault(false);
    return b;
}

QPushButton *toggle(const QString &text, const char *name, QWidget *parent)
{
    QPushButton *b = button(text, name, parent);
    b->setCheckable(true);
    b->setStyleSheet(b->styleSheet() + QLatin1String(StyleSheets::toggleChecked));
    return b;
}

QLabel *label(const QString &text, const char *name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(screenFont());
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QComboBox *comboBox(const char *name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

QTableView *tableView(JournalRowModel *model, const char *name, QWidget *parent)
{
    auto *t = new QTableView(parent);
    t->setObjectName(QLatin1String(name));
    t->setFont(screenFont());
    t->setModel(model);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setWordWrap(false);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    // Fitting the columns measures this many rows, not a thousand.
    t->horizontalHeader()->setResizeContentsPrecision(100);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

} // namespace

JournalTab::JournalTab(const QString &path, Journal *live, ChartTab *chart, QWidget *parent)
    : QWidget(parent)
    , path(path)
    , chart(chart)
    , thread(new QThread)
    , loader(new JournalLoader(path))
    , runRows(new JournalRowModel(JournalRows::runHeaders(), JournalRows::RunCause, this))
    , changeRows(
          new JournalRowModel(JournalRows::changeHeaders(), JournalRows::ChangeVerdict, this))
    , runsButton(
          toggle(QCoreApplication::translate("mainScreen", "Runs"), "buttonJournalRuns", this))
    , changesButton(toggle(QCoreApplication::translate("mainScreen", "Changes"),
                           "buttonJournalChanges", this))
    , periodBox(comboBox("comboJournalPeriod", this))
    , kindLabel(label(QCoreApplication::translate("mainScreen", "Kind:"), "labelJournalKind", this))
    , kindBox(comboBox("comboJournalKind", this))
    , pumpLabel(label(QCoreApplication::translate("mainScreen", "Pump:"), "labelJournalPump", this))
    , pumpBox(comboBox("comboJournalPump", this))
    , tables(new QStackedWidget(this))
    , runTable(tableView(runRows, "tableJournalRuns", this))
    , changeTable(tableView(changeRows, "tableJournalChanges", this))
    , stateLabel(label(QString(), "labelJournalState", this))
    , chartButton(button(QCoreApplication::translate("mainScreen", "Show on chart"),
                         "buttonJournalShowOnChart", this))
    , chartLabel(label(QString(), "labelJournalChart", this))
{
    setObjectName(QStringLiteral("tabJournal"));
    // The tab takes the page's size, never the window's: its wide table scrolls instead.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    runsButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Each run: when it started and ended, who asked for what, "
                      "why it ended and what the pump counted"));
    changesButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Settings sent or refused, the link found or lost, programs started"));
    const std::pair<Period, const char *> periods[] = {
        {Period::All, QT_TRANSLATE_NOOP("mainScreen", "All")},
        {Period::LastHour, QT_TRANSLATE_NOOP("mainScreen", "Last hour")},
        {Period::Today, QT_TRANSLATE_NOOP("mainScreen", "Today")},
        {Period::LastWeek, QT_TRANSLATE_NOOP("mainScreen", "Last 7 days")}};
    for (const auto &period : periods)
        periodBox->addItem(screenText(period.second), int(period.first));
    periodBox->setToolTip(
        QCoreApplication::translate("mainScreen", "Only what began in this period"));
    kindBox->addItem(QCoreApplication::translate("mainScreen", "All changes"), QString());
    const std::pair<const char *, const char *> kinds[] = {
        {JournalEntry::Kind::Setting, QT_TRANSLATE_NOOP("mainScreen", "Settings")},
        {JournalEntry::Kind::Refused, QT_TRANSLATE_NOOP("mainScreen", "Refused")},
        {JournalEntry::Kind::Link, QT_TRANSLATE_NOOP("mainScreen", "Link")},
        {JournalEntry::Kind::Program, QT_TRANSLATE_NOOP("mainScreen", "Programs")},
        {JournalEntry::Kind::Calibration, QT_TRANSLATE_NOOP("mainScreen", "Calibration")},
        {JournalEntry::Kind::Service, QT_TRANSLATE_NOOP("mainScreen", "Service")}};
    for (const auto &kind : kinds)
        kindBox->addItem(screenText(kind.second), QLatin1String(kind.first));
    pumpBox->addItem(QCoreApplication::translate("mainScreen", "All pumps"), QString());
    stateLabel->setWordWrap(true);
    stateLabel->setToolTip(QCoreApplication::translate("mainScreen", "Journal: %1")
                               .arg(QDir::toNativeSeparators(path)));
    chartLabel->setWordWrap(true);
    chartButton->setToolTip(
        QCoreApplication::translate("mainScreen", "Show the chart around the run picked"));
    chartButton->setEnabled(false);
    tables->addWidget(runTable);
    tables->addWidget(changeTable);

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(runsButton);
    filterRow->addWidget(changesButton);
    filterRow->addStretch(1);
    filterRow->addWidget(
        label(QCoreApplication::translate("mainScreen", "Period:"), "labelJournalPeriod", this));
    filterRow->addWidget(periodBox);
    filterRow->addWidget(kindLabel);
    filterRow->addWidget(kindBox);
    filterRow->addWidget(pumpLabel);
    filterRow->addWidget(pumpBox);
    auto *chartRow = new QHBoxLayout;
    chartRow->addWidget(chartButton);
    chartRow->addWidget(chartLabel, 1);
    auto *column = new QVBoxLayout(this);
    column->addLayout(filterRow);
    column->addWidget(tables, 1);
    column->addWidget(stateLabel);
    column->addLayout(chartRow);
    pumpLabel->hide();
    pumpBox->hide();
    if (!chart) {
        chartButton->hide();
        chartLabel->hide();
    }

    loader->moveToThread(thread);
    thread->setObjectName(QStringLiteral("journal reader"));
    // The reader's database connection belongs to that thread: it goes with it.
    connect(thread, &QThread::finished, loader, &QObject::deleteLater);
    connect(loader, &JournalLoader::loaded, this, &JournalTab::take);
    thread->start();

    connect(runsButton, &QPushButton::clicked, this, [this] { showView(View::Runs); });
    connect(changesButton, &QPushButton::clicked, this, [this] { showView(View::Changes); });
    for (QComboBox *box : {periodBox, kindBox, pumpBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &JournalTab::refresh);
    connect(runTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &JournalTab::markRun);
    connect(chartButton, &QPushButton::clicked, this, &JournalTab::showOnChart);
    poll.setInterval(PollMs);
    connect(&poll, &QTimer::timeout, this, &JournalTab::refresh);
    poll.start();
    settle.setSingleShot(true);
    settle.setInterval(SettleMs);
    connect(&settle, &QTimer::timeout, this, &JournalTab::refresh);
    // From the writer's thread, queued to this one.
    if (live != nullptr)
        connect(live, &Journal::written, this, [this] { settle.start(); });
    showView(View::Runs);
}

JournalTab::~JournalTab()
{
    thread->quit();
    if (thread->wait(ShutdownMs))
        delete thread;
    else
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}

JournalTab *JournalTab::addTo(QTabWidget *tabs, ChartTab *chart, Journal *live)
{
    return addTo(tabs, chart, live != nullptr ? live->path() : Journal::defaultPath(), live);
}

JournalTab *JournalTab::addTo(QTabWidget *tabs, ChartTab *chart, const QString &path, Journal *live)
{
    auto *tab = new JournalTab(path, live, chart);
    tabs->insertTab(chart != nullptr ? tabs->indexOf(chart) : -1, tab,
                    QCoreApplication::translate("mainScreen", "Journal"));
    return tab;
}

JournalLoader::Query JournalTab::query() const
{
    JournalLoader::Query q;
    q.view = shownView;
    q.limit = RowLimit;
    if (shownView == View::Changes)
        q.kind = kindBox->currentData().toString();
    q.pump = pumpBox->currentData().toString();
    const QDateTime now = QDateTime::currentDateTime();
    constexpr qint64 hourMs = 3600 * 1000;
    switch (Period(periodBox->currentData().toInt())) {
    case Period::All:
        break;
    case Period::LastHour:
        q.sinceMs = now.toMSecsSinceEpoch() - hourMs;
        break;
    case Period::Today:
        q.sinceMs = QDateTime(now.date(), QTime(0, 0)).toMSecsSinceEpoch();
        break;
    case Period::LastWeek:
        q.sinceMs = now.toMSecsSinceEpoch() - 7 * 24 * hourMs;
        break;
    }
    return q;
}

void JournalTab::refresh()
{
    if (!isVisible()) {
        stale = true;
        return;
    }
    stale = false;
    // One read at a time; what is asked meanwhile is read after it, with the filters as they
    // are then.
    if (busy) {
        again = true;
        return;
    }
    busy = true;
    const JournalLoader::Query q = query();
    JournalLoader *reader = loader;
    QMetaObject::invokeMethod(
        loader, [reader, q] { reader->load(q); }, Qt::QueuedConnection);
}

void JournalTab::showView(JournalLoader::View view)
{
    shownView = view;
    runsButton->setChecked(view == View::Runs);
    changesButton->setChecked(view == View::Changes);
    tables->setCurrentWidget(table());
    kindLabel->setEnabled(view == View::Changes);
    kindBox->setEnabled(view == View::Changes);
    if (chart) {
        chartButton->setVisible(view == View::Runs);
        chartLabel->setVisible(view == View::Runs);
    }
    markRun();
    refresh();
}

void JournalTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (stale)
        refresh();
}

void JournalTab::take(const JournalLoader::Page &page)
{
    busy = false;
    if (again) {
        // The filters or the file changed while it was read.
        again = false;
        refresh();
        return;
    }
    showPumps(page.pumps);
    showState(page);
    JournalRowModel *m = model();
    QTableView *t = table();
    // What the operator looks at stays: the row picked, and the row at the top, unless the view
    // is at its top, where new rows come in.
    const QModelIndexList picked = t->selectionModel()->selectedRows();
    const QString pickedKey = picked.isEmpty() ? QString() : m->row(picked.first().row()).key;
    const bool atTop = t->verticalScrollBar()->value() == 0;
    const QModelIndex top = t->indexAt(QPoint(0, 0));
    const QString topKey = top.isValid() ? m->row(top.row()).key : QString();
    const bool wasEmpty = m->rowCount() == 0;
    if (!m->setRows(page.rows))
        return;
    if (wasEmpty) {
        // A long cause or key would push the counts out of sight: its tool tip has it whole.
        t->resizeColumnsToContents();
        for (int c = 1; c + 1 < m->columnCount(); ++c)
            t->setColumnWidth(c, std::min(t->columnWidth(c), MaxColumnWidth));
    }
    t->doItemsLayout();
    const int pickedRow = pickedKey.isEmpty() ? -1 : m->find(pickedKey);
    if (pickedRow >= 0)
        t->selectionModel()->setCurrentIndex(m->index(pickedRow, 0),
                                             QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    const int topRow = m->find(topKey);
    if (atTop || topRow < 0)
        t->scrollToTop();
    else
        t->scrollTo(m->index(topRow, 0), QAbstractItemView::PositionAtTop);
    markRun();
}

void JournalTab::showState(const JournalLoader::Page &page)
{
    if (page.missing) {
        stateLabel->setStyleSheet(idleSheet);
        stateLabel->setText(
            QCoreApplication::translate("mainScreen",
                                        "No journal at %1 yet: it begins with the first run or "
                                        "change on this computer.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (!page.problem.isEmpty()) {
        stateLabel->setStyleSheet(failedSheet);
        stateLabel->setText(
            QCoreApplication::translate("mainScreen", "The journal cannot be read: %1")
                .arg(page.problem));
        return;
    }
    const bool runs = shownView == View::Runs;
    const QLocale locale;
    stateLabel->setStyleSheet(goodSheet);
    if (page.total == 0)
        stateLabel->setText(runs
                                ? QCoreApplication::translate("mainScreen", "No runs to show.")
                                : QCoreApplication::translate("mainScreen", "No changes to show."));
    else if (page.rows.size() < page.total)
        stateLabel->setText(
            (runs ? QCoreApplication::translate("mainScreen", "Showing the newest %1 of %2 runs.")
                  : QCoreApplication::translate("mainScreen",
                                                "Showing the newest %1 of %2 changes."))
                .arg(locale.toString(page.rows.size()), locale.toString(page.total)));
    else if (page.total == 1)
        stateLabel->setText(runs ? QCoreApplication::translate("mainScreen", "1 run.")
                                 : QCoreApplication::translate("mainScreen", "1 change."));
    else
        stateLabel->setText((runs ? QCoreApplication::translate("mainScreen", "%1 runs.")
                                  : QCoreApplication::translate("mainScreen", "%1 changes."))
                                .arg(locale.toString(page.total)));
}

void JournalTab::showPumps(const QStringList &pumps)
{
    QStringList shown;
    for (int i = 1; i < pumpBox->count(); ++i)
        shown << pumpBox->itemData(i).toString();
    const QString chosen = pumpBox->currentData().toString();
    // The pump chosen stays a choice while it is, even when the journal no longer names it.
    QStringList wanted = pumps;
    if (!chosen.isEmpty() && !wanted.contains(chosen))
        wanted << chosen;
    if (wanted != shown) {
        const QSignalBlocker quiet(pumpBox);
        while (pumpBox->count() > 1)
            pumpBox->removeItem(1);
        for (const QString &pump : qAsConst(wanted))
            pumpBox->addItem(pump, pump);
        pumpBox->setCurrentIndex(std::max(0, pumpBox->findData(chosen)));
    }
    const bool several = wanted.size() > 1 || !chosen.isEmpty();
    pumpLabel->setVisible(several);
    pumpBox->setVisible(several);
}

void JournalTab::markRun()
{
    if (!chart)
        return;
    ProcessChartView *view = chart->chart();
    const QModelIndexList picked = runTable->selectionModel()->selectedRows();
    if (shownView != View::Runs || picked.isEmpty()) {
        view->clearRun();
        chartButton->setEnabled(false);
        chartLabel->setText(
            QCoreApplication::translate("mainScreen", "Pick a run to mark it on the chart."));
        return;
    }
    const JournalRows::Row &run = runRows->row(picked.first().row());
    const bool marked = view->markRun(run.startMs, run.endMs);
    chartButton->setEnabled(marked);
    chartLabel->setText(
        marked ? QCoreApplication::translate("mainScreen",
                                             "Marked on the chart, which shows the pump of this "
                                             "window.")
               : QCoreApplication::translate("mainScreen",
                                             "Not on the chart: it holds what this window saw "
                                             "of its pump, over 24 hours at most."));
}

void JournalTab::showOnChart()
{
    if (!chart || !chart->chart()->showRun())
        return;
    for (QWidget *w = chart->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            tabs->setCurrentWidget(chart);
            return;
        }
    }
}

QTableView *JournalTab::table() const
{
    return shownView == View::Runs ? runTable : changeTable;
}

JournalRowModel *JournalTab::model() const
{
    return shownView == View::Runs ? runRows : changeRows;
}
