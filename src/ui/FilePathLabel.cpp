#include "ui/FilePathLabel.h"

#include <QDir>
#include <QFontMetrics>

TFilePathLabel::TFilePathLabel(QWidget *parent) : QLabel(parent) {}

void TFilePathLabel::SetPath(const QString &lead, const QString &path)
{
    lead_ = lead;
    path_ = QDir::toNativeSeparators(path);
    setToolTip(lead_ + path_);
    ShowPath();
}

QString TFilePathLabel::ElidedPath(const QFontMetrics &metrics, const QString &path, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype nameStart = path.lastIndexOf(QDir::separator()) + 1;
    const QString name = path.mid(nameStart);
    const int folderRoom = width - metrics.horizontalAdvance(name);
    // the root and the innermost folder stay as far as they go
    QString folder = metrics.elidedText(path.left(nameStart), Qt::ElideMiddle, folderRoom);
    if (!folder.endsWith(QDir::separator())) {
        const QString least = QStringLiteral("…") + QDir::separator();
        folder = metrics.horizontalAdvance(least) <= folderRoom ? least : QString();
    }
    if (!folder.isEmpty())
        return folder + name;
    return metrics.elidedText(name, Qt::ElideMiddle, width);
}

void TFilePathLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    ShowPath();
}

void TFilePathLabel::ShowPath()
{
    if (path_.isEmpty())
        return;
    // the label's own indent beside its frame is half an "x"
    const int room = contentsRect().width() - 2 * margin() - fontMetrics().horizontalAdvance(QLatin1Char('x'));
    setText(lead_ + ElidedPath(fontMetrics(), path_, room - fontMetrics().horizontalAdvance(lead_)));
}
