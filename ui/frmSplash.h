#pragma once

#include "forms/frmSplash.h"

#include <QWidget>

#include <functional>
#include <string>

class QFrame;
class QLabel;
class QTimer;

namespace ui {

class Lifetime;

// The start-up window on the screen: product, maker and version on an orange-framed
// dark-red panel; a Qt view over forms::frmSplash, which hands over to the main
// window after 1,500 ms or at once on a character key, exactly once.
class frmSplash : public QWidget, private forms::SplashView {
    Q_OBJECT
public:
    // `handOver` brings up the main window; it runs once, after the splash has closed,
    // and `lifetime` keeps the program running in between.
    frmSplash(Lifetime &lifetime, std::function<void()> handOver);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // forms::SplashView
    void setVersionText(const std::string &text) override;
    void startTimer(int milliseconds) override;
    void stopTimer() override;
    void unload() override;

    Lifetime &m_lifetime;
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
