#pragma once

#include "forms/frmPersonas.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;
class QMenuBar;

namespace forms {
class Program;
}

namespace ui {

class Dialogs;
class ListBox;
class Messages;

// The contacts window on the screen: a Qt view over forms::frmPersonas, which does
// what the window does.
class PersonasWidget : public QWidget, private forms::PersonasView {
    Q_OBJECT
public:
    // `folder` holds "personas.dat"; failures are told through `messages`, the file
    // dialogs, questions and waits shown through `dialogs`, and the window's handlers
    // run under `program`, which its menu also asks for "Acerca..." and "Salir".
    // Loading the window (the caption and the list load) happens here, before it is
    // first shown.
    PersonasWidget(contacts::FileSystem &fs, const std::filesystem::path &folder, Messages &messages,
                   Dialogs &dialogs, forms::Program &program, QWidget *parent = nullptr);

    // A file handed to the program: its import, as a handler of this window.
    void importFile(const std::filesystem::path &file);

    QLineEdit *Text1(int index) const { return m_text1[static_cast<std::size_t>(index)]; }
    ListBox *List1() const { return m_list1; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createMenus();
    // Runs one of the behaviour's handlers, as the program runs every handler.
    void run(void (forms::frmPersonas::*handler)());

    // forms::PersonasView
    void setCaption(const std::string &caption) override;
    std::string text1(int index) const override;
    void setText1(int index, const std::string &text) override;
    std::string searchText() const override;
    void setListEntries(std::vector<std::string> entries) override;
    int findListEntry(std::string_view prefix) const override;
    std::string listEntry(int index) const override;
    int listIndex() const override;
    void setListIndex(int index) override;
    void showMessage(const std::string &text) override;
    std::optional<forms::ChosenFile> chooseFileToOpen(const forms::FileDialog &dialog) override;
    std::optional<forms::ChosenFile> chooseFileToSave(const forms::FileDialog &dialog) override;
    bool confirm(const std::string &text, const std::string &accept, const std::string &cancel) override;
    void waitFor(forms::Job &job) override;

    // A drag of files onto the window, or onto any of its controls.
    bool takeDrag(QEvent *event);

    Messages &m_messages;
    Dialogs &m_dialogs;
    forms::Program &m_program;
    QMenuBar *m_menuBar = nullptr;
    QWidget *m_client = nullptr;
    std::array<QLineEdit *, 5> m_text1{};
    ListBox *m_list1 = nullptr;
    QLineEdit *m_txtBusqueda = nullptr;
    bool m_centred = false;
    QPoint m_placedAt;
    forms::frmPersonas m_form;
};

} // namespace ui
