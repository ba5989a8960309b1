#include "FrameAssembler.h"
#include "SimProtocol.h"

#include <QtTest>

#include <random>

using namespace fluxosim;
using Kind = FrameAssembler::Kind;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

// One letter per piece: F frame, J junk, O overlong, S stalled.
QString kinds(const std::vector<FrameAssembler::Piece> &pieces)
{
    QString out;
    for (const auto &piece : pieces)
        out += piece.kind == Kind::Frame      ? 'F'
               : piece.kind == Kind::Junk     ? 'J'
               : piece.kind == Kind::Overlong ? 'O'
                                              : 'S';
    return out;
}

// A frame whose check byte is STX itself: the assembler must not take it for a new frame.
QByteArray frameWithStxCheck()
{
    const std::string head = std::string(1, STX) + "01DV";
    const char pad = static_cast<char>(lrc(head + ETX) ^ STX); // makes the LRC come out as STX
    std::string f = head + pad + ETX;
    f += static_cast<char>(lrc(f));
    Q_ASSERT(f.back() == STX);
    return bytes(f);
}

} // namespace

class FrameAssemblerTest : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data();
    void pieces();
    void stalledFrameExpires();
    void randomStreamsStayBounded();
};

void FrameAssemblerTest::pieces_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunk"); // bytes per feed, 0 = all at once
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("lastFrame");

    const QByteArray query = bytes(commandFrame(1, "?DV"));
    const QByteArray set = bytes(commandFrame(1, "DV00012500"));
    QTest::newRow("one frame") << query << 0 << "F" << query;
    QTest::newRow("one frame, byte by byte") << set << 1 << "F" << set;
    QTest::newRow("two frames in one read") << query + set << 0 << "FF" << set;
    QTest::newRow("noise then frame") << QByteArray("\xff\x06x") + query << 0 << "JF" << query;
    QTest::newRow("trailing noise") << query + "zz" << 0 << "FJ" << query;
    QTest::newRow("check byte equal to STX") << frameWithStxCheck() + query << 0 << "FF" << query;
    QTest::newRow("STX restarts an unfinished frame") << QByteArray("\x02"
                                                                    "01DV") +
                                                             query
                                                      << 3 << "SF" << query;
    QTest::newRow("overlong text is dropped, rest is junk")
        << QByteArray(1, STX) + QByteArray(60, 'A') + query << 0 << "OJF" << query;
    QTest::newRow("NUL bytes inside a frame pass") << QByteArray("\x02"
                                                                 "01\x00\x00\x03\x31",
                                                                 7)
                                                   << 0 << "F"
                                                   << QByteArray("\x02"
                                                                 "01\x00\x00\x03\x31",
                                                                 7);
}

void FrameAssemblerTest::pieces()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunk);
    QFETCH(QString, expected);
    QFETCH(QByteArray, lastFrame);

    FrameAssembler assembler;
    std::vector<FrameAssembler::Piece> out;
    const int step = chunk > 0 ? chunk : stream.size();
    for (int i = 0; i < stream.size(); i += step)
        assembler.feed(stream.constData() + i, std::min(step, stream.size() - i), i, out);
    QCOMPARE(kinds(out), expected);
    QByteArray last;
    for (const auto &piece : out)
        if (piece.kind == Kind::Frame)
            last = bytes(piece.bytes);
    QCOMPARE(last, lastFrame);
    QCOMPARE(assembler.buffered(), std::size_t(0));
}

void FrameAssemblerTest::stalledFrameExpires()
{
    FrameAssembler assembler(100000);
    std::vector<FrameAssembler::Piece> out;
    const QByteArray partial("\x02"
                             "01?DV");
    assembler.feed(partial.constData(), partial.size(), 1000, out);
    QCOMPARE(assembler.nextDeadlineUs(), std::int64_t(101001));
    assembler.expire(100000, out);
    QVERIFY(out.empty());
    assembler.expire(101001, out);
    QCOMPARE(kinds(out), QString("S"));
    QCOMPARE(bytes(out[0].bytes), partial);
    QCOMPARE(assembler.nextDeadlineUs(), std::int64_t(-1));
    // The next frame is read cleanly, not glued to the stale bytes.
    const std::string query = commandFrame(1, "?DV");
    assembler.feed(query.data(), query.size(), 200000, out);
    QCOMPARE(kinds(out), QString("SF"));
    QCOMPARE(out.back().firstUs, std::int64_t(200000));
}

void FrameAssemblerTest::randomStreamsStayBounded()
{
    FrameAssembler assembler;
    std::mt19937 random(99);
    std::vector<FrameAssembler::Piece> out;
    std::size_t total = 0;
    std::size_t accounted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string chunk(random() % 300, '\0');
        for (char &c : chunk) // control bytes often, to form many partial frames
            c = static_cast<char>(random() % 3 == 0 ? random() % 4 : random() % 256);
        total += chunk.size();
        out.clear();
        assembler.feed(chunk.data(), chunk.size(), round * 1000, out);
        for (const auto &piece : out) {
            QVERIFY(piece.bytes.size() <= FrameAssembler::maxFrame);
            QVERIFY(piece.length >= piece.bytes.size());
            if (piece.kind == Kind::Frame)
                QCOMPARE(piece.bytes[piece.bytes.size() - 2], ETX);
            accounted += piece.length;
        }
        QVERIFY(assembler.buffered() <= FrameAssembler::maxFrame);
    }
    out.clear();
    assembler.expire(std::int64_t(1) << 40, out);
    for (const auto &piece : out)
        accounted += piece.length;
    QCOMPARE(accounted, total); // every byte is either in a frame or reported as dropped
}

QTEST_GUILESS_MAIN(FrameAssemblerTest)
#include "FrameAssemblerTest.moc"
