// The set-point field and its focus frame as the operator uses them: wheel notches on the
// focused field, the frame border, Return and Enter, and a click that focuses without moving the
// caret. The wheel clock is replaced by a hand-advanced one.

#include "SheetRules.h"

#include "ui/FrameEventHandler.h"
#include "ui/MouseEventLineEdit.h"

#include <QHBoxLayout>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

const QString blackBorder = QStringLiteral("2px solid black on rgb(240,240,240)");
const QString noBorder = QStringLiteral("2px solid transparent on rgb(240,240,240)");

// The frame's border and background as its sheet puts them in effect.
QString frameLook(const QWidget *frame)
{
    const SheetRules rules(frame->styleSheet());
    const QString s = QStringLiteral("FrameEventHandler");
    return QStringLiteral("%1 %2 %3 on %4")
        .arg(rules.value(s, "border-width"), rules.value(s, "border-style"),
             rules.value(s, "border-color"), rules.value(s, "background-color"));
}

// A window with two framed fields, as the screen has them; the second one takes the focus away.
struct Fields
{
    QWidget window;
    FrameEventHandler *frame = new FrameEventHandler(&window);
    MouseEventLineEdit *field = new MouseEventLineEdit(frame);
    FrameEventHandler *otherFrame = new FrameEventHandler(&window);
    MouseEventLineEdit *other = new MouseEventLineEdit(otherFrame);
    qint64 now = 100000;

    Fields(const QString &name, double minimum, double maximum)
    {
        auto *row = new QHBoxLayout(&window);
        row->addWidget(frame);
        row->addWidget(otherFrame);
        (new QHBoxLayout(frame))->addWidget(field);
        (new QHBoxLayout(otherFrame))->addWidget(other);
        field->setObjectName(name);
        other->setObjectName("lineEditOther");
        field->minimum = minimum;
        field->maximum = maximum;
        field->setClock([this] { return now; });
        other->setClock([this] { return now; });
    }

    bool showAndFocus(MouseEventLineEdit *target)
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        target->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([target] { return target->hasFocus(); });
    }

    // One notch after the given pause since the previous wheel event; true if it was taken.
    bool notch(MouseEventLineEdit *target, qint64 afterMs, int delta)
    {
        now += afterMs;
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    }
};

} // namespace

class tst_ValueEntry : public QObject
{
    Q_OBJECT

private slots:
    void wheel_data();
    void wheel();
    void unfocusedFieldIgnoresWheel();
    void focusFrame_data();
    void focusFrame();
    void clickFocusesWithoutMovingCaret();
};

// ---- wheel

void tst_ValueEntry::wheel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("text");
    // Pause before each notch and its direction, and the text after it.
    QTest::addColumn<QList<int>>("pausesMs");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("volume 12.50, slow notch up")
        << "lineEditVolume" << 1.0 << 999.9 << "12.50" << QList<int>{1000} << QList<int>{120}
        << QStringList{"12.51"};
    QTest::newRow("volume 12.50, notch 50 ms after the previous")
        << "lineEditVolume" << 1.0 << 999.9 << "12.50" << QList<int>{50} << QList<int>{120}
        << QStringList{"13.23"};
    QTest::newRow("volume slow notch, then one 50 ms later")
        << "lineEditVolume" << 1.0 << 999.9 << "12.50" << QList<int>{1000, 50}
        << QList<int>{120, 120} << QStringList{"12.51", "13.24"};
    QTest::newRow("volume 9.999 up twice: 10.000, 10.01")
        << "lineEditVolume" << 1.0 << 999.9 << "9.999" << QList<int>{1000, 1000}
        << QList<int>{120, 120} << QStringList{"10.000", "10.01"};
    QTest::newRow("volume 999.9 up stays")
        << "lineEditVolume" << 1.0 << 999.9 << "999.9" << QList<int>{1000} << QList<int>{120}
        << QStringList{"999.9"};
    QTest::newRow("volume empty, notch down: minimum with ten decimals")
        << "lineEditVolume" << 1.0 << 999.9 << "" << QList<int>{1000} << QList<int>{-120}
        << QStringList{"1.0000000000"};
    QTest::newRow("calibration volume clamps at 100.0")
        << "lineEditCalVolume" << 1.0 << 100.0 << "99.99" << QList<int>{1000, 1000}
        << QList<int>{120, 120} << QStringList{"100.00", "100.0"};
    QTest::newRow("cycles \"INF\", one notch down")
        << "lineEditCycles" << 0.0 << 1000.0 << "INF" << QList<int>{1000} << QList<int>{-120}
        << QStringList{"999"};
    QTest::newRow("seconds at 00, notch down")
        << "lineEditTimeSec" << -1.0 << 60.0 << "00" << QList<int>{1000} << QList<int>{-120}
        << QStringList{"-1"};
    // Integer fields never accelerate: a fast spin still steps by one.
    QTest::newRow("cycles spun fast steps by one")
        << "lineEditCycles" << 0.0 << 1000.0 << "20" << QList<int>{5, 5, 5}
        << QList<int>{120, 120, 120} << QStringList{"21", "22", "23"};
    // Names decide the branch: a field of another name steps whole units even with decimals.
    QTest::newRow("factory calibration volume steps whole units")
        << "lineEditFactoryCalVolume" << 1.0 << 100.0 << "12.5" << QList<int>{1000}
        << QList<int>{120} << QStringList{"14"};
}

void tst_ValueEntry::wheel()
{
    QFETCH(QString, name);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, text);
    QFETCH(QList<int>, pausesMs);
    QFETCH(QList<int>, deltas);
    QFETCH(QStringList, texts);

    Fields f(name, minimum, maximum);
    f.field->setText(text);
    QVERIFY(f.showAndFocus(f.field));
    QSignalSpy finished(f.field, &QLineEdit::editingFinished);

    for (int i = 0; i < texts.size(); ++i) {
        QVERIFY(f.notch(f.field, pausesMs.at(i), deltas.at(i)));
        QCOMPARE(f.field->text(), texts.at(i));
        // A notch changes the text as typing does; the edit goes on.
        QCOMPARE(finished.count(), 0);
    }
    QVERIFY(f.field->hasFocus());
    // Leaving the field ends the edit once, with the value wheeled to.
    QVERIFY(f.showAndFocus(f.other));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(f.field->text(), texts.last());
}

void tst_ValueEntry::unfocusedFieldIgnoresWheel()
{
    Fields f("lineEditVolume", 1.0, 999.9);
    f.field->setText("12.50");
    QVERIFY(f.showAndFocus(f.other));
    QSignalSpy finished(f.field, &QLineEdit::editingFinished);

    QVERIFY(!f.notch(f.field, 1000, 120));
    QCOMPARE(f.field->text(), QString("12.50"));
    QCOMPARE(finished.count(), 0);

    // The ignored notch still restarted the wheel clock: 50 ms later counts as a fast notch.
    f.field->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(f.field->hasFocus());
    QVERIFY(f.notch(f.field, 50, 120));
    QCOMPARE(f.field->text(), QString("13.23"));
}

// ---- focus frame and keys

void tst_ValueEntry::focusFrame_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keepsFocus");
    QTest::addColumn<QString>("text");

    QTest::newRow("Return ends the edit") << int(Qt::Key_Return) << false << "12.5";
    QTest::newRow("keypad Enter ends the edit") << int(Qt::Key_Enter) << false << "12.5";
    QTest::newRow("a digit is typed as usual") << int(Qt::Key_7) << true << "12.57";
}

void tst_ValueEntry::focusFrame()
{
    QFETCH(int, key);
    QFETCH(bool, keepsFocus);
    QFETCH(QString, text);

    Fields f("lineEditVolume", 1.0, 999.9);
    f.field->setText("12.5");
    QCOMPARE(frameLook(f.frame), noBorder);
    QVERIFY(f.showAndFocus(f.field));
    QCOMPARE(frameLook(f.frame), blackBorder);
    QCOMPARE(frameLook(f.otherFrame), noBorder);

    QSignalSpy finished(f.field, &QLineEdit::editingFinished);
    f.field->end(false);
    QTest::keyClick(f.field, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(f.field->hasFocus(), keepsFocus);
    QCOMPARE(f.field->text(), text);
    QCOMPARE(frameLook(f.frame), keepsFocus ? blackBorder : noBorder);
    if (keepsFocus)
        QCOMPARE(finished.count(), 0);
    else
        QVERIFY(finished.count() >= 1);
}

void tst_ValueEntry::clickFocusesWithoutMovingCaret()
{
    Fields f("lineEditVolume", 1.0, 999.9);
    f.field->setText("123.45");
    QVERIFY(f.showAndFocus(f.other));
    f.field->setCursorPosition(2);

    // Click near the right end: a plain line edit would put the caret there.
    QTest::mouseClick(f.field, Qt::LeftButton, Qt::NoModifier,
                      QPoint(f.field->width() - 4, f.field->height() / 2));
    QTRY_VERIFY(f.field->hasFocus());
    QCOMPARE(f.field->cursorPosition(), 2);
    QVERIFY(!f.field->hasSelectedText());
    QCOMPARE(frameLook(f.frame), blackBorder);
    QCOMPARE(frameLook(f.otherFrame), noBorder);
}

QTEST_MAIN(tst_ValueEntry)
#include "tst_valueentry.moc"
