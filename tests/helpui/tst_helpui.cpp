// Context help in the program's window, with the help collection the build produced: the page
// map against the collection, F1 and Shift+F1, What's This requests, the caption's help button
// and links clicked in a What's This pop-up. Runs with the build's bin/ as working directory,
// where ./doc/HelpContentCol.qhc is.

#include "BusinessLogic/LoggingCommandStack.h"
#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"
#include "help/HelpContent.h"
#include "help/WindowCaptionEventFilter.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEngine>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWhatsThis>
#include <QWhatsThisClickedEvent>
#include <QtTest>

#include <memory>

namespace {

const QString collectionFile = QStringLiteral("doc/HelpContentCol.qhc");

// The window as start-up leaves it: the help map tags its widgets, the caption filter watches
// the whole application.
struct HelpWindow
{
    HelpWindow() { qApp->installEventFilter(filter); }

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    mainForm window{core, runner, qobject_cast<QApplication *>(qApp)};
    HelpContent helpMap{&window, &window};
    WindowCaptionEventFilter *filter = new WindowCaptionEventFilter(&window, &window);
};

QString titleOf(const QByteArray &page)
{
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    return title.match(QString::fromUtf8(page)).captured(1).trimmed();
}

// The toolkit's What's This pop-up, if one is showing.
bool whatsThisPopupShown()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), "QWhatsThat") == 0 && widget->isVisible())
            return true;
    }
    return false;
}

} // namespace

class HelpUiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void collectionLocated_data();
    void collectionLocated();
    void collectionFollowsLanguage_data();
    void collectionFollowsLanguage();
    void germanHelpInWindow();
    void collectionHoldsPage_data();
    void collectionHoldsPage();
    void widgetsCarryTheirPage_data();
    void widgetsCarryTheirPage();

    void f1OpensIndex_data();
    void f1OpensIndex();
    void helpKeys_data();
    void helpKeys();
    void whatsThisRequest_data();
    void whatsThisRequest();
    void captionRectangle_data();
    void captionRectangle();
    void captionPress_data();
    void captionPress();
    void whatsThisLinkClick_data();
    void whatsThisLinkClick();

private:
    template<class W = QWidget>
    W *find(const QString &name) const
    {
        return help->window.findChild<W *>(name);
    }
    QHelpEngine *engine() const { return help->window.helpEngine(); }
    QTabWidget *tabs() const { return find<QTabWidget>(QStringLiteral("TabsExtendedSettings")); }
    HelpBrowser *browser() const { return help->window.findChild<HelpBrowser *>(); }
    bool showActive();

    std::unique_ptr<HelpWindow> help;
};

void HelpUiTest::initTestCase()
{
    QVERIFY2(QFile::exists(collectionFile),
             "run with the build's bin/ as working directory, after building help_collection");
}

void HelpUiTest::init()
{
    if (!help)
        help = std::make_unique<HelpWindow>();
}

void HelpUiTest::cleanup()
{
    QWhatsThis::leaveWhatsThisMode();
    QWhatsThis::hideText();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Tests that show the window or open help leave it changed: the next one gets a new one.
    static const QByteArrayList keepWindow = {"collectionLocated",     "collectionHoldsPage",
                                              "widgetsCarryTheirPage", "whatsThisRequest",
                                              "captionRectangle",      "captionPress"};
    if (!keepWindow.contains(QTest::currentTestFunction()))
        help.reset();
}

bool HelpUiTest::showActive()
{
    help->window.show();
    QApplication::setActiveWindow(&help->window);
    return QTest::qWaitForWindowActive(&help->window);
}

// ---------------------------------------------------------------------------------------------
// Where the collection comes from

void HelpUiTest::collectionLocated_data()
{
    QTest::addColumn<bool>("ownCollection");
    QTest::addColumn<bool>("leaveBuildTree");
    // Unless null: written where ./doc's collection would be.
    QTest::addColumn<QByteArray>("ownFile");

    QTest::newRow("build tree: ./doc of the working directory") << false << false << QByteArray();
    QTest::newRow("another directory with its own ./doc: that one") << true << true << QByteArray();
    QTest::newRow("another directory without ./doc: the one beside the program")
        << false << true << QByteArray();
    QTest::newRow("./doc holds no collection: the one beside the program")
        << false << true << QByteArray("<html>not a help collection</html>\n");
    QTest::newRow("./doc holds an empty file: the one beside the program")
        << false << true << QByteArray("", 0);
}

void HelpUiTest::collectionLocated()
{
    QFETCH(bool, ownCollection);
    QFETCH(bool, leaveBuildTree);
    QFETCH(QByteArray, ownFile);
    const QString buildCollection = QFileInfo(collectionFile).absoluteFilePath();
    const QString saved = QDir::currentPath();
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    QString expected = buildCollection;
    if (ownCollection) {
        QVERIFY(QDir(elsewhere.path()).mkdir(QStringLiteral("doc")));
        expected = QDir(elsewhere.path()).filePath(collectionFile);
        QVERIFY(QFile::copy(buildCollection, expected));
    }
    if (!ownFile.isNull()) {
        QVERIFY(QDir(elsewhere.path()).mkdir(QStringLiteral("doc")));
        QFile own(QDir(elsewhere.path()).filePath(collectionFile));
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.write(ownFile);
    }
    if (leaveBuildTree)
        QVERIFY(QDir::setCurrent(elsewhere.path()));
    const QString located = QFileInfo(HelpCollection::locate()).canonicalFilePath();
    QDir::setCurrent(saved);
    QCOMPARE(located, QFileInfo(expected).canonicalFilePath());
}

void HelpUiTest::collectionFollowsLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("germanThere");
    QTest::addColumn<QString>("expected");

    QTest::newRow("English: doc/") << int(QLocale::English) << true << "doc/HelpContentCol.qhc";
    QTest::newRow("French: doc/") << int(QLocale::French) << true << "doc/HelpContentCol.qhc";
    QTest::newRow("German: doc/de/") << int(QLocale::German) << true << "doc/de/HelpContentCol.qhc";
    QTest::newRow("German without doc/de/: doc/")
        << int(QLocale::German) << false << "doc/HelpContentCol.qhc";
}

void HelpUiTest::collectionFollowsLanguage()
{
    QFETCH(int, language);
    QFETCH(bool, germanThere);
    QFETCH(QString, expected);
    // A working directory of its own with both built collections in ./doc, found before the ones
    // beside the program.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QDir target(elsewhere.path());
    QStringList dirs{QStringLiteral("doc")};
    if (germanThere)
        dirs << QStringLiteral("doc/de");
    for (const QString &dir : dirs) {
        QVERIFY(target.mkpath(dir));
        for (const QString &file :
             {QStringLiteral("/HelpContentCol.qhc"), QStringLiteral("/dosetta.qch")})
            QVERIFY(QFile::copy(dir + file, target.filePath(dir + file)));
    }
    const QString saved = QDir::currentPath();
    const QLocale savedLocale;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QLocale::setDefault(QLocale(QLocale::Language(language)));
    const QString located = QFileInfo(HelpCollection::locate()).canonicalFilePath();
    QLocale::setDefault(savedLocale);
    QDir::setCurrent(saved);
    QCOMPARE(located, QFileInfo(target.filePath(expected)).canonicalFilePath());
}

// A window started in German shows the German pages under the same page URLs.
void HelpUiTest::germanHelpInWindow()
{
    const QLocale savedLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    help = std::make_unique<HelpWindow>();
    QLocale::setDefault(savedLocale);
    QVERIFY(showActive());

    QTest::keyClick(&help->window, Qt::Key_F1);
    QCOMPARE(browser()->source(), HelpCollection::indexUrl());
    QCOMPARE(browser()->documentTitle().trimmed(), QStringLiteral("DOSETTA-Hilfe"));

    help->window.showHelpPage(HelpCollection::pageUrl(QStringLiteral("flowrate.html")));
    QCOMPARE(browser()->documentTitle().trimmed(),
             QString::fromUtf8("Sollwert (F\xc3\xb6rderrate oder Volumen)"));
}

void HelpUiTest::collectionHoldsPage_data()
{
    QTest::addColumn<QString>("page");

    QTest::newRow("index.html") << QStringLiteral("index.html");
    for (const HelpContent::Page &entry : HelpContent::pages())
        QTest::newRow(entry.page) << QString::fromLatin1(entry.page);
}

void HelpUiTest::collectionHoldsPage()
{
    QFETCH(QString, page);
    const QByteArray data = engine()->fileData(HelpCollection::pageUrl(page));
    QVERIFY2(!data.isEmpty(), qPrintable(page + " is not in the collection"));
    QVERIFY2(!titleOf(data).isEmpty(), qPrintable(page + " has no title"));
}

// A widget renamed in the layout but not in the map would silently lose its help.
void HelpUiTest::widgetsCarryTheirPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("widgets");

    for (const HelpContent::Page &entry : HelpContent::pages()) {
        QStringList widgets;
        for (const char *name : entry.widgets)
            widgets << QString::fromLatin1(name);
        QTest::newRow(entry.page) << QString::fromLatin1(entry.page) << widgets;
    }
}

void HelpUiTest::widgetsCarryTheirPage()
{
    QFETCH(QString, page);
    QFETCH(QStringList, widgets);
    for (const QString &name : widgets) {
        QWidget *widget = find(name);
        QVERIFY2(widget != nullptr, qPrintable(name + " is not in the window"));
        QCOMPARE(widget->property(HelpCollection::PageProperty).toString(), page);
    }
}

// ---------------------------------------------------------------------------------------------
// F1 and Shift+F1

void HelpUiTest::f1OpensIndex_data()
{
    QTest::addColumn<bool>("advancedShown");
    QTest::addColumn<QString>("startTab");

    QTest::newRow("advanced screen hidden") << false << QString();
    QTest::newRow("advanced screen shown at the status tab") << true << QStringLiteral("TabStatus");
}

void HelpUiTest::f1OpensIndex()
{
    QFETCH(bool, advancedShown);
    QFETCH(QString, startTab);
    QVERIFY(showActive());
    if (advancedShown) {
        help->window.toggleAdvancedScreen();
        tabs()->setCurrentWidget(find(startTab));
    }
    QCOMPARE(tabs()->isVisible(), advancedShown);

    QTest::keyClick(&help->window, Qt::Key_F1);

    QVERIFY(tabs()->isVisible());
    QCOMPARE(tabs()->currentWidget(), find(QStringLiteral("tabHelp")));
    QCOMPARE(browser()->source(), HelpCollection::indexUrl());
    const QString title = titleOf(engine()->fileData(HelpCollection::indexUrl()));
    QVERIFY(!title.isEmpty());
    QCOMPARE(browser()->documentTitle().trimmed(), title);
}

void HelpUiTest::helpKeys_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("whatsThisMode");
    QTest::addColumn<bool>("helpTab");

    QTest::newRow("F1: Help tab") << int(Qt::NoModifier) << false << true;
    // The stand-in for the caption's help button that X11 window managers keep to themselves.
    QTest::newRow("Shift+F1: What's This mode") << int(Qt::ShiftModifier) << true << false;
}

void HelpUiTest::helpKeys()
{
    QFETCH(int, modifiers);
    QFETCH(bool, whatsThisMode);
    QFETCH(bool, helpTab);
    QVERIFY(showActive());
    QVERIFY(!QWhatsThis::inWhatsThisMode());

    QTest::keyClick(&help->window, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));

    QCOMPARE(QWhatsThis::inWhatsThisMode(), whatsThisMode);
    QCOMPARE(tabs()->isVisible(), helpTab);
}

// ---------------------------------------------------------------------------------------------
// What's This

void HelpUiTest::whatsThisRequest_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("page");

    QTest::newRow("start button") << "buttonStart"
                                  << "buttonStart"
                                  << "startbutton.html";
    QTest::newRow("hours unit of the dispense time") << "labelTimeTargetUnitHours"
                                                     << "labelTimeTargetUnitHours"
                                                     << "dispensetime.html";
    QTest::newRow("set-point field") << "lineEditVolume"
                                     << "lineEditVolume"
                                     << "flowrate.html";
    QTest::newRow("unit label without a page: its group's page") << "labelUnit_ml_2"
                                                                 << "groupAdvanced"
                                                                 << "settings.html";
    QTest::newRow("hardware label: no page up to the window") << "labelHW"
                                                              << ""
                                                              << "";
}

void HelpUiTest::whatsThisRequest()
{
    QFETCH(QString, widget);
    QFETCH(QString, holder);
    QFETCH(QString, page);
    QWidget *target = find(widget);
    QVERIFY(target != nullptr);
    QVERIFY(!whatsThisPopupShown());

    const QPoint at(2, 2);
    QHelpEvent request(QEvent::WhatsThis, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &request);

    if (page.isEmpty()) {
        QVERIFY(target->whatsThis().isEmpty());
        QVERIFY(!request.isAccepted());
        QVERIFY(!whatsThisPopupShown());
        return;
    }
    const QByteArray data = engine()->fileData(HelpCollection::pageUrl(page));
    QVERIFY(!data.isEmpty());
    QCOMPARE(find(holder)->whatsThis(), QString::fromUtf8(data.constData()));
    QVERIFY(request.isAccepted());
    QVERIFY(whatsThisPopupShown());
}

// Measured from the window's right edge (x) and upwards from the client area (y).
void HelpUiTest::captionRectangle_data()
{
    QTest::addColumn<int>("dotsPerInch");
    QTest::addColumn<QRect>("button");

    QTest::newRow("96 dpi") << 96 << QRect(QPoint(48, 10), QPoint(76, 30));
    QTest::newRow("144 dpi") << 144 << QRect(QPoint(72, 15), QPoint(114, 45));
}

void HelpUiTest::captionRectangle()
{
    QFETCH(int, dotsPerInch);
    QFETCH(QRect, button);
    QCOMPARE(WindowCaptionEventFilter::helpButtonRect(dotsPerInch), button);
}

void HelpUiTest::captionPress_data()
{
    QTest::addColumn<int>("fromRight");
    QTest::addColumn<int>("above");
    QTest::addColumn<bool>("whatsThisMode");

    QTest::newRow("help button: 60 px from the right, 20 px up") << 60 << 20 << true;
    QTest::newRow("close button side: 40 px from the right") << 40 << 20 << false;
    QTest::newRow("button's right edge, 48 px") << 48 << 20 << true;
    QTest::newRow("one pixel right of it, 47 px") << 47 << 20 << false;
    QTest::newRow("button's left edge, 76 px") << 76 << 20 << true;
    QTest::newRow("one pixel left of it, 77 px") << 77 << 20 << false;
    QTest::newRow("button's top edge, 30 px up") << 60 << 30 << true;
    QTest::newRow("above the button, 31 px up") << 60 << 31 << false;
    QTest::newRow("button's bottom edge, 10 px up") << 60 << 10 << true;
    QTest::newRow("below the button, 9 px up") << 60 << 9 << false;
}

void HelpUiTest::captionPress()
{
    QFETCH(int, fromRight);
    QFETCH(int, above);
    QFETCH(bool, whatsThisMode);
    // The rows are for 96 dpi, which main() asks for.
    QCOMPARE(help->window.logicalDpiX(), 96);
    QVERIFY(!QWhatsThis::inWhatsThisMode());

    const QPointF local(help->window.minimumWidth() - fromRight, -above);
    QMouseEvent press(QEvent::NonClientAreaMouseButtonPress, local, local, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&help->window, &press);

    QCOMPARE(QWhatsThis::inWhatsThisMode(), whatsThisMode);
}

void HelpUiTest::whatsThisLinkClick_data()
{
    QTest::addColumn<QString>("page");

    QTest::newRow("stop button page") << QStringLiteral("stopbutton.html");
    QTest::newRow("dispense time page") << QStringLiteral("dispensetime.html");
    QTest::newRow("troubleshooting page") << QStringLiteral("troubleshooting.html");
}

void HelpUiTest::whatsThisLinkClick()
{
    QFETCH(QString, page);
    const QUrl link = HelpCollection::pageUrl(page);
    QVERIFY(!tabs()->isVisibleTo(&help->window));
    QWhatsThis::enterWhatsThisMode();

    QWhatsThisClickedEvent click(link.toString());
    const bool consumed = QApplication::sendEvent(find(QStringLiteral("buttonStart")), &click);

    QVERIFY(consumed);
    QVERIFY(!QWhatsThis::inWhatsThisMode());
    QVERIFY(tabs()->isVisibleTo(&help->window));
    QCOMPARE(tabs()->currentWidget(), find(QStringLiteral("tabHelp")));
    QCOMPARE(browser()->source(), link);
    const QString title = titleOf(engine()->fileData(link));
    QVERIFY(!title.isEmpty());
    QCOMPARE(browser()->documentTitle().trimmed(), title);
}

int main(int argc, char *argv[])
{
    // The caption rows are in pixels at 96 dpi; a headless screen reports 100 unless told.
    qputenv("QT_FONT_DPI", "96");
    QApplication application(argc, argv);
    HelpUiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_helpui.moc"
