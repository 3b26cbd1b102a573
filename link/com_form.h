#pragma once

#include "device_view.h"
#include "serial_port.h"

#include <QObject>

#include <functional>

class ProgressView;
class QTimer;

// The device-link holder: owns the port and the reply timer, and runs every request to the controller.
class Tcf : public QObject {
    Q_OBJECT
public:
    explicit Tcf(QObject* parent = nullptr);
    ~Tcf() override;

    // The window and the progress window the link reports to; set once after both exist.
    void attach(DeviceView* view, ProgressView* progress);

    ComPort* port1 = nullptr;
    QTimer* tm_timeout = nullptr;

    // Frame transmitter.
    void send_frame(const QByteArray& frame, qint32 no_echo);
    void tm_timeoutTimer();

    // Requests.
    void send_handshake();
    void read_channel(qint32 n);
    void send_config(qint32 n, const QString& payload);
    void read_table(qint32 n);
    void send_table(qint32 n, const QString& payload);
    void read_sms();
    void write_sms();

    // Receive path, command exchange and reply dispatcher.
    void port1TriggerAvail(quint16 count);
    void port1_oldReceiveCallBack(const QByteArray& data);
    void exchange_step();
    void dispatch_reply(qint32 line);
    void decode_channel_config(const QString& reply);

    // Seams for tests, fuzzers and benchmarks: where characters go and how the pauses wait.
    using CharWriter = std::function<void(const QByteArray& one_char)>;
    using Waiter = std::function<void(double seconds)>;
    void set_char_writer(CharWriter writer); // nullptr: the port
    void set_waiter(Waiter waiter);          // nullptr: wait_seconds

private:
    DeviceView& view() const;
    ProgressView& progress() const;
    void pause(double seconds);
    void start_request(const QByteArray& letter);
    void line_ended();
    void decode_identification(const QString& reply);
    void decode_sms(const QString& reply);
    void decode_table(qint32 line);

    DeviceView* m_view = nullptr;
    ProgressView* m_progress = nullptr;
    CharWriter m_writer;
    Waiter m_waiter;
};

extern Tcf* cf;
