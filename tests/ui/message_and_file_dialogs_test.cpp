// The message box and the file dialogs, answered from inside their modal loops.

#include "preset/file_access.h"
#include "ui/dialog_file_chooser.h"
#include "ui/message_box_messages.h"
#include "ui/modal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zr70 {
namespace {

TEST(MessageBoxMessagesTest, AWarningWithOneOkButtonTitledWithTheApplicationName) {
    QWidget owner;
    owner.show();
    MessageBoxMessages messages(&owner);
    QString title, text;
    QWidget* parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    testing::ModalWatch watch([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        parent = box->parentWidget();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    messages.show("Failed on opening C:\\PRESETS\\<B>ROCK</B>.ZR");
    EXPECT_EQ(watch.count(), 1);
    EXPECT_EQ(title, QCoreApplication::applicationName());
    EXPECT_EQ(title, QString("ui_tests"));
    EXPECT_EQ(text, QString("Failed on opening C:\\PRESETS\\<B>ROCK</B>.ZR"));
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
}

TEST(MessageBoxMessagesTest, AnOwnerThatIsGoneLeavesTheBoxWithoutOwner) {
    MessageBoxMessages messages;
    {
        QWidget owner;
        messages.setOwner(&owner);
    }
    EXPECT_EQ(messages.owner(), nullptr);
    testing::ModalWatch watch;
    messages.show("No MIDI out devices found");
    EXPECT_EQ(watch.count(), 1);
}

struct FileDialogsTest : ::testing::Test {
    FileDialogsTest() {
        chooser.setUseNativeDialogs(false);
        owner.show();
        startDirectory = QDir::currentPath();
    }

    /// Answers the next dialog by choosing `name` in the temporary directory,
    /// after noting how it was set up.
    testing::ModalWatch choose(const QString& name) {
        return testing::ModalWatch([this, name](QWidget& modal) {
            auto* dialog = qobject_cast<QFileDialog*>(&modal);
            ASSERT_NE(dialog, nullptr);
            seen = dialog;
            filters = dialog->nameFilters();
            parent = dialog->parentWidget();
            acceptMode = dialog->acceptMode();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            hidesDetails = dialog->testOption(QFileDialog::HideNameFilterDetails);
            auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
            initialName = nameEdit != nullptr ? nameEdit->text() : QString();
            QDialog& asDialog = *dialog; // accept() is public on QDialog
            if (name.isEmpty()) {
                asDialog.reject();
                return;
            }
            // As the user would: go to the directory and type the name.
            dialog->setDirectory(directory.path());
            ASSERT_NE(nameEdit, nullptr);
            nameEdit->setText(name);
            asDialog.accept();
        });
    }

    QTemporaryDir directory;
    QWidget owner;
    DialogFileChooser chooser{&owner};
    QString startDirectory;

    QFileDialog* seen = nullptr;
    QStringList filters;
    QWidget* parent = nullptr;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    bool confirmsOverwrite = true;
    bool hidesDetails = false;
    QString initialName;
};

TEST_F(FileDialogsTest, OpenDialogOffersZrFilesAndTakesNamesThatDoNotExist) {
    const auto watch = choose("missing.zr");
    const std::optional<FileName> chosen = chooser.chooseFileToLoad();
    EXPECT_EQ(chosen, FileName(directory.filePath("missing.zr")));
    EXPECT_EQ(acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(filters, QStringList{"*.ZR (*.ZR *.zr)"});
    EXPECT_TRUE(hidesDetails); // described as "*.ZR"
    EXPECT_EQ(initialName, QString("*.ZR"));
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(QDir::currentPath(), startDirectory);
}

TEST_F(FileDialogsTest, SysExDialogsOfferSyxFiles) {
    for (const bool save : {false, true}) {
        const auto watch = choose("set.SYX");
        const std::optional<FileName> chosen =
            save ? chooser.chooseFileToSave(FileChooser::FileType::SysEx)
                 : chooser.chooseFileToLoad(FileChooser::FileType::SysEx);
        EXPECT_EQ(chosen, FileName(directory.filePath("set.SYX")));
        EXPECT_EQ(filters, QStringList{"*.syx (*.syx *.SYX)"});
        EXPECT_EQ(initialName, QString("*.syx"));
    }
}

TEST_F(FileDialogsTest, SaveDialogReplacesAFileWithoutAsking) {
    QFile existing(directory.filePath("live.zr"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const auto watch = choose("live.zr");
    const std::optional<FileName> chosen = chooser.chooseFileToSave();
    EXPECT_EQ(watch.count(), 1); // no question came up
    EXPECT_EQ(chosen, FileName(directory.filePath("live.zr")));
    EXPECT_EQ(acceptMode, QFileDialog::AcceptSave);
    EXPECT_FALSE(confirmsOverwrite);
    EXPECT_EQ(initialName, QString("*.ZR"));
    EXPECT_EQ(QDir::currentPath(), startDirectory);
}

/// Answers each dialog that comes up with the next of `names`, typed into the
/// name box and confirmed with Enter; notes each dialog's directory, name
/// filter and name box as it came up.
struct TypedNames {
    QStringList directories;
    QStringList selectedFilters;
    QStringList initialNames;
};

testing::ModalWatch typeNames(const QString& directory, QStringList names, TypedNames& seen) {
    return testing::ModalWatch([directory, names, &seen](QWidget& modal) mutable {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(nameEdit, nullptr);
        seen.directories.push_back(dialog->directory().path());
        seen.selectedFilters.push_back(dialog->selectedNameFilter());
        seen.initialNames.push_back(nameEdit->text());
        if (names.isEmpty()) {
            dialog->reject();
            return;
        }
        if (seen.directories.size() == 1) {
            dialog->setDirectory(directory);
        }
        nameEdit->setText(names.takeFirst());
        QTest::keyClick(nameEdit, Qt::Key_Return);
    });
}

TEST_F(FileDialogsTest, ANameWithWildcardsFiltersTheListAndTheDialogStaysInItsDirectory) {
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        TypedNames seen;
        std::optional<FileName> chosen;
        {
            const auto watch =
                typeNames(directory.path(), {"*.ZR", "set?.zr", "[ab]*", "live.zr"}, seen);
            chosen = save ? chooser.chooseFileToSave() : chooser.chooseFileToLoad();
        }
        EXPECT_EQ(chosen, FileName(directory.filePath("live.zr")));
        ASSERT_EQ(seen.directories.size(), 4);
        for (qsizetype again = 1; again < 4; ++again) {
            EXPECT_EQ(seen.directories[again], directory.path()) << again;
        }
        // The file type shows without its details.
        EXPECT_EQ(seen.selectedFilters, (QStringList{"*.ZR", "*.ZR", "set?.zr", "[ab]*"}));
        EXPECT_EQ(seen.initialNames, (QStringList{"*.ZR", "*.ZR", "set?.zr", "[ab]*"}));
        EXPECT_EQ(QDir::currentPath(), startDirectory);
    }
}

TEST_F(FileDialogsTest, ATypedNameOfAnExistingOrNewFileIsThatFileBracketsIncluded) {
    const QString song = QString::fromUtf8("song [live] été.zr");
    for (const QString& name : {song, QString("what?.zr")}) {
        QFile existing(directory.filePath(name));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    }
    const QString fresh = QString::fromUtf8("take [2] é.zr");
    for (const auto& [save, name] : {std::pair{false, song}, std::pair{false, QString("what?.zr")},
                                     std::pair{true, song}, std::pair{true, fresh}}) {
        SCOPED_TRACE(name.toStdString() + (save ? " saved" : " loaded"));
        TypedNames seen;
        std::optional<FileName> chosen;
        {
            const auto watch = typeNames(directory.path(), {name}, seen);
            chosen = save ? chooser.chooseFileToSave() : chooser.chooseFileToLoad();
        }
        EXPECT_EQ(seen.directories.size(), 1); // the dialog did not come back
        EXPECT_EQ(chosen, FileName(directory.filePath(name)));
    }
}

TEST_F(FileDialogsTest, ANameThatIsNoUtf8IsChosenUnderItsOwnBytesAndTheDialogKeepsNothing) {
    const QString config = directory.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    // In a folder whose name is no UTF-8 either.
    const QByteArray folder = QFile::encodeName(directory.path()) + "/d\xff";
    const QByteArray file = folder + "/n\xff.zr";
    std::filesystem::create_directory(folder.toStdString());
    std::ofstream(file.toStdString()) << "x";
    std::optional<FileName> chosen;
    {
        // The dialog shows the names with U+FFFD in the place of the odd bytes.
        const auto watch = choose(QFile::decodeName("d\xff/n\xff.zr"));
        chosen = chooser.chooseFileToLoad();
    }
    std::filesystem::remove_all(folder.toStdString());
    EXPECT_EQ(chosen, FileName(file));
    EXPECT_FALSE(QFileInfo::exists(config)) << "the dialog wrote a settings file of its own";
}

TEST_F(FileDialogsTest, CancelAfterAFilterChoosesNothing) {
    for (const bool save : {false, true}) {
        TypedNames seen;
        const auto watch = typeNames(directory.path(), {"*.ZR"}, seen);
        EXPECT_FALSE((save ? chooser.chooseFileToSave() : chooser.chooseFileToLoad()).has_value());
        EXPECT_EQ(seen.directories.size(), 2) << save;
    }
}

TEST_F(FileDialogsTest, CancelChoosesNothing) {
    {
        const auto watch = choose(QString());
        EXPECT_FALSE(chooser.chooseFileToLoad().has_value());
    }
    const auto watch = choose(QString());
    EXPECT_FALSE(chooser.chooseFileToSave().has_value());
    EXPECT_EQ(QDir::currentPath(), startDirectory);
}

} // namespace
} // namespace zr70
