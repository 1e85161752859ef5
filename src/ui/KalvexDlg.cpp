#include "ui/KalvexDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

#include "app/CreateDumpReader.h"
#include "app/GridPaging.h"
#include "app/WindowText.h"
#include "ui/AnchorLayout.h"
#include "ui/DialogUnits.h"
#include "ui/GridModel.h"
#include "ui/MainKeyFilter.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

namespace {

QString IdName(int id) {
    return QString::number(id);
}

// Template size of the main window in dialog units.
constexpr int kTemplateWidth = 660;
constexpr int kTemplateHeight = 404;

}  // namespace

CKalvexDlg::CKalvexDlg(QWidget* parent) : QDialog(parent), m_readerFactory(CreateDumpReader) {
    setWindowTitle(QStringLiteral("Kalvex"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setAcceptDrops(true);
    setMinimumSize(760, 480);

    m_settingsPath = ::GetSettingsPath();
    LoadSettings(m_settingsPath, m_settings);

    CreateMenu();
    CreateControls();
    m_pageSizeEdit->setText(QString::number(m_settings.pageSize));
    RestoreWindowSize();
    UpdateControlStates();
    UpdateTitle();

    m_keyFilter = new CMainKeyFilter(*this);
    qApp->installEventFilter(m_keyFilter);
}

CKalvexDlg::~CKalvexDlg() {
    qApp->removeEventFilter(m_keyFilter);
    // The grid's cursor reads the session's table; it goes first.
    m_gridModel->Detach();
}

void CKalvexDlg::SetInitialFile(const std::u16string& path) {
    m_initialFile = path;
    if (!m_initialFile.empty()) {
        // Opened once the window is on screen, so messages have a window to belong to.
        QTimer::singleShot(0, this, [this] { OpenInitialFile(); });
    }
}

void CKalvexDlg::SetReaderFactory(ReaderFactory factory) {
    m_readerFactory = std::move(factory);
}

void CKalvexDlg::OpenInitialFile() {
    std::u16string path = std::move(m_initialFile);
    m_initialFile.clear();
    if (!path.empty()) OpenDumpFile(path);
}

void CKalvexDlg::CreateMenu() {
    m_menuBar = new QMenuBar(this);
    auto add = [this](QMenu* menu, int id, const char16_t* text) {
        QAction* action = menu->addAction(ToQString(text));
        action->setObjectName(IdName(id));
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        m_actions[id] = action;
    };
    QMenu* file = m_menuBar->addMenu(ToQString(u"ファイル(&F)"));
    add(file, CommandId::Open, u"開く(&O)...\tCtrl+O");
    add(file, CommandId::Close, u"閉じる(&C)");
    file->addSeparator();
    add(file, CommandId::Csv, u"CSV出力(&E)...\tCtrl+E");
    add(file, CommandId::SqlExport, u"SQL出力(&Q)...");
    add(file, CommandId::Ddl, u"DDL表示(&D)\tCtrl+D");
    add(file, CommandId::Properties, u"プロパティ(&R)\tCtrl+R");
    add(file, CommandId::CheckDump, u"ダンプの検査(&K)...");
    file->addSeparator();
    add(file, CommandId::SaveSettings, u"設定保存(&S)");
    add(file, CommandId::Exit, u"終了(&X)");
    QMenu* view = m_menuBar->addMenu(ToQString(u"表示(&V)"));
    add(view, CommandId::VisibleColumns, u"表示列(&C)...");
    add(view, CommandId::ClearFilter, u"絞り込み解除(&L)");
    add(view, CommandId::ClearSort, u"並べ替え解除(&O)");
    add(view, CommandId::RowDetail, u"行の詳細(&R)");
    add(view, CommandId::GoToRow, u"行へ移動(&G)...\tCtrl+G");
    view->addSeparator();
    add(view, CommandId::FirstPage, u"先頭ページ(&F)\tCtrl+Home");
    add(view, CommandId::PreviousPage, u"前ページ(&P)\tCtrl+Left");
    add(view, CommandId::NextPage, u"次ページ(&N)\tCtrl+Right");
    add(view, CommandId::LastPage, u"末尾ページ(&E)\tCtrl+End");
    QMenu* help = m_menuBar->addMenu(ToQString(u"ヘルプ(&H)"));
    add(help, CommandId::About, u"バージョン情報(&A)");
}

void CKalvexDlg::CreateControls() {
    // The template's rectangles, in dialog units of the window's font, relative to the
    // origin of the layout the controls go into.
    QPoint origin(0, 0);
    auto rect = [this, &origin](int x, int y, int w, int h) {
        const QSize topLeft = DialogUnitsToPixels(this, x - origin.x(), y - origin.y());
        return QRect(QPoint(topLeft.width(), topLeft.height()), DialogUnitsToPixels(this, w, h));
    };
    auto* layout = new CAnchorLayout(DialogUnitsToPixels(this, kTemplateWidth, kTemplateHeight));
    layout->setMenuBar(m_menuBar);
    setLayout(layout);
    using A = CAnchorLayout;
    CAnchorLayout* target = layout;

    auto place = [&](QWidget* widget, int id, QRect rect, int anchors) {
        widget->setObjectName(IdName(id));
        target->AddWidget(widget, rect, anchors);
    };
    // The table list and the right-hand side share a splitter, so the list can be widened;
    // each side lays out its controls as the template does, from its own top left corner.
    const int splitTop = 24;
    const int splitHeight = 388 - splitTop;
    m_listSplitter = new QSplitter(Qt::Horizontal, this);
    m_listSplitter->setChildrenCollapsible(false);
    m_listSplitter->setHandleWidth(DialogUnitsToPixels(this, 8, 0).width());
    layout->AddWidget(m_listSplitter, rect(6, splitTop, 648, splitHeight), A::GrowX | A::GrowY);
    auto pane = [&](int width, int minimumWidth) {
        auto* widget = new QWidget(m_listSplitter);
        auto* paneLayout = new CAnchorLayout(DialogUnitsToPixels(this, width, splitHeight));
        widget->setLayout(paneLayout);
        widget->setMinimumWidth(DialogUnitsToPixels(this, minimumWidth, 0).width());
        m_listSplitter->addWidget(widget);
        return paneLayout;
    };
    CAnchorLayout* listPane = pane(150, 60);
    // Below this the buttons beside the WHERE and keyword boxes would cover them; the
    // smallest window leaves the right-hand side a little more than this.
    CAnchorLayout* rightPane = pane(490, 250);
    m_listSplitter->setStretchFactor(0, 0);
    m_listSplitter->setStretchFactor(1, 1);
    m_listSplitter->setSizes(
        {DialogUnitsToPixels(this, 150, 0).width(), DialogUnitsToPixels(this, 490, 0).width()});
    auto label = [&](int id, const char16_t* text, QRect rect, int anchors) {
        auto* widget = new QLabel(ToQString(text), this);
        widget->setTextFormat(Qt::PlainText);
        place(widget, id, rect, anchors);
        return widget;
    };
    auto button = [&](int id, const char16_t* text, QRect rect, int anchors) {
        auto* widget = new QPushButton(ToQString(text), this);
        widget->setAutoDefault(false);
        place(widget, id, rect, anchors);
        return widget;
    };
    auto edit = [&](int id, QRect rect, int anchors) {
        auto* widget = new QLineEdit(this);
        place(widget, id, rect, anchors);
        return widget;
    };
    // Labels sit on the text line of the control beside them.
    auto labelRect = [&](int x, int y, int w) { return rect(x, y - 2, w, 12); };

    label(MainId::FileLabel, u"ファイル", labelRect(6, 8, 34), A::None);
    m_pathEdit = edit(MainId::PathEdit, rect(42, 6, 430, 13), A::GrowX);
    m_pathEdit->setReadOnly(true);
    m_openButton = button(MainId::OpenButton, u"開く...", rect(476, 5, 44, 14), A::MoveX);
    label(MainId::DatabaseLabel, u"DB", labelRect(528, 8, 16), A::MoveX);
    m_databaseCombo = new QComboBox(this);
    place(m_databaseCombo, MainId::DatabaseCombo, rect(546, 6, 108, 13), A::MoveX);

    target = listPane;
    origin = QPoint(6, splitTop);
    label(MainId::TablesLabel, u"テーブル(名前で絞り込み)", labelRect(6, 26, 150), A::None);
    m_nameFilterEdit = edit(MainId::NameFilterEdit, rect(6, 36, 150, 13), A::GrowX);
    m_tableList = new QTreeWidget(this);
    place(m_tableList, MainId::TableList, rect(6, 52, 150, 318), A::GrowX | A::GrowY);

    target = rightPane;
    origin = QPoint(164, splitTop);

    label(MainId::WhereLabel, u"WHERE", labelRect(164, 26, 36), A::None);
    m_whereEdit = edit(MainId::WhereEdit, rect(204, 24, 274, 13), A::GrowX);
    m_applyButton = button(MainId::ApplyButton, u"絞り込み", rect(482, 23, 44, 14), A::MoveX);
    m_clearButton = button(MainId::ClearButton, u"解除", rect(530, 23, 36, 14), A::MoveX);
    label(MainId::KeywordLabel, u"キーワード", labelRect(164, 42, 40), A::None);
    m_keywordEdit = edit(MainId::KeywordEdit, rect(204, 40, 274, 13), A::GrowX);
    m_columnsButton = button(MainId::ColumnsButton, u"表示列...", rect(482, 39, 44, 14), A::MoveX);
    m_ddlButton = button(MainId::DdlButton, u"DDL", rect(530, 39, 36, 14), A::MoveX);
    m_csvButton = button(MainId::CsvButton, u"CSV出力...", rect(570, 39, 50, 14), A::MoveX);

    m_grid = new QTableView(this);
    m_gridModel = new CGridModel(m_grid);
    m_grid->setModel(m_gridModel);
    place(m_grid, MainId::Grid, rect(164, 56, 490, 314), A::GrowX | A::GrowY);

    const char16_t* pageLabels[4] = {u"|<", u"<", u">", u">|"};
    const int pageIds[4] = {MainId::FirstButton, MainId::PreviousButton, MainId::NextButton,
                            MainId::LastButton};
    for (int i = 0; i < 4; ++i) {
        m_pageButtons[i] =
            button(pageIds[i], pageLabels[i], rect(164 + 26 * i, 374, 22, 14), A::MoveY);
    }
    label(MainId::PageSizeLabel, u"ページ行数", labelRect(272, 377, 40), A::MoveY);
    m_pageSizeEdit = edit(MainId::PageSizeEdit, rect(314, 374, 40, 13), A::MoveY);
    m_pageSizeEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pageSizeEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_pageText = label(MainId::PageText, u"", labelRect(362, 377, 292), A::MoveY | A::GrowX);
    target = layout;
    origin = QPoint(0, 0);
    m_statusText =
        label(MainId::StatusText, kOpenDumpPrompt, labelRect(6, 392, 648), A::MoveY | A::GrowX);

    // The table list: name, rows, columns; the name column takes what the others leave.
    m_tableList->setRootIsDecorated(false);
    m_tableList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableList->setSortingEnabled(false);
    m_tableList->setUniformRowHeights(true);
    m_tableList->setAllColumnsShowFocus(true);
    // Long names that share a prefix (a table and its partitions) differ at the end: keep
    // both ends in view.
    m_tableList->setTextElideMode(Qt::ElideMiddle);
    m_tableList->setColumnCount(3);
    m_tableList->setHeaderLabels({ToQString(u"テーブル"), ToQString(u"件数"), ToQString(u"列")});
    m_tableList->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    m_tableList->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    m_tableList->header()->setStretchLastSection(false);
    const int listWidth = DialogUnitsToPixels(this, 150, 0).width() - 2 * m_tableList->frameWidth();
    m_tableList->setColumnWidth(0, std::max(40, listWidth - 130));
    m_tableList->setColumnWidth(1, 90);
    m_tableList->setColumnWidth(2, 36);

    // The grid: one page of rows, fixed row heights so a page of 100,000 rows lays out at
    // once, columns the user may drag into another order.
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideRight);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_grid->font()).height() + 6);
    m_grid->horizontalHeader()->setSectionsMovable(true);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    // Only a click sorts; a drag that moves a column emits no click.
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CKalvexDlg::OnHeaderClicked);

    connect(m_openButton, &QPushButton::clicked, this, [this] { RunCommand(CommandId::Open); });
    connect(m_applyButton, &QPushButton::clicked, this, [this] { OnButtonApply(); });
    connect(m_clearButton, &QPushButton::clicked, this,
            [this] { RunCommand(CommandId::ClearFilter); });
    connect(m_columnsButton, &QPushButton::clicked, this,
            [this] { RunCommand(CommandId::VisibleColumns); });
    connect(m_ddlButton, &QPushButton::clicked, this, [this] { RunCommand(CommandId::Ddl); });
    connect(m_csvButton, &QPushButton::clicked, this, [this] { RunCommand(CommandId::Csv); });
    const int pageCommands[4] = {CommandId::FirstPage, CommandId::PreviousPage, CommandId::NextPage,
                                 CommandId::LastPage};
    for (int i = 0; i < 4; ++i) {
        const int command = pageCommands[i];
        connect(m_pageButtons[i], &QPushButton::clicked, this,
                [this, command] { RunCommand(command); });
    }
    connect(m_databaseCombo, &QComboBox::activated, this, [this] { OnDatabaseChanged(); });
    connect(m_nameFilterEdit, &QLineEdit::textChanged, this, [this] {
        if (m_session.IsOpen()) FillTableList();
    });
    connect(m_tableList, &QTreeWidget::itemSelectionChanged, this,
            [this] { OnTableSelectionChanged(); });
    connect(m_grid, &QTableView::doubleClicked, this, [this] { ShowRowDetail(); });
    m_pageSizeEdit->installEventFilter(this);
    m_tableList->installEventFilter(this);
    connect(m_listSplitter, &QSplitter::splitterMoved, this,
            [this] { m_settings.listWidth = m_listSplitter->sizes().value(0); });

    // Start with the same focus as the template: the first control that takes it.
    m_pathEdit->setFocus();
}

void CKalvexDlg::RestoreWindowSize() {
    resize(layout()->sizeHint().expandedTo(minimumSize()));
    if (m_settings.windowWidth >= 600 && m_settings.windowHeight >= 400) {
        resize(QSize(m_settings.windowWidth, m_settings.windowHeight).expandedTo(minimumSize()));
        if (QScreen* screen = this->screen()) {
            QRect frame(QPoint(0, 0), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    if (m_settings.windowMaximized) setWindowState(windowState() | Qt::WindowMaximized);
    RestoreListWidth();
}

void CKalvexDlg::StoreWindowSize() {
    // A maximised window keeps its restored size for the next start.
    const bool maximized = isMaximized();
    const QRect normal = maximized ? normalGeometry() : geometry();
    m_settings.windowMaximized = maximized;
    if (normal.isValid()) {
        m_settings.windowWidth = normal.width();
        m_settings.windowHeight = normal.height();
    }
}

void CKalvexDlg::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        m_closing = true;
        CommitPageSize();
        StoreWindowSize();
        // A settings file that cannot be written must not keep the window open.
        SaveSettings(m_settingsPath, m_settings);
        CloseDump();
        QDialog::done(QDialog::Accepted);
    }
    event->accept();
}

void CKalvexDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape that no control took end here and close nothing; Enter on a focused
    // button still presses it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) button->click();
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CKalvexDlg::HandleKey(QObject* target, int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods == Qt::ControlModifier) {
        static const struct {
            int key;
            int command;
        } accelerators[] = {
            {Qt::Key_O, CommandId::Open},         {Qt::Key_E, CommandId::Csv},
            {Qt::Key_D, CommandId::Ddl},          {Qt::Key_R, CommandId::Properties},
            {Qt::Key_Home, CommandId::FirstPage}, {Qt::Key_Left, CommandId::PreviousPage},
            {Qt::Key_Right, CommandId::NextPage}, {Qt::Key_End, CommandId::LastPage},
            {Qt::Key_G, CommandId::GoToRow},
        };
        for (const auto& accelerator : accelerators) {
            if (accelerator.key != key) continue;
            // A grayed command swallows its key, as a disabled menu item's accelerator does.
            QAction* action = GetAction(accelerator.command);
            if (action != nullptr && action->isEnabled()) RunCommand(accelerator.command);
            return true;
        }
        // Ctrl+C in the grid copies its rows; elsewhere (an edit box) it is the control's.
        QWidget* focus = QApplication::focusWidget();
        if (key == Qt::Key_C && focus != nullptr &&
            (focus == m_grid || m_grid->isAncestorOf(focus))) {
            CopySelectedRows();
            return true;
        }
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        QWidget* focus = QApplication::focusWidget();
        // The grid's viewport or the edit box inside it count as the grid.
        auto within = [focus](QWidget* control) {
            return focus != nullptr && (focus == control || control->isAncestorOf(focus));
        };
        if (within(m_whereEdit) || within(m_keywordEdit)) {
            OnButtonApply();
            return true;
        }
        if (within(m_pageSizeEdit)) {
            if (CommitPageSize()) ShowPage();
            return true;
        }
        if (within(m_grid)) {
            ShowRowDetail();
            return true;
        }
        if (within(m_nameFilterEdit)) {
            OnNameFilterEnter();
            return true;
        }
        (void)target;
        return false;
    }
    if (key == Qt::Key_Escape) return true;
    return false;
}

bool CKalvexDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pageSizeEdit && event->type() == QEvent::FocusOut && !m_closing) {
        if (CommitPageSize()) ShowPage();
    }
    if (watched == m_tableList && event->type() == QEvent::Resize) OnListResized();
    return QDialog::eventFilter(watched, event);
}

void CKalvexDlg::UpdateControlStates() {
    const bool open = m_session.IsOpen();
    const bool rows = m_session.HasTable();
    for (QWidget* widget :
         {static_cast<QWidget*>(m_databaseCombo), static_cast<QWidget*>(m_nameFilterEdit),
          static_cast<QWidget*>(m_tableList), static_cast<QWidget*>(m_ddlButton)}) {
        widget->setEnabled(open);
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(m_whereEdit), static_cast<QWidget*>(m_keywordEdit),
          static_cast<QWidget*>(m_applyButton), static_cast<QWidget*>(m_clearButton),
          static_cast<QWidget*>(m_columnsButton), static_cast<QWidget*>(m_csvButton),
          static_cast<QWidget*>(m_pageSizeEdit)}) {
        widget->setEnabled(rows);
    }
    for (int id : {CommandId::Close, CommandId::Ddl, CommandId::Properties, CommandId::CheckDump}) {
        m_actions[id]->setEnabled(open);
    }
    for (int id :
         {CommandId::Csv, CommandId::SqlExport, CommandId::VisibleColumns, CommandId::ClearFilter,
          CommandId::ClearSort, CommandId::RowDetail, CommandId::GoToRow, CommandId::FirstPage,
          CommandId::PreviousPage, CommandId::NextPage, CommandId::LastPage}) {
        m_actions[id]->setEnabled(rows);
    }
    UpdatePageInfo();
}

QAction* CKalvexDlg::GetAction(int commandId) const {
    auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

void CKalvexDlg::RunCommand(int commandId) {
    switch (commandId) {
        case CommandId::Open:
            OnFileOpen();
            break;
        case CommandId::Close:
            CloseDump();
            break;
        case CommandId::Csv:
            OnFileCsv();
            break;
        case CommandId::SqlExport:
            OnFileSql();
            break;
        case CommandId::Ddl:
            OnDdl();
            break;
        case CommandId::Properties:
            OnProperties();
            break;
        case CommandId::CheckDump:
            OnCheckDump();
            break;
        case CommandId::SaveSettings:
            OnSaveSettings();
            break;
        case CommandId::Exit:
            close();
            break;
        case CommandId::VisibleColumns:
            OnVisibleColumns();
            break;
        case CommandId::ClearFilter:
            OnClearFilter();
            break;
        case CommandId::ClearSort:
            OnClearSort();
            break;
        case CommandId::FirstPage:
            OnFirstPage();
            break;
        case CommandId::PreviousPage:
            OnPreviousPage();
            break;
        case CommandId::NextPage:
            OnNextPage();
            break;
        case CommandId::LastPage:
            OnLastPage();
            break;
        case CommandId::RowDetail:
            ShowRowDetail();
            break;
        case CommandId::About:
            OnAbout();
            break;
        case CommandId::GoToRow:
            GoToRow();
            break;
        default:
            break;
    }
}

void CKalvexDlg::OnSaveSettings() {
    CommitPageSize();
    if (SaveSettings(m_settingsPath, m_settings)) {
        ShowInformation(u"設定を保存しました。\n" + m_settingsPath);
    } else {
        ShowWarning(u"設定の保存に失敗しました(" + m_settingsPath + u")。");
    }
}

void CKalvexDlg::SetStatus(const std::u16string& text) {
    m_statusText->setText(ToQString(text));
}
