#include "ui/frmAbout.h"

#include "ui/Icons.h"
#include "ui/Line.h"
#include "ui/Services.h"
#include "platform/SysInfo.h"
#include "ui/Twips.h"
#include "version/Version.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

namespace {

// The window's design, in twips.
constexpr ui::TwipRect kClient{2340, 1890, 5730, 3555};  // on the screen
constexpr ui::TwipRect kCmdOK{4245, 2625, 1260, 345};
constexpr ui::TwipRect kCmdSysInfo{4260, 3075, 1245, 345};
constexpr QPoint kLine1_1From{90, 2445};
constexpr QPoint kLine1_1To{5654, 2445};
constexpr ui::TwipRect kLblDescription{1050, 1125, 3885, 1170};
constexpr ui::TwipRect kLblTitle{1080, 240, 3885, 480};
constexpr QPoint kLine1_0From{105, 2460};
constexpr QPoint kLine1_0To{5654, 2460};
constexpr ui::TwipRect kLblVersion{1050, 780, 3885, 225};
constexpr ui::TwipRect kLblDisclaimer{255, 2625, 3870, 825};

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, const ui::TwipRect &place)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    button->setGeometry(ui::toPixels(place));
    // Enter presses whichever button has the focus.
    button->setAutoDefault(true);
    return button;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const ui::TwipRect &place,
                  bool black)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    label->setGeometry(ui::toPixels(place));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

namespace ui {

frmAbout::frmAbout(platform::Registry &registry, platform::Launcher &launcher, Messages &messages)
    : QWidget(nullptr), m_registry(registry), m_launcher(launcher), m_messages(messages)
{
    setObjectName(QStringLiteral("frmAbout"));
    // A tool window: narrow title bar with the close button only, no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Acerca del autor"));
    setWindowIcon(ui::magnetIcon());
    setGeometry(ui::toPixels(kClient));
    setFixedSize(size());

    cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"), kCmdOK);
    cmdOK->setDefault(true);
    cmdSysInfo = makeButton(this, "cmdSysInfo", QStringLiteral("&System Info..."), kCmdSysInfo);
    Line1_1 = new ui::Line(this, kLine1_1From, kLine1_1To, QColor(128, 128, 128), 1);
    Line1_1->setObjectName(QStringLiteral("Line1_1"));
    lblDescription = makeLabel(this, "lblDescription",
                               QStringLiteral("Muchas gracias por usar este programa. Para más información, "
                                              "ayuda, trucos y más visite ")
                                   + QString::fromLatin1(version::kWebAddress),
                               kLblDescription, true);
    lblTitle = makeLabel(this, "lblTitle",
                         QStringLiteral("%1 %2").arg(QString::fromLatin1(version::kCompanyName),
                                                     QString::fromLatin1(version::kProductName)),
                         kLblTitle, true);
    Line1_0 = new ui::Line(this, kLine1_0From, kLine1_0To, QColor(255, 255, 255), 2);
    Line1_0->setObjectName(QStringLiteral("Line1_0"));
    lblVersion = makeLabel(this, "lblVersion", QString(), kLblVersion, false);
    lblDisclaimer = makeLabel(this, "lblDisclaimer",
                              QStringLiteral("Este programa está protegido por las leyes de derechos de autor "
                                             "y no puede copiarse sin permiso."),
                              kLblDisclaimer, true);

    setTabOrder(cmdOK, cmdSysInfo);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    cmdOK->setFocus();

    Form_Load();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("Versión %1.%2").arg(version::kMajor).arg(version::kMinor));
    lblVersion->setAccessibleName(lblVersion->text());
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    platform::StartSysInfo(m_registry, m_launcher, [this](const std::string &text) { m_messages.show(this, text); });
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    // Unloaded from here on: the next "Acerca..." loads a new window, even before this
    // one is deleted.
    m_unloaded = true;
    event->accept();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

AboutWindow::AboutWindow(platform::Registry &registry, platform::Launcher &launcher, Messages &messages)
    : m_registry(registry), m_launcher(launcher), m_messages(messages)
{
}

AboutWindow::~AboutWindow()
{
    // The window uses what this was given, which goes with it.
    delete m_window.data();
}

void AboutWindow::show()
{
    frmAbout *open = window();
    if (open == nullptr) {
        open = new frmAbout(m_registry, m_launcher, m_messages);
        m_window = open;
        open->show();
        // No owner: Qt may make a parentless tool window transient for the active
        // window, which would tie it to the main window's fate.
        if (QWindow *handle = open->windowHandle())
            handle->setTransientParent(nullptr);
    } else {
        open->raise();
    }
    open->activateWindow();
}

frmAbout *AboutWindow::window() const
{
    return m_window && !m_window->unloaded() ? m_window.data() : nullptr;
}

} // namespace ui
