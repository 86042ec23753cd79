#pragma once
// The about box: a thin Qt form over AboutController.
#include <QDialog>
#include <QTimer>

#include "vrtabout/about_controller.h"

namespace Ui {
class FrmAbout;
}

namespace vrt::link {

class TFrmAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(AboutController& controller);
    ~TFrmAbout() override;

    void render();
    Ui::FrmAbout& ui() { return *ui_; }
    QTimer& timer() { return TmAbout; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc closes through the close handler

private:
    void BtBtnExitClick();
    void ImgInfoClick();
    void BtnAddrOkClick();
    void TmAboutTimer();

    AboutController& controller_;
    Ui::FrmAbout* ui_;
    QTimer TmAbout;
};

}  // namespace vrt::link
