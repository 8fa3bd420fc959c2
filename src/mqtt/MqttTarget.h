#pragma once

// Where the cycles are published: mqtt://[user[:password]@]host[:port]/PREFIX
// or mqtts://... for TLS. PREFIX is the first levels of every topic.

#include <QString>

class TMqttTarget
{
public:
    static constexpr int kPlainPort = 1883;
    static constexpr int kTlsPort = 8883;

    // An empty text names no broker (not valid, no error).
    static TMqttTarget Parse(const QString &text);

    bool IsValid() const { return !host_.isEmpty() && error_.isEmpty(); }
    // Why the text names no broker ("" when it does or when it was empty).
    QString Error() const { return error_; }

    bool Tls() const { return tls_; }
    QString Host() const { return host_; }
    int Port() const { return port_; }
    QString User() const { return user_; }
    QString Password() const { return password_; }
    QString Prefix() const { return prefix_; }

    // For logs: the URL with the password left out.
    QString Display() const;

private:
    QString error_;
    bool tls_ = false;
    QString host_;
    int port_ = kPlainPort;
    QString user_;
    QString password_;
    QString prefix_;
};
