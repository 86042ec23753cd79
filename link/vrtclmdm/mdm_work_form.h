#pragma once
// The modem progress window: a thin Qt form over ProgressController.
#include <QDialog>
#include <QTimer>

#include "vrtclmdm/progress_controller.h"

namespace Ui {
class FrmMDMWork;
}

namespace vrt::link {

class TFrmMDMWork final : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit TFrmMDMWork(ProgressController& controller);
    ~TFrmMDMWork() override;

    void render(const ProgressModel& model) override;
    void runModal() override;
    void closeWindow() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc closes through the close handler

private:
    void FormActivate();
    void TmrMDMCtrlTimer();
    void BitBtnExitClick();
    void BitBtnBreakClick();

    ProgressController& controller_;
    Ui::FrmMDMWork* ui_;
    QTimer TmrMDMCtrl;
    bool closed_ = false;
};

}  // namespace vrt::link
