#include "ui/AboutWidget.h"

#include "forms/Program.h"
#include "ui/Icons.h"
#include "ui/Line.h"
#include "ui/Services.h"
#include "ui/Text.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

namespace {

using ui::qtext;

// The window's design, in twips.
namespace layout = forms::about;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, const ui::TwipRect &place)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(qtext(name));
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
    label->setObjectName(qtext(name));
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

AboutWidget::AboutWidget(platform::Registry &registry, platform::Launcher &launcher, Messages &messages,
                         forms::Program &program)
    : QWidget(nullptr), m_messages(messages), m_program(program), m_form(*this, registry, launcher)
{
    setObjectName(QStringLiteral("frmAbout"));
    // A tool window: narrow title bar with the close button only, no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qtext(layout::kCaption));
    setWindowIcon(ui::magnetIcon());
    setGeometry(ui::toPixels(layout::kClient));
    setFixedSize(size());

    cmdOK = makeButton(this, "cmdOK", qtext(layout::kOK), layout::kCmdOK);
    cmdOK->setDefault(true);
    cmdSysInfo = makeButton(this, "cmdSysInfo", qtext(layout::kSysInfo), layout::kCmdSysInfo);
    Line1_1 = new ui::Line(this, layout::kLine1_1From, layout::kLine1_1To, ui::toColor(layout::kLine1_1Colour), layout::kLine1_1Width);
    Line1_1->setObjectName(QStringLiteral("Line1_1"));
    lblDescription = makeLabel(this, "lblDescription", qtext(layout::description()), layout::kLblDescription, true);
    lblTitle = makeLabel(this, "lblTitle", qtext(layout::title()), layout::kLblTitle, true);
    Line1_0 = new ui::Line(this, layout::kLine1_0From, layout::kLine1_0To, ui::toColor(layout::kLine1_0Colour), layout::kLine1_0Width);
    Line1_0->setObjectName(QStringLiteral("Line1_0"));
    lblVersion = makeLabel(this, "lblVersion", QString(), layout::kLblVersion, false);
    lblDisclaimer = makeLabel(this, "lblDisclaimer",
                              qtext(layout::kDisclaimer),
                              layout::kLblDisclaimer, true);

    setTabOrder(cmdOK, cmdSysInfo);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_program.run([this] { m_form.cmdOK_Click(); }); });
    connect(cmdSysInfo, &QPushButton::clicked, this,
            [this] { m_program.run([this] { m_form.cmdSysInfo_Click(); }); });
    cmdOK->setFocus();

    m_program.run([this] { m_form.Form_Load(); });
}

void AboutWidget::setVersionText(const std::string &text)
{
    lblVersion->setText(qtext(text));
    lblVersion->setAccessibleName(lblVersion->text());
}

void AboutWidget::unload()
{
    QWidget::close();
}

void AboutWidget::showMessage(const std::string &text)
{
    m_messages.show(this, text);
    // The focus comes back here, to the window the message belongs to: a window
    // manager that finds a tool window a poor choice (openbox) hands it to the main
    // window when the message closes, and the next Esc would go there.
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void AboutWidget::showEvent(QShowEvent *event)
{
    m_program.windowOpened(forms::Window::About);
    QWidget::showEvent(event);
}

void AboutWidget::closeEvent(QCloseEvent *event)
{
    // Unloaded from here on: the next "Acerca..." loads a new window, even before this
    // one is deleted.
    event->accept();
    m_program.windowClosed(forms::Window::About);
}

void AboutWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ui
