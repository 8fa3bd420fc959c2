#pragma once

// Where the cycles are published: mqtt://[user[:password]@]host[:port]/PREFIX
// or mqtts://... for TLS. PREFIX is the first levels of every topic. A URL
// that names a user but no password takes the password from the environment
// variable RARUZOR_MQTT_PASSWORD, so that it need not be on the command line.

#include <QString>

class TMqttTarget
{
public:
    static constexpr int kPlainPort = 1883;
    static constexpr int kTlsPort = 8883;
    static constexpr const char *kPasswordVariable = "RARUZOR_MQTT_PASSWORD";

    // An empty text names no broker (not valid, no error). The error texts
    // never hold the URL, which may hold a password.
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

    // For logs: the URL with the password as "***".
    QString Display() const;

    // Why a CA file does not go with this target ("" when it does, or when
    // no CA file is given): it is for mqtts:// only.
    QString CaFileError(const QString &caFile) const;
    // A warning for the start ("" when none): credentials in clear text over
    // mqtt:// to a broker that is not on this computer.
    QString ClearTextWarning() const;

private:
    QString error_;
    bool tls_ = false;
    QString host_;
    int port_ = kPlainPort;
    QString user_;
    QString password_;
    QString prefix_;
};
