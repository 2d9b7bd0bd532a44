#pragma once
// Lets the shortcuts of a window's enabled menu items win over the key
// bindings of its controls: a line edit on X11, for one, binds Ctrl+U itself.

#include <QObject>

class QWidget;

namespace thornwake {

class MenuShortcuts : public QObject {
    Q_OBJECT
public:
    // Watches every key typed into a control of `window`, as long as the
    // window lives.
    explicit MenuShortcuts(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
};

}  // namespace thornwake
