// Every modal message, question, file dialog and modal form of the program goes through here,
// so tests can install a recorder that answers from a script and keeps every text shown.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QFile;
class QWidget;

namespace odel::ui {

// How far a long run is, with a Cancel button.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    // Shows that done of total steps are done and what comes next; false once Cancel was
    // pressed.
    virtual bool step(int done, int total, const QString& text) = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Message dialogs with one OK button, of the given type.
    virtual void error(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(const QString& text) = 0;
    // Plain message box with a caption and an OK button.
    virtual void messageBox(const QString& text, const QString& caption) = 0;
    // File dialogs; an empty result means Cancel.
    virtual QString openFile(QWidget* parent, const QString& defaultName, const QString& filter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& defaultName, const QString& filter) = 0;
    // An open-file dialog with its own title; by default the same as openFile.
    virtual QString openFileTitled(QWidget* parent, const QString& title,
                                   const QString& defaultName, const QString& filter) {
        (void)title;
        return openFile(parent, defaultName, filter);
    }
    // A folder chooser started in start; by default the open-file dialog with the title as its
    // default name.
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& start) {
        (void)start;
        return openFile(parent, title, QString());
    }
    // Shows one of our own forms modally and returns its QDialog result code.
    virtual int exec(QDialog* dialog) = 0;
    // A progress window for a long run, shown until the result is destroyed; by default none,
    // and the run is never cancelled.
    virtual std::unique_ptr<RunProgress> progress(QWidget* parent, const QString& title);
};

// The installed implementation (the real one unless a test installed its own).
Dialogs& dialogs();
// Installs d (not owned); nullptr restores the real dialogs.
void setDialogs(Dialogs* d);

// Opens file in mode; when that fails, says "Error when opening file" (caption "Message").
bool openFileOrSay(QFile& file, QIODevice::OpenMode mode);
// Opens a regular file of at most maxBytes for reading, without blocking on a FIFO or a device;
// anything else gets the same box with the reason on a second line.
bool openRegularFileOrSay(QFile& file, qint64 maxBytes);
// A file written through a temporary beside it, renamed over the target only when every byte
// is written and closed, so a good old file is never left truncated.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& path);
    ~ReplacingFile();  // removes the temporary unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Creates the temporary. False when the file cannot be created; an existing file that is
    // not a regular one is never replaced (reason: "not a regular file").
    bool open(QString* reason);
    // Writes content, closes and renames; false with the system's words for the failure.
    bool commit(const QByteArray& content, QString* reason);

private:
    QByteArray target_, temp_;
    int fd_ = -1;
};

// Saves what content() gives (asked only once the file could be created) through a
// ReplacingFile. A file that cannot be created says "Error when opening file" (caption
// "Message"); a failed write or close says the same with the reason on a second line.
bool saveFileOrSay(const QString& path, const std::function<QByteArray()>& content);

// The production implementation: QMessageBox, QFileDialog, QDialog::exec.
class QtDialogs : public Dialogs {
public:
    void error(const QString& text) override;
    void warning(const QString& text) override;
    void information(const QString& text) override;
    bool question(const QString& text) override;
    void messageBox(const QString& text, const QString& caption) override;
    QString openFile(QWidget* parent, const QString& defaultName, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& defaultName, const QString& filter) override;
    QString openFileTitled(QWidget* parent, const QString& title, const QString& defaultName,
                           const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& start) override;
    int exec(QDialog* dialog) override;
    // QProgressDialog, application-modal: nothing else reaches the bus while the run goes on.
    std::unique_ptr<RunProgress> progress(QWidget* parent, const QString& title) override;
};

}  // namespace odel::ui
