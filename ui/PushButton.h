#pragma once

#include <QPushButton>

namespace ui {

// A push button as on a classic dialog: a caption wider than the button wraps onto
// more lines at word boundaries instead of being clipped, and Enter presses the
// button that has the focus.
class PushButton : public QPushButton {
    Q_OBJECT
public:
    explicit PushButton(const QString &text, QWidget *parent = nullptr);

    // Where the caption is drawn, for checking that it fits.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace ui
