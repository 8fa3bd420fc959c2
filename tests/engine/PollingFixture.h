#pragma once

// A polling run seen from the window's side: the engine with its own log,
// a window stand-in that records every message with its text, and a pump
// that delivers them while waiting for a condition.

#include "catalogue/ConnectionList.h"
#include "common/WindowMessages.h"
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

    bool event(QEvent *e) override
    {
        if (auto *message = dynamic_cast<TWindowMessageEvent *>(e)) {
            messages.push_back({message->Number(), message->Text()});
            return true;
        }
        return QObject::event(e);
    }
    int Count(int number) const
    {
        return int(std::count_if(messages.begin(), messages.end(), [&](const TMessage &m) { return m.Number == number; }));
    }
    QStringList StatusTexts() const
    {
        QStringList texts;
        for (const auto &m : messages)
            if (m.Number == WM_STATUS_TEXT)
                texts << m.Text;
        return texts;
    }
};

class PollingFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        commons = std::make_unique<TCommons>(&factory, &window, dir.filePath(QStringLiteral("poll.log")));
        ASSERT_TRUE(commons->Logger().Open());
    }

    void TearDown() override
    {
        if (commons && commons->Manager()) {
            commons->Manager()->Stop();
            EXPECT_TRUE(commons->Manager()->WaitForThread(30000));
        }
        commons.reset();
    }

    void Start(std::shared_ptr<TccnConnection> connection, const QString &password = {})
    {
        commons->Settings()->SetConnection(std::move(connection));
        commons->Settings()->Common.Password = password;
        commons->Manager()->Start();
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
