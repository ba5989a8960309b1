#pragma once

#include <QColor>
#include <QString>

// The window's longer style sheets, applied in code after the form is built. The short sheets
// (panels, group-box titles, labels) live in the form itself.
namespace StyleSheets {

// Frame around a set-point field; the border turns black while the field inside has the focus.
inline constexpr char frameUnfocused[] = R"(FrameEventHandler {
    border-style: solid;
    border-width: 2px;
    border-color: transparent;
    background-color: rgb(240,240,240);
})";

inline constexpr char frameFocused[] = R"(FrameEventHandler {
    border-style: solid;
    border-width: 2px;
    border-color: black;
    background-color: rgb(240,240,240);
})";

// Buttons and lists of the advanced screen.
inline constexpr char control[] = R"(* {
    font: 14pt "Arial";
    border: 1px outset grey;
    background-color: rgb(240,240,240);
    border-radius: 0px;
    padding: 5px;
}
*:hover {
    background-color: rgb(248,248,248);
}
*:pressed {
    border: 2px inset grey;
    background-color: rgb(250,250,250);
}
*:selected {
    border: 2px inset grey;
    background-color: rgb(248,248,248);
}
QComboBox {
    combobox-popup: 0;
}
QComboBox::drop-down {
    subcontrol-origin: padding;
    subcontrol-position: center right;
    right: 2px;
    width: 24px;
    border: none;
    background-color: rgb(240,240,240);
}
QComboBox::down-arrow {
    image: url(:/Images/Images/arrow_sans_down-256.png);
    width: 24px;
    height: 24px;
}
QAbstractItemView {
    margin: 0px;
    padding-right: 2px;
}
QScrollBar:vertical {
    width: 24px;
    padding: 0px;
    background: transparent;
    border: 1px solid grey;
    margin: 24px 0px 24px 0px;
}
QScrollBar::handle:vertical {
    background: rgb(0,149,216);
    min-height: 40px;
    border: none;
    padding: 0px;
}
QScrollBar::sub-line:vertical {
    background: rgb(212,208,200);
    width: 23px;
    height: 22px;
    border: 1px solid grey;
    padding: 0px;
    subcontrol-position: top;
    subcontrol-origin: margin;
}
QScrollBar::add-line:vertical {
    background: rgb(212,208,200);
    width: 23px;
    height: 22px;
    border: 1px solid grey;
    padding: 0px;
    subcontrol-position: bottom;
    subcontrol-origin: margin;
}
QScrollBar::up-arrow:vertical {
    image: url(:/Images/Images/arrow_sans_up-256.png);
    width: 24px;
    height: 24px;
    border: none;
    padding: 0px;
    background: rgb(240,240,240);
}
QScrollBar::down-arrow:vertical {
    image: url(:/Images/Images/arrow_sans_down-256.png);
    width: 24px;
    height: 24px;
    border: none;
    padding: 0px;
    background: rgb(240,240,240);
}
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {
    background: rgb(240,240,240);
    border: none;
    padding: 0px;
})";

// Common part of the run buttons and the run-mode button; a colour sheet follows on the run
// buttons.
inline constexpr char buttonBase[] = R"(QPushButton {
    font-family: "Arial";
    border: 1px outset grey;
    background-color: rgb(0,149,216);
    border-radius: 0px;
    padding: 5px;
}
QPushButton:hover {
    font-family: "Arial";
    border: 1px outset grey;
    background-color: rgb(0,149,216);
    border-radius: 0px;
    padding: 5px;
}
QPushButton:pressed {
    font-family: "Arial";
    border: 2px inset grey;
    background-color: rgb(0,149,216);
    border-radius: 0px;
    padding: 5px;
}
QPushButton::menu-indicator {
    background-color: rgb(0,149,216);
})";

inline constexpr char buttonNormalColour[] = R"(
QPushButton {
    background-color: rgb(0,149,216);
}
QPushButton:hover {
    background-color: rgba(0,149,216,75%);
}
QPushButton:pressed {
    background-color: rgba(0,149,216,50%);
})";

// The run button of the command given last.
inline constexpr char buttonHighlightColour[] = R"(
QPushButton {
    background-color: rgb(0,188,255);
}
QPushButton:hover {
    background-color: rgba(0,188,255,75%);
}
QPushButton:pressed {
    background-color: rgba(0,188,255,40%);
})";

// Where two run buttons meet, their touching corners stay square.
inline constexpr char leftCornersSquare[] = R"(
QPushButton {
    border-top-left-radius: 0px;
    border-bottom-left-radius: 0px;
}
QPushButton:hover {
    border-top-left-radius: 0px;
    border-bottom-left-radius: 0px;
}
QPushButton:pressed {
    border-top-left-radius: 0px;
    border-bottom-left-radius: 0px;
})";

inline constexpr char rightCornersSquare[] = R"(
QPushButton {
    border-top-right-radius: 0px;
    border-bottom-right-radius: 0px;
}
QPushButton:hover {
    border-top-right-radius: 0px;
    border-bottom-right-radius: 0px;
}
QPushButton:pressed {
    border-top-right-radius: 0px;
    border-bottom-right-radius: 0px;
})";

// The run-mode menu ("ml/min" / "ml") under the mode button.
inline constexpr char menu[] = R"(QMenu {
    background-color: rgba(0,188,255,100%);
    font: 14pt "Arial";
}
QMenu::item:selected {
    background-color: rgba(0,188,255,25%);
})";

inline constexpr char tabs[] = R"(background-color: rgb(240,240,240);
font-family: "Arial";)";

// The advanced screen's tab titles: tighter than the platform's tabs, so that all of them fit.
inline constexpr char tabBar[] = R"(QTabBar { font-size: 11pt; }
QTabBar::tab { padding: 4px 6px; margin-right: 1px; border: 1px solid rgb(190,190,190);
    border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;
    background: rgb(222,222,222); }
QTabBar::tab:selected { background: rgb(240,240,240); })";

// The link label: the pump answers, or it does not.
inline constexpr char linkConnected[] = "color:rgb(0,149,216);";
inline constexpr char linkLost[] = "color:rgb(255,100,0); font-size:12pt;";

// The command feedback: blue for an accepted command, red for a refused one.
inline QColor acceptedColour()
{
    return QColor(0, 149, 216, 255);
}

inline QColor refusedColour()
{
    return QColor(255, 0, 0);
}

// The traffic views: the stamp, the frame, and the check character of a frame that passed, failed
// its check, or was refused.
inline constexpr Qt::GlobalColor trafficStamp = Qt::blue;
inline constexpr Qt::GlobalColor trafficFrame = Qt::black;
inline constexpr Qt::GlobalColor trafficCheckGood = Qt::darkGreen;
inline constexpr Qt::GlobalColor trafficCheckBad = Qt::red;
inline constexpr Qt::GlobalColor trafficRefused = Qt::magenta;

// Marks beside the feedback line: the broker connection (NET), remote control allowed (REMOTE),
// a recording (REC), a recording that failed and a program running (PROGRAM). The mark's colour
// fills its background.
inline QString mark(const char *background)
{
    return QStringLiteral("color: white; background-color: %1; font: bold 9pt \"Arial\"; "
                          "padding: 1px 4px;")
        .arg(QLatin1String(background));
}
inline constexpr char netMarkColour[] = "rgb(0,149,216)";
inline constexpr char remoteMarkColour[] = "rgb(140,60,190)";
inline constexpr char recordingMarkColour[] = "rgb(220,0,0)";
inline constexpr char failedMarkColour[] = "rgb(255,100,0)";
inline constexpr char programMarkColour[] = "rgb(0,140,60)";

// The compact screen's state line (running or priming, paused, stopped, a dose done) and the
// banner that names the pump's error flags.
inline QString stateLine(const char *colour)
{
    return QStringLiteral("color: %1; font: bold 14pt \"Arial\";").arg(QLatin1String(colour));
}
inline constexpr char stateMoving[] = "rgb(0,149,216)";
inline constexpr char statePaused[] = "rgb(230,120,0)";
inline constexpr char stateStopped[] = "rgb(90,90,90)";
inline constexpr char stateDone[] = "rgb(0,140,60)";
inline constexpr char errorBanner[] = "color: white; background-color: rgb(220,0,0); "
                                      "font: bold 12pt \"Arial\"; padding: 3px 6px;";

// Status texts of the Network group and the chart tab: idle, working, recording, failed.
inline constexpr char statusIdleGrey[] = "color: rgb(100,100,100);";
inline constexpr char statusGood[] = "color: rgb(0,149,216);";
inline constexpr char statusFailed[] = "color: rgb(255,100,0);";
inline constexpr char statusRecording[] = "color: rgb(220,0,0); font-weight: bold;";
inline constexpr char statusFailedBold[] = "color: rgb(255,100,0); font-weight: bold;";
// A toggle button while it is on (the chart's "follow").
inline constexpr char toggleChecked[] =
    "QPushButton:checked { background-color: rgb(0,149,216); color: white; border-style: inset; }";

// The process chart: volume and flow lines, start and stop markers.
inline QColor chartVolume()
{
    return QColor(0, 149, 216);
}
inline QColor chartFlow()
{
    return QColor(255, 140, 0);
}
inline QColor chartStart()
{
    return QColor(0, 160, 60);
}
inline QColor chartStop()
{
    return QColor(220, 0, 0);
}

// The feedback text in its colour at that opacity (percent), as it fades.
inline QString fading(const QColor &colour, int opacityPercent)
{
    return QStringLiteral("color:rgba(%1,%2,%3,%4%);")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(opacityPercent);
}

} // namespace StyleSheets
