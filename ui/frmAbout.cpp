#include "ui/frmAbout.h"

#include "ui/Icons.h"
#include "ui/Line.h"
#include "ui/MessageBox.h"
#include "platform/SysInfo.h"
#include "platform/System.h"
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

frmAbout *g_open = nullptr;
platform::Registry *g_registry = nullptr;
platform::Launcher *g_launcher = nullptr;

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

frmAbout::frmAbout() : QWidget(nullptr)
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

frmAbout::~frmAbout()
{
    if (g_open == this)
        g_open = nullptr;
}

void frmAbout::showAbout()
{
    if (g_open == nullptr) {
        g_open = new frmAbout;
        g_open->show();
        // No owner: Qt may make a parentless tool window transient for the active
        // window, which would tie it to the main window's fate.
        if (QWindow *window = g_open->windowHandle())
            window->setTransientParent(nullptr);
    } else {
        g_open->raise();
    }
    g_open->activateWindow();
}

frmAbout *frmAbout::instance()
{
    return g_open;
}

void frmAbout::setSysInfoBackend(platform::Registry *registry, platform::Launcher *launcher)
{
    g_registry = registry;
    g_launcher = launcher;
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
    platform::StartSysInfo(g_registry != nullptr ? *g_registry : platform::systemRegistry(),
                           g_launcher != nullptr ? *g_launcher : platform::systemLauncher(),
                           [this](const std::string &text) { ui::MessageBox::show(this, QString::fromStdString(text)); });
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    // Unloaded from here on: the next showAbout() loads a new window, even before this
    // one is deleted.
    if (g_open == this)
        g_open = nullptr;
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
