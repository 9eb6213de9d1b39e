#pragma once

#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QTimer;

namespace ui {

class Lifetime;

// The start-up window: product, maker and version on an orange-framed dark-red
// panel. After 1,500 ms, or at once on a character key, it closes and hands over to
// the main window, exactly once.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    // `handOver` brings up the main window; it runs once, after the splash has closed,
    // and `lifetime` keeps the program running in between.
    frmSplash(Lifetime &lifetime, std::function<void()> handOver);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Timer1_Timer();
    void Form_KeyPress();
    void handOver();

    Lifetime &m_lifetime;
    std::function<void()> m_handOver;
    bool m_handedOver = false;

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
