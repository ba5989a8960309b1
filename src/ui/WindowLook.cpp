#include "ui/WindowLook.h"

#include "ui/ShownNumber.h"
#include "ui/WidgetWrite.h"

#include "pump/KeyTable.h"

#include "ui/MouseEventLineEdit.h"
#include "ui/StyleSheets.h"
#include "ui_mainForm.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <initializer_list>

void WindowLook::fillLists(Ui::mainScreen &ui)
{
    // 80.0 % ... 120.0 % in steps of 0.1: the index is (percent - 80) * 10.
    for (int i = 0; i <= 400; ++i)
        ui.comboCalPercent->addItem(QCoreApplication::translate("mainScreen", "%1 %")
                                        .arg(ShownNumber::number(80.0 + i / 10.0, 1)));
    for (int i = 0; i <= 100; ++i)
        ui.comboContrast->addItem(QCoreApplication::translate("mainScreen", "%1 %").arg(i));
    for (int i = 0; i <= Pump::KeyTable::HighestAddress; ++i) {
        ui.comboCommAddress->addItem(QString::number(i));
        ui.comboPumpAddress->addItem(QString::number(i));
    }
}

void WindowLook::applyStyleSheets(Ui::mainScreen &ui, QWidget &window)
{
    const QString control = QString::fromLatin1(StyleSheets::control);
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui.buttonTestComm, ui.buttonStressTest, ui.buttonSearchPump, ui.buttonDefaults,
             ui.buttonMaintenancePos, ui.buttonUpdatePorts, ui.comboTypeFluid, ui.comboCalPercent,
             ui.comboCommAddress, ui.comboContrast, ui.comboDigIn1, ui.comboDigIn2, ui.comboAnalIn,
             ui.comboDigOut, ui.comboLanguage, ui.comboPumpAddress, ui.comboPumpModel})
        w->setStyleSheet(control);
    // The lists open as scrolling lists (the sheet's scroll bar), not as menus; a list built
    // before its sheet keeps the scroll-bar policy of a menu, so set it again.
    for (QComboBox *combo : window.findChildren<QComboBox *>()) {
        if (combo->styleSheet() == control)
            combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    const QString runButton = runButtonSheet(false);
    for (QWidget *w : std::initializer_list<QWidget *>{ui.buttonStop, ui.buttonStart,
                                                       ui.buttonPause, ui.buttonPrime})
        w->setStyleSheet(runButton);
    ui.buttonMode->setStyleSheet(QString::fromLatin1(StyleSheets::buttonBase));
    ui.TabsExtendedSettings->setStyleSheet(QString::fromLatin1(StyleSheets::tabs));
    // Every tab in the window's width, none behind the scroll arrows: Help least of all. Eleven
    // tabs, and longer names in German, do not fit at full length, so the longest are shortened.
    QTabBar *bar = ui.TabsExtendedSettings->tabBar();
    bar->setStyleSheet(QString::fromLatin1(StyleSheets::tabBar));
    bar->setUsesScrollButtons(false);
    bar->setElideMode(Qt::ElideRight);
    // The first tab page was shown, and so polished, while the form was being built; a later
    // sheet on an ancestor does not reach a polished page's palette, so polish that tree again.
    for (QWidget *w : ui.TabsExtendedSettings->findChildren<QWidget *>()) {
        w->style()->unpolish(w);
        w->style()->polish(w);
    }
}

QString WindowLook::runButtonSheet(bool highlighted, Corners corners)
{
    QString sheet = QString::fromLatin1(StyleSheets::buttonBase);
    sheet += QString::fromLatin1(highlighted ? StyleSheets::buttonHighlightColour
                                             : StyleSheets::buttonNormalColour);
    if (corners == Corners::LeftSquare)
        sheet += QString::fromLatin1(StyleSheets::leftCornersSquare);
    else if (corners == Corners::RightSquare)
        sheet += QString::fromLatin1(StyleSheets::rightCornersSquare);
    return sheet;
}

void WindowLook::fitTabTitles(QTabWidget &tabs)
{
    // A few pixels for the page's frame beside the bar.
    tabs.setMinimumWidth(std::max(tabs.minimumWidth(), tabs.tabBar()->sizeHint().width() + 8));
}

std::unique_ptr<QMenu> WindowLook::runModeMenu(Ui::mainScreen &ui)
{
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QCoreApplication::translate("mainScreen", "ml/min"));
    menu->addAction(QCoreApplication::translate("mainScreen", "ml"));
    menu->setStyleSheet(QString::fromLatin1(StyleSheets::menu));
    ui.buttonMode->setMenu(menu.get());
    return menu;
}

void WindowLook::setEntryBounds(Ui::mainScreen &ui)
{
    struct Bounds
    {
        MouseEventLineEdit *field;
        double minimum;
        double maximum;
    };
    const Pump::KeyTable::Key &volume = Pump::KeyTable::key(QStringLiteral("volume"));
    const Pump::KeyTable::Key &flow = Pump::KeyTable::key(QStringLiteral("flow-rate"));
    const Pump::KeyTable::Key &calibration =
        Pump::KeyTable::key(QStringLiteral("calibration-volume"));
    // Time fields may step one past either end: the dispense-time normalisation turns -1 and
    // 60 into a borrow from or a carry into the neighbouring field.
    const Bounds bounds[] = {
        // Until the pump reports its run mode: the flow rate's lowest, the volume's highest.
        {ui.lineEditVolume, flow.minimum, volume.maximum},
        {ui.lineEditTimeHour, -1.0, 60.0},
        {ui.lineEditTimeMin, -1.0, 60.0},
        {ui.lineEditTimeSec, -1.0, 60.0},
        {ui.lineEditCycles, 0.0, 1000.0},
        {ui.lineEditCalVolume, calibration.minimum, calibration.maximum},
        {ui.lineEditBreakTimeMin, 1.0, 100.0},
        {ui.lineEditBreakTimeSec, 1.0, 100.0},
        {ui.lineEditFactoryCalVolume, 1.0, 100.0},
        {ui.lineEditFactoryPumpStrokeVolume, 1.0, 100.0},
    };
    for (const Bounds &b : bounds) {
        b.field->minimum = b.minimum;
        b.field->maximum = b.maximum;
    }
}

void WindowLook::highlight(Ui::mainScreen &ui, RunButton button)
{
    using C = Corners;
    const bool startLit = button == RunButton::Start || button == RunButton::Pause;
    // After Pause and Prime the buttons meet squarely where the pair joins.
    const bool cornered = button == RunButton::Pause || button == RunButton::Prime;
    WidgetWrite::setSheet(ui.buttonStop, runButtonSheet(button == RunButton::Stop,
                                                        cornered ? C::LeftSquare : C::Rounded));
    WidgetWrite::setSheet(ui.buttonPause,
                          runButtonSheet(startLit, cornered ? C::LeftSquare : C::Rounded));
    WidgetWrite::setSheet(ui.buttonStart,
                          runButtonSheet(startLit, cornered ? C::RightSquare : C::Rounded));
    WidgetWrite::setSheet(ui.buttonPrime, runButtonSheet(button == RunButton::Prime,
                                                         cornered ? C::RightSquare : C::Rounded));
}

void WindowLook::unfold(Ui::mainScreen &ui, QWidget &window, bool advanced)
{
    QWidget *remembered = ui.TabsExtendedSettings->currentWidget();
    window.setSizeIncrement(0, 1);
    const auto centre = [&window] {
        window.adjustSize();
        window.resize(window.minimumSizeHint());
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            window.move(available.center() - window.rect().center());
        }
    };
    if (!advanced) {
        ui.TabsExtendedSettings->hide();
        centre();
        ui.buttonAdvanced->setIcon(QIcon(QStringLiteral(":/Images/Images/arrow-37-64.png")));
        return;
    }
    ui.TabsExtendedSettings->show();
    ui.TabsExtendedSettings->setCurrentWidget(ui.TabStatus);
    centre();
    ui.TabsExtendedSettings->setCurrentWidget(remembered);
    ui.buttonAdvanced->setIcon(QIcon(QStringLiteral(":/Images/Images/arrow-102-64.png")));
}
