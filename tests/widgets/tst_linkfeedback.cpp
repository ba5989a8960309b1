// The link label and the fading command feedback, without a widget: what each kind of last
// exchange shows, with the port open or closed, and how the feedback fades between them.

#include "ui/LinkFeedback.h"

#include <QtTest>

using Heard = LinkFeedback::Heard;
using Kind = LinkState::Kind;
using O = BusinessLogic::AnswerOutcome;

Q_DECLARE_METATYPE(Heard)
Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(O)

class tst_LinkFeedback : public QObject
{
    Q_OBJECT

private slots:
    void heard_data();
    void heard();
    void update_data();
    void update();
};

void tst_LinkFeedback::heard_data()
{
    QTest::addColumn<O>("outcome");
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<bool>("commCheck");
    QTest::addColumn<Heard>("heard");

    QTest::newRow("setting acknowledged") << O::Answered << true << false << Heard::Ack;
    QTest::newRow("query's data frame") << O::Answered << false << false << Heard::Nothing;
    QTest::newRow("link check answered") << O::Answered << false << true << Heard::AddressAnswer;
    QTest::newRow("setting refused") << O::Nak << true << false << Heard::Nak;
    QTest::newRow("query refused") << O::Nak << false << false << Heard::Nak;
    QTest::newRow("query met silence") << O::Silent << false << false << Heard::Silence;
    QTest::newRow("link check met silence") << O::Silent << false << true << Heard::Silence;
    QTest::newRow("garbled link check answer")
        << O::InvalidFrame << false << true << Heard::Nothing;
    QTest::newRow("setting taken without a word")
        << O::Unacknowledged << true << false << Heard::Nothing;
}

void tst_LinkFeedback::heard()
{
    QFETCH(O, outcome);
    QFETCH(bool, acknowledged);
    QFETCH(bool, commCheck);
    QFETCH(Heard, heard);
    QCOMPARE(LinkFeedback::heard(outcome, acknowledged, commCheck), heard);
}

void tst_LinkFeedback::update_data()
{
    QTest::addColumn<Heard>("heard");
    QTest::addColumn<int>("fadeBefore");
    QTest::addColumn<QColor>("colourBefore");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<Kind>("link");
    QTest::addColumn<QString>("connection"); // "-": the label is left as it is
    QTest::addColumn<QString>("connectionSheet");
    QTest::addColumn<QString>("transmission"); // "-": the text is left as it is
    QTest::addColumn<QString>("transmissionSheet");
    QTest::addColumn<bool>("clearUserAction");
    QTest::addColumn<bool>("linkLost");
    QTest::addColumn<int>("fadeAfter");

    const QColor blue(0, 149, 216);
    const QColor red(255, 0, 0);
    const QString connected = QStringLiteral("PUMP CONNECTED");
    const QString connectedSheet = QStringLiteral("color:rgb(0,149,216);");
    const QString lostSheet = QStringLiteral("color:rgb(255,100,0); font-size:12pt;");

    QTest::newRow("ACK after a faded refusal: blue at full strength")
        << Heard::Ack << 40 << red << true << Kind::Connected << connected << connectedSheet
        << "COMMAND ACCEPTED"
        << "color:rgba(0,149,216,100%);" << true << false << 100;
    QTest::newRow("NAK: red at full strength")
        << Heard::Nak << 0 << blue << true << Kind::Connected << connected << connectedSheet
        << "COMMAND NOT ACCEPTED (RANGE)"
        << "color:rgba(255,0,0,100%);" << true << false << 100;
    QTest::newRow("silence, port open: fades one step, then starts again full")
        << Heard::Silence << 100 << blue << true << Kind::Silent << "PUMP DISCONNECTED (PORT opend)"
        << lostSheet << ""
        << "color:rgba(0,149,216,96%);" << true << true << 100;
    QTest::newRow("silence, port closed")
        << Heard::Silence << 20 << red << false << Kind::PortClosed
        << "PUMP DISCONNECTED (PORT unavailable)" << lostSheet << ""
        << "color:rgba(255,0,0,16%);" << true << true << 100;
    QTest::newRow("address answer keeps the feedback fading")
        << Heard::AddressAnswer << 50 << red << true << Kind::Connected << connected
        << connectedSheet << "-"
        << "color:rgba(255,0,0,46%);" << true << false << 46;
    QTest::newRow("data frame on a live link: last fade step")
        << Heard::Nothing << 8 << blue << true << Kind::Connected << connected << connectedSheet
        << "-"
        << "color:rgba(0,149,216,4%);" << false << false << 4;
    QTest::newRow("faded out stays at 0 %") << Heard::Nothing << 0 << blue << true
                                            << Kind::Connected << connected << connectedSheet << "-"
                                            << "color:rgba(0,149,216,0%);" << false << false << 0;
    QTest::newRow("garbled frames leave the label alone")
        << Heard::Nothing << 100 << blue << true << Kind::UncheckedFrames << "-"
        << ""
        << "-"
        << "color:rgba(0,149,216,96%);" << false << false << 96;
    QTest::newRow("ACK from a chattering line: no pump")
        << Heard::Ack << 100 << blue << true << Kind::PortProblem
        << "PUMP DISCONNECTED (PORT opend)" << lostSheet << "COMMAND ACCEPTED"
        << "color:rgba(0,149,216,100%);" << true << false << 100;
}

void tst_LinkFeedback::update()
{
    QFETCH(Heard, heard);
    QFETCH(int, fadeBefore);
    QFETCH(QColor, colourBefore);
    QFETCH(bool, portOpen);
    QFETCH(Kind, link);
    QFETCH(QString, connection);
    QFETCH(QString, connectionSheet);
    QFETCH(QString, transmission);
    QFETCH(QString, transmissionSheet);
    QFETCH(bool, clearUserAction);
    QFETCH(bool, linkLost);
    QFETCH(int, fadeAfter);

    LinkState state;
    state.kind = link;
    state.portOpen = portOpen;
    const LinkFeedback::Result r =
        LinkFeedback::update(heard, fadeBefore, colourBefore, portOpen, state);

    QCOMPARE(r.connection ? r.connection->text : QStringLiteral("-"), connection);
    QCOMPARE(r.connection ? r.connection->sheet : QString(), connectionSheet);
    QCOMPARE(r.transmission ? *r.transmission : QStringLiteral("-"), transmission);
    QCOMPARE(r.transmissionSheet, transmissionSheet);
    QCOMPARE(r.clearUserAction, clearUserAction);
    QCOMPARE(r.linkLost, linkLost);
    QCOMPARE(r.fadePercent, fadeAfter);
}

QTEST_APPLESS_MAIN(tst_LinkFeedback)
#include "tst_linkfeedback.moc"
