#include "main/main_window.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTreeWidgetItem>

#include <algorithm>
#include <array>

#include "main/icons.h"
#include "main/qt_text.h"
#include "ui_main_form.h"

namespace vrt::cfg {
namespace {

const QColor kPageColour(213, 255, 215);
const QColor kToolBarColour(212, 208, 200);

void FillItems(QComboBox* box, const std::vector<std::string>& items) {
    QSignalBlocker block(box);
    box->clear();
    for (const std::string& item : items) box->addItem(ToQ(item));
    box->setCurrentIndex(-1);
    // No layout may squeeze a list below its longest item.
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumWidth(box->sizeHint().width());
}

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

template <class W, class F>
void Quietly(W* widget, F set) {
    QSignalBlocker block(widget);
    set();
}


TreeNode* NodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<TreeNode*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

// Entry and exit are moves of the focus inside the window; the window itself
// losing the focus (to a message box, another program, a popup list) is none.
bool IsEntryOrExit(QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

TzMainForm::TzMainForm(MainUi& ui, LinkBinding* link, VentixBinding* ventix, const std::string& exeFileName,
                       QWidget* parent)
    : QMainWindow(parent), form_(std::make_unique<Ui::TzMainForm>()), controller_(ui, link, ventix) {
    form_->setupUi(this);
    setUpWidgets();
    connectActions();
    connectPages();
    controller_.SetView(this);
    controller_.Tree().SetObserver(this);
    controller_.FormCreate(exeFileName);
}

TzMainForm::~TzMainForm() {
    controller_.Tree().SetObserver(nullptr);
    controller_.SetView(nullptr);
}

void TzMainForm::setUpWidgets() {
    Ui::TzMainForm& f = *form_;
    const QIcon fileImages[] = {FileImage(0), FileImage(1), FileImage(2), FileImage(3), FileImage(4)};
    f._New->setIcon(fileImages[0]);
    f.FileOpen->setIcon(fileImages[1]);
    f.Save->setIcon(fileImages[2]);
    f.FileSaveAs1->setIcon(fileImages[3]);
    f._ImportPRJ->setIcon(fileImages[4]);
    f.AddDevice->setIcon(DeviceImage(0));
    f.DeleteDevice->setIcon(DeviceImage(1));
    f.AddTag->setIcon(DeviceImage(2));
    f.DeleteTag->setIcon(DeviceImage(3));
    f.UpTag->setIcon(DeviceImage(4));
    f.DownTag->setIcon(DeviceImage(5));
    addAction(f.RefPrib);
    addAction(f.RefTag);

    auto* devicePicture = new QLabel(f.DeviceToolBar);
    devicePicture->setPixmap(DevicePicture());
    f.DeviceToolBar->insertWidget(f.AddDevice, devicePicture);
    auto* tagPicture = new QLabel(f.DeviceToolBar);
    tagPicture->setPixmap(TagPicture());
    f.DeviceToolBar->insertWidget(f.AddTag, tagPicture);
    for (QToolBar* bar : {f.FileToolBar, f.DeviceToolBar}) {
        // A tool bar fills its background with the button colour, which its
        // buttons share; it gets the window colour of its own instead.
        Paint(bar, kToolBarColour);
        bar->setBackgroundRole(QPalette::Window);
    }
    for (QWidget* page : {f.TabSheet1, f.TabSheet2, f.TabSheet4, f.TabSheet3}) Paint(page, kPageColour);
    Paint(f.RichEdit1, kPageColour);

    QFont fixed = f.TreeView1->font();
    fixed.setFamilies({"Courier New", "Liberation Mono", "DejaVu Sans Mono"});
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    f.TreeView1->setFont(fixed);
    // Node texts are shown whole: the column takes the widest text of all
    // rows (fitColumn) and the tree scrolls sideways when the panel is
    // narrower.
    f.TreeView1->header()->setStretchLastSection(false);
    f.TreeView1->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    f.TreeView1->setTextElideMode(Qt::ElideNone);
    const QFontMetricsF metrics(f.TreeView1->font());
    std::array<double, 256> charWidths{};
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        charWidths[size_t(byte)] = metrics.horizontalAdvance(ToQ(std::string_view(&c, 1)));
    }
    columnWidth_.SetCharWidths(charWidths);

    FillItems(f.PortCBox, PortItems());
    FillItems(f.SpeedCBox, SpeedItems());
    FillItems(f.ChetnCBox, ParityItems());
    FillItems(f.ProtocolCBox, ProtocolItems());
    FillItems(f.BlockSizeCBox, BlockSizeItems());
    FillItems(f.UseSpecMCBox, SpecModeItems());
    FillItems(f.RepPauseCBox, RepPauseItems());
    FillItems(f._VarType, VarTypeItems());
    FillItems(f._RWType, RWTypeItems());
    FillItems(f._RWMode, RWModeItems());
    f._RWMode->setToolTip(ToQ(RWModeHint()));
    // The ".tag" file would split a device name at ',' and a tag name at '='.
    f._Name->setValidator(new QRegularExpressionValidator(QRegularExpression("[^,]*"), f._Name));
    f._TagName->setValidator(new QRegularExpressionValidator(QRegularExpression("[^=]*"), f._TagName));

    // After the lists, whose widths set the pages' minimum.
    f.Splitter1->setSizes({361, 949 - 361 - 3});
    f.Splitter1->setStretchFactor(1, 1);

    QStringList log;
    for (const std::string& line : controller_.LogLines()) log << ToQ(line);
    f.RichEdit1->setPlainText(log.join('\n'));

    // A path can be far wider than the page: the label takes the width the
    // page gives it and shows what fits, never asking the window for more.
    f._VarPath->setSizePolicy(QSizePolicy::Ignored, f._VarPath->sizePolicy().verticalPolicy());
    f.TagInfoGrid->setColumnStretch(1, 1);

    for (QWidget* w : std::initializer_list<QWidget*>{f._Name, f.PortCBox, f.SpeedCBox, f._TagName, f.NumVars,
                                                      f._VarType, f._RWType, f._projectName, f._projectDesc,
                                                      f._VarPath})
        w->installEventFilter(this);
}

// The path as far as the label's width shows it, the whole of it in the tooltip.
void TzMainForm::showPath() {
    QLabel* label = form_->_VarPath;
    const QString path = ToQ(controller_.TagPageValues().path);
    label->setToolTip(path);
    label->setText(label->fontMetrics().elidedText(path, Qt::ElideRight, label->contentsRect().width()));
}

void TzMainForm::connectActions() {
    Ui::TzMainForm& f = *form_;
    MainController& c = controller_;
    connect(f._New, &QAction::triggered, this, [&c] { c._NewExecute(); });
    connect(f.FileOpen, &QAction::triggered, this, [&c] { c.FileOpenExecute(); });
    connect(f.Save, &QAction::triggered, this, [&c] { c.SaveExecute(); });
    connect(f.FileSaveAs1, &QAction::triggered, this, [&c] { c.FileSaveAs1Execute(); });
    connect(f._ImportPRJ, &QAction::triggered, this, [&c] { c._ImportPRJExecute(); });
    connect(f.AddDevice, &QAction::triggered, this, [&c] { c.AddDeviceExecute(); });
    connect(f.DeleteDevice, &QAction::triggered, this, [&c] { c.DeleteDeviceExecute(); });
    connect(f.AddTag, &QAction::triggered, this, [&c] { c.AddTagExecute(); });
    connect(f.DeleteTag, &QAction::triggered, this, [&c] { c.DeleteTagExecute(); });
    connect(f.UpTag, &QAction::triggered, this, [&c] { c.UpTagExecute(); });
    connect(f.DownTag, &QAction::triggered, this, [&c] { c.DownTagExecute(); });
    connect(f.RefPrib, &QAction::triggered, this, [&c] { c.RefPribExecute(); });
    connect(f.RefTag, &QAction::triggered, this, [&c] { c.RefTagExecute(); });

    // Only the selection follows the user: Qt also moves the current item by
    // itself (the focus coming back after a dialog, a row going away), and
    // such a move must not make a device current. Our own moves of the
    // selection come with the tree's signals blocked.
    connect(f.TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = form_->TreeView1->selectedItems();
        controller_.Tree().Select(selected.isEmpty() ? nullptr : NodeOf(selected.first()));
    });
    connect(f.PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (applyingPage_) return;
        const QWidget* w = form_->PageControl1->widget(index);
        for (Page page : {Page::Device, Page::Tag, Page::Project, Page::Info})
            if (pageWidget(page) == w) controller_.PageShown(page);
    });
}

void TzMainForm::connectPages() {
    Ui::TzMainForm& f = *form_;
    MainController& c = controller_;
    DevicePage& d = c.DevicePageValues();
    TagPage& t = c.TagPageValues();
    ProjectPage& p = c.ProjectPageValues();
    const auto index = QOverload<int>::of(&QComboBox::currentIndexChanged);
    const auto value = QOverload<int>::of(&QSpinBox::valueChanged);

    // Bound controls write back at once; the others wait for the next write-back.
    connect(f._Name, &QLineEdit::textChanged, this, [&](const QString& s) { d.name = FromQ(s), c.DeviceNameTyped(); });
    connect(f.PortCBox, index, this, [&](int i) { d.port = i, c.RefPribExecute(); });
    connect(f.SpeedCBox, index, this, [&](int i) { d.speed = i, c.RefPribExecute(); });
    connect(f.ChetnCBox, index, this, [&](int i) { d.parity = i; });
    connect(f._NetNum, &QLineEdit::textChanged, this, [&](const QString& s) { d.netNumber = FromQ(s), c.RefPribExecute(); });
    connect(f.ProtocolCBox, index, this, [&](int i) { d.protocol = i; });
    connect(f.BlockSizeCBox, index, this, [&](int i) { d.blockSize = i; });
    connect(f.UseSpecMCBox, index, this, [&](int i) { d.specMode = i; });
    connect(f.RepNumEdit, value, this, [&](int v) { d.repNum = v; });
    connect(f.RepPauseCBox, index, this, [&](int i) { d.repPause = i; });
    connect(f.UseModemCBox, &QCheckBox::toggled, this, [&](bool on) { d.useModem = on, c.UseModemCBoxClick(); });
    connect(f.TelNumEdit, &QLineEdit::textChanged, this, [&](const QString& s) { d.phone = FromQ(s); });
    connect(f._NumDial, value, this, [&](int v) { d.numDial = v; });

    connect(f._TagName, &QLineEdit::textChanged, this, [&](const QString& s) { t.name = FromQ(s), c.TagNameTyped(); });
    connect(f.NumVars, value, this, [&](int v) { t.numVar = v, c.RefTagExecute(); });
    connect(f._VarType, index, this, [&](int i) { t.varType = i, c.RefTagExecute(); });
    connect(f._RWType, index, this, [&](int i) { t.rwType = i, c.RefTagExecute(); });
    connect(f._RWMode, index, this, [&](int i) { t.rwMode = i; });
    connect(f._WRepNum, value, this, [&](int v) { t.wRepNum = v; });

    connect(f._projectName, &QLineEdit::textChanged, this, [&](const QString& s) { p.name = FromQ(s); });
    connect(f._projectDesc, &QTextEdit::textChanged, this,
            [&] { p.description = FromQ(form_->_projectDesc->toPlainText()); });
}

bool TzMainForm::eventFilter(QObject* watched, QEvent* event) {
    Ui::TzMainForm& f = *form_;
    if (watched == f._VarPath && event->type() == QEvent::Resize) showPath();
    if (watched == f._TagName && event->type() == QEvent::KeyPress &&
        !static_cast<QKeyEvent*>(event)->text().isEmpty())
        controller_._TagNameKeyPress();  // before the key changes the text
    if (IsEntryOrExit(event)) {
        const bool exit = event->type() == QEvent::FocusOut;
        if (watched == f._Name || (exit && (watched == f.PortCBox || watched == f.SpeedCBox)))
            controller_.RefPribExecute();
        else if (watched == f._VarType || (exit && (watched == f._TagName || watched == f.NumVars || watched == f._RWType)))
            controller_.RefTagExecute();
        else if (exit && (watched == f._projectName || watched == f._projectDesc))
            controller_.StoreProjectInfo();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TzMainForm::closeEvent(QCloseEvent* event) {
    if (controller_.FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

// --- MainView ----------------------------------------------------------------

void TzMainForm::DevicePageFilled() {
    Ui::TzMainForm& f = *form_;
    const DevicePage& d = controller_.DevicePageValues();
    Quietly(f._Name, [&] { f._Name->setText(ToQ(d.name)); });
    Quietly(f.PortCBox, [&] { f.PortCBox->setCurrentIndex(d.port); });
    Quietly(f._NetNum, [&] { f._NetNum->setText(ToQ(d.netNumber)); });
    Quietly(f._Bits, [&] { f._Bits->setText(ToQ(d.dataBits)); });
    Quietly(f._StopBit, [&] { f._StopBit->setText(ToQ(d.stopBits)); });
    Quietly(f.SpeedCBox, [&] { f.SpeedCBox->setCurrentIndex(d.speed); });
    Quietly(f.UseSpecMCBox, [&] { f.UseSpecMCBox->setCurrentIndex(d.specMode); });
    Quietly(f.BlockSizeCBox, [&] { f.BlockSizeCBox->setCurrentIndex(d.blockSize); });
    Quietly(f.RepNumEdit, [&] { f.RepNumEdit->setValue(d.repNum); });
    Quietly(f.RepPauseCBox, [&] { f.RepPauseCBox->setCurrentIndex(d.repPause); });
    Quietly(f.ProtocolCBox, [&] { f.ProtocolCBox->setCurrentIndex(d.protocol); });
    Quietly(f.UseModemCBox, [&] { f.UseModemCBox->setChecked(d.useModem); });
    Quietly(f.ChetnCBox, [&] { f.ChetnCBox->setCurrentIndex(d.parity); });
    Quietly(f.TelNumEdit, [&] { f.TelNumEdit->setText(ToQ(d.phone)); });
    Quietly(f._NumDial, [&] { f._NumDial->setValue(d.numDial); });
    ModemControlsChanged();
}

void TzMainForm::ModemControlsChanged() {
    Ui::TzMainForm& f = *form_;
    const bool on = controller_.DevicePageValues().modemEnabled;
    for (QWidget* w : std::initializer_list<QWidget*>{f.TelNumLabel, f.TelNumEdit, f.NumDialLabel, f._NumDial})
        w->setEnabled(on);
}

void TzMainForm::TagPageFilled() {
    Ui::TzMainForm& f = *form_;
    const TagPage& t = controller_.TagPageValues();
    Quietly(f._TagName, [&] { f._TagName->setText(ToQ(t.name)); });
    Quietly(f.NumVars, [&] { f.NumVars->setValue(t.numVar); });
    Quietly(f._VarType, [&] { f._VarType->setCurrentIndex(t.varType); });
    Quietly(f._RWType, [&] { f._RWType->setCurrentIndex(t.rwType); });
    Quietly(f._RWMode, [&] { f._RWMode->setCurrentIndex(t.rwMode); });
    Quietly(f._WRepNum, [&] { f._WRepNum->setValue(t.wRepNum); });
    f._WRepNum->setEnabled(t.wRepNumEnabled);
    f.RWModeGroup->setVisible(t.writeModeVisible);
    showPath();
    f._VarID->setText(ToQ(t.id));
}

void TzMainForm::ProjectPageFilled() {
    Ui::TzMainForm& f = *form_;
    const ProjectPage& p = controller_.ProjectPageValues();
    Quietly(f._projectName, [&] { f._projectName->setText(ToQ(p.name)); });
    Quietly(f._projectDesc, [&] { f._projectDesc->setPlainText(ToQ(p.description)); });
}

void TzMainForm::UiStateChanged() {
    Ui::TzMainForm& f = *form_;
    const UiState& s = controller_.Ui();
    f._New->setEnabled(s.newEnabled);
    f.FileOpen->setEnabled(s.openEnabled);
    f.Save->setEnabled(s.saveEnabled);
    f.FileSaveAs1->setEnabled(s.saveAsEnabled);
    f._ImportPRJ->setEnabled(s.importEnabled);
    f.AddDevice->setEnabled(s.addDeviceEnabled);
    f.DeleteDevice->setEnabled(s.deleteDeviceEnabled);
    f.AddTag->setEnabled(s.addTagEnabled);
    f.DeleteTag->setEnabled(s.deleteTagEnabled);
    f.UpTag->setEnabled(s.upTagEnabled);
    f.DownTag->setEnabled(s.downTagEnabled);
    f.DeviceMenu->menuAction()->setVisible(s.deviceMenusMerged);
    f.TagsMenu->menuAction()->setVisible(s.deviceMenusMerged);

    QTabWidget* tabs = f.PageControl1;
    const auto tab = [&](QWidget* page, bool visible, bool enabled) {
        const int i = tabs->indexOf(page);
        tabs->setTabVisible(i, visible);
        tabs->setTabEnabled(i, enabled);
    };
    tab(f.TabSheet1, s.deviceTabVisible, s.deviceTabEnabled);
    tab(f.TabSheet2, s.tagTabVisible, s.tagTabEnabled);
    tab(f.TabSheet4, s.projectTabVisible, true);
    tab(f.TabSheet3, s.infoTabVisible, true);
    applyCurrentPage();
}

QWidget* TzMainForm::pageWidget(Page page) const {
    switch (page) {
        case Page::Device:
            return form_->TabSheet1;
        case Page::Tag:
            return form_->TabSheet2;
        case Page::Project:
            return form_->TabSheet4;
        case Page::Info:
            break;
    }
    return form_->TabSheet3;
}

void TzMainForm::applyCurrentPage() {
    QTabWidget* tabs = form_->PageControl1;
    QWidget* page = pageWidget(controller_.CurrentPage());
    if (!tabs->isTabVisible(tabs->indexOf(page)) || tabs->currentWidget() == page) return;
    applyingPage_ = true;
    tabs->setCurrentWidget(page);
    applyingPage_ = false;
}

void TzMainForm::ShowPage(Page) { applyCurrentPage(); }

void TzMainForm::AppendLog(std::string_view line) { form_->RichEdit1->append(ToQ(line)); }

void TzMainForm::FocusTree() { form_->TreeView1->setFocus(); }

// --- TreeObserver ------------------------------------------------------------

QTreeWidgetItem* TzMainForm::ItemOf(const TreeNode* node) const {
    const auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second.item;
}

// Rows are indented by their level, top-level rows too (their expand mark).
int TzMainForm::rowWidth(const TreeNode& node) const {
    return columnWidth_.RowWidth(node.Text(), form_->TreeView1->indentation() * (node.Level() + 1));
}

void TzMainForm::fitColumn() {
    QTreeWidget* tree = form_->TreeView1;
    QHeaderView* header = tree->header();
    const int widest = columnWidth_.Widest();
    if (widest == 0 || tree->topLevelItemCount() == 0) {
        // An empty tree keeps no scroll range from the rows it had.
        if (header->sectionSize(0) > header->minimumSectionSize()) header->resizeSection(0, header->minimumSectionSize());
        return;
    }
    if (cellExtra_ < 0) {
        // The delegate's width of one row, less its text, is what every row
        // adds to its text; one pixel more covers the rounding of fractions.
        const QTreeWidgetItem* first = tree->topLevelItem(0);
        const int text = columnWidth_.RowWidth(FromQ(first->text(0)), 0);
        cellExtra_ = std::max(0, tree->sizeHintForIndex(tree->indexFromItem(first)).width() - text) + 1;
    }
    if (header->sectionSize(0) != widest + cellExtra_) header->resizeSection(0, widest + cellExtra_);
}

// Drawn once per window: a tree of 100 000 nodes shares a handful of icons.
const QIcon& TzMainForm::nodeIcon(const TreeNode& node) {
    const auto key = std::make_pair(node.Image(), node.SelectedImage());
    auto it = icons_.find(key);
    if (it != icons_.end()) return it->second;
    QIcon icon = TreeImage(node.Image());
    if (node.Image() != node.SelectedImage()) {
        icon = QIcon();
        icon.addPixmap(TreeImage(node.Image()).pixmap(24, 24), QIcon::Normal);
        icon.addPixmap(TreeImage(node.SelectedImage()).pixmap(24, 24), QIcon::Selected);
    }
    return icons_.emplace(key, icon).first->second;
}

// A whole tree is built outside the widget and handed over at once: a
// widget told of each of 100 000 nodes spends seconds on its own updates.
void TzMainForm::UpdatesBegun() {
    batching_ = true;
    form_->TreeView1->setUpdatesEnabled(false);
}

void TzMainForm::UpdatesEnded() {
    batching_ = false;
    QTreeWidget* tree = form_->TreeView1;
    if (!pendingTop_.isEmpty()) {
        QSignalBlocker block(tree);
        tree->addTopLevelItems(pendingTop_);
        pendingTop_.clear();
    }
    fitColumn();
    tree->setUpdatesEnabled(true);
}

void TzMainForm::NodeAdded(TreeNode* node) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, ToQ(node->Text()));
    item->setIcon(0, nodeIcon(*node));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    QSignalBlocker block(form_->TreeView1);
    // Nodes are only ever appended to their parent.
    if (QTreeWidgetItem* parent = ItemOf(node->Parent()))
        parent->addChild(item);
    else if (batching_)
        pendingTop_.append(item);
    else
        form_->TreeView1->addTopLevelItem(item);
    const int width = rowWidth(*node);
    items_[node] = {item, width};
    columnWidth_.Add(width);
    if (!batching_) fitColumn();
}

void TzMainForm::NodeRemoving(TreeNode* node) {
    QTreeWidgetItem* item = ItemOf(node);
    const std::function<void(const TreeNode*)> forget = [&](const TreeNode* n) {
        for (int i = 0; i < n->ChildCount(); ++i) forget(n->Child(i));
        if (const auto it = items_.find(n); it != items_.end()) {
            columnWidth_.Remove(it->second.width);
            items_.erase(it);
        }
    };
    forget(node);
    QSignalBlocker block(form_->TreeView1);
    pendingTop_.removeOne(item);
    delete item;
    if (!batching_) fitColumn();
}

void TzMainForm::NodeChanged(TreeNode* node) {
    const auto it = items_.find(node);
    if (it == items_.end()) return;
    QTreeWidgetItem* item = it->second.item;
    item->setText(0, ToQ(node->Text()));
    item->setIcon(0, nodeIcon(*node));
    columnWidth_.Remove(it->second.width);
    it->second.width = rowWidth(*node);
    columnWidth_.Add(it->second.width);
    if (!batching_) fitColumn();
}

void TzMainForm::NodeExpanded(TreeNode* node) {
    if (QTreeWidgetItem* item = ItemOf(node)) item->setExpanded(true);
}

void TzMainForm::SelectionMoved(TreeNode* selected) {
    QSignalBlocker block(form_->TreeView1);
    QTreeWidgetItem* item = ItemOf(selected);
    form_->TreeView1->setCurrentItem(item);
    if (!item) form_->TreeView1->clearSelection();
}

}  // namespace vrt::cfg
