#include "ListBox.h"

ListBox::ListBox(QWidget *parent) : QListView(parent) {}
