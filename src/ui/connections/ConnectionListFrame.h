#pragma once

// The saved connections on the "Интерфейс" page: a tree of meters (type,
// then factory number) beside a grid of the connections of the chosen node,
// with adding, copying, changing and deleting through the edit dialog, and
// saving the whole list to a ".ccnn" file or replacing it from one.

#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QString>
#include <vector>

class QAction;
class QMenu;
class QPainter;
class QPushButton;
class QSplitter;
class QStyleOptionViewItem;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TccnConnection;
class TccnConnectionList;
class TccnConnectionListUIOptions;

class TccnConnectionListFrame : public QFrame
{
    Q_OBJECT

public:
    // SelectConnection flags.
    enum : int {
        scTreeNode = 1, // select the tree node of the connection's meter
        scGridRow = 2,  // make its grid row current (the first row when not shown)
    };
    enum class TEditKind { Add, Change, Delete };

    // Grid columns. The connection's ID, which the poller's --ids takes, is
    // shown second; its width follows the font and is not stored.
    enum : int { colStatus, colDevice, colProtocol, colConMode, colConModeParams, colConID, kColumnCount };

    // Both the options and the list are required; the frame uses them but
    // does not own them.
    TccnConnectionListFrame(QWidget *parent, TccnConnectionListUIOptions *options, TccnConnectionList *list);
    ~TccnConnectionListFrame() override;

    TccnConnectionList *ConnectionList() const { return list_; }
    // Shows another list (or the same one after it was replaced): sorted,
    // tree rebuilt, its layout applied.
    void SetConnectionList(TccnConnectionList *list);
    void ApplyLayout(const TccnConnectionList &list);
    // The tree width and the five column widths into the list's UI params.
    void StoreLayout(TccnConnectionList &list) const;

    void SelectConnection(qint32 conID, int flags);
    // Marked connections in list order (marks on), else the current row's.
    QList<qint32> ChosenConIDs() const;
    qint32 CurrentConID() const;
    // The current row's connection, or none.
    TccnConnection *CurrentConnection() const;

    // Whether the chosen connections can be polled; the reason otherwise.
    bool ValidateChosen(QString &message);
    // ValidateChosen with the reason in an error box.
    bool CheckChosen();

    // The operator's commands. Errors end in an error box.
    void AddConnection();
    void CopyConnection();
    void ChangeConnection();
    void DeleteConnections();
    void SaveConnectionsToFile();
    void LoadConnectionsFromFile();

    // Runs the dialog over a working copy of `start` (none: an empty
    // connection) and adds or changes the list on OK. True when the list
    // changed. Raises the dialog's errors.
    bool EditInDialog(TEditKind kind, const TccnConnection *start);

    // Documents, "VD", "Подключения_" + the program's name + ".ccnn".
    static QString ProposedListFileName();
    // Text form for names matching "*_txt.??*" (any case), else binary.
    static int ListFileFormat(const QString &fileName);

    QTreeWidget *DeviceTree() const { return tvDevice; }
    QTableWidget *ConnectionGrid() const { return grdConnection; }
    QAction *AddAction() const { return actAdd; }
    QAction *CopyAction() const { return actCopy; }
    QAction *ChangeAction() const { return actChange; }
    QAction *DeleteAction() const { return actDelete; }
    QAction *SaveAction() const { return actSave; }
    QAction *LoadAction() const { return actLoad; }
    QMenu *PopupMenu() const { return pmConnections; }
    // The connection shown in a grid row; -1 for the empty row.
    qint32 RowConID(int row) const;
    // Connections shown in the grid (0 when it shows only the empty row).
    int ShownConnectionCount() const;
    // The key of the tree's current node: (type, number), -1 meaning any.
    std::pair<int, qint64> CurrentNodeKey() const;

    // Draws one grid cell (used by the grid's painter).
    void DrawCell(QPainter *painter, const QStyleOptionViewItem &option, int row, int column) const;

signals:
    // The current connection changed (another row, or another node's rows).
    void ConnectionChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The names' width is known for sure only once the tree is polished.
    void showEvent(QShowEvent *event) override;

private:
    void CreateActions();
    void BuildLayout();
    void CreateCheckImages();
    void RunGuarded(void (TccnConnectionListFrame::*command)());

    void RebuildTree();
    // The tree at least as wide as its longest name.
    void FitTreeToNames();
    QTreeWidgetItem *FindTypeNode(int type) const;
    QTreeWidgetItem *FindNumberNode(int type, qint64 number) const;
    QTreeWidgetItem *InsertNode(QTreeWidgetItem *parent, const QString &text, int type, qint64 number);
    void SelectTreeNode(QTreeWidgetItem *node);
    void ShowNodeConnections(int type, qint64 number);
    void RefillGridForCurrentNode();
    void UpdateTreeAfterAdd(int type, qint64 number, qint32 conID);
    void UpdateTreeAfterRemove(int type, qint64 number);
    void SetCurrentRow(int row);
    bool GridIsEmpty() const;
    void ToggleMark(int row);

    TccnConnectionListUIOptions *options_;
    TccnConnectionList *list_ = nullptr;
    bool ready_ = false;
    bool updating_ = false; // tree or grid being refilled: no change reports

    QTreeWidget *tvDevice = nullptr;
    QSplitter *splitter = nullptr;
    QTableWidget *grdConnection = nullptr;
    QWidget *pnButtons = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnCopy = nullptr;
    QPushButton *btnChange = nullptr;
    QPushButton *btnDelete = nullptr;
    QAction *actAdd = nullptr;
    QAction *actCopy = nullptr;
    QAction *actChange = nullptr;
    QAction *actDelete = nullptr;
    QAction *actSave = nullptr;
    QAction *actLoad = nullptr;
    QMenu *pmConnections = nullptr;
    QPixmap checkImages_[2];

    std::vector<qint32> rowIDs_; // ConID per grid row; -1 for the empty row
};
