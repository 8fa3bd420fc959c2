#pragma once

// The connection part of the "Интерфейс" page: the saved connections with
// their list window, kept in the program's INI file, and the one the
// operator has chosen for polling.

#include <QFrame>
#include <memory>

class TProgramIniFile;
class TccnConnection;
class TccnConnectionList;
class TccnConnectionListFrame;
class TccnConnectionListUIOptions;

class TConnectionSettingsFrame : public QFrame
{
    Q_OBJECT

public:
    // iniFileName: the program's own INI file when empty.
    explicit TConnectionSettingsFrame(QWidget *parent = nullptr, QString iniFileName = {});
    // Saves to the INI file unless SaveToIni has done so.
    ~TConnectionSettingsFrame() override;

    void Initialize();

    // The list window's current connection (remembered as the choice), or
    // none; without a current one the choice stays as it was.
    TccnConnection *GetSelectedConnection();
    void SetSelected(const TccnConnection &connection);
    // Makes the remembered choice the list window's current connection.
    void ShowSelected();

    qint32 SelectedConID() const { return selectedConID_; }
    TProgramIniFile *IniFile() const { return iniFile_.get(); }
    TccnConnectionList *ConnectionList() const { return list_.get(); }
    TccnConnectionListFrame *ListFrame() const { return listFrame_; }

    // Writes the list, the choice and the list's layout into the INI file;
    // false, with the reason, when the file could not be written.
    bool SaveToIni(QString *reason = nullptr);

private:
    void InitializeIniFile();
    void FinalizeIniFile();
    void InitializeCcn();
    void FinalizeCcn();
    void LoadFromIni();

    QString iniFileName_;
    qint32 selectedConID_ = -1;
    bool saved_ = false;
    std::unique_ptr<TProgramIniFile> iniFile_;
    std::unique_ptr<TccnConnectionList> list_;
    std::unique_ptr<TccnConnectionListUIOptions> options_;
    TccnConnectionListFrame *listFrame_ = nullptr;
};
