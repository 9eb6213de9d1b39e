#include "ui/ListBox.h"

#include "forms/PersonasView.h"
#include "ui/Text.h"

#include <QAbstractListModel>
#include <QItemSelectionModel>

namespace ui {

class ListBox::Model : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(entries.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return {};
        return qtext(entries[static_cast<std::size_t>(index.row())]);
    }

    void clear()
    {
        beginResetModel();
        entries.clear();
        entries.shrink_to_fit();
        endResetModel();
    }

    void append(std::vector<std::string> more)
    {
        if (more.empty())
            return;
        if (entries.empty()) {
            // The list load's common case: take the vector as it is.
            beginResetModel();
            entries = std::move(more);
            endResetModel();
            return;
        }
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(more.size()) - 1);
        entries.insert(entries.end(), std::make_move_iterator(more.begin()),
                       std::make_move_iterator(more.end()));
        endInsertRows();
    }

    std::vector<std::string> entries;
};

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new Model(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListBox::userSelectionChanged);
}

void ListBox::clear()
{
    // A model reset drops the selection without announcing it: emptying the list is
    // not a selection, and the fields keep what they show.
    m_model->clear();
}

void ListBox::addItems(std::vector<std::string> entries)
{
    m_model->append(std::move(entries));
}

int ListBox::count() const
{
    return m_model->rowCount();
}

int ListBox::find(std::string_view prefix) const
{
    return forms::firstWithPrefix(m_model->entries, prefix);
}

QString ListBox::text(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return qtext(m_model->entries[static_cast<std::size_t>(index)]);
}

std::string ListBox::entry(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return m_model->entries[static_cast<std::size_t>(index)];
}

int ListBox::listIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBox::setListIndex(int index)
{
    m_settingFromCode = true;
    if (index >= 0 && index < count()) {
        const QModelIndex item = m_model->index(index);
        selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
        scrollTo(item);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_settingFromCode = false;
    emit selectionSet();
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex &index,
                                                               const QEvent *event) const
{
    // A click below the last entry, or Ctrl with a click or Space on the chosen one,
    // would leave no entry chosen and empty the fields.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    if (command & QItemSelectionModel::Deselect)
        return QItemSelectionModel::NoUpdate;
    return command;
}

void ListBox::userSelectionChanged()
{
    if (!m_settingFromCode)
        emit selectionSet();
}

} // namespace ui
