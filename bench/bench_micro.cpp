// The protocol's small, frequent operations, per call: the check character, building and
// recording a frame, a whole command with no port (everything but the wire), classifying an
// answer, the traffic-log line, the receive state the display reads, decoding an item; and what
// the serial ports cost: the port list's signature (once a second while the list follows
// hot-plug), its full scan (when the signature changed) and the look-ups behind a refused port. The
// std::function call around each (a few ns) is included.

#include "BenchReport.h"
#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/LrcChecker.h"
#include "BusinessLogic/TrafficLogFormat.h"
#include "GUI/OperationItemVolumeActual.h"
#include "MicroTimer.h"
#include "serial/AnswerClassifier.h"
#include "serial/Communication.h"
#include "serial/PortCatalog.h"
#include "serial/PortHolder.h"
#include "serial/PortProblem.h"

#include <QCoreApplication>

#include <string>

namespace {

using BusinessLogic::CommandSpezifier;

std::string withLrc(std::string frame)
{
    frame.push_back(BusinessLogic::LrcChecker().lrc(frame));
    return frame;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    BenchReport out("5 micro (per call)");

    // Reference frames: "SV" 12500 to address 1 and the answer to "?DV".
    const std::string command = "\x02"
                                "01DV00012500\x03";
    const std::string answer = withLrc("\x02"
                                       "00012500\x03");
    const std::string ack = "\x06";
    const std::string noise = "\x91\x06";

    Communication link; // no port: every wait returns at once
    link.setAddress(1);
    BusinessLogic::CommandSet commands(&link);
    const auto table = commands.table();
    const auto cmd = [&table](CommandSpezifier id) {
        return table[static_cast<std::size_t>(BusinessLogic::toInt(id))];
    };

    const BusinessLogic::LrcChecker lrc;
    out.info("LRC of a 14-byte frame",
             MicroTimer::nsPerCall([&] { MicroTimer::keep(lrc.lrc(command)); }), "ns", 1);
    out.info("frame built, check character appended and recorded", MicroTimer::nsPerCall([&] {
                 std::string frame;
                 frame.reserve(24);
                 frame.push_back('\x02');
                 frame += link.addressText();
                 frame += "DV" + BusinessLogic::Command::valueField(12500, 8);
                 frame.push_back('\x03');
                 link.sendFrame(frame);
                 MicroTimer::keep(frame);
             }),
             "ns", 0);
    BusinessLogic::Command *setVolume = cmd(CommandSpezifier::SetVolume);
    setVolume->setParameter(12500L);
    out.info("whole setting command, no port (frame, waits, answer)",
             MicroTimer::nsPerCall([&] { setVolume->execute(); }), "ns", 0);
    out.info("classify a data frame", MicroTimer::nsPerCall([&] {
                 MicroTimer::keep(AnswerClassifier::classify(answer, "01"));
             }),
             "ns", 0);
    out.info("classify ACK", MicroTimer::nsPerCall([&] {
                 MicroTimer::keep(AnswerClassifier::classify(ack, "01"));
             }),
             "ns", 0);
    out.info("classify noise before ACK", MicroTimer::nsPerCall([&] {
                 MicroTimer::keep(AnswerClassifier::classify(noise, "01"));
             }),
             "ns", 0);
    out.info("take a complete answer (link, no port)", MicroTimer::nsPerCall([&] {
                 link.rxBuffer = answer;
                 MicroTimer::keep(link.takeAnswer());
             }),
             "ns", 0);
    SystemTime time;
    time.hour = 9;
    time.minute = 5;
    time.second = 7;
    time.milliseconds = 42;
    const std::string sent = withLrc(command);
    out.info("log line of the sent frame", MicroTimer::nsPerCall([&] {
                 MicroTimer::keep(BusinessLogic::TrafficLogFormat::line(time, sent));
             }),
             "ns", 0);
    out.info("log line of the answer", MicroTimer::nsPerCall([&] {
                 MicroTimer::keep(BusinessLogic::TrafficLogFormat::line(time, answer));
             }),
             "ns", 0);
    BusinessLogic::Command *rxState = cmd(CommandSpezifier::GetCommRxState);
    out.info("receive state for the display", MicroTimer::nsPerCall([&] {
                 rxState->execute();
                 MicroTimer::keep(rxState->answer());
             }),
             "ns", 0);
    OperationItemVolumeActual item;
    Answer volume{BusinessLogic::toInt(CommandSpezifier::GetActualVolume), "00012345"};
    out.info("decode an answer into its item", MicroTimer::nsPerCall([&] { item.update(&volume); }),
             "ns", 0);

    out.info("port list scan: system ports, by-id names, listed paths",
             MicroTimer::nsPerCall([] { MicroTimer::keep(PortCatalog::scan()); }) / 1000.0, "us",
             0);
    out.info("port list signature, looked at once a second while following",
             MicroTimer::nsPerCall([] { MicroTimer::keep(PortCatalog::signature()); }) / 1000.0,
             "us", 0);
    out.info("missing port diagnosed",
             MicroTimer::nsPerCall([] {
                 MicroTimer::keep(PortProblem::diagnose(QStringLiteral("/dev/ttyDOSETTA-absent"),
                                                        QSerialPort::DeviceNotFoundError, {}));
             }) / 1000.0,
             "us", 1);
    out.info("lock files of a free device searched",
             MicroTimer::nsPerCall([] {
                 MicroTimer::keep(PortHolder::fromLockFiles({QStringLiteral("/dev/ttyS0")}));
             }) / 1000.0,
             "us", 1);
    out.info("every process searched for a device nobody holds",
             MicroTimer::nsPerCall([] {
                 MicroTimer::keep(PortHolder::fromProcesses(QStringLiteral("/dev/ttyDOSETTA0")));
             }) / 1000.0,
             "us", 0);
    return 0;
}
