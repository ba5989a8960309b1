#pragma once

#include "remote/BridgeSession.h"
#include "remote/PumpBridge.h"

#include <QGroupBox>
#include <QPointer>
#include <QString>

class InstanceSettings;
class ProcessSampler;
class ProgramRunner;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Communication tab's Network group: publishes the window's pump on an MQTT broker and, when
// allowed, takes commands from there. Broker, pump id, Connect/Disconnect, "Allow remote
// control", "Allow remote configuration" and a status line; the NET and REMOTE marks beside the
// compact screen's command feedback. The fields, and whether the window was connected, are kept per
// instance: a window closed while connected connects again at its next start.
class NetworkGroup : public QGroupBox
{
    Q_OBJECT

public:
    struct Parts
    {
        QWidget *groupAbove = nullptr;   // the group goes below it, in the same column and look
        QWidget *focusBefore = nullptr;  // Tab comes into the group from this widget
        QLabel *feedbackLabel = nullptr; // the marks go to its right
        PumpCore *pump = nullptr;        // not owned; its samples are published as the state
        ProgramRunner *runner = nullptr; // not owned; the runner beside that core
        InstanceSettings *settings = nullptr;
    };

    // Keys under the instance's settings group.
    static QString brokerKey() { return QStringLiteral("Network/Broker"); }
    static QString pumpIdKey() { return QStringLiteral("Network/PumpId"); }
    static QString allowControlKey() { return QStringLiteral("Network/AllowControl"); }
    static QString allowConfigKey() { return QStringLiteral("Network/AllowConfig"); }
    static QString connectedKey() { return QStringLiteral("Network/Connected"); }

    explicit NetworkGroup(const Parts &parts, QWidget *parent = nullptr);
    // Says "offline" to the broker; what is stored stays as it was, so a connected window
    // connects again next time.
    ~NetworkGroup() override;

    // The id when the field is empty: host, port name and communication address.
    QString defaultPumpId() const;

public slots:
    void startPublishing();
    void stopPublishing();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void toggle();
    void allowControl(bool allowed);
    void allowConfig(bool allowed);
    void showState();
    QVariant stored(const QString &key) const;
    void store(const QString &key, const QVariant &value);

    PumpCore &pump;
    InstanceSettings *settings;
    BridgeSession bridge;
    QString broker;  // the one connected to
    QString problem; // why Connect did not start, until the next try
    QLabel *brokerLabel;
    QLineEdit *brokerField;
    QLabel *pumpIdLabel;
    QLineEdit *pumpIdField;
    QPushButton *connectButton;
    QCheckBox *allowBox;
    QCheckBox *configBox;
    QLabel *stateLabel;
    QPointer<QLabel> netMark;
    QPointer<QLabel> remoteMark;
};
