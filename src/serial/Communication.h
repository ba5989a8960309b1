#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "BusinessLogic/LrcChecker.h"
#include "serial/PortProblem.h"

#include <QObject>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>

#include <string>

// The one object that talks to the serial port: sends a command frame, waits for the pump's
// answer within fixed bounds, extracts and classifies it, and keeps the receive flags that the
// commands, the traffic log and the display read. Every exchange blocks the caller (the command
// stack's tick) for at most about 80 ms per wait.
class Communication : public QObject
{
    Q_OBJECT

public:
    // Waits end after this many milliseconds (elapsed 0 to 79 continues).
    static constexpr int WaitWindowMs = 80;
    // A write must complete within this time.
    static constexpr int WriteTimeoutMs = 20;
    // Bytes taken from the port per read.
    static constexpr int ChunkSize = 20;

    Communication();
    ~Communication() override;

    void setAddress(int address);
    int address() const { return addressValue; }
    // The address in decimal, at least two digits ("01", "12", "100").
    std::string addressText() const;

    // Appends the check character, records the frame and writes it. True when every byte was
    // written within the write time-out.
    bool sendFrame(std::string &frame);
    // After settings and actions: up to 80 ms for ACK or NAK (no wait with the protocol answer
    // off).
    bool waitForAcknowledge();
    // After queries: until ETX (or NAK), re-armed by every arriving chunk, 80 ms idle time-out.
    bool waitForEndOfText();
    // Extracts and checks the answer, sets the receive flags, empties the receive buffer.
    std::string takeAnswer();

    // The port as chosen (a device path, or a stable link to one); empty before the first.
    QString portName() const { return portPath; }
    // Tries the chosen port again after it was lost or could not be opened; a stable link finds
    // its adapter under the device name it has now. Test modes are kept. True when the port is
    // open afterwards.
    bool reopen();

public slots:
    void setCommPort(QSerialPortInfo comPort);
    // The same for a port given by name ("ttyUSB0") or full device path ("/dev/pts/3").
    void setCommPortName(const QString &nameOrPath);

signals:
    // The reason the chosen port cannot be used changed: its text, empty once the port is open.
    void portProblemChanged(const QString &text);

public:
    // Link state, read by the commands, the traffic log and the display; the commands that own a
    // flag write it (the protocol answer, the two test modes, the answer text).
    bool portOpen = false;
    std::string rxBuffer;
    std::string lastAnswer;
    std::string lastRawReceived;
    std::string lastTransmitted;
    bool protocolAnswer = true;
    qint64 waitStart = 0;
    int waitElapsed = 0;
    bool txCheckCorrect = true;
    bool rxFrameValid = true;
    bool rxNak = false;
    bool rxAck = false;
    bool rxNoFrame = false;
    bool rxAddressOnly = false;
    bool invalidLrcMode = false;
    bool unusedLrcMode = false;
    int rxFrameLength = 0;
    int txFrameLength = 0;
    // How the last extraction ended: the same verdict as the flags above, in one word.
    BusinessLogic::AnswerOutcome rxOutcome = BusinessLogic::AnswerOutcome::Answered;
    // The system's reason the port is not open (empty while it is).
    QString portError;
    // Why the port is not open and what to do, for the operator (cause None while it is open).
    PortProblem portProblem;

private:
    void onPortError(QSerialPort::SerialPortError error);
    void openPort();
    bool lockLine();
    void setProblem(const PortProblem &problem);
    void readChunk();
    bool dataWithin(qint64 ms);
    bool rxBufferHas(char c) const;

    QString portPath;
    QSerialPort serialPort;
    BusinessLogic::LrcChecker lrcChecker;
    // A NUL byte was received right after the last byte of rxBuffer.
    bool nulAfterBuffer = false;
    int addressValue = 0;
};
