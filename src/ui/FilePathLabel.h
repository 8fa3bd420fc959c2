#pragma once

// A status panel that names a file: a lead text and the file's path. When
// the panel is too narrow the folders give way before the file's name; the
// tool tip holds the whole path.

#include <QLabel>

class QFontMetrics;

class TFilePathLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TFilePathLabel(QWidget *parent = nullptr);

    void SetPath(const QString &lead, const QString &path);

    // The path in at most `width` pixels: whole when it fits, else with the
    // middle of its folder part left out, else the file's name alone,
    // shortened in its middle (its extension stays).
    static QString ElidedPath(const QFontMetrics &metrics, const QString &path, int width);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ShowPath();

    QString lead_;
    QString path_;
};
