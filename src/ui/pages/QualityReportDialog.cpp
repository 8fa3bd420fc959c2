#include "ui/pages/QualityReportDialog.h"

#include "archive/ArchiveDatabase.h"
#include "common/OsErrorText.h"
#include "common/UserFolders.h"
#include "report/ReportCriteria.h"
#include "report/ReportDocument.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

namespace {

constexpr int kDocumentChartWidth = 1000; // the width the HTML gives its charts

QString IntervalText(const QDateTime &from, const QDateTime &to)
{
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
    return QStringLiteral("с %1 по %2").arg(from.toString(format), to.toString(format));
}

// The verdict's colours: the report's own words, as the pages colour limits.
QString VerdictStyle(Report::TVerdict verdict)
{
    switch (verdict) {
    case Report::TVerdict::Conforms: return QStringLiteral("color:#ffffff;background:#2e7d32;");
    case Report::TVerdict::Fails: return QStringLiteral("color:#ffffff;background:#c62828;");
    case Report::TVerdict::TooFewData: return QStringLiteral("color:#000000;background:#ffca28;");
    case Report::TVerdict::NoLimits: return QStringLiteral("color:#000000;background:#cfd8dc;");
    }
    return {};
}

} // namespace

// What the reading thread hands back; read here only after it finished.
struct TQualityReportDialog::TOutcome
{
    std::optional<Report::TQualityReport> Report;
    QString Error;
};

TQualityReportDialog::TQualityReportDialog(const TArchiveTarget &target, const Report::TReportRequest &request,
                                           QWidget *parent)
    : QDialog(parent), target_(target), request_(request)
{
    setObjectName(QStringLiteral("QualityReportDialog"));
    setWindowTitle(QStringLiteral("Отчёт о качестве электроэнергии"));
    auto *layout = new QVBoxLayout(this);

    lblVerdict_ = new QLabel(this);
    lblVerdict_->setObjectName(QStringLiteral("lblReportVerdict"));
    QFont big = lblVerdict_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblVerdict_->setFont(big);
    lblVerdict_->setMargin(6);
    lblVerdict_->setWordWrap(true);
    lblVerdict_->hide();
    layout->addWidget(lblVerdict_);

    lblStatus_ = new QLabel(QStringLiteral("Отчёт готовится…"), this);
    lblStatus_->setObjectName(QStringLiteral("lblReportStatus"));
    lblStatus_->setWordWrap(true);
    layout->addWidget(lblStatus_);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtReport"));
    browser_->setOpenLinks(false);
    layout->addWidget(browser_, 1);

    auto *buttons = new QDialogButtonBox(this);
    btnSave_ = buttons->addButton(QStringLiteral("Сохранить…"), QDialogButtonBox::ActionRole);
    btnSave_->setObjectName(QStringLiteral("btnReportSave"));
    btnSave_->setEnabled(false);
    QPushButton *close = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnReportClose"));
    connect(btnSave_, &QPushButton::clicked, this, &TQualityReportDialog::Save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    resize(1080, 760);
}

// A read still going on ends by itself; its result is dropped with the outcome.
TQualityReportDialog::~TQualityReportDialog() = default;

void TQualityReportDialog::Start()
{
    outcome_ = std::make_shared<TOutcome>();
    // The archive's connection is made, used and closed on the reading thread.
    QThread *thread = QThread::create([outcome = outcome_, target = target_, request = request_] {
        TArchiveDatabase database(target);
        if (!database.Open(TArchiveDatabase::TMode::Read)) {
            outcome->Error = QStringLiteral("архив не открыт: ") + database.Error();
            return;
        }
        outcome->Report = Report::MakeQualityReport(database, request, outcome->Error);
    });
    thread->setObjectName(QStringLiteral("QualityReportRead"));
    // Not this dialog's child: closing it during the read must not destroy a running thread.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // nor may the program end under it
    connect(qApp, &QCoreApplication::aboutToQuit, thread, [thread] { thread->wait(); });
    connect(thread, &QThread::finished, this, &TQualityReportDialog::OnRead);
    lblStatus_->setText(QStringLiteral("Отчёт готовится…"));
    thread->start(QThread::LowPriority);
}

void TQualityReportDialog::OnRead()
{
    const std::shared_ptr<TOutcome> outcome = std::move(outcome_);
    if (!outcome->Report) {
        const QString error = outcome->Error.isEmpty() ? QStringLiteral("архив не прочитан") : outcome->Error;
        lblStatus_->setText(QStringLiteral("Отчёт не составлен: ") + error);
        emit Finished();
        ShowError(QStringLiteral("Отчёт о качестве не составлен: %1.").arg(error), this);
        reject();
        return;
    }
    report_ = std::move(outcome->Report);
    ShowDocument();
    emit Finished();
}

void TQualityReportDialog::ShowDocument()
{
    const Report::TQualityReport &report = *report_;
    setWindowTitle(QStringLiteral("Отчёт о качестве: ") + Report::MeterName(report.Meter));
    // What fails, named beside the verdict: the reason is the first thing looked for.
    QStringList failing;
    for (const Report::TCriterionResult &result : report.Results)
        if (result.Verdict == Report::TVerdict::Fails)
            failing << Report::DisplayName(*result.Criterion);
    QString verdict = QStringLiteral("Заключение: ") + Report::VerdictText(report.Verdict);
    if (!failing.isEmpty()) {
        constexpr qsizetype kNamed = 6;
        verdict += QStringLiteral(" (") + QStringList(failing.mid(0, kNamed)).join(QStringLiteral(", "));
        if (failing.size() > kNamed)
            verdict += QStringLiteral(" и ещё %1").arg(failing.size() - kNamed);
        verdict += u')';
    }
    lblVerdict_->setText(verdict);
    lblVerdict_->setStyleSheet(VerdictStyle(report.Verdict));
    lblVerdict_->show();
    lblStatus_->setText(QStringLiteral("Документ составляется…"));
    lblVerdict_->repaint(); // shows before the charts are drawn
    lblStatus_->repaint();

    {
        // The charts are widgets drawn off screen, so on this thread: about 0.3 s for a week.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        html_ = Report::RenderReport(report, Report::TFormat::Html);
        QGuiApplication::restoreOverrideCursor();
    }
    // Shown narrower than saved when the window is: no sideways scrolling.
    QString shown = QString::fromUtf8(html_);
    const int width = browser_->contentsRect().width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent) -
                      2 * int(browser_->document()->documentMargin()) - 8;
    if (width > 200 && width < kDocumentChartWidth)
        shown.replace(QStringLiteral("width=\"%1\"").arg(kDocumentChartWidth),
                      QStringLiteral("width=\"%1\"").arg(width));
    // A full-width table's border comes out a pixel wider than the view.
    shown.replace(QStringLiteral("width=\"100%\""), QStringLiteral("width=\"99%\""));
    browser_->setHtml(shown);
    lblStatus_->setText(QStringLiteral("Счетчик %1, время счетчика %2")
                            .arg(Report::MeterName(report.Meter), IntervalText(report.From, report.To)));
    btnSave_->setEnabled(true);
}

QString TQualityReportDialog::VerdictText() const
{
    return report_ ? lblVerdict_->text() : QString();
}

QString TQualityReportDialog::StatusText() const
{
    return lblStatus_->text();
}

void TQualityReportDialog::Save()
{
    if (!report_)
        return;
    const QString proposed = ProgramDocumentsFolder() + QStringLiteral("report_%1_%2.html")
                                                            .arg(report_->Meter.FactoryNumber)
                                                            .arg(report_->From.toString(QStringLiteral("yyyyMMdd")));
    QString chosen;
    if (!ExecuteFileDialog(fdmSave, QStringLiteral("Сохранить отчёт"), proposed,
                           QStringLiteral("Документ HTML|*.html;*.htm|Документ PDF|*.pdf"), false, false, true, chosen,
                           this))
        return;
    QString error;
    const QString shown = QDir::toNativeSeparators(chosen);
    if (Write(chosen, error)) {
        lblStatus_->setText(QStringLiteral("Записан файл ") + shown);
    } else {
        lblStatus_->setText(QStringLiteral("Файл %1 не записан").arg(shown));
        ShowError(QStringLiteral("Отчёт не записан в %1: %2").arg(shown, error), this);
    }
}

bool TQualityReportDialog::Write(const QString &path, QString &error)
{
    const bool pdf = QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    QByteArray document;
    if (pdf) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        document = Report::RenderReport(*report_, Report::TFormat::Pdf);
        QGuiApplication::restoreOverrideCursor();
    } else {
        document = html_;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        error = OsErrorText(file.errorString());
        return false;
    }
    return true;
}
