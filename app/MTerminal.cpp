#include "app/MTerminal.h"

#include <QCheckBox>
#include <QCloseEvent>
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
#include <QRegularExpression>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Dialogs.h"

namespace odel::ui {

namespace {
const char* const kFileFilter = "*.txt (*.txt);;All Files (*)";

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
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
}

QString TfrmMTerminal::CommandLogLine(const QString& text, int h, int m, int s) {
    return QString::asprintf("%-60s%02d:%02d:%02d", text.toUtf8().constData(), h, m, s);
}

QString TfrmMTerminal::ReplyLogLine(const QString& reply, int h, int m, int s, qint64 ms) {
    const QString timed = CommandLogLine(reply, h, m, s);
    return QString::asprintf("%-75s%d(ms)", timed.toUtf8().constData(), static_cast<int>(ms));
}

void TfrmMTerminal::SendCommandLine(const QString& text) {
    if (!link_) return;
    odel::DrainLink(*link_);
    edtCommandStatus->setFocus();
    link_->SetChecksum(chkCheckSum->isChecked() ? 1 : 0);
    std::string command = text.toStdString() + "\r";

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
}

void TfrmMTerminal::btSendClick() {
    if (rdbIsSingleCommand->isChecked()) {
        SendCommandLine(edtCommandLine->text());
        return;
    }
    if (edtFileName->text().isEmpty()) return;
    QFile file(edtFileName->text());
    if (!openFileOrSay(file, QIODevice::ReadOnly | QIODevice::Text)) return;
    // Blanks and line ends separate the commands.
    const QString content = QString::fromLatin1(file.readAll());
    file.close();
    static const QRegularExpression blanks("\\s+");
    for (const QString& word : content.split(blanks, Qt::SkipEmptyParts)) {
        if (word.size() > kMaxFileWord) continue;  // would not fit a command line
        SendCommandLine(word);
    }
}

bool TfrmMTerminal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtCommandLine && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            edtCommandLineKeyDown(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmMTerminal::edtCommandLineKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) SendCommandLine(edtCommandLine->text());
}

void TfrmMTerminal::setRepeating(bool on) {
    for (QPushButton* b : {btSend, btContinueSend, btSaveToFile, btExit}) b->setEnabled(!on);
    edtCommandStatus->setFocus();
    if (on)
        tmrUpdate->start();
    else
        tmrUpdate->stop();
}

void TfrmMTerminal::btContinueSendClick() {
    setRepeating(true);
}
void TfrmMTerminal::btStopSendClick() {
    setRepeating(false);
}

void TfrmMTerminal::tmrUpdateTimer() {
    // The exchange runs inside the tick, so no tick comes while one is running.
    tmrUpdate->stop();
    btSendClick();
    if (!btExit->isEnabled()) tmrUpdate->start();  // still repeating
}

void TfrmMTerminal::btSaveToFileClick() {
    const QString path = dialogs().saveFile(this, QString(), kFileFilter);
    if (path.isEmpty()) return;
    QFile file(path);
    if (!openFileOrSay(file, QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QByteArray text;
    if (!edtCommandStatus->document()->isEmpty())
        for (const QString& line : edtCommandStatus->toPlainText().split('\n'))
            text += line.toUtf8() + "\r\n";
    file.write(text);
}

void TfrmMTerminal::btFileBrowseClick() {
    const QString path = dialogs().openFile(this, fileName_, kFileFilter);
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
    tmrUpdate->stop();
    QDialog::closeEvent(event);
}

void TfrmMTerminal::done(int result) {
    tmrUpdate->stop();
    QDialog::done(result);
}

}  // namespace odel::ui
