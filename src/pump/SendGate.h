#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace GUI {
class OperationItem;
} // namespace GUI

namespace Pump {

using GUI::OperationItem;

// What of the operator's doing goes to the pump. A typed entry goes only when the operator
// changed a field since the display last wrote it, once however often the edit ends; a pick only
// when it differs from what the pump last reported; a value only when it fits the command.
class SendGate
{
public:
    // Which command carries the set-point in a run mode.
    enum class SetPoint { None, Volume, FlowRate };

    // The display wrote this text into the field (or found it there already).
    void written(const QString &field, const QString &text);
    // True when a field of the group holds other text than the display last wrote there: the
    // operator changed it. The texts then count as written, so a second end of the same edit
    // (Return, then leaving the field) sends nothing. A field never written counts as empty.
    bool takeEdit(const QStringList &fields, const QStringList &texts);
    // What the display last wrote into the field, or the edit last taken from it.
    QString writtenText(const QString &field) const { return shown.value(field); }

    // The value the pump last reported in the item; nothing while the item holds no answer yet
    // (its text is still empty or not a number), so that the first pick after start is sent.
    static std::optional<int> reported(const OperationItem &item);
    // A pick goes out unless the pump already has that value.
    static bool differs(int picked, std::optional<int> reported);
    // The item takes a value just sent, in the pump's units, as if the pump had reported it: the
    // next display update shows the pick, and the same pick again sends nothing.
    static void hold(OperationItem &item, int value);

    // A typed whole number; nothing for text that is no number (such as "INF") or has more
    // digits than the command's integer holds, so nothing is sent.
    static std::optional<int> integer(const QString &text);
    // Run mode 1 doses a volume; 0 runs, and 2 dispenses, at a flow rate; any other sends nothing.
    static SetPoint setPoint(int runMode);

private:
    QHash<QString, QString> shown;
};

} // namespace Pump
