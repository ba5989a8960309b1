#include "ui/NetworkGroup.h"

#include "pumpcore/PumpCore.h"

#include "platform/InstanceSettings.h"
#include "serial/Communication.h"
#include "ui/FeedbackMarks.h"
#include "ui/ShownBridgeText.h"
#include "ui/StyleSheets.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSysInfo>

namespace {

const QString idleSheet = QLatin1String(StyleSheets::statusIdleGrey);
const QString goodSheet = QLatin1String(StyleSheets::statusGood);
const QString failedSheet = QLatin1String(StyleSheets::statusFailed);

QLabel *label(const QString &text, const char *name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(QFont(QStringLiteral("Arial"), 14));
    return l;
}

QLineEdit *field(const char *name, QWidget *parent)
{
    auto *f = new QLineEdit(parent);
    f->setObjectName(QLatin1String(name));
    f->setFont(QFont(QStringLiteral("Arial"), 14));
    return f;
}

} // namespace

NetworkGroup::NetworkGroup(const Parts &parts, QWidget *parent)
    : QGroupBox(QCoreApplication::translate("mainScreen", "Network"), parent)
    , pump(*parts.pump)
    , settings(parts.settings)
    , bridge(*parts.pump, *parts.runner, QStringLiteral(DOSETTA_VERSION))
    , brokerLabel(label(QCoreApplication::translate("mainScreen", "Broker"), "labelBroker", this))
    , brokerField(field("lineEditBroker", this))
    , pumpIdLabel(label(QCoreApplication::translate("mainScreen", "Pump id"), "labelPumpId", this))
    , pumpIdField(field("lineEditPumpId", this))
    , connectButton(new QPushButton(QCoreApplication::translate("mainScreen", "Connect"), this))
    , allowBox(
          new QCheckBox(QCoreApplication::translate("mainScreen", "Allow remote control"), this))
    , configBox(new QCheckBox(
          QCoreApplication::translate("mainScreen", "Allow remote configuration"), this))
    , stateLabel(label(QString(), "labelNetworkState", this))
{
    setObjectName(QStringLiteral("groupNetwork"));
    connectButton->setObjectName(QStringLiteral("buttonNetworkConnect"));
    connectButton->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    // In a dialog, Return in a field would click it.
    connectButton->setAutoDefault(false);
    allowBox->setObjectName(QStringLiteral("checkboAllowControl"));
    allowBox->setFont(QFont(QStringLiteral("Arial"), 14));
    configBox->setObjectName(QStringLiteral("checkboAllowConfig"));
    configBox->setFont(QFont(QStringLiteral("Arial"), 14));
    stateLabel->setFont(QFont(QStringLiteral("Arial"), 11));
    stateLabel->setWordWrap(true);
    stateLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    brokerField->setPlaceholderText(QStringLiteral("mqtt://localhost:1883"));
    // One topic level: no separators, no wildcards.
    pumpIdField->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^/+#\\s]*")), pumpIdField));
    allowBox->setToolTip(QCoreApplication::translate(
        "mainScreen", "Let the broker's clients start, stop, pause or prime the pump and set its "
                      "dosing values"));
    configBox->setToolTip(QCoreApplication::translate(
        "mainScreen", "Let the broker's clients change the pump's other settings: address, "
                      "inputs and output, calibration, fluid, language, contrast"));

    if (parts.groupAbove != nullptr) {
        setFont(parts.groupAbove->font());
        setStyleSheet(parts.groupAbove->styleSheet());
        QWidget *page = parts.groupAbove->parentWidget();
        if (auto *column = page != nullptr ? qobject_cast<QBoxLayout *>(page->layout()) : nullptr)
            column->insertWidget(column->indexOf(parts.groupAbove) + 1, this);
    }
    auto *grid = new QGridLayout(this);
    grid->addWidget(brokerLabel, 0, 0);
    grid->addWidget(brokerField, 0, 1);
    grid->addWidget(connectButton, 0, 2);
    grid->addWidget(pumpIdLabel, 1, 0);
    grid->addWidget(pumpIdField, 1, 1);
    grid->addWidget(allowBox, 1, 2);
    grid->addWidget(configBox, 2, 2);
    grid->addWidget(stateLabel, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    if (parts.focusBefore != nullptr) {
        QWidget::setTabOrder(parts.focusBefore, brokerField);
        QWidget::setTabOrder(brokerField, pumpIdField);
        QWidget::setTabOrder(pumpIdField, connectButton);
        QWidget::setTabOrder(connectButton, allowBox);
        QWidget::setTabOrder(allowBox, configBox);
    }

    netMark = FeedbackMarks::add(parts.feedbackLabel,
                                 QCoreApplication::translate("mainScreen", "NET"), "labelNetMark");
    remoteMark =
        FeedbackMarks::add(parts.feedbackLabel, QCoreApplication::translate("mainScreen", "REMOTE"),
                           "labelRemoteMark");
    if (netMark)
        netMark->setStyleSheet(StyleSheets::mark(StyleSheets::netMarkColour));
    if (remoteMark) {
        remoteMark->setStyleSheet(StyleSheets::mark(StyleSheets::remoteMarkColour));
        remoteMark->setToolTip(QCoreApplication::translate(
            "mainScreen", "Remote control or configuration is allowed: the "
                          "broker's clients may set values or run the pump"));
    }

    brokerField->setText(stored(brokerKey()).toString());
    pumpIdField->setText(stored(pumpIdKey()).toString());
    allowBox->setChecked(stored(allowControlKey()).toBool());
    configBox->setChecked(stored(allowConfigKey()).toBool());
    connect(brokerField, &QLineEdit::editingFinished, this, [this] {
        store(brokerKey(), BridgeOptions::withoutUserInfo(brokerField->text().trimmed()));
    });
    connect(pumpIdField, &QLineEdit::editingFinished, this,
            [this] { store(pumpIdKey(), pumpIdField->text()); });
    connect(connectButton, &QPushButton::clicked, this, &NetworkGroup::toggle);
    connect(allowBox, &QCheckBox::toggled, this, &NetworkGroup::allowControl);
    connect(configBox, &QCheckBox::toggled, this, &NetworkGroup::allowConfig);
    connect(&bridge, &BridgeSession::stateChanged, this, [this](BridgeSession::State state) {
        // Refused for good: nothing to take up again at the next start.
        if (state == BridgeSession::State::Refused)
            store(connectedKey(), false);
        showState();
    });
    showState();
    if (stored(connectedKey()).toBool())
        startPublishing();
}

NetworkGroup::~NetworkGroup() = default;

QString NetworkGroup::defaultPumpId() const
{
    QString port = pump.link().portName();
    int address = pump.link().address();
    if (port.isEmpty() && settings != nullptr) {
        port = settings->port();
        address = settings->address();
    }
    return BridgeOptions::defaultPumpId(QSysInfo::machineHostName(), port, address);
}

void NetworkGroup::startPublishing()
{
    BridgeOptions options;
    options.broker = brokerField->text().trimmed();
    options.pumpId = pumpIdField->text().trimmed();
    if (options.pumpId.isEmpty())
        options.pumpId = defaultPumpId();
    options.allowControl = allowBox->isChecked();
    options.allowConfig = configBox->isChecked();
    store(brokerKey(), BridgeOptions::withoutUserInfo(brokerField->text().trimmed()));
    store(pumpIdKey(), pumpIdField->text().trimmed());
    problem = options.broker.isEmpty()
                  ? QCoreApplication::translate(
                        "mainScreen", "Enter the broker's address, such as mqtt://localhost:1883")
                  : ShownBridgeText::shown(options.problem());
    if (!problem.isEmpty()) {
        showState();
        return;
    }
    broker = options.shownBroker();
    store(connectedKey(), true);
    bridge.start(options, options.pumpId);
}

void NetworkGroup::stopPublishing()
{
    store(connectedKey(), false);
    bridge.stop();
}

void NetworkGroup::showEvent(QShowEvent *event)
{
    // The port or the address may have changed since.
    pumpIdField->setPlaceholderText(defaultPumpId());
    QGroupBox::showEvent(event);
}

void NetworkGroup::toggle()
{
    if (bridge.running())
        stopPublishing();
    else
        startPublishing();
}

void NetworkGroup::allowControl(bool allowed)
{
    store(allowControlKey(), allowed);
    bridge.setControlAllowed(allowed);
    showState();
}

void NetworkGroup::allowConfig(bool allowed)
{
    store(allowConfigKey(), allowed);
    bridge.setConfigAllowed(allowed);
    showState();
}

void NetworkGroup::showState()
{
    const BridgeSession::State state = bridge.state();
    const bool running = bridge.running();
    connectButton->setText(running ? QCoreApplication::translate("mainScreen", "Disconnect")
                                   : QCoreApplication::translate("mainScreen", "Connect"));
    brokerField->setEnabled(!running);
    pumpIdField->setEnabled(!running);
    pumpIdField->setPlaceholderText(defaultPumpId());

    QString text;
    QString sheet = idleSheet;
    switch (state) {
    case BridgeSession::State::Off:
        text = problem.isEmpty() ? QCoreApplication::translate("mainScreen", "Not connected")
                                 : problem;
        sheet = problem.isEmpty() ? idleSheet : failedSheet;
        break;
    case BridgeSession::State::Connecting:
        text = bridge.reason().isEmpty()
                   ? QCoreApplication::translate("mainScreen", "Connecting to %1 ...").arg(broker)
                   : QCoreApplication::translate("mainScreen", "Trying %1 again: %2")
                         .arg(broker, ShownBridgeText::shown(bridge.reason()));
        sheet = bridge.reason().isEmpty() ? goodSheet : failedSheet;
        break;
    case BridgeSession::State::Publishing:
        text =
            QCoreApplication::translate("mainScreen", "Publishing as %1").arg(bridge.topicRoot());
        sheet = goodSheet;
        break;
    case BridgeSession::State::Refused:
        text = QCoreApplication::translate("mainScreen", "Refused by %1: %2")
                   .arg(broker, ShownBridgeText::shown(bridge.reason()));
        sheet = failedSheet;
        break;
    }
    if (running)
        problem.clear();
    stateLabel->setText(text);
    stateLabel->setStyleSheet(sheet);

    const bool publishing = state == BridgeSession::State::Publishing;
    if (netMark) {
        netMark->setVisible(publishing);
        netMark->setToolTip(QCoreApplication::translate("mainScreen", "Publishing as %1 on %2")
                                .arg(bridge.topicRoot(), broker));
    }
    if (remoteMark)
        remoteMark->setVisible(publishing && (allowBox->isChecked() || configBox->isChecked()));
}

QVariant NetworkGroup::stored(const QString &key) const
{
    return settings != nullptr ? settings->settings().value(settings->key(key)) : QVariant();
}

void NetworkGroup::store(const QString &key, const QVariant &value)
{
    if (settings != nullptr)
        settings->settings().setValue(settings->key(key), value);
}
