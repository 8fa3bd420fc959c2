#pragma once

// The quality report's preview: the archive is read and judged on a thread of
// its own, the document (its charts are widgets drawn off screen) is made on
// this one, shown with its verdict, and saved as HTML or PDF on request.

#include "archive/ArchiveTarget.h"
#include "report/QualityReport.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTextBrowser;

class TQualityReportDialog : public QDialog
{
    Q_OBJECT

public:
    TQualityReportDialog(const TArchiveTarget &target, const Report::TReportRequest &request,
                         QWidget *parent = nullptr);
    ~TQualityReportDialog() override;

    // Reads the archive; the document shows when it is ready.
    void Start();

    // The report is shown (nothing when it is still read, or failed).
    bool Ready() const { return report_.has_value(); }
    const Report::TQualityReport *Report() const { return report_ ? &*report_ : nullptr; }
    QTextBrowser *Browser() const { return browser_; }
    QString VerdictText() const;
    QString StatusText() const;

    // Asks for a file, HTML or PDF by its extension, and writes the report there.
    void Save();

signals:
    // The read ended: the document shows, or the error was told.
    void Finished();

private:
    struct TOutcome;

    void OnRead();
    void ShowDocument();
    bool Write(const QString &path, QString &error);

    TArchiveTarget target_;
    Report::TReportRequest request_;
    std::shared_ptr<TOutcome> outcome_; // shared with the reading thread
    std::optional<Report::TQualityReport> report_;
    QByteArray html_; // the document as saved

    QLabel *lblVerdict_ = nullptr;
    QLabel *lblStatus_ = nullptr;
    QTextBrowser *browser_ = nullptr;
    QPushButton *btnSave_ = nullptr;
};
