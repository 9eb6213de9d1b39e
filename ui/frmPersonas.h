#pragma once

#include "forms/frmPersonas.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;

namespace ui {

class ListBox;
class Messages;
class Program;

// The contacts window on the screen: a Qt view over forms::frmPersonas, which does
// what the window does.
class frmPersonas : public QWidget, private forms::PersonasView {
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

    // forms::PersonasView
    void setCaption(const std::string &caption) override;
    std::string text1(int index) const override;
    void setText1(int index, const std::string &text) override;
    std::string searchText() const override;
    void setListEntries(std::vector<std::string> entries) override;
    const std::vector<std::string> &listEntries() const override;
    int listIndex() const override;
    void setListIndex(int index) override;
    void showMessage(const std::string &text) override;

    Messages &m_messages;
    Program &m_program;
    QMenuBar *m_menuBar = nullptr;
    QWidget *m_client = nullptr;
    std::array<QLineEdit *, 5> m_text1{};
    ListBox *m_list1 = nullptr;
    QLineEdit *m_txtBusqueda = nullptr;
    QAction *m_mnuSalir = nullptr;
    QAction *m_mnuAbout = nullptr;
    bool m_centred = false;
    QPoint m_placedAt;
    forms::frmPersonas m_form;
};

} // namespace ui
