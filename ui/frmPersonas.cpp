#include "ui/frmPersonas.h"

#include "forms/FileMessages.h"
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
#include <QWindow>

namespace {

using ui::TwipRect;

constexpr TwipRect kClientArea{0, 0, 6270, 5535};

struct FieldPlace {
    const char *labelName;
    const char *caption;
    TwipRect label;
    TwipRect field;
};

// The five contact fields, in record field order; each caption stands above its field.
constexpr FieldPlace kFields[5] = {
    {"Label1", "Apellido:", {360, 480, 1455, 255}, {360, 720, 1605, 420}},
    {"Label3", "Nombre:", {360, 1320, 1575, 255}, {360, 1560, 1575, 495}},
    {"Label2", "Dirección:", {360, 2160, 1575, 255}, {360, 2400, 1575, 495}},
    {"Label4", "Teléfono", {360, 3000, 1455, 255}, {360, 3360, 1575, 495}},
    {"Label5", "E-mail", {360, 3960, 1455, 255}, {360, 4320, 1575, 495}},
};

struct ButtonPlace {
    const char *name;
    const char *caption;
    TwipRect place;
};

constexpr ButtonPlace kButtons[5] = {
    {"cmdAltas", "Agregar contacto", {2280, 840, 1575, 495}},
    {"cmdModificar", "Modificar contacto", {2280, 1440, 1575, 495}},
    {"cmdBajas", "Eliminar contacto", {2280, 2040, 1575, 495}},
    {"cmdVerlista", "Cargar lista de contactos", {2280, 2640, 1575, 495}},
    {"cmdLimpiar", "Limpiar", {2280, 3240, 1575, 495}},
};

constexpr TwipRect kSearchBox{4320, 840, 1575, 285};
constexpr TwipRect kList{4320, 1200, 1575, 2400};
constexpr TwipRect kHelpLine{0, 5040, 6255, 375};
constexpr double kHelpLinePoints = 9.75;
constexpr char kHelpLinePrefix[] = "Para obtener ayuda, visite ";
constexpr char kHelpPage[] = "/vorteda/ayuda";

} // namespace

namespace ui {

frmPersonas::frmPersonas(contacts::FileSystem &fs, const std::filesystem::path &folder, Messages &messages,
                         Program &program, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_file(fs, folder), m_messages(messages), m_program(program)
{
    setObjectName(QStringLiteral("frmPersonas"));
    createMenus();
    createControls();
    const QRect client = ui::toPixels(kClientArea);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    m_client->setGeometry(0, menuHeight, client.width(), client.height());
    setFixedSize(client.width(), menuHeight + client.height());
    setWindowIcon(ui::logoIcon());
    Form_Load();
}

void frmPersonas::createMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setAccessibleName(QStringLiteral("Barra de menús"));

    QMenu *archivo = m_menuBar->addMenu(QStringLiteral("&Archivo"));
    archivo->setObjectName(QStringLiteral("gfh"));
    m_mnuSalir = archivo->addAction(QStringLiteral("Salir"));
    m_mnuSalir->setObjectName(QStringLiteral("mnuSalir"));
    m_mnuSalir->setShortcut(QKeySequence(Qt::Key_F4));
    connect(m_mnuSalir, &QAction::triggered, this, &frmPersonas::mnuSalir_Click);

    QMenu *ayuda = m_menuBar->addMenu(QStringLiteral("Ayuda"));
    ayuda->setObjectName(QStringLiteral("sedf"));
    m_mnuAbout = ayuda->addAction(QStringLiteral("Acerca..."));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    m_mnuAbout->setShortcut(QKeySequence(Qt::Key_F1));
    connect(m_mnuAbout, &QAction::triggered, this, &frmPersonas::mnuAbout_Click);

    // The shortcut keys act whenever this window is active, menu open or not.
    addAction(m_mnuSalir);
    addAction(m_mnuAbout);
}

void frmPersonas::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));

    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const FieldPlace &place = kFields[i];
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
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        buttons[i] = new PushButton(QString::fromUtf8(kButtons[i].caption), m_client);
        buttons[i]->setObjectName(QString::fromLatin1(kButtons[i].name));
        buttons[i]->setGeometry(ui::toPixels(kButtons[i].place));
    }
    PushButton *cmdAltas = buttons[0];
    PushButton *cmdModificar = buttons[1];
    PushButton *cmdBajas = buttons[2];
    PushButton *cmdVerlista = buttons[3];
    PushButton *cmdLimpiar = buttons[4];
    connect(cmdAltas, &QPushButton::clicked, this, &frmPersonas::cmdAltas_Click);
    connect(cmdModificar, &QPushButton::clicked, this, &frmPersonas::cmdModificar_Click);
    connect(cmdBajas, &QPushButton::clicked, this, &frmPersonas::cmdBajas_Click);
    connect(cmdVerlista, &QPushButton::clicked, this, &frmPersonas::cmdVerlista_Click);
    connect(cmdLimpiar, &QPushButton::clicked, this, &frmPersonas::cmdLimpiar_Click);

    m_txtBusqueda = new QLineEdit(m_client);
    m_txtBusqueda->setObjectName(QStringLiteral("txtBusqueda"));
    m_txtBusqueda->setGeometry(ui::toPixels(kSearchBox));
    m_txtBusqueda->setAccessibleName(QStringLiteral("Buscar apellido"));
    connect(m_txtBusqueda, &QLineEdit::textChanged, this, &frmPersonas::txtBusqueda_Change);

    m_list1 = new ListBox(m_client);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setGeometry(ui::toPixels(kList));
    m_list1->setAccessibleName(QStringLiteral("Lista de contactos"));
    connect(m_list1, &ListBox::selectionSet, this, &frmPersonas::List1_Click);

    auto *helpLine = new QLabel(QLatin1String(kHelpLinePrefix) + QLatin1String(version::kWebAddress)
                                    + QLatin1String(kHelpPage),
                                m_client);
    helpLine->setObjectName(QStringLiteral("Label6"));
    helpLine->setGeometry(ui::toPixels(kHelpLine));
    helpLine->setAlignment(Qt::AlignCenter);
    QFont helpFont(QStringLiteral("Tahoma"));
    helpFont.setPixelSize(ui::pointsToPixels(kHelpLinePoints));
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

void frmPersonas::Form_Load()
{
    setWindowTitle(QStringLiteral("%1 %2.%3").arg(QLatin1String(version::kProductName)).arg(version::kMajor).arg(version::kMinor));
    cmdVerlista_Click();
}

std::vector<std::string> frmPersonas::OrdenarArchivo()
{
    return m_file.sortAndList();
}

void frmPersonas::cmdVerlista_Click()
{
    loadList(true);
}

void frmPersonas::loadList(bool reportErrors)
{
    std::vector<std::string> entries;
    const QString failure = QStringLiteral("No se pudo cargar la lista de contactos.");
    const bool sorted = reportErrors ? runCommand(failure, [&] { entries = OrdenarArchivo(); })
                                     : tryQuietly([&] { entries = OrdenarArchivo(); });
    if (!sorted) {
        // The file is as it was; list it in its present order so that the list still
        // matches the records.
        if (!tryQuietly([&] { entries = m_file.list(); }))
            entries.clear();
    }
    m_list1->clear();
    m_shownRecord.reset();
    m_list1->addItems(std::move(entries));
}

void frmPersonas::List1_Click()
{
    const int index = m_list1->listIndex();
    m_shownRecord.reset();
    if (index < 0) {
        clearFields();
        return;
    }
    std::optional<contacts::Record> record;
    const bool read = runCommand(QStringLiteral("No se pudo leer el contacto seleccionado."),
                                 [&] { record = m_file.read(index); });
    if (!read)
        return;
    if (!record) {
        // The file is shorter than the list: another copy of the program changed it.
        clearFields();
        return;
    }
    m_shownRecord = record;
    const contacts::Persona persona = contacts::decode(*record);
    for (std::size_t i = 0; i < m_text1.size(); ++i) {
        const std::string_view text = contacts::trimSpaces(contacts::field(persona, i));
        m_text1[i]->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
}

void frmPersonas::cmdAltas_Click()
{
    const contacts::Persona persona = fieldsAsPersona();
    if (!runCommand(QStringLiteral("No se pudo agregar el contacto."), [&] { m_file.append(persona); })) {
        loadList(false); // the fields keep what the user typed
        return;
    }
    clearFields();
    cmdVerlista_Click();
}

void frmPersonas::cmdBajas_Click()
{
    const int index = m_list1->listIndex();
    if (index < 0)
        return;
    bool removed = true;
    if (!runCommand(QStringLiteral("No se pudo eliminar el contacto."), [&] {
            removed = m_shownRecord && m_file.remove(index, *m_shownRecord);
        })) {
        loadList(false);
        return;
    }
    if (!removed)
        reportChangedRecord();
    cmdVerlista_Click();
}

void frmPersonas::cmdModificar_Click()
{
    const int index = m_list1->listIndex();
    if (index < 0) {
        cmdAltas_Click();
        return;
    }
    const contacts::Persona persona = fieldsAsPersona();
    bool modified = true;
    if (!runCommand(QStringLiteral("No se pudo modificar el contacto."), [&] {
            modified = m_shownRecord && m_file.modify(index, *m_shownRecord, persona);
        })) {
        loadList(false);
        return;
    }
    if (!modified) {
        reportChangedRecord();
    } else {
        clearFields();
    }
    cmdVerlista_Click();
}

void frmPersonas::cmdLimpiar_Click()
{
    clearFields();
}

void frmPersonas::mnuSalir_Click()
{
    m_program.quit();
}

void frmPersonas::mnuAbout_Click()
{
    m_program.showAbout();
}

void frmPersonas::txtBusqueda_Change()
{
    // The first entry, in list order, that begins with the search text; comparing
    // UTF-8 bytes is comparing code points, and a prefix stays a prefix.
    const std::string prefix = m_txtBusqueda->text().toStdString();
    const std::vector<std::string> &entries = m_list1->items();
    int found = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].starts_with(prefix)) {
            found = static_cast<int>(i);
            break;
        }
    }
    m_list1->setListIndex(found);
}

contacts::Persona frmPersonas::fieldsAsPersona() const
{
    contacts::Persona persona;
    for (std::size_t i = 0; i < m_text1.size(); ++i)
        contacts::field(persona, i) = m_text1[i]->text().toStdString();
    return persona;
}

void frmPersonas::clearFields()
{
    for (QLineEdit *field : m_text1)
        field->clear();
}

void frmPersonas::reportChangedRecord()
{
    m_messages.show(this, "El contacto seleccionado ya no es el que se muestra: el archivo de contactos "
                          "ha cambiado, quizá desde otra copia del programa.\n\n"
                          "No se ha modificado nada. La lista se vuelve a cargar.");
}

bool frmPersonas::tryQuietly(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const contacts::FileError &) {
        return false;
    }
}

bool frmPersonas::runCommand(const QString &failure, const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const contacts::FileError &error) {
        reportFileError(failure, error);
    }
    return false;
}

void frmPersonas::reportFileError(const QString &failure, const contacts::FileError &error)
{
    m_messages.show(isVisible() ? this : nullptr, forms::fileErrorMessage(failure.toStdString(), error));
}

} // namespace ui
