#include "frmPersonas.h"

frmPersonas::frmPersonas(QWidget *parent) : QWidget(parent) {}
