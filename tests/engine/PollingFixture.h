#pragma once

// A polling run seen from the window's side: the engine with its own log,
// a listener that records every signal with its text, and a pump that
// delivers them while waiting for a condition.

#include "EngineTestSupport.h"

#include "catalogue/ConnectionList.h"
#include "engine/Engine.h"
#include "engine/PollSettings.h"
#include "engine/PollRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace engine_test {

class RecordingWindow : public QObject
{
public:
    struct TMessage
    {
        int Number;
        QString Text;
    };
    std::vector<TMessage> messages;

    void Listen(TEngineEvents &events)
    {
        ListenByNumber(events, this, [this](int number, qintptr, const QString &text) {
            messages.push_back({number, text});
        });
    }
    int Count(int number) const
    {
        return int(
            std::count_if(messages.begin(), messages.end(), [&](const TMessage &m) { return m.Number == number; }));
    }
    QStringList StatusTexts() const
    {
        QStringList texts;
        for (const auto &m : messages)
            if (m.Number == emStatusText)
                texts << m.Text;
        return texts;
    }
};

class PollingFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        commons = std::make_unique<TCommons>(&factory, dir.filePath(QStringLiteral("poll.log")));
        window.Listen(commons->Events());
        ASSERT_TRUE(commons->Logger().Open());
    }

    void TearDown() override
    {
        if (commons) {
            commons->Stop();
            EXPECT_TRUE(commons->WaitForThread(30000));
        }
        commons.reset();
    }

    void Start(std::shared_ptr<TccnConnection> connection, const QString &password = {})
    {
        commons->Settings()->SetConnection(std::move(connection));
        commons->Settings()->Common.Password = password;
        commons->Start();
    }

    // Delivers the posted messages until the condition holds or time is up.
    bool PumpUntil(const std::function<bool()> &condition, int ms = 30000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            QCoreApplication::sendPostedEvents(&window);
            if (condition())
                return true;
            QThread::msleep(10);
        }
        QCoreApplication::sendPostedEvents(&window);
        return condition();
    }

    QTemporaryDir dir;
    TObjectsFactoryVD factory;
    RecordingWindow window;
    std::unique_ptr<TCommons> commons;
};

} // namespace engine_test
