#include "app/MTerminal.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
const char* const kFileFilter = "*.txt (*.txt);;All Files (*)";

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = makeButton(name, caption, parent);
    b->setAutoDefault(false);  // Enter belongs to the command line
    return b;
}
}  // namespace

TfrmMTerminal::TfrmMTerminal(QWidget* parent) : QDialog(parent) {
    setObjectName("frmMTerminal");
    setWindowTitle("Terminal");
    setSizeGripEnabled(true);

    rdbIsSingleCommand = new QRadioButton("Single Command", this);
    rdbIsSingleCommand->setObjectName("rdbIsSingleCommand");
    rdbIsSingleCommand->setChecked(true);
    auto* single = new QGroupBox(" Single Command ", this);
    single->setObjectName("gbSingleCommand");
    labCommandLine = new QLabel("Command : ", single);
    labCommandLine->setObjectName("labCommandLine");
    edtCommandLine = new QLineEdit(single);
    edtCommandLine->setObjectName("edtCommandLine");
    edtCommandLine->setMaxLength(20);
    edtCommandLine->installEventFilter(this);
    labResponse = new QLabel("Response : ", single);
    labResponse->setObjectName("labResponse");
    edtResponse = new QLineEdit(single);
    edtResponse->setObjectName("edtResponse");
    edtResponse->setReadOnly(true);
    auto* singleGrid = new QGridLayout(single);
    singleGrid->addWidget(labCommandLine, 0, 0);
    singleGrid->addWidget(edtCommandLine, 0, 1);
    singleGrid->addWidget(labResponse, 1, 0);
    singleGrid->addWidget(edtResponse, 1, 1);

    rdbIsNotSingleCommand = new QRadioButton("Command File", this);
    rdbIsNotSingleCommand->setObjectName("rdbIsNotSingleCommand");
    auto* fileGroup = new QGroupBox(" Command File ", this);
    fileGroup->setObjectName("gbCommandFile");
    labFileName = new QLabel("File : ", fileGroup);
    labFileName->setObjectName("labFileName");
    edtFileName = new QLineEdit(fileGroup);
    edtFileName->setObjectName("edtFileName");
    btFileBrowse = button(fileGroup, "btFileBrowse", "Browse...");
    auto* fileRow = new QHBoxLayout(fileGroup);
    fileRow->addWidget(labFileName);
    fileRow->addWidget(edtFileName, 1);
    fileRow->addWidget(btFileBrowse);

    btSend = button(this, "btSend", "Send");
    btContinueSend = button(this, "btContinueSend", "Continue Send");
    chkCheckSum = new QCheckBox("CheckSum", this);
    chkCheckSum->setObjectName("chkCheckSum");
    btStopSend = button(this, "btStopSend", "Stop");
    btSaveToFile = button(this, "btSaveToFile", "Save to File");
    btExit = button(this, "btExit", "Exit");

    edtCommandStatus = new QPlainTextEdit(this);
    edtCommandStatus->setObjectName("edtCommandStatus");
    edtCommandStatus->setReadOnly(true);
    edtCommandStatus->setLineWrapMode(QPlainTextEdit::NoWrap);
    edtCommandStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    edtCommandStatus->setFont(mono);

    tmrUpdate = new QTimer(this);
    tmrUpdate->setObjectName("tmrUpdate");
    tmrUpdate->setInterval(300);

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btSend, btContinueSend, chkCheckSum,
                                                      btStopSend, btSaveToFile, btExit})
        buttons->addWidget(w);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rdbIsSingleCommand);
    layout->addWidget(single);
    layout->addWidget(rdbIsNotSingleCommand);
    layout->addWidget(fileGroup);
    layout->addLayout(buttons);
    layout->addWidget(edtCommandStatus, 1);
    resize(720, 480);

    connect(rdbIsSingleCommand, &QRadioButton::clicked, this,
            &TfrmMTerminal::rdbIsSingleCommandClick);
    connect(rdbIsNotSingleCommand, &QRadioButton::clicked, this,
            &TfrmMTerminal::rdbIsSingleCommandClick);
    connect(btSend, &QPushButton::clicked, this, &TfrmMTerminal::btSendClick);
    connect(btContinueSend, &QPushButton::clicked, this, &TfrmMTerminal::btContinueSendClick);
    connect(btStopSend, &QPushButton::clicked, this, &TfrmMTerminal::btStopSendClick);
    connect(btSaveToFile, &QPushButton::clicked, this, &TfrmMTerminal::btSaveToFileClick);
    connect(btFileBrowse, &QPushButton::clicked, this, &TfrmMTerminal::btFileBrowseClick);
    connect(btExit, &QPushButton::clicked, this, &TfrmMTerminal::btExitClick);
    connect(tmrUpdate, &QTimer::timeout, this, &TfrmMTerminal::tmrUpdateTimer);

    rdbIsSingleCommandClick();
    edtCommandLine->setFocus();

    auto state = SavedState();
    chkCheckSum->setChecked(state->value("Terminal/checksum", false).toBool());
    history_ = state->value("Terminal/history").toStringList();
    if (history_.size() > kHistorySize) history_ = history_.mid(history_.size() - kHistorySize);
    historyPos_ = history_.size();
}

void TfrmMTerminal::saveState() {
    auto state = SavedState();
    state->setValue("Terminal/checksum", chkCheckSum->isChecked());
    state->setValue("Terminal/history", history_);
}

void TfrmMTerminal::remember(const QString& line) {
    if (history_.isEmpty() || history_.last() != line) history_ << line;
    while (history_.size() > kHistorySize) history_.removeFirst();
    historyPos_ = history_.size();
}

void TfrmMTerminal::walkHistory(int step) {
    const int pos = std::clamp(historyPos_ + step, 0, static_cast<int>(history_.size()));
    if (pos == historyPos_) return;
    historyPos_ = pos;
    edtCommandLine->setText(pos < history_.size() ? history_[pos] : QString());
}

// Padded by characters, so a byte above 0x7F (one character) keeps the columns.
QString TfrmMTerminal::CommandLogLine(const QString& text, int h, int m, int s) {
    return text.leftJustified(60) + QString::asprintf("%02d:%02d:%02d", h, m, s);
}

QString TfrmMTerminal::ReplyLogLine(const QString& reply, int h, int m, int s, qint64 ms) {
    return CommandLogLine(reply, h, m, s).leftJustified(75) +
           QString::asprintf("%d(ms)", static_cast<int>(ms));
}

void TfrmMTerminal::SendCommandLine(const QString& text) {
    // One character, one byte: what the line shows is what goes out.
    SendCommandBytes(text.toLatin1());
}

void TfrmMTerminal::SendCommandBytes(const QByteArray& bytes) {
    if (!link_) return;
    odel::DrainLink(*link_);
    // The drain ended on a read that waited out the time-out: the line is quiet, so the
    // transaction below must not wait for it again inside the reply time it reports.
    link_->SkipStaleWait();
    edtCommandStatus->setFocus();
    link_->SetChecksum(chkCheckSum->isChecked() ? 1 : 0);
    std::string command = bytes.toStdString() + "\r";
    const QString text = QString::fromLatin1(bytes);

    QTime now = QTime::currentTime();
    edtCommandStatus->appendPlainText(CommandLogLine(text, now.hour(), now.minute(), now.second()));

    QElapsedTimer clock;
    clock.start();
    std::string received;
    link_->Transact(command, 60, &received);  // the reply is shown whatever the verdict
    const qint64 elapsed = clock.elapsed();

    QString reply;
    if (received.empty()) {
        reply = "Timeout!";
    } else {
        reply = QString::fromLatin1(received.data(), static_cast<qsizetype>(received.size()));
        if (reply.endsWith('\r')) reply.chop(1);
    }
    edtResponse->setText(reply);
    now = QTime::currentTime();
    edtCommandStatus->appendPlainText(
        ReplyLogLine(reply, now.hour(), now.minute(), now.second(), elapsed));
    edtCommandLine->setFocus();
    // Typing replaces the command just sent; Enter sends it again.
    edtCommandLine->selectAll();
}

void TfrmMTerminal::btSendClick() {
    if (running_) return;  // a click that came in between two commands of a file
    if (rdbIsSingleCommand->isChecked()) {
        remember(edtCommandLine->text());
        SendCommandLine(edtCommandLine->text());
        return;
    }
    if (edtFileName->text().isEmpty()) return;
    QFile file(edtFileName->text());
    if (!openRegularFileOrSay(file, kMaxCommandFile)) return;
    running_ = true;
    stopRun_ = false;
    refreshButtons();
    QByteArray word;
    while (!stopRun_ && ReadFileWord(file, word)) {
        if (word.size() > kMaxFileWord) continue;  // would not fit a command line
        SendCommandBytes(word);
        // The window repaints, and Stop or a close ends the run before the next command.
        QCoreApplication::processEvents();
    }
    running_ = false;
    refreshButtons();
}

bool TfrmMTerminal::ReadFileWord(QIODevice& file, QByteArray& word) {
    word.clear();
    char c = 0;
    auto blank = [](char ch) {
        return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
    };
    do {
        if (!file.getChar(&c)) return false;
    } while (blank(c));
    // A word too long for a command line is read to its end but kept only one byte past the
    // limit, so that the caller can tell it and memory stays small.
    do {
        if (word.size() <= kMaxFileWord) word += c;
    } while (file.getChar(&c) && !blank(c));
    return true;
}

bool TfrmMTerminal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtCommandLine && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            edtCommandLineKeyDown(key);
            return true;
        }
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            walkHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmMTerminal::edtCommandLineKeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    remember(edtCommandLine->text());
    SendCommandLine(edtCommandLine->text());
}

void TfrmMTerminal::setRepeating(bool on) {
    repeating_ = on;
    refreshButtons();
    edtCommandStatus->setFocus();
    if (on)
        tmrUpdate->start();
    else
        tmrUpdate->stop();
}

void TfrmMTerminal::refreshButtons() {
    for (QPushButton* b : {btSend, btContinueSend, btSaveToFile})
        b->setEnabled(!repeating_ && !running_);
    btExit->setEnabled(!repeating_);
}

void TfrmMTerminal::btContinueSendClick() {
    setRepeating(true);
}
void TfrmMTerminal::btStopSendClick() {
    stopRun_ = true;
    setRepeating(false);
}

void TfrmMTerminal::tmrUpdateTimer() {
    // The exchange runs inside the tick, so no tick comes while one is running.
    tmrUpdate->stop();
    btSendClick();
    if (repeating_) tmrUpdate->start();
}

void TfrmMTerminal::btSaveToFileClick() {
    const QString path = dialogs().saveFile(this, QString(), kFileFilter);
    if (path.isEmpty()) return;
    saveFileOrSay(path, [this] {
        QByteArray text;
        if (!edtCommandStatus->document()->isEmpty())
            for (const QString& line : edtCommandStatus->toPlainText().split('\n'))
                text += line.toLatin1() + "\r\n";  // the bytes as they came
        return text;
    });
}

void TfrmMTerminal::btFileBrowseClick() {
    const QString path = OpenFileIn(FileKind::TerminalCommands, this, fileName_, kFileFilter);
    if (path.isEmpty()) return;
    fileName_ = path;
    edtFileName->setText(path);
}

void TfrmMTerminal::btExitClick() {
    accept();
}

void TfrmMTerminal::rdbIsSingleCommandClick() {
    const bool single = rdbIsSingleCommand->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{labCommandLine, edtCommandLine, labResponse, edtResponse})
        w->setEnabled(single);
    for (QWidget* w : std::initializer_list<QWidget*>{labFileName, edtFileName, btFileBrowse})
        w->setEnabled(!single);
}

void TfrmMTerminal::closeEvent(QCloseEvent* event) {
    saveState();
    stopRun_ = true;
    tmrUpdate->stop();
    QDialog::closeEvent(event);
}

void TfrmMTerminal::done(int result) {
    saveState();
    stopRun_ = true;
    repeating_ = false;
    tmrUpdate->stop();
    QDialog::done(result);
}

}  // namespace odel::ui
