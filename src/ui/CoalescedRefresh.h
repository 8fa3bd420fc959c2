#pragma once

// A refresh that draws the record as it is when it runs stands for every
// change told before that: changes told while it waits in the window's queue
// add nothing to it. Cycles that come faster than the window draws them (a
// meter clock run fast, a loaded machine) thus never pile up in the queue,
// and what comes after them there (the end of a run) is seen at once.

#include <QObject>

#include <atomic>
#include <functional>
#include <utility>

class TCoalescedRefresh : public QObject
{
public:
    // A child of `parent`: it outlives the parent's members, the engine too.
    TCoalescedRefresh(QObject *parent, std::function<void()> refresh) : QObject(parent), refresh_(std::move(refresh)) {}

    // On any thread, typically the one that tells the change.
    void Request()
    {
        if (waiting_.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                waiting_ = false; // a change told from now on needs a refresh of its own
                refresh_();
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void()> refresh_;
    std::atomic<bool> waiting_{false};
};
