#pragma once
// The main window: the widgets of forms/main_form.ui bound to MainController.
// It shows what the controller computes and forwards the user's events; the
// tree widget mirrors the controller's NodeTree.
#include <QIcon>
#include <QList>
#include <QMainWindow>

#include <map>

#include <memory>
#include <string>
#include <unordered_map>

#include "main/column_width.h"
#include "main/main_controller.h"

class QTreeWidgetItem;

namespace Ui {
class TzMainForm;
}

namespace vrt::cfg {

class TzMainForm final : public QMainWindow, private MainView, private TreeObserver {
    Q_OBJECT

public:
    // Runs FormCreate with `exeFileName`: loads OPCVentix, makes the project
    // (binding vrtCLNK) and shows the empty workspace.
    TzMainForm(MainUi& ui, LinkBinding* link, VentixBinding* ventix, const std::string& exeFileName,
               QWidget* parent = nullptr);
    ~TzMainForm() override;

    MainController& Controller() { return controller_; }
    Ui::TzMainForm& Form() { return *form_; }
    // The tree widget's item of a node, null when it has none.
    QTreeWidgetItem* ItemOf(const TreeNode* node) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpWidgets();
    void connectActions();
    void connectPages();
    void applyCurrentPage();
    void showPath();
    QWidget* pageWidget(Page page) const;

    // MainView
    void DevicePageFilled() override;
    void ModemControlsChanged() override;
    void TagPageFilled() override;
    void ProjectPageFilled() override;
    void UiStateChanged() override;
    void ShowPage(Page page) override;
    void AppendLog(std::string_view line) override;
    void FocusTree() override;

    // TreeObserver
    void NodeAdded(TreeNode* node) override;
    void NodeRemoving(TreeNode* node) override;
    void NodeChanged(TreeNode* node) override;
    void NodeExpanded(TreeNode* node) override;
    void SelectionMoved(TreeNode* selected) override;
    void UpdatesBegun() override;
    void UpdatesEnded() override;
    const QIcon& nodeIcon(const TreeNode& node);
    int rowWidth(const TreeNode& node) const;
    // Sizes the tree's column to its widest row.
    void fitColumn();

    std::unique_ptr<Ui::TzMainForm> form_;
    MainController controller_;
    struct NodeItem {
        QTreeWidgetItem* item;
        int width;  // the row's indentation and text (ColumnWidth::RowWidth)
    };
    std::unordered_map<const TreeNode*, NodeItem> items_;
    ColumnWidth columnWidth_;
    int cellExtra_ = -1;  // a row's width beyond its text: icon and margins; -1 until measured
    bool applyingPage_ = false;
    bool batching_ = false;                   // top-level items wait in pendingTop_
    QList<QTreeWidgetItem*> pendingTop_;
    std::map<std::pair<int, int>, QIcon> icons_;  // by image and selected image
};

}  // namespace vrt::cfg
