#include "ui/frmSplash.h"

#include "ui/Icons.h"
#include "ui/Lifetime.h"
#include "ui/Twips.h"
#include "version/Version.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace {

// The window's design, in twips; the controls inside Frame1 are placed relative to it.
constexpr ui::TwipRect kClient{0, 0, 7380, 4245};
constexpr ui::TwipRect kFrame1{120, 60, 7080, 4050};
constexpr ui::TwipRect kImgLogo{360, 795, 1455, 1545};
constexpr ui::TwipRect kLblLicenseTo{120, 240, 6855, 255};
constexpr ui::TwipRect kLblCompanyProduct{2355, 705, 1995, 435};
constexpr ui::TwipRect kLblProductName{2400, 1140, 2355, 675};
constexpr ui::TwipRect kLblPlatform{3165, 2340, 3690, 285};
constexpr ui::TwipRect kLblVersion{5910, 2700, 945, 285};
constexpr ui::TwipRect kLblCopyright{4560, 3060, 2415, 255};
constexpr ui::TwipRect kLblCompany{4560, 3270, 2415, 255};
constexpr ui::TwipRect kLblWarning{240, 3660, 6735, 195};

constexpr int kSplashMilliseconds = 1500;

const QColor kOrange(255, 128, 0);
const QColor kDarkRed(192, 0, 0);

enum class Keep { Left, Right };

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const ui::TwipRect &place,
                  Qt::Alignment alignment, const char *family, double points, bool bold)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    label->setGeometry(ui::toPixels(place));
    label->setAlignment(alignment | Qt::AlignTop);
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(ui::pointsToPixels(points));
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, kDarkRed);
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

// A label sized to its text keeps one edge of its designed place.
void sizeToText(QLabel *label, const ui::TwipRect &place, Keep edge)
{
    const QSize text = label->sizeHint();
    QRect geometry = ui::toPixels(place);
    if (edge == Keep::Right)
        geometry.setLeft(geometry.right() + 1 - text.width());
    else
        geometry.setWidth(text.width());
    geometry.setHeight(text.height());
    label->setGeometry(geometry);
}

// Whether a key press types a character; function, arrow and modifier keys, and Alt
// combinations meant for a menu, do not.
bool typesCharacter(const QKeyEvent &event)
{
    if (event.text().isEmpty() || event.key() == Qt::Key_Delete)
        return false;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    return !(modifiers & (Qt::AltModifier | Qt::MetaModifier)) || (modifiers & Qt::ControlModifier);
}

// After the key that ends the splash, its auto-repeats and its release belong to that
// key too: they are kept from the window that comes up. Any new key press ends this.
class KeySwallower : public QObject {
public:
    explicit KeySwallower(int key) : QObject(qApp), m_key(key) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == m_key && key->isAutoRepeat())
                return true;
            if (event->type() == QEvent::KeyPress)
                finish();
            return false;
        }
        case QEvent::KeyRelease: {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() != m_key)
                return false;
            if (!key->isAutoRepeat())
                finish();
            return true;
        }
        default:
            return false;
        }
    }

private:
    void finish()
    {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    int m_key;
};

} // namespace

namespace ui {

frmSplash::frmSplash(Lifetime &lifetime, std::function<void()> handOver)
    : QWidget(nullptr), m_lifetime(lifetime), m_handOver(std::move(handOver))
{
    setObjectName(QStringLiteral("frmSplash"));
    // No title bar and no taskbar button; not resizable.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    // The caption stays empty; a screen reader still names the window.
    setAccessibleName(QString::fromLatin1(version::kProductName));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(ui::toPixels(kClient).size());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kOrange);
    setPalette(palette);
    setAutoFillBackground(true);
    // No control can take the focus, so every key comes to the window itself.
    setFocusPolicy(Qt::StrongFocus);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(ui::toPixels(kFrame1));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    palette = Frame1->palette();
    palette.setColor(QPalette::Window, kDarkRed);
    Frame1->setPalette(palette);
    Frame1->setAutoFillBackground(true);

    Timer1 = new QTimer(Frame1);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSplashMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);

    imgLogo = new QLabel(Frame1);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAccessibleName(QString::fromLatin1(version::kProductName));
    imgLogo->setGeometry(ui::toPixels(kImgLogo));
    // Stretched pixel by pixel, as an icon picture is.
    imgLogo->setPixmap(ui::logoImage().scaled(imgLogo->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));

    const auto left = Qt::AlignLeft;
    const auto right = Qt::AlignRight;
    lblLicenseTo = makeLabel(Frame1, "lblLicenseTo", QStringLiteral("Licencia para uso personal"), kLblLicenseTo,
                             right, "Arial", 8.25, false);
    lblCompanyProduct = makeLabel(Frame1, "lblCompanyProduct", QStringLiteral("Brimacor™"), kLblCompanyProduct,
                                  left, "Arial", 18, true);
    sizeToText(lblCompanyProduct, kLblCompanyProduct, Keep::Left);
    lblProductName = makeLabel(Frame1, "lblProductName", QString::fromLatin1(version::kProductName), kLblProductName,
                               left, "Verdana", 27.75, true);
    sizeToText(lblProductName, kLblProductName, Keep::Left);
    lblPlatform = makeLabel(Frame1, "lblPlatform", QStringLiteral("Para Windows 95/98/NT/2000/XP"), kLblPlatform,
                            right, "Arial", 12, true);
    sizeToText(lblPlatform, kLblPlatform, Keep::Right);
    lblVersion = makeLabel(Frame1, "lblVersion", QStringLiteral("Version "), kLblVersion, right, "Arial", 12, true);
    lblCopyright = makeLabel(Frame1, "lblCopyright", QStringLiteral("Copyright © 2004 Brimacor"), kLblCopyright,
                             left, "Arial", 8.25, false);
    lblCompany = makeLabel(Frame1, "lblCompany", QStringLiteral("Brimacor Company"), kLblCompany, left, "Arial",
                           8.25, false);
    lblWarning = makeLabel(Frame1, "lblWarning",
                           QStringLiteral("Advertencia: este programa está protegido por las leyes de "
                                          "propiedad intelectual."),
                           kLblWarning, left, "Arial", 8.25, false);

    Form_Load();

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect placed(QPoint(), size());
        placed.moveCenter(screen->geometry().center());
        move(placed.topLeft());
    }
}

void frmSplash::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(version::kMajor).arg(version::kMinor).arg(version::kRevision));
    lblVersion->setAccessibleName(lblVersion->text());
    // The label grows to the left, so that it ends where lblPlatform ends.
    sizeToText(lblVersion, kLblVersion, Keep::Right);
    Timer1->start();
}

void frmSplash::Timer1_Timer()
{
    handOver();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    if (!typesCharacter(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!m_handedOver)
        new KeySwallower(event->key());
    Form_KeyPress();
}

void frmSplash::Form_KeyPress()
{
    handOver();
}

void frmSplash::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    // Between closing this window and showing the next no window is open; the program
    // goes on all the same.
    Lifetime::Hold hold(m_lifetime);
    Timer1->stop();
    // The splash is deleted as soon as events run again, and the main window's load
    // may run them (a message box about the data file does): from the close on,
    // nothing of this object may be used, the hand-over included.
    const std::function<void()> showMainWindow = std::move(m_handOver);
    close();
    if (showMainWindow)
        showMainWindow();
}

} // namespace ui
