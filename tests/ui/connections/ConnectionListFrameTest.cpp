#include "ui/ConnectionsTestSupport.h"

#include "common/Contracts.h"
#include "common/UserFolders.h"
#include "ui/connections/ConnectionListFrame.h"
#include "ui/connections/EditDeviceFrame.h"
#include "ui/connections/EditComPortFrame.h"
#include "ui/connections/EditConModeFrame.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace ccn_test;
using namespace Qt::StringLiterals;

namespace {

// The tree as text: one line per node, indented by its depth.
QStringList TreeLines(const QTreeWidget *tree)
{
    QStringList lines;
    std::function<void(const QTreeWidgetItem *, int)> walk = [&](const QTreeWidgetItem *node, int depth) {
        lines << QString(depth * 2, u' ') + node->text(0);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

QString Full(TDeviceType type)
{
    return DeviceTypeFullNames()[type];
}

class ConnectionListFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Added in this order, the list sorts to: M7 100 (x2), M7 200, R5 A/S 50.
        Add(MakeConnection(dtM7, 200));
        auto r5 = MakeConnection(dtR5AS, 50, cmtDirectTCPIP);
        dynamic_cast<TccnDirectTCPIPConMode *>(r5->CustomConMode())->TCPIPInterface().IpAddress = u"10.0.0.5"_s;
        Add(std::move(r5));
        Add(MakeConnection(dtM7, 100, cmtPhoneModem232));
        Add(MakeConnection(dtM7, 100, cmtVDOptoAttach232, u"COM4"_s, 9600));
    }

    void Add(std::unique_ptr<TccnConnection> connection) { list.AddConnection(*connection); }
    std::unique_ptr<TccnConnectionListFrame> Create()
    {
        auto frame = std::make_unique<TccnConnectionListFrame>(nullptr, options.get(), &list);
        frame->resize(760, 260);
        frame->show();
        return frame;
    }
    static QList<qint32> ShownIDs(const TccnConnectionListFrame &frame)
    {
        QList<qint32> ids;
        for (int row = 0; row < frame.ConnectionGrid()->rowCount(); ++row)
            ids << frame.RowConID(row);
        return ids;
    }
    static void SelectRows(TccnConnectionListFrame &frame, int first, int last)
    {
        QTableWidget *grid = frame.ConnectionGrid();
        grid->setCurrentCell(first, 1);
        grid->clearSelection();
        grid->setRangeSelected(QTableWidgetSelectionRange(first, 0, last, grid->columnCount() - 1), true);
    }

    std::unique_ptr<TccnConnectionListUIOptions> options = MonitorOptions();
    TccnConnectionList list;
    TMessageRecorder recorder;
};

TEST_F(ConnectionListFrameTest, TreeGroupsMetersByTypeAndNumber)
{
    auto frame = Create();
    EXPECT_EQ(TreeLines(frame->DeviceTree()), (QStringList{u"Измерители"_s, u"  "_s + Full(dtR5AS), u"    50"_s,
                                                           u"  "_s + Full(dtM7), u"    100"_s, u"    200"_s}));
    // The root shows every connection in list order; the first row is current.
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{1, 2, 3, 0}));
    EXPECT_EQ(frame->CurrentConID(), 1);
    EXPECT_EQ(frame->ConnectionGrid()->horizontalHeaderItem(4)->text(), u"Параметры подключения"_s);
    EXPECT_TRUE(frame->ConnectionGrid()->isColumnHidden(TccnConnectionListFrame::colStatus));
    // each row's ID (what the poller's --ids takes) right before the meter
    QHeaderView *header = frame->ConnectionGrid()->horizontalHeader();
    EXPECT_EQ(frame->ConnectionGrid()->horizontalHeaderItem(TccnConnectionListFrame::colConID)->text(), u"ID"_s);
    EXPECT_EQ(header->visualIndex(TccnConnectionListFrame::colConID), 1);
    EXPECT_EQ(header->visualIndex(TccnConnectionListFrame::colDevice), 2);
    EXPECT_GE(frame->ConnectionGrid()->columnWidth(TccnConnectionListFrame::colConID),
              frame->ConnectionGrid()->fontMetrics().horizontalAdvance(u"1000"_s));
    // the type names whole, wider than the stored 130 pixels
    QApplication::processEvents(); // the layout
    const QAbstractItemView *tree = frame->DeviceTree();
    EXPECT_GE(tree->viewport()->width(), tree->sizeHintForColumn(0));

    // A type node, then a meter node, narrow the grid.
    frame->DeviceTree()->setCurrentItem(frame->DeviceTree()->topLevelItem(0)->child(1));
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{2, 3, 0}));
    frame->DeviceTree()->setCurrentItem(frame->DeviceTree()->topLevelItem(0)->child(1)->child(0));
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{2, 3}));

    // Flag 1 picks the meter's node, flag 2 the row.
    frame->SelectConnection(0, TccnConnectionListFrame::scTreeNode | TccnConnectionListFrame::scGridRow);
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{dtM7, 200}));
    EXPECT_EQ(frame->CurrentConID(), 0);
    frame->SelectConnection(1, TccnConnectionListFrame::scGridRow); // not shown: first row
    EXPECT_EQ(frame->CurrentConID(), 0);
}

TEST_F(ConnectionListFrameTest, EmptyListShowsRootAndOneEmptyRow)
{
    list.Clear();
    auto frame = Create();
    EXPECT_EQ(TreeLines(frame->DeviceTree()), QStringList{u"Измерители"_s});
    EXPECT_EQ(frame->ConnectionGrid()->rowCount(), 1);
    EXPECT_EQ(frame->RowConID(0), -1);
    EXPECT_EQ(frame->CurrentConID(), -1);
    EXPECT_EQ(frame->CurrentConnection(), nullptr);
    EXPECT_TRUE(frame->ChosenConIDs().isEmpty());

    frame->DeleteAction()->trigger();
    EXPECT_TRUE(recorder.messages.isEmpty());
    QString message;
    EXPECT_FALSE(frame->ValidateChosen(message));
    EXPECT_EQ(message, u"Таблица подключений пуста"_s);
    EXPECT_FALSE(frame->CheckChosen());
    EXPECT_EQ(recorder.Texts(), QStringList{u"Таблица подключений пуста"_s});
    // Copying or changing nothing opens no dialog.
    bool opened = false;
    TEditDialogScript script([&](TccnEditConnectionForm &) {
        opened = true;
        return int(QDialog::Rejected);
    });
    frame->CopyAction()->trigger();
    frame->ChangeAction()->trigger();
    EXPECT_FALSE(opened);
}

TEST_F(ConnectionListFrameTest, AddStartsFromTheCurrentMetersTypeAndUpdatesTheTree)
{
    auto frame = Create();
    frame->SelectConnection(1, TccnConnectionListFrame::scGridRow); // R5 A/S 50
    QSignalSpy changed(frame.get(), &TccnConnectionListFrame::ConnectionChanged);
    QString title;
    TEditDialogScript script([&](TccnEditConnectionForm &form) {
        title = form.windowTitle();
        EXPECT_EQ(form.Frame()->DeviceHistory().Front()->DeviceType(), dtR5AS);
        auto *device = dynamic_cast<TccnEditCustomDeviceFrame *>(form.Frame()->DeviceFrame());
        EXPECT_EQ(device->FactoryNumEdit()->value(), 1); // a new meter of that type
        device->FactoryNumEdit()->setValue(60);
        return form.TryAccept() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    frame->AddAction()->trigger();
    EXPECT_EQ(title, u"Добавить подключение"_s);
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.MaxID(), 4);
    EXPECT_EQ(TreeLines(frame->DeviceTree()),
              (QStringList{u"Измерители"_s, u"  "_s + Full(dtR5AS), u"    50"_s, u"    60"_s, u"  "_s + Full(dtM7),
                           u"    100"_s, u"    200"_s}));
    // The new meter's node is chosen and the new connection is current.
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{dtR5AS, 60}));
    EXPECT_EQ(frame->CurrentConID(), 4);
    EXPECT_GE(changed.count(), 1);

    // A second connection to the same meter adds no node.
    frame->SelectConnection(4, TccnConnectionListFrame::scGridRow);
    TEditDialogScript copyScript([&](TccnEditConnectionForm &form) {
        title = form.windowTitle();
        auto *device = dynamic_cast<TccnEditCustomDeviceFrame *>(form.Frame()->DeviceFrame());
        EXPECT_EQ(device->FactoryNumEdit()->value(), 60); // the copy's values
        form.Frame()->ChooseConModeType(form.Frame()->ConModeTypeCombo()->findData(int(cmtRadioModem232)));
        auto *mode = dynamic_cast<TCcnEditCustomConModeFrame *>(form.Frame()->ConModeFrame());
        mode->HardwareFrame()->findChild<QLineEdit *>(u"edtCallNumber"_s)->setText(u"R-1"_s);
        return form.TryAccept() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    frame->CopyAction()->trigger();
    EXPECT_EQ(title, u"Добавить подключение"_s);
    ASSERT_EQ(list.Count(), 6);
    EXPECT_EQ(frame->CurrentConID(), 5);
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{4, 5}));
    EXPECT_EQ(frame->DeviceTree()->topLevelItem(0)->child(0)->childCount(), 2);
    // The copied connection keeps its mode.
    EXPECT_EQ(list.FindByConID(4)->CustomConMode()->ConModeType(), cmtDirect232);
    EXPECT_EQ(list.FindByConID(5)->CustomConMode()->ConModeType(), cmtRadioModem232);
}

TEST_F(ConnectionListFrameTest, AddToAnEmptyListAndCancel)
{
    list.Clear();
    auto frame = Create();
    TEditDialogScript cancel([](TccnEditConnectionForm &form) {
        form.reject();
        return int(QDialog::Rejected);
    });
    frame->AddAction()->trigger();
    EXPECT_EQ(list.Count(), 0);

    TEditDialogScript accept([](TccnEditConnectionForm &form) {
        form.Frame()->ChooseDeviceType(form.Frame()->DeviceTypeCombo()->findData(int(dtM7SQ)));
        return form.TryAccept() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    frame->AddAction()->trigger();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(TreeLines(frame->DeviceTree()), (QStringList{u"Измерители"_s, u"  "_s + Full(dtM7SQ), u"    1"_s}));
    EXPECT_EQ(frame->CurrentConID(), list.Items(0)->ConID);
}

TEST_F(ConnectionListFrameTest, ChangeMovesTheConnectionInTheTree)
{
    auto frame = Create();
    frame->SelectConnection(0, TccnConnectionListFrame::scTreeNode | TccnConnectionListFrame::scGridRow); // M7 200
    QString title;
    TEditDialogScript script([&](TccnEditConnectionForm &form) {
        title = form.windowTitle();
        auto *device = dynamic_cast<TccnEditCustomDeviceFrame *>(form.Frame()->DeviceFrame());
        device->FactoryNumEdit()->setValue(300);
        return form.TryAccept() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    frame->ChangeAction()->trigger();
    EXPECT_EQ(title, u"Изменить подключение"_s);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.FindByConID(0)->CustomDevice()->FactoryNum, 300);
    EXPECT_EQ(TreeLines(frame->DeviceTree()), (QStringList{u"Измерители"_s, u"  "_s + Full(dtR5AS), u"    50"_s,
                                                           u"  "_s + Full(dtM7), u"    100"_s, u"    300"_s}));
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{dtM7, 300}));
    EXPECT_EQ(frame->CurrentConID(), 0);

    // Changing the only R5 A/S into an M7 removes the type node.
    frame->SelectConnection(1, TccnConnectionListFrame::scTreeNode | TccnConnectionListFrame::scGridRow);
    TEditDialogScript retype([](TccnEditConnectionForm &form) {
        form.Frame()->ChooseDeviceType(form.Frame()->DeviceTypeCombo()->findData(int(dtM7)));
        return form.TryAccept() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    frame->ChangeAction()->trigger();
    EXPECT_EQ(TreeLines(frame->DeviceTree()),
              (QStringList{u"Измерители"_s, u"  "_s + Full(dtM7), u"    50"_s, u"    100"_s, u"    300"_s}));
    EXPECT_EQ(frame->CurrentConID(), 1);
}

TEST_F(ConnectionListFrameTest, DeleteAsksAndKeepsSharedNodes)
{
    auto frame = Create();
    // One of the two connections to M7 100.
    frame->SelectConnection(2, TccnConnectionListFrame::scTreeNode | TccnConnectionListFrame::scGridRow);
    recorder.SetAnswer(QMessageBox::No);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(recorder.Texts(), QStringList{u"Удалить выделенное подключение?"_s});
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Question);
    EXPECT_EQ(list.Count(), 4);

    recorder.SetAnswer(QMessageBox::Yes);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.FindByConID(2), nullptr);
    EXPECT_NE(frame->DeviceTree()->topLevelItem(0)->child(1)->child(0), nullptr);
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{dtM7, 100}));
    EXPECT_EQ(ShownIDs(*frame), QList<qint32>{3});
    EXPECT_EQ(frame->CurrentConID(), 3); // the row after the deleted one

    // The last connection of a type takes its type node along.
    recorder.messages.clear();
    frame->SelectConnection(1, TccnConnectionListFrame::scTreeNode | TccnConnectionListFrame::scGridRow);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(TreeLines(frame->DeviceTree()),
              (QStringList{u"Измерители"_s, u"  "_s + Full(dtM7), u"    100"_s, u"    200"_s}));
    // Its node went away: the grid shows the node above it.
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{-1, -1}));
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{3, 0}));
}

TEST_F(ConnectionListFrameTest, DeleteWorksOnTheSelectedRange)
{
    auto frame = Create();
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{1, 2, 3, 0}));
    SelectRows(*frame, 1, 2);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(recorder.Texts(), QStringList{u"Удалить выделенные подключения (2)?"_s});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(ShownIDs(*frame), (QList<qint32>{1, 0}));
    EXPECT_EQ(frame->CurrentConID(), 0);
    EXPECT_EQ(TreeLines(frame->DeviceTree()),
              (QStringList{u"Измерители"_s, u"  "_s + Full(dtR5AS), u"    50"_s, u"  "_s + Full(dtM7), u"    200"_s}));

    // A range at the end leaves the row before it current.
    SelectRows(*frame, 1, 1);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(frame->CurrentConID(), 1);
    SelectRows(*frame, 0, 0);
    frame->DeleteAction()->trigger();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(TreeLines(frame->DeviceTree()), QStringList{u"Измерители"_s});
    EXPECT_EQ(frame->CurrentConID(), -1);
}

TEST_F(ConnectionListFrameTest, RefusedConnectionsAreShownButNotChosen)
{
    auto kl2 = MakeConnection(dtKL2, 9);
    list.AddConnection(*kl2); // ConID 4, sorts first
    auto frame = Create();
    ASSERT_EQ(frame->RowConID(0), 4);
    frame->SelectConnection(0, TccnConnectionListFrame::scGridRow);
    QString message;
    EXPECT_TRUE(frame->ValidateChosen(message));

    frame->SelectConnection(4, TccnConnectionListFrame::scGridRow);
    EXPECT_FALSE(frame->ValidateChosen(message));
    EXPECT_EQ(message, u"Заданный тип измерителя не поддерживается"_s);
    EXPECT_EQ(frame->CurrentNodeKey(), (std::pair<int, qint64>{dtKL2, 9}));
    EXPECT_EQ(frame->CurrentConID(), 4);

    // The dialog refuses to open over it.
    bool opened = false;
    TEditDialogScript script([&](TccnEditConnectionForm &) {
        opened = true;
        return int(QDialog::Rejected);
    });
    recorder.messages.clear();
    frame->ChangeAction()->trigger();
    EXPECT_FALSE(opened);
    EXPECT_EQ(recorder.Texts(), QStringList{u"Заданный тип измерителя не поддерживается"_s});

    // Its row is drawn on the inactive-caption colour, others are not.
    frame->DeviceTree()->setCurrentItem(frame->DeviceTree()->topLevelItem(0));
    frame->SelectConnection(0, TccnConnectionListFrame::scGridRow); // the M7 row is current, not the KL2 one
    frame->SelectConnection(1, TccnConnectionListFrame::scGridRow);
    QTableWidget *grid = frame->ConnectionGrid();
    const QImage image = grid->viewport()->grab().toImage();
    const QRect refusedRow = grid->visualRect(grid->model()->index(0, TccnConnectionListFrame::colConMode));
    const QRect acceptedRow = grid->visualRect(grid->model()->index(2, TccnConnectionListFrame::colConMode));
    const QPoint corner(3, 3);
    EXPECT_EQ(image.pixelColor(refusedRow.topLeft() + corner), QColor(191, 205, 219));
    EXPECT_NE(image.pixelColor(acceptedRow.topLeft() + corner), QColor(191, 205, 219));
}

TEST_F(ConnectionListFrameTest, LayoutGoesBetweenTheFrameAndTheList)
{
    TccnConnectionGridParams &grid = list.UIParams().ConnectionGridParams;
    grid.DevTypeColWidth = 150;
    grid.DevProtocolColWidth = 60;
    grid.ConModeColWidth = 110;
    grid.ConModeParamColWidth = 200;
    list.UIParams().DeviceTreeViewParams.Width = 230; // wider than the names: kept
    auto frame = Create();
    EXPECT_EQ(frame->ConnectionGrid()->columnWidth(1), 150);
    EXPECT_EQ(frame->ConnectionGrid()->columnWidth(4), 200);

    frame->ConnectionGrid()->setColumnWidth(2, 90);
    TccnConnectionList other;
    frame->StoreLayout(other);
    const TccnConnectionGridParams &stored = other.UIParams().ConnectionGridParams;
    EXPECT_EQ(stored.StatusColWidth, 0); // hidden without marks
    EXPECT_EQ(stored.DevTypeColWidth, 150);
    EXPECT_EQ(stored.DevProtocolColWidth, 90);
    EXPECT_EQ(stored.ConModeColWidth, 110);
    EXPECT_EQ(stored.ConModeParamColWidth, 200);
    EXPECT_EQ(other.UIParams().DeviceTreeViewParams.Width, 230);
}

TEST_F(ConnectionListFrameTest, MovingToAnotherRowReportsTheChange)
{
    auto frame = Create();
    QSignalSpy changed(frame.get(), &TccnConnectionListFrame::ConnectionChanged);
    frame->ConnectionGrid()->setCurrentCell(2, 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(frame->CurrentConID(), 3);
    EXPECT_EQ(frame->CurrentConnection(), list.FindByConID(3));
    // A node whose first row is the same connection reports nothing.
    changed.clear();
    frame->SelectConnection(1, TccnConnectionListFrame::scGridRow);
    changed.clear();
    frame->DeviceTree()->setCurrentItem(frame->DeviceTree()->topLevelItem(0)->child(0));
    EXPECT_EQ(changed.count(), 0);
    frame->DeviceTree()->setCurrentItem(frame->DeviceTree()->topLevelItem(0)->child(1));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(ConnectionListFrameTest, MarksChooseConnectionsWhenCheckModeIsOn)
{
    options->CheckMode = true;
    list.UIParams().ConnectionGridParams.StatusColWidth = 0; // stored as hidden
    auto frame = Create();
    QTableWidget *grid = frame->ConnectionGrid();
    EXPECT_FALSE(grid->isColumnHidden(TccnConnectionListFrame::colStatus));
    EXPECT_EQ(grid->columnWidth(TccnConnectionListFrame::colStatus), 20);

    QString message;
    EXPECT_FALSE(frame->ValidateChosen(message));
    EXPECT_EQ(message, u"Нет выбранных подключений"_s);

    // A click in the mark column and the space bar toggle the marks.
    QSignalSpy changed(frame.get(), &TccnConnectionListFrame::ConnectionChanged);
    const QRect cell = grid->visualRect(grid->model()->index(2, TccnConnectionListFrame::colStatus));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    grid->setFocus();
    grid->setCurrentCell(0, 1);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(changed.count(), 2);
    // In list order, not in the order of marking.
    EXPECT_EQ(frame->ChosenConIDs(), (QList<qint32>{1, 3}));
    EXPECT_EQ(frame->CurrentConID(), 1);
    EXPECT_TRUE(frame->ValidateChosen(message));
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(frame->ChosenConIDs(), QList<qint32>{3});

    frame->ConnectionGrid()->setColumnWidth(TccnConnectionListFrame::colStatus, 26);
    TccnConnectionList other;
    frame->StoreLayout(other);
    EXPECT_EQ(other.UIParams().ConnectionGridParams.StatusColWidth, 26);

    // Replacing the list clears the marks of the old one.
    TccnConnectionList replacement;
    frame->SetConnectionList(&replacement);
    EXPECT_FALSE(list.FindByConID(3)->Selected);
}

TEST_F(ConnectionListFrameTest, ContractsRefuseMissingParts)
{
    try {
        TccnConnectionListFrame frame(nullptr, options.get(), nullptr);
        FAIL() << "created without a list";
    } catch (const EPreConditions &error) {
        EXPECT_EQ(error.Message(), u"Не задан список подключений. Предусловия не выполнены."_s);
    }
    try {
        TccnConnectionListFrame frame(nullptr, nullptr, &list);
        FAIL() << "created without options";
    } catch (const EPreConditions &error) {
        EXPECT_EQ(error.Message(),
                  u"Не заданы входные настройки для UI-списка покдлючений. Предусловия не выполнены."_s);
    }
    auto frame = Create();
    EXPECT_THROW(frame->EditInDialog(TccnConnectionListFrame::TEditKind::Delete, list.Items(0)), EPreConditions);
    EXPECT_THROW(frame->EditInDialog(TccnConnectionListFrame::TEditKind::Change, nullptr), EPreConditions);
    TccnConnection connection;
    EXPECT_THROW(TccnEditConnectionFrame(nullptr, false, nullptr, &connection), EPreConditions);
    EXPECT_THROW(TccnEditConnectionFrame(nullptr, false, options.get(), nullptr), EPreConditions);
    TccnEditTarvelDeviceFrame deviceFrame;
    try {
        deviceFrame.LoadFromObject(nullptr);
        FAIL() << "loaded nothing";
    } catch (const EPreConditions &error) {
        EXPECT_EQ(error.Message(), u"Не задан изменяемый объект. Предусловия не выполнены."_s);
    }
    // An object of another family is refused too.
    auto protocol = CreateDeviceProtocolByType(dptTarvel);
    EXPECT_THROW(deviceFrame.SaveToObject(protocol.get()), EPreConditions);
}

// --- Files -------------------------------------------------------------------------------------------------

class ConnectionListFileTest : public ConnectionListFrameTest
{
protected:
    void SetUp() override
    {
        ConnectionListFrameTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    // Answers the next file dialog with `path` and keeps the request.
    std::unique_ptr<TFileDialogScript> Choose(const QString &path)
    {
        return std::make_unique<TFileDialogScript>([this, path](const TFileDialogRequest &r, QString &chosen) {
            request = r;
            chosen = path;
            return !path.isEmpty();
        });
    }
    static QByteArray Read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    TFileDialogRequest request;
};

TEST_F(ConnectionListFileTest, SaveChoosesTheFormByName)
{
    auto frame = Create();
    frame->ConnectionGrid()->setColumnWidth(3, 123);
    const QString text = dir.filePath(u"list_txt.ccnn"_s);
    const QString upper = dir.filePath(u"LIST_TXT.CCNN"_s);
    const QString binary = dir.filePath(u"list.ccnn"_s);

    {
        auto script = Choose(text);
        frame->SaveAction()->trigger();
    }
    EXPECT_EQ(request.Mode, fdmSave);
    EXPECT_EQ(request.Title, u"Сохранение списка подключений в файл"_s);
    EXPECT_TRUE(request.OverwritePrompt);
    EXPECT_EQ(request.DefaultExtension, u"ccnn"_s);
    EXPECT_EQ(request.NameFilters, (QStringList{u"Файлы списков подключений (*.ccnn)"_s, u"Все файлы (*.*)"_s}));
    EXPECT_EQ(request.Directory + u'/', GetDocumentsFolder() + u"VD/"_s);
    EXPECT_TRUE(request.FileName.startsWith(u"Подключения_"_s));
    EXPECT_TRUE(request.FileName.endsWith(u".ccnn"_s));
    EXPECT_EQ(recorder.Texts(), QStringList{u"Сохранение списка подключений в файл "_s + text + u" выполнено"_s});
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Information);
    // The layout went in before saving.
    EXPECT_EQ(list.UIParams().ConnectionGridParams.ConModeColWidth, 123);
    EXPECT_EQ(Read(text), list.SaveToBytes(csfText));

    {
        auto script = Choose(upper);
        frame->SaveAction()->trigger();
    }
    EXPECT_TRUE(Read(upper).startsWith("object TccnConnectionListWrapper"));
    {
        auto script = Choose(binary);
        frame->SaveAction()->trigger();
    }
    EXPECT_EQ(Read(binary), list.SaveToBytes(csfBinary));

    // A place that cannot be written ends in an error box, not in a report
    // of success.
    recorder.messages.clear();
    {
        auto script = Choose(dir.filePath(u"no/such/folder/list.ccnn"_s));
        frame->SaveAction()->trigger();
    }
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Critical);

    // A cancelled dialog writes nothing and says nothing.
    recorder.messages.clear();
    {
        auto script = Choose(QString());
        frame->SaveAction()->trigger();
    }
    EXPECT_TRUE(recorder.messages.isEmpty());
}

// On a fresh profile neither Documents nor its maker folder exists yet:
// both dialogs still open in that folder.
TEST_F(ConnectionListFileTest, DialogsStartInTheMakerFolderEvenOnAFreshProfile)
{
    const bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    const QString documents = dir.filePath(u"Документы"_s);
    {
        QFile dirs(dir.filePath(u"user-dirs.dirs"_s));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    ASSERT_EQ(GetDocumentsFolder(), documents + u'/');

    auto frame = Create();
    bool existed = false;
    TFileDialogScript script([&](const TFileDialogRequest &r, QString &) {
        existed = QDir(r.Directory).exists() && QDir(r.Directory).dirName() == u"VD"_s;
        return false;
    });
    frame->SaveAction()->trigger();
    EXPECT_TRUE(existed);
    ASSERT_TRUE(QDir(documents).removeRecursively());
    existed = false;
    frame->LoadAction()->trigger();
    EXPECT_TRUE(existed);
    if (hadConfigHome)
        qputenv("XDG_CONFIG_HOME", configHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(ConnectionListFileTest, LoadReplacesTheList)
{
    TccnConnectionList other;
    auto a = MakeConnection(dtM7L22020, 31);
    auto b = MakeConnection(dtM7L12020, 32, cmtRadioModem232);
    other.AddConnection(*a);
    other.AddConnection(*b);
    other.UIParams().ConnectionGridParams.DevTypeColWidth = 210;
    const QString path = dir.filePath(u"other.ccnn"_s);
    other.SaveToFile(path, csfBinary);

    auto frame = Create();
    {
        auto script = Choose(path);
        frame->LoadAction()->trigger();
    }
    EXPECT_EQ(request.Mode, fdmOpen);
    EXPECT_EQ(request.Title, u"Загрузка списка подключений из файла"_s);
    EXPECT_TRUE(request.MustExist);
    EXPECT_EQ(request.Directory + u'/', GetDocumentsFolder() + u"VD/"_s);
    ASSERT_EQ(recorder.messages.size(), 2);
    EXPECT_EQ(recorder.messages[0].Text, u"При загрузке из файла все существующие подключения будут удалены. \r\n"
                                         u"Продолжить выполнение операции?"_s);
    EXPECT_EQ(recorder.messages[1].Text, u"Загрузка списка подключений из файла "_s + path + u" выполнена"_s);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(TreeLines(frame->DeviceTree()), (QStringList{u"Измерители"_s, u"  "_s + Full(dtM7L12020), u"    32"_s,
                                                           u"  "_s + Full(dtM7L22020), u"    31"_s}));
    EXPECT_EQ(frame->ConnectionGrid()->columnWidth(1), 210);

    // "No" keeps everything without a file dialog.
    recorder.SetAnswer(QMessageBox::No);
    request = {};
    {
        auto script = Choose(path);
        frame->LoadAction()->trigger();
    }
    EXPECT_TRUE(request.Title.isEmpty());
    EXPECT_EQ(list.Count(), 2);
}

// A file that cannot be read loses none of the operator's connections: the
// list, its view and the current row stay as they were.
TEST_F(ConnectionListFileTest, ADamagedFileLeavesTheListAndItsViewAsTheyWere)
{
    TccnConnectionList other;
    auto a = MakeConnection(dtM7, 31);
    other.AddConnection(*a);
    QByteArray damaged = other.SaveToBytes(csfBinary);
    damaged.truncate(damaged.size() / 2 + 7);
    damaged[damaged.size() - 3] = '\xFF';
    const QString path = dir.filePath(u"damaged.ccnn"_s);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }

    auto frame = Create();
    frame->SelectConnection(list.Items(2)->ConID, TccnConnectionListFrame::scGridRow);
    const qint32 current = frame->CurrentConID();
    frame->StoreLayout(list); // as loading does first
    const QByteArray before = list.SaveToBytes(csfBinary);
    const QStringList tree = TreeLines(frame->DeviceTree());
    const QList<qint32> shown = ShownIDs(*frame);
    const int treeWidth = frame->findChild<QSplitter *>()->sizes().value(0);
    QStringList errors;
    for (const QString &chosen : {path, dir.filePath(u"missing.ccnn"_s)}) {
        recorder.messages.clear();
        {
            auto script = Choose(chosen);
            frame->LoadAction()->trigger();
        }
        ASSERT_EQ(recorder.messages.size(), 2);
        EXPECT_EQ(recorder.messages[1].Icon, QMessageBox::Critical);
        errors << recorder.messages[1].Text;
        EXPECT_EQ(list.SaveToBytes(csfBinary), before);
        EXPECT_EQ(TreeLines(frame->DeviceTree()), tree);
        EXPECT_EQ(ShownIDs(*frame), shown);
        EXPECT_EQ(frame->CurrentConID(), current);
        EXPECT_EQ(frame->findChild<QSplitter *>()->sizes().value(0), treeWidth);
    }
    EXPECT_TRUE(errors[0].startsWith(u"Список подключений. Ошибка загрузки данных. Неверный формат."_s));
    EXPECT_TRUE(errors[1].startsWith(u"Не удалось открыть файл"_s));
    EXPECT_EQ(Read(path), damaged);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"missing.ccnn"_s)));
}

TEST(ConnectionListFileFormat, TextFormOnlyForTxtNames)
{
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"/a/b/list_txt.ccnn"_s), csfText);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"/a/b/LIST_TXT.CCNN"_s), csfText);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"x_txt.ab"_s), csfText);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"x_txt.a"_s), csfBinary);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"list.ccnn"_s), csfBinary);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"txt.ccnn"_s), csfBinary);
    EXPECT_EQ(TccnConnectionListFrame::ListFileFormat(u"/d_txt.ccnn/list.ccnn"_s), csfBinary);
}

} // namespace
