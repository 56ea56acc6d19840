#pragma once

#include <QDialog>

namespace zr70 {

/// The About box, template 100: program name, copyright, the model bitmap and
/// where to reach us. Modal over the main window; Enter, Esc and the close box
/// close it.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* owner);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace zr70
