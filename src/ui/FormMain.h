#pragma once

// The program's only top-level window: tool bar, six pages, status bar. The
// meter-independent part; TMainVondForm supplies the engine and the title.

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QTabWidget;
class QGroupBox;
class QWidget;
class TCommons;
class TWindowMessageEvent;

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
    static constexpr int kMinHeight = 665;

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
    // Refresh hooks of the display, called for the record's messages.
    virtual void RefreshParameter(int /*slot*/) {}
    virtual void RefreshNominals() {}
    virtual void RefreshData() {}
    virtual void RefreshOscillogram() {}
    virtual void ShowDeviceNumber() {}
    // Handles one engine notification; false when it is not this class's.
    virtual bool HandleWindowMessage(const TWindowMessageEvent &message);

    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    virtual void OnClosing();

    std::unique_ptr<TCommons> commons_;

    QTabWidget *pgctrlMain = nullptr;
    QWidget *tbshtInterface = nullptr;
    QWidget *tbshtParamsMain = nullptr;
    QWidget *tbshtParamsHarmonics = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *ts1 = nullptr;
    QWidget *tbshtSignalsForms = nullptr;
    QGroupBox *gbRequestThreadManagement = nullptr;
    QLineEdit *edtPasswordFirstLevel = nullptr;
    QAction *actRun = nullptr;
    QAction *actSaveFile = nullptr;
    QAction *actExit = nullptr;
    QLabel *lblNomerDev = nullptr;
    QLabel *lblLog = nullptr;
    QLabel *statusPanels[3] = {};
    // The connection settings frame of the "Интерфейс" page.
    QWidget *connectionFrame_ = nullptr;

private:
    void BuildLayout();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildInterfacePage();
    QWidget *AddPage(const char *objectName, const QString &caption);

    void OnPollStateChanged();

    bool closing_ = false;
    bool stoppedByUser_ = false;
    // F2 reaches the application filter once per widget it propagates to:
    // remember the last one handled.
    const QEvent *lastF2Event_ = nullptr;
    quint64 lastF2Timestamp_ = 0;
};
