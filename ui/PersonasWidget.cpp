#include "ui/PersonasWidget.h"

#include "forms/Layout.h"
#include "forms/Program.h"
#include "ui/Icons.h"
#include "ui/ListBox.h"
#include "ui/PushButton.h"
#include "ui/Services.h"
#include "ui/Text.h"
#include "ui/Twips.h"
#include "wording/AccessibleNames.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>

#include <cstdlib>

namespace {

using ui::qtext;

namespace layout = forms::personas;

} // namespace

namespace ui {

PersonasWidget::PersonasWidget(contacts::FileSystem &fs, const std::filesystem::path &folder, Messages &messages,
                               Dialogs &dialogs, forms::Program &program, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_messages(messages), m_dialogs(dialogs), m_program(program),
      m_form(*this, fs, folder, program,
             {[&program] { program.showAbout(); }, [&program] { program.quit(); }, [] { std::_Exit(0); }})
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
    // Files dropped anywhere on the window are imported, not typed into a field.
    setAcceptDrops(true);
    for (QWidget *control : m_client->findChildren<QWidget *>())
        control->installEventFilter(this);
    run(&forms::frmPersonas::Form_Load);
}

void PersonasWidget::importFile(const std::filesystem::path &file)
{
    m_program.importArrived(file, [this](const std::filesystem::path &arrived) { m_form.importFile(arrived); });
}

void PersonasWidget::run(void (forms::frmPersonas::*handler)())
{
    m_program.run([this, handler] { (m_form.*handler)(); });
}

void PersonasWidget::createMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setAccessibleName(qtext(wording::kMenuBarName));

    // The menus keep the design's names: gfh is "Archivo", sedf is "Ayuda".
    QMenu *gfh = m_menuBar->addMenu(qtext(layout::kArchivoMenu));
    gfh->setObjectName(QStringLiteral("gfh"));
    QAction *mnuImportar = gfh->addAction(qtext(layout::kImportarItem));
    mnuImportar->setObjectName(QStringLiteral("mnuImportar"));
    connect(mnuImportar, &QAction::triggered, this, [this] { run(&forms::frmPersonas::mnuImportar_Click); });
    QAction *mnuExportar = gfh->addAction(qtext(layout::kExportarItem));
    mnuExportar->setObjectName(QStringLiteral("mnuExportar"));
    connect(mnuExportar, &QAction::triggered, this, [this] { run(&forms::frmPersonas::mnuExportar_Click); });
    gfh->addSeparator();
    QAction *mnuSalir = gfh->addAction(qtext(layout::kSalirItem));
    mnuSalir->setObjectName(QStringLiteral("mnuSalir"));
    mnuSalir->setShortcut(QKeySequence(Qt::Key_F4));
    connect(mnuSalir, &QAction::triggered, this, [this] { run(&forms::frmPersonas::mnuSalir_Click); });

    QMenu *sedf = m_menuBar->addMenu(qtext(layout::kAyudaMenu));
    sedf->setObjectName(QStringLiteral("sedf"));
    QAction *mnuAbout = sedf->addAction(qtext(layout::kAboutItem));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuAbout->setShortcut(QKeySequence(Qt::Key_F1));
    connect(mnuAbout, &QAction::triggered, this, [this] { run(&forms::frmPersonas::mnuAbout_Click); });

    // The shortcut keys act whenever this window is active, menu open or not.
    addAction(mnuSalir);
    addAction(mnuAbout);
}

void PersonasWidget::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));

    for (std::size_t i = 0; i < std::size(layout::kFields); ++i) {
        const layout::FieldPlace &place = layout::kFields[i];
        auto *label = new QLabel(qtext(place.caption), m_client);
        label->setObjectName(qtext(place.labelName));
        label->setGeometry(ui::toPixels(place.label));

        auto *field = new QLineEdit(m_client);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        field->setGeometry(ui::toPixels(place.field));
        field->setMaxLength(static_cast<int>(contacts::kFieldWidths[i]));
        field->setAccessibleName(qtext(place.accessibleName));
        label->setBuddy(field);
        m_text1[i] = field;
    }

    std::array<PushButton *, 5> buttons{};
    for (std::size_t i = 0; i < std::size(layout::kButtons); ++i) {
        buttons[i] = new PushButton(qtext(layout::kButtons[i].caption), m_client);
        buttons[i]->setObjectName(qtext(layout::kButtons[i].name));
        buttons[i]->setGeometry(ui::toPixels(layout::kButtons[i].place));
    }
    PushButton *cmdAltas = buttons[0];
    PushButton *cmdModificar = buttons[1];
    PushButton *cmdBajas = buttons[2];
    PushButton *cmdVerlista = buttons[3];
    PushButton *cmdLimpiar = buttons[4];
    connect(cmdAltas, &QPushButton::clicked, this, [this] { run(&forms::frmPersonas::cmdAltas_Click); });
    connect(cmdModificar, &QPushButton::clicked, this, [this] { run(&forms::frmPersonas::cmdModificar_Click); });
    connect(cmdBajas, &QPushButton::clicked, this, [this] { run(&forms::frmPersonas::cmdBajas_Click); });
    connect(cmdVerlista, &QPushButton::clicked, this, [this] { run(&forms::frmPersonas::cmdVerlista_Click); });
    connect(cmdLimpiar, &QPushButton::clicked, this, [this] { run(&forms::frmPersonas::cmdLimpiar_Click); });

    m_txtBusqueda = new QLineEdit(m_client);
    m_txtBusqueda->setObjectName(QStringLiteral("txtBusqueda"));
    m_txtBusqueda->setGeometry(ui::toPixels(layout::kSearchBox));
    m_txtBusqueda->setAccessibleName(qtext(layout::kSearchName));
    connect(m_txtBusqueda, &QLineEdit::textChanged, this, [this] { run(&forms::frmPersonas::txtBusqueda_Change); });

    m_list1 = new ListBox(m_client);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setGeometry(ui::toPixels(layout::kList));
    m_list1->setAccessibleName(qtext(layout::kListName));
    // The user's choice, and code that sets the index from outside (tests do), raise
    // the selection handler; the behaviour's own settings do not (setListIndex below).
    connect(m_list1, &ListBox::selectionSet, this, [this] { run(&forms::frmPersonas::List1_Click); });

    auto *helpLine = new QLabel(qtext(layout::helpLine()), m_client);
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

void PersonasWidget::showEvent(QShowEvent *event)
{
    m_program.windowOpened(forms::Window::Personas);
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

void PersonasWidget::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        m_program.windowClosed(forms::Window::Personas);
}

bool PersonasWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != windowHandle() && takeDrag(event))
        return true;
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

namespace {

// The local files a drag carries; none when it carries anything else as well.
std::vector<std::filesystem::path> draggedFiles(const QMimeData *data)
{
    std::vector<std::filesystem::path> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        files.push_back(ui::toPath(url.toLocalFile()));
    }
    return files;
}

} // namespace

bool PersonasWidget::takeDrag(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (draggedFiles(drag->mimeData()).empty())
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const std::vector<std::filesystem::path> files = draggedFiles(drop->mimeData());
        if (files.empty())
            return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // After the drop has been answered: the source waits for that answer.
        QTimer::singleShot(0, this, [this, files] { m_program.run([&] { m_form.Form_OLEDragDrop(files); }); });
        return true;
    }
    default:
        return false;
    }
}

void PersonasWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takeDrag(event))
        QWidget::dragEnterEvent(event);
}

void PersonasWidget::dropEvent(QDropEvent *event)
{
    if (!takeDrag(event))
        QWidget::dropEvent(event);
}

void PersonasWidget::setCaption(const std::string &caption)
{
    setWindowTitle(qtext(caption));
}

std::string PersonasWidget::text1(int index) const
{
    return utf8(Text1(index)->text());
}

void PersonasWidget::setText1(int index, const std::string &text)
{
    Text1(index)->setText(qtext(text));
}

std::string PersonasWidget::searchText() const
{
    return utf8(m_txtBusqueda->text());
}

void PersonasWidget::setListEntries(std::vector<std::string> entries)
{
    m_list1->clear();
    m_list1->addItems(std::move(entries));
}

int PersonasWidget::findListEntry(std::string_view prefix) const
{
    return m_list1->find(prefix);
}

std::string PersonasWidget::listEntry(int index) const
{
    return m_list1->entry(index);
}

int PersonasWidget::listIndex() const
{
    return m_list1->listIndex();
}

void PersonasWidget::setListIndex(int index)
{
    const QSignalBlocker quiet(m_list1);
    m_list1->setListIndex(index);
}

void PersonasWidget::showMessage(const std::string &text)
{
    m_messages.show(isVisible() ? this : nullptr, text);
}

std::optional<forms::ChosenFile> PersonasWidget::chooseFileToOpen(const forms::FileDialog &dialog)
{
    return m_dialogs.openFile(this, dialog);
}

std::optional<forms::ChosenFile> PersonasWidget::chooseFileToSave(const forms::FileDialog &dialog)
{
    return m_dialogs.saveFile(this, dialog);
}

bool PersonasWidget::confirm(const std::string &text, const std::string &accept, const std::string &cancel)
{
    return m_dialogs.confirm(isVisible() ? this : nullptr, text, accept, cancel);
}

void PersonasWidget::waitFor(forms::Job &job)
{
    m_dialogs.waitFor(this, job);
}

} // namespace ui
