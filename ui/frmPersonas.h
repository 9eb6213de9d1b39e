#pragma once

#include "contacts/ContactFile.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;

namespace contacts {
class FileError;
}

namespace ui {

class ListBox;
class Messages;
class Program;

// The contacts window: the five fields of one contact, the editing commands, the
// search box and the list of surnames. The list shows the data file in file order,
// so list entry i is record i + 1; every command that changes the file ends by
// reloading the list.
class frmPersonas : public QWidget {
    Q_OBJECT
public:
    // `folder` holds "personas.dat"; failures are told through `messages`, and the
    // menu's "Acerca..." and "Salir" go to `program`. Loading the window (the caption
    // and the list load) happens here, before it is first shown.
    frmPersonas(contacts::FileSystem &fs, const std::filesystem::path &folder, Messages &messages, Program &program,
                QWidget *parent = nullptr);

    QLineEdit *Text1(int index) const { return m_text1[static_cast<std::size_t>(index)]; }
    ListBox *List1() const { return m_list1; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();

    void Form_Load();
    void cmdVerlista_Click();
    void List1_Click();
    void cmdAltas_Click();
    void cmdBajas_Click();
    void cmdModificar_Click();
    void cmdLimpiar_Click();
    void mnuSalir_Click();
    void mnuAbout_Click();
    void txtBusqueda_Change();

    std::vector<std::string> OrdenarArchivo();
    // The list load; after a failed command it reloads without a second message.
    void loadList(bool reportErrors);
    contacts::Persona fieldsAsPersona() const;
    void clearFields();
    // The command checks that the record is still what the window showed; a
    // mismatch means the file changed under us, so nothing is removed.
    bool selectionStillShown(int index) const;
    void reportChangedRecord();
    // Runs one command; a file error ends the command with a message, the list is
    // reloaded from the file when possible and the program goes on.
    bool runCommand(const QString &failure, const std::function<void()> &command);
    bool tryQuietly(const std::function<void()> &command);
    void reportFileError(const QString &failure, const contacts::FileError &error);

    contacts::ContactFile m_file;
    Messages &m_messages;
    Program &m_program;
    QMenuBar *m_menuBar = nullptr;
    QWidget *m_client = nullptr;
    std::array<QLineEdit *, 5> m_text1{};
    ListBox *m_list1 = nullptr;
    QLineEdit *m_txtBusqueda = nullptr;
    QAction *m_mnuSalir = nullptr;
    QAction *m_mnuAbout = nullptr;
    // The record as last shown for the selected entry; every change of the selection
    // goes through List1_Click, which sets it.
    std::optional<contacts::Record> m_shownRecord;
    bool m_centred = false;
    QPoint m_placedAt;
};

} // namespace ui
