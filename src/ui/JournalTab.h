#pragma once

#include "journal/Journal.h"
#include "ui/JournalLoader.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class ChartTab;
class JournalRowModel;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
class QThread;

// The advanced screen's Journal tab: what every front-end on this computer did with its pumps,
// as the journal file holds it. Runs (start, end, who asked what, why it ended, the pump's final
// count) and changes (settings, refusals, the link, programs), newest first, filtered by period,
// kind and pump. A run picked is marked on the process chart where the chart's history holds it.
//
// The journal is read on a thread of its own, the newest RowLimit rows at most; again when this
// process writes an entry, and every PollMs while the tab is shown, since other processes write
// to the file too. The rows picked and the place scrolled to stay across reads.
class JournalTab : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RowLimit = 1000;
    static constexpr int PollMs = 5000;
    // Entries come in bursts: one read after the last of them.
    static constexpr int SettleMs = 250;

    enum class Period { All, LastHour, Today, LastWeek };

    // Neither the journal nor the chart is owned. Without the journal this process writes, its
    // entries show at the next poll; without a chart no run is marked.
    explicit JournalTab(const QString &path, Journal *live = nullptr, ChartTab *chart = nullptr,
                        QWidget *parent = nullptr);
    ~JournalTab() override;
    // A new tab in front of the Chart tab, whose chart marks the run picked; at the end when
    // that is not among the tabs.
    // The journal this process writes, live, or the default file without one.
    static JournalTab *addTo(QTabWidget *tabs, ChartTab *chart, Journal *live);
    static JournalTab *addTo(QTabWidget *tabs, ChartTab *chart, const QString &path,
                             Journal *live = nullptr);

    const QString &journalPath() const { return path; }
    JournalLoader::View view() const { return shownView; }
    JournalRowModel *runModel() const { return runRows; }
    JournalRowModel *changeModel() const { return changeRows; }
    // The query the filters make now.
    JournalLoader::Query query() const;

public slots:
    // Reads the journal now while the tab is shown, else as soon as it is.
    void refresh();
    void showView(JournalLoader::View view);
    // Brings the Chart tab forward, showing the run marked on it.
    void showOnChart();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void take(const JournalLoader::Page &page);
    void showState(const JournalLoader::Page &page);
    void showPumps(const QStringList &pumps);
    void markRun();
    QTableView *table() const;
    JournalRowModel *model() const;

    const QString path;
    QPointer<ChartTab> chart;
    QThread *thread;
    JournalLoader *loader;
    JournalLoader::View shownView = JournalLoader::View::Runs;
    bool busy = false;  // a read is under way
    bool again = false; // and another is wanted after it
    bool stale = true;  // a read is due when the tab is shown
    QTimer poll;
    QTimer settle;

    JournalRowModel *runRows;
    JournalRowModel *changeRows;
    QPushButton *runsButton;
    QPushButton *changesButton;
    QComboBox *periodBox;
    QLabel *kindLabel;
    QComboBox *kindBox;
    QLabel *pumpLabel;
    QComboBox *pumpBox;
    QStackedWidget *tables;
    QTableView *runTable;
    QTableView *changeTable;
    QLabel *stateLabel;
    QPushButton *chartButton;
    QLabel *chartLabel;
};
