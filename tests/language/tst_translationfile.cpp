// translations/dosetta_de.ts against the sources: every message translated, its placeholders
// kept, and no text in the sources that lupdate would add to it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

QVector<Message> readTs(const QString &path, QString *error)
{
    QVector<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            m = Message{context, {}, {}, {}};
        } else if (name == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            messages << m;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

// The placeholders of a text, sorted: %1, %L2, ...
QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%L?\\d+"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

QString key(const Message &m)
{
    return m.context + QLatin1Char('|') + m.source;
}

} // namespace

class tst_TranslationFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyMessage_data();
    void everyMessage();
    void sourcesHaveNothingNew();

private:
    QVector<Message> committed;
};

void tst_TranslationFile::initTestCase()
{
    QString error;
    committed = readTs(QStringLiteral(DOSETTA_TS_FILE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // The form alone has well over a hundred texts: a file this short was cut.
    QVERIFY2(committed.size() > 300, qPrintable(QString::number(committed.size())));
}

void tst_TranslationFile::everyMessage_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("type");
    for (const Message &m : qAsConst(committed)) {
        const QString row = m.context + QLatin1String(": ") + m.source.left(60);
        QTest::newRow(qPrintable(row)) << m.source << m.translation << m.type;
    }
}

void tst_TranslationFile::everyMessage()
{
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(QString, type);
    // Finished, current, not empty, and every %n of the source in it (a lost %1 drops a value
    // from the window).
    QVERIFY2(type.isEmpty(), qPrintable(type));
    QVERIFY(!translation.trimmed().isEmpty());
    QCOMPARE(placeholders(translation), placeholders(source));
    // Leading and trailing blanks pad or join texts on the screen.
    QCOMPARE(translation.startsWith(QLatin1Char(' ')), source.startsWith(QLatin1Char(' ')));
    QCOMPARE(translation.endsWith(QLatin1Char(' ')), source.endsWith(QLatin1Char(' ')));
}

void tst_TranslationFile::sourcesHaveNothingNew()
{
    // lupdate over the sources into a copy: a text in the sources that the committed file lacks
    // shows up as a new message in the copy.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("dosetta_de.ts"));
    QVERIFY(QFile::copy(QStringLiteral(DOSETTA_TS_FILE), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    const QStringList folders = QStringLiteral(DOSETTA_TRANSLATED_SOURCES).split(QLatin1Char(':'));
    lupdate.start(QStringLiteral(DOSETTA_LUPDATE),
                  QStringList{QStringLiteral("-silent"), QStringLiteral("-locations"),
                              QStringLiteral("none"), QStringLiteral("-no-obsolete")} +
                      folders + QStringList{QStringLiteral("-ts"), copy});
    QVERIFY(lupdate.waitForFinished(90000));
    QCOMPARE(lupdate.exitCode(), 0);

    QString error;
    const QVector<Message> updated = readTs(copy, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QSet<QString> known;
    for (const Message &m : qAsConst(committed))
        known << key(m);
    QStringList added;
    QSet<QString> current;
    for (const Message &m : updated) {
        current << key(m);
        if (!known.contains(key(m)))
            added << key(m);
    }
    QStringList gone;
    for (const Message &m : qAsConst(committed)) {
        if (!current.contains(key(m)))
            gone << key(m);
    }
    QVERIFY2(added.isEmpty(), qPrintable(QStringLiteral("not in the .ts (run the dosetta_lupdate "
                                                        "target and translate): ") +
                                         added.join(QLatin1String(" / "))));
    QVERIFY2(gone.isEmpty(), qPrintable(QStringLiteral("no longer in the sources: ") +
                                        gone.join(QLatin1String(" / "))));
}

QTEST_GUILESS_MAIN(tst_TranslationFile)
#include "tst_translationfile.moc"
