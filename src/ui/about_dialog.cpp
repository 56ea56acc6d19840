#include "ui/about_dialog.h"

#include "ui/dialog_template.h"
#include "ui/key_events.h"
#include "ui/templates.h"

namespace zr70 {

AboutDialog::AboutDialog(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    buildFromTemplate(*this, kAboutTemplate);
    setModal(true);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    // The box has no buttons, so Enter closes it as OK.
    if (isPlainEnter(*event)) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace zr70
