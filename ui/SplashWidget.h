#pragma once

#include "forms/frmSplash.h"

#include <QWidget>

#include <string>

class QFrame;
class QLabel;
class QTimer;

namespace ui {

// The start-up window on the screen: product, maker and version on an orange-framed
// dark-red panel; a Qt view over forms::frmSplash, which hands over to the main
// window after 1,500 ms or at once on a character key, exactly once.
class SplashWidget : public QWidget, private forms::SplashView {
    Q_OBJECT
public:
    // The window's handlers run under `program`, which the splash hands over to.
    explicit SplashWidget(forms::Program &program);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // forms::SplashView
    void setVersionText(const std::string &text) override;
    void startTimer(int milliseconds) override;
    void stopTimer() override;
    void unload() override;

    forms::Program &m_program;
    forms::frmSplash m_form;

    QFrame *Frame1;
    QTimer *Timer1;
    QLabel *imgLogo;
    QLabel *lblLicenseTo;
    QLabel *lblCompanyProduct;
    QLabel *lblProductName;
    QLabel *lblPlatform;
    QLabel *lblVersion;
    QLabel *lblCopyright;
    QLabel *lblCompany;
    QLabel *lblWarning;
};

} // namespace ui
