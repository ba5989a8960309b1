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
// stack's tick): about 80 ms per wait, and never longer than AnswerBoundMs for the end of text,
// however the line behaves.
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
    // The longest answer the pump gives: STX, ten digits, ETX and the check character.
    static constexpr int MaxAnswerLength = 13;
    // What one exchange keeps at most; bytes beyond are dropped. Room for an answer behind some
    // noise, far less than a chattering line sends while a wait lasts.
    static constexpr int RxBufferCap = 4 * MaxAnswerLength;
    // Total bound of the end-of-text wait, from its start: the twelve bytes of the longest answer
    // up to its ETX, each just inside the idle window of the one before (a pump that trickles its
    // answer is still heard), and one window spare: 1040 ms. Only a line that keeps re-arming the
    // idle window without ever answering meets it.
    static constexpr int AnswerBoundMs = (MaxAnswerLength - 1) * WaitWindowMs + WaitWindowMs;

    Communication();
    ~Communication() override;

    void setAddress(int address);
    int address() const { return addressValue; }
    // The address in decimal, at least two digits ("01", "12", "100").
    std::string addressText() const;

    // Appends the check character, records the frame and writes it. True when every byte was
    // written within the write time-out.
    bool sendFrame(std::string &frame);
    // After settings and actions: up to 80 ms for ACK or NAK, less once the receive buffer is
    // full (no wait with the protocol answer off).
    bool waitForAcknowledge();
    // After queries: until ETX (or NAK), re-armed by every arriving chunk, 80 ms idle time-out;
    // ended in any case by AnswerBoundMs or a full receive buffer.
    bool waitForEndOfText();
    // Extracts and checks the answer, sets the receive flags, empties the receive buffer.
    std::string takeAnswer();

    // The port as chosen (a device path, or a stable link to one); empty before the first.
    QString portName() const { return portPath; }
    // Tries the chosen port again after it was lost or could not be opened; a stable link finds
    // its adapter under the device name it has now. Test modes are kept. True when the port is
    // open afterwards.
    bool reopen();

    // Why lineChattering is set, for the operator.
    static QString chatterText();

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
    // The last exchange was cut off by the end-of-text bound or the full receive buffer while
    // bytes kept coming: something on this port talks, but not as the pump does. Cleared by an
    // exchange that ends with a valid answer, ACK, NAK or plain silence; kept by one that only
    // saw noise. The exchange's outcome is still the classifier's.
    bool lineChattering = false;
    // The system's reason the port is not open (empty while it is).
    QString portError;
    // Why the port is not open and what to do, for the operator (cause None while it is open).
    PortProblem portProblem;

private:
    void onPortError(QSerialPort::SerialPortError error);
    void openPort();
    // 0 when this program now holds the device, else the errno of the refusal.
    int lockLine();
    void setProblem(const PortProblem &problem);
    void readChunk();
    bool dataWithin(qint64 ms);
    bool rxBufferHas(char c) const;
    bool rxBufferFull() const { return rxBuffer.size() >= std::size_t{RxBufferCap}; }

    QString portPath;
    QSerialPort serialPort;
    BusinessLogic::LrcChecker lrcChecker;
    // A NUL byte was received right after the last byte of rxBuffer.
    bool nulAfterBuffer = false;
    // The current exchange's wait was ended by its total bound or the cap, not by an answer or
    // the idle window.
    bool cutOff = false;
    int addressValue = 0;
};
