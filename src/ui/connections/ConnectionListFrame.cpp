#include "ui/connections/ConnectionListFrame.h"

#include "catalogue/ConnectionList.h"
#include "catalogue/AcceptedConnections.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"
#include "ui/connections/EditConnectionDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/FileDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kKeyTypeRole = Qt::UserRole;
constexpr int kKeyNumberRole = Qt::UserRole + 1;
constexpr int kRowHeight = 30;
constexpr int kTreeMinWidth = 40;
constexpr int kTextInset = 2;
constexpr int kParamGap = 3;
constexpr int kPortPartWidth = 80;
constexpr int kPortPartWidthBold = 95;

const QString kSaveTitle = u"Сохранение списка подключений в файл"_s;
const QString kLoadTitle = u"Загрузка списка подключений из файла"_s;
const QString kListFilter = u"Файлы списков подключений (*.ccnn)|*.ccnn|Все файлы (*.*)|*.*"_s;

// The colours of an inactive window caption, which mark connections the
// program refuses and comments.
const QColor kInactiveCaption(191, 205, 219);
const QColor kInactiveCaptionText(67, 78, 84);

class TWaitCursor
{
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

class TccnConnectionGridDelegate : public QStyledItemDelegate
{
public:
    TccnConnectionGridDelegate(const TccnConnectionListFrame *frame, QObject *parent)
        : QStyledItemDelegate(parent), frame_(frame)
    {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        frame_->DrawCell(painter, option, index.row(), index.column());
    }

private:
    const TccnConnectionListFrame *frame_;
};

// Header texts centred both ways with the cells' 2-pixel inset instead of
// the style's wider padding, so the default widths hold their captions.
class TccnConnectionGridHeader : public QHeaderView
{
public:
    explicit TccnConnectionGridHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = rect;
        option.section = logicalIndex;
        option.text.clear();
        option.state |= QStyle::State_Raised;
        painter->save();
        style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->setClipRect(rect.adjusted(kTextInset, 0, -kTextInset, 0));
        const QRect textRect = rect.adjusted(kTextInset, kTextInset, -kTextInset, -kTextInset);
        const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
        // A caption wider than its column takes the row's second line.
        const bool fits = painter->fontMetrics().horizontalAdvance(text) <= textRect.width();
        painter->drawText(textRect, Qt::AlignCenter | (fits ? Qt::TextSingleLine : Qt::TextWordWrap), text);
        painter->restore();
    }
};

std::pair<int, qint64> NodeKey(const QTreeWidgetItem *node)
{
    if (!node)
        return {-1, -1};
    return {node->data(0, kKeyTypeRole).toInt(), node->data(0, kKeyNumberRole).toLongLong()};
}

// The width two-column parameter lines need.
int ParamLinesWidth(const QFontMetrics &metrics, const QStringList &lines, int gap)
{
    int labelWidth = 0, valueWidth = 0;
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        labelWidth = qMax(labelWidth, metrics.horizontalAdvance(eq < 0 ? line : line.left(eq)));
        valueWidth = qMax(valueWidth, eq < 0 ? 0 : metrics.horizontalAdvance(line.mid(eq + 1)));
    }
    return lines.isEmpty() ? 0 : labelWidth + gap + valueWidth;
}

// "label: =value" lines drawn as two columns: the labels, then the values
// `gap` pixels after the widest label. Lines that do not fit are clipped.
void DrawParamLines(QPainter *painter, const QRect &rect, const QStringList &lines, int gap)
{
    if (lines.isEmpty() || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QFontMetrics metrics = painter->fontMetrics();
    QStringList labels, values;
    int labelWidth = 0;
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        labels << (eq < 0 ? line : line.left(eq));
        values << (eq < 0 ? QString() : line.mid(eq + 1));
        labelWidth = qMax(labelWidth, metrics.horizontalAdvance(labels.constLast()));
    }
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    int y = rect.top();
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const QRect lineRect(rect.left(), y, rect.width(), metrics.height());
        painter->drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, labels[i]);
        painter->drawText(lineRect.adjusted(labelWidth + gap, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, values[i]);
        y += metrics.height();
    }
    painter->restore();
}

// The folder both list dialogs start in. A fresh profile has none, and a
// dialog told to start in a missing folder opens somewhere else.
QString MakeListFolder()
{
    const QString documents = GetDocumentsFolder();
    const QString folder = documents + MakerFolderName() + u'/';
    if (!documents.isEmpty())
        QDir().mkpath(folder);
    return folder;
}

} // namespace

// --- Construction -------------------------------------------------------------------------

TccnConnectionListFrame::TccnConnectionListFrame(QWidget *parent, TccnConnectionListUIOptions *options,
                                                 TccnConnectionList *list)
    : QFrame(parent), options_(options)
{
    CheckPreConditions(list != nullptr, u"Не задан список подключений");
    CheckPreConditions(options != nullptr, u"Не заданы входные настройки для UI-списка покдлючений");
    CreateActions();
    BuildLayout();
    SetConnectionList(list);
    CreateCheckImages();
    ready_ = true;
}

TccnConnectionListFrame::~TccnConnectionListFrame()
{
    // The grid's painter asks this frame: it must not paint any more.
    updating_ = true;
    if (grdConnection)
        grdConnection->setItemDelegate(new QStyledItemDelegate(grdConnection));
}

void TccnConnectionListFrame::CreateActions()
{
    actAdd = new QAction(u"Добавить"_s, this);
    actCopy = new QAction(u"Копировать"_s, this);
    actChange = new QAction(u"Изменить"_s, this);
    actDelete = new QAction(u"Удалить"_s, this);
    actSave = new QAction(u"Сохранить все подключения в файл"_s, this);
    actLoad = new QAction(u"Загрузить подключения из файла"_s, this);
    connect(actAdd, &QAction::triggered, this, [this] { RunGuarded(&TccnConnectionListFrame::AddConnection); });
    connect(actCopy, &QAction::triggered, this, [this] { RunGuarded(&TccnConnectionListFrame::CopyConnection); });
    connect(actChange, &QAction::triggered, this, [this] { RunGuarded(&TccnConnectionListFrame::ChangeConnection); });
    connect(actDelete, &QAction::triggered, this, [this] { RunGuarded(&TccnConnectionListFrame::DeleteConnections); });
    connect(actSave, &QAction::triggered, this,
            [this] { RunGuarded(&TccnConnectionListFrame::SaveConnectionsToFile); });
    connect(actLoad, &QAction::triggered, this,
            [this] { RunGuarded(&TccnConnectionListFrame::LoadConnectionsFromFile); });

    pmConnections = new QMenu(this);
    pmConnections->addAction(actSave);
    pmConnections->addAction(actLoad);
}

void TccnConnectionListFrame::BuildLayout()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    tvDevice = new QTreeWidget(splitter);
    tvDevice->setObjectName(u"tvDevice"_s);
    tvDevice->setHeaderHidden(true);
    tvDevice->setColumnCount(1);
    tvDevice->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvDevice->setSelectionMode(QAbstractItemView::SingleSelection);
    tvDevice->setMinimumWidth(kTreeMinWidth);
    // Long type names scroll instead of being cut off.
    tvDevice->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvDevice->header()->setStretchLastSection(false);
    tvDevice->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(tvDevice, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (updating_ || !current)
            return;
        TWaitCursor wait;
        const auto [type, number] = NodeKey(current);
        ShowNodeConnections(type, number);
    });

    grdConnection = new QTableWidget(splitter);
    grdConnection->setObjectName(u"grdConnection"_s);
    {
        // The default column widths were made for a small font: the grid
        // stays a point below the window's.
        QFont font = grdConnection->font();
        if (font.pointSizeF() > 8)
            font.setPointSizeF(qMax(8.0, font.pointSizeF() - 1));
        grdConnection->setFont(font);
    }
    grdConnection->setHorizontalHeader(new TccnConnectionGridHeader(grdConnection));
    grdConnection->setColumnCount(kColumnCount);
    grdConnection->setHorizontalHeaderLabels(
        {u"А"_s, u"Измеритель"_s, u"Протокол"_s, u"Тип подключения"_s, u"Параметры подключения"_s, u"ID"_s});
    grdConnection->horizontalHeader()->moveSection(colConID, colDevice);
    grdConnection->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grdConnection->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grdConnection->horizontalHeader()->setHighlightSections(false);
    grdConnection->horizontalHeader()->setStretchLastSection(false);
    grdConnection->horizontalHeader()->setFixedHeight(kRowHeight);
    // Stored widths are taken as they are, down to the 20-pixel mark column.
    grdConnection->horizontalHeader()->setMinimumSectionSize(4);
    grdConnection->verticalHeader()->hide();
    grdConnection->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdConnection->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdConnection->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grdConnection->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdConnection->setWordWrap(false);
    grdConnection->setTabKeyNavigation(false);
    grdConnection->setItemDelegate(new TccnConnectionGridDelegate(this, grdConnection));
    grdConnection->installEventFilter(this);
    grdConnection->viewport()->installEventFilter(this);
    grdConnection->setColumnWidth(colConID,
                                  grdConnection->fontMetrics().horizontalAdvance(u"00000"_s) + 4 * kTextInset);
    {
        // Two text lines (name and parameters) share a row; a larger system
        // font gets taller rows rather than clipped lines.
        const int twoLines = 2 * grdConnection->fontMetrics().height() + 2 * kTextInset;
        grdConnection->verticalHeader()->setDefaultSectionSize(qMax(kRowHeight, twoLines));
    }
    connect(grdConnection, &QTableWidget::currentCellChanged, this, [this](int currentRow, int, int previousRow, int) {
        if (ready_ && !updating_ && !options_->CheckMode && currentRow != previousRow)
            emit ConnectionChanged();
    });

    splitter->addWidget(tvDevice);
    splitter->addWidget(grdConnection);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);

    pnButtons = new QWidget(this);
    pnButtons->setFixedWidth(104);
    auto *buttons = new QVBoxLayout(pnButtons);
    buttons->setContentsMargins(4, 0, 4, 0);
    buttons->setSpacing(6);
    auto bind = [this, buttons](QAction *action, const QString &name) {
        auto *button = new QPushButton(action->text(), pnButtons);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
        buttons->addWidget(button);
        return button;
    };
    btnAdd = bind(actAdd, u"btnAdd"_s);
    btnCopy = bind(actCopy, u"btnCopy"_s);
    btnChange = bind(actChange, u"btnChange"_s);
    btnDelete = bind(actDelete, u"btnDelete"_s);
    buttons->addStretch(1);
    layout->addWidget(pnButtons);
    setTabOrder(btnAdd, btnChange);
    setTabOrder(btnChange, btnDelete);
    setTabOrder(btnDelete, btnCopy);

    // The pop-up menu of the tree, the grid and the button panel.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { pmConnections->popup(mapToGlobal(pos)); });
}

void TccnConnectionListFrame::CreateCheckImages()
{
    for (int marked = 0; marked < 2; ++marked) {
        QPixmap image(13, 13);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(QColor(64, 64, 64));
        painter.drawRect(0, 0, 12, 12);
        if (marked) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(Qt::black, 2));
            painter.drawPolyline(QPolygon({QPoint(3, 6), QPoint(5, 9), QPoint(10, 3)}));
        }
        painter.end();
        checkImages_[marked] = image;
    }
}

void TccnConnectionListFrame::RunGuarded(void (TccnConnectionListFrame::*command)())
{
    try {
        (this->*command)();
    } catch (const Exception &error) {
        ShowError(error.Message(), this);
    }
}

// --- The list and its layout -------------------------------------------------------------------

void TccnConnectionListFrame::SetConnectionList(TccnConnectionList *list)
{
    CheckPreConditions(list != nullptr, u"Не задан список подключений");
    const bool wasReady = ready_;
    ready_ = false;
    if (list_)
        list_->SetAllSelected(false);
    updating_ = true;
    tvDevice->clear();
    rowIDs_.assign(1, -1);
    grdConnection->setRowCount(1);
    updating_ = false;

    list_ = list;
    list_->SortConnections();
    RebuildTree();
    ApplyLayout(*list_);
    ready_ = wasReady;
}

void TccnConnectionListFrame::ApplyLayout(const TccnConnectionList &list)
{
    const TccnConnectionListUIParams &params = list.UIParams();
    const int treeWidth = qMax(kTreeMinWidth, int(params.DeviceTreeViewParams.Width));
    tvDevice->resize(treeWidth, tvDevice->height());
    const int rest = qMax(100, splitter->width() - treeWidth - splitter->handleWidth());
    splitter->setSizes({treeWidth, rest});

    const TccnConnectionGridParams &grid = params.ConnectionGridParams;
    int statusWidth = 0;
    if (options_->CheckMode)
        statusWidth = grid.StatusColWidth > 0 ? grid.StatusColWidth : 20;
    grdConnection->setColumnHidden(colStatus, !options_->CheckMode);
    if (options_->CheckMode)
        grdConnection->setColumnWidth(colStatus, statusWidth);
    // Widths come from files too: a negative one is taken as none.
    grdConnection->setColumnWidth(colDevice, qMax(0, int(grid.DevTypeColWidth)));
    grdConnection->setColumnWidth(colProtocol, qMax(0, int(grid.DevProtocolColWidth)));
    grdConnection->setColumnWidth(colConMode, qMax(0, int(grid.ConModeColWidth)));
    grdConnection->setColumnWidth(colConModeParams, qMax(0, int(grid.ConModeParamColWidth)));
    FitTreeToNames();
}

void TccnConnectionListFrame::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    FitTreeToNames();
}

// A stored width (130 by default) cuts the meters' type names: the
// splitter keeps the tree at least as wide as its longest name.
void TccnConnectionListFrame::FitTreeToNames()
{
    const QAbstractItemView *view = tvDevice; // the tree's own sizing is protected, the view's public
    const int needed = view->sizeHintForColumn(0) + 2 * tvDevice->frameWidth() + 2 * kTextInset;
    tvDevice->setMinimumWidth(qMax(kTreeMinWidth, needed));
}

void TccnConnectionListFrame::StoreLayout(TccnConnectionList &list) const
{
    TccnConnectionListUIParams &params = list.UIParams();
    const QList<int> sizes = splitter->sizes();
    params.DeviceTreeViewParams.Width = sizes.value(0, tvDevice->width());
    TccnConnectionGridParams &grid = params.ConnectionGridParams;
    grid.StatusColWidth = grdConnection->isColumnHidden(colStatus) ? 0 : grdConnection->columnWidth(colStatus);
    grid.DevTypeColWidth = grdConnection->columnWidth(colDevice);
    grid.DevProtocolColWidth = grdConnection->columnWidth(colProtocol);
    grid.ConModeColWidth = grdConnection->columnWidth(colConMode);
    grid.ConModeParamColWidth = grdConnection->columnWidth(colConModeParams);
}

// --- Tree -----------------------------------------------------------------------------------

void TccnConnectionListFrame::RebuildTree()
{
    updating_ = true;
    tvDevice->clear();
    auto *root = new QTreeWidgetItem(tvDevice, {u"Измерители"_s});
    root->setData(0, kKeyTypeRole, -1);
    root->setData(0, kKeyNumberRole, qint64(-1));
    QTreeWidgetItem *typeNode = nullptr;
    int lastType = -1;
    qint64 lastNumber = -1;
    for (int i = 0; i < list_->Count(); ++i) {
        const TccnCustomDevice *device = list_->Items(i)->CustomDevice();
        if (!device)
            continue;
        const int type = device->DeviceType();
        const qint64 number = device->FactoryNum;
        if (!typeNode || type != lastType) {
            typeNode = InsertNode(root, DeviceTypeFullNames().value(type), type, -1);
            InsertNode(typeNode, QString::number(number), type, number);
        } else if (number != lastNumber) {
            InsertNode(typeNode, QString::number(number), type, number);
        }
        lastType = type;
        lastNumber = number;
    }
    root->setExpanded(true);
    updating_ = false;
    // The whole list is shown until the operator picks a meter.
    SelectTreeNode(root);
}

QTreeWidgetItem *TccnConnectionListFrame::InsertNode(QTreeWidgetItem *parent, const QString &text, int type,
                                                     qint64 number)
{
    // Kept in order of type, then number, as the sorted list gives them.
    const bool numberNode = number >= 0;
    int position = parent->childCount();
    for (int i = 0; i < parent->childCount(); ++i) {
        const auto [childType, childNumber] = NodeKey(parent->child(i));
        if (numberNode ? childNumber > number : childType > type) {
            position = i;
            break;
        }
    }
    auto *node = new QTreeWidgetItem({text});
    node->setData(0, kKeyTypeRole, type);
    node->setData(0, kKeyNumberRole, number);
    parent->insertChild(position, node);
    return node;
}

QTreeWidgetItem *TccnConnectionListFrame::FindTypeNode(int type) const
{
    QTreeWidgetItem *root = tvDevice->topLevelItem(0);
    if (!root)
        return nullptr;
    for (int i = 0; i < root->childCount(); ++i)
        if (NodeKey(root->child(i)).first == type)
            return root->child(i);
    return nullptr;
}

QTreeWidgetItem *TccnConnectionListFrame::FindNumberNode(int type, qint64 number) const
{
    QTreeWidgetItem *typeNode = FindTypeNode(type);
    if (!typeNode)
        return nullptr;
    for (int i = 0; i < typeNode->childCount(); ++i)
        if (NodeKey(typeNode->child(i)).second == number)
            return typeNode->child(i);
    return nullptr;
}

void TccnConnectionListFrame::SelectTreeNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    updating_ = true;
    tvDevice->setCurrentItem(node);
    updating_ = false;
    const auto [type, number] = NodeKey(node);
    ShowNodeConnections(type, number);
}

std::pair<int, qint64> TccnConnectionListFrame::CurrentNodeKey() const
{
    return NodeKey(tvDevice->currentItem());
}

void TccnConnectionListFrame::RefillGridForCurrentNode()
{
    QTreeWidgetItem *node = tvDevice->currentItem();
    if (!node)
        node = tvDevice->topLevelItem(0);
    SelectTreeNode(node);
}

void TccnConnectionListFrame::UpdateTreeAfterAdd(int type, qint64 number, qint32 conID)
{
    QTreeWidgetItem *root = tvDevice->topLevelItem(0);
    if (!root)
        return;
    updating_ = true;
    QTreeWidgetItem *node = nullptr;
    if (list_->IsSingleOfType(TDeviceType(type))) {
        QTreeWidgetItem *typeNode = FindTypeNode(type);
        if (!typeNode)
            typeNode = InsertNode(root, DeviceTypeFullNames().value(type), type, -1);
        node = InsertNode(typeNode, QString::number(number), type, number);
    } else if (list_->IsSingleOfDevice(TDeviceType(type), qint32(number))) {
        QTreeWidgetItem *typeNode = FindTypeNode(type);
        if (!typeNode)
            typeNode = InsertNode(root, DeviceTypeFullNames().value(type), type, -1);
        node = InsertNode(typeNode, QString::number(number), type, number);
    } else {
        node = FindNumberNode(type, number);
    }
    root->setExpanded(true);
    if (node && node->parent())
        node->parent()->setExpanded(true);
    FitTreeToNames();
    updating_ = false;
    SelectTreeNode(node ? node : root);
    SelectConnection(conID, scGridRow);
}

void TccnConnectionListFrame::UpdateTreeAfterRemove(int type, qint64 number)
{
    QTreeWidgetItem *doomed = nullptr;
    if (list_->HasType(TDeviceType(type))) {
        if (!list_->HasDevice(TDeviceType(type), qint32(number))) {
            doomed = FindNumberNode(type, number);
            if (doomed && doomed->parent() && doomed->parent()->childCount() == 1)
                doomed = doomed->parent();
        }
    } else {
        doomed = FindTypeNode(type);
    }
    if (!doomed)
        return;
    updating_ = true;
    // A node that goes away hands the selection to the node above it.
    for (QTreeWidgetItem *node = tvDevice->currentItem(); node; node = node->parent())
        if (node == doomed) {
            tvDevice->setCurrentItem(doomed->parent());
            break;
        }
    delete doomed;
    updating_ = false;
}

// --- Grid ----------------------------------------------------------------------------------------

void TccnConnectionListFrame::ShowNodeConnections(int type, qint64 number)
{
    const bool report = ready_ && !options_->CheckMode;
    const qint32 before = report ? CurrentConID() : -1;

    updating_ = true;
    grdConnection->setUpdatesEnabled(false);
    rowIDs_.clear();
    for (int i = 0; i < list_->Count(); ++i) {
        const TccnConnection *connection = list_->Items(i);
        const TccnCustomDevice *device = connection->CustomDevice();
        bool matches = type < 0;
        if (!matches && device && device->DeviceType() == type)
            matches = number < 0 || device->FactoryNum == number;
        if (matches)
            rowIDs_.push_back(connection->ConID);
    }
    if (rowIDs_.empty())
        rowIDs_.push_back(-1);
    grdConnection->clearSelection();
    grdConnection->setRowCount(int(rowIDs_.size()));
    grdConnection->setCurrentCell(0, colDevice, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grdConnection->setUpdatesEnabled(true);
    grdConnection->viewport()->update();
    updating_ = false;

    if (report && before != CurrentConID())
        emit ConnectionChanged();
}

void TccnConnectionListFrame::SetCurrentRow(int row)
{
    if (row < 0 || row >= grdConnection->rowCount())
        row = 0;
    grdConnection->setCurrentCell(row, colDevice, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

qint32 TccnConnectionListFrame::RowConID(int row) const
{
    if (row < 0 || row >= int(rowIDs_.size()))
        return -1;
    return rowIDs_[size_t(row)];
}

int TccnConnectionListFrame::ShownConnectionCount() const
{
    return GridIsEmpty() ? 0 : int(rowIDs_.size());
}

bool TccnConnectionListFrame::GridIsEmpty() const
{
    return rowIDs_.empty() || rowIDs_.front() < 0;
}

void TccnConnectionListFrame::SelectConnection(qint32 conID, int flags)
{
    const TccnConnection *connection = list_->FindByConID(conID);
    if ((flags & scTreeNode) && connection && connection->CustomDevice()) {
        const TccnCustomDevice *device = connection->CustomDevice();
        if (QTreeWidgetItem *node = FindNumberNode(device->DeviceType(), device->FactoryNum))
            SelectTreeNode(node);
    }
    if (flags & scGridRow) {
        int row = 0;
        for (size_t i = 0; i < rowIDs_.size(); ++i)
            if (rowIDs_[i] == conID && conID >= 0)
                row = int(i);
        SetCurrentRow(row);
    }
}

QList<qint32> TccnConnectionListFrame::ChosenConIDs() const
{
    QList<qint32> ids;
    if (options_->CheckMode) {
        for (int i = 0; i < list_->Count(); ++i)
            if (list_->Items(i)->Selected)
                ids << list_->Items(i)->ConID;
        return ids;
    }
    if (GridIsEmpty())
        return ids;
    const qint32 id = RowConID(qMax(0, grdConnection->currentRow()));
    if (id >= 0 && list_->FindByConID(id))
        ids << id;
    return ids;
}

qint32 TccnConnectionListFrame::CurrentConID() const
{
    const QList<qint32> ids = ChosenConIDs();
    return ids.isEmpty() ? -1 : ids.constFirst();
}

TccnConnection *TccnConnectionListFrame::CurrentConnection() const
{
    if (options_->CheckMode) {
        const qint32 id = RowConID(grdConnection->currentRow());
        return id >= 0 ? list_->FindByConID(id) : nullptr;
    }
    const qint32 id = CurrentConID();
    return id >= 0 ? list_->FindByConID(id) : nullptr;
}

void TccnConnectionListFrame::ToggleMark(int row)
{
    TccnConnection *connection = list_->FindByConID(RowConID(row));
    if (!connection)
        return;
    connection->Selected = !connection->Selected;
    grdConnection->viewport()->update(grdConnection->visualRect(grdConnection->model()->index(row, colStatus)));
    if (ready_)
        emit ConnectionChanged();
}

bool TccnConnectionListFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (options_->CheckMode && !GridIsEmpty()) {
        if (watched == grdConnection->viewport() && event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const QModelIndex index = grdConnection->indexAt(mouse->position().toPoint());
            if (mouse->button() == Qt::LeftButton && index.isValid() && index.column() == colStatus)
                ToggleMark(index.row());
        } else if (watched == grdConnection && event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Space) {
                ToggleMark(grdConnection->currentRow());
                return true;
            }
            if (key->matches(QKeySequence::SelectAll)) {
                grdConnection->selectAll();
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TccnConnectionListFrame::DrawCell(QPainter *painter, const QStyleOptionViewItem &option, int row, int column) const
{
    if (updating_ || !list_)
        return;
    const QRect cell = option.rect;
    const TccnConnection *connection = list_->FindByConID(RowConID(row));
    const bool selected = option.state & QStyle::State_Selected;

    QString refusal;
    const bool refused = connection && !options_->CheckConnection(connection, refusal);
    const QPalette &palette = option.palette;
    QColor background = palette.color(QPalette::Base);
    QColor text = palette.color(QPalette::Text);
    if (refused) {
        background = kInactiveCaption;
    } else if (selected) {
        background = palette.color(QPalette::Highlight);
        text = palette.color(QPalette::HighlightedText);
    }

    painter->save();
    painter->setClipRect(cell);
    painter->fillRect(cell, background);
    painter->setPen(text);
    if (!connection) {
        painter->restore();
        return;
    }

    const QRect inner = cell.adjusted(kTextInset, kTextInset, -kTextInset, -kTextInset);
    const QRect upper(inner.left(), inner.top(), inner.width(), inner.height() / 2);
    const QRect lower(inner.left(), upper.bottom() + 1, inner.width(), inner.bottom() - upper.bottom());
    const TccnCustomDevice *device = connection->CustomDevice();
    const TccnCustomDeviceProtocol *protocol = connection->CustomDeviceProtocol();
    const TccnCustomConMode *mode = connection->CustomConMode();

    switch (column) {
    case colStatus: {
        const QPixmap &image = checkImages_[connection->Selected ? 1 : 0];
        painter->drawPixmap(cell.center() - QPoint(image.width() / 2, image.height() / 2), image);
        break;
    }
    case colConID:
        painter->drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, QString::number(connection->ConID));
        break;
    case colDevice:
        if (device) {
            painter->drawText(upper, Qt::AlignCenter | Qt::TextSingleLine,
                              DeviceTypeNames().value(device->DeviceType()) + u"  №"_s +
                                  QString::number(device->FactoryNum));
            if (!device->Comment.isEmpty()) {
                painter->save();
                QFont bold = painter->font();
                bold.setBold(true);
                painter->setFont(bold);
                painter->setPen(kInactiveCaptionText);
                painter->drawText(lower, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, device->Comment);
                painter->restore();
            }
        }
        break;
    case colProtocol:
        if (protocol) {
            painter->drawText(upper, Qt::AlignCenter | Qt::TextSingleLine,
                              DeviceProtocolTypeNames().value(protocol->ProtocolType()));
            DrawParamLines(painter, lower, protocol->GetParamsList(), 0);
        }
        break;
    case colConMode:
        if (mode)
            painter->drawText(inner, Qt::AlignCenter | Qt::TextSingleLine,
                              ConModeTypeNames().value(mode->ConModeType()));
        break;
    case colConModeParams:
        if (mode) {
            const QStringList portLines =
                mode->CustomCommInterface() ? mode->CustomCommInterface()->GetParamsList() : QStringList();
            if (mode->ConModeType() == cmtPhoneModem232 || mode->ConModeType() == cmtRadioModem232) {
                // The port part is 80 (bold 95) pixels, wider when the font
                // needs it so the port and rate are not cut.
                const int portWidth = qMax(painter->font().bold() ? kPortPartWidthBold : kPortPartWidth,
                                           ParamLinesWidth(painter->fontMetrics(), portLines, kParamGap));
                const QRect portPart(inner.left(), inner.top(), qMin(portWidth, inner.width()), inner.height());
                DrawParamLines(painter, portPart, portLines, kParamGap);
                const QStringList modemLines =
                    mode->CustomCommHardware() ? mode->CustomCommHardware()->GetParamsList() : QStringList();
                DrawParamLines(painter, inner.adjusted(portWidth + kParamGap, 0, 0, 0), modemLines, kParamGap);
            } else {
                DrawParamLines(painter, inner, portLines, kParamGap);
            }
        }
        break;
    default: break;
    }
    painter->restore();
}

// --- Validation ------------------------------------------------------------------------------------

bool TccnConnectionListFrame::ValidateChosen(QString &message)
{
    message = u"Unknown error"_s;
    if (GridIsEmpty()) {
        message = u"Таблица подключений пуста"_s;
        return false;
    }
    const QList<qint32> ids = ChosenConIDs();
    if (options_->CheckMode && ids.isEmpty()) {
        message = u"Нет выбранных подключений"_s;
        return false;
    }
    for (qint32 id : ids) {
        if (!options_->CheckConnection(list_->FindByConID(id), message)) {
            SelectConnection(id, scTreeNode | scGridRow);
            return false;
        }
    }
    return true;
}

bool TccnConnectionListFrame::CheckChosen()
{
    QString message;
    if (ValidateChosen(message))
        return true;
    ShowError(message, this);
    return false;
}

// --- Editing -------------------------------------------------------------------------------------------

void TccnConnectionListFrame::AddConnection()
{
    const TccnConnection *current = CurrentConnection();
    const TccnCustomDevice *device = current ? current->CustomDevice() : nullptr;
    if (device && options_->FindDeviceTypeOptions(device->DeviceType())) {
        TccnConnection start;
        start.SetCustomDevice(CreateDeviceByType(device->DeviceType()));
        EditInDialog(TEditKind::Add, &start);
    } else {
        EditInDialog(TEditKind::Add, nullptr);
    }
}

void TccnConnectionListFrame::CopyConnection()
{
    if (const TccnConnection *current = CurrentConnection())
        EditInDialog(TEditKind::Add, current);
}

void TccnConnectionListFrame::ChangeConnection()
{
    if (const TccnConnection *current = CurrentConnection())
        EditInDialog(TEditKind::Change, current);
}

bool TccnConnectionListFrame::EditInDialog(TEditKind kind, const TccnConnection *start)
{
    CheckPreConditions(kind != TEditKind::Delete, u"Операция удаления в данной пр-ре не поддерживается");
    CheckPreConditions(kind != TEditKind::Change || start != nullptr, u"Не задан изменяемый объект");
    // A copy or change needs a connection of the list; adding to an empty
    // list comes without a start connection.
    if (start && list_->Count() == 0)
        return false;

    auto working = std::make_unique<TccnConnection>();
    int oldType = -1;
    qint64 oldNumber = -1;
    if (start) {
        working->Assign(*start);
        if (const TccnCustomDevice *device = start->CustomDevice()) {
            oldType = device->DeviceType();
            oldNumber = device->FactoryNum;
        }
    }

    bool changed = false;
    {
        TccnEditConnectionForm form(this, false, options_, working.get());
        form.setWindowTitle(kind == TEditKind::Add ? u"Добавить подключение"_s : u"Изменить подключение"_s);
        if (form.Execute() != QDialog::Accepted)
            return false;
        changed = kind == TEditKind::Add ? list_->AddConnection(*working) : list_->UpdateConnection(*working);
    }
    if (!changed)
        return false;

    list_->SortConnections();
    const TccnCustomDevice *device = working->CustomDevice();
    const int newType = device ? device->DeviceType() : -1;
    const qint64 newNumber = device ? device->FactoryNum : -1;
    if (kind == TEditKind::Add) {
        UpdateTreeAfterAdd(newType, newNumber, working->ConID);
    } else if (newType != oldType || newNumber != oldNumber) {
        if (oldType >= 0)
            UpdateTreeAfterRemove(oldType, oldNumber);
        UpdateTreeAfterAdd(newType, newNumber, working->ConID);
    } else {
        grdConnection->viewport()->update();
    }
    if (grdConnection->isVisible() && grdConnection->isEnabled())
        grdConnection->setFocus();
    return true;
}

void TccnConnectionListFrame::DeleteConnections()
{
    if (list_->Count() == 0 || GridIsEmpty())
        return;
    int first = grdConnection->currentRow();
    int last = first;
    const QList<QTableWidgetSelectionRange> ranges = grdConnection->selectedRanges();
    if (!ranges.isEmpty()) {
        first = ranges.constFirst().topRow();
        last = ranges.constFirst().bottomRow();
        for (const QTableWidgetSelectionRange &range : ranges) {
            first = qMin(first, range.topRow());
            last = qMax(last, range.bottomRow());
        }
    }
    first = qBound(0, first, int(rowIDs_.size()) - 1);
    last = qBound(first, last, int(rowIDs_.size()) - 1);
    const int count = last - first + 1;

    const QString question =
        count == 1 ? u"Удалить выделенное подключение?"_s : u"Удалить выделенные подключения (%1)?"_s.arg(count);
    if (ShowMessageDialog(question, {}, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, this) !=
        QMessageBox::Yes)
        return;

    TWaitCursor wait;
    qint32 remembered = -1;
    if (last + 1 < int(rowIDs_.size()))
        remembered = rowIDs_[size_t(last + 1)];
    else if (first > 0)
        remembered = rowIDs_[size_t(first - 1)];

    const std::vector<qint32> doomed(rowIDs_.begin() + first, rowIDs_.begin() + last + 1);
    bool deleted = false;
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        const TccnConnection *connection = list_->FindByConID(*it);
        if (!connection)
            continue;
        const TccnCustomDevice *device = connection->CustomDevice();
        const int type = device ? device->DeviceType() : -1;
        const qint64 number = device ? device->FactoryNum : -1;
        if (!list_->DeleteConnection(*it))
            continue;
        deleted = true;
        if (type >= 0)
            UpdateTreeAfterRemove(type, number);
    }
    if (deleted) {
        RefillGridForCurrentNode();
        SelectConnection(remembered, scGridRow);
    }
}

// --- Files ------------------------------------------------------------------------------------------------

QString TccnConnectionListFrame::ProposedListFileName()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return GetDocumentsFolder() + MakerFolderName() + u'/' + u"Подключения_"_s + program + u".ccnn"_s;
}

int TccnConnectionListFrame::ListFileFormat(const QString &fileName)
{
    // Only the file's own name decides, not the folders above it.
    static const QRegularExpression textMask(QRegularExpression::wildcardToRegularExpression(u"*_txt.??*"_s),
                                             QRegularExpression::CaseInsensitiveOption);
    return textMask.match(QFileInfo(fileName).fileName()).hasMatch() ? csfText : csfBinary;
}

void TccnConnectionListFrame::SaveConnectionsToFile()
{
    MakeListFolder();
    QString fileName;
    if (!ExecuteFileDialog(fdmSave, kSaveTitle, ProposedListFileName(), kListFilter, false, false, true, fileName,
                           this))
        return;
    StoreLayout(*list_);
    list_->SaveToFile(fileName, ListFileFormat(fileName));
    ShowInfo(u"Сохранение списка подключений в файл "_s + fileName + u" выполнено"_s, this);
}

void TccnConnectionListFrame::LoadConnectionsFromFile()
{
    const QString question =
        u"При загрузке из файла все существующие подключения будут удалены. \r\nПродолжить выполнение операции?"_s;
    if (ShowMessageDialog(question, {}, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, this) !=
        QMessageBox::Yes)
        return;
    QString fileName;
    if (!ExecuteFileDialog(fdmOpen, kLoadTitle, MakeListFolder(), kListFilter, false, true, false, fileName, this))
        return;

    StoreLayout(*list_);
    // A file that cannot be read leaves the list, and the view of it, as
    // they were: the operator's connections are never lost to a bad file.
    try {
        list_->LoadFromFile(fileName, csfAny);
    } catch (const Exception &e) {
        ShowError(e.Message(), this);
        return;
    }
    SetConnectionList(list_);
    ShowInfo(u"Загрузка списка подключений из файла "_s + fileName + u" выполнена"_s, this);
}
