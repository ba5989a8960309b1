#include "serial/Communication.h"

#include "BusinessLogic/ControlCharacters.h"
#include "platform/TickClock.h"
#include "serial/AnswerClassifier.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/file.h>

using namespace BusinessLogic::ControlCharacters;

Communication::Communication()
{
    // Capped (plus a NUL check character the extraction may add), so this is the only
    // allocation the receive path makes.
    rxBuffer.reserve(RxBufferCap + 1);
    connect(&serialPort, &QSerialPort::errorOccurred, this, &Communication::onPortError);
}

Communication::~Communication()
{
    serialPort.close();
}

void Communication::setAddress(int address)
{
    addressValue = address;
}

std::string Communication::addressText() const
{
    std::string text = std::to_string(addressValue);
    if (text.size() < 2)
        text.insert(0, 2 - text.size(), '0');
    return text;
}

void Communication::setCommPort(QSerialPortInfo comPort)
{
    serialPort.close();
    portPath = comPort.systemLocation();
    openPort();
}

void Communication::setCommPortName(const QString &nameOrPath)
{
    serialPort.close();
    portPath = PortProblem::systemLocation(nameOrPath);
    openPort();
}

void Communication::setProblem(const PortProblem &problem)
{
    if (problem == portProblem)
        return;
    portProblem = problem;
    emit portProblemChanged(problem.text());
}

void Communication::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    // A failed open, or closing a port that is not open, is judged by the open itself.
    if (!serialPort.isOpen())
        return;
    if (error == QSerialPort::UnsupportedOperationError)
        return; // control-line ioctls on a pseudo-terminal: harmless
    // A vanished adapter keeps failing every read at once; close it so the display shows the
    // port as unavailable and the next communication check can reopen it.
    portError = serialPort.errorString();
    serialPort.close();
    portOpen = false;
    if (PortProblem::devicePath(portPath).isEmpty()) {
        setProblem(PortProblem::missing(portPath));
    } else {
        PortProblem lost;
        lost.cause = PortProblem::Cause::Other;
        lost.path = portPath;
        lost.systemText = portError;
        setProblem(lost);
    }
}

bool Communication::reopen()
{
    if (portPath.isEmpty())
        return false;
    const bool invalid = invalidLrcMode;
    serialPort.close();
    openPort();
    invalidLrcMode = invalid;
    txCheckCorrect = !(invalidLrcMode || unusedLrcMode);
    return portOpen;
}

void Communication::openPort()
{
    portOpen = false;
    if (serialPort.isOpen())
        serialPort.close();
    // The device itself, not the link that leads to it: the serial port names its lock file
    // after the path it opens, and two names of one device must meet at the same lock.
    const QString device = PortProblem::devicePath(portPath);
    serialPort.setPortName(device.isEmpty() ? portPath : device);
    portOpen = serialPort.open(QIODevice::ReadWrite);
    portError = portOpen ? QString() : serialPort.errorString();
    if (!portOpen) {
        setProblem(portPath.isEmpty()
                       ? PortProblem()
                       : PortProblem::diagnose(portPath, serialPort.error(), portError));
    } else if (const int error = lockLine(); error != 0) {
        serialPort.close();
        portOpen = false;
        portError = QString::fromLocal8Bit(std::strerror(error));
        if (error == EWOULDBLOCK) {
            setProblem(PortProblem::busy(portPath));
        } else {
            PortProblem problem;
            problem.cause = PortProblem::Cause::Other;
            problem.path = portPath;
            problem.systemText = QStringLiteral("the device cannot be locked: %1").arg(portError);
            setProblem(problem);
        }
    } else {
        setProblem(PortProblem());
    }
    // Line settings are applied whether or not the open succeeded; on a pseudo-terminal some of
    // them fail with "Inappropriate ioctl", which is harmless.
    serialPort.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    serialPort.setStopBits(QSerialPort::OneStop);
    serialPort.setDataBits(QSerialPort::Data8);
    serialPort.setParity(QSerialPort::NoParity);
    serialPort.setFlowControl(QSerialPort::NoFlowControl);
    serialPort.setReadBufferSize(0);
    if (portOpen)
        serialPort.clear(QSerialPort::AllDirections);
    rxBuffer.clear();
    nulAfterBuffer = false;
    // Another line, or the same one again: what the last exchange met is not known of it.
    lineChattering = false;
    cutOff = false;
    invalidLrcMode = false;
    txCheckCorrect = true;
    rxFrameValid = true;
    rxNak = false;
    rxAck = false;
    rxAddressOnly = false;
}

int Communication::lockLine()
{
    // The serial port's lock file only binds programs that look for it under the same name, and
    // its exclusive mode does not stop root (whose close even ends it for everyone). A flock on
    // the device binds every copy of this program, under any user, and the terminal programs
    // that use it too.
    // Any refusal but an interruption leaves the line closed: a lock that could not be taken
    // (ENOLCK when the kernel has no room for it, EBADF or EINVAL on a handle that cannot be
    // locked) cannot keep a second program off the line, and two programs writing frames to one
    // pump garble each other's commands. A later open tries again.
    const int fd = static_cast<int>(serialPort.handle());
    if (fd < 0)
        return EBADF;
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

bool Communication::sendFrame(std::string &frame)
{
    const char lrc = lrcChecker.lrc(frame);
    if (invalidLrcMode)
        frame.push_back(static_cast<char>(static_cast<unsigned char>(lrc) ^ InvalidLrcMask));
    else if (unusedLrcMode)
        frame.push_back(UnusedLrc);
    else
        frame.push_back(lrc);
    lastTransmitted = frame;
    txFrameLength = static_cast<int>(frame.size());
    if (!portOpen)
        return false;

    // A late answer to the previous command must not be taken as the answer to this one.
    serialPort.clear(QSerialPort::Input);
    serialPort.readAll();

    const qint64 written = serialPort.write(frame.data(), static_cast<qint64>(frame.size()));
    const bool flushed = serialPort.waitForBytesWritten(WriteTimeoutMs);
    return written == static_cast<qint64>(frame.size()) && flushed;
}

void Communication::readChunk()
{
    if (!portOpen)
        return;
    char chunk[ChunkSize];
    const qint64 n = serialPort.read(chunk, ChunkSize);
    if (n <= 0)
        return;
    // A NUL byte ends the chunk: the rest of it is dropped. That a NUL came right after the
    // buffer's last byte is noted: after ETX it is the check character. Bytes beyond the cap are
    // dropped as well; a NUL after them no longer follows the buffer's last byte.
    qint64 i = 0;
    bool dropped = false;
    for (; i < n && chunk[i] != '\0'; ++i) {
        if (rxBufferFull())
            dropped = true;
        else
            rxBuffer.push_back(chunk[i]);
    }
    if (i < n)
        nulAfterBuffer = !dropped;
    else if (i > 0)
        nulAfterBuffer = false;
}

bool Communication::dataWithin(qint64 ms)
{
    if (!portOpen)
        return false;
    // Bytes already buffered by the port count as signalled: they arrived in an earlier read of
    // the device that delivered more than one chunk.
    if (serialPort.bytesAvailable() > 0)
        return true;
    // Blocks until the first byte arrives, not in steps: the wait ends with its last byte.
    return ms > 0 && serialPort.waitForReadyRead(static_cast<int>(ms));
}

bool Communication::rxBufferHas(char c) const
{
    return rxBuffer.find(c) != std::string::npos;
}

QString Communication::chatterText()
{
    return tr("the device on this port sends text that is no answer of the pump");
}

bool Communication::waitForAcknowledge()
{
    waitStart = TickClock::now();
    waitElapsed = 0;
    cutOff = false;
    if (!portOpen)
        return true;
    readChunk();
    const auto answered = [this] {
        return rxBufferHas(ACK) || rxBufferHas(NAK);
    };
    // A fixed window: bytes that are neither ACK nor NAK do not extend it.
    while (portOpen && protocolAnswer && !answered() && !rxBufferFull() &&
           waitElapsed < WaitWindowMs) {
        if (dataWithin(WaitWindowMs - waitElapsed))
            readChunk();
        waitElapsed = static_cast<int>(TickClock::now() - waitStart);
    }
    cutOff = portOpen && rxBufferFull() && !answered();
    return true;
}

bool Communication::waitForEndOfText()
{
    waitStart = TickClock::now();
    waitElapsed = 0;
    cutOff = false;
    if (!portOpen)
        return true;
    const qint64 bound = waitStart + AnswerBoundMs;
    const auto answered = [this] {
        return rxBufferHas(ETX) || (protocolAnswer && rxBufferHas(NAK));
    };
    readChunk();
    while (portOpen && !answered() && waitElapsed < WaitWindowMs) {
        const qint64 now = TickClock::now();
        // Bytes that keep the idle window open without ever bringing an answer: a device that
        // talks on its own. The bound ends it whatever the rate; the cap ends a fast one sooner.
        if (rxBufferFull() || now >= bound) {
            cutOff = true;
            break;
        }
        const std::size_t before = rxBuffer.size();
        if (dataWithin(std::min<qint64>(WaitWindowMs - waitElapsed, bound - now)))
            readChunk();
        if (rxBuffer.size() != before) {
            waitStart = TickClock::now(); // every arriving chunk re-arms the idle window
            waitElapsed = 0;
        } else {
            waitElapsed = static_cast<int>(TickClock::now() - waitStart);
        }
    }
    return true;
}

std::string Communication::takeAnswer()
{
    rxFrameValid = false;
    rxAck = false;
    rxNak = false;
    rxNoFrame = false;
    waitStart = TickClock::now();
    waitElapsed = 0;

    if (AnswerClassifier::awaitsCheckCharacter(rxBuffer)) {
        // The check character is the byte after ETX, a NUL one included: the read drops a NUL
        // but notes it. Until it comes, the frame is unchecked, whatever its text XORs to.
        // Judged on the first ETX: a check character that is itself ETX (0x03) has arrived.
        const auto arrived = [this] {
            return !AnswerClassifier::awaitsCheckCharacter(rxBuffer) || nulAfterBuffer;
        };
        // A full buffer has no room for it: no wait.
        while (portOpen && !arrived() && !rxBufferFull() && waitElapsed < WaitWindowMs) {
            if (dataWithin(WaitWindowMs - waitElapsed))
                readChunk();
            waitElapsed = static_cast<int>(TickClock::now() - waitStart);
        }
        if (!rxBuffer.empty() && rxBuffer.back() == ETX && nulAfterBuffer)
            rxBuffer.push_back('\0');
    }

    lastRawReceived = rxBuffer;
    const AnswerClassifier::Result r = AnswerClassifier::classify(rxBuffer, addressText());
    if (r.frameFound) {
        rxFrameLength = r.frameLength;
        rxFrameValid = r.frameValid;
        if (r.addressConfirmed)
            rxAddressOnly = true;
    }
    rxAck = r.ack;
    rxNak = r.nak;
    if (r.ack || r.nak)
        rxFrameValid = true;
    if (r.noFrame) {
        rxNoFrame = true;
        rxAddressOnly = false;
    }
    rxOutcome = r.outcome();
    if (cutOff)
        lineChattering = true;
    else if (lastRawReceived.empty() || r.ack || r.nak || (r.frameFound && r.frameValid))
        lineChattering = false;
    cutOff = false;
    lastAnswer = r.text;
    rxBuffer.clear();
    nulAfterBuffer = false;
    return r.text;
}
