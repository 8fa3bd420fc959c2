#include "ui/widgets/LinkStatisticsPanel.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>

TLinkStatisticsPanel::TLinkStatisticsPanel(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("LinkStatisticsPanel"));
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::PointingHandCursor);
    Show(TLinkStatistics{});
}

void TLinkStatisticsPanel::Show(const TLinkStatistics &statistics)
{
    statistics_ = statistics;
    setText(statistics.ShortText());
    setToolTip(DetailsText());
}

QString TLinkStatisticsPanel::DetailsText() const
{
    return QStringLiteral("Статистика обмена с измерителем за опрос\n\n") + statistics_.Lines().join(QLatin1Char('\n'));
}

void TLinkStatisticsPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    // Not modal to the engine: polling goes on, the panel keeps counting.
    auto *box = new QMessageBox(QMessageBox::Information, QApplication::applicationName(), DetailsText(),
                                QMessageBox::Ok, window());
    box->setObjectName(QStringLiteral("LinkStatisticsDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
