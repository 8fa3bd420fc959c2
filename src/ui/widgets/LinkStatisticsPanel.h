#pragma once

// The status-bar panel that answers "is it the meter or the line?": requests
// and errors of the current run at a glance, every counter in its tool tip
// and, on a click, in a small dialog.

#include "engine/LinkStatistics.h"

#include <QLabel>

class TLinkStatisticsPanel : public QLabel
{
    Q_OBJECT

public:
    explicit TLinkStatisticsPanel(QWidget *parent = nullptr);

    void Show(const TLinkStatistics &statistics);
    const TLinkStatistics &Statistics() const { return statistics_; }
    // The dialog's text: a heading and one line per counter.
    QString DetailsText() const;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TLinkStatistics statistics_;
};
