#pragma once

// Publishes the cycles of one meter to an MQTT broker over a connection of
// its own (so that the meter's ".../status" has its own last will):
//   PREFIX/<type>-<number>/cycle      every whole cycle, QoS 1
//   PREFIX/<type>-<number>/aggregate  every 10-minute interval, QoS 1
//   PREFIX/<type>-<number>/status     "online" / "offline", retained, the last will
//   PREFIX/<type>-<number>/meta       the meter, its nominals and units, retained
// The polling thread only hands copies over; formatting and the network are
// the publisher's own thread. While the broker is away the messages wait in a
// bounded queue (the oldest go first) and leave in order once it is back.

#include "engine/CycleSink.h"
#include "engine/EngineEvents.h"
#include "mqtt/MqttTarget.h"

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

struct TMqttOptions
{
    TMqttTarget Target;
    QString CaFile;         // mqtts: the CA that signed the broker's certificate; empty: the system's
    int QueueLimit = 10000; // cycle and aggregate messages waiting for the broker
};

struct TMqttCounters
{
    quint64 Published = 0; // acknowledged by the broker
    quint64 Dropped = 0;   // past the queue while the broker was away
    quint64 Waiting = 0;   // queued or in flight
    bool Connected = false;
    bool Refused = false; // the broker refused the credentials or the authorisation
};

class TMqttPublisher : public TCycleSink
{
public:
    // Called on the publisher's thread: a status text for the user (and the log).
    using TReport = std::function<void(const QString &text, TSeverity severity)>;

    // Starts connecting at once, without waiting for the broker.
    TMqttPublisher(TMqttOptions options, TMeterIdentity meter, TReport report);
    // Publishes "offline", gives what waits up to ~2 s, disconnects.
    ~TMqttPublisher() override;

    TMqttPublisher(const TMqttPublisher &) = delete;
    TMqttPublisher &operator=(const TMqttPublisher &) = delete;

    void RunStarted(const TMeterIdentity &meter) override;
    void SettingsRead(TSettingsCopy settings) override;
    void CycleRead(TCycleCopy cycle) override;
    void RunEnded() override;

    TMqttCounters Counters() const;
    // Waits until all handed over so far is acknowledged by the broker; false
    // when the time ran out.
    bool Flush(int timeoutMs);

    const TMqttOptions &Options() const { return options_; }
    // "PREFIX/<type>-<number>", the topics' common part.
    QString Topic() const { return topic_; }

private:
    class TWork;
    struct TRunEnd
    {};
    using TItem = std::variant<TMeterIdentity, TSettingsCopy, TCycleCopy, TRunEnd>;
    friend class TWork;

    void Hand(TItem item);
    void Wake();
    void Loop();

    const TMqttOptions options_;
    const TMeterIdentity meter_;
    const QString topic_;
    const TReport report_;
    int wakeFd_ = -1; // an eventfd the thread polls beside the broker's socket

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<TItem> incoming_;
    bool stopping_ = false;
    TMqttCounters counters_;
    quint64 handed_ = 0, taken_ = 0; // items handed over, items the thread has taken
    std::thread thread_;
};
