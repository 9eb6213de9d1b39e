#include "ui/SplashWidget.h"

#include "forms/Program.h"
#include "ui/Icons.h"
#include "ui/Text.h"
#include "ui/Twips.h"
#include "version/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <qdrawutil.h>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

using ui::qtext;

// The window's design, in twips; the controls inside Frame1 are placed relative to it.
namespace layout = forms::splash;

// A dialog's fixed border: a raised edge two pixels wide around the client area.
constexpr int kDialogEdge = 2;

const QColor kOrange = ui::toColor(layout::kBackColour);
const QColor kDarkRed = ui::toColor(layout::kFrameColour);

using Keep = forms::splash::Keep;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const ui::TwipRect &place,
                  Qt::Alignment alignment, const forms::Font &design)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(qtext(name));
    label->setAccessibleName(text);
    label->setGeometry(ui::toPixels(place));
    label->setAlignment(alignment | Qt::AlignTop);
    QFont font(qtext(design.face));
    font.setPixelSize(ui::pointsToPixels(design.points));
    font.setBold(design.bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, kDarkRed);
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

void sizeToText(QLabel *label, const ui::TwipRect &place, Keep edge)
{
    const QRect designed = ui::toPixels(place);
    const QSize text = label->sizeHint();
    const forms::splash::PixelRect sized = forms::splash::sizeToText(
        {designed.left(), designed.top(), designed.width(), designed.height()}, text.width(), text.height(), edge);
    label->setGeometry(sized.left, sized.top, sized.width, sized.height);
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

} // namespace

namespace ui {

SplashWidget::SplashWidget(forms::Program &program)
    : QWidget(nullptr), m_program(program), m_form(*this, program)
{
    setObjectName(QStringLiteral("frmSplash"));
    // No title bar and no taskbar button; not resizable.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    // The caption stays empty; a screen reader still names the window.
    setAccessibleName(qtext(version::kProductName));
    setAttribute(Qt::WA_DeleteOnClose);
    // The client area and the dialog border drawn around it (paintEvent).
    setFixedSize(ui::toPixels(layout::kClient).size() + QSize(2 * kDialogEdge, 2 * kDialogEdge));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kOrange);
    setPalette(palette);
    setAutoFillBackground(true);
    // No control can take the focus, so every key comes to the window itself.
    setFocusPolicy(Qt::StrongFocus);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(ui::toPixels(layout::kFrame1).translated(kDialogEdge, kDialogEdge));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    palette = Frame1->palette();
    palette.setColor(QPalette::Window, kDarkRed);
    Frame1->setPalette(palette);
    Frame1->setAutoFillBackground(true);

    Timer1 = new QTimer(Frame1);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Never early: a coarse timer may fire up to 5% before its time.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { m_program.run([this] { m_form.Timer1_Timer(); }); });

    imgLogo = new QLabel(Frame1);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAccessibleName(qtext(version::kProductName));
    imgLogo->setGeometry(ui::toPixels(layout::kImgLogo));
    // Stretched pixel by pixel, as an icon picture is.
    imgLogo->setPixmap(ui::logoImage().scaled(imgLogo->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));

    const auto left = Qt::AlignLeft;
    const auto right = Qt::AlignRight;
    lblLicenseTo = makeLabel(Frame1, "lblLicenseTo", qtext(layout::kLicenseTo), layout::kLblLicenseTo,
                             right, layout::kSmallFont);
    lblCompanyProduct = makeLabel(Frame1, "lblCompanyProduct", qtext(layout::kCompanyProduct), layout::kLblCompanyProduct,
                                  left, layout::kCompanyProductFont);
    sizeToText(lblCompanyProduct, layout::kLblCompanyProduct, Keep::Left);
    lblProductName = makeLabel(Frame1, "lblProductName", qtext(version::kProductName), layout::kLblProductName,
                               left, layout::kProductNameFont);
    sizeToText(lblProductName, layout::kLblProductName, Keep::Left);
    lblPlatform = makeLabel(Frame1, "lblPlatform", qtext(layout::kPlatform), layout::kLblPlatform,
                            right, layout::kPlatformFont);
    sizeToText(lblPlatform, layout::kLblPlatform, Keep::Right);
    lblVersion = makeLabel(Frame1, "lblVersion", QString(), layout::kLblVersion, right, layout::kPlatformFont);
    lblCopyright = makeLabel(Frame1, "lblCopyright", qtext(layout::kCopyright), layout::kLblCopyright,
                             left, layout::kSmallFont);
    lblCompany = makeLabel(Frame1, "lblCompany", qtext(layout::kCompany), layout::kLblCompany, left,
                           layout::kSmallFont);
    lblWarning = makeLabel(Frame1, "lblWarning",
                           qtext(layout::kWarning), layout::kLblWarning, left, layout::kSmallFont);

    m_program.run([this] { m_form.Form_Load(); });

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect placed(QPoint(), size());
        placed.moveCenter(screen->geometry().center());
        move(placed.topLeft());
    }
}

void SplashWidget::setVersionText(const std::string &text)
{
    lblVersion->setText(qtext(text));
    lblVersion->setAccessibleName(lblVersion->text());
    // The label grows to the left, so that it ends where lblPlatform ends.
    sizeToText(lblVersion, layout::kLblVersion, Keep::Right);
}

void SplashWidget::startTimer(int milliseconds)
{
    Timer1->start(milliseconds);
}

void SplashWidget::stopTimer()
{
    Timer1->stop();
}

void SplashWidget::unload()
{
    QWidget::close();
}

void SplashWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), false);
}

void SplashWidget::keyPressEvent(QKeyEvent *event)
{
    if (!typesCharacter(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    const int key = event->key();
    m_program.run([this, key] { m_form.Form_KeyPress(key); });
}

void SplashWidget::showEvent(QShowEvent *event)
{
    m_program.windowOpened(forms::Window::Splash);
    QWidget::showEvent(event);
}

void SplashWidget::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        m_program.windowClosed(forms::Window::Splash);
}

} // namespace ui
