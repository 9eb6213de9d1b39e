#include "ui/frmPersonas.h"

#include "forms/Layout.h"
#include "ui/Icons.h"
#include "ui/ListBox.h"
#include "ui/PushButton.h"
#include "ui/Services.h"
#include "ui/Twips.h"
#include "version/Version.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>

namespace {

namespace layout = forms::personas;

} // namespace

namespace ui {

frmPersonas::frmPersonas(contacts::FileSystem &fs, const std::filesystem::path &folder, Messages &messages,
                         Program &program, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_messages(messages), m_program(program),
      m_form(*this, fs, folder, {[this] { m_program.showAbout(); }, [this] { m_program.quit(); }})
{
    setObjectName(QStringLiteral("frmPersonas"));
    createMenus();
    createControls();
    const QRect client = ui::toPixels(layout::kClientArea);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    m_client->setGeometry(0, menuHeight, client.width(), client.height());
    setFixedSize(client.width(), menuHeight + client.height());
    setWindowIcon(ui::logoIcon());
    m_form.Form_Load();
}

void frmPersonas::createMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setAccessibleName(QStringLiteral("Barra de menús"));

    QMenu *archivo = m_menuBar->addMenu(QString::fromLatin1(layout::kArchivoMenu));
    archivo->setObjectName(QStringLiteral("gfh"));
    m_mnuSalir = archivo->addAction(QString::fromLatin1(layout::kSalirItem));
    m_mnuSalir->setObjectName(QStringLiteral("mnuSalir"));
    m_mnuSalir->setShortcut(QKeySequence(Qt::Key_F4));
    connect(m_mnuSalir, &QAction::triggered, this, [this] { m_form.mnuSalir_Click(); });

    QMenu *ayuda = m_menuBar->addMenu(QString::fromLatin1(layout::kAyudaMenu));
    ayuda->setObjectName(QStringLiteral("sedf"));
    m_mnuAbout = ayuda->addAction(QString::fromLatin1(layout::kAboutItem));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    m_mnuAbout->setShortcut(QKeySequence(Qt::Key_F1));
    connect(m_mnuAbout, &QAction::triggered, this, [this] { m_form.mnuAbout_Click(); });

    // The shortcut keys act whenever this window is active, menu open or not.
    addAction(m_mnuSalir);
    addAction(m_mnuAbout);
}

void frmPersonas::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));

    for (std::size_t i = 0; i < std::size(layout::kFields); ++i) {
        const layout::FieldPlace &place = layout::kFields[i];
        auto *label = new QLabel(QString::fromUtf8(place.caption), m_client);
        label->setObjectName(QString::fromLatin1(place.labelName));
        label->setGeometry(ui::toPixels(place.label));

        auto *field = new QLineEdit(m_client);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        field->setGeometry(ui::toPixels(place.field));
        field->setMaxLength(static_cast<int>(contacts::kFieldWidths[i]));
        field->setAccessibleName(label->text().remove(QLatin1Char(':')));
        label->setBuddy(field);
        m_text1[i] = field;
    }

    std::array<PushButton *, 5> buttons{};
    for (std::size_t i = 0; i < std::size(layout::kButtons); ++i) {
        buttons[i] = new PushButton(QString::fromUtf8(layout::kButtons[i].caption), m_client);
        buttons[i]->setObjectName(QString::fromLatin1(layout::kButtons[i].name));
        buttons[i]->setGeometry(ui::toPixels(layout::kButtons[i].place));
    }
    PushButton *cmdAltas = buttons[0];
    PushButton *cmdModificar = buttons[1];
    PushButton *cmdBajas = buttons[2];
    PushButton *cmdVerlista = buttons[3];
    PushButton *cmdLimpiar = buttons[4];
    connect(cmdAltas, &QPushButton::clicked, this, [this] { m_form.cmdAltas_Click(); });
    connect(cmdModificar, &QPushButton::clicked, this, [this] { m_form.cmdModificar_Click(); });
    connect(cmdBajas, &QPushButton::clicked, this, [this] { m_form.cmdBajas_Click(); });
    connect(cmdVerlista, &QPushButton::clicked, this, [this] { m_form.cmdVerlista_Click(); });
    connect(cmdLimpiar, &QPushButton::clicked, this, [this] { m_form.cmdLimpiar_Click(); });

    m_txtBusqueda = new QLineEdit(m_client);
    m_txtBusqueda->setObjectName(QStringLiteral("txtBusqueda"));
    m_txtBusqueda->setGeometry(ui::toPixels(layout::kSearchBox));
    m_txtBusqueda->setAccessibleName(QStringLiteral("Buscar apellido"));
    connect(m_txtBusqueda, &QLineEdit::textChanged, this, [this] { m_form.txtBusqueda_Change(); });

    m_list1 = new ListBox(m_client);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setGeometry(ui::toPixels(layout::kList));
    m_list1->setAccessibleName(QStringLiteral("Lista de contactos"));
    // The user's choice, and code that sets the index from outside (tests do), raise
    // the selection handler; the behaviour's own settings do not (setListIndex below).
    connect(m_list1, &ListBox::selectionSet, this, [this] { m_form.List1_Click(); });

    auto *helpLine = new QLabel(QLatin1String(layout::kHelpLinePrefix) + QLatin1String(version::kWebAddress)
                                    + QLatin1String(layout::kHelpPage),
                                m_client);
    helpLine->setObjectName(QStringLiteral("Label6"));
    helpLine->setGeometry(ui::toPixels(layout::kHelpLine));
    helpLine->setAlignment(Qt::AlignCenter);
    QFont helpFont(QStringLiteral("Tahoma"));
    helpFont.setPixelSize(ui::pointsToPixels(layout::kHelpLinePoints));
    helpFont.setWeight(QFont::Normal);
    helpLine->setFont(helpFont);
    QPalette red = helpLine->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    helpLine->setPalette(red);

    // Tab order: the five fields, the buttons top to bottom, the list, the search box.
    const QList<QWidget *> order = {m_text1[0], m_text1[1], m_text1[2], m_text1[3], m_text1[4],
                                    cmdAltas,   cmdModificar, cmdBajas, cmdVerlista, cmdLimpiar,
                                    m_list1,    m_txtBusqueda};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    m_text1[0]->setFocus();
}

void frmPersonas::showEvent(QShowEvent *event)
{
    if (!m_centred) {
        m_centred = true;
        if (QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // An X11 window manager frames the window only once it is mapped, so the
        // frame was not counted above: centre it again when it is first exposed.
        if (windowHandle() != nullptr && windowHandle()->frameMargins().isNull()) {
            m_placedAt = geometry().topLeft();
            windowHandle()->installEventFilter(this);
        }
    }
    QWidget::showEvent(event);
}

bool frmPersonas::eventFilter(QObject *watched, QEvent *event)
{
    QWindow *window = windowHandle();
    if (watched == window && event->type() == QEvent::Expose && window->isExposed()) {
        window->removeEventFilter(this);
        const QMargins margins = window->frameMargins();
        // Unless the user has moved it meanwhile.
        if (!margins.isNull() && geometry().topLeft() == m_placedAt && screen() != nullptr) {
            QRect frame = geometry().marginsAdded(margins);
            frame.moveCenter(screen()->availableGeometry().center());
            window->setPosition(frame.topLeft() + QPoint(margins.left(), margins.top()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmPersonas::setCaption(const std::string &caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

std::string frmPersonas::text1(int index) const
{
    return Text1(index)->text().toStdString();
}

void frmPersonas::setText1(int index, const std::string &text)
{
    Text1(index)->setText(QString::fromStdString(text));
}

std::string frmPersonas::searchText() const
{
    return m_txtBusqueda->text().toStdString();
}

void frmPersonas::setListEntries(std::vector<std::string> entries)
{
    m_list1->clear();
    m_list1->addItems(std::move(entries));
}

const std::vector<std::string> &frmPersonas::listEntries() const
{
    return m_list1->items();
}

int frmPersonas::listIndex() const
{
    return m_list1->listIndex();
}

void frmPersonas::setListIndex(int index)
{
    const QSignalBlocker quiet(m_list1);
    m_list1->setListIndex(index);
}

void frmPersonas::showMessage(const std::string &text)
{
    m_messages.show(isVisible() ? this : nullptr, text);
}

} // namespace ui
