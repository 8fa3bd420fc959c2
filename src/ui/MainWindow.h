#pragma once

// The program's only top-level window: tool bar, seven pages, status bar. The
// meter-independent part; TMainVondForm supplies the engine and the title.

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolBar;
class QGroupBox;
class QWidget;
class TArchiveGroupBox;
class TArchiveWriter;
class TCycleSinks;
class TCommons;
class TConnectionSettingsFrame;
class TFilePathLabel;
class TLinkStatisticsPanel;
class TParamsControlsManager;
class TParamsMainPage;
class THarmonicsPage;
class TInterharmonicsPage;
class TPowerPage;
class TSignalsFormsFrame;
class TTrendsPage;
class TValueWithDimensionFrame;

class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Runs the creation steps; call once right after construction (virtual
    // calls are not dispatched to descendants inside a constructor).
    void Initialize();

    TCommons *Commons() const { return commons_.get(); }

    static constexpr int kMinWidth = 840;
    // 665 for the pages and the tool bar, and the status text's row
    static constexpr int kMinHeight = 690;

    // Start or stop, by the running flag of actRun.
    void actRunExecute();
    void StartPolling();
    void StopPolling();
    void SetRunningView(bool editable);

protected:
    virtual QString GetProgramTitle() const = 0;
    virtual void CreateEngine();
    // Copies the operator's choices into the poll settings; false: no start.
    virtual bool ApplyStartSettings();
    virtual void SaveMeasurements() {}
    // Refresh of the display, called for the engine's signals.
    virtual void RefreshParameter(int slot);
    virtual void RefreshNominals();
    virtual void RefreshData();
    virtual void RefreshOscillogram();
    virtual void RefreshDeviceTime() {}
    virtual void ShowDeviceNumber() {}

    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    virtual void OnClosing();
    // The window goes without a close request (the window system destroyed
    // its platform window, or the widget is deleted): the program ends as on
    // a close. Once, whichever way comes first.
    void EndWithoutCloseRequest();

    // Hands the runs' cycles to the archive and the trends page; outlives the engine.
    std::unique_ptr<TCycleSinks> cycleSinks_;
    std::unique_ptr<TCommons> commons_;
    // Declared after the engine so that it goes first: it reports through it.
    // Made and dropped on this thread only while no run is going.
    std::unique_ptr<TArchiveWriter> archive_;

    QTabWidget *pgctrlMain = nullptr;
    QWidget *tbshtInterface = nullptr;
    QWidget *tbshtParamsMain = nullptr;
    QWidget *tbshtParamsHarmonics = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *ts1 = nullptr;
    QWidget *tbshtSignalsForms = nullptr;
    QWidget *tbshtTrends = nullptr;
    QGroupBox *gbRequestThreadManagement = nullptr;
    QLineEdit *edtPasswordFirstLevel = nullptr;
    QAction *actRun = nullptr;
    QAction *actSaveFile = nullptr;
    QAction *actExit = nullptr;
    QLabel *lblNomerDev = nullptr;
    QWidget *clbLog = nullptr; // the rest of the tool bar, holding lblLog
    QLabel *lblLog = nullptr;
    static constexpr int kLogMinWidth = 20;
    QLabel *statusPanels[3] = {};
    // The design width of the meter-time panel; wider where the date needs it.
    static constexpr int kDeviceTimePanelWidth = 275;
    // panel 2: the last file saved
    TFilePathLabel *lastFilePanel = nullptr;
    TLinkStatisticsPanel *linkStatisticsPanel = nullptr;
    TParamsMainPage *paramsMainPage_ = nullptr;
    THarmonicsPage *harmonicsPage_ = nullptr;
    TInterharmonicsPage *interharmonicsPage_ = nullptr;
    TPowerPage *powerPage_ = nullptr;
    TSignalsFormsFrame *signalsFormsFrame_ = nullptr;
    TTrendsPage *trendsPage_ = nullptr;
    TValueWithDimensionFrame *vwdfNominal_Uf = nullptr;
    TValueWithDimensionFrame *vwdfNominal_Umf = nullptr;
    TValueWithDimensionFrame *vwdfNominal_I = nullptr;
    std::unique_ptr<TParamsControlsManager> bindings_;
    // The connection settings frame of the "Интерфейс" page.
    TConnectionSettingsFrame *ConnectionSettingsFrame1 = nullptr;
    // The archive's settings and state, below the connections.
    TArchiveGroupBox *gbArchive = nullptr;

private:
    void BuildLayout();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildInterfacePage();
    void BuildNominalFrames(QToolBar *bar);
    void ConnectEngine();
    void CreateBindings();
    QWidget *AddPage(const char *objectName, const QString &caption);
    void HostPage(QWidget *tab, QWidget *content);

    void OnPollStateChanged();
    void RefreshNominalFrames();
    void ShowStatusText(const QString &text);
    void ElideStatusText();
    void SaveSettings();
    // A writer for the group's settings in place of the current one (none
    // when the archive is off); only while no run is going.
    void ApplyArchiveSettings();
    void OnArchiveEdited();
    // The archive writer (if any) and the trends page get the next runs' cycles.
    void RouteCycles();
    bool RunGoing() const;
    void CloseOnce();

    QString statusText_; // the last status text, whole
    bool closing_ = false;
    bool firstActivation_ = true;
    bool stoppedByUser_ = false;
    // A run this window started has not been shown stopped yet. The state
    // messages are read against the manager's state when they are handled,
    // so a run that ends at once has both of them find it stopped.
    bool awaitingStop_ = false;
    // The group was edited while a run went on: a new writer at its end.
    bool archiveStale_ = false;
    // Summaries of a writer already replaced are not shown.
    int archiveGeneration_ = 0;
};
