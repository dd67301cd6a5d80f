#include "pages/frame/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace odel::ui {

namespace {
QtDialogs g_qtDialogs;
Dialogs* g_dialogs = &g_qtDialogs;

QWidget* activeParent() { return QApplication::activeWindow(); }

QString appTitle() { return QApplication::applicationDisplayName(); }
}  // namespace

Dialogs& dialogs() { return *g_dialogs; }
void setDialogs(Dialogs* d) { g_dialogs = d ? d : &g_qtDialogs; }

bool openFileOrSay(QFile& file, QIODevice::OpenMode mode) {
    if (file.open(mode)) return true;
    dialogs().messageBox("Error when opening file", "Message");
    return false;
}

void QtDialogs::error(const QString& text) {
    QMessageBox::critical(activeParent(), appTitle(), text, QMessageBox::Ok);
}
void QtDialogs::warning(const QString& text) {
    QMessageBox::warning(activeParent(), appTitle(), text, QMessageBox::Ok);
}
void QtDialogs::information(const QString& text) {
    QMessageBox::information(activeParent(), appTitle(), text, QMessageBox::Ok);
}
bool QtDialogs::question(const QString& text) {
    return QMessageBox::question(activeParent(), appTitle(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
void QtDialogs::messageBox(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, activeParent());
    box.exec();
}
QString QtDialogs::openFile(QWidget* parent, const QString& defaultName, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), defaultName, filter);
}
QString QtDialogs::saveFile(QWidget* parent, const QString& defaultName, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), defaultName, filter);
}
QString QtDialogs::openFileTitled(QWidget* parent, const QString& title,
                                  const QString& defaultName, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, defaultName, filter);
}
QString QtDialogs::chooseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title);
}
int QtDialogs::exec(QDialog* dialog) { return dialog->exec(); }

}  // namespace odel::ui
