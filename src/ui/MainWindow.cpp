#include "ui/MainWindow.h"

#include "archive/ArchiveWriter.h"
#include "archive/CycleSinks.h"
#include "ui/ArchiveGroup.h"
#include "ui/CoalescedRefresh.h"
#include "engine/PollSettings.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/RecordSlots.h"
#include "ui/FilePathLabel.h"
#include "ui/PasswordEdit.h"
#include "ui/connections/ConnectionSettingsFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/pages/HarmonicsPage.h"
#include "ui/pages/InterharmonicsPage.h"
#include "ui/RecordBindings.h"
#include "ui/pages/MainValuesPage.h"
#include "ui/pages/PowerPage.h"
#include "ui/pages/SignalsFormsFrame.h"
#include "ui/pages/TrendsPage.h"
#include "catalogue/ProgramSettingsFile.h"
#include "ui/WindowPlacement.h"
#include "ui/widgets/LinkStatisticsPanel.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QPlatformSurfaceEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent), cycleSinks_(std::make_unique<TCycleSinks>())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Монитор"));
    setMinimumSize(kMinWidth, kMinHeight);
    BuildLayout();
}

TMainForm::~TMainForm() = default;

void TMainForm::Initialize()
{
    const QString title = GetProgramTitle();
    // the message boxes' caption; a display name of the application would
    // be appended to every window's title by the windowing system
    QCoreApplication::setApplicationName(title);
    setWindowTitle(QStringLiteral("%1 v %2").arg(title, QStringLiteral(MONITOR_VERSION)));
    CreateEngine();
    pgctrlMain->setCurrentIndex(0);
    CreateBindings();
    paramsMainPage_->SetUnits();
    harmonicsPage_->SetUnits();
    interharmonicsPage_->SetUnits();
    powerPage_->SetUnits();
    TParamsMainPage::SetNominalUnits(vwdfNominal_Uf, vwdfNominal_Umf, vwdfNominal_I);
    qApp->installEventFilter(this);
    ConnectionSettingsFrame1->Initialize();
    if (const TProgramIniFile *ini = ConnectionSettingsFrame1->IniFile())
        gbArchive->SetSettings(TArchiveSettings::Read(*ini));
    ApplyArchiveSettings();
    connect(gbArchive, &TArchiveGroupBox::SettingsEdited, this, &TMainForm::OnArchiveEdited);

    resize(kMinWidth, kMinHeight);
    if (const QScreen *screen = QApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TMainForm::CreateEngine()
{
    if (!commons_) {
        ShowError(QStringLiteral("Ошибка при инициализации данных."), this);
        std::exit(1);
    }
    ConnectEngine();
}

// Queued even though the engine lives on this thread: a record cleared by
// the window tells its changes after the click is handled, as a polled one
// does. The refreshes that draw the record as it stands are queued once for
// all the changes told while one waits (taken where they are told).
void TMainForm::ConnectEngine()
{
    TEngineEvents &events = commons_->Events();
    constexpr auto queued = Qt::QueuedConnection;
    auto coalesce = [&](auto signal, std::function<void()> refresh) {
        connect(&events, signal, new TCoalescedRefresh(this, std::move(refresh)), &TCoalescedRefresh::Request,
                Qt::DirectConnection);
    };
    connect(
        &events, &TEngineEvents::RunStateChanged, this, [this] { OnPollStateChanged(); }, queued);
    connect(
        &events, &TEngineEvents::ValueChanged, this, [this](int slot) { RefreshParameter(slot); }, queued);
    connect(
        &events, &TEngineEvents::StatusChanged, this, [this](const QString &text) { ShowStatusText(text); }, queued);
    connect(
        &events, &TEngineEvents::NominalsChanged, this,
        [this] {
            RefreshNominalFrames();
            RefreshNominals();
        },
        queued);
    coalesce(&TEngineEvents::DataChanged, [this] { RefreshData(); });
    coalesce(&TEngineEvents::OscillogramChanged, [this] { RefreshOscillogram(); });
    coalesce(&TEngineEvents::DeviceTimeChanged, [this] { RefreshDeviceTime(); });
    connect(
        &events, &TEngineEvents::LinkStatisticsChanged, this,
        [this](const TLinkStatistics &statistics) { linkStatisticsPanel->Show(statistics); }, queued);
}

void TMainForm::BuildLayout()
{
    BuildToolBar();

    pgctrlMain = new QTabWidget(this);
    pgctrlMain->setObjectName(QStringLiteral("pgctrlMain"));
    tbshtInterface = AddPage("tbshtInterface", QStringLiteral("Интерфейс"));
    tbshtParamsMain = AddPage("tbshtParamsMain", QStringLiteral("Основные"));
    tbshtParamsHarmonics = AddPage("tbshtParamsHarmonics", QStringLiteral("Гармоники"));
    TabSheet1 = AddPage("TabSheet1", QStringLiteral("Интергармоники"));
    ts1 = AddPage("ts1", QStringLiteral("Мощность"));
    tbshtSignalsForms = AddPage("tbshtSignalsForms", QStringLiteral("Формы сигналов"));
    tbshtTrends = AddPage("tbshtTrends", QStringLiteral("Тренды"));
    setCentralWidget(pgctrlMain);

    BuildInterfacePage();
    auto *mainLayout = new QVBoxLayout(tbshtParamsMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(tbshtParamsMain);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    paramsMainPage_ = new TParamsMainPage(scroll);
    scroll->setWidget(paramsMainPage_);
    mainLayout->addWidget(scroll);
    harmonicsPage_ = new THarmonicsPage;
    HostPage(tbshtParamsHarmonics, harmonicsPage_);
    interharmonicsPage_ = new TInterharmonicsPage;
    HostPage(TabSheet1, interharmonicsPage_);
    powerPage_ = new TPowerPage;
    HostPage(ts1, powerPage_);
    signalsFormsFrame_ = new TSignalsFormsFrame;
    HostPage(tbshtSignalsForms, signalsFormsFrame_);
    trendsPage_ = new TTrendsPage;
    HostPage(tbshtTrends, trendsPage_);
    BuildStatusBar();
}

void TMainForm::BuildNominalFrames(QToolBar *bar)
{
    auto *nominals = new QWidget(bar);
    nominals->setObjectName(QStringLiteral("clbrNominal"));
    auto *layout = new QHBoxLayout(nominals);
    layout->setContentsMargins(6, 0, 6, 0);
    auto addFrame = [&](const QString &caption, const char *name) {
        layout->addWidget(new QLabel(caption, nominals));
        auto *frame = new TValueWithDimensionFrame(nominals);
        frame->setObjectName(QLatin1String(name));
        frame->setFixedWidth(frame->fontMetrics().horizontalAdvance(QStringLiteral("00000.000 кВ")) + 12);
        layout->addWidget(frame);
        return frame;
    };
    vwdfNominal_Uf = addFrame(QStringLiteral("Uном ф"), "vwdfNominal_Uf");
    vwdfNominal_Umf = addFrame(QStringLiteral("U ном мф"), "vwdfNominal_Umf");
    vwdfNominal_I = addFrame(QStringLiteral("I ном"), "vwdfNominal_I");
    bar->addWidget(nominals);
    bar->addSeparator();
}

void TMainForm::CreateBindings()
{
    if (!commons_ || !commons_->Store())
        return;
    bindings_ = std::make_unique<TParamsControlsManager>(*commons_->Store(), &commons_->Logger(),
                                                         [this](const QString &text) { ShowStatusText(text); });
    paramsMainPage_->CreateBindings(*bindings_);
    TParamsMainPage::BindNominals(*bindings_, vwdfNominal_Uf, vwdfNominal_Umf, vwdfNominal_I);
    harmonicsPage_->CreateBindings(*bindings_);
    interharmonicsPage_->CreateBindings(*bindings_);
    powerPage_->CreateBindings(*bindings_);
    // the page follows the engine's oscillograms and its first-oscillogram
    // message (automatic scaling) by itself
    signalsFormsFrame_->ConnectEngine(*commons_);
}

void TMainForm::RefreshNominals()
{
    if (!commons_ || !commons_->Store())
        return;
    harmonicsPage_->RenewHeaders(*commons_->Store());
    interharmonicsPage_->RenewHeaders(*commons_->Store());
    powerPage_->RenewHeaders(*commons_->Store());
}

void TMainForm::RefreshParameter(int slot)
{
    if (bindings_)
        bindings_->RefreshParameter(slot);
}

void TMainForm::RefreshData()
{
    if (bindings_)
        // the nominals, limits and channel states before the first value are
        // refreshed one by one, when they change
        bindings_->RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1);
}

void TMainForm::RefreshOscillogram()
{
    if (bindings_)
        bindings_->RefreshRange(VDSlot::OscFirst, VDSlot::OscEnd - 1);
}

QWidget *TMainForm::AddPage(const char *objectName, const QString &caption)
{
    auto *page = new QWidget(pgctrlMain);
    page->setObjectName(QLatin1String(objectName));
    pgctrlMain->addTab(page, caption);
    return page;
}

void TMainForm::HostPage(QWidget *tab, QWidget *content)
{
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void TMainForm::BuildToolBar()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbCommonParams"));
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    addToolBar(Qt::TopToolBarArea, bar);

    actRun = new QAction(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Запустить опрос"), this);
    actRun->setObjectName(QStringLiteral("actRun"));
    actRun->setData(0);
    actSaveFile =
        new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Сохранить данные"), this);
    actSaveFile->setObjectName(QStringLiteral("actSaveFile"));
    // a hint's short part pops up at the button, its long part shows in the
    // status line while the mouse is over it
    actSaveFile->setToolTip(QStringLiteral("Сохранить в файл"));
    actSaveFile->setStatusTip(QStringLiteral("Сохранить последние измерения в файл"));
    actExit = new QAction(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Выход"), this);
    actExit->setObjectName(QStringLiteral("actExit"));
    actExit->setToolTip(QStringLiteral("Выход"));
    actExit->setStatusTip(QStringLiteral("Закрыть приложение"));
    connect(actExit, &QAction::triggered, this, &QWidget::close);
    connect(actRun, &QAction::triggered, this, &TMainForm::actRunExecute);
    connect(actSaveFile, &QAction::triggered, this, [this] { SaveMeasurements(); });
    bar->addAction(actRun);
    bar->addAction(actSaveFile);
    bar->addAction(actExit);
    bar->addSeparator();

    auto *address = new QWidget(bar);
    auto *addressLayout = new QHBoxLayout(address);
    addressLayout->setContentsMargins(6, 0, 6, 0);
    addressLayout->addWidget(new QLabel(QStringLiteral("Адрес измерителя:"), address));
    lblNomerDev = new QLabel(QStringLiteral("00000"), address);
    lblNomerDev->setObjectName(QStringLiteral("lblNomerDev"));
    QFont bold = lblNomerDev->font();
    bold.setBold(true);
    lblNomerDev->setFont(bold);
    addressLayout->addWidget(lblNomerDev);
    bar->addWidget(address);
    bar->addSeparator();
    BuildNominalFrames(bar);

    // The last status text has a row of the tool-bar area to itself: beside
    // the buttons and nominal values it would get a few pixels at the
    // window's usual width. It follows the row's width, shortened to the room
    // it has, whole in its tool tip.
    addToolBarBreak(Qt::TopToolBarArea);
    bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbLog"));
    bar->setMovable(false);
    addToolBar(Qt::TopToolBarArea, bar);
    clbLog = new QWidget(bar);
    clbLog->setObjectName(QStringLiteral("clbLog"));
    clbLog->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *logLayout = new QHBoxLayout(clbLog);
    logLayout->setContentsMargins(6, 0, 5, 0);
    lblLog = new QLabel(clbLog);
    lblLog->setObjectName(QStringLiteral("lblLog"));
    // its text does not ask for room: the bar's buttons and frames come first
    lblLog->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblLog->setMinimumWidth(kLogMinWidth);
    lblLog->installEventFilter(this);
    logLayout->addWidget(lblLog);
    // The link statistics end the row: in the status line they would take
    // the last file's room, beside the page tabs the seven tabs' (at the
    // window's minimum width the last tabs went behind scroll arrows).
    linkStatisticsPanel = new TLinkStatisticsPanel(clbLog);
    logLayout->addWidget(linkStatisticsPanel);
    logLayout->setStretchFactor(lblLog, 1);
    bar->addWidget(clbLog);
}

void TMainForm::ShowStatusText(const QString &text)
{
    statusText_ = text;
    lblLog->setToolTip(text);
    ElideStatusText();
}

void TMainForm::ElideStatusText()
{
    lblLog->setText(lblLog->fontMetrics().elidedText(statusText_, Qt::ElideRight, lblLog->contentsRect().width()));
}

void TMainForm::BuildStatusBar()
{
    const int widths[3] = {kDeviceTimePanelWidth, 140, 50};
    const QString texts[3] = {QStringLiteral("Время последнего расчета: __:__:__"),
                              QStringLiteral("F2 - Сохранение в файл"), QString()};
    lastFilePanel = new TFilePathLabel(statusBar());
    for (int i = 0; i < 3; ++i) {
        statusPanels[i] = i == 2 ? lastFilePanel : new QLabel(texts[i], statusBar());
        statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels[i]->setFrameShape(QFrame::StyledPanel);
        // the design widths, widened where this system's font needs more room
        const int needed = statusPanels[i]->fontMetrics().horizontalAdvance(texts[i]) + 12;
        if (i < 2)
            statusPanels[i]->setFixedWidth(std::max(widths[i], needed));
        else
            statusPanels[i]->setMinimumWidth(widths[i]);
        statusBar()->addWidget(statusPanels[i], i == 2 ? 1 : 0);
    }
}

void TMainForm::BuildInterfacePage()
{
    auto *layout = new QVBoxLayout(tbshtInterface);
    gbRequestThreadManagement = new QGroupBox(tbshtInterface);
    gbRequestThreadManagement->setObjectName(QStringLiteral("gbRequestThreadManagement"));
    auto *passwordRow = new QHBoxLayout(gbRequestThreadManagement);
    passwordRow->addWidget(new QLabel(QStringLiteral("Пароль 1 уровня:"), gbRequestThreadManagement));
    edtPasswordFirstLevel = new QLineEdit(gbRequestThreadManagement);
    edtPasswordFirstLevel->setObjectName(QStringLiteral("edtPasswordFirstLevel"));
    edtPasswordFirstLevel->setMaxLength(8);
    MaskAsPassword(edtPasswordFirstLevel);
    edtPasswordFirstLevel->setFixedWidth(120);
    passwordRow->addWidget(edtPasswordFirstLevel);
    passwordRow->addStretch(1);
    layout->addWidget(gbRequestThreadManagement);
    ConnectionSettingsFrame1 = new TConnectionSettingsFrame(tbshtInterface);
    layout->addWidget(ConnectionSettingsFrame1, 1);
    gbArchive = new TArchiveGroupBox(tbshtInterface);
    layout->addWidget(gbArchive);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblLog && event->type() == QEvent::Resize)
        ElideStatusText();
    // A press reaches this filter at its top-level window, then at the
    // focused widget and every parent the widget passes it on to: it counts
    // at the window only, whichever widget has the focus (or none has).
    // The window system destroyed the window without a close request. Qt
    // also destroys a platform window to make it anew at once: judged once
    // the destroying call is over.
    if (event->type() == QEvent::PlatformSurface && watched == windowHandle() && !closing_ &&
        static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
        QTimer::singleShot(0, this, [this] {
            if (!windowHandle() || !windowHandle()->handle())
                EndWithoutCloseRequest();
        });
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F2 && !key->isAutoRepeat())
            SaveMeasurements(); // the key goes on to its widget as well
    }
    return QMainWindow::eventFilter(watched, event);
}

// The record announces the nominals one by one when they are read, but a
// cleared record only as a whole.
void TMainForm::RefreshNominalFrames()
{
    for (int slot : {VDSlot::UnomPhase, VDSlot::UnomLine, VDSlot::Inom})
        RefreshParameter(slot);
}

void TMainForm::OnPollStateChanged()
{
    if (!commons_)
        return;
    switch (commons_->RunState()) {
    case rsRunning:
        if (awaitingStop_ && actRun->data().toInt() == 0)
            SetRunningView(false);
        break;
    case rsStopped:
        if (!awaitingStop_)
            break;             // the run's stop has been shown
        awaitingStop_ = false; // before the dialog: its loop handles the next message
        if (archiveStale_)
            ApplyArchiveSettings();
        if ((commons_->Severity() == svWarning || commons_->Severity() == svError) && !stoppedByUser_)
            ShowError(commons_->StatusText(), this);
        SetRunningView(true);
        break;
    case rsStopRequested: break;
    }
}

void TMainForm::SetRunningView(bool editable)
{
    edtPasswordFirstLevel->setEnabled(editable);
    if (ConnectionSettingsFrame1)
        ConnectionSettingsFrame1->setEnabled(editable);
    if (actRun->data().toInt() != 0 || editable) {
        actRun->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        actRun->setData(0);
    } else {
        actRun->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
        actRun->setData(1);
    }
}

void TMainForm::actRunExecute()
{
    if (actRun->data().toInt() != 0) {
        stoppedByUser_ = true;
        StopPolling();
        return;
    }
    stoppedByUser_ = false;
    if (commons_ && commons_->Store())
        commons_->Store()->Clear();
    StartPolling();
    ShowDeviceNumber();
}

void TMainForm::StartPolling()
{
    if (!ApplyStartSettings() || !commons_ || commons_->RunState() != rsStopped)
        return;
    if (archiveStale_)
        ApplyArchiveSettings();
    RouteCycles();
    // the URL's password stays out of the log
    if (archive_)
        commons_->Logger().Log(QStringLiteral("Архив: ") + archive_->Options().Target.Display());
    else if (const TArchiveSettings archive = gbArchive->Settings(); archive.Enabled)
        commons_->Logger().Log(QStringLiteral("Архив не записывается: ") + archive.EffectiveTarget().Error());
    awaitingStop_ = true;
    commons_->Start();
}

void TMainForm::StopPolling()
{
    if (commons_)
        commons_->Stop();
}

bool TMainForm::ApplyStartSettings()
{
    if (!commons_ || !commons_->Settings())
        return false;
    commons_->Settings()->Common.Password = edtPasswordFirstLevel->text();
    return true;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    CloseOnce();
    event->accept();
}

void TMainForm::CloseOnce()
{
    if (closing_)
        return;
    closing_ = true;
    OnClosing();
}

void TMainForm::EndWithoutCloseRequest()
{
    if (closing_)
        return;
    CloseOnce();
    // a close request would end the event loop with the last window
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!firstActivation_)
        return;
    firstActivation_ = false;
    if (ConnectionSettingsFrame1->IniFile())
        RestoreWindowPlacement(*ConnectionSettingsFrame1->IniFile(), *this, QStringLiteral("MainForm"));
    ConnectionSettingsFrame1->ShowSelected();
}

void TMainForm::OnClosing()
{
    SaveSettings();
    if (commons_) {
        if (commons_->RunState() == rsRunning)
            StopPolling();
        // the thread finishes its exchange in progress, bounded by the
        // exchange time-outs; it never needs this thread to do so
        commons_->WaitForThread();
        // what waits is written here; its last texts still reach the log
        commons_->SetCycleSink(nullptr);
        archive_.reset();
    }
    bindings_.reset(); // they read the record that goes with the engine
    signalsFormsFrame_->DisconnectEngine();
    commons_.reset();
}

// Written here rather than when the frame goes, so that a failure can still
// be told: it costs the connection edits of this session.
void TMainForm::SaveSettings()
{
    TProgramIniFile *ini = ConnectionSettingsFrame1->IniFile();
    if (!ini)
        return;
    SaveWindowPlacement(*ini, *this, QStringLiteral("MainForm")); // its section goes first
    gbArchive->Settings().Write(*ini);
    QString reason;
    if (!ConnectionSettingsFrame1->SaveToIni(&reason))
        ShowError(QStringLiteral("Не удалось записать файл настроек %1: %2. Список подключений и выбор "
                                 "подключения не сохранены.")
                      .arg(QDir::toNativeSeparators(ini->FileName()), reason),
                  this);
}

bool TMainForm::RunGoing() const
{
    return awaitingStop_ || (commons_ && commons_->RunState() != rsStopped);
}

void TMainForm::OnArchiveEdited()
{
    if (closing_)
        return;
    if (RunGoing())
        archiveStale_ = true; // the run keeps the writer it started with
    else
        ApplyArchiveSettings();
}

void TMainForm::ApplyArchiveSettings()
{
    if (!commons_)
        return;
    archiveStale_ = false;
    ++archiveGeneration_;
    // the last run's thread may still hand its end over to the writer
    commons_->WaitForThread();
    commons_->SetCycleSink(nullptr);
    archive_.reset();

    const TArchiveSettings settings = gbArchive->Settings();
    // the page reads an archive that is no longer written too
    trendsPage_->SetArchiveTarget(settings.EffectiveTarget());
    const QString off = QStringLiteral("не записывается");
    if (!settings.Enabled) {
        gbArchive->ShowNoSummary(off);
        return;
    }
    const TArchiveOptions options = settings.Options();
    if (!options.Target.IsValid()) {
        const QString text = QStringLiteral("Архив не записывается: ") + options.Target.Error();
        commons_->Events().ShowStatus(text, svWarning);
        commons_->Logger().Log(text);
        gbArchive->ShowNoSummary(off);
        return;
    }
    gbArchive->ShowNoSummary(QStringLiteral("открывается…"));
    TCommons *commons = commons_.get();
    TArchiveGroupBox *group = gbArchive;
    const int generation = archiveGeneration_;
    // Both called on the archive thread: the status and the log are safe
    // there; the summary is shown on this thread.
    archive_ = std::make_unique<TArchiveWriter>(
        options,
        [commons](const QString &text, TSeverity severity) {
            commons->Events().ShowStatus(text, severity);
            commons->Logger().Log(text);
        },
        [this, group, generation](const Archive::TSummary &summary) {
            QMetaObject::invokeMethod(
                group,
                [this, group, generation, summary] {
                    if (generation == archiveGeneration_)
                        group->ShowSummary(summary);
                },
                Qt::QueuedConnection);
        });
    RouteCycles();
}

void TMainForm::RouteCycles()
{
    cycleSinks_->SetTargets({archive_.get(), trendsPage_->CycleFeed()});
    commons_->SetCycleSink(cycleSinks_.get());
}
