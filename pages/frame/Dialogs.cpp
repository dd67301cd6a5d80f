#include "pages/frame/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {
void sayOpenError(const QString& reason) {
    QString text = "Error when opening file";
    if (!reason.isEmpty()) text += "\n" + reason;
    dialogs().messageBox(text, "Message");
}
}  // namespace

bool openRegularFileOrSay(QFile& file, qint64 maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; a regular file ignores it.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        sayOpenError(QString());
        return false;
    }
    struct stat st {};
    QString reason;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        reason = "not a regular file";
    else if (st.st_size > maxBytes)
        reason = QString("larger than %1 bytes").arg(maxBytes);
    if (reason.isEmpty() && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    sayOpenError(reason);
    return false;
}

ReplacingFile::ReplacingFile(const QString& path) : target_(QFile::encodeName(path)) {}

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.isEmpty()) ::unlink(temp_.constData());
}

bool ReplacingFile::open(QString* reason) {
    struct stat old {};
    const bool exists = ::stat(target_.constData(), &old) == 0;
    // A device or FIFO is not replaced by a file (as root, a rename would do just that).
    if (exists && !S_ISREG(old.st_mode)) {
        if (reason) *reason = "not a regular file";
        return false;
    }
    // Through a link, the file it points to is the one replaced.
    if (exists) {
        if (char* real = ::realpath(target_.constData(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    const qsizetype slash = target_.lastIndexOf('/');
    QByteArray temp = (slash < 0 ? QByteArray() : target_.left(slash + 1)) + ".odel-save-XXXXXX";
    fd_ = ::mkstemp(temp.data());
    if (fd_ < 0) {
        if (reason) reason->clear();
        return false;
    }
    temp_ = temp;
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
    return true;
}

bool ReplacingFile::commit(const QByteArray& content, QString* reason) {
    if (fd_ < 0) return false;
    const char* at = content.constData();
    qsizetype left = content.size();
    int err = 0;
    while (left > 0 && err == 0) {
        const ssize_t n = ::write(fd_, at, static_cast<size_t>(left));
        if (n > 0) {
            at += n;
            left -= n;
        } else if (n < 0 && errno != EINTR) {
            err = errno;
        }
    }
    if (err == 0 && ::fsync(fd_) != 0 && errno != EINVAL) err = errno;
    if (::close(std::exchange(fd_, -1)) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp_.constData(), target_.constData()) != 0) err = errno;
    if (err == 0) {
        temp_.clear();
        return true;
    }
    if (reason) *reason = QString::fromLocal8Bit(std::strerror(err));
    return false;
}

bool saveFileOrSay(const QString& path, const std::function<QByteArray()>& content) {
    ReplacingFile file(path);
    QString reason;
    if (file.open(&reason) && file.commit(content(), &reason)) return true;
    sayOpenError(reason);
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
QString QtDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}
int QtDialogs::exec(QDialog* dialog) { return dialog->exec(); }

namespace {
class SilentProgress : public RunProgress {
public:
    bool step(int, int, const QString&) override { return true; }
};

class ProgressWindow : public RunProgress {
public:
    ProgressWindow(QWidget* parent, const QString& title) : dialog_(parent) {
        dialog_.setObjectName("dlgRunProgress");
        dialog_.setWindowTitle(title);
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumWidth(360);
    }
    bool step(int done, int total, const QString& text) override {
        dialog_.setMaximum(total);
        dialog_.setLabelText(text);
        dialog_.setValue(done);  // a modal progress dialog takes its events here, Cancel too
        return !dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};
}  // namespace

std::unique_ptr<RunProgress> Dialogs::progress(QWidget*, const QString&) {
    return std::make_unique<SilentProgress>();
}

std::unique_ptr<RunProgress> QtDialogs::progress(QWidget* parent, const QString& title) {
    return std::make_unique<ProgressWindow>(parent, title);
}

}  // namespace odel::ui
