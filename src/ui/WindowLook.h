#pragma once

#include <QString>

#include <memory>

class QMenu;
class QTabWidget;
class QWidget;

namespace Ui {
class mainScreen;
}

// How the window looks once built: its lists filled, its sheets applied, the entry limits, the
// run-mode menu and the run buttons' highlight.
class WindowLook
{
public:
    // Which corners of a run button are squared off where it meets its neighbour.
    enum class Corners { Rounded, LeftSquare, RightSquare };
    enum class RunButton { Start, Stop, Pause, Prime };

    // Style sheet of a run button (Stop, Start, Pause, Prime): the common button sheet, the
    // highlight colour for the button of the command given last or the normal colour, then the
    // corner sheet if any.
    static QString runButtonSheet(bool highlighted, Corners corners = Corners::Rounded);
    // Lights the button of the command given last.
    static void highlight(Ui::mainScreen &ui, RunButton button);

    static void fillLists(Ui::mainScreen &ui);
    static void applyStyleSheets(Ui::mainScreen &ui, QWidget &window);
    // Once every tab is added: the advanced screen at least as wide as all tab titles at full
    // length, so that a longer language widens the window rather than shortening them.
    static void fitTabTitles(QTabWidget &tabs);
    static void setEntryBounds(Ui::mainScreen &ui);
    // The menu under the mode button, not parented (its owner keeps it): "ml/min", then "ml".
    static std::unique_ptr<QMenu> runModeMenu(Ui::mainScreen &ui);
    // Shows or hides the advanced screen's tabs, sizes the window to what it then holds (the
    // tallest tab decides) and centres it on the screen; the arrow points the way it will go.
    static void unfold(Ui::mainScreen &ui, QWidget &window, bool advanced);
};
