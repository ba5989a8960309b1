#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <memory>

class SimProcess;

// The bridge under test and the broker's own command-line clients, on 127.0.0.1 with MQTT 5.
namespace MqttRig {

// How the bridge is told which pump to serve.
enum class PumpGiven { InEnvironment, OnCommandLine };

// dosetta-cli serve with options, serving sim's pump.
std::unique_ptr<QProcess> startBridge(const SimProcess &sim, const QStringList &options,
                                      PumpGiven given = PumpGiven::InEnvironment);

// The arguments mosquitto_pub and mosquitto_sub share.
QStringList clientArgs(int port, const QString &topic);

// With QoS 1, the payload through standard input: any size, and empty clears a retained one.
bool publish(int port, const QString &topic, const QByteArray &payload, bool retained = false,
             const QString &correlation = QString());

// The retained payload of topic once it holds `wanted`, or what it held after 15 s; with nothing
// wanted, what it holds now. options: a password or an authority, for mosquitto_sub.
QByteArray retained(int port, const QString &topic, const QByteArray &wanted = QByteArray(),
                    const QStringList &options = QStringList());

} // namespace MqttRig
