#pragma once

#include <QString>

// The byte-level serial port Datacom drives: the real one on QSerialPort, a
// scripted one in tests. Every call returns at once.
class Port
{
public:
    enum class Handshake { None, RtsCts };

    struct LineSettings
    {
        int baud = 9600;
        char parity = 'N'; // 'N', 'E' or 'O'
        int dataBits = 8;
        int stopBits = 1;
        Handshake handshake = Handshake::None;
        bool rts = false;
        bool dtr = false;
    };

    virtual ~Port() = default;

    // portNumber counts from 1 (COM1 on Windows). A port that is open already
    // is closed first. Input that waited before the opening is discarded.
    virtual bool open(int portNumber, const LineSettings &settings) = 0;
    virtual bool close() = 0;            // false when closing failed
    virtual bool isOpen() const = 0;
    virtual int bytesAvailable() = 0;    // -1 when the query failed
    virtual int readByte() = 0;          // 0-255, or -1 when nothing is waiting or the read failed
    virtual bool writeByte(quint8 byte) = 0;
    virtual void discardInput() = 0;
    virtual bool dsr() = 0;              // a device without modem lines counts as DSR on while open
    // The device a port number reaches on this system, for the screens ("COM3", "/dev/ttyUSB0").
    virtual QString deviceName(int portNumber) const = 0;
};
