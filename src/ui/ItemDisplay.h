#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class EditedFields;
class QWidget;

namespace GUI {
class OperationItem;
} // namespace GUI

namespace Pump {
class PumpItems;
} // namespace Pump

namespace Ui {
class mainScreen;
}

// The pump's values in the window's fields, lists and check boxes. A widget the operator is
// using keeps the operator's value; a field being edited keeps its text (EditedFields).
class ItemDisplay
{
public:
    struct Parts
    {
        Ui::mainScreen &ui;
        EditedFields &edited;
        Pump::PumpItems &items;
        // The window's state the display keeps in step: the run mode decides what a set-point
        // sends; an input with function 1 or 6 holds it alone.
        signed char &runMode;
        bool &digitalIn1Exclusive;
        bool &digitalIn2Exclusive;
    };

    explicit ItemDisplay(const Parts &parts);

    void update();

private:
    // One widget set from one item: a list entry or a check from the value (nothing leaves the
    // widget as it is), or a field's text.
    struct Binding
    {
        QWidget *widget = nullptr;
        const GUI::OperationItem *item = nullptr;
        std::function<std::optional<int>(int)> index;
        QString (*text)(int) = nullptr;
    };

    template<class Item>
    Item &item() const;
    void bindItems();
    void applyBindings();

    Ui::mainScreen &ui;
    EditedFields &edited;
    Pump::PumpItems &items;
    signed char &runMode;
    bool &digitalIn1Exclusive;
    bool &digitalIn2Exclusive;
    std::vector<Binding> bindings;
    QString shownModel;
    bool modelShown = false;
};
