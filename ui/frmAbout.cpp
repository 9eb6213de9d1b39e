#include "ui/frmAbout.h"

#include "ui/Icons.h"
#include "ui/Line.h"
#include "ui/Services.h"
#include "ui/Twips.h"
#include "version/Version.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

namespace {

// The window's design, in twips.
namespace layout = forms::about;

QPoint twips(const forms::TwipPoint &point)
{
    return QPoint(point.x, point.y);
}

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
    : QWidget(nullptr), m_messages(messages), m_form(*this, registry, launcher)
{
    setObjectName(QStringLiteral("frmAbout"));
    // A tool window: narrow title bar with the close button only, no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(layout::kCaption));
    setWindowIcon(ui::magnetIcon());
    setGeometry(ui::toPixels(layout::kClient));
    setFixedSize(size());

    cmdOK = makeButton(this, "cmdOK", QString::fromUtf8(layout::kOK), layout::kCmdOK);
    cmdOK->setDefault(true);
    cmdSysInfo = makeButton(this, "cmdSysInfo", QString::fromUtf8(layout::kSysInfo), layout::kCmdSysInfo);
    Line1_1 = new ui::Line(this, twips(layout::kLine1_1From), twips(layout::kLine1_1To), QColor(128, 128, 128), 1);
    Line1_1->setObjectName(QStringLiteral("Line1_1"));
    lblDescription = makeLabel(this, "lblDescription",
                               QString::fromUtf8(layout::kDescription) + QString::fromLatin1(version::kWebAddress),
                               layout::kLblDescription, true);
    lblTitle = makeLabel(this, "lblTitle",
                         QStringLiteral("%1 %2").arg(QString::fromLatin1(version::kCompanyName),
                                                     QString::fromLatin1(version::kProductName)),
                         layout::kLblTitle, true);
    Line1_0 = new ui::Line(this, twips(layout::kLine1_0From), twips(layout::kLine1_0To), QColor(255, 255, 255), 2);
    Line1_0->setObjectName(QStringLiteral("Line1_0"));
    lblVersion = makeLabel(this, "lblVersion", QString(), layout::kLblVersion, false);
    lblDisclaimer = makeLabel(this, "lblDisclaimer",
                              QString::fromUtf8(layout::kDisclaimer),
                              layout::kLblDisclaimer, true);

    setTabOrder(cmdOK, cmdSysInfo);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_form.cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { m_form.cmdSysInfo_Click(); });
    cmdOK->setFocus();

    m_form.Form_Load();
}

void frmAbout::setVersionText(const std::string &text)
{
    lblVersion->setText(QString::fromStdString(text));
    lblVersion->setAccessibleName(lblVersion->text());
}

void frmAbout::unload()
{
    QWidget::close();
}

void frmAbout::showMessage(const std::string &text)
{
    m_messages.show(this, text);
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
