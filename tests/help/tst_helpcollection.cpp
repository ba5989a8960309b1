// The built help collection, read the way the program reads it: through the help engine, with
// page URLs under qthelp://halvo.dosetta.1.0/doc/.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

#include <memory>

#ifndef DOSETTA_HELP_COLLECTION
#error "DOSETTA_HELP_COLLECTION must name the built HelpContentCol.qhc"
#endif

namespace {

const QString helpNamespace = QStringLiteral("halvo.dosetta.1.0");
const QString helpRoot = QStringLiteral("qthelp://halvo.dosetta.1.0/doc/");

// Every page a widget of the window is tagged with, spelled as the widgets carry them.
const QStringList mappedPages = {
    "main_screen.html",
    "stopbutton.html",
    "startbutton.html",
    "primebutton.html",
    "pausebutton.html",
    "flowrate.html",
    "modeselect.html",
    "dispensetime.html",
    "elapsedtime.html",
    "actualvolume.html",
    "connectionstate.html",
    "pumpstate.html",
    "settings.html",
    "fluidtype.html",
    "language.html",
    "calibvolume.html",
    "calibpercent.html",
    "contrast.html",
    "autostart.html",
    "defval.html",
    "maintenance.html",
    "input_output.html",
    "digin1.html",
    "digin2.html",
    "analin.html",
    "digout.html",
    "cycledose.html",
    "cycle.html",
    "breaktime.html",
    "status.html",
    "motormotion.html",
    "motoradj.html",
    "motordc.html",
    "in1low.html",
    "runmodeactive.html",
    "dispmodeactive.html",
    "masterstopactive.html",
    "in12ow.html",
    "pumperror.html",
    "displayon.html",
    "errorflags.html",
    "noerror.html",
    "overpressure.html",
    "motoradjustment.html",
    "noencodersignal.html",
    "signal4_20mAtoolow.html",
    "powersupplyfail.html",
    "maximumtempexceeded.html",
    "comm.html",
    "general.html",
    "commaddress.html",
    "pumpaddress.html",
    "testpump.html",
    "locatedaddress.html",
    "searchpump.html",
    "command.html",
    "protocolanswer.html",
    "unusedlrc.html",
    "incorrectlrc.html",
    "nocyclicdata.html",
    "comport.html",
    "comportupdate.html",
    "commmessage.html",
    "nocyclicdatadisp.html",
    "clearall.html",
    "network.html",
    "program.html",
    "programsteps.html",
    "programfile.html",
    "programcheck.html",
    "programrun.html",
    "programprogress.html",
    "journal.html",
    "chart.html",
    "record.html",
    "recordfile.html",
    "processchart.html",
    "chartview.html",
    "saveimage.html",
    "service.html",
    "help.html",
    "halvodocumentation.html",
};

// Pages no widget names: the start page F1 opens, the link troubleshooting the index leads to, and
// the questions asked before what cannot be undone.
const QStringList otherPages = {"index.html", "troubleshooting.html", "questions.html"};

QStringList allPages()
{
    return mappedPages + otherPages;
}

QUrl pageUrl(const QString &page)
{
    return QUrl(helpRoot + page);
}

QStringList attributeValues(const QByteArray &html, const QString &pattern)
{
    QStringList values;
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
    auto it = re.globalMatch(QString::fromLatin1(html));
    while (it.hasNext())
        values << it.next().captured(1);
    return values;
}

QStringList linksIn(const QByteArray &html)
{
    return attributeValues(html, QStringLiteral("\\b(?:href|src)\\s*=\\s*\"([^\"]*)\""));
}

QStringList anchorsIn(const QByteArray &html)
{
    return attributeValues(html, QStringLiteral("\\b(?:name|id)\\s*=\\s*\"([^\"]*)\""));
}

QUrl withoutFragment(QUrl url)
{
    url.setFragment(QString());
    return url;
}

} // namespace

class tst_HelpCollection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Pages
    void pageIsReadable_data();
    void pageIsReadable();

    // Links
    void linksResolve_data();
    void linksResolve();
    void indexLinksEveryPage();

    // Contents tree
    void contentsTreeHoldsEveryPageOnce();

private:
    QByteArray page(const QString &name) const { return engine->fileData(pageUrl(name)); }
    void collectContents(const QModelIndex &parent, QHash<QString, int> &urls) const;

    QTemporaryDir installDir;
    std::unique_ptr<QHelpEngine> engine;
};

void tst_HelpCollection::initTestCase()
{
    // Open a copy, as an installation does: the collection must find its help file by a path
    // relative to itself, and opening it must not depend on the build tree.
    QVERIFY(installDir.isValid());
    // The German collection runs the same checks, named in the environment.
    const QFileInfo built(
        qEnvironmentVariable("HELP_COLLECTION", QStringLiteral(DOSETTA_HELP_COLLECTION)));
    QVERIFY2(built.exists(), qPrintable(built.absoluteFilePath()));
    for (const QString &file :
         {QStringLiteral("HelpContentCol.qhc"), QStringLiteral("dosetta.qch")})
        QVERIFY2(QFile::copy(built.dir().filePath(file), installDir.filePath(file)),
                 qPrintable(file));

    engine =
        std::make_unique<QHelpEngine>(installDir.filePath(QStringLiteral("HelpContentCol.qhc")));
    QSignalSpy created(engine->contentModel(), &QHelpContentModel::contentsCreated);
    QVERIFY2(engine->setupData(), qPrintable(engine->error()));
    QVERIFY(engine->registeredDocumentations().contains(helpNamespace));

    if (created.isEmpty())
        QVERIFY(created.wait(20000));
}

void tst_HelpCollection::pageIsReadable_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : allPages())
        QTest::newRow(qPrintable(name)) << name;
}

void tst_HelpCollection::pageIsReadable()
{
    QFETCH(QString, name);
    const QByteArray data = page(name);
    QVERIFY2(!data.isEmpty(), "page missing from the collection");

    // The What's This pop-up takes the bytes up to the first zero byte as UTF-8, the help browser
    // guesses the encoding: 7-bit text with entities reads the same in both.
    for (int i = 0; i < data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(data.at(i));
        QVERIFY2(byte != 0 && byte < 0x80,
                 qPrintable(QStringLiteral("byte %1 at %2").arg(byte).arg(i)));
    }
    // Otherwise the pop-up shows the markup as plain text.
    QVERIFY(Qt::mightBeRichText(QString::fromLatin1(data)));

    QTextDocument doc;
    doc.setHtml(QString::fromLatin1(data));
    QVERIFY(!doc.metaInformation(QTextDocument::DocumentTitle).trimmed().isEmpty());
    const int words = doc.toPlainText()
                          .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)
                          .size();
    QVERIFY2(words >= 50, qPrintable(QStringLiteral("only %1 words").arg(words)));
}

void tst_HelpCollection::linksResolve_data()
{
    pageIsReadable_data();
}

void tst_HelpCollection::linksResolve()
{
    QFETCH(QString, name);
    const QByteArray data = page(name);
    QVERIFY(!data.isEmpty());
    const QStringList links = linksIn(data);
    QVERIFY2(links.size() >= 2, "a page leads on to related pages");

    for (const QString &link : links) {
        const QString context = name + QStringLiteral(" -> ") + link;
        const QUrl target = pageUrl(name).resolved(QUrl(link));
        // Help is read offline: nothing may point outside the collection.
        QVERIFY2(target.scheme() == QLatin1String("qthelp") && target.host() == helpNamespace,
                 qPrintable(context));
        // The pop-up hands a clicked link on as written; only an absolute URL finds its page
        // in the contents tree.
        if (withoutFragment(target).path().endsWith(QLatin1String(".html")))
            QVERIFY2(!QUrl(link).isRelative(), qPrintable(context));

        const QByteArray targetData = engine->fileData(withoutFragment(target));
        QVERIFY2(!targetData.isEmpty(), qPrintable(context));
        if (target.hasFragment())
            QVERIFY2(anchorsIn(targetData).contains(target.fragment()), qPrintable(context));
    }
}

void tst_HelpCollection::indexLinksEveryPage()
{
    QSet<QString> linked;
    for (const QString &link : linksIn(page(QStringLiteral("index.html"))))
        linked << withoutFragment(pageUrl(QStringLiteral("index.html")).resolved(QUrl(link)))
                      .toString();

    // Every page in the collection, not only the known ones: a page added later must be reachable.
    const QList<QUrl> files = engine->files(helpNamespace, QString(), QStringLiteral("html"));
    QVERIFY(files.size() >= allPages().size());
    for (const QUrl &file : files) {
        if (file == pageUrl(QStringLiteral("index.html")))
            continue;
        QVERIFY2(linked.contains(file.toString()), qPrintable(file.toString()));
    }
}

void tst_HelpCollection::collectContents(const QModelIndex &parent, QHash<QString, int> &urls) const
{
    QHelpContentModel *model = engine->contentModel();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        ++urls[model->contentItemAt(index)->url().toString()];
        collectContents(index, urls);
    }
}

void tst_HelpCollection::contentsTreeHoldsEveryPageOnce()
{
    // Showing a page selects its entry in the contents tree; a page that is missing there, or
    // listed twice, cannot be selected reliably.
    QHelpContentModel *model = engine->contentModel();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->contentItemAt(model->index(0, 0))->url(),
             pageUrl(QStringLiteral("index.html")));

    QHash<QString, int> urls;
    collectContents(QModelIndex(), urls);
    for (const QString &name : allPages())
        QVERIFY2(urls.value(pageUrl(name).toString()) == 1,
                 qPrintable(QStringLiteral("%1 listed %2 times")
                                .arg(name)
                                .arg(urls.value(pageUrl(name).toString()))));
    QCOMPARE(urls.size(), allPages().size());
}

QTEST_MAIN(tst_HelpCollection)
#include "tst_helpcollection.moc"
