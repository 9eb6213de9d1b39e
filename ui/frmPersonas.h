#pragma once

#include <QWidget>

class frmPersonas : public QWidget {
    Q_OBJECT
public:
    explicit frmPersonas(QWidget *parent = nullptr);
};
