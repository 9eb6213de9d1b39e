#pragma once

#include <QItemSelectionModel>
#include <QListView>

#include <string>
#include <string_view>
#include <vector>

class QItemSelection;

namespace ui {

// A single-selection list box that keeps its entries in the order they are added,
// with a selection index of -1 for none. It raises selectionSet() both when the
// user selects an entry and whenever code sets the index, as a classic list box
// raises its Click event; emptying the list raises nothing. Once an entry is chosen
// only the program takes the selection away (setListIndex(-1)): the user can choose
// another entry but not none.
//
// Entries are held as UTF-8 and converted only when drawn, so a million of them
// load and stay responsive.
class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    void clear();
    // Appends `entries` after the present ones.
    void addItems(std::vector<std::string> entries);
    int count() const;
    QString text(int index) const;
    // The entry as it was added (UTF-8); empty outside the list.
    std::string entry(int index) const;
    // The first entry, in list order, that begins with `prefix` (UTF-8, compared
    // byte by byte), or -1.
    int find(std::string_view prefix) const;

    int listIndex() const;
    // Selects entry `index` (-1 removes the selection) and raises selectionSet().
    void setListIndex(int index);

signals:
    void selectionSet();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;

private:
    void userSelectionChanged();

    class Model;
    Model *m_model;
    bool m_settingFromCode = false;
};

} // namespace ui
