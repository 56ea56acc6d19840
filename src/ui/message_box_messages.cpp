#include "ui/message_box_messages.h"

#include "app/qt_text.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace zr70 {

void MessageBoxMessages::show(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), toQString(text),
                    QMessageBox::Ok, owner_.data());
    // Paths and device names are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace zr70
