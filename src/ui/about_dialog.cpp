#include "ui/about_dialog.h"

#include "ui/dialog_template.h"
#include "ui/templates.h"

#include <QKeyEvent>

namespace zr70 {

AboutDialog::AboutDialog(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    buildFromTemplate(*this, kAboutTemplate);
    setModal(true);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    // The box has no buttons, so Enter closes it as OK.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

} // namespace zr70
